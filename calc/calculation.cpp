#include "calc/calculation.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "calc/calc.h"
#include "foundation/inputfile.h"
#include "foundation/mystrings.h"
#include "foundation/owned.h"
#include "foundation/utf8.h"

const char* const CALCULATION_OVERFLOW_CAPTION = "Dépassement de capacité";
const char* const CALCULATION_OVERFLOW_TEXT =
    "Dépassement de capacité! Vous avez atteint la limite du nombre de variables autorisé. "
    "Veuillez réutiliser celles que vous avez déjà utilisées.";
const char* const CALCULATION_SYNTAX_ERROR_TEXT = "Erreur de syntaxe";
const char* const CALCULATION_RUNTIME_ERROR_TEXT = "Erreur d'execution";

namespace {

using morvex::Format;

// The double cut to a signed 32-bit integer as the engine's result record does it.
int ToInt32(double value) {
    if (std::isnan(value)) return 0;
    const double t = std::trunc(value);
    if (t < -2147483648.0 || t > 2147483647.0) return INT32_MIN;
    return static_cast<int>(t);
}

// An integer-kind value: "%i" when the double is a whole 32-bit number, else the double itself
// (a quotient such as 16777217/2 or a product beyond 32 bits would otherwise show wrongly).
std::string IntegerText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && value >= -2147483648.0 &&
        value <= 2147483647.0)
        return Format("%i", static_cast<int>(value));
    return Format("%.16g", value);
}

std::string HexText(int value) {
    return Format("0x%08x", static_cast<unsigned>(value));
}

// Moves the messages waiting in the engine into `out`.
void DrainMessages(CalcContext* ctx, bool compilation, std::vector<CalculationMessage>* out) {
    while (CalcMessage* msg = CALC_ReadMsgNext(ctx)) {
        out->push_back({msg->kind, msg->position, msg->text ? msg->text : "", compilation});
        CALC_DestroyMsg(msg);
    }
}



}  // namespace

CalculatorVariables::~CalculatorVariables() {
    CALCULATION_ClearVariables(this);
}

void CALCULATION_ClearVariables(CalculatorVariables* vars) {
    if (!vars) return;
    for (int i = 0; i < vars->count; ++i) {
        free(vars->entries[i].name);
        if (vars->entries[i].kind == CALC_CHAINE) free(vars->entries[i].value.text);
        vars->entries[i] = CalcVar{};
    }
    vars->count = 0;
}

int CALCULATION_StoreVariable(CalculatorVariables* vars, const char* name, int kind,
                              CalcValue value) {
    if (!vars || !name) return 1;
    CalcValue stored{};
    if (kind == CALC_CHAINE) {
        stored.text = strdup(value.text ? value.text : "");
        if (!stored.text) return 1;
    } else {
        stored.number = value.number;
    }
    for (int i = 0; i < vars->count; ++i) {
        CalcVar& entry = vars->entries[i];
        if (strcmp(entry.name, name) != 0) continue;
        if (entry.kind == CALC_CHAINE) free(entry.value.text);
        entry.kind = kind;
        entry.value = stored;
        return 0;
    }
    char* copy = vars->count < CALCULATION_MAX_VARIABLES ? strdup(name) : nullptr;
    if (!copy) {
        if (kind == CALC_CHAINE) free(stored.text);
        return 1;
    }
    vars->entries[vars->count] = CalcVar{copy, kind, stored};
    ++vars->count;
    return 0;
}

int CALCULATION_Run(CalculatorVariables* vars, const char* formula, CalculationResult* out) {
    if (!out) return 1;
    *out = CalculationResult{};
    if (!vars || !formula) return 1;
    if (!*formula) return 0;

    morvex::Owned<CalcContext, CALC_Destroy> ctx(CALC_Compile(formula));
    if (ctx) DrainMessages(ctx.get(), true, &out->messages);
    if (!ctx || CALC_Error(ctx.get())) {
        out->status = CALCULATION_SYNTAX_ERROR;
        out->resultText = CALCULATION_SYNTAX_ERROR_TEXT;
        return 1;
    }

    CALC_SetVarTableEx(ctx.get(), vars->entries, vars->count);
    const double value = CALC_Calculate(ctx.get());
    CalcVar result{};
    CALC_GetResult(&result, ctx.get());
    const char* assigned = CALC_GetAssignName(ctx.get());
    out->resultText = CALCULATION_ResultLine(assigned ? assigned : "Résultat", result, value);
    DrainMessages(ctx.get(), false, &out->messages);
    if (CALC_Error(ctx.get())) {
        out->status = CALCULATION_RUNTIME_ERROR;
        out->resultText = CALCULATION_RUNTIME_ERROR_TEXT;
        return 1;
    }

    out->status = CALCULATION_OK;
    out->value = CALCULATION_HistoryText(result, value);
    if (assigned) {
        out->assignName = assigned;
        // The kind with the double the calculation returned (a copy of the text for a text
        // result), so that a later formula reads the value back unchanged.
        CalcValue stored{};
        if (result.kind == CALC_CHAINE)
            stored.text = result.value.text;
        else
            stored.number = value;
        out->variableRefused = CALCULATION_StoreVariable(vars, assigned, result.kind, stored) != 0;
    }
    return 0;
}

std::string CALCULATION_BinaryDigits(int value) {
    std::string digits;
    for (unsigned bits = static_cast<unsigned>(value); bits; bits >>= 1)
        digits.insert(digits.begin(), static_cast<char>('0' + (bits & 1u)));
    return digits.empty() ? "0" : digits;
}

std::string CALCULATION_ResultLine(const std::string& name, const CalcVar& result, double value) {
    switch (result.kind) {
        case CALC_FLOTTANT:
            return name + Format(" = %.16g", result.value.number);
        case CALC_ENTIER:
            return name + " = " + IntegerText(value);
        case CALC_BOOLEEN:
            return name + " = " + (result.value.integer ? "Vrai" : "Faux");
        case CALC_CHAINE:
            return name + " = \"" + (result.value.text ? result.value.text : "") + "\"";
        case CALC_HEXADECIMAL:
            return name + " = " + HexText(result.value.integer);
        case CALC_BINAIRE:
            return name + " = 0b" + CALCULATION_BinaryDigits(result.value.integer);
        default:
            return name + Format(" = %.16g", value);
    }
}

std::string CALCULATION_HistoryText(const CalcVar& result, double value) {
    switch (result.kind) {
        case CALC_FLOTTANT:
            return Format("%.16g", result.value.number);
        case CALC_ENTIER:
            return IntegerText(value);
        case CALC_BOOLEEN:
            return result.value.integer ? "Vrai" : "Faux";
        case CALC_CHAINE:
            return result.value.text ? result.value.text : "";
        case CALC_HEXADECIMAL:
            return HexText(result.value.integer);
        case CALC_BINAIRE:
            return CALCULATION_BinaryDigits(result.value.integer);
        default:
            return Format("%.16g", value);
    }
}

std::string CALCULATION_VariableText(const CalcVar& var) {
    switch (var.kind) {
        case CALC_FLOTTANT:
            return Format("%.16g", var.value.number);
        case CALC_ENTIER:
            return IntegerText(var.value.number);
        case CALC_BOOLEEN:
            return var.value.number != 0 ? "Vrai" : "Faux";
        case CALC_CHAINE:
            return var.value.text ? var.value.text : "";
        case CALC_HEXADECIMAL:
            return HexText(ToInt32(var.value.number));
        case CALC_BINAIRE:
            return "0b" + CALCULATION_BinaryDigits(ToInt32(var.value.number));
        default:
            return Format("%.16g", var.value.number);
    }
}

std::string CALCULATION_MessageText(const CalculationMessage& msg) {
    return Format("Position %i : %s", msg.position, msg.text.c_str());
}

int CALCULATION_EngineVersionLine(const CalcVersionInfos* infos, std::string* out) {
    if (!out) return 1;
    out->clear();
    if (!infos) return 1;
    *out =
        Format("Composant de calcul : %s (build %i : %s %s)", infos->version ? infos->version : "",
               infos->build, infos->buildDate ? infos->buildDate : "",
               infos->buildTime ? infos->buildTime : "");
    return 0;
}

int CALCULATION_ReadFile(const char* path, std::vector<std::string>* formulas, std::string* error) {
    if (error) error->clear();
    if (!path || !formulas) return 1;
    formulas->clear();
    std::string text;
    if (!morvex::readInputFile(path, CALCULATION_MAX_FILE, text, error, "Le fichier de calcul"))
        return 1;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        formulas->emplace_back(line.substr(0, morvex::utf8CutPoint(line, CALCULATION_MAX_FORMULA)));
        begin = end + 1;
    }
    return 0;
}

int CALCULATION_WriteFile(const char* path, const std::vector<std::string>& formulas) {
    if (!path) return 1;
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path, "wb"), fclose);
    if (!file) return 1;
    for (const std::string& formula : formulas)
        if (fprintf(file.get(), "%s\n", formula.c_str()) < 0) return 1;
    FILE* raw = file.release();
    return fclose(raw) == 0 ? 0 : 1;
}

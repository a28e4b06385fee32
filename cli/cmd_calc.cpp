// morvexcli calc: the calculator without its window. Every expression is calculated as the
// calculator program does it, with one variable table carried from one expression to the next.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "calc/calc.h"
#include "cli/cliport.h"
#include "cli/commands.h"

namespace morvex {
namespace {

// The most variables the calculator keeps.
constexpr int kMaxVariables = 100;

const char* kOverflowMessage =
    "Dépassement de capacité! Vous avez atteint la limite du nombre de variables autorisé. "
    "Veuillez réutiliser celles que vous avez déjà utilisées.";

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

// Binary digits of the value's 32 bits, without leading zeros ("0" for 0).
std::string binaryDigits(int value) {
    std::string digits;
    for (unsigned bits = static_cast<unsigned>(value); bits; bits >>= 1)
        digits.insert(digits.begin(), static_cast<char>('0' + (bits & 1u)));
    return digits.empty() ? "0" : digits;
}

// The double cut to a 32-bit integer as the engine's result record does it.
int toInt32(double value) {
    if (std::isnan(value)) return 0;
    double t = std::trunc(value);
    if (t < -2147483648.0 || t > 2147483647.0) return INT32_MIN;
    return static_cast<int>(t);
}

// An integer-kind value: "%i" when the double is a whole 32-bit number, else the double itself
// (a quotient such as 16777217/2 or a product beyond 32 bits would otherwise show wrongly).
std::string integerText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && value >= -2147483648.0 &&
        value <= 2147483647.0)
        return format("%i", static_cast<int>(value));
    return format("%.16g", value);
}

// A value as the variables list shows it: kind and stored double (or text).
std::string listText(const CalcVar& var) {
    switch (var.kind) {
        case CALC_FLOTTANT:
            return format("%.16g", var.value.number);
        case CALC_ENTIER:
            return integerText(var.value.number);
        case CALC_BOOLEEN:
            return var.value.number != 0 ? "Vrai" : "Faux";
        case CALC_CHAINE:
            return var.value.text ? var.value.text : "";
        case CALC_HEXADECIMAL:
            return format("0x%08x", static_cast<unsigned>(toInt32(var.value.number)));
        case CALC_BINAIRE:
            return "0b" + binaryDigits(toInt32(var.value.number));
        default:
            return format("%.16g", var.value.number);
    }
}

// The variable table, process-wide for one run of the command.
class Calculator {
public:
    Calculator() = default;
    Calculator(const Calculator&) = delete;
    Calculator& operator=(const Calculator&) = delete;
    ~Calculator() {
        for (int i = 0; i < count_; ++i) {
            free(vars_[i].name);
            if (vars_[i].kind == CALC_CHAINE) free(vars_[i].value.text);
        }
    }

    // Calculates one formula and writes its messages and its result line; false when the
    // formula has a syntax or evaluation error.
    bool calculate(const std::string& formula) {
        if (formula.empty()) return true;
        CalcContext* ctx = CALC_Compile(formula.c_str());
        if (!ctx) {
            printf("Erreur de syntaxe\n");
            return false;
        }
        printMessages(ctx);
        if (CALC_Error(ctx)) {
            printf("Erreur de syntaxe\n");
            CALC_Destroy(ctx);
            return false;
        }
        CALC_SetVarTableEx(ctx, vars_, count_);
        const double value = CALC_Calculate(ctx);
        CalcVar result;
        CALC_GetResult(&result, ctx);
        const char* assigned = CALC_GetAssignName(ctx);
        const std::string line = resultLine(assigned ? assigned : "Résultat", result, value);
        printMessages(ctx);
        if (CALC_Error(ctx)) {
            printf("Erreur d'execution\n");
            CALC_Destroy(ctx);
            return false;
        }
        printf("%s\n", line.c_str());
        if (assigned) store(assigned, result, value);
        CALC_Destroy(ctx);
        return true;
    }

    void printVariables() const {
        printf("(i) Liste des variables\n");
        for (int i = 0; i < count_; ++i)
            printf("%s = %s\n", vars_[i].name, listText(vars_[i]).c_str());
    }

private:
    static void printMessages(CalcContext* ctx) {
        while (CalcMessage* msg = CALC_ReadMsgNext(ctx)) {
            printf("%s\tPosition %i : %s\n", CALC_MessageKindName(msg->kind), msg->position,
                   msg->text);
            CALC_DestroyMsg(msg);
        }
    }

    static std::string resultLine(const std::string& name, const CalcVar& result, double value) {
        switch (result.kind) {
            case CALC_FLOTTANT:
                return name + format(" = %.16g", result.value.number);
            case CALC_ENTIER:
                return name + " = " + integerText(value);
            case CALC_BOOLEEN:
                return name + " = " + (result.value.integer ? "Vrai" : "Faux");
            case CALC_CHAINE:
                return name + " = \"" + (result.value.text ? result.value.text : "") + "\"";
            case CALC_HEXADECIMAL:
                return name + format(" = 0x%08x", static_cast<unsigned>(result.value.integer));
            case CALC_BINAIRE:
                return name + " = 0b" + binaryDigits(result.value.integer);
            default:
                return name + format(" = %.16g", value);
        }
    }

    // Keeps the result under `name`: the kind with the double the calculation returned, or a
    // copy of the text, so that a later formula reads it back unchanged.
    void store(const char* name, const CalcVar& result, double value) {
        CalcValue stored{};
        if (result.kind == CALC_CHAINE) {
            stored.text = strdup(result.value.text ? result.value.text : "");
            if (!stored.text) return;
        } else {
            stored.number = value;
        }
        for (int i = 0; i < count_; ++i) {
            if (strcmp(vars_[i].name, name) != 0) continue;
            if (vars_[i].kind == CALC_CHAINE) free(vars_[i].value.text);
            vars_[i].kind = result.kind;
            vars_[i].value = stored;
            return;
        }
        char* copy = count_ < kMaxVariables ? strdup(name) : nullptr;
        if (!copy) {
            if (result.kind == CALC_CHAINE) free(stored.text);
            printf("(!) %s\n", kOverflowMessage);
            return;
        }
        vars_[count_].name = copy;
        vars_[count_].kind = result.kind;
        vars_[count_].value = stored;
        ++count_;
    }

    CalcVar vars_[kMaxVariables] = {};
    int count_ = 0;
};

// Calculates the expressions (or the lines of standard input) in order.
int commandCalc(const std::vector<std::string>& expressions, bool showVariables) {
    Calculator calculator;
    int failures = 0;
    auto run = [&](const std::string& formula) {
        if (!calculator.calculate(formula)) ++failures;
        fflush(stdout);
    };
    if (!expressions.empty()) {
        for (const std::string& formula : expressions) run(formula);
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            run(line);
        }
    }
    if (showVariables) calculator.printVariables();
    if (fflush(stdout) != 0) {
        cliError("Erreur d'écriture sur la sortie standard.");
        return CLI_FAILURE;
    }
    if (failures) {
        cliError(format("%i calcul(s) en erreur.", failures));
        return CLI_FAILURE;
    }
    return CLI_OK;
}

}  // namespace

void addCalcCommand(CLI::App& app, CliCommands& commands) {
    auto expressions = std::make_shared<std::vector<std::string>>();
    auto showVariables = std::make_shared<bool>(false);
    CLI::App* sub = app.add_subcommand(
        "calc",
        "Calcule des expressions (une par argument, ou une par ligne de l'entrée standard)");
    sub->add_option("expression", *expressions, "Expressions à calculer, dans l'ordre");
    sub->add_flag("--vars", *showVariables, "Affiche la table des variables à la fin");
    commands.push_back(
        {sub, [expressions, showVariables] { return commandCalc(*expressions, *showVariables); }});
}

}  // namespace morvex

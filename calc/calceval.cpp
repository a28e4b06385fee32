// Evaluation of compiled expressions and the public interface of the engine.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "calc/calcint.h"
#include "foundation/queue.h"
#include "foundation/trace.h"
#include "foundation/tree.h"
#include "foundation/utf8.h"

namespace {

const CalcVersionInfos kVersion = {581, "2.0.0", "Jun 21 2014", "10:57:02"};

typedef double (*Function0)();
typedef double (*Function1)(double);
typedef double (*Function2)(double, double);

// Cuts a message to `limit` bytes without splitting a UTF-8 character.
std::string Cut(std::string text, size_t limit) {
    text.resize(morvex::utf8CutPoint(text, limit));
    return text;
}

// A runtime error: message (code -1 unless given), status 3.
template <typename... Args>
void RuntimeError(CalcContext* ctx, int code, const char* format, Args... args) {
    if (PostMsgF(ctx, CALC_MSG_RUNTIME_ERROR, code, 0, format, args...) != 0)
        morvex::trace("ERREUR");
    ctx->status = CALC_STATUS_RUNTIME_ERROR;
}
void RuntimeErrorText(CalcContext* ctx, int code, const std::string& text) {
    if (PostMsg(ctx, CALC_MSG_RUNTIME_ERROR, code, 0, text.c_str()) != 0) morvex::trace("ERREUR");
    ctx->status = CALC_STATUS_RUNTIME_ERROR;
}

CalcTerm Result(int kind, double value) {
    CalcTerm r{};
    r.kind = CALC_OPERANDE;
    r.operandKind = kind;
    r.value.number = value;
    return r;
}

CalcTerm NoValue() {
    return Result(0, 0.0);
}

bool IsText(const CalcTerm& t) {
    return t.operandKind == CALC_CHAINE;
}

const char* TextOf(const CalcTerm& t) {
    return t.value.text ? t.value.text : "";
}

// ENTIER when both operands are ENTIER or BOOLEEN, FLOTTANT otherwise.
int NumericKind(const CalcTerm& l, const CalcTerm& r) {
    auto integral = [](int k) { return k == CALC_ENTIER || k == CALC_BOOLEEN; };
    return integral(l.operandKind) && integral(r.operandKind) ? CALC_ENTIER : CALC_FLOTTANT;
}

bool IsBitKind(int kind) {
    return kind == CALC_ENTIER || kind == CALC_HEXADECIMAL || kind == CALC_BINAIRE;
}

// Double to float without leaving the float range (infinity beyond it).
float ToFloat(double v) {
    if (v > FLT_MAX) return HUGE_VALF;
    if (v < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(v);
}

// A text made during evaluation, owned by the context.
char* KeepText(CalcContext* ctx, std::string text) {
    char* copy = strdup(text.c_str());
    if (!copy) return nullptr;
    if (!QUEUE_PushBack(ctx->texts, copy)) {
        free(copy);
        return nullptr;
    }
    return copy;
}

CalcTerm TypesIncompatibles(CalcContext* ctx) {
    RuntimeErrorText(ctx, -1, "Types incompatibles");
    return NoValue();
}

CalcTerm ChaineInterdite(CalcContext* ctx, const char* operation) {
    RuntimeErrorText(ctx, -1, std::string("Type 'chaîne' interdit pour l'") + operation + ".");
    return NoValue();
}

void ListOperator(int op) {
    switch (op) {
        case CALC_OP_MULT:
            morvex::trace("\nMULT");
            break;
        case CALC_OP_DIV:
            morvex::trace("\nDIV");
            break;
        case CALC_OP_ADD:
            morvex::trace("\nADD");
            break;
        case CALC_OP_SOUSTRACT:
            morvex::trace("\nSOUSTRACT");
            break;
        case CALC_OP_MOD:
            morvex::trace("\nMOD");
            break;
        default:
            morvex::trace("\n%s", CalcOperatorText(op));
            break;
    }
}

CalcTerm Operate(CalcContext* ctx, int op, const CalcTerm& L, const CalcTerm& R) {
    const double l = L.value.number, r = R.value.number;
    const bool anyText = IsText(L) || IsText(R);
    switch (op) {
        case CALC_OP_MULT:
            if (anyText) return ChaineInterdite(ctx, "opération de multiplication");
            return Result(NumericKind(L, R), l * r);
        case CALC_OP_DIV:
            if (anyText) return ChaineInterdite(ctx, "opération de division");
            if (r == 0) {
                RuntimeErrorText(ctx, -1, "RUNTIME ERROR : Division par 0");
                return NoValue();
            }
            return Result(std::fmod(ToFloat(l), ToFloat(r)) == 0.0f ? CALC_ENTIER : CALC_FLOTTANT,
                          l / r);
        case CALC_OP_ADD:
            if (IsText(L) && IsText(R)) {
                CalcTerm t = Result(CALC_CHAINE, 0);
                t.value.text = KeepText(ctx, std::string(TextOf(L)) + TextOf(R));
                if (!t.value.text) {
                    ctx->status = CALC_STATUS_NO_MEMORY;
                    return NoValue();
                }
                return t;
            }
            if (anyText) return TypesIncompatibles(ctx);
            return Result(NumericKind(L, R), l + r);
        case CALC_OP_SOUSTRACT:
            if (anyText) return ChaineInterdite(ctx, "opération de soustraction");
            return Result(NumericKind(L, R), l - r);
        case CALC_OP_MOD: {
            if (anyText) return TypesIncompatibles(ctx);
            const float divisor = ToFloat(r);
            if (divisor == 0.0f) {
                RuntimeErrorText(ctx, -1, "RUNTIME ERROR : Modulo par 0");
                return NoValue();
            }
            return Result(CALC_ENTIER, std::fmod(ToFloat(l), divisor));
        }
        case CALC_OP_PUISSANCE:
            if (anyText) return TypesIncompatibles(ctx);
            return Result(CALC_FLOTTANT, std::pow(l, r));
        case CALC_OP_NEGATION:
            if (IsText(R)) return TypesIncompatibles(ctx);
            return Result(R.operandKind, -r);
        case CALC_OP_NON:
            if (IsText(R)) {
                RuntimeErrorText(ctx, -1, "Type 'chaîne' interdit pour l'opérateur 'NON binaire'.");
                return NoValue();
            }
            return Result(R.operandKind, r == 0 ? 1.0 : 0.0);
        case CALC_OP_EGAL:
        case CALC_OP_DIFFERENT: {
            bool equal;
            if (IsText(L) && IsText(R))
                equal = strcmp(TextOf(L), TextOf(R)) == 0;
            else if (anyText)
                return TypesIncompatibles(ctx);
            else
                equal = l == r;
            return Result(CALC_BOOLEEN, (op == CALC_OP_EGAL) == equal ? 1.0 : 0.0);
        }
        case CALC_OP_SUP:
            if (anyText) return ChaineInterdite(ctx, "opérateur 'supérieur à'");
            return Result(CALC_BOOLEEN, l > r ? 1.0 : 0.0);
        case CALC_OP_INF:
            if (anyText) return ChaineInterdite(ctx, "opérateur 'inférieur à'");
            return Result(CALC_BOOLEEN, l < r ? 1.0 : 0.0);
        case CALC_OP_SUP_EGAL:
            if (anyText) return ChaineInterdite(ctx, "opérateur 'supérieur ou égal à'");
            return Result(CALC_BOOLEEN, l >= r ? 1.0 : 0.0);
        case CALC_OP_INF_EGAL:
            if (anyText) return ChaineInterdite(ctx, "opérateur 'inférieur ou égal à'");
            return Result(CALC_BOOLEEN, l <= r ? 1.0 : 0.0);
        case CALC_OP_ET_BIN:
        case CALC_OP_OU_BIN: {
            if (!IsBitKind(L.operandKind) || !IsBitKind(R.operandKind))
                return TypesIncompatibles(ctx);
            const int a = CalcToInt32(l), b = CalcToInt32(r);
            const int kind = L.operandKind > R.operandKind ? L.operandKind : R.operandKind;
            return Result(kind, op == CALC_OP_ET_BIN ? (a & b) : (a | b));
        }
        case CALC_OP_OU:
            if (L.operandKind != CALC_BOOLEEN || R.operandKind != CALC_BOOLEEN) {
                RuntimeError(ctx, -1, "Types incompatibles (L=%i, R=%i)", L.operandKind,
                             R.operandKind);
                return NoValue();
            }
            return Result(CALC_BOOLEEN, CalcToInt32(l) != 0 || CalcToInt32(r) != 0 ? 1.0 : 0.0);
        case CALC_OP_ET:
            if (L.operandKind != CALC_BOOLEEN || R.operandKind != CALC_BOOLEEN) {
                RuntimeError(ctx, -1, "Types incompatibles (L=%i, R=%i) : type booléen attendu",
                             L.operandKind, R.operandKind);
                return NoValue();
            }
            return Result(CALC_BOOLEEN, CalcToInt32(l) != 0 && CalcToInt32(r) != 0 ? 1.0 : 0.0);
        default:
            return NoValue();
    }
}

double Call(CalcFunction function, int argCount, double first, double second) {
    switch (argCount) {
        case 0:
            return reinterpret_cast<Function0>(function)();
        case 1:
            return reinterpret_cast<Function1>(function)(first);
        case 2:
            return reinterpret_cast<Function2>(function)(first, second);
        default:
            return 0;
    }
}

CalcTerm Function(CalcContext* ctx, CalcTerm* term, const CalcTerm& L, const CalcTerm& R) {
    // Arguments in written order: f(R) for one, f(L, R) for two.
    const double first = term->argCount == 2 ? L.value.number : R.value.number;
    const double second = R.value.number;
    if ((term->argCount >= 1 && IsText(R)) || (term->argCount >= 2 && IsText(L)))
        return TypesIncompatibles(ctx);
    if (term->function)
        return Result(CALC_FLOTTANT, Call(term->function, term->argCount, first, second));
    const char* name = term->name ? term->name : "";
    for (const CalcInternalFunc& f : gCalcInternalFuncs) {
        if (strcmp(f.name, name) != 0) continue;
        if (term->argCount != f.paramCount) {
            RuntimeError(ctx, 1, "La fonction '%s' attendait %i parametre(s), elle en a reçu %i",
                         name, f.paramCount, term->argCount);
            return NoValue();
        }
        term->function = reinterpret_cast<CalcFunction>(f.fn);
        return Result(CALC_FLOTTANT, f.fn(first));
    }
    for (int i = 0; i < ctx->funcCount; ++i) {
        const CalcFunc& f = ctx->funcTable[i];
        if (!f.name || strcmp(f.name, name) != 0) continue;
        if (!f.function) {
            RuntimeError(ctx, 1,
                         "La fonction '%s' n'est pas référencée. Le pointeur sur la fonction est "
                         "NULL.",
                         name);
            return NoValue();
        }
        if (term->argCount != f.paramCount || f.paramCount < 0 || f.paramCount > 2) {
            RuntimeError(ctx, 1, "La fonction '%s' attendait %i parametre(s), elle en a reçu %i",
                         name, f.paramCount, term->argCount);
            return NoValue();
        }
        term->function = f.function;
        return Result(CALC_FLOTTANT, Call(f.function, term->argCount, first, second));
    }
    if (strcmp(name, "help") == 0) {
        PostMsgF(ctx, CALC_MSG_INFO, -1, 0,
                 "CALCUL - version %s (build 581 Jun 21 2014 10:57:02) - moteur de calcul "
                 "d'expressions de Morvex Fylatek",
                 kVersion.version);
        return Result(CALC_FLOTTANT, 0);
    }
    RuntimeError(ctx, -1, "RUNTIME ERROR : Fonction '%s' inconnue (%i param) [val1=%g, val2=%g]",
                 name, term->argCount, R.value.number, L.value.number);
    return NoValue();
}

CalcTerm Reference(CalcContext* ctx, CalcTerm* term, int statement) {
    const char* name = term->name ? term->name : "";
    if (!term->varValue) {
        // An assignment of an earlier statement of the text comes before the lent table.
        for (int i = statement - 1; i >= 0 && !term->varValue; --i) {
            CalcStatement& s = ctx->statements[i];
            if (s.assignName && strcmp(s.assignName, name) == 0) term->varValue = &s.value;
        }
        for (int i = 0; i < ctx->varCount && !term->varValue; ++i)
            if (ctx->varTable[i].name && strcmp(ctx->varTable[i].name, name) == 0)
                term->varValue = &ctx->varTable[i];
        if (!term->varValue) {
            RuntimeErrorText(
                ctx, -1, Cut(std::string("La variable '") + name + "' n'est pas référencée.", 127));
            return NoValue();
        }
    }
    const CalcVar* var = term->varValue;
    if (var->kind != CALC_CHAINE && std::isnan(var->value.number))
        RuntimeErrorText(ctx, -1,
                         Cut(std::string("La variable '") + name +
                                 "' est référencée mais sa valeur est invalide (NAN).",
                             127));
    CalcTerm r{};
    r.kind = CALC_OPERANDE;
    r.operandKind = var->kind;
    r.value = var->value;
    if (var->kind == CALC_CHAINE && !r.value.text) r.value.text = const_cast<char*>("");
    return r;
}

// Forgets the variables and functions found by earlier evaluations (their tables changed).
void ForgetLookups(TREE_NODE* node) {
    if (!node) return;
    CalcTerm* term = static_cast<CalcTerm*>(node->userData);
    if (term) {
        term->varValue = nullptr;
        if (term->kind == CALC_FONCTION) term->function = nullptr;
    }
    ForgetLookups(node->left);
    ForgetLookups(node->right);
}

void ForgetAllLookups(CalcContext* ctx) {
    for (int i = 0; i < ctx->statementCount; ++i)
        if (ctx->statements[i].tree) ForgetLookups(ctx->statements[i].tree->root);
}

void ReleaseVarTable(CalcContext* ctx) {
    if (ctx->varTableOwned == CALC_TABLE_OWNED && ctx->varTable) {
        for (int i = 0; i < ctx->varCount; ++i) free(ctx->varTable[i].name);
        free(ctx->varTable);
    }
    ctx->varTable = nullptr;
    ctx->varCount = 0;
}

void ReleaseFuncTable(CalcContext* ctx) {
    if (ctx->funcTableOwned == CALC_TABLE_OWNED && ctx->funcTable) {
        for (int i = 0; i < ctx->funcCount; ++i) free(ctx->funcTable[i].name);
        free(ctx->funcTable);
    }
    ctx->funcTable = nullptr;
    ctx->funcCount = 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Evaluation

// A number that is no number (NaN) or beyond the double range (infinity) is a calculation
// error as a division by 0 is, reported where it is made: an error gives the value 0 to what
// follows, and a NaN operand was reported where it was read (an unset variable), so that it is
// told once.
CalcTerm Finite(CalcContext* ctx, const CalcTerm& result, const CalcTerm& L, const CalcTerm& R) {
    if (result.kind != CALC_OPERANDE || IsText(result) || std::isfinite(result.value.number))
        return result;
    auto nan = [](const CalcTerm& t) { return !IsText(t) && std::isnan(t.value.number); };
    if (nan(L) || nan(R)) return result;
    RuntimeErrorText(ctx, -1,
                     std::isnan(result.value.number)
                         ? "RUNTIME ERROR : Résultat indéfini (NaN)"
                         : "RUNTIME ERROR : Dépassement de capacité (résultat infini)");
    return NoValue();
}

CalcTerm Calculer(CalcContext* ctx, TREE_NODE* node, int statement, bool listing) {
    if (!node) return NoValue();
    CalcTerm* term = static_cast<CalcTerm*>(node->userData);
    if (!term) return NoValue();
    const CalcTerm R = Calculer(ctx, node->right, statement, listing);
    const CalcTerm L = Calculer(ctx, node->left, statement, listing);
    switch (term->kind) {
        case CALC_OPERANDE: {
            if (listing) {
                if (term->operandKind == CALC_CHAINE)
                    morvex::trace("\nPUSH '%s'", term->value.text ? term->value.text : "");
                else
                    morvex::trace("\nPUSH %f", term->value.number);
            }
            CalcTerm r = *term;
            r.name = nullptr;
            return Finite(ctx, r, NoValue(), NoValue());  // a literal such as 1e999
        }
        case CALC_REFERENCE:
            if (listing) morvex::trace("\nPUSHVAR @%s", term->name ? term->name : "");
            return Reference(ctx, term, statement);
        case CALC_FONCTION:
            if (listing)
                morvex::trace("\nCALL %s(@%i)", term->name ? term->name : "", term->argCount);
            return Finite(ctx, Function(ctx, term, L, R), L, R);
        case CALC_OPERATEUR:
            if (listing) ListOperator(term->op);
            return Finite(ctx, Operate(ctx, term->op, L, R), L, R);
        default:
            return NoValue();
    }
}

// ---------------------------------------------------------------------------------------------
// Public interface

double CALC_Calculate(CalcContext* ctx) {
    if (!ctx) return 0;
    ctx->result = NoValue();
    ctx->resultKind = 0;
    if (ctx->status == CALC_STATUS_SYNTAX_ERROR || ctx->status == CALC_STATUS_NO_MEMORY) return 0;
    ctx->status = CALC_STATUS_OK;
    if (ctx->statementCount == 0) {
        morvex::trace("\nAucune formule!");
        return 0;
    }
    CalcTerm last = NoValue();
    for (int i = 0; i < ctx->statementCount; ++i) {
        CalcStatement& s = ctx->statements[i];
        last = Calculer(ctx, s.tree ? s.tree->root : nullptr, i, false);
        s.value.kind = last.operandKind;
        s.value.value = last.value;
    }
    // The result text is the context's own, whatever it came from (literal, table, join).
    if (last.operandKind == CALC_CHAINE) {
        last.value.text = KeepText(ctx, TextOf(last));
        if (!last.value.text) {
            ctx->status = CALC_STATUS_NO_MEMORY;
            last = NoValue();
        }
    }
    last.name = nullptr;
    ctx->result = last;
    ctx->resultKind = last.operandKind;
    double slot;
    static_assert(sizeof slot == sizeof last.value, "the value slot is 8 bytes");
    memcpy(&slot, &last.value, sizeof slot);
    return slot;
}

void CALC_GetResult(CalcVar* out, CalcContext* ctx) {
    if (!out) return;
    memset(out, 0, sizeof *out);
    if (!ctx) return;
    out->kind = ctx->resultKind;
    switch (ctx->resultKind) {
        case CALC_ENTIER:
        case CALC_BOOLEEN:
        case CALC_HEXADECIMAL:
        case CALC_BINAIRE:
            out->value.integer = CalcToInt32(ctx->result.value.number);
            break;
        case CALC_CHAINE:
            out->value.text = ctx->result.value.text;
            break;
        default:
            out->value.number = ctx->result.value.number;
            break;
    }
}

int CALC_GetResultType(CalcContext* ctx) {
    return ctx ? ctx->resultKind : 0;
}

const char* CALC_GetAssignName(CalcContext* ctx) {
    return ctx ? ctx->assignName : nullptr;
}

int CALC_Error(CalcContext* ctx) {
    if (!ctx) return 1;
    return ctx->status == CALC_STATUS_SYNTAX_ERROR || ctx->status == CALC_STATUS_RUNTIME_ERROR ||
                   ctx->status == CALC_STATUS_NO_MEMORY
               ? 1
               : 0;
}

CalcMessage* CALC_ReadMsgNext(CalcContext* ctx) {
    if (!ctx || !ctx->messages) return nullptr;
    return static_cast<CalcMessage*>(QUEUE_PopFront(ctx->messages));
}

void CALC_DestroyMsg(CalcMessage* msg) {
    if (!msg) return;
    free(msg->text);
    free(msg);
}

int CALC_SetVarTableEx(CalcContext* ctx, CalcVar* table, int count) {
    if (!ctx) return 1;
    if (ctx->varTable != table) ReleaseVarTable(ctx);
    ctx->varTable = table;
    ctx->varCount = table && count > 0 ? count : 0;
    ctx->varTableOwned = CALC_TABLE_LENT;
    ForgetAllLookups(ctx);
    return 0;
}

int CALC_GetVarTableEx(CalcContext* ctx, CalcVarTable* out) {
    if (!out) return 0;
    out->count = 0;
    out->table = nullptr;
    if (!ctx || !ctx->varTable) return 0;
    out->count = ctx->varCount;
    out->table = ctx->varTable;
    return ctx->varCount;
}

int CALC_SetExtFuncTable(CalcContext* ctx, CalcFunc* table, int count) {
    if (!ctx) return 1;
    if (ctx->funcTable != table) ReleaseFuncTable(ctx);
    ctx->funcTable = table;
    ctx->funcCount = table && count > 0 ? count : 0;
    ctx->funcTableOwned = CALC_TABLE_LENT;
    ForgetAllLookups(ctx);
    return 0;
}

int CALC_GetExtFuncTable(CalcContext* ctx, CalcFuncTable* out) {
    if (!out) return 0;
    out->count = 0;
    out->table = nullptr;
    if (!ctx || !ctx->funcTable) return 0;
    out->count = ctx->funcCount;
    out->table = ctx->funcTable;
    return ctx->funcCount;
}

int CALC_GetVarTable() {
    return 0;
}

void CALC_DestroyCalcVarEx(CalcVar* var) {
    if (!var) return;
    if (var->kind == CALC_CHAINE)
        free(var->value.text);
    else
        var->value.number = 0;
    memset(var, 0, sizeof *var);
    free(var);
}

const CalcVersionInfos* CALC_GetVersionInfos() {
    return &kVersion;
}

int CALC_Destroy(CalcContext* ctx) {
    if (!ctx) return 0;
    CalcFreeStatements(ctx);
    if (ctx->messages) {
        while (CalcMessage* msg = static_cast<CalcMessage*>(QUEUE_PopFront(ctx->messages)))
            CALC_DestroyMsg(msg);
        QUEUE_Destroy(ctx->messages);
    }
    for (QUEUE* names : {ctx->varNames, ctx->funcNames, ctx->texts}) {
        if (!names) continue;
        while (void* text = QUEUE_PopFront(names)) free(text);
        QUEUE_Destroy(names);
    }
    free(ctx->text);
    ReleaseVarTable(ctx);
    ReleaseFuncTable(ctx);
    free(ctx->assignName);
    free(ctx);
    return 0;
}

void CALC_GenererByteCode(CalcContext* ctx) {
    if (!ctx) return;
    morvex::trace("\n ** CALC_GenererByteCode **\n");
    for (int i = 0; i < ctx->statementCount; ++i)
        if (ctx->statements[i].tree) Calculer(ctx, ctx->statements[i].tree->root, i, true);
}

const char* CALC_MessageKindName(int kind) {
    static const char* const kNames[] = {"INCONNU", "INFO",         "WARNING",
                                         "ERROR",   "SYNTAX_ERROR", "RUNTIME_ERROR"};
    return kind >= 0 && kind <= 5 ? kNames[kind] : kNames[0];
}

// ---------------------------------------------------------------------------------------------
// Diagnostic dumps

const char* CalcOperatorText(int op) {
    static const char* const kTexts[] = {"?",  "*", "/", "+", "-", "%",  "^",  "(-)", "!", "==",
                                         "!=", ">", "<", "&", "|", "||", "&&", ">=",  "<="};
    return op >= 1 && op <= 18 ? kTexts[op] : kTexts[0];
}

const char* CalcTermKindName(int kind) {
    static const char* const kNames[] = {"INCONNU",
                                         "OPERATEUR",
                                         "OPERANDE",
                                         "REFERENCE",
                                         "FONCTION",
                                         "PARENTHESE_OUVRANTE",
                                         "PARENTHESE_FERMANTE",
                                         "SEPARATEUR"};
    return kind >= 1 && kind <= 7 ? kNames[kind] : kNames[0];
}

const char* CalcOperandKindName(int kind) {
    static const char* const kNames[] = {"AUCUN",  "FLOTTANT",    "ENTIER", "BOOLEEN",
                                         "CHAINE", "HEXADECIMAL", "BINAIRE"};
    return kind >= 0 && kind <= 6 ? kNames[kind] : kNames[0];
}

void EcrireFormule(const CalcTerm* term) {
    if (!term) return;
    switch (term->kind) {
        case CALC_OPERANDE:
            if (term->operandKind == CALC_CHAINE)
                morvex::trace("'%s'", term->value.text ? term->value.text : "");
            else
                morvex::trace("%g", term->value.number);
            break;
        case CALC_REFERENCE:
            morvex::trace("%s", term->name ? term->name : "");
            break;
        case CALC_FONCTION:
            morvex::trace("%s[@%i]", term->name ? term->name : "", term->argCount);
            break;
        case CALC_OPERATEUR:
            morvex::trace("%s", CalcOperatorText(term->op));
            break;
        case CALC_PARENTHESE_OUVRANTE:
            morvex::trace("(");
            break;
        case CALC_PARENTHESE_FERMANTE:
            morvex::trace(")");
            break;
        case CALC_SEPARATEUR:
            morvex::trace(",");
            break;
        default:
            break;
    }
}

void AfficherTerme(const CalcTerm* term) {
    if (!term) return;
    morvex::trace("\n-----------------------------\n[%s]", CalcTermKindName(term->kind));
    if (term->kind == CALC_OPERANDE) {
        if (term->operandKind == CALC_CHAINE)
            morvex::trace("[CHAINE][%s]", term->value.text ? term->value.text : "");
        else
            morvex::trace("[%s]", CalcOperandKindName(term->operandKind));
    }
    morvex::trace("\nOperateur : ");
    if (term->kind == CALC_OPERATEUR) morvex::trace("%s", CalcOperatorText(term->op));
    if (term->kind == CALC_OPERANDE && term->operandKind != CALC_CHAINE)
        morvex::trace("\nOperande : %f", term->value.number);
    if (term->name) morvex::trace("\nName     : %s", term->name);
}

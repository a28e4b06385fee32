// Compilation of an expression text: lexical rules and recursive-descent recognisers (the
// postfix conversion and the trees are calctree.cpp).
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <string>

#include "calc/calcint.h"
#include "foundation/mystrings.h"
#include "foundation/queue.h"
#include "foundation/trace.h"

namespace {

char* CopyText(const char* begin, size_t length) {
    char* copy = static_cast<char*>(malloc(length + 1));
    if (!copy) return nullptr;
    memcpy(copy, begin, length);
    copy[length] = '\0';
    return copy;
}

int PositionOf(const CalcContext* ctx, const char* p) {
    return static_cast<int>(p - ctx->text) + 1;
}

// The character as message text: the end of the text shows as nothing.
std::string CharText(char c) {
    return c ? std::string(1, c) : std::string();
}

// A syntax failure at `p`: the echo of the whole text, then the message; status 2. Once a limit
// (nesting, terms) was told, nothing more is: the recognisers that give up one after the other
// as they return from it would each echo the whole text again (a thousand copies of it).
void SyntaxError(CalcContext* ctx, const char* p, const std::string& message) {
    if (ctx->limitReached) return;
    int position = PositionOf(ctx, p);
    PostMsg(ctx, CALC_MSG_INFO, 1, position, ctx->text);
    PostMsg(ctx, CALC_MSG_SYNTAX_ERROR, 1, position, message.c_str());
    ctx->status = CALC_STATUS_SYNTAX_ERROR;
}

using morvex::Format;

// Drops the terms appended after `mark` (a recogniser that failed half way).
void Truncate(CalcTermQueue* terms, size_t mark) {
    while (terms->size() > mark) {
        FreeTerm(terms->back());
        terms->pop_back();
    }
}

bool Append(CalcContext* ctx, CalcTermQueue* terms, CalcTerm* term, const char* p) {
    if (!term) {
        ctx->status = CALC_STATUS_NO_MEMORY;
        return false;
    }
    if (terms->size() >= CALC_MAX_TERMS) {
        FreeTerm(term);
        SyntaxError(ctx, p, Format("Expression trop longue (plus de %zu termes).", CALC_MAX_TERMS));
        ctx->limitReached = true;
        return false;
    }
    term->position = PositionOf(ctx, p);
    terms->push_back(term);
    return true;
}

// Nesting guard: parentheses and operand chains deeper than CALC_MAX_DEPTH are refused (once
// reported) rather than overflowing the stack.
class DepthGuard {
public:
    DepthGuard(CalcContext* ctx, const char* p) : ctx_(ctx), ok_(++ctx->depth <= CALC_MAX_DEPTH) {
        if (!ok_ && ctx->status == CALC_STATUS_OK) {
            SyntaxError(ctx, p,
                        Format("Expression trop complexe (plus de %i niveaux d'imbrication).",
                               CALC_MAX_DEPTH));
            ctx->limitReached = true;
        }
    }
    ~DepthGuard() { --ctx_->depth; }
    bool ok() const { return ok_; }

private:
    CalcContext* ctx_;
    bool ok_;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Length of a name at `p`: a letter, then letters, digits and "_@$:.[]" (and "\" for a
// variable name); 0 when `p` does not start with a letter.
size_t NameLength(const char* p, bool variable) {
    if (!Est_Une_Lettre(*p)) return 0;
    size_t n = 1;
    for (;;) {
        char c = p[n];
        if (Est_Une_Lettre(c) || Est_Un_Chiffre(c) || c == '_' || c == '@' || c == '$' ||
            c == ':' || c == '.' || c == '[' || c == ']' || (variable && c == '\\'))
            ++n;
        else
            return n;
    }
}

// Magnitude suffix at `p`: its factor and length in bytes, or 0 when there is none.
size_t Suffix(const char* p, double* factor) {
    const unsigned char c = static_cast<unsigned char>(*p);
    switch (c) {
        case 'a':
            *factor = 1e-18;
            return 1;
        case 'f':
            *factor = 1e-15;
            return 1;
        case 'p':
            *factor = 1e-12;
            return 1;
        case 'n':
            *factor = 1e-9;
            return 1;
        case 'u':
            *factor = 1e-6;
            return 1;
        case 0xB5:
            *factor = 1e-6;
            return 1;  // micro sign, Windows-1252
        case 0xE6:
            *factor = 1e-6;
            return 1;  // micro sign, DOS code page 850
        case 'm':
            *factor = 1e-3;
            return 1;
        case 'k':
            *factor = 1e3;
            return 1;
        case 'M':
            *factor = 1e6;
            return 1;
        case 'G':
            *factor = 1e9;
            return 1;
        case 'T':
            *factor = 1e12;
            return 1;
        default:
            break;
    }
    if (c == 0xC2 && static_cast<unsigned char>(p[1]) == 0xB5) {  // micro sign, UTF-8
        *factor = 1e-6;
        return 2;
    }
    return 0;
}

// Decimal (`decimal`) or integer number at *pos.
int ReadNumber(CalcContext* ctx, CalcTermQueue* terms, const char** pos, bool decimal) {
    const char* start = *pos;
    const char* q = start;
    if (*q == '-') ++q;
    if (!Est_Un_Chiffre(*q)) return 0;
    while (Est_Un_Chiffre(*q)) ++q;
    if (decimal) {
        if (*q != '.') return 0;
        ++q;
        while (Est_Un_Chiffre(*q)) ++q;
    }
    const char* numberEnd = q;
    double factor = 1.0;
    if (*q == 'e' || *q == 'E') {
        const char* r = q + 1;
        if (*r == '+' || *r == '-') ++r;
        if (!Est_Un_Chiffre(*r)) return 0;  // an exponent letter without digits: no number
        while (Est_Un_Chiffre(*r)) ++r;
        numberEnd = q = r;
    } else {
        q += Suffix(q, &factor);
    }
    std::string digits(start, numberEnd);
    CalcTerm* term = NewTerm(CALC_OPERANDE);
    if (term) {
        term->operandKind = decimal ? CALC_FLOTTANT : CALC_ENTIER;
        term->value.number = strtod(digits.c_str(), nullptr) * factor;
    }
    if (!Append(ctx, terms, term, start)) return 0;
    MangerCarInsignifiants(&q);
    *pos = q;
    return 1;
}

// "0x" or "0b" literal at *pos; `base` 16 or 2.
int ReadBasedLiteral(CalcContext* ctx, CalcTermQueue* terms, const char** pos, int base) {
    const char* p = *pos;
    if (p[0] != '0' || p[1] != (base == 16 ? 'x' : 'b')) return 0;
    const char* q = p + 2;
    while (base == 16 ? isxdigit(static_cast<unsigned char>(*q)) != 0 : (*q == '0' || *q == '1'))
        ++q;
    if (q - (p + 2) > 63) return 0;  // longer than a literal may be
    int value;
    if (base == 16) {
        // Read as an unsigned 32-bit number (the low 32 bits when there are more digits) whose
        // bits are then taken as a signed integer.
        uint32_t bits = 0;
        for (const char* d = p + 2; d < q; ++d) {
            int digit = Est_Un_Chiffre(*d) ? *d - '0' : (tolower(*d) - 'a' + 10);
            bits = bits * 16u + static_cast<uint32_t>(digit);
        }
        value = static_cast<int>(bits);
    } else {
        value = bin2dec(std::string(p + 2, q).c_str());
    }
    CalcTerm* term = NewTerm(CALC_OPERANDE);
    if (term) {
        term->operandKind = base == 16 ? CALC_HEXADECIMAL : CALC_BINAIRE;
        term->value.number = value;
    }
    if (!Append(ctx, terms, term, p)) return 0;
    MangerCarInsignifiants(&q);
    *pos = q;
    return 1;
}

// Primary of a simple expression: a term, a function call, a variable, or "(" simple
// expression ")".
int Est_Un_Primaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    if (Est_Un_Terme(ctx, terms, pos) || Est_Une_Fonction(ctx, terms, pos) ||
        Est_Une_Variable(ctx, terms, pos))
        return 1;
    const char* p = *pos;
    if (*p != '(') return 0;
    size_t mark = terms->size();
    if (!Append(ctx, terms, NewTerm(CALC_PARENTHESE_OUVRANTE), p)) return 0;
    ++p;
    if (!Est_Une_Expression_Simple(ctx, terms, &p)) {
        const char* at = p;
        MangerCarInsignifiants(&at);
        if (ctx->status != CALC_STATUS_NO_MEMORY && ctx->depth <= CALC_MAX_DEPTH)
            SyntaxError(ctx, at, "Expression attendue, '" + CharText(*at) + "' rencontre.");
        Truncate(terms, mark);
        return 0;
    }
    MangerCarInsignifiants(&p);
    if (*p != ')') {
        Truncate(terms, mark);
        return 0;
    }
    if (!Append(ctx, terms, NewTerm(CALC_PARENTHESE_FERMANTE), p)) return 0;
    ++p;
    MangerCarInsignifiants(&p);
    *pos = p;
    return 1;
}


}  // namespace

// ---------------------------------------------------------------------------------------------
// Terms and messages

CalcTerm* NewTerm(int kind) {
    CalcTerm* term = static_cast<CalcTerm*>(calloc(1, sizeof(CalcTerm)));
    if (term) term->kind = kind;
    return term;
}

void FreeTerm(CalcTerm* term) {
    if (!term) return;
    if (term->kind == CALC_OPERANDE && term->operandKind == CALC_CHAINE) free(term->value.text);
    free(term->name);
    free(term);
}

int PostMsg(CalcContext* ctx, int kind, int code, int position, const char* text) {
    if (!ctx || !ctx->messages) return 1;
    CalcMessage* msg = static_cast<CalcMessage*>(calloc(1, sizeof(CalcMessage)));
    if (!msg) return 1;
    msg->kind = kind;
    msg->code = code;
    msg->position = position;
    msg->text = strdup(text ? text : "");
    if (!msg->text || !QUEUE_PushBack(ctx->messages, msg)) {
        free(msg->text);
        free(msg);
        return 1;
    }
    return 0;
}

int PostMsgF(CalcContext* ctx, int kind, int code, int position, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0) vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return PostMsg(ctx, kind, code, position, text.c_str());
}

// ---------------------------------------------------------------------------------------------
// Character classes and blanks

int Est_Une_Lettre_Minuscule(char c) {
    return c >= 'a' && c <= 'z';
}

int Est_Une_Lettre_Majuscule(char c) {
    return c >= 'A' && c <= 'Z';
}

int Est_Une_Lettre(char c) {
    return Est_Une_Lettre_Minuscule(c) || Est_Une_Lettre_Majuscule(c);
}

int Est_Un_Chiffre(char c) {
    return c >= '0' && c <= '9';
}

void MangerCarInsignifiants(const char** pos) {
    while (IsBlank(**pos)) ++*pos;
}

// ---------------------------------------------------------------------------------------------
// Registration

int RegisterVar(CalcContext* ctx, const char* name) {
    for (QUEUE_CELL* cell = ctx->varNames->first; cell; cell = cell->next)
        if (strcmp(static_cast<char*>(cell->data), name) == 0) {
            morvex::trace("\nVariable deja enregistree");
            return 0;
        }
    char* copy = strdup(name);
    if (!copy || !QUEUE_PushBack(ctx->varNames, copy)) {
        free(copy);
        ctx->status = CALC_STATUS_NO_MEMORY;
        return 0;
    }
    return 1;
}

int RegisterFunction(CalcContext* ctx, const char* name) {
    if (Est_Une_Fonction_Interne(name)) return 0;
    for (QUEUE_CELL* cell = ctx->funcNames->first; cell; cell = cell->next)
        if (strcmp(static_cast<char*>(cell->data), name) == 0) return 0;
    char* copy = strdup(name);
    if (!copy || !QUEUE_PushBack(ctx->funcNames, copy)) {
        free(copy);
        ctx->status = CALC_STATUS_NO_MEMORY;
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Internal functions and numeric helpers

const CalcInternalFunc gCalcInternalFuncs[19] = {
    {"abs", [](double x) { return std::fabs(x); }, 1},
    {"acos", [](double x) { return std::acos(x); }, 1},
    {"asin", [](double x) { return std::asin(x); }, 1},
    {"atan", [](double x) { return std::atan(x); }, 1},
    {"cbrt", [](double x) { return std::cbrt(x); }, 1},
    {"ceil", [](double x) { return std::ceil(x); }, 1},
    {"cos", [](double x) { return std::cos(x); }, 1},
    {"cosh", [](double x) { return std::cosh(x); }, 1},
    {"exp", [](double x) { return std::exp(x); }, 1},
    {"floor", [](double x) { return std::floor(x); }, 1},
    {"log", [](double x) { return std::log(x); }, 1},
    {"log10", [](double x) { return std::log10(x); }, 1},
    {"round", [](double x) { return std::round(x); }, 1},
    {"sqrt", [](double x) { return std::sqrt(x); }, 1},
    {"sin", [](double x) { return std::sin(x); }, 1},
    {"sinh", [](double x) { return std::sinh(x); }, 1},
    {"tan", [](double x) { return std::tan(x); }, 1},
    {"tanh", [](double x) { return std::tanh(x); }, 1},
    {"trunc", [](double x) { return std::trunc(x); }, 1},
};

int Est_Une_Fonction_Interne(const char* name) {
    for (const CalcInternalFunc& f : gCalcInternalFuncs)
        if (strcmp(f.name, name) == 0) return 1;
    return 0;
}

int bin2dec(const char* digits) {
    uint32_t value = 0;
    for (const char* d = digits; d && (*d == '0' || *d == '1'); ++d)
        value = value * 2u + static_cast<uint32_t>(*d - '0');
    return static_cast<int>(value);
}

void dec2bin(unsigned int value, char* buffer, int width) {
    if (!buffer || width < 0) return;
    memset(buffer, '0', static_cast<size_t>(width));
    for (int i = width - 1; i >= 0 && value != 0; --i, value >>= 1)
        buffer[i] = static_cast<char>('0' + (value & 1u));
    buffer[width] = '\0';
}

int CalcToInt32(double value) {
    if (std::isnan(value)) return 0;
    double t = std::trunc(value);
    if (t < -2147483648.0 || t > 2147483647.0) return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

// ---------------------------------------------------------------------------------------------
// Recognisers

int Est_Un_Hexadecimal(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    return ReadBasedLiteral(ctx, terms, pos, 16);
}

int Est_Un_Binaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    return ReadBasedLiteral(ctx, terms, pos, 2);
}

int Est_Un_Flottant(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    return ReadNumber(ctx, terms, pos, true);
}

int Est_Un_Entier(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    return ReadNumber(ctx, terms, pos, false);
}

int Est_Une_Chaine(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    const char* p = *pos;
    if (*p != '"') return 0;
    const char* close = strchr(p + 1, '"');
    if (!close) return 0;
    CalcTerm* term = NewTerm(CALC_OPERANDE);
    if (term) {
        term->operandKind = CALC_CHAINE;
        term->value.text = CopyText(p + 1, static_cast<size_t>(close - (p + 1)));
        if (!term->value.text) {
            FreeTerm(term);
            term = nullptr;
        }
    }
    if (!Append(ctx, terms, term, p)) return 0;
    const char* q = close + 1;
    MangerCarInsignifiants(&q);
    *pos = q;
    return 1;
}

int Est_Un_Terme(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    return Est_Un_Hexadecimal(ctx, terms, pos) || Est_Un_Binaire(ctx, terms, pos) ||
           Est_Un_Flottant(ctx, terms, pos) || Est_Un_Entier(ctx, terms, pos) ||
           Est_Une_Chaine(ctx, terms, pos);
}

int Est_Un_Identificateur(CalcContext*, CalcTermQueue*, const char** pos) {
    size_t n = NameLength(*pos, false);
    *pos += n;
    return n > 0;
}

int Est_Une_Fonction(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    const char* p = *pos;
    size_t n = NameLength(p, false);
    if (n == 0 || p[n] != '(') return 0;
    DepthGuard guard(ctx, p);
    if (!guard.ok()) return 0;
    size_t mark = terms->size();
    CalcTerm* function = NewTerm(CALC_FONCTION);
    if (function) {
        function->name = CopyText(p, n);
        if (!function->name) {
            FreeTerm(function);
            function = nullptr;
        }
    }
    if (!Append(ctx, terms, function, p)) return 0;
    const char* q = p + n;
    if (!Append(ctx, terms, NewTerm(CALC_PARENTHESE_OUVRANTE), q)) return 0;
    ++q;
    int argCount = 0;
    if (Est_Une_Expression_Simple(ctx, terms, &q)) {
        argCount = 1;
        while (*q == ',') {
            if (!Append(ctx, terms, NewTerm(CALC_SEPARATEUR), q)) return 0;
            ++q;
            if (!Est_Une_Expression_Simple(ctx, terms, &q)) {
                const char* at = q;
                MangerCarInsignifiants(&at);
                if (ctx->status != CALC_STATUS_NO_MEMORY && ctx->depth <= CALC_MAX_DEPTH)
                    SyntaxError(ctx, at, "Parametre attendu, '" + CharText(*at) + "' rencontré.");
                Truncate(terms, mark);
                return 0;
            }
            ++argCount;
        }
    }
    MangerCarInsignifiants(&q);
    if (*q != ')') {
        Truncate(terms, mark);
        return 0;
    }
    if (!Append(ctx, terms, NewTerm(CALC_PARENTHESE_FERMANTE), q)) return 0;
    ++q;
    MangerCarInsignifiants(&q);
    (*terms)[mark]->argCount = argCount;
    RegisterFunction(ctx, (*terms)[mark]->name);
    *pos = q;
    return 1;
}

int Est_Une_Variable(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    const char* p = *pos;
    size_t mark = terms->size();
    if (Est_Un_Operateur_Unaire(ctx, terms, &p)) MangerCarInsignifiants(&p);
    size_t n = NameLength(p, true);
    if (n == 0) {
        Truncate(terms, mark);
        return 0;
    }
    CalcTerm* reference = NewTerm(CALC_REFERENCE);
    if (reference) {
        reference->name = CopyText(p, n);
        if (!reference->name) {
            FreeTerm(reference);
            reference = nullptr;
        }
    }
    if (!Append(ctx, terms, reference, p)) return 0;
    RegisterVar(ctx, reference->name);
    p += n;
    MangerCarInsignifiants(&p);
    *pos = p;
    return 1;
}

int Est_Un_Operateur(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    static const struct {
        const char* text;
        int op;
    } kOperators[] = {
        {"!=", CALC_OP_DIFFERENT}, {"==", CALC_OP_EGAL}, {"<=", CALC_OP_INF_EGAL},
        {">=", CALC_OP_SUP_EGAL},  {"&&", CALC_OP_ET},   {"||", CALC_OP_OU},
        {"*", CALC_OP_MULT},       {"/", CALC_OP_DIV},   {"+", CALC_OP_ADD},
        {"-", CALC_OP_SOUSTRACT},  {"%", CALC_OP_MOD},   {"^", CALC_OP_PUISSANCE},
        {"<", CALC_OP_INF},        {">", CALC_OP_SUP},   {"&", CALC_OP_ET_BIN},
        {"|", CALC_OP_OU_BIN},
    };
    const char* p = *pos;
    for (const auto& o : kOperators) {
        size_t n = strlen(o.text);
        if (strncmp(p, o.text, n) != 0) continue;
        CalcTerm* term = NewTerm(CALC_OPERATEUR);
        if (term) term->op = o.op;
        if (!Append(ctx, terms, term, p)) return 0;
        p += n;
        MangerCarInsignifiants(&p);
        *pos = p;
        return 1;
    }
    return 0;
}

int Est_Un_Operateur_Unaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    const char* p = *pos;
    if (*p == '+') {  // accepted, no effect
        *pos = p + 1;
        return 1;
    }
    if (*p != '-' && *p != '!') return 0;
    CalcTerm* term = NewTerm(CALC_OPERATEUR);
    if (term) term->op = *p == '-' ? CALC_OP_NEGATION : CALC_OP_NON;
    if (!Append(ctx, terms, term, p)) return 0;
    *pos = p + 1;
    return 1;
}

int Est_Une_Expression_Simple(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    const char* p = *pos;
    DepthGuard guard(ctx, p);
    if (!guard.ok()) return 0;
    size_t mark = terms->size();
    MangerCarInsignifiants(&p);
    Est_Un_Operateur_Unaire(ctx, terms, &p);
    MangerCarInsignifiants(&p);
    if (!Est_Un_Primaire(ctx, terms, &p)) {
        Truncate(terms, mark);
        return 0;
    }
    for (;;) {
        const char* q = p;
        if (!Est_Un_Operateur(ctx, terms, &q)) break;
        MangerCarInsignifiants(&q);
        if (*q == '\0') {
            SyntaxError(ctx, q, "Fin prématurée de l'expression");
            Truncate(terms, mark);
            return 0;
        }
        // A function call or a variable would only re-read the start of what a failed nested
        // expression read, and the rest of the chain would fail again at the same place: they
        // are not tried after it (trying them made long failing chains take exponential time).
        if (Est_Un_Terme(ctx, terms, &q) || Est_Une_Expression_Simple(ctx, terms, &q)) {
            p = q;
            continue;
        }
        // An operator followed by no operand: the expression does not hold.
        Truncate(terms, mark);
        return 0;
    }
    *pos = p;
    return 1;
}

int Assignment_Expression(CalcContext* ctx, CalcTermQueue*, const char** pos) {
    const char* p = *pos;
    size_t n = NameLength(p, false);
    if (n == 0) return 0;
    const char* q = p + n;
    MangerCarInsignifiants(&q);
    if (q[0] != '=' || q[1] == '=') return 0;
    char* name = CopyText(p, n);
    if (!name) {
        ctx->status = CALC_STATUS_NO_MEMORY;
        return 0;
    }
    free(ctx->assignName);
    ctx->assignName = name;
    *pos = q + 1;
    return 1;
}

int Est_Une_Expression_Primaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos) {
    const char* p = *pos;
    free(ctx->assignName);  // the assignment, if any, of this statement
    ctx->assignName = nullptr;
    MangerCarInsignifiants(&p);
    if (Assignment_Expression(ctx, terms, &p)) MangerCarInsignifiants(&p);
    if (ctx->status == CALC_STATUS_NO_MEMORY) return 0;
    const char* start = p;
    if (!Est_Une_Expression_Simple(ctx, terms, &p)) {
        if (ctx->status != CALC_STATUS_NO_MEMORY)
            SyntaxError(ctx, start,
                        "Syntaxe incorrecte à partir du caractère '" + CharText(*start) + "'.");
        return 0;
    }
    if (*p == ';') {
        ++p;
    } else if (*p != '\0') {
        SyntaxError(ctx, p, Format("Point-vigule (fin d'instruction) attendu, '%s' rencontré.", p));
        return 0;
    }
    *pos = p;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Compilation steps

int Formater_Chaine(CalcContext* ctx, const char* text) {
    ctx->text = strdup(text);
    if (!ctx->text) {
        ctx->status = CALC_STATUS_NO_MEMORY;
        return 0;
    }
    size_t length = strlen(ctx->text);
    ctx->textEnd = ctx->text + (length ? length - 1 : 0);
    int open = 0, close = 0;
    for (const char* p = ctx->text; *p; ++p) {
        if (*p == '(') ++open;
        if (*p == ')') ++close;
    }
    if (open == close) return 1;
    if (close > open)
        PostMsgF(ctx, CALC_MSG_SYNTAX_ERROR, 1, 0,
                 "ERREUR : Il manque %i parenthèse(s) ouvrante(s)", close - open);
    else
        PostMsgF(ctx, CALC_MSG_SYNTAX_ERROR, 1, 0,
                 "ERREUR ; Il manque %i parenthèse(s) fermante(s)", open - close);
    free(ctx->text);
    ctx->text = nullptr;
    ctx->textEnd = nullptr;
    ctx->status = CALC_STATUS_SYNTAX_ERROR;
    return 0;
}

int Interpreter(CalcContext* ctx, CalcTermQueue* terms, const char** pos,
                std::vector<CalcStatement>* statements) {
    while (**pos) {
        if (!statements->empty()) {
            // Blanks after the last ";" end the text.
            const char* rest = *pos;
            MangerCarInsignifiants(&rest);
            if (!*rest) {
                *pos = rest;
                break;
            }
        }
        CalcStatement statement{};
        statement.first = static_cast<int>(terms->size());
        if (!Est_Une_Expression_Primaire(ctx, terms, pos)) {
            if (ctx->status == CALC_STATUS_OK) ctx->status = CALC_STATUS_SYNTAX_ERROR;
            return 0;
        }
        statement.last = static_cast<int>(terms->size());
        if (ctx->assignName) {
            statement.assignName = strdup(ctx->assignName);
            if (!statement.assignName) {
                ctx->status = CALC_STATUS_NO_MEMORY;
                return 0;
            }
        }
        statements->push_back(statement);
    }
    return ctx->status == CALC_STATUS_OK;
}

// ---------------------------------------------------------------------------------------------
// CALC_Compile

CalcContext* CALC_Compile(const char* text) {
    if (!text) return nullptr;
    CalcContext* ctx = static_cast<CalcContext*>(calloc(1, sizeof(CalcContext)));
    if (!ctx) return nullptr;
    const clock_t started = clock();
    ctx->varTableOwned = CALC_TABLE_OWNED;
    ctx->funcTableOwned = CALC_TABLE_OWNED;
    ctx->messages = QUEUE_New();
    ctx->varNames = QUEUE_New();
    ctx->funcNames = QUEUE_New();
    ctx->texts = QUEUE_New();
    ctx->status = CALC_STATUS_OK;
    if (!ctx->messages || !ctx->varNames || !ctx->funcNames || !ctx->texts) {
        ctx->status = CALC_STATUS_NO_MEMORY;
        return ctx;
    }
    if (!Formater_Chaine(ctx, text)) return ctx;

    CalcTermQueue terms;
    std::vector<CalcStatement> statements;
    const char* pos = ctx->text;
    bool ok = Interpreter(ctx, &terms, &pos, &statements);
    if (ok) {
        ctx->statements =
            new (std::nothrow) CalcStatement[statements.size() ? statements.size() : 1];
        if (!ctx->statements) {
            ctx->status = CALC_STATUS_NO_MEMORY;
            ok = false;
        }
    }
    if (ok) {
        for (CalcStatement& s : statements) {
            ctx->statements[ctx->statementCount++] = s;
            s.assignName = nullptr;  // moved
        }
        for (int i = 0; ok && i < ctx->statementCount; ++i) {
            CalcStatement& s = ctx->statements[i];
            // Each statement is read as one parenthesised expression.
            CalcTermQueue infix;
            CalcTerm* open = NewTerm(CALC_PARENTHESE_OUVRANTE);
            CalcTerm* close = NewTerm(CALC_PARENTHESE_FERMANTE);
            if (!open || !close) {
                FreeTerm(open);
                FreeTerm(close);
                ctx->status = CALC_STATUS_NO_MEMORY;
                ok = false;
                break;
            }
            infix.push_back(open);
            for (int t = s.first; t < s.last; ++t) {
                infix.push_back(terms[t]);
                terms[t] = nullptr;
            }
            infix.push_back(close);
            ok = CalcBuildStatement(ctx, &infix, &s);
        }
        if (ctx->statementCount > 0) ctx->tree = ctx->statements[ctx->statementCount - 1].tree;
    }
    for (CalcTerm* t : terms) FreeTerm(t);
    for (CalcStatement& s : statements) free(s.assignName);
    if (!ok) {
        CalcFreeStatements(ctx);
        if (ctx->status == CALC_STATUS_OK) ctx->status = CALC_STATUS_SYNTAX_ERROR;
        return ctx;
    }

    // Variable table: one entry per name, value not yet supplied (NaN).
    int varCount = QUEUE_Count(ctx->varNames);
    if (varCount > 0) {
        ctx->varTable =
            static_cast<CalcVar*>(calloc(static_cast<size_t>(varCount), sizeof(CalcVar)));
        if (!ctx->varTable) {
            ctx->status = CALC_STATUS_NO_MEMORY;
            return ctx;
        }
        for (int i = 0; i < varCount; ++i) {
            ctx->varTable[i].name = static_cast<char*>(QUEUE_PopFront(ctx->varNames));
            ctx->varTable[i].kind = CALC_FLOTTANT;
            ctx->varTable[i].value.number = std::numeric_limits<double>::quiet_NaN();
        }
        ctx->varCount = varCount;
    }
    ctx->varTableOwned = CALC_TABLE_OWNED;

    int funcCount = QUEUE_Count(ctx->funcNames);
    if (funcCount > 0) {
        ctx->funcTable =
            static_cast<CalcFunc*>(calloc(static_cast<size_t>(funcCount), sizeof(CalcFunc)));
        if (!ctx->funcTable) {
            ctx->status = CALC_STATUS_NO_MEMORY;
            return ctx;
        }
        for (int i = 0; i < funcCount; ++i) {
            ctx->funcTable[i].name = static_cast<char*>(QUEUE_PopFront(ctx->funcNames));
            PostMsgF(ctx, CALC_MSG_INFO, 0, 0, "Fonction reconnue : '%s'", ctx->funcTable[i].name);
        }
        ctx->funcCount = funcCount;
    }
    ctx->funcTableOwned = CALC_TABLE_OWNED;

    ctx->compileSeconds = static_cast<double>(clock() - started) / CLOCKS_PER_SEC;
    ctx->status = CALC_STATUS_OK;
    PostMsgF(ctx, CALC_MSG_INFO, 0, 0, "Compilation terminée en %.12g s.", ctx->compileSeconds);
    return ctx;
}

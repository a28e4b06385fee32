// CALC: the expression engine shared by the template runtime and the calculator.
//
// One text such as "x = 12*-1+(2*3+sin(12))*(2%1.2G)" is compiled into an evaluation tree
// (CALC_Compile), evaluated against a variable table lent by the caller (CALC_Calculate), and
// released (CALC_Destroy, in every case). Calling order used by every client:
//   CALC_Compile; drain CALC_ReadMsgNext (CALC_DestroyMsg each); if CALC_Error, report and
//   CALC_Destroy; else CALC_SetVarTableEx; CALC_Calculate; CALC_GetResult / CALC_GetResultType;
//   CALC_Error again (and the messages); CALC_GetAssignName; CALC_Destroy.
// A context belongs to one thread at a time; distinct contexts may be used in parallel.
#pragma once

#include "calc/calcvar.h"

struct TREE;
struct QUEUE;

// Term kinds (names used in the diagnostic dumps).
enum {
    CALC_OPERATEUR = 1,            // binary or unary operator
    CALC_OPERANDE = 2,             // literal number, text, hexadecimal or binary value
    CALC_REFERENCE = 3,            // variable name
    CALC_FONCTION = 4,             // function name followed by "("
    CALC_PARENTHESE_OUVRANTE = 5,  // "("
    CALC_PARENTHESE_FERMANTE = 6,  // ")"
    CALC_SEPARATEUR = 7,           // "," between function arguments
};

// Operator codes.
enum {
    CALC_OP_MULT = 1,        // *
    CALC_OP_DIV = 2,         // /
    CALC_OP_ADD = 3,         // + (also text concatenation)
    CALC_OP_SOUSTRACT = 4,   // - (binary)
    CALC_OP_MOD = 5,         // %
    CALC_OP_PUISSANCE = 6,   // ^
    CALC_OP_NEGATION = 7,    // - (unary)
    CALC_OP_NON = 8,         // ! (unary logical NOT)
    CALC_OP_EGAL = 9,        // ==
    CALC_OP_DIFFERENT = 10,  // !=
    CALC_OP_SUP = 11,        // >
    CALC_OP_INF = 12,        // <
    CALC_OP_ET_BIN = 13,     // & (bitwise AND)
    CALC_OP_OU_BIN = 14,     // | (bitwise OR)
    CALC_OP_OU = 15,         // || (logical OR)
    CALC_OP_ET = 16,         // && (logical AND)
    CALC_OP_SUP_EGAL = 17,   // >=
    CALC_OP_INF_EGAL = 18,   // <=
};

// Message kinds (display names: CALC_MessageKindName).
enum {
    CALC_MSG_INCONNU = 0,
    CALC_MSG_INFO = 1,
    CALC_MSG_WARNING = 2,
    CALC_MSG_ERROR = 3,
    CALC_MSG_SYNTAX_ERROR = 4,
    CALC_MSG_RUNTIME_ERROR = 5,
};

// Context status.
enum {
    CALC_STATUS_OK = 1,             // compiled, or evaluated without error
    CALC_STATUS_SYNTAX_ERROR = 2,   // compilation failed
    CALC_STATUS_RUNTIME_ERROR = 3,  // the last evaluation posted an error
    CALC_STATUS_NO_MEMORY = 4,      // a table could not be allocated
};

// Ownership of the context's variable and function tables.
enum {
    CALC_TABLE_OWNED = 1,  // built by the compiler, released with the context
    CALC_TABLE_LENT = 2,   // the caller's, never released by the engine
};

// A function of 0, 1 or 2 doubles returning a double (double (*)(), double (*)(double) or
// double (*)(double, double)), stored under this one generic type; the engine casts it back to
// the type that matches the entry's parameter count before calling it.
typedef void (*CalcFunction)();

// One recognised token, and (as kind OPERANDE) one evaluation result.
struct CalcTerm {
    int kind;               // term kind (CALC_OPERATEUR ...)
    int op;                 // operator code (kind OPERATEUR)
    int operandKind;        // operand kind (kind OPERANDE and results); 0 = none
    CalcValue value;        // number, truth value, or CHAINE text (owned by a literal term)
    char* name;             // owned variable name (REFERENCE) or function name (FONCTION)
    CalcVar* varValue;      // REFERENCE: the variable's entry, found at the first evaluation
    CalcFunction function;  // FONCTION: the function found at the first evaluation
    int argCount;           // FONCTION: number of arguments written between the parentheses
    int position;           // 1-based position of the token in the expression text
};

// A function table entry.
struct CalcFunc {
    char* name;             // function name (owned by whoever built the table)
    CalcFunction function;  // the function, or nullptr when the caller supplies none
    int paramCount;         // number of parameters the function takes (0, 1 or 2)
};

// One message of the engine; the reader of CALC_ReadMsgNext owns it (CALC_DestroyMsg).
struct CalcMessage {
    int kind;      // CALC_MSG_INFO, CALC_MSG_SYNTAX_ERROR, CALC_MSG_RUNTIME_ERROR, ...
    int code;      // 1 syntax and parameter messages, -1 other runtime messages, 0 information
    int position;  // 1-based character position in the expression text, 0 when none
    char* text;    // owned copy of the text
};

// A table address and its entry count, as CALC_GetVarTableEx / CALC_GetExtFuncTable give them.
struct CalcVarTable {
    int count;       // number of entries
    CalcVar* table;  // first entry, or nullptr
};
struct CalcFuncTable {
    int count;        // number of entries
    CalcFunc* table;  // first entry, or nullptr
};

// Version information of the engine (static, never freed).
struct CalcVersionInfos {
    int build;              // build number
    const char* version;    // version text
    const char* buildDate;  // build date text
    const char* buildTime;  // build time text
};

struct CalcStatement;

// One compiled text, owned by the caller from CALC_Compile until CALC_Destroy.
struct CalcContext {
    char* assignName;           // owned name on the left of "=" (of the last statement), or nullptr
    char* text;                 // owned working copy of the expression text
    char* textEnd;              // address of the last character of `text`
    TREE* tree;                 // evaluation tree of the last statement (nodes carry CalcTerm*)
    int varTableOwned;          // CALC_TABLE_OWNED or CALC_TABLE_LENT
    int funcTableOwned;         // CALC_TABLE_OWNED or CALC_TABLE_LENT
    int varCount;               // entries of varTable
    CalcVar* varTable;          // variable table (built by the compiler, or lent)
    int funcCount;              // entries of funcTable
    CalcFunc* funcTable;        // function table (built by the compiler, or lent)
    QUEUE* varNames;            // owned variable names met while parsing (emptied into varTable)
    QUEUE* funcNames;           // owned non-internal function names met while parsing
    QUEUE* messages;            // CalcMessage* waiting for CALC_ReadMsgNext
    int status;                 // CALC_STATUS_OK ... CALC_STATUS_NO_MEMORY
    double compileSeconds;      // processor time the compilation took, in seconds
    int resultKind;             // operand kind of the last evaluation result
    CalcTerm result;            // copy of the last evaluation's result term (name absent)
    int statementCount;         // statements of the text (each with its own tree)
    CalcStatement* statements;  // owned array of the statements, in text order
    QUEUE* texts;               // owned texts made during evaluation (concatenations)
    int depth;                  // parse and tree nesting reached so far (guard against overflow)
    bool limitReached;          // past CALC_MAX_DEPTH or CALC_MAX_TERMS: told, nothing more is
};

// Compiles one expression text (copied). Returns the new context whatever the outcome (status
// CALC_STATUS_OK or CALC_STATUS_SYNTAX_ERROR, messages queued); nullptr only when the context
// cannot be allocated or `text` is missing. Destroy it with CALC_Destroy in every case.
CalcContext* CALC_Compile(const char* text);

// Evaluates the statements in order (an assignment of one statement is visible to the next
// ones) and keeps the last result in the context. Returns the result's value slot read as a
// double; 0 without a context or when the text did not compile. The text of a CHAINE result
// belongs to the context: copy it to keep it beyond CALC_Destroy.
double CALC_Calculate(CalcContext* ctx);

// Fills `out` with the last result: no name, its kind, and the double (FLOTTANT), the value cut
// to a signed 32-bit integer (ENTIER, BOOLEEN, HEXADECIMAL, BINAIRE) or the text (CHAINE).
// All zero without a context.
void CALC_GetResult(CalcVar* out, CalcContext* ctx);

// Operand kind of the last result; 0 without a context.
int CALC_GetResultType(CalcContext* ctx);

// The name the text assigns to (last statement), or nullptr.
const char* CALC_GetAssignName(CalcContext* ctx);

// 1 when the context is missing or its status is a syntax, evaluation or memory error; else 0.
int CALC_Error(CalcContext* ctx);

// Removes and returns the oldest message (the caller owns it), nullptr when there is none.
CalcMessage* CALC_ReadMsgNext(CalcContext* ctx);

// Frees a message read with CALC_ReadMsgNext (its text and the record).
void CALC_DestroyMsg(CalcMessage* msg);

// Releases the table the context owns, then uses the caller's `table` of `count` entries
// without copying it; the caller keeps it alive and unchanged until CALC_Calculate returns.
// 0, or 1 without a context.
int CALC_SetVarTableEx(CalcContext* ctx, CalcVar* table, int count);

// Writes the variable table's count and address into `out`; returns the count (0 and a zeroed
// pair when there is no table).
int CALC_GetVarTableEx(CalcContext* ctx, CalcVarTable* out);

// The same as CALC_SetVarTableEx for the function table. A supplied function is called with
// its arguments in written order and must take exactly as many as the call writes.
int CALC_SetExtFuncTable(CalcContext* ctx, CalcFunc* table, int count);

// The same as CALC_GetVarTableEx for the function table.
int CALC_GetExtFuncTable(CalcContext* ctx, CalcFuncTable* out);

// Kept for older callers: always 0.
int CALC_GetVarTable();

// Releases one heap entry (allocated with malloc): frees a CHAINE's text, clears the entry and
// frees it. The name is not freed.
void CALC_DestroyCalcVarEx(CalcVar* var);

// The engine's version record (static).
const CalcVersionInfos* CALC_GetVersionInfos();

// Releases the context with its trees, messages, texts and owned tables (lent tables stay
// with the caller); 0.
int CALC_Destroy(CalcContext* ctx);

// Diagnostic: writes a stack-machine listing of the tree to the trace, checking types with the
// evaluation's messages; gives no result.
void CALC_GenererByteCode(CalcContext* ctx);

// Display name of a message kind ("INFO", "SYNTAX_ERROR", ...); "INCONNU" for others.
const char* CALC_MessageKindName(int kind);

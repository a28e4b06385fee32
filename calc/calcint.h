// Internals of the expression engine, shared by its two source files and its tests.
#pragma once

#include <vector>

#include "calc/calc.h"

struct PILE;
struct TREE_NODE;

// Deepest nesting of parentheses, operands and tree levels accepted: beyond it the text is a
// syntax error instead of a stack overflow.
constexpr int CALC_MAX_DEPTH = 1000;
// Most terms (numbers, names, operators, parentheses) of one text: beyond it the text is a
// syntax error instead of a term record for every few bytes of it.
constexpr size_t CALC_MAX_TERMS = 100000;

// The infix stream of terms that the recognisers append to (terms owned by the stream until
// they move into a tree).
using CalcTermQueue = std::vector<CalcTerm*>;

// One statement of a text: its tree and, when it assigns, the name and the value it gave
// (visible to the following statements of the same text).
struct CalcStatement {
    char* assignName;  // owned assignment target, or nullptr
    TREE* tree;        // owned evaluation tree (nodes carry owned CalcTerm*)
    CalcVar value;     // last value of this statement; name aliases assignName
    int first;         // index of the statement's first term in the infix stream
    int last;          // index past its last term
};

// Releases the statements of a context with their trees and terms.
void CalcFreeStatements(CalcContext* ctx);

// Term creation and release (a literal term owns its CHAINE text, any term its name).
CalcTerm* NewTerm(int kind);
void FreeTerm(CalcTerm* term);

// Appends a message (text copied); 0, or 1 when it cannot be stored.
int PostMsg(CalcContext* ctx, int kind, int code, int position, const char* text);
// printf-style PostMsg.
int PostMsgF(CalcContext* ctx, int kind, int code, int position, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// Compilation steps.
int Formater_Chaine(CalcContext* ctx, const char* text);
// Reads the statements one after another; each one's term range and assignment go to
// `statements`.
int Interpreter(CalcContext* ctx, CalcTermQueue* terms, const char** pos,
                std::vector<CalcStatement>* statements);
int Postfixer(CalcContext* ctx, CalcTermQueue* infix, CalcTermQueue* postfix);
int Est_Prioritaire(const CalcTerm* top, const CalcTerm* incoming);
TREE_NODE* Arboriser(CalcContext* ctx, PILE* pile, TREE* tree, TREE_NODE* parent, int where,
                     int depth);
// Builds the tree of one statement from its infix terms (ownership taken): false on a failure
// already posted.
bool CalcBuildStatement(CalcContext* ctx, CalcTermQueue* infix, CalcStatement* statement);

// Recognisers: 1 when the construct was read (terms appended, position moved), else 0.
int Est_Une_Expression_Primaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Assignment_Expression(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Une_Expression_Simple(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Terme(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Hexadecimal(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Binaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Flottant(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Entier(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Une_Chaine(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Une_Fonction(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Une_Variable(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Identificateur(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Operateur(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Un_Operateur_Unaire(CalcContext* ctx, CalcTermQueue* terms, const char** pos);
int Est_Une_Lettre(char c);
int Est_Une_Lettre_Minuscule(char c);
int Est_Une_Lettre_Majuscule(char c);
int Est_Un_Chiffre(char c);
void MangerCarInsignifiants(const char** pos);

// Name registration: 1 when added, 0 when already present (or an internal function).
int RegisterVar(CalcContext* ctx, const char* name);
int RegisterFunction(CalcContext* ctx, const char* name);

// Internal function table.
struct CalcInternalFunc {
    const char* name;      // function name
    double (*fn)(double);  // the function
    int paramCount;        // always 1
};
extern const CalcInternalFunc gCalcInternalFuncs[19];
int Est_Une_Fonction_Interne(const char* name);

// Numeric helpers.
int bin2dec(const char* digits);
void dec2bin(unsigned int value, char* buffer, int width);
// Truncates a double to a signed 32-bit integer (toward zero; NaN gives 0; out of range gives
// the lowest integer, as the processor's conversion does).
int CalcToInt32(double value);

// Evaluation of one node (absent node: kind 0, value 0). `listing` writes the stack-machine
// instruction of every node as CALC_GenererByteCode does.
CalcTerm Calculer(CalcContext* ctx, TREE_NODE* node, int statement, bool listing);

// Diagnostic dumps of one term to the trace.
void EcrireFormule(const CalcTerm* term);
void AfficherTerme(const CalcTerm* term);
// Listing text of an operator ("*", "(-)", "==", ...).
const char* CalcOperatorText(int op);
// Name of a term kind ("OPERATEUR", ...) and of an operand kind ("FLOTTANT", ...).
const char* CalcTermKindName(int kind);
const char* CalcOperandKindName(int kind);

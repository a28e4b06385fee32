// CALCULATION: one calculation of the calculator, shared by tallymor and `morvexcli calc`.
//
// A formula is compiled and evaluated by the engine (calc.h) against the calculator's variable
// table; the outcome gives the engine's messages, the text of the result field, the value as
// the history shows it, and whether an assignment was refused because the table is full.
// Nothing here talks to a person: the front ends show the outcome their own way.
// A variable table belongs to one thread at a time.
#pragma once

#include <string>
#include <vector>

#include "calc/calcvar.h"

struct CalcVersionInfos;

// The most variables the calculator keeps.
constexpr int CALCULATION_MAX_VARIABLES = 100;

// The most characters of a formula that the calculator reads (formula field, calculation file).
constexpr int CALCULATION_MAX_FORMULA = 1024;

// Caption and text shown when an assignment finds the variable table full.
extern const char* const CALCULATION_OVERFLOW_CAPTION;
extern const char* const CALCULATION_OVERFLOW_TEXT;

// Texts of the result field after a failed calculation.
extern const char* const CALCULATION_SYNTAX_ERROR_TEXT;
extern const char* const CALCULATION_RUNTIME_ERROR_TEXT;

// Status of one calculation.
enum {
    CALCULATION_EMPTY = 0,          // empty formula: nothing was done
    CALCULATION_OK = 1,             // calculated (an assignment may still have been refused)
    CALCULATION_SYNTAX_ERROR = 2,   // the formula did not compile
    CALCULATION_RUNTIME_ERROR = 3,  // the evaluation posted an error
};

// The calculator's variable table: the entries in use come first, in the order they were
// created. It owns every name and every CHAINE text (malloc'd copies), released by the
// destructor. The engine reads it as a lent table.
struct CalculatorVariables {
    CalcVar entries[CALCULATION_MAX_VARIABLES] = {};  // entries 0 .. count-1 are in use
    int count = 0;                                    // number of entries in use

    CalculatorVariables() = default;
    CalculatorVariables(const CalculatorVariables&) = delete;
    CalculatorVariables& operator=(const CalculatorVariables&) = delete;
    ~CalculatorVariables();
};

// One message of the engine, copied out of it.
struct CalculationMessage {
    int kind;          // CALC_MSG_INFO ... CALC_MSG_RUNTIME_ERROR
    int position;      // 1-based position in the formula, 0 when none
    std::string text;  // the engine's text
    bool compilation;  // true for a message of the compilation, false for the evaluation's
};

// The outcome of one calculation.
struct CalculationResult {
    int status = CALCULATION_EMPTY;            // CALCULATION_EMPTY ... CALCULATION_RUNTIME_ERROR
    std::vector<CalculationMessage> messages;  // compilation messages, then evaluation ones
    std::string resultText;        // the result field: the result line, or an error text
    std::string value;             // the value as the history shows it (CALCULATION_OK only)
    std::string assignName;        // the variable the formula assigns, empty when none
    bool variableRefused = false;  // the table was full: the assignment was not stored
};

// Calculates `formula` against `vars` and stores an assigned result into it. Fills `out`
// (reset first). Returns 0 when the formula is empty or was calculated, 1 on a syntax or
// evaluation error (the table is then unchanged) or a missing argument.
int CALCULATION_Run(CalculatorVariables* vars, const char* formula, CalculationResult* out);

// Stores `value` (a double for the numeric kinds; for CALC_CHAINE the text in value.text,
// copied) under `name`: an existing entry of that exact name gets the new kind and value and
// keeps its name, otherwise a new entry is added. Returns 0, or 1 when the table is full (or an
// argument is missing, or memory runs out): nothing is stored then.
int CALCULATION_StoreVariable(CalculatorVariables* vars, const char* name, int kind,
                              CalcValue value);

// Empties the table, releasing its names and texts.
void CALCULATION_ClearVariables(CalculatorVariables* vars);

// The result line "name = value" of a result record (`value` is the double the calculation
// returned), formatted by its kind.
std::string CALCULATION_ResultLine(const std::string& name, const CalcVar& result, double value);

// The value of a result record as the history list shows it.
std::string CALCULATION_HistoryText(const CalcVar& result, double value);

// The value of a table entry as the variables list shows it.
std::string CALCULATION_VariableText(const CalcVar& var);

// The binary digits of a 32-bit value, without leading zeros ("0" for 0).
std::string CALCULATION_BinaryDigits(int value);

// The message column of a message: "Position %i : %s".
std::string CALCULATION_MessageText(const CalculationMessage& msg);

// The about box line of the engine "Composant de calcul : %s (build %i : %s %s)" into `out`.
// Returns 0, or 1 when there is no version information (`out` is then emptied).
int CALCULATION_EngineVersionLine(const CalcVersionInfos* infos, std::string* out);

// The largest calculation file read (thousands of formulas of the longest length).
constexpr size_t CALCULATION_MAX_FILE = 4u << 20;

// Reads a calculation file: one formula per line, in order; the line end (LF or CR LF) is
// removed and a line is cut at CALCULATION_MAX_FORMULA characters. Returns 0, or 1 when the
// file cannot be opened or read, is no regular file (a named pipe or a device is refused at
// once) or is larger than CALCULATION_MAX_FILE; `error` (optional) then gets the reason in
// French and `formulas` is empty.
int CALCULATION_ReadFile(const char* path, std::vector<std::string>* formulas,
                         std::string* error = nullptr);

// Writes the formulas, one line each ("%s\n"), replacing the file. Returns 0, or 1 when the
// file cannot be written.
int CALCULATION_WriteFile(const char* path, const std::vector<std::string>& formulas);

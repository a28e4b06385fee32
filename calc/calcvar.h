// CalcVar: one named value of the expression engine. The same record serves as the variable
// table that a caller lends to the engine (template runtime, calculator) and as the engine's
// result record.
#pragma once

// Operand kinds: the kind of a literal, of a variable's value and of a result.
enum {
    CALC_AUCUN = 0,        // no value (an error result, an empty formula)
    CALC_FLOTTANT = 1,     // decimal number
    CALC_ENTIER = 2,       // integer number (held as a double)
    CALC_BOOLEEN = 3,      // truth value, 1.0 or 0.0
    CALC_CHAINE = 4,       // text
    CALC_HEXADECIMAL = 5,  // "0x..." value (held as a double of a signed 32-bit integer)
    CALC_BINAIRE = 6,      // "0b..." value (held as a double of a signed 32-bit integer)
};

// The 8-byte value slot. In a table lent to the engine every numeric kind is read from
// `number` and a CHAINE from `text`; the result record uses `integer` for the integer kinds.
union CalcValue {
    double number;  // FLOTTANT, and every numeric kind in a variable table
    int integer;    // ENTIER, BOOLEEN, HEXADECIMAL, BINAIRE in a result record
    char* text;     // CHAINE: NUL-terminated text (owner: see the record that holds it)
};

// A variable table entry. A variable table is a contiguous array of these plus a count.
struct CalcVar {
    char* name;       // variable name (owned by whoever built the table); absent in a result
    int kind;         // operand kind (CALC_FLOTTANT ... CALC_BINAIRE)
    CalcValue value;  // the value, read as described for CalcValue
};

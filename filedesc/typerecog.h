// Type recognition: what kind of value a field holds (integer with or without a leading zero,
// decimal, date, date-time, plain word), the per-column totals of those kinds, and the rule that
// turns a column's total into a proposed target type and format.
//
// The recogniser matches each value against a fixed set of patterns (the syntax of
// filedesc/regexp.h) that are prepared once per process; it is thread-safe and allocates
// nothing per pattern try. Values are bytes with a length: a zero byte is data, not an end.
#pragma once

#include "filedesc/filedesc.h"
#include "filedesc/typestats.h"

// Remark attached to a column whose numbers start with a zero (proposed as fixed strings).
extern const char* const TYPERECOG_ZERO_PREFIXED_REMARK;

// Recognises one value (zero-terminated text, blanks included) and returns a new calloc'd record
// describing it (the caller merges it and releases it with free()); nullptr for a missing text
// or when memory is exhausted.
COL_TYPE_STATISTICS* AnalyseTypeDonnee(const char* text);
// The same for `length` bytes at `value` (zero bytes included); nullptr when value is missing
// with a positive length, or when memory is exhausted.
COL_TYPE_STATISTICS* AnalyseTypeDonneeN(const char* value, int length);
// Recognises `length` bytes at `value` into *stats (no allocation): counters, lengths and
// scratch start at 0 and both formats empty (bytes after their terminator are left as they were).
// 0, or 1 when stats is missing (or value is missing with a positive length).
int AnalyseTypeDonneeInto(COL_TYPE_STATISTICS* stats, const char* value, int length);

// Fills the scratch fields (lengthIntegerPart, lengthDecimalPart, decimalSeparator) and
// maxLengthForIntegerPart / maxLengthForDecimalPart of stats from a decimal value.
// 0, or 1 when an argument is missing.
int AnalyseDecimal(const char* text, COL_TYPE_STATISTICS* stats);
// The same for `length` bytes at `value`.
int AnalyseDecimalN(const char* value, int length, COL_TYPE_STATISTICS* stats);

// Merges one value record into a column total (copies it when the total's isFirst is 1).
// 0, or 1 when either record is missing.
int CompileStatistics(COL_TYPE_STATISTICS* total, const COL_TYPE_STATISTICS* value);

// Sets the proposed target type and format of every column of desc that has a statistics
// total. 0, or 1 when desc is missing.
int SetDefaultTypeFromStatistics(FileDesc* desc);

// The largest of the `count` integers at `values`; 0 when values is missing or count < 1.
int GetMaximum(const int* values, int count);

// Writes the counters and lengths of stats to the trace (nothing for a missing record).
void COL_TYPE_STATISTICS_ToString(const COL_TYPE_STATISTICS* stats);

// Runs the pattern self-test and writes each case with its result to the trace.
// Returns the number of cases that failed (0 when the matcher is sound).
int TestRegExp();

// Reads the whole text as a hexadecimal number (first character most significant).
// 0 for a missing text; the value wraps around past 32 bits.
int hex_to_asc(const char* text);
// Value of one hexadecimal digit of `text`: 0..9 for digits, the upper-case code minus 55 for
// a letter (A = 10 ... Z = 35); any other character is reported on the error output and still
// gives its code minus 55.
int get_val_from_digit(char digit, const char* text);

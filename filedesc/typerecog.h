// Type recognition: what kind of value a field holds (integer with or without a leading zero,
// decimal, date, date-time, plain word), the per-column totals of those kinds, and the rule that
// turns a column's total into a proposed target type and format.
//
// The recogniser matches each value against a fixed set of patterns (the syntax of
// filedesc/regexp.h), each read by hand in one pass over the value, with the result
// ValidateType would give; it is thread-safe and allocates nothing. Values are bytes with a
// length: a zero byte is data, not an end.
#pragma once

#include <string_view>

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

// Date and date-time pictures the recogniser knows, in the order in which it tries them.
constexpr int TYPERECOG_DATE_LAYOUTS = 4;
constexpr int TYPERECOG_DATETIME_LAYOUTS = 5;
// The picture format of a date layout ("aaaammjj", "aaaa-mm-jj", "jj/mm/aaaa", "jj/mm/aa") or
// of a date-time layout; "" outside their range.
const char* TYPERECOG_DateFormat(int layout);
const char* TYPERECOG_DatetimeFormat(int layout);
// The layout of a picture format, -1 for one the recogniser does not give.
int TYPERECOG_DateLayout(const char* format);
int TYPERECOG_DatetimeLayout(const char* format);

// Whether `text`, read under the picture of date layout `layout`, names a real day: what
// DATETIME_ReadValid answers for it, told without reading the picture for the layouts'
// own shapes (a value of that shape, without blanks around it, of a year past 1600).
bool TYPERECOG_IsRealDay(std::string_view text, int layout);

// Whether `text` (blanks already left out) is the word NULL in any case, which stands for no
// value in a column of numbers or dates, for the analysis as for the loads.
inline bool TYPERECOG_IsNullWord(std::string_view text) {
    return text.size() == 4 && (text[0] | 0x20) == 'n' && (text[1] | 0x20) == 'u' &&
           (text[2] | 0x20) == 'l' && (text[3] | 0x20) == 'l';
}

// The date or date-time layout the recogniser found in one value (-1: none; a blank or NULL
// value has neither).
struct TYPERECOG_SEEN {
    int dateLayout = -1;
    int datetimeLayout = -1;
};
// Recognises `length` bytes at `value` and adds them to the column total `total` as
// CompileStatistics adds the record AnalyseTypeDonneeInto makes of them, without making it:
// the way of the analysis, once per value. `seen` (may be nullptr) receives the value's
// layouts. 0, or 1 when total is missing (or value is missing with a positive length).
int AnalyseTypeDonneeAdd(COL_TYPE_STATISTICS* total, const char* value, int length,
                         TYPERECOG_SEEN* seen);

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

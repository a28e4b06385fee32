// Small text patterns for value recognition and column name validation.
//
// Syntax: an ordinary character matches itself; "." matches any one character; "[...]" matches
// one character of the set ("a-z" is a range, a "-" first or last is itself, a backslash is an
// ordinary member); "*" after an item repeats it zero or more times, "+" one or more times, "?"
// makes it optional. Repetitions are greedy and backtrack. No anchors, groups or alternation.
#pragma once

// A compiled pattern (opaque).
struct REGEXP;

// Compiles `pattern`; nullptr when it is missing or invalid. Release with REGEXP_Free.
REGEXP* REGEXP_Compile(const char* pattern);
// Releases a compiled pattern (nullptr accepted).
void REGEXP_Free(REGEXP* re);
// Searches `text` from the left and reports the first match found: 1 with its bounds (start
// inclusive, end exclusive, in bytes) in *start / *end (either may be null), 0 when none.
int REGEXP_Search(const REGEXP* re, const char* text, int* start, int* end);
// 1 when the first match of `pattern` in `text` starts at the first character and ends at the
// last one, 0 otherwise; a missing text gives 1. An invalid pattern traces
// "\nRegExp error for [pattern]:[text]" and gives 0.
int ValidateType(const char* text, const char* pattern);

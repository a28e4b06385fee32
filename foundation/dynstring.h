// DYNSTRING: growable text buffer, always zero-terminated, growing by fixed 1024-byte steps.
#pragma once

struct DYNSTRING {
    char* string;   // owned buffer, always terminated by a zero byte
    int allocSize;  // bytes allocated for string
    int usedSize;   // length of the text plus one (an empty string has usedSize 1)
};

// Creation returns nullptr when out of memory.
DYNSTRING* DYNSTRING_New();
DYNSTRING* DYNSTRING_NewWithCString(const char* text);
DYNSTRING* DYNSTRING_NewWithCChar(char ch);
// The following return 0 for success, 1 for failure.
int DYNSTRING_Init(DYNSTRING* ds, const char* text);
int DYNSTRING_Destroy(DYNSTRING* ds);
int DYNSTRING_ConcatString(DYNSTRING* ds, const char* text);
int DYNSTRING_ConcatChar(DYNSTRING* ds, char ch);
int DYNSTRING_ReplaceStr(DYNSTRING* ds, const char* search, const char* replacement);
// The buffer itself (not a copy); nullptr for a missing string.
char* DYNSTRING_GetCString(DYNSTRING* ds);
// Prints the module's counters on the trace.
void DYNSTRING_ShowGlobalStats();

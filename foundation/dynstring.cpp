// DYNSTRING: growable text buffer growing by fixed 1024-byte steps.
#include "foundation/dynstring.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "foundation/trace.h"

namespace {

// Bytes added by every growth of a buffer.
constexpr int kGrowStep = 1024;

// Process-wide counters, printed by DYNSTRING_ShowGlobalStats. Strings are created from worker
// threads too, hence atomics.
std::atomic<int> nbDynStringCreated{0};
std::atomic<int> nbDynStringDeleted{0};
std::atomic<int> nbDynStringRealloc{0};
std::atomic<int> cumulatedDynStringAlloc{0};

// Allocates a buffer holding a copy of `text` (absent or empty: an empty buffer of 1024 bytes).
// Sets *allocSize and *usedSize; nullptr when out of memory.
char* MakeBuffer(const char* text, int* allocSize, int* usedSize) {
    size_t len = text ? strlen(text) : 0;
    if (len >= static_cast<size_t>(INT_MAX)) return nullptr;
    int size = len == 0 ? kGrowStep : static_cast<int>(len) + 1;
    char* buffer = static_cast<char*>(malloc(static_cast<size_t>(size)));
    if (!buffer) return nullptr;
    if (len > 0) memcpy(buffer, text, len);
    buffer[len] = '\0';
    *allocSize = size;
    *usedSize = static_cast<int>(len) + 1;
    cumulatedDynStringAlloc += size;
    return buffer;
}

// Grows the buffer by exactly one step; false (with the caller's message) when out of memory.
bool Grow(DYNSTRING* ds, const char* caller) {
    char* bigger = nullptr;
    if (ds->allocSize <= INT_MAX - kGrowStep)
        bigger = static_cast<char*>(realloc(
            ds->string, static_cast<size_t>(ds->allocSize) + static_cast<size_t>(kGrowStep)));
    if (!bigger) {
        morvex::trace("\n[%s] : Impossible de reallouer de la memoire pour dynString->string.",
                      caller);
        return false;
    }
    ds->string = bigger;
    ds->allocSize += kGrowStep;
    ++nbDynStringRealloc;
    cumulatedDynStringAlloc += kGrowStep;
    return true;
}

// Appends one non-zero character, growing as needed; 0 or 1.
int AppendChar(DYNSTRING* ds, char ch, const char* caller) {
    // A string made from a text has no spare byte: make room before writing.
    if (ds->usedSize >= ds->allocSize && !Grow(ds, caller)) return 1;
    ds->string[ds->usedSize - 1] = ch;
    ds->string[ds->usedSize] = '\0';
    ++ds->usedSize;
    if (ds->usedSize >= ds->allocSize && !Grow(ds, caller)) return 1;
    return 0;
}

// Builds a record around a buffer made by MakeBuffer; nullptr when out of memory.
DYNSTRING* NewRecord(const char* text) {
    DYNSTRING* ds = new (std::nothrow) DYNSTRING{nullptr, 0, 0};
    if (!ds) return nullptr;
    ds->string = MakeBuffer(text, &ds->allocSize, &ds->usedSize);
    if (!ds->string) {
        delete ds;
        return nullptr;
    }
    ++nbDynStringCreated;
    return ds;
}

}  // namespace

DYNSTRING* DYNSTRING_New() {
    return NewRecord(nullptr);
}

DYNSTRING* DYNSTRING_NewWithCString(const char* text) {
    return NewRecord(text);
}

DYNSTRING* DYNSTRING_NewWithCChar(char ch) {
    const char text[2] = {ch, '\0'};
    return NewRecord(text);
}

int DYNSTRING_Init(DYNSTRING* ds, const char* text) {
    if (!ds) return 1;
    int allocSize = 0;
    int usedSize = 0;
    char* buffer = MakeBuffer(text, &allocSize, &usedSize);
    if (!buffer) return 1;
    free(ds->string);
    ds->string = buffer;
    ds->allocSize = allocSize;
    ds->usedSize = usedSize;
    return 0;
}

int DYNSTRING_Destroy(DYNSTRING* ds) {
    if (!ds) return 1;
    free(ds->string);
    delete ds;
    ++nbDynStringDeleted;
    return 0;
}

int DYNSTRING_ConcatString(DYNSTRING* ds, const char* text) {
    if (!ds || !text || !ds->string) {
        morvex::trace("\n[DYNSTRING_ConcatString] : ERREUR : dynString or stringToAdd is null");
        return 1;
    }
    // Appending a part of the string to itself: growth would move the source, so copy it first.
    std::string own;
    if (text >= ds->string && text < ds->string + ds->allocSize) {
        own = text;
        text = own.c_str();
    }
    for (const char* p = text; *p; ++p)
        if (AppendChar(ds, *p, "DYNSTRING_ConcatString") != 0) return 1;
    return 0;
}

int DYNSTRING_ConcatChar(DYNSTRING* ds, char ch) {
    if (!ds || !ds->string || ch == '\0') return 1;
    return AppendChar(ds, ch, "DYNSTRING_ConcatChar");
}

int DYNSTRING_ReplaceStr(DYNSTRING* ds, const char* search, const char* replacement) {
    if (!ds || !ds->string || !search || !replacement || *search == '\0') return 1;
    DYNSTRING* result = DYNSTRING_New();
    if (!result) return 1;
    size_t searchLen = strlen(search);
    const char* p = ds->string;
    while (*p) {
        int rc;
        if (strncmp(p, search, searchLen) == 0) {
            rc = DYNSTRING_ConcatString(result, replacement);
            p += searchLen;
        } else {
            rc = DYNSTRING_ConcatChar(result, *p);
            ++p;
        }
        if (rc != 0) {
            DYNSTRING_Destroy(result);
            return 1;
        }
    }
    // Install the result's buffer as the new content, then drop the emptied record.
    free(ds->string);
    ds->string = result->string;
    ds->allocSize = result->allocSize;
    ds->usedSize = result->usedSize;
    result->string = nullptr;
    DYNSTRING_Destroy(result);
    return 0;
}

char* DYNSTRING_GetCString(DYNSTRING* ds) {
    return ds ? ds->string : nullptr;
}

void DYNSTRING_ShowGlobalStats() {
    int created = nbDynStringCreated;
    int deleted = nbDynStringDeleted;
    morvex::trace(
        "\n[DYNSTRING_ShowGlobalStats] :\n - nbDynStringCreated      = %i\n"
        " - nbDynStringDeleted      = %i\n   -> Currently in Memory  = %i\n"
        " - nbDynStringRealloc      = %i\n - cumulatedDynStringAlloc = %i",
        created, deleted, created - deleted, nbDynStringRealloc.load(),
        cumulatedDynStringAlloc.load());
}

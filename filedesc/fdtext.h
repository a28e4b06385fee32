// Text helpers private to the filedesc library.
#pragma once

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "foundation/utf8.h"

namespace fdtext {

// Copies `src` into the fixed array `dst` of `dstSize` bytes, cut between two characters when
// it does not fit; the result is always terminated. A null source gives an empty text.
inline void copyCut(char* dst, size_t dstSize, const char* src) {
    morvex::utf8CopyCut(dst, dstSize, src);
}

// Reads a decimal integer the way atoi does (leading blanks, optional sign); text that is not a
// number gives 0, values beyond the int range are clamped. *next (optional) gets the first
// character not read.
inline int toInt(const char* text, const char** next = nullptr) {
    if (!text) {
        if (next) *next = text;
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    if (next) *next = end;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace fdtext

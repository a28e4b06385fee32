// In-place helpers on zero-terminated texts, and ajusterMot for aligned columns.
#include "foundation/mystrings.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Character written in place of the last kept one when a short text is cut.
constexpr char kCutMark = '\x10';

}  // namespace

void MYSTRINGS_ReplaceChar(char* text, char from, char to) {
    if (!text) return;
    for (char* p = text; *p; ++p)
        if (*p == from) *p = to;
}

char* MYSTRINGS_StripChar(char* text, char ch) {
    if (!text) return nullptr;
    if (ch == '\0') return text;
    char* out = text;
    for (const char* in = text; *in; ++in)
        if (*in != ch) *out++ = *in;
    *out = '\0';
    return text;
}

int MYSTRINGS_RecognizeSequence(const char* text, const char* sequence) {
    if (!text || !sequence) return -1;
    size_t len = strlen(sequence);
    if (len == 0) return 0;
    return strncmp(text, sequence, len) == 0 ? static_cast<int>(len) : 0;
}

int MYSTRINGS_Substring(const char* text, int start, int count, char* out, int outSize) {
    if (!out || outSize < 1) return 1;
    out[0] = '\0';
    if (!text) return 1;
    if (start < 1 || count < 1) return 0;
    // Skip to the 1-based start without walking past the end of the text.
    const char* p = text;
    for (int i = 1; i < start && *p; ++i) ++p;
    int copied = 0;
    while (copied < count && *p) {
        if (copied == outSize - 1) return 1;  // out is full: keep room for the terminator
        out[copied++] = *p++;
        out[copied] = '\0';
    }
    return 0;
}

void ajusterMot(char* text, int capacity, int width, const char* pad, int mode) {
    if (!text || capacity < 1) return;
    // The result, terminator included, never exceeds capacity.
    int w = width < capacity - 1 ? width : capacity - 1;
    if (w < 0) w = 0;
    int len = static_cast<int>(strnlen(text, static_cast<size_t>(capacity)));
    if (len >= capacity) len = capacity - 1;
    text[len] = '\0';
    char fill = (pad && *pad) ? *pad : ' ';

    if (len < w) {
        int missing = w - len;
        int left = 0;
        if (mode == 1)
            left = missing;
        else if (mode == 2)
            left = missing / 2;
        else if (mode != 0)
            return;
        int right = missing - left;
        memmove(text + left, text, static_cast<size_t>(len));
        memset(text, fill, static_cast<size_t>(left));
        memset(text + left + len, fill, static_cast<size_t>(right));
        text[w] = '\0';
        return;
    }
    if (len > w) {
        if (len > 3 && w >= 3) {
            memcpy(text + w - 3, "...", 3);
        } else if (w >= 1) {
            text[w - 1] = kCutMark;
        }
        text[w] = '\0';
    }
}

std::string morvex::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) vsnprintf(out.data(), out.size() + 1, format, args);
    va_end(args);
    return out;
}

void morvex::AppendPadded(std::string& out, int value, int width) {
    char digits[16];
    if (value < 0) {
        const int n = snprintf(digits, sizeof digits, "%0*i", width, value);
        out.append(digits, static_cast<size_t>(n));
        return;
    }
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const int n = static_cast<int>(result.ptr - digits);
    if (n < width) out.append(static_cast<size_t>(width - n), '0');
    out.append(digits, static_cast<size_t>(n));
}

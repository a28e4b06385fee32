#include "foundation/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvex {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the run of ASCII bytes that begins at `p` (`n` bytes): the bulk of most
// texts, checked 64, 16 then 8 bytes at a time.
size_t asciiRun(const char* p, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    auto block = [p](size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    };
    for (; i + 64 <= n; i += 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(block(i), block(i + 16)),
                                         _mm_or_si128(block(i + 32), block(i + 48)));
        if (_mm_movemask_epi8(any) != 0) break;
    }
    for (; i + 16 <= n; i += 16)
        if (_mm_movemask_epi8(block(i)) != 0) break;
#endif
    for (; i + 8 <= n; i += 8) {
        uint64_t eight;
        memcpy(&eight, p + i, sizeof eight);
        if ((eight & 0x8080808080808080ull) != 0) break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80) ++i;
    return i;
}

}  // namespace

size_t utf8CharLength(std::string_view text, size_t at, Utf8End end) {
    if (at >= text.size()) return 0;
    const auto c = static_cast<unsigned char>(text[at]);
    size_t length;
    if (c < 0x80)
        return 1;
    else if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4;
    else
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if (at + k >= text.size()) return end == Utf8End::Prefix ? text.size() - at : 0;
        const auto next = static_cast<unsigned char>(text[at + k]);
        if (!isContinuation(next)) return 0;
        // The second byte rules out overlong forms, surrogates and values past U+10FFFF.
        if (k == 1 && ((c == 0xE0 && next < 0xA0) || (c == 0xED && next > 0x9F) ||
                       (c == 0xF0 && next < 0x90) || (c == 0xF4 && next > 0x8F)))
            return 0;
    }
    return length;
}

bool utf8IsValid(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        i += asciiRun(text.data() + i, text.size() - i);
        if (i == text.size()) break;
        const size_t length = utf8CharLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

size_t utf8CutPoint(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text.size();
    size_t cut = limit;
    for (int back = 0; back < 3 && cut > 0; ++back) {
        if (!isContinuation(static_cast<unsigned char>(text[cut]))) return cut;
        --cut;
    }
    return isContinuation(static_cast<unsigned char>(text[cut])) ? limit : cut;
}

void utf8CopyCut(char* field, size_t fieldSize, std::string_view text) {
    if (!field || fieldSize == 0) return;
    const size_t n = utf8CutPoint(text, fieldSize - 1);
    if (n) memcpy(field, text.data(), n);
    field[n] = '\0';
}

void utf8CopyCut(char* field, size_t fieldSize, const char* text) {
    if (!field || fieldSize == 0) return;
    utf8CopyCut(field, fieldSize, text ? std::string_view(text, strnlen(text, fieldSize))
                                       : std::string_view());
}

}  // namespace morvex

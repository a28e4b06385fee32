#include "foundation/utf8.h"

#include <cstdint>
#include <cstring>

namespace morvex {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
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
        // ASCII, the bulk of most texts, 32 then eight bytes at a time.
        uint64_t four[4];
        if (text.size() - i >= sizeof four) {
            memcpy(four, text.data() + i, sizeof four);
            if (((four[0] | four[1] | four[2] | four[3]) & 0x8080808080808080ull) == 0) {
                i += sizeof four;
                continue;
            }
        }
        uint64_t eight;
        if (text.size() - i >= sizeof eight) {
            memcpy(&eight, text.data() + i, sizeof eight);
            if ((eight & 0x8080808080808080ull) == 0) {
                i += sizeof eight;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
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

// The conversion of a line end or delimiter from its text notation into bytes.
#include "datafile/dialect.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "foundation/trace.h"

namespace {

// Value of one hexadecimal digit: 0-9, a letter in upper case minus 55 (A = 10 ... Z = 35);
// any other character is reported with the whole text and still counts its code minus 55.
unsigned hexDigitValue(char c, const std::string& whole) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= '0' && u <= '9') return u - '0';
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
        return static_cast<unsigned>(toupper(u)) - 55u;
    fprintf(stderr, "invalid hexadecimal value : %s\n", whole.c_str());
    return static_cast<unsigned>(u) - 55u;
}

}  // namespace

std::string DATAFILE_NotationBytes(std::string_view notation, size_t maxBytes) {
    std::string out;
    size_t i = 0;
    while (i < notation.size() && out.size() < maxBytes) {
        const char c = notation[i];
        char byte = c;
        if (c == '\\') {
            if (i + 1 == notation.size()) {  // a lone backslash at the end stands for itself
                ++i;
            } else {
                const char n = notation[i + 1];
                byte = n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n == '0' ? '\0' : n;
                i += 2;
            }
        } else if (c == '#' && notation.substr(i + 1, 2) == "0x") {
            i += 3;
            std::string hex;
            for (; i < notation.size() && notation[i] != '#'; ++i) {
                hex += notation[i];
                // The description's conversion has always traced its digits under this name.
                morvex::trace("\n[FILEDESC_ConvertEndOfLine] HexValue = [%c][%s]", notation[i],
                              hex.c_str());
            }
            unsigned value = 0;  // wraps around rather than overflowing
            for (char h : hex) value = value * 16u + hexDigitValue(h, hex);
            byte = static_cast<char>(value & 0xFFu);
        } else {
            ++i;
        }
        if (byte == '\0') break;
        out += byte;
    }
    return out;
}

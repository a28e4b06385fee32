// The parsed form of a text pattern (the syntax of filedesc/regexp.h), that of the general
// matcher behind REGEXP_Compile.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace morvex::regexp {

// How often an item may repeat.
enum class Repeat : uint8_t {
    One,         // exactly once
    ZeroOrMore,  // "*"
    OneOrMore,   // "+"
    ZeroOrOne,   // "?"
};

// One pattern item: the bytes it accepts and its repetition.
struct Item {
    std::array<bool, 256> accepts;  // accepts[b]: the item matches byte b ("." takes them all)
    Repeat repeat;                  // repetition suffix
};

// Appends the items of `pattern` to `items`; false for an invalid pattern (a repetition with
// nothing to repeat, an unclosed set or a reversed range), the items then being incomplete.
bool parsePattern(const char* pattern, std::vector<Item>& items);

}  // namespace morvex::regexp

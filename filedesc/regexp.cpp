// Pattern compiler and backtracking matcher for the recogniser and column validation.
#include "filedesc/regexp.h"

#include <cstring>
#include <new>
#include <vector>

#include "filedesc/regexp_items.h"
#include "foundation/trace.h"

namespace morvex::regexp {

bool parsePattern(const char* pattern, std::vector<Item>& items) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    while (*p) {
        Item item{};
        item.repeat = Repeat::One;
        if (*p == '*' || *p == '+' || *p == '?') return false;  // nothing to repeat
        if (*p == '.') {
            item.accepts.fill(true);
            ++p;
        } else if (*p == '[') {
            ++p;
            const unsigned char* setStart = p;
            bool closed = false;
            while (*p) {
                // A "]" closes the set, except as its first member.
                if (*p == ']' && p != setStart) {
                    closed = true;
                    ++p;
                    break;
                }
                unsigned char lo = *p;
                if (p[1] == '-' && p[2] != 0 && p[2] != ']') {
                    unsigned char hi = p[2];
                    if (hi < lo) return false;  // reversed range
                    for (int c = lo; c <= hi; ++c) item.accepts[static_cast<size_t>(c)] = true;
                    p += 3;
                } else {
                    item.accepts[lo] = true;  // a backslash is an ordinary member too
                    ++p;
                }
            }
            if (!closed) return false;
        } else {
            item.accepts[*p] = true;
            ++p;
        }
        if (*p == '*') {
            item.repeat = Repeat::ZeroOrMore;
            ++p;
        } else if (*p == '+') {
            item.repeat = Repeat::OneOrMore;
            ++p;
        } else if (*p == '?') {
            item.repeat = Repeat::ZeroOrOne;
            ++p;
        }
        items.push_back(item);
    }
    return true;
}

}  // namespace morvex::regexp

namespace {

using morvex::regexp::Item;
using morvex::regexp::Repeat;

// First-match table of a pattern over one text, filled from the last item backwards:
// for each position, the end of the match that a greedy backtracking matcher finds first when
// starting items[i..] there, or -1. A greedy repetition at pos yields the same first match as
// at pos + 1 when that one succeeds (it tries the same longer runs first), otherwise it stops
// at pos; so every row costs one pass over the text, whatever the pattern.
std::vector<int> firstMatchEnds(const std::vector<Item>& items, const unsigned char* text,
                                int len) {
    std::vector<int> next(static_cast<size_t>(len) + 1);
    for (int pos = 0; pos <= len; ++pos) next[static_cast<size_t>(pos)] = pos;  // empty rest
    std::vector<int> row(static_cast<size_t>(len) + 1);
    std::vector<int> star(static_cast<size_t>(len) + 1);
    for (size_t i = items.size(); i-- > 0;) {
        const Item& item = items[i];
        auto accepts = [&](int pos) { return pos < len && item.accepts[text[pos]]; };
        if (item.repeat == Repeat::ZeroOrMore || item.repeat == Repeat::OneOrMore) {
            for (int pos = len; pos >= 0; --pos) {
                size_t p = static_cast<size_t>(pos);
                star[p] = (accepts(pos) && star[p + 1] >= 0) ? star[p + 1] : next[p];
            }
        }
        for (int pos = len; pos >= 0; --pos) {
            size_t p = static_cast<size_t>(pos);
            switch (item.repeat) {
                case Repeat::One:
                    row[p] = accepts(pos) ? next[p + 1] : -1;
                    break;
                case Repeat::ZeroOrOne:
                    row[p] = (accepts(pos) && next[p + 1] >= 0) ? next[p + 1] : next[p];
                    break;
                case Repeat::ZeroOrMore:
                    row[p] = star[p];
                    break;
                case Repeat::OneOrMore:
                    row[p] = accepts(pos) ? star[p + 1] : -1;
                    break;
            }
        }
        next.swap(row);
    }
    return next;
}

}  // namespace

// The compiled form of a pattern.
struct REGEXP {
    std::vector<Item> items;  // the pattern's items in order
};

REGEXP* REGEXP_Compile(const char* pattern) {
    if (!pattern) return nullptr;
    auto* re = new (std::nothrow) REGEXP;
    if (!re) return nullptr;
    if (!morvex::regexp::parsePattern(pattern, re->items)) {
        delete re;
        return nullptr;
    }
    return re;
}

void REGEXP_Free(REGEXP* re) {
    delete re;
}

int REGEXP_Search(const REGEXP* re, const char* text, int* start, int* end) {
    if (!re || !text) return 0;
    int len = static_cast<int>(strlen(text));
    std::vector<int> ends =
        firstMatchEnds(re->items, reinterpret_cast<const unsigned char*>(text), len);
    for (int s = 0; s <= len; ++s) {
        int e = ends[static_cast<size_t>(s)];
        if (e >= 0) {
            if (start) *start = s;
            if (end) *end = e;
            return 1;
        }
    }
    return 0;
}

int ValidateType(const char* text, const char* pattern) {
    if (!text) return 1;
    REGEXP* re = REGEXP_Compile(pattern);
    if (!re) {
        morvex::trace("\nRegExp error for [%s]:[%s]", pattern ? pattern : "", text);
        return 0;
    }
    // The first match found is the one that starts earliest; it must cover the whole text.
    int start = 0;
    int end = 0;
    int found = REGEXP_Search(re, text, &start, &end);
    REGEXP_Free(re);
    return (found && start == 0 && end == static_cast<int>(strlen(text))) ? 1 : 0;
}

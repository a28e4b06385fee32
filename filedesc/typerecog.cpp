// Value type recogniser, column statistics and the type proposal drawn from them.
#include "filedesc/typerecog.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filedesc/regexp.h"
#include "filedesc/regexp_items.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

const char* const TYPERECOG_ZERO_PREFIXED_REMARK =
    "Cette colonne contient des données numériques mais commençant par un Zéro. MorvexFylatek "
    "les a considéré comme des chaînes fixes.";

namespace {

// ---- Prepared patterns ----
//
// The same parser (filedesc/regexp_items.h) and first-match rule as ValidateType, compiled once
// into byte tables. A value is accepted when the greedy backtracking match that starts at its first
// byte (the first match found, since a match there is the leftmost one) ends at its last byte.

using morvex::regexp::Item;
using morvex::regexp::Repeat;

// A compiled pattern with the facts that let a value be refused without matching.
struct Prepared {
    std::vector<Item> items;  // the pattern's items in order
    int minLength = 0;        // bytes that any match consumes at least
    bool valid = false;       // false when the pattern text could not be compiled
};

// Compiles `pattern` into `out`; false for an invalid pattern (the syntax of regexp.h).
bool prepare(const char* pattern, Prepared& out) {
    if (!morvex::regexp::parsePattern(pattern, out.items)) return false;
    for (const Item& item : out.items)
        if (item.repeat == Repeat::One || item.repeat == Repeat::OneOrMore) ++out.minLength;
    out.valid = true;
    return true;
}

// End of the first match of items[i..] starting at pos (greedy, backtracking), or -1.
int matchFrom(const Item* items, size_t count, size_t i, const unsigned char* s, int len, int pos) {
    for (; i < count; ++i) {
        const Item& item = items[i];
        switch (item.repeat) {
            case Repeat::One:
                if (pos >= len || !item.accepts[s[pos]]) return -1;
                ++pos;
                break;
            case Repeat::ZeroOrOne:
                if (pos < len && item.accepts[s[pos]]) {
                    int end = matchFrom(items, count, i + 1, s, len, pos + 1);
                    if (end >= 0) return end;
                }
                break;  // the item matched nothing
            case Repeat::ZeroOrMore:
            case Repeat::OneOrMore: {
                int run = pos;
                while (run < len && item.accepts[s[run]]) ++run;
                int least = item.repeat == Repeat::OneOrMore ? pos + 1 : pos;
                if (run < least) return -1;
                if (i + 1 == count) return run;
                // A following single item must accept the byte where the rest starts.
                const Item& next = items[i + 1];
                const bool nextIsOne = next.repeat == Repeat::One;
                for (int k = run; k >= least; --k) {
                    if (nextIsOne && (k >= len || !next.accepts[s[k]])) continue;
                    int end = matchFrom(items, count, i + 1, s, len, k);
                    if (end >= 0) return end;
                }
                return -1;
            }
        }
    }
    return pos;
}

// 1 when the first match of the prepared pattern covers exactly the `len` bytes at s.
bool fullMatch(const Prepared& p, const unsigned char* s, int len) {
    if (!p.valid || len < p.minLength) return false;
    return matchFrom(p.items.data(), p.items.size(), 0, s, len, 0) == len;
}

// The recogniser's patterns, in the order in which they are tried.
enum PatternId {
    PAT_INTEGER,           // integer without a leading zero
    PAT_INTEGER_ZERO,      // integer with a leading zero
    PAT_DECIMAL,           // decimal with a point or a comma
    PAT_DECIMAL_POINT,     // decimal with a point
    PAT_DECIMAL_COMMA,     // decimal with a comma
    PAT_DECIMAL_POINT_PS,  // point decimal with a trailing sign
    PAT_DECIMAL_COMMA_PS,  // comma decimal with a trailing sign
    PAT_BLANK,             // empty or blanks only
    PAT_NULL,              // the word NULL in any case
    PAT_DATE_FIRST,        // first of the date layouts
    PAT_DATE_LAST = PAT_DATE_FIRST + 3,
    PAT_DATETIME_FIRST,  // first of the date-time layouts
    PAT_DATETIME_LAST = PAT_DATETIME_FIRST + 4,
    PAT_WORD,  // letters, digits, underscores, points and blanks
    PAT_COUNT
};

// Pattern text and, for the date and date-time layouts, the picture format it yields.
struct PatternDef {
    const char* text;
    const char* format;
};

// In the two fraction layouts the separator before the fraction is a literal point only.
constexpr PatternDef kPatterns[PAT_COUNT] = {
    {" *[+-]?[1-9]+[0-9]* *", nullptr},
    {" *[+-]?[0][0-9]* *", nullptr},
    {" *[+-]?[0-9]*[,.][0-9]* *", nullptr},
    {" *[+-]?[0-9]*[.][0-9]* *", nullptr},
    {" *[+-]?[0-9]*[,][0-9]* *", nullptr},
    {" *[0-9]*[.][0-9]*[-\\+] *", nullptr},
    {" *[0-9]*[,][0-9]*[-\\+] *", nullptr},
    {" *", nullptr},
    {" *[nN][uU][lL][lL] *", nullptr},
    {" *[0-9][0-9][0-9][0-9][0-1][0-9][0-3][0-9] *", "aaaammjj"},
    {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] *", "aaaa-mm-jj"},
    {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9][0-9][0-9] *", "jj/mm/aaaa"},
    {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9] *", "jj/mm/aa"},
    {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9][0-9][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] *",
     "jj/mm/aaaa HH:MM:SS"},
    {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] *", "jj/mm/aa HH:MM:SS"},
    {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9][.][0-9]"
     "[0-9][0-9] *",
     "aaaa-mm-jj HH:MM:SS.LLL"},
    {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9][.][0-9]* "
     "*",
     "aaaa-mm-jj HH:MM:SS.LLLLLL"},
    {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9] *",
     "aaaa-mm-jj HH:MM:SS"},
    {" *[a-zA-Z0-9_. ]*", nullptr},
};

static_assert(PAT_COUNT <= 32, "one bit per pattern in the byte masks");

// The prepared patterns and two byte tables that rule patterns out in one pass over a value:
// a pattern can match the whole value only if every byte of the value is accepted by one of its
// items (allowed), and only if the value holds a byte of its most selective mandatory item
// (required).
struct Recogniser {
    Prepared patterns[PAT_COUNT];          // compiled kPatterns
    std::array<uint32_t, 256> allowed{};   // bit k: pattern k accepts the byte somewhere
    std::array<uint32_t, 256> required{};  // bit k: the byte is in pattern k's required set
    uint32_t noRequirement = 0;            // patterns without a mandatory item
    uint32_t all = 0;                      // one bit per valid pattern

    Recogniser() {
        for (int k = 0; k < PAT_COUNT; ++k) {
            Prepared& p = patterns[k];
            if (!prepare(kPatterns[k].text, p)) continue;
            uint32_t bit = 1u << k;
            all |= bit;
            const Item* narrowest = nullptr;
            size_t narrowestSize = 257;
            for (const Item& item : p.items) {
                size_t size = 0;
                for (int b = 0; b < 256; ++b) {
                    if (!item.accepts[static_cast<size_t>(b)]) continue;
                    allowed[static_cast<size_t>(b)] |= bit;
                    ++size;
                }
                bool mandatory = item.repeat == Repeat::One || item.repeat == Repeat::OneOrMore;
                if (mandatory && size < narrowestSize) {
                    narrowest = &item;
                    narrowestSize = size;
                }
            }
            if (!narrowest) {
                noRequirement |= bit;
                continue;
            }
            for (int b = 0; b < 256; ++b)
                if (narrowest->accepts[static_cast<size_t>(b)])
                    required[static_cast<size_t>(b)] |= bit;
        }
    }

    // Patterns that may still match the `len` bytes at s.
    uint32_t candidates(const unsigned char* s, int len) const {
        uint32_t inAlphabet = all;
        uint32_t hasRequired = noRequirement;
        for (int i = 0; i < len && inAlphabet; ++i) {
            inAlphabet &= allowed[s[i]];
            hasRequired |= required[s[i]];
        }
        return inAlphabet & hasRequired;
    }
};

// Prepared on first use; the initialisation of a local static is thread-safe.
const Recogniser& recogniser() {
    static const Recogniser instance;
    return instance;
}

// Copies at most `max` bytes of src into dst (zero-terminated), cut between two characters.
void copyCut(char* dst, const char* src, size_t max) {
    morvex::utf8CopyCut(dst, max + 1, src);
}

}  // namespace

// ---- Recognition ----

int AnalyseDecimalN(const char* value, int length, COL_TYPE_STATISTICS* stats) {
    if (!stats || (!value && length > 0)) return 1;
    stats->lengthIntegerPart = 0;
    stats->lengthDecimalPart = 0;
    stats->decimalSeparator = 0;
    int nonBlanks = 0;
    for (int i = 0; i < length; ++i) {
        char c = value[i];
        if (c == ',' || c == '.') {
            stats->lengthIntegerPart = nonBlanks;
            stats->lengthDecimalPart = length - i - 1;
            stats->decimalSeparator = c;
            break;
        }
        if (c != ' ') ++nonBlanks;
    }
    stats->maxLengthForIntegerPart = stats->lengthIntegerPart;
    stats->maxLengthForDecimalPart = stats->lengthDecimalPart;
    return 0;
}

int AnalyseDecimal(const char* text, COL_TYPE_STATISTICS* stats) {
    if (!text) return 1;
    return AnalyseDecimalN(text, static_cast<int>(strlen(text)), stats);
}

int AnalyseTypeDonneeInto(COL_TYPE_STATISTICS* stats, const char* value, int length) {
    if (!stats || (!value && length > 0)) return 1;
    if (length < 0) length = 0;
    // Counters, lengths and scratch are zeroed; the formats only need their terminator (this
    // runs once per value: a whole-record clear costs more than the recognition of short values).
    memset(stats, 0, offsetof(COL_TYPE_STATISTICS, dateFormat));
    stats->dateFormat[0] = 0;
    stats->datetimeFormat[0] = 0;
    const Recogniser& r = recogniser();
    const auto* s = reinterpret_cast<const unsigned char*>(value);
    const uint32_t candidates = r.candidates(s, length);
    auto matches = [&](int id) {
        return (candidates & (1u << id)) != 0 && fullMatch(r.patterns[id], s, length);
    };

    // 1. Numbers: every pattern is tried, each one counts on its own.
    bool found = false;
    if (matches(PAT_INTEGER)) {
        ++stats->countIntegersNonZeroPrefixed;
        found = true;
    }
    if (matches(PAT_INTEGER_ZERO)) {
        ++stats->countIntegersZeroPrefixed;
        found = true;
    }
    int* decimalCounters[] = {
        &stats->countDecimals,
        &stats->countDecimalsWithPoint,
        &stats->countDecimalsWithComma,
        &stats->countDecimalsWithPointSignPostfix,
        &stats->countDecimalsWithCommaSignPostfix,
    };
    bool decimal = false;
    for (int k = 0; k < 5; ++k) {
        if (!matches(PAT_DECIMAL + k)) continue;
        ++*decimalCounters[k];
        decimal = true;
    }
    if (decimal) {
        AnalyseDecimalN(value, length, stats);
        found = true;
    }

    // 2, 3. Blank values and NULL count nothing but their length.
    if (matches(PAT_BLANK) || matches(PAT_NULL)) {
        stats->minLength = length;
        stats->maxLength = length;
        return 0;
    }

    // 4, 5. The first date layout that matches, otherwise the first date-time layout.
    bool date = false;
    for (int id = PAT_DATE_FIRST; id <= PAT_DATE_LAST; ++id) {
        if (!matches(id)) continue;
        ++stats->countDates;
        copyCut(stats->dateFormat, kPatterns[id].format, COLSTATS_FORMAT_MAX);
        found = true;
        date = true;
        break;
    }
    if (!date) {
        for (int id = PAT_DATETIME_FIRST; id <= PAT_DATETIME_LAST; ++id) {
            if (!matches(id)) continue;
            ++stats->countDatetimes;
            copyCut(stats->datetimeFormat, kPatterns[id].format, COLSTATS_FORMAT_MAX);
            found = true;
            break;
        }
    }

    // 6, 7. Plain words, and whatever nothing else accepted, are variable strings.
    if (matches(PAT_WORD)) {
        ++stats->countVariableStrings;
        found = true;
    }
    if (!found) ++stats->countVariableStrings;

    // 8.
    stats->minLength = length;
    stats->maxLength = length;
    return 0;
}

COL_TYPE_STATISTICS* AnalyseTypeDonneeN(const char* value, int length) {
    if (!value && length > 0) return nullptr;
    auto* stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
    if (!stats) return nullptr;
    AnalyseTypeDonneeInto(stats, value, length);
    return stats;
}

COL_TYPE_STATISTICS* AnalyseTypeDonnee(const char* text) {
    if (!text) return nullptr;
    return AnalyseTypeDonneeN(text, static_cast<int>(strlen(text)));
}

// ---- Column totals ----

int CompileStatistics(COL_TYPE_STATISTICS* total, const COL_TYPE_STATISTICS* value) {
    if (!total || !value) return 1;
    if (total->isFirst == 1) {
        *total = *value;
        total->isFirst = 0;
        return 0;
    }
    total->countIntegersZeroPrefixed += value->countIntegersZeroPrefixed;
    total->countIntegersNonZeroPrefixed += value->countIntegersNonZeroPrefixed;
    total->countFixedStrings += value->countFixedStrings;
    total->countVariableStrings += value->countVariableStrings;
    total->countDecimals += value->countDecimals;
    total->countDecimalsWithPoint += value->countDecimalsWithPoint;
    total->countDecimalsWithComma += value->countDecimalsWithComma;
    total->countDecimalsWithPointSignPostfix += value->countDecimalsWithPointSignPostfix;
    total->countDecimalsWithCommaSignPostfix += value->countDecimalsWithCommaSignPostfix;
    total->countDates += value->countDates;
    total->countDatetimes += value->countDatetimes;

    auto keepMin = [](int& t, int v) { t = v < t ? v : t; };
    auto keepMax = [](int& t, int v) { t = v > t ? v : t; };
    keepMin(total->minLength, value->minLength);
    keepMin(total->minLengthForIntegerPart, value->minLengthForIntegerPart);
    keepMin(total->minLengthForDecimalPart, value->minLengthForDecimalPart);
    keepMax(total->maxLength, value->maxLength);
    keepMax(total->maxLengthForIntegerPart, value->maxLengthForIntegerPart);
    keepMax(total->maxLengthForDecimalPart, value->maxLengthForDecimalPart);

    // The first layout recognised in a column stays its format.
    if (total->countDatetimes > 0 && total->datetimeFormat[0] == 0)
        copyCut(total->datetimeFormat, value->datetimeFormat, COLSTATS_FORMAT_MAX - 1);
    if (total->countDates > 0 && total->dateFormat[0] == 0)
        copyCut(total->dateFormat, value->dateFormat, COLSTATS_FORMAT_MAX - 1);
    return 0;
}

int GetMaximum(const int* values, int count) {
    if (!values || count < 1) return 0;
    int best = values[0];
    for (int i = 1; i < count; ++i)
        if (values[i] > best) best = values[i];
    return best;
}

int SetDefaultTypeFromStatistics(FileDesc* desc) {
    if (!desc) return 1;
    for (const ColumnOwner& col : desc->columns) {
        if (!col->stats) continue;
        const COL_TYPE_STATISTICS& st = *col->stats;
        const int counters[] = {st.countIntegersZeroPrefixed,
                                st.countIntegersNonZeroPrefixed,
                                st.countFixedStrings,
                                st.countVariableStrings,
                                st.countDecimals,
                                st.countDates,
                                st.countDatetimes};
        const int m = GetMaximum(counters, 7);
        TypeCible& tc = col->typeCible;
        if (m == 0) {
            tc.type = DATATYPE_VARIABLECHAR;
            tc.fmtChaineVar.tailleMax = st.maxLength;
        } else if (st.countDates == m) {
            tc.type = DATATYPE_DATE;
            copyCut(tc.fmtDate, st.dateFormat, COLUMN_FORMAT_MAX - 1);
        } else if (st.countIntegersZeroPrefixed == m) {
            tc.type = DATATYPE_FIXEDCHAR;
            tc.fmtChaineFixe.taille = st.maxLength;
            char* remark = strdup(TYPERECOG_ZERO_PREFIXED_REMARK);
            if (remark) {
                free(col->message);
                col->message = remark;
                col->hasInfo = 1;
            }
        } else if (st.countIntegersNonZeroPrefixed == m) {
            tc.type = DATATYPE_INTEGER;
        } else if (st.countDecimals == m || st.countDecimals + st.countIntegersZeroPrefixed >= m ||
                   st.countDecimals + st.countIntegersNonZeroPrefixed >= m) {
            tc.type = DATATYPE_DECIMAL;
            tc.fmtDecimal.partieEntiere = st.maxLengthForIntegerPart;
            tc.fmtDecimal.partieDecimale = st.maxLengthForDecimalPart;
        } else if (st.countDatetimes == m) {
            tc.type = DATATYPE_DATETIME;
            copyCut(tc.fmtDateTime, st.datetimeFormat, COLUMN_FORMAT_MAX);
        } else if (st.countFixedStrings == m) {
            tc.type = DATATYPE_FIXEDCHAR;
            tc.fmtChaineFixe.taille = st.maxLength;
        } else {  // countVariableStrings == m, the last counter left
            tc.type = DATATYPE_VARIABLECHAR;
            tc.fmtChaineVar.tailleMax = st.maxLength;
        }
    }
    return 0;
}

// ---- Diagnostics ----

void COL_TYPE_STATISTICS_ToString(const COL_TYPE_STATISTICS* st) {
    if (!st) return;
    morvex::trace(
        "\n== COL_TYPE_STATISTICS =="
        "\n .countIntegersZeroPrefixed=%i"
        "\n .countIntegersNonZeroPrefixed=%i"
        "\n .countFixedStrings=%i"
        "\n .countVariableStrings=%i"
        "\n .countDecimals=%i"
        "\n .countDates=%i"
        "\n .countDatetimes=%i"
        "\n .minLength=%i"
        "\n .maxLength=%i"
        "\n .minLengthForIntegerPart=%i"
        "\n .maxLengthForIntegerPart=%i"
        "\n .minLengthForDecimalPart=%i"
        "\n .maxLengthForDecimalPart=%i",
        st->countIntegersZeroPrefixed, st->countIntegersNonZeroPrefixed, st->countFixedStrings,
        st->countVariableStrings, st->countDecimals, st->countDates, st->countDatetimes,
        st->minLength, st->maxLength, st->minLengthForIntegerPart, st->maxLengthForIntegerPart,
        st->minLengthForDecimalPart, st->maxLengthForDecimalPart);
}

int TestRegExp() {
    struct Case {
        const char* heading;
        const char* value;
        const char* pattern;
    };
    const char* const nullPattern = kPatterns[PAT_NULL].text;
    const Case cases[] = {
        {"\n\n- [18    ] as integer ? : ", "18    ", kPatterns[PAT_INTEGER].text},
        {"\n\n- [-1024    ] as integer ? : ", "-1024    ", kPatterns[PAT_INTEGER].text},
        {"\n\n- [0.58    ] as decimal ? : ", "0.58    ", kPatterns[PAT_DECIMAL].text},
        {"\n\n- [-1250.58    ] as decimal ? : ", "-1250.5858    ", kPatterns[PAT_DECIMAL].text},
        {"\n\n- [      11599.65] as decimal ? : ", "      11599.65", kPatterns[PAT_DECIMAL].text},
        {"\n\n- [       1599.65] as decimal & point ? : ", "       1599.65",
         kPatterns[PAT_DECIMAL_POINT].text},
        {"\n\n- [       1599,65] as decimal & comma ? : ", "       1599,65",
         kPatterns[PAT_DECIMAL_COMMA].text},
        {"\n\n- [       1599.65-] as decimal & point & sign postfix ? : ", "       1599.65-",
         kPatterns[PAT_DECIMAL_POINT_PS].text},
        {"\n\n- [       1599,65+] as decimal & comma & sign postfix ? : ", "       1599,65+",
         kPatterns[PAT_DECIMAL_COMMA_PS].text},
        {"\n\n- [00012] as integer Zero Prefixed ? : ", "00012", kPatterns[PAT_INTEGER_ZERO].text},
        {"\n\n- [2014-05-06] as Date ? : ", "2014-05-06", kPatterns[PAT_DATE_FIRST + 1].text},
        {"\n\n- [2014-05-06 05:52:00] as Datetime ? : ", "2014-05-06 05:52:00",
         kPatterns[PAT_DATETIME_LAST].text},
        {"\n\n- [05:52:23] as Time ? : ", "05:52:23", " *[0-2][0-9]:[0-5][0-9]:[0-5][0-9] *"},
        {"\n\n- [05:52:23.123] as Time Milli ? : ", "05:52:23.123",
         " *[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9] *"},
        {"\n\n- NULL as NULL ? : ", "NULL", nullPattern},
        {"\n\n- null as NULL ? : ", "null", nullPattern},
        {"\n\n- Null as NULL ? : ", "Null", nullPattern},
    };
    int failed = 0;
    for (const Case& c : cases) {
        morvex::traceText(c.heading);
        int result = ValidateType(c.value, c.pattern);
        morvex::trace("(=%i)", result);
        if (result != 1) ++failed;
    }
    return failed;
}

// ---- Hexadecimal ----

int get_val_from_digit(char digit, const char* text) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    unsigned char upper = static_cast<unsigned char>(digit);
    if (upper >= 'a' && upper <= 'z') upper = static_cast<unsigned char>(upper - 'a' + 'A');
    if (!(upper >= 'A' && upper <= 'Z'))
        fprintf(stderr, "invalid hexadecimal value : %s\n", text ? text : "");
    return static_cast<int>(upper) - 55;
}

int hex_to_asc(const char* text) {
    if (!text) return 0;
    uint32_t value = 0;
    for (const char* p = text; *p; ++p)
        value = value * 16u + static_cast<uint32_t>(get_val_from_digit(*p, text));
    return static_cast<int>(value);
}

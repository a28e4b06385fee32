// Value type recogniser, column statistics and the type proposal drawn from them.
#include "filedesc/typerecog.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "filedesc/regexp.h"
#include "foundation/date.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

const char* const TYPERECOG_ZERO_PREFIXED_REMARK =
    "Cette colonne contient des données numériques mais commençant par un Zéro. MorvexFylatek "
    "les a considéré comme des chaînes fixes.";

namespace {

// ---- The patterns ----
//
// A value is recognised under the patterns of kPatterns (the syntax of filedesc/regexp.h, as
// ValidateType reads them: the first match, starting at the value's first byte, must end at its
// last byte). Each pattern is simple enough to be read by hand in one pass over the value,
// which is what the recogniser does: the blanks around a value are passed over once, and the
// first byte and the length rule out most patterns before any byte is compared.

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
    PAT_DATE_LAST = PAT_DATE_FIRST + TYPERECOG_DATE_LAYOUTS - 1,
    PAT_DATETIME_FIRST,  // first of the date-time layouts
    PAT_DATETIME_LAST = PAT_DATETIME_FIRST + TYPERECOG_DATETIME_LAYOUTS - 1,
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

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Bytes of PAT_WORD: letters, digits, underscores, points and blanks.
constexpr std::array<bool, 256> kWordBytes = [] {
    std::array<bool, 256> bytes{};
    for (int c = 'a'; c <= 'z'; ++c) bytes[static_cast<size_t>(c)] = true;
    for (int c = 'A'; c <= 'Z'; ++c) bytes[static_cast<size_t>(c)] = true;
    for (int c = '0'; c <= '9'; ++c) bytes[static_cast<size_t>(c)] = true;
    for (char c : {'_', '.', ' '}) bytes[static_cast<unsigned char>(c)] = true;
    return bytes;
}();

// The numbers' patterns (PAT_INTEGER to PAT_DECIMAL_COMMA_PS) that the `n` bytes at p, a value
// without its surrounding blanks, match: an optional sign, digits, then at most one point or
// comma and digits; or, without the sign, digits, a separator, digits and a trailing sign.
struct NumberMatch {
    bool integer = false;    // [+-]?[1-9][0-9]*
    bool zero = false;       // [+-]?0[0-9]*
    bool point = false;      // [+-]?[0-9]*[.][0-9]*
    bool comma = false;      // [+-]?[0-9]*[,][0-9]*
    bool pointSign = false;  // [0-9]*[.][0-9]*[-\+]
    bool commaSign = false;  // [0-9]*[,][0-9]*[-\+]
};

NumberMatch matchNumber(const unsigned char* p, int n) {
    NumberMatch m;
    const bool sign = n > 0 && (p[0] == '+' || p[0] == '-');
    int i = sign ? 1 : 0;
    const int digitsFrom = i;
    while (i < n && isDigit(p[i])) ++i;
    if (i == n) {
        if (i > digitsFrom) (p[digitsFrom] == '0' ? m.zero : m.integer) = true;
        return m;
    }
    const unsigned char separator = p[i];
    if (separator != '.' && separator != ',') return m;
    for (++i; i < n && isDigit(p[i]);) ++i;
    if (i == n) {
        (separator == '.' ? m.point : m.comma) = true;
    } else if (!sign && i == n - 1 && (p[i] == '-' || p[i] == '+' || p[i] == '\\')) {
        // The set [-\+] of the pattern text holds the backslash too.
        (separator == '.' ? m.pointSign : m.commaSign) = true;
    }
    return m;
}

// [0-3][0-9]/[0-1][0-9]/ at p: the day and month of a jj/mm/... layout.
bool dayMonthSlashes(const unsigned char* p) {
    return p[0] >= '0' && p[0] <= '3' && isDigit(p[1]) && p[2] == '/' &&
           (p[3] == '0' || p[3] == '1') && isDigit(p[4]) && p[5] == '/';
}

// [0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] at p (10 bytes).
bool isoDay(const unsigned char* p) {
    return isDigit(p[0]) && isDigit(p[1]) && isDigit(p[2]) && isDigit(p[3]) && p[4] == '-' &&
           (p[5] == '0' || p[5] == '1') && isDigit(p[6]) && p[7] == '-' && p[8] >= '0' &&
           p[8] <= '3' && isDigit(p[9]);
}

// [0-2][0-9]:[0-5][0-9]:[0-5][0-9] at p (8 bytes).
bool clockTime(const unsigned char* p) {
    return p[0] >= '0' && p[0] <= '2' && isDigit(p[1]) && p[2] == ':' && p[3] >= '0' &&
           p[3] <= '5' && isDigit(p[4]) && p[5] == ':' && p[6] >= '0' && p[6] <= '5' &&
           isDigit(p[7]);
}

// The first date layout (PAT_DATE_FIRST...) that the `n` bytes at p, without their surrounding
// blanks, match; -1 for none.
int matchDate(const unsigned char* p, int n) {
    if (n == 8 && isDigit(p[0]) && isDigit(p[1]) && isDigit(p[2]) && isDigit(p[3]) &&
        (p[4] == '0' || p[4] == '1') && isDigit(p[5]) && p[6] >= '0' && p[6] <= '3' &&
        isDigit(p[7]))
        return PAT_DATE_FIRST;
    if (n == 10 && isoDay(p)) return PAT_DATE_FIRST + 1;
    if (n == 10 && dayMonthSlashes(p) && isDigit(p[6]) && isDigit(p[7]) && isDigit(p[8]) &&
        isDigit(p[9]))
        return PAT_DATE_FIRST + 2;
    if (n == 8 && dayMonthSlashes(p) && isDigit(p[6]) && isDigit(p[7])) return PAT_DATE_FIRST + 3;
    return -1;
}

// The first date-time layout (PAT_DATETIME_FIRST...) that the `n` bytes at p, without their
// surrounding blanks, match; -1 for none.
int matchDatetime(const unsigned char* p, int n) {
    if (n == 19 && dayMonthSlashes(p) && isDigit(p[6]) && isDigit(p[7]) && isDigit(p[8]) &&
        isDigit(p[9]) && p[10] == ' ' && clockTime(p + 11))
        return PAT_DATETIME_FIRST;
    if (n == 17 && dayMonthSlashes(p) && isDigit(p[6]) && isDigit(p[7]) && p[8] == ' ' &&
        clockTime(p + 9))
        return PAT_DATETIME_FIRST + 1;
    if (n < 18 || !isoDay(p)) return -1;
    int at = 10;  // blanks may part the day from the time
    while (at < n && p[at] == ' ') ++at;
    if (n - at < 8 || !clockTime(p + at)) return -1;
    at += 8;
    if (at == n) return PAT_DATETIME_FIRST + 4;
    if (p[at] != '.') return -1;
    int digits = 0;
    while (at + 1 + digits < n && isDigit(p[at + 1 + digits])) ++digits;
    if (at + 1 + digits != n) return -1;
    return digits == 3 ? PAT_DATETIME_FIRST + 2 : PAT_DATETIME_FIRST + 3;
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

namespace {

// What the patterns say of one value.
struct Recognition {
    NumberMatch number;
    bool decimal = false;      // one of the four decimal patterns
    bool blankOrNull = false;  // PAT_BLANK or PAT_NULL: nothing counts but the length
    int date = -1;             // the first date layout matched (PAT_DATE_FIRST...), or -1
    int datetime = -1;         // else the first date-time layout matched, or -1
    bool variable = false;     // PAT_WORD, or no pattern at all
};

Recognition recognise(const unsigned char* s, int length) {
    Recognition r;
    // The value between its blanks, which every pattern but PAT_WORD allows around it.
    int from = 0;
    int to = length;
    while (from < to && s[from] == ' ') ++from;
    while (to > from && s[to - 1] == ' ') --to;
    const unsigned char* core = s + from;
    const int n = to - from;
    const unsigned char first = n > 0 ? core[0] : 0;
    const bool digitFirst = isDigit(first);

    // 1. Numbers: every pattern is tried, each one counts on its own.
    bool found = false;
    if (digitFirst || first == '+' || first == '-' || first == '.' || first == ',') {
        const NumberMatch& m = r.number = matchNumber(core, n);
        r.decimal = m.point || m.comma || m.pointSign || m.commaSign;
        found = r.decimal || m.integer || m.zero;
    }
    // 2, 3. Blank values and NULL.
    if (n == 0 || TYPERECOG_IsNullWord(std::string_view(reinterpret_cast<const char*>(core),
                                                        static_cast<size_t>(n)))) {
        r.blankOrNull = true;
        return r;
    }
    // 4, 5. The first date layout that matches, otherwise the first date-time layout.
    if (digitFirst) {
        r.date = matchDate(core, n);
        if (r.date < 0) r.datetime = matchDatetime(core, n);
        found = found || r.date >= 0 || r.datetime >= 0;
    }
    // 6, 7. Plain words, and whatever nothing else accepted, are variable strings: only a
    // value some other pattern took needs reading as a word.
    if (found) {
        for (int i = from; i < to; ++i)
            if (!kWordBytes[s[i]]) return r;  // no word: the other pattern's alone
    }
    r.variable = true;
    return r;
}

}  // namespace

int AnalyseTypeDonneeInto(COL_TYPE_STATISTICS* stats, const char* value, int length) {
    if (!stats || (!value && length > 0)) return 1;
    if (length < 0) length = 0;
    // Counters, lengths and scratch are zeroed; the formats only need their terminator.
    memset(stats, 0, offsetof(COL_TYPE_STATISTICS, dateFormat));
    stats->dateFormat[0] = 0;
    stats->datetimeFormat[0] = 0;
    const Recognition r = recognise(reinterpret_cast<const unsigned char*>(value), length);
    const NumberMatch& m = r.number;
    stats->countIntegersNonZeroPrefixed = m.integer;
    stats->countIntegersZeroPrefixed = m.zero;
    stats->countDecimals = m.point || m.comma;
    stats->countDecimalsWithPoint = m.point;
    stats->countDecimalsWithComma = m.comma;
    stats->countDecimalsWithPointSignPostfix = m.pointSign;
    stats->countDecimalsWithCommaSignPostfix = m.commaSign;
    if (r.decimal) AnalyseDecimalN(value, length, stats);
    stats->minLength = length;
    stats->maxLength = length;
    if (r.blankOrNull) return 0;
    if (r.date >= 0) {
        stats->countDates = 1;
        copyCut(stats->dateFormat, kPatterns[r.date].format, COLSTATS_FORMAT_MAX);
    } else if (r.datetime >= 0) {
        stats->countDatetimes = 1;
        copyCut(stats->datetimeFormat, kPatterns[r.datetime].format, COLSTATS_FORMAT_MAX);
    }
    stats->countVariableStrings = r.variable;
    return 0;
}

int AnalyseTypeDonneeAdd(COL_TYPE_STATISTICS* total, const char* value, int length,
                         TYPERECOG_SEEN* seen) {
    if (!total || (!value && length > 0)) return 1;
    if (length < 0) length = 0;
    if (seen) *seen = TYPERECOG_SEEN{};
    if (total->isFirst == 1) {  // the total takes the value's record itself
        COL_TYPE_STATISTICS record{};
        AnalyseTypeDonneeInto(&record, value, length);
        CompileStatistics(total, &record);
        if (seen) {
            seen->dateLayout = record.countDates ? TYPERECOG_DateLayout(record.dateFormat) : -1;
            seen->datetimeLayout =
                record.countDatetimes ? TYPERECOG_DatetimeLayout(record.datetimeFormat) : -1;
        }
        return 0;
    }
    const Recognition r = recognise(reinterpret_cast<const unsigned char*>(value), length);
    const NumberMatch& m = r.number;
    total->countIntegersNonZeroPrefixed += m.integer;
    total->countIntegersZeroPrefixed += m.zero;
    total->countDecimals += m.point || m.comma;
    total->countDecimalsWithPoint += m.point;
    total->countDecimalsWithComma += m.comma;
    total->countDecimalsWithPointSignPostfix += m.pointSign;
    total->countDecimalsWithCommaSignPostfix += m.commaSign;
    total->countVariableStrings += !r.blankOrNull && r.variable;
    if (r.date >= 0 && !r.blankOrNull) ++total->countDates;
    if (r.datetime >= 0 && !r.blankOrNull) ++total->countDatetimes;
    // The value's own record has 0 for both minima of the parts and its parts for their maxima.
    total->minLength = std::min(total->minLength, length);
    total->maxLength = std::max(total->maxLength, length);
    total->minLengthForIntegerPart = std::min(total->minLengthForIntegerPart, 0);
    total->minLengthForDecimalPart = std::min(total->minLengthForDecimalPart, 0);
    if (r.decimal) {
        COL_TYPE_STATISTICS parts;
        AnalyseDecimalN(value, length, &parts);
        total->maxLengthForIntegerPart =
            std::max(total->maxLengthForIntegerPart, parts.maxLengthForIntegerPart);
        total->maxLengthForDecimalPart =
            std::max(total->maxLengthForDecimalPart, parts.maxLengthForDecimalPart);
    }
    // The first layout recognised in a column stays its format (the value's own, or none).
    if (total->countDatetimes > 0 && total->datetimeFormat[0] == 0 && r.datetime >= 0)
        copyCut(total->datetimeFormat, kPatterns[r.datetime].format, COLSTATS_FORMAT_MAX - 1);
    if (total->countDates > 0 && total->dateFormat[0] == 0 && r.date >= 0)
        copyCut(total->dateFormat, kPatterns[r.date].format, COLSTATS_FORMAT_MAX - 1);
    if (seen && !r.blankOrNull) {
        seen->dateLayout = r.date >= 0 ? r.date - PAT_DATE_FIRST : -1;
        seen->datetimeLayout = r.datetime >= 0 ? r.datetime - PAT_DATETIME_FIRST : -1;
    }
    return 0;
}

bool TYPERECOG_IsRealDay(std::string_view text, int layout) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const int n = static_cast<int>(text.size());
    auto number = [p](int at, int digits) {
        int value = 0;
        for (int i = 0; i < digits; ++i) value = value * 10 + (p[at + i] - '0');
        return value;
    };
    int year = 0, month = 0, day = 0;
    if (layout >= 0 && layout < TYPERECOG_DATE_LAYOUTS &&
        matchDate(p, n) == PAT_DATE_FIRST + layout) {
        switch (layout) {
            case 0:  // aaaammjj
                year = number(0, 4), month = number(4, 2), day = number(6, 2);
                break;
            case 1:  // aaaa-mm-jj
                year = number(0, 4), month = number(5, 2), day = number(8, 2);
                break;
            case 2:  // jj/mm/aaaa
                day = number(0, 2), month = number(3, 2), year = number(6, 4);
                break;
            default:  // jj/mm/aa: a two-digit year falls in 1950-2049
                day = number(0, 2), month = number(3, 2), year = number(6, 2);
                year += year >= 50 ? 1900 : 2000;
                break;
        }
    }
    // The days of the Gregorian calendar, as DATE_Verifier tells them there.
    if (year > 1600 && year <= 9999) {
        static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (month < 1 || month > 12 || day < 1) return false;
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    }
    MYDATETIME read{};
    return DATETIME_ReadValid(text, TYPERECOG_DateFormat(layout), false, &read);
}

const char* TYPERECOG_DateFormat(int layout) {
    return layout >= 0 && layout < TYPERECOG_DATE_LAYOUTS
               ? kPatterns[PAT_DATE_FIRST + layout].format
               : "";
}

const char* TYPERECOG_DatetimeFormat(int layout) {
    return layout >= 0 && layout < TYPERECOG_DATETIME_LAYOUTS
               ? kPatterns[PAT_DATETIME_FIRST + layout].format
               : "";
}

int TYPERECOG_DateLayout(const char* format) {
    for (int k = 0; format && k < TYPERECOG_DATE_LAYOUTS; ++k)
        if (strcmp(format, kPatterns[PAT_DATE_FIRST + k].format) == 0) return k;
    return -1;
}

int TYPERECOG_DatetimeLayout(const char* format) {
    for (int k = 0; format && k < TYPERECOG_DATETIME_LAYOUTS; ++k)
        if (strcmp(format, kPatterns[PAT_DATETIME_FIRST + k].format) == 0) return k;
    return -1;
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

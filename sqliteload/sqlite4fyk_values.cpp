// Field texts read as the values of their columns' target types (numbers, dates, text kept
// as it was when it does not fit), and as SQL literals.
#include <strings.h>

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "filedesc/typerecog.h"
#include "foundation/date.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/sqlite4fyk_internal.h"

using namespace sqlite4fyk_internal;
using morvex::Format;

namespace {

// The text without the blanks (spaces, tabs, line ends) around it.
[[gnu::always_inline]] inline std::string_view Trimmed(const char* text, int length) {
    int begin = 0;
    int end = length;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return std::string_view(text + begin, static_cast<size_t>(end - begin));
}

// Reads a whole integer text (an optional sign, then digits); false when anything else is in
// it or it does not fit.
bool ParseInteger(std::string_view text, long long* out) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || text[0] == '+') return false;
    // Up to 18 digits cannot overflow: read at once, as from_chars reads them.
    const size_t first = text[0] == '-' ? 1 : 0;
    if (text.size() > first && text.size() - first <= 18) {
        long long digits = 0;
        for (size_t i = first; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            digits = digits * 10 + (text[i] - '0');
        }
        *out = first ? -digits : digits;
        return true;
    }
    long long v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    *out = v;
    return true;
}

// Reads a whole decimal text, a lone comma being taken as the decimal point. std::from_chars
// rounds as strtod does and is several times faster; whatever it does not read whole into a
// normal finite double (a leading '+', a range error, a subnormal value) is read by strtod, so
// that the value is the one strtod gives.
bool ParseDecimal(std::string_view text, double* out) {
    // Most values are a few digits with a point or a comma: their digits make an integer of
    // at most 15 digits, exact in a double as is the power of ten it is divided by, so that
    // one division, rounded once, gives the double strtod gives.
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    {
        const size_t n = text.size();
        size_t i = n > 0 && text[0] == '-' ? 1 : 0;
        const bool negative = i == 1;
        uint64_t digits = 0;  // wraps past 19 digits, which are refused below
        auto readDigits = [&] {
            const size_t from = i;
            for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
                digits = digits * 10 + static_cast<uint64_t>(text[i] - '0');
            return i - from;
        };
        size_t count = readDigits();
        long scale = -1;  // digits after the separator, -1 without one
        if (count > 0 && i < n && (text[i] == ',' || text[i] == '.')) {
            ++i;
            scale = static_cast<long>(readDigits());
            count += static_cast<size_t>(scale);
        }
        if (i == n && count > 0 && count <= 15 && scale != 0) {
            const double v = static_cast<double>(digits) / kPowers[scale < 0 ? 0 : scale];
            *out = negative ? -v : v;
            return true;
        }
    }
    char buffer[128];
    if (text.empty() || text.size() >= sizeof buffer) return false;
    bool comma = false;
    bool point = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ',') {
            if (comma) return false;
            comma = true;
            c = '.';
        } else if (c == '.') {
            point = true;
        } else if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E')) {
            return false;
        }
        buffer[i] = c;
    }
    if (comma && point) return false;
    if (buffer[0] != '+') {
        double v = 0;
        const auto [end, error] = std::from_chars(buffer, buffer + text.size(), v);
        if (error == std::errc() && end == buffer + text.size() && std::isfinite(v) &&
            (v == 0 || std::fabs(v) >= DBL_MIN)) {
            *out = v;
            return true;
        }
    }
    buffer[text.size()] = '\0';
    errno = 0;
    char* end = nullptr;
    const double v = strtod(buffer, &end);
    if (errno != 0 || end == buffer || *end != '\0' || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// Reads a Date or Datetime text with its column's format; false when it does not fit or names
// no real day or time.
bool ReadDate(const TypeCible& t, std::string_view text, MYDATETIME* d) {
    const bool withTime = t.type == DATATYPE_DATETIME;
    return DATETIME_ReadValid(text, withTime ? t.fmtDateTime : t.fmtDate, withTime, d);
}

// Works out the places of a plain day format: a four-digit year and a two-digit month and
// day, each written once in a row, between separators that are no picture letters
// ("jj/mm/aaaa", "aaaa-mm-jj", "aaaammjj"...), which the picture reader reads exactly so.
// `out` keeps the format's first 16 bytes (`format` is a column's format field, of 64), and
// says whether it is plain.
void LearnDayFormat(const char* format, SQLITE4FYK_VALUE::DayFormat* out) {
    memcpy(out->format, format, sizeof out->format);
    out->plain = false;
    int digits[3] = {0, 0, 0};    // year, month, day: letters of each
    size_t start[3] = {0, 0, 0};  // where each begins
    constexpr int kDigits[3] = {4, 2, 2};
    uint16_t mask = 0;
    size_t i = 0;
    for (; format[i] != '\0'; ++i) {
        if (i >= sizeof out->format - 1) return;
        const char c = format[i];
        const int letter = c == 'a' ? 0 : c == 'm' ? 1 : c == 'j' ? 2 : -1;
        if (letter < 0) {
            if (c != '/' && c != '-' && c != '.') return;
            continue;
        }
        // Each letter's run whole and once: a letter after its run is another run.
        if (digits[letter] == 0)
            start[letter] = i;
        else if (format[i - 1] != c)
            return;
        if (++digits[letter] > kDigits[letter]) return;
        mask = static_cast<uint16_t>(mask | (1u << i));
    }
    for (int k = 0; k < 3; ++k)
        if (digits[k] != kDigits[k]) return;
    out->plain = true;
    out->length = static_cast<unsigned char>(i);
    out->year = static_cast<unsigned char>(start[0]);
    out->month = static_cast<unsigned char>(start[1]);
    out->day = static_cast<unsigned char>(start[2]);
    out->digits = mask;
}

// Reads `text` as a day under `format` when the format is a plain one (LearnDayFormat, whose
// answer `known` keeps from one call to the next). False when the format is not plain, or the
// text does not fit it or names no real day: the picture reader then has the last word.
// `iso` receives the ISO text of the day, which is the digits as written.
bool ReadPlainDate(std::string_view text, const char* format, SQLITE4FYK_VALUE::DayFormat* known,
                   std::string* iso) {
    if (memcmp(known->format, format, sizeof known->format) != 0) LearnDayFormat(format, known);
    if (!known->plain) return false;
    const size_t n = known->length;
    if (text.size() < n || text.size() >= 256) return false;
    for (size_t k = 0; k < n; ++k) {
        const bool digit = (known->digits >> k) & 1u;
        if (digit ? text[k] < '0' || text[k] > '9' : text[k] != known->format[k]) return false;
    }
    for (size_t k = n; k < text.size(); ++k)
        if (text[k] != ' ') return false;
    auto number = [&text](size_t at, size_t width) {
        int v = 0;
        for (size_t k = at; k < at + width; ++k) v = v * 10 + (text[k] - '0');
        return v;
    };
    const MYDATE day{number(known->day, 2), number(known->month, 2), number(known->year, 4)};
    if (day.annee <= 0 || DATE_Verifier(&day) != 1) return false;
    char digits[10];
    memcpy(digits, text.data() + known->year, 4);
    digits[4] = '-';
    memcpy(digits + 5, text.data() + known->month, 2);
    digits[7] = '-';
    memcpy(digits + 8, text.data() + known->day, 2);
    iso->assign(digits, sizeof digits);
    return true;
}

// No value yet. The text keeps its capacity from one value to the next: no allocation per
// value.
void ClearValue(SQLITE4FYK_VALUE* value) {
    value->sqliteType = SQLITE_NULL;
    value->integer = 0;
    value->real = 0;
    value->text.clear();
    value->notTyped = 0;
}

void SetNull(SQLITE4FYK_VALUE* value) {
    value->sqliteType = SQLITE_NULL;
}

// The text as read, the value of a text column: copied into value->text unless `asRead` is
// given, which then says so.
void SetAsRead(SQLITE4FYK_VALUE* value, const char* text, int length, bool* asRead) {
    value->sqliteType = SQLITE_TEXT;
    if (asRead != nullptr)
        *asRead = true;
    else
        value->text.assign(text, static_cast<size_t>(length));
}

// The original text kept because it does not fit the column's type.
void SetNotTyped(SQLITE4FYK_VALUE* value, const char* text, int length, bool* asRead) {
    SetAsRead(value, text, length, asRead);
    value->notTyped = 1;
}

// The types whose values are kept as read, blanks included.
bool IsTextType(int type) {
    return type == DATATYPE_FIXEDCHAR || type == DATATYPE_VARIABLECHAR || type == DATATYPE_TEXT;
}

// GenerateValueForData; with `asRead`, a value that is the text as read is not copied.
int ConvertValue(const ColumnDesc* column, const char* text, int length, SQLITE4FYK_VALUE* value,
                 bool* asRead) {
    if (column == nullptr || value == nullptr) return 1;
    if (asRead != nullptr) *asRead = false;
    ClearValue(value);
    if (text == nullptr) {
        text = "";
        length = 0;
    }
    const TypeCible& t = column->typeCible;
    // A text is kept as read; the word NULL stands for no value in a column of numbers or
    // dates, as the analysis reads it.
    const bool textColumn = IsTextType(t.type);
    std::string_view trimmed = textColumn ? std::string_view() : Trimmed(text, length);
    if (!textColumn && TYPERECOG_IsNullWord(trimmed)) trimmed = std::string_view();
    switch (t.type) {
        case DATATYPE_INTEGER:
        case DATATYPE_BOOLEAN:  // 0 or 1, stored as an integer
            if (trimmed.empty()) {
                SetNull(value);
            } else if (ParseInteger(trimmed, &value->integer)) {
                value->sqliteType = SQLITE_INTEGER;
            } else {
                SetNotTyped(value, text, length, asRead);
            }
            break;
        case DATATYPE_DECIMAL:
            if (trimmed.empty()) {
                SetNull(value);
            } else if (ParseDecimal(trimmed, &value->real)) {
                value->sqliteType = SQLITE_FLOAT;
            } else {
                SetNotTyped(value, text, length, asRead);
            }
            break;
        case DATATYPE_DATE:
        case DATATYPE_DATETIME: {
            if (trimmed.empty()) {
                SetNull(value);
                break;
            }
            const bool withTime = t.type == DATATYPE_DATETIME;
            // The common day formats are read without the picture reader: a load reads
            // millions of dates.
            if (!withTime && trimmed[0] != ' ') {
                if (ReadPlainDate(trimmed, t.fmtDate, &value->dayFormat, &value->text)) {
                    value->sqliteType = SQLITE_TEXT;
                    break;
                }
                value->text.clear();
            }
            MYDATETIME d{};
            const bool valid = ReadDate(t, trimmed, &d);
            if (!valid) {
                morvex::trace("\n[GenerateValueForData] %s : [%.*s] ne suit pas le format [%s]",
                              column->code, static_cast<int>(trimmed.size()), trimmed.data(),
                              withTime ? t.fmtDateTime : t.fmtDate);
                SetNotTyped(value, text, length, asRead);
            } else {
                value->sqliteType = SQLITE_TEXT;
                value->text.clear();
                DATETIME_AppendIso(value->text, d, withTime);
            }
            break;
        }
        default:  // FixedChar, VariableChar, Text and unknown codes: the text as read
            SetAsRead(value, text, length, asRead);
            break;
    }
    return 0;
}

}  // namespace

int GenerateValueForData(const ColumnDesc* column, const char* text, int length,
                         SQLITE4FYK_VALUE* value) {
    return ConvertValue(column, text, length, value, nullptr);
}

int SQLITE4FYK_ConvertInPlace(const ColumnDesc* column, const char* text, int length,
                              SQLITE4FYK_VALUE* value, bool* asRead) {
    bool unused = false;
    if (asRead == nullptr) asRead = &unused;
    // Most values of most files are texts: what ConvertValue gives them, without its work.
    if (column != nullptr && value != nullptr && IsTextType(column->typeCible.type)) {
        ClearValue(value);
        SetAsRead(value, text, length, asRead);
        return 0;
    }
    return ConvertValue(column, text, length, value, asRead);
}

int GenerateStringForData(const TypeCible* typeCible, const char* text, char* buffer, int size) {
    if (typeCible == nullptr || buffer == nullptr || size <= 0) return 1;
    const std::string raw = text != nullptr ? text : "";
    const std::string_view trimmed = Trimmed(raw.c_str(), static_cast<int>(raw.size()));
    std::string literal;
    long long integer = 0;
    double real = 0;
    MYDATETIME d{};
    switch (typeCible->type) {
        case DATATYPE_INTEGER:
        case DATATYPE_BOOLEAN:
            literal = trimmed.empty()                   ? "NULL"
                      : ParseInteger(trimmed, &integer) ? raw
                                                        : Quoted(raw);
            break;
        case DATATYPE_DECIMAL:
            literal = trimmed.empty()                ? "NULL"
                      : ParseDecimal(trimmed, &real) ? Format("%f", real)
                                                     : Quoted(raw);
            break;
        case DATATYPE_DATE:
        case DATATYPE_DATETIME:
            if (trimmed.empty()) {
                literal = "NULL";
            } else if (!ReadDate(*typeCible, trimmed, &d)) {
                literal = Quoted(raw);
            } else if (typeCible->type == DATATYPE_DATE) {
                literal = Format("'%04i-%02i-%02i'", d.annee, d.mois, d.jour);
            } else {
                literal = Format("'%04i-%02i-%02i %02i:%02i:%02i.%03i'", d.annee, d.mois, d.jour,
                                 d.heure, d.minute, d.seconde, d.milliseconde);
            }
            break;
        default:
            literal = Quoted(raw);
            break;
    }
    snprintf(buffer, static_cast<size_t>(size), "%s", literal.c_str());
    return 0;
}

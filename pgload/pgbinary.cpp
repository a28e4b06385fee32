// The binary COPY encodings of the PostgreSQL load's values.
#include "pgload/pgbinary.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include <sqlite3.h>

using loadrows::LoadCell;

namespace {

// Days from 1970-01-01 to the proleptic Gregorian day y-m-d (y >= 1).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// PostgreSQL counts days and microseconds from 2000-01-01.
constexpr long long kPostgresEpochDays = 10957;

void put16(std::string& out, uint16_t v) {
    const char b[2] = {static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, 2);
}
void put32(std::string& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, 4);
}
void put64(std::string& out, uint64_t v) {
    put32(out, static_cast<uint32_t>(v >> 32));
    put32(out, static_cast<uint32_t>(v));
}

// `n` digits of `text` from `at` as a number; false when one is no digit.
bool digits(const char* text, size_t at, size_t n, int* value) {
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

// Days from 2000-01-01 of an ISO "YYYY-MM-DD" at the start of `text` (the load writes its dates
// so); false for any other text or a year before 1.
bool isoDays(const char* text, size_t length, long long* days) {
    int y, m, d;
    if (length < 10 || text[4] != '-' || text[7] != '-' || !digits(text, 0, 4, &y) ||
        !digits(text, 5, 2, &m) || !digits(text, 8, 2, &d) || y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
    *days = daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - kPostgresEpochDays;
    return true;
}

// A number's decimal text (as std::to_chars writes it: sign, digits, point, exponent) as
// PostgreSQL's binary numeric: base-10000 digits around the point, the display scale the text
// gives. The server applies the column's precision and scale as it does to a text. Nothing is
// allocated: the digits are read in place.
bool appendNumeric(std::string& out, const char* text, size_t length) {
    size_t i = 0;
    const bool negative = length > 0 && text[0] == '-';
    if (negative) ++i;
    char ds[40];  // every digit, without the point
    long long n = 0, point = -1;
    for (; i < length && text[i] != 'e'; ++i) {
        if (text[i] == '.') {
            point = n;
        } else if (text[i] >= '0' && text[i] <= '9' && n < static_cast<long long>(sizeof ds)) {
            ds[n++] = text[i];
        } else {
            return false;  // inf, nan
        }
    }
    if (n == 0) return false;
    if (point < 0) point = n;
    if (i < length) {
        int exponent = 0;
        const char* from = text + i + 1;
        if (from < text + length && *from == '+') ++from;
        const auto r = std::from_chars(from, text + length, exponent);
        if (r.ec != std::errc() || r.ptr != text + length) return false;
        point += exponent;
    }
    // Places around the point: j < 0 the integer digits (-1 the units), j >= 0 the fraction's;
    // the digit at place j is ds[point + j], or 0 outside the digits.
    const long long wholeLength = point > 0 ? point : 0;
    const long long scale = n > point ? n - point : 0;
    constexpr int kMostGroups = 256;
    const long long firstPlace = -((wholeLength + 3) / 4) * 4;
    const long long groupCount = (-firstPlace + (scale + 3) / 4 * 4) / 4;
    if (scale > 0x3FFF || groupCount > kMostGroups) return false;
    uint16_t groups[kMostGroups];
    for (long long g = 0; g < groupCount; ++g) {
        int v = 0;
        for (long long k = 0; k < 4; ++k) {
            const long long at = point + firstPlace + g * 4 + k;
            v = v * 10 + (at >= 0 && at < n ? ds[at] - '0' : 0);
        }
        groups[g] = static_cast<uint16_t>(v);
    }
    long long weight = -firstPlace / 4 - 1;
    long long first = 0, last = groupCount;
    while (first < last && groups[first] == 0) {
        ++first;
        --weight;
    }
    while (last > first && groups[last - 1] == 0) --last;
    if (first == last) weight = 0;
    put32(out, static_cast<uint32_t>(8 + 2 * (last - first)));
    put16(out, static_cast<uint16_t>(last - first));
    put16(out, static_cast<uint16_t>(static_cast<int16_t>(weight)));
    put16(out, negative && first != last ? 0x4000 : 0x0000);
    put16(out, static_cast<uint16_t>(scale));
    for (long long g = first; g < last; ++g) put16(out, groups[g]);
    return true;
}

}  // namespace

PGBINARY_KIND PGBINARY_KindOf(const TypeCible* t) {
    if (t == nullptr) return PGBINARY_KIND::Text;
    switch (t->type) {
        case DATATYPE_INTEGER:
            return t->fmtEntier.taille > 9 ? PGBINARY_KIND::Int8 : PGBINARY_KIND::Int4;
        case DATATYPE_DECIMAL:
            return PGBINARY_KIND::Numeric;
        case DATATYPE_DATE:
            return PGBINARY_KIND::Date;
        case DATATYPE_DATETIME:
            return PGBINARY_KIND::Timestamp;
        case DATATYPE_BOOLEAN:
            return PGBINARY_KIND::Boolean;
        default:
            return PGBINARY_KIND::Text;
    }
}

void PGBINARY_AppendHeader(std::string& out) {
    static const char signature[11] = {'P', 'G', 'C', 'O', 'P', 'Y', '\n', '\377', '\r', '\n', '\0'};
    out.append(signature, sizeof signature);
    put32(out, 0);  // flags: no OIDs
    put32(out, 0);  // no header extension
}

void PGBINARY_AppendTrailer(std::string& out) {
    put16(out, 0xFFFF);
}

void PGBINARY_AppendFieldCount(std::string& out, int count) {
    put16(out, static_cast<uint16_t>(count));
}

void PGBINARY_AppendInt4(std::string& out, int value) {
    put32(out, 4);
    put32(out, static_cast<uint32_t>(value));
}

bool PGBINARY_AppendCell(std::string& out, const LoadCell& cell, const std::string& arena,
                         PGBINARY_KIND kind) {
    if (cell.type == SQLITE_NULL) {
        put32(out, 0xFFFFFFFFu);
        return true;
    }
    const char* text = cell.type == SQLITE_TEXT ? arena.data() + cell.text.offset : nullptr;
    const size_t length = cell.type == SQLITE_TEXT ? cell.text.length : 0;
    switch (kind) {
        case PGBINARY_KIND::Int4:
            if (cell.type != SQLITE_INTEGER || cell.integer < INT32_MIN || cell.integer > INT32_MAX)
                return false;
            PGBINARY_AppendInt4(out, static_cast<int>(cell.integer));
            return true;
        case PGBINARY_KIND::Int8:
            if (cell.type != SQLITE_INTEGER) return false;
            put32(out, 8);
            put64(out, static_cast<uint64_t>(cell.integer));
            return true;
        case PGBINARY_KIND::Boolean:
            if (cell.type != SQLITE_INTEGER || (cell.integer != 0 && cell.integer != 1)) return false;
            put32(out, 1);
            out += static_cast<char>(cell.integer);
            return true;
        case PGBINARY_KIND::Numeric: {
            // The same digits as the text form: the shortest text that reads back as the double.
            char buffer[64];
            const auto r = cell.type == SQLITE_FLOAT
                               ? std::to_chars(buffer, buffer + sizeof buffer, cell.real)
                           : cell.type == SQLITE_INTEGER
                               ? std::to_chars(buffer, buffer + sizeof buffer, cell.integer)
                               : std::to_chars_result{buffer, std::errc::invalid_argument};
            if (r.ec != std::errc()) return false;
            const size_t before = out.size();
            if (appendNumeric(out, buffer, static_cast<size_t>(r.ptr - buffer))) return true;
            out.resize(before);
            return false;
        }
        case PGBINARY_KIND::Date: {
            long long days = 0;
            if (text == nullptr || length != 10 || !isoDays(text, length, &days)) return false;
            put32(out, 4);
            put32(out, static_cast<uint32_t>(static_cast<int32_t>(days)));
            return true;
        }
        case PGBINARY_KIND::Timestamp: {
            // "YYYY-MM-DD HH:MM:SS.mmm", as the load writes a date and time.
            long long days = 0;
            int h = 0, mi = 0, s = 0, ms = 0;
            if (text == nullptr || length != 23 || !isoDays(text, length, &days) || text[10] != ' ' ||
                text[13] != ':' || text[16] != ':' || text[19] != '.' || !digits(text, 11, 2, &h) ||
                !digits(text, 14, 2, &mi) || !digits(text, 17, 2, &s) || !digits(text, 20, 3, &ms) ||
                h > 23 || mi > 59 || s > 59)
                return false;
            const long long micro =
                ((days * 86400LL + h * 3600LL + mi * 60LL + s) * 1000LL + ms) * 1000LL;
            put32(out, 8);
            put64(out, static_cast<uint64_t>(micro));
            return true;
        }
        case PGBINARY_KIND::Text:
            if (text == nullptr || memchr(text, '\0', length) != nullptr || length > INT32_MAX)
                return false;
            put32(out, static_cast<uint32_t>(length));
            out.append(text, length);
            return true;
    }
    return false;
}

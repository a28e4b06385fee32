// The splitters: a row cut by widths (in characters when the dialect names an encoding) or
// by the delimiter with per-column protecting characters, values unquoted when the dialect
// asks for it.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "datafile/datafile_internal.h"
#include "foundation/trace.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace datafile_internal {

namespace {

// Where the first `c` lies among the `n` bytes at `p`, `n` when there is none: memchr for the
// short distances between a field's start and its delimiter or closing character, 16 bytes at
// a time without a call.
inline size_t FindByte(const char* p, size_t n, char c) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted));
        if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    }
#endif
    for (; i < n; ++i)
        if (p[i] == c) return i;
    return n;
}

}  // namespace

// A value of `len` bytes copied from `text`; nullptr when out of memory.
DATACOLUMN* newValue(int isHeader, int column, const char* text, size_t len) {
    auto* value = static_cast<DATACOLUMN*>(malloc(sizeof(DATACOLUMN)));
    if (!value) return nullptr;
    value->value = static_cast<char*>(malloc(len + 1));
    if (!value->value) {
        free(value);
        return nullptr;
    }
    if (len) memcpy(value->value, text, len);
    value->value[len] = '\0';
    value->isHeader = isHeader;
    value->columnIndex = column;
    value->length = static_cast<int>(len);
    return value;
}

// Appends a value to the row list; false when out of memory (nothing leaks).
bool addValue(LDCG* list, int isHeader, int column, const char* text, size_t len) {
    DATACOLUMN* value = newValue(isHeader, column, text, len);
    if (!value) return false;
    if (!LDCG_Add(list, value, nullptr)) {
        DATACOLUMN_Destroy(value);
        return false;
    }
    return true;
}

// Splits a fixed-width row: each column in order takes its width of the remaining text. Each
// field goes to `emit(column index, text, length)`, which answers false to stop (out of memory).
// False when the row cannot be split or emit stopped.
template <typename Emit>
bool SplitRowFixedSize(DATAFILE* reader, const char* row, size_t len, Emit&& emit) {
    const std::vector<DATAFILE_COLUMN_DIALECT>& columns = reader->dialect.columns;
    if (columns.empty()) {
        morvex::trace(
            "\n[SplitRowFixedSize] Impossible de découper un fichier sans séparateur sans aucune "
            "définition de colonne.");
        return false;
    }
    // With an encoding the row is UTF-8 by now and widths count characters, as they did in the
    // file's own encoding; without one, a character is a byte.
    const bool characters = !reader->dialect.encoding.empty();
    size_t at = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        size_t width = columns[c].width > 0 ? static_cast<size_t>(columns[c].width) : 0;
        if (characters) {
            size_t end = at;
            for (size_t n = 0; n < width && end < len; ++n) {
                ++end;
                while (end < len && (static_cast<unsigned char>(row[end]) & 0xC0) == 0x80) ++end;
            }
            width = end - at;
        }
        if (width > len - at) width = len - at;
        if (!emit(static_cast<int>(c), row + at, width)) return false;
        at += width;
    }
    return true;
}

// Where a value lies in the row.
struct FieldValue {
    size_t start;
    size_t length;
};

// The value of the field row[from, to) without its protecting characters, as lenient CSV
// readers read it: only a field that begins with `startChar` is protected, up to its closing
// `endChar` (a doubled one inside stands for one); whatever follows the closing character, and
// every protecting character of a field that does not begin with one, is text. The value is
// the text between the two characters when the closing one ends the field; otherwise it is
// moved in place to the field's start.
FieldValue UnquoteInPlace(char* row, size_t from, size_t to, char startChar, char endChar) {
    if (from >= to || row[from] != startChar) return {from, to - from};
    auto nextEnd = [&](size_t at) {
        return endChar != '\0' ? static_cast<const char*>(memchr(row + at, endChar, to - at))
                               : nullptr;
    };
    const char* hit = nextEnd(from + 1);
    if (hit == row + to - 1) return {from + 1, to - from - 2};  // "text": nothing to move
    size_t w = from;
    size_t r = from + 1;
    // The text between protecting characters moves in pieces, one memchr per piece.
    for (;;) {
        const size_t piece = hit ? static_cast<size_t>(hit - row) - r : to - r;
        memmove(row + w, row + r, piece);
        w += piece;
        r += piece;
        if (r == to) break;
        if (r + 1 < to && row[r + 1] == endChar) {
            row[w++] = endChar;  // doubled: one is text
            r += 2;
            hit = nextEnd(r);
            continue;
        }
        ++r;  // the closing character
        break;
    }
    memmove(row + w, row + r, to - r);
    w += to - r;
    return {from, w - from};
}

// The dialect column of the field at `index`, nullptr past the last one.
const DATAFILE_COLUMN_DIALECT* ColumnAt(const DATAFILE* reader, size_t index) {
    return index < reader->dialect.columns.size() ? &reader->dialect.columns[index] : nullptr;
}

// The protecting characters of a field of `column` (nullptr: a field past the last column,
// protected by the dialect's quoteChar when it unquotes); 0 when the field has none.
// True when the field is protected.
bool ProtectionOf(const DATAFILE* reader, const DATAFILE_COLUMN_DIALECT* column, char* startChar,
                  char* endChar) {
    const char defaultQuote = reader->dialect.unquote ? reader->dialect.quoteChar : '\0';
    const bool isProtected = column ? column->isProtected : defaultQuote != '\0';
    *startChar = !isProtected ? '\0' : column ? column->quoteStart : defaultQuote;
    *endChar = !isProtected ? '\0' : column ? column->quoteEnd : defaultQuote;
    return isProtected;
}

void PrepareQuotes(DATAFILE* reader) {
    auto& quotes = reader->buffer->quotes;
    quotes.clear();
    for (size_t c = 0; c <= reader->dialect.columns.size(); ++c) {
        DATAFILE_BUFFER::Quotes q{'\0', '\0', false};
        q.on = ProtectionOf(reader, ColumnAt(reader, c), &q.start, &q.end);
        quotes.push_back(q);
    }
}

// The protecting characters of the field at `index` (PrepareQuotes).
inline DATAFILE_BUFFER::Quotes QuotesAt(const DATAFILE_BUFFER* buf, size_t index) {
    return buf->quotes[std::min(index, buf->quotes.size() - 1)];
}

// Where a field of the unquoting reading ends, scanned from `i`: inside the protection (when
// `quoted`) up to the closing character that is not doubled, then up to the next delimiter.
struct FieldScan {
    size_t end;                  // the field's delimiter, or len
    bool delimited;              // a delimiter ends the field
    bool open;                   // the text ends inside the protection; `end` is where to go on
    size_t closedAt = SIZE_MAX;  // the closing character, when this scan went past it
    bool doubled = false;        // this scan went past a doubled closing character
};

FieldScan ScanLenientField(const char* row, size_t len, size_t i, bool quoted, char endChar,
                           const char* delim, size_t delimLen, bool lineComplete) {
    if (i > len) i = len;
    FieldScan scan{len, false, false};
    while (quoted) {
        const size_t j = endChar != '\0' ? i + FindByte(row + i, len - i, endChar) : len;
        if (j == len) {
            scan.open = true;
            return scan;
        }
        if (j + 1 < len) {
            if (row[j + 1] == endChar) {
                i = j + 2;  // doubled: text
                scan.doubled = true;
                continue;
            }
        } else if (!lineComplete) {
            scan.end = j;  // may be the first of a doubled pair still to come
            scan.open = true;
            return scan;
        }
        quoted = false;
        scan.closedAt = j;
        i = j + 1;
        if (delimLen == 1 && i < len && row[i] == delim[0]) {  // "value"; as most are
            scan.end = i;
            scan.delimited = true;
            return scan;
        }
    }
    while (delimLen > 0 && i < len) {
        const size_t p = i + FindByte(row + i, len - i, delim[0]);
        if (p == len) break;
        if (delimLen == 1 || (len - p >= delimLen && memcmp(row + p, delim, delimLen) == 0)) {
            scan.end = p;
            scan.delimited = true;
            return scan;
        }
        i = p + 1;
    }
    return scan;
}

int FieldsOfLineAlone(const DATAFILE* reader, const char* line, size_t len) {
    const char* delim = reader->dialect.delimiter.data();
    const size_t delimLen = reader->dialect.delimiter.size();
    size_t nextColumn = 0;
    int values = 0;
    size_t at = 0;
    for (;;) {
        const auto [startChar, endChar, isProtected] = QuotesAt(reader->buffer, nextColumn++);
        ++values;
        const bool quoted = startChar != '\0' && at < len && line[at] == startChar;
        const FieldScan f = ScanLenientField(line, len, quoted ? at + 1 : at, quoted, endChar,
                                             delim, delimLen, true);
        if (f.open) return -1;
        if (quoted) {
            if (f.closedAt == SIZE_MAX || f.closedAt + 1 != f.end) return -1;
        } else if (startChar != '\0' && f.end > at &&
                   (memchr(line + at, startChar, f.end - at) != nullptr ||
                    (endChar != '\0' && memchr(line + at, endChar, f.end - at) != nullptr))) {
            return -1;
        }
        if (!f.delimited) return values;
        at = f.end + delimLen;
    }
}

namespace {

// The scan of a whole line, from its start, under a delimiter of one byte: the ends of its
// fields into `sc` as the field-by-field scan below finds them, in one pass. False, `sc` left
// unstarted, when the line ends inside a protected field: the field-by-field scan then reads
// it, as it goes on over the next lines.
bool ScanWholeLine(const DATAFILE* reader, DATAFILE_BUFFER::QuoteScan& sc, const char* row,
                   size_t len, char delim) {
    sc.fields.clear();
    size_t at = 0;
    for (size_t column = 0;; ++column) {
        const DATAFILE_BUFFER::Quotes quotes = QuotesAt(reader->buffer, column);
        const char startChar = quotes.start;
        const char endChar = quotes.end;
        if (at >= len) {  // nothing of the field
            sc.fields.push_back({len, false});
            break;
        }
        size_t i = at;
        size_t closedAt = SIZE_MAX;
        bool doubled = false;
        if (startChar != '\0' && row[at] == startChar) {
            // Inside the protection up to a closing character that is not doubled; one that
            // ends the line closes.
            for (i = at + 1;;) {
                const size_t j = endChar != '\0' ? i + FindByte(row + i, len - i, endChar) : len;
                if (j == len) {
                    sc.fields.clear();
                    return false;
                }
                if (j + 1 < len && row[j + 1] == endChar) {
                    doubled = true;
                    i = j + 2;
                    continue;
                }
                closedAt = j;
                i = j + 1;
                break;
            }
        }
        if (i < len && row[i] != delim) i += FindByte(row + i, len - i, delim);
        sc.fields.push_back({i, closedAt != SIZE_MAX && !doubled && closedAt + 1 == i});
        if (i == len) break;
        at = i + 1;
    }
    sc.started = true;
    sc.complete = true;
    sc.completeLen = len;
    return true;
}

}  // namespace

// True when the row read so far ends inside a protected field of the unquoting reading
// (`lineComplete`: its line has ended, so a closing character at its end closes). The scan
// goes on from where the previous call for the same row stopped: a row is scanned once
// however many lines or blocks it spans.
bool RowEndsInsideProtection(DATAFILE* reader, bool lineComplete) {
    DATAFILE_BUFFER* buf = reader->buffer;
    auto& sc = buf->scan;
    const char* row = buf->row;
    const size_t len = buf->rowLen;
    const char* delim = reader->dialect.delimiter.data();
    const size_t delimLen = reader->dialect.delimiter.size();
    // A whole line read at once, as most rows are: one pass.
    if (!sc.started && lineComplete && delimLen == 1 &&
        ScanWholeLine(reader, sc, row, len, delim[0]))
        return false;
    DATAFILE_BUFFER::QuoteScan::Cursor at = sc.at;  // in registers while the scan runs
    auto beginField = [&](size_t start) {
        const DATAFILE_BUFFER::Quotes quotes = QuotesAt(reader->buffer, at.nextColumn++);
        at.startChar = quotes.start;
        at.endChar = quotes.end;
        at.resumeAt = start;
        at.fieldStart = start;
        at.atFieldStart = true;
        at.quoted = false;
        at.closedAt = SIZE_MAX;
        at.doubled = false;
    };
    if (!sc.started) {
        sc.started = true;
        sc.complete = false;
        sc.fields.clear();
        at.nextColumn = 0;
        beginField(0);
    }
    auto endField = [&](size_t end) {
        sc.fields.push_back(
            {end, at.closedAt != SIZE_MAX && !at.doubled && at.closedAt + 1 == end});
    };
    auto stop = [&](bool inside) {
        sc.at = at;
        // The row ends outside any protection: when its line is complete, so is the scan.
        if (!inside && lineComplete) endField(len);
        sc.complete = !inside && lineComplete;
        sc.completeLen = len;
        return inside;
    };
    for (;;) {
        if (at.atFieldStart) {
            if (at.resumeAt >= len) return stop(false);  // nothing of the field yet
            at.atFieldStart = false;
            at.quoted = at.startChar != '\0' && row[at.resumeAt] == at.startChar;
            if (at.quoted) ++at.resumeAt;
        }
        const FieldScan f = ScanLenientField(row, len, at.resumeAt, at.quoted, at.endChar, delim,
                                             delimLen, lineComplete);
        at.doubled = at.doubled || f.doubled;
        if (f.closedAt != SIZE_MAX) at.closedAt = f.closedAt;
        if (f.open) {
            at.resumeAt = f.end;
            return stop(true);
        }
        if (!f.delimited) {
            // Unquoted up to the end: go on later where a delimiter may begin.
            at.quoted = false;
            const size_t back = delimLen > 1 ? delimLen - 1 : 0;
            at.resumeAt = len >= back && len - back > at.fieldStart ? len - back : at.fieldStart;
            return stop(false);
        }
        endField(f.end);
        beginField(f.end + delimLen);
    }
}

// Splits a delimited row; fields past the last column get no column (nor protection, unless
// the dialect unquotes with a quoteChar). Fields go to `emit` as for SplitRowFixedSize; when
// the dialect unquotes, values lose their protecting characters (the row is rewritten in
// place).
template <typename Emit>
bool SplitRowWithSeparator(DATAFILE* reader, char* row, size_t len, Emit&& emit) {
    const bool unquote = reader->dialect.unquote;
    const char* delim = reader->dialect.delimiter.data();
    const size_t delimLen = reader->dialect.delimiter.size();
    // Whether the whole delimiter begins at row[j] (delimLen > 0); a one-byte delimiter, the
    // common case, without a call.
    auto delimiterAt = [row, len, delim, delimLen](size_t j) {
        if (delimLen == 1) return row[j] == delim[0];
        return len - j >= delimLen && memcmp(row + j, delim, delimLen) == 0;
    };

    // A whole row the unquoting scan went through: its fields end where the scan found.
    const auto& scan = reader->buffer->scan;
    const bool scanned =
        unquote && scan.complete && row == reader->buffer->row && len == scan.completeLen;
    const size_t columns = reader->dialect.columns.size();
    size_t nextColumn = 0;
    size_t at = 0;
    for (;;) {
        const size_t columnIndex = nextColumn++;
        const auto [startChar, endChar, isProtected] = QuotesAt(reader->buffer, columnIndex);
        const size_t fieldStart = at;
        size_t fieldEnd = len;  // the field ends at the row's end unless a delimiter ends it
        bool protection = false;
        bool delimited = false;
        bool plain = false;
        if (scanned) {
            plain = scan.fields[columnIndex].plain;
            fieldEnd = scan.fields[columnIndex].end;
            delimited = columnIndex + 1 < scan.fields.size();
        } else if (!isProtected || unquote) {
            // Without protection the field runs to the next whole delimiter; unquoting reads
            // as lenient CSV readers do (see ScanLenientField).
            const bool quoted = unquote && at < len && startChar != '\0' && row[at] == startChar;
            const FieldScan f = ScanLenientField(row, len, quoted ? at + 1 : at, quoted, endChar,
                                                 delim, delimLen, true);
            fieldEnd = f.end;
            delimited = f.delimited;
            protection = f.open;
        } else {
            // Protected column. Protection off: the field goes on to the next opening
            // character (protection on) or the next delimiter (end of the field). Protection
            // on: the delimiter is text up to the closing character, which may itself begin
            // the delimiter. A protecting character of 0 means none.
            size_t i = at;
            while (i < len) {
                if (!protection) {
                    size_t j = i;
                    for (; j < len; ++j) {
                        const char c = row[j];
                        if (c == startChar && startChar != '\0') break;
                        if (delimLen > 0 && c == delim[0] && delimiterAt(j)) break;
                    }
                    if (j == len) break;
                    if (row[j] == startChar && startChar != '\0') {
                        protection = true;
                        i = j + 1;
                        continue;
                    }
                    fieldEnd = j;
                    delimited = true;
                    break;
                }
                const void* hit = endChar != '\0' ? memchr(row + i, endChar, len - i) : nullptr;
                if (!hit) break;
                const size_t j = static_cast<size_t>(static_cast<const char*>(hit) - row);
                protection = false;
                if (delimLen > 0 && delimiterAt(j)) {
                    fieldEnd = j;
                    delimited = true;
                    break;
                }
                i = j + 1;
            }
        }
        if (!delimited && protection) {
            morvex::trace(
                "\n[SplitRowWithSeparator] ATTENTION : Aucun caractère de fin de champ protégé "
                "n'a été identifié avant la fin de la ligne.\n   ->row=[%s]",
                row);
        }
        FieldValue value{fieldStart, fieldEnd - fieldStart};
        if (plain)
            value = {fieldStart + 1, fieldEnd - fieldStart - 2};
        else if (unquote && startChar != '\0' && fieldEnd > fieldStart &&
                 row[fieldStart] == startChar)  // most fields of a quoted file are not
            value = UnquoteInPlace(row, fieldStart, fieldEnd, startChar, endChar);
        const int column = columnIndex < columns ? static_cast<int>(columnIndex) : -1;
        if (!emit(column, row + value.start, value.length)) return false;
        if (!delimited) break;
        at = fieldEnd + delimLen;
    }
    return true;
}

// The row split into a new list of owned values; nullptr when it cannot be split or memory
// runs out.
LDCG* SplitRow(DATAFILE* reader, char* row, size_t len, int isHeader) {
    LDCG* list = LDCG_Create(nullptr, DATACOLUMN_Destroy);
    if (!list) return nullptr;
    auto emit = [list, isHeader](int column, const char* text, size_t length) {
        return addValue(list, isHeader, column, text, length);
    };
    const bool split = reader->dialect.layout == DATAFILE_LAYOUT::Fixed
                           ? SplitRowFixedSize(reader, row, len, emit)
                           : SplitRowWithSeparator(reader, row, len, emit);
    if (!split) {
        LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        return nullptr;
    }
    return list;
}

// Splits the row into `fields` that point into it (DATAFILE_ReadNextFields).
bool SplitRowFields(DATAFILE* reader, char* row, size_t len, int isHeader,
                    std::vector<DATAFIELD>& fields) {
    auto emit = [&fields, isHeader](int column, const char* text, size_t length) {
        fields.push_back({isHeader, column, text, static_cast<int>(length)});
        return true;
    };
    return reader->dialect.layout == DATAFILE_LAYOUT::Fixed
               ? SplitRowFixedSize(reader, row, len, emit)
               : SplitRowWithSeparator(reader, row, len, emit);
}

}  // namespace datafile_internal

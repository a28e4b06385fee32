// The data file reader: a block buffer over the file, the row reader that finds the end-of-line
// indicator, and the two splitters (fixed widths, delimiter with protecting characters).
//
// Layers:
//   - DATAFILE_BUFFER holds one block of the file (DATAFILE_BLOCK_SIZE bytes) and the reused
//     row buffer; the logical position in the file is blockStart + pos.
//   - ReadRow takes bytes from the block into the row until the indicator, the character
//     limit or the end of the file. The hot loop looks for the indicator's first byte with
//     memchr and only walks byte by byte while a partial indicator is being matched.
//   - With an encoding, UTF-16 streams are decoded to UTF-8 block by block before rows are
//     cut; other encodings are converted (or, for UTF-8, checked) one row at a time.
//   - With unquoting, a row whose last field is still inside its protecting characters goes
//     on over the next line, and values lose their protecting characters.
//   - SplitFixedSize / SplitWithSeparator turn the row (with its real length, zero bytes
//     allowed) into fields, given to a list of DATACOLUMN values or to a caller's field array.
#include "datafile/datafile.h"

#include <iconv.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "foundation/trace.h"
#include "foundation/utf8.h"

// Block buffer and reused row storage of one reader. Belongs to the reader's thread.
struct DATAFILE_BUFFER {
    char* block;           // DATAFILE_BLOCK_SIZE bytes read ahead from the file
    size_t pos;            // next unread byte of block
    size_t len;            // valid bytes in block
    int64_t blockStart;    // file offset of block[0]
    bool eof;              // the file gave no more bytes (end or read error)
    char* row;             // row text, zero-terminated, reused from row to row
    size_t rowLen;         // bytes in row
    size_t rowCap;         // allocated bytes of row (terminator included)
    std::vector<int> kmp;  // failure table of the end-of-line indicator
    iconv_t decoder;       // converter to UTF-8, (iconv_t)-1 when bytes are taken as read
    bool streamDecode;     // the stream is decoded before rows are cut (UTF-16)
    bool checkOnly;        // rows are only checked as UTF-8, not converted
    bool bomPending;       // a byte order mark may still open the stream
    char* raw;             // undecoded bytes of the stream (streamDecode only)
    size_t rawLen;         // bytes waiting in raw
    bool rawEof;           // the file gave no more bytes to decode
    int64_t rawConsumed;   // file bytes read into raw so far
    char* conv;            // converted row, swapped with row
    size_t convCap;        // allocated bytes of conv
    // Single-byte encodings: the UTF-8 bytes of every byte value (an empty entry: a byte the
    // encoding does not define), built once from the converter; empty for other encodings.
    std::vector<std::string> byteTable;
    std::string converted;  // the row being converted through byteTable
    int64_t sizeLimit;      // bytes of the file read at most: its size when the reading began
    // Where the unquoting reading of the current row stands, so that a row that goes on over
    // lines (or past the character limit) is scanned once, not again from its start.
    struct QuoteScan {
        const LDCG_ELT* nextColumn;  // column of the field after the current one
        char endChar;          // closing character of the current field (0: not protected)
        size_t resumeAt;       // next byte of the row to look at
        bool quoted;           // the current field is inside its protection
        bool started;          // the scan has begun for this row
        bool atFieldStart;     // the current field's first byte is still to be looked at
        size_t fieldStart;     // first byte of the current field
        char startChar;        // opening character of the current field (0: not protected)
    } scan;
};

namespace {

// First capacity of the row buffer.
constexpr size_t ROW_INITIAL_CAPACITY = 1024;

// Default character limit when a reader is created with 0 (or less).
constexpr int DEFAULT_CHARACTER_LIMIT = 10000;

// Limit used by the line count.
constexpr int STATS_CHARACTER_LIMIT = 5000;

// A progress report every this many rows during the line count.
constexpr int STATS_REPORT_EVERY = 100;

// Undecoded bytes read at a time from a UTF-16 file: decoded, they always fit in a block.
constexpr size_t RAW_CHUNK = DATAFILE_BLOCK_SIZE / 2;

// Put in the decoded stream where a UTF-16 sequence is invalid: never valid in UTF-8, so the
// row holding it fails its check.
constexpr char INVALID_MARK = '\xFF';

const iconv_t NO_DECODER = reinterpret_cast<iconv_t>(-1);

// Size of the file at `path` in bytes, -1 when it cannot be opened or measured.
int64_t fileSize64(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return -1;
    int64_t size = -1;
    if (fseeko(f, 0, SEEK_END) == 0) size = static_cast<int64_t>(ftello(f));
    fclose(f);
    return size;
}

// True when `path` opens for reading in binary mode and is not a directory.
bool opensAsFile(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0 && !S_ISDIR(st.st_mode);
    fclose(f);
    return ok;
}

DATAFILE_BUFFER* newBuffer() {
    auto* buf = new (std::nothrow) DATAFILE_BUFFER{};
    if (!buf) return nullptr;
    buf->block = static_cast<char*>(malloc(DATAFILE_BLOCK_SIZE));
    buf->row = static_cast<char*>(malloc(ROW_INITIAL_CAPACITY));
    if (!buf->block || !buf->row) {
        free(buf->block);
        free(buf->row);
        delete buf;
        return nullptr;
    }
    buf->rowCap = ROW_INITIAL_CAPACITY;
    buf->row[0] = '\0';
    buf->decoder = NO_DECODER;
    return buf;
}

void destroyBuffer(DATAFILE_BUFFER* buf) {
    if (!buf) return;
    if (buf->decoder != NO_DECODER) iconv_close(buf->decoder);
    free(buf->block);
    free(buf->row);
    free(buf->raw);
    free(buf->conv);
    delete buf;
}

// Back to the start of the file with an empty block.
void resetBuffer(DATAFILE_BUFFER* buf) {
    buf->pos = 0;
    buf->len = 0;
    buf->blockStart = 0;
    buf->eof = false;
    buf->rowLen = 0;
    buf->row[0] = '\0';
    buf->rawLen = 0;
    buf->rawEof = false;
    buf->rawConsumed = 0;
    buf->bomPending = false;
}

// Decodes the next bytes of a UTF-16 file into the block; 0 bytes at the end of the file.
// An invalid sequence (or one cut by the end of the file) becomes INVALID_MARK.
size_t decodeBlock(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    size_t produced = 0;
    while (produced == 0) {
        if (!buf->rawEof && buf->rawLen < RAW_CHUNK) {
            int64_t left = buf->sizeLimit - buf->rawConsumed;
            size_t want = RAW_CHUNK - buf->rawLen;
            if (left < static_cast<int64_t>(want)) want = left > 0 ? static_cast<size_t>(left) : 0;
            size_t n = want > 0 ? fread(buf->raw + buf->rawLen, 1, want, reader->file) : 0;
            if (n == 0) buf->rawEof = true;
            buf->rawLen += n;
            buf->rawConsumed += static_cast<int64_t>(n);
        }
        if (buf->rawLen == 0) return 0;
        char* in = buf->raw;
        size_t inLeft = buf->rawLen;
        char* out = buf->block;
        size_t outLeft = DATAFILE_BLOCK_SIZE;
        while (inLeft > 0) {
            if (iconv(buf->decoder, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG || outLeft == 0) break;
            if (errno == EINVAL && !buf->rawEof) break;  // the rest comes with the next read
            // Invalid, or incomplete at the end of the file: one code unit is marked.
            *out++ = INVALID_MARK;
            --outLeft;
            size_t skip = inLeft < 2 ? inLeft : 2;
            in += skip;
            inLeft -= skip;
        }
        memmove(buf->raw, in, inLeft);
        buf->rawLen = inLeft;
        produced = static_cast<size_t>(out - buf->block);
        if (produced == 0 && buf->rawEof && inLeft == 0) return 0;
    }
    return produced;
}

// Reads the next block when the current one is used up; false at the end of the file.
bool refill(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    if (buf->pos < buf->len) return true;
    if (buf->eof || !reader->file) return false;
    buf->blockStart += static_cast<int64_t>(buf->len);
    buf->pos = 0;
    size_t want = DATAFILE_BLOCK_SIZE;
    if (!buf->streamDecode) {
        // Bytes written after the reading began (a file still growing) are not read: its last
        // line could be half written.
        const int64_t left = buf->sizeLimit - buf->blockStart;
        want = left <= 0 ? 0 : left < static_cast<int64_t>(want) ? static_cast<size_t>(left) : want;
    }
    buf->len = buf->streamDecode ? decodeBlock(reader)
               : want > 0        ? fread(buf->block, 1, want, reader->file)
                                 : 0;
    if (buf->len == 0) {
        buf->eof = true;
        return false;
    }
    if (buf->bomPending) {
        // The byte order mark, in UTF-8 (as decoded), opens the stream: it is no data.
        buf->bomPending = false;
        if (buf->len >= 3 && memcmp(buf->block, "\xEF\xBB\xBF", 3) == 0) buf->pos = 3;
        if (buf->pos >= buf->len) return refill(reader);
    }
    return true;
}

// Makes room for `extra` more bytes plus the terminator in the row; false when out of memory.
bool reserveRow(DATAFILE_BUFFER* buf, size_t extra) {
    size_t need = buf->rowLen + extra + 1;
    if (need <= buf->rowCap) return true;
    size_t cap = buf->rowCap;
    while (cap < need) cap = cap * 2;
    char* grown = static_cast<char*>(realloc(buf->row, cap));
    if (!grown) return false;
    buf->row = grown;
    buf->rowCap = cap;
    return true;
}

// Failure table of the indicator: kmp[i] is the length of the longest proper prefix of
// indicator[0..i] that is also its suffix.
void buildFailureTable(const char* indicator, size_t n, std::vector<int>& kmp) {
    kmp.assign(n, 0);
    int k = 0;
    for (size_t i = 1; i < n; ++i) {
        while (k > 0 && indicator[i] != indicator[k]) k = kmp[k - 1];
        if (indicator[i] == indicator[k]) ++k;
        kmp[i] = k;
    }
}

// Outcome of ReadRow.
enum class RowResult {
    Row,          // a row is in the buffer (possibly empty)
    EndOfFile,    // no byte left
    OutOfMemory,  // the row buffer could not grow
};

bool RowEndsInsideProtection(DATAFILE* reader, bool lineComplete);

// Reads one row into reader->buffer->row (indicator removed), following the row rules:
// the row ends after the first whole occurrence of the indicator or at the end of the file. A
// line longer than the limit is cut: the row keeps its first limit + 1 bytes, lineTooLong is
// set and the rest of the line is passed over, so that it makes no row of its own (without an
// indicator, the rest makes the next rows). When the
// description unquotes, a line is not cut while the row is inside a protected field: a quoted
// value is read whole, however long. A byte that breaks a partial match is matched again
// against the indicator, so no line end is missed. With keepText false the row's bytes are
// only counted, not copied (lines that are skipped or merely counted): rowLen is right, row is
// not. With `append`, the row goes on after the text already in the buffer (continuation line).
RowResult ReadRow(DATAFILE* reader, bool keepText = true, bool append = false) {
    DATAFILE_BUFFER* buf = reader->buffer;
    const char* indicator = reader->desc->EndOfLineChars;
    const size_t indLen = buf->kmp.size();  // prepared by DATAFILE_Init
    const bool unquote = keepText && reader->desc->Unquote != 0 &&
                         reader->desc->TypeStructFile == STRUCTFILE_DELIMITED;

    // Bytes this row may take: the limit, plus one (the limit is tested before each byte).
    const size_t base = append ? buf->rowLen : 0;
    const size_t limit = static_cast<size_t>(reader->nCarMaxReadWithoutNewLine);
    size_t allowance = base + limit + 1;
    buf->rowLen = base;
    if (!append) reader->lineTooLong = 0;
    size_t matched = 0;  // indicator characters matched at the end of the row
    bool passingOver = false;  // the line was cut: its bytes are read, not kept
    size_t passedOver = 0;     // bytes read since the line was cut
    bool found = false;
    bool readAny = false;

    for (;;) {
        if (!refill(reader)) break;  // end of file
        if (!passingOver && buf->rowLen >= allowance) {
            if (unquote && RowEndsInsideProtection(reader, false)) {
                allowance = buf->rowLen + (buf->rowLen > limit ? buf->rowLen : limit);
            } else {
                reader->lineTooLong = 1;
                morvex::trace(
                    "\n[ReadRow] : L'indicateur de fin de ligne n'a pas été trouvé dans les %i "
                    "premiers caractères. Abandon.",
                    reader->nCarMaxReadWithoutNewLine);
                // Without an indicator (a file without line ends) the limit is what cuts rows.
                if (indLen == 0) break;
                passingOver = true;
            }
        }
        const bool keep = keepText && !passingOver;
        const char* src = buf->block + buf->pos;
        size_t avail = buf->len - buf->pos;
        if (!passingOver && avail > allowance - buf->rowLen) avail = allowance - buf->rowLen;
        readAny = true;

        if (matched == 0) {
            // Fast path: everything up to the indicator's first byte is row text.
            const void* hit = indLen > 0 ? memchr(src, indicator[0], avail) : nullptr;
            size_t take =
                hit ? static_cast<size_t>(static_cast<const char*>(hit) - src) + 1 : avail;
            if (keep) {
                if (!reserveRow(buf, take)) {
                    morvex::trace("\n[ReadRow] : Impossible de reallouer de la memoire pour buffer");
                    return RowResult::OutOfMemory;
                }
                memcpy(buf->row + buf->rowLen, src, take);
            }
            if (!passingOver) buf->rowLen += take;
            else passedOver += take;
            buf->pos += take;
            if (!hit) continue;
            matched = 1;
        } else {
            // Slow path: one byte while a partial indicator is pending.
            char c = *src;
            if (keep) {
                if (!reserveRow(buf, 1)) {
                    morvex::trace("\n[ReadRow] : Impossible de reallouer de la memoire pour buffer");
                    return RowResult::OutOfMemory;
                }
                buf->row[buf->rowLen] = c;
            }
            if (!passingOver) buf->rowLen++;
            else ++passedOver;
            buf->pos++;
            while (matched > 0 && c != indicator[matched]) matched = buf->kmp[matched - 1];
            if (c == indicator[matched]) ++matched;
        }
        if (matched == indLen) {
            // The row never contains the indicator; once the line is cut, only the indicator's
            // first bytes read before the cut are in the row.
            buf->rowLen -= passingOver ? (matched > passedOver ? matched - passedOver : 0) : indLen;
            found = true;
            break;
        }
    }
    if (keepText) buf->row[buf->rowLen] = '\0';
    if (!found && !readAny && buf->rowLen == base) {
        morvex::trace("\n[ReadRow] : EOF");
        return RowResult::EndOfFile;
    }
    return RowResult::Row;
}

// A value of `len` bytes copied from `text`; nullptr when out of memory.
DATACOLUMN* newValue(int isHeader, ColumnDesc* column, const char* text, size_t len) {
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
    value->column = column;
    value->length = static_cast<int>(len);
    return value;
}

// Appends a value to the row list; false when out of memory (nothing leaks).
bool addValue(LDCG* list, int isHeader, ColumnDesc* column, const char* text, size_t len) {
    DATACOLUMN* value = newValue(isHeader, column, text, len);
    if (!value) return false;
    if (!LDCG_Add(list, value, nullptr)) {
        DATACOLUMN_Destroy(value);
        return false;
    }
    return true;
}

// Splits a fixed-width row: each column in order takes its width of the remaining text. Each
// field goes to `emit(column, text, length)`, which answers false to stop (out of memory).
// False when the row cannot be split or emit stopped.
template <typename Emit>
bool SplitFixedSize(DATAFILE* reader, const char* row, size_t len, Emit&& emit) {
    LDCG* columns = reader->desc->columns;
    if (!reader->hasColumns || !columns || !columns->first) {
        morvex::trace(
            "\n[SplitRowFixedSize] Impossible de découper un fichier sans séparateur sans aucune "
            "définition de colonne.");
        return false;
    }
    // With an encoding the row is UTF-8 by now and widths count characters, as they did in the
    // file's own encoding; without one, a character is a byte.
    const bool characters = reader->desc->Encoding[0] != '\0';
    size_t at = 0;
    for (LDCG_ELT* elt = columns->first; elt; elt = elt->next) {
        auto* column = static_cast<ColumnDesc*>(elt->lParam1);
        size_t width = column && column->WidthInChars > 0 ? column->WidthInChars : 0;
        if (characters) {
            size_t end = at;
            for (size_t n = 0; n < width && end < len; ++n) {
                ++end;
                while (end < len && (static_cast<unsigned char>(row[end]) & 0xC0) == 0x80) ++end;
            }
            width = end - at;
        }
        if (width > len - at) width = len - at;
        if (!emit(column, row + at, width)) return false;
        at += width;
    }
    return true;
}

// Removes the protecting characters of the field row[from, to) in place, as lenient CSV
// readers do: only a field that begins with `startChar` is protected, up to its closing
// `endChar` (a doubled one inside stands for one); whatever follows the closing character, and
// every protecting character of a field that does not begin with one, is text. Returns the
// new length.
size_t UnquoteInPlace(char* row, size_t from, size_t to, char startChar, char endChar) {
    if (from >= to || row[from] != startChar) return to - from;
    size_t w = from;
    size_t r = from + 1;
    while (r < to) {
        const char c = row[r];
        if (c == endChar) {
            if (r + 1 < to && row[r + 1] == endChar) {
                row[w++] = c;  // doubled: one is text
                r += 2;
                continue;
            }
            ++r;  // the closing character
            break;
        }
        row[w++] = c;
        ++r;
    }
    while (r < to) row[w++] = row[r++];
    return w - from;
}

// The protecting characters of a field of `column` (nullptr: a field past the last column,
// protected by the description's QuoteChar when it unquotes); 0 when the field has none.
// True when the field is protected.
bool ProtectionOf(const DATAFILE* reader, const ColumnDesc* column, char* startChar,
                  char* endChar) {
    const char defaultQuote = reader->desc->Unquote ? reader->desc->QuoteChar : '\0';
    const bool isProtected = column ? column->protectedField != 0 : defaultQuote != '\0';
    *startChar = !isProtected ? '\0' : column ? column->DelimCharStart : defaultQuote;
    *endChar = !isProtected ? '\0' : column ? column->DelimCharEnd : defaultQuote;
    return isProtected;
}

// Where a field of the unquoting reading ends, scanned from `i`: inside the protection (when
// `quoted`) up to the closing character that is not doubled, then up to the next delimiter.
struct FieldScan {
    size_t end;      // the field's delimiter, or len
    bool delimited;  // a delimiter ends the field
    bool open;       // the text ends inside the protection; `end` is where to go on
};

FieldScan ScanLenientField(const char* row, size_t len, size_t i, bool quoted, char endChar,
                           const char* delim, size_t delimLen, bool lineComplete) {
    if (i > len) i = len;
    while (quoted) {
        const void* hit = endChar != '\0' ? memchr(row + i, endChar, len - i) : nullptr;
        if (!hit) return {len, false, true};
        const size_t j = static_cast<size_t>(static_cast<const char*>(hit) - row);
        if (j + 1 < len) {
            if (row[j + 1] == endChar) {
                i = j + 2;  // doubled: text
                continue;
            }
        } else if (!lineComplete) {
            return {j, false, true};  // may be the first of a doubled pair still to come
        }
        quoted = false;
        i = j + 1;
    }
    while (delimLen > 0 && i < len) {
        const void* hit = memchr(row + i, delim[0], len - i);
        if (!hit) break;
        const size_t p = static_cast<size_t>(static_cast<const char*>(hit) - row);
        if (len - p >= delimLen && memcmp(row + p, delim, delimLen) == 0) return {p, true, false};
        i = p + 1;
    }
    return {len, false, false};
}

// True when the row read so far ends inside a protected field of the unquoting reading
// (`lineComplete`: its line has ended, so a closing character at its end closes). The scan
// goes on from where the previous call for the same row stopped: a row is scanned once
// however many lines or blocks it spans.
bool RowEndsInsideProtection(DATAFILE* reader, bool lineComplete) {
    DATAFILE_BUFFER* buf = reader->buffer;
    auto& sc = buf->scan;
    const char* row = buf->row;
    const size_t len = buf->rowLen;
    const char* delim = reader->desc->FieldDelimiterChars;
    const size_t delimLen = strnlen(delim, sizeof reader->desc->FieldDelimiterChars);
    auto beginField = [&](size_t at) {
        const ColumnDesc* column = nullptr;
        if (sc.nextColumn) {
            column = static_cast<const ColumnDesc*>(sc.nextColumn->lParam1);
            sc.nextColumn = sc.nextColumn->next;
        }
        ProtectionOf(reader, column, &sc.startChar, &sc.endChar);
        sc.resumeAt = at;
        sc.fieldStart = at;
        sc.atFieldStart = true;
        sc.quoted = false;
    };
    if (!sc.started) {
        sc.started = true;
        sc.nextColumn = reader->desc->columns ? reader->desc->columns->first : nullptr;
        beginField(0);
    }
    for (;;) {
        if (sc.atFieldStart) {
            if (sc.resumeAt >= len) return false;  // nothing of the field yet
            sc.atFieldStart = false;
            sc.quoted = sc.startChar != '\0' && row[sc.resumeAt] == sc.startChar;
            if (sc.quoted) ++sc.resumeAt;
        }
        const FieldScan f = ScanLenientField(row, len, sc.resumeAt, sc.quoted, sc.endChar, delim,
                                             delimLen, lineComplete);
        if (f.open) {
            sc.resumeAt = f.end;
            return true;
        }
        if (!f.delimited) {
            // Unquoted up to the end: go on later where a delimiter may begin.
            sc.quoted = false;
            const size_t back = delimLen > 1 ? delimLen - 1 : 0;
            sc.resumeAt = len >= back && len - back > sc.fieldStart ? len - back : sc.fieldStart;
            return false;
        }
        beginField(f.end + delimLen);
    }
}

// Splits a delimited row; fields past the last column get no column (nor protection, unless
// the description unquotes with a QuoteChar). Fields go to `emit` as for SplitFixedSize; when
// the description unquotes, values lose their protecting characters (the row is rewritten in
// place).
template <typename Emit>
bool SplitWithSeparator(DATAFILE* reader, char* row, size_t len, Emit&& emit) {
    const bool unquote = reader->desc->Unquote != 0;
    const char* delim = reader->desc->FieldDelimiterChars;
    const size_t delimLen = strnlen(delim, sizeof reader->desc->FieldDelimiterChars);

    LDCG_ELT* nextColumn = reader->desc->columns ? reader->desc->columns->first : nullptr;
    size_t at = 0;
    for (;;) {
        ColumnDesc* column = nullptr;
        if (nextColumn) {
            column = static_cast<ColumnDesc*>(nextColumn->lParam1);
            nextColumn = nextColumn->next;
        }
        char startChar = '\0';
        char endChar = '\0';
        const bool isProtected = ProtectionOf(reader, column, &startChar, &endChar);
        const size_t fieldStart = at;
        size_t fieldEnd = len;  // the field ends at the row's end unless a delimiter ends it
        bool protection = false;
        bool delimited = false;

        if (!isProtected || unquote) {
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
                        if (delimLen > 0 && c == delim[0] && len - j >= delimLen &&
                            memcmp(row + j, delim, delimLen) == 0)
                            break;
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
                if (delimLen > 0 && len - j >= delimLen && memcmp(row + j, delim, delimLen) == 0) {
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
        size_t fieldLen = fieldEnd - fieldStart;
        if (unquote && startChar != '\0')
            fieldLen = UnquoteInPlace(row, fieldStart, fieldEnd, startChar, endChar);
        if (!emit(column, row + fieldStart, fieldLen)) return false;
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
    auto emit = [list, isHeader](ColumnDesc* column, const char* text, size_t length) {
        return addValue(list, isHeader, column, text, length);
    };
    const bool split = reader->desc->TypeStructFile == STRUCTFILE_FIXED
                           ? SplitFixedSize(reader, row, len, emit)
                           : SplitWithSeparator(reader, row, len, emit);
    if (!split) {
        LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        return nullptr;
    }
    return list;
}

}  // namespace

DATAFILE* DATAFILE_NewIterator(FileDesc* desc, const char* path, int nCarMaxReadWithoutNewLine,
                               int readHeader) {
    if (!desc || !path) return nullptr;
    if (!opensAsFile(path)) {
        morvex::trace("\n[DATAFILE_NewIterator] Le fichier exemple [%s] n'existe pas.", path);
        return nullptr;
    }
    auto* reader = static_cast<DATAFILE*>(calloc(1, sizeof(DATAFILE)));
    if (!reader) return nullptr;
    reader->path = strdup(path);
    reader->buffer = newBuffer();
    if (!reader->path || !reader->buffer) {
        free(reader->path);
        destroyBuffer(reader->buffer);
        free(reader);
        return nullptr;
    }
    reader->desc = desc;
    reader->hasColumns = desc->columns && desc->columns->first ? 1 : 0;
    // A limit of 0 means the default; a negative one would never let a byte through.
    reader->nCarMaxReadWithoutNewLine =
        nCarMaxReadWithoutNewLine > 0 ? nCarMaxReadWithoutNewLine : DEFAULT_CHARACTER_LIMIT;
    reader->readHeader = readHeader;
    int64_t size = fileSize64(path);
    reader->fileSize = size > 0 ? static_cast<double>(size) : 0.0;
    morvex::trace("\n[DATAFILE_NewIterator] Taille du fichier %s : %.0f octets", path,
                  reader->fileSize);
    if (desc->BeginFromLine == 0) desc->BeginFromLine = 1;
    return reader;
}

namespace {

// Sets up the conversion named by the description's Encoding; false (traced) when the name
// is not known.
bool PrepareDecoding(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    if (buf->decoder != NO_DECODER) iconv_close(buf->decoder);
    buf->decoder = NO_DECODER;
    buf->streamDecode = false;
    buf->checkOnly = false;
    const char* encoding = reader->desc->Encoding;
    if (!encoding[0]) return true;
    const std::string name(encoding);
    if (name == "UTF-8" || name == "UTF8") {
        buf->checkOnly = true;
        buf->bomPending = true;
        return true;
    }
    buf->decoder = iconv_open("UTF-8", encoding);
    if (buf->decoder == NO_DECODER) {
        morvex::trace("\n[DATAFILE_Init] Encodage inconnu : [%s]", encoding);
        return false;
    }
    buf->byteTable.clear();
    if (name.rfind("UTF-16", 0) != 0) {
        // One iconv call per byte value now, then a table lookup per byte of every row.
        std::vector<std::string> table(256);
        bool singleByte = true;
        for (int b = 0; b < 256 && singleByte; ++b) {
            char in = static_cast<char>(b);
            char out[8];
            char* inPtr = &in;
            char* outPtr = out;
            size_t inLeft = 1;
            size_t outLeft = sizeof out;
            iconv(buf->decoder, nullptr, nullptr, nullptr, nullptr);
            if (iconv(buf->decoder, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) {
                table[b].assign(out, static_cast<size_t>(outPtr - out));
            } else if (errno == EINVAL) {
                singleByte = false;  // a byte that starts a longer sequence
            }
        }
        if (singleByte) buf->byteTable = std::move(table);
    }
    if (name.rfind("UTF-16", 0) == 0) {
        buf->streamDecode = true;
        buf->checkOnly = true;  // the decoded stream marks its invalid sequences
        buf->bomPending = true;
        if (!buf->raw) buf->raw = static_cast<char*>(malloc(RAW_CHUNK));
        if (!buf->raw) return false;
    }
    return true;
}

}  // namespace

int DATAFILE_Init(DATAFILE* reader) {
    if (!reader || !reader->path || !reader->buffer) return 1;
    if (reader->file) fclose(reader->file);
    resetBuffer(reader->buffer);
    reader->currentRow = nullptr;
    reader->currentRowLength = 0;
    reader->readBytes = 0.0;
    reader->currentFileRowID = 0;
    // The indicator is prepared once per reading: the description must not change meanwhile.
    const char* indicator = reader->desc->EndOfLineChars;
    buildFailureTable(indicator, strnlen(indicator, sizeof reader->desc->EndOfLineChars),
                      reader->buffer->kmp);
    reader->rowEncodingError = 0;
    reader->rowUnclosedQuote = 0;
    if (!PrepareDecoding(reader)) return 1;
    reader->file = fopen(reader->path, "rb");
    if (!reader->file) return 1;
    // The reader does its own buffering in large blocks.
    setvbuf(reader->file, nullptr, _IONBF, 0);
    // A regular file is read up to the size it has now: what is appended meanwhile (a file
    // still being written) waits for the next reading.
    struct stat st;
    reader->buffer->sizeLimit = fstat(fileno(reader->file), &st) == 0 && S_ISREG(st.st_mode)
                                    ? static_cast<int64_t>(st.st_size)
                                    : INT64_MAX;
    return 0;
}

namespace {

// Brings the row read into UTF-8 following the description's encoding. An invalid sequence
// leaves the row as read, sets rowEncodingError and is traced; false only when out of memory.
bool ConvertRow(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    bool valid;
    if (buf->checkOnly) {
        valid = morvex::utf8IsValid(std::string_view(buf->row, buf->rowLen));
    } else if (!buf->byteTable.empty()) {
        std::string& out = buf->converted;
        out.clear();
        valid = true;
        const auto* row = reinterpret_cast<const unsigned char*>(buf->row);
        for (size_t i = 0; i < buf->rowLen && valid; ++i) {
            if (row[i] < 0x80) {
                out += static_cast<char>(row[i]);
            } else {
                const std::string& utf8 = buf->byteTable[row[i]];
                valid = !utf8.empty();
                out += utf8;
            }
        }
        if (valid) {
            if (out.size() + 1 > buf->rowCap) {
                char* grown = static_cast<char*>(realloc(buf->row, out.size() + 1));
                if (!grown) return false;
                buf->row = grown;
                buf->rowCap = out.size() + 1;
            }
            memcpy(buf->row, out.data(), out.size());
            buf->rowLen = out.size();
            buf->row[buf->rowLen] = '\0';
        }
    } else {
        // A single-byte character becomes at most 3 bytes.
        const size_t need = buf->rowLen * 3 + 1;
        if (need > buf->convCap) {
            char* grown = static_cast<char*>(realloc(buf->conv, need));
            if (!grown) return false;
            buf->conv = grown;
            buf->convCap = need;
        }
        iconv(buf->decoder, nullptr, nullptr, nullptr, nullptr);
        char* in = buf->row;
        size_t inLeft = buf->rowLen;
        char* out = buf->conv;
        size_t outLeft = buf->convCap - 1;
        valid = iconv(buf->decoder, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
        if (valid) {
            const size_t converted = static_cast<size_t>(out - buf->conv);
            std::swap(buf->row, buf->conv);
            std::swap(buf->rowCap, buf->convCap);
            buf->rowLen = converted;
            buf->row[converted] = '\0';
        }
    }
    if (!valid) {
        reader->rowEncodingError = 1;
        morvex::trace("\n[DATAFILE_ReadNext] Ligne %i : séquence invalide pour l'encodage %s.",
                      reader->currentRowFirstLine, reader->desc->Encoding);
    }
    return true;
}

// Adds lines to a row whose last field is still inside its protecting characters, the end of
// line between them kept as text, until the field closes or the file ends. A field still open
// at the end of the file never closes: the reading goes back to the line after the row's first
// one, the row is that first line alone and rowUnclosedQuote tells it, so that one stray
// protecting character costs one row, not the rest of the file.
bool ContinueQuotedRow(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    const char* indicator = reader->desc->EndOfLineChars;
    const size_t indLen = buf->kmp.size();
    const int64_t resumeAt = buf->blockStart + static_cast<int64_t>(buf->pos);
    const size_t firstLineLength = buf->rowLen;
    const int firstLine = reader->currentFileRowID;
    for (;;) {
        if (!RowEndsInsideProtection(reader, true)) return true;
        if (buf->eof) break;
        const size_t before = buf->rowLen;
        if (!reserveRow(buf, indLen)) return false;
        memcpy(buf->row + buf->rowLen, indicator, indLen);
        buf->rowLen += indLen;
        const RowResult more = ReadRow(reader, true, true);
        if (more == RowResult::OutOfMemory) return false;
        if (more == RowResult::EndOfFile) {
            buf->rowLen = before;
            buf->row[before] = '\0';
            break;
        }
        reader->currentFileRowID++;
    }
    reader->rowUnclosedQuote = 1;
    morvex::trace("\n[DATAFILE_ReadNext] Ligne %i : champ protégé jamais fermé.", firstLine);
    if (reader->currentFileRowID == firstLine || buf->streamDecode) return true;
    if (fseeko(reader->file, static_cast<off_t>(resumeAt), SEEK_SET) != 0) return true;
    buf->blockStart = resumeAt;
    buf->pos = 0;
    buf->len = 0;
    buf->eof = false;
    buf->rowLen = firstLineLength;
    buf->row[firstLineLength] = '\0';
    reader->currentFileRowID = firstLine;
    return true;
}

// Moves to the next row to deliver: skips the lines before the first one (and the header when
// it is not wanted), reads the row (its text only when keepText), and updates the row number,
// the current row and the position. True when there was a row.
bool AdvanceToNextRow(DATAFILE* reader, bool keepText) {
    FileDesc* desc = reader->desc;
    DATAFILE_BUFFER* buf = reader->buffer;
    reader->currentFileRowID++;
    const int headerSkipped = desc->FirstLineIsHeader && !reader->readHeader ? 1 : 0;
    const int firstLine = desc->BeginFromLine + headerSkipped;
    while (reader->currentFileRowID < firstLine) {
        if (ReadRow(reader, false) == RowResult::OutOfMemory) break;
        reader->currentFileRowID++;
    }
    // Rows that may go on over several lines, or need converting, are always read whole.
    const bool unquote = desc->Unquote != 0 && desc->TypeStructFile == STRUCTFILE_DELIMITED;
    const bool convert = desc->Encoding[0] != '\0';
    if (unquote || convert) keepText = true;
    reader->currentRowFirstLine = reader->currentFileRowID;
    reader->rowEncodingError = 0;
    reader->rowUnclosedQuote = 0;
    buf->scan.started = false;
    bool haveRow = ReadRow(reader, keepText) == RowResult::Row;
    if (haveRow && unquote && !ContinueQuotedRow(reader)) haveRow = false;
    if (haveRow && convert && !ConvertRow(reader)) haveRow = false;
    reader->currentRow = haveRow && keepText ? buf->row : nullptr;
    reader->currentRowLength = haveRow && keepText ? static_cast<int>(buf->rowLen) : 0;
    reader->readBytes = static_cast<double>(buf->blockStart + static_cast<int64_t>(buf->pos));
    // A decoded stream is not the file's bytes: the file position of the block's end serves.
    if (buf->streamDecode)
        reader->readBytes =
            static_cast<double>(buf->rawConsumed - static_cast<int64_t>(buf->rawLen));
    return haveRow;
}

// DATAFILE_ReadNext without the split, for counting: the same rows, row numbers and positions
// for a description whose rows all split.
bool CountNextRow(DATAFILE* reader) { return AdvanceToNextRow(reader, false); }

// The row count of a file whose rows end only at the indicator (no quoted line ends, no
// decoding): the indicators are counted block by block, without cutting rows, plus a last line
// without one; the lines before BeginFromLine are not rows. Reports progress once per block
// and stops at the task's stop request (cancelled). False when the description does not allow
// it: the rows are then read one by one.
bool CountRowsByBlocks(DATAFILE* reader, TASK* task, int* count, bool* cancelled) {
    FileDesc* desc = reader->desc;
    DATAFILE_BUFFER* buf = reader->buffer;
    const char* indicator = desc->EndOfLineChars;
    const size_t indLen = buf->kmp.size();
    const bool rowsSplit = desc->TypeStructFile == STRUCTFILE_DELIMITED ||
                           (desc->TypeStructFile == STRUCTFILE_FIXED && LDCG_Count(desc->columns) > 0);
    if (!rowsSplit || indLen == 0 || desc->Encoding[0] != '\0' ||
        (desc->Unquote != 0 && desc->TypeStructFile == STRUCTFILE_DELIMITED))
        return false;
    int64_t ends = 0;
    size_t matched = 0;
    bool textAfterLastEnd = false;
    char message[128];
    while (refill(reader)) {
        const char* p = buf->block + buf->pos;
        const char* end = buf->block + buf->len;
        if (indLen == 1) {
            ends += std::count(p, end, indicator[0]);
            textAfterLastEnd = end[-1] != indicator[0];
        } else {
            while (p < end) {
                if (matched == 0) {
                    const void* hit = memchr(p, indicator[0], static_cast<size_t>(end - p));
                    if (!hit) {
                        p = end;
                        textAfterLastEnd = true;
                        break;
                    }
                    p = static_cast<const char*>(hit) + 1;
                    matched = 1;
                } else {
                    const char c = *p++;
                    while (matched > 0 && c != indicator[matched]) matched = buf->kmp[matched - 1];
                    if (c == indicator[matched]) ++matched;
                }
                textAfterLastEnd = true;
                if (matched == indLen) {
                    ++ends;
                    matched = 0;
                    textAfterLastEnd = false;
                }
            }
        }
        buf->pos = buf->len;
        reader->readBytes = static_cast<double>(buf->blockStart + static_cast<int64_t>(buf->len));
        const double percent =
            reader->fileSize > 0 ? 100.0 * reader->readBytes / reader->fileSize : 0.0;
        snprintf(message, sizeof message, "%lli lignes lues... (%.0f%%)",
                 static_cast<long long>(ends), percent);
        TASK_Report(task, TASK_EVENT_PROGRESS, 100, static_cast<int>(percent), message);
        if (TASK_IsStopRequested(task)) {
            *cancelled = true;
            break;
        }
    }
    const int64_t lines = ends + (textAfterLastEnd && !*cancelled ? 1 : 0);
    const int64_t rows = lines - (desc->BeginFromLine > 1 ? desc->BeginFromLine - 1 : 0);
    *count = rows <= 0 ? 0 : rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
    return true;
}

}  // namespace

LDCG* DATAFILE_ReadNext(DATAFILE* reader) {
    if (!reader || !reader->desc || !reader->buffer) return nullptr;
    FileDesc* desc = reader->desc;
    DATAFILE_BUFFER* buf = reader->buffer;
    if (!AdvanceToNextRow(reader, true)) return nullptr;

    if (desc->TypeStructFile != STRUCTFILE_FIXED && desc->TypeStructFile != STRUCTFILE_DELIMITED)
        return nullptr;
    const int isHeader =
        desc->FirstLineIsHeader && reader->currentRowFirstLine == desc->BeginFromLine ? 1 : 0;
    return SplitRow(reader, buf->row, buf->rowLen, isHeader);
}

bool DATAFILE_ReadNextFields(DATAFILE* reader, std::vector<DATAFIELD>& fields) {
    fields.clear();
    if (!reader || !reader->desc || !reader->buffer) return false;
    FileDesc* desc = reader->desc;
    if (desc->TypeStructFile != STRUCTFILE_FIXED && desc->TypeStructFile != STRUCTFILE_DELIMITED)
        return false;
    DATAFILE_BUFFER* buf = reader->buffer;
    if (!AdvanceToNextRow(reader, true)) return false;
    const int isHeader =
        desc->FirstLineIsHeader && reader->currentRowFirstLine == desc->BeginFromLine ? 1 : 0;
    auto emit = [&fields, isHeader](ColumnDesc* column, const char* text, size_t length) {
        fields.push_back({isHeader, column, text, static_cast<int>(length)});
        return true;
    };
    return desc->TypeStructFile == STRUCTFILE_FIXED
               ? SplitFixedSize(reader, buf->row, buf->rowLen, emit)
               : SplitWithSeparator(reader, buf->row, buf->rowLen, emit);
}

int DATAFILE_GetCurrentFileRowID(DATAFILE* reader) {
    return reader ? reader->currentFileRowID : -1;
}

double DATAFILE_GetReadBytes(DATAFILE* reader) {
    return reader ? reader->readBytes : -1.0;
}

double DATAFILE_GetFileSize(DATAFILE* reader) {
    return reader ? reader->fileSize : -1.0;
}

int DATAFILE_DestroyIterator(DATAFILE* reader) {
    if (!reader) return 1;
    if (reader->file) fclose(reader->file);
    destroyBuffer(reader->buffer);  // also releases the last row text
    free(reader->path);
    free(reader);
    return 0;
}

void DATACOLUMN_Destroy(void* value) {
    auto* column = static_cast<DATACOLUMN*>(value);
    if (!column) return;
    free(column->value);
    free(column);
}

int FileSize(const char* path) {
    if (!path) return -1;
    int64_t size = fileSize64(path);
    if (size < 0) return -1;
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

int DATAFILE_ComputeStats(TASK* task, FileDesc* desc, const char* path, DATAFILE_STATS* stats) {
    if (!task || !desc || !path || !stats) return 1;
    LDCG_ShowGlobalStats();
    DATAFILE* reader = DATAFILE_NewIterator(desc, path, STATS_CHARACTER_LIMIT, 1);
    if (!reader || DATAFILE_Init(reader) != 0) {
        DATAFILE_DestroyIterator(reader);
        TASK_Report(task, TASK_EVENT_NOT_STARTED, 100, 0,
                    "Erreur lors de la création de l'itérateur sur le fichier de données.");
        return 1;
    }
    int count = 0;
    bool cancelled = false;
    char message[128];
    if (CountRowsByBlocks(reader, task, &count, &cancelled)) {
        DATAFILE_DestroyIterator(reader);
        stats->nbLines = count;
        if (cancelled)
            TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100,
                        "Tâche interrompue par l'utilisateur.");
        LDCG_ShowGlobalStats();
        return 0;
    }
    // Counting needs the rows, not their values: when every row would split into a list, the
    // rows are only delimited, never copied nor split. Other descriptions give no rows at all,
    // which the ordinary read finds at once.
    const bool countOnly = desc->TypeStructFile == STRUCTFILE_DELIMITED ||
                           (desc->TypeStructFile == STRUCTFILE_FIXED && LDCG_Count(desc->columns) > 0);
    for (;;) {
        if (TASK_IsStopRequested(task)) {
            cancelled = true;
            break;
        }
        if (countOnly) {
            if (!CountNextRow(reader)) break;
        } else {
            LDCG* row = DATAFILE_ReadNext(reader);
            if (!row) break;
            LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        }
        ++count;
        if (count % STATS_REPORT_EVERY == 0) {
            double percent =
                reader->fileSize > 0 ? 100.0 * reader->readBytes / reader->fileSize : 0.0;
            snprintf(message, sizeof message, "%i lignes lues... (%.0f%%)", count, percent);
            TASK_Report(task, TASK_EVENT_PROGRESS, 100, static_cast<int>(percent), message);
        }
    }
    DATAFILE_DestroyIterator(reader);
    stats->nbLines = count;
    if (cancelled) {
        TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100, "Tâche interrompue par l'utilisateur.");
    }
    LDCG_ShowGlobalStats();
    return 0;
}

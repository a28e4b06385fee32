// The row cutter: rows end at the end-of-line indicator (memchr on its first byte, a failure
// table for the rest), a line longer than the limit is cut, a quoted value of an unquoting
// dialect goes on over line ends; and the line count by blocks.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "datafile/bytesource.h"
#include "datafile/datafile_internal.h"
#include "foundation/trace.h"

namespace datafile_internal {

bool RowsAlwaysSplit(const DATAFILE_DIALECT& dialect) {
    return dialect.layout == DATAFILE_LAYOUT::Delimited ||
           (dialect.layout == DATAFILE_LAYOUT::Fixed && !dialect.columns.empty());
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

// Reads one row into reader->buffer->row (indicator removed), following the row rules:
// the row ends after the first whole occurrence of the indicator or at the end of the file. A
// line longer than the limit is cut: the row keeps its first limit + 1 bytes, lineTooLong is
// set and the rest of the line is passed over, so that it makes no row of its own (without an
// indicator, the rest makes the next rows). When the
// dialect unquotes, a line is not cut while the row is inside a protected field: a quoted
// value is read whole, however long. A byte that breaks a partial match is matched again
// against the indicator, so no line end is missed. With keepText false the row's bytes are
// only counted, not copied (lines that are skipped or merely counted): rowLen is right, row is
// not. With `append`, the row goes on after the text already in the buffer (continuation line).
RowResult ReadRow(DATAFILE* reader, bool keepText, bool append) {
    DATAFILE_BUFFER* buf = reader->buffer;
    const char* indicator = reader->dialect.lineEnd.data();
    const size_t indLen = buf->kmp.size();  // prepared by DATAFILE_Init
    const bool unquote =
        keepText && reader->dialect.unquote && reader->dialect.layout == DATAFILE_LAYOUT::Delimited;

    // Bytes this row may take: the limit, plus one (the limit is tested before each byte).
    const size_t base = append ? buf->rowLen : 0;
    const size_t limit = static_cast<size_t>(reader->nCarMaxReadWithoutNewLine);
    size_t allowance = base + limit + 1;
    buf->rowLen = base;
    if (!append) reader->lineTooLong = 0;
    size_t matched = 0;        // indicator characters matched at the end of the row
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
                    morvex::trace(
                        "\n[ReadRow] : Impossible de reallouer de la memoire pour buffer");
                    return RowResult::OutOfMemory;
                }
                memcpy(buf->row + buf->rowLen, src, take);
            }
            if (!passingOver)
                buf->rowLen += take;
            else
                passedOver += take;
            buf->pos += take;
            if (!hit) continue;
            matched = 1;
        } else {
            // Slow path: one byte while a partial indicator is pending.
            char c = *src;
            if (keep) {
                if (!reserveRow(buf, 1)) {
                    morvex::trace(
                        "\n[ReadRow] : Impossible de reallouer de la memoire pour buffer");
                    return RowResult::OutOfMemory;
                }
                buf->row[buf->rowLen] = c;
            }
            if (!passingOver)
                buf->rowLen++;
            else
                ++passedOver;
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

// Adds lines to a row whose last field is still inside its protecting characters, the end of
// line between them kept as text, until the field closes or the file ends. A field still open
// at the end of the file never closes; one that takes in a line that is a row on its own (one
// value per column, its protecting characters paired: FieldsOfLineAlone) most likely lacks its
// closing character. Either way the reading goes back to the line after the row's first one,
// the row is that first line alone and rowUnclosedQuote tells it (rowSwallowedLine names the
// line in the second case), so that one stray protecting character costs one row, not the
// rows after it.
bool ContinueQuotedRow(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    const char* indicator = reader->dialect.lineEnd.data();
    const size_t indLen = buf->kmp.size();
    const int64_t resumeAt = buf->blockStart + static_cast<int64_t>(buf->pos);
    const size_t firstLineLength = buf->rowLen;
    const int firstLine = reader->currentFileRowID;
    const int firstLineTooLong = reader->lineTooLong;
    // Lines taken in are compared with a whole row only when the dialect says how many
    // values one has, and when the reading can go back.
    int columns = -1;
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
        if (columns < 0)
            columns = !buf->streamDecode ? static_cast<int>(reader->dialect.columns.size()) : 0;
        const size_t lineStart = before + indLen;
        if (columns > 0 && !reader->lineTooLong &&
            FieldsOfLineAlone(reader, buf->row + lineStart, buf->rowLen - lineStart) == columns) {
            reader->rowSwallowedLine = reader->currentFileRowID;
            break;
        }
    }
    reader->rowUnclosedQuote = 1;
    if (reader->rowSwallowedLine)
        morvex::trace(
            "\n[DATAFILE_ReadNext] Ligne %i : champ protégé sans fin, il engloberait la ligne %i.",
            firstLine, reader->rowSwallowedLine);
    else
        morvex::trace("\n[DATAFILE_ReadNext] Ligne %i : champ protégé jamais fermé.", firstLine);
    if (reader->currentFileRowID == firstLine || buf->streamDecode) return true;
    buf->scan.complete = false;
    if (!buf->eof && resumeAt >= buf->blockStart &&
        resumeAt - buf->blockStart <= static_cast<int64_t>(buf->len)) {
        // Still in the block: no need to read it again.
        buf->pos = static_cast<size_t>(resumeAt - buf->blockStart);
    } else {
        if (!buf->source->seek(resumeAt)) return true;
        buf->blockStart = resumeAt;
        buf->pos = 0;
        buf->len = 0;
        buf->eof = false;
    }
    buf->rowLen = firstLineLength;
    buf->row[firstLineLength] = '\0';
    reader->currentFileRowID = firstLine;
    reader->lineTooLong = firstLineTooLong;
    return true;
}

// Moves to the next row to deliver: skips the lines before the first one (and the header when
// it is not wanted), reads the row (its text only when keepText), and updates the row number,
// the current row and the position. True when there was a row.
bool AdvanceToNextRow(DATAFILE* reader, bool keepText) {
    const DATAFILE_DIALECT& dialect = reader->dialect;
    DATAFILE_BUFFER* buf = reader->buffer;
    reader->currentFileRowID++;
    const int headerSkipped = dialect.header && !reader->readHeader ? 1 : 0;
    int firstLine = dialect.firstLine + headerSkipped;
    // Rows that may go on over several lines, or need converting, are always read whole.
    const bool unquote = dialect.unquote && dialect.layout == DATAFILE_LAYOUT::Delimited;
    while (reader->currentFileRowID < firstLine) {
        if (headerSkipped && unquote && reader->currentFileRowID == dialect.firstLine) {
            // The header is a record: a name in quotes may go on over line ends.
            const int headerLine = reader->currentFileRowID;
            buf->scan.started = false;
            buf->scan.complete = false;
            const RowResult header = ReadRow(reader, true);
            if (header == RowResult::OutOfMemory) break;
            if (header == RowResult::Row && !ContinueQuotedRow(reader)) break;
            firstLine += reader->currentFileRowID - headerLine;
        } else if (ReadRow(reader, false) == RowResult::OutOfMemory) {
            break;
        }
        reader->currentFileRowID++;
    }
    const bool convert = !dialect.encoding.empty();
    if (unquote || convert) keepText = true;
    reader->rowEncodingError = 0;
    reader->rowUnclosedQuote = 0;
    reader->rowSwallowedLine = 0;
    reader->rowMultiLineValues = 0;
    bool haveRow;
    for (;;) {
        reader->currentRowFirstLine = reader->currentFileRowID;
        buf->scan.started = false;
        buf->scan.complete = false;
        haveRow = ReadRow(reader, keepText) == RowResult::Row;
        // An empty line (nothing before its end) is no row: passed over and counted.
        if (!haveRow || buf->rowLen != 0 || reader->lineTooLong) break;
        reader->blankLines++;
        reader->currentFileRowID++;
    }
    if (haveRow && unquote && !ContinueQuotedRow(reader)) haveRow = false;
    // A conversion moves the bytes the scan found; a check leaves them.
    buf->scan.complete = buf->scan.complete && (!convert || buf->checkOnly);
    if (haveRow && convert && !ConvertRow(reader)) haveRow = false;
    reader->currentRow = haveRow && keepText ? buf->row : nullptr;
    reader->currentRowLength = haveRow && keepText ? static_cast<int>(buf->rowLen) : 0;
    reader->readBytes = static_cast<double>(buf->blockStart + static_cast<int64_t>(buf->pos));
    // A decoded stream is not the file's bytes: the file position of the block's end serves.
    if (buf->streamDecode)
        reader->readBytes =
            static_cast<double>(buf->rawConsumed - static_cast<int64_t>(buf->rawLen));
    // Nor is a decompressed one: the compressed bytes taken measure the progress.
    if (const int64_t taken = fileBytesRead(reader); taken >= 0)
        reader->readBytes = static_cast<double>(taken);
    return haveRow;
}

// DATAFILE_ReadNext without the split, for counting: the same rows, row numbers and positions
// for a dialect whose rows all split.
bool CountNextRow(DATAFILE* reader) {
    return AdvanceToNextRow(reader, false);
}

namespace {

// 32 bytes at a time: two SSE2 registers, or one AVX2 register in the clones the processor
// picks when it has AVX2 (the counting functions below are built for both).
using Lanes = unsigned char __attribute__((vector_size(32)));
// The same, read from any address of a text (no function takes or gives one by value, whose
// passing would differ between the clones).
using TextLanes = unsigned char __attribute__((vector_size(32), aligned(1), may_alias));
#define LANES_AT(text) (*reinterpret_cast<const TextLanes*>(text))

// In one pass: how many times `c` is in text[0, len) (`ones`), and the positions i of [1, len)
// where text[i - 1] and text[i] are both `c` (`twos`: an empty line between two one-byte line
// ends).
__attribute__((target_clones("avx2", "default"))) void CountByteAndRepeatsLanes(const char* text,
                                                                                 size_t len, char c,
                                                                                 int64_t* ones,
                                                                                 int64_t* twos) {
    *ones = len > 0 && text[0] == c ? 1 : 0;
    *twos = 0;
    size_t i = 1;
    const Lanes cs = Lanes{} + static_cast<unsigned char>(c);
    while (i + sizeof(Lanes) <= len) {
        const size_t stop = std::min(len - sizeof(Lanes) + 1, i + 255 * sizeof(Lanes));
        Lanes oneCounts{}, twoCounts{};
        for (; i < stop; i += sizeof(Lanes)) {
            const Lanes here = reinterpret_cast<Lanes>(LANES_AT(text + i) == cs);
            oneCounts -= here;
            twoCounts -= here & reinterpret_cast<Lanes>(LANES_AT(text + i - 1) == cs);
        }
        for (size_t lane = 0; lane < sizeof(Lanes); ++lane) {
            *ones += oneCounts[lane];
            *twos += twoCounts[lane];
        }
    }
    for (; i < len; ++i) {
        *ones += text[i] == c ? 1 : 0;
        *twos += text[i] == c && text[i - 1] == c ? 1 : 0;
    }
}

// In one pass: the positions i of [1, len) where text[i - 1, i] is first, second (`pairs`),
// and those of [3, len) where text[i - 3, i] is first, second, first, second (`doubles`: an
// empty line between two two-byte line ends). 32 bytes at a time in vector registers whatever
// the optimisation level, each lane counting up to 255 before the lanes are added up.
__attribute__((target_clones("avx2", "default"))) void CountPairsAndDoublesLanes(
    const char* text, size_t len, char first, char second, int64_t* pairs, int64_t* doubles) {
    *pairs = 0;
    *doubles = 0;
    size_t i = 1;
    for (; i < len && i < 3; ++i) *pairs += text[i - 1] == first && text[i] == second ? 1 : 0;
    const Lanes firsts = Lanes{} + static_cast<unsigned char>(first);
    const Lanes seconds = Lanes{} + static_cast<unsigned char>(second);
    while (i + sizeof(Lanes) <= len) {
        const size_t stop = std::min(len - sizeof(Lanes) + 1, i + 255 * sizeof(Lanes));
        Lanes pairCounts{}, doubleCounts{};
        for (; i < stop; i += sizeof(Lanes)) {
            const char* at = text + i;
            const Lanes pair =
                reinterpret_cast<Lanes>((LANES_AT(at - 1) == firsts) & (LANES_AT(at) == seconds));
            const Lanes before = reinterpret_cast<Lanes>((LANES_AT(at - 3) == firsts) &
                                                         (LANES_AT(at - 2) == seconds));
            pairCounts -= pair;
            doubleCounts -= pair & before;
        }
        for (size_t lane = 0; lane < sizeof(Lanes); ++lane) {
            *pairs += pairCounts[lane];
            *doubles += doubleCounts[lane];
        }
    }
    for (; i < len; ++i) {
        const bool pair = text[i - 1] == first && text[i] == second;
        *pairs += pair ? 1 : 0;
        *doubles += pair && text[i - 3] == first && text[i - 2] == second ? 1 : 0;
    }
}

#undef LANES_AT

#if defined(__x86_64__)
// The same counts 64 bytes at a time on a processor with AVX-512 BW: each comparison gives a
// 64-bit mask, and the bytes before a position are the mask shifted by one (or two), the bits
// that leave one block carried into the next. One load and two comparisons per 64 bytes
// instead of four loads per 32: the count then costs little beside the file's reading.
__attribute__((target("avx512bw,popcnt"))) void CountByteAndRepeatsWide(const char* text,
                                                                         size_t len, char c,
                                                                         int64_t* ones,
                                                                         int64_t* twos) {
    const __m512i cs = _mm512_set1_epi8(c);
    uint64_t carry = 0;  // whether the byte before the block is c
    int64_t o = 0, t = 0;
    size_t i = 0;
    for (; i + 64 <= len; i += 64) {
        const uint64_t m = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(text + i), cs);
        o += _mm_popcnt_u64(m);
        t += _mm_popcnt_u64(m & ((m << 1) | carry));
        carry = m >> 63;
    }
    for (; i < len; ++i) {
        o += text[i] == c ? 1 : 0;
        t += i > 0 && text[i] == c && text[i - 1] == c ? 1 : 0;
    }
    *ones = o;
    *twos = t;
}

__attribute__((target("avx512bw,popcnt"))) void CountPairsAndDoublesWide(
    const char* text, size_t len, char first, char second, int64_t* pairs, int64_t* doubles) {
    const __m512i fs = _mm512_set1_epi8(first);
    const __m512i ss = _mm512_set1_epi8(second);
    uint64_t firstCarry = 0;  // the byte before the block is `first`
    uint64_t pairCarry = 0;   // pairs ending at the block's two bytes before
    int64_t p = 0, d = 0;
    size_t i = 0;
    for (; i + 64 <= len; i += 64) {
        const __m512i v = _mm512_loadu_si512(text + i);
        const uint64_t f = _mm512_cmpeq_epi8_mask(v, fs);
        const uint64_t s = _mm512_cmpeq_epi8_mask(v, ss);
        const uint64_t pair = ((f << 1) | firstCarry) & s;
        p += _mm_popcnt_u64(pair);
        d += _mm_popcnt_u64(pair & ((pair << 2) | pairCarry));
        firstCarry = f >> 63;
        pairCarry = pair >> 62;
    }
    for (; i < len; ++i) {
        if (i == 0) continue;
        const bool pair = text[i - 1] == first && text[i] == second;
        p += pair ? 1 : 0;
        d += pair && i >= 3 && text[i - 3] == first && text[i - 2] == second ? 1 : 0;
    }
    *pairs = p;
    *doubles = d;
}
#endif

void CountByteAndRepeats(const char* text, size_t len, char c, int64_t* ones, int64_t* twos) {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512bw")) return CountByteAndRepeatsWide(text, len, c, ones, twos);
#endif
    CountByteAndRepeatsLanes(text, len, c, ones, twos);
}

void CountPairsAndDoubles(const char* text, size_t len, char first, char second, int64_t* pairs,
                          int64_t* doubles) {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512bw"))
        return CountPairsAndDoublesWide(text, len, first, second, pairs, doubles);
#endif
    CountPairsAndDoublesLanes(text, len, first, second, pairs, doubles);
}

}  // namespace

namespace {

// The line ends and empty lines of a text taken block by block, for an end-of-line indicator of
// one byte or of two different bytes (two different bytes never overlap, so that pairs are
// counted over a whole block at once). `before` holds the three bytes before the text; at the
// start of the counting they are taken as a line end, so that an empty first line is one.
struct LineEndTally {
    LineEndTally(const std::string& indicator, const char* before)
        : first(indicator[0]),
          second(indicator.size() > 1 ? indicator[1] : indicator[0]),
          twoBytes(indicator.size() > 1) {
        if (before) {
            memcpy(tail, before, 3);
        } else {
            tail[0] = '\0';
            tail[1] = first;
            tail[2] = second;
        }
    }

    // The next `len` (> 0) bytes of the text.
    void add(const char* p, size_t len) {
        const char* end = p + len;
        if (!twoBytes) {
            int64_t ones = 0, twos = 0;
            CountByteAndRepeats(p, len, first, &ones, &twos);
            ends += ones;
            blanks += twos + (tail[2] == first && p[0] == first ? 1 : 0);
            textAfterLastEnd = end[-1] != first;
        } else {
            // The pair that straddles two blocks through the last byte of the previous one;
            // empty lines likewise, through its last three.
            int64_t pairs = 0, doubles = 0;
            CountPairsAndDoubles(p, len, first, second, &pairs, &doubles);
            ends += pairs + (tail[2] == first && p[0] == second ? 1 : 0);
            char joined[6];
            const size_t head = std::min<size_t>(3, len);
            memcpy(joined, tail, 3);
            memcpy(joined + 3, p, head);
            for (size_t i = 3; i < 3 + head; ++i)
                blanks += joined[i - 3] == first && joined[i - 2] == second &&
                                  joined[i - 1] == first && joined[i] == second
                              ? 1
                              : 0;
            blanks += doubles;
            const char beforeLast = len >= 2 ? end[-2] : tail[2];
            textAfterLastEnd = !(end[-1] == second && beforeLast == first);
        }
        // The last three bytes before the next block.
        if (len >= 3) {
            memcpy(tail, end - 3, 3);
        } else {
            char last[6];
            memcpy(last, tail, 3);
            memcpy(last + 3, p, len);
            memcpy(tail, last + len, 3);
        }
    }

    const char first, second;
    const bool twoBytes;
    char tail[3];
    int64_t ends = 0;
    int64_t blanks = 0;
    bool textAfterLastEnd = false;
};

// Below this many bytes left, a file is counted on one core: a second thread would save less
// than it costs.
constexpr int64_t kTwoCoresCountBytes = 8 << 20;
// The second thread reads blocks small enough to be counted while they are still in the cache.
constexpr size_t kRestBlockBytes = 256 << 10;

// The line ends of file bytes [from, to) counted in a thread of its own, with pread (which
// leaves the file's position to the reading of the first part), so that the two halves of a
// large file are read and counted on two cores. The thread stops at the task's stop request;
// the object stops it and waits for it when destroyed (the first half ended early).
class RestCount {
public:
    RestCount(int fd, int64_t from, int64_t to, LineEndTally tally, TASK* task)
        : tally_(tally), thread_([this, fd, from, to, task] { run(fd, from, to, task); }) {}
    ~RestCount() {
        abandoned_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    RestCount(const RestCount&) = delete;
    RestCount& operator=(const RestCount&) = delete;

    // While the thread runs: the bytes counted so far and the rows they hold.
    int64_t bytesDone() const { return bytes_.load(std::memory_order_relaxed); }
    int64_t rowsDone() const { return rows_.load(std::memory_order_relaxed); }
    // Waits for the thread: its tally, and whether every byte was read (readError: a read failed).
    const LineEndTally& wait() {
        thread_.join();
        return tally_;
    }
    bool complete() const { return complete_; }
    bool readError() const { return readError_; }

private:
    void run(int fd, int64_t from, int64_t to, TASK* task) {
        std::vector<char> block(kRestBlockBytes);
        for (int64_t at = from; at < to;) {
            if (TASK_IsStopRequested(task) || abandoned_.load()) return;
            const size_t want = static_cast<size_t>(std::min<int64_t>(to - at, kRestBlockBytes));
            const ssize_t got = pread(fd, block.data(), want, static_cast<off_t>(at));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {  // cut short: the file's check after the count tells it
                readError_ = got < 0;
                return;
            }
            tally_.add(block.data(), static_cast<size_t>(got));
            at += got;
            bytes_.store(at - from, std::memory_order_relaxed);
            rows_.store(tally_.ends - tally_.blanks, std::memory_order_relaxed);
        }
        complete_ = true;
    }

    LineEndTally tally_;  // the thread's alone until it has ended
    std::atomic<int64_t> bytes_{0};
    std::atomic<int64_t> rows_{0};
    std::atomic<bool> abandoned_{false};  // the count no longer wants the rest
    bool complete_ = false;               // written by the thread, read after it has ended
    bool readError_ = false;              // likewise
    std::thread thread_;                  // last: it starts once the rest is ready
};

// For a regular file read as it is with at least kTwoCoresCountBytes left and two cores: its
// second half given to a thread of its own, the reading ending at the half. Null otherwise.
std::unique_ptr<RestCount> countRestApart(DATAFILE* reader, TASK* task,
                                          const std::string& indicator) {
    const int64_t from = plainReadingOffset(reader);
    const int64_t to = reader->buffer->sizeLimit;
    if (from < 0 || to - from < kTwoCoresCountBytes || std::thread::hardware_concurrency() < 2)
        return nullptr;
    const int64_t half = from + (to - from) / 2;
    char before[3];
    const int fd = fileno(reader->file);
    if (pread(fd, before, sizeof before, static_cast<off_t>(half - 3)) != sizeof before ||
        !endPlainReadingAt(reader, half))
        return nullptr;
    return std::make_unique<RestCount>(fd, half, to, LineEndTally(indicator, before), task);
}

}  // namespace

// The row count of a file whose rows end only at the indicator (no quoted line ends, no
// decoding): the indicators are counted block by block, without cutting rows, plus a last line
// without one; the lines before BeginFromLine are passed over first, as the reading does. An
// empty line (an indicator right after another, or at the start) is no row: such lines are
// counted apart, in blankLines. A large file read as it is is counted in two halves on two
// cores. Reports progress once per block and stops at the task's stop request (cancelled).
// False when the dialect does not allow it: the rows are then read one by one.
bool CountRowsByBlocks(DATAFILE* reader, TASK* task, int* count, bool* cancelled) {
    const DATAFILE_DIALECT& dialect = reader->dialect;
    DATAFILE_BUFFER* buf = reader->buffer;
    const char* indicator = dialect.lineEnd.data();
    const size_t indLen = buf->kmp.size();
    if (!RowsAlwaysSplit(dialect) || indLen == 0 || !dialect.encoding.empty() ||
        (dialect.unquote && dialect.layout == DATAFILE_LAYOUT::Delimited))
        return false;
    // The lines before the first row, as the reading passes over them.
    for (int line = 1; line < dialect.firstLine; ++line)
        if (ReadRow(reader, false) != RowResult::Row) break;
    const bool tallied = indLen == 1 || (indLen == 2 && indicator[0] != indicator[1]);
    LineEndTally tally(dialect.lineEnd, nullptr);
    std::unique_ptr<RestCount> rest =
        tallied ? countRestApart(reader, task, dialect.lineEnd) : nullptr;
    // Any other indicator, through its failure table, with the offset of the last line end.
    int64_t ends = 0;
    int64_t blanks = 0;
    size_t matched = 0;
    int64_t lastEnd = buf->blockStart + static_cast<int64_t>(buf->pos);
    bool textAfterLastEnd = false;
    char message[128];
    while (refill(reader)) {
        const char* p = buf->block + buf->pos;
        const char* end = buf->block + buf->len;
        if (tallied) {
            tally.add(p, static_cast<size_t>(end - p));
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
                    const int64_t at = buf->blockStart + (p - buf->block);
                    if (at - static_cast<int64_t>(indLen) == lastEnd) ++blanks;
                    lastEnd = at;
                }
            }
        }
        buf->pos = buf->len;
        reader->readBytes = static_cast<double>(buf->blockStart + static_cast<int64_t>(buf->len));
        if (const int64_t taken = fileBytesRead(reader); taken >= 0)
            reader->readBytes = static_cast<double>(taken);
        int64_t rows = tallied ? tally.ends - tally.blanks : ends - blanks;
        if (rest) {
            reader->readBytes += static_cast<double>(rest->bytesDone());
            rows += rest->rowsDone();
        }
        const double percent =
            reader->fileSize > 0 ? 100.0 * reader->readBytes / reader->fileSize : 0.0;
        snprintf(message, sizeof message, "%lli lignes lues... (%.0f%%)",
                 static_cast<long long>(rows), percent);
        TASK_Report(task, TASK_EVENT_PROGRESS, 100, static_cast<int>(percent), message);
        if (TASK_IsStopRequested(task)) {
            *cancelled = true;
            break;
        }
    }
    if (tallied) {
        if (rest && !*cancelled && !reader->fileChanged) {
            // The second half goes on where the first ends; a file changed while it was read
            // has no count, as when one thread reads it all.
            const LineEndTally& second = rest->wait();
            tally.ends += second.ends;
            tally.blanks += second.blanks;
            tally.textAfterLastEnd = second.textAfterLastEnd;
            if (!fileHasChanged(reader) && !rest->complete() && !TASK_IsStopRequested(task)) {
                reader->fileChanged = 1;
                reader->failure = rest->readError() ? morvex::kFileReadError
                                                    : "le fichier a changé pendant la lecture";
            }
            *cancelled = !rest->complete() && TASK_IsStopRequested(task);
        }
        ends = tally.ends;
        blanks = tally.blanks;
        textAfterLastEnd = tally.textAfterLastEnd;
    }
    const int64_t rows = ends + (textAfterLastEnd && !*cancelled ? 1 : 0) - blanks;
    *count = rows <= 0 ? 0 : rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
    reader->blankLines = blanks > INT_MAX ? INT_MAX : static_cast<int>(blanks);
    if (rest && rest->complete() && !reader->fileChanged) {
        // The first half's last report came before the second half's end.
        reader->readBytes = static_cast<double>(buf->sizeLimit);
        snprintf(message, sizeof message, "%i lignes lues... (100%%)", *count);
        TASK_Report(task, TASK_EVENT_PROGRESS, 100, 100, message);
    }
    return true;
}

}  // namespace datafile_internal

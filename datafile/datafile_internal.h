// The data file reader's parts (datafile/datafile.cpp and the datafile_*.cpp beside it): the
// block buffer of a reader, the row cutter, the splitters and the conversion to UTF-8. Only
// the reader's own files include this header.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafile/bytesource.h"
#include "datafile/datafile.h"
#include "foundation/task.h"

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
    bool watched;           // a regular file: its size and time are checked at every block
    bool streamTaken;       // a stream path was opened: it cannot be read again
    int64_t watchedMtimeNs;  // its modification time when the reading began (nanoseconds)
    // The file's text: its bytes, or a gzip or zstd stream decompressed (from DATAFILE_Init).
    std::unique_ptr<morvex::ByteSource> source;
    // The protection of the fields of each dialect column, then of a field past the last one,
    // from DATAFILE_Init: looked up for every field of a quoted file.
    struct Quotes {
        char start;  // opening character (0: none)
        char end;    // closing character (0: none)
        bool on;     // the fields are protected (a protected column may name no character)
    };
    std::vector<Quotes> quotes;
    // Where the unquoting reading of the current row stands, so that a row that goes on over
    // lines (or past the character limit) is scanned once, not again from its start.
    struct QuoteScan {
        bool started;  // the scan has begun for this row
        // Where it stands in the current field (copied to locals while it runs).
        struct Cursor {
            size_t nextColumn;           // dialect column of the field after the current one
            size_t resumeAt;             // next byte of the row to look at
            size_t fieldStart;           // first byte of the current field
            size_t closedAt;             // the current field's closing character (SIZE_MAX: none)
            char startChar;              // opening character of the field (0: not protected)
            char endChar;                // closing character of the field (0: not protected)
            bool quoted;                 // the current field is inside its protection
            bool atFieldStart;           // the field's first byte is still to be looked at
            bool doubled;                // the field holds a doubled closing character
        } at;
        struct Field {
            size_t end;  // the delimiter that ends the field, or the row's end
            bool plain;  // protected with nothing to remove but its first and last bytes
        };
        std::vector<Field> fields;  // the fields scanned so far
        bool complete;       // the scan went to the end of the whole row, of completeLen bytes:
        size_t completeLen;  // `fields` then splits it without a second scan
    } scan;
};

namespace datafile_internal {

// First capacity of the row buffer.
inline constexpr size_t ROW_INITIAL_CAPACITY = 1024;

// Default character limit when a reader is created with 0 (or less).
inline constexpr int DEFAULT_CHARACTER_LIMIT = 10000;

// Limit used by the line count.
inline constexpr int STATS_CHARACTER_LIMIT = 5000;

// A progress report every this many rows during the line count.
inline constexpr int STATS_REPORT_EVERY = 100;

// Undecoded bytes read at a time from a UTF-16 file: decoded, they always fit in a block.
inline constexpr size_t RAW_CHUNK = DATAFILE_BLOCK_SIZE / 2;

// Put in the decoded stream where a UTF-16 sequence is invalid: never valid in UTF-8, so the
// row holding it fails its check.
inline constexpr char INVALID_MARK = '\xFF';

inline const iconv_t NO_DECODER = reinterpret_cast<iconv_t>(-1);

// Outcome of ReadRow.
enum class RowResult {
    Row,          // a row is in the buffer (possibly empty)
    EndOfFile,    // no byte left
    OutOfMemory,  // the row buffer could not grow
};

// ---- Block buffer (datafile_buffer.cpp) ----

// Size of the file at `path` in bytes, -1 when it cannot be opened or measured.
int64_t fileSize64(const char* path);
// True when `path` opens as a regular file.
bool opensAsFile(const char* path);
// A new buffer (no file); nullptr when out of memory.
DATAFILE_BUFFER* newBuffer();
void destroyBuffer(DATAFILE_BUFFER* buf);
// Back to the start of the file, nothing read.
void resetBuffer(DATAFILE_BUFFER* buf);
// Makes the next bytes of the file available in the block; false at the end of the file, or
// when the file has changed since the reading began (fileChanged set).
bool refill(DATAFILE* reader);
// True when the open file no longer has the size and time it had when the reading began: the
// rows read from it could be cut or mixed; fileChanged and the failure are set, once.
bool fileHasChanged(DATAFILE* reader);
// Notes the size and time of the open file, which every block read compares with its own, and
// opens its byte source (the file's bytes, or its text decompressed).
void watchFile(DATAFILE* reader);
// Bytes of a compressed file taken so far (the measure of progress against its size); -1 for a
// file read as it is, whose position in the text is its position in the file.
int64_t fileBytesRead(const DATAFILE* reader);
// The offset of the file the reading stands at, for a regular file read as it is (neither
// compressed nor decoded), whose rest another reader may take: -1 for any other file.
int64_t plainReadingOffset(const DATAFILE* reader);
// Ends the reading of such a file at `offset` (at or past where it stands): the blocks stop
// there, as at the end of the file. False, and nothing changed, for any other file.
bool endPlainReadingAt(DATAFILE* reader, int64_t offset);
// Room for `extra` more bytes in the row (and its terminator); false when out of memory.
bool reserveRow(DATAFILE_BUFFER* buf, size_t extra);

// ---- Rows (datafile_rows.cpp) ----

// True when every row of `dialect` splits into fields: a delimited file, or a fixed-width one
// with columns.
bool RowsAlwaysSplit(const DATAFILE_DIALECT& dialect);

void buildFailureTable(const char* indicator, size_t n, std::vector<int>& kmp);
RowResult ReadRow(DATAFILE* reader, bool keepText = true, bool append = false);
// The next row of the reading, whole (continued over line ends when unquoting) and converted;
// false at the end or on failure.
bool AdvanceToNextRow(DATAFILE* reader, bool keepText);
// Passes over the next row, only counting it; false at the end.
bool CountNextRow(DATAFILE* reader);
// The line count by blocks (DATAFILE_ComputeStats).
bool CountRowsByBlocks(DATAFILE* reader, TASK* task, int* count, bool* cancelled);

// ---- Splitting and unquoting (datafile_split.cpp) ----

// Fills reader->buffer->quotes from the dialect (DATAFILE_Init).
void PrepareQuotes(DATAFILE* reader);
bool RowEndsInsideProtection(DATAFILE* reader, bool lineComplete);
// The values of `line` read alone as a row of the unquoting reading, or -1 when it is no whole
// row alone: a protected field left open, or a protecting character in a field that does not
// begin with one or after its closing one.
int FieldsOfLineAlone(const DATAFILE* reader, const char* line, size_t len);
LDCG* SplitRow(DATAFILE* reader, char* row, size_t len, int isHeader);
bool SplitRowFields(DATAFILE* reader, char* row, size_t len, int isHeader,
                    std::vector<DATAFIELD>& fields);

// ---- Conversion to UTF-8 (datafile_convert.cpp) ----

bool PrepareDecoding(DATAFILE* reader);
bool ConvertRow(DATAFILE* reader);

}  // namespace datafile_internal

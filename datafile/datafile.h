// DATAFILE: reads a flat data file row by row through a reading dialect (datafile/dialect.h)
// and hands back each row as a list of values tied to the dialect's columns.
//
// Usage: DATAFILE_NewIterator, DATAFILE_Init, DATAFILE_ReadNext until it returns nullptr
// (releasing each row with LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH)),
// DATAFILE_DestroyIterator. One reader per use, never shared between threads. The file is read
// in large blocks; the row rules work on the bytes as if read one at a time. Empty lines are
// passed over and counted (blankLines), never rows; a file that changes while it is read ends
// its rows and says so (fileChanged).
//
// This module knows nothing of descriptions: filedesc/ sits above it, builds the dialect of a
// description (FILEDESC_MakeDialect) and uses the reader.
#pragma once

#include <vector>

#include <cstddef>
#include <cstdio>

#include "datafile/dialect.h"
#include "foundation/ldcg.h"
#include "foundation/task.h"

// One value of a row.
struct DATACOLUMN {
    int isHeader;     // 1 when the row is the dialect's header line
    int columnIndex;  // the column it belongs to in the dialect, from 0; -1 past the last one
    char* value;      // owned text of the field, zero-terminated
    int length;       // bytes of value (a value may hold zero bytes)
};

struct DATAFILE_BUFFER;  // the reader's block buffer (private)

// Bytes the reader takes from the file at a time.
constexpr size_t DATAFILE_BLOCK_SIZE = 1 << 20;
// Characters of one line that the loads, the command line's preview and the analysis read
// before cutting it (and setting the row aside): a header of thousands of columns or a long
// value is read whole, a file without line ends costs at most this much memory.
constexpr int DATAFILE_LINE_LIMIT = 1 << 20;

// The reader (created by DATAFILE_NewIterator, released by DATAFILE_DestroyIterator).
struct DATAFILE {
    DATAFILE_DIALECT dialect;       // the reader's own copy of the dialect read through
    char* path;                     // owned copy of the data file path
    FILE* file;                     // open from DATAFILE_Init to destruction
    double fileSize;                // size of the file in bytes, taken at creation
    double readBytes;               // file position after the last row read
    char* currentRow;               // text of the last row read (the reader's reused buffer,
                                    // valid until the next read; nullptr at the end)
    int lineTooLong;                // 1 when the last row was cut by the character limit
    int currentFileRowID;           // number of the last line read, from 1, skipped lines included
    int nCarMaxReadWithoutNewLine;  // most characters read for one row (10000 when created with 0)
    int readHeader;                 // 1: the header line is delivered as a row; 0: skipped
    int currentRowLength;           // bytes of currentRow
    DATAFILE_BUFFER* buffer;        // block buffer over file
    int currentRowFirstLine;        // line on which the last row began (a protected field may
                                    // carry a row over several lines when the dialect
                                    // unquotes)
    int rowEncodingError;           // 1 when the last row holds a byte sequence that is not
                                    // valid in the dialect's encoding: its text is then
                                    // left as read
    int rowUnclosedQuote;           // 1 when the last row opens a protected field that no
                                    // later line closes, or that would swallow a line that is a
                                    // row on its own (rowSwallowedLine): the row is its first
                                    // line alone, and the reading goes on at the next line
    int rowSwallowedLine;           // with rowUnclosedQuote: the first line the open field
                                    // would have taken that has, read alone, one value per
                                    // column and its protecting characters paired (0: the
                                    // field ran to the end of the file)
    int rowMultiLineValues;         // values of the last row that go on over a line end (a
                                    // quoted value of an unquoting dialect)
    int blankLines;                 // empty lines passed over since DATAFILE_Init: an empty
                                    // line is no row (a line of blanks is one)
    int fileChanged;                // 1 when the file changed size or modification time
                                    // since DATAFILE_Init (checked at every block read): the
                                    // rows end there, the last one perhaps cut
    const char* failure;            // why the reading could not start or ended early (a
                                    // constant French text), nullptr otherwise
};

// What DATAFILE_ComputeStats fills.
struct DATAFILE_STATS {
    char text[260];  // not touched by the computation
    int nbLines;     // rows read (empty lines are none)
    int blankLines;  // empty lines passed over
};

// Whether `path` names a stream that a reader takes once, from where it stands, as it comes:
// "-" (standard input) or "/dev/fd/N" (a descriptor the caller or the shell holds open, a
// pipe's as a shell's <(...) gives it). Such a reader has no size (fileSize 0), and its
// DATAFILE_Init succeeds once only: what it has read is gone. Every other path must name a
// regular file, so that a named pipe or a device is refused rather than waited on.
bool DATAFILE_IsStreamPath(const char* path);

// A reader over the file at `path` read through a copy of `dialect`, or nullptr (missing path,
// file that does not open). A first line below 1 is taken as 1.
DATAFILE* DATAFILE_NewIterator(const DATAFILE_DIALECT& dialect, const char* path,
                               int nCarMaxReadWithoutNewLine, int readHeader);
// Opens the file; 0, or 1 when it cannot be opened or its encoding is not known, or when it is
// a stream already read (failure then says so).
int DATAFILE_Init(DATAFILE* reader);
// The next row (LDCG of DATACOLUMN*, destructor DATACOLUMN_Destroy), or nullptr at the end.
// The values of the columns whose dialect trims their padding come without the blanks around
// them, in both ways of reading.
LDCG* DATAFILE_ReadNext(DATAFILE* reader);
// A field of a row as read, without copy: `value` points into the reader's row text (it is
// not zero-terminated) and stays valid until the next read.
struct DATAFIELD {
    int isHeader;       // 1 when the row is the dialect's header line
    int columnIndex;    // the column it belongs to in the dialect, from 0; -1 past the last one
    const char* value;  // first byte of the field
    int length;         // bytes of the field
};
// The next row split as DATAFILE_ReadNext splits it, into `fields` (emptied first) without
// allocating per row: the way for loaders that go through millions of rows. False at the end
// of the file, or when the row cannot be split.
bool DATAFILE_ReadNextFields(DATAFILE* reader, std::vector<DATAFIELD>& fields);
// currentFileRowID, or -1 without a reader.
int DATAFILE_GetCurrentFileRowID(DATAFILE* reader);
// readBytes / fileSize, or -1.0 without a reader.
double DATAFILE_GetReadBytes(DATAFILE* reader);
double DATAFILE_GetFileSize(DATAFILE* reader);
// Closes the file and releases the reader; 1 without a reader.
int DATAFILE_DestroyIterator(DATAFILE* reader);
// Releases one value (void* so that it serves as the row list's destructor).
void DATACOLUMN_Destroy(void* value);
// Size of the file in bytes (-1 when it cannot be opened).
int FileSize(const char* path);
// Counts the rows of a data file, reporting progress through the task (empty lines are counted
// apart, in blankLines); 0, or 1 when an argument is missing, the reader cannot be created or
// the file changed during the count (reported as "not started" with the reader's failure).
int DATAFILE_ComputeStats(TASK* task, const DATAFILE_DIALECT& dialect, const char* path,
                          DATAFILE_STATS* stats);

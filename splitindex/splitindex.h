// SPLITINDEX: the whole example file split into rows for the split-file view, kept as one byte
// offset per row (8 bytes a row: a million rows stay under 8 MB); the cells of a row are read
// again from the file when the view shows it. SPLITINDEX_Export writes rows as a
// semicolon-separated file.
//
// Building runs in a worker thread; the stop flag is set from another thread. Reading rows and
// exporting happen after the build, on one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"

// The row index of one data file read through one description.
struct SPLITINDEX {
    FileDesc* desc = nullptr;    // the description (not owned; must outlive the index)
    std::string path;            // the data file
    int nCarMax = 0;             // characters read before a line without end is cut
    std::vector<int64_t> ends;   // file offset just past each row, in row order
    int columnCount = 0;         // columns of the description at build time
    bool exactOffsets = true;    // false for converted files: rows are then re-read in order
};

// Outcome of a build.
enum SplitIndexResult { SPLITINDEX_DONE = 0, SPLITINDEX_STOPPED = 1, SPLITINDEX_NOREADER = 2 };

// Sets the index up for `desc` and `path` with no rows yet.
void SPLITINDEX_Prepare(SPLITINDEX* index, FileDesc* desc, const std::string& path, int nCarMax);
// Reads the whole file once and records the end of every row. `progress` (may be empty) is
// called every 100 rows with the number read; `stop` (may be nullptr) is polled after each row.
SplitIndexResult SPLITINDEX_Build(SPLITINDEX* index, FileDesc* desc, const std::string& path,
                                  int nCarMax, const std::atomic<bool>* stop,
                                  const std::function<void(int)>& progress);
// Number of rows indexed.
int SPLITINDEX_RowCount(const SPLITINDEX* index);
// Reads rows [first, first + count) into `rows` (one vector of cells per row); false when the
// file cannot be read again.
bool SPLITINDEX_ReadRows(const SPLITINDEX* index, int first, int count,
                         std::vector<std::vector<std::string>>& rows);
// Writes every row to `out`: each cell followed by ";", one line per row, no header; `progress`
// (may be empty) gets the number of rows written after each row. False when the file cannot be
// created or written.
bool SPLITINDEX_Export(const SPLITINDEX* index, const std::string& out,
                       const std::function<void(int)>& progress);

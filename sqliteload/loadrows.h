// The rows of a load as every target takes them (sqliteload/sqlite4fyk.cpp for SQLite,
// pgload/ for PostgreSQL): a reading thread cuts the data file with the description's reader,
// checks each row and converts its values for their columns (GenerateValueForData), and hands
// batches of rows through a short queue to the thread that stores them; the counts of a row
// set aside or offered, and the limit of rows set aside, are the same for every target.
//
// A load may read several data files into one table (SQLITE4FYK_LOADOPTIONS::moreDataPaths):
// the reading thread takes them one after the other through LoadFiles, each row carrying the
// place of its file, and, when the front end added a source column (AddSourceColumn),
// the file's name as the value of that last column.
//
// Threads: ReadAndConvert runs in its own thread and touches only the files and the queue;
// the queue's methods may be called from both sides. A batch belongs to whoever holds its
// unique_ptr; the texts of its cells live in its arena until it is recycled.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "datafile/datafile.h"
#include "sqliteload/sqlite4fyk.h"

namespace loadrows {

// Rows handed from the reading to the loading at a time, and batches waiting at most. A batch
// of wide rows ends earlier, once it holds LOAD_BATCH_CELLS values at a whole number of
// LOAD_BATCH_ROW_STEP rows (the rows one statement stores when the SQLite load binds them): the
// memory of a load stays the same whatever the width of its rows.
constexpr size_t LOAD_BATCH_ROWS = 1024;
constexpr size_t LOAD_BATCH_CELLS = 16384;
constexpr size_t LOAD_BATCH_ROW_STEP = 32;
constexpr size_t LOAD_QUEUE_BATCHES = 4;

// What becomes of a row read.
enum LoadRowReason {
    LOAD_ROW_STORED = 0,      // offered to the database
    LOAD_ROW_TOO_LONG,        // set aside: its line is longer than the reader's limit
    LOAD_ROW_BAD_ENCODING,    // set aside: bytes not valid in the description's encoding
    LOAD_ROW_UNCLOSED_QUOTE,  // set aside: a protected field never closed
    LOAD_ROW_BAD_SHAPE,       // set aside (strict load): not one value per column
    LOAD_ROW_BAD_VALUE,       // set aside (strict load): a value that does not fit its type
};

// A piece of a batch's text (trivial, so that a cell holds it beside its numbers).
struct TextSpan {
    size_t offset;
    size_t length;
};

// One value converted for its column: the member its type names holds it. A batch holds a
// cell for every column of every row, written by the reading thread and read by the loading
// one, so that cells are kept small (24 bytes).
struct LoadCell {
    int type;  // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT or SQLITE_TEXT
    union {
        long long integer;  // SQLITE_INTEGER
        double real;        // SQLITE_FLOAT
        TextSpan text;      // SQLITE_TEXT, in the batch's arena
    };
    static LoadCell null() {
        LoadCell cell;
        cell.type = SQLITE_NULL;
        cell.text = {0, 0};
        return cell;
    }
};
static_assert(sizeof(LoadCell) == 24, "a cell grew");

// One row read.
struct LoadRow {
    int file;                             // its data file's place in the load (LoadFiles)
    int line;                             // line on which the row begins (in its file)
    int rowId;                            // line number stored as FileRowID
    double readBytes;                     // position in the file after the row
    int reason;                           // LoadRowReason
    size_t fieldCount;                    // values read
    int notTyped;                         // values kept as text because they do not fit their type
    int multiLineValues;                  // values that go on over line ends
    size_t firstCell;                     // its values in the batch's cells, one per column
    TextSpan rejectColumn, rejectReason;  // what the rejects file says of a row set aside
};

// An allocator whose resize leaves new cells as they are: the reading thread writes every
// cell of a row once, and a cell set first to a value then to its own costs twice.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Rows read and converted, with the texts of their values.
struct LoadBatch {
    std::vector<LoadRow> rows;
    std::vector<LoadCell, UninitializedAllocator<LoadCell>> cells;  // resize: written after
    std::string arena;
    TextSpan keep(const char* text, size_t length) {
        TextSpan span{arena.size(), length};
        arena.append(text, length);
        return span;
    }
    std::string text(TextSpan span) const { return arena.substr(span.offset, span.length); }
};

// The batches between the reading thread and the loading one, at most LOAD_QUEUE_BATCHES.
class LoadQueue {
public:
    // False when the loading side has closed the queue (the batch is dropped).
    bool push(std::unique_ptr<LoadBatch> batch) {
        std::unique_lock<std::mutex> lock(mutex_);
        notFull_.wait(lock, [this] { return closed_ || batches_.size() < LOAD_QUEUE_BATCHES; });
        if (closed_) return false;
        batches_.push_back(std::move(batch));
        notEmpty_.notify_one();
        return true;
    }
    // The reading has ended.
    void finish() {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        notEmpty_.notify_one();
    }
    // The next batch; nullptr once the reading has ended and every batch has been taken.
    std::unique_ptr<LoadBatch> pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        notEmpty_.wait(lock, [this] { return finished_ || !batches_.empty(); });
        if (batches_.empty()) return nullptr;
        std::unique_ptr<LoadBatch> batch = std::move(batches_.front());
        batches_.pop_front();
        notFull_.notify_one();
        return batch;
    }
    // The loading side wants no more batches: the reading stops at its next push.
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        batches_.clear();
        notFull_.notify_one();
    }
    // A batch given back once its rows are stored, kept with its memory for the reading.
    void recycle(std::unique_ptr<LoadBatch> batch) {
        batch->rows.clear();
        batch->cells.clear();
        batch->arena.clear();
        std::lock_guard<std::mutex> lock(mutex_);
        spare_.push_back(std::move(batch));
    }
    // An empty batch for the reading: a recycled one when there is one.
    std::unique_ptr<LoadBatch> empty() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!spare_.empty()) {
                std::unique_ptr<LoadBatch> batch = std::move(spare_.back());
                spare_.pop_back();
                return batch;
            }
        }
        return std::make_unique<LoadBatch>();
    }

private:
    std::mutex mutex_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<std::unique_ptr<LoadBatch>> batches_;
    std::vector<std::unique_ptr<LoadBatch>> spare_;
    bool finished_ = false;
    bool closed_ = false;
};

// The data files of one load, read one after the other as one run of rows: a file's reader is
// opened when the one before it has ended, so that one reader at a time holds its buffer.
// Built and opened by the loading thread; then read by the reading thread alone, and its
// results (blankLines, changed, failure) read again once that thread has been joined.
class LoadFiles {
public:
    // The files of `opt` (dataPath, then moreDataPaths) read through the dialect of `desc`;
    // with opt.sourceColumn the description's last column is the source column, which no file
    // holds. A dialect the description cannot give is told by open().
    LoadFiles(const FileDesc* desc, const SQLITE4FYK_LOADOPTIONS& opt);
    ~LoadFiles();
    LoadFiles(const LoadFiles&) = delete;
    LoadFiles& operator=(const LoadFiles&) = delete;

    // Opens the first file; false with `failure` set (the dialect's refusal, or why the file
    // cannot be read) and `current` naming it.
    bool open();
    // The next row's fields (DATAFILE_ReadNextFields), passing to the next file at the end of
    // one; false at the end of the last, or when a file changed during its reading or cannot
    // be opened (`changed` then, with `failure` and `current`).
    bool next(std::vector<DATAFIELD>& fields);

    size_t count() const { return paths_.size(); }
    const std::string& name(size_t file) const { return names_[file]; }
    bool sourceColumn() const { return source_; }
    DATAFILE* reader() const { return reader_; }
    // Bytes read of all the files (those before the current one whole) and the sum of their
    // sizes, for the progress.
    double readBytes() const;
    double totalBytes() const { return totalBytes_; }

    size_t current = 0;    // place of the file being read (or that failed)
    int blankLines = 0;    // blank lines passed over in all the files
    bool changed = false;  // a file changed during its reading, was cut or cannot be opened
    std::string failure;   // why (the reader's words; several files: the file's name first)

private:
    bool openAt(size_t file);

    DATAFILE_DIALECT dialect_;
    std::string refusal_;  // why the description gives no dialect
    std::vector<std::string> paths_, names_;
    bool source_ = false;
    DATAFILE* reader_ = nullptr;
    double doneBytes_ = 0;   // sizes of the files read whole
    double totalBytes_ = 0;  // sizes of every file (a stream's counts as 0)
};

// The source column `name` added past the columns of `desc` (a text; the load writes each
// row's file name in it). The refusal's French text when the description has a column of that
// name (as SQLite compares names) or the name is empty or too long, else "".
std::string AddSourceColumn(FileDesc* desc, const std::string& name);

// Writes into `cell` the value of one field of `column`, converted as the load stores it, its
// text (when it is one) kept in `batch`. `value` is the caller's scratch, kept from call to
// call; its notTyped tells a value that does not fit the column's type (kept then as read).
// The cell is written where it stays: a cell returned and copied costs a stalled load of
// bytes just stored in pieces, millions of times over.
void ConvertCell(const ColumnDesc* column, const DATAFIELD& field, LoadBatch& batch,
                 SQLITE4FYK_VALUE& value, LoadCell& cell);

// The reading thread of a load: every row of `files`, checked and converted for its columns,
// into batches for `queue`, until the end of the last file or until the queue is closed.
// `strict` sets aside rows without one value per column and values that do not fit their
// type; `withRejects` keeps the reasons of the rows set aside (the reader leaves out the
// padding of the columns the description trims).
// `columnAt` holds every column of the table, the source column last when there is one.
void ReadAndConvert(LoadFiles& files, const std::vector<const ColumnDesc*>& columnAt, bool strict,
                    bool withRejects, LoadQueue& queue);

// The counts of each file of a load (st.files), named after `files`, all at 0.
void StartFileCounts(SQLITE4FYK_LOADSTATS& st, const LoadFiles& files);
// Counts a row read from the file at `file` (st.rows and the file's).
void CountRead(SQLITE4FYK_LOADSTATS& st, int file);
// Counts a row of the file at `file` that the database refused (st.rowsRejected and the
// file's).
void CountRejected(SQLITE4FYK_LOADSTATS& st, int file);
// Counts a row set aside (row.reason is not LOAD_ROW_STORED) in `st`.
void CountSetAside(SQLITE4FYK_LOADSTATS& st, const LoadRow& row);
// Counts what a row offered to the database brings: a row of another shape, values kept as
// text, values over several lines. `columns`: the description's columns.
void CountOffered(SQLITE4FYK_LOADSTATS& st, const LoadRow& row, size_t columns);
// True when the rows set aside or refused are past opt.maxRejects: st.tooManyRejects and
// st.error are set, naming `line`, the last row counted.
bool TooManyRejects(SQLITE4FYK_LOADSTATS& st, const SQLITE4FYK_LOADOPTIONS& opt, int line);
// Progress report of a load: "N lignes chargées en base de données (P%)..." on the status bar
// and the task, `stored` rows so far, `readBytes` of `fileSize` read.
void ReportProgress(TASK* task, int stored, double readBytes, double fileSize);

// How a load that did not fail ended, told on the status bar and through the task: first, when
// rows were refused or set aside or values kept as text, how many; then the interruption
// (nothing stored) or the finish ("N lignes chargées en S s (R lignes / s)."). `tag` names the
// load in the trace. 1 when it was interrupted, else 0.
int ReportEnd(TASK* task, const SQLITE4FYK_LOADSTATS& st, const char* tag);

}  // namespace loadrows

// The rows of a query run as the query tool keeps them: the worker that runs the query writes
// them into blocks of text through SQLQUERY_ROWSINK, the user-interface side takes the filled
// blocks in batches into a SQLQUERY_TABLE, which shows and exports them. A row costs its text,
// two bytes per value (a marker and an ending zero) and eight bytes of offset: no object per
// value.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sqlquery/sqlquery.h"

// A block of rows: each value is a marker byte ('V' a value, 'N' a missing one), its text and a
// zero byte; `starts` holds where each row begins in `text`.
struct SQLQUERY_BLOCK {
    std::string text;
    std::vector<uint32_t> starts;
};

// What the worker has handed over since the last take.
struct SQLQUERY_BATCH {
    std::vector<std::string> columns;  // the column titles when they changed (else empty)
    bool columnsChanged = false;
    std::vector<SQLQUERY_BLOCK> blocks;  // rows, in order
    std::string status[5];               // latest text of each status part ("" when unchanged)
    bool hasStatus[5] = {};
};

// The sink of a run in the worker thread. Rows are gathered into a block that is handed over
// once it holds 256 KiB or once 50 ms have passed since the last hand-over, so that the first
// rows show at once and a long result arrives in large pieces. `notify` is called (worker
// thread) when something new waits; it should queue one take to the user-interface thread.
class SQLQUERY_ROWSINK : public SQLQUERY_SINK {
public:
    explicit SQLQUERY_ROWSINK(std::function<void()> notify) : notify_(std::move(notify)) {}
    void status(int part, const std::string& text) override;
    void columns(int count, char** names) override;
    void row(int count, char** values) override;
    // Hands the block being filled over (the worker, once the run has ended).
    void flush();
    // Moves what waits into `batch` (user-interface thread). False when nothing waited.
    bool take(SQLQUERY_BATCH& batch);

private:
    void handOver(bool force);

    std::function<void()> notify_;
    SQLQUERY_BLOCK filling_;       // worker only
    int64_t lastHandOver_ = 0;     // worker only: steady clock, in ms
    unsigned rowsSinceCheck_ = 0;  // worker only
    std::mutex lock_;              // guards waiting_
    SQLQUERY_BATCH waiting_;
    bool notified_ = false;  // a take is expected (guarded by lock_)
};

// The rows received by the query tool (user-interface thread).
class SQLQUERY_TABLE {
public:
    void clear();
    // Appends a batch's columns and rows. Returns the number of rows added.
    int append(SQLQUERY_BATCH& batch);
    int rowCount() const { return static_cast<int>(rows_.size()); }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const std::string& columnTitle(int column) const { return columns_[column]; }
    // The text of a value; *isNull says whether it is missing (shown as "NULL").
    std::string_view value(int row, int column, bool* isNull) const;
    // The text bytes kept (blocks), for the memory figures.
    size_t textBytes() const;
    // Writes the rows as a semicolon-separated file (each value followed by ";", values holding
    // ";", a double quote or a line end between double quotes, CR LF line ends), the column
    // titles first when `header` is set; a missing value is written "NULL" as it is shown.
    // False when the file cannot be written. `progress` (may be empty) receives the rows written
    // every 10 000 rows.
    // `order` (may be nullptr) gives the rows in the order shown, as SQLQUERY_SortOrder gives it.
    bool exportCsv(const std::string& path, bool header,
                   const std::function<void(int)>& progress = {},
                   const std::vector<uint32_t>* order = nullptr) const;

private:
    std::vector<std::string> columns_;
    std::vector<SQLQUERY_BLOCK> blocks_;
    std::vector<uint64_t> rows_;  // block index << 32 | row start in that block
};

// "hh:mm:ss" of a duration in seconds.
std::string SQLQUERY_DurationText(long long seconds);
// Whether the query tool may open `path`: an existing regular file (or ":memory:"). A path that
// does not name a file is refused, so that a mistyped path never creates an empty database.
bool SQLQUERY_DatabaseExists(const std::string& path);

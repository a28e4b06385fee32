// The rows of a query run as the query tool keeps them: the worker that runs the query writes
// them into blocks through SQLQUERY_ROWSINK, the user-interface side takes the filled blocks in
// batches into a SQLQUERY_TABLE, which shows and exports them. A block is one arena of the
// values' UTF-8 bytes: each value is a length byte (or a NULL mark) followed by its bytes, and
// the start of every 16th row is kept. A row thus costs its text, one byte per value and a
// quarter of a byte: no object, no terminator and no offset per value. Blocks know nothing of
// SQLite: any source that has column names and rows of byte spans (SQLite's own texts,
// libpq's values) fills them through SQLQUERY_BLOCK::appendRow or the sink's rowValues.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sqlquery/sqlquery.h"

// A block of rows, all of `columns` values. The block owns its bytes; a value read from it is a
// view into them, valid while the block lives and is not appended to. The start of every 16th
// row is kept; a row between is found by stepping over the lengths of the rows before it.
struct SQLQUERY_BLOCK {
    static constexpr uint32_t kRowsPerStart = 16;

    int columns = 0;
    uint32_t rows = 0;
    std::string bytes;             // per row, per value: a length byte, then the value's bytes
    std::vector<uint32_t> starts;  // where rows 0, 16, 32... begin in `bytes`

    // Appends a row of `count` values (count must equal `columns` once a row is in; the first
    // row sets it; missing values pad a shorter row). A value longer than SQLQUERY_MAX_VALUE
    // bytes is cut there. The bytes must stay under 4 GiB: hand a block over once it is large.
    void appendRow(int count, const SQLQUERY_VALUE* values);
    size_t rowCount() const { return rows; }
    // Value `column` of row `row`; *isNull (may be nullptr) says whether it is missing. A column
    // past the row's values is an empty, non-missing value.
    std::string_view value(size_t row, int column, bool* isNull) const;
    // Value `column` of every row in turn, as visit(row, text, isNull).
    template <typename Visit>
    void forEachRow(int column, Visit&& visit) const;
    // Each value of row `row` in turn, as visit(column, text, isNull).
    template <typename Visit>
    void forEachValue(size_t row, Visit&& visit) const;

private:
    size_t rowStart(size_t row) const;
};

// The longest value a block keeps (bytes), more than SQLite's longest value written in
// hexadecimal; longer ones are cut there.
constexpr size_t SQLQUERY_MAX_VALUE = UINT32_MAX;

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
    void rowValues(int count, const SQLQUERY_VALUE* values) override;
    // Hands the block being filled over (the worker, once the run has ended).
    void flush();
    // Moves what waits into `batch` (user-interface thread). False when nothing waited.
    bool take(SQLQUERY_BATCH& batch);

private:
    void handOver(bool force);

    std::function<void()> notify_;
    SQLQUERY_BLOCK filling_;       // worker only
    std::vector<SQLQUERY_VALUE> spans_;  // worker only: row() turned into spans
    int64_t lastHandOver_ = 0;     // worker only: steady clock, in ms
    unsigned rowsSinceCheck_ = 0;  // worker only
    std::mutex lock_;              // guards waiting_
    SQLQUERY_BATCH waiting_;
    bool notified_ = false;  // a take is expected (guarded by lock_)
};

// The rows received by the query tool (user-interface thread; a sort or an export may read it
// from another thread while nothing appends).
class SQLQUERY_TABLE {
public:
    void clear();
    // Appends a batch's columns and rows (the blocks are moved in). Returns the rows added.
    int append(SQLQUERY_BATCH& batch);
    int rowCount() const { return static_cast<int>(rows_); }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const std::string& columnTitle(int column) const { return columns_[column]; }
    // The text of a value; *isNull says whether it is missing (shown as "NULL").
    std::string_view value(int row, int column, bool* isNull) const;
    // The blocks in order (for a pass over every row).
    const std::vector<SQLQUERY_BLOCK>& blocks() const { return blocks_; }
    // The bytes the rows hold (blocks' arenas and row starts), for the memory figures.
    size_t keptBytes() const;
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
    // The block holding `row`, and the row's place in it.
    const SQLQUERY_BLOCK* locate(int row, size_t* inBlock) const;

    std::vector<std::string> columns_;
    std::vector<SQLQUERY_BLOCK> blocks_;
    std::vector<uint32_t> firstRows_;  // the table row of each block's first row
    size_t rows_ = 0;
};

// "hh:mm:ss" of a duration in seconds.
std::string SQLQUERY_DurationText(long long seconds);
// Whether the query tool may open `path`: an existing regular file (or ":memory:"). A path that
// does not name a file is refused, so that a mistyped path never creates an empty database.
bool SQLQUERY_DatabaseExists(const std::string& path);

// ---- inline ----

namespace sqlquery_detail {
constexpr unsigned char kNullMark = 255;  // a missing value
constexpr unsigned char kLongMark = 254;  // a length of four bytes follows
// Reads the value at `pos` of `bytes`: its text, whether missing; returns where the next begins.
inline size_t readValue(const std::string& bytes, size_t pos, std::string_view& text,
                        bool& isNull) {
    const auto mark = static_cast<unsigned char>(bytes[pos++]);
    isNull = mark == kNullMark;
    size_t length = mark;
    if (isNull) {
        length = 0;
    } else if (mark == kLongMark) {
        uint32_t wide = 0;
        for (int i = 0; i < 4; ++i)
            wide |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[pos++])) << (8 * i);
        length = wide;
    }
    text = std::string_view(bytes.data() + pos, length);
    return pos + length;
}

// Where the value at `pos` ends.
inline size_t skipValue(const std::string& bytes, size_t pos) {
    std::string_view text;
    bool isNull = false;
    return readValue(bytes, pos, text, isNull);
}
}  // namespace sqlquery_detail

inline size_t SQLQUERY_BLOCK::rowStart(size_t row) const {
    size_t pos = starts[row / kRowsPerStart];
    for (size_t skip = (row % kRowsPerStart) * static_cast<size_t>(columns); skip > 0; --skip)
        pos = sqlquery_detail::skipValue(bytes, pos);
    return pos;
}

template <typename Visit>
void SQLQUERY_BLOCK::forEachValue(size_t row, Visit&& visit) const {
    size_t pos = rowStart(row);
    for (int column = 0; column < columns; ++column) {
        std::string_view text;
        bool isNull = false;
        pos = sqlquery_detail::readValue(bytes, pos, text, isNull);
        visit(column, text, isNull);
    }
}

template <typename Visit>
void SQLQUERY_BLOCK::forEachRow(int column, Visit&& visit) const {
    size_t pos = rows > 0 ? starts[0] : 0;
    for (uint32_t row = 0; row < rows; ++row) {
        std::string_view text;
        bool isNull = false;
        for (int i = 0; i < columns; ++i) {
            std::string_view at;
            bool atNull = false;
            pos = sqlquery_detail::readValue(bytes, pos, at, atNull);
            if (i == column) {
                text = at;
                isNull = atNull;
            }
        }
        visit(row, text, isNull);
    }
}

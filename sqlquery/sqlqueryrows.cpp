#include "sqlquery/sqlqueryrows.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "foundation/csvexport.h"

namespace {

constexpr size_t kBlockBytes = 256 * 1024;   // a block is handed over once it holds this much
constexpr int64_t kHandOverMs = 50;          // ... or once this long has passed
constexpr unsigned kRowsPerClockCheck = 64;  // rows between two looks at the clock

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void SQLQUERY_ROWSINK::status(int part, const std::string& text) {
    if (part < 0 || part >= 5) return;
    // The rows received so far go before a state text (such as the end of the run).
    if (part == SQLQUERY_STATUS_STATE) handOver(true);
    bool notify = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        waiting_.status[part] = text;
        waiting_.hasStatus[part] = true;
        notify = !notified_;
        notified_ = true;
    }
    if (notify && notify_) notify_();
}

void SQLQUERY_ROWSINK::columns(int count, char** names) {
    handOver(true);
    std::vector<std::string> titles;
    for (int i = 0; i < count; ++i) titles.emplace_back(names[i] != nullptr ? names[i] : "");
    std::lock_guard<std::mutex> g(lock_);
    // Titles not taken yet stay: as in the table, a later statement only adds the titles of
    // columns past them.
    if (!waiting_.columnsChanged) waiting_.columns.clear();
    for (size_t i = waiting_.columns.size(); i < titles.size(); ++i)
        waiting_.columns.push_back(std::move(titles[i]));
    waiting_.columnsChanged = true;
}

void SQLQUERY_BLOCK::appendRow(int count, const SQLQUERY_VALUE* values) {
    if (rows == 0) columns = count;
    if (rows % kRowsPerStart == 0) starts.push_back(static_cast<uint32_t>(bytes.size()));
    ++rows;
    for (int i = 0; i < columns; ++i) {
        if (i >= count || values[i].isNull) {
            bytes += static_cast<char>(sqlquery_detail::kNullMark);
            continue;
        }
        const size_t length = std::min(values[i].size, SQLQUERY_MAX_VALUE);
        if (length < sqlquery_detail::kLongMark) {
            bytes += static_cast<char>(length);
        } else {
            char wide[5] = {static_cast<char>(sqlquery_detail::kLongMark)};
            for (int b = 0; b < 4; ++b) wide[1 + b] = static_cast<char>(length >> (8 * b));
            bytes.append(wide, 5);
        }
        bytes.append(values[i].data, length);
    }
}

std::string_view SQLQUERY_BLOCK::value(size_t row, int column, bool* isNull) const {
    if (isNull != nullptr) *isNull = false;
    if (row >= rows || column < 0 || column >= columns) return {};
    size_t pos = rowStart(row);
    std::string_view text;
    bool missing = false;
    for (int i = 0; i <= column; ++i) pos = sqlquery_detail::readValue(bytes, pos, text, missing);
    if (isNull != nullptr) *isNull = missing;
    return text;
}

void SQLQUERY_ROWSINK::row(int count, char** values) {
    spans_.resize(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        spans_[i].isNull = values[i] == nullptr;
        spans_[i].data = values[i];
        spans_[i].size = values[i] != nullptr ? strlen(values[i]) : 0;
    }
    rowValues(count, spans_.data());
}

void SQLQUERY_ROWSINK::rowValues(int count, const SQLQUERY_VALUE* values) {
    // A row of another width (a later statement) starts a block of its own.
    if (filling_.rows > 0 && count != filling_.columns) handOver(true);
    filling_.appendRow(count, values);
    // The clock is read at each of a block's first rows, so that the first rows of a query, or
    // rows that come slowly, are handed over without waiting for more; then every 64 rows.
    if (filling_.bytes.size() >= kBlockBytes) {
        handOver(true);
    } else if (filling_.rows <= kRowsPerClockCheck ||
               ++rowsSinceCheck_ >= kRowsPerClockCheck) {
        rowsSinceCheck_ = 0;
        handOver(false);
    }
}

void SQLQUERY_ROWSINK::flush() {
    handOver(true);
}

void SQLQUERY_ROWSINK::handOver(bool force) {
    if (filling_.rows == 0) return;
    const int64_t now = nowMs();
    if (!force && now - lastHandOver_ < kHandOverMs) return;
    lastHandOver_ = now;
    // A block keeps no more room than its bytes need (a full one has hardly any to give back).
    if (filling_.bytes.capacity() > filling_.bytes.size() + filling_.bytes.size() / 64)
        filling_.bytes.shrink_to_fit();
    if (filling_.starts.capacity() > filling_.starts.size() + filling_.starts.size() / 64)
        filling_.starts.shrink_to_fit();
    const size_t starts = filling_.starts.size();
    bool notify = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        waiting_.blocks.push_back(std::move(filling_));
        notify = !notified_;
        notified_ = true;
    }
    filling_ = SQLQUERY_BLOCK{};
    // Room for a full block and its last row; as many rows as the last block held.
    filling_.bytes.reserve(kBlockBytes + 4096);
    filling_.starts.reserve(starts + starts / 32 + 4);
    if (notify && notify_) notify_();
}

bool SQLQUERY_ROWSINK::take(SQLQUERY_BATCH& batch) {
    std::lock_guard<std::mutex> g(lock_);
    notified_ = false;
    bool any = waiting_.columnsChanged || !waiting_.blocks.empty();
    for (bool has : waiting_.hasStatus) any = any || has;
    batch = std::move(waiting_);
    waiting_ = SQLQUERY_BATCH{};
    return any;
}

void SQLQUERY_TABLE::clear() {
    columns_.clear();
    blocks_.clear();
    blocks_.shrink_to_fit();
    firstRows_.clear();
    firstRows_.shrink_to_fit();
    rows_ = 0;
}

int SQLQUERY_TABLE::append(SQLQUERY_BATCH& batch) {
    // The first columns title the list; a later statement with more columns adds titles.
    if (batch.columnsChanged) {
        for (size_t i = columns_.size(); i < batch.columns.size(); ++i)
            columns_.push_back(batch.columns[i]);
    }
    size_t added = 0;
    for (SQLQUERY_BLOCK& block : batch.blocks) {
        if (block.rowCount() == 0) continue;
        firstRows_.push_back(static_cast<uint32_t>(rows_ + added));
        added += block.rowCount();
        blocks_.push_back(std::move(block));
    }
    batch.blocks.clear();
    rows_ += added;
    return static_cast<int>(added);
}

const SQLQUERY_BLOCK* SQLQUERY_TABLE::locate(int row, size_t* inBlock) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_) return nullptr;
    const auto after =
        std::upper_bound(firstRows_.begin(), firstRows_.end(), static_cast<uint32_t>(row));
    const size_t index = static_cast<size_t>(after - firstRows_.begin()) - 1;
    *inBlock = static_cast<size_t>(row) - firstRows_[index];
    return &blocks_[index];
}

std::string_view SQLQUERY_TABLE::value(int row, int column, bool* isNull) const {
    if (isNull != nullptr) *isNull = false;
    size_t inBlock = 0;
    const SQLQUERY_BLOCK* block = locate(row, &inBlock);
    return block != nullptr ? block->value(inBlock, column, isNull) : std::string_view();
}

size_t SQLQUERY_TABLE::keptBytes() const {
    size_t bytes = 0;
    for (const SQLQUERY_BLOCK& block : blocks_)
        bytes += block.bytes.capacity() + block.starts.capacity() * sizeof(uint32_t);
    return bytes + blocks_.capacity() * sizeof(SQLQUERY_BLOCK) +
           firstRows_.capacity() * sizeof(uint32_t);
}

bool SQLQUERY_TABLE::exportCsv(const std::string& path, bool header,
                               const std::function<void(int)>& progress,
                               const std::vector<uint32_t>* order) const {
    if (order != nullptr && order->size() != rows_) order = nullptr;
    FILE* out = fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    std::string buffer;
    bool ok = true;
    auto write = [&](bool last) {
        if (buffer.size() < (1u << 20) && !last) return;
        ok = ok && fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
        buffer.clear();
    };
    if (header) {
        for (const std::string& title : columns_) CSVEXPORT_AppendCell(buffer, title.c_str());
        buffer += CSVEXPORT_EOL;
    }
    const int columns = columnCount();
    for (int row = 0; row < rowCount(); ++row) {
        const int at = order != nullptr ? static_cast<int>((*order)[row]) : row;
        size_t inBlock = 0;
        const SQLQUERY_BLOCK* block = locate(at, &inBlock);
        block->forEachValue(inBlock, [&](int, std::string_view text, bool isNull) {
            if (isNull)
                CSVEXPORT_AppendCell(buffer, "NULL");
            else
                CSVEXPORT_AppendCell(buffer, text.data(), text.size());
        });
        // A row of an earlier, narrower statement has empty cells under the later titles.
        for (int column = block->columns; column < columns; ++column)
            CSVEXPORT_AppendCell(buffer, "", 0);
        buffer += CSVEXPORT_EOL;
        write(false);
        if (progress && (row + 1) % 10000 == 0) progress(row + 1);
    }
    write(true);
    ok = fclose(out) == 0 && ok;
    if (progress) progress(rowCount());
    return ok;
}

std::string SQLQUERY_DurationText(long long seconds) {
    if (seconds < 0) seconds = 0;
    char text[48];
    snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
             seconds % 60);
    return text;
}

bool SQLQUERY_DatabaseExists(const std::string& path) {
    if (path == ":memory:") return true;
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

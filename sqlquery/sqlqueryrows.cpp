#include "sqlquery/sqlqueryrows.h"

#include <sys/stat.h>

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
    waiting_.columns = std::move(titles);
    waiting_.columnsChanged = true;
}

void SQLQUERY_ROWSINK::row(int count, char** values) {
    filling_.starts.push_back(static_cast<uint32_t>(filling_.text.size()));
    for (int i = 0; i < count; ++i) {
        if (values[i] == nullptr) {
            filling_.text.append("N", 2);  // the marker and the zero byte
        } else {
            filling_.text += 'V';
            filling_.text.append(values[i], strlen(values[i]) + 1);
        }
    }
    // The clock is read at each of a block's first rows, so that the first rows of a query, or
    // rows that come slowly, are handed over without waiting for more; then every 64 rows.
    if (filling_.text.size() >= kBlockBytes) {
        handOver(true);
    } else if (filling_.starts.size() <= kRowsPerClockCheck ||
               ++rowsSinceCheck_ >= kRowsPerClockCheck) {
        rowsSinceCheck_ = 0;
        handOver(false);
    }
}

void SQLQUERY_ROWSINK::flush() {
    handOver(true);
}

void SQLQUERY_ROWSINK::handOver(bool force) {
    if (filling_.starts.empty()) return;
    const int64_t now = nowMs();
    if (!force && now - lastHandOver_ < kHandOverMs) return;
    lastHandOver_ = now;
    // A block handed over early keeps no more room than its text needs.
    if (filling_.text.capacity() > filling_.text.size() + filling_.text.size() / 4)
        filling_.text.shrink_to_fit();
    filling_.starts.shrink_to_fit();
    bool notify = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        waiting_.blocks.push_back(std::move(filling_));
        notify = !notified_;
        notified_ = true;
    }
    filling_ = SQLQUERY_BLOCK{};
    filling_.text.reserve(kBlockBytes + kBlockBytes / 8);
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
    rows_.clear();
    rows_.shrink_to_fit();
}

int SQLQUERY_TABLE::append(SQLQUERY_BATCH& batch) {
    // The first columns title the list; a later statement with more columns adds titles.
    if (batch.columnsChanged) {
        for (size_t i = columns_.size(); i < batch.columns.size(); ++i)
            columns_.push_back(batch.columns[i]);
    }
    int added = 0;
    for (SQLQUERY_BLOCK& block : batch.blocks) {
        const uint64_t index = blocks_.size();
        for (uint32_t start : block.starts) rows_.push_back(index << 32 | start);
        added += static_cast<int>(block.starts.size());
        block.starts = std::vector<uint32_t>();  // the offsets now live in rows_
        blocks_.push_back(std::move(block));
    }
    batch.blocks.clear();
    return added;
}

std::string_view SQLQUERY_TABLE::value(int row, int column, bool* isNull) const {
    if (isNull != nullptr) *isNull = false;
    if (row < 0 || row >= rowCount() || column < 0) return {};
    const uint64_t at = rows_[static_cast<size_t>(row)];
    const std::string& text = blocks_[at >> 32].text;
    size_t pos = static_cast<uint32_t>(at);
    // The row ends where the next one starts, or at the end of its block.
    size_t end = text.size();
    if (static_cast<size_t>(row) + 1 < rows_.size() &&
        rows_[static_cast<size_t>(row) + 1] >> 32 == at >> 32)
        end = static_cast<uint32_t>(rows_[static_cast<size_t>(row) + 1]);
    for (int i = 0; pos < end; ++i) {
        const char marker = text[pos];
        const char* cell = text.data() + pos + 1;
        const size_t length = strlen(cell);
        if (i == column) {
            if (isNull != nullptr) *isNull = marker == 'N';
            return {cell, length};
        }
        pos += length + 2;
    }
    return {};
}

size_t SQLQUERY_TABLE::textBytes() const {
    size_t bytes = 0;
    for (const SQLQUERY_BLOCK& block : blocks_) bytes += block.text.capacity();
    return bytes;
}

bool SQLQUERY_TABLE::exportCsv(const std::string& path, bool header,
                               const std::function<void(int)>& progress,
                               const std::vector<uint32_t>* order) const {
    if (order != nullptr && order->size() != rows_.size()) order = nullptr;
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
        for (int column = 0; column < columns; ++column) {
            bool isNull = false;
            const std::string_view text = value(at, column, &isNull);
            if (isNull)
                CSVEXPORT_AppendCell(buffer, "NULL");
            else
                CSVEXPORT_AppendCell(buffer, text.data(), text.size());
        }
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

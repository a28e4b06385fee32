// The result grid's sort order, copied text and numbers.
#include "sqlquery/resultgrid.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// What a value is sorted by.
struct SortKey {
    uint32_t row;           // the row in the table
    int kind;               // 0 missing, 1 number, 2 text
    double number;          // the value of a number
    std::string_view text;  // the text of a text (points into the table)
};

// How often the comparison looks at the stop flag.
constexpr unsigned kComparisonsPerStopCheck = 4096;

void appendCell(std::string& out, std::string_view text) {
    if (text.find_first_of("\t\r\n\"") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

bool SQLQUERY_LooksNumeric(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponent = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++exponent;
        if (exponent == 0) return false;
    }
    return i == text.size();
}

bool SQLQUERY_SortOrder(const SQLQUERY_TABLE& table, int column, bool descending,
                        const std::atomic<bool>* stop, std::vector<uint32_t>& order) {
    order.clear();
    const int rows = table.rowCount();
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        if ((row & 0xFFFF) == 0 && stop != nullptr && stop->load(std::memory_order_relaxed))
            return false;
        bool isNull = false;
        const std::string_view text = table.value(row, column, &isNull);
        SortKey key{static_cast<uint32_t>(row), 2, 0.0, text};
        if (isNull) {
            key.kind = 0;
        } else if (SQLQUERY_LooksNumeric(text)) {
            key.kind = 1;
            std::from_chars(text.data(), text.data() + text.size(), key.number);
        }
        keys.push_back(key);
    }
    // Once stopped, every comparison answers at once and the sort ends quickly.
    bool stopped = false;
    unsigned comparisons = 0;
    auto less = [&](const SortKey& a, const SortKey& b) {
        if (stop != nullptr && ++comparisons % kComparisonsPerStopCheck == 0 &&
            stop->load(std::memory_order_relaxed))
            stopped = true;
        if (stopped) return false;
        if (a.kind != b.kind) return a.kind < b.kind;
        if (a.kind == 1) return a.number < b.number;
        return a.text < b.text;
    };
    if (descending)
        std::stable_sort(keys.begin(), keys.end(),
                         [&](const SortKey& a, const SortKey& b) { return less(b, a); });
    else
        std::stable_sort(keys.begin(), keys.end(), less);
    if (stopped || (stop != nullptr && stop->load())) return false;
    order.reserve(keys.size());
    for (const SortKey& key : keys) order.push_back(key.row);
    return true;
}

std::string SQLQUERY_TabText(const SQLQUERY_TABLE& table, const std::vector<int>& rows,
                             const std::vector<int>& columns) {
    std::string out;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += '\t';
        appendCell(out, table.columnTitle(columns[i]));
    }
    out += '\n';
    for (int row : rows) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) out += '\t';
            bool isNull = false;
            const std::string_view text = table.value(row, columns[i], &isNull);
            if (!isNull) appendCell(out, text);
        }
        out += '\n';
    }
    return out;
}

// The result grid's sort order, copied text and numbers.
#include "sqlquery/resultgrid.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// A number's sort key: its value, and its row.
struct NumberKey {
    double value;
    uint32_t row;
};

// A text's sort key: its first eight bytes as a big-endian integer (zeros after a shorter
// text), its bytes and its row. Two prefixes that differ order the texts as their bytes do.
struct TextKey {
    uint64_t prefix;
    const char* text;
    uint32_t length;
    uint32_t row;
};

// How often a comparison looks at the stop flag.
constexpr unsigned kComparisonsPerStopCheck = 4096;
// Below this many keys one thread sorts them all.
constexpr size_t kParallelSortKeys = 32768;

uint64_t textPrefix(std::string_view text) {
    uint64_t prefix = 0;
    const size_t n = std::min<size_t>(text.size(), 8);
    for (size_t i = 0; i < n; ++i)
        prefix |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (56 - 8 * i);
    return prefix;
}

double numberValue(std::string_view text) {
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    // Beyond a double's range ("1e999") the value is infinite, or zero below it.
    if (parsed.ec == std::errc::result_out_of_range) value = std::strtod(std::string(text).c_str(), nullptr);
    return value;
}

// A comparison that answers false once `stop` is set (looked at every few thousand calls),
// which every sort takes as "equal" and ends quickly on.
template <typename Less>
struct Stoppable {
    Less less;
    const std::atomic<bool>* stop;
    unsigned calls = 0;
    bool stopped = false;
    template <typename T>
    bool operator()(const T& a, const T& b) {
        if (stop != nullptr && ++calls % kComparisonsPerStopCheck == 0 &&
            stop->load(std::memory_order_relaxed))
            stopped = true;
        return !stopped && less(a, b);
    }
};

// Sorts `keys` by `less` (a total order), the two halves on two threads then merged. False when
// `stop` was set meanwhile (the keys then in no particular order).
template <typename T, typename Less>
bool sortKeys(std::vector<T>& keys, Less less, const std::atomic<bool>* stop) {
    auto stopped = [&] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
    if (keys.size() < kParallelSortKeys) {
        std::sort(keys.begin(), keys.end(), Stoppable<Less>{less, stop});
        return !stopped();
    }
    const auto middle = keys.begin() + static_cast<std::ptrdiff_t>(keys.size() / 2);
    std::thread first([&] { std::sort(keys.begin(), middle, Stoppable<Less>{less, stop}); });
    std::sort(middle, keys.end(), Stoppable<Less>{less, stop});
    first.join();
    if (stopped()) return false;
    std::inplace_merge(keys.begin(), middle, keys.end(), less);
    return !stopped();
}

// Compares two texts by their bytes: negative, zero or positive.
int compareTexts(const TextKey& a, const TextKey& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix ? -1 : 1;
    const uint32_t common = std::min(a.length, b.length);
    // Equal prefixes: the first min(8, common) bytes are equal (a shorter text's padding may
    // equal the other's zero bytes, which the lengths then tell apart).
    if (common > 8) {
        const int c = std::memcmp(a.text + 8, b.text + 8, common - 8);
        if (c != 0) return c;
    }
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

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
    // Each row's key is read once: NULLs apart (they keep their order), numbers parsed once,
    // texts by their first bytes.
    std::vector<uint32_t> nulls;
    std::vector<NumberKey> numbers;
    std::vector<TextKey> texts;
    uint32_t first = 0;
    for (const SQLQUERY_BLOCK& block : table.blocks()) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
        block.forEachRow(column, [&](uint32_t r, std::string_view text, bool isNull) {
            const uint32_t row = first + r;
            if (isNull)
                nulls.push_back(row);
            else if (SQLQUERY_LooksNumeric(text))
                numbers.push_back({numberValue(text), row});
            else
                texts.push_back(
                    {textPrefix(text), text.data(), static_cast<uint32_t>(text.size()), row});
        });
        first += block.rows;
    }
    // Equal values keep their order whichever the direction.
    const bool done =
        sortKeys(numbers,
                 [descending](const NumberKey& a, const NumberKey& b) {
                     if (a.value != b.value) return descending ? a.value > b.value : a.value < b.value;
                     return a.row < b.row;
                 },
                 stop) &&
        sortKeys(texts,
                 [descending](const TextKey& a, const TextKey& b) {
                     const int c = compareTexts(a, b);
                     if (c != 0) return descending ? c > 0 : c < 0;
                     return a.row < b.row;
                 },
                 stop);
    if (!done) return false;
    order.reserve(static_cast<size_t>(table.rowCount()));
    auto putNumbers = [&] {
        for (const NumberKey& key : numbers) order.push_back(key.row);
    };
    auto putTexts = [&] {
        for (const TextKey& key : texts) order.push_back(key.row);
    };
    if (descending) {
        putTexts();
        putNumbers();
        order.insert(order.end(), nulls.begin(), nulls.end());
    } else {
        order.insert(order.end(), nulls.begin(), nulls.end());
        putNumbers();
        putTexts();
    }
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

// The result grid's sort order, copied text and numbers.
#include "sqlquery/resultgrid.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// A number's sort key: its value as an integer of the same order, and its row.
struct NumberKey {
    uint64_t key;
    uint32_t row;
};

// A text's sort key: its first eight bytes as a big-endian integer (zeros after a shorter
// text), its bytes and its row. Two prefixes that differ order the texts as their bytes do.
struct TextKey {
    uint64_t key;
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

// An integer ordered as the double `value` is (-0 as 0; no NaN comes here).
uint64_t numberKey(double value) {
    if (value == 0) value = 0;
    const auto bits = std::bit_cast<uint64_t>(value);
    return bits >> 63 ? ~bits : bits | (uint64_t{1} << 63);
}

// Sorts `keys` by their `key` member, equal keys keeping their order: a byte at a time from the
// lowest, bytes that every key shares skipped. False when `stop` was set meanwhile.
template <typename T>
bool radixSort(std::vector<T>& keys, const std::atomic<bool>* stop) {
    std::vector<std::array<size_t, 256>> counts(8);
    for (auto& c : counts) c.fill(0);
    for (const T& k : keys)
        for (int b = 0; b < 8; ++b) ++counts[b][(k.key >> (8 * b)) & 0xFF];
    std::vector<T> other;
    for (int b = 0; b < 8; ++b) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
        std::array<size_t, 256>& count = counts[b];
        if (std::find(count.begin(), count.end(), keys.size()) != count.end()) continue;
        size_t at = 0;
        for (size_t& c : count) {
            const size_t n = c;
            c = at;
            at += n;
        }
        other.resize(keys.size());
        for (const T& k : keys) other[count[(k.key >> (8 * b)) & 0xFF]++] = k;
        keys.swap(other);
    }
    return true;
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
    const int c = std::memcmp(a.text, b.text, std::min(a.length, b.length));
    if (c != 0) return c;
    return a.length == b.length ? 0 : (a.length < b.length ? -1 : 1);
}

// The keys of a column's rows, apart by kind.
struct SortKeys {
    std::vector<uint32_t> nulls;
    std::vector<NumberKey> numbers;
    std::vector<TextKey> texts;
};

// Reads the keys of `column` in blocks [from, to), whose first row is `firstRow`, into `keys`;
// each key's bits are XORed with `flip`.
void readKeys(const std::vector<SQLQUERY_BLOCK>& blocks, size_t from, size_t to,
              uint32_t firstRow, int column, uint64_t flip, const std::atomic<bool>* stop,
              SortKeys& keys) {
    size_t rows = 0;
    for (size_t b = from; b < to; ++b) rows += blocks[b].rows;
    uint32_t first = firstRow;
    for (size_t b = from; b < to; ++b) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
        blocks[b].forEachRow(column, [&](uint32_t r, std::string_view text, bool isNull) {
            const uint32_t row = first + r;
            if (isNull) {
                keys.nulls.push_back(row);
            } else if (SQLQUERY_LooksNumeric(text)) {
                if (keys.numbers.empty()) keys.numbers.reserve(rows);
                keys.numbers.push_back({numberKey(numberValue(text)) ^ flip, row});
            } else {
                if (keys.texts.empty()) keys.texts.reserve(rows);
                keys.texts.push_back({textPrefix(text) ^ flip, text.data(),
                                      static_cast<uint32_t>(text.size()), row});
            }
        });
        first += blocks[b].rows;
    }
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
    // texts by their first bytes. Descending: the keys' bits inverted, so that one ascending
    // pass that keeps equal keys in their order serves both directions.
    const uint64_t flip = descending ? ~uint64_t{0} : 0;
    const std::vector<SQLQUERY_BLOCK>& blocks = table.blocks();
    // A large table is read by two threads, each over half of the blocks.
    size_t half = blocks.size();
    if (static_cast<size_t>(table.rowCount()) >= kParallelSortKeys && blocks.size() > 1)
        half = blocks.size() / 2;
    uint32_t halfRow = 0;
    for (size_t b = 0; b < half; ++b) halfRow += blocks[b].rows;
    SortKeys keys[2];
    std::thread second;
    if (half < blocks.size())
        second = std::thread([&] {
            readKeys(blocks, half, blocks.size(), halfRow, column, flip, stop, keys[1]);
        });
    readKeys(blocks, 0, half, 0, column, flip, stop, keys[0]);
    if (second.joinable()) second.join();
    if (stop != nullptr && stop->load()) return false;
    std::vector<uint32_t>& nulls = keys[0].nulls;
    std::vector<NumberKey>& numbers = keys[0].numbers;
    std::vector<TextKey>& texts = keys[0].texts;
    nulls.insert(nulls.end(), keys[1].nulls.begin(), keys[1].nulls.end());
    numbers.insert(numbers.end(), keys[1].numbers.begin(), keys[1].numbers.end());
    texts.insert(texts.end(), keys[1].texts.begin(), keys[1].texts.end());
    keys[1] = SortKeys{};
    bool done = radixSort(numbers, stop) && radixSort(texts, stop);
    // Texts of equal first bytes are put in order by the rest of their bytes, then their rows.
    auto rest = [descending](const TextKey& a, const TextKey& b) {
        const int c = compareTexts(a, b);
        if (c != 0) return descending ? c > 0 : c < 0;
        return a.row < b.row;
    };
    for (size_t i = 0; done && i < texts.size();) {
        size_t end = i + 1;
        bool differ = false;
        for (; end < texts.size() && texts[end].key == texts[i].key; ++end)
            differ = differ || texts[end].length != texts[i].length || texts[i].length > 8;
        const auto from = texts.begin() + static_cast<std::ptrdiff_t>(i);
        const auto to = texts.begin() + static_cast<std::ptrdiff_t>(end);
        if (differ && end - i < kParallelSortKeys) {
            std::sort(from, to, Stoppable<decltype(rest)>{rest, stop});
        } else if (differ) {
            std::vector<TextKey> run(from, to);
            done = sortKeys(run, rest, stop);
            std::copy(run.begin(), run.end(), from);
        }
        i = end;
    }
    if (!done || (stop != nullptr && stop->load())) return false;
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

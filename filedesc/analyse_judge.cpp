// The values of an analysis judged: the kinds of values of a column, and the blocks of rows in
// which the reading thread hands them to the workers (see analyse_internal.h).
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "filedesc/analyse_internal.h"
#include "foundation/date.h"

namespace analyse_internal {

namespace {

std::string_view TrimBlanks(const char* text, int length) {
    std::string_view v(text, static_cast<size_t>(length));
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return v;
}

}  // namespace

void ValueKinds::add(const ValueKinds& later) {
    values += later.values;
    integers += later.integers;
    zeroPrefixed += later.zeroPrefixed;
    decimals += later.decimals;
    integerDigits = std::max(integerDigits, later.integerDigits);
    decimalDigits = std::max(decimalDigits, later.decimalDigits);
    paddedDecimals += later.paddedDecimals;
    zeroDates += later.zeroDates;
    grouped += later.grouped;
    if (dateLayout < 0) dateLayout = later.dateLayout;
    if (datetimeLayout < 0) datetimeLayout = later.datetimeLayout;
    for (int k = 0; k < TYPERECOG_DATE_LAYOUTS; ++k) dates[k] += later.dates[k];
    for (int k = 0; k < TYPERECOG_DATETIME_LAYOUTS; ++k) datetimes[k] += later.datetimes[k];
    numbers = numbers && later.numbers;
    dated = dated && later.dated;
    timed = timed && later.timed;
}

void CountValueKind(ValueKinds& kinds, const TYPERECOG_SEEN& seen, const char* text, int length) {
    if (kinds.settled()) return;
    const std::string_view v = TrimBlanks(text, length);
    if (v.empty() || TYPERECOG_IsNullWord(v)) return;
    ++kinds.values;
    if (kinds.numbers) {
        // A number: a sign, digits, then at most one point or comma and digits.
        size_t i = v[0] == '+' || v[0] == '-' ? 1 : 0;
        const size_t digitsFrom = i;
        while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i;
        const size_t before = i - digitsFrom;
        size_t after = 0;
        bool separator = false;
        if (i < v.size() && (v[i] == ',' || v[i] == '.')) {
            separator = true;
            ++i;
            while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i, ++after;
        }
        if (i == v.size() && before + after > 0) {
            if (before > 1 && v[digitsFrom] == '0') {
                // 00012 or 000879.17: a code whose zeros matter, not a number.
                ++kinds.zeroPrefixed;
                if (separator) ++kinds.paddedDecimals;
            } else if (separator) {
                ++kinds.decimals;
                if (v[i - after - 1] == ',' && after == 3 && before <= 3) ++kinds.grouped;
            } else {
                ++kinds.integers;
            }
            kinds.integerDigits = std::max(kinds.integerDigits, static_cast<int>(before));
            kinds.decimalDigits = std::max(kinds.decimalDigits, static_cast<int>(after));
        } else {
            kinds.numbers = false;
        }
    }
    // A date or date-time counts in its layout when it names a real day (and time); the
    // column's first layout is the one that counts in the end.
    if (kinds.dated) {
        if (seen.dateLayout < 0) {
            kinds.dated = false;
        } else {
            if (kinds.dateLayout < 0) kinds.dateLayout = seen.dateLayout;
            if (TYPERECOG_IsRealDay(v, seen.dateLayout))
                ++kinds.dates[seen.dateLayout];
            else if (v == "00000000")
                ++kinds.zeroDates;
        }
    }
    if (kinds.timed) {
        MYDATETIME d{};
        if (seen.datetimeLayout < 0) {
            kinds.timed = false;
        } else {
            if (kinds.datetimeLayout < 0) kinds.datetimeLayout = seen.datetimeLayout;
            if (DATETIME_ReadValid(v, TYPERECOG_DatetimeFormat(seen.datetimeLayout), true, &d))
                ++kinds.datetimes[seen.datetimeLayout];
        }
    }
}

void ColumnJudgment::add(const ColumnJudgment& later) {
    if (!later.hasValue) return;
    hasValue = true;
    width = std::max(width, later.width);
    CompileStatistics(&stats, &later.stats);
    kinds.add(later.kinds);
}

namespace {

// Judges one value of column `k` into `columns`.
void judgeValue(std::vector<ColumnJudgment>& columns, size_t k, const char* value, int length,
                bool withKinds) {
    if (columns.size() <= k) columns.resize(k + 1);
    ColumnJudgment& column = columns[k];
    column.hasValue = true;
    column.width = std::max(column.width, length);
    TYPERECOG_SEEN seen;
    AnalyseTypeDonneeAdd(&column.stats, value, length, &seen);
    if (withKinds) CountValueKind(column.kinds, seen, value, length);
}

// The judgments of `later` columns added to those of `columns`.
void addUp(std::vector<ColumnJudgment>& columns, const std::vector<ColumnJudgment>& later) {
    if (columns.size() < later.size()) columns.resize(later.size());
    for (size_t k = 0; k < later.size(); ++k) columns[k].add(later[k]);
}

// Whole rows' values copied together.
struct Block {
    size_t sequence = 0;          // its place among the blocks handed
    std::string text;             // the rows' values, one after the other
    std::vector<size_t> starts;   // each value's first byte in text
    std::vector<int> lengths;     // and its length
    std::vector<size_t> rowEnds;  // per row, the index past its last value

    // What the block holds, its values' places counted.
    size_t bytes() const { return text.size() + starts.size() * (sizeof(size_t) + sizeof(int)); }

    void clear() {
        text.clear();
        starts.clear();
        lengths.clear();
        rowEnds.clear();
    }

    void addRow(const std::vector<DATAFIELD>& fields) {
        // The values lie in order in the reader's row: that stretch is copied once.
        const char* from = fields.front().value;
        const char* to = from;
        for (const DATAFIELD& f : fields) {
            from = std::min(from, f.value);
            to = std::max(to, f.value + f.length);
        }
        const size_t at = text.size();
        text.append(from, static_cast<size_t>(to - from));
        for (const DATAFIELD& f : fields) {
            starts.push_back(at + static_cast<size_t>(f.value - from));
            lengths.push_back(f.length);
        }
        rowEnds.push_back(starts.size());
    }

    std::vector<ColumnJudgment> judge(bool withKinds) const {
        std::vector<ColumnJudgment> columns;
        size_t first = 0;
        for (size_t end : rowEnds) {
            for (size_t i = first; i < end; ++i)
                judgeValue(columns, i - first, text.data() + starts[i], lengths[i], withKinds);
            first = end;
        }
        return columns;
    }
};

}  // namespace

struct JudgingPipeline::Shared {
    JudgingRules rules;
    std::vector<std::thread> workers;
    std::unique_ptr<Block> filling;  // the block the reading thread fills

    std::mutex mutex;              // guards what follows
    std::condition_variable work;  // a block to judge, or the end
    std::condition_variable room;  // a block taken from the queue
    std::deque<std::unique_ptr<Block>> queue;
    std::vector<std::unique_ptr<Block>> spare;  // judged blocks, to be filled again
    bool closing = false;
    size_t handed = 0;   // blocks handed so far
    size_t addedUp = 0;  // blocks whose judgment is in `total`, the first ones in order
    std::map<size_t, std::vector<ColumnJudgment>> waiting;  // judged past the first missing
    std::vector<ColumnJudgment> total;

    void judgeBlocks() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            work.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty()) return;
            std::unique_ptr<Block> block = std::move(queue.front());
            queue.pop_front();
            room.notify_one();
            lock.unlock();
            std::vector<ColumnJudgment> judged = block->judge(rules.kinds);
            block->clear();
            lock.lock();
            waiting.emplace(block->sequence, std::move(judged));
            while (!waiting.empty() && waiting.begin()->first == addedUp) {
                addUp(total, waiting.begin()->second);
                waiting.erase(waiting.begin());
                ++addedUp;
            }
            spare.push_back(std::move(block));
        }
    }

    // Hands the block being filled to the workers, once the queue has room for it.
    void hand() {
        std::unique_lock<std::mutex> lock(mutex);
        const size_t bound = 2 * workers.size();
        room.wait(lock, [this, bound] { return queue.size() < bound; });
        filling->sequence = handed++;
        queue.push_back(std::move(filling));
        work.notify_one();
    }

    // A block to fill: a spare one when a worker has given one back.
    std::unique_ptr<Block> takeBlock() {
        std::lock_guard<std::mutex> lock(mutex);
        if (spare.empty()) return std::make_unique<Block>();
        std::unique_ptr<Block> block = std::move(spare.back());
        spare.pop_back();
        return block;
    }

    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
        }
        work.notify_all();
        for (std::thread& t : workers) t.join();
        workers.clear();
    }
};

JudgingPipeline::JudgingPipeline(const JudgingRules& rules) : shared_(std::make_unique<Shared>()) {
    shared_->rules = rules;
    for (int w = 0; w < rules.workers; ++w) {
        try {
            shared_->workers.emplace_back([s = shared_.get()] { s->judgeBlocks(); });
        } catch (const std::system_error&) {
            break;  // the threads started judge; without any, the reading thread does
        }
    }
}

JudgingPipeline::~JudgingPipeline() {
    shared_->stop();
}

void JudgingPipeline::addRow(const std::vector<DATAFIELD>& fields) {
    Shared& s = *shared_;
    if (fields.empty()) return;
    if (s.workers.empty()) {
        for (size_t k = 0; k < fields.size(); ++k)
            judgeValue(s.total, k, fields[k].value, fields[k].length, s.rules.kinds);
        return;
    }
    if (!s.filling) s.filling = s.takeBlock();
    s.filling->addRow(fields);
    if (s.filling->bytes() >= s.rules.blockBytes) s.hand();
}

std::vector<ColumnJudgment> JudgingPipeline::finish() {
    Shared& s = *shared_;
    if (s.filling && !s.filling->rowEnds.empty()) s.hand();
    s.filling.reset();
    s.stop();
    return std::move(s.total);
}

}  // namespace analyse_internal

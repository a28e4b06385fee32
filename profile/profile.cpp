// The column profile: one pass over the data file, one accumulator per column.
#include "profile/profile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <strings.h>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "foundation/date.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"
#include "sqliteload/sqlite4fyk.h"

namespace morvex {

namespace {

constexpr const char* kTaskName = "Profil des colonnes";
// Rows between two progress reports.
constexpr long long kReportEvery = 8192;
// HyperLogLog registers: 2^14 of one byte, a standard error near 0.8 %.
constexpr int kHllBits = 14;

std::string_view trimmed(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Characters of a UTF-8 text (bytes that start a character).
int characterCount(std::string_view text) {
    int n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

// A value as kept for a person to read: cut at PROFILE_EXAMPLE_CHARS characters.
std::string example(std::string_view text) {
    const size_t limit = PROFILE_EXAMPLE_CHARS * 4;
    if (text.size() <= PROFILE_EXAMPLE_CHARS) return std::string(text);
    std::string_view head = text.substr(0, std::min(text.size(), limit));
    // Cut after the PROFILE_EXAMPLE_CHARS-th character, never inside one.
    size_t at = 0;
    int chars = 0;
    while (at < head.size() && chars < PROFILE_EXAMPLE_CHARS) {
        size_t len = utf8CharLength(head, at, Utf8End::Prefix);
        at += len == 0 ? 1 : len;
        ++chars;
    }
    if (at >= text.size()) return std::string(text);
    return std::string(text.substr(0, at)) + "…";
}

// A 64-bit hash of a value's bytes, with its bits mixed once more so that HyperLogLog may take
// its leading bits.
uint64_t hashOf(std::string_view text) {
    uint64_t h = std::hash<std::string_view>{}(text);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int* y, int* m, int* d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

// The different values of a column: their hashes kept in an open-addressed table (which starts
// small and doubles while more than half full) up to PROFILE_EXACT_DISTINCT; past that, the
// hashes go to HyperLogLog registers instead, those held first.
class DistinctCounter {
public:
    void add(uint64_t hash) {
        if (!exact_) {
            addToRegisters(hash);
            return;
        }
        if (slots_.empty()) slots_.assign(16, 0);
        // 0 marks a free slot: a hash of 0 is taken as 1.
        const uint64_t key = hash == 0 ? 1 : hash;
        const size_t mask = slots_.size() - 1;
        for (size_t i = key & mask;; i = (i + 1) & mask) {
            if (slots_[i] == key) return;
            if (slots_[i] == 0) {
                slots_[i] = key;
                break;
            }
        }
        if (++count_ > PROFILE_EXACT_DISTINCT) {
            exact_ = false;
            registers_.assign(size_t{1} << kHllBits, 0);
            for (uint64_t held : slots_)
                if (held != 0) addToRegisters(held);
            std::vector<uint64_t>().swap(slots_);
        } else if (static_cast<size_t>(count_) * 2 > slots_.size()) {
            grow();
        }
    }

    bool exact() const { return exact_; }

    long long count() const {
        if (exact_) return count_;
        const double m = static_cast<double>(registers_.size());
        double sum = 0;
        int zeros = 0;
        for (uint8_t r : registers_) {
            sum += std::ldexp(1.0, -r);
            zeros += r == 0;
        }
        const double alpha = 0.7213 / (1 + 1.079 / m);
        double estimate = alpha * m * m / sum;
        if (estimate <= 2.5 * m && zeros > 0) estimate = m * std::log(m / zeros);
        return std::llround(estimate);
    }

private:
    void addToRegisters(uint64_t hash) {
        const size_t index = hash >> (64 - kHllBits);
        const uint64_t rest = (hash << kHllBits) | (uint64_t{1} << (kHllBits - 1));
        const uint8_t rank = static_cast<uint8_t>(std::countl_zero(rest) + 1);
        if (rank > registers_[index]) registers_[index] = rank;
    }

    void grow() {
        std::vector<uint64_t> old(slots_.size() * 2, 0);
        old.swap(slots_);
        const size_t mask = slots_.size() - 1;
        for (uint64_t key : old) {
            if (key == 0) continue;
            size_t i = key & mask;
            while (slots_[i] != 0) i = (i + 1) & mask;
            slots_[i] = key;
        }
    }

    std::vector<uint8_t> registers_;
    std::vector<uint64_t> slots_;
    long long count_ = 0;
    bool exact_ = true;
};

// The commonest values: exact counts up to PROFILE_EXACT_VALUES different values, then a
// Misra-Gries summary (up to twice that many counters; when full, the median count is taken from
// every counter and the empty ones dropped), whose counts are lower bounds. The counters sit in
// one open-addressed table keyed by the values' hashes; a value's text is kept from its second
// occurrence on (a value seen once is never shown).
class TopCounter {
public:
    TopCounter() : slots_(kFirstSlots) {}

    void add(uint64_t hash, std::string_view value) {
        const uint64_t key = hash == 0 ? 1 : hash;  // 0 marks a free slot
        const size_t mask = slots_.size() - 1;
        size_t i = key & mask;
        while (slots_[i].key != 0 && slots_[i].key != key) i = (i + 1) & mask;
        Slot& slot = slots_[i];
        if (slot.key == key) {
            if (++slot.count == 2 && slot.text == 0) {
                texts_.push_back(example(value));
                slot.text = static_cast<unsigned>(texts_.size()) & 0xFFFF;
            }
            return;
        }
        slot = Slot{key, 1, 0};
        ++used_;
        const size_t limit = exact_ ? PROFILE_EXACT_VALUES : 2 * PROFILE_EXACT_VALUES;
        if (used_ > limit) {
            exact_ = false;
            if (used_ > 2 * PROFILE_EXACT_VALUES) {
                shrink();
                return;
            }
        }
        if (used_ * 2 > slots_.size()) rebuild(slots_.size() * 2, 0);
    }

    bool exact() const { return exact_; }

    // The commonest values seen more than once (in a summary, more than once beyond what they
    // were discounted), commonest first, ties in the order of their values.
    std::vector<ProfileValueCount> top() const {
        std::vector<ProfileValueCount> all;
        for (const Slot& slot : slots_) {
            if (slot.key == 0 || slot.count < 2 || slot.text == 0) continue;
            all.push_back({texts_[slot.text - 1], slot.count});
        }
        auto order = [](const ProfileValueCount& a, const ProfileValueCount& b) {
            return a.count != b.count ? a.count > b.count : a.value < b.value;
        };
        const size_t n = std::min(all.size(), static_cast<size_t>(PROFILE_TOP_VALUES));
        std::partial_sort(all.begin(), all.begin() + static_cast<long>(n), all.end(), order);
        all.resize(n);
        return all;
    }

private:
    // 16 bytes, so that the table stays small enough for the processor's caches.
    struct Slot {
        uint64_t key = 0;
        long long count : 48 = 0;
        unsigned text : 16 = 0;  // 1 + index in texts_ (at most 2 * PROFILE_EXACT_VALUES + 1),
                                 // 0: not kept
    };
    static_assert(2 * PROFILE_EXACT_VALUES + 1 < 65536);
    // Powers of two: the table starts small (a column of few values costs little) and doubles
    // while more than half full, up to twice the most counters.
    static constexpr size_t kFirstSlots = 64;
    static constexpr size_t kSlots = 4 * PROFILE_EXACT_VALUES;

    // Takes the median count from every counter and keeps the counters left above zero.
    void shrink() {
        std::vector<long long> counts;
        counts.reserve(used_);
        for (const Slot& slot : slots_)
            if (slot.key != 0) counts.push_back(slot.count);
        auto middle = counts.begin() + static_cast<long>(counts.size() / 2);
        std::nth_element(counts.begin(), middle, counts.end());
        rebuild(slots_.size(), *middle);
    }

    // The table again with `size` slots, `cut` taken from every count (the counters left at
    // zero or below dropped).
    void rebuild(size_t size, long long cut) {
        std::vector<Slot> old(std::min(size, kSlots));
        old.swap(slots_);
        std::vector<std::string> oldTexts;
        oldTexts.swap(texts_);
        used_ = 0;
        const size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.key == 0 || slot.count <= cut) continue;
            size_t i = slot.key & mask;
            while (slots_[i].key != 0) i = (i + 1) & mask;
            slots_[i] = Slot{slot.key, slot.count - cut, 0};
            if (slot.text != 0) {
                texts_.push_back(std::move(oldTexts[slot.text - 1]));
                slots_[i].text = static_cast<unsigned>(texts_.size()) & 0xFFFF;
            }
            ++used_;
        }
    }

    std::vector<Slot> slots_;
    std::vector<std::string> texts_;
    size_t used_ = 0;
    bool exact_ = true;
};

// A histogram of PROFILE_HISTOGRAM_BINS bins over [origin, origin + bins * width): a value
// outside doubles the width (two bins merged into one) towards its side until it falls in.
class Histogram {
public:
    explicit Histogram(double firstWidth) : width_(firstWidth), bins_(PROFILE_HISTOGRAM_BINS, 0) {}

    void add(double v) {
        if (!started_) {
            origin_ = std::floor(v / width_) * width_;
            started_ = true;
        }
        const int n = PROFILE_HISTOGRAM_BINS;
        while (v >= origin_ + n * width_) {
            for (int i = 0; i < n / 2; ++i) bins_[i] = bins_[2 * i] + bins_[2 * i + 1];
            std::fill(bins_.begin() + n / 2, bins_.end(), 0);
            width_ *= 2;
        }
        while (v < origin_) {
            for (int i = n / 2 - 1; i >= 0; --i)
                bins_[n / 2 + i] = bins_[2 * i] + bins_[2 * i + 1];
            std::fill(bins_.begin(), bins_.begin() + n / 2, 0);
            origin_ -= n * width_;
            width_ *= 2;
        }
        int i = static_cast<int>((v - origin_) / width_);
        bins_[std::clamp(i, 0, n - 1)]++;
    }

    // The bins from the first occupied one to the last.
    std::vector<ProfileBin> bins() const {
        std::vector<ProfileBin> out;
        int first = 0;
        int last = PROFILE_HISTOGRAM_BINS - 1;
        while (first <= last && bins_[first] == 0) ++first;
        while (last >= first && bins_[last] == 0) --last;
        for (int i = first; i <= last; ++i)
            out.push_back({origin_ + i * width_, origin_ + (i + 1) * width_, bins_[i]});
        return out;
    }

private:
    double origin_ = 0;
    double width_;
    bool started_ = false;
    std::vector<long long> bins_;
};

// Everything gathered about one column while the file is read.
struct ColumnAccumulator {
    explicit ColumnAccumulator(const ColumnDesc* c)
        : column(c),
          kind(PROFILE_KindOf(c->typeCible.type)),
          histogram(kind == ProfileKind::Decimal ? 1.0 / 128 : 1.0) {
        const TypeCible& t = c->typeCible;
        if (t.type == DATATYPE_FIXEDCHAR) maxChars = t.fmtChaineFixe.taille;
        if (t.type == DATATYPE_VARIABLECHAR) maxChars = t.fmtChaineVar.tailleMax;
    }

    void misfit(std::string_view value) {
        ++misfits;
        if (static_cast<int>(misfitExamples.size()) >= PROFILE_MISFIT_EXAMPLES) return;
        std::string shown = example(value);
        if (std::find(misfitExamples.begin(), misfitExamples.end(), shown) == misfitExamples.end())
            misfitExamples.push_back(std::move(shown));
    }

    void number(double v) {
        if (!anyNumber || v < minimum) minimum = v;
        if (!anyNumber || v > maximum) maximum = v;
        anyNumber = true;
        histogram.add(v);
    }

    void add(std::string_view raw) {
        const std::string_view value = trimmed(raw);
        if (value.empty()) {
            ++empty;
            return;
        }
        if (value.size() == 4 && strncasecmp(value.data(), "null", 4) == 0) {
            ++nulls;
            return;
        }
        const uint64_t hash = hashOf(raw);
        distinct.add(hash);
        top.add(hash, raw);
        const int chars = characterCount(raw);
        const size_t lengthClass = static_cast<size_t>(std::min(chars, PROFILE_MAX_LENGTH_CLASS));
        if (lengthClass >= lengths.size()) lengths.resize(lengthClass + 1, 0);
        lengths[lengthClass]++;
        totalLength += chars;
        minLength = values == 0 ? chars : std::min(minLength, chars);
        maxLength = std::max(maxLength, chars);
        ++values;
        switch (kind) {
            case ProfileKind::Integer:
            case ProfileKind::Decimal:
                GenerateValueForData(column, raw.data(), static_cast<int>(raw.size()), &converted);
                if (converted.notTyped || converted.sqliteType == SQLITE_NULL) {
                    misfit(raw);
                } else if (converted.sqliteType == SQLITE_INTEGER) {
                    if (!anyNumber || converted.integer < minInteger) minInteger = converted.integer;
                    if (!anyNumber || converted.integer > maxInteger) maxInteger = converted.integer;
                    number(static_cast<double>(converted.integer));
                } else {
                    number(converted.real);
                }
                break;
            case ProfileKind::Date:
            case ProfileKind::DateTime: {
                const bool withTime = kind == ProfileKind::DateTime;
                const TypeCible& t = column->typeCible;
                MYDATETIME d{};
                if (!DATETIME_ReadValid(value, withTime ? t.fmtDateTime : t.fmtDate, withTime, &d)) {
                    misfit(raw);
                    break;
                }
                const double days = static_cast<double>(
                    daysFromCivil(d.annee, static_cast<unsigned>(d.mois), static_cast<unsigned>(d.jour)));
                number(withTime ? days * 86400 + d.heure * 3600 + d.minute * 60 + d.seconde +
                                      d.milliseconde / 1000.0
                                : days);
                break;
            }
            case ProfileKind::Text:
                if (maxChars > 0 && chars > maxChars) misfit(raw);
                if (!anyText || raw < minText) minText.assign(raw);
                if (!anyText || raw > maxText) maxText.assign(raw);
                anyText = true;
                break;
        }
    }

    ColumnProfile result(long long rows) const {
        ColumnProfile p;
        p.name = column->code;
        p.type = column->typeCible.type;
        p.kind = kind;
        p.rows = rows;
        p.empty = empty + (rows - empty - nulls - values);  // missing fields count as empty
        p.nulls = nulls;
        p.values = values;
        p.distinct = distinct.count();
        p.distinctExact = distinct.exact();
        p.top = top.top();
        p.topExact = top.exact();
        p.lengths = lengths;  // up to the longest value's class
        p.minLength = minLength;
        p.maxLength = maxLength;
        p.meanLength = values > 0 ? static_cast<double>(totalLength) / values : 0;
        p.misfits = misfits;
        p.misfitExamples = misfitExamples;
        if (kind == ProfileKind::Text) {
            if (anyText) {
                p.minimum = example(minText);
                p.maximum = example(maxText);
            }
            return p;
        }
        if (!anyNumber) return p;
        p.minimumNumber = minimum;
        p.maximumNumber = maximum;
        p.histogram = histogram.bins();
        if (kind == ProfileKind::Decimal) {
            const int scale = std::clamp(column->typeCible.fmtDecimal.partieDecimale, 0, 17);
            p.minimum = Format("%.*f", scale, minimum);
            p.maximum = Format("%.*f", scale, maximum);
        } else if (kind == ProfileKind::Integer) {
            p.minimum = Format("%lld", minInteger);
            p.maximum = Format("%lld", maxInteger);
        } else {
            p.minimum = PROFILE_BoundText(kind, minimum);
            p.maximum = PROFILE_BoundText(kind, maximum);
        }
        return p;
    }

    const ColumnDesc* column;
    ProfileKind kind;
    int maxChars = 0;  // the declared size of a text column (0: none)
    long long empty = 0;
    long long nulls = 0;
    long long values = 0;
    long long misfits = 0;
    std::vector<std::string> misfitExamples;
    DistinctCounter distinct;
    TopCounter top;
    Histogram histogram;
    std::vector<long long> lengths;  // grown up to the longest class met
    long long totalLength = 0;
    int minLength = 0;
    int maxLength = 0;
    bool anyNumber = false;
    double minimum = 0;
    double maximum = 0;
    long long minInteger = 0;
    long long maxInteger = 0;
    bool anyText = false;
    std::string minText;
    std::string maxText;
    SQLITE4FYK_VALUE converted;  // reused from one value to the next
};

void reportProgress(TASK* task, long long rows, DATAFILE* reader) {
    const double size = DATAFILE_GetFileSize(reader);
    const double read = DATAFILE_GetReadBytes(reader);
    const double percent = size > 0 ? std::min(100.0, 100.0 * read / size) : 100.0;
    const std::string text = Format("%lld lignes lues... (%.0f%%)", rows, percent);
    TASK_Report(task, TASK_EVENT_PROGRESS, 100, static_cast<int>(percent), text.c_str());
}

using ReaderPtr = std::unique_ptr<DATAFILE, int (*)(DATAFILE*)>;

struct ProfileTaskData {
    FileDesc* desc;
    std::string path;
    FileProfile* out;
};

void profileWorker(TASK* task) {
    if (task == nullptr || task->parameter == nullptr) return;
    auto* data = static_cast<ProfileTaskData*>(task->parameter);
    if (PROFILE_Compute(task, data->desc, data->path.c_str(), data->out)) {
        const std::string text = Format("%lld lignes profilées.", data->out->rows);
        TASK_Report(task, TASK_EVENT_FINISHED, 1, 1, text.c_str());
    } else if (TASK_IsStopRequested(task)) {
        TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100, "Tâche interrompue par l'utilisateur.");
    } else {
        TASK_Report(task, TASK_EVENT_NOT_STARTED, 100, 0, data->out->failure.c_str());
    }
}

}  // namespace

ProfileKind PROFILE_KindOf(int type) {
    switch (type) {
        case DATATYPE_INTEGER:
        case DATATYPE_BOOLEAN:
            return ProfileKind::Integer;
        case DATATYPE_DECIMAL:
            return ProfileKind::Decimal;
        case DATATYPE_DATE:
            return ProfileKind::Date;
        case DATATYPE_DATETIME:
            return ProfileKind::DateTime;
        default:
            return ProfileKind::Text;
    }
}

std::string PROFILE_BoundText(ProfileKind kind, double bound) {
    if (kind == ProfileKind::Date || kind == ProfileKind::DateTime) {
        const double seconds = kind == ProfileKind::DateTime ? bound : bound * 86400;
        const long long whole = static_cast<long long>(std::floor(seconds));
        long long days = whole >= 0 ? whole / 86400 : -((-whole + 86399) / 86400);
        const long long inDay = whole - days * 86400;
        int y = 0, m = 0, d = 0;
        civilFromDays(days, &y, &m, &d);
        if (kind == ProfileKind::Date) return Format("%04d-%02d-%02d", y, m, d);
        return Format("%04d-%02d-%02d %02lld:%02lld:%02lld", y, m, d, inDay / 3600,
                      inDay / 60 % 60, inDay % 60);
    }
    if (kind == ProfileKind::Integer) return Format("%.0f", bound);
    return Format("%.6g", bound);
}

bool PROFILE_Compute(TASK* task, FileDesc* desc, const char* path, FileProfile* out) {
    if (out == nullptr) return false;
    *out = FileProfile{};
    if (desc == nullptr || path == nullptr) {
        out->failure = "Aucune description de fichier ou aucun fichier n'est défini.";
        return false;
    }
    out->description = desc->TableName[0] != '\0' ? desc->TableName : desc->ProjectName;
    out->dataPath = path;
    std::vector<std::unique_ptr<ColumnAccumulator>> columns;
    for (const ColumnOwner& column : desc->columns)
        columns.push_back(std::make_unique<ColumnAccumulator>(column.get()));
    DATAFILE_DIALECT dialect;
    if (std::string refusal = FILEDESC_MakeDialect(desc, dialect); !refusal.empty()) {
        out->failure = refusal;
        return false;
    }
    ReaderPtr reader(DATAFILE_NewIterator(dialect, path, DATAFILE_LINE_LIMIT, 0),
                     DATAFILE_DestroyIterator);
    if (!reader || DATAFILE_Init(reader.get()) != 0) {
        out->failure = reader && reader->failure ? reader->failure
                                                 : "Le fichier de données ne peut pas être lu.";
        return false;
    }
    std::vector<DATAFIELD> fields;
    long long rows = 0;
    bool stopped = false;
    while (DATAFILE_ReadNextFields(reader.get(), fields)) {
        if (TASK_IsStopRequested(task)) {
            stopped = true;
            break;
        }
        ++rows;
        if (reader->lineTooLong || reader->rowEncodingError || reader->rowUnclosedQuote)
            ++out->badRows;
        // The reader gives the fields in the order of the columns.
        for (size_t i = 0; i < fields.size(); ++i) {
            const DATAFIELD& field = fields[i];
            ColumnAccumulator* a =
                field.columnIndex >= 0 && static_cast<size_t>(field.columnIndex) < columns.size()
                    ? columns[field.columnIndex].get()
                    : nullptr;
            if (a != nullptr)
                a->add(std::string_view(field.value, static_cast<size_t>(field.length)));
        }
        if (rows % kReportEvery == 0) reportProgress(task, rows, reader.get());
    }
    out->rows = rows;
    out->blankLines = reader->blankLines;
    for (const auto& a : columns) out->columns.push_back(a->result(rows));
    if (stopped) {
        out->failure = "Tâche interrompue par l'utilisateur.";
        return false;
    }
    if (reader->fileChanged) {
        out->failure = reader->failure ? reader->failure
                                       : "Le fichier de données a changé pendant la lecture.";
        return false;
    }
    reportProgress(task, rows, reader.get());
    out->complete = true;
    trace("\n[PROFILE_Compute] %lld lignes, %zu colonnes : %s", rows, out->columns.size(), path);
    return true;
}

bool PROFILE_Run(FileDesc* desc, const char* path, FileProfile* out) {
    if (out == nullptr) return false;
    if (desc == nullptr || path == nullptr) {
        *out = FileProfile{};
        out->failure = "Aucune description de fichier ou aucun fichier n'est défini.";
        return false;
    }
    ProfileTaskData data{desc, path, out};
    out->failure = "La tâche n'a pas pu démarrer.";
    TASKSLIST* list = TASKSLIST_Create();
    if (list == nullptr) return false;
    TASK* task = TASK_Create(kTaskName, profileWorker, &data);
    if (task == nullptr || TASKSLIST_AddTask(list, task) != 0) {
        TASK_Destroy(task);
        TASKSLIST_Destroy(list);
        return false;
    }
    uiPort().runTasks(list);
    TASKSLIST_Destroy(list);
    return out->complete;
}

}  // namespace morvex

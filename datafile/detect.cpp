// Guesses of encoding, end of line and delimiter over a file's first bytes.
#include "datafile/detect.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <set>
#include <string_view>
#include <strings.h>
#include <vector>

#include "datafile/bytesource.h"
#include "datafile/fixedwidth.h"
#include "datafile/dialect.h"
#include "foundation/inputfile.h"
#include "foundation/utf8.h"

namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, strlen(prefix), prefix) == 0;
}

// What the lines of a sample say of UTF-8: lines holding valid sequences beyond ASCII, and the
// numbers of the lines holding an invalid one. A line ends at LF, or at a CR not before LF.
struct Utf8Census {
    int validNonAsciiLines = 0;
    std::vector<int> invalidLines;
};

Utf8Census utf8Census(const std::string& s, morvex::Utf8End end) {
    Utf8Census census;
    int line = 1;
    bool nonAscii = false;
    bool invalid = false;
    auto endLine = [&] {
        if (invalid) census.invalidLines.push_back(line);
        else if (nonAscii) ++census.validNonAsciiLines;
        ++line;
        nonAscii = invalid = false;
    };
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == '\n' || (c == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n'))) endLine();
            ++i;
            continue;
        }
        const size_t len = morvex::utf8CharLength(s, i, end);
        if (len == 0) {
            invalid = true;
            ++i;
        } else {
            nonAscii = true;
            i += len;
        }
    }
    if (nonAscii || invalid) endLine();
    return census;
}

// "UTF-16LE" or "UTF-16BE" when `sample` is UTF-16: by its byte order mark, or without one
// when a zero byte stands beside nearly every character of the first kilobytes, always on the
// same side (text of the Latin scripts); nullptr otherwise.
const char* utf16Encoding(const std::string& sample) {
    if (startsWith(sample, "\xFF\xFE")) return "UTF-16LE";
    if (startsWith(sample, "\xFE\xFF")) return "UTF-16BE";
    const size_t look = std::min<size_t>(sample.size() & ~size_t{1}, 4096);
    if (look < 4) return nullptr;
    size_t zeroEven = 0;
    size_t zeroOdd = 0;
    for (size_t i = 0; i < look; i += 2) {
        zeroEven += sample[i] == '\0';
        zeroOdd += sample[i + 1] == '\0';
    }
    const size_t pairs = look / 2;
    if (zeroOdd * 10 >= pairs * 6 && zeroEven * 20 <= pairs) return "UTF-16LE";
    if (zeroEven * 10 >= pairs * 6 && zeroOdd * 20 <= pairs) return "UTF-16BE";
    return nullptr;
}

// One field of a record as the splitter finds it: its bytes in the text, protecting
// characters included.
struct FieldSpan {
    size_t begin;
    size_t end;
};

// Splits the records of `text` at `delim` (one or more bytes; empty: one field a record) and
// `eol`, as RFC 4180 readers do: a field that begins with `quote` (0: none) is protected up to
// its closing one, a doubled one inside standing for itself, and may hold delimiters and line
// ends; `quote` elsewhere in a field is text. Empty lines are not records; a record cut by the
// text's end is left out. `onRecord(fields, end)` gets each record's fields and the offset
// just past it; it returns false to stop. At most DATAFILE_SAMPLE_RECORDS records.
template <typename OnRecord>
void splitRecords(const std::string& text, std::string_view eol, std::string_view delim,
                  char quote, OnRecord&& onRecord) {
    std::vector<FieldSpan> fields;
    int records = 0;
    size_t fieldStart = 0;
    size_t i = 0;
    const size_t n = text.size();
    const char eol0 = eol.empty() ? '\n' : eol[0];
    const char delim0 = delim.empty() ? '\0' : delim[0];
    auto at = [&text, n](size_t pos, std::string_view what) {
        return pos + what.size() <= n && text.compare(pos, what.size(), what.data(), what.size()) == 0;
    };
    while (i < n && records < DATAFILE_SAMPLE_RECORDS) {
        const char c = text[i];
        if (i == fieldStart && quote != '\0' && c == quote) {
            // Protected: up to the closing character, a doubled one standing for itself.
            size_t j = i + 1;
            for (;;) {
                const void* q = memchr(text.data() + j, quote, n - j);
                if (!q) return;  // cut by the sample's end: the record is not whole
                j = static_cast<size_t>(static_cast<const char*>(q) - text.data());
                if (j + 1 < n && text[j + 1] == quote) {
                    j += 2;
                    continue;
                }
                break;
            }
            i = j + 1;
            continue;
        }
        if (!delim.empty() && c == delim0 && at(i, delim)) {
            fields.push_back({fieldStart, i});
            i += delim.size();
            fieldStart = i;
            continue;
        }
        if (c == eol0 && at(i, eol.empty() ? std::string_view("\n") : eol)) {
            const size_t eolSize = eol.empty() ? 1 : eol.size();
            if (!fields.empty() || i > fieldStart) {
                fields.push_back({fieldStart, i});
                ++records;
                if (!onRecord(fields, i + eolSize)) return;
            }
            fields.clear();
            i += eolSize;
            fieldStart = i;
            continue;
        }
        ++i;
    }
    // The last line without its end is whole only when the text is the whole file; a sample
    // that filled its size may have been cut inside it.
    if (i >= n && (!fields.empty() || n > fieldStart) && records < DATAFILE_SAMPLE_RECORDS &&
        n < DATAFILE_SAMPLE_SIZE) {
        fields.push_back({fieldStart, n});
        onRecord(fields, n);
    }
}

// The text of a field: its protecting characters removed and doubled ones made single when it
// begins with `quote`, blanks around it trimmed.
std::string cellText(const std::string& text, FieldSpan f, char quote) {
    std::string_view v(text.data() + f.begin, f.end - f.begin);
    std::string out;
    if (quote != '\0' && !v.empty() && v.front() == quote) {
        v.remove_prefix(1);
        if (!v.empty() && v.back() == quote) v.remove_suffix(1);
        out.reserve(v.size());
        for (size_t k = 0; k < v.size(); ++k) {
            out += v[k];
            if (v[k] == quote && k + 1 < v.size() && v[k + 1] == quote) ++k;
        }
    } else {
        out.assign(v);
    }
    const size_t first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

// The kind of a cell, as the header guess compares them.
enum class CellKind {
    Empty,   // nothing, or a word that stands for no value (NA, NULL, N/A, -)
    Number,  // an integer or a decimal, signed, with a point or a comma, an exponent
    Date,    // digits with date or time separators (2024-03-01, 01/03/2024 12:00)
    Text,    // anything else
};

bool isMissingWord(const std::string& v) {
    static const char* const words[] = {"na", "n/a", "nan", "null", "none", "-", "?", "."};
    for (const char* w : words)
        if (strcasecmp(v.c_str(), w) == 0) return true;
    return false;
}

CellKind kindOf(const std::string& v) {
    if (v.empty() || isMissingWord(v)) return CellKind::Empty;
    size_t i = v[0] == '+' || v[0] == '-' ? 1 : 0;
    size_t digits = 0;
    while (i < v.size() && isdigit(static_cast<unsigned char>(v[i]))) ++i, ++digits;
    if (i < v.size() && (v[i] == '.' || v[i] == ',')) {
        ++i;
        while (i < v.size() && isdigit(static_cast<unsigned char>(v[i]))) ++i, ++digits;
    }
    if (digits > 0 && i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        size_t j = i + 1;
        if (j < v.size() && (v[j] == '+' || v[j] == '-')) ++j;
        const size_t from = j;
        while (j < v.size() && isdigit(static_cast<unsigned char>(v[j]))) ++j;
        if (j > from) i = j;
    }
    if (digits > 0 && i == v.size()) return CellKind::Number;
    // Dates and times: digits and separators only, starting with a digit, at least two
    // separators among - / . : and no letters but a T between date and time.
    if (!isdigit(static_cast<unsigned char>(v[0]))) return CellKind::Text;
    int separators = 0;
    for (char c : v) {
        if (isdigit(static_cast<unsigned char>(c))) continue;
        if (c == '-' || c == '/' || c == '.' || c == ':') {
            ++separators;
            continue;
        }
        if (c == ' ' || c == 'T' || c == 'Z') continue;
        return CellKind::Text;
    }
    return separators >= 2 ? CellKind::Date : CellKind::Text;
}

bool isInteger(const std::string& v) {
    size_t i = v[0] == '+' || v[0] == '-' ? 1 : 0;
    if (i >= v.size()) return false;
    for (; i < v.size(); ++i)
        if (!isdigit(static_cast<unsigned char>(v[i]))) return false;
    return true;
}

std::string lowerAscii(std::string v) {
    for (char& c : v) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return v;
}

// The bytes of a line end's text notation.
std::string lineEndBytes(const std::string& notation) {
    return DATAFILE_NotationBytes(notation, DATAFILE_LINE_END_MAX);
}

// The bytes of a delimiter's text notation.
std::string delimiterBytes(const std::string& notation) {
    return DATAFILE_NotationBytes(notation, DATAFILE_DELIMITER_MAX);
}

// A value's shape: each digit as 9, each ASCII capital as A, each small letter as a, any other
// byte as itself.
std::string shapeOf(const std::string& v) {
    std::string shape(v);
    for (char& c : shape) {
        const unsigned char u = static_cast<unsigned char>(c);
        c = isdigit(u) ? '9' : (u >= 'A' && u <= 'Z') ? 'A' : (u >= 'a' && u <= 'z') ? 'a' : c;
    }
    return shape;
}

}  // namespace

std::string DATAFILE_ReadSample(const char* path) {
    // A compressed file's sample is of its text.
    return morvex::readTextSample(path, DATAFILE_SAMPLE_SIZE);
}

const char* DATAFILE_DetectBinary(const std::string& sample) {
    static const struct {
        const char* magic;
        size_t size;
        const char* kind;
    } signatures[] = {
        {"\x1F\x8B", 2, "gzip"},
        {"\x28\xB5\x2F\xFD", 4, "zstd"},
        {"\xFD\x37\x7A\x58\x5A\x00", 6, "xz"},
        {"BZh", 3, "bzip2"},
        {"PK\x03\x04", 4, "zip"},
        {"7z\xBC\xAF\x27\x1C", 6, "7z"},
        {"SQLite format 3\0", 16, "SQLite"},
        {"%PDF-", 5, "PDF"},
        {"\x89PNG", 4, "PNG"},
        {"\xFF\xD8\xFF", 3, "JPEG"},
        {"\x7F" "ELF", 4, "ELF"},
        {"RIFF", 4, "RIFF"},
        {"\x93NUMPY", 6, "NumPy"},
        {"RDX", 3, "R"},
    };
    for (const auto& sig : signatures)
        if (sample.size() >= sig.size && memcmp(sample.data(), sig.magic, sig.size) == 0)
            return sig.kind;
    if (utf16Encoding(sample)) return nullptr;
    const size_t zeros = static_cast<size_t>(std::count(sample.begin(), sample.end(), '\0'));
    if (zeros >= 8 && zeros * 100 > sample.size()) return "octets nuls";
    // Compressed or packed data without a signature: control characters that no text holds
    // (tab, line ends, form feed and escape aside) in one byte of twenty or more.
    const size_t controls = static_cast<size_t>(std::count_if(sample.begin(), sample.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1B;
    }));
    return controls >= 16 && controls * 20 > sample.size() ? "octets de contrôle" : nullptr;
}

const char* DATAFILE_DetectEncoding(const std::string& sample, std::vector<int>* invalidLines) {
    if (invalidLines) invalidLines->clear();
    if (startsWith(sample, "\xEF\xBB\xBF")) return "UTF-8";
    if (const char* utf16 = utf16Encoding(sample)) return utf16;
    // A sample that filled its size may stop inside a character that the file completes; a
    // shorter one is the whole file, which then ends inside a character.
    const morvex::Utf8End end =
        sample.size() >= DATAFILE_SAMPLE_SIZE ? morvex::Utf8End::Prefix : morvex::Utf8End::Whole;
    Utf8Census census = utf8Census(sample, end);
    const int invalid = static_cast<int>(census.invalidLines.size());
    if (invalid == 0) return "UTF-8";
    // A few broken lines among many in UTF-8: the file is UTF-8 and those lines are told,
    // rather than every accented letter of the others garbled by a single-byte reading.
    if (census.validNonAsciiLines > 0 && invalid * 4 <= census.validNonAsciiLines) {
        if (invalidLines) *invalidLines = std::move(census.invalidLines);
        return "UTF-8";
    }
    return "WINDOWS-1252";
}

std::string DATAFILE_SampleToUtf8(const std::string& sample, const char* encoding) {
    if (!encoding || !encoding[0]) return sample;
    if (strcmp(encoding, "UTF-8") == 0)
        return startsWith(sample, "\xEF\xBB\xBF") ? sample.substr(3) : sample;
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) return sample;
    std::string out(sample.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(sample.data());
    size_t inLeft = sample.size();
    char* to = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &to, &outLeft);  // stops at the first sequence it cannot take
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    if (startsWith(out, "\xEF\xBB\xBF")) out.erase(0, 3);
    return out;
}

const char* DATAFILE_DetectEndOfLine(const std::string& text) {
    const size_t at = text.find_first_of("\r\n");
    if (at == std::string::npos) return nullptr;
    if (text[at] == '\n') return "\\n";
    // A CR cut by the sample's end cannot tell CR from CR LF: CR LF is the likelier.
    if (at + 1 >= text.size() || text[at + 1] == '\n') return "\\r\\n";
    return "\\r";
}

const char* DATAFILE_DetectDelimiter(const std::string& text, const char* endOfLine, char quote) {
    static const struct {
        char c;
        const char* notation;
    } candidates[] = {{';', ";"}, {',', ","}, {'\t', "\\t"}, {'|', "|"}};
    const std::string eol = endOfLine && endOfLine[0] ? endOfLine : "\n";
    const char* best = nullptr;
    double bestScore = 0;
    for (const auto& cand : candidates) {
        if (text.find(cand.c) == std::string::npos) continue;
        std::map<size_t, int> frequency;  // fields -> records
        int records = 0;
        size_t covered = 0;  // bytes of the text up to the end of the last whole record
        splitRecords(text, eol, std::string_view(&cand.c, 1), quote,
                     [&](const std::vector<FieldSpan>& fields, size_t end) {
                         ++frequency[fields.size()];
                         ++records;
                         covered = end;
                         return true;
                     });
        size_t commonest = 0;
        int commonestRecords = 0;
        for (const auto& [fields, count] : frequency) {
            if (count >= commonestRecords) {  // a tie goes to the larger count
                commonest = fields;
                commonestRecords = count;
            }
        }
        if (commonest < 2 || records == 0) continue;
        const double score = static_cast<double>(commonestRecords) / records *
                             static_cast<double>(covered) / static_cast<double>(text.size());
        if (score > bestScore + 1e-9) {
            bestScore = score;
            best = cand.notation;
        }
    }
    return best;
}

char DATAFILE_DetectQuote(const std::string& text, const char* endOfLine, const char* delimiter) {
    if (!delimiter || !delimiter[0]) return '\0';
    const std::string eol = endOfLine && endOfLine[0] ? endOfLine : "\n";
    const std::string_view delim(delimiter);
    // A field wholly between the character, such as "Paris" (at least its two characters).
    auto enclosed = [&text](FieldSpan f, char q) {
        return f.end - f.begin >= 2 && text[f.begin] == q && text[f.end - 1] == q;
    };
    bool doubleQuoted = false;
    splitRecords(text, eol, delim, '"', [&](const std::vector<FieldSpan>& fields, size_t) {
        for (const FieldSpan& f : fields)
            if (enclosed(f, '"')) doubleQuoted = true;
        return !doubleQuoted;
    });
    if (doubleQuoted) return '"';
    // The apostrophe is also a letter of names (O'Brien): it must enclose fields on many lines.
    int records = 0;
    int recordsQuoted = 0;
    splitRecords(text, eol, delim, '\'', [&](const std::vector<FieldSpan>& fields, size_t) {
        ++records;
        for (const FieldSpan& f : fields) {
            if (enclosed(f, '\'')) {
                ++recordsQuoted;
                break;
            }
        }
        return true;
    });
    return records > 0 && recordsQuoted * 2 >= records ? '\'' : '\0';
}

int DATAFILE_DetectHeader(const std::string& text, const char* endOfLine, const char* delimiter,
                          char quote) {
    const std::string eol = endOfLine && endOfLine[0] ? endOfLine : "\n";
    std::vector<std::string> first;
    // Per column: kinds of the values below the first record, their lengths, their texts.
    struct Column {
        int numbers = 0, decimals = 0, dates = 0, texts = 0;
        size_t minLength = SIZE_MAX, maxLength = 0;
        bool repeatsHeader = false;     // a value below is the first record's cell itself
        std::string shape;              // the values' shape (shapeOf), while they all have one
        bool oneShape = true;
    };
    std::vector<Column> columns;
    int records = 0;
    splitRecords(text, eol, delimiter ? std::string_view(delimiter) : std::string_view(), quote,
                 [&](const std::vector<FieldSpan>& fields, size_t) {
                     if (records++ == 0) {
                         for (const FieldSpan& f : fields) first.push_back(cellText(text, f, quote));
                         columns.resize(first.size());
                         return true;
                     }
                     for (size_t c = 0; c < fields.size() && c < columns.size(); ++c) {
                         const std::string v = cellText(text, fields[c], quote);
                         Column& col = columns[c];
                         switch (kindOf(v)) {
                             case CellKind::Empty:
                                 continue;
                             case CellKind::Number:
                                 ++col.numbers;
                                 col.decimals += !isInteger(v);
                                 break;
                             case CellKind::Date:
                                 ++col.dates;
                                 break;
                             case CellKind::Text:
                                 ++col.texts;
                                 break;
                         }
                         col.minLength = std::min(col.minLength, v.size());
                         col.maxLength = std::max(col.maxLength, v.size());
                         if (v == first[c]) col.repeatsHeader = true;
                         if (col.oneShape) {
                             std::string shape = shapeOf(v);
                             if (col.shape.empty())
                                 col.shape = std::move(shape);
                             else
                                 col.oneShape = shape == col.shape;
                         }
                     }
                     return true;
                 });
    if (first.empty()) return 0;
    // Whole numbers growing from one name to the next (years, 1 to n) are names over numbers.
    bool growing = true;
    long long previous = LLONG_MIN;
    int numericNames = 0;
    for (const std::string& h : first) {
        if (kindOf(h) != CellKind::Number) continue;
        ++numericNames;
        const long long n = isInteger(h) ? strtoll(h.c_str(), nullptr, 10) : LLONG_MIN;
        if (n == LLONG_MIN || n <= previous) growing = false;
        previous = n;
    }
    growing = growing && numericNames >= 3;
    int votes = 0;
    int against = 0;
    for (size_t c = 0; c < first.size(); ++c) {
        const Column& col = columns[c];
        const std::string& h = first[c];
        const CellKind kind = kindOf(h);
        const int values = col.numbers + col.dates + col.texts;
        if (values == 0 || kind == CellKind::Empty) continue;
        if (col.texts == 0 && col.dates == 0) {  // a column of numbers
            if (kind == CellKind::Text || kind == CellKind::Date) ++votes;
            // A whole number over decimals (a year over amounts) says nothing.
            else if (!(col.decimals > 0 && isInteger(h))) ++against;
        } else if (col.texts == 0 && col.numbers == 0) {  // a column of dates
            if (kind == CellKind::Date) ++against;
            else ++votes;
        } else if (col.numbers == 0 && col.dates == 0 && values >= 2) {  // texts
            if (col.minLength == col.maxLength && h.size() != col.minLength) ++votes;
            // Codes of one shape mixing letters and digits (ENSG00000215688): a first cell of
            // that very shape is one more code, not a name.
            else if (values >= 3 && col.oneShape && col.shape.find('9') != std::string::npos &&
                     shapeOf(h) == col.shape)
                ++against;
        }
    }
    if (growing && votes > 0) against = 0;
    votes -= against;
    if (votes != 0) return votes > 0 ? 1 : 0;
    // Nothing tells the first record from the others: names are unique, present (but perhaps
    // the first, over row names) and not values of their own column.
    if (records == 1) {
        for (const std::string& h : first)
            if (kindOf(h) != CellKind::Text) return 0;
        return 1;
    }
    // Names are words: a first record of numbers and dates alone is data written otherwise than
    // the values below it (0 over 1e-308).
    if (std::none_of(first.begin(), first.end(),
                     [](const std::string& h) { return kindOf(h) == CellKind::Text; }))
        return 0;
    std::vector<std::string> names;
    for (size_t c = 0; c < first.size(); ++c) {
        const std::string h = lowerAscii(first[c]);
        if (h.empty()) continue;
        if (std::find(names.begin(), names.end(), h) != names.end()) return 0;
        if (columns[c].repeatsHeader) return 0;
        names.push_back(h);
    }
    return names.empty() ? 0 : 1;
}

std::string DATAFILE_DetectFixedWidth(const std::string& text, const char* endOfLine,
                                      const char* delimiter) {
    FIXEDWIDTH_LAYOUT layout;
    return DATAFILE_DetectFixedWidth(text, endOfLine, delimiter, layout);
}

std::string DATAFILE_DetectFixedWidth(const std::string& text, const char* endOfLine,
                                      const char* delimiter, FIXEDWIDTH_LAYOUT& layout) {
    layout = FIXEDWIDTH_LAYOUT();
    const std::vector<std::string_view> lines =
        FIXEDWIDTH_SampleLines(text, endOfLine, text.size() >= DATAFILE_SAMPLE_SIZE);
    if (lines.size() < 3) return {};
    // A delimiter found as often in every line is a delimiter, unless it stands at the same
    // places in every line (then the columns say what it is); one missing from some lines is
    // a character of the data.
    bool delimiterEverywhere = false;
    bool samePlaces = true;
    bool sameCount = false;  // as many delimiters in nine lines out of ten
    if (delimiter && delimiter[0]) {
        auto placesOf = [delimiter](std::string_view l) {
            std::vector<size_t> places;
            for (size_t p = l.find(delimiter); p != std::string_view::npos;
                 p = l.find(delimiter, p + 1))
                places.push_back(p);
            return places;
        };
        // The fields of a line between the delimiters that stand outside double quotes.
        const size_t width = strlen(delimiter);
        auto fieldsOf = [delimiter, width](std::string_view l) {
            std::vector<std::string_view> fields;
            bool quoted = false;
            size_t from = 0;
            for (size_t p = 0; p < l.size(); ++p) {
                if (l[p] == '"') quoted = !quoted;
                if (!quoted && l.compare(p, width, delimiter) == 0) {
                    fields.push_back(l.substr(from, p - from));
                    from = p + width;
                    p += width - 1;
                }
            }
            fields.push_back(l.substr(from));
            return fields;
        };
        const std::vector<size_t> reference = placesOf(lines.front());
        size_t with = 0;
        std::map<size_t, size_t> counts;  // lines by their number of fields
        for (std::string_view l : lines) {
            const std::vector<size_t> places = placesOf(l);
            with += !places.empty();
            ++counts[fieldsOf(l).size()];
            if (places != reference) samePlaces = false;
        }
        delimiterEverywhere = with * 10 >= lines.size() * 9;
        // One delimiter or more, as many in nine lines out of ten, and nothing padded between
        // them: fields separated by it, whatever their widths (numbers written with as many
        // digits, a header of other widths above them). Between the delimiters of a
        // fixed-width file's text column ("Alameda County, California        Alameda") stand
        // the blanks that pad its other columns.
        size_t most = 0, mostCount = 0;
        for (const auto& [count, n] : counts)
            if (n > most) most = n, mostCount = count;
        sameCount = mostCount >= 2 && most * 10 >= lines.size() * 9;
        if (sameCount) {
            size_t paddedLines = 0;
            for (std::string_view l : lines) {
                for (std::string_view field : fieldsOf(l)) {
                    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
                    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
                    if (field.find("  ") != std::string_view::npos) {
                        ++paddedLines;
                        break;
                    }
                }
            }
            // Blanks padding the text between them in a tenth of the lines at least: fixed width.
            if (paddedLines * 10 < lines.size()) return {};
        }
    }
    FIXEDWIDTH_LAYOUT found = FIXEDWIDTH_FindColumns(lines);
    if (!FIXEDWIDTH_LooksFixed(found)) return {};
    // Padded values of many lengths with as many delimiters in every line (addresses written
    // with two blanks here and there): fields of a delimited file, which fixed-width lines of
    // a few lengths are not.
    if (sameCount && found.fewLengthsLines * 10 < found.lines * 9) return {};
    // At other places: a delimiter, unless lines of a few lengths show three columns at least,
    // or five (a last column ragged): a comma inside a text column.
    if (delimiterEverywhere && !samePlaces) {
        const bool fewLengths = found.fewLengthsLines * 10 >= found.lines * 9;
        if (found.columns.size() < (fewLengths ? 3u : 5u)) return {};
        // Records, not one text repeated (lines of a quoted value over many lines).
        const std::set<std::string_view> distinct(lines.begin(), lines.end());
        if (distinct.size() * 2 < lines.size()) return {};
        delimiterEverywhere = false;
    }
    if (delimiterEverywhere) {
        // At the same places in every line: a delimiter between fields of equal widths unless
        // some column begins away from it.
        const std::string_view first = lines.front();
        const char d = delimiter[0];
        bool away = false;
        for (const FIXEDWIDTH_COLUMN& c : found.columns) {
            const auto at = static_cast<size_t>(c.start);
            if (c.start > 0 && at < first.size() && first[at - 1] != d && first[at] != d)
                away = true;
        }
        if (!away) return {};
    }
    layout = std::move(found);
    return FIXEDWIDTH_Describe(layout);
}

namespace {

// A delimiter, in text notation, that no line of `text` holds: the lines read with it are one
// value each. A semicolon is found in the texts of files no delimiter splits (lists, codes in
// brackets), so that reading them with the usual one would cut them at random. Empty when the
// text holds every candidate.
std::string wholeLineDelimiter(std::string_view text) {
    static constexpr std::pair<char, const char*> candidates[] = {
        {';', ";"}, {'\t', "\\t"}, {'|', "|"}, {',', ","}, {'\x1f', "#0x1F"}, {'\x1e', "#0x1E"}};
    for (const auto& [byte, notation] : candidates)
        if (text.find(byte) == std::string_view::npos) return notation;
    return {};
}

}  // namespace

DATAFILE_SHAPE DATAFILE_DetectShape(const std::string& sample) {
    return DATAFILE_DetectShape(sample, DATAFILE_SHAPE_GIVEN{});
}

DATAFILE_SHAPE DATAFILE_DetectShape(const std::string& sample, const DATAFILE_SHAPE_GIVEN& given) {
    DATAFILE_SHAPE shape;
    if (const char* binary = DATAFILE_DetectBinary(sample)) {
        shape.binary = binary;
        return shape;
    }
    if (given.encoding.empty())
        shape.encoding = DATAFILE_DetectEncoding(sample, &shape.invalidLines);
    else
        shape.encoding = given.encoding;
    const std::string text = DATAFILE_SampleToUtf8(sample, shape.encoding.c_str());

    std::string eolChars = lineEndBytes(given.endOfLine);
    if (given.endOfLine.empty()) {
        const char* eol = DATAFILE_DetectEndOfLine(text);
        if (eol) shape.endOfLine = eol;
        eolChars = lineEndBytes(eol ? eol : "\\n");
    } else {
        shape.endOfLine = given.endOfLine;
    }

    std::string delimChars = delimiterBytes(given.delimiter);
    const char splitQuote = given.quote > 0 ? static_cast<char>(given.quote) : given.quote == 0 ? '\0' : '"';
    if (given.delimiter.empty()) {
        const char* delimiter = DATAFILE_DetectDelimiter(text, eolChars.c_str(), splitQuote);
        if (delimiter) {
            shape.delimiter = delimiter;
            delimChars = delimiterBytes(delimiter);
        }
    } else {
        shape.delimiter = given.delimiter;
    }

    if (given.quote >= 0) {
        shape.quote = static_cast<char>(given.quote);
    } else if (!delimChars.empty()) {
        shape.quote = DATAFILE_DetectQuote(text, eolChars.c_str(), delimChars.c_str());
        // Apostrophes protect differently from double quotes: split again with them.
        if (shape.quote == '\'' && given.delimiter.empty()) {
            if (const char* again = DATAFILE_DetectDelimiter(text, eolChars.c_str(), '\'')) {
                shape.delimiter = again;
                delimChars = delimiterBytes(again);
            }
        }
    }

    // Fixed-width lines: a delimiter found inside them is a character of the data.
    if (given.delimiter.empty()) {
        shape.fixedWidth = DATAFILE_DetectFixedWidth(text, eolChars.c_str(), delimChars.c_str(),
                                                     shape.fixedLayout);
        if (!shape.fixedWidth.empty()) {
            shape.delimiter.clear();
            delimChars.clear();
            shape.quote = '\0';
            if (given.header < 0) {
                shape.header = shape.fixedLayout.header ? 1 : 0;
                return shape;
            }
        }
    }

    if (given.delimiter.empty() && shape.delimiter.empty() && shape.fixedWidth.empty())
        shape.wholeLineDelimiter = wholeLineDelimiter(text);

    shape.header = given.header >= 0
                       ? given.header
                       : DATAFILE_DetectHeader(text, eolChars.c_str(), delimChars.c_str(), shape.quote);
    return shape;
}

// Guesses of encoding, end of line and delimiter over a file's first bytes.
#include "datafile/detect.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "foundation/utf8.h"

namespace {

// Lines the delimiter guess looks at.
constexpr int DELIMITER_SAMPLE_LINES = 100;

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

// Splits the first lines of `text` at `delim`, a field that begins with `quote` being protected
// up to its closing one; `onField(line, begin, end)` gets each field's bytes (protecting
// characters included), `onLine(fields)` each line's field count. Empty lines are not lines.
template <typename OnField, typename OnLine>
void splitLines(const std::string& text, const std::string& eol, char delim, char quote,
                OnField&& onField, OnLine&& onLine) {
    int lines = 0;
    int fields = 1;
    size_t fieldStart = 0;
    bool lineHasText = false;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && lines < DELIMITER_SAMPLE_LINES) {
        if (i == fieldStart && quote != '\0' && text[i] == quote) {
            // Protected: up to the closing character, a doubled one standing for itself.
            size_t j = i + 1;
            for (;;) {
                while (j < n && text[j] != quote) ++j;
                if (j + 1 < n && text[j + 1] == quote) {
                    j += 2;
                    continue;
                }
                break;
            }
            if (j >= n) return;  // cut by the sample's end: the line is not whole
            lineHasText = true;
            i = j + 1;
            continue;
        }
        if (text[i] == delim) {
            onField(lines, fieldStart, i);
            ++fields;
            lineHasText = true;
            fieldStart = ++i;
            continue;
        }
        if (!eol.empty() && text.compare(i, eol.size(), eol) == 0) {
            if (lineHasText || fields > 1 || i > fieldStart) {
                onField(lines, fieldStart, i);
                onLine(fields);
                ++lines;
            }
            fields = 1;
            lineHasText = false;
            i += eol.size();
            fieldStart = i;
            continue;
        }
        lineHasText = true;
        ++i;
    }
    if (lineHasText && lines < DELIMITER_SAMPLE_LINES) {
        onField(lines, fieldStart, n);
        onLine(fields);
    }
}

}  // namespace

std::string DATAFILE_ReadSample(const char* path) {
    std::string sample;
    if (!path) return sample;
    FILE* f = fopen(path, "rb");
    if (!f) return sample;
    setvbuf(f, nullptr, _IONBF, 0);  // one read straight into the sample
    sample.resize(DATAFILE_SAMPLE_SIZE);
    sample.resize(fread(sample.data(), 1, sample.size(), f));
    fclose(f);
    return sample;
}

const char* DATAFILE_DetectEncoding(const std::string& sample, std::vector<int>* invalidLines) {
    if (invalidLines) invalidLines->clear();
    if (startsWith(sample, "\xEF\xBB\xBF")) return "UTF-8";
    if (startsWith(sample, "\xFF\xFE")) return "UTF-16LE";
    if (startsWith(sample, "\xFE\xFF")) return "UTF-16BE";
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
    const std::string eol = endOfLine ? endOfLine : "\n";
    const char* best = nullptr;
    int bestScore = 0;
    for (const auto& cand : candidates) {
        // Score: lines sharing the commonest number of fields, when that number splits.
        std::map<int, int> frequency;
        splitLines(
            text, eol, cand.c, quote, [](int, size_t, size_t) {},
            [&frequency](int fields) { ++frequency[fields]; });
        int score = 0;
        for (const auto& [fields, lines] : frequency)
            if (fields > 1 && lines > score) score = lines;
        if (score > bestScore) {
            bestScore = score;
            best = cand.notation;
        }
    }
    return best;
}

char DATAFILE_DetectQuote(const std::string& text, const char* endOfLine, const char* delimiter) {
    if (!delimiter || !delimiter[0]) return '\0';
    const std::string eol = endOfLine ? endOfLine : "\n";
    // A field wholly between the character, such as "Paris" (at least its two characters).
    auto enclosed = [&text](size_t b, size_t e, char q) {
        return e - b >= 2 && text[b] == q && text[e - 1] == q;
    };
    int doubleQuoted = 0;
    splitLines(
        text, eol, delimiter[0], '"',
        [&](int, size_t b, size_t e) { doubleQuoted += enclosed(b, e, '"') ? 1 : 0; },
        [](int) {});
    if (doubleQuoted > 0) return '"';
    // The apostrophe is also a letter of names (O'Brien): it must enclose fields on many lines.
    int lines = 0;
    int linesQuoted = 0;
    int lastQuotedLine = -1;
    splitLines(
        text, eol, delimiter[0], '\'',
        [&](int line, size_t b, size_t e) {
            if (enclosed(b, e, '\'') && line != lastQuotedLine) {
                lastQuotedLine = line;
                ++linesQuoted;
            }
        },
        [&lines](int) { ++lines; });
    return lines > 0 && linesQuoted * 2 >= lines ? '\'' : '\0';
}

DATAFILE_SHAPE DATAFILE_DetectShape(const std::string& sample) {
    DATAFILE_SHAPE shape;
    shape.encoding = DATAFILE_DetectEncoding(sample, &shape.invalidLines);
    const std::string text = DATAFILE_SampleToUtf8(sample, shape.encoding.c_str());
    const char* eol = DATAFILE_DetectEndOfLine(text);
    if (eol) shape.endOfLine = eol;
    const std::string eolChars = !eol ? "\n" : strcmp(eol, "\\r\\n") == 0 ? "\r\n"
                                                : strcmp(eol, "\\r") == 0    ? "\r"
                                                                            : "\n";
    const char* delimiter = DATAFILE_DetectDelimiter(text, eolChars.c_str());
    if (!delimiter) return shape;
    const char delimChar = strcmp(delimiter, "\\t") == 0 ? '\t' : delimiter[0];
    const char delimChars[2] = {delimChar, '\0'};
    shape.quote = DATAFILE_DetectQuote(text, eolChars.c_str(), delimChars);
    // Apostrophes protect differently from double quotes: split again with them.
    if (shape.quote == '\'') {
        const char* again = DATAFILE_DetectDelimiter(text, eolChars.c_str(), '\'');
        if (again) delimiter = again;
    }
    shape.delimiter = delimiter;
    return shape;
}

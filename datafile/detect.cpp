// Guesses of encoding, end of line and delimiter over a file's first bytes.
#include "datafile/detect.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

// Lines the delimiter guess looks at.
constexpr int DELIMITER_SAMPLE_LINES = 100;

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, strlen(prefix), prefix) == 0;
}

// Length of the UTF-8 sequence opened by `c`, 0 when `c` opens none.
size_t sequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

// True when `s` is UTF-8, a sequence cut by the end excepted.
bool looksUtf8(const std::string& s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = sequenceLength(c);
        if (len == 0) return false;
        for (size_t k = 1; k < len; ++k) {
            if (i + k >= n) return true;  // cut by the sample's end
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            // Overlong three- and four-byte forms, surrogates and values past U+10FFFF.
            if (k == 1 && ((c == 0xE0 && next < 0xA0) || (c == 0xED && next > 0x9F) ||
                           (c == 0xF0 && next < 0x90) || (c == 0xF4 && next > 0x8F)))
                return false;
        }
        i += len;
    }
    return true;
}

// Fields of each of the first lines of `text` split at `delim`, double quotes protecting.
std::vector<int> fieldCounts(const std::string& text, const std::string& eol, char delim) {
    std::vector<int> counts;
    int fields = 1;
    bool quoted = false;
    size_t i = 0;
    bool lineHasText = false;
    while (i < text.size() && static_cast<int>(counts.size()) < DELIMITER_SAMPLE_LINES) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == delim) {
            ++fields;
        } else if (!quoted && !eol.empty() && text.compare(i, eol.size(), eol) == 0) {
            if (lineHasText || fields > 1) counts.push_back(fields);
            fields = 1;
            lineHasText = false;
            i += eol.size();
            continue;
        }
        lineHasText = true;
        ++i;
    }
    if (lineHasText && static_cast<int>(counts.size()) < DELIMITER_SAMPLE_LINES && !quoted)
        counts.push_back(fields);
    return counts;
}

}  // namespace

std::string DATAFILE_ReadSample(const char* path) {
    std::string sample;
    if (!path) return sample;
    FILE* f = fopen(path, "rb");
    if (!f) return sample;
    sample.resize(DATAFILE_SAMPLE_SIZE);
    sample.resize(fread(sample.data(), 1, sample.size(), f));
    fclose(f);
    return sample;
}

const char* DATAFILE_DetectEncoding(const std::string& sample) {
    if (startsWith(sample, "\xEF\xBB\xBF")) return "UTF-8";
    if (startsWith(sample, "\xFF\xFE")) return "UTF-16LE";
    if (startsWith(sample, "\xFE\xFF")) return "UTF-16BE";
    return looksUtf8(sample) ? "UTF-8" : "WINDOWS-1252";
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

const char* DATAFILE_DetectDelimiter(const std::string& text, const char* endOfLine) {
    static const struct {
        char c;
        const char* notation;
    } candidates[] = {{';', ";"}, {',', ","}, {'\t', "\\t"}, {'|', "|"}};
    const std::string eol = endOfLine ? endOfLine : "\n";
    const char* best = nullptr;
    int bestScore = 0;
    for (const auto& cand : candidates) {
        std::vector<int> counts = fieldCounts(text, eol, cand.c);
        // Score: lines sharing the commonest number of fields, when that number splits.
        std::map<int, int> frequency;
        for (int n : counts) ++frequency[n];
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

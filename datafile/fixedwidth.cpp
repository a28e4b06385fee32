// The columns of a fixed-width file found from its rows (see fixedwidth.h).
//
// The lines are laid out as a grid of characters, shorter lines padded with blanks. Between
// two neighbouring characters of one line something happens or not: a value begins after
// blanks, the kind of character changes (digits, letters, punctuation), a value ends, or the
// same kind goes on. A column begins where nearly every line that has something there shows a
// beginning or a change, or where a few lines begin a value after padding and none goes on
// across; eight digits that are a real day in every line are a date column of
// their own; inside a run of digits, a number begins where zeros become the rule (padding);
// a position that holds one of a few letters A to Z in every line between busier neighbours
// is a one-letter flag, and two such of the same two letters met in both orders are two
// answers, as is a letter that varies alone between characters constant in every row; letters A to
// Z glued to letters of another script end there in every line (a Latin code, then a word in
// Japanese); among numbers glued to each other, the blanks of a value left out begin and end where
// its column does; 0x, or a run of hexadecimal digits, is a number or a code of its own; decimals
// end at the scale the rows that end them show, or that the other decimals of the file show where
// zeros glue them to the next number; a number's column ends where it stops being a number in every
// row; three answers of one letter or more side by side are a column each; a text of few values
// whose longest fill its column ends where the shorter ones' blanks do; a header line's names
// after two blanks begin columns. Punctuation never separates on its own
// (a decimal point, a dash in a name), and no column begins inside numbers in scientific notation,
// days written aaaa-mm-jj or identifiers mixing letters and digits (N1A1), values an export writes
// whole, nor between letters and the digits left-aligned after them (F12: no number is written so),
// where a change of kind moves by one place from row to row (values of several shapes), inside
// names whose parts dashes join, versions, words of four letters at most or days in brackets,
// among zeros that stand in every row over five places (nothing shows where one number ends),
// nor before a letter the same in every row that ends a number (1984Y); a zero before a day in
// every row is the day's padding.
// Each rule is a function returning its evidence in words, tried in turn at each position
// (FIXEDWIDTH_FindColumns); the columns are then made from the starts found.
#include "datafile/fixedwidth.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "datafile/datafile.h"
#include "foundation/date.h"

namespace {

enum class Kind : uint8_t { Blank, Digit, Letter, Punct };

Kind kindOf(char32_t c) {
    if (c == ' ' || c == '\t') return Kind::Blank;
    if (c >= '0' && c <= '9') return Kind::Digit;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80) return Kind::Letter;
    return Kind::Punct;
}

const char* kindWord(Kind k) {
    switch (k) {
        case Kind::Digit: return "chiffres";
        case Kind::Letter: return "lettres";
        case Kind::Punct: return "ponctuation";
        default: return "blancs";
    }
}

// The characters of a UTF-8 line; a byte that begins no valid sequence is one character
// (0xDC00 + byte, as no letter of the line can be).
std::vector<char32_t> decodeLine(std::string_view line) {
    std::vector<char32_t> out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        const auto b = static_cast<unsigned char>(line[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        bool valid = n > 0 && i + n <= line.size();
        for (size_t k = 1; valid && k < n; ++k)
            valid = (static_cast<unsigned char>(line[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            out.push_back(0xDC00 + b);
            ++i;
            continue;
        }
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(line[i + k]) & 0x3F);
        out.push_back(c);
        i += n;
    }
    return out;
}

std::string encodeChars(const std::vector<char32_t>& chars, int from, int to) {
    std::string out;
    for (int i = from; i < to && i < static_cast<int>(chars.size()); ++i) {
        char32_t c = chars[static_cast<size_t>(i)];
        if (c >= 0xDC00 && c < 0xDD00) {
            out += static_cast<char>(c - 0xDC00);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The sample as a grid of characters: one row per data line, padded with blanks.
struct Grid {
    int rows = 0;
    int width = 0;
    std::vector<char32_t> cells;
    std::vector<int> lengths;  // each row's own length
    char32_t at(int r, int i) const {
        return cells[static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(i)];
    }
    Kind kind(int r, int i) const { return kindOf(at(r, i)); }
};

std::string percentOf(int part, int whole) {
    return std::to_string(whole > 0 ? (part * 100 + whole / 2) / whole : 0) + " %";
}

// Whether eight characters from `i` in row `r` are a real day written aaaammjj, from the
// year 1800 to 2199.
bool isDate8(const Grid& g, int r, int i) {
    char text[8];
    for (int k = 0; k < 8; ++k) {
        const char32_t c = g.at(r, i + k);
        if (c < '0' || c > '9') return false;
        text[k] = static_cast<char>(c);
    }
    MYDATETIME d{};
    return DATETIME_ReadValid(std::string_view(text, 8), "aaaammjj", false, &d) &&
           d.annee >= 1800 && d.annee < 2200;
}

// Eight blanks or eight zeros: a date left empty.
bool isEmptyDate8(const Grid& g, int r, int i) {
    const char32_t first = g.at(r, i);
    if (first != ' ' && first != '0') return false;
    for (int k = 1; k < 8; ++k)
        if (g.at(r, i + k) != first) return false;
    return true;
}

// What happens between characters p-1 and p over the rows.
struct Transition {
    int begins = 0;   // blank, then a character
    int changes = 0;  // a character, then one of another kind (punctuation aside)
    int goesOn = 0;   // a character, then one of the same kind or punctuation
    int ends = 0;     // a character, then a blank
    int singleGaps = 0;         // beginnings after one blank only, as between two words
    int blanks = 0;             // a blank, then a blank
    int wordAfterGap = 0;       // a character, then one blank, then a letter (Hornet 4 Drive)
    int afterComma = 0;         // beginnings after a comma or semicolon and one blank (C, F)
    int smallAfterWord = 0;     // a small letter beginning one blank after a capitalised word
                                // (Cloud top), or capitals after words in capitals
    std::map<std::pair<Kind, Kind>, int> pairs;  // kinds of the changes
};

int pairCount(const Transition& t, Kind a, Kind b) {
    const auto it = t.pairs.find({a, b});
    return it == t.pairs.end() ? 0 : it->second;
}

bool isSmall(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 0xDF && c < 0x100);
}

bool isCapital(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c < 0xDF);
}

// Whether a word in capitals ends at i in row r, one blank after another word in capitals
// (LETTER A, then WITH: a name in capitals goes on).
bool capitalsGoOnAt(const Grid& g, int r, int i) {
    int from = i;
    while (from >= 0 && isCapital(g.at(r, from))) --from;
    return from < i && from >= 1 && g.kind(r, from) == Kind::Blank && isCapital(g.at(r, from - 1));
}

// Whether a word of three letters or more, a capital then small letters, ends at i in row r
// (Cloud, Error; not the two letters of Hc).
bool capitalisedWordEndsAt(const Grid& g, int r, int i) {
    int from = i;
    while (from >= 0 && isSmall(g.at(r, from))) --from;
    if (from < 0 || i - from < 2) return false;
    const char32_t first = g.at(r, from);
    return (first >= 'A' && first <= 'Z') || (first >= 0xC0 && first < 0xDF);
}

Transition transitionAt(const Grid& g, int p) {
    Transition t;
    for (int r = 0; r < g.rows; ++r) {
        const Kind a = g.kind(r, p - 1);
        const Kind b = g.kind(r, p);
        if (a == Kind::Blank) {
            if (b == Kind::Blank) ++t.blanks;
            if (b != Kind::Blank) {
                ++t.begins;
                if (p >= 2 && g.kind(r, p - 2) != Kind::Blank) ++t.singleGaps;
                if (p >= 2 && (g.at(r, p - 2) == ',' || g.at(r, p - 2) == ';')) ++t.afterComma;
                if (p >= 2 && isSmall(g.at(r, p)) && capitalisedWordEndsAt(g, r, p - 2))
                    ++t.smallAfterWord;
                if (p >= 2 && isCapital(g.at(r, p)) && capitalsGoOnAt(g, r, p - 2))
                    ++t.smallAfterWord;
            }
        } else if (b == Kind::Blank) {
            ++t.ends;
            if (p + 1 < g.width && g.kind(r, p + 1) == Kind::Letter) ++t.wordAfterGap;
        } else if (b == Kind::Punct && a != Kind::Punct && p + 1 < g.width &&
                   (g.at(r, p) == '-' || g.at(r, p) == '+') && g.kind(r, p + 1) == Kind::Digit) {
            ++t.changes;  // a sign: a number begins
            ++t.pairs[{a, Kind::Punct}];
        } else if (a == b || a == Kind::Punct || b == Kind::Punct) {
            ++t.goesOn;
        } else {
            ++t.changes;
            ++t.pairs[{a, b}];
        }
    }
    return t;
}

// What one position holds over the rows.
struct Position {
    int blanks = 0;
    int digits = 0;
    int letters = 0;
    int zeros = 0;
    std::set<char32_t> distinct;  // up to kDistinctCap values
};
constexpr size_t kDistinctCap = 32;
// Rows needed before a share of zeros says where a number begins; from kFewRows, only zeros
// in every row do.
constexpr int kZeroRows = 20;
constexpr int kFewRows = 5;
// Lines shorter than this are records only when they have one length.
constexpr int kShortLine = 10;

Position positionAt(const Grid& g, int i) {
    Position p;
    for (int r = 0; r < g.rows; ++r) {
        const char32_t c = g.at(r, i);
        switch (kindOf(c)) {
            case Kind::Blank: ++p.blanks; continue;
            case Kind::Digit: ++p.digits; p.zeros += c == '0'; break;
            case Kind::Letter: ++p.letters; break;
            default: break;
        }
        if (p.distinct.size() < kDistinctCap) p.distinct.insert(c);
    }
    return p;
}

// One of a few letters in most rows: a flag. Its letters are A to Z: exports write flags so
// (O/N, M/F), and a character past them is one byte of a word written two bytes a character
// (the first byte of EUC-JP's kana is the same in most rows, read one byte a character).
bool isFlag(const Position& p, int rows) {
    const int filled = rows - p.blanks;
    return filled * 2 >= rows && p.letters == filled && p.distinct.size() <= 3 &&
           std::all_of(p.distinct.begin(), p.distinct.end(), [](char32_t c) { return c < 0x80; });
}

// Letters of many values: the inside of a text.
bool isBusyText(const Position& p, size_t flagValues, int rows) {
    const int filled = rows - p.blanks;
    return filled * 2 >= rows && p.letters * 10 >= filled * 9 &&
           p.distinct.size() >= std::max<size_t>(4, flagValues + 2);
}

// The rows with a digit at both p-1 and p: how many, their zeros on each side, and the
// different digits at p-1 (up to ten).
struct DigitPair {
    int rows = 0;
    int zerosBefore = 0;
    int zerosHere = 0;
    size_t distinctBefore = 0;
};
DigitPair digitPairAt(const Grid& g, int p) {
    DigitPair d;
    bool seenDigit[10] = {};
    for (int r = 0; r < g.rows; ++r) {
        const char32_t a = g.at(r, p - 1);
        const char32_t b = g.at(r, p);
        if (a < '0' || a > '9' || b < '0' || b > '9') continue;
        ++d.rows;
        d.zerosBefore += a == '0';
        d.zerosHere += b == '0';
        if (!seenDigit[a - '0']) {
            seenDigit[a - '0'] = true;
            ++d.distinctBefore;
        }
    }
    return d;
}

// Rows where a sign stands at p between a digit and a digit: a signed number begins there.
int signsAt(const Grid& g, int p) {
    int signs = 0;
    if (p < 1 || p + 1 >= g.width) return 0;
    for (int r = 0; r < g.rows; ++r) {
        const char32_t c = g.at(r, p);
        signs += (c == '-' || c == '+') && g.kind(r, p - 1) == Kind::Digit &&
                 g.kind(r, p + 1) == Kind::Digit;
    }
    return signs;
}

// Whether the run of digit positions from p, past its zeros, reaches a digit that is not a
// zero in one row in ten at least.
bool variesLater(const Grid& g, const std::vector<Position>& positions, int p) {
    for (int i = p + 1; i < g.width; ++i) {
        const Position& q = positions[static_cast<size_t>(i)];
        const int filled = g.rows - q.blanks;
        if (filled == 0 || q.letters * 10 > filled) return false;
        if (signsAt(g, i) > 0) return true;
        if (q.digits * 10 < filled * 9) {
            // Points and signs of the numbers; any other mark (0.780000;0.97) ends the number.
            const bool marksOfNumbers = std::all_of(q.distinct.begin(), q.distinct.end(), [](char32_t c) {
                return (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '-' || c == '+';
            });
            if (q.letters == 0 && marksOfNumbers) continue;
            return false;
        }
        if ((q.digits - q.zeros) * 10 >= q.digits) return true;
    }
    return false;
}

// The different pairs of characters met at p-1 and p, and the different characters met at each.
struct PairCounts {
    size_t pairs, left, right;
};
PairCounts pairCounts(const Grid& g, int p) {
    std::set<std::pair<char32_t, char32_t>> pairs;
    std::set<char32_t> left, right;
    for (int r = 0; r < g.rows; ++r) {
        pairs.insert({g.at(r, p - 1), g.at(r, p)});
        left.insert(g.at(r, p - 1));
        right.insert(g.at(r, p));
    }
    return {pairs.size(), left.size(), right.size()};
}

// Whether the characters at p-1 and p vary apart: every pair of them is met, or two pairs more
// than characters at either position (the letters of one word, OUI and NON, or of a two-letter
// code, go together; a flag and the text beside it do not).
bool independentFlags(const Grid& g, int p) {
    const PairCounts c = pairCounts(g, p);
    return (c.pairs == c.left * c.right && c.pairs >= 4) ||
           c.pairs >= std::max(c.left, c.right) + 2;
}

// Whether a flag at p-1 or p and the text beside it vary apart: the text does not go on in
// small letters and, when the rows are enough to tell, some letter of the text is met beside
// two flags (the two letters of a code such as AC, AL, BA go together).
bool flagApart(const Grid& g, int p) {
    // A text that goes on in small letters is one word whose first letters are few (sorted
    // names), not a flag and a value.
    int lower = 0;
    int blankAfter = 0;
    for (int r = 0; r < g.rows; ++r) {
        lower += g.at(r, p) >= 'a' && g.at(r, p) <= 'z';
        blankAfter += p + 1 < g.width && g.kind(r, p + 1) == Kind::Blank;
    }
    // (A letter alone, blanks after it, is a code of one letter, not the start of a word.)
    // Unless every flag is met beside every first letter of the text: two columns crossed
    // (D, B, P beside setup, read, print in every pairing), as no few first letters of words do.
    const PairCounts c = pairCounts(g, p);
    const bool crossed = g.rows >= kZeroRows && c.left >= 2 && c.right >= 3 && c.pairs == c.left * c.right;
    if (lower * 2 >= g.rows && blankAfter * 10 < g.rows * 9 && !crossed) return false;
    if (g.rows < kZeroRows) return true;
    return c.pairs > std::max(c.left, c.right);
}

// Whether the first line breaks a column of days that every other line keeps: eight
// characters that are a valid aaaammjj day (or left empty) in every data line, and in the
// first line something else than digits. An export writes its days one way in every row; the
// one line that does not is its line of names, even names written like a day (2016-07-).
bool breaksDays(const std::vector<char32_t>& first, const Grid& g) {
    const int end = std::min(g.width, static_cast<int>(first.size())) - 8;
    for (int i = 0; i <= end; ++i) {
        bool other = false;
        for (int k = 0; k < 8; ++k) {
            const char32_t c = first[static_cast<size_t>(i + k)];
            other = other || ((c < '0' || c > '9') && c != ' ');
        }
        if (!other || first[static_cast<size_t>(i)] == ' ') continue;
        int days = 0;
        int r = 0;
        for (; r < g.rows && (isDate8(g, r, i) || isEmptyDate8(g, r, i)); ++r)
            days += isDate8(g, r, i);
        if (r == g.rows && days * 2 > g.rows) return true;
    }
    return false;
}

// Header: letters in the first line over positions that are digits in nine data lines in ten,
// over a third of those positions (long names); or, short names over wide columns of numbers
// (id x   y1        y2), two thirds at least of the first line's letters over positions of
// numbers (digits, signs and points in nine lines in ten), the line being more letters than
// digits or names each begun by a letter (a row of numbers with NA in one column is not).
bool looksLikeHeader(const std::vector<char32_t>& first, const Grid& g) {
    int digitPositions = 0;
    int lettersOver = 0;
    int lettersOverNumbers = 0;
    for (int i = 0; i < g.width; ++i) {
        int digits = 0;
        int numbers = 0;
        for (int r = 0; r < g.rows; ++r) {
            const Kind k = g.kind(r, i);
            const char32_t c = g.at(r, i);
            digits += k == Kind::Digit;
            numbers += k == Kind::Digit || c == '-' || c == '+' || c == '.';
        }
        const bool letter = i < static_cast<int>(first.size()) &&
                            kindOf(first[static_cast<size_t>(i)]) == Kind::Letter;
        if (numbers * 10 >= g.rows * 9 && letter) ++lettersOverNumbers;
        if (digits * 10 < g.rows * 9) continue;
        ++digitPositions;
        if (letter) ++lettersOver;
    }
    if (digitPositions > 0 && lettersOver * 3 >= digitPositions) return true;
    int letters = 0;
    int digits = 0;
    // Names a number follows, as R gives them (X1   X2   X3): words that each begin with a
    // letter, none twice.
    std::set<std::u32string> words;
    bool names = true;
    for (size_t i = 0; i < first.size(); ++i) {
        const Kind k = kindOf(first[i]);
        letters += k == Kind::Letter;
        digits += k == Kind::Digit;
        if (k == Kind::Blank || (i > 0 && kindOf(first[i - 1]) != Kind::Blank)) continue;
        size_t end = i;
        while (end < first.size() && kindOf(first[end]) != Kind::Blank) ++end;
        const std::u32string word(first.begin() + static_cast<std::ptrdiff_t>(i),
                                  first.begin() + static_cast<std::ptrdiff_t>(end));
        names = names && k == Kind::Letter && words.insert(word).second;
    }
    if (lettersOverNumbers >= 2 && lettersOverNumbers * 3 >= letters * 2 &&
        (letters > digits || (names && words.size() >= 2)))
        return true;
    return breaksDays(first, g);
}

// Fills everything of the layout but its columns: the grid of the data lines, the lengths,
// the header.
Grid buildGrid(const std::vector<std::string_view>& lines, FIXEDWIDTH_LAYOUT& layout,
               std::vector<char32_t>& headerLine) {
    std::vector<std::vector<char32_t>> decoded;
    decoded.reserve(lines.size());
    for (std::string_view l : lines) decoded.push_back(decodeLine(l));
    Grid g;
    auto fill = [&](size_t from) {
        g.rows = static_cast<int>(decoded.size() - from);
        g.width = 0;
        for (size_t k = from; k < decoded.size(); ++k)
            g.width = std::max(g.width, static_cast<int>(decoded[k].size()));
        g.cells.assign(static_cast<size_t>(g.rows) * static_cast<size_t>(g.width), U' ');
        g.lengths.clear();
        for (size_t k = from; k < decoded.size(); ++k) g.lengths.push_back(static_cast<int>(decoded[k].size()));
        for (size_t k = from; k < decoded.size(); ++k)
            std::copy(decoded[k].begin(), decoded[k].end(),
                      g.cells.begin() + static_cast<std::ptrdiff_t>((k - from) * static_cast<size_t>(g.width)));
    };
    if (decoded.size() < 3) return g;
    fill(1);
    layout.header = looksLikeHeader(decoded.front(), g);
    if (layout.header) {
        headerLine = decoded.front();
    } else {
        fill(0);
    }
    std::map<int, int> lengths;
    for (size_t k = layout.header ? 1 : 0; k < decoded.size(); ++k)
        ++lengths[static_cast<int>(decoded[k].size())];
    layout.lines = g.rows;
    layout.lineLength = g.width;
    layout.lengths = static_cast<int>(lengths.size());
    std::vector<int> counts;
    for (const auto& [length, count] : lengths) {
        counts.push_back(count);
        if (count > layout.commonLines) {
            layout.commonLength = length;
            layout.commonLines = count;
        }
    }
    std::sort(counts.rbegin(), counts.rend());
    for (size_t k = 0; k < counts.size() && k < 3; ++k) layout.fewLengthsLines += counts[k];
    return g;
}

// Lines of `g` that reach past `start`.
int linesReaching(const Grid& g, int start) {
    return static_cast<int>(std::count_if(g.lengths.begin(), g.lengths.end(),
                                          [start](int length) { return length > start; }));
}

// A ragged export (trailing blanks cut, lines of many lengths) whose last columns are blank in
// most lines: those few lines' values are read as the end of the last column that nine lines
// in ten reach, so that the file still reads as fixed-width lines; three columns at least stay
// (fewer are no evidence of a layout against prose).
void foldRaggedTail(std::vector<FIXEDWIDTH_COLUMN>& columns, const Grid& g,
                    const FIXEDWIDTH_LAYOUT& layout) {
    if (layout.fewLengthsLines * 10 >= layout.lines * 9) return;
    size_t keep = columns.size();
    while (keep > 3 && linesReaching(g, columns[keep - 1].start) * 10 < g.rows * 9) --keep;
    if (keep == columns.size() || linesReaching(g, columns[keep - 1].start) * 10 < g.rows * 9)
        return;
    for (size_t k = keep; k < columns.size(); ++k) columns[keep - 1].width += columns[k].width;
    columns.resize(keep);
}

void finishLayout(FIXEDWIDTH_LAYOUT& layout, const Grid& g, const std::vector<char32_t>& headerLine) {
    if (!layout.columns.empty()) layout.lastReached = linesReaching(g, layout.columns.back().start);
    if (!layout.header) return;
    for (const FIXEDWIDTH_COLUMN& c : layout.columns) {
        std::string cell = encodeChars(headerLine, c.start, c.start + c.width);
        const size_t first = cell.find_first_not_of(' ');
        cell = first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') - first + 1);
        layout.headerCells.push_back(cell);
    }
}

}  // namespace

std::vector<std::string_view> FIXEDWIDTH_SampleLines(const std::string& text, const char* endOfLine,
                                                     bool sampleFull, size_t maxLines) {
    const std::string eol = endOfLine && endOfLine[0] ? endOfLine : "\n";
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos < text.size() && lines.size() < maxLines;) {
        size_t next = text.find(eol, pos);
        if (next == std::string::npos) {
            if (sampleFull) break;  // cut by the sample's end
            next = text.size();
        }
        if (next > pos) lines.emplace_back(text.data() + pos, next - pos);
        pos = next + eol.size();
    }
    return lines;
}

namespace {

// The finder's work over one grid: what each position holds, and the starts found so far
// (position -> evidence).
struct Finder {
    const Grid& g;
    int rows;
    // Rows that must show a beginning for it to count: a column blank in most rows still has
    // a few that begin where it begins (one in twenty), a word that begins at one place in a
    // few long texts has not.
    int support;
    std::vector<Position> positions;
    std::vector<bool> insideDate;
    std::vector<bool> insideOneValue;  // inside degrees and minutes (50 11 N) or brackets
    std::map<int, std::string> starts;
    std::set<int> paddingStarts;  // the starts where zeros become the rule
    bool manyLengths;  // lines of many lengths (not nine in ten of three), trailing blanks cut

    Finder(const Grid& grid, bool ofManyLengths)
        : g(grid),
          rows(grid.rows),
          support(std::max(3, grid.rows / 20)),
          insideDate(static_cast<size_t>(grid.width) + 1, false),
          insideOneValue(static_cast<size_t>(grid.width) + 1, false),
          manyLengths(ofManyLengths) {
        positions.reserve(static_cast<size_t>(g.width));
        for (int i = 0; i < g.width; ++i) positions.push_back(positionAt(g, i));
    }
    const Position& at(int i) const { return positions[static_cast<size_t>(i)]; }
    const Position* after(int p) const { return p + 1 < g.width ? &at(p + 1) : nullptr; }
    int filled(int i) const { return rows - at(i).blanks; }
};

// Dates: eight digits that are a real day in every row that is not empty there; they begin a
// column and end it.
void findDates(Finder& f) {
    const Grid& g = f.g;
    for (int i = 0; i + 8 <= g.width;) {
        int dates = 0;
        int empty = 0;
        for (int r = 0; r < f.rows && !f.insideOneValue[static_cast<size_t>(i)]; ++r) {
            if (isDate8(g, r, i)) ++dates;
            else if (isEmptyDate8(g, r, i)) ++empty;
            else break;
        }
        if (dates + empty == f.rows && dates * 2 >= f.rows && dates >= 2) {
            // (A zero before it in every row is its padding: a day written as a number,
            // 020120713, or a year padded before its month and day, 020080103.)
            const int start = i > 0 && f.at(i - 1).zeros == f.rows ? i - 1 : i;
            if (start > 0)
                f.starts[start] =
                    "date aaaammjj valide dans " + percentOf(dates, f.rows) + " des lignes";
            if (i + 8 < g.width && !f.starts.count(i + 8)) f.starts[i + 8] = "fin d'une date aaaammjj";
            for (int k = i + 1; k < i + 8; ++k) f.insideDate[static_cast<size_t>(k)] = true;
            i += 8;
        } else {
            ++i;
        }
    }
}

// Where degrees and minutes (and seconds) written with single blanks and ended by their
// hemisphere letter (50 11 N, 152 34 W, 41 29 30 S) that begin at i in row r end, or -1. The
// letter ends the value: what follows it (a blank, or digits glued) is no letter.
int coordinateEnd(const Grid& g, int r, int i) {
    auto digits = [&](int& k, int most) {
        const int from = k;
        while (k < g.width && k - from < most && g.kind(r, k) == Kind::Digit) ++k;
        return k > from && (k >= g.width || g.kind(r, k) != Kind::Digit);
    };
    int k = i;
    if (!digits(k, 3)) return -1;
    int groups = 0;
    while (groups < 2 && k + 1 < g.width && g.at(r, k) == ' ' && g.kind(r, k + 1) == Kind::Digit) {
        ++k;
        if (!digits(k, 2)) return -1;
        ++groups;
    }
    if (groups == 0 || k + 1 >= g.width || g.at(r, k) != ' ') return -1;
    const char32_t h = g.at(r, k + 1);
    if (h != 'N' && h != 'S' && h != 'E' && h != 'W') return -1;
    return k + 2 < g.width && g.kind(r, k + 2) == Kind::Letter ? -1 : k + 2;
}

// Where the value in brackets that begins at i in row r ends (after its closing bracket), or
// -1: ( or [ at i, its closing bracket within 80 characters, none opened again inside.
int bracketedEnd(const Grid& g, int r, int i) {
    const char32_t open = g.at(r, i);
    if (open != '(' && open != '[') return -1;
    const char32_t close = open == '(' ? ')' : ']';
    for (int k = i + 1; k < g.width && k <= i + 80; ++k) {
        if (g.at(r, k) == open) return -1;
        if (g.at(r, k) == close) return k + 1;
    }
    return -1;
}

// Values an export writes whole, where `endAt` (Grid, row, start) tells each row's end (-1:
// none begins there), begun at one place after blanks or at a column's start in nine rows in
// ten that have something there: no column begins inside them; one begins after the longest,
// the shorter padded up to it with blanks, where a letter or a digit follows in `support` rows
// (not a comma or more words that go on a text). `what` names them in the evidence.
template <typename EndAt>
void findWholeValues(Finder& f, EndAt endAt, const std::string& what) {
    for (int i = 0; i + 2 < f.g.width; ++i) {
        int edged = 0, found = 0, last = 0;
        std::vector<int> ends(static_cast<size_t>(f.rows), -1);
        for (int r = 0; r < f.rows; ++r) {
            edged += i == 0 || f.g.at(r, i - 1) == ' ' || f.starts.count(i) > 0;
            ends[static_cast<size_t>(r)] = endAt(f.g, r, i);
            found += ends[static_cast<size_t>(r)] >= 0;
            last = std::max(last, ends[static_cast<size_t>(r)]);
        }
        if (edged < f.filled(i) || found < f.support || found * 10 < f.filled(i) * 9) continue;
        for (int k = i + 1; k < last; ++k) f.insideOneValue[static_cast<size_t>(k)] = true;
        int begins = 0;
        bool padded = last < f.g.width;
        for (int r = 0; r < f.rows && padded; ++r) {
            for (int k = ends[static_cast<size_t>(r)]; k >= 0 && k < last && padded; ++k)
                padded = f.g.at(r, k) == ' ';
            const Kind next = f.g.kind(r, last);
            padded = padded && (next == Kind::Blank || next == Kind::Letter || next == Kind::Digit);
            begins += next != Kind::Blank;
        }
        if (padded && begins >= f.support)
            f.starts[last] =
                "fin " + what + " dans " + percentOf(found, f.filled(i)) + " des lignes";
        i = last - 1;
    }
}

// Positions in degrees and minutes (stations, ports and airports are exported so: 50 11 N,
// 12 3 S) and values in brackets, a list or a reference ((0x00, 0x00, 0x07), [RFC1918]).
void findCoordinatesAndBrackets(Finder& f) {
    findWholeValues(f, coordinateEnd, "de degrés et minutes (50 11 N)");
    findWholeValues(f, bracketedEnd, "d'une valeur entre crochets");
}

// Whether position i holds letters of `alphabet` only (blanks aside), two of them at least in
// two rows each beside the commonest: an answer of one letter that varies.
bool answerAt(const Finder& f, int i, std::set<char32_t>& alphabet) {
    const Position& here = f.at(i);
    if (!isFlag(here, f.rows)) return false;
    std::map<char32_t, int> counts;
    for (int r = 0; r < f.rows; ++r)
        if (f.g.kind(r, i) == Kind::Letter) ++counts[f.g.at(r, i)];
    int commonest = 0, filled = 0;
    for (const auto& [c, n] : counts) {
        commonest = std::max(commonest, n);
        filled += n;
    }
    std::set<char32_t> together = alphabet;
    together.insert(here.distinct.begin(), here.distinct.end());
    if (together.size() > 3 || filled - commonest < 2) return false;
    alphabet = together;
    return true;
}

// Answers of one letter side by side, three or more, all of the same two or three letters
// and each met beside the other's letters in three pairings at least (TFFTF, YNNY; a line of
// yes/no questions an export writes glued): each position a column of its own, and a column
// begins after the last. The letters of the words of a text keep to three at several places
// only where the text has few values (LATIN SMALL LETTER, LATIN CAPITAL LETTER), whose
// letters go together.
void findAnswerBlocks(Finder& f) {
    for (int a = 0; a < f.g.width;) {
        std::set<char32_t> alphabet;
        int b = a;
        bool apart = true;
        while (b < f.g.width && answerAt(f, b, alphabet)) {
            std::set<std::pair<char32_t, char32_t>> pairs;
            for (int r = 0; r < f.rows && b > a; ++r)
                if (f.g.kind(r, b - 1) == Kind::Letter && f.g.kind(r, b) == Kind::Letter)
                    pairs.insert({f.g.at(r, b - 1), f.g.at(r, b)});
            apart = apart && (b == a || pairs.size() >= 3);
            ++b;
        }
        if (b - a >= 3 && apart) {
            std::string letters;
            for (char32_t c : alphabet)
                letters += (letters.empty() ? "" : ", ") + encodeChars({c}, 0, 1);
            for (int i = a; i <= b && i < f.g.width; ++i)
                if (i > 0 && !f.starts.count(i))
                    f.starts[i] = "réponses d'une lettre côte à côte (" + letters + ")";
        }
        a = std::max(b, a + 1);
    }
}

// Whether every row has 0x (or 0X) at i and i+1: a hexadecimal number written in C's way.
bool hexAt(const Finder& f, int i) {
    if (i < 0 || i + 1 >= f.g.width) return false;
    for (int r = 0; r < f.rows; ++r)
        if (f.g.at(r, i) != '0' || (f.g.at(r, i + 1) != 'x' && f.g.at(r, i + 1) != 'X')) return false;
    return true;
}

// 0x in every row begins a hexadecimal number there, whatever stands before it (a flag, the
// last digits of the number before, or its blanks): the evidence in words, or empty.
std::string hexStart(const Finder& f, int p) {
    if (!hexAt(f, p)) return {};
    return "début d'un nombre hexadécimal (0x) dans toutes les lignes";
}

bool isHexDigit(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Hexadecimal codes written without 0x (MAC addresses and their prefixes, hashes): four
// positions or more holding a hexadecimal digit in every row, half of them digits in some rows
// and letters A to F in others. The code begins after a letter that no hexadecimal digit is
// (M002272American) and ends where such letters stand in `support` rows.
void findHexCodes(Finder& f) {
    const Grid& g = f.g;
    auto hexEverywhere = [&](int i) {
        for (int r = 0; r < f.rows; ++r)
            if (!isHexDigit(g.at(r, i))) return false;
        return true;
    };
    auto mixed = [&](int i) {
        int letters = 0;
        for (int r = 0; r < f.rows; ++r) letters += kindOf(g.at(r, i)) == Kind::Letter;
        return letters >= f.support && f.at(i).digits >= f.support;
    };
    for (int a = 0; a < g.width;) {
        int b = a;
        int mixedPositions = 0;
        while (b < g.width && hexEverywhere(b)) mixedPositions += mixed(b++);
        if (b - a < 4 || mixedPositions * 2 < b - a) {
            a = b + 1;
            continue;
        }
        const bool after0x = a >= 2 && hexAt(f, a - 2);
        if (a > 0 && !after0x && !f.starts.count(a)) f.starts[a] = "début d'un code hexadécimal";
        int beyond = 0;
        for (int r = 0; b < g.width && r < f.rows; ++r)
            beyond += g.kind(r, b) != Kind::Blank && !isHexDigit(g.at(r, b));
        if (beyond >= f.support && !f.starts.count(b)) f.starts[b] = "fin d'un code hexadécimal";
        a = b + 1;
    }
}

// Whether the rows where a value begins at p after one blank mostly have the same word before
// that blank (SEA 01, SEA 02; Cloud top, Cloud type): a phrase of a repeated word, one value.
// The word begins after a blank or where a column was found to begin (001SEA 01: SEA).
bool sameWordBefore(const Finder& f, int p) {
    const Grid& g = f.g;
    std::map<std::u32string, int> words;
    int rows = 0;
    for (int r = 0; r < g.rows; ++r) {
        if (p < 2 || g.kind(r, p - 1) != Kind::Blank || g.kind(r, p) == Kind::Blank ||
            g.kind(r, p - 2) == Kind::Blank)
            continue;
        int from = p - 2;
        while (from > 0 && g.kind(r, from - 1) != Kind::Blank && !f.starts.count(from)) --from;
        std::u32string word;
        for (int i = from; i <= p - 2; ++i) word += g.at(r, i);
        ++words[word];
        ++rows;
    }
    int commonest = 0;
    for (const auto& [word, count] : words) commonest = std::max(commonest, count);
    return rows > 0 && commonest * 4 >= rows * 3;
}

// Whether every value that begins at p does so one blank after a word that itself follows a
// blank since the last start found (mol m-3 or kg, mol m-2 s-1): the phrases of a text column
// go on there. A column after a text begins after the padding of its shorter values, and a
// value that ends one blank before it is the whole of its column's value, not a phrase's end.
bool phraseGoesOn(const Finder& f, int p, const Transition& t) {
    if (t.begins < f.support || t.singleGaps != t.begins || p < 3) return false;
    const auto previous = f.starts.lower_bound(p);
    const int from = previous == f.starts.begin() ? 0 : std::prev(previous)->first;
    int inPhrase = 0;
    for (int r = 0; r < f.rows; ++r) {
        if (f.g.kind(r, p - 1) != Kind::Blank || f.g.kind(r, p) == Kind::Blank) continue;
        int i = p - 2;
        while (i > from && f.g.kind(r, i - 1) != Kind::Blank) --i;
        inPhrase += i > from && f.g.kind(r, i - 1) == Kind::Blank && i - 1 > from &&
                    f.g.kind(r, i - 2) != Kind::Blank;
    }
    return inPhrase * 4 >= t.begins * 3;
}

// Whether p is inside a text, the rows say, though kinds change or values begin there.
bool insideText(const Finder& f, int p, const Transition& t, int evidence) {
    // Words that begin one blank after another in a minority of rows and nowhere else are
    // the inside of texts of few values (the same phrase in many rows): a column that
    // follows a text is reached after more blanks where the text is shorter.
    // So are words in small letters one blank after a word in most of those rows (Cloud top
    // temperature, Error in upper layer), or capitals one blank after two words in capitals
    // (LETTER A WITH): a phrase goes on in its case, a column would begin after its padding;
    // and so are words that begin one blank after a phrase's inner word in nearly every row
    // (phraseGoesOn).
    const bool innerWords =
        t.changes == 0 && t.singleGaps == t.begins &&
        (t.begins * 2 < f.rows || sameWordBefore(f, p) || t.smallAfterWord * 4 >= t.begins * 3);
    // Kinds that change only in the rows long enough to reach there, the short ones blank on
    // both sides, are the inside of a text of several widths (identifiers such as
    // chr1_KI270710v1_random), not a column: a column after a text begins after its blanks.
    const bool longOnly = t.begins == 0 && t.blanks >= f.support;
    // A text column never begins with a blank before a word: rows where one word ends at p-1
    // and the next begins at p+1 say that p is inside a text (Mazda RX4 beside Hornet 4 Drive),
    // unless they are a few among many.
    const bool wordsGoOn = t.wordAfterGap * 10 > evidence;
    // A comma or a semicolon, then one blank, is how a text lists its parts (C, F; Adult,
    // 1 Egg Stage); a column after a text begins after the text's own padding.
    const bool listGoesOn = t.afterComma * 2 >= t.begins && t.begins >= t.changes;
    // (The same word one blank after a word in every row is no sign of a text: a column of
    // one-letter values, its padding, then a word of one beginning (R chi1, Y chi2) shows it as
    // well, and over the published tables reading it as a text lost more columns than it kept.)
    return innerWords || longOnly || wordsGoOn || listGoesOn || phraseGoesOn(f, p, t);
}

// Whether p is inside a code or a constant, the rows say, though kinds change there.
bool insideCode(const Finder& f, int p, const Transition& t) {
    const Grid& g = f.g;
    // Two positions that hold one same character each in every row tell nothing.
    // Only the padding of a number that varies further, or a letter that no digit follows,
    // begin there (a flag of one value, then an amount), and not inside a longer fixed run:
    // "0x0f", "05000US06" are fixed texts.
    auto fixedAt = [&](int i) { return f.at(i).distinct.size() == 1 && f.at(i).blanks % f.rows == 0; };
    const bool fixedValue = g.at(0, p) == '0' ? variesLater(g, f.positions, p)
                            : g.kind(0, p) == Kind::Letter
                                ? p + 1 >= g.width || g.kind(0, p + 1) != Kind::Digit
                                : false;
    const bool longFixed = p >= 2 && p + 1 < g.width && fixedAt(p - 2) && fixedAt(p + 1);
    const bool constant =
        fixedAt(p - 1) && fixedAt(p) && (t.changes == 0 || !fixedValue || longFixed);
    // Letters then digits in some rows and digits then letters in others, at one place, are
    // the inside of codes that mix them (0B1 beside 00M, N1A1 beside N25A1): a column after
    // digits or after letters shows one of the two.
    const int lettersThenDigits = pairCount(t, Kind::Letter, Kind::Digit);
    const int digitsThenLetters = pairCount(t, Kind::Digit, Kind::Letter);
    const bool mixedCode = std::min(lettersThenDigits, digitsThenLetters) >= 3 &&
                           std::min(lettersThenDigits, digitsThenLetters) * 20 >= t.changes;
    // 0x in every row begins a hexadecimal number (0x0100080000004): its digits follow.
    // (Nor is there a column between its 0 and its x.)
    const bool hexPrefix = (p >= 2 && hexAt(f, p - 2)) || hexAt(f, p - 1);
    return constant || mixedCode || hexPrefix;
}

// The ASCII text of row r's run of characters across p-1 and p (up to a blank on each side,
// and not before `from`), and where p falls in it; empty when either is blank, or the run is
// longer than `longest` or not ASCII.
std::string runAcross(const Grid& g, int r, int p, int longest, size_t& at, int from = 0) {
    if (g.kind(r, p - 1) == Kind::Blank || g.kind(r, p) == Kind::Blank) return {};
    int a = p - 1;
    int b = p;
    while (a > from && g.kind(r, a - 1) != Kind::Blank) --a;
    while (b + 1 < g.width && g.kind(r, b + 1) != Kind::Blank) ++b;
    if (b - a + 1 > longest) return {};
    std::string text;
    for (int i = a; i <= b; ++i) {
        const char32_t c = g.at(r, i);
        if (c >= 0x80) return {};
        text += static_cast<char>(c);
    }
    at = static_cast<size_t>(p - a);
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The end of the number in scientific notation that begins at i in `text` (1.3940776594847e-01,
// -2.5E+03: an exponent of one to three digits, then the run's end or the sign of the next
// number glued to it), or npos.
size_t scientificEnd(std::string_view text, size_t i) {
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t mantissa = i;
    bool point = false;
    while (i < text.size() && (isDigit(text[i]) || (text[i] == '.' && !point)))
        point |= text[i++] == '.';
    if (i == mantissa || (i == mantissa + 1 && point) || i == text.size() ||
        (text[i] != 'e' && text[i] != 'E'))
        return std::string_view::npos;
    if (++i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t exponent = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == exponent || i - exponent > 3 || (i < text.size() && text[i] != '+' && text[i] != '-'))
        return std::string_view::npos;
    return i;
}

// Whether `text` is numbers in scientific notation, glued by their signs, with `at` inside one.
bool insideScientific(std::string_view text, size_t at) {
    bool inside = false;
    for (size_t i = 0; i < text.size();) {
        const size_t end = scientificEnd(text, i);
        if (end == std::string_view::npos) return false;
        inside |= at > i && at < end;
        i = end;
    }
    return inside;
}

// Whether `text` is a month written aaaa-mm (ISO 8601: 1981-09), from the year 1800 to 2199:
// a period, one value, whose dash stands between digits like a sign.
bool isDashedMonth(std::string_view text) {
    if (text.size() != 7 || text[4] != '-') return false;
    for (size_t k : {0, 1, 2, 3, 5, 6})
        if (!isDigit(text[k])) return false;
    const int year = std::stoi(std::string(text.substr(0, 4)));
    const int month = std::stoi(std::string(text.substr(5, 2)));
    return year >= 1800 && year < 2200 && month >= 1 && month <= 12;
}

// Whether `text` is a real day written aaaa-mm-jj (ISO 8601).
bool isDashedDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    const std::string digits = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) +
                               std::string(text.substr(8, 2));
    if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
    MYDATETIME d{};
    return DATETIME_ReadValid(digits, "aaaammjj", false, &d);
}

// Whether `text` is an identifier that mixes letters and digits in four runs or more (N1A1,
// L1S57, K1A0B1, and call signs of a station abroad, whose parts a slash joins: 3B8/OK1BIL), at
// most 12 characters; `pastF` is set when it holds a letter past F. (A column whose identifiers
// hold no such letter is rather of hexadecimal numbers, whose 0x or digits begin a column of
// their own: N0x3ee82930.)
bool isMixedIdentifier(std::string_view text, bool& pastF) {
    if (text.size() > 12 || text.find("0x") != std::string_view::npos) return false;
    int runs = 0;
    Kind last = Kind::Blank;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const Kind k = kindOf(static_cast<unsigned char>(c));
        const bool joins = c == '/' && i > 0 && i + 1 < text.size() && last != Kind::Punct;
        if (k != Kind::Digit && k != Kind::Letter && !joins) return false;
        pastF |= k == Kind::Letter && !isHexDigit(static_cast<unsigned char>(c));
        runs += k != last && k != Kind::Punct;
        last = k;
    }
    return runs >= 4;
}

// Whether `text` is a name of letters, then parts joined by dashes (CVE-2004-0836,
// ISO-8859-1), with `at` on one of its dashes: the dash joins the name's parts, it is no sign of
// a number.
bool dashInsideName(std::string_view text, size_t at) {
    if (at >= text.size() || text[at] != '-' || text.size() < 5) return false;
    size_t i = 0;
    while (i < text.size() && kindOf(static_cast<unsigned char>(text[i])) == Kind::Letter) ++i;
    if (i < 2 || i >= text.size() || text[i] != '-') return false;
    for (; i < text.size(); ++i) {
        const Kind k = kindOf(static_cast<unsigned char>(text[i]));
        if (k != Kind::Letter && k != Kind::Digit && text[i] != '-') return false;
    }
    return true;
}

// Whether p is inside values that an export writes whole, in nearly every row that has
// something on both sides: numbers in scientific notation (the e and the exponent's sign
// change the kind of character inside the number, and its digits before the e vary in count),
// days written aaaa-mm-jj and months aaaa-mm (their dashes stand between digits like a sign)
// and identifiers
// that mix letters and digits between blanks (a text column's value: a column of their
// letters alone, or of their digits alone, is none an export writes there), and names whose
// parts dashes join (CVE-2004-0836), read from the start found before p.
bool insideWholeValues(const Finder& f, int p) {
    const auto found = f.starts.lower_bound(p);
    const int from = found == f.starts.begin() ? 0 : std::prev(found)->first;
    int across = 0;
    int whole = 0;
    int identifiers = 0;
    bool pastF = false;
    for (int r = 0; r < f.rows; ++r) {
        if (f.g.kind(r, p - 1) == Kind::Blank || f.g.kind(r, p) == Kind::Blank) continue;
        ++across;
        size_t at = 0;
        const std::string text = runAcross(f.g, r, p, 80, at);
        if (text.empty()) continue;
        size_t inName = 0;
        const std::string name = runAcross(f.g, r, p, 40, inName, from);
        if (isDashedDay(text) || isDashedMonth(text) || insideScientific(text, at) ||
            dashInsideName(name, inName))
            ++whole;
        else
            identifiers += isMixedIdentifier(text, pastF);
    }
    if (pastF) whole += identifiers;
    return whole >= f.support && whole * 10 >= across * 9;
}

// Whether `text` is digits alone (12), or a number of a version: digits without zeros before
// them, then two parts or more that a point or a dash begins (0.12.3, 1.0.0-20180421): how
// numbers follow the letters of a name or of a version (F12, v0.12.3). (Zero-padded digits,
// or letters glued to them, are rather other columns: T00039.1018.70, O0001250DUPONT.)
bool digitsThenParts(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == text.size()) return i > 0;
    if (i == 0 || (text[0] == '0' && i > 1)) return false;
    int parts = 0;
    while (i < text.size()) {
        if ((text[i] != '.' && text[i] != '-') || i + 1 == text.size()) return false;
        const size_t part = ++i;
        while (i < text.size() && kindOf(static_cast<unsigned char>(text[i])) != Kind::Punct &&
               kindOf(static_cast<unsigned char>(text[i])) != Kind::Blank)
            ++i;
        if (i == part) return false;
        ++parts;
    }
    return parts >= 2;
}

// Whether the values across p are letters up to p then digits up to a blank, of several
// lengths (F0, F12, F103), or of one length with a text or a number after their padding
// (JRD001  Papilio, ZINC03814464  0008261), each from a blank or from the start found before:
// numbers that an export writes are zero-padded or aligned to their column's end, so digits
// left-aligned after letters, blanks after them, are the end of a text (an identifier), not a
// number of their own beside a flag.
bool insideLetteredNumbers(const Finder& f, int p) {
    // (A value begins at the start found before p, when no blank stands between them: the
    // number glued before CHEMBL207525 is a column of its own.)
    const auto found = f.starts.lower_bound(p);
    const int from = found == f.starts.begin() ? 0 : std::prev(found)->first;
    int across = 0;
    int whole = 0;
    int beforeText = 0;
    std::set<size_t> lengths;
    for (int r = 0; r < f.rows; ++r) {
        if (f.g.kind(r, p - 1) == Kind::Blank || f.g.kind(r, p) == Kind::Blank) continue;
        ++across;
        size_t at = 0;
        const std::string text = runAcross(f.g, r, p, 40, at, from);
        if (text.empty() || !digitsThenParts(std::string_view(text).substr(at))) continue;
        bool letters = true;
        for (size_t k = 0; k < at; ++k)
            letters &= kindOf(static_cast<unsigned char>(text[k])) == Kind::Letter;
        if (!letters) continue;
        ++whole;
        lengths.insert(text.size());
        // (What follows the blanks after the digits: a text, left-aligned, or a number.)
        const int end = p + static_cast<int>(text.size() - at);
        int next = end;
        while (next < f.g.width && f.g.kind(r, next) == Kind::Blank) ++next;
        beforeText += next < f.g.width && next > end &&
                      (next - end >= 2 || f.g.kind(r, next) != Kind::Letter);
    }
    // Of one length (JRD001), two blanks or more then a text after every one: the blanks are a
    // text's padding, as those after a number of its own would be the next column's, which a
    // text's value does not begin with (one blank is rather a word of the same text that goes
    // on: chi1 g+). So are blanks before a number (ZINC03814464  0008261): the zero-padded
    // numbers on either side have no blanks of their own.
    return (lengths.size() >= 2 || beforeText == whole) && whole >= f.support &&
           whole * 10 >= across * 9;
}

// Whether p falls inside short words of capitals of several lengths, left-aligned at one
// place (I, II, III, IV, XII; AB, ABC), or such words ended by digits (names of atoms: N, CA,
// HB2, HD21): in every row with a capital at p the word began before
// it, at the place where every other row's word begins, and it ends at blanks; some rows' words
// end just before p, others go on across. Flags side by side are each one letter in every
// row, a text glued after a flag goes on into small letters or longer words: neither leaves a
// word ended before p in some rows and going on in others.
bool insideShortWords(const Finder& f, int p) {
    constexpr int kLongest = 4;
    int start = -1, ended = 0, across = 0;
    for (int r = 0; r < f.rows; ++r) {
        auto capital = [&](int i) { return i >= 0 && i < f.g.width && isCapital(f.g.at(r, i)); };
        const bool left = capital(p - 1);
        if (!left && f.g.kind(r, p) != Kind::Blank) return false;
        if (!left) continue;
        int s = p - 1;
        while (capital(s - 1)) --s;
        int e = p;
        while (capital(e)) ++e;
        while (e < f.g.width && f.g.kind(r, e) == Kind::Digit) ++e;  // (HB2, HD21)
        if ((s > 0 && f.g.kind(r, s - 1) != Kind::Blank) || (start >= 0 && s != start) ||
            e - s > kLongest || (e < f.g.width && f.g.kind(r, e) != Kind::Blank))
            return false;
        start = s;
        ended += e == p;
        across += e > p;
    }
    return ended >= f.support && across >= f.support;
}

// Whether p falls inside words of one length, four letters or more, written in every row with
// the same four letters at most (AAAAC, GATC: sequences of nucleotides, codons): words of so
// few letters are sequences of one alphabet, one value, not a flag and a text.
bool insideSequences(const Finder& f, int p) {
    int a = p - 1, b = p;
    while (a > 0 && f.at(a - 1).letters == f.rows) --a;
    while (b + 1 < f.g.width && f.at(b + 1).letters == f.rows) ++b;
    if (b - a + 1 < 4 || (a > 0 && f.at(a - 1).blanks < f.rows) ||
        (b + 1 < f.g.width && f.at(b + 1).blanks < f.rows))
        return false;
    std::set<char32_t> alphabet;
    for (int i = a; i <= b; ++i) alphabet.insert(f.at(i).distinct.begin(), f.at(i).distinct.end());
    return f.at(p - 1).letters == f.rows && f.at(p).letters == f.rows && alphabet.size() <= 4;
}

// Whether p holds one same letter in every row that has something there, glued after digits
// that vary and followed by a blank in every row: the mark that ends a value (a year 1984Y, a
// size 12M), not a flag of its own. A flag that never varies tells nothing, and the column
// after it would begin with a blank in every row, which no left-aligned text nor zero-padded
// number does. (At the line's end, nothing follows to tell: a flag of one value may end it.)
bool markAfterNumber(const Finder& f, int p) {
    const Position& here = f.at(p);
    if (here.distinct.size() != 1 || here.letters != f.filled(p) || f.filled(p) < f.support ||
        f.at(p - 1).distinct.size() < 2 || p + 1 >= f.g.width)
        return false;
    for (int r = 0; r < f.rows; ++r) {
        if (f.g.kind(r, p) == Kind::Blank) continue;
        if (f.g.kind(r, p - 1) != Kind::Digit || f.g.kind(r, p + 1) != Kind::Blank) return false;
    }
    return true;
}

// Whether the change of kind met at p (`kinds`, in `count` rows) stands one place before or
// after p, inside the same run of characters, in the other rows (one in ten at least): the
// letters and digits of values of several shapes (call signs N4GNR beside IW3HVB), whose
// changes move with each value. Where a column begins, each row changes at its start or not
// at all.
bool changeDrifts(const Finder& f, int p, std::pair<Kind, Kind> kinds, int count) {
    const Grid& g = f.g;
    auto changesAt = [&](int r, int q) {
        return q >= 1 && q < g.width && g.kind(r, q - 1) == kinds.first &&
               g.kind(r, q) == kinds.second;
    };
    int moved = 0;
    for (int r = 0; r < f.rows; ++r) {
        if (changesAt(r, p) || g.kind(r, p - 1) == Kind::Blank || g.kind(r, p) == Kind::Blank)
            continue;
        moved += changesAt(r, p - 1) ||
                 (p + 1 < g.width && g.kind(r, p + 1) != Kind::Blank && changesAt(r, p + 1));
    }
    return moved >= f.support && moved * 10 >= count;
}

// Whether the digits that follow letters at p end in blanks before the row goes on, in more
// than half the rows that change there (`count`): a number of its own fills its column up to
// the next one (zero-padded, or aligned to its end), so digits followed by padding are the end
// of a left-aligned value that began with the letters (cp437, GRCh38, DEBE062, chr12). Over the
// published tables, no column that truly begins with digits after letters shows it in more than
// one row in fifty; the values that hide one column inside another show it in nearly every row.
bool digitsEndInPadding(const Finder& f, int p, int count) {
    const Grid& g = f.g;
    int padded = 0;
    for (int r = 0; r < f.rows; ++r) {
        if (g.kind(r, p - 1) != Kind::Letter || g.kind(r, p) != Kind::Digit) continue;
        int end = p;
        while (end < g.width && g.kind(r, end) == Kind::Digit) ++end;
        int next = end;
        while (next < g.width && g.kind(r, next) == Kind::Blank) ++next;
        padded += next > end && next < g.width;
    }
    return padded >= f.support && padded * 2 > count;
}

// A value begins, or the kind of character changes, at p in (nearly) every row: the evidence
// in words, or empty when the rows say otherwise.
std::string changeStart(const Finder& f, int p, const Transition& t) {
    const int evidence = t.begins + t.changes;
    const int seen = evidence + t.goesOn + t.ends;
    // Nearly every row that has something there; or every row that goes on there at all, in
    // one row in ten at least (a value that fills its column, then one often left blank).
    const bool nearlyAll = evidence >= f.support && evidence * 100 >= seen * 85;
    const bool everyGoingOn = evidence >= std::max(f.support, f.rows / 10) &&
                              evidence * 100 >= (evidence + t.goesOn) * 97;
    if (!nearlyAll && !everyGoingOn) return {};
    if (insideText(f, p, t, evidence) || insideCode(f, p, t)) return {};
    if (t.changes > t.begins) {
        auto top = std::max_element(t.pairs.begin(), t.pairs.end(),
                                    [](const auto& a, const auto& b) { return a.second < b.second; });
        if (changeDrifts(f, p, top->first, top->second)) return {};
        if (top->first == std::pair{Kind::Letter, Kind::Digit} &&
            digitsEndInPadding(f, p, top->second))
            return {};
        return (top->first.second == Kind::Punct
                    ? std::string("début d'un nombre signé")
                    : std::string(kindWord(top->first.first)) + " puis " + kindWord(top->first.second)) +
               " dans " + percentOf(evidence, seen) + " des lignes remplies";
    }
    return "début de valeur après des blancs dans " + percentOf(evidence, seen) + " des lignes remplies";
}

// Whether p-1 and p are left out together: blank at both in `support` rows that fill a column
// further on, never at one alone. A value left out is blank over its whole width, so they
// belong to one column. (Rows where every measure from there on is left out say nothing, however
// many: they are blank at every place.)
bool leftOutTogether(const Grid& g, int p, int support) {
    int both = 0;
    for (int r = 0; r < g.rows; ++r) {
        const bool a = g.kind(r, p - 1) == Kind::Blank;
        const bool b = g.kind(r, p) == Kind::Blank;
        if (a != b) return false;
        int i = p + 1;
        while (a && i < g.width && g.kind(r, i) == Kind::Blank) ++i;
        both += a && i < g.width;
    }
    return both >= support;
}

// Whether the places around p hold zeros (or blanks where a value is left out) in every row
// over five places or more: where a number ends and the next begins there (its own last zeros,
// decimals of zeros, the next one's padding), the rows do not show, and a column begun at a
// guess would cut a number as often as not.
bool inLongZeroRun(const Finder& f, int p) {
    auto zeros = [&](int i) {
        return f.at(i).zeros > 0 && f.at(i).zeros + f.at(i).blanks == f.rows;
    };
    int a = p, b = p;
    while (a > 0 && zeros(a - 1)) --a;
    while (b < f.g.width && zeros(b)) ++b;
    return b - a >= 5;
}

// Inside digits: a zero-padded number begins where zeros become the rule, judged over the
// rows that have digits on both sides (a column often left blank still shows its padding in
// the rows that fill it). May move p further, into the zeros, where the number begins; the
// evidence in words, or empty.
std::string zeroPaddingStart(const Finder& f, int& p, const Transition& t) {
    const Grid& g = f.g;
    const Position* after = f.after(p);
    DigitPair d = digitPairAt(g, p);
    if (f.rows < kFewRows || d.rows < std::max(f.support, f.rows / 10) ||
        d.rows + t.begins + t.changes < f.filled(p) * 9 / 10)
        return {};
    const double zBefore = static_cast<double>(d.zerosBefore) / d.rows;
    const double zHere = static_cast<double>(d.zerosHere) / d.rows;
    // A few rows (a short file) tell a share of zeros badly: only zeros in every row after
    // digits that vary, in every row that has digits there, say where the padding begins.
    if (f.rows < kZeroRows &&
        (d.zerosHere < d.rows || zBefore > 0.5 || d.distinctBefore < 3 || d.rows < f.filled(p)))
        return {};
    // Its next digit is mostly a zero as well, unless the number is one digit wide.
    const bool zerosGoOn = !after || after->digits * 10 < f.rows * 9 || after->zeros * 10 >= after->digits * 4;
    // The number before it ends with digits of every value (a constant digit, such as the 0
    // of years 2001 to 2009, says nothing).
    const bool variedBefore = d.distinctBefore >= 3;
    // A digit of two values (0 and 1, a count of few values) ends a number when the zeros
    // that follow it are every row's and lead to digits that vary again.
    const bool paddingAfterFew = d.distinctBefore == 2 && d.zerosHere == d.rows && d.zerosBefore < d.rows;
    // Padding leads to digits that vary; zeros that lead nowhere end the number before (a
    // rounded amount).
    if (!((variedBefore && ((zHere >= 0.6 && zBefore <= 0.3 && zerosGoOn) || (zHere >= 0.9 && zBefore <= 0.6))) ||
          paddingAfterFew) ||
        !variesLater(g, f.positions, p))
        return {};
    // Zeros in most rows, then in every row: the first ones end the number before (decimals
    // rounded to its scale), the padding is the zeros of every row. A sign further in the
    // zeros is where the number begins (its padding follows the sign).
    int start = p;
    for (int q = p; q + 1 < g.width;) {
        const DigitPair next = digitPairAt(g, ++q);
        if (signsAt(g, q) > 0) {
            start = q;
            d = next;
            break;
        }
        if (next.rows < d.rows * 3 / 4 || next.zerosHere * 4 < next.rows * 3) break;
        if (next.zerosHere == next.rows && d.zerosHere < d.rows) {
            start = q;
            d = next;
        }
    }
    // Zeros where the value before is left out as well are its decimals (000.5000). (The
    // positions passed over are then looked at in turn: p moves only to a start found.)
    if (leftOutTogether(g, start, f.support) || inLongZeroRun(f, start)) return {};
    p = start;
    return "nombre complété de zéros (" + percentOf(d.zerosHere, d.rows) + " de zéros contre " +
           percentOf(d.zerosBefore, d.rows) + " avant)";
}

// A number padded with zeros after a text of several widths: where the text is short its
// blanks end at p and the number begins there, where it fills its column the number's zeros
// stand glued to it at p (chrUn_KN149691v1000233193 beside chr1            058871917). Every
// row that has something at p has a zero there, and the number varies further on. The
// evidence in words, or empty.
std::string paddingAfterTextStart(const Finder& f, int p, const Transition& t) {
    const Grid& g = f.g;
    if (t.begins < f.support || t.begins == f.filled(p) || f.at(p).zeros != f.filled(p)) return {};
    if (!variesLater(g, f.positions, p)) return {};
    return "nombre complété de zéros après un texte (début après des blancs dans " +
           percentOf(t.begins, f.filled(p)) + " des lignes, zéros collés ailleurs)";
}

// Where a number ends, judged by the type of its column over every row: from the start found
// before p, every row holds a number (digits, a sign, a point) or blanks up to p, and in
// `support` rows a word begins at p right after its digits (IF001Yes, IF-04, IF0084yr College:
// the code is a number in every row up to p, no longer past it). A letter followed by a digit
// is a code's inside (0B1), not a word, and so are letters that are the same in every row
// (05000US06001). The evidence in words, or empty.
std::string numberEndStart(const Finder& f, int p) {
    const Grid& g = f.g;
    if (p + 1 >= g.width) return {};
    const auto next = f.starts.lower_bound(p);
    const int from = next == f.starts.begin() ? 0 : std::prev(next)->first;
    int words = 0, codes = 0, digitsBefore = 0;
    std::set<std::pair<char32_t, char32_t>> firstLetters;  // words of one spelling are a code's
    for (int r = 0; r < f.rows; ++r) {
        digitsBefore += g.kind(r, p - 1) == Kind::Digit;
        if (g.kind(r, p - 1) != Kind::Digit || g.kind(r, p) != Kind::Letter) continue;
        words += g.kind(r, p + 1) == Kind::Letter;
        codes += g.kind(r, p + 1) == Kind::Digit;
        if (g.kind(r, p + 1) == Kind::Letter && firstLetters.size() < 3)
            firstLetters.insert({g.at(r, p), g.at(r, p + 1)});
    }
    if (words < f.support || codes * 4 > words || digitsBefore * 2 < f.rows ||
        firstLetters.size() < 3)
        return {};
    for (int r = 0; r < f.rows; ++r) {
        for (int i = from; i < p; ++i) {
            const char32_t c = g.at(r, i);
            if (kindOf(c) == Kind::Letter ||
                (kindOf(c) == Kind::Punct && c != '-' && c != '+' && c != '.'))
                return {};
        }
    }
    return "fin d'un nombre : un mot commence après ses chiffres dans " + std::to_string(words) +
           " lignes";
}

// Zeros in every row after a digit that varies: where no other rule speaks, a zero-padded
// number begins at the first of them.
std::string zeroRunStart(const Finder& f, int p) {
    const Grid& g = f.g;
    const DigitPair d = digitPairAt(g, p);
    if (d.rows < f.support || d.rows * 10 < f.filled(p) * 9 || d.zerosHere != d.rows ||
        d.distinctBefore < 2 || d.zerosBefore == d.rows)
        return {};
    if (!variesLater(g, f.positions, p) || leftOutTogether(g, p, f.support) || inLongZeroRun(f, p))
        return {};
    return "zéros dans toutes les lignes après des chiffres qui varient";
}

// Decimals written to one scale: a point at the same place q in every row that has a value
// there, digits from it up to p-1 in all of them, and in some rows a letter at p where the
// others go on in digits (0001.000No. 18 beside 0125.0005 in.): the rows that show where the
// decimals end show it for every row. The evidence in words, or empty.
std::string decimalScaleStart(const Finder& f, int p) {
    const Grid& g = f.g;
    int q = p - 1;
    while (q > 0 && f.at(q).digits == f.filled(q) && f.filled(q) > 0) --q;
    if (q == p - 1 || f.filled(q) < f.support) return {};
    int letters = 0;
    for (int r = 0; r < f.rows; ++r) {
        if (g.kind(r, q) == Kind::Blank) {
            if (g.kind(r, p - 1) != Kind::Blank) return {};
            continue;
        }
        if (g.at(r, q) != '.' || g.kind(r, q - 1) != Kind::Digit) return {};
        letters += g.kind(r, p) == Kind::Letter;
    }
    if (letters < f.support || letters == f.filled(q)) return {};
    return "fin de décimales à " + std::to_string(p - q - 1) + " chiffres, lettres après dans " +
           std::to_string(letters) + " lignes";
}

// Whether the characters of row r from `from`, towards `step` up to a blank or the line's
// edge, have no letter (the numbers glued there: 0000106654.00000571).
bool numbersOnly(const Grid& g, int r, int from, int step) {
    for (int i = from; i >= 0 && i < g.width && g.kind(r, i) != Kind::Blank; i += step)
        if (g.kind(r, i) == Kind::Letter) return false;
    return true;
}

// Rows where numbers end at p-1 and a value left out follows, and rows where a value left out
// ends at p and numbers begin; rows with a letter on either side, rows glued there (a digit
// on both sides). A value is left out where two blanks at least of the line stand at places
// that hold digits in most rows (not a number's blank padding, not the blank after a
// delimiter, not the end of a shorter line).
struct BlankEdges {
    int ends = 0;
    int begins = 0;
    int letters = 0;
    int glued = 0;
    int any = 0;  // numbers that end or begin at blanks, left-out values or not
    int edges() const { return ends + begins; }
};
BlankEdges blankEdgesAt(const Grid& g, const std::vector<Position>& positions, int p) {
    BlankEdges e;
    if (p < 1 || p >= g.width) return e;
    auto digitsMostly = [&](int i) { return positions[static_cast<size_t>(i)].digits * 2 >= g.rows; };
    for (int r = 0; r < g.rows; ++r) {
        const Kind a = g.kind(r, p - 1);
        const Kind b = g.kind(r, p);
        const char32_t c = g.at(r, p);
        e.letters += a == Kind::Letter || b == Kind::Letter;
        e.glued += a == Kind::Digit && b == Kind::Digit;
        // Texts that end in digits (B-727, N9A1) are no numbers.
        if (a == Kind::Digit && b == Kind::Blank && numbersOnly(g, r, p - 1, -1)) {
            ++e.any;
            // (The line's own blanks: those the grid pads a shorter line with are none.)
            const int length = g.lengths[static_cast<size_t>(r)];
            int end = p;
            while (end < length && g.kind(r, end) == Kind::Blank) ++end;
            e.ends += digitsMostly(p) && end - p >= 2;
        }
        if (a == Kind::Blank && (b == Kind::Digit || c == '-' || c == '+') && numbersOnly(g, r, p, 1)) {
            ++e.any;
            int q = p - 1;
            while (q > 0 && g.kind(r, q - 1) == Kind::Blank) --q;
            e.begins += digitsMostly(q) && p - q >= 2;
        }
    }
    return e;
}

// Among zero-padded numbers, blanks are a value left out: the run begins and ends where a
// column does, at the same place in every row that has one, where the numbers glued in the
// other rows show nothing. The evidence in words, or empty.
std::string blankEdgeStart(const Finder& f, int p) {
    const BlankEdges here = blankEdgesAt(f.g, f.positions, p);
    // The rows that leave a value out are the fewer: the others glue their numbers there. Two
    // rows are enough where the glued ones all have a zero at p, the padding of a number that
    // begins there.
    const DigitPair d = digitPairAt(f.g, p);
    const int needed = d.rows >= f.support && d.zerosHere == d.rows ? 2 : f.support;
    if (here.edges() < needed || here.letters * 20 > f.rows || here.glued < here.edges()) return {};
    // Edges at one place only: numbers of several lengths end or begin anywhere.
    const int near = std::max(blankEdgesAt(f.g, f.positions, p - 1).any,
                              blankEdgesAt(f.g, f.positions, p + 1).any);
    if (near * 4 > here.edges()) return {};
    return "bord d'une valeur absente entre des nombres dans " + std::to_string(here.edges()) + " lignes";
}

// Whether the values at p begin with digits in some rows and capitals in others, each in
// `support` rows at least, and never with a small letter.
bool mixedStart(const Finder& f, int p) {
    int digits = 0, capitals = 0, small = 0;
    for (int r = 0; r < f.rows; ++r) {
        const char32_t c = f.g.at(r, p);
        digits += c >= '0' && c <= '9';
        capitals += c >= 'A' && c <= 'Z';
        small += (c >= 'a' && c <= 'z') || c >= 0x80;
    }
    return digits >= f.support && capitals >= f.support && small == 0;
}

// Letters A to Z glued to letters of another script (a code or a flag, then a word in
// Japanese), or the other way round, at p in nearly every row that has letters on both sides:
// exports write Latin codes beside words in their own script, and no word switches script at
// one place in every row. The evidence in words, or empty.
std::string scriptChangeStart(const Finder& f, int p) {
    int letters = 0, toOther = 0, toLatin = 0;
    for (int r = 0; r < f.rows; ++r) {
        const char32_t a = f.g.at(r, p - 1);
        const char32_t b = f.g.at(r, p);
        if (kindOf(a) != Kind::Letter || kindOf(b) != Kind::Letter) continue;
        ++letters;
        toOther += a < 0x80 && b >= 0x80;
        toLatin += a >= 0x80 && b < 0x80;
    }
    const int changes = std::max(toOther, toLatin);
    if (changes < f.support || changes * 100 < letters * 85 || letters * 10 < f.filled(p) * 9)
        return {};
    return std::string(toOther > toLatin ? "lettres A à Z puis d'une autre écriture"
                                         : "lettres d'une autre écriture puis A à Z") +
           " dans " + percentOf(changes, letters) + " des lignes";
}

// Answers of two letters side by side (T and F, Y and N at p-1 and at p, a line of names
// aside): each pairing of the two letters where they differ met in two rows at least, as
// answers to two questions are and the letters of one code of two letters seldom are.
// Exports write a set of yes/no answers glued, one letter each. The evidence in words, or
// empty.
std::string answersStart(const Finder& f, int p) {
    const Position& before = f.at(p - 1);
    if (!isFlag(before, f.rows) || !isFlag(f.at(p), f.rows) || before.distinct.size() < 2)
        return {};
    // The two commonest letters at p-1; every row but one holds one of them on both sides.
    std::map<char32_t, int> counts;
    for (int r = 0; r < f.rows; ++r)
        if (f.g.kind(r, p - 1) == Kind::Letter) ++counts[f.g.at(r, p - 1)];
    std::vector<std::pair<int, char32_t>> byCount;
    for (const auto& [c, n] : counts) byCount.emplace_back(n, c);
    if (byCount.size() < 2) return {};
    std::sort(byCount.rbegin(), byCount.rend());
    const char32_t one = byCount[0].second;
    const char32_t other = byCount[1].second;
    int oneThenOther = 0, otherThenOne = 0, outside = 0;
    for (int r = 0; r < f.rows; ++r) {
        const char32_t a = f.g.at(r, p - 1);
        const char32_t b = f.g.at(r, p);
        outside += (a != one && a != other) || (b != one && b != other);
        oneThenOther += a == one && b == other;
        otherThenOne += a == other && b == one;
    }
    if (outside > 1 || std::min(oneThenOther, otherThenOne) < 2) return {};
    return "réponses de deux lettres côte à côte (" + encodeChars({one}, 0, 1) + " et " +
           encodeChars({other}, 0, 1) + " dans chaque ordre)";
}

// A one-letter flag at p-1 or p: the evidence in words, or empty.
std::string flagStart(const Finder& f, int p, const Transition& t) {
    const Grid& g = f.g;
    const Position& before = f.at(p - 1);
    const Position& here = f.at(p);
    const Position* after = f.after(p);
    const int seen = t.begins + t.changes + t.goesOn + t.ends;
    // A flag stands between two boundaries: the one before it is already found when the text
    // follows it; the text before it is followed by many values or digits.
    const bool flagStarts = p == 1 || f.starts.count(p - 1) > 0;
    const bool afterChanges =
        after && (isBusyText(*after, here.distinct.size(), f.rows) || after->digits * 10 >= f.rows * 9);
    // A flag after a text of several widths (begun after its blanks in half the rows that have
    // something there), digits or a text of many values after it.
    if (isFlag(here, f.rows) && afterChanges && t.begins >= f.support && t.begins * 2 >= seen)
        return after->digits * 10 >= f.rows * 9 ? "indicateur d'une lettre après un texte, chiffres ensuite"
                                                 : "indicateur d'une lettre après un texte, texte ensuite";
    // After a flag begun where a text's blanks end: a value whose first characters are digits
    // in some rows, capitals in others (P then 1,CM000663.2 or GL000221.1) is no word that
    // the letter begins.
    if (isFlag(before, f.rows) && f.starts.count(p - 1) && mixedStart(f, p) &&
        transitionAt(g, p - 1).begins * 2 >= f.filled(p - 1))
        return "après un indicateur d'une lettre, valeur de chiffres ou de lettres";
    // Beside another flag whose letter it does not tell.
    if (isFlag(before, f.rows) && isFlag(here, f.rows) && flagStarts && independentFlags(g, p))
        return "deux indicateurs d'une lettre";
    // Between letters of many values.
    if (isFlag(before, f.rows) && flagStarts && isBusyText(here, before.distinct.size(), f.rows) &&
        flagApart(g, p))
        return "après un indicateur d'une lettre";
    // Before a letter that is the same in every row that has one (a text whose values share
    // their first letters: chr1, chrUn_KN150052v1): letters of a few values that vary while
    // the next one does not are a flag of their own, begun where the column before ended.
    if (isFlag(before, f.rows) && before.distinct.size() >= 2 && f.starts.count(p - 1) &&
        f.filled(p) >= f.support && here.letters == f.filled(p) && here.distinct.size() == 1)
        return "après un indicateur d'une lettre, texte d'un même début";
    if (isFlag(here, f.rows) && afterChanges && isBusyText(before, here.distinct.size(), f.rows) &&
        flagApart(g, p)) {
        std::string values;
        for (char32_t c : here.distinct) values += (values.empty() ? "" : ", ") + encodeChars({c}, 0, 1);
        return "indicateur d'une lettre (" + values + ")";
    }
    return {};
}

// Whether position i holds one same character, not a blank, in every row.
bool constantAt(const Finder& f, int i) {
    return i >= 0 && i < f.g.width && f.at(i).blanks == 0 && f.at(i).distinct.size() == 1;
}

// Whether position i holds a flag that varies (two letters A to Z at least, each but the
// commonest in two rows) between characters that are the same in every row.
bool loneFlagAt(const Finder& f, int i) {
    if (!constantAt(f, i - 1) || !constantAt(f, i + 1) || !isFlag(f.at(i), f.rows) ||
        f.at(i).blanks > 0 || f.at(i).distinct.size() < 2)
        return false;
    std::map<char32_t, int> counts;
    for (int r = 0; r < f.rows; ++r) ++counts[f.g.at(r, i)];
    int commonest = 0;
    for (const auto& [c, n] : counts) commonest = std::max(commonest, n);
    return f.rows - commonest >= 2;
}

// A letter that varies alone among characters the same in every row (AT, AB, AD beside the
// constant texts of the rows read: a region, then an island, then a stage) is a flag of its
// own: a value of one column that changes while its neighbours, other columns constant in the
// rows read, do not. The evidence in words, or empty.
std::string loneFlagStart(const Finder& f, int p) {
    if (loneFlagAt(f, p))
        return "indicateur d'une lettre qui varie seul entre des caractères constants";
    if (loneFlagAt(f, p - 1)) return "après un indicateur d'une lettre qui varie seul";
    return {};
}

// A column left blank in most rows: the few rows that fill it begin their value at p after two
// blanks or more (the padding of the value before), and no row goes on across p (each of its
// values ends before p or begins at p). Texts of one column do not all break at one place and
// seldom hold two blanks in a row, so a value that begins at p after padding in two rows, with
// no row across, is the start of a column. The evidence in words, or empty.
std::string cleanCutStart(const Finder& f, int p, const Transition& t) {
    if (p < 2 || t.changes + t.goesOn > 0 || t.begins < 2) return {};
    // (Where lines of many lengths, fewer than nine in ten, reach p, their last column is
    // ragged: a value that a few long lines begin there may as well be the inside of that
    // column.)
    if (f.manyLengths && linesReaching(f.g, p) * 10 < f.rows * 9) return {};
    int afterPadding = 0;
    for (int r = 0; r < f.rows; ++r)
        afterPadding += f.g.kind(r, p - 2) == Kind::Blank && f.g.kind(r, p - 1) == Kind::Blank &&
                        f.g.kind(r, p) != Kind::Blank;
    if (afterPadding < 2 || afterPadding * 2 < t.begins) return {};
    return "début de valeur après des blancs dans " + std::to_string(afterPadding) +
           " lignes, aucune valeur à cheval";
}

// A text of few values whose longest fill its column (is-a, is-part-of beside is-property-of;
// MME beside MONSIEUR): where it is short a value begins at p after its blanks, where it fills
// its width the next value is glued to it at p. Every row that has something at p either
// begins a value there after blanks or holds, from the start found before, one of at most
// three words without a blank, each in two rows or more, then values of many kinds: a column
// of categories ends at p. The evidence in words, or empty.
std::string fewValuesFillStart(const Finder& f, int p, const Transition& t) {
    const auto found = f.starts.lower_bound(p);
    const int from = found == f.starts.begin() ? 0 : std::prev(found)->first;
    if (t.begins < f.support || t.begins * 10 < f.filled(p) * 3 || p - from < 3) return {};
    std::map<std::u32string, int> words;
    std::set<std::u32string> after;
    for (int r = 0; r < f.rows; ++r) {
        if (f.g.kind(r, p) == Kind::Blank || f.g.kind(r, p - 1) == Kind::Blank) continue;
        std::u32string word, next;
        for (int i = from; i < p; ++i) word += f.g.at(r, i);
        for (int i = p; i < f.g.width && i < p + 4; ++i) next += f.g.at(r, i);
        if (word.find(U' ') != std::u32string::npos || words.size() > 3) return {};
        ++words[word];
        after.insert(next);
    }
    int glued = 0;
    for (const auto& [word, count] : words) {
        if (count < 2) return {};
        glued += count;
    }
    // (Glued in one row in ten at least: a few long words of a text say nothing.)
    if (words.empty() || words.size() > 3 || after.size() < 3 ||
        glued < std::max(f.support, f.rows / 10))
        return {};
    return "texte de peu de valeurs qui remplit sa colonne dans " + std::to_string(glued) +
           " lignes, début de valeur après des blancs dans " + std::to_string(t.begins);
}

// A sign between digits in some rows and a zero in the others: a signed number padded with
// zeros begins there (its sign first, as a number of every width writes it).
std::string signedStart(const Finder& f, int p) {
    const int signs = signsAt(f.g, p);
    if (signs < f.support || f.at(p).zeros < f.support || signs + f.at(p).zeros != f.filled(p)) return {};
    return "début d'un nombre signé dans " + percentOf(signs, f.filled(p)) + " des lignes remplies, zéros ailleurs";
}

// Whether the columns from `from` to `to` hold zeros only in every row (or blanks where a value
// is left out).
bool zerosOnly(const Finder& f, int from, int to) {
    for (int i = from; i < to; ++i)
        if (f.at(i).zeros + f.at(i).blanks != f.rows) return false;
    return true;
}

// Whether the rows go on across p as one value: the same kind on both sides, not a blank and
// not the zero a padded number begins with, in more than one row in twenty.
bool rowsGoOnAcross(const Finder& f, int p) {
    int goOn = 0;
    for (int r = 0; r < f.rows; ++r) {
        const Kind a = f.g.kind(r, p - 1);
        goOn += a != Kind::Blank && a == f.g.kind(r, p) && f.g.at(r, p) != '0';
    }
    return goOn * 20 > f.rows;
}

// A header line writes each name from its column's first character: a name that begins after
// two blanks or more (the padding of the name before; one blank is inside a name of several
// words) begins a column, unless the rows go on across it as one value. A start found under
// those blanks is the same boundary seen a few characters early (the zeros that end decimals
// taken for the padding of the next number): it moves to the name.
void headerStarts(Finder& f, const std::vector<char32_t>& header) {
    const int width = std::min(f.g.width, static_cast<int>(header.size()));
    for (int n = 2; n < width; ++n) {
        if (kindOf(header[static_cast<size_t>(n)]) == Kind::Blank ||
            kindOf(header[static_cast<size_t>(n - 1)]) != Kind::Blank ||
            kindOf(header[static_cast<size_t>(n - 2)]) != Kind::Blank || f.starts.count(n) ||
            f.insideDate[static_cast<size_t>(n)] || rowsGoOnAcross(f, n))
            continue;
        int b = n - 1;
        while (b > 0 && kindOf(header[static_cast<size_t>(b - 1)]) == Kind::Blank) --b;
        for (auto it = f.starts.lower_bound(b + 1); it != f.starts.end() && it->first < n;)
            it = f.starts.erase(it);
        f.starts[n] = "nom de colonne de l'en-tête après des blancs";
    }
}

// Whether position q holds a decimal point in every row that has something there (a few rows
// at least), between digits.
bool pointEverywhere(const Finder& f, int q) {
    if (q < 1 || q + 1 >= f.g.width || f.filled(q) < f.support) return false;
    for (int r = 0; r < f.rows; ++r) {
        const char32_t c = f.g.at(r, q);
        if (c != ' ' &&
            (c != '.' || f.g.kind(r, q - 1) != Kind::Digit || f.g.kind(r, q + 1) != Kind::Digit))
            return false;
    }
    return true;
}

// Where the digits after the point at q end in every row: the end of the line, or a blank or
// a letter in every row that has something at q. -1 where they go on into digits in some row
// (the padding of a number glued after them).
int decimalsEnd(const Finder& f, int q) {
    int e = q + 1;
    while (e < f.g.width && f.at(e).digits > 0 && f.at(e).letters == 0) {
        for (int r = 0; r < f.rows; ++r)
            if (f.g.at(r, q) == '.' && f.g.kind(r, e) != Kind::Digit) return -1;
        ++e;
    }
    if (e == f.g.width) return e;
    for (int r = 0; r < f.rows; ++r) {
        const Kind k = f.g.kind(r, e);
        if (f.g.at(r, q) == '.' && k != Kind::Blank && k != Kind::Letter) return -1;
    }
    return e;
}

// An export writes its decimals to one scale: where the rows show where the decimals of some
// columns end (at the line's end, before blanks or letters) and they all end at the same
// number of digits, the zeros after the point of a column glued to a zero-padded number are
// its decimals up to that scale (0023.1100024.200: the padding begins after the third zero
// place, as 0020.150 at the line's end shows), not the next number's padding.
void decimalsToTheirScale(Finder& f) {
    std::vector<int> points;
    std::set<int> scales;
    for (int q = 1; q < f.g.width; ++q) {
        if (!pointEverywhere(f, q)) continue;
        points.push_back(q);
        const int e = decimalsEnd(f, q);
        if (e > q + 1) scales.insert(e - q - 1);
    }
    if (scales.size() != 1) return;
    const int scale = *scales.begin();
    for (int q : points) {
        const auto start = f.starts.upper_bound(q);
        if (start == f.starts.end() || !f.paddingStarts.count(start->first)) continue;
        const int p = start->first;
        const int to = q + scale + 1;  // where the padding begins at that scale
        if (p >= to || to >= f.g.width || f.starts.count(to) || !zerosOnly(f, p, to + 1)) continue;
        const std::string why =
            start->second + ", décimales à " + std::to_string(scale) + " chiffres comme ailleurs";
        f.starts.erase(p);
        f.paddingStarts.erase(p);
        f.starts[to] = why;
        f.paddingStarts.insert(to);
    }
}

// The columns between the starts. A column blank in every row is padding of the one before
// it; one of zeros only, begun where zeros became the rule, is the decimals of the number
// before it (a number is no column of zeros: padding leads to digits that vary).
std::vector<FIXEDWIDTH_COLUMN> columnsFromStarts(Finder& f) {
    std::vector<int> cuts{0};
    for (const auto& [p, why] : f.starts) cuts.push_back(p);
    cuts.push_back(f.g.width);
    for (size_t k = 1; k + 1 < cuts.size() && cuts.size() > 2;) {
        bool blank = true;
        for (int i = cuts[k]; i < cuts[k + 1] && blank; ++i) blank = f.at(i).blanks == f.rows;
        if (blank || (f.paddingStarts.count(cuts[k]) && zerosOnly(f, cuts[k], cuts[k + 1]))) {
            f.starts.erase(cuts[k]);
            cuts.erase(cuts.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            ++k;
        }
    }
    std::vector<FIXEDWIDTH_COLUMN> columns;
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        FIXEDWIDTH_COLUMN c;
        c.start = cuts[k];
        c.width = cuts[k + 1] - cuts[k];
        if (k > 0) c.evidence = f.starts[cuts[k]];
        columns.push_back(c);
    }
    if (columns.size() < 2) columns.clear();
    return columns;
}

// What the finder sees at one position, as numbers named for a study of its rules against
// files of known widths (FIXEDWIDTH_FindColumnsSeen): each rule's answer taken alone, whatever
// the rules before it said, the shares of rows showing each transition, and facts of the
// characters on each side.
using Seen = std::vector<std::pair<std::string, double>>;

void seenAt(const Finder& f, int p, const Transition& t, const std::vector<char32_t>& header,
            Seen& out) {
    const Grid& g = f.g;
    const double rows = std::max(1, g.rows);
    auto flag = [&](const char* name, bool b) { out.push_back({name, b ? 1.0 : 0.0}); };
    auto fired = [&](const char* name, const std::string& why) { flag(name, !why.empty()); };
    auto share = [&](const char* name, int n) { out.push_back({name, n / rows}); };
    const size_t i = static_cast<size_t>(p);
    flag("r_found_before", f.starts.count(p) > 0);
    flag("r_inside_date", f.insideDate[i]);
    flag("r_inside_one_value", f.insideOneValue[i]);
    fired("r_hex", hexStart(f, p));
    fired("r_change", changeStart(f, p, t));
    fired("r_blank_edge", blankEdgeStart(f, p));
    int q = p;
    fired("r_zero_padding", zeroPaddingStart(f, q, t));
    flag("r_zero_padding_moved", q != p);
    fired("r_padding_after_text", paddingAfterTextStart(f, p, t));
    fired("r_decimal_scale", decimalScaleStart(f, p));
    fired("r_number_end", numberEndStart(f, p));
    fired("r_zero_run", zeroRunStart(f, p));
    fired("r_signed", signedStart(f, p));
    fired("r_script_change", scriptChangeStart(f, p));
    fired("r_answers", answersStart(f, p));
    fired("r_flag", flagStart(f, p, t));
    fired("r_clean_cut", cleanCutStart(f, p, t));
    fired("r_lone_flag", loneFlagStart(f, p));
    fired("r_few_values_fill", fewValuesFillStart(f, p, t));
    flag("v_inside_text", insideText(f, p, t, t.begins + t.changes));
    flag("v_inside_code", insideCode(f, p, t));
    flag("v_whole_values", insideWholeValues(f, p));
    flag("v_lettered_numbers", insideLetteredNumbers(f, p));
    flag("v_short_words", insideShortWords(f, p));
    flag("v_mark_after_number", markAfterNumber(f, p));
    flag("v_sequences", insideSequences(f, p));
    flag("v_long_zero_run", inLongZeroRun(f, p));
    flag("v_goes_on_across", rowsGoOnAcross(f, p));
    share("t_begins", t.begins);
    share("t_changes", t.changes);
    share("t_goes_on", t.goesOn);
    share("t_ends", t.ends);
    share("t_blanks", t.blanks);
    share("t_single_gaps", t.singleGaps);
    share("t_word_after_gap", t.wordAfterGap);
    share("t_after_comma", t.afterComma);
    share("t_small_after_word", t.smallAfterWord);
    share("t_digit_letter", pairCount(t, Kind::Digit, Kind::Letter));
    share("t_letter_digit", pairCount(t, Kind::Letter, Kind::Digit));
    share("t_sign",
          pairCount(t, Kind::Digit, Kind::Punct) + pairCount(t, Kind::Letter, Kind::Punct));
    const int evidence = t.begins + t.changes;
    const int seenRows = evidence + t.goesOn + t.ends;
    out.push_back({"t_evidence_of_filled", seenRows ? evidence / double(seenRows) : 0.0});
    out.push_back({"t_evidence_of_going_on",
                   evidence + t.goesOn ? evidence / double(evidence + t.goesOn) : 0.0});
    int zeroAfterDigit = 0, digitDigit = 0, smallCapital = 0, letterLetter = 0,
        digitThenZeroRun = 0;
    for (int r = 0; r < g.rows; ++r) {
        const char32_t a = g.at(r, p - 1), b = g.at(r, p);
        const bool digits = kindOf(a) == Kind::Digit && kindOf(b) == Kind::Digit;
        digitDigit += digits;
        zeroAfterDigit += digits && b == '0';
        digitThenZeroRun += digits && a != '0' && b == '0';
        smallCapital += isSmall(a) && isCapital(b);
        letterLetter += kindOf(a) == Kind::Letter && kindOf(b) == Kind::Letter;
    }
    share("c_digit_digit", digitDigit);
    share("c_zero_after_digit", zeroAfterDigit);
    share("c_zero_after_nonzero", digitThenZeroRun);
    share("c_small_capital", smallCapital);
    share("c_letter_letter", letterLetter);
    for (int side = 0; side < 2; ++side) {
        const Position& at = f.at(p - 1 + side);
        const bool left = side == 0;
        share(left ? "c_blank_before" : "c_blank_at", at.blanks);
        share(left ? "c_digit_before" : "c_digit_at", at.digits);
        share(left ? "c_letter_before" : "c_letter_at", at.letters);
        share(left ? "c_zero_before" : "c_zero_at", at.zeros);
        out.push_back({left ? "c_distinct_before" : "c_distinct_at",
                       static_cast<double>(at.distinct.size()) / kDistinctCap});
        flag(left ? "c_constant_before" : "c_constant_at", constantAt(f, p - 1 + side));
        flag(left ? "c_flag_before" : "c_flag_at", isFlag(at, g.rows));
    }
    flag("c_independent", independentFlags(g, p));
    flag("c_flag_apart", flagApart(g, p));
    share("c_lines_reaching", linesReaching(g, p));
    const bool named = !header.empty() && p >= 1 && i < header.size() &&
                       kindOf(header[i - 1]) == Kind::Blank && kindOf(header[i]) != Kind::Blank;
    flag("h_name_begins", named);
}

// How the values between `from` and `to` type over the rows: shares of the rows that have
// something there, each named `side` then what it counts.
void segmentSeen(const Grid& g, int from, int to, const std::string& side, Seen& out) {
    int filled = 0, numbers = 0, digitsOnly = 0, zeroLed = 0, lettersOnly = 0, leftAligned = 0,
        rightAligned = 0;
    std::set<std::u32string> values;
    for (int r = 0; r < g.rows; ++r) {
        int a = from, b = to;
        while (a < b && kindOf(g.at(r, a)) == Kind::Blank) ++a;
        while (b > a && kindOf(g.at(r, b - 1)) == Kind::Blank) --b;
        if (a == b) continue;
        ++filled;
        leftAligned += a == from;
        rightAligned += b == to;
        bool digits = true, number = true, letters = true, point = false;
        for (int k = a; k < b; ++k) {
            const char32_t c = g.at(r, k);
            const Kind kind = kindOf(c);
            digits = digits && kind == Kind::Digit;
            letters = letters && (kind == Kind::Letter || kind == Kind::Blank);
            const bool sign = k == a && (c == '-' || c == '+');
            const bool dot = c == '.' && !point;
            point = point || c == '.';
            number = number && (kind == Kind::Digit || sign || dot);
        }
        numbers += number;
        digitsOnly += digits;
        zeroLed += g.at(r, a) == '0' && b - a > 1;
        lettersOnly += letters;
        if (values.size() < 64)
            values.insert(
                std::u32string(&g.cells[static_cast<size_t>(r) * static_cast<size_t>(g.width) +
                                        static_cast<size_t>(a)],
                               static_cast<size_t>(b - a)));
    }
    const double n = std::max(1, filled);
    out.push_back({side + "filled", filled / double(std::max(1, g.rows))});
    out.push_back({side + "numbers", numbers / n});
    out.push_back({side + "digits", digitsOnly / n});
    out.push_back({side + "zero_led", zeroLed / n});
    out.push_back({side + "letters", lettersOnly / n});
    out.push_back({side + "left_aligned", leftAligned / n});
    out.push_back({side + "right_aligned", rightAligned / n});
    out.push_back({side + "distinct", std::min(1.0, values.size() / n)});
}

// The finder; `seen`, when given, receives what it saw at each position.
FIXEDWIDTH_LAYOUT findColumns(const std::vector<std::string_view>& lines,
                              FIXEDWIDTH_POSITIONS* seen) {
    FIXEDWIDTH_LAYOUT layout;
    std::vector<char32_t> headerLine;
    const Grid g = buildGrid(lines, layout, headerLine);
    if (g.rows < 2 || g.width < FIXEDWIDTH_MIN_LINE) return layout;
    Finder f(g, layout.fewLengthsLines * 10 < layout.lines * 9);
    findCoordinatesAndBrackets(f);
    findDates(f);
    findAnswerBlocks(f);
    findHexCodes(f);
    std::vector<Seen> seenRows;
    auto see = [&](int upTo) {  // what the rules see up to upTo, as they stand
        for (int q = static_cast<int>(seenRows.size()) + 1; seen && q <= upTo; ++q) {
            seenRows.emplace_back();
            seenAt(f, q, transitionAt(g, q), headerLine, seenRows.back());
        }
    };
    // Each rule in turn, the first that finds a start at p gives its evidence.
    for (int p = 1; p < g.width; ++p) {
        see(p);  // (a number's padding found may move p past places: seen then)
        if (f.insideDate[static_cast<size_t>(p)] || f.insideOneValue[static_cast<size_t>(p)] ||
            f.starts.count(p))
            continue;
        const Transition t = transitionAt(g, p);
        std::string why = hexStart(f, p);
        if (why.empty()) why = changeStart(f, p, t);
        if (why.empty()) why = blankEdgeStart(f, p);
        if (why.empty()) {
            why = zeroPaddingStart(f, p, t);
            if (!why.empty()) f.paddingStarts.insert(p);
        }
        if (why.empty()) why = paddingAfterTextStart(f, p, t);
        if (why.empty()) why = decimalScaleStart(f, p);
        if (why.empty()) why = numberEndStart(f, p);
        if (why.empty()) why = zeroRunStart(f, p);
        if (why.empty()) why = signedStart(f, p);
        if (why.empty()) why = scriptChangeStart(f, p);
        if (why.empty()) why = answersStart(f, p);
        if (why.empty()) why = flagStart(f, p, t);
        if (why.empty()) why = cleanCutStart(f, p, t);
        if (why.empty()) why = loneFlagStart(f, p);
        if (why.empty()) why = fewValuesFillStart(f, p, t);
        if (!why.empty() && !insideWholeValues(f, p) && !insideLetteredNumbers(f, p) &&
            !insideShortWords(f, p) && !markAfterNumber(f, p) && !insideSequences(f, p))
            f.starts[p] = why;
    }
    see(g.width - 1);
    std::set<int> loopStarts, beforeFolding;
    if (seen)
        for (const auto& [p, why] : f.starts) loopStarts.insert(p);
    decimalsToTheirScale(f);
    if (layout.header) headerStarts(f, headerLine);
    layout.columns = columnsFromStarts(f);
    if (seen)
        for (size_t k = 1; k < layout.columns.size(); ++k)
            beforeFolding.insert(layout.columns[k].start);
    foldRaggedTail(layout.columns, g, layout);
    finishLayout(layout, g, headerLine);
    if (seen) {
        // The columns the rules found on each side of each position, typed over the rows.
        std::vector<int> cuts{0};
        for (size_t k = 1; k < layout.columns.size(); ++k) cuts.push_back(layout.columns[k].start);
        cuts.push_back(g.width);
        for (int p = 1; p < g.width; ++p) {
            Seen& row = seenRows[static_cast<size_t>(p - 1)];
            const auto next = std::upper_bound(cuts.begin(), cuts.end(), p);
            const int before = *(next - 1) == p ? *(next - 2) : *(next - 1);
            const int after = next == cuts.end() ? g.width : *next;
            const bool start = *(next - 1) == p;
            row.push_back({"rules_loop_start", loopStarts.count(p) ? 1.0 : 0.0});
            row.push_back({"rules_before_folding", beforeFolding.count(p) ? 1.0 : 0.0});
            row.push_back({"rules_start", start ? 1.0 : 0.0});
            row.push_back({"x_width_before", std::min(1.0, (p - before) / 40.0)});
            row.push_back({"x_width_after", std::min(1.0, (after - p) / 40.0)});
            segmentSeen(g, before, p, "l_", row);
            segmentSeen(g, p, after, "r2_", row);
            segmentSeen(g, before, after, "w_", row);
        }
        seen->names.clear();
        seen->values.clear();
        if (!seenRows.empty())
            for (const auto& [name, value] : seenRows.front()) seen->names.push_back(name);
        for (const Seen& row : seenRows) {
            std::vector<float> values;
            for (const auto& [name, value] : row) values.push_back(static_cast<float>(value));
            seen->values.push_back(std::move(values));
        }
    }
    return layout;
}

}  // namespace

FIXEDWIDTH_LAYOUT FIXEDWIDTH_FindColumns(const std::vector<std::string_view>& lines) {
    return findColumns(lines, nullptr);
}

FIXEDWIDTH_LAYOUT FIXEDWIDTH_FindColumnsSeen(const std::vector<std::string_view>& lines,
                                             FIXEDWIDTH_POSITIONS& seen) {
    return findColumns(lines, &seen);
}

FIXEDWIDTH_LAYOUT FIXEDWIDTH_ForceColumns(const std::vector<std::string_view>& lines,
                                          const std::vector<int>& widths) {
    FIXEDWIDTH_LAYOUT layout;
    std::vector<char32_t> headerLine;
    const Grid g = buildGrid(lines, layout, headerLine);
    int start = 0;
    for (size_t k = 0; k < widths.size(); ++k) {
        FIXEDWIDTH_COLUMN c;
        c.start = start;
        c.width = std::max(1, widths[k]);
        if (k + 1 == widths.size()) c.width = std::max(c.width, layout.lineLength - start);
        if (k > 0) c.evidence = "largeur imposée";
        start += c.width;
        layout.columns.push_back(c);
    }
    finishLayout(layout, g, headerLine);
    return layout;
}

bool FIXEDWIDTH_LooksFixed(const FIXEDWIDTH_LAYOUT& layout) {
    if (layout.columns.size() < 2 || layout.lines < 3) return false;
    if (layout.lineLength < FIXEDWIDTH_MIN_LINE) return false;
    // Short lines of a few lengths are any list of short values (numbers written 2e-005,
    // 1.2e-005): records that short must be of one length.
    if (layout.lineLength < kShortLine) return layout.commonLines * 10 >= layout.lines * 9;
    // Nine lines in ten of at most three lengths, or reaching the last column.
    return layout.fewLengthsLines * 10 >= layout.lines * 9 || layout.lastReached * 10 >= layout.lines * 9;
}

std::vector<int> FIXEDWIDTH_Widths(const FIXEDWIDTH_LAYOUT& layout) {
    std::vector<int> widths;
    for (const FIXEDWIDTH_COLUMN& c : layout.columns) widths.push_back(c.width);
    return widths;
}

std::string FIXEDWIDTH_Describe(const FIXEDWIDTH_LAYOUT& layout) {
    std::string text = std::to_string(layout.commonLines) + " lignes de " +
                       std::to_string(layout.commonLength) + " caractères";
    if (layout.lengths > 1)
        text += " (" + std::to_string(layout.lengths) + " longueurs, jusqu'à " +
                std::to_string(layout.lineLength) + ")";
    text += ", " + std::to_string(layout.columns.size()) + " colonnes";
    if (layout.header) text += ", ligne d'en-tête";
    for (size_t k = 1; k < layout.columns.size(); ++k) {
        const FIXEDWIDTH_COLUMN& c = layout.columns[k];
        text += "\n  colonne " + std::to_string(k + 1) + " à la position " +
                std::to_string(c.start + 1) + " (largeur " + std::to_string(c.width) + ") : " +
                c.evidence;
    }
    return text;
}

bool FIXEDWIDTH_ParseWidths(const std::string& text, std::vector<int>& widths, std::string& error) {
    widths.clear();
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        const std::string part = text.substr(pos, comma - pos);
        long value = 0;
        bool digits = !part.empty() && part.size() <= 9;
        for (char c : part) digits = digits && c >= '0' && c <= '9';
        if (digits) value = std::stol(part);
        if (!digits || value < 1 || value > DATAFILE_LINE_LIMIT) {
            error = "Largeur invalide : '" + part + "' (un nombre entier de 1 à " +
                    std::to_string(DATAFILE_LINE_LIMIT) + " par colonne, séparés par des virgules).";
            widths.clear();
            return false;
        }
        widths.push_back(static_cast<int>(value));
        pos = comma + 1;
    }
    return !widths.empty();
}

// The columns of a fixed-width file found from its rows: where the kind of character changes
// at the same place in nearly every line (digits, letters, blanks, punctuation), where padding
// ends and a value begins (in two lines of a column blank in the others, when no line goes on
// across), where a zero-padded number begins, around eight digits that are a
// real day (aaaammjj) in every line, around a one-letter flag (A to Z) and between answers of
// two letters, around a letter that varies alone between constant characters, where letters A to Z
// meet another script, where the blanks of a value left out among glued numbers begin and end,
// around hexadecimal numbers and codes, where decimals of one scale (the file's) or a number's
// column end, around each of three answers of one letter or more side by side (NTFFF), where a
// text of few values whose longest fill its column ends, and where a header line names a column;
// never inside a number in scientific notation, a day written aaaa-mm-jj, an identifier mixing
// letters and digits (N1A1, F12, CHEMBL207525, 3B8/OK1BIL), a change of kind that moves by one
// place from row to row (call signs: N4GNR, IW3HVB), short words of capitals (HB2, XII), names
// whose parts dashes join (CVE-2004-0836), versions (v0.12.3), words of four letters at most
// (AAAAC), days in brackets, zeros that stand in every row over five places, nor before a letter
// the same in every row that ends a number (1984Y).
//
// Pure functions over the sample's lines (the first bytes of a file in UTF-8, as
// DATAFILE_DetectShape reads them): nothing is kept between calls, any thread. Positions and
// widths are counted in characters (a UTF-8 sequence is one character, a byte that begins none
// is one character), as the reader counts the widths of a description that names an encoding.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "datafile/datafile.h"

// Lines a layout is found from (the sample's first ones).
constexpr size_t FIXEDWIDTH_SAMPLE_LINES = 1000;
// Lines shorter than this are no fixed-width record (00 0005.3 is one: a code, then an amount).
constexpr int FIXEDWIDTH_MIN_LINE = 6;

// One column of the layout.
struct FIXEDWIDTH_COLUMN {
    int start = 0;         // first character, from 0
    int width = 0;         // characters; the last column reaches the longest line's end
    std::string evidence;  // why a column begins here, in French ("chiffres puis lettres dans
                           // 100 % des lignes"); empty for the first column
};

// What the rows say of a file read as fixed-width lines.
struct FIXEDWIDTH_LAYOUT {
    std::vector<FIXEDWIDTH_COLUMN> columns;  // in order, contiguous from 0; empty: the lines
                                             // show no column
    int lines = 0;        // data lines looked at (the header excluded)
    int lineLength = 0;   // the longest line, in characters
    int commonLength = 0; // the commonest length
    int commonLines = 0;  // lines of that length
    int lengths = 0;      // distinct line lengths
    int fewLengthsLines = 0;  // lines of the three commonest lengths
    int lastReached = 0;  // lines that reach into the last column
    bool header = false;  // the first line names the columns: letters over columns of digits
    std::vector<std::string> headerCells;  // its text cut at the columns, blanks trimmed
};

// The sample's lines: `text` cut at `endOfLine` (real characters; empty: "\n"), empty lines
// left out, at most `maxLines`; a last line cut by the sample's end (no line end after it while
// `text` is `sampleFull`) is left out.
std::vector<std::string_view> FIXEDWIDTH_SampleLines(const std::string& text, const char* endOfLine,
                                                     bool sampleFull,
                                                     size_t maxLines = FIXEDWIDTH_SAMPLE_LINES);

// The columns of `lines` (a header line, when the first one is, left out of the evidence).
// Shorter lines are read as if padded with blanks to the longest; lines of many lengths whose
// last columns few of them reach have those columns folded into the last one nine in ten
// reach (three columns at least stay). Fewer than three lines, or
// lines shorter than FIXEDWIDTH_MIN_LINE, give no column.
FIXEDWIDTH_LAYOUT FIXEDWIDTH_FindColumns(const std::vector<std::string_view>& lines);

// What the finder saw at each position p between two characters (1 to the longest line's
// length - 1): values[p - 1], one number per name (each rule's answer alone, the shares of rows
// showing each transition, the characters on each side, how the columns found on each side
// type), for studying the rules against files of known widths (bench/fixedwidth_learn.py).
struct FIXEDWIDTH_POSITIONS {
    std::vector<std::string> names;
    std::vector<std::vector<float>> values;
};

// FIXEDWIDTH_FindColumns, and what it saw at each position.
FIXEDWIDTH_LAYOUT FIXEDWIDTH_FindColumnsSeen(const std::vector<std::string_view>& lines,
                                             FIXEDWIDTH_POSITIONS& seen);

// The layout forced by `widths` (each at least 1) over `lines`: columns at those widths, the
// last one taking whatever is past them; the header is judged as FIXEDWIDTH_FindColumns judges it.
FIXEDWIDTH_LAYOUT FIXEDWIDTH_ForceColumns(const std::vector<std::string_view>& lines,
                                          const std::vector<int>& widths);

// Whether `layout` reads as a fixed-width file: at least two columns, and nine lines in ten of
// at most three lengths, or (a last column left ragged) nine lines in ten reaching the last
// column; lines shorter than ten characters must be nine in ten of one length.
bool FIXEDWIDTH_LooksFixed(const FIXEDWIDTH_LAYOUT& layout);

// The widths of `layout`'s columns.
std::vector<int> FIXEDWIDTH_Widths(const FIXEDWIDTH_LAYOUT& layout);

// The layout in words: its line lengths, then one line per column past the first ("colonne 2
// à la position 6 (largeur 10) : chiffres puis lettres dans 100 % des lignes").
std::string FIXEDWIDTH_Describe(const FIXEDWIDTH_LAYOUT& layout);

// Reads "5,10,10,8,15" into widths; false (and `error` in French) when a part is not a whole
// number from 1 to the line-length limit, or there is none.
bool FIXEDWIDTH_ParseWidths(const std::string& text, std::vector<int>& widths, std::string& error);

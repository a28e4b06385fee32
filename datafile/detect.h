// Guesses how a delimited data file is written from a sample of its first bytes: whether it is
// text at all, its encoding, end of line, delimiter, quoting and header line, and whether it
// looks fixed-width. Each answer is a text notation the description takes as it is. The
// guesses read the sample only: they cost the same on a file of any size.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "datafile/fixedwidth.h"

// Bytes of a file's beginning that the guesses look at.
constexpr size_t DATAFILE_SAMPLE_SIZE = 256 * 1024;
// Most records of the sample that the delimiter, quoting and header guesses look at.
constexpr int DATAFILE_SAMPLE_RECORDS = 5000;

// The first DATAFILE_SAMPLE_SIZE bytes of the file at `path` (empty when it cannot be read or
// is not a regular file).
std::string DATAFILE_ReadSample(const char* path);

// What `sample` is when it is not text: "gzip", "zstd", "xz", "bzip2", "zip", "7z",
// "SQLite", "PDF", "PNG", "JPEG", "ELF", "RIFF", "NumPy", "R" from the first bytes' signature,
// else "octets nuls" when zero bytes are at least eight and more than one in a hundred (UTF-16
// text, whose zero bytes fall on every other byte, excepted), else "octets de contrôle" when
// control characters that text does not hold are at least sixteen and one byte in twenty;
// nullptr for text. A few zero bytes inside values do not make a file binary.
const char* DATAFILE_DetectBinary(const std::string& sample);

// The encoding of `sample`: a byte order mark decides ("UTF-8", "UTF-16LE", "UTF-16BE"); else
// UTF-16 without its mark when zero bytes stand on every other byte of the first kilobytes;
// else
// "UTF-8" when the sample is valid UTF-8 (a character cut by the sample's end is allowed when
// the sample has DATAFILE_SAMPLE_SIZE bytes, the file going on beyond it; a shorter sample is
// the whole file, whose last line is then not valid UTF-8) or
// when its lines that are not are few beside those that hold valid UTF-8 beyond ASCII (at
// most one for four); else "WINDOWS-1252". `invalidLines` (may be nullptr) receives the
// numbers, from 1, of the sample's lines that are not valid UTF-8 when UTF-8 is chosen
// despite them: a reader in UTF-8 sets those rows aside rather than garble them.
const char* DATAFILE_DetectEncoding(const std::string& sample,
                                    std::vector<int>* invalidLines = nullptr);

// `sample` turned into UTF-8 from `encoding` as far as it converts (a UTF-8 byte order mark
// removed); the sample itself for an empty encoding, UTF-8 or an unknown one.
std::string DATAFILE_SampleToUtf8(const std::string& sample, const char* encoding);

// The end of line that ends the first line of `text`, in text notation: "\\r\\n", "\\n" or
// "\\r"; nullptr when the text has none.
const char* DATAFILE_DetectEndOfLine(const std::string& text);

// Among ";", ",", tab and "|", the delimiter that splits the records of `text` (at most
// DATAFILE_SAMPLE_RECORDS, cut at `endOfLine`, the real characters) into the most consistent
// number of fields: the share of records having the commonest count (above one), times the
// share of the text those records cover (a quote opened by a wrong split swallows the rest and
// covers little); ties go in that order. A field that begins with `quote` is protected up to
// its closing one (a doubled one inside stands for itself), so the delimiters and line ends it
// holds do not count and a record may go on over several lines; `quote` elsewhere in a field is
// text; a record cut by the text's end is left out. The answer is in text notation (tab is
// "\\t"); nullptr when none splits the records.
const char* DATAFILE_DetectDelimiter(const std::string& text, const char* endOfLine,
                                     char quote = '"');

// The protecting character of the fields of `text` split at `delimiter` (real characters):
// '"' when some field of the sample's records begins and ends with it, wherever it is; else
// '\'' when at least half of the records hold such a field; else 0.
char DATAFILE_DetectQuote(const std::string& text, const char* endOfLine, const char* delimiter);

// Whether the first record of `text` names the columns: 1 or 0. Its cells are compared with
// the values below them, column by column (the fields split at `delimiter`, unquoted with
// `quote`; an empty delimiter: one column): a text over a column of numbers or dates speaks
// for a header, a number or a date of the column's own kind against it (unless whole numbers
// grow from one name to the next, as years do, and a text speaks for a header); texts over
// texts of one length speak for it when their length differs. When nothing speaks either way, the
// first record is a header when its cells that are not empty are unique (case aside), one at
// least, and none comes again below it in its column.
int DATAFILE_DetectHeader(const std::string& text, const char* endOfLine, const char* delimiter,
                          char quote);

// What speaks for a fixed-width file in `text` (lines cut at `endOfLine`, the real
// characters), in words (FIXEDWIDTH_Describe: "12 lignes de 64 caractères, 5 colonnes" and a
// line per column with its evidence), or an empty text: at least three lines whose columns
// FIXEDWIDTH_FindColumns finds and FIXEDWIDTH_LooksFixed accepts.
// `delimiter` (real characters, may be empty) is the delimiter the other guesses found: found
// in nine lines in ten but at other places, it is a delimiter (no fixed width) unless the
// lines, of at most three lengths, show three columns or more (five when their lengths vary):
// then a character inside a text; at the same
// places in every line, it is one unless a column begins away from it; missing from some
// lines, it is a character of the data.
std::string DATAFILE_DetectFixedWidth(const std::string& text, const char* endOfLine,
                                      const char* delimiter);
// The same, with the columns found (datafile/fixedwidth.h) into `layout` (empty when the text
// does not read as fixed-width lines).
std::string DATAFILE_DetectFixedWidth(const std::string& text, const char* endOfLine,
                                      const char* delimiter, FIXEDWIDTH_LAYOUT& layout);

// Everything the guesses say of a file, from its first DATAFILE_SAMPLE_SIZE bytes.
struct DATAFILE_SHAPE {
    std::string encoding;           // as DATAFILE_DetectEncoding answers (empty: the bytes
                                    // as they are, in a shape given rather than detected)
    std::vector<int> invalidLines;  // lines not valid in the encoding, UTF-8 chosen all the same
    std::string endOfLine;          // text notation; empty when the sample has no line end
    std::string delimiter;          // text notation; empty when no candidate splits the lines
    char quote = '\0';              // protecting character of quoted fields; 0: none
    int header = -1;                // 1: the first line names the columns, 0: it is data;
                                    // -1: not guessed
    std::string binary;             // what the file is when it is not text (see
                                    // DATAFILE_DetectBinary); the other answers are then empty
    std::string fixedWidth;         // what speaks for fixed-width lines (no delimiter is then
                                    // chosen); empty when nothing does
    FIXEDWIDTH_LAYOUT fixedLayout;  // the columns the lines show when they are fixed-width
    std::string wholeLineDelimiter;  // with no delimiter guessed nor fixed-width lines: one, in
                                     // text notation, that no line of the sample holds (";"
                                     // when none holds it), so that each line is one value
};

// The guesses over `sample` (the first bytes of a file, as DATAFILE_ReadSample gives them).
DATAFILE_SHAPE DATAFILE_DetectShape(const std::string& sample);

// What a person or a caller already knows of a file: each answer given is taken as it is,
// each one left empty (encoding, end of line, delimiter), or at -1 (quote: -1 guess, 0 none,
// else the character; header: -1 guess, 0 or 1), is guessed. An end of line or delimiter is
// given in text notation, kept in the answer and converted (DATAFILE_NotationBytes) to split.
struct DATAFILE_SHAPE_GIVEN {
    std::string encoding;
    std::string endOfLine;  // text notation ("\\r\\n")
    std::string delimiter;  // text notation ("\\t")
    int quote = -1;
    int header = -1;
};

// The guesses over `sample` for what `given` leaves open, the given answers kept: each guess
// is made under the answers before it (encoding, end of line, delimiter, quoting, header).
DATAFILE_SHAPE DATAFILE_DetectShape(const std::string& sample, const DATAFILE_SHAPE_GIVEN& given);

// Guesses how a delimited data file is written from a sample of its first bytes: encoding,
// end of line and delimiter. Each answer is a text notation the description takes as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Bytes of a file's beginning that the guesses look at.
constexpr size_t DATAFILE_SAMPLE_SIZE = 256 * 1024;

// The first DATAFILE_SAMPLE_SIZE bytes of the file at `path` (empty when it cannot be read).
std::string DATAFILE_ReadSample(const char* path);

// The encoding of `sample`: a byte order mark decides ("UTF-8", "UTF-16LE", "UTF-16BE"); else
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

// Among ";", ",", tab and "|", the delimiter that splits the first 100 lines of `text` (cut
// at `endOfLine`, the real characters) into the most consistent number of fields, ties going
// in that order. A field that begins with `quote` is protected up to its closing one (a
// doubled one inside stands for itself), so the delimiters and line ends it holds do not
// count; `quote` elsewhere in a field is text. The answer is in text notation (tab is
// "\\t"); nullptr when none splits any line.
const char* DATAFILE_DetectDelimiter(const std::string& text, const char* endOfLine,
                                     char quote = '"');

// The protecting character of the fields of `text` split at `delimiter` (real characters):
// '"' when some field of the first 100 lines begins and ends with it; else '\'' when at least
// half of those lines hold such a field; else 0.
char DATAFILE_DetectQuote(const std::string& text, const char* endOfLine, const char* delimiter);

// Everything the guesses say of a file, from its first DATAFILE_SAMPLE_SIZE bytes.
struct DATAFILE_SHAPE {
    std::string encoding;           // as DATAFILE_DetectEncoding answers (empty: the bytes
                                    // as they are, in a shape given rather than detected)
    std::vector<int> invalidLines;  // lines not valid in the encoding, UTF-8 chosen all the same
    std::string endOfLine;          // text notation; empty when the sample has no line end
    std::string delimiter;          // text notation; empty when no candidate splits the lines
    char quote = '\0';              // protecting character of quoted fields; 0: none
};

// The guesses over `sample` (the first bytes of a file, as DATAFILE_ReadSample gives them).
DATAFILE_SHAPE DATAFILE_DetectShape(const std::string& sample);

// Guesses how a delimited data file is written from a sample of its first bytes: encoding,
// end of line and delimiter. Each answer is a text notation the description takes as it is.
#pragma once

#include <cstddef>
#include <string>

// Bytes of a file's beginning that the guesses look at.
constexpr size_t DATAFILE_SAMPLE_SIZE = 64 * 1024;

// The first DATAFILE_SAMPLE_SIZE bytes of the file at `path` (empty when it cannot be read).
std::string DATAFILE_ReadSample(const char* path);

// The encoding of `sample`: a byte order mark decides ("UTF-8", "UTF-16LE", "UTF-16BE"); else
// "UTF-8" when the sample is valid UTF-8 (a sequence cut by the sample's end is allowed), else
// "WINDOWS-1252".
const char* DATAFILE_DetectEncoding(const std::string& sample);

// `sample` turned into UTF-8 from `encoding` as far as it converts (a UTF-8 byte order mark
// removed); the sample itself for an empty encoding, UTF-8 or an unknown one.
std::string DATAFILE_SampleToUtf8(const std::string& sample, const char* encoding);

// The end of line that ends the first line of `text`, in text notation: "\\r\\n", "\\n" or
// "\\r"; nullptr when the text has none.
const char* DATAFILE_DetectEndOfLine(const std::string& text);

// Among ";", ",", tab and "|", the delimiter that splits the first 100 lines of `text` (cut
// at `endOfLine`, the real characters) into the most consistent number of fields, double
// quotes protecting what they enclose, ties going in that order. The answer is in text
// notation (tab is "\\t"); nullptr when none splits any line.
const char* DATAFILE_DetectDelimiter(const std::string& text, const char* endOfLine);

// DATAFILE_DIALECT: how a data file is written, as the reader reads it. A plain value, built
// from a description by filedesc (FILEDESC_MakeDialect) or by a caller that knows the file's
// shape; the reader copies what it needs when it is created, so that the value may go away or
// change afterwards.
//
// Also the one conversion of a line end or delimiter written in text notation ("\\r\\n",
// "\\t", "#0x0D#0x0A") into its bytes, DATAFILE_NotationBytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How the fields of a row are found.
enum class DATAFILE_LAYOUT {
    None,       // neither: the reader gives no rows (the line count still counts lines)
    Fixed,      // each column takes its width of the row, in order
    Delimited,  // fields separated by the delimiter
};

// What the reader reads of one column.
struct DATAFILE_COLUMN_DIALECT {
    int width = 0;             // Fixed: characters of the field (bytes when the dialect has no
                               // encoding); 0 or less: none
    bool isProtected = false;  // Delimited: the field may be enclosed in quoteStart/quoteEnd
    char quoteStart = '\0';    // opening protecting character, 0 = none
    char quoteEnd = '\0';      // closing protecting character, 0 = none
    bool trimPadding = false;  // Fixed: the blanks around each value are not part of it (the
                               // text columns of a description that trims its padding)

    friend bool operator==(const DATAFILE_COLUMN_DIALECT&,
                           const DATAFILE_COLUMN_DIALECT&) = default;
};

// Most bytes of a line end and of a delimiter.
constexpr size_t DATAFILE_LINE_END_MAX = 64;
constexpr size_t DATAFILE_DELIMITER_MAX = 63;

// The reading dialect of a data file.
struct DATAFILE_DIALECT {
    DATAFILE_LAYOUT layout = DATAFILE_LAYOUT::None;
    std::string encoding;   // iconv name of the file's encoding ("UTF-8", "WINDOWS-1252",
                            // "UTF-16LE"...); empty: the bytes are taken as they are
    std::string lineEnd;    // bytes that end a line (empty: rows end at the character limit)
    std::string delimiter;  // Delimited: bytes between two fields (empty: one field a row)
    bool unquote = false;   // Delimited: protecting characters are removed from values, a
                            // doubled one stands for itself, and a protected field may go on
                            // over line ends
    char quoteChar = '\0';  // with unquote: protecting character of the fields past the last
                            // column; 0 = none
    bool header = false;    // the first line read (firstLine) holds the column names
    int firstLine = 1;      // first line of the file read, from 1
    std::vector<DATAFILE_COLUMN_DIALECT> columns;  // the columns in order

    // Two dialects that read every file alike.
    friend bool operator==(const DATAFILE_DIALECT&, const DATAFILE_DIALECT&) = default;
};

// The bytes of a line end or delimiter written in text notation: "\\n", "\\r", "\\t" and "\\0"
// for their control characters, a backslash before any other character for that character, a
// lone backslash at the end for itself, "#0x" followed by hexadecimal digits up to the next "#"
// (or the end) for the byte of that value (each digit traced; a character that is no letter
// nor digit reported on standard error, and counted as its code minus 55); every other
// character for itself. The answer ends before its first zero byte and holds at most
// `maxBytes` bytes (a longer one is cut). Any thread may call.
std::string DATAFILE_NotationBytes(std::string_view notation, size_t maxBytes);

// The reading dialect of a description (datafile/dialect.h): the one place where a description
// becomes what the data file reader reads, and where its line end and delimiter notations become
// bytes.
#pragma once

#include <string>
#include <vector>

#include "datafile/dialect.h"
#include "descrecords/records.h"

// Fills `dialect` with what the reader reads of `desc`: layout, encoding, line end and delimiter
// bytes, unquoting and its protecting character, header, first line (0 taken as 1), and per
// column its width and protecting characters. Empty when done; otherwise why the description
// cannot be read, in French, `dialect` then unchanged: no description, a file type that is
// neither delimited nor fixed-width, a negative first line, more columns than a description
// may have. Reads `desc` only; any thread that owns it may call.
std::string FILEDESC_MakeDialect(const FileDesc* desc, DATAFILE_DIALECT& dialect);

// The bytes of the description's line end and delimiter, their notations converted as the
// dialect converts them.
std::string FILEDESC_LineEndBytes(const FileDesc& desc);
// Per column, whether its values are read without their padding: the text columns (FixedChar,
// VariableChar, Text) of a fixed-width description that says so (TrimPadding). Empty when no
// column is. FILEDESC_MakeDialect marks these columns (trimPadding), so that every reader of
// the description reads them trimmed.
std::vector<char> FILEDESC_TrimmedColumns(const FileDesc* desc);
std::string FILEDESC_DelimiterBytes(const FileDesc& desc);

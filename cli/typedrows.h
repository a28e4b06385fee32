// The typed shapes of rows that `preview --format` and `query --format` write on standard
// output: CSV or TSV (RFC 4180, quoted only when needed; no value as an empty cell or a chosen
// text, an empty text as ""), JSON (one array of objects) and JSON Lines (one object a line),
// numbers as numbers, booleans as booleans, no value as null.
//
// The writer is fed value by value (its caller knows the values' kinds: the description's
// conversion for a data file, the database's types for a query) and buffers its output,
// written to standard output in blocks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace morvex {

class TypedRowWriter {
public:
    enum class Shape { Csv, Json, Ndjson };
    // The shape of `format` (csv and tsv are Csv with their delimiter and NULL text).
    explicit TypedRowWriter(const PreviewFormat& format);

    // The columns of the rows that follow. In CSV their names make the header line; a later
    // call of other names (a query's next result set) writes an empty line and a new header.
    void columns(const std::vector<std::string>& names);
    // The values of a row, one per column in order, then endRow.
    void null();
    void integer(long long value);
    void real(double value);  // not finite: null in JSON
    // A number as its text (a database's exact decimal); a text that is not a JSON number
    // ("NaN", "Infinity") is null in JSON, written as it is in CSV.
    void number(std::string_view text);
    // JSON true or false; `csvText` in CSV ("1" / "0", "t" / "f").
    void boolean(bool value, std::string_view csvText);
    void text(std::string_view value);
    void endRow();
    // Writes what is left (closing the JSON array); false on a write error.
    bool end();
    // A write has failed (told on standard error once): what follows is dropped.
    bool failed() const { return failed_; }

private:
    void open();
    void beginRow();
    void beginValue();
    std::string valuePrefix(size_t cell) const;
    void appendCsvCell(std::string_view text);
    void appendJsonString(std::string_view text);
    bool flush();

    Shape shape_;
    char delimiter_;
    std::string null_;
    std::vector<std::string> names_;
    std::vector<std::string> prefixes_;  // valuePrefix of each column
    std::string out_;
    size_t cell_ = 0;   // values given of the current row
    long rows_ = 0;     // rows written
    bool opened_ = false;  // the JSON array is open
    bool failed_ = false;
};

// Reads the --delimiter of a typed format (a text notation: ";", "\t", "#0x09") into `format`;
// false, with the usage error written, when it is not one character usable in CSV.
bool readFormatDelimiter(const std::string& text, PreviewFormat& format);

}  // namespace morvex

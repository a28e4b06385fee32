// The typed row shapes shared by `preview --format` and `query --format`.
#include "cli/typedrows.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "datafile/datafile.h"
#include "foundation/csv.h"
#include "foundation/utf8.h"

namespace morvex {
namespace {

constexpr size_t kFlushBytes = 1u << 20;

std::string jsonText(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Whether `text` is a number as JSON writes one: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    auto digits = [&] {
        const size_t from = i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
        return i > from;
    };
    if (i < n && text[i] == '-') ++i;
    if (i < n && text[i] == '0') {
        ++i;
    } else if (!digits()) {
        return false;
    }
    if (i < n && text[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == n;
}

}  // namespace

TypedRowWriter::TypedRowWriter(const PreviewFormat& format)
    : shape_(format.name == "json"     ? Shape::Json
             : format.name == "ndjson" ? Shape::Ndjson
                                       : Shape::Csv),
      delimiter_(format.delimiter),
      null_(format.nullText) {}

void TypedRowWriter::columns(const std::vector<std::string>& names) {
    if (shape_ == Shape::Csv) {
        if (!names_.empty() || rows_ > 0) out_ += '\n';
        for (size_t i = 0; i < names.size(); ++i) {
            if (i) out_ += delimiter_;
            csvAppendCell(out_, names[i], delimiter_);
        }
        out_ += '\n';
    }
    open();
    names_ = names;
    // What goes before each value: the delimiter in CSV, the name as a JSON key (and the
    // opening brace of the row before the first) in JSON.
    prefixes_.clear();
    for (size_t i = 0; i < names_.size(); ++i) prefixes_.push_back(valuePrefix(i));
}

std::string TypedRowWriter::valuePrefix(size_t cell) const {
    if (shape_ == Shape::Csv) return cell == 0 ? std::string() : std::string(1, delimiter_);
    // A row of more values than names (never from the callers) keys the rest by place.
    return (cell == 0 ? "{" : ",") +
           jsonText(cell < names_.size() ? names_[cell] : std::to_string(cell + 1)) + ":";
}

void TypedRowWriter::open() {
    if (shape_ == Shape::Json && !opened_) out_ += '[';
    opened_ = true;
}

void TypedRowWriter::beginRow() {
    open();
    if (shape_ == Shape::Json && rows_ > 0) out_ += ',';
}

void TypedRowWriter::beginValue() {
    if (cell_ == 0) beginRow();
    if (cell_ < prefixes_.size())
        out_ += prefixes_[cell_];
    else
        out_ += valuePrefix(cell_);
    ++cell_;
}

void TypedRowWriter::null() {
    beginValue();
    if (shape_ == Shape::Csv)
        appendCsvCell(null_);
    else
        out_ += "null";
}

void TypedRowWriter::integer(long long value) {
    char digits[32];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    beginValue();
    out_.append(digits, r.ptr);
}

void TypedRowWriter::real(double value) {
    char digits[64];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    beginValue();
    if (shape_ != Shape::Csv && !std::isfinite(value))
        out_ += "null";
    else
        out_.append(digits, r.ptr);
}

void TypedRowWriter::number(std::string_view text) {
    beginValue();
    if (shape_ == Shape::Csv)
        appendCsvCell(text);
    else if (isJsonNumber(text))
        out_ += text;
    else
        out_ += "null";
}

void TypedRowWriter::boolean(bool value, std::string_view csvText) {
    beginValue();
    if (shape_ == Shape::Csv)
        appendCsvCell(csvText);
    else
        out_ += value ? "true" : "false";
}

void TypedRowWriter::text(std::string_view value) {
    beginValue();
    if (shape_ == Shape::Csv) {
        // An empty text is told from no value: quoted.
        if (value.empty())
            out_ += "\"\"";
        else
            appendCsvCell(value);
    } else {
        appendJsonString(value);
    }
}

void TypedRowWriter::endRow() {
    if (cell_ == 0) {  // a row of no column
        beginRow();
        if (shape_ != Shape::Csv) out_ += '{';
    }
    out_ += shape_ == Shape::Csv ? "\n" : shape_ == Shape::Ndjson ? "}\n" : "}";
    cell_ = 0;
    ++rows_;
    if (out_.size() > kFlushBytes) flush();
}

bool TypedRowWriter::end() {
    open();
    if (shape_ == Shape::Json) out_ += "]\n";
    return flush() && !failed_;
}

void TypedRowWriter::appendCsvCell(std::string_view text) { csvAppendCell(out_, text, delimiter_); }

// Escaped here in one pass (the hot path of a large export), the text checked as UTF-8 only
// when it holds a byte past ASCII; a text that is not UTF-8 goes through the JSON library
// instead, its invalid bytes replaced.
void TypedRowWriter::appendJsonString(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    const size_t start = out_.size();
    bool checked = false;
    out_ += '"';
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) continue;
        if (c >= 0x80) {
            if (!checked && !utf8IsValid(text.substr(i))) {
                out_.resize(start);
                out_ += jsonText(std::string(text));
                return;
            }
            checked = true;
            continue;
        }
        out_.append(text, plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            default:
                out_ += "\\u00";
                out_ += hex[c >> 4];
                out_ += hex[c & 15];
        }
    }
    out_.append(text, plain, text.size() - plain);
    out_ += '"';
}

bool TypedRowWriter::flush() {
    if (!failed_ && !writeOut(out_)) failed_ = true;
    out_.clear();
    return !failed_;
}

bool readFormatDelimiter(const std::string& text, PreviewFormat& format) {
    if (format.name == "tsv") format.delimiter = '\t';
    if (text.empty()) return true;
    const std::string d = DATAFILE_NotationBytes(text, DATAFILE_DELIMITER_MAX);
    if (d.size() != 1 || d[0] == '"' || d[0] == '\n' || d[0] == '\r') {
        cliError("--delimiter : un seul caractère attendu (ni guillemet ni fin de ligne), reçu '" +
                 text + "'.");
        return false;
    }
    format.delimiter = d[0];
    return true;
}

}  // namespace morvex

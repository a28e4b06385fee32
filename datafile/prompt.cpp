#include "datafile/prompt.h"

#include <algorithm>

namespace {

// True when the text character `c` is the character code `code`, whether the caller gave the
// code as an unsigned byte (0xE9) or as a signed char value (-23).
bool isChar(char c, int code) {
    return static_cast<unsigned char>(c) == code || static_cast<signed char>(c) == code;
}

// Splits `line` and hands each field to `take` in order; stops when `take` returns false.
template <typename Take>
void splitFields(std::string_view line, int separator, int quote, Take take) {
    // The text ends at a zero byte; tabs read as spaces; separators at the end go.
    const size_t end = std::min(line.size(), line.find('\0'));
    auto at = [&](size_t i) { return line[i] == '\t' ? ' ' : line[i]; };
    size_t length = end;
    while (length > 0 && isChar(at(length - 1), separator)) --length;
    std::string field;
    bool quoting = false;
    for (size_t i = 0; i < length; ++i) {
        const char c = at(i);
        if (isChar(c, quote)) {
            quoting = !quoting;
        } else if (!quoting && isChar(c, separator)) {
            // A run of separators closes one field: empty fields are dropped.
            if (!field.empty() && !take(std::move(field))) return;
            field.clear();
            continue;
        }
        if (field.size() < static_cast<size_t>(PROMPT_FIELD_MAX)) field.push_back(c);
    }
    // A field inside an open quote at the end is dropped.
    if (!quoting && !field.empty()) take(std::move(field));
}

}  // namespace

std::vector<std::string> PROMPT_Split(std::string_view line, int separator, int quote) {
    std::vector<std::string> fields;
    splitFields(line, separator, quote, [&](std::string&& f) {
        fields.push_back(std::move(f));
        return true;
    });
    return fields;
}

std::string PROMPT_FirstField(std::string_view line, int separator, int quote) {
    std::string first;
    splitFields(line, separator, quote, [&](std::string&& f) {
        first = std::move(f);
        return false;
    });
    return first;
}

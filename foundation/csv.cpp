#include "foundation/csv.h"

#include <algorithm>

namespace morvex {

void csvAppendCell(std::string& out, std::string_view text, char delimiter) {
    // A plain loop: cells are short, and find_first_of would search the four characters once
    // for every byte of the cell.
    const bool quoted = std::any_of(text.begin(), text.end(), [delimiter](char c) {
        return c == delimiter || c == '"' || c == '\r' || c == '\n';
    });
    if (!quoted) {
        out += text;
        return;
    }
    out += '"';
    for (size_t at = 0;;) {
        const size_t quote = text.find('"', at);
        if (quote == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, quote + 1 - at));
        out += '"';
        at = quote + 1;
    }
    out += '"';
}

}  // namespace morvex

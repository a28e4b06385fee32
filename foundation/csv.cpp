#include "foundation/csv.h"

namespace morvex {

void csvAppendCell(std::string& out, std::string_view text, char delimiter) {
    const char special[] = {delimiter, '"', '\r', '\n'};
    if (text.find_first_of(std::string_view(special, sizeof special)) == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace morvex

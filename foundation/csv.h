// CSV cells: the quoting shared by every CSV file the programs write.
#pragma once

#include <string>
#include <string_view>

namespace morvex {

// Appends `text` to `out` as one cell of a file whose cells are separated by `delimiter`:
// between double quotes, its double quotes doubled, when it holds the delimiter, a double
// quote, CR or LF (so that it reads back as one cell); as it is otherwise. The delimiter that
// follows the cell is the caller's.
void csvAppendCell(std::string& out, std::string_view text, char delimiter);

}  // namespace morvex

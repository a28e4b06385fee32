// The semicolon-separated export of result lists: each cell followed by ";", one line per row.
#pragma once

#include <cstddef>
#include <string>

// Line end of the exported files.
constexpr const char* CSVEXPORT_EOL = "\r\n";

// Appends `text` (`length` bytes) and its ";" to `out`. A cell holding ";", a double quote,
// CR or LF is written between double quotes with its double quotes doubled, so that it reads
// back as one cell; every other cell is written as it is.
void CSVEXPORT_AppendCell(std::string& out, const char* text, size_t length);
// The same for a zero-terminated text.
void CSVEXPORT_AppendCell(std::string& out, const char* text);

#include "foundation/csvexport.h"

#include <cstring>

#include "foundation/csv.h"

void CSVEXPORT_AppendCell(std::string& out, const char* text, size_t length) {
    morvex::csvAppendCell(out, std::string_view(text, length), ';');
    out += ';';
}

void CSVEXPORT_AppendCell(std::string& out, const char* text) {
    CSVEXPORT_AppendCell(out, text != nullptr ? text : "", text != nullptr ? strlen(text) : 0);
}

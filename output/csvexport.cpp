#include "output/csvexport.h"

#include <cstring>

void CSVEXPORT_AppendCell(std::string& out, const char* text, size_t length) {
    bool quote = false;
    for (size_t i = 0; i < length && !quote; ++i) {
        const char c = text[i];
        quote = c == ';' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        out.append(text, length);
    } else {
        out += '"';
        for (size_t i = 0; i < length; ++i) {
            if (text[i] == '"') out += '"';
            out += text[i];
        }
        out += '"';
    }
    out += ';';
}

void CSVEXPORT_AppendCell(std::string& out, const char* text) {
    CSVEXPORT_AppendCell(out, text != nullptr ? text : "", text != nullptr ? strlen(text) : 0);
}

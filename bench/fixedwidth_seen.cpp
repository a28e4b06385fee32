// What the fixed-width finder sees at each position of each file given, as a table for
// bench/fixedwidth_learn.py: one line per position, tab-separated, after a line of names.
//
//     fixedwidth_seen FILE...
//
// Each file is read as the analysis reads it: its first DATAFILE_SAMPLE_SIZE bytes, cut into
// lines at \n.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "datafile/detect.h"
#include "datafile/fixedwidth.h"

int main(int argc, char** argv) {
    bool named = false;
    for (int k = 1; k < argc; ++k) {
        std::ifstream in(argv[k], std::ios::binary);
        if (!in) {
            std::cerr << "fixedwidth_seen: cannot read " << argv[k] << "\n";
            return 1;
        }
        std::string text(DATAFILE_SAMPLE_SIZE, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(in.gcount()));
        const auto lines = FIXEDWIDTH_SampleLines(text, "\n", text.size() >= DATAFILE_SAMPLE_SIZE);
        FIXEDWIDTH_POSITIONS seen;
        FIXEDWIDTH_FindColumnsSeen(lines, seen);
        if (seen.values.empty()) continue;
        if (!named) {
            std::cout << "file\tp";
            for (const std::string& name : seen.names) std::cout << '\t' << name;
            std::cout << '\n';
            named = true;
        }
        for (size_t p = 0; p < seen.values.size(); ++p) {
            std::cout << argv[k] << '\t' << p + 1;
            for (float v : seen.values[p]) {
                char number[32];
                std::snprintf(number, sizeof number, "%.4g", static_cast<double>(v));
                std::cout << '\t' << number;
            }
            std::cout << '\n';
        }
    }
    return 0;
}

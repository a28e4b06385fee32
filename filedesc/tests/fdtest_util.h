// Helpers shared by the filedesc tests: a temporary directory, whole-file I/O, columns.
#pragma once

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "foundation/owned.h"
#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"

namespace fdtest {

// The analysis of `path` through `d` run as a task under the settings' limits with this row
// limit, its report in `report` (may be nullptr); what FYK_RunFileAnalyse returns.
inline int analyse(FileDesc* d, const char* path, int maxRows, int addColumns,
                   int rules = FILEANALYSE_SPECIFIED, FILEANALYSE_REPORT* report = nullptr) {
    FILEANALYSE_OPTIONS options = FILEDESC_AnalyseOptions(0, addColumns, rules);
    options.maxRows = maxRows;
    return FYK_RunFileAnalyse(nullptr, d, path, options, report);
}

// The notices of a report joined, as the message panel shows them.
inline std::string noticesText(const FILEANALYSE_REPORT& report) {
    std::string text;
    for (const FILEANALYSE_NOTICE& n : report.notices) text += n.text;
    return text;
}

// A fresh temporary directory named after these tests, removed with its content.
struct TempDir : morvex::testing::TempDir {
    TempDir() : morvex::testing::TempDir("filedesc") {}
};

using morvex::testing::readFile;

inline void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A zeroed column with a code, a width and a type.
inline ColumnDesc makeColumn(const char* code, int width, int type = DATATYPE_TEXT) {
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    snprintf(col.code, sizeof col.code, "%s", code);
    col.WidthInChars = width;
    col.typeCible.type = type;
    return col;
}

// A description closed at the end of a scope.
using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

}  // namespace fdtest

// Helpers shared by the filedesc tests: a temporary directory, whole-file I/O, columns.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "filedesc/filedesc.h"

namespace fdtest {

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "filedesc_XXXXXX").string();
        char* made = mkdtemp(templ.data());
        path_ = made ? made : templ;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Path of `name` inside the directory.
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

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

// Closes a description at the end of a scope.
struct DescCloser {
    void operator()(FileDesc* d) const { FILEDESC_CloseFileDesc(d); }
};

}  // namespace fdtest

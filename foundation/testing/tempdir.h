// A temporary directory for tests that work on real files: created fresh under the system's
// temporary directory and removed with its content at the end of the scope.
#pragma once

#include <stdlib.h>  // mkdtemp

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace morvex::testing {

// A fresh directory "<prefix>_XXXXXX" under the system's temporary directory, removed with its
// content by the destructor.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "morvex") {
        std::string templ =
            (std::filesystem::temp_directory_path() / (prefix + "_XXXXXX")).string();
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
    // Path of the directory itself.
    const std::string& path() const { return path_; }

    // Writes `bytes` to `name` (replacing it) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string p = file(name);
        std::ofstream out(p, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }

private:
    std::string path_;  // absolute path of the directory
};

}  // namespace morvex::testing

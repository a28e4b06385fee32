// Whole-file reads for the tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace morvex::testing {

// The bytes of the file at `path` ("" when it cannot be read).
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace morvex::testing

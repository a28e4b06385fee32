#include "filedesc/descpaths.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace morvex {

std::string resolveDescriptionPath(const std::string& descFile, const std::string& stored) {
    if (stored.empty() || descFile.empty()) return stored;
    const fs::path given(stored);
    if (given.is_absolute()) return stored;
    std::error_code ec;
    const fs::path folder = fs::absolute(fs::path(descFile), ec).parent_path();
    if (ec) return stored;
    const fs::path beside = (folder / given).lexically_normal();
    if (fs::exists(beside, ec)) return beside.string();
    const fs::path here = fs::absolute(given, ec);
    if (!ec && fs::exists(here, ec)) return here.lexically_normal().string();
    return beside.string();
}

}  // namespace morvex

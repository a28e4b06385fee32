#include "foundation/datadir.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace morvex {

std::string programDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return exe.parent_path().string();
}

std::string dataDirectoryFor(const std::string& programDir) {
    if (programDir.empty()) return {};
    const fs::path dir = (fs::path(programDir) / ".." / "share" / "morvex").lexically_normal();
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return {};
    std::string text = dir.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

std::string dataDirectory() {
    // The executable does not move while it runs: computed once (thread-safe initialisation).
    static const std::string dir = dataDirectoryFor(programDirectory());
    return dir;
}

std::string dataPath(const std::string& relative) {
    const std::string dir = dataDirectory();
    if (dir.empty() || relative.empty()) return {};
    const fs::path path = fs::path(dir) / relative;
    std::error_code ec;
    if (!fs::exists(path, ec)) return {};
    return path.lexically_normal().string();
}

}  // namespace morvex

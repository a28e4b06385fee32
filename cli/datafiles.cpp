// The data files of a load given as several --data options and patterns.
#include "cli/datafiles.h"

#include <glob.h>

#include <filesystem>
#include <system_error>

#include "cli/cliport.h"

namespace morvex {

bool expandDataFiles(const std::vector<std::string>& given, DataFileList& out) {
    out = DataFileList{};
    bool standardInput = false;
    auto add = [&out](const std::string& path) {
        out.paths.push_back(path);
        out.names.push_back(path == "-" ? path : std::filesystem::path(path).filename().string());
    };
    for (const std::string& data : given) {
        if (data == "-") {
            if (standardInput) {
                cliError("L'entrée standard (-) ne peut être lue qu'une fois.");
                return false;
            }
            standardInput = true;
            add(data);
            continue;
        }
        std::error_code error;
        const bool pattern = data.find_first_of("*?[") != std::string::npos &&
                             !std::filesystem::exists(data, error);
        if (!pattern) {
            add(data);
            continue;
        }
        glob_t found{};
        const int rc = glob(data.c_str(), 0, nullptr, &found);
        if (rc == 0) {
            for (size_t i = 0; i < found.gl_pathc; ++i) add(found.gl_pathv[i]);
        }
        globfree(&found);
        if (rc != 0) {
            cliError("Aucun fichier ne correspond au motif '" + data + "'.");
            return false;
        }
    }
    return true;
}

}  // namespace morvex

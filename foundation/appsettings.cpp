#include "foundation/appsettings.h"

#include <atomic>
#include <cstring>

#include "foundation/datadir.h"
#include "foundation/trace.h"

namespace {

const APPSETTINGS kNoSettings{};
std::atomic<const APPSETTINGS*> namedSettings{nullptr};

}  // namespace

namespace morvex {
namespace {

// A folder field read to its end even when a caller left it unterminated.
template <size_t N>
std::string folderField(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

const APPSETTINGS& appSettings() {
    const APPSETTINGS* settings = namedSettings.load();
    return settings != nullptr ? *settings : kNoSettings;
}

void useAppSettings(const APPSETTINGS* settings) {
    namedSettings = settings;
}

std::string logsDirectoryOf(const APPSETTINGS& settings) {
    std::string dir = folderField(settings.logsDirectory);
    if (!dir.empty()) return dir;
    // Not the shared temporary folder: another user could plant links or files there.
    dir = traceDefaultDirectory();
    if (!traceMakePrivateDirectory(dir))
        trace("\n[logsDirectoryOf] Impossible de créer le répertoire des logs [%s]", dir.c_str());
    return dir;
}

std::string templatesDirectoryOf(const APPSETTINGS& settings) {
    std::string dir = folderField(settings.templateLibrary);
    return dir.empty() ? dataPath(DATADIR_TEMPLATES) : dir;
}

std::string librariesDirectoryOf(const APPSETTINGS& settings) {
    std::string dir = folderField(settings.librariesDirectory);
    return dir.empty() ? dataPath(DATADIR_LIBRARIES) : dir;
}

}  // namespace morvex

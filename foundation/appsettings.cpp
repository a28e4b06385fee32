#include "foundation/appsettings.h"

#include <atomic>
#include <cstring>

#include "foundation/trace.h"

namespace {

const APPSETTINGS kNoSettings{};
std::atomic<const APPSETTINGS*> namedSettings{nullptr};

}  // namespace

namespace morvex {

const APPSETTINGS& appSettings() {
    const APPSETTINGS* settings = namedSettings.load();
    return settings != nullptr ? *settings : kNoSettings;
}

void useAppSettings(const APPSETTINGS* settings) {
    namedSettings = settings;
}

std::string logsDirectoryOf(const APPSETTINGS& settings) {
    // Read to the end of the field even when a caller left it unterminated.
    std::string dir(settings.logsDirectory,
                    strnlen(settings.logsDirectory, sizeof settings.logsDirectory));
    if (!dir.empty()) return dir;
    // Not the shared temporary folder: another user could plant links or files there.
    dir = traceDefaultDirectory();
    if (!traceMakePrivateDirectory(dir))
        trace("\n[logsDirectoryOf] Impossible de créer le répertoire des logs [%s]", dir.c_str());
    return dir;
}

}  // namespace morvex

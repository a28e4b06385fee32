#include "appcore/application.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "filedesc/analyse.h"
#include "foundation/registry.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"
#include "foundation/version.h"

CONTEXTE gcontexte;

namespace {
// The libraries read the settings of the one context (foundation/appsettings.h) from the start.
const bool gcontexteSettingsNamed = (morvex::useAppSettings(&gcontexte), true);
}  // namespace

namespace {

const char kCaptionApplication[] = "Morvex Fylatek : Erreur Grave";
const char kCaptionSettings[] = "Software\\MorvexFylatek : Erreur Grave";

APPLICATION_FIRSTRUN_HOOK firstRunHook = nullptr;

void showError(const char* caption, const char* text) {
    morvex::uiPort().messageBox(caption, text, morvex::UiButtons::Ok, morvex::UiIcon::Error);
}

// Copies a text into a directory field, cut before a partial UTF-8 character when too long.
void setDirectory(char (&field)[APPLICATION_DIRECTORY_MAX + 1], const std::string& text) {
    morvex::utf8CopyCut(field, sizeof field, std::string_view(text));
}

// The text of a directory field, even when a caller left it unterminated.
std::string directoryText(const char (&field)[APPLICATION_DIRECTORY_MAX + 1]) {
    return std::string(field, strnlen(field, sizeof field));
}

// atoi rules (leading blanks, an optional sign, the leading digits; 0 when there are none),
// with out-of-range numbers held at the limits of int instead of being undefined.
int leadingNumber(const char* text) {
    long long n = strtoll(text, nullptr, 10);
    if (n > INT_MAX) return INT_MAX;
    if (n < INT_MIN) return INT_MIN;
    return static_cast<int>(n);
}

// Reads one numeric setting from the open key; 0 when missing.
int readNumber(const char* name) {
    char buffer[APPLICATION_DIRECTORY_MAX + 1];
    REG_recupererChaine(name, buffer, sizeof buffer);
    return leadingNumber(buffer);
}

// Reads one 0-or-1 setting from the open key; `fallback` when missing or empty.
int readFlag(const char* name, int fallback) {
    char buffer[APPLICATION_DIRECTORY_MAX + 1] = "";
    REG_recupererChaine(name, buffer, sizeof buffer);
    return buffer[0] ? (leadingNumber(buffer) != 0) : fallback;
}

// A limit read as 0 or less falls back to its default.
unsigned int limitOrDefault(int value, unsigned int fallback) {
    return value > 0 ? static_cast<unsigned int>(value) : fallback;
}

// The defaults of the settings that have one, for whatever is still unset in ctx.
void applyDefaults(CONTEXTE* ctx) {
    if (ctx->fileAnalyseMaxRows == 0)
        ctx->fileAnalyseMaxRows = APPLICATION_DEFAULT_FILEANALYSEMAXROWS;
    if (ctx->nCarMaxReadWithoutNewLine == 0)
        ctx->nCarMaxReadWithoutNewLine = APPLICATION_DEFAULT_NCARMAXREADWITHOUTNEWLINE;
    if (ctx->sqliteBatchSize == 0) ctx->sqliteBatchSize = APPLICATION_DEFAULT_SQLITEBATCHSIZE;
    if (ctx->sqliteBusyTimeout == 0)
        ctx->sqliteBusyTimeout = APPLICATION_DEFAULT_SQLITEBUSYTIMEOUT;
    if (ctx->logsDirectory[0] == '\0') {
        morvex::trace(
            "\n[APPLICATION_LoadRegister] logsDirectory non renseigné : valeur par défaut "
            "définie.");
        setDirectory(ctx->logsDirectory, morvex::logsDirectoryOf(*ctx));
    }
}

// "<directory>/<name>".
std::string fileInDirectory(std::string directory, const char* name) {
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (directory == "/") return std::string("/") + name;
    return directory + "/" + name;
}

}  // namespace

void APPLICATION_SetFirstRunHook(APPLICATION_FIRSTRUN_HOOK hook) {
    firstRunHook = hook;
}

int APPLICATION_InitContext(void* window, CONTEXTE* ctx) {
    if (!ctx) return 1;
    memset(ctx, 0, sizeof *ctx);
    ctx->openFiles = LDCG_Create(nullptr, nullptr);
    ctx->processes = PROCESS_Create();
    if (!ctx->openFiles || !ctx->processes) {
        APPLICATION_ReleaseContext(ctx);
        return 1;
    }
    ctx->hwndMain = window;
    ctx->helpFrameTop = 30;
    ctx->helpFrameWidth = 190;
    APPLICATION_LoadRegister(window, ctx);
    return 0;
}

void APPLICATION_ReleaseContext(CONTEXTE* ctx) {
    if (!ctx) return;
    if (ctx->openFiles) {
        std::vector<FileDesc*> descriptions;
        LDCG_IT* it = LDCG_IT_Create(ctx->openFiles);
        if (it) {
            LDCG_IT_ReadInit(it);
            while (LDCG_IT_ReadHasNext(it))
                descriptions.push_back(static_cast<FileDesc*>(LDCG_IT_ReadNext(it)));
            LDCG_IT_Destroy(it);
        }
        LDCG_Destroy(ctx->openFiles, LDCG_KEEP_ROOT, LDCG_RELEASE_NOTHING);
        ctx->openFiles = nullptr;
        for (FileDesc* desc : descriptions) FILEDESC_CloseFileDesc(desc);
    }
    ctx->currentFile = nullptr;
    PROCESS_Destroy(ctx->processes);
    ctx->processes = nullptr;
}

int APPLICATION_LoadRegister(void* window, CONTEXTE* ctx) {
    if (!ctx) return -1;
    bool created = false;
    if (!morvex::SettingsKey::create(morvex::kSettingsKeyPath, REG_KEY_ALL_ACCESS, &created)) {
        showError(kCaptionApplication, "Could not create the registry key.");
        applyDefaults(ctx);
        return 0;
    }
    if (created) APPLICATION_InitRegister(window);

    if (!REG_ouvrirAcces("MorvexFylatek", REG_KEY_READ, nullptr)) {
        showError(kCaptionApplication, "Could not open the registry.");
        applyDefaults(ctx);
        return -1;
    }
    ctx->showHelpFrame = readNumber("ShowHelpFrame");
    // The previews are shown unless the person has hidden them (the choice kept at exit).
    ctx->showResultView = readFlag("ShowResultView", 1);
    ctx->fileAnalyseMaxRows =
        limitOrDefault(readNumber("FileAnalyseMaxRows"), APPLICATION_DEFAULT_FILEANALYSEMAXROWS);
    ctx->nCarMaxReadWithoutNewLine = limitOrDefault(readNumber("nCarMaxReadWithoutNewLine"),
                                                    APPLICATION_DEFAULT_NCARMAXREADWITHOUTNEWLINE);
    ctx->sqliteBatchSize =
        limitOrDefault(readNumber("sqliteBatchSize"), APPLICATION_DEFAULT_SQLITEBATCHSIZE);
    ctx->sqliteBusyTimeout =
        limitOrDefault(readNumber("sqliteBusyTimeout"), APPLICATION_DEFAULT_SQLITEBUSYTIMEOUT);
    REG_recupererChaine("FormatLibrary", ctx->formatLibrary, sizeof ctx->formatLibrary);
    REG_recupererChaine("TemplateLibrary", ctx->templateLibrary, sizeof ctx->templateLibrary);
    REG_recupererChaine("GenTargetDirectory", ctx->genTargetDirectory,
                        sizeof ctx->genTargetDirectory);
    REG_recupererChaine("BinariesDirectory", ctx->binariesDirectory, sizeof ctx->binariesDirectory);
    REG_recupererChaine("ToolsDirectory", ctx->toolsDirectory, sizeof ctx->toolsDirectory);
    REG_recupererChaine("LibrariesDirectory", ctx->librariesDirectory,
                        sizeof ctx->librariesDirectory);
    REG_recupererChaine("DictionnariesDirectory", ctx->dictionnariesDirectory,
                        sizeof ctx->dictionnariesDirectory);
    REG_recupererChaine("DatabasesDirectory", ctx->databasesDirectory,
                        sizeof ctx->databasesDirectory);
    REG_recupererChaine("LogsDirectory", ctx->logsDirectory, sizeof ctx->logsDirectory);
    REG_recupererChaine("ScriptsDirectory", ctx->scriptsDirectory, sizeof ctx->scriptsDirectory);
    REG_fermerAcces();
    applyDefaults(ctx);
    // The analysis (filedesc) cannot see gcontexte: hand it its two settings.
    FILEDESC_SetAnalysisLimits(static_cast<int>(ctx->fileAnalyseMaxRows),
                               static_cast<int>(ctx->nCarMaxReadWithoutNewLine));
    return 0;
}

bool APPLICATION_InitRegister(void* window) {
    auto key = morvex::SettingsKey::create(morvex::kSettingsKeyPath, REG_KEY_ALL_ACCESS);
    if (!key) {
        morvex::trace("\nErreur à l'ouverture du registre");
        return false;
    }
    const std::vector<std::pair<std::string, std::string>> firstRun = {
        {"Version", APPLICATION_SETTINGS_VERSION},
        {"Build", MORVEX_BUILD},
        {"DateCompilation", __DATE__},
        {"HeureCompilation", __TIME__},
        {"PremiereUtilisation", "1"},
        {"ShowHelpFrame", "1"},
        {"ShowResultView", "1"},
        {"FileAnalyseMaxRows", "1000"},
        {"nCarMaxReadWithoutNewLine", "5000"},
        {"sqliteBatchSize", "1000"},
        {"FormatLibrary", ""},
        {"TemplateLibrary", ""},
        {"GenTargetDirectory", ""},
        {"BinariesDirectory", ""},
        {"ToolsDirectory", ""},
        {"LibrariesDirectory", ""},
        {"DictionnariesDirectory", ""},
        {"DatabasesDirectory", ""},
        {"LogsDirectory", ""},
        {"ScriptsDirectory", ""},
    };
    // All twenty values in one rewrite of the settings file: a first run is saved whole or not.
    if (!key->set(firstRun)) {
        morvex::trace("\n[APPLICATION_InitRegister] Impossible d'écrire les paramètres dans [%s]",
                      morvex::settingsFilePath().c_str());
        return false;
    }
    key.reset();
    if (firstRunHook) firstRunHook(window);
    return true;
}

int APPLICATION_UpdateRegister(void*, CONTEXTE* ctx) {
    if (!ctx) return 1;
    auto key = morvex::SettingsKey::create(morvex::kSettingsKeyPath, REG_KEY_ALL_ACCESS);
    if (!key) {
        showError(kCaptionSettings, "Could not open the registry.");
        return -1;
    }
    bool failed = false;
    const std::pair<const char*, const char(*)[APPLICATION_DIRECTORY_MAX + 1]> directories[] = {
        {"FormatLibrary", &ctx->formatLibrary},
        {"TemplateLibrary", &ctx->templateLibrary},
        {"GenTargetDirectory", &ctx->genTargetDirectory},
        {"ToolsDirectory", &ctx->toolsDirectory},
        {"BinariesDirectory", &ctx->binariesDirectory},
        {"LibrariesDirectory", &ctx->librariesDirectory},
        {"DictionnariesDirectory", &ctx->dictionnariesDirectory},
        {"DatabasesDirectory", &ctx->databasesDirectory},
        {"LogsDirectory", &ctx->logsDirectory},
        {"ScriptsDirectory", &ctx->scriptsDirectory},
    };
    for (const auto& [name, field] : directories) {
        if (RegistreInsertStrValue(key.get(), name, directoryText(*field).c_str()) != 0) {
            showError(kCaptionSettings, "Could not save key");
            failed = true;
        }
    }
    const std::pair<const char*, unsigned int> numbers[] = {
        {"FileAnalyseMaxRows", ctx->fileAnalyseMaxRows},
        {"nCarMaxReadWithoutNewLine", ctx->nCarMaxReadWithoutNewLine},
        {"sqliteBatchSize", ctx->sqliteBatchSize},
    };
    for (const auto& [name, value] : numbers) {
        char text[16];
        snprintf(text, sizeof text, "%i", static_cast<int>(value));
        if (RegistreInsertStrValue(key.get(), name, text) != 0) {
            std::string message = std::string("Could not save key ") + name;
            showError(kCaptionSettings, message.c_str());
            failed = true;
        }
    }
    return failed ? 1 : 0;
}

int RegistreInsertStrValue(morvex::SettingsKey* key, const char* name, const char* text) {
    if (!key || !name) return 1;
    return key->set(name, text ? text : "") ? 0 : 1;
}

int APPLICATION_SaveShowResultView(CONTEXTE* ctx, int shown) {
    if (!ctx) return 1;
    ctx->showResultView = shown ? 1 : 0;
    auto key = morvex::SettingsKey::create(morvex::kSettingsKeyPath, REG_KEY_ALL_ACCESS);
    if (!key) return -1;
    return RegistreInsertStrValue(key.get(), "ShowResultView", shown ? "1" : "0");
}

namespace morvex {

std::string systemTempDirectory() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string logFilePath(const CONTEXTE& ctx) {
    return fileInDirectory(logsDirectoryOf(ctx), "MorvexFylatek.log");
}

std::string memoryReportPath(const CONTEXTE& ctx) {
    return fileInDirectory(logsDirectoryOf(ctx), "MorvexFylatek.AllocMem.txt");
}

}  // namespace morvex

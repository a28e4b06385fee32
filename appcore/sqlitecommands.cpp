#include "appcore/sqlitecommands.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "appcore/application.h"
#include "appcore/filetargets.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "sqliteload/sqlite4fyk.h"

namespace {

// Batch size of the settings, or the default one.
int SettingsBatchSize() {
    return gcontexte.sqliteBatchSize > 0 ? static_cast<int>(gcontexte.sqliteBatchSize)
                                         : SQLITE4FYK_DEFAULT_BATCH_SIZE;
}

}  // namespace

int FYK_SendDataToSQLite(void*, FileDesc* desc, const char* path, SQLITE4FYK_LOADSTATS* stats) {
    if (desc == nullptr || path == nullptr) return 1;
    morvex::trace("\n[FYK_SendDataToSQLite] : Appel");
    if (FILEDESC_SetDatabaseFilePath(desc, path) != 0) return 1;
    // The desktop's load replaces the table, whatever made it: the person chose the database
    // and confirmed writing into it.
    SQLITE4FYK_LOADOPTIONS options;
    options.mode = LOADMODE_REPLACE;
    options.dataPath = desc->ExampleFilePath ? desc->ExampleFilePath : "";
    const int failed = SQLITE4FYK_RunLoadTask(desc, path, SettingsBatchSize(), stats, &options);
    morvex::trace("\n[FYK_SendDataToSQLite] : Termine");
    return failed;
}

int FYK_SendDataToSQLiteWithFilePrompt(void* window, FileDesc* desc, SQLITE4FYK_LOADSTATS* stats) {
    if (stats != nullptr) {
        *stats = SQLITE4FYK_LOADSTATS{};
        stats->status = SQLITE4FYK_LOAD_FAILED;
    }
    if (desc == nullptr) return 1;
    std::string proposed = desc->ProjectName;
    for (char& c : proposed) {
        if (strchr("/!*:;?\\", c) != nullptr) c = ' ';
    }
    proposed += ".db";
    // The databases directory of the settings, else the description's own folder.
    const std::string folder = morvex::startFolder(gcontexte.databasesDirectory, desc);
    if (!folder.empty()) proposed = folder + "/" + proposed;
    for (;;) {
        const std::optional<std::string> chosen =
            morvex::uiPort().promptFile("Exporter les données vers le fichier SQLite ...", proposed,
                                        "Fichier de base de données SQLite (*.db)|*.db", true);
        if (!chosen) return 0;
        struct stat info {};
        if (stat(chosen->c_str(), &info) == 0) {
            morvex::trace("\nFile exists : %s", chosen->c_str());
            // The desktop's save dialog has already asked.
            const morvex::UiAnswer answer =
                morvex::uiPort().promptAsksBeforeReplacing()
                    ? morvex::UiAnswer::Yes
                    : morvex::uiPort().messageBox(
                          "Remplacer le fichier",
                          "Ce fichier existe déjà. Voulez-vous le remplacer ?",
                          morvex::UiButtons::YesNoCancel, morvex::UiIcon::Question);
            if (answer == morvex::UiAnswer::No) continue;  // the dialog opens again
            if (answer != morvex::UiAnswer::Yes) return 0;
        } else {
            morvex::trace("\nFile does NOT exists : %s", chosen->c_str());
        }
        if (desc->TableName[0] == '\0') strcpy(desc->TableName, "datafile");
        FYK_SendDataToSQLite(window, desc, chosen->c_str(), stats);
        return 0;
    }
}

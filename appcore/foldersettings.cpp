#include "appcore/foldersettings.h"

#include <filesystem>

#include "datadic/dico.h"
#include "foundation/appsettings.h"
#include "foundation/trace.h"

std::vector<APPLICATION_FOLDER> APPLICATION_Folders(CONTEXTE* ctx) {
    if (!ctx) return {};
    const APPSETTINGS empty{};  // what the folders are when no setting names them
    auto orNone = [](const std::string& folder) {
        return folder.empty() ? std::string("aucun (modèles fournis introuvables)") : folder;
    };
    const std::string dictionaries =
        std::filesystem::path(DICO_DefaultPath("")).parent_path().string();
    return {
        {"Formats : ", ctx->formatLibrary,
         "le dossier de la description ouverte, sinon le dossier personnel"},
        {"Templates : ", ctx->templateLibrary, orNone(morvex::templatesDirectoryOf(empty))},
        {"Bibliothèques :", ctx->librariesDirectory, orNone(morvex::librariesDirectoryOf(empty))},
        {"Fichiers générés :", ctx->genTargetDirectory,
         "« Fichiers générés » dans le dossier de la description"},
        {"Bases de données :", ctx->databasesDirectory, "le dossier de la description"},
        {"Dictionnaires :", ctx->dictionnariesDirectory, dictionaries},
        {"Journaux :", ctx->logsDirectory, morvex::traceDefaultDirectory()},
    };
}

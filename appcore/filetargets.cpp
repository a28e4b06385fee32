#include "appcore/filetargets.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace fs = std::filesystem;

namespace morvex {

namespace {

std::string folderOf(const char* path) {
    if (!path || !path[0]) return std::string();
    return fs::path(path).parent_path().string();
}

// True when `a` and `b` name the same file, whether or not it exists yet.
bool sameFile(const std::string& a, const char* b) {
    if (a.empty() || !b || !b[0]) return false;
    std::error_code ec;
    if (fs::equivalent(a, b, ec) && !ec) return true;
    const fs::path left = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path right = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !left.empty() && left == right;
}

}  // namespace

std::string descriptionFolder(const FileDesc* desc) {
    if (!desc) return std::string();
    std::string folder = folderOf(desc->FileDescPath);
    if (folder.empty()) folder = folderOf(desc->ExampleFilePath);
    return folder;
}

std::string startFolder(const char* setting, const FileDesc* desc) {
    if (setting && setting[0]) return setting;
    std::string folder = descriptionFolder(desc);
    if (!folder.empty()) return folder;
    const char* home = getenv("HOME");
    return home ? home : std::string();
}

std::string EXPORT_Refusal(const std::string& target, const EXPORT_GUARDS& guards) {
    const FileDesc* desc = guards.desc;
    if (desc && sameFile(target, desc->ExampleFilePath))
        return "Le fichier '" + target +
               "' est le fichier de données de la description : l'exportation ne peut pas "
               "le remplacer. Choisissez un autre fichier.";
    if (desc && sameFile(target, desc->FileDescPath))
        return "Le fichier '" + target +
               "' est le fichier de la description : l'exportation ne peut pas le remplacer. "
               "Choisissez un autre fichier.";
    if (sameFile(target, guards.database.c_str()) ||
        (desc && sameFile(target, desc->DatabaseFilePath)))
        return "Le fichier '" + target +
               "' est la base de données ouverte : l'exportation ne peut pas la remplacer. "
               "Choisissez un autre fichier.";
    return std::string();
}

std::string EXPORT_ProposedPath(const std::string& folder, const std::string& extension,
                                const EXPORT_GUARDS& guards) {
    std::string stem =
        guards.desc && guards.desc->ProjectName[0] ? guards.desc->ProjectName : "Export";
    for (char& c : stem) {
        if (strchr("/!*:;?\\", c) != nullptr) c = ' ';
    }
    const fs::path base = folder.empty() ? fs::path() : fs::path(folder);
    for (int n = 0;; ++n) {
        const std::string name =
            n == 0 ? stem + extension
                   : stem + "_export" + (n > 1 ? std::to_string(n) : std::string()) + extension;
        const std::string path = (base / name).string();
        if (EXPORT_Refusal(path, guards).empty() || n >= 100) return path;
    }
}

std::optional<std::string> EXPORT_AskTarget(const std::string& title, const std::string& filter,
                                            const std::string& proposed,
                                            const EXPORT_GUARDS& guards) {
    std::string offered = proposed;
    for (;;) {
        const std::optional<std::string> chosen = uiPort().promptFile(title, offered, filter, true);
        if (!chosen || chosen->empty()) {
            trace("\nEnregistrement annulé");
            return std::nullopt;
        }
        offered = *chosen;
        const std::string refusal = EXPORT_Refusal(*chosen, guards);
        if (!refusal.empty()) {
            trace("\n[EXPORT_AskTarget] refusé : %s", chosen->c_str());
            uiPort().messageBox("Exportation", refusal, UiButtons::Ok, UiIcon::Warning);
            offered = EXPORT_ProposedPath(fs::path(*chosen).parent_path().string(),
                                          fs::path(*chosen).extension().string(), guards);
            continue;
        }
        std::error_code ec;
        if (fs::exists(*chosen, ec) && !uiPort().promptAsksBeforeReplacing()) {
            const UiAnswer answer = uiPort().messageBox(
                "Remplacer le fichier", "Ce fichier existe déjà. Voulez-vous le remplacer ?",
                UiButtons::YesNoCancel, UiIcon::Question);
            if (answer == UiAnswer::No) continue;
            if (answer != UiAnswer::Yes) return std::nullopt;
        }
        return chosen;
    }
}

}  // namespace morvex

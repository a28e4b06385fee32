// File-type association of morvex's ".fyk" and ".tpl" files with the desktop.
//
// On this platform a file type is a shared-mime-info package (<data>/mime/packages) naming the
// extension, one desktop entry for the program (<data>/applications/morvex-fylatek.desktop,
// listing every associated type), the type's icon (<data>/icons/hicolor/scalable/mimetypes),
// and the default application set with `xdg-mime default`. <data> is XDG_DATA_HOME (or
// ~/.local/share) for the current user, /usr/local/share machine-wide. The type counts as
// "already associated with another type" when `xdg-mime query default` names another program.
//
// User-interface thread only: questions and messages go through morvex::uiPort().
#pragma once

#include <string>

// One file type to associate.
struct EXTENSION_ASSOC {
    std::string extension;  // ".fyk"
    std::string typeName;   // "Morvex Fylatek Description File"
    std::string iconPath;   // icon file of the type (not required to exist)
    std::string command;    // the program's path followed by " %1"
    std::string caption;    // caption of the messages ("Morvex Fylatek")
};

// Scopes of enregistrerExtension.
constexpr int FILEASSOC_SCOPE_USER = 0;     // the current user's data directory
constexpr int FILEASSOC_SCOPE_MACHINE = 1;  // /usr/local/share

// Registers one file type (see the header comment); asks before taking over a type that another
// program opens. True when the association is complete; false after the message saying why.
bool enregistrerExtension(void* window, const EXTENSION_ASSOC* assoc, int scope);

namespace morvex {

// The data directory of a scope, without a trailing "/".
std::string fileAssocDataDirectory(int scope);
// The MIME type morvex gives to an extension: ".fyk" -> "application/x-morvex-fylatek-fyk".
std::string fileAssocMimeType(const std::string& extension);
// Name of the program's desktop entry.
constexpr const char* FILEASSOC_DESKTOP_FILE = "morvex-fylatek.desktop";
// True when the program runs from an installation that brought its own desktop entry
// (<data folder>/../applications/morvex-fylatek.desktop, as the package installs it): the file
// types are then registered already and the first run registers nothing.
bool fileAssocInstalledWithProgram();
// The same for the data folder `dataDir` (foundation/datadir.h); false for "".
bool fileAssocInstalledWithData(const std::string& dataDir);

}  // namespace morvex

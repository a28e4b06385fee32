// The files shipped with the programs (templates and their library, examples, text-import
// layouts, the manual, icons, translations), found from the running program itself.
//
// Every program looks for them in <folder of its executable>/../share/morvex: /usr/bin/morvexcli
// reads /usr/share/morvex, and a program of the build tree (build/cli/morvexcli) reads the
// build tree's share/morvex, which the build fills with links to the source folders. No path of
// the source tree is compiled into a program. Thread-safe; nothing here writes anything.
#pragma once

#include <string>

// The shipped folders and files, relative to the data folder.
constexpr const char* DATADIR_TEMPLATES = "templates";         // the bundled templates (.tpl)
constexpr const char* DATADIR_LIBRARIES = "templates/lib";     // the templates' libraries
constexpr const char* DATADIR_EXAMPLES = "examples";           // example descriptions and data
constexpr const char* DATADIR_LAYOUTS = "examples/import";     // text-import layouts
constexpr const char* DATADIR_MANUAL = "docs/manual.html";     // the manual (F1, menu Aide)
constexpr const char* DATADIR_ICONS = "icons";                 // the file types' icons
constexpr const char* DATADIR_TRANSLATIONS = "translations";   // .qm files the programs carry

namespace morvex {

// The folder of the running program's executable (symbolic links resolved), or "" when the
// system does not tell it.
std::string programDirectory();

// The data folder that a program in `programDir` reads: programDir/../share/morvex, normalised,
// when that folder exists; "" otherwise.
std::string dataDirectoryFor(const std::string& programDir);

// The data folder of the running program (dataDirectoryFor(programDirectory())), computed once;
// "" when none is found.
std::string dataDirectory();

// The shipped file or folder `relative` (one of the DATADIR_* names, or a path below them) in
// the running program's data folder: its absolute path when it exists, "" otherwise.
std::string dataPath(const std::string& relative);

}  // namespace morvex

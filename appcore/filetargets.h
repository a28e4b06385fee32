// Files the person chooses for the program to write: where a dialog starts, what an export may
// not take, the question before a file is replaced (the write itself goes through
// foundation/replacefile.h, which never leaves a half-written file behind).
//
// User-interface thread.
#pragma once

#include <optional>
#include <string>

#include "foundation/replacefile.h"

struct FileDesc;

namespace morvex {

// The folder of the work at hand: that of `desc`'s description file, else that of its data
// file; "" without either.
std::string descriptionFolder(const FileDesc* desc);

// Where a dialog for `desc`'s work starts: `setting` when it names a folder, else the
// description's folder, else the person's home folder. Never the folder another dialog used
// last.
std::string startFolder(const char* setting, const FileDesc* desc);

// What an export must never take: the files of the work it exports from.
struct EXPORT_GUARDS {
    const FileDesc* desc = nullptr;  // its data file and description file are refused
    std::string database;            // the open database ("" when none)
};

// Why `target` may not receive an export, in a sentence for the person; "" when it may.
std::string EXPORT_Refusal(const std::string& target, const EXPORT_GUARDS& guards);

// The file an export of `guards.desc`'s rows proposes in `folder`: "<project><extension>"
// ("Export" without a project; / ! * : ; ? \ blanked), or when EXPORT_Refusal refuses that one
// (the project's data file is often named so) "<project>_export<extension>", "_export2"...
std::string EXPORT_ProposedPath(const std::string& folder, const std::string& extension,
                                const EXPORT_GUARDS& guards);

// Asks for the file an export writes, through the UI port: the save prompt titled `title`
// proposing `proposed`; a refused target is told (caption "Exportation") and the prompt comes
// again; an existing file is replaced only once the person agrees (the port's save dialog asks,
// or "Ce fichier existe déjà. Voulez-vous le remplacer ?": No asks for another file, Cancel
// stops). The chosen path, or nothing when the person gave up.
std::optional<std::string> EXPORT_AskTarget(const std::string& title, const std::string& filter,
                                            const std::string& proposed,
                                            const EXPORT_GUARDS& guards);

}  // namespace morvex

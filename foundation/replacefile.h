// Writing a file whole or not at all, and what a failed file operation is called in French.
// Any thread may call these.
#pragma once

#include <functional>
#include <string>

namespace morvex {

// Why writing a file failed, in French, from an errno value: systemErrorText's words, a
// missing path being a missing folder.
std::string fileErrorText(int error);

// Writes `target` without ever leaving it half-written: `write` fills a new file beside it (same
// folder, same permissions a new file would get) and returns false on failure; only once it has
// succeeded does that file take the target's name. On failure the target is as it was, the
// temporary file is gone and `error` (when given) says "Impossible d'écrire le fichier '<target>'
// : <reason>." (the reason from errno when `write` left one, else "l'écriture a échoué").
bool writeFileReplacing(const std::string& target,
                        const std::function<bool(const std::string& temporary)>& write,
                        std::string* error);

}  // namespace morvex

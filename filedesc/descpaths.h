// Paths written inside a description (the example data file, the SQLite database, the templates
// of its process) are read from the description's own folder when they are relative, so that a
// description and its files moved together keep working from any current folder.
#pragma once

#include <string>

namespace morvex {

// The path that the description text `stored` names, for a description read from `descFile`:
// `stored` itself when it is empty or absolute, or when `descFile` is empty; when relative, the
// absolute path from the folder of `descFile` when something exists there, else from the current
// folder when something exists there (descriptions made before named their files from the
// folder they were made in), else from the folder of `descFile`. Never fails; any thread.
std::string resolveDescriptionPath(const std::string& descFile, const std::string& stored);

}  // namespace morvex

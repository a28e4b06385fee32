// The data files of a load given as several --data options and patterns.
#pragma once

#include <string>
#include <vector>

namespace morvex {

// The files named by the --data options of a command that reads several into one table.
struct DataFileList {
    std::vector<std::string> paths;  // in the order given, each pattern's files sorted by name
    std::vector<std::string> names;  // each file's base name, as a row's source column holds it
};

// Each --data as given, or, when it names no file and holds a pattern character (*, ? or [),
// the files the pattern matches (glob(3), sorted by name), so that a quoted pattern works as
// the shell's would. Standard input ("-") may be given once. False with the usage error
// written: a pattern that matches nothing (named), "-" given twice.
bool expandDataFiles(const std::vector<std::string>& given, DataFileList& out);

}  // namespace morvex

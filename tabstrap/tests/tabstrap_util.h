#include "foundation/testing/files.h"
// Helpers shared by the tabstrap tests: the fixed parts of a script and whole-file reads.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tabstrap_test {

// The header block of a script for target `table`.
inline std::string header(const std::string& table) {
    return "/*************************************************************\n"
           " *\n"
           " * Script d'insertion de données pour " +
           table +
           "\n"
           " *\n"
           " * Généré par Tabstrap (Morvex Fylatek)\n"
           " * www.morvex-fylatek.example\n"
           " ************************************************************/";
}

// The closing comment of a script of `rows` statements.
inline std::string footer(int rows) {
    return "\n\n/* Fin du script d'insertion : " + std::to_string(rows) +
           " instructions d'INSERT générées */\n";
}

// The whole content of a file, byte for byte ("" when it cannot be read).
using morvex::testing::readFile;

}  // namespace tabstrap_test

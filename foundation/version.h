// The program's version and build number, written here once: the splash, the about box, the
// window titles, the files that name the build that wrote them, and CMake's project version
// (CMakeLists.txt reads this file) take them from here.
#pragma once

// The version of the programs.
#define MORVEX_VERSION "1.5.2"
// Their build number.
#define MORVEX_BUILD "5697"

#ifdef __cplusplus
#include <cstdio>
#include <cstring>
#include <string>

namespace morvex {

// What every program answers to --version: "<program> (Morvex Fylatek) 1.5.2", then the build
// number and the licence, one per line, ending with a line feed.
inline std::string versionText(const std::string& program) {
    return program + " (Morvex Fylatek) " MORVEX_VERSION "\nBuild " MORVEX_BUILD
                     "\nLicence MIT : logiciel libre, fourni sans aucune garantie.\n";
}

// For the programs that read their arguments themselves: a command line that is exactly
// "--version" or "--help" is answered on standard output (versionText(program), or `help`) and
// true returned, so that the program ends with status 0; any other command line returns false.
inline bool answerVersionOrHelp(int argc, char** argv, const std::string& program,
                                const char* help) {
    if (argc != 2 || !argv || !argv[1]) return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs(versionText(program).c_str(), stdout);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(help, stdout);
        return true;
    }
    return false;
}

}  // namespace morvex
#endif

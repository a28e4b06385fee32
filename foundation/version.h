// The program's version and build number, written here once: the splash, the about box, the
// window titles, the files that name the build that wrote them, and CMake's project version
// (CMakeLists.txt reads this file) take them from here.
#pragma once

// The version of the programs.
#define MORVEX_VERSION "1.5.2"
// Their build number.
#define MORVEX_BUILD "5697"

// The window-free rules of morvex's main window: its title, the file names it proposes, and the
// command line it is started with.
#pragma once

#include <string>
#include <vector>

#include "foundation/version.h"

struct FileDesc;

// Title of the main window without a description, and the caption of its messages.
constexpr const char* MAINFRAME_APPLICATION_NAME = "Morvex Fylatek";
// Version and build shown in the title and the about box (foundation/version.h).
constexpr const char* MAINFRAME_VERSION = MORVEX_VERSION;
constexpr const char* MAINFRAME_BUILD = MORVEX_BUILD;
// Longest title kept (characters).
constexpr int MAINFRAME_TITLE_MAX = 511;

namespace morvex {

// The main window's title for the current description `desc` (nullptr: none open): the
// database and table part only when both names are set, a "*" after the project name when the
// description is modified.
std::string mainWindowTitle(const FileDesc* desc);

// The file name proposed when `desc` is saved under a new name: its project name (at most 260
// characters) with each of ! * / : ; ? \ replaced by a blank, followed by `extension` (".fyk");
// "monformat.fyk" without a description.
std::string suggestedFileName(const FileDesc* desc, const char* extension = ".fyk");

// Rebuilds the command line from the program's arguments (argv[1] on): the words joined by
// blanks, a word holding a blank wrapped in double quotes.
std::string joinArguments(int argc, const char* const* argv);

// Splits a command line into words: a line that as a whole names an existing file is one word;
// otherwise words are separated by blanks, double quotes group words, and every word loses its
// double quotes. Empty words are dropped.
std::vector<std::string> splitCommandLine(const std::string& line);

// The extension of `path` (".fyk"), lower-cased; empty when it has none.
std::string lowerExtension(const std::string& path);

}  // namespace morvex

// APPSETTINGS: the folders and sizes of the per-user settings that the libraries read (where
// templates, libraries, generated files and logs go; how many rows an analysis reads, how long a
// line may be, how many rows a load batch holds).
//
// The program reads them from the settings store (foundation/registry.h) into its context
// (appcore/application.h: gcontexte, which is an APPSETTINGS) and names that context here once,
// before any worker starts; the libraries read it through morvex::appSettings(). The
// user-interface thread writes the values (start-up, Options sheet) while no task runs; workers
// only read them.
#pragma once

#include <string>

// Longest directory text kept in the settings (characters, terminator excluded).
constexpr int APPSETTINGS_DIRECTORY_MAX = 260;

struct APPSETTINGS {
    char logsDirectory[APPSETTINGS_DIRECTORY_MAX + 1];           // log file and memory report
    char binariesDirectory[APPSETTINGS_DIRECTORY_MAX + 1];       // setting BinariesDirectory
    char formatLibrary[APPSETTINGS_DIRECTORY_MAX + 1];           // description files (.fyk)
    char templateLibrary[APPSETTINGS_DIRECTORY_MAX + 1];         // templates
    char genTargetDirectory[APPSETTINGS_DIRECTORY_MAX + 1];      // where generation writes
    char dictionnariesDirectory[APPSETTINGS_DIRECTORY_MAX + 1];  // the data dictionary file
    char librariesDirectory[APPSETTINGS_DIRECTORY_MAX + 1];      // setting LibrariesDirectory
    char toolsDirectory[APPSETTINGS_DIRECTORY_MAX + 1];          // the companion tools
    char databasesDirectory[APPSETTINGS_DIRECTORY_MAX + 1];      // SQLite databases
    char scriptsDirectory[APPSETTINGS_DIRECTORY_MAX + 1];        // scripts
    unsigned int fileAnalyseMaxRows;         // rows read by a type-recognition analysis
    unsigned int nCarMaxReadWithoutNewLine;  // characters before a line without end is cut
    unsigned int sqliteBatchSize;            // rows per batch of the SQLite loading
    unsigned int sqliteBusyTimeout;  // milliseconds a load waits for a locked database (setting
                                     // sqliteBusyTimeout; 0: the load's default)
};

namespace morvex {

// The settings the program named with useAppSettings; before that (and after nullptr) empty
// folders and zero sizes.
const APPSETTINGS& appSettings();
// Names the settings the libraries read from now on (not copied: they must outlive every
// reader). nullptr goes back to the empty ones. Call from the user-interface thread while no
// task runs.
void useAppSettings(const APPSETTINGS* settings);

// The folder of the logs: logsDirectory as the settings chose it, or when it is empty the
// user's private default (foundation/trace.h, traceDefaultDirectory), created 0700 if missing.
std::string logsDirectoryOf(const APPSETTINGS& settings);

// The folder of the templates: templateLibrary as the settings chose it, or when it is empty the
// bundled templates of the running program (foundation/datadir.h; "" when none is found).
std::string templatesDirectoryOf(const APPSETTINGS& settings);
// The folder of the templates' libraries (%include): librariesDirectory, or when it is empty the
// bundled library of the running program ("" when none is found).
std::string librariesDirectoryOf(const APPSETTINGS& settings);

}  // namespace morvex

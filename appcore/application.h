// APPLICATION: the application context gcontexte of morvex and its per-user settings (the key
// "Software\MorvexFylatek" of the settings store, foundation/registry.h).
//
// Everything here belongs to the user-interface thread. Windows are opaque handles: this library
// knows no window system. The first-run steps that need windows (file-type association, Options
// dialog) are supplied by the application through APPLICATION_SetFirstRunHook.
#pragma once

#include <string>

#include "filedesc/filedesc.h"
#include "filedesc/process.h"
#include "foundation/appsettings.h"
#include "foundation/ldcg.h"

namespace morvex {
class SettingsKey;
}

// Longest directory text kept in the context (characters, terminator excluded).
constexpr int APPLICATION_DIRECTORY_MAX = APPSETTINGS_DIRECTORY_MAX;

// The process-wide application context: the settings the libraries read (its APPSETTINGS part,
// named to them by this library as soon as the program starts), the windows and the open
// descriptions.
struct CONTEXTE : APPSETTINGS {
    void* hwndMain;         // the main window
    void* hwndPkIndexes;    // the primary key and indexes window
    void* hwndHelpFrame;    // the contextual help side window
    void* hwndDictionary;   // the data dictionary window while it is open, else nullptr
    int helpFrameWidth;     // width in pixels of the side panel on the right of the main window
    int helpFrameTop;       // top of the side panel separator in pixels
    int showHelpFrame;      // setting ShowHelpFrame (0 or 1), kept for reference
    int showResultView;     // setting ShowResultView (0 or 1; 1 when unset): the previews shown
    LDCG* openFiles;        // open descriptions (lParam1 = FileDesc*, owned), in opening order
    FileDesc* currentFile;  // the description the main window shows, or nullptr (in openFiles)
    PROCESS* processes;     // the generation process created at start-up (owned)
};

// The one application context, zeroed at start-up.
extern CONTEXTE gcontexte;

// Version of the layout of the settings, written at the first run (setting "Version").
constexpr const char* APPLICATION_SETTINGS_VERSION = "1.4";

// Defaults applied to the numeric settings when they read as empty, 0 (or negative).
constexpr unsigned int APPLICATION_DEFAULT_FILEANALYSEMAXROWS = 1000;
constexpr unsigned int APPLICATION_DEFAULT_NCARMAXREADWITHOUTNEWLINE = 5000;
constexpr unsigned int APPLICATION_DEFAULT_SQLITEBATCHSIZE = 1000;
// Milliseconds a SQLite load waits for a database locked by another program.
constexpr unsigned int APPLICATION_DEFAULT_SQLITEBUSYTIMEOUT = 10000;

// What the windows add to the first run once the settings are written: register the ".tpl" then
// ".fyk" file types and show the Options dialog on gcontexte. `window` is the one given to
// APPLICATION_InitRegister.
typedef void (*APPLICATION_FIRSTRUN_HOOK)(void* window);

// Installs the first-run hook (nullptr removes it). Call before APPLICATION_LoadRegister.
void APPLICATION_SetFirstRunHook(APPLICATION_FIRSTRUN_HOOK hook);

// Start-up step of the context: zeroes ctx, creates openFiles (empty) and processes, sets
// hwndMain, helpFrameTop 30 and helpFrameWidth 190, then reads the settings. 0, or 1 when ctx is
// missing or out of memory.
int APPLICATION_InitContext(void* window, CONTEXTE* ctx);
// Closes every description still in openFiles, destroys the list and the process. nullptr
// accepted.
void APPLICATION_ReleaseContext(CONTEXTE* ctx);

// Reads the settings into ctx, first creating the key and running APPLICATION_InitRegister when
// it did not exist; applies the defaults. 0 when read, and also when the key could not be created
// (defaults only); -1 when ctx is missing or the key cannot be opened for reading.
int APPLICATION_LoadRegister(void* window, CONTEXTE* ctx);
// First run: writes the twenty settings with their first-run values in one go, then calls the
// first-run hook. false when the key cannot be opened or the values cannot be written.
bool APPLICATION_InitRegister(void* window);
// Saves the ten directories and the three numeric settings of ctx. 0 on success, -1 when the key
// cannot be opened (nothing written), 1 when ctx is missing or a value could not be written (the
// others are still written).
int APPLICATION_UpdateRegister(void* window, CONTEXTE* ctx);
// The person showed (`shown` 1) or hid (0) the previews: kept in ctx and saved at once as
// "ShowResultView", read back at the next start. 0 when saved, -1 when the key cannot be
// opened, 1 when ctx is missing or the value could not be written.
int APPLICATION_SaveShowResultView(CONTEXTE* ctx, int shown);
// Writes one string value into an open key. 0 on success, 1 on failure or missing argument (a
// missing text is written as empty).
int RegistreInsertStrValue(morvex::SettingsKey* key, const char* name, const char* text);

namespace morvex {

// The system temporary directory (TMPDIR when set), without a trailing "/".
std::string systemTempDirectory();
// The log file "<logsDirectory>/MorvexFylatek.log"; an empty logsDirectory stands for the
// private default folder.
std::string logFilePath(const CONTEXTE& ctx);
// The memory report "<logsDirectory>/MorvexFylatek.AllocMem.txt", same rules.
std::string memoryReportPath(const CONTEXTE& ctx);

}  // namespace morvex

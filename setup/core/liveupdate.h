// LIVEUPDATE: the update procedure of morvexsetup, free of any window system.
//
// The procedure downloads the manifest "liveupdate.txt" from the update server into the target
// directory, lists its entries, downloads every entry into the target directory after the person
// agrees, runs the installation script and offers to start morvex. It runs in one worker thread
// and reaches the person only through the hooks it is given (the wizard's update page, or the
// console of "morvexsetup --yes").
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "foundation/uiport.h"

// The manifest's path on the update server, and its local name.
extern const char* const LIVEUPDATE_MANIFEST_PATH;  // "/MorvexFylatek/liveupdate.txt"
extern const char* const LIVEUPDATE_MANIFEST_NAME;  // "liveupdate.txt"
// The update server used when neither the settings nor the environment name one.
extern const char* const LIVEUPDATE_DEFAULT_SERVER;
// The installation script, run with /bin/sh, and the program started at the end.
extern const char* const LIVEUPDATE_INSTALL_SCRIPT;  // "install.sh"
extern const char* const LIVEUPDATE_PROGRAM;         // "morvex"

// Texts of the list's status column.
extern const char* const LIVEUPDATE_ROW_RUNNING;  // "En cours..."
extern const char* const LIVEUPDATE_ROW_DONE;     // "Terminé."
extern const char* const LIVEUPDATE_ROW_ERROR;    // "ERREUR"

// The longest manifest line kept; the rest of a longer line is ignored.
constexpr size_t LIVEUPDATE_MAX_LINE = 1023;
// The largest manifest read (a few hundred lines are expected): a larger one is refused.
constexpr size_t LIVEUPDATE_MAX_MANIFEST = 1 << 20;

// One manifest entry: one file to download.
struct LIVEUPDATE_ENTRY {
    std::string url;        // full address of the file
    std::string localName;  // name of the file in the target directory, as shown in the list
    bool nameAllowed;       // false when localName would leave the target directory
    std::string sha256;     // expected SHA-256 (hexadecimal) or empty when the line gives none
};

// How the procedure ended.
enum class LIVEUPDATE_END {
    ManifestUnreachable,  // the manifest could not be downloaded
    ManifestUnreadable,   // the saved manifest could not be opened
    DownloadDeclined,     // "No" to the download question
    DownloadFailed,       // a file could not be downloaded: nothing was installed
    InstallDeclined,      // "No" to the installation question
    StartDeclined,        // "No" to the start question
    Started,              // morvex was started
    StartFailed,          // morvex could not be started
    Stopped,              // the stop request ended it early
};

// What the procedure reports. Every member is called from the thread running the procedure;
// a member left empty is skipped (an empty `ask` answers No).
struct LIVEUPDATE_HOOKS {
    std::function<void(const std::string& text)> status;  // the page's status text
    // A new list row (index from 0) with its local name and address.
    std::function<void(int row, const std::string& name, const std::string& url)> addRow;
    // The status column of a row ("En cours...", "Terminé." or "ERREUR"; the reasons of the
    // failures are told together once every download has been tried).
    std::function<void(int row, const std::string& text)> rowStatus;
    // The row's download has been attempted: tick it and scroll to the next one.
    std::function<void(int row)> rowAttempted;
    std::function<void(int range)> progressRange;  // the progress bar goes from 0 to range
    std::function<void(int position)> progress;    // the progress bar's position
    std::function<void(bool busy)> busy;           // a download starts (true) or ends (false)
    // A message box (caption, text, buttons, icon): the person's answer.
    std::function<morvex::UiAnswer(const std::string&, const std::string&, morvex::UiButtons,
                                   morvex::UiIcon)>
        ask;
};

// One run of the procedure.
struct LIVEUPDATE_JOB {
    std::string server;               // update server address (the manifest path is appended)
    std::string directory;            // target directory, where files go and the script runs
    long connectTimeoutSeconds = 20;  // per transfer
    long stallTimeoutSeconds = 30;    // per transfer: longest wait without data
    const std::atomic<bool>* stop = nullptr;  // ends the procedure early when set and true
};

// Outcome of one run.
struct LIVEUPDATE_RESULT {
    LIVEUPDATE_END end = LIVEUPDATE_END::ManifestUnreachable;  // where it stopped
    int entries = 0;                                           // rows listed
    int failures = 0;                                          // rows that ended in "ERREUR"
    int installStatus = -1;  // exit status of the installation script, -1 when not run
};

// The update server: $MORVEX_UPDATE_URL when set and not empty, else the "UpdateServer" value of
// the program's settings when not empty, else LIVEUPDATE_DEFAULT_SERVER.
std::string LIVEUPDATE_ServerAddress();

// The manifest's address on `server` (one "/" between them).
std::string LIVEUPDATE_ManifestUrl(const std::string& server);

// The local name of an address: the last segment of its path, percent-decoded. *allowed
// (optional) receives false when the name is empty, "." or "..", holds a "\", a "/" or a NUL
// once decoded, or is longer than a file name may be.
std::string LIVEUPDATE_LocalName(const std::string& url, bool* allowed);

// Reads a manifest: one entry per line (line ends removed, a line cut after LIVEUPDATE_MAX_LINE
// characters, blank lines skipped); a line may carry, after the address and a blank, the file's
// SHA-256. False when the file cannot be opened, is no regular file or is larger than
// LIVEUPDATE_MAX_MANIFEST (traced).
bool LIVEUPDATE_ReadManifest(const std::string& path, std::vector<LIVEUPDATE_ENTRY>* entries);

// Runs the procedure to its end (the caller's worker thread). Never throws.
LIVEUPDATE_RESULT LIVEUPDATE_Run(const LIVEUPDATE_JOB& job, const LIVEUPDATE_HOOKS& hooks);

// Runs "/bin/sh install.sh" in `directory` and waits for it: its exit status, or -1 when it
// could not be started (127 when the shell could not be run).
int LIVEUPDATE_RunInstallScript(const std::string& directory);

// Starts `directory`/morvex in that directory without waiting for it. False (traced) when the
// program is missing or not executable or cannot be started.
bool LIVEUPDATE_StartProgram(const std::string& directory);

// The one door through which core operations reach a person: message boxes, status text,
// file prompts, the message panel and refresh requests to windows.
//
// The Qt application, morvexcli and the tests each install their own implementation with
// setUiPort(). Core code never blocks on a person from a worker thread: workers report through
// their task's events instead, and only the user-interface thread calls the asking methods
// (messageBox, promptFile, editProjectProperties, runTasks, openDescription). statusText,
// panelMessage, refresh and showFilePreview may be called from worker threads: implementations
// must be thread-safe there.
#pragma once

#include <optional>
#include <string>

#include "foundation/task.h"

struct FileDesc;

namespace morvex {

// Buttons of a message box, and the answer returned.
enum class UiButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class UiAnswer { Ok, Cancel, Yes, No };
enum class UiIcon { Info, Warning, Error, Question };

// Requests to the message panel (the contextual help panel of the main window).
enum class UiPanel {
    Clear = 1,       // empties the panel
    HelpTopic = 2,   // shows help topic `value` (after emptying the panel)
    Normal = 3,      // appends the text, not bold, black
    BoldColour = 4,  // appends the text in bold in colour `value`
    Link = 5,        // appends the text in colour `value` as a link that opens the path it names
};

// Colours of the message panel: colour references with the blue, green and red bytes from
// high to low (0x00BBGGRR).
constexpr unsigned PANEL_ERROR = 0x0000FF;    // red
constexpr unsigned PANEL_WARNING = 0x00B4EB;  // orange
constexpr unsigned PANEL_SUCCESS = 0x14DC14;  // green
constexpr unsigned PANEL_INFO = 0;            // black
constexpr unsigned PANEL_NOTICE = 0x00008C;   // dark red: commands run and description notices

// Windows that core operations ask to refresh.
enum class UiRefresh {
    ResultView,    // the split result of the current description
    ColumnList,    // the column list of the current description
    Title,         // title and status bar of the main window
    ProcessList,   // the generation window's template list
    FilePreview,   // the source file preview
};

class UiPort {
public:
    virtual ~UiPort() = default;

    // Shows a message box; returns the button chosen.
    virtual UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                                UiIcon icon) = 0;
    // Asks for a file to write (or read when `forSaving` is false), proposing `proposed`;
    // nullopt when the person cancels.
    virtual std::optional<std::string> promptFile(const std::string& title, const std::string& proposed,
                                                  const std::string& filter, bool forSaving) = 0;
    // True when promptFile, for saving, has itself asked the person before returning a file that
    // exists (a desktop save dialog does): an operation then does not ask a second time.
    virtual bool promptAsksBeforeReplacing() const { return false; }
    // Status bar text.
    virtual void statusText(const std::string& text) = 0;
    // A request to the message panel: `value` is the colour of BoldColour and Link runs and the
    // topic of HelpTopic; `text` the text appended by Normal, BoldColour and Link.
    virtual void panelMessage(UiPanel request, unsigned value, const std::string& text) = 0;
    // Asks a window to refresh itself.
    virtual void refresh(UiRefresh what) = 0;
    // Shows a data file in the source file preview (empty path: clears it).
    virtual void showFilePreview(const std::string& path) = 0;
    // A description created by a core operation becomes the current one of the main window.
    // The port does not take ownership: the core operation keeps closing it where it says so.
    virtual void openDescription(FileDesc* desc) = 0;
    // Shows the project properties of `desc` (creation mode when `creating`); true when the
    // person confirmed.
    virtual bool editProjectProperties(FileDesc* desc, bool creating) = 0;
    // Runs the first task of `tasks` under a progress display and returns once its worker has
    // ended. The list stays the caller's.
    virtual void runTasks(TASKSLIST* tasks) = 0;
};

// A port for programs without a person in front: messages go to the trace, questions get
// their safe answer (Ok; No for Yes/No questions; Cancel where it is offered), prompts accept
// the proposed path, property sheets are confirmed as they stand.
class HeadlessUiPort : public UiPort {
public:
    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon icon) override;
    std::optional<std::string> promptFile(const std::string& title, const std::string& proposed,
                                          const std::string& filter, bool forSaving) override;
    void statusText(const std::string& text) override;
    void panelMessage(UiPanel request, unsigned value, const std::string& text) override;
    void refresh(UiRefresh what) override;
    void showFilePreview(const std::string& path) override;
    void openDescription(FileDesc* desc) override;
    bool editProjectProperties(FileDesc* desc, bool creating) override;
    // Runs the task in a worker thread and traces its messages.
    void runTasks(TASKSLIST* tasks) override;
};

// What went wrong in a core operation, worded for a person. Core operations fill one and
// return; the front end that called them shows it (showError: a message box with this title and
// icon on the desktop, a line on standard error in morvexcli).
struct UiError {
    std::string title;
    std::string text;
    UiIcon icon = UiIcon::Error;

    bool empty() const { return text.empty(); }
};
// Shows `error` through the port in use (nothing when it is empty).
void showError(const UiError& error);

// The port in use (a HeadlessUiPort until a program installs its own).
UiPort& uiPort();
// Installs `port` (not owned; nullptr restores the headless port). Call from the main thread
// before any worker starts.
void setUiPort(UiPort* port);

}  // namespace morvex

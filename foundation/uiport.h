// The one door through which core operations reach a person: message boxes, status text,
// file prompts, the message panel and refresh requests to windows.
//
// The Qt application, morvexcli and the tests each install their own implementation with
// setUiPort(). Core code never blocks on a person from a worker thread: workers report through
// their task's events instead, and only the user-interface thread calls the asking methods.
#pragma once

#include <optional>
#include <string>

namespace morvex {

// Buttons of a message box, and the answer returned.
enum class UiButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class UiAnswer { Ok, Cancel, Yes, No };
enum class UiIcon { Info, Warning, Error, Question };

// Windows that core operations ask to refresh.
enum class UiRefresh {
    ResultView,    // the split result of the current description
    ColumnList,    // the column list of the current description
    Title,         // title and status bar of the main window
    ProcessList,   // the generation window's template list
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
    // Status bar text.
    virtual void statusText(const std::string& text) = 0;
    // Text for the message panel (the contextual help panel), optionally with a file link.
    virtual void panelMessage(const std::string& text, const std::string& link) = 0;
    // Asks a window to refresh itself.
    virtual void refresh(UiRefresh what) = 0;
};

// A port for programs without a person in front: messages go to the trace, questions get
// their default answer (Ok, or No for Yes/No questions), prompts accept the proposed path.
class HeadlessUiPort : public UiPort {
public:
    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon icon) override;
    std::optional<std::string> promptFile(const std::string& title, const std::string& proposed,
                                          const std::string& filter, bool forSaving) override;
    void statusText(const std::string& text) override;
    void panelMessage(const std::string& text, const std::string& link) override;
    void refresh(UiRefresh what) override;
};

// The port in use (a HeadlessUiPort until a program installs its own).
UiPort& uiPort();
// Installs `port` (not owned; nullptr restores the headless port). Call from the main thread
// before any worker starts.
void setUiPort(UiPort* port);

}  // namespace morvex

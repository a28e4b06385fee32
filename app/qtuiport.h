// The Qt implementation of the UI port: message boxes, file dialogs, the status bar, the message
// panel, refresh requests and the progress window of the main window.
//
// Owned by the user-interface thread. Calls from worker threads are handed over to it: the
// reports (status text, panel runs, refreshes, previews) are queued, status texts coalesced
// to the latest one; the asking methods block the worker until the person has answered.
//
// Tests replace the person: an answerer hook gives the answers to message boxes, a file hook the
// answers to file dialogs, a dialog hook runs modal dialogs, and an open hook receives what
// would be handed to the desktop, so that no test ever blocks on a window.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/uiport.h"

class QDialog;

namespace morvex {

class MainWindow;

// Answers a message box in place of the person: (caption, text, buttons) -> answer.
using UiAnswerer = std::function<UiAnswer(const std::string&, const std::string&, UiButtons)>;
// Answers a file dialog: (title, proposed, filter, forSaving) -> path, nullopt for a cancel.
using UiFileAnswerer = std::function<std::optional<std::string>(
    const std::string&, const std::string&, const std::string&, bool)>;
// Receives, on the user-interface thread, every request sent to the message panel.
using UiPanelListener = std::function<void(UiPanel, unsigned, const std::string&)>;
// Runs a modal dialog in place of the person; returns its result code.
using UiDialogRunner = std::function<int(QDialog*)>;
// Receives what would be opened by the desktop; returns true when it was opened.
using UiDesktopOpener = std::function<bool(const QUrl&)>;

// Runs a modal dialog: through the installed dialog hook, else with exec().
int execDialog(QDialog* dialog);
// Installs the dialog hook (an empty function restores exec()).
void setDialogRunner(UiDialogRunner runner);
// Opens a folder, file or address with the desktop (through the open hook when one is set).
bool openWithDesktop(const QUrl& url);
// Installs the open hook (an empty function restores QDesktopServices).
void setDesktopOpener(UiDesktopOpener opener);

// A Qt file filter from the port's filter text: "Description (*.ext)|*.ext", "Description
// (*.ext)" or "*.ext"; *suffix (optional) receives the default extension ("ext"), empty for
// "*.*" or "*".
QString qtFileFilter(const std::string& filter, QString* suffix = nullptr);

class QtUiPort : public QObject, public UiPort {
    Q_OBJECT

public:
    explicit QtUiPort(QObject* parent = nullptr);
    ~QtUiPort() override;

    // The window that receives the reports (not owned; nullptr while none is open).
    void setMainWindow(MainWindow* window);
    MainWindow* mainWindow() const { return window_; }

    // Test hooks (see the header comment); an empty function restores the person.
    void setAnswerer(UiAnswerer answerer) { answerer_ = std::move(answerer); }
    void setFileAnswerer(UiFileAnswerer answerer) { fileAnswerer_ = std::move(answerer); }
    // A window that follows the message panel's requests as well (the generation window while
    // it runs); an empty function ends it.
    void setPanelListener(UiPanelListener listener) { panelListener_ = std::move(listener); }

    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon icon) override;
    std::optional<std::string> promptFile(const std::string& title, const std::string& proposed,
                                          const std::string& filter, bool forSaving) override;
    // Qt's save dialog asks before an existing file is chosen; a test's file answerer does not.
    bool promptAsksBeforeReplacing() const override { return !fileAnswerer_; }
    void statusText(const std::string& text) override;
    void panelMessage(UiPanel request, unsigned value, const std::string& text) override;
    void refresh(UiRefresh what) override;
    void showFilePreview(const std::string& path) override;
    void openDescription(FileDesc* desc) override;
    bool editProjectProperties(FileDesc* desc, bool creating) override;
    void runTasks(TASKSLIST* tasks) override;

    // An open-file dialog with multiple selection starting in `directory`: the chosen paths in
    // order, none for a cancel. (The file hook answers with the paths on separate lines.)
    std::vector<std::string> promptFiles(const std::string& title, const std::string& directory,
                                         const std::string& filter);
    // Task lists run through runTasks so far, and how the last one's task ended
    // (TASK_EVENT_FINISHED, _INTERRUPTED, _NOT_STARTED, or 0 when it reported no end).
    int taskRuns() const { return taskRuns_; }
    int lastTaskEnd() const { return lastTaskEnd_; }

private:
    bool onUiThread() const;
    void deliverStatusText();

    MainWindow* window_ = nullptr;  // receives the reports
    UiAnswerer answerer_;
    UiFileAnswerer fileAnswerer_;
    UiPanelListener panelListener_;
    std::mutex statusLock_;     // guards the two fields below
    std::string pendingStatus_;  // latest status text sent by a worker, not yet shown
    bool statusPosted_ = false;  // a delivery of pendingStatus_ is queued
    int taskRuns_ = 0;
    int lastTaskEnd_ = 0;
};

// The Qt port installed by the running program (nullptr before start-up).
QtUiPort* qtUiPort();

}  // namespace morvex

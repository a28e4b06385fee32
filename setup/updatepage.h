// The wizard's second page, "Liste des mises à jour": the update list, a status text and a
// progress bar. One second after the page is created, a worker thread runs the update procedure
// (setup/core/liveupdate.h); it reaches the widgets only through queued signals, and asks its
// questions through the page's asker, which runs in the user-interface thread.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "foundation/uiport.h"
#include "setup/core/liveupdate.h"

class QLabel;
class QProgressBar;
class QTreeWidget;

// Asks the person a question (parent window, caption, text, buttons, icon) in the
// user-interface thread and returns the answer. Tests replace the message boxes with one.
using SetupAsker = std::function<morvex::UiAnswer(QWidget*, const std::string&, const std::string&,
                                                  morvex::UiButtons, morvex::UiIcon)>;

// The asker of the program: a message box.
morvex::UiAnswer askWithMessageBox(QWidget* parent, const std::string& caption,
                                   const std::string& text, morvex::UiButtons buttons,
                                   morvex::UiIcon icon);

// Columns of the update list.
enum UpdateColumn { COL_NAME, COL_STATUS, COL_LOCAL_VERSION, COL_LATEST_VERSION, COL_URL };

class UpdatePage : public QWidget {
    Q_OBJECT
public:
    // `job` tells where to fetch from and where to install; the worker starts one second later
    // unless `startWorker` is false (screenshots).
    UpdatePage(LIVEUPDATE_JOB job, SetupAsker asker, bool startWorker, QWidget* parent = nullptr);
    // Asks the worker to stop and waits for it.
    ~UpdatePage() override;

    QTreeWidget* list() const { return list_; }
    QLabel* statusLabel() const { return status_; }
    QProgressBar* progressBar() const { return progress_; }
    // True once the worker has ended; its outcome then.
    bool finished() const { return finished_; }
    const LIVEUPDATE_RESULT& result() const { return result_; }

signals:
    void statusChanged(const QString& text);
    void rowAdded(int row, const QString& name, const QString& url);
    void rowStatusChanged(int row, const QString& text);
    void rowAttempted(int row);
    void progressRangeChanged(int range);
    void progressChanged(int position);
    void busyChanged(bool busy);
    void workerFinished(LIVEUPDATE_RESULT result);

private:
    void startWorker();
    void runWorker();
    morvex::UiAnswer askFromWorker(const std::string& caption, const std::string& text,
                                   morvex::UiButtons buttons, morvex::UiIcon icon);
    void onRowAdded(int row, const QString& name, const QString& url);
    void onRowStatus(int row, const QString& text);
    void onRowAttempted(int row);

    LIVEUPDATE_JOB job_;             // the procedure's settings (job_.stop points at stop_)
    SetupAsker asker_;               // how questions reach the person
    QTreeWidget* list_;              // the update list
    QLabel* status_;                 // the status text
    QProgressBar* progress_;         // one step per entry
    std::atomic<bool> stop_{false};  // set when the page goes away
    std::thread worker_;             // the update procedure, once started
    bool finished_ = false;          // the worker reported its end (user-interface thread)
    LIVEUPDATE_RESULT result_;       // its outcome, once finished
};

// The progress window "Traitement en cours...": runs the first task of a task list in a worker
// thread and shows its progress, messages and state; "Arrêter traitement" asks the worker to stop.
//
// The window belongs to the user-interface thread. The worker reaches it only through the task's
// event callback, which records the latest progress under a lock and queues one delivery to the
// window at a time (at most one every 50 ms), so that a fast worker never
// floods the event loop. Closing the window while the worker runs asks it to stop and waits for
// it: when runTasks returns, the worker has ended and the caller may release the task list.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/task.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace morvex {

class ProgressWindow : public QDialog {
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent = nullptr);
    ~ProgressWindow() override;

    // Shows the window, starts the first task of `tasks` and returns once the window is closed
    // and the worker has ended (appelDlgBatch). 1 when the list holds no task.
    int runTasks(TASKSLIST* tasks);
    // Adds the row of the first task and starts its worker without waiting (initFrmDlgBatch).
    // False when the list holds no task or the thread cannot start.
    bool start(TASKSLIST* tasks);
    // "Arrêter traitement": asks the running task to stop at its next unit of work.
    void requestStop();
    // Waits (handling events) until the worker has ended; false after `timeoutMs`.
    bool waitForWorker(int timeoutMs = 30000);

    // Closes the window by itself once the worker has ended (the command line's and the
    // measurements' choice; the person normally reads the result and closes it).
    static void setAutoClose(bool autoClose);

    // What the window shows (tests and measurements).
    bool workerRunning() const { return running_.load(); }
    QString statusLine() const;
    QString taskState(int row = 0) const;
    int rowCount() const;
    int progressValue() const;
    int progressMaximum() const;
    // Number of times the progress bar was moved.
    int progressUpdates() const { return progressUpdates_; }
    // How the task ended: TASK_EVENT_FINISHED, _INTERRUPTED or _NOT_STARTED (0: not yet).
    int endEvent() const { return endEvent_; }

    // The event callback given to the task (any thread).
    static void TaskEventCallback(TASK* task, int event, int range, int position,
                                  const char* message);
    // Writes a text into the status line.
    void WriteMessage(const QString& text);

signals:
    // The worker has ended (emitted in the user-interface thread).
    void workerEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void scheduleDelivery();
    void deliver();
    void onWorkerEnded();
    void setState(const QString& state);
    bool finishOrDefer();

    QLabel* status_;
    QPushButton* stopButton_;
    QProgressBar* bar_;
    QTreeWidget* list_;
    QPushButton* closeButton_;
    QTreeWidgetItem* row_ = nullptr;

    TASK* task_ = nullptr;        // the running task (owned by the caller's list)
    std::thread worker_;          // runs task_->worker
    std::atomic<bool> running_{false};
    bool closeWhenDone_ = false;  // the person closed the window while the worker ran
    int progressUpdates_ = 0;
    int endEvent_ = 0;

    // Reported by the worker, not yet shown (guarded by lock_).
    struct Pending {
        bool progress = false;        // range and position are new
        int range = 0;                // progress bar range
        int position = 0;             // progress bar position
        bool hasMessage = false;      // message is new
        std::string message;          // latest message
        std::vector<int> states;      // events 5, 6, 7 in the order reported
    };
    std::mutex lock_;
    Pending pending_;
    bool posted_ = false;          // a delivery is queued or waiting for its timer
    QElapsedTimer sinceDelivery_;  // time since the last delivery (user-interface thread)
};

}  // namespace morvex

// The generation dialog ("Génération de code", modal): the generation process of one
// description as a list of tasks (Tâche, Format, Template, Etat), templates added and tasks
// removed, and the run of every task by LaunchProcessing (template/template.h) in a worker
// thread, with the progress bar, the state of each row and, in the main window's message panel,
// the messages and a link to every generated file.
//
// User-interface thread. The worker reports through the task's event callback, which queues
// each report to the dialog; the process list cannot be edited while a run reads it.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <thread>

#include "foundation/task.h"

struct FileDesc;
struct GENERATIONRUN;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace morvex {

class GenerationDialog : public QDialog {
    Q_OBJECT

public:
    // The dialog over `desc`'s process (nullptr: no description open).
    explicit GenerationDialog(FileDesc* desc, QWidget* parent = nullptr);
    ~GenerationDialog() override;

    // "Ajouter traitement": asks for templates (several at once) in the template library.
    void addTemplates();
    // "Supprimer": removes the task of every selected row.
    void removeSelected();
    // "Générer": starts the run in a worker. False when one is running or none could start.
    bool generate();
    // "Arrêter traitement": asks the run to stop between two instructions.
    void stopGeneration();
    // Waits (handling events) until the run has ended; false after `timeoutMs`.
    bool waitForRun(int timeoutMs = 30000);
    bool running() const { return worker_.joinable(); }
    // A double click on a row: offers to open its generated file.
    void openGenerated(int row);
    // The list from the description's process (RefreshList).
    void refreshList();

    // Parts of the dialog (tests, screenshots).
    QTreeWidget* list() const { return list_; }
    QString statusLine() const;
    QString rowState(int row) const;
    QProgressBar* progressBar() const { return bar_; }
    QPushButton* generateButton() const { return generate_; }
    QPushButton* stopButton() const { return stop_; }

signals:
    // A run has ended and its states are shown.
    void runEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    static void taskEvent(TASK* task, int event, int range, int position, const char* message);
    void onTaskEvent(int event, int range, int position, const QString& message);
    void onRunEnded();
    void setRunning(bool running);
    void endRun();

    FileDesc* desc_;
    QLabel* status_;
    QPushButton* stop_;
    QPushButton* remove_;
    QPushButton* add_;
    QPushButton* generate_;
    QPushButton* close_;
    QProgressBar* bar_;
    QTreeWidget* list_;

    struct RunCloser {
        void operator()(GENERATIONRUN* run) const;
    };
    std::unique_ptr<GENERATIONRUN, RunCloser> run_;
    TASK* task_ = nullptr;  // the running LaunchProcessing task (owned)
    std::thread worker_;
};

// Shows the generation dialog for `desc` (appelDlgGenerate, modal).
void appelDlgGenerate(QWidget* owner, FileDesc* desc);

}  // namespace morvex

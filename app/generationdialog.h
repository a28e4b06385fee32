// The generation dialog ("Génération de code", modal): the templates shipped with the program
// to pick from, the generation process of one description as a list of tasks (Tâche, Format,
// Template, Etat, Message), templates added and tasks removed, and the run of every task by
// LaunchProcessing (template/template.h) in a worker thread, with the progress bar, the state
// and the error of each row, the messages of the selected row beside the list (they also go to
// the main window's message panel), the files written, and the output folder to open.
//
// User-interface thread. The worker reports through the task's event callback, which queues
// each report to the dialog; the process list cannot be edited while a run reads it.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <thread>

#include "appcore/generationlog.h"
#include "foundation/task.h"

struct FileDesc;
struct GENERATIONRUN;
class QLabel;
class QPlainTextEdit;
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

    // "Ajouter traitement": asks for templates (several at once) in the template library (the
    // shipped templates when the settings name none).
    void addTemplates();
    // Adds the shipped templates selected in the list of those offered (or `row` of it).
    void addOfferedTemplates(int row = -1);
    // "Supprimer": removes the task of every selected row.
    void removeSelected();
    // "Générer": starts the run in a worker, into the generated-files directory of the settings
    // or "Fichiers générés" beside the description, made once the person agrees when missing.
    // False when one is running or none could start.
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
    // "Ouvrir le répertoire généré": the folder of the last run, in the desktop's file browser.
    void openOutputFolder();

    // Parts of the dialog (tests, screenshots).
    QTreeWidget* list() const { return list_; }
    QString statusLine() const;
    QString rowState(int row) const;
    QString rowMessage(int row) const;  // the errors of row `row` (column Message)
    QString messagesText() const;       // the messages shown beside the list
    QTreeWidget* offeredTemplates() const { return offered_; }
    QString outputFolder() const { return outputFolder_; }
    QPushButton* openFolderButton() const { return openFolder_; }
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
    void showMessagesOf(int row);
    void onPanel(UiPanel request, unsigned colour, const std::string& text);

    FileDesc* desc_;
    QLabel* status_;
    QPushButton* stop_;
    QPushButton* remove_;
    QPushButton* add_;
    QPushButton* generate_;
    QPushButton* close_;
    QProgressBar* bar_;
    QTreeWidget* list_;
    QTreeWidget* offered_;      // the shipped templates
    QPlainTextEdit* messages_;  // the messages of the selected row
    QPushButton* openFolder_;
    QString outputFolder_;  // the directory of the last run ("" before any)
    GenerationLog log_;     // what the last run told, task by task

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

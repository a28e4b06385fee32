// The SQLite query tool ("Requêteur SQLite"): a top-level window in which the person types SQL
// against an SQLite database file and sees the result rows. The query runs in a worker thread
// (sqlquery/sqlquery.h), which hands the rows over in blocks (sqlquery/sqlqueryrows.h); the list
// shows them through a model of its own as they arrive, so that a million-row result fills
// while the window answers and "Arrêter l'exécution" interrupts the statement. The result is
// exported as a semicolon-separated file.
//
// One window for the whole program (appelDlgRequeteur); it belongs to the user-interface
// thread. The worker reaches it only through queued calls; the run's connection is reached by
// the interrupt under the run's lock.
#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "sqlquery/sqlqueryrows.h"

struct FileDesc;
class QAction;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QTimer;

namespace morvex {

// Command numbers of the query tool.
enum QueryToolCommand {
    ITM_REQ_OPEN = 1102,     // Fichier > Ouvrir une base SQLite
    ITM_REQ_EXPORT = 1103,   // Fichier > Exporter les résultats
    ITM_REQ_QUIT = 1104,     // Fichier > Quitter
    ITM_REQ_EXECUTE = 1105,  // Requête > Exécuter
    ITM_REQ_STOP = 1106,     // Requête > Arrêter l'exécution
    ITM_REQ_SQLDOC = 1107,   // Aide > Documentation SQL sur le site de SQLite
};

// The rows received by the running or last query, read from their blocks on display.
class QueryResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit QueryResultModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    void clear();
    // Adds a batch's columns and rows.
    void append(SQLQUERY_BATCH& batch);
    const SQLQUERY_TABLE& table() const { return table_; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    SQLQUERY_TABLE table_;
};

class QueryToolWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit QueryToolWindow(QWidget* parent = nullptr);
    ~QueryToolWindow() override;

    // The database the queries run against (status part 4).
    void setDatabasePath(const QString& path);
    QString databasePath() const { return databasePath_; }

    // "Exécuter" (ExecuteRequestInThread): runs the editor's selection, or its whole text,
    // in a worker thread. False when a run is already going or no run could start.
    bool executerRequete();
    // "Arrêter l'exécution": interrupts the running statement.
    void stopQuery();
    bool running() const { return worker_.joinable(); }
    // Waits (handling events) until the run has ended; false after `timeoutMs`.
    bool waitForRun(int timeoutMs = 30000);
    // Writes the result list with its header to `path`; false (message shown) on failure.
    bool exportTo(const QString& path);

    // Runs one command of the menu or tool bar.
    void runCommand(int command);

    // Parts of the window (tests, screenshots).
    QString statusText(int part) const;
    QPlainTextEdit* editor() const { return editor_; }
    QTableView* resultList() const { return list_; }
    QueryResultModel* model() const { return model_; }
    QAction* commandAction(int command) const;
    QSplitter* verticalSeparator() const { return outer_; }
    QSplitter* horizontalSeparator() const { return inner_; }

signals:
    // A run has ended and its rows and texts are shown.
    void runEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void takeRows();
    void onRunEnded(int result);
    void setRunning(bool running);
    void setStatus(int part, const QString& text);
    void showElapsed();
    void sizeColumns();
    void commandOpen();
    void commandExport();

    QPlainTextEdit* editor_;
    QTableView* list_;
    QueryResultModel* model_;
    QSplitter* outer_;  // the vertical separator: empty strip | editor and list
    QSplitter* inner_;  // the horizontal separator: editor / list
    QLabel* parts_[5];
    QTimer* clock_;
    QElapsedTimer elapsed_;  // wall-clock time of the running query
    std::map<int, QAction*> actions_;
    QString databasePath_;

    SQLQUERY_RUN run_;                        // the running query (its interrupt is locked)
    std::unique_ptr<SQLQUERY_ROWSINK> sink_;  // where the worker puts the rows
    std::thread worker_;
    int columnsSized_ = 0;  // columns already given their first width
};

// Opens the query tool (appelDlgRequeteur): its database becomes `path`; without one, `desc`'s
// database when it has one; else the previous one stays. The window is shown and raised, and
// the initial query runs when it opens.
QueryToolWindow* appelDlgRequeteur(QWidget* parent, FileDesc* desc, const std::string& path);
// The open query tool, or nullptr.
QueryToolWindow* queryToolWindow();

}  // namespace morvex

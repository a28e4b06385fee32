// The SQLite query tool ("Requêteur SQLite"): a top-level window in which the person types SQL
// against an SQLite database file and sees the result rows. The query runs in a worker thread
// (sqlquery/sqlquery.h), which hands the rows over in blocks (sqlquery/sqlqueryrows.h); the list
// shows them through a model of its own as they arrive, so that a million-row result fills
// while the window answers and "Arrêter l'exécution" interrupts the statement. The result is
// exported as a semicolon-separated file.
//
// Left of the editor, the database's tables and views with their columns (a double click puts
// `SELECT * FROM "table"` in the editor) above its query history (a double click puts a query
// back); the editor colours SQL and completes the names of the tree. The grid sorts by a click
// on a column title (a large result in a worker, which "Arrêter" stops), copies its selection
// with Ctrl+C as tab-separated text and aligns numbers right. A failed run says why under the
// editor and leaves the previous result in the grid.
//
// "Ouvrir une connexion PostgreSQL" points the window at a PostgreSQL database instead
// (pgload/pgquery.h): the same editor, grid, sort and export, the schema's tables and views in
// the tree, no history (nothing is written on the server). The connection with its password
// lives in the window only, never in the settings; the status line names it without password.
//
// One window for the whole program (appelDlgRequeteur); it belongs to the user-interface
// thread. The worker reaches it only through queued calls; the run's connection is reached by
// the interrupt under the run's lock.
#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QMainWindow>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pgload/pgquery.h"
#include "sqlquery/sqlqueryrows.h"
#include "sqlquery/sqlschema.h"

struct FileDesc;
class QAction;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
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
    ITM_REQ_OPEN_PG = 1108,  // Fichier > Ouvrir une connexion PostgreSQL
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
    // Shows the rows in `order` (from SQLQUERY_SortOrder; empty: as received).
    void setOrder(std::vector<uint32_t> order);
    const std::vector<uint32_t>& order() const { return order_; }
    // The row of the table shown at `row` of the view.
    int tableRow(int row) const;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    SQLQUERY_TABLE table_;
    std::vector<uint32_t> order_;  // the table's rows in the order shown (empty: as received)
};

class QueryToolWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit QueryToolWindow(QWidget* parent = nullptr);
    ~QueryToolWindow() override;

    // The database the queries run against (status part 4).
    void setDatabasePath(const QString& path);
    QString databasePath() const { return databasePath_; }
    // The queries run on the PostgreSQL connection `conninfo` (libpq's string, its password
    // kept in memory only); `shown` is what the status line names (without password).
    // setDatabasePath goes back to SQLite.
    void setPostgresqlConnection(const std::string& conninfo, const std::string& shown);
    bool onPostgresql() const { return !pgConnection_.empty(); }

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

    // Sorts the grid by `column` (a header click). A result over kSortInWorkerRows rows is
    // sorted in a worker, which stopQuery stops; false when nothing could start (a run or a sort
    // is going).
    bool sortBy(int column, Qt::SortOrder order);
    bool sorting() const { return sorter_.joinable(); }
    // Waits (handling events) until the sort has ended; false after `timeoutMs`.
    bool waitForSort(int timeoutMs = 30000);
    // Puts the grid's selection on the clipboard as tab-separated text with its titles (Ctrl+C)
    // and returns that text.
    QString copySelection();
    // Reads the tables and views of the database and its history again.
    void refreshSchema();
    void refreshHistory();
    // What a double click on an item of the tree or history list does.
    void useTreeItem(QTreeWidgetItem* item);
    void useHistoryEntry(int row);
    // The SQL error shown under the editor ("" when none).
    QString errorText() const;

    static constexpr int kSortInWorkerRows = 20000;
    // The least time between two additions of rows to the grid while a query runs (ms).
    static constexpr qint64 kAppendIntervalMs = 250;
    // Parts of the window (tests, screenshots).
    QString statusText(int part) const;
    QPlainTextEdit* editor() const { return editor_; }
    QTableView* resultList() const { return list_; }
    QueryResultModel* model() const { return model_; }
    QAction* commandAction(int command) const;
    QTreeWidget* schemaTree() const { return tree_; }
    QListWidget* historyList() const { return history_; }
    QLabel* errorLine() const { return error_; }
    QSplitter* verticalSeparator() const { return outer_; }
    QSplitter* horizontalSeparator() const { return inner_; }

signals:
    // A run has ended and its rows and texts are shown.
    void runEnded();
    // A sort has ended (finished or stopped).
    void sortEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPanes();
    void buildCommands();
    void buildStatusBar();
    void takeRows();
    void onRunEnded(int result);
    void setRunning(bool running);
    void setStatus(int part, const QString& text);
    void showElapsed();
    void sizeColumns();
    void commandOpen();
    void commandOpenPostgresql();
    void interruptRun();
    std::string selectAllText(const std::string& name) const;
    void commandExport();
    void onSortEnded(unsigned generation, bool done, std::vector<uint32_t> order, int column,
                     Qt::SortOrder sortOrder);
    void stopSort();
    void showSortIndicator();
    void showError(const std::string& query, int queryStart);

    QPlainTextEdit* editor_;
    QTableView* list_;
    QueryResultModel* model_;
    QSplitter* outer_;  // the vertical separator: schema and history | editor and list
    QSplitter* left_;   // the schema tree above the history list
    QTreeWidget* tree_;
    QListWidget* history_;
    QLabel* error_;     // the SQL error under the editor
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
    bool exporting_ = false;    // an export reads the rows and their order
    bool clearOnRows_ = false;  // the previous result goes when the run's first rows come
    int runStart_ = 0;          // where the text run begins in the editor (its selection)
    QElapsedTimer appended_;    // since rows last joined the grid
    bool takeLater_ = false;    // a take of the waiting rows is planned
    std::string runText_;       // the text of the last run

    std::vector<SQLQUERY_SCHEMAOBJECT> schema_;  // what the tree shows

    std::string pgConnection_;                  // the PostgreSQL connection ("": SQLite)
    std::unique_ptr<PGQUERY_RUN> pgRun_;        // the running query on it
    std::map<std::string, std::string> pgSelects_;  // a tree name's SELECT * on PostgreSQL

    std::thread sorter_;                            // the sort of a large result
    std::shared_ptr<std::atomic<bool>> sortStop_;   // asks it to stop
    unsigned sortGeneration_ = 0;                   // the sort whose result is awaited
    int sortColumn_ = -1;                           // the grid's sort (-1: as received)
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// Opens the query tool (appelDlgRequeteur): its database becomes `path`; without one, `desc`'s
// database when it has one; else the previous one stays. The window is shown and raised, and
// the initial query runs when it opens.
QueryToolWindow* appelDlgRequeteur(QWidget* parent, FileDesc* desc, const std::string& path);
// The open query tool, or nullptr.
QueryToolWindow* queryToolWindow();

}  // namespace morvex

// The query tool over real SQLite databases written by the sqlite3 shell: rows and NULLs, a
// selection run alone, an interrupted endless query, the export's bytes, and bad databases; the
// schema tree, the sort by a title click, the copied text, the error under the editor and the
// history panel.
#include "app/querytoolwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <cstring>

#include "appcore/application.h"
#include "app/sqleditor.h"
#include "app/tests/apptest.h"
#include "filedesc/filedesc.h"
#include "foundation/testing/files.h"
#include "sqliteload/sqlite3dll.h"

using namespace morvex;

class QueryToolWindowTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    std::string db_;

    // A database made by the sqlite3 shell; false when the shell is missing.
    bool makeDatabase(const std::string& name, const QString& sql) {
        db_ = env_.dir().file(name);
        return QProcess::execute("sqlite3", {QString::fromStdString(db_), sql}) == 0;
    }

    static QString cell(QueryToolWindow& w, int row, int column) {
        return w.model()->index(row, column).data().toString();
    }

    static void run(QueryToolWindow& w, const QString& text) {
        w.editor()->setPlainText(text);
        QVERIFY(w.executerRequete());
        QVERIFY(w.waitForRun());
    }

private slots:
    void initTestCase() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        QVERIFY(SQLITE3_LoadDLL(nullptr) != nullptr);
        QVERIFY2(makeDatabase(
                     "clients.db",
                     "CREATE TABLE t(a INTEGER, b TEXT);"
                     "INSERT INTO t VALUES (1, 'un'), (2, NULL), (3, 'x;\"y\"' || char(10) || 'z');"),
                 "the sqlite3 shell failed or is absent (tools/install-deps.sh installs it)");
    }

    void cleanupTestCase() {
        delete person_;
        delete port_;
    }

    void opensOnTheGivenDatabaseAndAQueryFillsRowsAndNulls() {
        // The given file wins over the description's database; the initial query runs at once.
        FileDesc* desc = FILEDESC_CreateFileDesc("P", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
        desc->DatabaseFilePath = strdup(env_.dir().file("other.db").c_str());
        QueryToolWindow* w = appelDlgRequeteur(nullptr, desc, db_);
        QVERIFY(w);
        QCOMPARE(w->databasePath(), QString::fromStdString(db_));
        QVERIFY(w->waitForRun());
        QCOMPARE(w->model()->rowCount(), 1);  // the table t in sqlite_master
        QCOMPARE(cell(*w, 0, 1), QString("t"));

        run(*w, "SELECT a, b FROM t ORDER BY a");
        QCOMPARE(w->model()->columnCount(), 2);
        QCOMPARE(w->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("b"));
        QCOMPARE(w->model()->rowCount(), 3);
        QCOMPARE(cell(*w, 0, 1), QString("un"));
        QCOMPARE(cell(*w, 1, 1), QString("NULL"));
        QCOMPARE(cell(*w, 2, 1), QString("x;\"y\"\nz"));
        QCOMPARE(w->statusText(0), QString("Terminé"));
        QCOMPARE(w->statusText(1), QString("3 ligne(s)"));
        QVERIFY(w->statusText(3).startsWith("SQLite 3."));
        QCOMPARE(w->statusText(4), QString::fromStdString(db_));
        QVERIFY(w->commandAction(ITM_REQ_EXECUTE)->isEnabled());
        QVERIFY(!w->commandAction(ITM_REQ_STOP)->isEnabled());

        // The export: quoted where a value holds ";", a quote or a line end; NULL as shown.
        const std::string out = env_.dir().file("export.csv");
        QVERIFY(w->exportTo(QString::fromStdString(out)));
        QCOMPARE(QString::fromStdString(morvex::testing::readFile(out)),
                 QString("a;b;\r\n1;un;\r\n2;NULL;\r\n3;\"x;\"\"y\"\"\nz\";\r\n"));
        // A target that cannot be written is told with its path and reason.
        const std::string missing = env_.dir().file("no/dir/x.csv");
        QVERIFY(!w->exportTo(QString::fromStdString(missing)));
        QCOMPARE(person_->messages.back(),
                 "Exportation|Impossible d'ouvrir le fichier spécifié.\nImpossible d'écrire le "
                 "fichier '" +
                     missing + "' : le dossier n'existe pas.");
        delete w;
        FILEDESC_CloseFileDesc(desc);
    }

    void theExportAsksBeforeReplacingAndNeverTakesTheDataFileOrTheDatabase() {
        FileDesc* desc =
            FILEDESC_CreateFileDesc("clients", nullptr, STRUCTFILE_DELIMITED, "\n", ";");
        const std::string data = env_.dir().write("clients.csv", "1;Dupont\n");
        FILEDESC_SetExampleFilePath(desc, data.c_str());
        gcontexte.currentFile = desc;
        QueryToolWindow* w = appelDlgRequeteur(nullptr, desc, db_);
        QVERIFY(w->waitForRun());
        run(*w, "SELECT a FROM t ORDER BY a");
        const std::string existing = env_.dir().write("anciens.csv", "à garder");
        person_->prompts.clear();
        person_->messages.clear();
        // The data file and the database are refused; an existing file is kept on No, and the
        // person gives up at the next prompt.
        person_->files = {data, db_, existing, std::nullopt};
        person_->answers = {UiAnswer::Ok, UiAnswer::Ok, UiAnswer::No};
        w->runCommand(ITM_REQ_EXPORT);
        // What is proposed first is beside the data file, never the data file itself.
        QCOMPARE(person_->prompts.front(),
                 "Exporter les données...|" + env_.dir().file("clients_export.csv"));
        QCOMPARE(person_->messages.size(), size_t(3));
        QVERIFY(person_->messages[0].find("est le fichier de données de la description") !=
                std::string::npos);
        QVERIFY(person_->messages[1].find("est la base de données ouverte") != std::string::npos);
        QCOMPARE(person_->messages[2],
                 std::string("Remplacer le fichier|Ce fichier existe déjà. Voulez-vous le "
                             "remplacer ?"));
        QCOMPARE(QString::fromStdString(testing::readFile(data)), QString("1;Dupont\n"));
        QCOMPARE(QString::fromStdString(testing::readFile(existing)), QString("à garder"));
        QVERIFY(QFileInfo(QString::fromStdString(db_)).size() > 0);
        // Yes replaces it, whole.
        person_->files = {existing};
        person_->answers = {UiAnswer::Yes};
        w->runCommand(ITM_REQ_EXPORT);
        QCOMPARE(QString::fromStdString(testing::readFile(existing)),
                 QString("a;\r\n1;\r\n2;\r\n3;\r\n"));
        QCOMPARE(w->statusText(0),
                 QString("3 ligne(s) exportée(s) dans %1").arg(QString::fromStdString(existing)));
        delete w;
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc);
    }

    void aSelectionRunsAlone() {
        QueryToolWindow w;
        w.setDatabasePath(QString::fromStdString(db_));
        w.editor()->setPlainText("SELECT 1 AS un;\nSELECT b AS deux\nFROM t WHERE a = 1;");
        QTextCursor cursor = w.editor()->textCursor();
        cursor.setPosition(16);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        w.editor()->setTextCursor(cursor);
        QVERIFY(w.executerRequete());
        QVERIFY(w.waitForRun());
        QCOMPARE(w.model()->columnCount(), 1);
        QCOMPARE(w.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("deux"));
        QCOMPARE(w.model()->rowCount(), 1);
        QCOMPARE(cell(w, 0, 0), QString("un"));
    }

    void anEndlessQueryStopsWithinOneSecondAndKeepsItsRows() {
        QueryToolWindow w;
        w.setDatabasePath(QString::fromStdString(db_));
        w.editor()->setPlainText(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c)\n"
            "SELECT x FROM c WHERE x % 200000 = 0");
        QVERIFY(w.executerRequete());
        QTRY_VERIFY_WITH_TIMEOUT(w.model()->rowCount() > 0, 10000);
        QVERIFY(w.running());
        QVERIFY(w.commandAction(ITM_REQ_STOP)->isEnabled());
        QElapsedTimer clock;
        clock.start();
        w.runCommand(ITM_REQ_STOP);
        QCOMPARE(w.statusText(0), QString("Demande d'interruption de la requête..."));
        QVERIFY(w.waitForRun(1000));
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(w.statusText(0), QString("La requête a été interrompue par l'utilisateur"));
        QVERIFY(w.model()->rowCount() > 0);
        QCOMPARE(cell(w, 0, 0), QString("200000"));
        QVERIFY(w.commandAction(ITM_REQ_EXECUTE)->isEnabled());
    }

    void badDatabasesAndErrorsAreToldAndTheWindowStaysUsable() {
        QueryToolWindow w;
        // A missing file is not created.
        const std::string missing = env_.dir().file("missing.db");
        w.setDatabasePath(QString::fromStdString(missing));
        QVERIFY(!w.executerRequete());
        QCOMPARE(w.statusText(0), QString("Echec de l'ouverture de la base de données."));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(missing)));
        // A file that is not a database.
        w.setDatabasePath(QString::fromStdString(env_.dir().write("text.db", "not a database\n")));
        run(w, "SELECT * FROM sqlite_master");
        QCOMPARE(w.statusText(0), QString("file is not a database"));
        // An error after some rows: the rows stay.
        w.setDatabasePath(QString::fromStdString(db_));
        run(w, "SELECT a FROM t; SELECT nope FROM t;");
        QCOMPARE(w.statusText(0), QString("no such column: nope"));
        QCOMPARE(w.model()->rowCount(), 3);
        // A database another connection holds locked.
        sqlite3* other = nullptr;
        QCOMPARE(gsqlite3.sqlite3_open(db_.c_str(), &other), SQLITE_OK);
        QCOMPARE(gsqlite3.sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        run(w, "SELECT a FROM t");
        gsqlite3.sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        gsqlite3.sqlite3_close(other);
        QCOMPARE(w.statusText(0), QString("database is locked"));
        QVERIFY(w.commandAction(ITM_REQ_EXECUTE)->isEnabled());
    }
    // The texts of a tree's items, "group/name/column type" one a line.
    static QStringList treeLines(QTreeWidget* tree) {
        QStringList lines;
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            QTreeWidgetItem* group = tree->topLevelItem(g);
            for (int i = 0; i < group->childCount(); ++i) {
                QTreeWidgetItem* object = group->child(i);
                QString line = group->text(0) + "/" + object->text(0) + ":";
                for (int c = 0; c < object->childCount(); ++c)
                    line += " " + object->child(c)->text(0) + " " + object->child(c)->text(1);
                lines << line;
            }
        }
        return lines;
    }

    static QStringList columnCells(QueryToolWindow& w, int column) {
        QStringList cells;
        for (int row = 0; row < w.model()->rowCount(); ++row) cells << cell(w, row, column);
        return cells;
    }

    void theTreeListsTheTablesAndARunThatChangesThemRefreshesIt() {
        const std::string db = env_.dir().file("schema.db");
        QCOMPARE(QProcess::execute(
                     "sqlite3", {QString::fromStdString(db),
                                 "CREATE TABLE FylatekHistory(RowID INTEGER PRIMARY KEY "
                                 "AUTOINCREMENT, Query varchar(4000), TimeStamp TIMESTAMP DEFAULT "
                                 "CURRENT_TIMESTAMP);"
                                 "CREATE TABLE \"Ventes 2024\"(region TEXT, montant REAL);"
                                 "CREATE VIEW grosses AS SELECT * FROM \"Ventes 2024\" WHERE "
                                 "montant > 100;"}),
                 0);
        QueryToolWindow w;
        w.setDatabasePath(QString::fromStdString(db));
        QCOMPARE(treeLines(w.schemaTree()),
                 QStringList({"Tables/Ventes 2024: region TEXT montant REAL",
                              "Vues/grosses: region TEXT montant REAL",
                              "Catalogue et historique/FylatekHistory: RowID INTEGER Query "
                              "varchar(4000) TimeStamp TIMESTAMP",
                              "Catalogue et historique/sqlite_sequence: name  seq "}));
        // A double click on a table puts its query, the name quoted, in the editor; it runs.
        w.useTreeItem(w.schemaTree()->topLevelItem(0)->child(0));
        QCOMPARE(w.editor()->toPlainText(), QString("SELECT * FROM \"Ventes 2024\""));
        QVERIFY(w.executerRequete());
        QVERIFY(w.waitForRun());
        QCOMPARE(w.statusText(0), QString("Terminé"));
        // The names of the tree are offered for completion.
        auto* editor = static_cast<SqlEditor*>(w.editor());
        editor->setPlainText("SELECT reg");
        editor->moveCursor(QTextCursor::End);
        editor->offerCompletion(false);
        QCOMPARE(editor->completer()->currentCompletion(), QString("region"));

        run(w, "CREATE TABLE achats(client INTEGER, jour DATE); DROP VIEW grosses;");
        QCOMPARE(treeLines(w.schemaTree()).mid(0, 3),
                 QStringList({"Tables/achats: client INTEGER jour DATE",
                              "Tables/Ventes 2024: region TEXT montant REAL",
                              "Catalogue et historique/FylatekHistory: RowID INTEGER Query "
                              "varchar(4000) TimeStamp TIMESTAMP"}));

        // The history panel lists the runs most recent first; a double click puts one back.
        QListWidget* history = w.historyList();
        QCOMPARE(history->count(), 2);
        QCOMPARE(history->item(0)->text(),
                 QString("CREATE TABLE achats(client INTEGER, jour DATE); DROP VIEW grosses;"));
        w.editor()->clear();
        w.useHistoryEntry(1);
        QCOMPARE(w.editor()->toPlainText(), QString("SELECT * FROM \"Ventes 2024\""));
    }

    void aTitleClickSortsNullsFirstAndNumbersByValueAndTheCopyFollowsTheGrid() {
        QueryToolWindow w;
        w.setDatabasePath(QString::fromStdString(db_));
        run(w,
            "SELECT * FROM (VALUES (10, 'b'), (9, NULL), (NULL, 'a'), (-2.5, 'B'), (100, "
            "'tab\there'))");
        QCOMPARE(w.model()->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                 int(Qt::AlignRight));
        QCOMPARE(w.model()->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft,
                 int(Qt::AlignLeft));
        QHeaderView* header = w.resultList()->horizontalHeader();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint first(header->sectionViewportPosition(0) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(columnCells(w, 0), QStringList({"NULL", "-2.5", "9", "10", "100"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(columnCells(w, 0), QStringList({"100", "10", "9", "-2.5", "NULL"}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(w.sortBy(1, Qt::AscendingOrder));
        QCOMPARE(columnCells(w, 1), QStringList({"NULL", "B", "a", "b", "tab\there"}));

        // Ctrl+C copies the selected rows, in the grid's order, with the titles.
        w.resultList()->selectRow(1);
        w.resultList()->selectionModel()->select(
            w.model()->index(4, 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.resultList()->setFocus();
        QTest::keyClick(w.resultList(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("column1\tcolumn2\n-2.5\tB\n100\t\"tab\there\"\n"));
    }

    void aLargeResultSortsInAWorkerAndTheStopEndsIt() {
        QueryToolWindow w;
        w.setDatabasePath(QString::fromStdString(db_));
        run(w,
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60000) "
            "SELECT i, (i * 7919) % 60013 AS k, printf('%06d', 60000 - i) AS t FROM n");
        QCOMPARE(w.model()->rowCount(), 60000);
        QVERIFY(w.sortBy(2, Qt::AscendingOrder));
        QVERIFY(w.sorting());
        QVERIFY(!w.commandAction(ITM_REQ_EXECUTE)->isEnabled());
        QVERIFY(w.commandAction(ITM_REQ_STOP)->isEnabled());
        QVERIFY(w.waitForSort());
        QCOMPARE(cell(w, 0, 0), QString("60000"));
        QCOMPARE(cell(w, 59999, 0), QString("1"));
        QCOMPARE(w.statusText(0), QString("Tri terminé"));
        QVERIFY(w.commandAction(ITM_REQ_EXECUTE)->isEnabled());
        // A stop asked at once leaves the grid as it was.
        QVERIFY(w.sortBy(1, Qt::AscendingOrder));
        w.runCommand(ITM_REQ_STOP);
        QVERIFY(w.waitForSort());
        QCOMPARE(w.statusText(0), QString("Le tri a été interrompu"));
        QCOMPARE(cell(w, 0, 0), QString("60000"));
        QCOMPARE(w.resultList()->horizontalHeader()->sortIndicatorSection(), 2);
    }

    void anSqlErrorShowsUnderTheEditorWithItsPlaceAndTheResultStays() {
        QueryToolWindow w;
        w.setDatabasePath(QString::fromStdString(db_));
        run(w, "SELECT a, b FROM t ORDER BY a");
        QCOMPARE(w.model()->rowCount(), 3);
        QVERIFY(w.errorText().isEmpty());
        // The error of a selection is placed in the whole text.
        w.editor()->setPlainText("SELECT 1;\nSELECT a,\n  nope FROM t;");
        QTextCursor cursor = w.editor()->textCursor();
        cursor.setPosition(10);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        w.editor()->setTextCursor(cursor);
        QVERIFY(w.executerRequete());
        QVERIFY(w.waitForRun());
        QCOMPARE(w.statusText(0), QString("no such column: nope"));
        QCOMPARE(w.errorText(), QString("Erreur SQL : no such column: nope, ligne 3, colonne 3"));
        QCOMPARE(w.model()->rowCount(), 3);
        QCOMPARE(cell(w, 0, 1), QString("un"));
        // The next success takes the error away and shows its own rows.
        run(w, "SELECT b FROM t WHERE a = 1");
        QVERIFY(w.errorText().isEmpty());
        QCOMPARE(w.model()->rowCount(), 1);
    }
};

QTEST_MAIN(QueryToolWindowTest)
#include "querytoolwindow_test.moc"

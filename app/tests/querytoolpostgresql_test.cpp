// The query tool on PostgreSQL against a throw-away cluster (pg_virtualenv, held open for the
// whole program under the machine's PostgreSQL lock): Debian's release table loaded by
// morvexcli into a schema of its own, the connection opened through the tool's dialog as a
// person types it, the tree listing the loaded table with its columns and the catalogue apart,
// a double click's query showing every row with its NULLs, the sort, a server error under the
// editor with the rows kept, the password nowhere in the settings, and SQLite again after.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/pgloaddialog.h"
#include "app/querytoolwindow.h"
#include "app/tests/apptest.h"
#include "foundation/registry.h"
#include "foundation/testing/files.h"
#include "foundation/testing/pgcluster.h"
#include "foundation/testing/tempdir.h"

using namespace morvex;

namespace {

QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent != nullptr && i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text) return parent->child(i);
    return nullptr;
}

QTreeWidgetItem* group(QTreeWidget* tree, const QString& text) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->text(0) == text) return tree->topLevelItem(i);
    return nullptr;
}

// The column of the grid titled `title` (-1 when none).
int columnOf(QueryResultModel* model, const QString& title) {
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == title) return c;
    return -1;
}

}  // namespace

class QueryToolPostgresqlTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    morvex::testing::TempDir dir_{"querytool_pg"};
    std::unique_ptr<morvex::testing::ThrowAwayCluster> cluster_;

private slots:
    void initTestCase() {
        const std::string d = dir_.path();
        std::filesystem::copy_file("/usr/share/distro-info/debian.csv", d + "/debian.csv");
        cluster_ = std::make_unique<morvex::testing::ThrowAwayCluster>(
            d, "export MORVEX_CONFIG_DIR='" + d + "/cliconfig'\n"
               "'" MORVEXCLI_PATH "' analyse debian.csv -o debian.fyk > analyse.log 2>&1\n"
               "'" MORVEXCLI_PATH "' load debian.fyk \"dbname=$PGDATABASE\" --schema essai "
               "> load.log 2>&1");
        QVERIFY2(cluster_->ready(), (cluster_->log() + testing::readFile(d + "/load.log")).c_str());
    }

    void cleanupTestCase() { cluster_.reset(); }

    void theLoadedTableIsListedQueriedAndSorted() {
        QtUiPort port;
        apptest::Person person(port);
        QueryToolWindow window;
        window.setDatabasePath(QString::fromStdString(dir_.file("absent.db")));
        // The person opens the connection as typed in the dialog, the cluster's password in
        // its field (and out of the environment, so that only the typed one can serve).
        const std::string conninfo = morvex::testing::ThrowAwayCluster::connection();
        const std::string password = getenv("PGPASSWORD") ? getenv("PGPASSWORD") : "";
        QVERIFY(!password.empty());
        unsetenv("PGPASSWORD");
        person.dialogAnswers.push_back(QDialog::Accepted);
        person.dialogFillers.push_back([&](QDialog* dialog) {
            dialog->findChild<QLineEdit*>("connectionString")->setText(QString::fromStdString(conninfo));
            dialog->findChild<QLineEdit*>("password")->setText(QString::fromStdString(password));
        });
        window.runCommand(ITM_REQ_OPEN_PG);
        QCOMPARE(person.dialogs, std::vector<std::string>{"Ouvrir une connexion PostgreSQL"});
        QVERIFY(window.onPostgresql());
        QCOMPARE(window.statusText(SQLQUERY_STATUS_PATH),
                 QString::fromStdString("PostgreSQL [" + conninfo + "]"));

        // The tree: the loaded table with its columns and their server types, the catalogue
        // tables apart.
        QTreeWidget* tree = window.schemaTree();
        QTreeWidgetItem* table = child(group(tree, "Tables"), "essai.debian");
        QVERIFY2(table != nullptr, qPrintable(window.statusText(SQLQUERY_STATUS_STATE)));
        QVERIFY(child(group(tree, "Catalogue et historique"), "essai.fylatekfiledesc") != nullptr);
        QTreeWidgetItem* codename = child(table, "codename");
        QVERIFY(codename != nullptr);
        QVERIFY2(codename->text(1).startsWith("character varying") || codename->text(1) == "text",
                 qPrintable(codename->text(1)));
        QVERIFY(child(table, "release") != nullptr);
        QVERIFY(window.historyList()->count() == 0);

        // A double click's query, run: every row of the file, a missing date as NULL.
        window.useTreeItem(table);
        QCOMPARE(window.editor()->toPlainText(), QString("SELECT * FROM \"essai\".\"debian\""));
        QVERIFY(window.executerRequete());
        QVERIFY(window.waitForRun());
        QCOMPARE(window.errorText(), QString());
        QueryResultModel* model = window.model();
        QCOMPARE(model->rowCount(), 22);  // the file's lines but its header
        const int name = columnOf(model, "codename");
        const int release = columnOf(model, "release");
        QVERIFY(name >= 0 && release >= 0);
        QStringList names;
        int missingRelease = 0;
        for (int r = 0; r < model->rowCount(); ++r) {
            names << model->data(model->index(r, name), Qt::DisplayRole).toString();
            if (model->data(model->index(r, release), Qt::DisplayRole).toString() == "NULL")
                ++missingRelease;
        }
        QVERIFY2(names.contains("Bookworm") && names.contains("Buzz"), qPrintable(names.join(",")));
        QVERIFY(missingRelease >= 1);  // the releases to come
        QCOMPARE(window.statusText(SQLQUERY_STATUS_STATE), QString("Terminé"));

        // The grid sorts the server's rows as it sorts SQLite's.
        QVERIFY(window.sortBy(name, Qt::AscendingOrder));
        QVERIFY(window.waitForSort());
        QCOMPARE(model->data(model->index(0, name), Qt::DisplayRole).toString(), QString("Bo"));

        // A server error is said under the editor; the rows stay.
        window.editor()->setPlainText("SELECT * FROM absente");
        QVERIFY(window.executerRequete());
        QVERIFY(window.waitForRun());
        QVERIFY2(window.errorText().contains("relation \"absente\" does not exist"),
                 qPrintable(window.errorText()));
        QCOMPARE(model->rowCount(), 22);
        // Where the server places it, counted in characters, is shown as a line and a column.
        window.editor()->setPlainText("SELECT 'été' AS a;\nSELECT * FROM absente");
        QVERIFY(window.executerRequete());
        QVERIFY(window.waitForRun());
        QVERIFY2(window.errorText().endsWith(", ligne 2, colonne 15"), qPrintable(window.errorText()));

        // The connection is remembered without its password; nothing holds it on disk.
        QCOMPARE(PgLoadDialog::recentConnections().front(), conninfo);
        QVERIFY(testing::readFile(settingsFilePath()).find(password) == std::string::npos);
        QVERIFY(window.statusText(SQLQUERY_STATUS_PATH).indexOf(QString::fromStdString(password)) < 0);

        // Back to SQLite: the status names the file and SQLite's version again.
        window.setDatabasePath(QString::fromStdString(dir_.file("absent.db")));
        QVERIFY(!window.onPostgresql());
        QVERIFY(window.statusText(SQLQUERY_STATUS_VERSION).startsWith("SQLite"));
    }
};

QTEST_MAIN(QueryToolPostgresqlTest)
#include "querytoolpostgresql_test.moc"

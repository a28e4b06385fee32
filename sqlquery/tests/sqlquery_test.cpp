#include "sqlquery/sqlquery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/csvexport.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/tests/output_test_util.h"

namespace {

using outtest::Contains;

// Records what a run reports; rows are joined with '|', a NULL written "<null>".
class RecordingSink : public SQLQUERY_SINK {
public:
    void status(int part, const std::string& text) override {
        std::lock_guard<std::mutex> g(lock);
        statuses.push_back(std::to_string(part) + ":" + text);
    }
    void columns(int count, char** names) override {
        std::string joined;
        for (int i = 0; i < count; ++i) joined += (i ? "|" : "") + std::string(names[i]);
        std::lock_guard<std::mutex> g(lock);
        columnSets.push_back(joined);
    }
    void row(int count, char** values) override {
        std::string joined;
        for (int i = 0; i < count; ++i) {
            joined += (i ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "<null>");
        }
        std::lock_guard<std::mutex> g(lock);
        rows.push_back(joined);
        received.store(static_cast<int>(rows.size()));
    }
    std::mutex lock;
    std::vector<std::string> statuses;
    std::vector<std::string> columnSets;
    std::vector<std::string> rows;
    std::atomic<int> received{0};
};

class SqlQuery : public outtest::SqliteTest {
protected:
    void SetUp() override {
        SqliteTest::SetUp();
        dbPath = dir.file("base.db");
        sqlite3* db = nullptr;
        ASSERT_EQ(gsqlite3.sqlite3_open(dbPath.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(CreateQueryHistoryTable(db, 0), 0);
        ASSERT_EQ(SQLITE4FYK_ExecuteSQL(db,
                                        "CREATE TABLE t(a INTEGER, b TEXT);"
                                        "INSERT INTO t VALUES (1, 'un'), (2, NULL), (3, 'x;y');",
                                        0),
                  0);
        gsqlite3.sqlite3_close(db);
    }

    int execute(const std::string& sql, const std::string& path = "") {
        morvex::TraceCapture capture;
        const int rc =
            SQLQUERY_Execute(&run, (path.empty() ? dbPath : path).c_str(), sql.c_str(), &sink);
        trace = capture.text();
        return rc;
    }

    std::string dbPath;
    SQLQUERY_RUN run;
    RecordingSink sink;
    std::string trace;
};

TEST_F(SqlQuery, RunsEveryStatementGivesEachNewSetOfColumnsAndLogsTheText) {
    const std::string sql = "SELECT a, b FROM t ORDER BY a; SELECT 'z' AS c; SELECT 7 AS c";
    ASSERT_EQ(execute(sql), 0);
    EXPECT_EQ(sink.columnSets, (std::vector<std::string>{"a|b", "c"}));
    EXPECT_EQ(sink.rows, (std::vector<std::string>{"1|un", "2|<null>", "3|x;y", "z", "7"}));
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{"0:Exécution de la requête en cours...",
                                                       "1:5 ligne(s)", "0:Terminé"}));
    EXPECT_EQ(run.rows, 5);
    EXPECT_TRUE(Contains(trace, "L'ouverture de la base a reussi."));
    EXPECT_EQ(outtest::Rows(dbPath, "SELECT Query FROM FylatekHistory"),
              std::vector<std::string>{sql});
    EXPECT_EQ(run.connection, nullptr);  // nothing stays open between runs
}

TEST_F(SqlQuery, AnEmptyResultGivesNoColumnsAndZeroRows) {
    ASSERT_EQ(execute("SELECT * FROM t WHERE a > 10"), 0);
    EXPECT_TRUE(sink.columnSets.empty());
    EXPECT_EQ(sink.statuses[1], "1:0 ligne(s)");
}

TEST_F(SqlQuery, CountsRowsEveryHundred) {
    ASSERT_EQ(execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                      "250) SELECT i FROM n"),
              0);
    EXPECT_EQ(sink.statuses,
              (std::vector<std::string>{"0:Exécution de la requête en cours...",
                                        "1:100 lignes chargées...", "1:200 lignes chargées...",
                                        "1:250 ligne(s)", "0:Terminé"}));
}

TEST_F(SqlQuery, AFailingStatementKeepsTheRowsReceivedAndTellsSqlitesMessage) {
    ASSERT_EQ(execute("SELECT a FROM t WHERE a = 1; SELECT nope FROM nowhere"), 1);
    EXPECT_EQ(sink.rows, (std::vector<std::string>{"1"}));
    EXPECT_EQ(run.error, "no such table: nowhere");
    EXPECT_EQ(sink.statuses.back(), "0:no such table: nowhere");
    EXPECT_TRUE(Contains(trace,
                         "\nUne erreur est survenue à l'exécution de la requête : \n - "
                         "request=[SELECT a FROM t WHERE a = 1; SELECT nope FROM nowhere] \n - "
                         "MESSAGE : [no such table: nowhere]\n - Data=["));
}

TEST_F(SqlQuery, ADatabaseThatCannotBeOpenedIsAFailure) {
    ASSERT_EQ(execute("SELECT 1", dir.file("missing/x.db")), 1);
    EXPECT_EQ(sink.statuses.back(), "0:Echec de l'ouverture de la base de données.");
    EXPECT_TRUE(Contains(trace, "\nEchec de l'ouverture de la base"));
    EXPECT_TRUE(sink.rows.empty());
}

TEST_F(SqlQuery, ADatabaseWithoutHistoryTableIsStillQueried) {
    const std::string other = dir.file("foreign.db");
    ASSERT_EQ(execute("CREATE TABLE u(x); INSERT INTO u VALUES (5); SELECT x FROM u", other), 0);
    EXPECT_EQ(sink.rows, (std::vector<std::string>{"5"}));
}

TEST_F(SqlQuery, AnInterruptionEndsTheRunAsASuccessWithTheRowsReceived) {
    int rc = -1;
    std::thread worker([&] {
        rc = SQLQUERY_Execute(&run, dbPath.c_str(),
                              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
                              "SELECT i FROM n",
                              &sink);
    });
    while (sink.received.load() < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    SQLQUERY_Interrupt(&run);
    worker.join();
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(run.interrupted);
    EXPECT_GE(run.rows, 1000);
    ASSERT_GE(sink.statuses.size(), 3u);
    const size_t n = sink.statuses.size();
    EXPECT_EQ(sink.statuses[n - 3], "0:La requête a été interrompue par l'utilisateur");
    EXPECT_EQ(sink.statuses[n - 1], "0:Terminé");
}

TEST_F(SqlQuery, AnInterruptionAskedBeforeTheRunStopsItBeforeItsFirstStatement) {
    SQLQUERY_Interrupt(&run);
    ASSERT_EQ(execute("INSERT INTO t VALUES (9, 'late')"), 0);
    EXPECT_TRUE(run.interrupted);
    EXPECT_EQ(outtest::Rows(dbPath, "SELECT count(*) FROM t"), (std::vector<std::string>{"3"}));
    ASSERT_EQ(execute("SELECT count(*) FROM t"), 0);  // the request does not outlive the run
    EXPECT_FALSE(run.interrupted);
}

TEST(SqlQueryTexts, ElapsedTimeAndVersion) {
    EXPECT_EQ(SQLQUERY_ElapsedText(clock()), "00:00:00");
    EXPECT_EQ(SQLQUERY_ElapsedText(clock() - 3725 * CLOCKS_PER_SEC), "01:02:05");
    EXPECT_EQ(SQLQUERY_VersionText(), "SQLite");  // no library bound here
}

TEST(CsvExport, QuotesOnlyTheCellsThatWouldNotReadBack) {
    const struct {
        const char* cell;
        const char* written;
    } cases[] = {
        {"abc", "abc;"},
        {"", ";"},
        {"L'Oréal, SA", "L'Oréal, SA;"},
        {"x;y", "\"x;y\";"},
        {"dit \"oui\"", "\"dit \"\"oui\"\"\";"},
        {"deux\nlignes", "\"deux\nlignes\";"},
        {"cr\rseul", "\"cr\rseul\";"},
    };
    for (const auto& c : cases) {
        std::string out;
        CSVEXPORT_AppendCell(out, c.cell);
        EXPECT_EQ(out, c.written) << c.cell;
    }
    std::string nul;
    CSVEXPORT_AppendCell(nul, "a\0b", 3);
    EXPECT_EQ(nul, std::string("a\0b;", 4));
}

}  // namespace

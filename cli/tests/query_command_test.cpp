#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/tests/cli_fixture.h"

using morvex::testing::Contains;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::writeFile;

namespace {

class QueryCommand : public morvex::testing::CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        // A database made by the sqlite3 shell, as a foreign database would be.
        const std::string cmd = "sqlite3 '" + (dir_ / "base.db").string() +
                                "' \"CREATE TABLE FylatekHistory (RowID INTEGER PRIMARY KEY "
                                "AUTOINCREMENT, Query varchar(4000), TimeStamp TIMESTAMP DEFAULT "
                                "CURRENT_TIMESTAMP); CREATE TABLE t(id INTEGER, nom TEXT); "
                                "INSERT INTO t VALUES (1, 'Élodie'), (2, NULL), (10, 'a;b'), "
                                "(11, 'dit \\\"oui\\\"');\"";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
};

TEST_F(QueryCommand, PrintsTheRowsAsATableWithNullAndTheRowCount) {
    RunResult r = run("query base.db 'SELECT id, nom FROM t ORDER BY id'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "id | nom\n"
              "---+----------\n"
              "1  | Élodie\n"
              "2  | NULL\n"
              "10 | a;b\n"
              "11 | dit \"oui\"\n"
              "\n"
              "4 ligne(s)\n");
}

TEST_F(QueryCommand, ReadsEveryStatementFromStandardInputAndLogsIt) {
    RunResult r = run("query base.db",
                      "INSERT INTO t VALUES (3, 'c');\r\nSELECT count(*) AS n FROM t;\r\n"
                      "SELECT max(id) AS m FROM t;\r\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "n\n-\n5\n\nm\n--\n11\n\n2 ligne(s)\n");
    r = run("query base.db 'SELECT Query FROM FylatekHistory ORDER BY RowID'");
    EXPECT_TRUE(Contains(r.out, "INSERT INTO t VALUES (3, 'c');\nSELECT count(*) AS n FROM t;"));
}

TEST_F(QueryCommand, ExportsTheRowsWithTheirHeaderAndQuotesOnlyWhatWouldSplit) {
    RunResult r = run("query base.db 'SELECT id, nom FROM t ORDER BY id' --csv out.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 ligne(s)\n");
    EXPECT_EQ(readFile(dir_ / "out.csv"),
              "id;nom;\r\n1;Élodie;\r\n2;NULL;\r\n10;\"a;b\";\r\n11;\"dit \"\"oui\"\"\";\r\n");
}

TEST_F(QueryCommand, FailsWithSqlitesMessageOrWhenTheBaseIsMissing) {
    RunResult r = run("query base.db 'SELECT nope FROM nowhere'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "(e) Erreur SQLite : no such table: nowhere\n");
    r = run("query absent.db 'SELECT 1'");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "absent.db"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "absent.db"));
    r = run("query base.db ''", " ; \n");
    EXPECT_EQ(r.status, 2);
    r = run("query base.db 'SELECT 1' --csv missing/dir/out.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "Impossible d'ouvrir le fichier spécifié."));
}

}  // namespace

// The export read back by Python's csv module gives the database's own values: reals to the
// last bit, BLOBs from their hexadecimal, NULL apart from the text 'NULL' under --null.
TEST_F(QueryCommand, ExportReadsBackThroughPythonCsvToTheSameValues) {
    const std::string db = (dir_ / "base.db").string();
    writeFile(dir_ / "fill.sql",
              "CREATE TABLE v(n INTEGER, r REAL, b BLOB, s TEXT); INSERT INTO v VALUES "
              "(9876543210, 0.1 + 0.2, x'00FF10', 'NULL'), (-1, 1234567.891234567, x'', "
              "'a;b\"c' || char(13, 10) || 'd'), (NULL, 5e-324, NULL, NULL), "
              "(0, -1.7976931348623157e308, x'414243', '');");
    const std::string fill = "sqlite3 '" + db + "' < '" + (dir_ / "fill.sql").string() + "'";
    ASSERT_EQ(system(fill.c_str()), 0);
    RunResult r = run("query base.db 'SELECT n, r, b, s FROM v ORDER BY rowid' --csv v.csv "
                      "--null ''");
    ASSERT_EQ(r.status, 0) << r.err;
    writeFile(dir_ / "check.py", R"PY(import csv, sqlite3, sys
expected = sqlite3.connect(sys.argv[1]).execute("SELECT n, r, b, s FROM v ORDER BY rowid").fetchall()
with open(sys.argv[2], newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f, delimiter=";"))
assert rows[0] == ["n", "r", "b", "s", ""], rows[0]
def value(cell, kind):
    if cell == "":
        return None
    return {"n": int, "r": float, "b": bytes.fromhex, "s": str}[kind](cell)
got = [tuple(value(c, k) for c, k in zip(row, "nrbs")) for row in rows[1:]]
# An empty BLOB and an empty text are indistinguishable from NULL under --null ''.
want = [tuple(None if x in (b"", "") else x for x in row) for row in expected]
assert got == want, (got, want)
print("ok")
)PY");
    const std::string check = "python3 '" + (dir_ / "check.py").string() + "' '" + db + "' '" +
                              (dir_ / "v.csv").string() + "' > '" +
                              (dir_ / "check.txt").string() + "' 2>&1";
    EXPECT_EQ(system(check.c_str()), 0) << readFile(dir_ / "check.txt");
    EXPECT_EQ(readFile(dir_ / "check.txt"), "ok\n");
    // Without --null the specified form stays.
    r = run("query base.db 'SELECT b, s FROM v WHERE n = -1 OR n IS NULL' --csv w.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir_ / "w.csv"), "b;s;\r\n;\"a;b\"\"c\r\nd\";\r\nNULL;NULL;\r\n");
}

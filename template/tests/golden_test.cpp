// The bundled templates against the bundled description examples/clients.fyk: each output must
// equal its golden file, and the outputs must be usable by the real tools (sqlite3, python3).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "template/tests/tpl_fixture.h"

using tpltest::Contains;
using tpltest::StartsWith;
using tpltest::TemplateTest;

namespace {

std::string sourceDir() {
    const char* env = getenv("MORVEX_SOURCE_DIR");
    return env && *env ? env : MORVEX_SOURCE_DIR_PATH;
}

class BundledTemplates : public TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        snprintf(settings_.librariesDirectory, sizeof settings_.librariesDirectory, "%s",
                 (sourceDir() + "/templates/lib").c_str());
        desc_ = FILEDESC_OpenFileDesc((sourceDir() + "/examples/clients.fyk").c_str());
        ASSERT_NE(desc_, nullptr);
    }
    // Generates the bundled template `name` and returns the output path.
    std::string run(const std::string& name) {
        char out[1024] = "";
        std::string tpl = sourceDir() + "/templates/" + name;
        EXPECT_EQ(TEMPLATE_Generate(desc_, tpl.c_str(), out_.c_str(), out, sizeof out), 0)
            << port_.panelText();
        EXPECT_EQ(port_.panelText(), "") << name;  // no warning, no unknown name
        return out;
    }
    void expectGolden(const std::string& path, const std::string& golden) {
        EXPECT_EQ(tpltest::readFile(path),
                  tpltest::readFile(sourceDir() + "/template/tests/golden/" + golden))
            << path;
    }
};

TEST_F(BundledTemplates, EachOutputEqualsItsGoldenFile) {
    const struct {
        const char* tpl;
        const char* golden;
    } cases[] = {
        {"sqlite_ddl.tpl", "CLIENTS.sqlite.sql"},         {"mssql_ddl.tpl", "CLIENTS.mssql.sql"},
        {"postgresql_ddl.tpl", "CLIENTS.postgresql.sql"}, {"datasheet_md.tpl", "CLIENTS.md"},
        {"python_reader.tpl", "CLIENTS_reader.py"},
    };
    for (const auto& c : cases) {
        std::string path = run(c.tpl);
        EXPECT_EQ(path, out_ + "/" + c.golden);
        expectGolden(path, c.golden);
    }
}

TEST_F(BundledTemplates, SqliteScriptCreatesTheTableAndItsIndexes) {
    ASSERT_EQ(system("command -v sqlite3 >/dev/null 2>&1"), 0)
        << "no sqlite3 (tools/install-deps.sh)";
    std::string sql = run("sqlite_ddl.tpl");
    std::string db = dir_.file("c.db"), res = dir_.file("res.txt");
    std::string cmd = "sqlite3 '" + db + "' < '" + sql + "' && sqlite3 '" + db +
                      "' \"SELECT name FROM sqlite_master ORDER BY name\" > '" + res + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    EXPECT_EQ(tpltest::readFile(res), "CLIENTS\nIX_CLIENTS_NOM\nIX_CLIENTS_VILLE\n");
}

TEST_F(BundledTemplates, PythonReaderReadsTheExampleFile) {
    ASSERT_EQ(system("command -v python3 >/dev/null 2>&1"), 0)
        << "no python3 (tools/install-deps.sh)";
    std::string py = run("python_reader.tpl");
    std::string res = dir_.file("rows.txt");
    std::string cmd =
        "python3 '" + py + "' '" + sourceDir() + "/examples/clients.csv' > '" + res + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    std::string rows = tpltest::readFile(res);
    EXPECT_TRUE(StartsWith(rows,
                           "[('ID', 1), ('NOM', 'DUPONT'), ('PRENOM', 'Jean'), ('NAISSANCE', "
                           "'12/03/1975'), ('VILLE', 'Paris'), ('SOLDE', 1250.5), ('MAJ', "
                           "'2014-05-06 05:52:00')]\n"));
}

// Standard output of a shell command (the paths in it written by this test).
std::string output(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int raw = pclose(p);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

// Names a received description may hold (anything but control characters, which no description
// can hold): each must stay one name in every file the bundled templates write.
TEST_F(BundledTemplates, HostileNamesStayNamesInEveryGeneratedFile) {
    const char* table = "t\" (x int); DROP TABLE victim1; --";
    const char* columns[] = {"a\" int); DROP TABLE victim1; CREATE TABLE z (\"b",
                             "\"); import os; os.system(\"touch pwned\"); (\"",
                             "$(touch pwned) `touch pwned` ]; DROP TABLE victim1; --",
                             "\"\"\"; touch pwned; \\"};
    strcpy(desc_->TableName, table);
    strcpy(desc_->SchemaName, "s]\"");
    strcpy(desc_->ProjectName, "p\"\"\" + __import__('os').system('touch pwned') + \"\"\"");
    int i = 0;
    for (const ColumnOwner& column : desc_->columns)
        if (i < 4) strcpy(column->code, columns[i++]);
    strcpy(desc_->indexes.front()->name, "ix\"; DROP TABLE victim1; --");
    const std::string cwd = "cd '" + dir_.path() + "' && ";
    int status = -1;

    // SQLite: the odd table and its two indexes beside the victim, nothing dropped.
    const std::string db = dir_.file("h.db");
    const std::string sql = run("sqlite_ddl.tpl");
    std::string out =
        output(cwd + "sqlite3 '" + db + "' 'CREATE TABLE victim1 (v)' && sqlite3 '" + db + "' < '" +
                   sql + "' && sqlite3 '" + db +
                   "' 'SELECT type, name FROM sqlite_master ORDER BY type, name' 2>&1",
               &status);
    EXPECT_EQ(status, 0) << out << tpltest::readFile(sql);
    EXPECT_EQ(out, "index|IX_CLIENTS_VILLE\nindex|ix\"; DROP TABLE victim1; --\ntable|" +
                       std::string(table) + "\ntable|victim1\n")
        << tpltest::readFile(sql);

    // Python: the reader runs, reads the example file under the odd names, runs no command.
    const std::string py = run("python_reader.tpl");
    out = output(cwd + "python3 '" + py + "' '" + sourceDir() + "/examples/clients.csv' 2>&1",
                 &status);
    EXPECT_EQ(status, 0) << out << tpltest::readFile(py);
    EXPECT_TRUE(StartsWith(out, "[('a\" int); DROP TABLE victim1; CREATE TABLE z (\"b', 1), "))
        << out;

    // SQL Server: three batches that each create one thing.
    const std::string mssql = run("mssql_ddl.tpl");
    out = output("node '" MORVEX_SOURCE_DIR_PATH
                 "/mssql/tests/tsql/check.mjs' '" MORVEX_TEST_TOOLS_DIR "/tsql' '" +
                     mssql + "' --statements 2>&1",
                 &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(StartsWith(out, "batch 1: create | s]\"|" + std::string(table) + "|")) << out;
    EXPECT_TRUE(Contains(out, "\nbatch 2: create | ix\"; DROP TABLE victim1; --|s]\"|")) << out;
    EXPECT_TRUE(Contains(out, "\nbatch 3: create | IX_CLIENTS_VILLE|")) << out;
    EXPECT_TRUE(tpltest::Contains(out, "\nok 3\n")) << out;

    // PostgreSQL and the data sheet: the names stay quoted, the table keeps its cells.
    const std::string pg = tpltest::readFile(run("postgresql_ddl.tpl"));
    EXPECT_TRUE(Contains(pg,
                         "CREATE TABLE IF NOT EXISTS \"s]\"\"\".\"t\"\" (x int); DROP TABLE "
                         "victim1; --\" (\n"))
        << pg;
    const std::string md = tpltest::readFile(run("datasheet_md.tpl"));
    const size_t row = md.find("\n| 2 | ");
    ASSERT_NE(row, std::string::npos) << md;
    const std::string line = md.substr(row + 1, md.find('\n', row + 1) - row - 1);
    int cells = 0;
    for (size_t k = 0; k < line.size(); ++k)
        cells += line[k] == '|' && (k == 0 || line[k - 1] != '\\');
    EXPECT_EQ(cells, 12) << line;

    EXPECT_FALSE(std::ifstream(dir_.file("pwned")).good());
}

}  // namespace

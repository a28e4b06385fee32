// The bundled templates against the bundled description examples/clients.fyk: each output must
// equal its golden file, and the outputs must be usable by the real tools (sqlite3, python3).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "template/tests/tpl_fixture.h"

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
    ASSERT_EQ(system("command -v sqlite3 >/dev/null 2>&1"), 0) << "no sqlite3 (tools/install-deps.sh)";
    std::string sql = run("sqlite_ddl.tpl");
    std::string db = dir_.file("c.db"), res = dir_.file("res.txt");
    std::string cmd = "sqlite3 '" + db + "' < '" + sql + "' && sqlite3 '" + db +
                      "' \"SELECT name FROM sqlite_master ORDER BY name\" > '" + res + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    EXPECT_EQ(tpltest::readFile(res), "CLIENTS\nIX_CLIENTS_NOM\nIX_CLIENTS_VILLE\n");
}

TEST_F(BundledTemplates, PythonReaderReadsTheExampleFile) {
    ASSERT_EQ(system("command -v python3 >/dev/null 2>&1"), 0) << "no python3 (tools/install-deps.sh)";
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

}  // namespace

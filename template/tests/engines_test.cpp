// The bundled DDL templates run on their engines: a throw-away PostgreSQL cluster
// (pg_virtualenv, one start for the whole scenario, one cluster at a time on the machine under
// a lock since clusters started together contend for the port) and the sqlite3 shell, for the
// bundled example and for a description that `morvexcli analyse` made of a file with varied
// types, whose rows (integers beyond 32 bits included) are then loaded and read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "template/tests/tpl_fixture.h"

using tpltest::TemplateTest;

namespace {

namespace fs = std::filesystem;

std::string sourceDir() {
    const char* env = getenv("MORVEX_SOURCE_DIR");
    return env && *env ? env : MORVEX_SOURCE_DIR_PATH;
}

// morvexcli of the same build tree (cli/ next to template/).
std::string morvexcli() {
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "cli" / "morvexcli")
        .string();
}

class TemplatesOnEngines : public TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        snprintf(settings_.librariesDirectory, sizeof settings_.librariesDirectory, "%s",
                 (sourceDir() + "/templates/lib").c_str());
    }
    // Generates bundled template `name` for the description at `fyk`; returns the output path.
    std::string generate(const std::string& fyk, const std::string& name) {
        FileDesc* desc = FILEDESC_OpenFileDesc(fyk.c_str());
        EXPECT_NE(desc, nullptr) << fyk;
        if (desc == nullptr) return "";
        char out[1024] = "";
        const std::string tpl = sourceDir() + "/templates/" + name;
        EXPECT_EQ(TEMPLATE_Generate(desc, tpl.c_str(), out_.c_str(), out, sizeof out), 0)
            << port_.panelText();
        return out;
    }
};

TEST_F(TemplatesOnEngines, DdlRunsOnPostgresqlAndSqliteAndTakesTheRows) {
    // Comma-separated, ISO dates and points: what both engines read as they stand.
    const std::string data = dir_.write("mesures.csv",
                                        "num,compteur,montant,jour,horodatage,libelle\n"
                                        "1,9876543210,12.50,2024-02-29,2024-12-31 23:59:59,alpha\n"
                                        "2,-9876543210,-0.25,1999-01-01,2000-01-01 00:00:00,beta\n"
                                        "3,42,1000.00,2010-10-10,2010-10-10 10:10:10,gamma\n");
    const std::string fyk = dir_.file("mesures.fyk");
    ASSERT_EQ(std::system((morvexcli() + " analyse '" + data + "' -o '" + fyk + "' > '" +
                           dir_.file("analyse.log") + "' 2>&1")
                              .c_str()),
              0)
        << tpltest::readFile(dir_.file("analyse.log"));
    const std::string example = sourceDir() + "/examples/clients.fyk";
    const std::string pgExample = generate(example, "postgresql_ddl.tpl");
    const std::string pgData = generate(fyk, "postgresql_ddl.tpl");
    const std::string liteExample = generate(example, "sqlite_ddl.tpl");
    const std::string liteData = generate(fyk, "sqlite_ddl.tpl");
    ASSERT_FALSE(pgData.empty());
    // SQL Server has no engine here: its integer column beyond 9 digits is a bigint.
    EXPECT_NE(tpltest::readFile(generate(fyk, "mssql_ddl.tpl")).find("[compteur] bigint"),
              std::string::npos);

    const std::string script = dir_.write("pg.sh", R"SH(set -eu
psql -X -q -v ON_ERROR_STOP=1 -f "$1" -f "$1" -f "$2" \
    -c "\copy mesures FROM '$3' WITH (FORMAT csv, HEADER true)"
psql -X -At -v ON_ERROR_STOP=1 -c "SELECT to_regclass('crm.\"CLIENTS\"') IS NOT NULL,
    sum(compteur), min(compteur), sum(montant), max(jour), max(horodatage) FROM mesures"
)SH");
    const std::string result = dir_.file("pg.txt");
    const std::string pgCommand = "flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv sh '" +
                                  script + "' '" + pgExample + "' '" + pgData + "' '" + data +
                                  "' > '" + result + "' 2>&1";
    ASSERT_EQ(std::system(pgCommand.c_str()), 0)
        << tpltest::readFile(result) << tpltest::readFile(pgData);
    EXPECT_NE(
        tpltest::readFile(result).find("t|42|-9876543210|1012.25|2024-02-29|2024-12-31 23:59:59\n"),
        std::string::npos)
        << tpltest::readFile(result);

    const std::string db = dir_.file("t.db"), lite = dir_.file("lite.txt");
    const std::string liteCommand =
        "sqlite3 -bail '" + db + "' < '" + liteExample + "' && sqlite3 -bail '" + db + "' < '" +
        liteData + "' && sqlite3 -bail -csv '" + db + "' \".import --skip 1 '" + data +
        "' mesures\" \"SELECT sum(compteur), min(compteur), sum(montant) FROM mesures\" > '" +
        lite + "' 2>&1";
    ASSERT_EQ(std::system(liteCommand.c_str()), 0) << tpltest::readFile(lite);
    EXPECT_EQ(tpltest::readFile(lite), "42,-9876543210,1012.25\n");
}

// Names made to close a statement and texts of every kind on PostgreSQL: the bundled DDL makes
// the odd schema and table beside the victim, and {text:sqlstr} gives each text back whole.
TEST_F(TemplatesOnEngines, HostileNamesAndTextsStayWholeOnPostgresql) {
    FileDesc* desc = FILEDESC_OpenFileDesc((sourceDir() + "/examples/clients.fyk").c_str());
    ASSERT_NE(desc, nullptr);
    strcpy(desc->SchemaName, "s\"; DROP TABLE victim1; --");
    strcpy(desc->TableName, "t\" (x int); DROP TABLE victim1; --");
    strcpy(desc->columns.front()->code, "a\" int); DROP TABLE victim1; CREATE TABLE z (\"b");
    strcpy(desc->indexes.front()->name, "ix\"; DROP TABLE victim1");
    char out[1024] = "";
    const std::string tpl = sourceDir() + "/templates/postgresql_ddl.tpl";
    ASSERT_EQ(TEMPLATE_Generate(desc, tpl.c_str(), out_.c_str(), out, sizeof out), 0)
        << port_.panelText();
    const std::string ddl = out;

    const std::vector<std::string> texts = {"it's",
                                            "say \"hi\"",
                                            "back\\slash\\",
                                            "x\r\nGO\r\nDROP TABLE victim1",
                                            "a'); DROP TABLE victim1; --",
                                            "$(touch pwned) `id`",
                                            "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5",
                                            "tab\there \x01\x1b[31m\x7f"};
    const std::string select =
        dir_.write("select.tpl",
                   "%templatetype MorvexFylatek.Template\n%targetfilename select.sql\n"
                   "SELECT encode(convert_to({desc.description:sqlstr}, 'UTF8'), 'hex');\n");
    std::string selects, expected;
    for (const std::string& text : texts) {
        FILEDESC_SetDescription(desc, text.c_str());
        ASSERT_EQ(TEMPLATE_Generate(desc, select.c_str(), out_.c_str(), out, sizeof out), 0);
        selects += tpltest::readFile(out);
        static const char digits[] = "0123456789abcdef";
        for (const unsigned char c : text) expected += {digits[c >> 4], digits[c & 15]};
        expected += '\n';
    }
    FILEDESC_CloseFileDesc(desc);
    const std::string selectsPath = dir_.write("selects.sql", selects);

    const std::string script = dir_.write("pg.sh", R"SH(set -eu
psql -X -q -v ON_ERROR_STOP=1 -c "CREATE TABLE victim1 (v int)" -f "$1"
psql -X -At -v ON_ERROR_STOP=1 -c "SELECT schemaname || '|' || tablename FROM pg_tables
    WHERE schemaname NOT IN ('pg_catalog', 'information_schema') ORDER BY 1"
psql -X -At -v ON_ERROR_STOP=1 -c "SELECT count(*) FROM pg_indexes WHERE indexname LIKE 'ix%'"
psql -X -At -v ON_ERROR_STOP=1 -f "$2"
)SH");
    const std::string result = dir_.file("pg.txt");
    const std::string command = "flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv sh '" +
                                script + "' '" + ddl + "' '" + selectsPath + "' > '" + result +
                                "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0)
        << tpltest::readFile(result) << tpltest::readFile(ddl);
    // The cluster's own notices come around the results.
    const std::string want =
        "\npublic|victim1\ns\"; DROP TABLE victim1; --|t\" (x int); DROP TABLE victim1; --\n"
        "1\n" +
        expected;
    EXPECT_NE(tpltest::readFile(result).find(want), std::string::npos)
        << tpltest::readFile(result) << tpltest::readFile(ddl);
}

}  // namespace

// The bundled DDL templates run on their engines: a throw-away PostgreSQL cluster
// (pg_virtualenv, one start for the whole scenario, one cluster at a time on the machine under
// a lock since clusters started together contend for the port) and the sqlite3 shell, for the
// bundled example and for a description that `morvexcli analyse` made of a file with varied
// types, whose rows (integers beyond 32 bits included) are then loaded and read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
    EXPECT_NE(tpltest::readFile(result).find(
                  "t|42|-9876543210|1012.25|2024-02-29|2024-12-31 23:59:59\n"),
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

}  // namespace

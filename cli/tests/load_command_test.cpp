#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "cli/tests/cli_fixture.h"
#include "filedesc/filedesc.h"

namespace fs = std::filesystem;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::writeFile;

namespace {

class LoadCommand : public morvex::testing::CliFixture {
protected:
    // A delimited description ID;NOM;DT whose example file holds `rows` after a header line.
    void writeDescription(const std::string& rows) {
        writeFile(dir_ / "clients.csv", "ID;NOM;DT\r\n" + rows);
        FileDesc* d = FILEDESC_CreateFileDesc("Clients", nullptr, 2, "\\r\\n", ";");
        strcpy(d->TableName, "CLIENT");
        d->FirstLineIsHeader = 1;
        d->BeginFromLine = 1;
        d->ExampleFilePath = strdup((dir_ / "clients.csv").string().c_str());
        const struct {
            const char* code;
            int type;
        } cols[] = {{"ID", 0}, {"NOM", 5}, {"DT", 2}};
        for (const auto& c : cols) {
            ColumnDesc col{};
            strcpy(col.code, c.code);
            col.typeCible.type = c.type;
            col.typeCible.fmtChaineVar.tailleMax = 30;
            strcpy(col.typeCible.fmtDate, "jj/mm/aaaa");
            FILEDESC_AjouterColonne(d, &col);
        }
        ASSERT_EQ(FILEDESC_SaveToFile(d, (dir_ / "clients.fyk").string().c_str()), 0);
        FILEDESC_CloseFileDesc(d);
    }

    // Output of the sqlite3 shell on the database of the test folder.
    std::string sql(const std::string& db, const std::string& query) {
        const std::string cmd = "sqlite3 '" + (dir_ / db).string() + "' \"" + query + "\" >'" +
                                (dir_ / "sql.txt").string() + "' 2>&1";
        EXPECT_EQ(system(cmd.c_str()), 0);
        return readFile(dir_ / "sql.txt");
    }
};

TEST_F(LoadCommand, LoadsEveryRowAndPrintsTheReport) {
    writeDescription("1;L'Oréal;26/02/2015\r\n2;Dupont;\r\n3;Martin;31/02/2015\r\n");
    RunResult r = run("load clients.fyk clients.db --batch 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("3 lignes chargées en ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" lignes / s).\n1 valeur(s) conservée(s) telle(s) quelle(s) car non "
                         "conforme(s) à leur type.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(sql("clients.db", "SELECT FileRowID, ID, NOM, quote(DT) FROM CLIENT"),
              "2|1|L'Oréal|'2015-02-26'\n3|2|Dupont|NULL\n4|3|Martin|'31/02/2015'\n");
    EXPECT_EQ(sql("clients.db", "SELECT TableName, DatabaseFilePath FROM FylatekFileDesc"),
              "CLIENT|clients.db\n");
    EXPECT_EQ(sql("clients.db", "SELECT count(*) FROM FylatekFileDescColumn"), "3\n");
}

TEST_F(LoadCommand, TakesTheDataFileAndTableFromTheOptions) {
    writeDescription("");
    writeFile(dir_ / "other.csv", "ID;NOM;DT\r\n7;Autre;01/01/2001\r\n");
    RunResult r = run("load clients.fyk out.db --data other.csv --table 'T\"X'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1 lignes chargées en ", 0), 0u) << r.out;
    EXPECT_EQ(sql("out.db", "SELECT ID, NOM, DT FROM \\\"T\\\"\\\"X\\\""), "7|Autre|2001-01-01\n");
}

TEST_F(LoadCommand, FailsWithAMessageAndNoReportWhenTheDatabaseCannotBeOpened) {
    writeDescription("1;A;\r\n");
    RunResult r = run("load clients.fyk missing/dir/x.db");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("(!) Echec de l'ouverture de la base"), std::string::npos) << r.err;
}

TEST_F(LoadCommand, RefusesAMissingDataFile) {
    writeDescription("");
    RunResult r = run("load clients.fyk x.db --data absent.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("absent.csv"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "x.db"));
    EXPECT_EQ(run("load clients.fyk x.db --batch 0").status, 2);
}

}  // namespace

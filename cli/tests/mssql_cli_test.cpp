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

class MssqlCommand : public morvex::testing::CliFixture {
protected:
    // A description ID;NOM;DT (NOM ignored when `ignoreNom`) whose example file holds `rows`
    // after a header line; `structure` 1 fixed-width, 2 delimited.
    void writeDescription(const std::string& rows, int structure = 2, bool ignoreNom = false) {
        writeFile(dir_ / "clients.csv", "ID;NOM;DT\r\n" + rows);
        FileDesc* d = FILEDESC_CreateFileDesc("Clients", nullptr, structure, "\\r\\n", ";");
        strcpy(d->TableName, "CLIENT");
        d->FirstLineIsHeader = 1;
        d->BeginFromLine = 1;
        d->ExampleFilePath = strdup((dir_ / "clients.csv").string().c_str());
        const struct {
            const char* code;
            int type;
            int width;
        } cols[] = {{"ID", 0, 5}, {"NOM", 5, 30}, {"DT", 2, 10}};
        for (const auto& c : cols) {
            ColumnDesc col{};
            strcpy(col.code, c.code);
            col.typeCible.type = c.type;
            col.WidthInChars = c.width;
            col.typeCible.fmtChaineVar.tailleMax = c.width;
            col.IgnoreColumn = ignoreNom && strcmp(c.code, "NOM") == 0;
            strcpy(col.typeCible.fmtDate, "jj/mm/aaaa");
            FILEDESC_AjouterColonne(d, &col);
        }
        ASSERT_EQ(FILEDESC_SaveToFile(d, (dir_ / "clients.fyk").string().c_str()), 0);
        FILEDESC_CloseFileDesc(d);
    }
};

TEST_F(MssqlCommand, InsertWritesTheScriptOfTheExampleFileAndPrintsTheRowCount) {
    writeDescription("1;L'Oréal;26/02/2015\r\n2;Dupont;\r\n");
    RunResult r = run("mssql insert clients.fyk out.sql");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 lignes écrites dans le script 'out.sql'.\n");
    const std::string script = readFile(dir_ / "out.sql");
    EXPECT_EQ(script.rfind("DROP TABLE  \"CLIENT\";\r\nCREATE TABLE \"CLIENT\" (\"ID\" int,", 0),
              0u);
    EXPECT_NE(script.find("VALUES (1, 'L''Oréal', '20150226');\r\nGO\r\n"), std::string::npos);
    EXPECT_NE(script.find("VALUES (2, 'Dupont', NULL);\r\nGO\r\n"), std::string::npos);
}

TEST_F(MssqlCommand, InsertTakesAnotherDataFileAndTheRowNumber) {
    writeDescription("");
    writeFile(dir_ / "other.csv", "ID;NOM;DT\r\n7;Autre;01/01/2001\r\n");
    RunResult r = run("mssql insert clients.fyk out.sql --data other.csv --row-number");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 lignes écrites dans le script 'out.sql'.\n");
    EXPECT_NE(readFile(dir_ / "out.sql").find("VALUES (2, 7, 'Autre', '20010101');"),
              std::string::npos);
}

TEST_F(MssqlCommand, InsertFailsWithAMessageWhenTheFilesCannotBeUsed) {
    writeDescription("1;A;\r\n");
    RunResult r = run("mssql insert clients.fyk out.sql --data missing.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.csv"), std::string::npos) << r.err;
    r = run("mssql insert clients.fyk no/such/dir/out.sql");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Impossible d'écrire le script"), std::string::npos) << r.err;
    EXPECT_EQ(run("mssql").status, 2);
}

TEST_F(MssqlCommand, AllWritesTheThreeFilesNamedByTheOptions) {
    writeDescription("", 1, true);
    RunResult r =
        run("mssql all clients.fyk --database Ventes --table T_CLI --format-file f.fmt "
            "--bulk-script b.sql --update-script m.sql --data-file 'C:\\import\\data.txt'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "f.fmt\nb.sql\nm.sql\n");
    EXPECT_EQ(r.err, "");
    const std::string format = readFile(dir_ / "f.fmt");
    EXPECT_EQ(format.rfind("6.0\r\n3\r\n001    SQLCHAR", 0), 0u) << format;
    EXPECT_NE(format.find("      0    NOM\r\n"), std::string::npos);
    EXPECT_NE(format.find("      2    DT\r\n"), std::string::npos);
    const std::string bulk = readFile(dir_ / "b.sql");
    EXPECT_NE(bulk.find("use Ventes\r\nGO"), std::string::npos);
    EXPECT_NE(bulk.find("BULK INSERT Ventes..bcp_T_CLI\r\nFROM 'C:\\import\\data.txt'"),
              std::string::npos);
    EXPECT_NE(bulk.find("FORMATFILE='f.fmt'"), std::string::npos);
    EXPECT_NE(readFile(dir_ / "m.sql").find("CREATE TABLE Ventes..T_CLI\r\n"), std::string::npos);
}

TEST_F(MssqlCommand, ParametersComeFromAPrmFileThatCanBeSaved) {
    writeDescription("");
    RunResult r = run("mssql format clients.fyk --table SAVED --save-prm p.prm");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imp_fmt.fmt\n");
    EXPECT_EQ(fs::file_size(dir_ / "p.prm"), 1174u);
    r = run("mssql update clients.fyk --prm p.prm --update-script u.sql");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(dir_ / "u.sql").find("CREATE TABLE Master..SAVED"), std::string::npos);
    r = run("mssql bulk clients.fyk --prm missing.prm");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Impossible d'ouvrir le fichier 'missing.prm'"), std::string::npos);
    r = run("mssql bulk clients.fyk --table " + std::string(70, 'T'));
    EXPECT_EQ(r.status, 2);
}

TEST_F(MssqlCommand, WarningsGoToStandardErrorAndDoNotStopTheGeneration) {
    writeDescription("", 2, true);
    RunResult r = run("mssql bulk clients.fyk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imp_bcp.sql\n");
    EXPECT_EQ(r.err.rfind("(!) Avertissement : Attention : La colonne 'NOM' () a été marquée", 0),
              0u)
        << r.err;
    EXPECT_NE(readFile(dir_ / "imp_bcp.sql").find("ROWTERMINATOR='\\r\\n'"), std::string::npos);
}

TEST_F(MssqlCommand, AFailedGenerationIsReportedAndTheOthersStillRun) {
    writeDescription("");
    RunResult r = run("mssql all clients.fyk --bulk-script no/dir/b.sql");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "imp_fmt.fmt\nimp_maj.sql\n");
    EXPECT_NE(r.err.find("Erreur lors de la génération du script de BULK INSERT."),
              std::string::npos);
}

}  // namespace

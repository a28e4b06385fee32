#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "cli/tests/cli_fixture.h"

namespace fs = std::filesystem;
using morvex::testing::Contains;
using morvex::testing::readFile;
using morvex::testing::RunResult;
using morvex::testing::StartsWith;
using morvex::testing::writeFile;

namespace {

class MssqlCommand : public morvex::testing::CliFixture {};

TEST_F(MssqlCommand, InsertWritesTheScriptOfTheExampleFileAndPrintsTheRowCount) {
    writeClients("1;L'Oréal;26/02/2015\r\n2;Dupont;\r\n");
    RunResult r = run("mssql insert clients.fyk out.sql");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 lignes écrites dans le script 'out.sql'.\n");
    const std::string script = readFile(dir_ / "out.sql");
    EXPECT_TRUE(
        StartsWith(script, "DROP TABLE  [CLIENT];\r\nCREATE TABLE [CLIENT] ([ID] int,"));
    EXPECT_TRUE(Contains(script, "VALUES (1, N'L''Oréal', '20150226');\r\nGO\r\n"));
    EXPECT_TRUE(Contains(script, "VALUES (2, 'Dupont', NULL);\r\nGO\r\n"));
}

TEST_F(MssqlCommand, InsertTakesAnotherDataFileAndTheRowNumber) {
    writeClients("");
    writeFile(dir_ / "other.csv", "ID;NOM;DT\r\n7;Autre;01/01/2001\r\n");
    RunResult r = run("mssql insert clients.fyk out.sql --data other.csv --row-number");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 lignes écrites dans le script 'out.sql'.\n");
    EXPECT_TRUE(Contains(readFile(dir_ / "out.sql"), "VALUES (2, 7, 'Autre', '20010101');"));
}

TEST_F(MssqlCommand, InsertFailsWithAMessageWhenTheFilesCannotBeUsed) {
    writeClients("1;A;\r\n");
    RunResult r = run("mssql insert clients.fyk out.sql --data missing.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "missing.csv"));
    r = run("mssql insert clients.fyk no/such/dir/out.sql");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "Impossible d'écrire le script"));
    EXPECT_EQ(run("mssql").status, 2);
    // A hand-made description without a table name: refused, nothing written.
    FileDesc* d = morvex::testing::makeDescription("Clients", 2, "", {{"ID"}});
    d->ExampleFilePath = strdup((dir_ / "clients.csv").string().c_str());
    morvex::testing::saveDescription(d, dir_ / "unnamed.fyk");
    r = run("mssql insert unnamed.fyk unnamed.sql");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "(e) Script SQL Server : La description n'a pas de nom de table : le script n'est "
              "pas écrit.\nDonnez un nom à la table (propriétés de la description) puis "
              "recommencez.\n");
    EXPECT_FALSE(fs::exists(dir_ / "unnamed.sql"));
}

TEST_F(MssqlCommand, AllWritesTheThreeFilesNamedByTheOptions) {
    writeClients("", 1, true);
    RunResult r =
        run("mssql all clients.fyk --database Ventes --table T_CLI --format-file f.fmt "
            "--bulk-script b.sql --update-script m.sql --data-file 'C:\\import\\data.txt'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "f.fmt\nb.sql\nm.sql\n");
    EXPECT_EQ(r.err, "");
    const std::string format = readFile(dir_ / "f.fmt");
    EXPECT_TRUE(StartsWith(format, "6.0\r\n3\r\n001    SQLCHAR"));
    EXPECT_TRUE(Contains(format, "      0    NOM\r\n"));
    EXPECT_TRUE(Contains(format, "      2    DT\r\n"));
    const std::string bulk = readFile(dir_ / "b.sql");
    EXPECT_TRUE(Contains(bulk, "use [Ventes]\r\nGO"));
    EXPECT_TRUE(
        Contains(bulk, "BULK INSERT [Ventes]..[bcp_T_CLI]\r\nFROM N'C:\\import\\data.txt'"));
    EXPECT_TRUE(Contains(bulk, "FORMATFILE=N'f.fmt'"));
    EXPECT_TRUE(Contains(readFile(dir_ / "m.sql"), "CREATE TABLE [Ventes]..[T_CLI]\r\n"));
}

TEST_F(MssqlCommand, ParametersComeFromAPrmFileThatCanBeSaved) {
    writeClients("");
    RunResult r = run("mssql format clients.fyk --table SAVED --save-prm p.prm");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imp_fmt.fmt\n");
    EXPECT_EQ(fs::file_size(dir_ / "p.prm"), 1174u);
    r = run("mssql update clients.fyk --prm p.prm --update-script u.sql");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(readFile(dir_ / "u.sql"), "CREATE TABLE [Master]..[SAVED]"));
    r = run("mssql bulk clients.fyk --prm missing.prm");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "Impossible d'ouvrir le fichier 'missing.prm'"));
    r = run("mssql bulk clients.fyk --table " + std::string(70, 'T'));
    EXPECT_EQ(r.status, 2);
}

TEST_F(MssqlCommand, WarningsGoToStandardErrorAndDoNotStopTheGeneration) {
    writeClients("", 2, true);
    RunResult r = run("mssql bulk clients.fyk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imp_bcp.sql\n");
    EXPECT_TRUE(
        StartsWith(r.err, "(!) Avertissement : Attention : La colonne 'NOM' () a été marquée"));
    EXPECT_TRUE(Contains(readFile(dir_ / "imp_bcp.sql"), "ROWTERMINATOR='\\r\\n'"));
}

TEST_F(MssqlCommand, AFailedGenerationIsReportedAndTheOthersStillRun) {
    writeClients("");
    RunResult r = run("mssql all clients.fyk --bulk-script no/dir/b.sql");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "imp_fmt.fmt\nimp_maj.sql\n");
    EXPECT_TRUE(Contains(r.err, "Erreur lors de la génération du script de BULK INSERT."));
}

}  // namespace

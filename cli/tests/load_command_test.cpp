#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

class LoadCommand : public morvex::testing::CliFixture {
protected:
    // Runs `script` with /bin/sh in a private mount namespace where `mnt` of the test folder is
    // a small file system of `size` (the shell variable CLI names morvexcli); its standard
    // output. The test fails where such namespaces are not allowed.
    std::string inSmallFileSystem(const std::string& size, const std::string& script) {
        fs::create_directories(dir_ / "mnt");
        writeFile(dir_ / "script.sh", "set -e\nmount -t tmpfs -o size=" + size + " tmpfs mnt\n" +
                                          "CLI='" + MORVEXCLI_PATH +
                                          "'\nexport MORVEX_CONFIG_DIR='" +
                                          (dir_ / "config").string() + "'\n" + script);
        const std::string cmd =
            "cd '" + dir_.string() + "' && unshare -rm sh script.sh >out.txt 2>err.txt";
        EXPECT_EQ(system(cmd.c_str()), 0) << readFile(dir_ / "err.txt");
        return readFile(dir_ / "out.txt");
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
    writeClients("1;L'Oréal;26/02/2015\r\n2;Dupont;\r\n3;Martin;31/02/2015\r\n");
    RunResult r = run("load clients.fyk clients.db --batch 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(StartsWith(r.out, "3 lignes chargées en "));
    EXPECT_TRUE(Contains(r.out,
                         " lignes / s).\n3 ligne(s) lue(s) : 3 enregistrée(s), 0 écartée(s), 0 "
                         "rejetée(s) par la base.\n1 valeur(s) conservée(s) telle(s) quelle(s) "
                         "car non conforme(s) à leur type.\n"));
    EXPECT_EQ(sql("clients.db", "SELECT FileRowID, ID, NOM, quote(DT) FROM CLIENT"),
              "2|1|L'Oréal|'2015-02-26'\n3|2|Dupont|NULL\n4|3|Martin|'31/02/2015'\n");
    EXPECT_EQ(sql("clients.db", "SELECT TableName, DatabaseFilePath FROM FylatekFileDesc"),
              "CLIENT|clients.db\n");
    EXPECT_EQ(sql("clients.db", "SELECT count(*) FROM FylatekFileDescColumn"), "3\n");
}

TEST_F(LoadCommand, TheBundledExampleGivesTheCatalogueTablesAndEveryValue) {
    fs::copy_file(fs::path(MORVEX_SOURCE_DIR_PATH) / "examples" / "clients.csv",
                  dir_ / "clients.csv");
    ASSERT_EQ(run("analyse clients.csv -o ex.fyk").status, 0);
    RunResult r = run("load ex.fyk ex.db --table clients");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sql("ex.db", "SELECT sql FROM sqlite_master WHERE name = 'FylatekFileDesc'"),
              "CREATE TABLE FylatekFileDesc (Version varchar(32),FileDescID int,FileDescUID "
              "char(64),ProjectName varchar(128) ,TableName varchar(63),SchemaName "
              "varchar(63),DatabaseName varchar(63),Description text,FileDescPath "
              "varchar(512),TypeStructFile varchar(32),FirstLineIsHeader int,BeginFromLine "
              "int,EndToLine int,EndOfLine varchar(64),FieldDelimiter varchar(32), LenFixedLine "
              "int,ExampleFilePath varchar(260),DatabaseFilePath varchar(260))\n");
    EXPECT_EQ(sql("ex.db", "SELECT sql FROM sqlite_master WHERE name = 'FylatekFileDescColumn'"),
              "CREATE TABLE FylatekFileDescColumn (\n\"Version\" varchar(32),\n\"FileDescUID\" "
              "char(64),\n\"Position\" int,\n\"ColumnName\" varchar(256) ,\n\"Description\" "
              "varchar(1024),\n\"WidthInChars\" int,\n\"DataType\" varchar(32),\n"
              "\"DataTypeFormat\" varchar(32),\n\"IgnoreColumn\" int,\n\"FieldCannotBeNull\" "
              "int,\n\"DelimCharStart\" char(1),\n\"DelimCharEnd\" char(1),\n\"StartPosition\" "
              "int,\n\"EndPosition\" int)\n");
    EXPECT_EQ(sql("ex.db", "SELECT sql FROM sqlite_master WHERE name = 'FylatekHistory'"),
              "CREATE TABLE \"FylatekHistory\"\n(\nRowID INTEGER PRIMARY KEY AUTOINCREMENT,\n"
              "Query varchar(4000),\nTimeStamp TIMESTAMP DEFAULT CURRENT_TIMESTAMP)\n");
    EXPECT_EQ(sql("ex.db", "SELECT sql FROM sqlite_master WHERE name = 'clients'"),
              "CREATE TABLE \"clients\" (FileRowID int,\n\"ID\" int,\n\"NOM\" varchar(8),\n"
              "\"PRENOM\" varchar(10),\n\"NAISSANCE\" datetime,\n\"VILLE\" varchar(9),\n"
              "\"SOLDE\" decimal(7, 2),\n\"MAJ\" datetime)\n");
    EXPECT_EQ(sql("ex.db",
                  "SELECT FileRowID, ID, NOM, PRENOM, NAISSANCE, VILLE, quote(SOLDE), "
                  "MAJ FROM clients ORDER BY FileRowID"),
              "2|1|DUPONT|Jean|1975-03-12|Paris|1250.5|2014-05-06 05:52:00.000\n"
              "3|2|MARTIN|Sophie|1982-01-01|Lyon|980|2014-05-07 10:00:00.000\n"
              "4|3|BERNARD|Luc|1969-11-25|Marseille|12000.75|2014-05-07 11:30:15.000\n"
              "5|4|PETIT|Claire|2001-06-30|Toulouse|42.1|2014-06-01 08:00:00.000\n"
              "6|5|DURAND|Marie-Anne|1990-07-14|Nantes|-15|2014-06-02 09:15:00.000\n"
              "7|6|LEFEBVRE|Paul|1958-02-02|Lille|0|2014-06-03 17:45:59.000\n");
    EXPECT_EQ(sql("ex.db",
                  "SELECT ProjectName, TableName, TypeStructFile, FieldDelimiter, "
                  "EndOfLine FROM FylatekFileDesc"),
              "clients|clients|VariableSized|;|\\r\\n\n");
}

TEST_F(LoadCommand, TakesTheDataFileAndTableFromTheOptions) {
    writeClients("");
    writeFile(dir_ / "other.csv", "ID;NOM;DT\r\n7;Autre;01/01/2001\r\n");
    RunResult r = run("load clients.fyk out.db --data other.csv --table 'T\"X'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(StartsWith(r.out, "1 lignes chargées en "));
    EXPECT_EQ(sql("out.db", "SELECT ID, NOM, DT FROM \\\"T\\\"\\\"X\\\""), "7|Autre|2001-01-01\n");
}

TEST_F(LoadCommand, FailsWithAMessageAndNoReportWhenTheDatabaseCannotBeOpened) {
    writeClients("1;A;\r\n");
    RunResult r = run("load clients.fyk missing/dir/x.db");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Contains(r.err, "(!) Echec de l'ouverture de la base"));
}

TEST_F(LoadCommand, AFileThatIsNotADatabaseIsRefusedAndLeftAsItWas) {
    writeClients("1;A;\r\n");
    const std::string text(4096, 'x');
    writeFile(dir_ / "notes.db", text);
    RunResult r = run("load clients.fyk notes.db");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Contains(r.err, "file is not a database"));
    EXPECT_EQ(readFile(dir_ / "notes.db"), text);
}

TEST_F(LoadCommand, AFullDiskFailsTheReloadTruthfullyAndKeepsWhatWasThere) {
    std::string rows;
    for (int i = 0; i < 20000; ++i)
        rows += std::to_string(i) + ";Nom numéro " + std::to_string(i) + ";01/01/2000\r\n";
    writeClients(rows);
    writeFile(dir_ / "small.csv", "ID;NOM;DT\r\n1;A;\r\n2;B;\r\n");
    const std::string out = inSmallFileSystem(
        "96k",
        "\"$CLI\" load clients.fyk mnt/x.db --data small.csv >/dev/null\n"
        "if \"$CLI\" load clients.fyk mnt/x.db >load.out 2>load.err; then echo loaded; fi\n"
        "cat load.out load.err\n"
        "sqlite3 mnt/x.db 'PRAGMA integrity_check; SELECT name FROM sqlite_master WHERE name = "
        "\"FylatekHistory\"; SELECT group_concat(NOM, \"\") FROM CLIENT;'\n");
    EXPECT_FALSE(Contains(out, "loaded"));
    EXPECT_FALSE(Contains(out, "lignes chargées en"));
    EXPECT_TRUE(Contains(out, "database or disk is full"));
    EXPECT_TRUE(Contains(out, "aucune ligne n'a été enregistrée"));
    EXPECT_TRUE(Contains(out, "ok\nFylatekHistory\nAB\n")) << out;
}

TEST_F(LoadCommand, AKilledReloadLeavesTheDatabaseAsItWas) {
    std::string rows;
    for (int i = 0; i < 400000; ++i)
        rows += std::to_string(i) + ";Nom numéro " + std::to_string(i) + ";01/01/2000\r\n";
    writeClients(rows);
    writeFile(dir_ / "small.csv", "ID;NOM;DT\r\n1;A;\r\n2;B;\r\n3;C;\r\n");
    ASSERT_EQ(run("load clients.fyk k.db --data small.csv").status, 0);

    // The reload runs in its own process, killed once its transaction has begun.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(127);
        setenv("MORVEX_CONFIG_DIR", (dir_ / "config").c_str(), 1);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(MORVEXCLI_PATH, MORVEXCLI_PATH, "load", "clients.fyk", "k.db", nullptr);
        _exit(127);
    }
    bool begun = false;
    for (int i = 0; i < 20000 && !begun; ++i) {
        begun = fs::exists(dir_ / "k.db-journal");
        if (!begun) usleep(1000);
    }
    usleep(100000);  // well into the rows
    int status = 0;
    const bool stillRunning = waitpid(pid, &status, WNOHANG) == 0;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ASSERT_TRUE(begun);
    ASSERT_TRUE(stillRunning) << "the reload ended before it could be killed";
    EXPECT_EQ(sql("k.db", "PRAGMA integrity_check; SELECT group_concat(NOM, '') FROM CLIENT; "
                          "SELECT count(*) FROM FylatekFileDesc;"),
              "ok\nABC\n1\n");
}

TEST_F(LoadCommand, EachDescriptionKeepsItsCatalogueRowsAndAnOverlongLineIsOneRowSetAside) {
    writeClients("1;A;\r\n2;" + std::string((1 << 20) + 2000, 'x') + ";\r\n3;C;\r\n");
    RunResult r = run("load clients.fyk both.db");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "3 ligne(s) lue(s) : 2 enregistrée(s), 1 écartée(s)"));
    EXPECT_TRUE(Contains(r.out, "1 trop longue(s), coupée(s) à la limite de caractères"));
    // A second description (another table) loaded into the same database.
    writeFile(dir_ / "other.csv", "code,libelle\n7,sept\n");
    ASSERT_EQ(run("analyse other.csv").status, 0);
    ASSERT_EQ(run("load other.fyk both.db").status, 0);
    EXPECT_EQ(sql("both.db", "SELECT TableName FROM FylatekFileDesc ORDER BY TableName; "
                             "SELECT count(*) FROM FylatekFileDescColumn; "
                             "SELECT group_concat(NOM, '') FROM CLIENT;"),
              "CLIENT\nother\n5\nAC\n");
}

TEST_F(LoadCommand, AReadOnlyDatabaseIsRefusedAndKeepsItsRows) {
    writeClients("1;A;\r\n2;B;\r\n");
    const std::string out = inSmallFileSystem(
        "1m",
        "\"$CLI\" load clients.fyk mnt/x.db >/dev/null\n"
        "mount -o remount,ro mnt\n"
        "if \"$CLI\" load clients.fyk mnt/x.db --data clients.csv >load.out 2>load.err; then "
        "echo loaded; fi\n"
        "cat load.out load.err\n"
        "sqlite3 mnt/x.db 'SELECT count(*) FROM CLIENT;'\n");
    EXPECT_FALSE(Contains(out, "loaded"));
    EXPECT_TRUE(Contains(out, "(!) Echec du chargement"));
    EXPECT_TRUE(Contains(out, "readonly database")) << out;  // SQLite's cause is told
    EXPECT_EQ(out.substr(out.size() - 2), "2\n") << out;
}

TEST_F(LoadCommand, RefusesAMissingDataFile) {
    writeClients("");
    RunResult r = run("load clients.fyk x.db --data absent.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "absent.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "x.db"));
    EXPECT_EQ(run("load clients.fyk x.db --batch 0").status, 2);
}

}  // namespace

// tabstrap run as a real process, over the real SQLite ODBC driver registered in a test-local
// odbcinst.ini / odbc.ini, its answers fed on standard input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tabstrap/tests/tabstrap_util.h"

using namespace tabstrap_test;

namespace {

namespace fs = std::filesystem;

// Where Debian installs the SQLite 3 ODBC driver.
const char* const kDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

const std::string kBanner =
    "\nTabstrap - Morvex Fylatek - Octobre 2014\nBuild : 116 Oct  2 2014 18:21:46";
const std::string kAskConnection =
    "\n(?) ODBC a utiliser : \n(?) Identifiant : \n(?) Mot de passe : \n(i) Connexion a l'odbc...";
const std::string kAskOutput = "\n(?) Nom du fichier en sortie [InsertStatements.sql]: ";
const std::string kCatalogueHeading =
    "\n(i) Objets dans le catalogue :\nCatalog.\tSchema\t                    Objet\t    Type\t"
    "Remarq.";
const std::string kAskTable =
    "\n(?) Nom de base et de la table pour l'ecriture du script (<base>..<table>) "
    "[#BaseTable#]: ";
const std::string kEnd = "\n(i) Deconnexion de l'ODBC\nAppuyez sur Entree pour sortir.";
const std::string kEndOfInput = "\n(!) Fin de l'entree standard : arret du programme.\n";

// One catalogue line for a table or a view.
std::string catalogueLine(const std::string& name, const std::string& type) {
    char line[128];
    std::snprintf(line, sizeof line, "\n%8s\t%6s\t%25s\t%8s\t%7s", "", "", name.c_str(),
                  type.c_str(), "");
    return line;
}

// The query question for target `table`.
std::string askQuery(const std::string& table) {
    return "\n(?) Requete a executer [SELECT * FROM " + table + ";]: ";
}

// The progress lines of `rows` rows.
std::string progress(int rows) {
    std::string text;
    for (int i = 1; i <= rows; ++i) text += "\r" + std::to_string(i) + " lignes ecrites...";
    return text;
}

// What a finished run left behind.
struct ProgramRun {
    int status = -1;     // exit status, -1 when it did not exit normally
    std::string output;  // standard output
};

class Tabstrap : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(access(kDriver, R_OK), 0)
            << "SQLite ODBC driver not installed (tools/install-deps.sh installs it)";
        std::string pattern = testing::TempDir() + "tabstrap_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = fs::canonical(pattern);
        std::ofstream(dir_ / "odbcinst.ini")
            << "[SQLite3]\nDescription=SQLite 3\nDriver=" << kDriver << "\n";
        std::ofstream(dir_ / "odbc.ini")
            << "[demo]\nDriver=SQLite3\nDatabase=" << (dir_ / "demo.db").string() << "\n"
            << "[broken]\nDriver=SQLite3\nDatabase=" << (dir_ / "nowhere" / "x.db").string()
            << "\n";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs `sql` on the test database, creating it when needed.
    void sql(const std::string& statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((dir_ / "demo.db").string().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        const int rc = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error);
        const std::string message = error ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK) << message;
    }

    // The child's side of a run: directory and ODBC registration of the test.
    void prepareChild() {
        if (chdir(dir_.c_str()) != 0) _exit(127);
        setenv("ODBCSYSINI", dir_.c_str(), 1);
        setenv("ODBCINI", (dir_ / "odbc.ini").c_str(), 1);
        // The installer library of the driver manager keeps its parsed odbc.ini when the
        // driver asks for its settings, and the driver is unloaded before exit: a leak report
        // there would name no module of ours (sanitizer builds only).
        setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
    }

    // Runs tabstrap with `input` as its standard input (a file).
    ProgramRun run(const std::string& input) {
        const fs::path inputPath = dir_ / "answers.txt";
        std::ofstream(inputPath, std::ios::binary) << input;
        ProgramRun result;
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return result;
        const pid_t child = fork();
        if (child == 0) {
            const int in = open(inputPath.c_str(), O_RDONLY);
            if (in < 0) _exit(127);
            dup2(in, STDIN_FILENO);
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            prepareChild();
            execl(TABSTRAP_PATH, TABSTRAP_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[1]);
        char chunk[65536];
        ssize_t got;
        while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0) result.output.append(chunk, got);
        close(pipeEnds[0]);
        int status = 0;
        if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
            result.status = WEXITSTATUS(status);
        return result;
    }

    // The connection part of a successful run, up to the catalogue heading included.
    std::string connected(const std::string& askOutput = kAskOutput) {
        return kBanner + kAskConnection + "OK\n(i) Repertoire courant : '" + dir_.string() + "'" +
               askOutput + kCatalogueHeading;
    }

    fs::path dir_;  // scratch directory: odbc.ini, odbcinst.ini, demo.db, the scripts
};

TEST_F(Tabstrap, WritesTheTwoRowExampleByteForByte) {
    sql("CREATE TABLE clients (ID integer, NOM varchar(30));"
        "INSERT INTO clients VALUES (1, 'O''Brien'), (2, NULL);");
    const ProgramRun result = run("demo\nsa\nsecret\nexport.sql\nclients\n\n\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              connected() + catalogueLine("clients", "TABLE") +
                  "\n(?) Nom de base et de la table pour l'ecriture du script (<base>..<table>) "
                  "[#BaseTable#]: " +
                  askQuery("clients") +
                  "(i) Execution de la requete\n(i) Ecriture dans le fichier 'export.sql'...\n"
                  "\n2 colonnes" +
                  progress(2) + "\n2 lignes" + kEnd);
    EXPECT_EQ(readFile(dir_ / "export.sql"),
              header("clients") +
                  "\n\nINSERT INTO clients (ID, NOM)\nVALUES (1, 'O''Brien')"
                  "\n\nINSERT INTO clients (ID, NOM)\nVALUES (2, NULL)" +
                  footer(2));
}

TEST_F(Tabstrap, KeepsTheDefaultsForEmptyAndOneCharacterAnswers) {
    sql("CREATE TABLE t (ID integer); INSERT INTO t VALUES (7);");
    const ProgramRun result = run("demo\n\n\nx\n\nSELECT * FROM t\n\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, connected() + catalogueLine("t", "TABLE") + kAskTable +
                                 askQuery("#BaseTable#") +
                                 "(i) Execution de la requete\n(i) Ecriture dans le fichier "
                                 "'InsertStatements.sql'...\n\n1 colonnes" +
                                 progress(1) + "\n1 lignes" + kEnd);
    EXPECT_EQ(readFile(dir_ / "InsertStatements.sql"),
              header("#BaseTable#") + "\n\nINSERT INTO #BaseTable# (ID)\nVALUES (7)" + footer(1));
    EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(Tabstrap, WritesEveryKindOfValueWholeAndQuoted) {
    // The driver reports NOM as VARCHAR and the large NOTE as LONGVARCHAR.
    // 21 000 characters holding 7 000 quotes, as an SQL literal (quotes doubled) and as written.
    std::string doubled;
    for (int i = 0; i < 7000; ++i) doubled += "l''a";
    const std::string longName(150, 'C');
    sql("CREATE TABLE mix (ID integer, NOM varchar(40), CREE timestamp, JOUR date, MONTANT "
        "numeric(10,2), NOTE varchar(30000), " +
        longName +
        " integer);"
        "INSERT INTO mix VALUES (1, 'l''ami ''quote''', '2014-05-06 05:52:00.000', "
        "'2014-05-06', 12.25, '" +
        doubled +
        "', 5);"
        "INSERT INTO mix VALUES (-2, '" +
        doubled + "', NULL, NULL, NULL, NULL, NULL);");
    const ProgramRun result =
        run("demo\nu\np\nmix.sql\ncopie..mix\nSELECT * FROM mix ORDER BY ID DESC\n\n");
    EXPECT_EQ(result.status, 0);
    const std::string columns =
        "\n\nINSERT INTO copie..mix (ID, NOM, CREE, JOUR, MONTANT, NOTE, " + longName + ")";
    EXPECT_EQ(readFile(dir_ / "mix.sql"),
              header("copie..mix") + columns +
                  "\nVALUES (1, 'l''ami ''quote''', '20140506 05:52:00', '20140506 00:00:00', "
                  "12.25, /* Type de donnée non pris en charge (-1) */ '" +
                  doubled + "', 5)" + columns + "\nVALUES (-2, '" + doubled +
                  "', NULL, NULL, NULL, NULL, NULL)" + footer(2));
    // The date without time is reported on the console, the end of its text in words.
    EXPECT_NE(result.output.find("\n7 colonnes\n[ERREUR][DATE_Convert] ' ' etait attendu, "
                                 "la fin du texte obtenu\r1 lignes ecrites..."),
              std::string::npos)
        << result.output;
}

TEST_F(Tabstrap, WritesHeaderAndClosingCommentForAQueryWithoutColumns) {
    sql("CREATE TABLE t (ID integer);");
    const ProgramRun result =
        run("demo\nu\np\nnone.sql\nbase..t\nCREATE TABLE other (A integer)\n\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("(i) Execution de la requete\n(i) Ecriture dans le fichier "
                                 "'none.sql'...\n\n0 colonnes\n0 lignes" +
                                 kEnd),
              std::string::npos)
        << result.output;
    EXPECT_EQ(readFile(dir_ / "none.sql"), header("base..t") + footer(0));
}

TEST_F(Tabstrap, ListsTablesAndViewsOfTheCatalogue) {
    sql("CREATE TABLE alpha (A integer); CREATE VIEW beta AS SELECT A FROM alpha;");
    const ProgramRun result = run("demo\nu\np\n\nalpha\n\n\n");
    EXPECT_NE(result.output.find(kCatalogueHeading + catalogueLine("alpha", "TABLE") +
                                 catalogueLine("beta", "VIEW") + "\n(?) Nom de base"),
              std::string::npos)
        << result.output;
}

TEST_F(Tabstrap, AsksAgainAfterEachFailedConnection) {
    sql("CREATE TABLE t (ID integer);");
    const ProgramRun result =
        run("nosuchdsn\nu\np\nbroken\nu\np\ndemo\nu\np\n\nbase..t\nSELECT 1 AS A\n\n");
    EXPECT_EQ(result.status, 0);
    const std::string expected =
        kBanner + kAskConnection +
        "\nErreur de connexion ODBC\nSQL ERROR : SQLState=IM002; NativeErrorPtr=0; "
        "MessageText=[unixODBC][Driver Manager]Data source name not found and no default "
        "driver specified\nERREUR : Impossible de se connecter a l'ODBC 'nosuchdsn'" +
        kAskConnection +
        "\nErreur de connexion ODBC\nSQL ERROR : SQLState=S1000; NativeErrorPtr=14; "
        "MessageText=[unixODBC][SQLite]connect failed\nERREUR : Impossible de se connecter a "
        "l'ODBC 'broken'" +
        kAskConnection + "OK\n(i) Repertoire courant";
    EXPECT_EQ(result.output.substr(0, expected.size()), expected);
    EXPECT_EQ(readFile(dir_ / "InsertStatements.sql"),
              header("base..t") + "\n\nINSERT INTO base..t (A)\nVALUES (1)" + footer(1));
}

TEST_F(Tabstrap, AsksTheQueryAgainAfterItFails) {
    sql("CREATE TABLE t (ID integer); INSERT INTO t VALUES (3);");
    const ProgramRun result =
        run("demo\nu\np\n\nt2\nSELECT * FROM nowhere\n\nSELECT ID FROM t\n\n");
    EXPECT_EQ(result.status, 0);
    const std::string failure =
        "(i) Execution de la requeteSQL Error:\nSQLSTATE=S1000\nNative error=1\n"
        "msg='[SQLite]no such table: nowhere (1)'\n"
        "\nERREUR lors de l'execution de la requete : ABANDON";
    const std::string defaultFailure =
        "(i) Execution de la requeteSQL Error:\nSQLSTATE=S1000\nNative error=1\n"
        "msg='[SQLite]no such table: t2 (1)'\n"
        "\nERREUR lors de l'execution de la requete : ABANDON";
    EXPECT_NE(result.output.find(askQuery("t2") + failure + askQuery("t2") + defaultFailure +
                                 askQuery("t2") + "(i) Execution de la requete\n(i) Ecriture"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(readFile(dir_ / "InsertStatements.sql"),
              header("t2") + "\n\nINSERT INTO t2 (ID)\nVALUES (3)" + footer(1));
}

TEST_F(Tabstrap, DisconnectsNormallyWhenTheScriptCannotBeCreated) {
    sql("CREATE TABLE t (ID integer); INSERT INTO t VALUES (3);");
    const ProgramRun result = run("demo\nu\np\nmissing/out.sql\nbase..t\nSELECT ID FROM t\n\n");
    EXPECT_EQ(result.status, 0);
    const std::string tail =
        "(i) Execution de la requete\n(!) Erreur a l'ouverture du fichier 'missing/out.sql'" + kEnd;
    ASSERT_GE(result.output.size(), tail.size());
    EXPECT_EQ(result.output.substr(result.output.size() - tail.size()), tail);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(Tabstrap, EndsCleanlyAtTheEndOfInputAtEveryQuestion) {
    sql("CREATE TABLE t (ID integer);");
    // Answers in the order the questions come; a failing query makes the loop ask again.
    const std::vector<std::string> answers = {
        "nosuchdsn", "u", "p", "demo", "u", "p", "out.sql", "base..t", "SELECT * FROM nowhere"};
    for (std::size_t given = 0; given <= answers.size(); ++given) {
        SCOPED_TRACE("answers given: " + std::to_string(given));
        std::string input;
        for (std::size_t i = 0; i < given; ++i) input += answers[i] + "\n";
        const auto started = std::chrono::steady_clock::now();
        const ProgramRun result = run(input);
        EXPECT_EQ(result.status, 0);
        ASSERT_GE(result.output.size(), kEndOfInput.size());
        EXPECT_EQ(result.output.substr(result.output.size() - kEndOfInput.size()), kEndOfInput);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_FALSE(fs::exists(dir_ / "out.sql"));
    }
    // The last wait for Enter takes the end of input as its answer.
    const ProgramRun finished = run("demo\nu\np\nout.sql\nbase..t\nSELECT * FROM t\n");
    EXPECT_EQ(finished.status, 0);
    ASSERT_GE(finished.output.size(), kEnd.size());
    EXPECT_EQ(finished.output.substr(finished.output.size() - kEnd.size()), kEnd);
}

// Reads the terminal's output until it holds `wanted` (or 10 seconds pass).
bool readUntil(int fd, std::string& seen, const std::string& wanted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen.find(wanted) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 200) <= 0) continue;
        char chunk[4096];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) return false;
        seen.append(chunk, got);
    }
    return true;
}

TEST_F(Tabstrap, DoesNotEchoThePasswordOnATerminal) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        prepareChild();
        execl(TABSTRAP_PATH, TABSTRAP_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    auto answer = [&](const std::string& question, const std::string& text) {
        ASSERT_TRUE(readUntil(terminal, seen, question)) << seen;
        seen += "|";  // so that the next question is looked for after this one
        ASSERT_EQ(write(terminal, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    };
    answer("ODBC a utiliser : ", "nosuchdsn\n");
    answer("Identifiant : ", "someone\n");
    answer("Mot de passe : ", "hushhush\n");
    answer("Impossible de se connecter a l'ODBC 'nosuchdsn'\r\n(?) ODBC a utiliser : ", "\x04");
    EXPECT_TRUE(readUntil(terminal, seen, "arret du programme.")) << seen;
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(seen.find("someone"), std::string::npos) << seen;  // the user name is echoed
    EXPECT_EQ(seen.find("hushhush"), std::string::npos) << seen;
}

// The SQLite driver keeps its values as texts of 15 significant digits: the doubles here fit.
TEST_F(Tabstrap, ScriptRunByTheSqliteShellGivesTheSameValuesBack) {
    sql("CREATE TABLE src (id integer, \"Code Client\" varchar(20), \"Prénom\" varchar(20), "
        "note varchar(20000), ratio double, big bigint);"
        "INSERT INTO src VALUES (1, 'C 01', 'Zoé', 'l''ami \\ \"x\"' || char(10) || 'fin', "
        "0.25, 9876543210), (2, NULL, 'NULL', replace(hex(zeroblob(5000)), '00', 'a'''), "
        "-1234567.125e-3, -9876543210), (3, '', '', NULL, NULL, NULL);");
    const ProgramRun result = run("demo\nu\np\ncopy.sql\ndst\nSELECT * FROM src\n\n");
    ASSERT_EQ(result.status, 0);
    // The statements end without a separator: the shell gets one before each.
    std::string script = readFile(dir_ / "copy.sql");
    for (std::size_t at = 0; (at = script.find("\nINSERT INTO dst (", at)) != std::string::npos;
         at += 2) {
        script.insert(at, ";");
    }
    std::ofstream(dir_ / "copy-shell.sql", std::ios::binary) << script << ";\n";
    sql("CREATE TABLE dst AS SELECT * FROM src WHERE 0;");
    const std::string shell = "sqlite3 -bail '" + (dir_ / "demo.db").string() + "' < '" +
                              (dir_ / "copy-shell.sql").string() + "'";
    ASSERT_EQ(std::system(shell.c_str()), 0) << script;
    // Every row back, none differing either way.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ / "demo.db").string().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT (SELECT count(*) FROM dst), (SELECT count(*) FROM "
                                 "(SELECT * FROM src EXCEPT SELECT * FROM dst)), (SELECT "
                                 "count(*) FROM (SELECT * FROM dst EXCEPT SELECT * FROM src))",
                                 -1, &stmt, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 3);
    EXPECT_EQ(sqlite3_column_int(stmt, 1), 0) << script;
    EXPECT_EQ(sqlite3_column_int(stmt, 2), 0) << script;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

}  // namespace

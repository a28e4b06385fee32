// The rows of the PostgreSQL load in COPY's binary format against the same rows in its text
// format, on a throw-away cluster: a file of values at the edges of each type (int4 and bigint
// bounds, an int4 overflow, decimals that round, vanish or overflow numeric(7,2), the first and
// last days, a leap day, the day before PostgreSQL's epoch, an impossible day, times to the
// second, texts with a backslash, a tab, accents, an empty text and one too long) loaded twice
// must give the same table and the same rejects with the server's same messages, the binary
// load having really sent binary chunks and the rows it could not carry as text.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <string>

#include "filedesc/filedesc.h"
#include "foundation/testing/files.h"
#include "foundation/testing/pgcluster.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "pgload/pgload.h"

namespace {

std::string sourceDir() {
    const char* env = getenv("MORVEX_SOURCE_DIR");
    return env && *env ? env : MORVEX_SOURCE_DIR_PATH;
}

// Every row of `sql`'s result as the server writes its values, "|" between them, NULL as "∅".
std::string rowsOf(const std::string& sql) {
    PGconn* c = PQconnectdb(morvex::testing::ThrowAwayCluster::connection().c_str());
    PGresult* r = PQexec(c, sql.c_str());
    std::string out = PQresultStatus(r) == PGRES_TUPLES_OK ? "" : PQresultErrorMessage(r);
    for (int i = 0; i < PQntuples(r); ++i) {
        for (int j = 0; j < PQnfields(r); ++j)
            out += std::string(j ? "|" : "") + (PQgetisnull(r, i, j) ? "∅" : PQgetvalue(r, i, j));
        out += "\n";
    }
    PQclear(r);
    PQfinish(c);
    return out;
}

TEST(PostgresqlCopyFormats, BinaryAndTextGiveTheSameTableAndRejects) {
    morvex::testing::TempDir dir("pgcopy_test");
    morvex::testing::ThrowAwayCluster cluster(dir.path());
    ASSERT_TRUE(cluster.ready()) << cluster.log();

    morvex::TraceCapture quiet;
    FileDesc* desc = FILEDESC_OpenFileDesc((sourceDir() + "/examples/clients.fyk").c_str());
    ASSERT_NE(desc, nullptr);
    // ID integer, NOM varchar(10), PRENOM varchar(12), NAISSANCE date, VILLE made a bigint,
    // SOLDE numeric(7,2), MAJ timestamp.
    for (const ColumnOwner& columnOwner : desc->columns) {
        ColumnDesc* column = columnOwner.get();
        if (std::string(column->code) == "VILLE") {
            column->typeCible.type = DATATYPE_INTEGER;
            column->typeCible.fmtEntier.taille = 12;
        }
    }
    const std::string data = dir.write(
        "bords.csv",
        "ID;NOM;PRENOM;NAISSANCE;VILLE;SOLDE;MAJ\r\n"
        "1;\"a\\b\";\"Jean\";29/02/2000;9223372036854775807;0,005;2014-05-06 05:52:00\r\n"
        "2;\"tab\tx\";\"Zoë\";01/01/0001;-9223372036854775808;-0,5;0001-01-01 00:00:00\r\n"
        "2147483647;\"\";\"é\";31/12/1999;0;99999,99;1999-12-31 23:59:59\r\n"
        "-2147483648;\"Noël\";\"x\";01/01/2000;12;-0,00;2000-01-01 00:00:00\r\n"
        "2147483648;\"hors\";\"int4\";01/01/2000;1;1;2000-01-01 00:00:00\r\n"
        "7;\"jour\";\"absent\";30/02/2015;1;1;2000-01-01 00:00:00\r\n"
        "8;\"gros\";\"solde\";01/01/2000;1;123456,78;2000-01-01 00:00:00\r\n"
        "9;\"fin\";\"x\";31/12/9999;;0,0000001;9999-12-31 23:59:59\r\n"
        "10;\"beaucouptroplong\";\"x\";01/01/2000;1;1;2000-01-01 00:00:00\r\n"
        ";\"arrondi\";\"x\";15/08/1995;5;12,345;2024-02-29 12:00:01\r\n"
        "11;\"apres\";\"x\";15/08/1995;-5;-12,345;1970-01-01 00:00:00\r\n");
    FILEDESC_SetExampleFilePath(desc, data.c_str());

    struct Run {
        const char* schema;
        bool textCopy;
        SQLITE4FYK_LOADSTATS stats{};
        std::string trace{}, rejects{};
    } runs[] = {{"texte", true}, {"binaire", false}};
    for (Run& run : runs) {
        PGLOAD_OPTIONS options;
        options.schema = run.schema;
        options.textCopy = run.textCopy;
        options.load.rejectsPath = dir.file(std::string(run.schema) + "-rejets.csv");
        TASK task{};
        morvex::TraceCapture capture;
        EXPECT_EQ(PGLOAD_LoadDataInDatabase(&task, desc, morvex::testing::ThrowAwayCluster::connection().c_str(),
                                            1000, 1, &run.stats, &options),
                  0)
            << run.stats.failure;
        run.trace = capture.text();
        run.rejects = morvex::testing::readFile(options.load.rejectsPath);
    }
    FILEDESC_CloseFileDesc(desc);

    const std::string text = rowsOf("SELECT * FROM texte.\"CLIENTS\" ORDER BY 1");
    const std::string binary = rowsOf("SELECT * FROM binaire.\"CLIENTS\" ORDER BY 1");
    EXPECT_EQ(binary, text);
    // The rows the server takes, as it reads them: rounded, bounds kept.
    EXPECT_NE(text.find("|1|a\\b|Jean|2000-02-29|9223372036854775807|0.01|2014-05-06 05:52:00\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("|-2147483648|Noël|x|2000-01-01|12|0.00|2000-01-01 00:00:00\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("|fin|x|9999-12-31|∅|0.00|9999-12-31 23:59:59\n"), std::string::npos) << text;
    EXPECT_NE(text.find("|∅|arrondi|x|1995-08-15|5|12.35|2024-02-29 12:00:01\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("|11|apres|x|1995-08-15|-5|-12.35|1970-01-01 00:00:00\n"), std::string::npos)
        << text;
    // The int4 overflow, the numeric overflow and the long name (the impossible day is set
    // aside by the reading, before the server).
    EXPECT_EQ(runs[0].stats.rowsRejected, 3) << runs[0].rejects;
    EXPECT_EQ(runs[1].stats.rowsStored, runs[0].stats.rowsStored);
    EXPECT_EQ(runs[1].stats.rowsRejected, runs[0].stats.rowsRejected);
    EXPECT_EQ(runs[1].rejects, runs[0].rejects);
    EXPECT_NE(runs[0].rejects.find("out of range for type integer"), std::string::npos)
        << runs[0].rejects;
    EXPECT_NE(runs[0].rejects.find("numeric field overflow"), std::string::npos) << runs[0].rejects;
    EXPECT_NE(runs[0].rejects.find("character varying(10)"), std::string::npos) << runs[0].rejects;

    EXPECT_NE(runs[0].trace.find("COPY : 0 bloc(s) en binaire, 1 en texte"), std::string::npos)
        << runs[0].trace;
    // Binary up to the int4 overflow, text from there to the end of the chunk.
    EXPECT_NE(runs[1].trace.find("COPY : 1 bloc(s) en binaire, 1 en texte"), std::string::npos)
        << runs[1].trace;
}

}  // namespace

// What a load tells once it has ended: where every row went and where the database is.
#include "appcore/loadsummary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sqliteload/loadrows.h"

namespace {

SQLITE4FYK_LOADSTATS finished() {
    SQLITE4FYK_LOADSTATS st{};
    st.status = SQLITE4FYK_LOAD_DONE;
    st.rows = 7;
    st.rowsStored = 4;
    st.rowsSetAside = 2;
    st.rowsUnclosedQuote = 1;
    st.rowsTooLong = 1;
    st.rowsRejected = 1;
    st.valuesNotTyped = 3;
    return st;
}

TEST(LoadOutcome, AFinishedLoadNamesItsTableItsDatabaseAndWhereEveryRowWent) {
    EXPECT_EQ(LOAD_Outcome(finished(), "/données/clients.db", "CLIENTS"),
              "Table 'CLIENTS' de la base '/données/clients.db'.\n"
              "7 ligne(s) lue(s) : 4 enregistrée(s), 2 écartée(s), 1 rejetée(s) par la base.\n"
              "Lignes écartées : 1 avec un champ protégé jamais fermé, 1 trop longue(s), "
              "coupée(s) à la limite de caractères.\n"
              "3 valeur(s) conservée(s) telle(s) quelle(s) car non conforme(s) à leur type.\n");
    EXPECT_EQ(
        LOAD_Outcome(finished(), ":memory:", "T")
            .rfind("Table 'T' chargée dans une base en mémoire, refermée à la fin du chargement.\n"
                   "7 ligne(s) lue(s) : 4 enregistrée(s)",
                   0),
        0u);
}

TEST(LoadOutcome, AFailedOrStoppedLoadClaimsNoRow) {
    SQLITE4FYK_LOADSTATS st = finished();
    st.status = SQLITE4FYK_LOAD_FAILED;
    strcpy(st.error, "database or disk is full");
    EXPECT_EQ(LOAD_Outcome(st, "b.db", "T"),
              "Le chargement a échoué : la base 'b.db' est restée telle qu'elle était.\n"
              "Cause : database or disk is full\n");
    st.status = SQLITE4FYK_LOAD_INTERRUPTED;
    EXPECT_EQ(LOAD_Outcome(st, "b.db", "T"),
              "Chargement arrêté : la base 'b.db' est restée telle qu'elle était.\n");
}

TEST(LoadOutcome, TheCommandLineSummaryKeepsItsHintAndRejectsFile) {
    SQLITE4FYK_LOADSTATS st = finished();
    st.rowsMisshapedStored = 2;
    st.firstMisshapedLine = 5;
    const std::string out =
        LOAD_Summary(st, "rejets.csv", " ; --rejects ou --max-rejects les écarte");
    EXPECT_NE(out.find("jamais fermé, 1 trop longue(s), coupée(s) à la limite de caractères ; "
                       "listées dans 'rejets.csv'.\n"),
              std::string::npos);
    EXPECT_NE(out.find("la première à la ligne 5 ; --rejects ou --max-rejects les écarte.\n"),
              std::string::npos);
    // Values over several lines and blank lines are told too, by both front ends.
    st.valuesMultiLine = 2;
    st.firstMultiLineLine = 9;
    st.blankLines = 3;
    const std::string desktop = LOAD_Outcome(st, "b.db", "T");
    EXPECT_NE(desktop.find("2 valeur(s) sur plusieurs lignes, la première ligne 9.\n3 ligne(s) "
                           "vide(s) ignorée(s).\n"),
              std::string::npos)
        << desktop;
}

TEST(LoadOutcome, SeveralFilesNameTheFileOfTheFirstLineTold) {
    // The rows of the second file are the first of another shape or over several lines: their
    // line number alone would send the reader to the first file.
    SQLITE4FYK_LOADSTATS st = finished();
    st.files = {{"ventes_01.csv"}, {"ventes_02.csv"}, {"ventes_03.csv"}};
    loadrows::LoadRow row{};
    row.fieldCount = 3;
    row.file = 0;
    row.line = 2;
    loadrows::CountOffered(st, row, 3);
    row.file = 1;
    row.line = 7;
    row.fieldCount = 2;
    row.multiLineValues = 1;
    loadrows::CountOffered(st, row, 3);
    row.file = 2;
    row.line = 4;
    loadrows::CountOffered(st, row, 3);
    const std::string out = LOAD_Summary(st, "", "");
    EXPECT_NE(out.find("la première à la ligne 7 de 'ventes_02.csv'.\n"), std::string::npos) << out;
    EXPECT_NE(out.find("la première ligne 7 de 'ventes_02.csv'.\n"), std::string::npos) << out;
    // One file: the line alone, as before.
    st.files.resize(1);
    EXPECT_NE(LOAD_Summary(st, "", "").find("la première à la ligne 7.\n"), std::string::npos);
}

}  // namespace

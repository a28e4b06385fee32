#include "filedesc/analyse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "filedesc/descdialect.h"
#include "filedesc/tests/fdtest_util.h"
#include "filedesc/typerecog.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

using fdtest::DescPtr;

// Installs a scripted port for the test and gives a temporary directory.
class Analyse : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override {
        morvex::setUiPort(nullptr);
        FILEDESC_SetAnalysisLimits(0, 0);
    }

    // A delimited description ("\r\n", ";") without columns.
    static DescPtr newDesc(int header) {
        DescPtr d(FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
        d->FirstLineIsHeader = header;
        return d;
    }
    // Writes the lines joined by CR LF and returns the file's path.
    std::string writeLines(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& l : lines) text += l + "\r\n";
        std::string path = dir.file(name);
        fdtest::writeAll(path, text);
        return path;
    }
    // Header "ID;NOM;DATE" then n rows.
    std::string peopleFile(int n, bool header = true) {
        std::vector<std::string> lines;
        if (header) lines.push_back("ID;NOM;DATE");
        for (int i = 1; i <= n; ++i)
            lines.push_back(std::to_string(i) +
                            (i % 2 ? ";Dupont;26/02/2015" : ";Martin;01/03/2015"));
        return writeLines("people.csv", lines);
    }
    static ColumnDesc* column(FileDesc* d, int pos) { return FILEDESC_SearchColumnByPos(d, pos); }
    std::vector<morvex::RecordedTaskEvent> progressWithRange(int range) const {
        std::vector<morvex::RecordedTaskEvent> out;
        for (const auto& e : port.events)
            if (e.event == TASK_EVENT_PROGRESS && e.range == range && e.position % 100 == 0 &&
                e.message.find("ligne(s) analysées") != std::string::npos)
                out.push_back(e);
        return out;
    }

    morvex::ScriptedUiPort port;
    fdtest::TempDir dir;
};

TEST_F(Analyse, HeaderLineNamesTheColumnsAndTheRowsGiveTheirTypes) {
    std::string path = writeLines("people.csv", {"ID;NOM;DATE", "1;Dupont;26/02/2015",
                                                 "2;Martin-Leroy;27/02/2015", "3;Li;2015-02-28"});
    DescPtr d = newDesc(1);
    morvex::TraceCapture capture;
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 3);
    EXPECT_STREQ(column(d.get(), 1)->code, "ID");
    EXPECT_STREQ(column(d.get(), 1)->Description, "ID");
    EXPECT_STREQ(column(d.get(), 2)->code, "NOM");
    EXPECT_STREQ(column(d.get(), 3)->code, "DATE");
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(column(d.get(), 2)->typeCible.type, DATATYPE_VARIABLECHAR);
    EXPECT_EQ(column(d.get(), 2)->typeCible.fmtChaineVar.tailleMax, 12);
    EXPECT_EQ(column(d.get(), 3)->typeCible.type, DATATYPE_DATE);
    EXPECT_STREQ(column(d.get(), 3)->typeCible.fmtDate, "jj/mm/aaaa");  // first layout seen
    EXPECT_EQ(column(d.get(), 1)->WidthInChars, 1);                     // header texts do not count
    EXPECT_EQ(column(d.get(), 2)->WidthInChars, 12);
    EXPECT_EQ(column(d.get(), 3)->Position, 3);

    std::string trace = capture.text();
    EXPECT_NE(trace.find("\n[FYK_LaunchFileAnalyse] : Appel"), std::string::npos);
    EXPECT_NE(trace.find("\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Analyzing file [" + path +
                         "] With MaxRows=1000"),
              std::string::npos);
    EXPECT_NE(
        trace.find("\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne reconnue : [NOM]"),
        std::string::npos);
    EXPECT_NE(trace.find("\nFin de l'analyse du fichier"), std::string::npos);

    ASSERT_EQ(port.taskRuns, 1);
    ASSERT_EQ(port.events.size(), 3u);
    EXPECT_EQ(port.events[0].message, "Analyse du fichier délimité...");
    EXPECT_EQ(port.events[0].event, TASK_EVENT_PROGRESS);
    EXPECT_EQ(port.events[0].range, 0);
    EXPECT_EQ(port.events[1].message,
              "Ajustement automatique des types en fonction des statistiques de colonnes...");
    EXPECT_EQ(port.events[1].range, 1000);
    EXPECT_EQ(port.events[1].position, 4);
    EXPECT_EQ(port.events[2].event, TASK_EVENT_FINISHED);
    EXPECT_EQ(port.events[2].message, "Tâche terminée.");
    EXPECT_EQ(port.events[2].position, 100);
    EXPECT_EQ(port.statusTexts.front(), "Analyse du fichier délimité...");
    EXPECT_EQ(port.statusTexts.back(), "Terminé.");
    // The analysis shows nothing itself: its front ends show the report.
    EXPECT_TRUE(port.previews.empty());
    EXPECT_TRUE(port.refreshes.empty());
    EXPECT_TRUE(port.panel.empty());
}

TEST_F(Analyse, WithoutHeaderTheFirstRowIsNamedByPositionAndAnalysed) {
    std::string path = peopleFile(3, false);
    DescPtr d = newDesc(0);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 3);
    EXPECT_STREQ(column(d.get(), 1)->code, "COL001");
    EXPECT_STREQ(column(d.get(), 3)->code, "COL003");
    ASSERT_NE(column(d.get(), 1)->stats, nullptr);
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 3);  // first row included
    EXPECT_EQ(column(d.get(), 3)->typeCible.type, DATATYPE_DATE);
}

TEST_F(Analyse, FieldBeyondTheLastColumnAddsOneUndeclaredColumn) {
    std::string path =
        writeLines("extra.csv", {"A;B;C", "1;x;y", "2;x;y;surplus", "3;x;y;encore", "4;x;y"});
    DescPtr d = newDesc(1);
    morvex::TraceCapture capture;
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 4);
    EXPECT_STREQ(column(d.get(), 4)->code, "UndeclaredColumn4");
    EXPECT_EQ(column(d.get(), 4)->WidthInChars, 7);
    EXPECT_EQ(column(d.get(), 4)->stats->countVariableStrings, 2);
    const std::string line =
        "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne non déclarée ajoutée : "
        "[UndeclaredColumn4]";
    std::string trace = capture.text();
    size_t first = trace.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(trace.find(line, first + 1), std::string::npos);
}

TEST_F(Analyse, RerunWithoutAddingColumnsReplacesTheStatistics) {
    std::string path = peopleFile(5);
    DescPtr d = newDesc(1);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 0), 0);
    EXPECT_EQ(static_cast<int>(d->columns.size()), 3);  // the header names nothing new
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 5);  // not 10
}

TEST_F(Analyse, RowLimitAnalysesThatManyDataRowsWithProgressEveryHundred) {
    std::string path = peopleFile(1500);
    DescPtr d = newDesc(1);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    // Rows 2 to 1001 of the file are analysed.
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 1000);
    EXPECT_EQ(column(d.get(), 1)->WidthInChars, 4);
    std::vector<morvex::RecordedTaskEvent> progress = progressWithRange(1000);
    ASSERT_EQ(progress.size(), 10u);
    for (size_t i = 0; i < progress.size(); ++i) {
        int row = 100 * static_cast<int>(i + 1);
        EXPECT_EQ(progress[i].position, row);
        EXPECT_EQ(progress[i].message, std::to_string(row) + "/1000 ligne(s) analysées");
    }
    EXPECT_EQ(port.statusTexts[1], "100/1000 ligne(s) analysées");
    EXPECT_EQ(port.events.back().event, TASK_EVENT_FINISHED);
    EXPECT_EQ(port.events[port.events.size() - 2].position, 1001);  // rows read
    // Without a header the limit counts one data row more.
    path = peopleFile(1500, false);
    d = newDesc(0);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 1001);
}

TEST_F(Analyse, CancelKeepsTheRowsReadAndEndsShortened) {
    std::string path = peopleFile(1000);
    DescPtr d = newDesc(1);
    port.stopAfterEvents = 4;  // the opening message, then rows 100, 200 and 300
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    // Rows 2 to 300: the header is row 1.
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 299);
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(column(d.get(), 3)->typeCible.type, DATATYPE_DATE);
    ASSERT_GE(port.events.size(), 3u);
    const auto& last = port.events.back();
    EXPECT_EQ(last.event, TASK_EVENT_INTERRUPTED);
    EXPECT_EQ(last.message, "Tâche terminée mais écourtée à la demande de l'utilisateur.");
    EXPECT_EQ(port.events[4].event, TASK_EVENT_INTERRUPTED);
    EXPECT_EQ(port.events[4].message, "Annulation de la tâche à la demande de l'utilisateur.");
    EXPECT_EQ(port.events[5].position, 300);
    EXPECT_NE(std::find(port.statusTexts.begin(), port.statusTexts.end(),
                        "Annulation de la tâche à la demande de l'utilisateur."),
              port.statusTexts.end());
}

TEST_F(Analyse, MissingArgumentsAndMissingFilesFail) {
    DescPtr d = newDesc(1);
    EXPECT_EQ(fdtest::analyse(nullptr, "x", 10, 1), 1);
    EXPECT_EQ(fdtest::analyse(d.get(), nullptr, 10, 1), 1);
    EXPECT_EQ(port.taskRuns, 0);
    TASK* task = TASK_Create("t", nullptr, nullptr);
    EXPECT_EQ(FILEDESC_AnalyseFileWithSeparatorsV2(nullptr, d.get(), "x", 10, 1), 1);
    EXPECT_EQ(FILEDESC_AnalyseFileWithSeparatorsV2(task, nullptr, "x", 10, 1), 1);
    EXPECT_EQ(FILEDESC_AnalyseFileWithSeparatorsV2(task, d.get(), nullptr, 10, 1), 1);
    morvex::TraceCapture capture;
    std::string missing = dir.file("absent.csv");
    EXPECT_EQ(FILEDESC_AnalyseFileWithSeparatorsV2(task, d.get(), missing.c_str(), 10, 1), 1);
    EXPECT_NE(capture.text().find(
                  "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Erreur lors de la création de "
                  "l'itérateur."),
              std::string::npos);
    TASK_Destroy(task);
}

TEST_F(Analyse, ValueWithAZeroByteKeepsItsWholeLength) {
    std::string path = dir.file("zero.csv");
    fdtest::writeAll(path, std::string("A;B\r\n12\0x;7\r\n", 13));
    DescPtr d = newDesc(1);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    EXPECT_EQ(column(d.get(), 1)->WidthInChars, 4);
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 0);
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_VARIABLECHAR);
    EXPECT_EQ(column(d.get(), 2)->typeCible.type, DATATYPE_INTEGER);
}

TEST_F(Analyse, DataFilePathLongerThan259CharactersIsNotCut) {
    std::string deep = dir.path();
    while (deep.size() < 300) deep += "/" + std::string(60, 'r');
    std::filesystem::create_directories(deep);
    std::string path = deep + "/people.csv";
    fdtest::writeAll(path, "ID;NOM\r\n1;Dupont\r\n");
    DescPtr d = newDesc(1);
    ASSERT_EQ(fdtest::analyse(d.get(), path.c_str(), 1000, 1), 0);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 2);
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_INTEGER);
}

// ---- Line count ----

TEST_F(Analyse, LineCountReportsTheTotalOfACompleteCount) {
    std::string path = peopleFile(249);
    DescPtr d = newDesc(1);
    ASSERT_EQ(FYK_LaunchDatafileComputeStats(nullptr, d.get(), path.c_str()), 0);
    ASSERT_FALSE(port.events.empty());
    const auto& last = port.events.back();
    EXPECT_EQ(last.event, TASK_EVENT_FINISHED);
    EXPECT_EQ(last.range, 1);
    EXPECT_EQ(last.position, 1);
    EXPECT_EQ(last.message, "Le fichier contient au total 250 lignes.");  // header included
}

TEST_F(Analyse, MissingInterruptedOrFailedLineCountIsNotAnnouncedAsATotal) {
    morvex::UiError refusal;
    EXPECT_EQ(FYK_LaunchDatafileComputeStats(nullptr, nullptr, "x", &refusal), 1);
    EXPECT_TRUE(port.messages.empty());  // told to the caller, never shown by the count
    EXPECT_EQ(refusal.title + "|" + refusal.text,
              "Statistiques de fichier|Aucune description de fichier ou aucun fichier n'est "
              "défini. Opération annulée.");
    EXPECT_EQ(port.taskRuns, 0);

    DescPtr d = newDesc(1);
    std::string path = peopleFile(1000);
    port.stopAfterEvents = 1;
    ASSERT_EQ(FYK_LaunchDatafileComputeStats(nullptr, d.get(), path.c_str()), 0);
    ASSERT_FALSE(port.events.empty());
    EXPECT_EQ(port.events.back().event, TASK_EVENT_INTERRUPTED);

    morvex::ScriptedUiPort second;
    morvex::setUiPort(&second);
    std::string missing = dir.file("absent.csv");
    ASSERT_EQ(FYK_LaunchDatafileComputeStats(nullptr, d.get(), missing.c_str()), 0);
    ASSERT_EQ(second.events.size(), 1u);
    EXPECT_EQ(second.events[0].event, TASK_EVENT_NOT_STARTED);
    morvex::setUiPort(&port);
}

}  // namespace

namespace {

// The detected analysis of a new ";" description over `lines` (CR LF), the whole file read.
DescPtr analyseDetected(fdtest::TempDir& dir, const std::vector<std::string>& lines,
                        bool unquote = false, FILEANALYSE_REPORT* report = nullptr) {
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    const std::string path = dir.file("detected.csv");
    fdtest::writeAll(path, text);
    DescPtr d(FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
    d->FirstLineIsHeader = 1;
    d->Unquote = unquote ? 1 : 0;
    d->QuoteChar = unquote ? '"' : '\0';
    EXPECT_EQ(fdtest::analyse(d.get(), path.c_str(), FILEDESC_ANALYSE_AUTO_ROWS, 1,
                              FILEANALYSE_DETECTED, report),
              0);
    return d;
}

}  // namespace

TEST_F(Analyse, DetectedRulesWriteADescriptionEveryReaderTakesAndTypesThatHoldTheWholeFile) {
    // Names made loadable, and told.
    FILEANALYSE_REPORT report;
    DescPtr d = analyseDetected(dir, {"id;ID;;\"Nom \"\"court\"\"\"", "1;2;3;x"}, false, &report);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 4);
    EXPECT_STREQ(column(d.get(), 1)->code, "id");
    EXPECT_STREQ(column(d.get(), 2)->code, "ID_2");
    EXPECT_STREQ(column(d.get(), 3)->code, "colonne3");
    EXPECT_STREQ(column(d.get(), 4)->code, "Nom \"court\"");
    EXPECT_NE(fdtest::noticesText(report).find("3 nom(s) de colonne changé(s)"),
              std::string::npos)
        << fdtest::noticesText(report);
    EXPECT_EQ(report.renamed.size(), 3u);

    // Decimals written with superfluous zeros are codes; a decimal past the first thousand
    // rows still makes its column Decimal.
    std::vector<std::string> lines = {"code;montant"};
    for (int i = 0; i < 3000; ++i) lines.push_back("000879.17;" + std::to_string(i));
    lines.push_back("00.11;12,5");
    d = analyseDetected(dir, lines);
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_FIXEDCHAR);
    EXPECT_EQ(column(d.get(), 2)->typeCible.type, DATATYPE_DECIMAL);

    // A value longer than a description may give as width: Text, at the largest width, so
    // that the description written opens again.
    d = analyseDetected(dir, {"id;texte", "1;" + std::string(7329, 'x'), "2;court"});
    EXPECT_EQ(column(d.get(), 2)->typeCible.type, DATATYPE_TEXT);
    EXPECT_EQ(column(d.get(), 2)->WidthInChars, FILEDESC_GetNCarMaxReadWithoutNewLine());

    // Quotes first met far down the file: read again, unquoting, so that the value holding
    // the delimiter stays one value.
    lines = {"pays;pib"};
    for (int i = 0; i < 4000; ++i) lines.push_back("Pays" + std::to_string(i) + ";" + std::to_string(i));
    lines.push_back("\"Congo; Rép. dém.\";12");
    d = analyseDetected(dir, lines);
    EXPECT_EQ(d->Unquote, 1);
    EXPECT_EQ(d->QuoteChar, '"');
    EXPECT_EQ(static_cast<int>(d->columns.size()), 2);
    EXPECT_EQ(column(d.get(), 2)->typeCible.type, DATATYPE_INTEGER);

    // A file past the whole-file size: its beginning, then blocks spread up to its end, so that
    // a decimal near the end still makes its column Decimal.
    FILEDESC_SetWholeFileBytes(64 * 1024);
    lines = {"id;montant"};
    for (int i = 0; i < 200000; ++i) lines.push_back(std::to_string(i) + ";" + std::to_string(i % 97));
    lines.push_back("200000;12,5");
    d = analyseDetected(dir, lines, false, &report);
    FILEDESC_SetWholeFileBytes(0);
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(column(d.get(), 2)->typeCible.type, DATATYPE_DECIMAL);
    EXPECT_NE(fdtest::noticesText(report).find("échantillon réparti sur tout le fichier"),
              std::string::npos);
    EXPECT_FALSE(report.wholeFile);
    EXPECT_GT(report.spreadRows, 0);

    // A header name in quotes over a line end is one name; the rows below it are the data.
    d = analyseDetected(dir, {"id;\"nom", "long\";n", "1;a;2", "2;b;3"}, true);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 3);
    EXPECT_STREQ(column(d.get(), 2)->code, "nom long");
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_INTEGER);
}

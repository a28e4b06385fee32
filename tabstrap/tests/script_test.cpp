// The INSERT script module: date-time reading, value literals by SQL type, and the script file.
#include "tabstrap/script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "tabstrap/tests/tabstrap_util.h"

using namespace tabstrap_test;

namespace {

// One reading of a text under the date-time picture format.
struct DateCase {
    const char* text;     // input
    bool succeeds;        // whether a record is returned
    MYDATETIME expected;  // jour, mois, annee, heure, minute, seconde, milliseconde
    std::string trace;    // everything traced
};

TEST(ScriptConvertDateTime, ReadsTheOlderPictureConversion) {
    using namespace std::string_literals;
    const DateCase cases[] = {
        {"2014-05-06 05:52:00", true, {6, 5, 2014, 5, 52, 0, 0}, ""},
        {"2014-05-06 05:52:00.000", true, {6, 5, 2014, 5, 52, 0, 0}, ""},
        // A date without its time: the fields read stay, day included.
        {"2014-05-06",
         false,
         {6, 5, 2014, 0, 0, 0, 0},
         "\n[ERREUR][DATE_Convert] ' ' etait attendu, la fin du texte obtenu"},
        // Leading blanks are not skipped in this copy.
        {"  2014-05-06 05:52:00",
         false,
         {0, 0, 0, 0, 0, 0, 0},
         "\n[ERREUR][DATE_Convert] Un chiffre etait attendu, ' ' obtenu"},
        {"2014-05-06 05:5",
         false,
         {6, 5, 2014, 5, 5, 0, 0},
         "\n[ERREUR][DATE_Convert] Un chiffre etait attendu, la fin du texte obtenu"},
        {"2014/05/06 05:52:00",
         false,
         {0, 0, 2014, 0, 0, 0, 0},
         "\n[ERREUR][DATE_Convert] '-' etait attendu, '/' obtenu"},
        {"",
         false,
         {0, 0, 0, 0, 0, 0, 0},
         "\n[ERREUR][DATE_Convert] Un chiffre etait attendu, la fin du texte obtenu"},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(c.text);
        morvex::TraceCapture capture;
        MYDATETIME read{};
        MYDATETIME* result = SCRIPT_ConvertDateTime(c.text, SCRIPT_DATETIME_FORMAT, &read);
        EXPECT_EQ(result != nullptr, c.succeeds);
        EXPECT_EQ(read.annee, c.expected.annee);
        EXPECT_EQ(read.mois, c.expected.mois);
        EXPECT_EQ(read.jour, c.expected.jour);
        EXPECT_EQ(read.heure, c.expected.heure);
        EXPECT_EQ(read.minute, c.expected.minute);
        EXPECT_EQ(read.seconde, c.expected.seconde);
        EXPECT_EQ(capture.text(), c.trace);
    }
}

TEST(ScriptConvertDateTime, AppliesTheCenturyRuleToShortYears) {
    MYDATETIME read{};
    ASSERT_NE(SCRIPT_ConvertDateTime("26/02/98", "jj/mm/aa", &read), nullptr);
    EXPECT_EQ(read.annee, 1998);
    ASSERT_NE(SCRIPT_ConvertDateTime("26/02/15", "jj/mm/aa", &read), nullptr);
    EXPECT_EQ(read.annee, 2015);
    // A run that goes on after a literal forms one number.
    ASSERT_NE(SCRIPT_ConvertDateTime("12-34", "jj-jj", &read), nullptr);
    EXPECT_EQ(read.jour, 1234);
}

TEST(ScriptConvertDateTime, AnswersMissingArgumentsWithoutRecord) {
    MYDATETIME read{1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(SCRIPT_ConvertDateTime(nullptr, SCRIPT_DATETIME_FORMAT, &read), nullptr);
    EXPECT_EQ(read.annee, 0);
    EXPECT_EQ(SCRIPT_ConvertDateTime("2014", SCRIPT_DATETIME_FORMAT, nullptr), nullptr);
}

// One value and its literal in the script.
struct ValueCase {
    int sqlType;                      // SQL type code of the column
    std::optional<std::string> text;  // value as fetched (nullopt: null)
    std::string expected;             // literal written
    std::string trace = "";           // everything traced
};

std::string repeated(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(ScriptAppendValue, WritesEachSqlTypeFamilyAsSpecified) {
    using namespace std::string_literals;
    const ValueCase cases[] = {
        {1, "O'Brien", "'O''Brien'"},
        {12, "''", "''''''"},
        {12, "", "''"},
        {12, std::nullopt, "NULL"},
        {4, std::nullopt, "NULL"},
        {93, std::nullopt, "NULL"},
        {4, "42", "42"},
        {2, "12.25", "12.25"},
        {3, "-1.5", "-1.5"},
        {5, "7", "7"},
        {6, "1.5e10", "1.5e10"},
        {7, "2.5", "2.5"},
        {8, "3.25", "3.25"},
        {-7, "1", "1"},
        {-6, "255", "255"},
        {-5, "9007199254740993", "9007199254740993"},
        {11, "2014-05-06 05:52:00.000", "'20140506 05:52:00'"},
        {93, "2014-05-06 05:52:00", "'20140506 05:52:00'"},
        {9, "2014-05-06 05:52:00", "'20140506 05:52:00'"},
        {119, "0999-01-02 03:04:05", "'09990102 03:04:05'"},
        {-1, "long 'text'", "/* Type de donnée non pris en charge (-1) */ 'long ''text'''"},
        {10, "10:11:12", "/* Type de donnée non pris en charge (10) */ '10:11:12'"},
        {-9, "wide", "/* Type de donnée non pris en charge (-9) */ 'wide'"},
        // Bytes after an embedded zero are kept.
        {12, std::string("a\0'b", 4), std::string("'a\0''b'", 7)},
        // 12 000 characters, 4 000 quotes: much longer than the fetch buffer, written whole.
        {12, repeated("ab'", 4000), "'" + repeated("ab''", 4000) + "'"},
        // A date without time is written with its day, after the message.
        {9, "2014-05-06", "'20140506 00:00:00'",
         "\n[ERREUR][DATE_Convert] ' ' etait attendu, la fin du texte obtenu"},
        {0, "a'b", "/* Type de donnée inconnu (a'b) */ 'a''b'", "\n(!)SQL_UNKNOWN_TYPE : a'b"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.sqlType) + " " + c.text.value_or("(null)").substr(0, 30));
        morvex::TraceCapture capture;
        std::string out = "x";
        const char* text = c.text ? c.text->data() : nullptr;
        SCRIPT_AppendValue(out, c.sqlType, text, c.text ? c.text->size() : 0, !c.text);
        EXPECT_EQ(out, "x" + c.expected);
        EXPECT_EQ(capture.text(), c.trace);
    }
}

TEST(ScriptColumnList, JoinsTheNamesAfterTheTable) {
    EXPECT_EQ(SCRIPT_ColumnList("base..t", {{"ID", 4}, {"NOM", 12}}),
              "INSERT INTO base..t (ID, NOM)");
    EXPECT_EQ(SCRIPT_ColumnList("t", {}), "INSERT INTO t ()");
}

// A scratch directory removed after the test.
class ScriptFile : public testing::Test {
protected:
    morvex::testing::TempDir dir_{"tabstrap_script"};
};

TEST_F(ScriptFile, WritesHeaderStatementsAndClosingComment) {
    const std::string path = dir_.file("out.sql");
    SCRIPTFILE script;
    ASSERT_EQ(SCRIPT_Create(&script, path.c_str()), 0);
    SCRIPT_WriteHeader(&script, "base..t");
    SCRIPT_SetColumnList(&script, SCRIPT_ColumnList("base..t", {{"ID", 4}, {"NOM", 12}}));
    SCRIPT_BeginRow(&script);
    SCRIPT_AppendValue(SCRIPT_RowText(&script), 4, "1", 1, false);
    SCRIPT_RowText(&script) += ", ";
    SCRIPT_AppendValue(SCRIPT_RowText(&script), 12, "O'Brien", 7, false);
    EXPECT_EQ(SCRIPT_EndRow(&script), 1);
    SCRIPT_BeginRow(&script);
    SCRIPT_AppendValue(SCRIPT_RowText(&script), 4, "2", 1, false);
    SCRIPT_RowText(&script) += ", ";
    SCRIPT_AppendValue(SCRIPT_RowText(&script), 12, nullptr, 0, true);
    EXPECT_EQ(SCRIPT_EndRow(&script), 2);
    EXPECT_EQ(SCRIPT_Close(&script), 0);
    EXPECT_EQ(readFile(path), header("base..t") +
                                  "\n\nINSERT INTO base..t (ID, NOM)\nVALUES (1, 'O''Brien')"
                                  "\n\nINSERT INTO base..t (ID, NOM)\nVALUES (2, NULL)" +
                                  footer(2));
}

TEST_F(ScriptFile, KeepsEveryRowAcrossManyBufferFlushes) {
    const std::string path = dir_.file("many.sql");
    SCRIPTFILE script;
    ASSERT_EQ(SCRIPT_Create(&script, path.c_str()), 0);
    SCRIPT_WriteHeader(&script, "t");
    SCRIPT_SetColumnList(&script, "INSERT INTO t (A)");
    const std::string value(1000, 'v');
    for (int i = 0; i < 5000; ++i) {  // about 5 MB, several flushes
        SCRIPT_BeginRow(&script);
        SCRIPT_AppendValue(SCRIPT_RowText(&script), 12, value.data(), value.size(), false);
        SCRIPT_EndRow(&script);
    }
    ASSERT_EQ(SCRIPT_Close(&script), 0);
    const std::string row = "\n\nINSERT INTO t (A)\nVALUES ('" + value + "')";
    std::string expected = header("t");
    for (int i = 0; i < 5000; ++i) expected += row;
    expected += footer(5000);
    const std::string text = readFile(path);
    ASSERT_EQ(text.size(), expected.size());
    EXPECT_TRUE(text == expected);
}

TEST_F(ScriptFile, CannotBeCreatedInAMissingDirectory) {
    SCRIPTFILE script;
    EXPECT_EQ(SCRIPT_Create(&script, dir_.file("missing/out.sql").c_str()), 1);
    EXPECT_EQ(script.file, nullptr);
    EXPECT_EQ(SCRIPT_Close(&script), 1);
}

TEST_F(ScriptFile, ReportsAFailedWriteAtClose) {
    ASSERT_EQ(access("/dev/full", W_OK), 0) << "no /dev/full";
    SCRIPTFILE script;
    ASSERT_EQ(SCRIPT_Create(&script, "/dev/full"), 0);
    SCRIPT_WriteHeader(&script, "t");
    EXPECT_EQ(SCRIPT_Close(&script), 1);
}

}  // namespace

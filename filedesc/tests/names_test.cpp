// Names with control characters: refused by the .fyk reader (the column named), scrubbed by the
// analysis, and the refusal texts every front end shows.
#include "filedesc/names.h"

#include <gtest/gtest.h>

#include <string>

#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

using fdtest::DescPtr;
using fdtest::TempDir;
using fdtest::writeAll;

// A description file of FILEVERSION 1.5 (texts in the backslash notation) whose File block holds
// `body`.
std::string fyk15(const std::string& body) {
    return "BEGIN MorvexFylatek\r\n\tFILEVERSION=1.5\r\n\tBEGIN File\r\n\t\tTABLENAME=T\r\n" +
           body + "\tEND File\r\nEND MorvexFylatek";
}

std::string column(const std::string& name) {
    return "\t\tBEGIN Column\r\n\t\t\tNAME=" + name +
           "\r\n\t\t\tLARGEUR=5\r\n\t\t\tTYPE_CIBLE=6\r\n\t\tEND Column\r\n";
}

// Opens `bytes` as a description file: the error, "" when it opened.
std::string openError(const TempDir& dir, const std::string& bytes) {
    const std::string path = dir.file("names.fyk");
    writeAll(path, bytes);
    std::string error;
    morvex::TraceCapture quiet;
    DescPtr d(FILEDESC_OpenFileDesc(path.c_str(), &error));
    if (d) {
        EXPECT_EQ(error, "");
    }
    return d ? "" : error;
}

TEST(FykReaderNames, RefusesAColumnCodeHoldingACarriageReturnAndNamesTheColumn) {
    TempDir dir;
    const std::string error =
        openError(dir, fyk15(column("ID") + column("A\\r\\nGO\\r\\nDROP TABLE victim1")));
    EXPECT_NE(error.find("est invalide : le nom de la colonne « A\\r\\nGO\\r\\nDROP TABLE "
                         "victim1 » contient un retour chariot (CR)"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("(ligne 14)"), std::string::npos) << error;
}

TEST(FykReaderNames, RefusesEveryControlCharacterInEveryNameAndKeepsOrdinaryOnes) {
    TempDir dir;
    struct Case {
        std::string file;
        std::string expected;  // part of the error, "" when the file opens
    } cases[] = {
        {fyk15(column("a\\nb")), "de la colonne « a\\nb » contient un saut de ligne (LF)"},
        {fyk15(column("a\tb")), "de la colonne « a\\tb » contient une tabulation"},
        {fyk15(column("esc\x1b[31m")), "contient un caractère de contrôle 0x1B"},
        {fyk15(column("del\x7f")), "contient un caractère de contrôle 0x7F"},
        {fyk15("\t\tPROJECTNAME=p\\nGO\r\n" + column("A")), "le nom du projet « p\\nGO »"},
        {fyk15("\t\tSCHEMANAME=s\x01\r\n" + column("A")), "le nom du schéma"},
        {fyk15("\t\tDATABASENAME=d\\r\r\n" + column("A")), "le nom de la base de données"},
        {fyk15(column("A") + "\t\tBEGIN Index\r\n\t\t\tNAME=ix\\n1\r\n\t\t\tCOMPOSANTE=A\r\n"
                             "\t\tEND Index\r\n"),
         "le nom de l'index « ix\\n1 »"},
        {fyk15(column("A") +
               "\t\tBEGIN Primary Key\r\n\t\t\tNAME=pk\\r\r\n\t\tEND Primary Key\r\n"),
         "le nom de la clé primaire"},
        // Quotes, brackets, semicolons, shell text and accents are no control characters.
        {fyk15(column("a'b\\\"c]d;e $(id) `id` \xc3\xa9t\xc3\xa9 \\\\x")), ""},
        // A description (free text) may go over several lines.
        {fyk15("\t\tDESCRIPTION=ligne 1\\r\\nligne 2\r\n" + column("A")), ""},
    };
    for (const Case& c : cases) {
        const std::string error = openError(dir, c.file);
        if (c.expected.empty())
            EXPECT_EQ(error, "") << c.file;
        else
            EXPECT_NE(error.find(c.expected), std::string::npos) << error << "\n" << c.file;
    }
}

TEST(FileDescNames, RefusalShowsTheNameOnOneLine) {
    EXPECT_EQ(FILEDESC_NameRefusal("de la colonne", "CODE"), "");
    EXPECT_EQ(FILEDESC_NameRefusal("de la colonne", "A\r\nGO"),
              "Le nom de la colonne « A\\r\\nGO » contient un retour chariot (CR) : les noms ne "
              "peuvent pas contenir de caractère de contrôle.");
    EXPECT_EQ(FILEDESC_NameFault("ab\x7f"), 2);
    EXPECT_EQ(FILEDESC_NameFault("\xc3\xa9"), -1);
    char name[] = "a\rb\x1f";
    EXPECT_EQ(FILEDESC_ScrubName(name), 2);
    EXPECT_STREQ(name, "a_b_");
}

// The analysis under a scripted port, in a temporary folder.
class AnalyseNames : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override { morvex::setUiPort(nullptr); }
    TempDir dir;
    morvex::ScriptedUiPort port;
    morvex::TraceCapture quiet;
};

// A header name quoted over two lines becomes a column without its line ends.
TEST_F(AnalyseNames, HeaderNameWithALineEndBecomesACodeWithoutIt) {
    const std::string data = dir.file("h.csv");
    writeAll(data, "ID;\"A\r\nGO\r\nB\"\r\n1;x\r\n2;y\r\n");
    DescPtr d(FILEDESC_CreateFileDesc("p", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
    ASSERT_TRUE(d);
    d->FirstLineIsHeader = 1;
    d->Unquote = 1;
    d->QuoteChar = '"';
    EXPECT_EQ(fdtest::analyse(d.get(), data.c_str(), 1000, 1), 0);
    EXPECT_EQ(FILEDESC_NamesRefusal(d.get()), "");
    ASSERT_EQ(static_cast<int>(d->columns.size()), 2);
    EXPECT_STREQ(FILEDESC_SearchColumnByPos(d.get(), 2)->code, "A__GO__B");
}

// A description made from a file takes its project name from the file's name, which may hold
// anything: the name saved can always be opened again.
TEST_F(AnalyseNames, ProjectNamedAfterAFileWithALineEndIsSavedAndOpenedAgain) {
    const std::string data = dir.file("clients\nGO\x01.csv");
    writeAll(data, "ID;NOM\r\n1;x\r\n");
    DescPtr d(FILEANALYSE_NewDescription(data, nullptr, FILEANALYSE_SPECIFIED));
    ASSERT_TRUE(d);
    EXPECT_STREQ(d->ProjectName, "clients_GO_");
    const std::string saved = dir.file("saved.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), saved.c_str()), 0);
    EXPECT_EQ(openError(dir, fdtest::readFile(saved)), "");
    DescPtr created(
        FILEDESC_CreateFileDesc("a\r\nb", nullptr, STRUCTFILE_DELIMITED, nullptr, nullptr));
    EXPECT_STREQ(created->ProjectName, "a__b");
}

}  // namespace

#include "appcore/mainframe.h"

#include <gtest/gtest.h>

#include <cstring>

#include "filedesc/filedesc.h"
#include "foundation/testing/tempdir.h"

namespace {

// A description with the given names, released at the end of the test.
struct Desc {
    FileDesc* d;
    Desc(const char* project, const char* database, const char* table, int modified) {
        FILEDESC_Initialize();
        d = FILEDESC_CreateFileDesc(project, nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
        strcpy(d->DatabaseName, database);
        strcpy(d->TableName, table);
        d->isModified = modified;
    }
    ~Desc() { FILEDESC_CloseFileDesc(d); }
};

TEST(MainWindowTitle, IsTheProgramNameWithoutADescription) {
    EXPECT_EQ(morvex::mainWindowTitle(nullptr), "Morvex Fylatek");
}

TEST(MainWindowTitle, ShowsDatabaseAndTableOnlyWhenBothAreSet) {
    struct Case {
        const char* database;
        const char* table;
        int modified;
        const char* title;
    };
    const Case cases[] = {
        {"BASE", "CLIENTS", 0, "Morvex Fylatek 1.5.2 build 5697  - (BASE.CLIENTS) [Clients]"},
        {"BASE", "CLIENTS", 1, "Morvex Fylatek 1.5.2 build 5697  - (BASE.CLIENTS) [Clients*]"},
        {"BASE", "", 0, "Morvex Fylatek 1.5.2 build 5697  - [Clients]"},
        {"", "CLIENTS", 1, "Morvex Fylatek 1.5.2 build 5697  - [Clients*]"},
        {"", "", 0, "Morvex Fylatek 1.5.2 build 5697  - [Clients]"},
    };
    for (const Case& c : cases) {
        Desc desc("Clients", c.database, c.table, c.modified);
        EXPECT_EQ(morvex::mainWindowTitle(desc.d), c.title) << c.database << "." << c.table;
    }
}

TEST(MainWindowTitle, TakesEachNameToTheEndOfItsFieldAndNoFurther) {
    Desc desc("", "", "", 1);
    // Every name fills its whole field, without a terminator: the title reads each one to its
    // field's end and never runs on into the next field.
    memset(desc.d->ProjectName, 'p', sizeof desc.d->ProjectName);
    memset(desc.d->DatabaseName, 'd', sizeof desc.d->DatabaseName);
    memset(desc.d->TableName, 't', sizeof desc.d->TableName);
    EXPECT_EQ(morvex::mainWindowTitle(desc.d),
              "Morvex Fylatek 1.5.2 build 5697  - (" + std::string(sizeof desc.d->DatabaseName, 'd') +
                  "." + std::string(sizeof desc.d->TableName, 't') + ") [" +
                  std::string(sizeof desc.d->ProjectName, 'p') + "*]");
    desc.d->ProjectName[0] = '\0';  // the description is closed with a terminated name
}

TEST(SuggestedFileName, BlanksEveryForbiddenCharacter) {
    Desc slash("A/B:C", "", "", 0);
    EXPECT_EQ(morvex::suggestedFileName(slash.d), "A B C.fyk");
    Desc all("x!y*z/a:b;c?d\\e", "", "", 0);
    EXPECT_EQ(morvex::suggestedFileName(all.d), "x y z a b c d e.fyk");
    EXPECT_EQ(morvex::suggestedFileName(all.d, ".sql"), "x y z a b c d e.sql");
}

TEST(SuggestedFileName, IsMonformatWithoutADescription) {
    EXPECT_EQ(morvex::suggestedFileName(nullptr), "monformat.fyk");
}

TEST(CommandLine, SplitsAtBlanksAndGroupsQuotedWords) {
    using V = std::vector<std::string>;
    EXPECT_EQ(morvex::splitCommandLine("a.fyk b.txt c.fyk"), (V{"a.fyk", "b.txt", "c.fyk"}));
    EXPECT_EQ(morvex::splitCommandLine("\"mes formats/a b.fyk\"  c.fyk"),
              (V{"mes formats/a b.fyk", "c.fyk"}));
    EXPECT_EQ(morvex::splitCommandLine("pre\"fix x\"post"), (V{"prefix xpost"}));
    EXPECT_EQ(morvex::splitCommandLine("   "), V{});
    EXPECT_EQ(morvex::splitCommandLine(""), V{});
}

TEST(CommandLine, TakesALineNamingAnExistingFileAsOneWord) {
    morvex::testing::TempDir dir("mainframe");
    std::string path = dir.write("a description with blanks.fyk", "x");
    EXPECT_EQ(morvex::splitCommandLine(path), std::vector<std::string>{path});
    // The same words without the file on disk are split.
    EXPECT_EQ(morvex::splitCommandLine(dir.file("not here.fyk")).size(), 2u);
}

TEST(CommandLine, JoinedArgumentsSplitBackIntoTheSameWords) {
    const char* argv[] = {"morvex", "a b.fyk", "c.fyk", "d\te.txt"};
    std::string line = morvex::joinArguments(4, argv);
    EXPECT_EQ(line, "\"a b.fyk\" c.fyk \"d\te.txt\"");
    EXPECT_EQ(morvex::splitCommandLine(line),
              (std::vector<std::string>{"a b.fyk", "c.fyk", "d\te.txt"}));
}

TEST(CommandLine, LowerCasesTheExtension) {
    EXPECT_EQ(morvex::lowerExtension("/x/Clients.FYK"), ".fyk");
    EXPECT_EQ(morvex::lowerExtension("base.Db"), ".db");
    EXPECT_EQ(morvex::lowerExtension("README"), "");
}

}  // namespace

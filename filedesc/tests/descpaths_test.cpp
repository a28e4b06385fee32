// Paths inside a description are read from the description's own folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "filedesc/descpaths.h"
#include "filedesc/filedesc.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"

namespace fs = std::filesystem;

namespace {

using fdtest::DescPtr;
using fdtest::readFile;
using fdtest::TempDir;
using fdtest::writeAll;

// Runs with another current folder for the life of the object.
struct InFolder {
    fs::path before = fs::current_path();
    explicit InFolder(const std::string& dir) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(before); }
};

// A description file naming `example` and `database`, CR LF lines.
std::string descriptionNaming(const std::string& example, const std::string& database) {
    return "BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tBEGIN File\r\n\t\tTABLENAME=T\r\n"
           "\t\tTYPESTRUCTFILE=2\r\n\t\tFIELDDELIMITER=;\r\n\t\tFICHIEREXEMPLE=" +
           example + "\r\n\t\tDATABASEFILE=" + database +
           "\r\n\t\tBEGIN Column\r\n\t\t\tNAME=A\r\n\t\t\tLARGEUR=5\r\n\t\tEND Column\r\n"
           "\tEND File\r\nEND MorvexFylatek";
}

// The value of `key` in the description file at `path` ("" when the key is missing).
std::string valueIn(const std::string& path, const std::string& key) {
    const std::string text = readFile(path);
    const std::string start = "\t" + key + "=";
    const size_t at = text.find(start);
    if (at == std::string::npos) return "";
    const size_t from = at + start.size();
    return text.substr(from, text.find("\r\n", from) - from);
}

DescPtr open(const std::string& path) {
    morvex::TraceCapture quiet;
    return DescPtr(FILEDESC_OpenFileDesc(path.c_str()));
}

}  // namespace

TEST(DescriptionPaths, ResolveFromTheDescriptionsFolderThenTheCurrentOne) {
    TempDir dir;
    fs::create_directories(dir.file("proj/data"));
    fs::create_directories(dir.file("elsewhere"));
    writeAll(dir.file("proj/data/rows.csv"), "A\n1\n");
    writeAll(dir.file("elsewhere/old.csv"), "A\n1\n");
    const std::string desc = dir.file("proj/d.fyk");
    InFolder here(dir.file("elsewhere"));
    struct Case {
        std::string stored;    // the text in the description
        std::string expected;  // the path it names
    } cases[] = {
        {"data/rows.csv", dir.file("proj/data/rows.csv")},       // beside the description
        {"./data/../data/rows.csv", dir.file("proj/data/rows.csv")},
        {"old.csv", dir.file("elsewhere/old.csv")},              // made from the current folder
        {"missing.csv", dir.file("proj/missing.csv")},           // nowhere: beside it
        {"/abs/file.csv", "/abs/file.csv"},                      // absolute: as it is
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(morvex::resolveDescriptionPath(desc, c.stored), c.expected) << c.stored;
    // A description given by a relative path resolves from the current folder first.
    EXPECT_EQ(morvex::resolveDescriptionPath("../proj/d.fyk", "data/rows.csv"),
              dir.file("proj/data/rows.csv"));
    // No description file: the text as it is.
    EXPECT_EQ(morvex::resolveDescriptionPath("", "data/rows.csv"), "data/rows.csv");
}

// A description and its data moved together keep working from any folder; saved again, the
// file keeps the relative texts as they were.
TEST(DescriptionPaths, DescriptionAndDataMovedTogetherAreReadFromAnotherFolder) {
    TempDir dir;
    fs::create_directories(dir.file("a"));
    fs::create_directories(dir.file("work"));
    const std::string text = descriptionNaming("rows.csv", "base/t.db");
    writeAll(dir.file("a/d.fyk"), text);
    writeAll(dir.file("a/rows.csv"), "A\n1\n");
    fs::rename(dir.file("a"), dir.file("moved"));

    InFolder here(dir.file("work"));
    DescPtr d = open(dir.file("moved/d.fyk"));
    ASSERT_TRUE(d);
    EXPECT_STREQ(d->ExampleFilePath, dir.file("moved/rows.csv").c_str());
    EXPECT_STREQ(d->DatabaseFilePath, dir.file("moved/base/t.db").c_str());

    const std::string again = dir.file("moved/again.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), again.c_str()), 0);
    EXPECT_EQ(valueIn(again, "FICHIEREXEMPLE"), "rows.csv");
    EXPECT_EQ(valueIn(again, "DATABASEFILE"), "base/t.db");
    // The same value set again (a properties sheet's OK) keeps the text as read.
    ASSERT_EQ(FILEDESC_SetExampleFilePath(d.get(), dir.file("moved/rows.csv").c_str()), 0);
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), again.c_str()), 0);
    EXPECT_EQ(valueIn(again, "FICHIEREXEMPLE"), "rows.csv");

    // Saved into another folder, the relative text would name another file: the path is
    // written whole.
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), dir.file("work/copy.fyk").c_str()), 0);
    EXPECT_EQ(valueIn(dir.file("work/copy.fyk"), "FICHIEREXEMPLE"), dir.file("moved/rows.csv"));

    // Another example file is written as given.
    ASSERT_EQ(FILEDESC_SetExampleFilePath(d.get(), "other.csv"), 0);
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), again.c_str()), 0);
    EXPECT_EQ(valueIn(again, "FICHIEREXEMPLE"), "other.csv");
    EXPECT_EQ(valueIn(again, "DATABASEFILE"), "base/t.db");
}

// A description made before, whose example path was relative to the folder it was made in,
// still reads from that folder.
TEST(DescriptionPaths, OlderDescriptionNamingItsDataFromTheCurrentFolderStillReads) {
    TempDir dir;
    fs::create_directories(dir.file("out"));
    writeAll(dir.file("rows.csv"), "A\n1\n");
    const std::string text = descriptionNaming("rows.csv", "");
    writeAll(dir.file("out/d.fyk"), text);
    InFolder here(dir.path());
    DescPtr d = open("out/d.fyk");
    ASSERT_TRUE(d);
    EXPECT_STREQ(d->ExampleFilePath, dir.file("rows.csv").c_str());
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), "out/d.fyk"), 0);
    EXPECT_EQ(valueIn(dir.file("out/d.fyk"), "FICHIEREXEMPLE"), "rows.csv");
}

#include "splitindex/splitindex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"

namespace {

// A delimited description of three columns over a file of the temp folder.
struct Fixture {
    morvex::testing::TempDir dir{"splitindex"};
    FileDesc* desc;
    Fixture() {
        FILEDESC_Initialize();
        desc = FILEDESC_CreateFileDesc("Split", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
        for (const char* code : {"A", "B", "C"}) {
            ColumnDesc c{};
            std::strcpy(c.code, code);
            c.WidthInChars = 5;
            c.typeCible.type = DATATYPE_VARIABLECHAR;
            FILEDESC_AjouterColonne(desc, &c);
        }
    }
    ~Fixture() { FILEDESC_CloseFileDesc(desc); }
    std::string rows(int n, const std::string& header = "") {
        std::string text = header;
        for (int i = 1; i <= n; ++i)
            text += "a" + std::to_string(i) + ";b" + std::to_string(i) + ";c" + std::to_string(i) +
                    "\n";
        return dir.write("data.txt", text);
    }
};

TEST(SplitIndex, ReadsAnyRowAgainFromItsOffsetPastHeaderAndSkippedLines) {
    Fixture f;
    f.desc->FirstLineIsHeader = 1;
    f.desc->BeginFromLine = 2;
    std::string path = f.rows(1000, "skipped\nA;B;C\n");
    SPLITINDEX index;
    ASSERT_EQ(SPLITINDEX_Build(&index, f.desc, path, 0, nullptr, {}), SPLITINDEX_DONE);
    ASSERT_EQ(SPLITINDEX_RowCount(&index), 1000);
    std::vector<std::vector<std::string>> rows;
    struct Case {
        int first, count;
        const char* firstCell;
        size_t got;
    } cases[] = {{0, 2, "a1", 2}, {1, 1, "a2", 1}, {500, 20, "a501", 20}, {995, 10, "a996", 5}};
    for (const Case& k : cases) {
        ASSERT_TRUE(SPLITINDEX_ReadRows(&index, k.first, k.count, rows)) << k.first;
        ASSERT_EQ(rows.size(), k.got) << k.first;
        EXPECT_EQ(rows[0][0], k.firstCell);
        EXPECT_EQ(rows[0].size(), 3u);
    }
    EXPECT_EQ(rows.back()[2], "c1000");
}

TEST(SplitIndex, StopsWhenAskedAndKeepsTheRowsRead) {
    Fixture f;
    std::string path = f.rows(1000);
    SPLITINDEX index;
    std::atomic<bool> stop{false};
    std::vector<int> reports;
    auto progress = [&](int n) {
        reports.push_back(n);
        if (n == 200) stop = true;
    };
    EXPECT_EQ(SPLITINDEX_Build(&index, f.desc, path, 0, &stop, progress), SPLITINDEX_STOPPED);
    EXPECT_EQ(SPLITINDEX_RowCount(&index), 200);
    EXPECT_EQ(reports, (std::vector<int>{100, 200}));
}

TEST(SplitIndex, ReportsAFileThatCannotBeRead) {
    Fixture f;
    SPLITINDEX index;
    EXPECT_EQ(SPLITINDEX_Build(&index, f.desc, f.dir.file("missing.txt"), 0, nullptr, {}),
              SPLITINDEX_NOREADER);
    EXPECT_EQ(SPLITINDEX_RowCount(&index), 0);
}

TEST(SplitIndex, ExportsEveryCellFollowedBySemicolonQuotingWhatNeedsIt) {
    Fixture f;
    std::string path = f.dir.write("data.txt", "1;x\"y;3\n4;5;6\n");
    SPLITINDEX index;
    ASSERT_EQ(SPLITINDEX_Build(&index, f.desc, path, 0, nullptr, {}), SPLITINDEX_DONE);
    std::vector<int> written;
    ASSERT_TRUE(
        SPLITINDEX_Export(&index, f.dir.file("out.csv"), [&](int n) { written.push_back(n); }));
    EXPECT_EQ(morvex::testing::readFile(f.dir.file("out.csv")),
              "1;\"x\"\"y\";3;\r\n4;5;6;\r\n");
    EXPECT_EQ(written, (std::vector<int>{1, 2}));
    EXPECT_FALSE(SPLITINDEX_Export(&index, f.dir.file("no/such/dir/out.csv"), {}));
}

}  // namespace

// A fixed-width file described from its rows: the layout the first bytes show becomes the
// description's columns, which the analysis then types; the trimming of their padding is a
// property of the description that existing files never had.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datafile/detect.h"
#include "filedesc/analyse.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

using fdtest::DescPtr;

std::string sourceFile(const std::string& relative) {
    return std::string(MORVEX_SOURCE_DIR_PATH) + "/" + relative;
}

class FixedWidthAnalyse : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override { morvex::setUiPort(nullptr); }

    // The description the detected analysis makes of `path`, as `morvexcli analyse` makes it.
    DescPtr describe(const std::string& path) {
        DescPtr d(FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
        const DATAFILE_SHAPE shape = DATAFILE_DetectShape(DATAFILE_ReadSample(path.c_str()));
        FILEDESC_ApplyShape(d.get(), shape);
        morvex::TraceCapture capture;
        EXPECT_EQ(fdtest::analyse(d.get(), path.c_str(), FILEDESC_ANALYSE_AUTO_ROWS,
                                        1, FILEANALYSE_DETECTED),
                  0);
        return d;
    }

    morvex::ScriptedUiPort port;
    fdtest::TempDir dir;
};

// Each column as it must come out: its width and its type (with its format where it says
// something: the date layout, the decimal digits).
struct Expected {
    int width;
    int type;
    std::string format;
};

TEST_F(FixedWidthAnalyse, ExportsOfPublishedTablesGetTheirColumnsAndTypes) {
    const struct {
        const char* file;
        std::vector<Expected> columns;
    } cases[] = {
        // A date glued to zero-padded measures, decimals with their point among them, a word.
        {"seattle-weather.txt",
         {{8, DATATYPE_DATE, "aaaammjj"}, {5, DATATYPE_FIXEDCHAR, "5"}, {5, DATATYPE_DECIMAL, ""},
          {4, DATATYPE_FIXEDCHAR, "4"}, {6, DATATYPE_DECIMAL, ""}, {7, DATATYPE_VARIABLECHAR, ""}}},
        // A one-letter flag glued to the date.
        {"weather.txt",
         {{1, DATATYPE_VARIABLECHAR, ""}, {8, DATATYPE_DATE, "aaaammjj"}, {5, DATATYPE_DECIMAL, ""},
          {5, DATATYPE_DECIMAL, ""}, {5, DATATYPE_DECIMAL, ""}, {6, DATATYPE_DECIMAL, ""},
          {9, DATATYPE_VARIABLECHAR, ""}}},
        // Counts with their thousands grouped (100,000, 99,362, 0) stay text: no decimal
        // comma writes some values at three decimals and others at none.
        {"ssa-death-probability.txt",
         {{4, DATATYPE_FIXEDCHAR, "4"}, {1, DATATYPE_VARIABLECHAR, ""},
          {10, DATATYPE_VARIABLECHAR, ""}, {7, DATATYPE_VARIABLECHAR, ""},
          {8, DATATYPE_DECIMAL, "7,2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.file(c.file);
        {
            std::ifstream in(sourceFile(std::string("datafile/tests/data/fixedwidth/") + c.file),
                             std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            fdtest::writeAll(path, text.str());
        }
        DescPtr d = describe(path);
        EXPECT_EQ(d->TypeStructFile, STRUCTFILE_FIXED);
        EXPECT_EQ(d->TrimPadding, 1);
        EXPECT_STREQ(d->FieldDelimiter, "");
        ASSERT_EQ(static_cast<int>(d->columns.size()), static_cast<int>(c.columns.size()));
        int position = 0;
        for (const Expected& want : c.columns) {
            const ColumnDesc* col = FILEDESC_SearchColumnByPos(d.get(), ++position);
            SCOPED_TRACE(col->code);
            EXPECT_EQ(col->WidthInChars, want.width);
            EXPECT_EQ(col->typeCible.type, want.type);
            char format[64];
            GetDataTypeFormat(&col->typeCible, format, sizeof format);
            if (!want.format.empty()) {
                EXPECT_EQ(format, want.format);
            }
        }
    }
}

TEST_F(FixedWidthAnalyse, TrimmingIsWrittenOnlyWhenSetSoStoredFilesKeepTheirBytes) {
    // A stored description read and written again: no trimming, and the same bytes at the
    // next reading and writing.
    std::ifstream in(sourceFile("examples/clients.fyk"), std::ios::binary);
    std::ostringstream original;
    original << in.rdbuf();
    const std::string stored = dir.file("clients.fyk");
    fdtest::writeAll(stored, original.str());
    morvex::TraceCapture capture;
    DescPtr d(FILEDESC_OpenFileDesc(stored.c_str()));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->TrimPadding, 0);
    const std::string again = dir.file("again.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), again.c_str()), 0);
    const std::string written = fdtest::readFile(again);
    EXPECT_EQ(written.find("TRIMPADDING"), std::string::npos);
    DescPtr reread(FILEDESC_OpenFileDesc(again.c_str()));
    ASSERT_TRUE(reread);
    ASSERT_EQ(FILEDESC_SaveToFile(reread.get(), again.c_str()), 0);
    EXPECT_EQ(fdtest::readFile(again), written);

    // Set, it is written and read back.
    d->TrimPadding = 1;
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), again.c_str()), 0);
    const std::string trimmed = fdtest::readFile(again);
    EXPECT_NE(trimmed.find("\r\n\t\tTRIMPADDING=1\r\n"), std::string::npos);
    DescPtr back(FILEDESC_OpenFileDesc(again.c_str()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->TrimPadding, 1);

    // Another value is refused with its line, as every number out of its range.
    std::string wrong = trimmed;
    wrong.replace(wrong.find("TRIMPADDING=1"), 13, "TRIMPADDING=2");
    fdtest::writeAll(again, wrong);
    std::string error;
    DescPtr refused(FILEDESC_OpenFileDesc(again.c_str(), &error));
    EXPECT_FALSE(refused);
    EXPECT_NE(error.find("TRIMPADDING"), std::string::npos) << error;
}

}  // namespace

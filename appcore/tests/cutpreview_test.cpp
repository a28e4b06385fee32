// The wizard's preview over tzdata's zone table (tab-separated, comment lines, rows of three or
// four fields) and small files of the awkward kinds: each cut compared with the file's own
// lines, the marked rows, a sample cut short, fixed widths and an encoding.
#include "appcore/cutpreview.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "appcore/desceditor.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "foundation/testing/tempdir.h"

namespace {

constexpr const char kZoneTable[] = "/usr/share/zoneinfo/zone1970.tab";

class CutPreviewTest : public ::testing::Test {
protected:
    void SetUp() override { FILEDESC_Initialize(); }
    void TearDown() override { FILEDESC_CloseFileDesc(desc); }

    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = dir.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // The options of a delimited description.
    FileDesc* options(const std::string& separator, bool header = false, bool unquote = false) {
        FILEDESC_CloseFileDesc(desc);
        desc = FILEDESC_CreateFileDesc("essai", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
        DESCEDIT_SetSeparator(desc, separator);
        DESCEDIT_SetUnquote(desc, unquote, "\"");
        desc->FirstLineIsHeader = header;
        return desc;
    }
    static std::vector<std::string> split(const std::string& line, char separator) {
        std::vector<std::string> fields;
        std::string field;
        std::istringstream in(line);
        while (std::getline(in, field, separator)) fields.push_back(field);
        if (!line.empty() && line.back() == separator) fields.emplace_back();
        return fields;
    }

    morvex::testing::TempDir dir{"cutpreview"};
    FileDesc* desc = nullptr;
    CutPreviewSample sample;
    std::string error;
};

TEST_F(CutPreviewTest, CutsTheZoneTableAsItsLinesAndMarksTheRowsOfAnotherFieldCount) {
    ASSERT_TRUE(sample.load(kZoneTable, error)) << error;
    EXPECT_TRUE(sample.wholeFile());
    std::ifstream file(kZoneTable);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line) && lines.size() < 200;)
        if (!line.empty()) lines.push_back(line);

    struct Case {
        const char* separator;
        char split;
        int firstLine;
    } cases[] = {{"\\t", '\t', 1}, {"\\t", '\t', 30}, {";", ';', 1}, {",", ',', 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.separator) + " from line " + std::to_string(c.firstLine));
        FileDesc* o = options(c.separator);
        o->BeginFromLine = c.firstLine;
        const CutPreview preview = sample.cut(o);
        ASSERT_TRUE(preview.failure.empty()) << preview.failure;
        ASSERT_EQ(preview.rows.size(), static_cast<size_t>(CUTPREVIEW_ROWS));
        std::map<size_t, int> counts;
        for (const CutPreviewRow& row : preview.rows) {
            const std::vector<std::string> expected = split(lines[row.line - 1], c.split);
            EXPECT_EQ(row.fields, expected) << "line " << row.line;
            ++counts[expected.size()];
        }
        EXPECT_EQ(preview.rows.front().line, c.firstLine);
        for (const CutPreviewRow& row : preview.rows) {
            const bool odd = static_cast<int>(row.fields.size()) != preview.expectedFields;
            EXPECT_EQ(row.mark, odd ? CUTPREVIEW_ROW_FIELD_COUNT : CUTPREVIEW_ROW_OK);
        }
        if (c.split == '\t') {
            EXPECT_GT(counts.size(), 1u) << "rows of three and four fields";
        }
    }
}

TEST_F(CutPreviewTest, TheHeaderSetsTheCountAndAnUnclosedQuoteIsMarked) {
    ASSERT_TRUE(sample.load(write("clients.csv", "code;nom;ville\n"
                                                 "1;Ada;Paris\n"
                                                 "2;\"Grace;Hopper\";New York\n"
                                                 "3;Alan\n"
                                                 "4;\"Edsger;Amsterdam\n"
                                                 "5;Barbara;Boston\n"),
                            error));
    const CutPreview quoted = sample.cut(options(";", true, true));
    ASSERT_EQ(quoted.rows.size(), 6u);
    EXPECT_TRUE(quoted.rows[0].isHeader);
    EXPECT_EQ(quoted.expectedFields, 3);
    EXPECT_EQ(quoted.rows[2].fields, (std::vector<std::string>{"2", "Grace;Hopper", "New York"}));
    const CutPreviewMark marks[] = {CUTPREVIEW_ROW_OK, CUTPREVIEW_ROW_OK, CUTPREVIEW_ROW_OK,
                                    CUTPREVIEW_ROW_FIELD_COUNT, CUTPREVIEW_ROW_UNCLOSED_QUOTE,
                                    CUTPREVIEW_ROW_OK};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(quoted.rows[i].mark, marks[i]) << "row " << i;
    EXPECT_EQ(quoted.rows[5].fields[1], "Barbara");
    // Without unquoting the quotes are text and cut the protected name in two.
    const CutPreview plain = sample.cut(options(";", true, false));
    EXPECT_EQ(plain.rows[2].fields.size(), 4u);
    EXPECT_EQ(plain.rows[2].mark, CUTPREVIEW_ROW_FIELD_COUNT);
}

TEST_F(CutPreviewTest, AFileOverTheSampleIsReadOnceAndCutAtALineEnd) {
    std::string big;
    for (int i = 0; big.size() < 3 * CUTPREVIEW_SAMPLE_BYTES; ++i)
        big += std::to_string(i) + ";ligne numero " + std::to_string(i) + "\r\n";
    const std::string path = write("big.csv", big);
    ASSERT_TRUE(sample.load(path, error));
    EXPECT_FALSE(sample.wholeFile());
    EXPECT_LE(sample.bytes(), CUTPREVIEW_SAMPLE_BYTES);
    EXPECT_EQ(big.substr(sample.bytes() - 2, 2), "\r\n");
    // What is cut afterwards is the sample: the file may change or go.
    std::remove(path.c_str());
    FileDesc* o = options(";");
    DESCEDIT_SetEndOfLine(o, "\\r\\n");
    const CutPreview all = sample.cut(o, nullptr, 1 << 20);
    ASSERT_FALSE(all.rows.empty());
    EXPECT_EQ(all.rows.back().fields.size(), 2u);
    EXPECT_EQ(all.rows.back().fields[0], std::to_string(all.rows.size() - 1));
    for (const CutPreviewRow& row : all.rows) ASSERT_EQ(row.mark, CUTPREVIEW_ROW_OK);
}

TEST_F(CutPreviewTest, FixedWidthsAndAnEncodingAreCutAsTheReaderCutsThem) {
    ASSERT_TRUE(sample.load(write("fixe.txt", "01caf\xe9  Lyon\n02th\xe9   Nice\n"), error));
    FileDesc* o = options(";");
    o->TypeStructFile = STRUCTFILE_FIXED;
    DESCEDIT_SetEncoding(o, "WINDOWS-1252");
    // Without columns a line is one value.
    CutPreview lines = sample.cut(o);
    ASSERT_EQ(lines.rows.size(), 2u);
    EXPECT_EQ(lines.rows[0].fields, (std::vector<std::string>{"01café  Lyon"}));
    // The widths of another description's columns (the one being edited).
    FileDesc* widths = FILEDESC_CreateFileDesc("w", nullptr, STRUCTFILE_FIXED, "\\n", "");
    const int sizes[] = {2, 6, 4};
    for (int w : sizes) {
        ColumnDesc column{};
        snprintf(column.code, sizeof column.code, "C%d", w);
        column.WidthInChars = w;
        FILEDESC_AppendColumn(widths, &column);
    }
    FILEDESC_UpdatePositions(widths);
    const CutPreview cut = sample.cut(o, widths);
    FILEDESC_CloseFileDesc(widths);
    ASSERT_EQ(cut.rows.size(), 2u);
    EXPECT_EQ(cut.rows[1].fields, (std::vector<std::string>{"02", "thé   ", "Nice"}));
    // Not a regular file: refused with a reason.
    CutPreviewSample none;
    EXPECT_FALSE(none.load(dir.path(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(none.cut(o).failure.empty());
}

TEST_F(CutPreviewTest, TheWizardOffersTheWholeFileOnlyPastWhatTheAnalysisReadsWhole) {
    FILEDESC_SetWholeFileBytes(1000);
    const struct {
        size_t bytes;
        bool part;
    } cases[] = {{0, false}, {999, false}, {1000, false}, {1001, true}, {50000, true}};
    for (const auto& c : cases) {
        const std::string path = write("f" + std::to_string(c.bytes), std::string(c.bytes, 'x'));
        EXPECT_EQ(morvex::analysisReadsOnlyPartOf(path), c.part) << c.bytes;
    }
    EXPECT_FALSE(morvex::analysisReadsOnlyPartOf(dir.path()));
    EXPECT_FALSE(morvex::analysisReadsOnlyPartOf(dir.path() + "/absent"));
    EXPECT_FALSE(morvex::analysisReadsOnlyPartOf(""));
    FILEDESC_SetWholeFileBytes(0);
    EXPECT_EQ(FILEDESC_GetWholeFileBytes(), FILEDESC_DEFAULT_WHOLE_FILE_BYTES);
}

}  // namespace

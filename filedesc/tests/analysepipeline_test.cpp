// The analysis's stages run one after the other as the front ends run them, over files other
// projects publish (the shipped example, Debian's release table, tzdata's zone table): what the
// report says was detected and found, a file read whole or in part, and two analyses at once
// with different limits.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "filedesc/analyse.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

using fdtest::DescPtr;

// What the stages give for one file.
struct PipelineRun {
    DATAFILE_SHAPE shape;
    DescPtr desc;
    FILEANALYSE_REPORT report;
};

// The new description of the descriptions made on the calling thread (the registry's), then
// the reading stages, as a worker runs them.
DescPtr newDescription(const std::string& path, DATAFILE_SHAPE& shape) {
    shape = FILEANALYSE_DetectDialect(FILEANALYSE_ReadSample(path));
    return DescPtr(FILEANALYSE_NewDescription(path, &shape, FILEANALYSE_DETECTED));
}

FILEANALYSE_REPORT readRows(FileDesc* desc, const std::string& path,
                            const FILEANALYSE_OPTIONS& options) {
    TASK* task = TASK_Create("analyse", nullptr, nullptr);
    FILEANALYSE_REPORT report = FILEDESC_AnalyseFile(task, desc, path.c_str(), options);
    TASK_Destroy(task);
    return report;
}

FILEANALYSE_OPTIONS detectedOptions(int maxRows = FILEDESC_ANALYSE_AUTO_ROWS) {
    FILEANALYSE_OPTIONS o;
    o.maxRows = maxRows;
    o.rules = FILEANALYSE_DETECTED;
    return o;
}

PipelineRun runPipeline(const std::string& path, const FILEANALYSE_OPTIONS& options) {
    PipelineRun run;
    run.desc = newDescription(path, run.shape);
    if (run.desc) run.report = readRows(run.desc.get(), path, options);
    return run;
}

// The data rows of `path` counted by their number of fields, split at `delimiter` outside
// comment lines ("#"), the first `skip` lines passed over: the rows of another shape than the
// commonest, found without the reader.
std::map<int, int> fieldCounts(const std::string& path, char delimiter, int skip) {
    std::ifstream in(path);
    std::map<int, int> counts;
    std::string line;
    for (int n = 0; std::getline(in, line); ++n) {
        if (n < skip || line.empty()) continue;
        int fields = 1;
        for (char c : line) fields += c == delimiter;
        ++counts[fields];
    }
    return counts;
}

int rowsOtherThan(const std::map<int, int>& counts, int fields) {
    int rows = 0;
    for (const auto& [n, count] : counts) rows += n == fields ? 0 : count;
    return rows;
}

class AnalysePipeline : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override { morvex::setUiPort(nullptr); }
    morvex::ScriptedUiPort port;
    morvex::TraceCapture quiet;
    fdtest::TempDir dir;
};

TEST_F(AnalysePipeline, ReportsWhatPublishedFilesAreAndWhatDoesNotFit) {
    const std::string clients = std::string(MORVEX_SOURCE_DIR_PATH) + "/examples/clients.csv";
    const std::string debian = "/usr/share/distro-info/debian.csv";
    const std::string ubuntu = "/usr/share/distro-info/ubuntu.csv";
    // The zone table past its comment lines, for a file read in part.
    std::ifstream table("/usr/share/zoneinfo/zone.tab");
    std::string zoneRows;
    for (std::string line; std::getline(table, line);)
        if (!line.empty() && line[0] != '#') zoneRows += line + "\n";
    const std::string zones = dir.write("zone.tab", zoneRows);

    const struct {
        std::string path;
        std::string delimiter;
        char quote;
        int header;
        int columns;
        int oddRows;  // from the file itself, without the reader
    } cases[] = {
        {clients, ";", '"', 1, 7, 0},
        // Releases without an extended support end have six fields of eight.
        {debian, ",", '\0', 1, 8, rowsOtherThan(fieldCounts(debian, ',', 1), 8)},
        {ubuntu, ",", '\0', 1, 9, rowsOtherThan(fieldCounts(ubuntu, ',', 1), 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        PipelineRun run = runPipeline(c.path, detectedOptions());
        ASSERT_TRUE(run.desc);
        EXPECT_EQ(run.shape.delimiter, c.delimiter);
        EXPECT_EQ(run.shape.quote, c.quote);
        EXPECT_EQ(run.shape.header, c.header);
        EXPECT_EQ(run.shape.encoding, "UTF-8");
        EXPECT_TRUE(run.shape.fixedWidth.empty()) << run.shape.fixedWidth;
        EXPECT_EQ(run.report.failure, "");
        EXPECT_TRUE(run.report.wholeFile);
        EXPECT_EQ(run.report.columns, c.columns);
        EXPECT_EQ(static_cast<int>(run.desc->columns.size()), c.columns);
        EXPECT_EQ(run.report.oddCount, c.oddRows);
        EXPECT_EQ(run.report.oddRows.size(), std::min<size_t>(c.oddRows, 10));
        // The notices say the same: the odd rows and the whole file read.
        const std::string text = fdtest::noticesText(run.report);
        EXPECT_EQ(text.find(" ligne(s) n'ont pas ") != std::string::npos, c.oddRows > 0) << text;
        EXPECT_NE(text.find("(i) Types établis sur le fichier entier ("), std::string::npos);
        // The stages showed nothing.
        EXPECT_TRUE(port.panel.empty());
        EXPECT_TRUE(port.messages.empty());
    }

    // The zone table read in part: its first 4 KiB, then blocks spread up to its end.
    FILEANALYSE_OPTIONS part = detectedOptions();
    part.wholeFileBytes = 4096;
    PipelineRun run = runPipeline(zones, part);
    EXPECT_FALSE(run.report.wholeFile);
    EXPECT_GT(run.report.spreadRows, 0);
    EXPECT_LT(run.report.rows, 400);
    EXPECT_NE(fdtest::noticesText(run.report).find("échantillon réparti sur tout le fichier"),
              std::string::npos);
    // A table with a header line read in part: its blocks are read as lines without a header,
    // and the description says afterwards what it said before.
    FILEANALYSE_OPTIONS head = detectedOptions();
    head.wholeFileBytes = 512;
    run = runPipeline(debian, head);
    EXPECT_EQ(run.report.failure, "");
    EXPECT_FALSE(run.report.wholeFile);
    EXPECT_EQ(run.desc->FirstLineIsHeader, 1);
    EXPECT_EQ(run.desc->BeginFromLine, 1);
    EXPECT_EQ(run.desc->columns.size(), 8u);
    // And its first ten rows only.
    run = runPipeline(zones, detectedOptions(10));
    EXPECT_FALSE(run.report.wholeFile);
    EXPECT_EQ(run.report.rowsRead, 11);
}

TEST_F(AnalysePipeline, TwoAnalysesAtOnceKeepTheirOwnLimits) {
    // Values of 40 and of 2 characters: a line limit of 20 makes the first column Text, the
    // default keeps it a text of 40.
    std::string text = "libelle;n\r\n";
    for (int i = 0; i < 3000; ++i) text += std::string(40, 'a' + i % 26) + ";" + std::to_string(i) + "\r\n";
    const std::string path = dir.write("long.csv", text);
    FILEANALYSE_OPTIONS narrow = detectedOptions();
    narrow.lineLimit = 20;
    FILEANALYSE_OPTIONS firstRows = detectedOptions(100);

    // Each alone, then both at once, several times over.
    DATAFILE_SHAPE shape;
    DescPtr aloneNarrow = newDescription(path, shape);
    DescPtr aloneFirst = newDescription(path, shape);
    const FILEANALYSE_REPORT narrowReport = readRows(aloneNarrow.get(), path, narrow);
    const FILEANALYSE_REPORT firstReport = readRows(aloneFirst.get(), path, firstRows);
    ASSERT_EQ(narrowReport.widened, std::vector<std::string>{"libelle"});
    ASSERT_TRUE(firstReport.widened.empty());
    ASSERT_EQ(firstReport.rowsRead, 101);
    for (int round = 0; round < 4; ++round) {
        DescPtr a = newDescription(path, shape);
        DescPtr b = newDescription(path, shape);
        FILEANALYSE_REPORT ra, rb;
        std::thread ta([&] { ra = readRows(a.get(), path, narrow); });
        std::thread tb([&] { rb = readRows(b.get(), path, firstRows); });
        ta.join();
        tb.join();
        EXPECT_EQ(ra.widened, narrowReport.widened);
        EXPECT_EQ(ra.rowsRead, narrowReport.rowsRead);
        EXPECT_TRUE(ra.wholeFile);
        EXPECT_TRUE(rb.widened.empty());
        EXPECT_EQ(rb.rowsRead, 101);
        EXPECT_FALSE(rb.wholeFile);
        EXPECT_EQ(FILEDESC_SearchColumnByPos(a.get(), 1)->typeCible.type, DATATYPE_TEXT);
        EXPECT_EQ(FILEDESC_SearchColumnByPos(a.get(), 1)->WidthInChars, 20);
        EXPECT_EQ(FILEDESC_SearchColumnByPos(b.get(), 1)->typeCible.type, DATATYPE_VARIABLECHAR);
        EXPECT_EQ(FILEDESC_SearchColumnByPos(b.get(), 1)->WidthInChars, 40);
    }
}

}  // namespace

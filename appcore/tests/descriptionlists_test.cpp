// The lists of a description (columns, key, indexes) edited as the editor and the analysis edit
// them, over Debian's release table: the key and the index keep naming the same column records
// while columns move, go and come, and what is saved is read back the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "appcore/desceditor.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "foundation/owned.h"
#include "foundation/task.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"

namespace {

constexpr const char kReleases[] = "/usr/share/distro-info/debian.csv";

using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The fields of the header line and the most fields a line of the table has, counted without
// the reader.
void countFields(const std::string& path, size_t& header, size_t& widest) {
    std::ifstream in(path);
    header = widest = 0;
    for (std::string line; std::getline(in, line);) {
        size_t fields = 1;
        for (char c : line) fields += c == ',';
        if (header == 0) header = fields;
        widest = std::max(widest, fields);
    }
}

// The codes of the columns, in order, each with its position.
std::string order(FileDesc* d) {
    std::string text;
    for (const ColumnDesc* c : DESCEDIT_Columns(d))
        text += std::string(text.empty() ? "" : ",") + c->code + "@" + std::to_string(c->Position);
    return text;
}

std::string expectedOrder(const std::vector<ColumnDesc*>& columns) {
    std::string text;
    int position = 0;
    for (const ColumnDesc* c : columns)
        text += std::string(text.empty() ? "" : ",") + c->code + "@" + std::to_string(++position);
    return text;
}

FILEANALYSE_REPORT analyse(FileDesc* d, const FILEANALYSE_OPTIONS& options) {
    TASK* task = TASK_Create("analyse", nullptr, nullptr);
    FILEANALYSE_REPORT report = FILEDESC_AnalyseFile(task, d, kReleases, options);
    TASK_Destroy(task);
    return report;
}

TEST(DescriptionLists, KeyAndIndexFollowTheirColumnsThroughEditsAnalysesAndTheFile) {
    morvex::TraceCapture quiet;
    morvex::testing::TempDir dir;
    size_t headerFields = 0, widest = 0;
    countFields(kReleases, headerFields, widest);
    ASSERT_GE(headerFields, 6u);

    // The analysis makes one column per header field.
    DATAFILE_SHAPE shape = FILEANALYSE_DetectDialect(FILEANALYSE_ReadSample(kReleases));
    DescPtr desc(FILEANALYSE_NewDescription(kReleases, &shape, FILEANALYSE_DETECTED));
    ASSERT_TRUE(desc);
    FileDesc* d = desc.get();
    FILEANALYSE_OPTIONS detected;
    detected.rules = FILEANALYSE_DETECTED;
    detected.maxRows = FILEDESC_ANALYSE_AUTO_ROWS;
    ASSERT_EQ(analyse(d, detected).failure, "");
    const std::vector<ColumnDesc*> cols = DESCEDIT_Columns(d);
    ASSERT_EQ(cols.size(), headerFields);
    const size_t n = cols.size();

    // A key on the third column, an index on the second and fifth.
    ASSERT_EQ(DESCEDIT_SetPrimaryKey(d, {cols[2]}), 0);
    ASSERT_EQ(DESCEDIT_AddIndex(d, {cols[1], cols[4]}), 0);

    // Moves: the third column first, the first one last, and moves past either end refused.
    EXPECT_EQ(DESCEDIT_MoveColumnTo(d, cols[2], 1), "");
    EXPECT_EQ(DESCEDIT_MoveColumnTo(d, cols[0], static_cast<int>(n)), "");
    EXPECT_FALSE(DESCEDIT_MoveColumn(d, cols[0], +1));
    EXPECT_FALSE(DESCEDIT_MoveColumn(d, cols[2], -1));
    std::vector<ColumnDesc*> now = {cols[2], cols[1]};
    for (size_t k = 3; k < n; ++k) now.push_back(cols[k]);
    now.push_back(cols[0]);
    // The same records, at the same addresses, renumbered.
    EXPECT_EQ(DESCEDIT_Columns(d), now);
    EXPECT_EQ(order(d), expectedOrder(now));
    EXPECT_EQ(DESCEDIT_IndexComponents(&d->primaryKey), cols[2]->code);
    ASSERT_EQ(d->indexes.size(), 1u);
    const IndexDesc* index = d->indexes.front().get();
    EXPECT_EQ(DESCEDIT_IndexComponents(index), std::string(cols[1]->code) + ", " + cols[4]->code);

    // The second and fourth columns deleted: the index keeps its other column.
    const std::string kept = cols[4]->code;
    EXPECT_EQ(DESCEDIT_DeleteColumns(d, {cols[1], cols[3]}), 2);
    std::erase(now, cols[1]);
    std::erase(now, cols[3]);
    EXPECT_EQ(DESCEDIT_Columns(d), now);
    EXPECT_EQ(DESCEDIT_IndexComponents(index), kept);
    EXPECT_EQ(DESCEDIT_IndexComponents(&d->primaryKey), cols[2]->code);

    // Read again under the specified rules, the columns kept: the fields past the last column
    // come as undeclared columns at the end, the others keep their records.
    FILEANALYSE_OPTIONS specified;
    specified.addColumns = 0;
    specified.maxRows = 1000;
    ASSERT_EQ(analyse(d, specified).failure, "");
    const std::vector<ColumnDesc*> after = DESCEDIT_Columns(d);
    ASSERT_EQ(after.size(), std::max(widest, now.size()));
    EXPECT_TRUE(std::equal(now.begin(), now.end(), after.begin()));
    for (size_t k = now.size(); k < after.size(); ++k)
        EXPECT_STREQ(after[k]->code, ("UndeclaredColumn" + std::to_string(k + 1)).c_str());
    for (size_t k = 0; k < after.size(); ++k)
        EXPECT_EQ(after[k]->Position, static_cast<int>(k + 1));
    EXPECT_EQ(DESCEDIT_IndexComponents(&d->primaryKey), cols[2]->code);
    EXPECT_EQ(DESCEDIT_IndexComponents(index), kept);

    // Saved, read back and saved again: the same bytes, the same names in the same places.
    const std::string first = dir.file("releases.fyk"), second = dir.file("again.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(d, first.c_str()), 0);
    std::string error;
    DescPtr back(FILEDESC_OpenFileDesc(first.c_str(), &error));
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(order(back.get()), order(d));
    EXPECT_EQ(DESCEDIT_IndexComponents(&back->primaryKey), cols[2]->code);
    ASSERT_EQ(back->indexes.size(), 1u);
    EXPECT_EQ(DESCEDIT_IndexComponents(back->indexes.front().get()), kept);
    ASSERT_EQ(FILEDESC_SaveToFile(back.get(), second.c_str()), 0);
    EXPECT_EQ(readAll(second), readAll(first));

    // A column removed without being taken out of the key first (as a second analysis of the
    // file removes its columns): the key no longer names it, the index keeps its own.
    ASSERT_EQ(back->primaryKey.columns.size(), 1u);
    ASSERT_EQ(FILEDESC_SupprimerColonne(back.get(), back->primaryKey.columns.front()), 0);
    EXPECT_EQ(DESCEDIT_IndexComponents(&back->primaryKey), "");
    EXPECT_EQ(DESCEDIT_IndexComponents(back->indexes.front().get()), kept);

    // The columns released by the list helper: the key and the index name none any more, and
    // the description is written without them.
    ASSERT_EQ(FILEDESC_DetruireListe(back.get()), 0);
    EXPECT_EQ(DESCEDIT_IndexComponents(&back->primaryKey), "");
    EXPECT_EQ(DESCEDIT_IndexComponents(back->indexes.front().get()), "");
    ASSERT_EQ(FILEDESC_SaveToFile(back.get(), second.c_str()), 0);
    const std::string empty = readAll(second);
    EXPECT_EQ(empty.find("COMPOSANTE"), std::string::npos);
    EXPECT_EQ(empty.find("BEGIN Column"), std::string::npos);
    EXPECT_NE(empty.find(d->primaryKey.name), std::string::npos);
}

}  // namespace

// The column grid over tzdata's zone table: several columns given a type at once, the values
// that type refuses counted from the file, each edit undone in one step, and the refusals that
// leave every column as it was.
#include "appcore/columngrid.h"

#include <gtest/gtest.h>

#include "appcore/desceditor.h"
#include "filedesc/filedesc.h"
#include "sqliteload/sqlite3dll.h"

namespace {

class ColumnGrid : public ::testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        desc = FILEDESC_CreateFileDesc("Fuseaux", nullptr, STRUCTFILE_DELIMITED, "\\n", "\\t");
        desc->BeginFromLine = 30;  // past the comment lines
        for (const char* code : {"codes", "coordonnees", "fuseau", "commentaire"}) {
            ColumnDesc fields = DESCEDIT_NewColumnFields(code);
            fields.WidthInChars = 60;
            ASSERT_EQ(DESCEDIT_ApplyDetail(desc, nullptr, fields), "");
        }
        columns = DESCEDIT_Columns(desc);
        std::string error;
        ASSERT_TRUE(sample.load("/usr/share/zoneinfo/zone1970.tab", error)) << error;
        desc->isModified = 0;
    }
    void TearDown() override { FILEDESC_CloseFileDesc(desc); }

    std::vector<int> refused() { return COLUMNGRID_CountRefused(desc, sample.cut(desc, nullptr, 1000)); }
    std::vector<std::string> texts(ColumnGridField field) {
        std::vector<std::string> out;
        for (ColumnDesc* c : columns) out.push_back(COLUMNGRID_Text(c, field));
        return out;
    }

    FileDesc* desc = nullptr;
    std::vector<ColumnDesc*> columns;
    CutPreviewSample sample;
};

TEST_F(ColumnGrid, ATypeGivenToSeveralColumnsCountsTheValuesItRefusesAndUndoesInOneStep) {
    EXPECT_EQ(refused(), (std::vector<int>{0, 0, 0, 0}));
    ColumnGridEdits edits(desc);
    ASSERT_EQ(edits.set({columns[0], columns[2]}, COLUMNGRID_TYPE, "Entier"), "");
    EXPECT_EQ(desc->isModified, 1);
    EXPECT_EQ(texts(COLUMNGRID_TYPE),
              (std::vector<std::string>{"Entier", "Chaîne variable", "Entier", "Chaîne variable"}));
    // Country codes and zone names are no integers: every row's value is refused.
    const CutPreview cut = sample.cut(desc, nullptr, 1000);
    int codes = 0, zones = 0;
    for (const CutPreviewRow& row : cut.rows) {
        codes += !row.fields.empty() && !row.fields[0].empty();
        zones += row.fields.size() > 2 && !row.fields[2].empty();
    }
    ASSERT_GT(zones, 300);
    EXPECT_EQ(refused(), (std::vector<int>{codes, 0, zones, 0}));
    // A type that holds them refuses none.
    ASSERT_EQ(edits.set({columns[2]}, COLUMNGRID_TYPE, "Texte non limité"), "");
    EXPECT_EQ(refused(), (std::vector<int>{codes, 0, 0, 0}));
    ASSERT_TRUE(edits.undo());

    ASSERT_EQ(edits.set({columns[1], columns[3]}, COLUMNGRID_MANDATORY, "1"), "");
    EXPECT_EQ(texts(COLUMNGRID_MANDATORY), (std::vector<std::string>{"0", "1", "0", "1"}));
    // Each undo takes back one edit, whatever the number of columns it changed.
    ASSERT_TRUE(edits.undo());
    EXPECT_EQ(texts(COLUMNGRID_MANDATORY), (std::vector<std::string>{"0", "0", "0", "0"}));
    EXPECT_EQ(texts(COLUMNGRID_TYPE)[0], "Entier");
    ASSERT_TRUE(edits.undo());
    EXPECT_EQ(texts(COLUMNGRID_TYPE),
              (std::vector<std::string>{"Chaîne variable", "Chaîne variable", "Chaîne variable",
                                        "Chaîne variable"}));
    EXPECT_EQ(refused(), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_FALSE(edits.undo());
}

TEST_F(ColumnGrid, ARefusedEditChangesNoColumnAndLeavesNoUndoStep) {
    ColumnGridEdits edits(desc);
    const struct {
        std::vector<int> at;
        ColumnGridField field;
        const char* value;
    } refusals[] = {
        {{0, 1}, COLUMNGRID_WIDTH, "0"},        {{0, 1}, COLUMNGRID_WIDTH, "12abc"},
        {{0}, COLUMNGRID_TYPE, "Integer"},       {{0, 1}, COLUMNGRID_CODE, "pays"},
        {{1}, COLUMNGRID_CODE, "CODES"},        {{1}, COLUMNGRID_CODE, ""},
        {{0}, COLUMNGRID_IGNORED, "oui"},       {{0}, COLUMNGRID_CODE, "a\tb"},
    };
    const std::vector<std::string> codes = texts(COLUMNGRID_CODE);
    for (const auto& r : refusals) {
        std::vector<ColumnDesc*> chosen;
        for (int i : r.at) chosen.push_back(columns[i]);
        EXPECT_NE(edits.set(chosen, r.field, r.value), "") << r.value;
    }
    EXPECT_EQ(texts(COLUMNGRID_CODE), codes);
    EXPECT_EQ(texts(COLUMNGRID_WIDTH), (std::vector<std::string>{"60", "60", "60", "60"}));
    EXPECT_FALSE(edits.canUndo());
    EXPECT_EQ(desc->isModified, 0);
    // The same edits with values the editor takes.
    EXPECT_EQ(edits.set({columns[0], columns[1]}, COLUMNGRID_WIDTH, "12"), "");
    EXPECT_EQ(edits.set({columns[1]}, COLUMNGRID_CODE, "coords"), "");
    EXPECT_EQ(edits.set({columns[3]}, COLUMNGRID_DESCRIPTION, "Remarque de tzdata"), "");
    EXPECT_EQ(texts(COLUMNGRID_WIDTH), (std::vector<std::string>{"12", "12", "60", "60"}));
    EXPECT_EQ(COLUMNGRID_Text(columns[1], COLUMNGRID_CODE), "coords");
    EXPECT_EQ(COLUMNGRID_Text(columns[3], COLUMNGRID_DESCRIPTION), "Remarque de tzdata");
}

}  // namespace

// The property tables of a description and of its columns against the .fyk reader and writer:
// every property stored in the file comes back as it was set, and no two rows share a name that
// one of the users looks up.
#include "filedesc/descprops.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "filedesc/tests/fdtest_util.h"

using fdtest::DescPtr;
using morvex::DescProperty;
using morvex::PropertyKind;

namespace {

// A value for the property, different from every other row's and from the default: texts in
// upper case (the encoding is kept so), a notation the end-of-line conversion knows, a number in
// the row's range, a path. The description may hold line ends (written in the notation).
std::string valueFor(const DescProperty& p, int row) {
    switch (p.kind) {
        case PropertyKind::Text:
            return std::string("ÉTÉ ") + p.fykKey;
        case PropertyKind::Notation:
            return row % 2 ? "\\n\\r" : "\\t;";
        case PropertyKind::OwnedText:
            return std::string("ligne 1\r\nligne 2 \\ ") + p.fykKey;
        case PropertyKind::Path:
            return std::string("/données/") + p.fykKey + " 1.txt";
        case PropertyKind::Number:
            return std::to_string(std::min(p.fykMax, 40 + row));
    }
    return "";
}

void setValue(FileDesc& desc, const DescProperty& p, const std::string& value) {
    switch (p.kind) {
        case PropertyKind::Text:
        case PropertyKind::Notation:
            morvex::setPropertyFixedText(desc, p, value);
            break;
        case PropertyKind::OwnedText:
        case PropertyKind::Path:
            p.setOwned(&desc, value.c_str());
            break;
        case PropertyKind::Number:
            desc.*p.number = std::stoi(value);
            break;
    }
}

TEST(DescriptionProperties, EveryStoredPropertyComesBackFromTheFileAsItWasSet) {
    FILEDESC_Initialize();
    fdtest::TempDir dir;
    const std::string path = dir.file("all.fyk");
    DescPtr desc(FILEDESC_CreateFileDesc("p", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
    ColumnDesc col = fdtest::makeColumn("A", 3);
    ASSERT_EQ(FILEDESC_AjouterColonne(desc.get(), &col), 0);
    int row = 0;
    for (const DescProperty& p : morvex::descriptionProperties()) {
        ++row;
        if (p.fykKey) setValue(*desc, p, valueFor(p, row));
    }
    ASSERT_EQ(FILEDESC_SaveToFile(desc.get(), path.c_str()), 0);
    std::string error;
    DescPtr back(FILEDESC_OpenFileDesc(path.c_str(), &error));
    ASSERT_NE(back.get(), nullptr) << error;
    row = 0;
    for (const DescProperty& p : morvex::descriptionProperties()) {
        ++row;
        if (!p.fykKey) continue;
        EXPECT_EQ(morvex::propertyText(*back, p), valueFor(p, row)) << p.fykKey;
        // A property written only when set is written once it is.
        EXPECT_TRUE(morvex::propertyWritten(*back, p)) << p.fykKey;
    }
    // Written again, the file keeps its bytes.
    const std::string again = dir.file("again.fyk");
    ASSERT_EQ(FILEDESC_SaveToFile(back.get(), again.c_str()), 0);
    EXPECT_EQ(fdtest::readFile(again), fdtest::readFile(path));
}

TEST(DescriptionProperties, NoTwoRowsShareANameAUserLooksUp) {
    std::set<std::string> fyk, json, templates, catalogue, edit;
    std::set<int> ranks;
    for (const DescProperty& p : morvex::descriptionProperties()) {
        ASSERT_NE(p.jsonKey, nullptr);
        EXPECT_TRUE(json.insert(p.jsonKey).second) << p.jsonKey;
        if (p.fykKey) {
            EXPECT_TRUE(fyk.insert(p.fykKey).second) << p.fykKey;
        }
        for (const char* name : {p.templateName, p.templateAlias}) {
            if (name) {
                EXPECT_TRUE(templates.insert(name).second) << name;
            }
        }
        if (p.catalogueColumn) {
            EXPECT_TRUE(catalogue.insert(p.catalogueColumn).second) << p.catalogueColumn;
        }
        if (p.editName) {
            EXPECT_TRUE(edit.insert(p.editName).second) << p.editName;
            EXPECT_TRUE(ranks.insert(p.editRank).second) << p.editName;
        }
        // Each kind has what its users read.
        const bool fixed = p.kind == PropertyKind::Text || p.kind == PropertyKind::Notation;
        EXPECT_EQ(fixed, p.field != nullptr && p.fieldSize > 0) << p.jsonKey;
        EXPECT_EQ(p.kind == PropertyKind::Number, p.number != nullptr) << p.jsonKey;
        EXPECT_EQ(p.kind == PropertyKind::Path, p.asRead != nullptr) << p.jsonKey;
    }
}

}  // namespace

namespace {

// A value for a column property stored as a checked value, a width or a type, different from
// every other row's; the other rows are computed again when the file is read.
std::string columnValueFor(const morvex::ColumnProperty& p, int column, int row) {
    using morvex::ColumnFyk;
    using morvex::ColumnKind;
    if (p.fyk == ColumnFyk::Width) return std::to_string(10 + column);
    if (p.fyk == ColumnFyk::Type) return std::to_string(DATATYPE_TEXT);
    if (p.kind == ColumnKind::Text) return std::string("Été ") + p.fykKey + std::to_string(column);
    if (p.kind == ColumnKind::Character) return std::string(1, static_cast<char>('[' + row % 3));
    return std::to_string(std::min(p.fykMax, (column + row) % 2 ? p.fykMax : p.fykMin));
}

std::string columnValueOf(const ColumnDesc& c, const morvex::ColumnProperty& p) {
    if (p.kind == morvex::ColumnKind::Text) return morvex::columnText(c, p);
    if (p.kind == morvex::ColumnKind::Character) return std::string(1, c.*p.character);
    return std::to_string(morvex::columnNumber(c, p));
}

bool storedAsItIs(const morvex::ColumnProperty& p) {
    using morvex::ColumnFyk;
    return p.fyk == ColumnFyk::Value || p.fyk == ColumnFyk::Width || p.fyk == ColumnFyk::Type;
}

}  // namespace

TEST(ColumnProperties, EveryStoredPropertyOfEveryColumnComesBackFromTheFile) {
    FILEDESC_Initialize();
    fdtest::TempDir dir;
    const std::string path = dir.file("columns.fyk");
    DescPtr desc(FILEDESC_CreateFileDesc("p", nullptr, STRUCTFILE_FIXED, "\\r\\n", ";"));
    for (int column = 1; column <= 3; ++column) {
        ColumnDesc col = fdtest::makeColumn(("C" + std::to_string(column)).c_str(), 1);
        int row = 0;
        for (const morvex::ColumnProperty& p : morvex::columnProperties()) {
            ++row;
            if (!storedAsItIs(p)) continue;
            const std::string value = columnValueFor(p, column, row);
            if (p.kind == morvex::ColumnKind::Text)
                snprintf(p.text(col), p.textSize, "%s", value.c_str());
            else if (p.kind == morvex::ColumnKind::Character)
                col.*p.character = value[0];
            else
                *p.number(col) = std::stoi(value);
        }
        ASSERT_EQ(FILEDESC_AppendColumn(desc.get(), &col), 0);
    }
    ASSERT_EQ(FILEDESC_SaveToFile(desc.get(), path.c_str()), 0);
    std::string error;
    DescPtr back(FILEDESC_OpenFileDesc(path.c_str(), &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ASSERT_EQ(static_cast<int>(back->columns.size()), 3);
    int column = 0, start = 1;
    for (const ColumnOwner& owner : back->columns) {
        const ColumnDesc& c = *owner;
        ++column;
        int row = 0;
        for (const morvex::ColumnProperty& p : morvex::columnProperties()) {
            ++row;
            if (storedAsItIs(p)) {
                EXPECT_EQ(columnValueOf(c, p), columnValueFor(p, column, row)) << p.fykKey;
            }
        }
        // The computed ones: numbered from 1, placed by the widths.
        EXPECT_EQ(c.Position, column);
        EXPECT_EQ(c.StartPosition, start);
        start += 10 + column;
        EXPECT_EQ(c.EndPosition, start - 1);
    }
}

TEST(ColumnProperties, NoTwoRowsShareANameAUserLooksUp) {
    std::set<std::string> fyk, json, templates, catalogue;
    for (const morvex::ColumnProperty& p : morvex::columnProperties()) {
        for (auto [name, seen] :
             {std::pair{p.fykKey, &fyk}, std::pair{p.jsonKey, &json},
              std::pair{p.templateName, &templates}, std::pair{p.catalogueColumn, &catalogue}}) {
            if (name) {
                EXPECT_TRUE(seen->insert(name).second) << name;
            }
        }
        EXPECT_EQ(p.kind == morvex::ColumnKind::Text, p.text != nullptr && p.textSize > 0);
        EXPECT_EQ(p.kind == morvex::ColumnKind::Number, p.number != nullptr);
        EXPECT_EQ(p.kind == morvex::ColumnKind::Character, p.character != nullptr);
        EXPECT_EQ(p.fyk == morvex::ColumnFyk::None, p.fykKey == nullptr);
    }
}

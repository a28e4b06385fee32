// The property table against the .fyk reader and writer: every property stored in the file
// comes back as it was set, and no two rows share a name that one of the users looks up.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "filedesc/descprops.h"
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

// The reading dialect of a description: what each shipped description gives the reader, what
// is refused, and that a description's bytes and dialect survive a save and a load.
#include "filedesc/descdialect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "filedesc/filedesc.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"

namespace {

using fdtest::DescPtr;
using fdtest::readFile;
using fdtest::TempDir;

const std::string kSource = MORVEX_SOURCE_DIR_PATH;

DescPtr openDesc(const std::string& path) {
    morvex::TraceCapture quiet;
    std::string error;
    DescPtr d(FILEDESC_OpenFileDesc(path.c_str(), &error));
    EXPECT_NE(d, nullptr) << path << ": " << error;
    return d;
}

TEST(FileDescDialect, GivesTheReaderWhatEachShippedDescriptionSays) {
    using Col = DATAFILE_COLUMN_DIALECT;
    struct Case {
        const char* file;
        DATAFILE_LAYOUT layout;
        std::string lineEnd, delimiter;
        bool header, unquote;
        std::vector<Col> firstColumns;  // the first two
        size_t columns;
    };
    const Case cases[] = {
        {"examples/clients.fyk", DATAFILE_LAYOUT::Delimited, "\r\n", ";", true, true,
         {Col{1, false, 0, 0}, Col{10, true, '"', '"'}}, 7},
        {"examples/import/layout_fixed.fyk", DATAFILE_LAYOUT::Fixed, "\r\n", "\t", false, false,
         {Col{10, false, 0, 0}, Col{10, false, 0, 0}}, 3},
        {"examples/import/layout_tab.fyk", DATAFILE_LAYOUT::Delimited, "\r\n", "\t", true, false,
         {Col{0, false, 0, 0}, Col{0, false, 0, 0}}, 4},
    };
    for (const Case& c : cases) {
        DescPtr d = openDesc(kSource + "/" + c.file);
        ASSERT_NE(d, nullptr);
        DATAFILE_DIALECT dialect;
        ASSERT_EQ(FILEDESC_MakeDialect(d.get(), dialect), "") << c.file;
        EXPECT_EQ(dialect.layout, c.layout) << c.file;
        EXPECT_EQ(dialect.lineEnd, c.lineEnd) << c.file;
        EXPECT_EQ(dialect.delimiter, c.delimiter) << c.file;
        EXPECT_EQ(dialect.header, c.header) << c.file;
        EXPECT_EQ(dialect.unquote, c.unquote) << c.file;
        EXPECT_EQ(dialect.firstLine, 1) << c.file;
        ASSERT_EQ(dialect.columns.size(), c.columns) << c.file;
        for (size_t i = 0; i < c.firstColumns.size(); ++i)
            EXPECT_EQ(dialect.columns[i], c.firstColumns[i]) << c.file << " column " << i;
    }
}

TEST(FileDescDialect, ReadsTheShippedClientsThroughTheirDescription) {
    DescPtr d = openDesc(kSource + "/examples/clients.fyk");
    ASSERT_NE(d, nullptr);
    DATAFILE_DIALECT dialect;
    ASSERT_EQ(FILEDESC_MakeDialect(d.get(), dialect), "");
    morvex::TraceCapture quiet;
    // The example file as the description names it, resolved from the description's folder.
    DATAFILE* reader = DATAFILE_NewIterator(dialect, d->ExampleFilePath, 0, 0);
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(DATAFILE_Init(reader), 0);
    std::vector<DATAFIELD> fields;
    std::vector<std::string> names;
    int rows = 0;
    while (DATAFILE_ReadNextFields(reader, fields)) {
        ++rows;
        ASSERT_EQ(fields.size(), 7u) << rows;
        for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i].columnIndex, int(i));
        names.emplace_back(fields[1].value, fields[1].length);
    }
    DATAFILE_DestroyIterator(reader);
    EXPECT_EQ(rows, 6);
    EXPECT_EQ(names.front(), "DUPONT");  // unquoted
    EXPECT_EQ(names.back(), "LEFEBVRE");
}

TEST(FileDescDialect, RefusesWhatCannotBeReadAndLeavesTheDialectAsItWas) {
    struct Case {
        int type;
        int firstLine;
        const char* refusal;
    };
    const Case cases[] = {
        {STRUCTFILE_UNSET, 1, "Type de fichier inconnu (0) : ni délimité, ni à largeur fixe."},
        {7, 1, "Type de fichier inconnu (7) : ni délimité, ni à largeur fixe."},
        {STRUCTFILE_DELIMITED, -2, "Première ligne à lire invalide : -2."},
        {STRUCTFILE_DELIMITED, 0, ""},
        {STRUCTFILE_FIXED, 3, ""},
    };
    for (const Case& c : cases) {
        DescPtr d(FILEDESC_CreateFileDesc("p", nullptr, c.type, "#0x0D#0x0A", "\\t"));
        d->BeginFromLine = c.firstLine;
        DATAFILE_DIALECT dialect;
        dialect.encoding = "kept";
        EXPECT_EQ(FILEDESC_MakeDialect(d.get(), dialect), c.refusal) << c.type << c.firstLine;
        if (*c.refusal) {
            EXPECT_EQ(dialect.encoding, "kept");
            continue;
        }
        EXPECT_EQ(dialect.lineEnd, "\r\n");
        EXPECT_EQ(dialect.delimiter, "\t");
        EXPECT_EQ(dialect.firstLine, c.firstLine > 0 ? c.firstLine : 1);
        EXPECT_EQ(d->BeginFromLine, c.firstLine);  // the description is only read
    }
    DATAFILE_DIALECT dialect;
    EXPECT_EQ(FILEDESC_MakeDialect(nullptr, dialect), "Aucune description.");
}

// Every description shipped or kept as a sample: the bytes written again read back to the
// same bytes and the same dialect.
TEST(FileDescDialect, EveryShippedDescriptionSurvivesASaveAndALoad) {
    std::vector<std::string> files;
    for (const char* folder : {"examples", "bench", "filedesc/fuzz/corpus"})
        for (const auto& e : std::filesystem::recursive_directory_iterator(kSource + "/" + folder))
            if (e.path().extension() == ".fyk") files.push_back(e.path().string());
    ASSERT_GE(files.size(), 8u);
    TempDir dir;
    int loaded = 0;
    for (const std::string& file : files) {
        morvex::TraceCapture quiet;
        DescPtr first(FILEDESC_OpenFileDesc(file.c_str()));
        if (!first) continue;  // a sample of a refused file
        ++loaded;
        const std::string once = dir.file("once.fyk"), twice = dir.file("twice.fyk");
        ASSERT_EQ(FILEDESC_SaveToFile(first.get(), once.c_str()), 0) << file;
        DescPtr second(FILEDESC_OpenFileDesc(once.c_str()));
        ASSERT_NE(second, nullptr) << file;
        ASSERT_EQ(FILEDESC_SaveToFile(second.get(), twice.c_str()), 0) << file;
        EXPECT_EQ(readFile(once), readFile(twice)) << file;
        DATAFILE_DIALECT a, b;
        const std::string refusal = FILEDESC_MakeDialect(first.get(), a);
        EXPECT_EQ(FILEDESC_MakeDialect(second.get(), b), refusal) << file;
        EXPECT_TRUE(a == b) << file;
    }
    EXPECT_GE(loaded, 5);
}

}  // namespace

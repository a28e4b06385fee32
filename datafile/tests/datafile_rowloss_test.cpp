// Rows the reader must never lose nor make up: an unclosed quote that would swallow the next
// rows, quoted values over several lines, empty lines, the bytes WINDOWS-1252 leaves undefined,
// and a file that changes while it is read. Every count is checked exactly, on the reading and
// on the line count.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "datafile/rejects.h"
#include "datafile/tests/datafile_util.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"

using namespace datafile_test;

namespace {

using Strings = std::vector<std::string>;

// One file, how it is described and what its reading must give.
struct RowLossCase {
    const char* name;
    int type;              // STRUCTFILE_DELIMITED or STRUCTFILE_FIXED
    const char* eol;       // end-of-line indicator as it is
    bool unquote;          // the description unquotes (columns protected by '"')
    const char* encoding;  // the description's ENCODING= ("" for none)
    std::vector<int> widths;  // one per column (fixed widths; delimited files: the count)
    std::string content;
    // Every row: "<first line>:<values joined by |>", "!" after a row set aside as an unclosed
    // quote.
    Strings rows;
    int blankLines;
    int multiLineValues;         // over all rows
    Strings problems;            // DATAFILE_RowProblem of each row that has one: "<line>:<text>"
};

const char* kSwallowed3 =
    "champ protégé sans fin probable : il engloberait la ligne 3, qui est une ligne complète";

const RowLossCase kCases[] = {
    {"unclosed quote in the middle swallows no row",
     STRUCTFILE_DELIMITED, "\r\n", true, "", {0, 0, 0},
     "1;\"a\";x\r\n2;\"b;y\r\n3;\"c\";z\r\n4;d;w\r\n",
     {"1:1|a|x", "2:2|b;y!", "3:3|c|z", "4:4|d|w"}, 0, 0, {std::string("2:") + kSwallowed3}},
    {"unclosed quote before rows without quotes",
     STRUCTFILE_DELIMITED, "\n", true, "", {0, 0, 0},
     "1;a;x\n2;\"b;y\n3;c;z\n4;d;w\n",
     {"1:1|a|x", "2:2|b;y!", "3:3|c|z", "4:4|d|w"}, 0, 0, {std::string("2:") + kSwallowed3}},
    {"unclosed quote on the last line",
     STRUCTFILE_DELIMITED, "\n", true, "", {0, 0, 0},
     "1;a;x\n2;b;y\n3;\"c;z\n",
     {"1:1|a|x", "2:2|b|y", "3:3|c;z!"}, 0, 0, {"3:champ protégé jamais fermé"}},
    {"unclosed quote over broken lines to the end costs its own line",
     STRUCTFILE_DELIMITED, "\n", true, "", {0, 0, 0},
     "1;\"a;x\nsuite\n2;b\n",
     {"1:1|a;x!", "2:suite", "3:2|b"}, 0, 0,
     {"1:champ protégé jamais fermé", "2:1 valeur(s) au lieu de 3",
      "3:2 valeur(s) au lieu de 3"}},
    {"legitimate values over several lines stay one value",
     STRUCTFILE_DELIMITED, "\r\n", true, "", {0, 0, 0},
     "1;\"a\r\nb\";x\r\n\"first\r\ncolumn\";c;d\r\n2;\"c\r\n\r\nd;e\";y\r\n",
     {"1:1|a\r\nb|x", "3:first\r\ncolumn|c|d", "5:2|c\r\n\r\nd;e|y"}, 0, 3, {}},
    {"empty lines at start, middle and end with LF",
     STRUCTFILE_DELIMITED, "\n", false, "", {0, 0},
     "\n\n1;a\n\n2;b\n  \n\n",
     {"3:1|a", "5:2|b", "6:  "}, 4, 0, {"6:1 valeur(s) au lieu de 2"}},
    {"empty lines at start, middle and end with CR LF",
     STRUCTFILE_DELIMITED, "\r\n", false, "", {0, 0},
     "\r\n1;a\r\n\r\n\r\n2;b\r\n\r\n",
     {"2:1|a", "5:2|b"}, 4, 0, {}},
    {"empty lines of an unquoting reading",
     STRUCTFILE_DELIMITED, "\r\n", true, "", {0, 0},
     "\r\n1;\"a\"\r\n\r\n2;b\r\n\r\n",
     {"2:1|a", "4:2|b"}, 3, 0, {}},
    {"empty lines with a three-byte line end",
     STRUCTFILE_DELIMITED, "$$\n", false, "", {0, 0},
     "$$\n1;a$$\n$$\n2;b$$\n",
     {"2:1|a", "4:2|b"}, 2, 0, {}},
    {"a fixed-width line of blanks is a record, an empty one is none",
     STRUCTFILE_FIXED, "\r\n", false, "", {2, 1},
     "ab \r\n\r\n   \r\nc\r\n",
     {"1:ab| ", "3:  | ", "4:c|"}, 1, 0, {}},
    {"the five bytes WINDOWS-1252 leaves undefined",
     STRUCTFILE_DELIMITED, "\r\n", false, "WINDOWS-1252", {0, 0},
     "1;a\x81" "b\x8D\x8F\x90\x9D\r\n2;\xE9\r\n",
     {"1:1|a\xC2\x81" "b\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "2:2|\xC3\xA9"}, 0, 0, {}},
};

DescPtr describe(const RowLossCase& c) {
    DescPtr desc = makeDesc(c.type, c.eol, c.type == STRUCTFILE_DELIMITED ? ";" : "");
    desc->Unquote = c.unquote ? 1 : 0;
    desc->QuoteChar = c.unquote ? '"' : '\0';
    snprintf(desc->Encoding, sizeof desc->Encoding, "%s", c.encoding);
    for (size_t i = 0; i < c.widths.size(); ++i) {
        const std::string code = "C" + std::to_string(i + 1);
        if (c.unquote)
            addColumn(desc.get(), code.c_str(), c.widths[i], '"', '"');
        else
            addColumn(desc.get(), code.c_str(), c.widths[i]);
    }
    return desc;
}

TEST(DataFileRowLoss, EveryLineIsARowABlankLineOrPartOfAQuotedValueAndIsCountedSo) {
    morvex::testing::TempDir dir("rowloss");
    for (const RowLossCase& c : kCases) {
        SCOPED_TRACE(c.name);
        DescPtr desc = describe(c);
        const std::string path = dir.write("f.txt", c.content);
        for (bool fields : {false, true}) {
            SCOPED_TRACE(fields ? "fields" : "lists");
            morvex::TraceCapture quiet;
            ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 1));
            ASSERT_TRUE(reader);
            ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
            Strings rows, problems;
            int multiLine = 0;
            std::vector<DATAFIELD> f;
            for (;;) {
                Strings values;
                if (fields) {
                    if (!DATAFILE_ReadNextFields(reader.get(), f)) break;
                    for (const DATAFIELD& x : f) values.emplace_back(x.value, x.length);
                } else {
                    LDCG* list = DATAFILE_ReadNext(reader.get());
                    if (!list) break;
                    for (LDCG_ELT* e = list->first; e; e = e->next) {
                        auto* v = static_cast<DATACOLUMN*>(e->lParam1);
                        values.emplace_back(v->value, v->length);
                    }
                    LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
                }
                std::string row = std::to_string(reader->currentRowFirstLine) + ":";
                for (size_t i = 0; i < values.size(); ++i) row += (i ? "|" : "") + values[i];
                if (reader->rowUnclosedQuote) row += "!";
                rows.push_back(row);
                multiLine += reader->rowMultiLineValues;
                EXPECT_EQ(reader->rowEncodingError, 0) << row;
                const std::string problem =
                    DATAFILE_RowProblem(reader.get(), static_cast<int>(values.size()));
                if (!problem.empty())
                    problems.push_back(std::to_string(reader->currentRowFirstLine) + ":" +
                                       problem);
            }
            EXPECT_EQ(rows, c.rows);
            EXPECT_EQ(reader->blankLines, c.blankLines);
            EXPECT_EQ(multiLine, c.multiLineValues);
            EXPECT_EQ(problems, c.problems);
            EXPECT_EQ(reader->fileChanged, 0);
        }
        // The line count says the same (by blocks when it can, row by row otherwise).
        TASK task{};
        DATAFILE_STATS stats{};
        {
            morvex::TraceCapture quiet;
            ASSERT_EQ(DATAFILE_ComputeStats(&task, dialectOf(desc.get()), path.c_str(), &stats), 0);
        }
        EXPECT_EQ(stats.nbLines, static_cast<int>(c.rows.size()));
        EXPECT_EQ(stats.blankLines, c.blankLines);
    }
}

TEST(DataFileRowLoss, TheCountByBlocksFindsEmptyLinesAcrossBlockBoundaries) {
    // Empty lines placed on each side of the block boundaries, with one- and two-byte ends.
    morvex::testing::TempDir dir("rowloss");
    for (const char* eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol[0] == '\r' ? "CR LF" : "LF");
        const std::string end = eol;
        std::string text;
        int rows = 0, blanks = 0;
        const std::string row = "12345;abcdefghij";
        while (text.size() < 3 * DATAFILE_BLOCK_SIZE) {
            // Every few rows an empty line; near each boundary one in every position.
            const size_t toBoundary = DATAFILE_BLOCK_SIZE - text.size() % DATAFILE_BLOCK_SIZE;
            if (toBoundary <= 4 || rows % 97 == 0) {
                text += end;
                ++blanks;
            } else {
                text += row + end;
                ++rows;
            }
        }
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, eol, ";");
        addColumn(desc.get(), "A", 0);
        addColumn(desc.get(), "B", 0);
        const std::string path = dir.write("big.txt", text);
        TASK task{};
        DATAFILE_STATS stats{};
        {
            morvex::TraceCapture quiet;
            ASSERT_EQ(DATAFILE_ComputeStats(&task, dialectOf(desc.get()), path.c_str(), &stats), 0);
        }
        EXPECT_EQ(stats.nbLines, rows);
        EXPECT_EQ(stats.blankLines, blanks);
        // Row by row, the same.
        morvex::TraceCapture quiet;
        ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 1));
        ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
        std::vector<DATAFIELD> f;
        int read = 0;
        while (DATAFILE_ReadNextFields(reader.get(), f)) ++read;
        EXPECT_EQ(read, rows);
        EXPECT_EQ(reader->blankLines, blanks);
    }
}

TEST(DataFileRowLoss, AFileCutAppendedToOrRewrittenDuringTheReadingEndsItsRowsAndSaysWhy) {
    enum class Change { Cut, Append, SameSizeNewTime };
    const struct {
        const char* name;
        Change change;
    } cases[] = {{"cut", Change::Cut},
                 {"appended to", Change::Append},
                 {"rewritten with the same size", Change::SameSizeNewTime}};
    morvex::testing::TempDir dir("rowloss");
    std::string text;
    int total = 0;
    while (text.size() < 3 * DATAFILE_BLOCK_SIZE) {
        text += std::to_string(total++) + ";valeur\n";
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("g.csv", text);
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
        addColumn(desc.get(), "A", 0);
        addColumn(desc.get(), "B", 0);
        morvex::TraceCapture quiet;
        ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
        ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
        std::vector<DATAFIELD> f;
        ASSERT_TRUE(DATAFILE_ReadNextFields(reader.get(), f));  // the first block is read
        switch (c.change) {
            case Change::Cut:
                ASSERT_EQ(truncate(path.c_str(), DATAFILE_BLOCK_SIZE + 10), 0);
                break;
            case Change::Append: {
                FILE* out = fopen(path.c_str(), "ab");
                fputs("fin;ajoutée\n", out);
                fclose(out);
                break;
            }
            case Change::SameSizeNewTime: {
                const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
                ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
                break;
            }
        }
        int rows = 1;
        while (DATAFILE_ReadNextFields(reader.get(), f)) ++rows;
        EXPECT_LT(rows, total);
        EXPECT_EQ(reader->fileChanged, 1);
        EXPECT_STREQ(reader->failure,
                     "le fichier a changé (taille ou date de modification) pendant la lecture");
        EXPECT_NE(quiet.text().find("a changé pendant la lecture"), std::string::npos);
    }
}

}  // namespace

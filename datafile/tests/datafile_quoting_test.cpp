// The reader on real-world delimited files: unquoting, fields that go on over line ends, and
// data files in other encodings than UTF-8.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "datafile/tests/datafile_util.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"

using namespace datafile_test;

namespace {

// A delimited description with `columns` columns protected by double quotes.
DescPtr quotedDesc(const char* eol, const char* delim, int columns, bool unquote) {
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, eol, delim);
    desc->Unquote = unquote ? 1 : 0;
    for (int i = 0; i < columns; ++i)
        addColumn(desc.get(), ("C" + std::to_string(i + 1)).c_str(), 0, '"', '"');
    return desc;
}

// One row as delivered: its first line, its values, whether its encoding failed.
struct Row {
    int firstLine;
    std::vector<std::string> values;
    int encodingError;
    bool unclosedQuote;
};

// Every row of `path` through DATAFILE_ReadNext (fields=false) or DATAFILE_ReadNextFields.
std::vector<Row> readAll(FileDesc* desc, const std::string& path, bool fields = false) {
    morvex::TraceCapture quiet;
    std::vector<Row> rows;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc), path.c_str(), 0, 1));
    EXPECT_TRUE(reader);
    if (!reader || DATAFILE_Init(reader.get()) != 0) return rows;
    std::vector<DATAFIELD> f;
    for (;;) {
        Row row{};
        if (fields) {
            if (!DATAFILE_ReadNextFields(reader.get(), f)) break;
            for (const DATAFIELD& x : f) row.values.emplace_back(x.value, x.length);
        } else {
            LDCG* list = DATAFILE_ReadNext(reader.get());
            if (!list) break;
            for (LDCG_ELT* e = list->first; e; e = e->next) {
                auto* v = static_cast<DATACOLUMN*>(e->lParam1);
                row.values.emplace_back(v->value, v->length);
            }
            LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        }
        row.firstLine = reader->currentRowFirstLine;
        row.encodingError = reader->rowEncodingError;
        row.unclosedQuote = reader->rowUnclosedQuote != 0;
        rows.push_back(row);
    }
    return rows;
}

using Values = std::vector<std::string>;

TEST(DatafileUnquote, RemovesQuotesAndUndoublesInnerQuotesOnBothReadPaths) {
    morvex::testing::TempDir dir("dfquote");
    std::string path =
        dir.write("q.csv", "\"a;b\";\"say \"\"hi\"\"\";plain\r\n\"\";x\"\"y;\"\"\"\"\r\n");
    DescPtr desc = quotedDesc("\r\n", ";", 3, true);
    for (bool fields : {false, true}) {
        std::vector<Row> rows = readAll(desc.get(), path, fields);
        ASSERT_EQ(rows.size(), 2u) << fields;
        EXPECT_EQ(rows[0].values, (Values{"a;b", "say \"hi\"", "plain"}));
        // Quotes inside a field that does not begin with one are text.
        EXPECT_EQ(rows[1].values, (Values{"", "x\"\"y", "\""}));
    }
}

TEST(DatafileUnquote, KeepsQuotesAsReadWhenTheDescriptionDoesNotUnquote) {
    morvex::testing::TempDir dir("dfquote");
    std::string path = dir.write("q.csv", "\"a;b\";\"c\"\"d\"\r\n\"multi\r\nline\";z\r\n");
    DescPtr desc = quotedDesc("\r\n", ";", 2, false);
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].values, (Values{"\"a;b\"", "\"c\"\"d\""}));
    EXPECT_EQ(rows[1].values, (Values{"\"multi"}));
    EXPECT_EQ(rows[2].values, (Values{"line\";z"}));  // the quote opens a protection
}

TEST(DatafileUnquote, CarriesARowOverLineEndsInsideQuotesAndCountsItsLines) {
    morvex::testing::TempDir dir("dfquote");
    std::string path =
        dir.write("m.csv", "1;\"two\r\nlines\";a\r\n2;\"three\r\n\r\nlines\";b\r\n3;plain;c\r\n");
    DescPtr desc = quotedDesc("\r\n", ";", 3, true);
    for (bool fields : {false, true}) {
        std::vector<Row> rows = readAll(desc.get(), path, fields);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0].values, (Values{"1", "two\r\nlines", "a"}));
        EXPECT_EQ(rows[1].values, (Values{"2", "three\r\n\r\nlines", "b"}));
        EXPECT_EQ(rows[2].values, (Values{"3", "plain", "c"}));
        EXPECT_EQ(rows[0].firstLine, 1);
        EXPECT_EQ(rows[1].firstLine, 3);
        EXPECT_EQ(rows[2].firstLine, 6);
    }
}

TEST(DatafileUnquote, SkipsAHeaderWhoseNamesGoOnOverLineEndsAsOneRecord) {
    morvex::testing::TempDir dir("dfquote");
    std::string path = dir.write("h.csv", "id;\"nom\r\nlong\";n\r\n1;a;2\r\n2;b;3\r\n");
    DescPtr desc = quotedDesc("\r\n", ";", 3, true);
    desc->FirstLineIsHeader = 1;
    morvex::TraceCapture quiet;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    ASSERT_TRUE(reader);
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    std::vector<DATAFIELD> f;
    std::vector<std::string> firsts;
    std::vector<int> lines;
    while (DATAFILE_ReadNextFields(reader.get(), f)) {
        firsts.emplace_back(f[0].value, f[0].length);
        lines.push_back(reader->currentRowFirstLine);
    }
    EXPECT_EQ(firsts, (Values{"1", "2"}));
    EXPECT_EQ(lines, (std::vector<int>{3, 4}));
}

TEST(DatafileUnquote, AnUnclosedQuoteCostsItsOwnRowNotTheRestOfTheFile) {
    morvex::testing::TempDir dir("dfquote");
    // An inch mark inside a field is text; line 4 opens a field that nothing closes.
    std::string path =
        dir.write("u.csv", "1;a\r\n2;12\" pipe\r\n3;\"x;y\"\r\n4;\"open\r\n5;last\r\n6;end");
    DescPtr desc = quotedDesc("\r\n", ";", 2, true);
    for (bool fields : {false, true}) {
        std::vector<Row> rows = readAll(desc.get(), path, fields);
        ASSERT_EQ(rows.size(), 6u) << fields;
        EXPECT_EQ(rows[1].values, (Values{"2", "12\" pipe"}));
        EXPECT_EQ(rows[2].values, (Values{"3", "x;y"}));
        EXPECT_EQ(rows[3].values, (Values{"4", "open"}));
        EXPECT_EQ(rows[3].firstLine, 4);
        EXPECT_TRUE(rows[3].unclosedQuote);
        EXPECT_EQ(rows[4].values, (Values{"5", "last"}));
        EXPECT_EQ(rows[4].firstLine, 5);
        EXPECT_FALSE(rows[4].unclosedQuote);
        EXPECT_EQ(rows[5].values, (Values{"6", "end"}));
    }
}

TEST(DatafileUnquote, CountsMultiLineRowsOnce) {
    morvex::testing::TempDir dir("dfquote");
    std::string path = dir.write("c.csv", "h1;h2\n1;\"a\nb\nc\"\n2;d\n");
    DescPtr desc = quotedDesc("\n", ";", 2, true);
    TASK task{};
    DATAFILE_STATS stats{};
    morvex::TraceCapture quiet;
    ASSERT_EQ(DATAFILE_ComputeStats(&task, dialectOf(desc.get()), path.c_str(), &stats), 0);
    EXPECT_EQ(stats.nbLines, 3);
}

TEST(DatafileUnquote, GivesFieldsPastTheLastColumnTheDescriptionQuoteChar) {
    morvex::testing::TempDir dir("dfquote");
    std::string path = dir.write("n.csv", "\"a,b\",\"c\nd\"\n");
    DescPtr desc = quotedDesc("\n", ",", 0, true);
    desc->QuoteChar = '"';
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].values, (Values{"a,b", "c\nd"}));
}

TEST(DatafileUnquote, SplitsAsTheScanFoundAsWhenItSplitsAfresh) {
    // A row the unquoting scan went through whole is split where the scan found its fields;
    // after a conversion (here ISO-8859-1 on ASCII text: the same bytes) it is split afresh.
    // Both must give the same rows, whatever the quotes, doubled quotes, text after a closing
    // quote, quoted line ends, unclosed quotes, long values and delimiters of one or two bytes.
    const std::vector<std::string> pieces = {"a", "bc",   "\"", "\"\"", " ",
                                             ",", "\r\n", "\n", "x\"y"};
    unsigned seed = 2024;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) % n;
    };
    morvex::testing::TempDir dir("dfscan");
    for (const char* delim : {";", "||"}) {
        std::string content;
        for (int row = 0; row < 400; ++row) {
            const unsigned fields = 1 + next(6);
            for (unsigned f = 0; f < fields; ++f) {
                if (f) content += delim;
                const bool quoted = next(3) != 0;
                if (quoted) content += '"';
                for (unsigned n = next(5); n > 0; --n) {
                    std::string piece = pieces[next(static_cast<unsigned>(pieces.size()))];
                    if (!quoted && piece.find('\n') != std::string::npos) piece = "z";
                    if (next(200) == 0) piece = std::string(11000, 'L');
                    content += piece;
                }
                if (quoted && next(12) != 0) content += '"';
                if (next(10) == 0) content += "tail";
                if (next(15) == 0) content += delim[0];
            }
            content += "\r\n";
        }
        const std::string path = dir.write("s.csv", content);
        for (int columns : {0, 3}) {
            DescPtr scanned = quotedDesc("\r\n", delim, columns, true);
            DescPtr afresh = quotedDesc("\r\n", delim, columns, true);
            scanned->QuoteChar = afresh->QuoteChar = '"';
            snprintf(afresh->Encoding, sizeof afresh->Encoding, "%s", "ISO-8859-1");
            for (bool fields : {false, true}) {
                const std::vector<Row> a = readAll(scanned.get(), path, fields);
                const std::vector<Row> b = readAll(afresh.get(), path, fields);
                ASSERT_EQ(a.size(), b.size()) << delim << " " << columns;
                for (size_t i = 0; i < a.size(); ++i) {
                    ASSERT_EQ(a[i].values, b[i].values) << delim << " row " << i;
                    ASSERT_EQ(a[i].firstLine, b[i].firstLine) << delim << " row " << i;
                    ASSERT_EQ(a[i].unclosedQuote, b[i].unclosedQuote) << delim << " row " << i;
                }
            }
        }
    }
}

TEST(DatafileUnquote, FindsClosingQuotesAndDelimitersWhereverTheyFallInTheRow) {
    // Closing quotes, doubled quotes and delimiters at every place of the first 16-byte blocks
    // of a row: the scan looks for them 16 bytes at a time.
    std::string content;
    std::vector<Values> expected;
    for (size_t quoted = 0; quoted < 36; ++quoted) {
        for (size_t plain = 0; plain < 36; ++plain) {
            const std::string a(quoted, 'a'), b(plain, 'b'), c(plain, 'c'), d(quoted, 'd');
            content += "\"" + a + "\";" + b + ";\"" + c + "\"\"" + d + "\"\r\n";
            expected.push_back({a, b, c + "\"" + d});
        }
    }
    morvex::testing::TempDir dir("dfblocks");
    const std::string path = dir.write("b.csv", content);
    DescPtr desc = quotedDesc("\r\n", ";", 3, true);
    for (bool fields : {false, true}) {
        const std::vector<Row> rows = readAll(desc.get(), path, fields);
        ASSERT_EQ(rows.size(), expected.size()) << fields;
        for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i].values, expected[i]) << i;
    }
}

// ---- Encodings ----

// A two-column ";" description reading with `encoding`, without protection.
DescPtr encodedDesc(const char* encoding) {
    DescPtr desc = quotedDesc("\r\n", ";", 2, false);
    snprintf(desc->Encoding, sizeof desc->Encoding, "%s", encoding);
    return desc;
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

TEST(DatafileEncoding, ConvertsSingleByteEncodingsToUtf8) {
    struct Case {
        const char* encoding;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"WINDOWS-1252",
         "\xE9t\xE9 \xE8 \xE7"
         "a;\x9C"
         "uvre \x80",
         "été è ça;œuvre €"},
        {"ISO-8859-1", "\xE9t\xE9;\xFF", "été;ÿ"},
        {"ISO-8859-15", "\xE9;\xA4\xBD", "é;€œ"},
        {"UTF-8", "\xEF\xBB\xBF\xC3\xA9;\xE2\x82\xAC", "é;€"},  // the BOM is no data
    };
    morvex::testing::TempDir dir("dfenc");
    for (const Case& c : cases) {
        std::string path = dir.write("e.csv", c.bytes + "\r\n");
        DescPtr desc = encodedDesc(c.encoding);
        std::vector<Row> rows = readAll(desc.get(), path, true);
        ASSERT_EQ(rows.size(), 1u) << c.encoding;
        const std::string joined = rows[0].values[0] + ";" + rows[0].values.at(1);
        EXPECT_EQ(joined, c.expected) << c.encoding;
        EXPECT_EQ(rows[0].encodingError, 0) << c.encoding;
    }
}

TEST(DatafileEncoding, FlagsOnlyTheRowWithAnInvalidSequence) {
    struct Case {
        const char* encoding;
        std::string bad;
    };
    const Case cases[] = {
        {"WINDOWS-1253", "x\x81y"}, {"UTF-8", "x\xC3(y"}, {"UTF-8", "\xED\xA0\x80"}};
    morvex::testing::TempDir dir("dfenc");
    for (const Case& c : cases) {
        std::string path = dir.write("b.csv", "ok;1\r\n" + c.bad + ";2\r\nok;3\r\n");
        DescPtr desc = encodedDesc(c.encoding);
        std::vector<Row> rows = readAll(desc.get(), path);
        ASSERT_EQ(rows.size(), 3u) << c.encoding;
        EXPECT_EQ(rows[0].encodingError, 0);
        EXPECT_EQ(rows[1].encodingError, 1) << c.encoding;
        EXPECT_EQ(rows[1].values.at(0), c.bad) << "left as read";
        EXPECT_EQ(rows[2].encodingError, 0);
        EXPECT_EQ(rows[2].values, (Values{"ok", "3"}));
    }
}

TEST(DatafileEncoding, DecodesUtf16WithItsByteOrderMark) {
    morvex::testing::TempDir dir("dfenc");
    for (bool big : {false, true}) {
        std::string text = "nom;ville\r\n";
        std::string bytes = big ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
        bytes += utf16(text, big);
        // "é" (U+00E9) and "€" (U+20AC) then a row.
        bytes +=
            big ? std::string("\x00\xE9\x00;\x20\xAC", 6) : std::string("\xE9\x00;\x00\xAC\x20", 6);
        bytes += utf16("\r\n", big);
        std::string path = dir.write("u.csv", bytes);
        DescPtr desc = encodedDesc(big ? "UTF-16BE" : "UTF-16LE");
        std::vector<Row> rows = readAll(desc.get(), path, true);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].values, (Values{"nom", "ville"}));
        EXPECT_EQ(rows[1].values, (Values{"é", "€"}));
        EXPECT_EQ(rows[1].encodingError, 0);
    }
}

TEST(DatafileEncoding, FlagsALoneSurrogateInUtf16AndReadsOn) {
    morvex::testing::TempDir dir("dfenc");
    std::string bytes = "\xFF\xFE" + utf16("a;1\r\n", false) + std::string("\x00\xD8", 2) +
                        utf16("b;2\r\nc;3\r\n", false);
    std::string path = dir.write("s.csv", bytes);
    DescPtr desc = encodedDesc("UTF-16LE");
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].encodingError, 0);
    EXPECT_EQ(rows[1].encodingError, 1);
    EXPECT_EQ(rows[2].encodingError, 0);
    EXPECT_EQ(rows[2].values, (Values{"c", "3"}));
}

TEST(DatafileEncoding, DecodesUtf16AcrossBlockBoundaries) {
    // Rows of 7 characters (14 bytes) never line up with the reader's blocks.
    morvex::testing::TempDir dir("dfenc");
    std::string text;
    const int n = 200000;
    for (int i = 0; i < n; ++i) text += "ab;" + std::to_string(i % 10) + "\xC3\xA9\r\n";
    // Build UTF-16LE of the text (ASCII plus é).
    std::string bytes = "\xFF\xFE";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\xC3') {
            bytes += std::string("\xE9\x00", 2);
            ++i;
        } else {
            bytes += text[i];
            bytes += '\0';
        }
    }
    ASSERT_GT(bytes.size(), 2 * DATAFILE_BLOCK_SIZE);
    std::string path = dir.write("big.csv", bytes);
    DescPtr desc = encodedDesc("UTF-16LE");
    std::vector<Row> rows = readAll(desc.get(), path, true);
    ASSERT_EQ(rows.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; i += 9973) {
        EXPECT_EQ(rows[i].values, (Values{"ab", std::to_string(i % 10) + "é"})) << i;
        EXPECT_EQ(rows[i].encodingError, 0);
    }
    EXPECT_EQ(rows.back().values, (Values{"ab", std::to_string((n - 1) % 10) + "é"}));
}

TEST(DatafileEncoding, RefusesAnUnknownEncodingAtInit) {
    morvex::testing::TempDir dir("dfenc");
    std::string path = dir.write("x.csv", "a;b\r\n");
    DescPtr desc = encodedDesc("KLINGON-9");
    morvex::TraceCapture trace;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 1));
    ASSERT_TRUE(reader);
    EXPECT_EQ(DATAFILE_Init(reader.get()), 1);
}

}  // namespace

namespace {

TEST(DatafileUnquote, ReadsAQuotedValueWholeHoweverLongAndInLinearTime) {
    morvex::testing::TempDir dir;
    DescPtr desc = quotedDesc("\n", ";", 2, true);
    // Longer than the line limit on one line: no line end inserted, nothing cut.
    const std::string wide(12000, 'w');
    // Four megabytes over half a million lines: scanned once, not once per line.
    std::string tall;
    for (int i = 0; i < 500000; ++i) tall += "1234567\n";
    tall.pop_back();
    std::string path = dir.write("l.csv", "1;\"" + wide + "\"\n2;\"" + tall + "\"\n3;x\n");
    for (bool fields : {false, true}) {
        std::vector<Row> rows = readAll(desc.get(), path, fields);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0].values, (Values{"1", wide}));
        EXPECT_EQ(rows[1].values[1].size(), tall.size());
        EXPECT_TRUE(rows[1].values[1] == tall);
        EXPECT_EQ(rows[2].firstLine, 500002);
    }
    TASK task{};
    DATAFILE_STATS stats{};
    morvex::TraceCapture quiet;
    ASSERT_EQ(DATAFILE_ComputeStats(&task, dialectOf(desc.get()), path.c_str(), &stats), 0);
    EXPECT_EQ(stats.nbLines, 3);
}

TEST(DatafileEncoding, CutsFixedWidthsInCharactersOfTheFile) {
    morvex::testing::TempDir dir;
    struct Case {
        const char* encoding;
        std::string bytes;
    };
    // "été" then "AB" in widths 3 and 2, in two encodings: the same values in UTF-8.
    const Case cases[] = {{"WINDOWS-1252",
                           "\xE9t\xE9"
                           "AB\r\n"},
                          {"UTF-8",
                           "\xC3\xA9t\xC3\xA9"
                           "AB\r\n"}};
    for (const Case& c : cases) {
        DescPtr desc = makeDesc(STRUCTFILE_FIXED, "\r\n", "");
        snprintf(desc->Encoding, sizeof desc->Encoding, "%s", c.encoding);
        addColumn(desc.get(), "MOT", 3);
        addColumn(desc.get(), "CODE", 2);
        std::vector<Row> rows = readAll(desc.get(), dir.write("f.txt", c.bytes), true);
        ASSERT_EQ(rows.size(), 1u) << c.encoding;
        EXPECT_EQ(rows[0].values, (Values{"\xC3\xA9t\xC3\xA9", "AB"})) << c.encoding;
    }
}

TEST(DatafileReader, AFileAppendedToOnceTheReadingBeganEndsItsRowsAndSaysSo) {
    morvex::testing::TempDir dir;
    DescPtr desc = quotedDesc("\n", ";", 2, false);
    const std::string path = dir.write("g.csv", "1;a\n2;b\n");
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    {
        FILE* f = fopen(path.c_str(), "ab");  // another program goes on writing
        fputs("3;half wri", f);
        fclose(f);
    }
    int rows = 0;
    while (LDCG* row = DATAFILE_ReadNext(reader.get())) {
        LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        ++rows;
    }
    EXPECT_EQ(rows, 0);  // the change is seen at the first block
    EXPECT_EQ(reader->fileChanged, 1);
    ASSERT_NE(reader->failure, nullptr);
    EXPECT_STREQ(reader->failure,
                 "le fichier a changé (taille ou date de modification) pendant la lecture");
}

}  // namespace

#include "datafile/datafile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "datafile/tests/datafile_util.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"

using morvex::TraceCapture;
using namespace datafile_test;

namespace {

// A fresh temporary directory named after these tests, removed with its content.
struct TempDir : morvex::testing::TempDir {
    TempDir() : morvex::testing::TempDir("datafile") {}
};

// What one row delivered.
struct Row {
    std::vector<std::string> values;
    std::vector<int> columns;  // column index of each value
    std::vector<int> headerFlags;
    std::string text;  // currentRow
    int rowId = 0;
    int lineTooLong = 0;
    double readBytes = 0;
};

Row takeRow(DATAFILE* reader, LDCG* list) {
    Row row;
    for (LDCG_ELT* elt = list->first; elt; elt = elt->next) {
        auto* value = static_cast<DATACOLUMN*>(elt->lParam1);
        EXPECT_EQ(value->value[value->length], '\0');
        row.values.emplace_back(value->value, value->length);
        row.columns.push_back(value->columnIndex);
        row.headerFlags.push_back(value->isHeader);
    }
    row.text.assign(reader->currentRow, reader->currentRowLength);
    row.rowId = DATAFILE_GetCurrentFileRowID(reader);
    row.lineTooLong = reader->lineTooLong;
    row.readBytes = DATAFILE_GetReadBytes(reader);
    LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
    return row;
}

// Every row of the file at `path`, read through `desc` (at most `maxRows`, as a guard).
std::vector<Row> readAll(FileDesc* desc, const std::string& path, int limit = 10000,
                         int readHeader = 0, size_t maxRows = 10000000) {
    std::vector<Row> rows;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc), path.c_str(), limit, readHeader));
    EXPECT_NE(reader, nullptr);
    if (!reader) return rows;
    EXPECT_EQ(DATAFILE_Init(reader.get()), 0);
    while (LDCG* list = DATAFILE_ReadNext(reader.get())) {
        rows.push_back(takeRow(reader.get(), list));
        if (rows.size() >= maxRows) break;
    }
    return rows;
}

// Row texts only.
std::vector<std::string> texts(const std::vector<Row>& rows) {
    std::vector<std::string> out;
    for (const Row& r : rows) out.push_back(r.text);
    return out;
}

using Strings = std::vector<std::string>;

// ---- Delimited split ----

struct SplitCase {
    const char* name;
    const char* delimiter;
    std::string line;
    Strings expected;
};

TEST(DataFileReader, SplitsDelimitedRowsIntoDelimitersPlusOneValues) {
    const SplitCase cases[] = {
        {"trailing and doubled delimiters", ";", "a;;b;", {"a", "", "b", ""}},
        {"delimiter only", ";", ";", {"", ""}},
        {"no delimiter", ";", "abc", {"abc"}},
        {"two-character delimiter", "::", "a::b:c::", {"a", "b:c", ""}},
        {"empty delimiter never matches", "", "a;b;c", {"a;b;c"}},
        {"delimiter cut at the row end", "::", "a:", {"a:"}},
        {"fewer fields than columns give a shorter list", ";", "x;y", {"x", "y"}},
        {"zero bytes and byte 255 keep their length",
         ";",
         std::string("a\0b;\xff\0;c", 8),
         {std::string("a\0b", 3), std::string("\xff\0", 2), "c"}},
        {"byte 255 alone", ";", "\xff", {"\xff"}},
    };
    TempDir dir;
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", c.delimiter);
        for (const char* code : {"A", "B", "C"}) addColumn(desc.get(), code, 5);
        std::vector<Row> rows = readAll(desc.get(), dir.write("f.txt", c.line + "\n"));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].text, c.line);
        EXPECT_EQ(rows[0].values, c.expected);
    }
}

TEST(DataFileReader, KeepsQuotedDelimiterInsideProtectedField) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    addColumn(desc.get(), "A", 10);
    addColumn(desc.get(), "B", 10, '"', '"');
    std::string path = dir.write("f.txt",
                                 "1;\"x;y\";3\r\n"       // quotes stay in the value
                                 "2;a\"b;c\"d;e\r\n"     // protection may start mid-field
                                 "\"p;q\";\"r;s\"\r\n"   // only the second column is protected
                                 "3;\"\";\"t;u\"\r\n");  // past the last column: no protection
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].values, (Strings{"1", "\"x;y\"", "3"}));
    EXPECT_EQ(rows[1].values, (Strings{"2", "a\"b;c\"d", "e"}));
    EXPECT_EQ(rows[2].values, (Strings{"\"p", "q\";\"r", "s\""}));
    EXPECT_EQ(rows[3].values, (Strings{"3", "\"\"", "\"t", "u\""}));
    EXPECT_EQ(rows[0].columns, (std::vector<int>{0, 1, -1}));
}

TEST(DataFileReader, DistinctStartAndEndCharactersProtectAField) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ",");
    addColumn(desc.get(), "A", 10, '[', ']');
    std::vector<Row> rows = readAll(desc.get(), dir.write("f.txt", "[a,b],c\n"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].values, (Strings{"[a,b]", "c"}));
}

TEST(DataFileReader, UnclosedProtectedFieldRunsToTheRowEndWithAWarning) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    addColumn(desc.get(), "A", 10);
    addColumn(desc.get(), "B", 10, '"', '"');
    std::string path = dir.write("f.txt", "1;\"open;still\nnext;x\n");
    TraceCapture trace;
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].values, (Strings{"1", "\"open;still"}));
    EXPECT_EQ(rows[1].values, (Strings{"next", "x"}));
    EXPECT_NE(trace.text().find("\n[SplitRowWithSeparator] ATTENTION : Aucun caractère de fin de "
                                "champ protégé n'a été identifié avant la fin de la ligne.\n   "
                                "->row=[1;\"open;still]"),
              std::string::npos);
}

// ---- Fixed-width split ----

TEST(DataFileReader, FixedWidthColumnsTakeTheirWidthsInOrder) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_FIXED, "\r\n", "");
    addColumn(desc.get(), "A", 2);
    addColumn(desc.get(), "B", 3);
    addColumn(desc.get(), "C", 4);
    FILEDESC_SearchColumnByPos(desc.get(), 2)->IgnoreColumn = 1;  // still gets its value
    // Zero bytes count as characters; the last row has no line end. A line of blanks is a
    // record; an empty line is none.
    std::string path = dir.write(
        "f.txt", "abcdefghiXYZ\r\nabcd\r\n\r\n   \r\n" + std::string("\0b\0de\0", 6));
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].values, (Strings{"ab", "cde", "fghi"}));  // "XYZ" is not delivered
    EXPECT_EQ(rows[1].values, (Strings{"ab", "cd", ""}));
    EXPECT_EQ(rows[2].values, (Strings{"  ", " ", ""}));
    EXPECT_EQ(rows[3].values,
              (Strings{std::string("\0b", 2), std::string("\0de", 3), std::string(1, '\0')}));
    EXPECT_EQ(rows[0].columns[2], 2);
}

TEST(DataFileReader, FixedWidthWithoutColumnsGivesNoListAndSaysWhy) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_FIXED, "\n", "");
    std::string path = dir.write("f.txt", "abc\ndef\n");
    TraceCapture trace;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    EXPECT_EQ(DATAFILE_ReadNext(reader.get()), nullptr);
    EXPECT_NE(trace.text().find("\n[SplitRowFixedSize] Impossible de découper un fichier sans "
                                "séparateur sans aucune définition de colonne."),
              std::string::npos);
}

// ---- Header and first line ----

TEST(DataFileReader, SkipsLinesBeforeTheFirstOneAndTheHeaderWhenAsked) {
    TempDir dir;
    std::string path = dir.write("f.txt", "l1\nl2\nh;e;a\nl4;x;y\nl5\n");
    for (int readHeader : {0, 1}) {
        SCOPED_TRACE(readHeader);
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
        desc->FirstLineIsHeader = 1;
        desc->BeginFromLine = 3;
        std::vector<Row> rows = readAll(desc.get(), path, 0, readHeader);
        ASSERT_EQ(rows.size(), 2u + readHeader);
        if (readHeader) {
            // The header flag is on every value of the header row, and only there.
            EXPECT_EQ(rows[0].text, "h;e;a");
            EXPECT_EQ(rows[0].rowId, 3);
            EXPECT_EQ(rows[0].headerFlags, (std::vector<int>{1, 1, 1}));
        }
        const Row& first = rows[readHeader];
        EXPECT_EQ(first.text, "l4;x;y");
        EXPECT_EQ(first.rowId, 4);
        EXPECT_EQ(first.headerFlags, (std::vector<int>{0, 0, 0}));
        EXPECT_EQ(rows.back().rowId, 5);
    }
}

// ---- Line ends ----

struct LineCase {
    const char* name;
    const char* indicator;
    std::string content;
    Strings expected;
    int limit = 10000;
};

TEST(DataFileReader, EndsRowsAtTheIndicatorOnly) {
    const LineCase cases[] = {
        {"last line without indicator", "\r\n", "a\r\nb", {"a", "b"}},
        {"no line end at all", "\n", "just one", {"just one"}},
        {"empty line in between is no row", "\n", "a\n\nb\n", {"a", "b"}},
        {"lone CR is text with CR LF", "\r\n", "a\rb\r\nc\r\n", {"a\rb", "c"}},
        {"LF is text with CR LF", "\r\n", "a\nb\r\nc\n", {"a\nb", "c\n"}},
        {"CR stays before LF with LF", "\n", "a\r\nb\n", {"a\r", "b"}},
        {"partial indicator at the end", "\r\n", "a\r", {"a\r"}},
        // A byte that breaks a partial match may itself start the indicator.
        {"CR CR LF ends at the CR LF", "\r\n", "ab\r\r\ncd", {"ab\r", "cd"}},
        {"CR CR CR LF", "\r\n", "\r\r\r\nx", {"\r\r", "x"}},
        {"repeated prefix indicator", "$$\n", "a$$$\nb$$\n", {"a$", "b"}},
        {"overlapping indicator", "abab", "xabababy", {"x", "aby"}},
        {"empty indicator cuts rows at the limit", "", "abcdefg", {"abc", "def", "g"}, 2},
    };
    TempDir dir;
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, c.indicator, "");
        std::vector<Row> rows = readAll(desc.get(), dir.write("f.txt", c.content), c.limit);
        EXPECT_EQ(texts(rows), c.expected);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back().readBytes, static_cast<double>(c.content.size()));
    }
}

// ---- Character limit ----

TEST(DataFileReader, AnOverlongLineIsOneRowCutAndFlaggedNeverSeveral) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    std::string line;
    for (int i = 0; i < 12000; ++i) line += static_cast<char>('a' + i % 26);
    std::string path = dir.write("f.txt", line + "\r\nnext\r\n");
    TraceCapture trace;
    std::vector<Row> rows = readAll(desc.get(), path, 10000);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, line.substr(0, 10001));
    EXPECT_EQ(rows[0].lineTooLong, 1);
    EXPECT_EQ(rows[0].readBytes, 12002.0);  // the rest of the line is passed over
    EXPECT_EQ(rows[1].text, "next");
    EXPECT_EQ(rows[1].lineTooLong, 0);
    EXPECT_EQ(rows[1].rowId, 2);
    EXPECT_NE(trace.text().find("\n[ReadRow] : L'indicateur de fin de ligne n'a pas été trouvé "
                                "dans les 10000 premiers caractères. Abandon."),
              std::string::npos);
}

TEST(DataFileReader, RowMayTakeOneCharacterMoreThanTheLimit) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    // 3 characters + LF fit in a limit of 3 (the limit is tested before each byte); a cut
    // CR LF leaves no CR behind.
    std::vector<Row> rows = readAll(desc.get(), dir.write("f.txt", "abc\nabcd\nabcde\r\nz"), 3);
    EXPECT_EQ(texts(rows), (Strings{"abc", "abcd", "abcd", "z"}));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].lineTooLong, 0);
    EXPECT_EQ(rows[1].lineTooLong, 1);
    EXPECT_EQ(rows[2].lineTooLong, 1);
    EXPECT_EQ(rows[3].lineTooLong, 0);
    desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    rows = readAll(desc.get(), dir.write("g.txt", "abc\r\nxy"), 3);
    EXPECT_EQ(texts(rows), (Strings{"abc", "xy"}));
}

TEST(DataFileReader, HundredMegabyteLineKeepsMemoryBounded) {
    TempDir dir;
    std::string path = dir.file("big.txt");
    constexpr int kChunks = 100;
    {
        std::string chunk(1 << 20, 'x');
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < kChunks; ++i) out.write(chunk.data(), chunk.size());
        out.write("\nend\n", 5);
    }
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 10000, 0));
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    size_t rows = 0, longest = 0, total = 0;
    {
        TraceCapture trace;  // one message per cut row
        while (LDCG* list = DATAFILE_ReadNext(reader.get())) {
            longest = std::max(longest, static_cast<size_t>(reader->currentRowLength));
            total += reader->currentRowLength;
            LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
            ++rows;
        }
    }
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(longest, 10001u);
    EXPECT_EQ(total, 10001u + 3);
    EXPECT_EQ(rows, 2u);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer keeps freed memory in quarantine
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024);  // kilobytes
#endif
}

// ---- Block boundaries ----

TEST(DataFileReader, IndicatorSplitAcrossTheBlockBoundaryEndsTheRow) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    const std::string first(DATAFILE_BLOCK_SIZE - 1, 'a');  // its CR is the block's last byte
    std::string path = dir.write("f.txt", first + "\r\nb;c\r\n");
    std::vector<Row> rows = readAll(desc.get(), path, 2 * DATAFILE_BLOCK_SIZE);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, first);
    EXPECT_EQ(rows[0].readBytes, static_cast<double>(DATAFILE_BLOCK_SIZE + 1));
    EXPECT_EQ(rows[1].values, (Strings{"b", "c"}));
}

TEST(DataFileReader, RowLongerThanABlockIsReadWhole) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_FIXED, "\n", "");
    addColumn(desc.get(), "A", 3);
    std::string line(3 * DATAFILE_BLOCK_SIZE + 5, 'z');
    line[0] = 'q';
    line.back() = 'e';
    std::vector<Row> rows =
        readAll(desc.get(), dir.write("f.txt", line + "\nxyz\n"), 4 * DATAFILE_BLOCK_SIZE);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, line);
    EXPECT_EQ(rows[0].values, Strings{"qzz"});
    EXPECT_EQ(rows[1].values, Strings{"xyz"});
}

TEST(DataFileReader, ManyRowsAcrossBlocksMatchALineByLineReference) {
    // Rows of varied lengths, with lone CRs and LFs inside, over several blocks.
    std::string content;
    std::vector<std::string> expected;
    std::vector<double> ends;
    unsigned seed = 12345;
    while (content.size() < 3 * DATAFILE_BLOCK_SIZE + 100) {
        seed = seed * 1103515245 + 12345;
        std::string line(1 + (seed >> 16) % 300, 'k');
        for (size_t i = 0; i < line.size(); i += 37) line[i] = (i / 37) % 2 ? '\r' : '\n';
        if (line.back() == '\r') line.back() = '.';
        content += line + "\r\n";
        expected.push_back(line);
        ends.push_back(static_cast<double>(content.size()));
    }
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    std::vector<Row> rows = readAll(desc.get(), dir.write("f.txt", content));
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].text, expected[i]) << "row " << i;
        ASSERT_EQ(rows[i].readBytes, ends[i]) << "row " << i;
    }
}

// ---- Files and arguments ----

TEST(DataFileReader, RefusesAMissingFileOrADirectoryWithItsMessage) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    for (const std::string& path : {dir.file("absent.txt"), dir.path()}) {
        TraceCapture trace;
        EXPECT_EQ(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0), nullptr);
        EXPECT_EQ(trace.text(),
                  "\n[DATAFILE_NewIterator] Le fichier exemple [" + path + "] n'existe pas.");
    }
    EXPECT_EQ(DATAFILE_NewIterator(dialectOf(desc.get()), nullptr, 0, 0), nullptr);
}

TEST(DataFileReader, TracesTheSizeAtCreationAndEofAtTheEnd) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    std::string empty = dir.write("empty.txt", "");
    TraceCapture trace;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), empty.c_str(), 0, 0));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(trace.text(), "\n[DATAFILE_NewIterator] Taille du fichier " + empty + " : 0 octets");
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    trace.clear();
    EXPECT_EQ(DATAFILE_ReadNext(reader.get()), nullptr);
    EXPECT_EQ(trace.text(), "\n[ReadRow] : EOF");
    EXPECT_EQ(reader->currentRow, nullptr);
    EXPECT_EQ(DATAFILE_GetFileSize(reader.get()), 0.0);
}

TEST(DataFileReader, ReportsPositionAndSizeAsRowsAreRead) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    std::string path = dir.write("f.txt", "ab\r\ncde\r\n");
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    EXPECT_EQ(DATAFILE_GetFileSize(reader.get()), 9.0);
    EXPECT_EQ(FileSize(path.c_str()), 9);
    LDCG* row = DATAFILE_ReadNext(reader.get());
    EXPECT_EQ(DATAFILE_GetReadBytes(reader.get()), 4.0);
    LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
    row = DATAFILE_ReadNext(reader.get());
    EXPECT_EQ(DATAFILE_GetReadBytes(reader.get()), 9.0);
    EXPECT_EQ(DATAFILE_GetCurrentFileRowID(reader.get()), 2);
    LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
    EXPECT_EQ(DATAFILE_ReadNext(reader.get()), nullptr);
    EXPECT_EQ(DATAFILE_GetReadBytes(reader.get()), 9.0);
}

TEST(DataFileReader, AnswersMissingReaderWithFailureValues) {
    EXPECT_EQ(DATAFILE_GetCurrentFileRowID(nullptr), -1);
    EXPECT_EQ(DATAFILE_GetReadBytes(nullptr), -1.0);
    EXPECT_EQ(DATAFILE_GetFileSize(nullptr), -1.0);
    EXPECT_EQ(DATAFILE_DestroyIterator(nullptr), 1);
    EXPECT_EQ(DATAFILE_Init(nullptr), 1);
    EXPECT_EQ(DATAFILE_ReadNext(nullptr), nullptr);
    EXPECT_EQ(FileSize(nullptr), -1);
    EXPECT_EQ(FileSize("/nonexistent/dir/file.txt"), -1);
    DATACOLUMN_Destroy(nullptr);
}

TEST(DataFileReader, InitFailsWhenTheFileHasGoneAndReadingThenEndsAtOnce) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    std::string path = dir.write("f.txt", "a\n");
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    std::filesystem::remove(path);
    EXPECT_EQ(DATAFILE_Init(reader.get()), 1);
    TraceCapture trace;
    EXPECT_EQ(DATAFILE_ReadNext(reader.get()), nullptr);
}

TEST(DataFileReader, UnknownStructureDeliversNoRowsSoLoopsEnd) {
    TempDir dir;
    DATAFILE_DIALECT dialect;  // neither delimited nor fixed-width
    dialect.lineEnd = "\n";
    std::string path = dir.write("f.txt", "a\nb\nc\n");
    ReaderPtr reader(DATAFILE_NewIterator(dialect, path.c_str(), 0, 0));
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    std::vector<DATAFIELD> fields;
    EXPECT_EQ(DATAFILE_ReadNext(reader.get()), nullptr);
    EXPECT_FALSE(DATAFILE_ReadNextFields(reader.get(), fields));
}

TEST(DataFileReader, CreationTakesDefaultsAndInitRestartsFromTheBeginning) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    desc->BeginFromLine = 0;
    std::string path = dir.write("f.txt", "a\nb\n");
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->dialect.firstLine, 1);
    EXPECT_EQ(desc->BeginFromLine, 0);  // the description is only read
    EXPECT_EQ(reader->nCarMaxReadWithoutNewLine, 10000);
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    LDCG_Destroy(DATAFILE_ReadNext(reader.get()), 0, 3);
    ASSERT_EQ(DATAFILE_Init(reader.get()), 0);
    Row row = takeRow(reader.get(), DATAFILE_ReadNext(reader.get()));
    EXPECT_EQ(row.text, "a");
    EXPECT_EQ(row.rowId, 1);
}

// ---- Line count ----

struct Event {
    int kind, range, position;
    std::string message;
};

// One DATAFILE_ComputeStats run: its result, the count, the task's events and the trace.
struct Count {
    int result = -1;
    DATAFILE_STATS stats{};
    std::vector<Event> events;
    std::string trace;
};

void recordEvent(TASK* task, int event, int range, int position, const char* message) {
    auto* events = static_cast<std::vector<Event>*>(task->runnerData);
    events->push_back({event, range, position, message ? message : ""});
    if (event == TASK_EVENT_PROGRESS && task->parameter) TASK_RequestStop(task);
}

// Counts the rows of `path`; the task asks to stop at its first progress report when `stop`.
Count countLines(FileDesc* desc, const std::string& path, bool stop = false) {
    Count c;
    TASK* task = TASK_Create("count", nullptr, stop ? reinterpret_cast<void*>(1) : nullptr);
    task->eventCallback = recordEvent;
    task->runnerData = &c.events;
    strcpy(c.stats.text, "untouched");
    c.stats.nbLines = -1;
    TraceCapture trace;
    c.result = DATAFILE_ComputeStats(task, dialectOf(desc), path.c_str(), &c.stats);
    c.trace = trace.text();
    TASK_Destroy(task);
    return c;
}

std::string numberedLines(int n) {
    std::string s = "header;x\r\n";
    for (int i = 1; i < n; ++i) s += std::to_string(100000 + i) + ";v\r\n";
    return s;
}

TEST(DataFileStats, CountsRowsHeaderIncludedAndReportsEveryBlock) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    desc->FirstLineIsHeader = 1;
    // Lines of 10 bytes over three blocks: the header and 249 999 rows.
    std::string content = numberedLines(250000);
    Count count = countLines(desc.get(), dir.write("f.txt", content));
    EXPECT_EQ(count.result, 0);
    EXPECT_EQ(count.stats.nbLines, 250000);
    EXPECT_STREQ(count.stats.text, "untouched");
    ASSERT_EQ(count.events.size(), 3u);
    const double percent = 100.0 * DATAFILE_BLOCK_SIZE / content.size();
    EXPECT_EQ(count.events[0].kind, TASK_EVENT_PROGRESS);
    EXPECT_EQ(count.events[0].range, 100);
    EXPECT_EQ(count.events[0].position, static_cast<int>(percent));
    char expected[64];
    snprintf(expected, sizeof expected, "%zu lignes lues... (%.0f%%)", DATAFILE_BLOCK_SIZE / 10,
             percent);
    EXPECT_EQ(count.events[0].message, expected);
    EXPECT_EQ(count.events[2].message, "250000 lignes lues... (100%)");

    // Quoted line ends that need reading row by row: a report every hundred rows.
    desc->Unquote = 1;
    count = countLines(desc.get(), dir.write("g.txt", numberedLines(250)));
    EXPECT_EQ(count.stats.nbLines, 250);
    ASSERT_EQ(count.events.size(), 2u);
    EXPECT_EQ(count.events[1].message.rfind("200 lignes lues... (", 0), 0u);
}

TEST(DataFileStats, StopsAtTheNextBlockWhenAskedAndReportsTheInterruption) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    Count count = countLines(desc.get(), dir.write("f.txt", numberedLines(250000)), true);
    EXPECT_EQ(count.result, 0);
    EXPECT_EQ(count.stats.nbLines, static_cast<int>(DATAFILE_BLOCK_SIZE / 10));
    ASSERT_EQ(count.events.size(), 2u);
    EXPECT_EQ(count.events[1].kind, TASK_EVENT_INTERRUPTED);
    EXPECT_EQ(count.events[1].range, 100);
    EXPECT_EQ(count.events[1].position, 100);
    EXPECT_EQ(count.events[1].message, "Tâche interrompue par l'utilisateur.");
}

TEST(DataFileStats, ReportsThatItCouldNotStartOnAMissingFile) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\r\n", ";");
    Count count = countLines(desc.get(), dir.file("absent.txt"));
    EXPECT_EQ(count.result, 1);
    ASSERT_EQ(count.events.size(), 1u);
    EXPECT_EQ(count.events[0].kind, TASK_EVENT_NOT_STARTED);
    EXPECT_EQ(count.events[0].range, 100);
    EXPECT_EQ(count.events[0].message,
              "Erreur lors de la création de l'itérateur sur le fichier de données.");
    // Missing arguments are refused too.
    TASK task{};
    DATAFILE_STATS stats{};
    std::string path = dir.file("absent.txt");
    TraceCapture trace;
    EXPECT_EQ(DATAFILE_ComputeStats(nullptr, dialectOf(desc.get()), path.c_str(), &stats), 1);
    EXPECT_EQ(DATAFILE_ComputeStats(&task, dialectOf(desc.get()), nullptr, &stats), 1);
    EXPECT_EQ(DATAFILE_ComputeStats(&task, dialectOf(desc.get()), path.c_str(), nullptr), 1);
}

TEST(DataFileStats, CountsExactlyTheRowsThatReadingDelivers) {
    // The count delimits rows without splitting them: it must agree with DATAFILE_ReadNext
    // (header read, limit 5000) whatever the structure, first line, line ends and long lines.
    TempDir dir;
    std::string content =
        "h1;h2\r\n\r\na;b\r\r\n" + std::string(12000, 'y') + "\r\nc\rd;e\nf\r\nlast";
    std::string path = dir.write("f.txt", content);
    struct Case {
        int type;
        int columns;
        int header;
        int begin;
    } cases[] = {{STRUCTFILE_DELIMITED, 0, 0, 0}, {STRUCTFILE_DELIMITED, 2, 1, 3},
                 {STRUCTFILE_FIXED, 2, 1, 2},     {STRUCTFILE_FIXED, 0, 0, 1},
                 {STRUCTFILE_DELIMITED, 1, 1, 99}};
    for (const Case& c : cases) {
        DescPtr desc = makeDesc(c.type, "\r\n", ";");
        for (int i = 0; i < c.columns; ++i) addColumn(desc.get(), i ? "B" : "A", 3);
        desc->FirstLineIsHeader = c.header;
        desc->BeginFromLine = c.begin;
        TraceCapture trace;
        size_t delivered = readAll(desc.get(), path, 5000, 1).size();
        Count count = countLines(desc.get(), path);
        EXPECT_EQ(count.result, 0);
        EXPECT_EQ(count.stats.nbLines, static_cast<int>(delivered))
            << "type " << c.type << ", columns " << c.columns << ", begin " << c.begin;
    }
}

TEST(DataFileStats, CountsLineEndsThatStraddleTwoBlocksOnce) {
    // A CR as the last byte of a block, followed by the LF (one end) or by text (none); a CR
    // and a lone CR as the file's last bytes; the same files counted at LF alone.
    TempDir dir;
    const std::string head(DATAFILE_BLOCK_SIZE - 1, 'a');
    const std::string second(DATAFILE_BLOCK_SIZE - 4, 'b');
    for (const char* indicator : {"\r\n", "\n"}) {
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, indicator, ";");
        for (const std::string& content :
             {head + "\r\nb;c\r\n", head + "\rb\r\nc", head + "\r\n" + second + "\r\n\r\n\r",
              "\r\n\r\nx\r\r\n" + head + "\r"}) {
            const std::string path = dir.write("f.txt", content);
            TraceCapture trace;
            const size_t delivered = readAll(desc.get(), path, 4 * DATAFILE_BLOCK_SIZE, 1).size();
            Count count = countLines(desc.get(), path);
            EXPECT_EQ(count.stats.nbLines, static_cast<int>(delivered))
                << content.size() << (indicator[0] == '\r' ? " CR LF" : " LF");
        }
    }
}

TEST(DataFileStats, CountsLineEndsAndEmptyLinesAtEveryPlaceOfTheVectors) {
    // The count reads 32 or 64 bytes at a time and carries the bytes before each group: line
    // ends and empty lines falling at every offset of the groups and blocks, counted at CR LF
    // and at LF, must give the rows the reading gives.
    TempDir dir;
    std::mt19937 random(20261208);
    const char alphabet[] = {'\r', '\n', '\r', '\n', 'a', ';'};
    std::string content;
    while (content.size() < 3 * DATAFILE_BLOCK_SIZE / 2) {
        content += alphabet[random() % sizeof alphabet];
        if (random() % 7 == 0) content += std::string(random() % 70, 'x');
    }
    const std::string path = dir.write("f.txt", content);
    for (const char* indicator : {"\r\n", "\n", "\r"}) {
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, indicator, ";");
        TraceCapture trace;
        const size_t delivered = readAll(desc.get(), path, 4 * DATAFILE_BLOCK_SIZE, 1).size();
        Count count = countLines(desc.get(), path);
        EXPECT_EQ(count.stats.nbLines, static_cast<int>(delivered)) << indicator[0] + 0;
        EXPECT_GT(delivered, 20000u);
    }
}

// The non-empty lines of `text` ended by `indicator` (a last line without one included).
int64_t nonEmptyLines(const std::string& text, const std::string& indicator) {
    int64_t lines = 0;
    size_t from = 0;
    for (size_t at; (at = text.find(indicator, from)) != std::string::npos; from = at + indicator.size())
        lines += at > from ? 1 : 0;
    return lines + (from < text.size() ? 1 : 0);
}

TEST(DataFileStats, CountsALargeFileInTwoHalvesAsOneReadingWould) {
    // A large file is counted in two halves on two cores, the second from the middle of what
    // was left after the header: line ends and empty lines straddling the middle at each of its
    // places (the file one byte longer each time moves the middle by half a byte) are counted
    // once; the header line is passed over first; a stop request ends both halves.
    TempDir dir;
    std::mt19937 random(20261209);
    const char alphabet[] = {'\r', '\n', '\r', '\n', 'a', ';'};
    std::string body;
    while (body.size() < 10 * DATAFILE_BLOCK_SIZE) {
        body += alphabet[random() % sizeof alphabet];
        if (random() % 60 == 0) body += std::string(random() % 70, 'x');
    }
    const std::string header = "h1;h2\r\n";
    for (const char* indicator : {"\r\n", "\n", "\r"}) {
        DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, indicator, ";");
        desc->BeginFromLine = 2;
        for (size_t longer = 0; longer < 12; ++longer) {
            const std::string content = header + body + std::string(longer, 'z');
            const std::string path = dir.write("f.txt", content);
            const size_t skipped = content.find(indicator) + strlen(indicator);
            Count count = countLines(desc.get(), path);
            ASSERT_EQ(count.result, 0);
            EXPECT_EQ(count.stats.nbLines, nonEmptyLines(content.substr(skipped), indicator))
                << indicator[0] + 0 << ", " << longer << " more";
            EXPECT_EQ(count.events.back().message,
                      std::to_string(count.stats.nbLines) + " lignes lues... (100%)");
        }
        Count stopped = countLines(desc.get(), dir.file("f.txt"), true);
        EXPECT_EQ(stopped.result, 0);
        EXPECT_EQ(stopped.events.back().kind, TASK_EVENT_INTERRUPTED);
        EXPECT_LT(stopped.stats.nbLines, nonEmptyLines(body, indicator) / 2);
    }
}

TEST(DataFileStats, CountsAnOverlongLineOnce) {
    TempDir dir;
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    for (int unquote : {0, 1}) {
        desc->Unquote = unquote;  // counted by blocks, then row by row
        Count count = countLines(desc.get(), dir.write("f.txt", std::string(12000, 'x') + "\ny"));
        EXPECT_EQ(count.result, 0);
        EXPECT_EQ(count.stats.nbLines, 2) << unquote;
    }
}

TEST(DataFileReader, KeepsSizesOfFilesOverTwoGigabytesAndFileSizeClamps) {
    TempDir dir;
    std::string path = dir.file("sparse.txt");
    const uintmax_t size = 3ull * 1024 * 1024 * 1024;
    { std::ofstream out(path, std::ios::binary); }
    std::error_code ec;
    std::filesystem::resize_file(path, size, ec);
    ASSERT_FALSE(ec) << "no sparse file: " << ec.message();
    EXPECT_EQ(FileSize(path.c_str()), 2147483647);
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\n", ";");
    TraceCapture trace;
    ReaderPtr reader(DATAFILE_NewIterator(dialectOf(desc.get()), path.c_str(), 0, 0));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(DATAFILE_GetFileSize(reader.get()), static_cast<double>(size));
    EXPECT_EQ(trace.text(),
              "\n[DATAFILE_NewIterator] Taille du fichier " + path + " : 3221225472 octets");
}

// The description of the benchmark file loads and reads the generator's format.
TEST(DataFileReader, ReadsTheBenchmarkFormatThroughItsDescription) {
    const char* source = MORVEX_SOURCE_DIR_PATH;
    TraceCapture trace;
    DescPtr desc(FILEDESC_CreateFileDesc(nullptr, nullptr, 0, nullptr, nullptr));
    ASSERT_EQ(
        FILEDESC_LoadFromFile(desc.get(), (std::string(source) + "/bench/delimited.fyk").c_str()),
        0);
    EXPECT_EQ(static_cast<int>(desc->columns.size()), 7);
    EXPECT_EQ(desc->FirstLineIsHeader, 1);
    EXPECT_EQ(FILEDESC_LineEndBytes(*desc), "\r\n");
    TempDir dir;
    std::string path = dir.write(
        "f.txt",
        "code;nom;libelle;montant;quantite;date_operation;commentaire\r\n"
        "1;\"MOREAU Marie\";\"livraison; remise\";102308,74;9255;14/11/2002;\"taux solde\"\r\n");
    std::vector<Row> rows = readAll(desc.get(), path);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].values, (Strings{"1", "\"MOREAU Marie\"", "\"livraison; remise\"",
                                       "102308,74", "9255", "14/11/2002", "\"taux solde\""}));
}

}  // namespace

#include "sqliteload/sqlite4fyk.h"

#include <charconv>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "foundation/date.h"
#include "foundation/task.h"
#include "foundation/testing/files.h"
#include "foundation/trace.h"
#include "sqliteload/tests/output_test_util.h"

namespace {

using outtest::Contains;
using outtest::MakeColumn;
using outtest::Rows;
using outtest::SqliteTest;

// ---- Conversion of one field for its column ----

TEST(GenerateValueForData, StoresEachTypeAsItsSqliteValueOrKeepsTheTextAndCountsIt) {
    const struct {
        int type;
        const char* format;
        const char* text;
        int sqliteType;
        const char* expected;  // text of the value (integer and real written with %lld / %g)
        int notTyped;
    } cases[] = {
        {DATATYPE_INTEGER, "", "42", SQLITE_INTEGER, "42", 0},
        {DATATYPE_INTEGER, "", "  -7 ", SQLITE_INTEGER, "-7", 0},
        {DATATYPE_INTEGER, "", "", SQLITE_NULL, "", 0},
        {DATATYPE_INTEGER, "", "   ", SQLITE_NULL, "", 0},
        {DATATYPE_INTEGER, "", "4x2", SQLITE_TEXT, "4x2", 1},
        {DATATYPE_DECIMAL, "", "12,50", SQLITE_FLOAT, "12.5", 0},
        {DATATYPE_DECIMAL, "", "12.50", SQLITE_FLOAT, "12.5", 0},
        {DATATYPE_DECIMAL, "", " -0,25", SQLITE_FLOAT, "-0.25", 0},
        {DATATYPE_DECIMAL, "", "", SQLITE_NULL, "", 0},
        {DATATYPE_DECIMAL, "", "1,234.5", SQLITE_TEXT, "1,234.5", 1},
        {DATATYPE_DECIMAL, "", "nan", SQLITE_TEXT, "nan", 1},
        {DATATYPE_DATE, "jj/mm/aaaa", "26/02/2015", SQLITE_TEXT, "2015-02-26", 0},
        {DATATYPE_DATE, "jj/mm/aaaa", "", SQLITE_NULL, "", 0},
        {DATATYPE_DATE, "jj/mm/aaaa", "2015-02-26", SQLITE_TEXT, "2015-02-26", 1},
        {DATATYPE_DATE, "jj/mm/aaaa", "31/02/2015", SQLITE_TEXT, "31/02/2015", 1},
        {DATATYPE_DATE, "aaaammjj", "20240229", SQLITE_TEXT, "2024-02-29", 0},
        {DATATYPE_DATETIME, "aaaa-mm-jj HH:MM:SS", "2015-02-26 13:45:07", SQLITE_TEXT,
         "2015-02-26 13:45:07.000", 0},
        {DATATYPE_DATETIME, "aaaa-mm-jj HH:MM:SS", "2015-02-26 25:45:07", SQLITE_TEXT,
         "2015-02-26 25:45:07", 1},
        {DATATYPE_DATETIME, "aaaa-mm-jj HH:MM:SS", " ", SQLITE_NULL, "", 0},
        {DATATYPE_VARIABLECHAR, "", "L'Oréal", SQLITE_TEXT, "L'Oréal", 0},
        {DATATYPE_VARIABLECHAR, "", "", SQLITE_TEXT, "", 0},
        {DATATYPE_FIXEDCHAR, "", " a ", SQLITE_TEXT, " a ", 0},
        {DATATYPE_TEXT, "", "x'); DROP TABLE t; --", SQLITE_TEXT, "x'); DROP TABLE t; --", 0},
        {DATATYPE_BOOLEAN, "", "1", SQLITE_INTEGER, "1", 0},
        {DATATYPE_BOOLEAN, "", "", SQLITE_NULL, "", 0},
        {DATATYPE_BOOLEAN, "", "oui", SQLITE_TEXT, "oui", 1},
    };
    morvex::TraceCapture quiet;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as type " + std::to_string(c.type));
        const ColumnDesc column = MakeColumn("C", c.type, c.format);
        SQLITE4FYK_VALUE v;
        ASSERT_EQ(GenerateValueForData(&column, c.text, static_cast<int>(strlen(c.text)), &v), 0);
        EXPECT_EQ(v.sqliteType, c.sqliteType);
        EXPECT_EQ(v.notTyped, c.notTyped);
        char text[64] = "";
        if (v.sqliteType == SQLITE_INTEGER) snprintf(text, sizeof text, "%lld", v.integer);
        if (v.sqliteType == SQLITE_FLOAT) snprintf(text, sizeof text, "%g", v.real);
        EXPECT_EQ(v.sqliteType == SQLITE_TEXT ? v.text : std::string(text), c.expected);
        // The loads' conversion without copy gives the same value, the text as read by
        // reference.
        SQLITE4FYK_VALUE w;
        bool asRead = false;
        ASSERT_EQ(SQLITE4FYK_ConvertInPlace(&column, c.text, static_cast<int>(strlen(c.text)), &w,
                                            &asRead),
                  0);
        EXPECT_EQ(w.sqliteType, v.sqliteType);
        EXPECT_EQ(w.notTyped, v.notTyped);
        EXPECT_EQ(w.integer, v.integer);
        EXPECT_EQ(w.real, v.real);
        EXPECT_EQ(asRead ? std::string(c.text) : w.text, v.text);
    }
    SQLITE4FYK_VALUE v;
    EXPECT_EQ(GenerateValueForData(nullptr, "1", 1, &v), 1);
}

// A decimal is read as strtod reads it, to the last bit, whatever path reads it: signs, no
// digit before or after the point, exponents, the edges of the doubles, range errors.
TEST(GenerateValueForData, ReadsDecimalsToTheBitAsStrtodDoes) {
    const char* texts[] = {
        "0", "-0", "+0", "0,1", "0.1", "+1.5", "+-1", "-+1", "--1", ".5", "5.", ",5", "5,",
        "1e5", "1E-5", "1e+5", "1e", "1e+", "e5", "-", ".", "3.14159265358979323846264338",
        "123456789012345678901234567890", "9007199254740993", "0.30000000000000004",
        "2.2250738585072014e-308", "2.2250738585072011e-308", "4.9e-324", "1e-310", "1e-400",
        "0e-400", "1.7976931348623157e308", "1.7976931348623159e308", "1e400", "-1e400",
        "00012,500", "1.5e3.2", "12-3", "1e5e5", "999999999999999", "9999999999999999",
        "0,000000000000001", "-0,0", "1,", "12.3,4"};
    // And every shape of the plain decimals files hold: up to 17 digits, the point or comma
    // anywhere, a minus sign or none.
    std::vector<std::string> all(std::begin(texts), std::end(texts));
    std::mt19937 random(20261209);
    for (int k = 0; k < 20000; ++k) {
        std::string t = random() % 3 == 0 ? "-" : "";
        const int digits = 1 + static_cast<int>(random() % 17);
        const int point = static_cast<int>(random() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0) t += random() % 2 ? ',' : '.';
            t += static_cast<char>('0' + random() % 10);
        }
        all.push_back(t);
    }
    const ColumnDesc column = MakeColumn("C", DATATYPE_DECIMAL);
    morvex::TraceCapture quiet;
    for (const std::string& each : all) {
        const char* text = each.c_str();
        SCOPED_TRACE(text);
        std::string dotted = text;
        for (char& c : dotted)
            if (c == ',') c = '.';
        errno = 0;
        char* end = nullptr;
        const double expected = strtod(dotted.c_str(), &end);
        const bool readable = errno == 0 && end != dotted.c_str() && *end == '\0' &&
                              std::isfinite(expected);
        SQLITE4FYK_VALUE v;
        ASSERT_EQ(GenerateValueForData(&column, text, static_cast<int>(strlen(text)), &v), 0);
        ASSERT_EQ(v.sqliteType, readable ? SQLITE_FLOAT : SQLITE_TEXT);
        if (readable) {
            EXPECT_EQ(memcmp(&v.real, &expected, sizeof expected), 0) << v.real << " " << expected;
        }
    }
}

// An integer is read as from_chars reads it after one '+' is passed over: every length up to
// past the limits, signs doubled, digits mixed with other characters.
TEST(GenerateValueForData, ReadsIntegersAsFromCharsDoes) {
    std::vector<std::string> texts = {"0", "-0", "+0", "+-1", "-+1", "--1", "++1", "-", "+",
                                      "9223372036854775807", "-9223372036854775808",
                                      "9223372036854775808", "999999999999999999",
                                      "-999999999999999999", "1000000000000000000", "1 2", "1a"};
    std::mt19937 random(20261209);
    const std::string alphabet = "0123456789000000000-+x";
    for (int k = 0; k < 20000; ++k) {
        std::string t;
        for (int n = 1 + static_cast<int>(random() % 21); n > 0; --n)
            t += random() % 12 ? static_cast<char>('0' + random() % 10)
                               : alphabet[random() % alphabet.size()];
        texts.push_back(t);
    }
    const ColumnDesc column = MakeColumn("I", DATATYPE_INTEGER);
    morvex::TraceCapture quiet;
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        std::string_view rest = text;
        if (!rest.empty() && rest[0] == '+') rest.remove_prefix(1);
        long long expected = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), expected);
        const bool readable = !rest.empty() && rest[0] != '+' && error == std::errc() &&
                              end == rest.data() + rest.size();
        SQLITE4FYK_VALUE v;
        ASSERT_EQ(GenerateValueForData(&column, text.data(), static_cast<int>(text.size()), &v), 0);
        ASSERT_EQ(v.sqliteType, readable ? SQLITE_INTEGER : SQLITE_TEXT);
        if (readable) {
            EXPECT_EQ(v.integer, expected);
        }
    }
}

// The common day formats are read by a shortcut: it must read every text as the picture reader
// does (DATETIME_ReadValid, then the ISO text), short and long texts, leading blanks, wrong
// separators, impossible days and two-digit years included.
TEST(GenerateValueForData, ReadsDaysAsThePictureReaderDoes) {
    const char* formats[] = {"jj/mm/aaaa", "aaaa-mm-jj", "aaaammjj", "jj.mm.aaaa", "mm/jj/aaaa",
                             "jj/mm/aa", "jj/m/aaaa", "aaaa/mm/jj/", "jjmmaaaa", "jmaaaajm"};
    const char* seeds[] = {"29/02/2024", "29/02/2023", "2024-02-29", "20240229", "31.12.1999",
                           "12/31/2000", "00/01/2000", "01/13/2000", "01/01/0000", "07/07/07",
                           "1/2/2003", "2003/02/01/", "01022003", " 01/02/2003", "01/02/2003x",
                           "01-02-2003", "0a/02/2003", "01/02/200", "15/10/1582", "04/10/1582",
                           "31/12/9999", "01/01/1601", "29/02/1700", "29/02/1600"};
    std::mt19937 random(20261208);
    const std::string alphabet = "0123456789/-. xa";
    std::vector<std::string> texts(std::begin(seeds), std::end(seeds));
    for (const char* seed : seeds) {
        for (int k = 0; k < 300; ++k) {  // one or two characters changed, added or removed
            std::string t = seed;
            for (int edits = 1 + static_cast<int>(random() % 2); edits > 0; --edits) {
                const size_t at = t.empty() ? 0 : random() % (t.size() + 1);
                const char c = alphabet[random() % alphabet.size()];
                switch (random() % 3) {
                    case 0: if (at < t.size()) t[at] = c; break;
                    case 1: t.insert(at, 1, c); break;
                    default: if (at < t.size()) t.erase(at, 1); break;
                }
            }
            texts.push_back(t);
        }
    }
    morvex::TraceCapture quiet;
    int typed = 0;
    // A load reads every column through one scratch value, which remembers the last format:
    // here the formats take turns through one value, as columns of a row do.
    SQLITE4FYK_VALUE shared;
    std::vector<ColumnDesc> columns;
    for (const char* format : formats) columns.push_back(MakeColumn("D", DATATYPE_DATE, format));
    for (const std::string& text : texts) {
        for (const ColumnDesc& column : columns) {
            const char* format = column.typeCible.fmtDate;
            SCOPED_TRACE(std::string(format) + " [" + text + "]");
            std::string trimmed = text;
            while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(0, 1);
            while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
            MYDATETIME d{};
            std::string expected;
            const bool valid = !trimmed.empty() && DATETIME_ReadValid(trimmed, format, false, &d);
            if (valid) DATETIME_AppendIso(expected, d, false);
            SQLITE4FYK_VALUE v;
            ASSERT_EQ(GenerateValueForData(&column, text.data(), static_cast<int>(text.size()), &v),
                      0);
            if (trimmed.empty()) continue;
            ASSERT_EQ(v.sqliteType, SQLITE_TEXT);
            ASSERT_EQ(v.notTyped, valid ? 0 : 1);
            EXPECT_EQ(v.text, valid ? expected : text);
            bool asRead = false;
            ASSERT_EQ(SQLITE4FYK_ConvertInPlace(&column, text.data(), static_cast<int>(text.size()),
                                                &shared, &asRead),
                      0);
            EXPECT_EQ(asRead ? text : shared.text, v.text);
            EXPECT_EQ(shared.notTyped, v.notTyped);
            typed += valid ? 1 : 0;
        }
    }
    EXPECT_GT(typed, 800);  // the cases are not all refusals
    // What follows the day is part of the value: stored as a date, its rest would be lost.
    const struct {
        const char* format;
        const char* text;
        bool date;
    } tails[] = {{"jj/mm/aaaa", "01/02/2003x", false},
                 {"jj/mm/aaaa", "01/02/2003 10:11", false},
                 {"jj/mm/aaaa", "01/02/2003  ", true},
                 {"aaaammjj", "2003020112", false},
                 {"jj/m/aaaa", "01/2/20031", false}};
    for (const auto& c : tails) {
        SCOPED_TRACE(std::string(c.format) + " [" + c.text + "]");
        const ColumnDesc column = MakeColumn("D", DATATYPE_DATE, c.format);
        SQLITE4FYK_VALUE v;
        ASSERT_EQ(GenerateValueForData(&column, c.text, static_cast<int>(strlen(c.text)), &v), 0);
        EXPECT_EQ(v.notTyped, c.date ? 0 : 1);
        EXPECT_EQ(v.text, c.date ? "2003-02-01" : c.text);
    }
}

// ---- Table texts ----

TEST(GenerateCreateTable, DropsAndCreatesTheQuotedTableWithTheRowNumberFirst) {
    FileDesc* d = FILEDESC_CreateFileDesc("Clients", nullptr, 2, "\\r\\n", ";");
    strcpy(d->TableName, "CLIENT");
    for (ColumnDesc c :
         {MakeColumn("ID", DATATYPE_INTEGER), MakeColumn("DT", DATATYPE_DATE, "jj/mm/aaaa"),
          MakeColumn("MON\"TANT", DATATYPE_DECIMAL)})
        FILEDESC_AjouterColonne(d, &c);
    EXPECT_EQ(GenerateCreateTable(d, 1),
              "DROP TABLE IF EXISTS \"CLIENT\";CREATE TABLE \"CLIENT\" (FileRowID int,\n"
              "\"ID\" int,\n\"DT\" datetime,\n\"MON\"\"TANT\" decimal(9, 2));");
    EXPECT_EQ(GenerateInsert(d, 1),
              "INSERT INTO \"CLIENT\" (FileRowID, \"ID\", \"DT\", "
              "\"MON\"\"TANT\")\nVALUES (?, ?, ?, ?)\n;");
    EXPECT_FALSE(Contains(GenerateInsert(d, 0), "FileRowID"));
    FILEDESC_CloseFileDesc(d);
    EXPECT_EQ(GenerateCreateTable(nullptr, 1), "");
}

TEST(GenerateSQLITEType, FollowsTheTargetType) {
    const struct {
        int type;
        const char* expected;
    } cases[] = {{DATATYPE_INTEGER, "int"},
                 {DATATYPE_DECIMAL, "decimal(9, 2)"},
                 {DATATYPE_DATE, "datetime"},
                 {DATATYPE_DATETIME, "datetime"},
                 {DATATYPE_FIXEDCHAR, "char(2)"},
                 {DATATYPE_VARIABLECHAR, "varchar(30)"},
                 {DATATYPE_TEXT, "text"},
                 {DATATYPE_BOOLEAN, "bit"},
                 {8, ""}};
    for (const auto& c : cases) {
        const ColumnDesc column = MakeColumn("C", c.type);
        EXPECT_EQ(GenerateSQLITEType(&column.typeCible), c.expected) << c.type;
    }
}

// ---- The bound values against the literals of the batch text ----

TEST(GenerateStringForData, WritesTheLiteralOfEachTypeAndNeverLetsAValueEndIt) {
    const struct {
        int type;
        const char* format;
        const char* text;
        const char* literal;
    } cases[] = {
        {DATATYPE_INTEGER, "", "12", "12"},
        {DATATYPE_INTEGER, "", " ", "NULL"},
        {DATATYPE_INTEGER, "", "1); DROP TABLE x; --", "'1); DROP TABLE x; --'"},
        {DATATYPE_BOOLEAN, "", "1", "1"},
        {DATATYPE_DECIMAL, "", "12,50", "12.500000"},
        {DATATYPE_DECIMAL, "", "12.50", "12.500000"},
        {DATATYPE_DECIMAL, "", "", "NULL"},
        {DATATYPE_DATE, "jj/mm/aaaa", "26/02/2015", "'2015-02-26'"},
        {DATATYPE_DATE, "jj/mm/aaaa", "", "NULL"},
        {DATATYPE_DATE, "jj/mm/aaaa", "31/02/2015", "'31/02/2015'"},
        {DATATYPE_DATETIME, "aaaa-mm-jj HH:MM:SS", "2015-02-26 13:45:07",
         "'2015-02-26 13:45:07.000'"},
        {DATATYPE_VARIABLECHAR, "", "L'Oréal", "'L''Oréal'"},
        {DATATYPE_VARIABLECHAR, "", "", "''"},
    };
    morvex::TraceCapture quiet;
    for (const auto& c : cases) {
        const ColumnDesc column = MakeColumn("C", c.type, c.format);
        char buffer[512];
        ASSERT_EQ(GenerateStringForData(&column.typeCible, c.text, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, c.literal) << c.text;
    }
    char small[4];
    const ColumnDesc text = MakeColumn("C", DATATYPE_TEXT);
    EXPECT_EQ(GenerateStringForData(&text.typeCible, "abcdef", small, sizeof small), 0);
    EXPECT_STREQ(small, "'ab");
    EXPECT_EQ(GenerateStringForData(nullptr, "1", small, sizeof small), 1);
}

class BoundValues : public SqliteTest {};

TEST_F(BoundValues, AreStoredAsTheLiteralsOfTheBatchTextWouldStoreThem) {
    sqlite3* db = nullptr;
    ASSERT_EQ(gsqlite3.sqlite3_open(":memory:", &db), SQLITE_OK);
    const struct {
        int type;
        const char* format;
        std::vector<const char*> texts;
    } cases[] = {
        {DATATYPE_INTEGER, "", {"0", "42", " -7 ", "007", "+5", "9223372036854775807", ""}},
        {DATATYPE_DECIMAL, "", {"12,50", "12.5", "-0.25", "3", "1e3", "0,000001", "123456.75", ""}},
        {DATATYPE_DATE, "jj/mm/aaaa", {"26/02/2015", "29/02/2024", ""}},
        {DATATYPE_DATE, "aaaammjj", {"20240229"}},
        {DATATYPE_DATETIME, "aaaa-mm-jj HH:MM:SS", {"2015-02-26 13:45:07", " "}},
        {DATATYPE_FIXEDCHAR, "", {"ab", " a ", ""}},
        {DATATYPE_VARIABLECHAR, "", {"L'Oréal", "x'); DROP TABLE t; --", "12", ""}},
        {DATATYPE_TEXT, "", {"texte long", "3.0"}},
        {DATATYPE_BOOLEAN, "", {"0", "1", ""}},
    };
    morvex::TraceCapture quiet;
    for (const auto& c : cases) {
        ColumnDesc column = MakeColumn("c", c.type, c.format);
        const std::string type = GenerateSQLITEType(&column.typeCible);
        for (const char* text : c.texts) {
            SCOPED_TRACE(std::string("[") + text + "] as " + type);
            const std::string create =
                "DROP TABLE IF EXISTS lit; DROP TABLE IF EXISTS bound;"
                "CREATE TABLE lit (c " +
                type + "); CREATE TABLE bound (c " + type + ");";
            ASSERT_EQ(SQLITE4FYK_ExecuteSQL(db, create.c_str(), 0), 0);
            char literal[512];
            ASSERT_EQ(GenerateStringForData(&column.typeCible, text, literal, sizeof literal), 0);
            const std::string insert = std::string("INSERT INTO lit (c) VALUES (") + literal + ");";
            ASSERT_EQ(SQLITE4FYK_ExecuteSQL(db, insert.c_str(), 0), 0);
            SQLITE4FYK_VALUE value;
            ASSERT_EQ(GenerateValueForData(&column, text, static_cast<int>(strlen(text)), &value),
                      0);
            EXPECT_EQ(value.notTyped, 0);
            sqlite3_stmt* stmt = nullptr;
            ASSERT_EQ(gsqlite3.sqlite3_prepare_v2(db, "INSERT INTO bound (c) VALUES (?)", -1, &stmt,
                                                  nullptr),
                      SQLITE_OK);
            switch (value.sqliteType) {
                case SQLITE_INTEGER:
                    gsqlite3.sqlite3_bind_int64(stmt, 1, value.integer);
                    break;
                case SQLITE_FLOAT:
                    gsqlite3.sqlite3_bind_double(stmt, 1, value.real);
                    break;
                case SQLITE_TEXT:
                    gsqlite3.sqlite3_bind_text(stmt, 1, value.text.c_str(), -1, SQLITE_TRANSIENT);
                    break;
                default:
                    gsqlite3.sqlite3_bind_null(stmt, 1);
                    break;
            }
            EXPECT_EQ(gsqlite3.sqlite3_step(stmt), SQLITE_DONE);
            gsqlite3.sqlite3_finalize(stmt);
            const char* stored = "SELECT typeof(c) || ' ' || quote(c) FROM ";
            EXPECT_EQ(Rows(db, std::string(stored) + "bound"),
                      Rows(db, std::string(stored) + "lit"));
        }
    }
    gsqlite3.sqlite3_close(db);
}

// ---- Loads into a real database file ----

class SqliteLoad : public SqliteTest {
protected:
    void SetUp() override {
        SqliteTest::SetUp();
        dbPath = dir.file("clients.db");
        desc = FILEDESC_CreateFileDesc("Clients", nullptr, 2, "\\r\\n", ";");
        strcpy(desc->TableName, "CLIENT");
        desc->FirstLineIsHeader = 1;
        desc->BeginFromLine = 1;
        ColumnDesc columns[] = {
            MakeColumn("ID", DATATYPE_INTEGER), MakeColumn("NOM", DATATYPE_VARIABLECHAR),
            MakeColumn("MONTANT", DATATYPE_DECIMAL), MakeColumn("DT", DATATYPE_DATE, "jj/mm/aaaa")};
        for (auto& c : columns) FILEDESC_AjouterColonne(desc, &c);
    }
    void TearDown() override {
        FILEDESC_CloseFileDesc(desc);
        SqliteTest::TearDown();
    }

    // Writes the data file (header line first) and makes it the description's example file.
    void writeData(const std::vector<std::string>& rows) {
        std::string text = "ID;NOM;MONTANT;DT\r\n";
        for (const auto& r : rows) text += r + "\r\n";
        free(desc->ExampleFilePath);
        desc->ExampleFilePath = strdup(dir.write("clients.csv", text).c_str());
    }

    // Runs the load as a task through the port, as the main window does.
    SQLITE4FYK_LOADSTATS load(int batchSize) {
        SQLITE4FYK_LOADTASK* data = SQLITE4FYK_CreateLoadTask(desc, dbPath.c_str(), batchSize, 1);
        SQLITE4FYK_LOADOPTIONS options;
        options.dataPath = desc->ExampleFilePath ? desc->ExampleFilePath : "";
        data->options = &options;
        TASKSLIST* tasks = TASKSLIST_Create();
        TASKSLIST_AddTask(tasks, TASK_Create("Chargement du fichier de données",
                                             SQLite_LoadDataInDatabase, data));
        {
            morvex::TraceCapture capture;
            port.runTasks(tasks);
            trace = capture.text();
        }
        TASKSLIST_Destroy(tasks);
        const SQLITE4FYK_LOADSTATS stats = data->stats;
        SQLITE4FYK_DestroyLoadTask(data);
        return stats;
    }

    std::vector<std::string> query(const std::string& sql) { return Rows(dbPath, sql); }

    int countEvents(int kind) const {
        int n = 0;
        for (const auto& e : port.events) n += e.event == kind ? 1 : 0;
        return n;
    }

    std::string dbPath;
    FileDesc* desc = nullptr;
    std::string trace;
};

TEST_F(SqliteLoad, StoresEveryValueAsItsTypeAndNeverRunsAValueAsSql) {
    writeData({"1;L'Oréal;12,50;26/02/2015", "2;x'), (9, 'pirate') --;12.50;", "3;;;31/02/2015",
               "abc;Dupont;1;01/01/2000"});
    const SQLITE4FYK_LOADSTATS stats = load(1000);
    EXPECT_EQ(stats.status, SQLITE4FYK_LOAD_DONE);
    EXPECT_EQ(stats.rows, 4);
    EXPECT_EQ(stats.rowsRejected, 0);
    EXPECT_EQ(stats.valuesNotTyped, 2);  // the impossible date and the non-numeric ID
    EXPECT_EQ(query("SELECT FileRowID, typeof(ID), ID, NOM, typeof(MONTANT), MONTANT, DT "
                    "FROM CLIENT ORDER BY FileRowID"),
              (std::vector<std::string>{
                  "2|integer|1|L'Oréal|real|12.5|2015-02-26",
                  "3|integer|2|x'), (9, 'pirate') --|real|12.5|<null>",
                  "4|integer|3||null|<null>|31/02/2015",
                  "5|text|abc|Dupont|integer|1|2000-01-01",  // decimal affinity
              }));
    ASSERT_FALSE(port.events.empty());
    const auto& last = port.events.back();
    EXPECT_EQ(last.event, TASK_EVENT_FINISHED);
    EXPECT_TRUE(Contains(last.message, "4 lignes chargées en "));
    EXPECT_TRUE(Contains(last.message, " lignes / s)."));
    EXPECT_EQ(countEvents(TASK_EVENT_NOT_STARTED), 0);
    EXPECT_TRUE(Contains(trace, "L'ouverture de la base a reussi."));
}

// A fixed-width file: texts keep their padding as they always did, unless the description
// trims it; numbers and dates are read through their blanks either way.
TEST_F(SqliteLoad, FixedWidthTextsLoseTheirPaddingOnlyWhenTheDescriptionTrimsIt) {
    desc->TypeStructFile = STRUCTFILE_FIXED;
    const int widths[] = {5, 10, 10, 10};
    int k = 0;
    for (const ColumnOwner& column : desc->columns) column->WidthInChars = widths[k++];
    FILEDESC_UpdatePositions(desc);
    writeData({"00001 DUPONT   0001250.5026/02/2015", "00002L'OREAL   -000012.5          "});
    for (int trim : {0, 1}) {
        desc->TrimPadding = trim;
        const SQLITE4FYK_LOADSTATS stats = load(1000);
        ASSERT_EQ(stats.status, SQLITE4FYK_LOAD_DONE) << trim;
        EXPECT_EQ(stats.valuesNotTyped, 0) << trim;
        EXPECT_EQ(query("SELECT ID, '[' || NOM || ']', MONTANT, DT FROM CLIENT ORDER BY FileRowID"),
                  trim ? (std::vector<std::string>{"1|[DUPONT]|1250.5|2015-02-26",
                                                   "2|[L'OREAL]|-12.5|<null>"})
                       : (std::vector<std::string>{"1|[ DUPONT   ]|1250.5|2015-02-26",
                                                   "2|[L'OREAL   ]|-12.5|<null>"}))
            << trim;
    }
}

TEST_F(SqliteLoad, RowsTheTableRefusesAreCountedOneByOneInTheFilesOrder) {
    // 100 rows, stored several at a time; the table refuses three duplicate keys among them.
    std::vector<std::string> rows;
    for (int i = 1; i <= 100; ++i)
        rows.push_back(std::to_string(i == 40 || i == 41 || i == 90 ? 7 : i) + ";N;1;");
    writeData(rows);
    sqlite3* db = nullptr;
    ASSERT_EQ(gsqlite3.sqlite3_open(dbPath.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(SQLITE4FYK_ExecuteSQL(db, "CREATE TABLE \"CLIENT\" (FileRowID int, ID int PRIMARY "
                                        "KEY, NOM text, MONTANT real, DT text);", 0),
              0);
    SQLITE4FYK_LOADOPTIONS options;
    options.rejectsPath = dir.file("rejects.csv");
    SQLITE4FYK_LOADSTATS stats{};
    TASK task{};
    {
        morvex::TraceCapture quiet;
        EXPECT_EQ(
            LoadDataFromFile(&task, db, desc, desc->ExampleFilePath, 1000, 1, &stats, &options),
            100);
    }
    gsqlite3.sqlite3_close(db);
    EXPECT_EQ(stats.status, SQLITE4FYK_LOAD_DONE);
    EXPECT_EQ(stats.rowsStored, 97);
    EXPECT_EQ(stats.rowsRejected, 3);
    EXPECT_EQ(query("SELECT count(*), sum(ID) FROM CLIENT"),
              (std::vector<std::string>{"97|" + std::to_string(5050 - 40 - 41 - 90)}));
    const std::string listed = morvex::testing::readFile(options.rejectsPath);
    EXPECT_EQ(listed.substr(0, listed.find('\n')), "ligne,colonne,motif");
    EXPECT_NE(listed.find("\n41,,"), std::string::npos);  // line 41: the row ID 40 (7 again)
    EXPECT_LT(listed.find("\n41,,"), listed.find("\n42,,"));
    EXPECT_LT(listed.find("\n42,,"), listed.find("\n91,,"));
}

// SQLite reads the rows from the batch when the library has virtual tables, else they are bound
// to statements: either way the same rows are stored, refused, set aside and counted, in the
// file's order, over several batches.
TEST_F(SqliteLoad, RowsAreStoredAlikeReadFromTheBatchOrBoundToStatements) {
    std::vector<std::string> rows;
    for (int i = 1; i <= 3000; ++i) {
        const int id = i % 700 == 0 ? 7 : i;  // four keys the table refuses
        std::string row = std::to_string(id) + ";" + (i % 5 == 0 ? "" : "N'" + std::to_string(i)) +
                          ";" + (i % 3 == 0 ? "" : std::to_string(i) + ",25") + ";" +
                          (i % 4 == 0 ? "" : "26/02/2015");
        if (i == 1500) row = "1500;x";  // set aside in the middle of a batch: one value short
        rows.push_back(row);
    }
    writeData(rows);
    struct Outcome {
        SQLITE4FYK_LOADSTATS stats{};
        std::vector<std::string> stored, temporary;
    };
    auto run = [&](const std::string& path) {
        Outcome outcome;
        sqlite3* db = nullptr;
        EXPECT_EQ(gsqlite3.sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(SQLITE4FYK_ExecuteSQL(db,
                                        "CREATE TABLE \"CLIENT\" (FileRowID int, ID int "
                                        "PRIMARY KEY, NOM text, MONTANT real, DT text);",
                                        0),
                  0);
        TASK task{};
        morvex::TraceCapture quiet;
        SQLITE4FYK_LOADOPTIONS options;  // strict: rows of the wrong shape are set aside
        options.maxRejects = 100;
        LoadDataFromFile(&task, db, desc, desc->ExampleFilePath, 1000, 1, &outcome.stats, &options);
        outcome.stored = Rows(db, "SELECT * FROM CLIENT ORDER BY rowid");
        outcome.temporary = Rows(db, "SELECT count(*) FROM temp.sqlite_master");
        gsqlite3.sqlite3_close(db);
        return outcome;
    };
    const Outcome read = run(dir.file("read.db"));
    const auto create = gsqlite3.sqlite3_create_module_v2;
    gsqlite3.sqlite3_create_module_v2 = nullptr;  // a library without virtual tables
    const Outcome bound = run(dir.file("bound.db"));
    gsqlite3.sqlite3_create_module_v2 = create;
    for (const Outcome* outcome : {&read, &bound}) {
        EXPECT_EQ(outcome->stats.status, SQLITE4FYK_LOAD_DONE);
        EXPECT_EQ(outcome->stats.rowsStored, 2995);
        EXPECT_EQ(outcome->stats.rowsRejected, 4);
        EXPECT_EQ(outcome->stats.rowsSetAside, 1);
        EXPECT_EQ(outcome->temporary, std::vector<std::string>{"0"});
    }
    EXPECT_EQ(read.stats.valuesNotTyped, bound.stats.valuesNotTyped);
    ASSERT_EQ(read.stored.size(), 2995u);
    EXPECT_EQ(read.stored, bound.stored);
    EXPECT_EQ(read.stored[1], "3|2|N'2|2.25|2015-02-26");
}

TEST_F(SqliteLoad, WritesTheDescriptionIntoTheCatalogueAndKeepsTheHistoryOnReload) {
    strcpy(desc->ProjectName, "Clients d'Ouest");
    writeData({"1;A;1;01/01/2000"});
    load(1000);
    {
        sqlite3* db = nullptr;
        gsqlite3.sqlite3_open(dbPath.c_str(), &db);
        EXPECT_EQ(SQLITE4FYK_LogQuery(db, "SELECT 'it''s' FROM CLIENT"), 0);
        gsqlite3.sqlite3_close(db);
    }
    load(1000);  // a second load replaces the catalogue and the data but keeps the history
    EXPECT_EQ(query("SELECT Version, ProjectName, TableName, TypeStructFile, FirstLineIsHeader, "
                    "EndOfLine, FieldDelimiter FROM FylatekFileDesc"),
              (std::vector<std::string>{"1.4|Clients d'Ouest|CLIENT|VariableSized|1|\\r\\n|;"}));
    EXPECT_EQ(query("SELECT Position, ColumnName, DataType, DataTypeFormat FROM "
                    "FylatekFileDescColumn ORDER BY Position"),
              (std::vector<std::string>{"1|ID|Integer|", "2|NOM|VariableChar|30",
                                        "3|MONTANT|Decimal|9,2", "4|DT|Date|jj/mm/aaaa"}));
    EXPECT_EQ(query("SELECT count(*) FROM CLIENT"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(query("SELECT Query FROM FylatekHistory"),
              (std::vector<std::string>{"SELECT 'it''s' FROM CLIENT"}));
}

TEST_F(SqliteLoad, ReportsProgressAfterEveryFullBatch) {
    std::vector<std::string> rows;
    for (int i = 1; i <= 2500; ++i)
        rows.push_back(std::to_string(i) + ";N" + std::to_string(i) + ";1;");
    writeData(rows);
    const SQLITE4FYK_LOADSTATS stats = load(1000);
    EXPECT_EQ(stats.rows, 2500);
    std::vector<std::string> batches;
    for (const auto& e : port.events) {
        if (e.event == TASK_EVENT_PROGRESS && e.range == 100 && e.position < 100) {
            batches.push_back(e.message.substr(0, e.message.find(" lignes")));
        }
    }
    EXPECT_EQ(batches, (std::vector<std::string>{"1000", "2000"}));
    EXPECT_EQ(query("SELECT count(*), min(ID), max(ID), sum(ID) FROM CLIENT"),
              (std::vector<std::string>{"2500|1|2500|3126250"}));
    EXPECT_EQ(port.events.back().event, TASK_EVENT_FINISHED);
}

TEST_F(SqliteLoad, AStopRequestLeavesTheDatabaseAsItWasAndNeverReportsFinished) {
    writeData({"1;A;1;", "2;B;2;", "3;C;3;"});
    ASSERT_EQ(load(100).status, SQLITE4FYK_LOAD_DONE);
    port.events.clear();
    std::vector<std::string> rows;
    for (int i = 1; i <= 1000; ++i) rows.push_back(std::to_string(i) + ";N;1;");
    writeData(rows);
    port.stopAfterEvents = 3;  // metabase, loading, then the first batch of 100 rows
    const SQLITE4FYK_LOADSTATS stats = load(100);
    EXPECT_EQ(stats.status, SQLITE4FYK_LOAD_INTERRUPTED);
    EXPECT_EQ(stats.rows, 100);
    EXPECT_EQ(stats.rowsStored, 0);
    // The earlier table and its catalogue rows are still there.
    EXPECT_EQ(query("SELECT group_concat(NOM, '') FROM CLIENT"), (std::vector<std::string>{"ABC"}));
    EXPECT_EQ(query("SELECT count(*) FROM FylatekFileDescColumn"), (std::vector<std::string>{"4"}));
    EXPECT_EQ(countEvents(TASK_EVENT_FINISHED), 0);
    EXPECT_EQ(port.events.back().event, TASK_EVENT_INTERRUPTED);
    EXPECT_EQ(port.events.back().message,
              "Chargement interrompu après 100 lignes lues : aucune ligne enregistrée, la base "
              "est restée telle qu'elle était.");
}

TEST_F(SqliteLoad, FailuresAreReportedAndNeverFinished) {
    const struct {
        const char* what;
        bool badDatabase;
        bool missingData;
        bool unbind;
    } cases[] = {
        {"database in a missing folder", true, false, false},
        {"data file missing", false, true, false},
        {"no SQLite library bound", false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        port.events.clear();
        writeData({"1;A;1;"});
        const std::string goodPath = dbPath;
        if (c.badDatabase) dbPath = dir.file("missing/x.db");
        if (c.missingData) {
            free(desc->ExampleFilePath);
            desc->ExampleFilePath = strdup(dir.file("absent.csv").c_str());
        }
        if (c.unbind) SQLITE3_LibererDLL(library);
        const SQLITE4FYK_LOADSTATS stats = load(1000);
        if (c.unbind) library = SQLITE3_LoadDLL(nullptr);
        dbPath = goodPath;
        EXPECT_EQ(stats.status, SQLITE4FYK_LOAD_FAILED);
        EXPECT_EQ(countEvents(TASK_EVENT_FINISHED), 0);
        ASSERT_FALSE(port.events.empty());
        EXPECT_EQ(port.events.back().event, TASK_EVENT_NOT_STARTED);
        EXPECT_TRUE(Contains(port.events.back().message, "Echec"));
    }
}

TEST_F(SqliteLoad, ExecuteSqlReportsErrorsAndRefusesMissingArguments) {
    sqlite3* db = nullptr;
    ASSERT_EQ(gsqlite3.sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_EQ(CreateQueryHistoryTable(db, 1), 0);
    {
        morvex::TraceCapture capture;
        EXPECT_EQ(SQLITE4FYK_ExecuteSQL(db, "SELECT nope FROM nowhere", 1), 1);
        EXPECT_TRUE(Contains(capture.text(),
                             "Une erreur est survenue à l'exécution de la requête : "
                             "[SELECT nope FROM nowhere] \nMESSAGE : ["));
    }
    EXPECT_EQ(SQLITE4FYK_ExecuteSQL(db, "CREATE TABLE t(a)", 0), 0);
    EXPECT_EQ(SQLITE4FYK_ExecuteSQL(db, nullptr, 0), 1);
    EXPECT_EQ(SQLITE4FYK_ExecuteSQL(nullptr, "SELECT 1", 0), 1);
    EXPECT_EQ(SQLITE4FYK_LogQuery(db, nullptr), 1);
    gsqlite3.sqlite3_close(db);
}

}  // namespace

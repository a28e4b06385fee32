// The query tool's window-free parts over real databases written by the sqlite3 shell: the sort
// of the result grid checked against SQLite's own ORDER BY on tzdata's zone table, the copied
// text, the schema tree's listing, the history, the colouring and the error's place.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

#include "sqlquery/resultgrid.h"
#include "sqlquery/sqlquery.h"
#include "sqlquery/sqlqueryrows.h"
#include "sqlquery/sqlschema.h"
#include "sqlquery/sqlsyntax.h"
#include "sqlquery/tests/queryfixture.h"

namespace {

constexpr const char kZoneTable[] = "/usr/share/zoneinfo/zone1970.tab";

class ResultGrid : public QueryFixture {
protected:
    // tzdata's zone table, its comment lines left out, with a column of signed reals and
    // integers and NULLs made from the row number.
    std::string zoneDatabase() {
        return shellDatabase(
            "zones.db", std::string(".mode tabs\nCREATE TABLE raw(codes, coordinates, tz, "
                                    "comments);\n.import ") +
                            kZoneTable +
                            " raw\n"
                            "CREATE TABLE z AS SELECT codes, coordinates, tz, "
                            "NULLIF(comments, '') AS comments, CASE WHEN rowid % 7 = 0 THEN NULL "
                            "WHEN rowid % 5 = 0 THEN (rowid * 37 % 101) - 50 ELSE "
                            "((rowid * 37 % 101) - 50) * 1.25 END AS n FROM raw "
                            "WHERE codes NOT LIKE '#%';\n");
    }

    static std::vector<std::string> column(const SQLQUERY_TABLE& table, int c,
                                           const std::vector<uint32_t>* order = nullptr) {
        std::vector<std::string> values;
        for (int r = 0; r < table.rowCount(); ++r) {
            bool isNull = false;
            const int row = order ? static_cast<int>((*order)[r]) : r;
            const std::string_view text = table.value(row, c, &isNull);
            values.push_back(isNull ? "<NULL>" : std::string(text));
        }
        return values;
    }
};

TEST_F(ResultGrid, SortsEachColumnAsSqliteOrdersItWithNullsFirstAndNumbersByValue) {
    const std::string db = zoneDatabase();
    const SQLQUERY_TABLE table = query(db, "SELECT * FROM z");
    ASSERT_GT(table.rowCount(), 300);
    const char* names[] = {"codes", "coordinates", "tz", "comments", "n"};
    for (int c = 0; c < 5; ++c) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE(std::string(names[c]) + (descending ? " DESC" : " ASC"));
            std::vector<uint32_t> order;
            ASSERT_TRUE(SQLQUERY_SortOrder(table, c, descending, nullptr, order));
            const SQLQUERY_TABLE expected = query(
                db, std::string("SELECT ") + names[c] + " FROM z ORDER BY 1" +
                        (descending ? " DESC" : ""));
            EXPECT_EQ(column(table, c, &order), column(expected, 0));
        }
    }
    // The numbers column holds negative reals and integers: by value, not by text.
    std::vector<uint32_t> order;
    ASSERT_TRUE(SQLQUERY_SortOrder(table, 4, false, nullptr, order));
    const std::vector<std::string> sorted = column(table, 4, &order);
    EXPECT_EQ(sorted.front(), "<NULL>");
    EXPECT_EQ(sorted.back(), "62.5");
}

TEST_F(ResultGrid, EqualValuesKeepTheirOrderAndAStoppedSortGivesNothing) {
    const std::string db = zoneDatabase();
    const SQLQUERY_TABLE table = query(db, "SELECT codes, tz FROM z");
    std::vector<uint32_t> order;
    ASSERT_TRUE(SQLQUERY_SortOrder(table, 0, false, nullptr, order));
    for (size_t i = 1; i < order.size(); ++i) {
        if (column(table, 0, &order)[i] == column(table, 0, &order)[i - 1]) {
            EXPECT_LT(order[i - 1], order[i]);
            break;
        }
    }
    std::atomic<bool> stop{true};
    EXPECT_FALSE(SQLQUERY_SortOrder(table, 1, false, &stop, order));
    EXPECT_TRUE(order.empty());
}

TEST_F(ResultGrid, CopiesTheSelectionAsTabSeparatedTextWithItsTitles) {
    const std::string db = shellDatabase(
        "copy.db",
        "CREATE TABLE t(a, b, c);"
        "INSERT INTO t VALUES (1, 'un', NULL), (2.5, 'tab\there', 'say \"hi\"' || char(10) || "
        "'again'), (-3, '', 'été');");
    const SQLQUERY_TABLE table = query(db, "SELECT a, b, c FROM t ORDER BY rowid");
    EXPECT_EQ(SQLQUERY_TabText(table, {0, 1, 2}, {0, 1, 2}),
              "a\tb\tc\n"
              "1\tun\t\n"
              "2.5\t\"tab\there\"\t\"say \"\"hi\"\"\nagain\"\n"
              "-3\t\tété\n");
    // The selected columns in the given order, the rows as given (a sorted grid's order).
    EXPECT_EQ(SQLQUERY_TabText(table, {2, 0}, {2, 0}), "c\ta\nété\t-3\n\t1\n");
}

TEST(RowSink, HandsOverAFirstRowAndALateOneWithoutWaitingForMore) {
    // A query whose rows come slowly (a long scan that finds few) shows each at once.
    int notified = 0;
    SQLQUERY_ROWSINK sink([&] { ++notified; });
    char value[] = "1";
    char* values[] = {value};
    sink.row(1, values);
    EXPECT_EQ(notified, 1);
    SQLQUERY_BATCH batch;
    ASSERT_TRUE(sink.take(batch));
    ASSERT_EQ(batch.blocks.size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    sink.row(1, values);
    EXPECT_EQ(notified, 2);
    ASSERT_TRUE(sink.take(batch));
    EXPECT_EQ(batch.blocks.size(), 1u);
}

TEST_F(ResultGrid, TellsNumbersFromOtherTexts) {
    struct Case {
        const char* text;
        bool numeric;
    } cases[] = {{"0", true},      {"-12", true},     {"3.25", true},   {".5", true},
                 {"1e10", true},   {"-2.5E-3", true}, {"", false},      {"-", false},
                 {"1.2.3", false}, {" 1", false},     {"1 ", false},    {"inf", false},
                 {"0x1F", false},  {"1e", false},     {"12abc", false}, {"+1", false},
                 {"NULL", false},  {"1,5", false}};
    for (const Case& c : cases) EXPECT_EQ(SQLQUERY_LooksNumeric(c.text), c.numeric) << c.text;
}

TEST_F(ResultGrid, ListsTablesViewsAndTheCatalogueApartWithTheirColumns) {
    const std::string db = shellDatabase(
        "schema.db",
        "CREATE TABLE \"Clients \"\"VIP\"\"\"(id INTEGER PRIMARY KEY, nom VARCHAR(40), note);"
        "INSERT INTO \"Clients \"\"VIP\"\"\"(nom) VALUES ('Ada');"
        "CREATE TABLE achats(client INT, montant REAL);"
        "CREATE VIEW gros AS SELECT client, montant FROM achats WHERE montant > 100;"
        "CREATE VIEW cassee AS SELECT 1;"
        "CREATE TABLE FylatekHistory(RowID INTEGER PRIMARY KEY AUTOINCREMENT, Query "
        "varchar(4000), TimeStamp TIMESTAMP DEFAULT CURRENT_TIMESTAMP);"
        "CREATE TABLE FylatekFileDesc(Version varchar(32));");
    std::vector<SQLQUERY_SCHEMAOBJECT> objects;
    std::string error;
    ASSERT_TRUE(SQLQUERY_ReadSchema(db, objects, error)) << error;
    std::vector<std::string> listed;
    for (const auto& o : objects) {
        std::string line = std::to_string(o.group) + " " + o.name + ":";
        for (const auto& c : o.columns) line += " " + c.name + "/" + c.type;
        listed.push_back(line);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "0 achats: client/INT montant/REAL",
                          "0 Clients \"VIP\": id/INTEGER nom/VARCHAR(40) note/",
                          "1 cassee: 1/",
                          "1 gros: client/INT montant/REAL",
                          "2 FylatekFileDesc: Version/varchar(32)",
                          "2 FylatekHistory: RowID/INTEGER Query/varchar(4000) "
                          "TimeStamp/TIMESTAMP",
                          "2 sqlite_sequence: name/ seq/",
                      }));
    // The name goes into the query quoted, so that it runs as written.
    EXPECT_EQ(SQLQUERY_SelectAllText("Clients \"VIP\""), "SELECT * FROM \"Clients \"\"VIP\"\"\"");
    EXPECT_EQ(query(db, SQLQUERY_SelectAllText(objects[1].name)).columnCount(), 3);

    EXPECT_FALSE(SQLQUERY_ReadSchema(dir.file("absent.db"), objects, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(ResultGrid, ReadsTheHistoryMostRecentFirst) {
    const std::string db = shellDatabase(
        "history.db",
        "CREATE TABLE FylatekHistory(RowID INTEGER PRIMARY KEY AUTOINCREMENT, Query "
        "varchar(4000), TimeStamp TIMESTAMP DEFAULT CURRENT_TIMESTAMP);"
        "CREATE TABLE t(a);");
    query(db, "SELECT 1");
    query(db, "SELECT a\nFROM t");
    std::vector<SQLQUERY_HISTORYENTRY> entries;
    std::string error;
    ASSERT_TRUE(SQLQUERY_ReadHistory(db, 10, entries, error)) << error;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].query, "SELECT a\nFROM t");
    EXPECT_EQ(entries[1].query, "SELECT 1");
    EXPECT_EQ(entries[0].timeStamp.size(), 19u);
    ASSERT_TRUE(SQLQUERY_ReadHistory(db, 1, entries, error));
    EXPECT_EQ(entries.size(), 1u);

    // A database without a history table has an empty one.
    const std::string plain = shellDatabase("plain.db", "CREATE TABLE t(a);");
    ASSERT_TRUE(SQLQUERY_ReadHistory(plain, 10, entries, error)) << error;
    EXPECT_TRUE(entries.empty());
}

// Pieces as "kind:text", kinds K S N C I.
std::string pieces(std::u16string_view line, SQLQUERY_LINESTATE& state) {
    std::vector<SQLQUERY_TOKEN> tokens;
    state = SQLQUERY_TokenizeLine(line, state, tokens);
    std::string out;
    for (const SQLQUERY_TOKEN& t : tokens) {
        out += "KSNCI"[t.kind];
        out += ':';
        for (char16_t c : line.substr(t.start, t.length)) out += c < 0x80 ? char(c) : '?';
        out += ' ';
    }
    return out;
}

TEST(SqlSyntax, ColoursKeywordsStringsNumbersCommentsAndQuotedNamesOverLines) {
    struct Case {
        std::u16string_view line;
        SQLQUERY_LINESTATE before, after;
        const char* pieces;
    } cases[] = {
        {u"select a, 'x''y', 12.5e3 FROM t1 -- fin", SQLQUERY_LINE_PLAIN, SQLQUERY_LINE_PLAIN,
         "K:select S:'x''y' N:12.5e3 K:FROM C:-- fin "},
        {u"WHERE \"order\" = [from] and `x` <> .5 or 0x1F", SQLQUERY_LINE_PLAIN,
         SQLQUERY_LINE_PLAIN, "K:WHERE I:\"order\" I:[from] K:and I:`x` N:.5 K:or N:0x1F "},
        {u"x2 2x /* a */ null", SQLQUERY_LINE_PLAIN, SQLQUERY_LINE_PLAIN, "C:/* a */ K:null "},
        {u"SELECT /* open", SQLQUERY_LINE_PLAIN, SQLQUERY_LINE_IN_COMMENT, "K:SELECT C:/* open "},
        {u"still */ FROM", SQLQUERY_LINE_IN_COMMENT, SQLQUERY_LINE_PLAIN, "C:still */ K:FROM "},
        {u"nothing closed", SQLQUERY_LINE_IN_COMMENT, SQLQUERY_LINE_IN_COMMENT,
         "C:nothing closed "},
        {u"'été", SQLQUERY_LINE_PLAIN, SQLQUERY_LINE_IN_STRING, "S:'?t? "},
        {u"fin' AS é", SQLQUERY_LINE_IN_STRING, SQLQUERY_LINE_PLAIN, "S:fin' K:AS "},
        {u"\"a\"\"b", SQLQUERY_LINE_PLAIN, SQLQUERY_LINE_IN_IDENTIFIER, "I:\"a\"\"b "},
        {u"c\" FROM", SQLQUERY_LINE_IN_IDENTIFIER, SQLQUERY_LINE_PLAIN, "I:c\" K:FROM "},
    };
    for (const Case& c : cases) {
        SQLQUERY_LINESTATE state = c.before;
        EXPECT_EQ(pieces(c.line, state), c.pieces);
        EXPECT_EQ(state, c.after);
    }
}

TEST_F(ResultGrid, PlacesAnSqlErrorInTheTextItWasRunFrom) {
    const std::string db = shellDatabase("error.db", "CREATE TABLE t(a);");
    SQLQUERY_RUN run;
    SQLQUERY_ROWSINK sink({});
    const std::string text = "SELECT 'é' FROM t;\nSELECT a FROM t\n  WHERE nope = 1";
    EXPECT_EQ(SQLQUERY_Execute(&run, db.c_str(), text.c_str(), &sink), 1);
    EXPECT_EQ(run.error, "no such column: nope");
    ASSERT_EQ(run.errorOffset, static_cast<int>(text.find("nope")));
    // In the editor's UTF-16 units: the é is one unit but two bytes.
    EXPECT_EQ(SQLQUERY_Utf16Offset(text, run.errorOffset), static_cast<int>(text.find("nope")) - 1);
    EXPECT_EQ(SQLQUERY_Utf16Offset("a\xF0\x9F\x98\x80" "b", 5), 3);
    EXPECT_EQ(SQLQUERY_Utf16Offset("ab", 3), -1);
    EXPECT_EQ(SQLQUERY_ErrorText(run.error, 3, 9),
              "Erreur SQL : no such column: nope, ligne 3, colonne 9");
    EXPECT_EQ(SQLQUERY_ErrorText("database is locked", 0, 0), "Erreur SQL : database is locked");
}

}  // namespace

// The query tool's row store against a plain reference: tzdata's country table (UTF-8 names)
// with NULLs, empty texts, values at each length the encoding changes at, zero bytes and a
// narrower second statement, over several blocks; the values of SQLite's types as the grid
// shows them; and the sort of 100 000 rows (both cores) against SQLite's ORDER BY ..., rowid.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "sqlquery/resultgrid.h"
#include "sqlquery/sqlquery.h"
#include "sqlquery/sqlqueryrows.h"
#include "sqlquery/tests/queryfixture.h"

namespace {

constexpr const char kCountryTable[] = "/usr/share/zoneinfo/iso3166.tab";

using Cell = std::optional<std::string>;  // nullopt: NULL
using Rows = std::vector<std::vector<Cell>>;

// tzdata's country codes and names, comment lines left out.
std::vector<std::pair<std::string, std::string>> countries() {
    std::ifstream in(kCountryTable);
    std::vector<std::pair<std::string, std::string>> out;
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
        out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return out;
}

// Hands `rows` to `sink` as spans.
void feed(SQLQUERY_ROWSINK& sink, const Rows& rows) {
    std::vector<SQLQUERY_VALUE> values;
    for (const auto& row : rows) {
        values.clear();
        for (const Cell& cell : row) {
            SQLQUERY_VALUE v;
            v.isNull = !cell.has_value();
            if (cell) {
                v.data = cell->data();
                v.size = cell->size();
            }
            values.push_back(v);
        }
        sink.rowValues(static_cast<int>(values.size()), values.data());
    }
}

std::string shown(std::string_view text, bool isNull) {
    return isNull ? "<NULL>" : "[" + std::string(text) + "]";
}

std::string shown(const Cell& cell) {
    return cell ? "[" + *cell + "]" : "<NULL>";
}

TEST(ResultStore, KeepsEveryValueOfRealRowsAsGivenAcrossBlocksAndStatements) {
    const auto table = countries();
    ASSERT_GT(table.size(), 200u) << kCountryTable << " (tzdata, tools/install-deps.sh)";
    // Each row: code, name (UTF-8), NULL or empty, a text of a length that walks over the
    // encoding's limits (253 fits the length byte, 254 and more take a wide length), a text
    // holding zero bytes. Eight copies of the table: about 2 MB, several blocks.
    Rows wide;
    const size_t lengths[] = {0, 1, 252, 253, 254, 255, 256, 1000, 70000};
    for (int copy = 0; copy < 8; ++copy) {
        for (size_t i = 0; i < table.size(); ++i) {
            const size_t n = wide.size();
            std::string filler(lengths[n % std::size(lengths)], static_cast<char>('a' + n % 26));
            if (!filler.empty()) filler.replace(0, std::min(filler.size(), table[i].second.size()),
                                                table[i].second, 0, filler.size());
            std::string zeros(1, '\0');
            zeros += table[i].first;
            zeros += '\0';
            wide.push_back({table[i].first, table[i].second,
                            n % 3 == 0 ? Cell() : Cell(std::string()), filler, zeros});
        }
    }
    // A later statement of two columns.
    Rows narrow;
    for (size_t i = 0; i < 40; ++i)
        narrow.push_back({i % 4 == 0 ? Cell() : Cell(table[i].second), Cell(std::to_string(i))});

    int notified = 0;
    SQLQUERY_ROWSINK sink([&] { ++notified; });
    char c0[] = "code", c1[] = "name", c2[] = "empty", c3[] = "filler", c4[] = "zeros";
    char* titles[] = {c0, c1, c2, c3, c4};
    sink.columns(5, titles);
    feed(sink, wide);
    sink.columns(2, titles);
    feed(sink, narrow);
    sink.flush();
    SQLQUERY_BATCH batch;
    ASSERT_TRUE(sink.take(batch));
    EXPECT_GT(notified, 0);
    SQLQUERY_TABLE store;
    ASSERT_EQ(store.append(batch), static_cast<int>(wide.size() + narrow.size()));
    ASSERT_GT(store.blocks().size(), 4u);
    EXPECT_EQ(store.columnCount(), 5);
    EXPECT_EQ(store.columnTitle(3), "filler");

    Rows expected = wide;
    for (const auto& row : narrow) {
        auto padded = row;
        padded.resize(5, Cell(std::string()));  // a narrower row's later columns are empty
        expected.push_back(padded);
    }
    ASSERT_EQ(store.rowCount(), static_cast<int>(expected.size()));
    size_t mismatches = 0;
    for (int r = 0; r < store.rowCount(); ++r) {
        for (int c = 0; c < 5; ++c) {
            bool isNull = false;
            const std::string_view text = store.value(r, c, &isNull);
            if (shown(text, isNull) != shown(expected[r][c]) && ++mismatches < 10)
                ADD_FAILURE() << "row " << r << " column " << c << ": "
                              << shown(text, isNull).substr(0, 60) << " instead of "
                              << shown(expected[r][c]).substr(0, 60);
        }
    }
    EXPECT_EQ(mismatches, 0u);
    // A pass over the blocks reads the same values, row after row.
    for (int c = 0; c < 5; ++c) {
        size_t r = 0;
        for (const SQLQUERY_BLOCK& block : store.blocks())
            block.forEachRow(c, [&](uint32_t, std::string_view text, bool isNull) {
                if (shown(text, isNull) != shown(expected[r][c]))
                    ADD_FAILURE() << "pass over column " << c << ", row " << r;
                ++r;
            });
        EXPECT_EQ(r, expected.size());
    }
    // The store costs the text, a byte a value and little more: no object per value.
    size_t text = 0, values = 0;
    for (const auto& row : wide)
        for (const Cell& cell : row) text += cell ? cell->size() : 0, ++values;
    for (const auto& row : narrow)
        for (const Cell& cell : row) text += cell ? cell->size() : 0, ++values;
    EXPECT_LT(store.keptBytes(), text + values * 5 / 4 + 64 * 1024 * store.blocks().size() / 32)
        << "text " << text << ", values " << values;
    // Out of range: nothing, not missing.
    bool isNull = true;
    EXPECT_TRUE(store.value(store.rowCount(), 0, &isNull).empty());
    EXPECT_FALSE(isNull);
    EXPECT_TRUE(store.value(0, 5, &isNull).empty());
}

using ResultStoreSqlite = QueryFixture;

TEST_F(ResultStoreSqlite, ShowsEachSqliteTypeAsTheGridDoes) {
    const std::string db = shellDatabase("types.db", "CREATE TABLE t(a);");
    struct Case {
        const char* sql;
        Cell shown;
    } cases[] = {
        {"NULL", Cell()},
        {"''", Cell("")},
        {"'Curaçao'", Cell("Cura\xC3\xA7" "ao")},
        {"X'00FF10'", Cell("00FF10")},
        {"X''", Cell("")},
        {"CAST(X'610062' AS TEXT)", Cell(std::string("a\0b", 3))},
        {"9223372036854775807", Cell("9223372036854775807")},
        {"-9223372036854775808", Cell("-9223372036854775808")},
        {"0", Cell("0")},
        {"2.5", Cell("2.5")},
        {"980.0", Cell("980.0")},
        {"0.1", Cell("0.1")},
        {"1e300", Cell("1e+300")},
        {"-1.5e-7", Cell("-1.5e-07")},
        {"printf('%.254c', 'x')", Cell(std::string(254, 'x'))},
        {"printf('%.70000c', 'y')", Cell(std::string(70000, 'y'))},
    };
    std::string sql = "SELECT ";
    for (size_t i = 0; i < std::size(cases); ++i) sql += (i ? ", " : "") + std::string(cases[i].sql);
    const SQLQUERY_TABLE table = query(db, sql);
    ASSERT_EQ(table.rowCount(), 1);
    ASSERT_EQ(table.columnCount(), static_cast<int>(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        bool isNull = false;
        const std::string_view text = table.value(0, static_cast<int>(i), &isNull);
        EXPECT_EQ(shown(text, isNull), shown(cases[i].shown)) << cases[i].sql;
    }
}

TEST_F(ResultStoreSqlite, SortsATableLargerThanOneThreadSortsAsSqliteOrdersItThenByRow) {
    // 100 000 rows of tzdata's country names and codes, many equal, with numbers written as
    // integers and reals of both signs, and NULLs: the sort splits over two threads and merges.
    const std::string db = shellDatabase(
        "sort.db",
        std::string(".mode tabs\nCREATE TABLE raw(code, name);\n.import ") + kCountryTable +
            " raw\n"
            "DELETE FROM raw WHERE code LIKE '#%';\n"
            "CREATE TABLE t(name, code, n);\n"
            "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 100000)\n"
            "INSERT INTO t SELECT CASE WHEN i % 11 = 0 THEN NULL ELSE (SELECT name FROM raw "
            "WHERE rowid = 1 + (i * 7919) % (SELECT count(*) FROM raw)) END,\n"
            "  (SELECT code FROM raw WHERE rowid = 1 + i % 13) || substr('abcdefghij', 1 + i % "
            "10),\n"
            "  CASE WHEN i % 13 = 0 THEN NULL WHEN i % 3 = 0 THEN (i * 37 % 1001) - 500 "
            "ELSE ((i * 37 % 1001) - 500) * 0.25 END\n"
            "FROM k;\n");
    const SQLQUERY_TABLE table = query(db, "SELECT name, code, n FROM t ORDER BY rowid");
    ASSERT_EQ(table.rowCount(), 100000);
    const char* names[] = {"name", "code", "n"};
    for (int c = 0; c < 3; ++c) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE(std::string(names[c]) + (descending ? " DESC" : " ASC"));
            std::vector<uint32_t> order;
            ASSERT_TRUE(SQLQUERY_SortOrder(table, c, descending, nullptr, order));
            // Equal values keep the order they came in, whichever the direction.
            const SQLQUERY_TABLE expected =
                query(db, std::string("SELECT rowid - 1 FROM t ORDER BY ") + names[c] +
                              (descending ? " DESC" : "") + ", rowid");
            ASSERT_EQ(order.size(), 100000u);
            size_t wrong = 0;
            for (size_t i = 0; i < order.size(); ++i) {
                bool isNull = false;
                if (std::to_string(order[i]) !=
                        expected.value(static_cast<int>(i), 0, &isNull) &&
                    ++wrong < 5)
                    ADD_FAILURE() << "place " << i << ": row " << order[i] << " instead of "
                                  << expected.value(static_cast<int>(i), 0, &isNull);
            }
            EXPECT_EQ(wrong, 0u);
        }
    }
}

TEST(ResultSort, OrdersNullsNumbersAndTextsAsSqliteDoes) {
    // One column; the expected order, ascending, as row numbers.
    const std::vector<Cell> column = {
        Cell("abcdefghij"), Cell(), Cell("10"), Cell("9"), Cell("-1.5e3"), Cell("été"),
        Cell("abcdefgh"), Cell(std::string("abcdefgh\0", 9)), Cell(""), Cell("zz"), Cell(),
        Cell("1e999"), Cell("-0"), Cell("0"), Cell("abcdefghi"), Cell("9.0"), Cell("ab"),
        Cell("Ab"), Cell(" 1"), Cell("abcdefghij")};
    const std::vector<uint32_t> ascending = {1,  10, 4,  12, 13, 3, 15, 2, 11, 8,
                                             18, 17, 16, 6,  7,  14, 0, 19, 9, 5};
    const std::vector<uint32_t> descending = {5,  9, 0,  19, 14, 7,  6,  16, 17, 18,
                                              8,  11, 2, 3,  15, 12, 13, 4,  1,  10};
    Rows rows;
    for (const Cell& cell : column) rows.push_back({cell});
    SQLQUERY_ROWSINK sink({});
    char title[] = "v";
    char* titles[] = {title};
    sink.columns(1, titles);
    feed(sink, rows);
    sink.flush();
    SQLQUERY_BATCH batch;
    sink.take(batch);
    SQLQUERY_TABLE table;
    table.append(batch);
    std::vector<uint32_t> order;
    ASSERT_TRUE(SQLQUERY_SortOrder(table, 0, false, nullptr, order));
    EXPECT_EQ(order, ascending);
    ASSERT_TRUE(SQLQUERY_SortOrder(table, 0, true, nullptr, order));
    EXPECT_EQ(order, descending);
}

}  // namespace

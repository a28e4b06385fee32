#include "sqliteload/rowsource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqliteload/tests/output_test_util.h"

namespace {

using loadrows::LoadBatch;
using loadrows::LoadCell;
using loadrows::LoadRow;
using loadrows::RowSource;
using outtest::Rows;

class RowSourceTest : public outtest::SqliteTest {
protected:
    void SetUp() override {
        SqliteTest::SetUp();
        ASSERT_EQ(gsqlite3.sqlite3_open(":memory:", &db), SQLITE_OK);
    }
    void TearDown() override {
        gsqlite3.sqlite3_close(db);
        SqliteTest::TearDown();
    }
    // The first step's answer to `sql`.
    int step(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        int rc = gsqlite3.sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK) rc = gsqlite3.sqlite3_step(stmt);
        gsqlite3.sqlite3_finalize(stmt);
        return rc;
    }
    void addRow(int rowId, const std::vector<LoadCell>& cells) {
        LoadRow row{};
        row.rowId = rowId;
        row.firstCell = batch.cells.size();
        batch.rows.push_back(row);
        for (const LoadCell& cell : cells) batch.cells.push_back(cell);
    }
    LoadCell text(const std::string& value) {
        LoadCell cell = LoadCell::null();
        cell.type = SQLITE_TEXT;
        cell.text = batch.keep(value.data(), value.size());
        return cell;
    }

    sqlite3* db = nullptr;
    LoadBatch batch;
};

// The table gives the batch's values as they are, in the order offered, only while they are
// offered, cannot be written, and goes with its source: a table of the same name in the
// database is never read nor dropped instead.
TEST_F(RowSourceTest, GivesTheRowsOfferedAndLeavesNothingBehind) {
    ASSERT_EQ(step("CREATE TABLE morvex_load_rows (a)"), SQLITE_DONE);
    ASSERT_EQ(step("INSERT INTO morvex_load_rows VALUES ('mine')"), SQLITE_DONE);
    LoadCell integer = LoadCell::null();
    integer.type = SQLITE_INTEGER;
    integer.integer = -9007199254740993LL;
    LoadCell real = LoadCell::null();
    real.type = SQLITE_FLOAT;
    real.real = 12.5;
    addRow(2, {integer, real, text("L'Oréal'); DROP TABLE t; --")});
    addRow(3, {LoadCell::null(), text(""), text("0012")});
    std::vector<const LoadRow*> offered = {&batch.rows[1], &batch.rows[0]};
    const std::string select =
        "SELECT v0, v1, typeof(v1), v2, typeof(v2), v3, typeof(v3) FROM temp.\"morvex_load_rows\"";
    for (int round = 0; round < 2; ++round) {  // a second source on the same connection
        RowSource source(db, 4, true);
        ASSERT_TRUE(source.ready()) << round;
        EXPECT_EQ(step(select), SQLITE_ERROR) << "nothing offered yet";
        source.offer(&batch, &offered);
        EXPECT_EQ(Rows(db, select),
                  (std::vector<std::string>{
                      "3|<null>|null||text|0012|text",
                      "2|-9007199254740993|integer|12.5|real|L'Oréal'); DROP TABLE t; --|text"}));
        EXPECT_NE(step("INSERT INTO temp.\"morvex_load_rows\" VALUES (1, 2, 3, 4)"), SQLITE_DONE);
        source.offer(nullptr, nullptr);
        EXPECT_EQ(step(select), SQLITE_ERROR) << "taken back";
    }
    EXPECT_EQ(Rows(db, "SELECT count(*) FROM temp.sqlite_master"), std::vector<std::string>{"0"});
    EXPECT_EQ(Rows(db, "SELECT a FROM morvex_load_rows"), std::vector<std::string>{"mine"});
}

// Without the library's virtual tables the source says so, and the load binds its values.
TEST_F(RowSourceTest, IsNotReadyWithoutVirtualTables) {
    const auto create = gsqlite3.sqlite3_create_module_v2;
    gsqlite3.sqlite3_create_module_v2 = nullptr;
    {
        RowSource source(db, 2, false);
        EXPECT_FALSE(source.ready());
    }
    gsqlite3.sqlite3_create_module_v2 = create;
    EXPECT_EQ(Rows(db, "SELECT count(*) FROM temp.sqlite_master"), std::vector<std::string>{"0"});
}

}  // namespace

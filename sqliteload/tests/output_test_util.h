// Shared helpers of the output tests: text checks, and for the SQLite ones the system library
// bound, a fresh folder, a scripted UI port, columns of each target type, and rows read back
// from a real database.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"
#include "foundation/testing/tempdir.h"
#include "foundation/testing/textassert.h"
#include "foundation/uiport_testing.h"
#include "sqliteload/sqlite3dll.h"

namespace outtest {

using morvex::testing::Contains;
using morvex::testing::StartsWith;

// A column `code` of target `type`: decimal(9, 2), char(2), varchar(30), and `format` as both
// its date and date-time format.
inline ColumnDesc MakeColumn(const char* code, int type, const char* format = "") {
    ColumnDesc c{};
    snprintf(c.code, sizeof c.code, "%s", code);
    c.typeCible.type = type;
    c.typeCible.fmtDecimal = {7, 2};
    snprintf(c.typeCible.fmtDate, sizeof c.typeCible.fmtDate, "%s", format);
    snprintf(c.typeCible.fmtDateTime, sizeof c.typeCible.fmtDateTime, "%s", format);
    c.typeCible.fmtChaineFixe.taille = 2;
    c.typeCible.fmtChaineVar.tailleMax = 30;
    return c;
}

// Every row of `sql` on `db`, columns joined by '|' (NULL written "<null>"), read through the
// binding.
inline std::vector<std::string> Rows(sqlite3* db, const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(gsqlite3.sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
        << gsqlite3.sqlite3_errmsg(db);
    while (stmt != nullptr && gsqlite3.sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < gsqlite3.sqlite3_column_count(stmt); ++i) {
            const unsigned char* text = gsqlite3.sqlite3_column_text(stmt, i);
            row += (i > 0 ? "|" : "") +
                   std::string(text != nullptr ? reinterpret_cast<const char*>(text) : "<null>");
        }
        rows.push_back(row);
    }
    gsqlite3.sqlite3_finalize(stmt);
    return rows;
}

// The same, on the database file `path`.
inline std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(gsqlite3.sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::vector<std::string> rows = Rows(db, sql);
    gsqlite3.sqlite3_close(db);
    return rows;
}

// Binds the system SQLite library and a scripted port for the duration of a test.
class SqliteTest : public ::testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        morvex::setUiPort(&port);
        library = SQLITE3_LoadDLL(nullptr);
        ASSERT_NE(library, nullptr);
    }
    void TearDown() override {
        SQLITE3_LibererDLL(library);
        morvex::setUiPort(nullptr);
    }

    morvex::testing::TempDir dir{"sqlite_test"};
    morvex::ScriptedUiPort port;
    void* library = nullptr;
};

}  // namespace outtest

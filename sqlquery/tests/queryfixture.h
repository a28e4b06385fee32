// What the query tool's window-free tests share: databases written by the sqlite3 shell, and the
// rows of a query as the query tool's table holds them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "sqlquery/sqlquery.h"
#include "sqlquery/sqlqueryrows.h"
#include "sqliteload/tests/output_test_util.h"

class QueryFixture : public outtest::SqliteTest {
protected:
    // A database made by the sqlite3 shell from `sql`.
    std::string shellDatabase(const std::string& name, const std::string& sql) {
        const std::string path = dir.file(name);
        const std::string script = dir.file(name + ".sql");
        std::ofstream(script) << sql;
        const std::string command = "sqlite3 '" + path + "' < '" + script + "'";
        EXPECT_EQ(system(command.c_str()), 0) << "the sqlite3 shell (tools/install-deps.sh)";
        return path;
    }

    // The rows of `sql` as the query tool's table holds them.
    SQLQUERY_TABLE query(const std::string& db, const std::string& sql) {
        SQLQUERY_RUN run;
        SQLQUERY_ROWSINK sink({});
        EXPECT_EQ(SQLQUERY_Execute(&run, db.c_str(), sql.c_str(), &sink), 0) << run.error;
        sink.flush();
        SQLQUERY_BATCH batch;
        sink.take(batch);
        SQLQUERY_TABLE table;
        table.append(batch);
        return table;
    }
};

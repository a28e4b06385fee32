// tabstrap through the PostgreSQL ODBC driver against a throw-away PostgreSQL cluster
// (pg_virtualenv): a table of varied types is copied through the script into a twin table and
// the server compares the two value by value. The whole scenario runs in one cluster start,
// one cluster at a time on the machine (under a lock: clusters started together contend for
// the port).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tabstrap/tests/tabstrap_util.h"

namespace {

namespace fs = std::filesystem;

// The source table: names that need quoting, long texts with quotes and backslashes, NULLs,
// doubles to 17 digits with NaN and infinities, wide integers, fractional seconds, offsets.
const char* const kSourceSql = R"SQL(
SET TIME ZONE 'Europe/Paris';
CREATE TABLE src (
    id integer PRIMARY KEY, big bigint, "Code Client" varchar(20), "Prénom" text,
    note text, ratio double precision, amount numeric(14,4), day date,
    stamp timestamp, stamped timestamptz, at time, flag boolean);
INSERT INTO src VALUES
 (1, 9876543210, 'C 01', 'Zoé', 'l''ami \ "x"' || chr(10) || 'suite', 0.1 + 0.2,
  1234.5678, '2024-02-29', '2024-12-31 23:59:59.123456', '2024-06-01 12:00:00.5+02',
  '23:59:59.123456', true),
 (2, -9876543210, NULL, NULL, repeat('ab''\', 2500), 'NaN', -0.0001, NULL,
  '2014-05-06 05:52:00', NULL, NULL, false),
 (3, 0, '', 'É', NULL, 'Infinity', NULL, '1970-01-01', NULL, '1999-12-31 23:00:00-05',
  '00:00:00', NULL),
 (4, NULL, 'NULL', 'x', '', '-Infinity', 0, NULL, NULL, NULL, NULL, NULL),
 (5, 1, 'z', 'y', 'SELECT 1; --', 1234567.891234567, 99.9999, NULL, NULL, NULL, NULL, NULL);
)SQL";

TEST(TabstrapPostgres, CopiesAVariedTableValueByValue) {
    std::string pattern = testing::TempDir() + "tabstrap_pg_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = fs::canonical(pattern);
    std::ofstream(dir / "source.sql") << kSourceSql;
    // tabstrap's answers: DSN, user, password, output, target table, query, final Enter.
    std::ofstream(dir / "script.sh") << R"SH(set -eu
cd "$1"
psql -X -q -v ON_ERROR_STOP=1 -f source.sql
cat > odbc.ini <<EOF
[pg]
Driver=PostgreSQL Unicode
Servername=$PGHOST
Port=$PGPORT
Database=$PGDATABASE
EOF
export ODBCINI="$PWD/odbc.ini"
# The driver manager keeps what it read of odbc.ini past the driver's unloading: a leak report
# there names no module of ours (sanitizer builds only).
export LSAN_OPTIONS=detect_leaks=0
printf 'pg\n%s\n%s\ncopy.sql\ndst\nSELECT * FROM src ORDER BY id\n\n' "$PGUSER" "$PGPASSWORD" |
    "$2" > tabstrap.out
# The statements end without a separator: psql gets one after each.
sed -e 's/^\(INSERT INTO \)/;\n\1/' copy.sql > copy-psql.sql
echo ';' >> copy-psql.sql
psql -X -q -v ON_ERROR_STOP=1 -c 'CREATE TABLE dst (LIKE src)' -f copy-psql.sql
psql -X -At -v ON_ERROR_STOP=1 -c "SELECT (SELECT count(*) FROM dst),
    (SELECT count(*) FROM (SELECT * FROM src EXCEPT ALL SELECT * FROM dst) d),
    (SELECT count(*) FROM (SELECT * FROM dst EXCEPT ALL SELECT * FROM src) d),
    (SELECT ratio::text FROM dst WHERE id = 5)" > result.txt
)SH";
    const std::string command = "flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv sh '" +
                                (dir / "script.sh").string() + "' '" + dir.string() +
                                "' '" TABSTRAP_PATH "' > '" + (dir / "cluster.log").string() +
                                "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0)
        << tabstrap_test::readFile(dir / "cluster.log")
        << tabstrap_test::readFile(dir / "tabstrap.out");
    // Five rows, none differing either way, the double back with its 17 digits.
    EXPECT_EQ(tabstrap_test::readFile(dir / "result.txt"), "5|0|0|1234567.891234567\n")
        << tabstrap_test::readFile(dir / "copy.sql");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace

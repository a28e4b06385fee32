// PGLOAD: loads a description's data file into a PostgreSQL table through libpq's
// COPY ... FROM STDIN, with the same reading, value conversions, counts, rejects and load
// modes as the SQLite load (sqliteload/loadrows.h, sqliteload/loadmode.h), and the catalogue
// tables of the description in the target schema.
//
// Connections are libpq's own strings: a "postgresql://" URI or "host=... dbname=..." words;
// passwords come from the string, ~/.pgpass, PGPASSWORD or the service file and are never
// traced, shown or kept: what a message says of a connection is PGLOAD_DescribeConnection's
// text, without the password.
//
// Names (schema, table, columns, indexes) are quoted as PostgreSQL identifiers; values go
// through COPY's text format, escaped, or as parameters of prepared statements, never into SQL
// text.
//
// Threads: a load runs in the task's worker thread with a reading thread beside it; the
// connection belongs to the load and is closed before it returns.
#pragma once

#include <libpq-fe.h>

#include <string>

#include "filedesc/filedesc.h"
#include "foundation/task.h"
#include "sqliteload/sqlite4fyk.h"

// Schema of a load when neither the options nor the description name one.
constexpr const char* PGLOAD_DEFAULT_SCHEMA = "public";

// How a PostgreSQL load is done: the rows' treatment and the table's mode as for SQLite.
struct PGLOAD_OPTIONS {
    SQLITE4FYK_LOADOPTIONS load;  // rejects file, most rows set aside, mode, keys
    std::string schema;           // target schema (empty: the description's, else public)
    bool textCopy = false;        // every row in COPY's text format (else binary where a
                                  // row's values allow it)
};

// True when `target` names a PostgreSQL connection rather than an SQLite file: it begins with
// "postgresql://" or "postgres://", or holds a libpq "keyword=value" word.
bool PGLOAD_IsConnection(const std::string& target);
// What may be shown of the connection `conninfo`: its host, port, database and user, never its
// password ("" when libpq cannot read it).
std::string PGLOAD_DescribeConnection(const std::string& conninfo);
// A connection to `conninfo` in UTF-8 (with a connection timeout unless the string gives one;
// the server's notices go to the trace), owned by the caller (PQfinish); nullptr with libpq's
// message in `error` (may be nullptr) when it cannot be made.
PGconn* PGLOAD_Connect(const char* conninfo, std::string* error);
// `value` as libpq reads it back in a connection string ("key=" + this): as it is when it holds
// no blank, quote or backslash, else in single quotes with its quotes and backslashes escaped.
std::string PGLOAD_ConnectionWord(const std::string& value);
// PostgreSQL type of a column, as the bundled PostgreSQL DDL template writes it (integer or
// bigint past 9 digits, numeric(p, s), date, timestamp, char(n), varchar(n), boolean, text).
std::string PGLOAD_ColumnType(const TypeCible* t);
// Longest name PostgreSQL keeps whole (NAMEDATALEN - 1 bytes); the server cuts a longer one
// without failing, so that a table would be made with other column names than its description's
// and no later load would find its columns again.
constexpr size_t PGLOAD_NAME_MAX = 63;
// The names of the load's schema and of `desc`'s columns that PostgreSQL would cut, told in
// French; "" when there is none (a table's and an index's names are short enough by their
// records).
std::string PGLOAD_NameLengthProblem(const FileDesc* desc, const std::string& schema);
// `name` as a PostgreSQL identifier: in double quotes, its double quotes doubled.
std::string PGLOAD_QuoteName(const char* name);

// The whole load, in one transaction: the schema, the catalogue tables and rows, the table as
// the mode says and every row. A failure, a stop, a lost connection or a killed process leaves
// the database as it was. Rows the conversion sets aside are counted as in the SQLite load;
// rows the server refuses are found by storing their batch again row by row under a savepoint
// and counted as rejected, with the server's message in the rejects file. Fills `stats` (may be
// nullptr; stats->failure holds the French message of a failure, the server's on the line
// after it). Reports through the task as the SQLite load does. 0 when the load completed, 1
// when it failed or was interrupted.
int PGLOAD_LoadDataInDatabase(TASK* task, FileDesc* desc, const char* conninfo, int batchSize,
                              int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats,
                              const PGLOAD_OPTIONS* options = nullptr);
// Runs PGLOAD_LoadDataInDatabase as the task "Chargement du fichier de données" under the UI
// port's progress display. 1 when the task cannot be created, else 0 (see `stats`).
int PGLOAD_RunLoadTask(FileDesc* desc, const char* conninfo, int batchSize,
                       SQLITE4FYK_LOADSTATS* stats, const PGLOAD_OPTIONS* options = nullptr);

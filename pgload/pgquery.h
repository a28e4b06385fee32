// PGQUERY: runs SQL text on a PostgreSQL connection for `morvexcli query` and the query tool,
// handing columns and rows to the same sink as the SQLite query run (sqlquery/sqlquery.h).
// Nothing is written by the run itself (no history table on the server). Also what the query
// tool's tree shows of such a database: its tables and views with their columns.
//
// Threads: PGQUERY_Execute runs in one thread; PGQUERY_Interrupt may be called from any other
// while it runs.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "sqlquery/sqlquery.h"
#include "sqlquery/sqlschema.h"

// One run of PGQUERY_Execute.
struct PGQUERY_RUN {
    std::mutex lock;                // guards `cancel`
    void* cancel = nullptr;         // libpq's PGcancel of the running query, while it runs
    bool interruptRequested = false;
    bool interrupted = false;       // the run ended on an interruption
    int rows = 0;                   // rows received
    std::string error;              // the French message and the server's, when it failed
    int errorOffset = -1;           // the byte of the query text the server's error points at
                                    // (-1: none)
};

// Runs every statement of `sql` on `conninfo`, streaming the rows of each result set to
// `sink` (columns first; NULL values as nullptr). 1 when the connection or a statement fails
// (run->error), else 0.
int PGQUERY_Execute(PGQUERY_RUN* run, const char* conninfo, const char* sql, SQLQUERY_SINK* sink);
// Asks the running query to stop (from any thread).
void PGQUERY_Interrupt(PGQUERY_RUN* run);

// Reads the tables and views the connection's user may see (information_schema, the server's
// own schemas left out), at most SQLQUERY_SCHEMA_MAX_OBJECTS, ordered as the SQLite tree is
// (group, then name without case). Each object's name is "schema.table"; `selects` receives,
// at the same places, `SELECT * FROM "schema"."table"` with both names quoted as identifiers.
// False with the French message and the server's in `error` when the database cannot be read.
// Any thread; connects for the reading and disconnects at once.
bool PGQUERY_ReadSchema(const std::string& conninfo, std::vector<SQLQUERY_SCHEMAOBJECT>& objects,
                        std::vector<std::string>& selects, std::string& error);

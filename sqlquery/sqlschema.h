// What the query tool shows beside its editor: the tables and views of an SQLite database with
// their columns, and the queries of its history table. Both are read through a connection of
// their own, opened read-only for the reading and closed at once, so that they never hold a lock
// on the database between two runs.
//
// Names come from the database file, which may come from someone else: they are only ever
// bound or quoted as identifiers (SQLQUERY_SelectAllText), never run as SQL text.
#pragma once

#include <string>
#include <vector>

// Where an object of the database belongs in the query tool's tree.
enum SQLQUERY_SCHEMAGROUP {
    SQLQUERY_GROUP_TABLE = 0,      // a table of the person's data
    SQLQUERY_GROUP_VIEW = 1,       // a view
    SQLQUERY_GROUP_CATALOGUE = 2,  // the catalogue and history tables, SQLite's own tables
};

// One column of a table or view.
struct SQLQUERY_SCHEMACOLUMN {
    std::string name;  // the column's name
    std::string type;  // its declared type, as written in the CREATE statement ("" for none)
};
bool operator==(const SQLQUERY_SCHEMACOLUMN& a, const SQLQUERY_SCHEMACOLUMN& b);

// A table or view with its columns, in their order.
struct SQLQUERY_SCHEMAOBJECT {
    std::string name;                            // the table's or view's name
    SQLQUERY_SCHEMAGROUP group = SQLQUERY_GROUP_TABLE;  // where it is shown
    std::vector<SQLQUERY_SCHEMACOLUMN> columns;  // its columns (empty for a view that fails)
    bool operator==(const SQLQUERY_SCHEMAOBJECT& other) const;
};

// One query of the history table.
struct SQLQUERY_HISTORYENTRY {
    long long id = 0;       // its RowID
    std::string query;      // the text that was run
    std::string timeStamp;  // when, as SQLite wrote it ("2026-12-08 16:30:00", UTC)
};

// Most objects read from one database (a larger schema is cut there).
constexpr int SQLQUERY_SCHEMA_MAX_OBJECTS = 10000;
// Most history entries read.
constexpr int SQLQUERY_HISTORY_MAX_ENTRIES = 500;

// Reads the tables and views of the database at `path`, ordered by group then name (without
// case), each with its columns. False with SQLite's message in `error` when the database cannot
// be read (no file, not a database, library not bound). Any thread.
bool SQLQUERY_ReadSchema(const std::string& path, std::vector<SQLQUERY_SCHEMAOBJECT>& objects,
                         std::string& error);
// Reads the queries of the history table of the database at `path`, most recent first, at most
// `limit`. A database without a history table has an empty history (true). Any thread.
bool SQLQUERY_ReadHistory(const std::string& path, int limit,
                          std::vector<SQLQUERY_HISTORYENTRY>& entries, std::string& error);
// The group of a table named `name`: the catalogue and history tables and SQLite's own tables
// apart from the person's.
SQLQUERY_SCHEMAGROUP SQLQUERY_TableGroup(const std::string& name);
// `SELECT * FROM "name"`, the name quoted as an SQL identifier (its double quotes doubled).
std::string SQLQUERY_SelectAllText(const std::string& name);

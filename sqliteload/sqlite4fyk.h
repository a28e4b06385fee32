// SQLITE4FYK: loads a description's data file into an SQLite database, beside the catalogue
// tables that hold the description itself and the query history table.
//
// Every call goes through the run-time binding (sqliteload/sqlite3dll.h); without a bound library
// every operation refuses (traced, failure value). Values are always bound to prepared
// statements, never written into SQL text; table and column names are quoted with their
// double quotes doubled.
//
// Return convention: 0 = success, 1 = failure, unless a function says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"
#include "foundation/task.h"
#include "sqliteload/loadmode.h"
#include "sqliteload/sqlite3dll.h"

// Catalogue and history table names.
constexpr const char* SQLITE4FYK_FILEDESC_TABLE = "FylatekFileDesc";
constexpr const char* SQLITE4FYK_FILEDESCCOLUMN_TABLE = "FylatekFileDescColumn";
constexpr const char* SQLITE4FYK_HISTORY_TABLE = "FylatekHistory";
// Version written in the catalogue rows.
constexpr const char* SQLITE4FYK_CATALOGUE_VERSION = "1.4";
// Rows per batch when the caller gives 0 or less.
constexpr int SQLITE4FYK_DEFAULT_BATCH_SIZE = 1000;
// How long a load waits for a database that another connection has locked, when the settings
// say nothing (APPSETTINGS::sqliteBusyTimeout, milliseconds).
constexpr int SQLITE4FYK_DEFAULT_BUSY_TIMEOUT_MS = 10000;
// What a load reports while it waits for a locked database.
constexpr const char* SQLITE4FYK_LOCKED_WAIT_TEXT = "base verrouillée, attente…";

// How one load ended.
enum {
    SQLITE4FYK_LOAD_DONE = 0,         // every row read was offered to the database and committed
    SQLITE4FYK_LOAD_FAILED = 1,       // the load could not be done (nothing reported as finished)
    SQLITE4FYK_LOAD_INTERRUPTED = 2,  // stopped on request (see the functions for what is kept)
};

// What the rows of one data file of a load came to (a row read is stored unless set aside or
// refused).
struct SQLITE4FYK_FILECOUNTS {
    std::string name;      // the file as the messages name it
    int rows = 0;          // rows read from it
    int rowsSetAside = 0;  // rows not offered to the database
    int rowsRejected = 0;  // rows the database refused
    int rowsStored() const { return rows - rowsSetAside - rowsRejected; }
};

// What a load did. Every row read is in exactly one of: rowsStored, rowsSetAside,
// rowsRejected.
struct SQLITE4FYK_LOADSTATS {
    int status;          // SQLITE4FYK_LOAD_DONE, _FAILED or _INTERRUPTED
    int rows;            // rows read from the data file
    int rowsStored;      // rows in the table (none once a failed load has rolled back)
    int rowsRejected;    // rows the database refused (each traced with its reason)
    int valuesNotTyped;  // values kept as their original text because they do not fit the
                         // column's type (such as a date that does not fit its format)
    int rowsSetAside;    // rows not offered to the database, whatever the reason below
    int rowsTooLong;         // ... a line longer than the line-length limit, cut (always)
    int rowsBadEncoding;     // ... bytes not valid in the description's encoding (always)
    int rowsUnclosedQuote;   // ... a protected field that is never closed (always)
    int rowsBadShape;        // ... not one value per column (strict loads only)
    int rowsBadValue;        // ... a value that does not fit its column's type (strict only)
    int rowsMisshapedStored;  // rows stored although they have not one value per column
                              // (missing values NULL, extra ones dropped: not strict)
    int firstMisshapedLine;   // line of the first such row (0: none)
    int firstMisshapedFile;   // its file's place in `files`
    int tooManyRejects;  // 1 when the load stopped past SQLITE4FYK_LOADOPTIONS::maxRejects
    int blankLines;      // blank lines passed over: they are no rows (DATAFILE::blankLines)
    int valuesMultiLine;     // values of rows read that go on over line ends (quoted)
    int firstMultiLineLine;  // line on which the first such row begins (0: none)
    int firstMultiLineFile;  // its file's place in `files`
    int fileChanged;     // 1 when the data file changed during the reading (the load failed)
    double seconds;      // wall-clock time of the row loading
    char error[256];     // SQLite's message when the database stopped the load ("" otherwise)
    char failure[1024];  // a failed load: the message told, its cause on the line after it
    std::vector<SQLITE4FYK_FILECOUNTS> files;  // each data file, in the order they were read
};

// What a load reads, and how it treats the rows it cannot take as they are.
struct SQLITE4FYK_LOADOPTIONS {
    // The data file loaded, read through the description (the front ends give the
    // description's example file); empty: none, the load fails.
    std::string dataPath;
    // Further data files loaded after it into the same table, in this order and in the same
    // transaction: a failure in any of them keeps nothing of the others.
    std::vector<std::string> moreDataPaths;
    // What the messages, the rejects file and the source column call each data file
    // (dataPath's first); a file without one: its path's base name.
    std::vector<std::string> dataNames;
    // The column, last of the description, that the front end added to hold each row's file
    // name (loadrows::AddSourceColumn); empty: none.
    std::string sourceColumn;
    // CSV file (line, column, reason) listing every row set aside; empty: none.
    std::string rejectsPath;
    // Rows set aside or refused past which the load stops and rolls back; -1: no limit.
    int maxRejects = -1;
    // What becomes of the table (LOADMODE): by default a table loaded from a description is
    // replaced and any other refused.
    int mode = LOADMODE_DEFAULT;
    // True: a table the load creates gets the description's primary key, indexes and NOT NULL
    // on its mandatory columns; rows that break them are refused and counted with the reason.
    bool keys = false;
    // True when a rejects file or a limit is given: rows without one value per column and rows
    // with a value that does not fit its type are then set aside too, not stored.
    bool strict() const { return !rejectsPath.empty() || maxRejects >= 0; }
};

// The data of a load task.
struct SQLITE4FYK_LOADTASK {
    FileDesc* desc;              // the description (not owned)
    char* path;                  // owned copy of the database path (":memory:" allowed)
    int batchSize;               // rows between two progress reports
    int rowNumberFlag;           // 1: the table gets the data file's line number as FileRowID
    SQLITE4FYK_LOADSTATS stats;  // filled by the worker
    const SQLITE4FYK_LOADOPTIONS* options;  // nullptr: the defaults (not owned)
};

// One field value converted for its column's type.
struct SQLITE4FYK_VALUE {
    int sqliteType;     // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT or SQLITE_TEXT
    long long integer;  // SQLITE_INTEGER value
    double real;        // SQLITE_FLOAT value
    std::string text;   // SQLITE_TEXT value
    int notTyped;       // 1 when the text did not fit the type and is kept as it was read
    // The day format this value read last, its runs' places worked out once: a load reads
    // millions of dates of one or two formats through the same value.
    struct DayFormat {
        char format[16];  // the format's first 16 bytes, as its column holds them
        bool plain;       // a plain format: the places below are right
        unsigned char length, year, month, day;  // its length, where each run begins
        uint16_t digits;                         // bit k: a digit at k, else the format's byte
    } dayFormat{};
};

// A load task record (copy of `path`); nullptr when an argument is missing or out of memory.
SQLITE4FYK_LOADTASK* SQLITE4FYK_CreateLoadTask(FileDesc* desc, const char* path, int batchSize,
                                               int rowNumberFlag);
// Releases a load task record (nullptr accepted; not the description).
void SQLITE4FYK_DestroyLoadTask(SQLITE4FYK_LOADTASK* load);
// Task worker: the whole load of the SQLITE4FYK_LOADTASK in task->parameter.
void SQLite_LoadDataInDatabase(TASK* task);

// The whole load: opens the database, writes the catalogue, recreates the data table and
// loads the data file of `options` (dataPath), all in one transaction with a rollback journal on
// disk: a load that fails, is stopped by the person, or whose process is killed leaves the
// database as it was (its earlier table and catalogue rows included). A database locked by
// another connection is waited for (APPSETTINGS::sqliteBusyTimeout, reporting
// SQLITE4FYK_LOCKED_WAIT_TEXT), so that two loads into one database run one after the other.
// A failure is reported (task event "not started") with its cause on the line after the
// message, and kept in stats->failure. Fills `stats` (may be nullptr). 0 when the load
// completed, 1 when it failed or was interrupted; only a completed load reports "finished".
int SQLITE4FYK_LoadDataInDatabase(TASK* task, FileDesc* desc, const char* path, int batchSize,
                                  int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats,
                                  const SQLITE4FYK_LOADOPTIONS* options = nullptr);
// Runs a text of one or more statements (after adding it to the history when `log` is 1).
// 1 on failure (traced with SQLite's message) or without database or text.
int SQLITE4FYK_ExecuteSQL(sqlite3* db, const char* sql, int log);
// Appends `query` to the history table. 1 on failure or without database or query.
int SQLITE4FYK_LogQuery(sqlite3* db, const char* query);
// Creates the history table if it does not exist (dropped first when `drop` is 1).
int CreateQueryHistoryTable(sqlite3* db, int drop);
// Replaces the catalogue tables' content by `desc` and its columns. 1 when a statement failed.
int SQLITE4FYK_SaveFileDescription(sqlite3* db, FileDesc* desc);
// The catalogue of a description as any SQL target writes it: the statements (parameters
// written "?" in order, "?1" and "?2" in the deletes: the description's identifier and its
// table) and the values of the description's row and of each column's row, as texts.
struct SQLITE4FYK_CATALOGUE {
    std::string createDesc, createColumns;  // CREATE TABLE IF NOT EXISTS of the two tables
    std::string deleteColumns, deleteDesc;  // rows of this description or of its table
    std::string insertDesc, insertColumns;  // one row
    std::vector<std::string> descRow;
    std::vector<std::vector<std::string>> columnRows;
};
// The catalogue of `desc` (statements alone without a description).
SQLITE4FYK_CATALOGUE SQLITE4FYK_CatalogueOf(const FileDesc* desc);
// Inserts every row of the data file at `path` into the description's table inside one
// transaction, reporting progress every `batchSize` rows and testing the stop request at every
// row. Rows invalid in their encoding, and rows that open a protected field never closed, are
// never stored; under strict `options` neither are rows without one value per column or with a
// value that does not fit its type (otherwise such a row is stored, missing values NULL, and
// such a value kept as text). Returns the rows read, or -1 when the reader cannot be created,
// the transaction cannot be opened or committed, or more rows than options->maxRejects were
// set aside (rolled back). Fills `stats` (may be nullptr) except its seconds.
int LoadDataFromFile(TASK* task, sqlite3* db, FileDesc* desc, const char* path, int batchSize,
                     int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats,
                     const SQLITE4FYK_LOADOPTIONS* options = nullptr);

// Why the table of `desc` cannot be created with these column names: names that SQLite would
// take for the same one (its names ignore the case of ASCII letters; FileRowID with the row
// number flag) and empty names, each told with its column number. Empty when the names are
// usable. Called before a load opens its database.
std::string SQLITE4FYK_ColumnNameProblem(const FileDesc* desc, int rowNumberFlag);
// `name` in double quotes with its own double quotes doubled.
std::string SQLITE4FYK_QuoteName(const char* name);
// SQLite type of a target type ("int", "decimal(9, 2)", ...); empty for an unknown code.
std::string GenerateSQLITEType(const TypeCible* typeCible);
// DROP and CREATE of the description's table (empty without a description).
std::string GenerateCreateTable(const FileDesc* desc, int rowNumberFlag);
// The CREATE TABLE of the description's table (no DROP): with `keys`, NOT NULL on its mandatory
// columns, its primary key, then a CREATE INDEX per index; with `primaryKey` alone, the primary
// key only (what an upsert needs). Empty without a description.
// `target` names the table and types for another engine (nullptr: SQLite's, the table unqualified).
struct SQLITE4FYK_TABLESQL {
    std::string table;                                 // the table's name, quoted and qualified
    std::string (*columnType)(const TypeCible* type);  // a column's type
    const char* rowNumberType;                         // FileRowID's type
};
std::string SQLITE4FYK_CreateTableSQL(const FileDesc* desc, int rowNumberFlag, bool keys,
                                      bool primaryKey = false,
                                      const SQLITE4FYK_TABLESQL* target = nullptr);
// " ON CONFLICT (key columns) DO UPDATE SET column = excluded.column, ..." for an upsert into
// the description's table; empty without a primary key.
std::string SQLITE4FYK_UpsertClause(const FileDesc* desc, int rowNumberFlag);
// The INSERT with one parameter per column (FileRowID first with the flag); empty without a
// description or columns.
std::string GenerateInsert(const FileDesc* desc, int rowNumberFlag);
// The SQL literal of the field text `text` for a target type, as a batch of INSERT texts holds
// it (at most size - 1 bytes into `buffer`): NULL for an empty number, date or Boolean; a number
// as read (a decimal written "%f", its comma read as the point); a date as 'yyyy-mm-dd' (and
// ' hh:mm:ss.mmm'); a text, or a value that does not fit its type, between single quotes with
// its single quotes doubled. 0, or 1 without type or buffer.
int GenerateStringForData(const TypeCible* typeCible, const char* text, char* buffer, int size);
// Converts the field text `text` of `length` bytes for `column`'s target type into `value`.
// 0, or 1 without column or value.
int GenerateValueForData(const ColumnDesc* column, const char* text, int length,
                         SQLITE4FYK_VALUE* value);
// As GenerateValueForData, without copying a value that is the field's text as read (a text
// column's value, a value kept as text because it does not fit its type): `*asRead` is then
// true, value->text stays empty and the value is `text` itself. The loads' reading threads
// convert millions of values this way.
int SQLITE4FYK_ConvertInPlace(const ColumnDesc* column, const char* text, int length,
                              SQLITE4FYK_VALUE* value, bool* asRead);

// Runs the load of `desc`'s example data file into `path` as the task "Chargement du fichier de
// données" under the progress display of the UI port (returns once the worker has ended), with
// `batchSize` rows between two progress reports and the row number column. Fills `stats` (may
// be nullptr). 1 when the task cannot be created, else 0 (see `stats` for how the load ended).
int SQLITE4FYK_RunLoadTask(FileDesc* desc, const char* path, int batchSize,
                           SQLITE4FYK_LOADSTATS* stats,
                           const SQLITE4FYK_LOADOPTIONS* options = nullptr);

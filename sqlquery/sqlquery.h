// SQLQUERY: runs the text of a query against an SQLite database file, as the query tool does:
// open, log the text into the history table, execute every statement with a row callback,
// close. A run can be interrupted from another thread. The front end (query window, console)
// receives the status texts, the result columns and the rows through a sink.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

// Parts of the query tool's status line.
enum {
    SQLQUERY_STATUS_STATE = 0,    // state messages
    SQLQUERY_STATUS_ROWS = 1,     // row count
    SQLQUERY_STATUS_TIME = 2,     // elapsed time of the running query
    SQLQUERY_STATUS_VERSION = 3,  // "SQLite <version>"
    SQLQUERY_STATUS_PATH = 4,     // the database path
};

// What a value of a result row is, for a front end that writes numbers as numbers: a text
// (BLOBs as their hexadecimal digits), a number (its text a decimal or a real as C writes it:
// "NaN" and "Infinity" may come), or a Boolean (its text the database's: "t" or "f").
enum SQLQUERY_KIND : char {
    SQLQUERY_KIND_TEXT = 0,
    SQLQUERY_KIND_NUMBER = 1,
    SQLQUERY_KIND_BOOLEAN = 2,
};

// One value of a result row as its bytes (not terminated, may hold zero bytes), or missing.
struct SQLQUERY_VALUE {
    const char* data = nullptr;
    size_t size = 0;
    bool isNull = true;
    SQLQUERY_KIND kind = SQLQUERY_KIND_TEXT;  // what the database holds (for typedRow)
};

// What a run tells its front end; called from the thread that runs the query.
class SQLQUERY_SINK {
public:
    virtual ~SQLQUERY_SINK() = default;
    // Text for a part of the status line.
    virtual void status(int part, const std::string& text) = 0;
    // The columns of the rows that follow: once before the first row, and again when a later
    // statement of the text returns other columns.
    virtual void columns(int count, char** names) = 0;
    // One result row; a nullptr value is a missing value (NULL). Reals come as the shortest
    // text that reads back to the same double, BLOBs as hexadecimal digits (two a byte).
    virtual void row(int count, char** values) = 0;
    // The same row with the kind of each value (SQLQUERY_KIND; a NULL's kind says nothing):
    // what the PostgreSQL run hands over; by default the kinds are forgotten.
    virtual void typedRow(int count, char** values, const SQLQUERY_KIND* /*kinds*/) {
        row(count, values);
    }
    // The same row as byte spans, valid during the call only: what the SQLite run hands over.
    // By default each value is copied into a terminated text for typedRow() (a zero byte
    // inside a value ends it there); a sink that keeps bytes takes the spans as they are.
    virtual void rowValues(int count, const SQLQUERY_VALUE* values);

private:
    std::vector<std::string> rowTexts_;  // rowValues' copies, kept from row to row
    std::vector<char*> rowPointers_;
    std::vector<SQLQUERY_KIND> rowKinds_;
};

// One query run: the connection while it is open, and what it has received.
struct SQLQUERY_RUN {
    std::mutex lock;                 // guards `connection` against an interrupt from elsewhere
    sqlite3* connection = nullptr;   // open only while the run executes
    bool interruptRequested = false; // set by SQLQUERY_Interrupt (under `lock`)
    clock_t start = 0;               // processor clock at the start of the execution
    int rows = 0;                    // rows received
    int columnCount = -1;            // columns last given to the sink (-1: none yet)
    std::string columnNames;         // those columns' names, joined, to notice a change
    SQLQUERY_SINK* sink = nullptr;   // where the run reports
    bool interrupted = false;        // the run ended on an interruption
    std::string error;               // SQLite's message when the run failed
    int errorOffset = -1;            // the byte of the query text the error points at (-1: none)
};

// Runs `query` (every statement) against the database at `databasePath`. Returns 1 when the
// database cannot be opened or a statement fails (not for an interruption), else 0. The
// history logging failing (read-only database, no history table) does not stop the run.
int SQLQUERY_Execute(SQLQUERY_RUN* run, const char* databasePath, const char* query,
                     SQLQUERY_SINK* sink);
// Asks the running query of `run` to stop (from any thread; the front end shows "Demande
// d'interruption de la requête..." itself). Without a running query only the request is
// noted, and a run that starts afterwards stops before its first statement.
void SQLQUERY_Interrupt(SQLQUERY_RUN* run);
// Processor time since `start` as "hh:mm:ss".
std::string SQLQUERY_ElapsedText(clock_t start);
// "SQLite <version>" of the bound library.
std::string SQLQUERY_VersionText();

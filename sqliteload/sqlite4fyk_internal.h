// The SQLite load's parts (sqliteload/sqlite4fyk.cpp and the sqlite4fyk_*.cpp beside it): the
// statement helpers they share. Only the load's own files include this header.
#pragma once

#include <string>

#include "foundation/task.h"
#include "sqliteload/sqlite4fyk.h"

namespace sqlite4fyk_internal {

// A prepared statement finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        if (gsqlite3.sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
            morvex::trace(
                "\nUne erreur est survenue à l'exécution de la requête : [%s] "
                "\nMESSAGE : [%s]",
                sql.c_str(), gsqlite3.sqlite3_errmsg(db));
            if (stmt_ != nullptr) gsqlite3.sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~Statement() {
        if (stmt_ != nullptr) gsqlite3.sqlite3_finalize(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

inline void BindText(sqlite3_stmt* stmt, int index, const char* text) {
    gsqlite3.sqlite3_bind_text(stmt, index, text != nullptr ? text : "", -1, SQLITE_TRANSIENT);
}

inline void BindInt(sqlite3_stmt* stmt, int index, long long value) {
    gsqlite3.sqlite3_bind_int64(stmt, index, value);
}

// Runs a statement whose values are bound; 0, or 1 traced with SQLite's message.
int StepOnce(sqlite3* db, sqlite3_stmt* stmt, const std::string& sql);
// `text` as an SQL string literal, its single quotes doubled.
std::string Quoted(const std::string& text);
// Refuses an operation when no SQLite library is bound.
bool RefuseUnbound(const char* function);
// SQLITE4FYK_SaveFileDescription, with SQLite's message of the first failure in `cause` (may
// be nullptr).
int SaveFileDescription(sqlite3* db, FileDesc* desc, std::string* cause);
// `message` with its cause on the line after it ("Cause : ..."), or alone without a cause.
std::string WithCause(const std::string& message, const std::string& cause);
// Reports a load that could not be done: trace, status bar and the task's "not started" event
// with `message` and its cause (WithCause), kept in `failure` (stats->failure, may be nullptr);
// closes `db`. Returns 1.
int FailLoad(TASK* task, sqlite3* db, const std::string& message, const std::string& cause = "",
             SQLITE4FYK_LOADSTATS* stats = nullptr);

}  // namespace sqlite4fyk_internal

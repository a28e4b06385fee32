// The query tool's run: open, log, execute with a row callback, close.
#include "sqlquery/sqlquery.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "foundation/trace.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace {

// Hands one row to the sink, with the column titles first when they change.
int OnRow(void* data, int count, char** values, char** names, const SQLQUERY_KIND* kinds) {
    auto* run = static_cast<SQLQUERY_RUN*>(data);
    std::string joined;
    for (int i = 0; i < count; ++i) {
        joined += names[i] != nullptr ? names[i] : "";
        joined += '\x1f';
    }
    if (count != run->columnCount || joined != run->columnNames) {
        run->columnCount = count;
        run->columnNames = std::move(joined);
        run->sink->columns(count, names);
    }
    run->sink->typedRow(count, values, kinds);
    ++run->rows;
    if (run->rows % 100 == 0) {
        char text[64];
        snprintf(text, sizeof text, "%i lignes chargées...", run->rows);
        run->sink->status(SQLQUERY_STATUS_ROWS, text);
    }
    return 0;
}

// The text of column `i` of the current row: integers and texts as SQLite writes them, reals
// as the shortest text that reads back to the same double (a whole one with ".0"), BLOBs in hexadecimal; false for
// NULL.
bool ColumnText(sqlite3_stmt* stmt, int i, std::string& text) {
    text.clear();
    switch (gsqlite3.sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
            return false;
        case SQLITE_FLOAT: {
            char digits[32];
            const auto end = std::to_chars(digits, digits + sizeof digits,
                                           gsqlite3.sqlite3_column_double(stmt, i));
            text.assign(digits, end.ptr);
            // A whole real keeps its point, as SQLite writes it ("980.0"), to read as a real.
            if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
            return true;
        }
        case SQLITE_BLOB: {
            static const char kHex[] = "0123456789ABCDEF";
            const auto* bytes =
                static_cast<const unsigned char*>(gsqlite3.sqlite3_column_blob(stmt, i));
            const int length = gsqlite3.sqlite3_column_bytes(stmt, i);
            text.reserve(static_cast<size_t>(length) * 2);
            for (int b = 0; b < length; ++b) {
                text += kHex[bytes[b] >> 4];
                text += kHex[bytes[b] & 15];
            }
            return true;
        }
        default: {
            const auto* value = gsqlite3.sqlite3_column_text(stmt, i);
            text.assign(value != nullptr ? reinterpret_cast<const char*>(value) : "",
                        static_cast<size_t>(gsqlite3.sqlite3_column_bytes(stmt, i)));
            return true;
        }
    }
}

// Runs every statement of `sql` in turn, handing each row to OnRow as sqlite3_exec would, with
// the values written by ColumnText. SQLITE_OK, or the failing code with its message in
// `error`.
int ExecuteAll(sqlite3* db, const char* sql, SQLQUERY_RUN* run, std::string& error) {
    const char* const whole = sql;
    // Where SQLite places the error, from the start of the whole text.
    auto noteOffset = [&](const char* statement) {
        if (gsqlite3.sqlite3_error_offset == nullptr) return;
        const int offset = gsqlite3.sqlite3_error_offset(db);
        if (offset >= 0) run->errorOffset = static_cast<int>(statement - whole) + offset;
    };
    std::vector<std::string> texts;
    std::vector<char*> values, names;
    std::vector<SQLQUERY_KIND> kinds;
    while (sql != nullptr && *sql != 0) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        int rc = gsqlite3.sqlite3_prepare_v2(db, sql, -1, &stmt, &tail);
        if (rc != SQLITE_OK) {
            error = gsqlite3.sqlite3_errmsg(db);
            noteOffset(sql);
            return rc;
        }
        const char* statement = sql;
        sql = tail;
        if (stmt == nullptr) continue;  // blanks or a comment
        const int count = gsqlite3.sqlite3_column_count(stmt);
        texts.assign(static_cast<size_t>(count), std::string());
        values.assign(static_cast<size_t>(count), nullptr);
        names.assign(static_cast<size_t>(count), nullptr);
        kinds.assign(static_cast<size_t>(count), SQLQUERY_KIND_TEXT);
        while ((rc = gsqlite3.sqlite3_step(stmt)) == SQLITE_ROW) {
            for (int i = 0; i < count; ++i) {
                names[i] = const_cast<char*>(gsqlite3.sqlite3_column_name(stmt, i));
                // The type before the text: reading the text may convert the value.
                const int type = gsqlite3.sqlite3_column_type(stmt, i);
                values[i] = ColumnText(stmt, i, texts[i]) ? texts[i].data() : nullptr;
                kinds[i] = type == SQLITE_INTEGER || type == SQLITE_FLOAT ? SQLQUERY_KIND_NUMBER
                                                                          : SQLQUERY_KIND_TEXT;
            }
            OnRow(run, count, values.data(), names.data(), kinds.data());
        }
        if (rc != SQLITE_DONE) {
            error = gsqlite3.sqlite3_errmsg(db);
            noteOffset(statement);
        }
        gsqlite3.sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) return rc;
    }
    return SQLITE_OK;
}

// Closes the run's connection (under its lock, so that no interrupt reaches a closed one).
void CloseConnection(SQLQUERY_RUN* run) {
    std::lock_guard<std::mutex> g(run->lock);
    if (run->connection != nullptr) gsqlite3.sqlite3_close(run->connection);
    run->connection = nullptr;
}

}  // namespace

int SQLQUERY_Execute(SQLQUERY_RUN* run, const char* databasePath, const char* query,
                     SQLQUERY_SINK* sink) {
    if (run == nullptr || sink == nullptr) return 1;
    run->sink = sink;
    run->rows = 0;
    run->columnCount = -1;
    run->columnNames.clear();
    run->interrupted = false;
    run->error.clear();
    run->errorOffset = -1;
    sink->status(SQLQUERY_STATUS_STATE, "Exécution de la requête en cours...");
    if (!SQLITE3_IsBound()) {
        run->error = "La bibliothèque SQLite n'est pas chargée.";
        sink->status(SQLQUERY_STATUS_STATE, run->error);
        return 1;
    }
    sqlite3* db = nullptr;
    const int opened = gsqlite3.sqlite3_open(databasePath != nullptr ? databasePath : "", &db);
    if (opened != SQLITE_OK) {
        morvex::trace("\nEchec de l'ouverture de la base");
        run->error = db != nullptr ? gsqlite3.sqlite3_errmsg(db) : "";
        if (db != nullptr) gsqlite3.sqlite3_close(db);
        sink->status(SQLQUERY_STATUS_STATE, "Echec de l'ouverture de la base de données.");
        return 1;
    }
    morvex::trace("\nL'ouverture de la base a reussi.");
    bool stopBeforeStart = false;
    {
        std::lock_guard<std::mutex> g(run->lock);
        run->connection = db;
        stopBeforeStart = run->interruptRequested;
    }
    run->start = clock();
    const std::string text = query != nullptr ? query : "";
    morvex::trace("\n[SQLQUERY_Execute] request=%s", text.c_str());
    SQLITE4FYK_LogQuery(db, text.c_str());

    int rc = SQLITE_INTERRUPT;
    std::string error;
    if (!stopBeforeStart) rc = ExecuteAll(db, text.c_str(), run, error);
    if (rc == SQLITE_INTERRUPT) error = "interrupted";
    CloseConnection(run);
    {
        std::lock_guard<std::mutex> g(run->lock);
        run->interruptRequested = false;
    }
    if (rc != SQLITE_OK && error != "interrupted") {
        morvex::trace(
            "\nUne erreur est survenue à l'exécution de la requête : \n - request=[%s] \n - "
            "MESSAGE : [%s]\n - Data=[%s]",
            text.c_str(), error.c_str(), databasePath != nullptr ? databasePath : "");
        run->error = error;
        sink->status(SQLQUERY_STATUS_STATE, error);
        return 1;
    }
    if (rc != SQLITE_OK) {
        run->interrupted = true;
        sink->status(SQLQUERY_STATUS_STATE, "La requête a été interrompue par l'utilisateur");
    }
    char rows[64];
    snprintf(rows, sizeof rows, "%d ligne(s)", run->rows);
    sink->status(SQLQUERY_STATUS_ROWS, rows);
    sink->status(SQLQUERY_STATUS_STATE, "Terminé");
    return 0;
}

void SQLQUERY_Interrupt(SQLQUERY_RUN* run) {
    if (run == nullptr) return;
    std::lock_guard<std::mutex> g(run->lock);
    run->interruptRequested = true;
    if (run->connection != nullptr && SQLITE3_IsBound()) gsqlite3.sqlite3_interrupt(run->connection);
}

std::string SQLQUERY_ElapsedText(clock_t start) {
    const long seconds = static_cast<long>((clock() - start) / CLOCKS_PER_SEC);
    char text[32];
    snprintf(text, sizeof text, "%02i:%02i:%02i", static_cast<int>(seconds / 3600),
             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

std::string SQLQUERY_VersionText() {
    if (!SQLITE3_IsBound()) return "SQLite";
    return std::string("SQLite ") + gsqlite3.sqlite3_libversion();
}

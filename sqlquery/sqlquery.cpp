// The query tool's run: open, log, execute with a row callback, close.
#include "sqlquery/sqlquery.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "foundation/trace.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace {

// Tells the sink the columns of a statement's rows when they differ from the previous ones.
void AnnounceColumns(SQLQUERY_RUN* run, int count, char** names) {
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
}

// Counts a row handed over; the row count shows every 100 rows.
void CountRow(SQLQUERY_RUN* run) {
    ++run->rows;
    if (run->rows % 100 == 0) {
        char text[64];
        snprintf(text, sizeof text, "%i lignes chargées...", run->rows);
        run->sink->status(SQLQUERY_STATUS_ROWS, text);
    }
}

// The value of column `i` of the current row as bytes: texts as SQLite holds them, integers in
// decimal, reals as the shortest text that reads back to the same double (a whole one with
// ".0"), BLOBs in hexadecimal; `scratch` holds what is written here (numbers, BLOBs).
SQLQUERY_VALUE ColumnValue(sqlite3_stmt* stmt, int i, std::string& scratch) {
    SQLQUERY_VALUE value;
    value.isNull = false;
    switch (gsqlite3.sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
            value.isNull = true;
            return value;
        case SQLITE_INTEGER: {
            value.kind = SQLQUERY_KIND_NUMBER;
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits,
                                           gsqlite3.sqlite3_column_int64(stmt, i));
            scratch.assign(digits, end.ptr);
            break;
        }
        case SQLITE_FLOAT: {
            value.kind = SQLQUERY_KIND_NUMBER;
            char digits[32];
            const auto end = std::to_chars(digits, digits + sizeof digits,
                                           gsqlite3.sqlite3_column_double(stmt, i));
            scratch.assign(digits, end.ptr);
            // A whole real keeps its point, as SQLite writes it ("980.0"), to read as a real.
            if (scratch.find_first_of(".eEn") == std::string::npos) scratch += ".0";
            break;
        }
        case SQLITE_BLOB: {
            static const char kHex[] = "0123456789ABCDEF";
            const auto* bytes =
                static_cast<const unsigned char*>(gsqlite3.sqlite3_column_blob(stmt, i));
            const int length = gsqlite3.sqlite3_column_bytes(stmt, i);
            scratch.resize(static_cast<size_t>(length) * 2);
            for (int b = 0; b < length; ++b) {
                scratch[2 * b] = kHex[bytes[b] >> 4];
                scratch[2 * b + 1] = kHex[bytes[b] & 15];
            }
            break;
        }
        default: {
            const auto* text = gsqlite3.sqlite3_column_text(stmt, i);
            value.size = static_cast<size_t>(gsqlite3.sqlite3_column_bytes(stmt, i));
            value.data = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            return value;
        }
    }
    value.data = scratch.data();
    value.size = scratch.size();
    return value;
}

// Runs every statement of `sql` in turn, handing the columns of each statement's first row
// and then each row, as spans read straight from the statement, to the run's sink. SQLITE_OK,
// or the failing code with its message in `error`.
int ExecuteAll(sqlite3* db, const char* sql, SQLQUERY_RUN* run, std::string& error) {
    const char* const whole = sql;
    // Where SQLite places the error, from the start of the whole text.
    auto noteOffset = [&](const char* statement) {
        if (gsqlite3.sqlite3_error_offset == nullptr) return;
        const int offset = gsqlite3.sqlite3_error_offset(db);
        if (offset >= 0) run->errorOffset = static_cast<int>(statement - whole) + offset;
    };
    std::vector<std::string> scratch;
    std::vector<SQLQUERY_VALUE> values;
    std::vector<char*> names;
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
        scratch.resize(static_cast<size_t>(count));
        values.assign(static_cast<size_t>(count), SQLQUERY_VALUE{});
        names.assign(static_cast<size_t>(count), nullptr);
        bool first = true;
        while ((rc = gsqlite3.sqlite3_step(stmt)) == SQLITE_ROW) {
            if (first) {
                for (int i = 0; i < count; ++i)
                    names[i] = const_cast<char*>(gsqlite3.sqlite3_column_name(stmt, i));
                AnnounceColumns(run, count, names.data());
                first = false;
            }
            for (int i = 0; i < count; ++i) values[i] = ColumnValue(stmt, i, scratch[i]);
            run->sink->rowValues(count, values.data());
            CountRow(run);
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
    // The connection is used by this thread alone (an interrupt needs no lock of SQLite's), so
    // it goes without SQLite's mutex, which every column read would otherwise take.
    const int opened = gsqlite3.sqlite3_open_v2(
        databasePath != nullptr ? databasePath : "", &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
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

void SQLQUERY_SINK::rowValues(int count, const SQLQUERY_VALUE* values) {
    rowTexts_.resize(static_cast<size_t>(count));
    rowPointers_.assign(static_cast<size_t>(count), nullptr);
    rowKinds_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        rowKinds_[i] = values[i].kind;
        if (values[i].isNull) continue;
        rowTexts_[i].assign(values[i].data, values[i].size);
        rowPointers_[i] = rowTexts_[i].data();
    }
    typedRow(count, rowPointers_.data(), rowKinds_.data());
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

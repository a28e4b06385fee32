// The query tool's run: open, log, execute with a row callback, close.
#include "output/sqlquery.h"

#include <cstdio>

#include "foundation/trace.h"
#include "output/sqlite3dll.h"
#include "output/sqlite4fyk.h"

namespace {

// Row callback of sqlite3_exec: hands the row to the sink; always asks SQLite to go on.
int OnRow(void* data, int count, char** values, char** names) {
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
    run->sink->row(count, values);
    ++run->rows;
    if (run->rows % 100 == 0) {
        char text[64];
        snprintf(text, sizeof text, "%i lignes chargées...", run->rows);
        run->sink->status(SQLQUERY_STATUS_ROWS, text);
    }
    return 0;
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
    morvex::trace("\n[executerRequete] request=%s", text.c_str());
    SQLITE4FYK_LogQuery(db, text.c_str());

    char* message = nullptr;
    int rc = SQLITE_INTERRUPT;
    if (!stopBeforeStart) rc = gsqlite3.sqlite3_exec(db, text.c_str(), OnRow, run, &message);
    std::string error;
    if (rc != SQLITE_OK) {
        error = message != nullptr ? message
                : rc == SQLITE_INTERRUPT ? "interrupted"
                                         : gsqlite3.sqlite3_errmsg(db);
    }
    if (message != nullptr) gsqlite3.sqlite3_free(message);
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

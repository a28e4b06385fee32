// The schema and the history of a database, read for the query tool.
#include "sqlquery/sqlschema.h"

#include <strings.h>

#include <algorithm>
#include <memory>

#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { gsqlite3.sqlite3_close(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* stmt) const { gsqlite3.sqlite3_finalize(stmt); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// Opens `path` read-only; nullptr with the reason in `error`.
Database openReadOnly(const std::string& path, std::string& error) {
    if (!SQLITE3_IsBound()) {
        error = "La bibliothèque SQLite n'est pas chargée.";
        return nullptr;
    }
    sqlite3* raw = nullptr;
    const int rc = gsqlite3.sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        error = raw != nullptr ? gsqlite3.sqlite3_errmsg(raw) : "out of memory";
        return nullptr;
    }
    return db;
}

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (gsqlite3.sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return nullptr;
    return Statement(stmt);
}

std::string columnText(sqlite3_stmt* stmt, int i) {
    const auto* text = gsqlite3.sqlite3_column_text(stmt, i);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<size_t>(gsqlite3.sqlite3_column_bytes(stmt, i))};
}

}  // namespace

bool operator==(const SQLQUERY_SCHEMACOLUMN& a, const SQLQUERY_SCHEMACOLUMN& b) {
    return a.name == b.name && a.type == b.type;
}

bool SQLQUERY_SCHEMAOBJECT::operator==(const SQLQUERY_SCHEMAOBJECT& other) const {
    return name == other.name && group == other.group && columns == other.columns;
}

SQLQUERY_SCHEMAGROUP SQLQUERY_TableGroup(const std::string& name) {
    for (const char* own : {SQLITE4FYK_FILEDESC_TABLE, SQLITE4FYK_FILEDESCCOLUMN_TABLE,
                            SQLITE4FYK_HISTORY_TABLE}) {
        if (strcasecmp(name.c_str(), own) == 0) return SQLQUERY_GROUP_CATALOGUE;
    }
    if (strncasecmp(name.c_str(), "sqlite_", 7) == 0) return SQLQUERY_GROUP_CATALOGUE;
    return SQLQUERY_GROUP_TABLE;
}

std::string SQLQUERY_SelectAllText(const std::string& name) {
    std::string text = "SELECT * FROM \"";
    for (char c : name) {
        if (c == '"') text += '"';
        text += c;
    }
    return text + "\"";
}

bool SQLQUERY_ReadSchema(const std::string& path, std::vector<SQLQUERY_SCHEMAOBJECT>& objects,
                         std::string& error) {
    objects.clear();
    Database db = openReadOnly(path, error);
    if (!db) return false;
    Statement list = prepare(db.get(),
                             "SELECT type, name FROM sqlite_master WHERE type IN ('table','view')"
                             " ORDER BY name COLLATE NOCASE LIMIT ?");
    if (!list) {
        error = gsqlite3.sqlite3_errmsg(db.get());
        return false;
    }
    gsqlite3.sqlite3_bind_int64(list.get(), 1, SQLQUERY_SCHEMA_MAX_OBJECTS);
    int rc;
    while ((rc = gsqlite3.sqlite3_step(list.get())) == SQLITE_ROW) {
        SQLQUERY_SCHEMAOBJECT object;
        const std::string type = columnText(list.get(), 0);
        object.name = columnText(list.get(), 1);
        object.group = type == "view" ? SQLQUERY_GROUP_VIEW : SQLQUERY_TableGroup(object.name);
        objects.push_back(std::move(object));
    }
    if (rc != SQLITE_DONE) {
        error = gsqlite3.sqlite3_errmsg(db.get());
        objects.clear();
        return false;
    }
    // The name is bound: it is never read as SQL. A view whose text no longer compiles has no
    // columns, and the others are still listed.
    Statement info = prepare(db.get(), "SELECT name, type FROM pragma_table_info(?)");
    if (!info) {
        error = gsqlite3.sqlite3_errmsg(db.get());
        objects.clear();
        return false;
    }
    for (SQLQUERY_SCHEMAOBJECT& object : objects) {
        gsqlite3.sqlite3_reset(info.get());
        gsqlite3.sqlite3_bind_text(info.get(), 1, object.name.c_str(),
                                   static_cast<int>(object.name.size()), SQLITE_TRANSIENT);
        while (gsqlite3.sqlite3_step(info.get()) == SQLITE_ROW)
            object.columns.push_back({columnText(info.get(), 0), columnText(info.get(), 1)});
    }
    std::stable_sort(objects.begin(), objects.end(),
                     [](const SQLQUERY_SCHEMAOBJECT& a, const SQLQUERY_SCHEMAOBJECT& b) {
                         return a.group < b.group;
                     });
    return true;
}

bool SQLQUERY_ReadHistory(const std::string& path, int limit,
                          std::vector<SQLQUERY_HISTORYENTRY>& entries, std::string& error) {
    entries.clear();
    Database db = openReadOnly(path, error);
    if (!db) return false;
    const std::string sql = std::string("SELECT RowID, Query, TimeStamp FROM ") +
                            SQLITE4FYK_QuoteName(SQLITE4FYK_HISTORY_TABLE) +
                            " ORDER BY RowID DESC LIMIT ?";
    Statement stmt = prepare(db.get(), sql.c_str());
    if (!stmt) {
        // No history table (a database the program did not make) is an empty history.
        Statement exists = prepare(db.get(),
                                   "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? "
                                   "COLLATE NOCASE");
        if (!exists) {
            error = gsqlite3.sqlite3_errmsg(db.get());
            return false;
        }
        gsqlite3.sqlite3_bind_text(exists.get(), 1, SQLITE4FYK_HISTORY_TABLE, -1, SQLITE_STATIC);
        if (gsqlite3.sqlite3_step(exists.get()) == SQLITE_DONE) return true;
        error = gsqlite3.sqlite3_errmsg(db.get());
        return false;
    }
    gsqlite3.sqlite3_bind_int64(stmt.get(), 1, std::clamp(limit, 0, SQLQUERY_HISTORY_MAX_ENTRIES));
    int rc;
    while ((rc = gsqlite3.sqlite3_step(stmt.get())) == SQLITE_ROW) {
        entries.push_back({gsqlite3.sqlite3_column_int64(stmt.get(), 0), columnText(stmt.get(), 1),
                           columnText(stmt.get(), 2)});
    }
    if (rc != SQLITE_DONE) {
        error = gsqlite3.sqlite3_errmsg(db.get());
        entries.clear();
        return false;
    }
    return true;
}

// The rows of a batch offered to SQLite as a virtual table (rowsource.h).
#include "sqliteload/rowsource.h"

#include <new>
#include <string>

#include "sqliteload/sqlite3dll.h"

namespace loadrows {

// The module's name on the connection; its table is ROW_SOURCE_TABLE.
constexpr const char* ROW_SOURCE_MODULE = "morvex_load_rows";

struct RowSource::Feed {
    int values;
    bool rowNumber;
    const LoadBatch* batch = nullptr;
    const std::vector<const LoadRow*>* rows = nullptr;  // nullptr: nothing offered
};

namespace {

using Feed = RowSource::Feed;

struct Table {
    sqlite3_vtab base;  // first: SQLite sees a Table as its sqlite3_vtab
    Feed* feed;
};

struct Cursor {
    sqlite3_vtab_cursor base;  // first, as above
    size_t row;
    const LoadCell* cells;  // the current row's, while there is one
    int rowId;
};

// Points the cursor at the row it stands on, if any.
void Settle(Cursor* cursor, const Feed& feed) {
    if (feed.rows == nullptr || cursor->row >= feed.rows->size()) return;
    const LoadRow& row = *(*feed.rows)[cursor->row];
    cursor->cells = &feed.batch->cells[row.firstCell];
    cursor->rowId = row.rowId;
}

const Feed& FeedOf(sqlite3_vtab_cursor* cursor) {
    return *reinterpret_cast<Table*>(cursor->pVtab)->feed;
}

// Makes the table (CREATE VIRTUAL TABLE) or connects to it: columns v0, v1... without types,
// so that the table's own columns alone give the values their affinity.
int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** vtab, char**) {
    auto* feed = static_cast<Feed*>(aux);
    std::string sql = "CREATE TABLE x(";
    for (int i = 0; i < feed->values; ++i) sql += (i > 0 ? ",v" : "v") + std::to_string(i);
    sql += ")";
    const int rc = gsqlite3.sqlite3_declare_vtab(db, sql.c_str());
    if (rc != SQLITE_OK) return rc;
    auto* table = new (std::nothrow) Table{};
    if (table == nullptr) return SQLITE_NOMEM;
    table->feed = feed;
    *vtab = &table->base;
    return SQLITE_OK;
}

// Makes the table, which takes no arguments. A function of its own, not Connect: a module
// whose xCreate is its xConnect is also a table of the module's name in every schema, which a
// statement naming the table would find before it.
int Create(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** vtab,
           char** error) {
    if (argc > 3) return SQLITE_ERROR;  // module, schema and table names only
    return Connect(db, aux, argc, argv, vtab, error);
}

int Disconnect(sqlite3_vtab* vtab) {
    delete reinterpret_cast<Table*>(vtab);
    return SQLITE_OK;
}

// Every row, in the order offered: a full scan is the only plan.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
    const Feed* feed = reinterpret_cast<Table*>(vtab)->feed;
    info->estimatedCost = 1.0;
    info->estimatedRows =
        feed->rows != nullptr ? static_cast<sqlite3_int64>(feed->rows->size()) : 1;
    return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
    auto* c = new (std::nothrow) Cursor{};
    if (c == nullptr) return SQLITE_NOMEM;
    *cursor = &c->base;
    return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
    delete reinterpret_cast<Cursor*>(cursor);
    return SQLITE_OK;
}

// Read without rows offered, the table is an error rather than empty: a statement that
// stores nothing must not pass for one that stored its rows.
int Filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) {
    auto* c = reinterpret_cast<Cursor*>(cursor);
    c->row = 0;
    const Feed& feed = FeedOf(cursor);
    Settle(c, feed);
    return feed.rows != nullptr ? SQLITE_OK : SQLITE_ERROR;
}

int Next(sqlite3_vtab_cursor* cursor) {
    auto* c = reinterpret_cast<Cursor*>(cursor);
    ++c->row;
    Settle(c, FeedOf(cursor));
    return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* cursor) {
    const Feed& feed = FeedOf(cursor);
    return feed.rows == nullptr || reinterpret_cast<Cursor*>(cursor)->row >= feed.rows->size();
}

// The value at `column` of the current row, as the batch converted it (the texts stay in the
// batch's arena: SQLite copies them into its record).
int Column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
    const Feed& feed = FeedOf(cursor);
    const auto* c = reinterpret_cast<const Cursor*>(cursor);
    if (feed.rowNumber) {
        if (column == 0) {
            gsqlite3.sqlite3_result_int64(context, c->rowId);
            return SQLITE_OK;
        }
        --column;
    }
    const LoadCell& cell = c->cells[column];
    switch (cell.type) {
        case SQLITE_INTEGER:
            gsqlite3.sqlite3_result_int64(context, cell.integer);
            break;
        case SQLITE_FLOAT:
            gsqlite3.sqlite3_result_double(context, cell.real);
            break;
        case SQLITE_TEXT:
            gsqlite3.sqlite3_result_text(context, feed.batch->arena.data() + cell.text.offset,
                                         static_cast<int>(cell.text.length), SQLITE_STATIC);
            break;
        default:
            gsqlite3.sqlite3_result_null(context);
            break;
    }
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
    *rowid = static_cast<sqlite3_int64>(reinterpret_cast<Cursor*>(cursor)->row);
    return SQLITE_OK;
}

void DeleteFeed(void* feed) {
    delete static_cast<Feed*>(feed);
}

// Read-only (no xUpdate): the table can only be read, and only while rows are offered.
sqlite3_module MakeModule() {
    sqlite3_module module{};
    module.iVersion = 1;
    module.xCreate = Create;
    module.xConnect = Connect;
    module.xBestIndex = BestIndex;
    module.xDisconnect = Disconnect;
    module.xDestroy = Disconnect;
    module.xOpen = Open;
    module.xClose = Close;
    module.xFilter = Filter;
    module.xNext = Next;
    module.xEof = Eof;
    module.xColumn = Column;
    module.xRowid = Rowid;
    return module;
}
const sqlite3_module kModule = MakeModule();

// Removes the module from the connection; SQLite deletes its Feed once no table uses it.
void Unregister(sqlite3* db) {
    gsqlite3.sqlite3_create_module_v2(db, ROW_SOURCE_MODULE, nullptr, nullptr, nullptr);
}

}  // namespace

RowSource::RowSource(sqlite3* db, int values, bool rowNumber) : db_(db) {
    if (db == nullptr || values <= 0 || gsqlite3.sqlite3_create_module_v2 == nullptr) return;
    auto* feed = new (std::nothrow) Feed{values, rowNumber};
    if (feed == nullptr) return;
    // From here the registration owns `feed`, also when it fails.
    if (gsqlite3.sqlite3_create_module_v2(db, ROW_SOURCE_MODULE, &kModule, feed, DeleteFeed) !=
        SQLITE_OK)
        return;
    // A table left by a load whose connection went on (its drop failed) is made anew.
    const std::string sql = std::string("DROP TABLE IF EXISTS ") + ROW_SOURCE_TABLE +
                            ";CREATE VIRTUAL TABLE " + ROW_SOURCE_TABLE + " USING " +
                            ROW_SOURCE_MODULE;
    if (gsqlite3.sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        Unregister(db);
        return;
    }
    feed_ = feed;
}

RowSource::~RowSource() {
    if (feed_ == nullptr) return;
    offer(nullptr, nullptr);
    gsqlite3.sqlite3_exec(db_, (std::string("DROP TABLE IF EXISTS ") + ROW_SOURCE_TABLE).c_str(),
                          nullptr, nullptr, nullptr);
    Unregister(db_);
}

void RowSource::offer(const LoadBatch* batch, const std::vector<const LoadRow*>* rows) {
    if (feed_ == nullptr) return;
    feed_->batch = batch;
    feed_->rows = batch != nullptr ? rows : nullptr;
}

}  // namespace loadrows

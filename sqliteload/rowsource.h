// The rows of a batch offered to SQLite as a table, so that one INSERT ... SELECT stores them
// all: SQLite takes each value where the batch holds it, where binding would hand it through a
// parameter first, each with the library's checks, one call a value.
//
// Ownership, threads and lifetimes: a RowSource belongs to the thread that stores the rows of
// a load, which alone uses it and its connection, and lives no longer than the connection. It
// registers a module on the connection and makes its table in the connection's temporary
// schema (ROW_SOURCE_TABLE); its destructor drops both, so nothing of it stays in the database
// file nor on the connection. The rows offered must outlive the steps that read them.
#pragma once

#include <cstddef>
#include <vector>

#include "sqliteload/loadrows.h"

struct sqlite3;

namespace loadrows {

// The table of the rows offered, as a statement names it.
inline constexpr const char* ROW_SOURCE_TABLE = "temp.\"morvex_load_rows\"";

class RowSource {
public:
    // A table of `values` columns: the values of a row, its row number first when `rowNumber`.
    RowSource(sqlite3* db, int values, bool rowNumber);
    ~RowSource();
    RowSource(const RowSource&) = delete;
    RowSource& operator=(const RowSource&) = delete;

    // False when the library has no virtual tables or the table could not be made: the rows
    // are then bound to statements.
    bool ready() const { return feed_ != nullptr; }
    // The rows the next statement reads from the table, in this order, from `batch`; the
    // table refuses to be read once they are taken back (offer(nullptr, nullptr)).
    void offer(const LoadBatch* batch, const std::vector<const LoadRow*>* rows);

    struct Feed;  // what the table reads, shared with SQLite's side of the module

private:
    sqlite3* db_;
    Feed* feed_ = nullptr;  // owned by the module's registration, which deletes it
};

}  // namespace loadrows

// The load of a data file into a table: the task, the reading thread that checks and converts
// rows into batches, the queue between it and the loading thread, and the bound INSERTs.
#include "sqliteload/sqlite4fyk.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "datafile/datafile.h"
#include "datafile/rejects.h"
#include "filedesc/descdialect.h"
#include "foundation/appsettings.h"
#include "foundation/date.h"
#include "foundation/mystrings.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "sqliteload/loadrows.h"
#include "sqliteload/rowsource.h"
#include "sqliteload/sqlite4fyk_internal.h"

using namespace sqlite4fyk_internal;
using namespace loadrows;
using morvex::Format;

namespace sqlite4fyk_internal {

std::string WithCause(const std::string& message, const std::string& cause) {
    return cause.empty() ? message : message + "\nCause : " + cause;
}

int FailLoad(TASK* task, sqlite3* db, const std::string& message, const std::string& cause,
             SQLITE4FYK_LOADSTATS* stats) {
    const std::string told = WithCause(message, cause);
    morvex::trace("\n[SQLITE4FYK_LoadDataInDatabase] %s", told.c_str());
    if (stats != nullptr) snprintf(stats->failure, sizeof stats->failure, "%s", told.c_str());
    // The status bar has one line: the message, then its cause after a colon.
    morvex::uiPort().statusText(cause.empty() ? message : message + " : " + cause);
    TASK_Report(task, TASK_EVENT_NOT_STARTED, 0, 0, told.c_str());
    if (db != nullptr) gsqlite3.sqlite3_close(db);
    return 1;
}

}  // namespace sqlite4fyk_internal

SQLITE4FYK_LOADTASK* SQLITE4FYK_CreateLoadTask(FileDesc* desc, const char* path, int batchSize,
                                               int rowNumberFlag) {
    if (desc == nullptr || path == nullptr) return nullptr;
    // Its counts hold a vector: built, not zeroed.
    auto* load = new (std::nothrow) SQLITE4FYK_LOADTASK{};
    if (load == nullptr) return nullptr;
    load->path = strdup(path);
    if (load->path == nullptr) {
        delete load;
        return nullptr;
    }
    load->desc = desc;
    load->batchSize = batchSize;
    load->rowNumberFlag = rowNumberFlag;
    return load;
}

void SQLITE4FYK_DestroyLoadTask(SQLITE4FYK_LOADTASK* load) {
    if (load == nullptr) return;
    free(load->path);
    delete load;
}

void SQLite_LoadDataInDatabase(TASK* task) {
    if (task == nullptr || task->parameter == nullptr) return;
    auto* load = static_cast<SQLITE4FYK_LOADTASK*>(task->parameter);
    SQLITE4FYK_LoadDataInDatabase(task, load->desc, load->path, load->batchSize,
                                  load->rowNumberFlag, &load->stats, load->options);
}

namespace {

// Rows bound to one statement at most, and SQLite's limit of parameters in one statement.
constexpr int LOAD_ROWS_PER_STATEMENT = static_cast<int>(LOAD_BATCH_ROW_STEP);
constexpr int LOAD_MAX_PARAMETERS = 32766;
// Binds a converted value.
void BindCell(sqlite3_stmt* stmt, int index, const LoadCell& cell, const std::string& arena) {
    switch (cell.type) {
        case SQLITE_INTEGER:
            gsqlite3.sqlite3_bind_int64(stmt, index, cell.integer);
            break;
        case SQLITE_FLOAT:
            gsqlite3.sqlite3_bind_double(stmt, index, cell.real);
            break;
        case SQLITE_TEXT:
            // The batch outlives the statement's step: SQLite need not copy the text.
            gsqlite3.sqlite3_bind_text(stmt, index, arena.data() + cell.text.offset,
                                       static_cast<int>(cell.text.length), SQLITE_STATIC);
            break;
        default:
            gsqlite3.sqlite3_bind_null(stmt, index);
            break;
    }
}

// The one-row INSERT cut before its values: "INSERT INTO t (names)" into `head` and the row's
// "(?, ...)" into `tuple`; false when the description gives none.
bool CutInsert(const FileDesc* desc, int rowNumberFlag, std::string* head, std::string* tuple) {
    const std::string one = GenerateInsert(desc, rowNumberFlag);
    const size_t values = one.rfind("\nVALUES (");  // the last: names may hold anything
    if (values == std::string::npos) return false;
    *head = one.substr(0, values);
    *tuple = one.substr(values + 8, one.rfind(')') - values - 7);
    return true;
}

// The INSERT of `rows` rows at once (the parameters of one row after another).
std::string MultiRowInsert(const FileDesc* desc, int rowNumberFlag, int rows,
                           const std::string& suffix) {
    std::string sql, tuple;
    if (!CutInsert(desc, rowNumberFlag, &sql, &tuple)) return "";
    sql += "\nVALUES " + tuple;
    for (int r = 1; r < rows; ++r) sql += "," + tuple;
    return sql + suffix + ";";
}

// The INSERT of the rows offered by a RowSource, all at once (`suffix` after a WHERE, which an
// upsert's ON CONFLICT needs to be read as such rather than as a join's).
std::string SourceInsert(const FileDesc* desc, int rowNumberFlag, const std::string& suffix) {
    std::string head, tuple;
    if (!CutInsert(desc, rowNumberFlag, &head, &tuple)) return "";
    return head + "\nSELECT * FROM " + ROW_SOURCE_TABLE + " WHERE 1" + suffix + ";";
}

// The rows of LoadDataFromFile. With `ownTransaction` the rows are loaded in a transaction of
// their own, committed at the end (also when the person stops the load); without, the caller
// has opened the transaction and commits or rolls it back: -1 then only says that it must not
// be committed.
int LoadRows(TASK* task, sqlite3* db, FileDesc* desc, const char* path, int batchSize,
             int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats, const SQLITE4FYK_LOADOPTIONS* options,
             bool ownTransaction) {
    SQLITE4FYK_LOADSTATS local{};
    SQLITE4FYK_LOADSTATS& st = stats != nullptr ? *stats : local;
    const double seconds = st.seconds;
    st = SQLITE4FYK_LOADSTATS{};
    st.seconds = seconds;
    st.status = SQLITE4FYK_LOAD_FAILED;
    const SQLITE4FYK_LOADOPTIONS defaults;
    const SQLITE4FYK_LOADOPTIONS& opt = options != nullptr ? *options : defaults;
    const bool strict = opt.strict();
    if (db == nullptr || desc == nullptr || path == nullptr || RefuseUnbound("LoadDataFromFile")) {
        return -1;
    }
    if (batchSize <= 0) batchSize = SQLITE4FYK_DEFAULT_BATCH_SIZE;
    // The data files, one after the other (a reader at a time): `path` first.
    SQLITE4FYK_LOADOPTIONS reading = opt;
    reading.dataPath = path;
    LoadFiles files(desc, reading);
    StartFileCounts(st, files);
    if (!files.open()) {
        morvex::trace("\n[LoadDataFromFile] %s", files.failure.c_str());
        snprintf(st.failure, sizeof st.failure, "%s", files.failure.c_str());
        return -1;
    }
    const bool several = files.count() > 1;
    // Taken before the reading thread starts: it then owns the readers.
    const double fileSize = several ? files.totalBytes() : DATAFILE_GetFileSize(files.reader());
    morvex::Owned<DATAFILE_REJECTS, DATAFILE_CloseRejects> rejects;
    if (!opt.rejectsPath.empty()) {
        rejects.reset(DATAFILE_OpenRejects(opt.rejectsPath.c_str(), several));
        if (!rejects) {
            morvex::trace("\n[LoadDataFromFile] Ecriture impossible du fichier des rejets [%s]",
                          opt.rejectsPath.c_str());
            return -1;
        }
    }
    // An upsert replaces the row of the same key rather than being refused by it.
    const std::string upsert =
        opt.mode == LOADMODE_UPSERT ? SQLITE4FYK_UpsertClause(desc, rowNumberFlag) : "";
    std::string insert = GenerateInsert(desc, rowNumberFlag);
    if (!upsert.empty() && insert.size() > 2) insert = insert.substr(0, insert.size() - 2) + upsert + ";";
    // The rollback journal stays on disk: a process killed in the middle leaves the database as
    // it was before the transaction (synchronous writes stay off: only a crash of the whole
    // system could cost more).
    if (insert.empty() ||
        (ownTransaction &&
         SQLITE4FYK_ExecuteSQL(db, "PRAGMA synchronous=OFF;BEGIN IMMEDIATE TRANSACTION", 0))) {
        morvex::trace("\n[LoadDataFromFile] Chargement impossible dans la table [%s]",
                      desc->TableName);
        return -1;
    }
    // Parameter of every column in the INSERT: the columns in order, the row number first.
    std::vector<const ColumnDesc*> columnAt;
    for (const ColumnOwner& column : desc->columns) columnAt.push_back(column.get());
    const int first = rowNumberFlag ? 2 : 1;
    const int parameters = static_cast<int>(columnAt.size()) + first - 1;
    bool interrupted = false;
    bool fatal = false;
    // Several rows per statement: fewer statements for SQLite to run. SQLite reads the rows
    // pending from the batch itself when the library allows (all of them in one statement);
    // else they are bound to a statement of several rows.
    RowSource source(db, parameters, rowNumberFlag != 0);
    std::unique_ptr<Statement> sourced;
    if (source.ready()) {
        sourced = std::make_unique<Statement>(db, SourceInsert(desc, rowNumberFlag, upsert));
        if (sourced->get() == nullptr) sourced.reset();
    }
    const int perStatement =
        sourced ? static_cast<int>(LOAD_BATCH_ROWS)
                : std::max(1, std::min(LOAD_ROWS_PER_STATEMENT,
                                       LOAD_MAX_PARAMETERS / std::max(1, parameters)));
    Statement one(db, insert);
    Statement many(db, !sourced && perStatement > 1
                           ? MultiRowInsert(desc, rowNumberFlag, perStatement, upsert)
                           : "");
    const bool prepared =
        one.get() != nullptr && (sourced || perStatement == 1 || many.get() != nullptr);

    // The file is read and its values converted in a thread of their own, while this one hands
    // the rows to SQLite; batches of rows go from one to the other through a short queue, so
    // that memory stays flat.
    LoadQueue queue;
    std::thread producer;
    if (prepared) {
        producer = std::thread(
            [&] { ReadAndConvert(files, columnAt, strict, rejects != nullptr, queue); });
    }
    std::vector<const LoadRow*> pending;  // rows waiting for a statement of several rows
    const LoadBatch* pendingBatch = nullptr;
    // A row refused by the table is counted and the load goes on; a database that can no longer
    // write (disk full, I/O error, read-only, corrupt) stops it.
    auto tooManyRejects = [&](int line) { return TooManyRejects(st, opt, line); };
    // True when the refusal `rc` of `row` stops the load.
    auto refused = [&](int rc, const LoadRow& row) {
        const int primary = rc & 0xff;
        snprintf(st.error, sizeof st.error, "%s", gsqlite3.sqlite3_errmsg(db));
        morvex::trace("\n[LoadDataFromFile] Ligne %i rejetée : %s", row.rowId, st.error);
        if (primary != SQLITE_CONSTRAINT && primary != SQLITE_MISMATCH && primary != SQLITE_TOOBIG)
            return true;
        CountRejected(st, row.file);
        if (rejects)
            DATAFILE_AddReject(rejects.get(), row.line, "", st.error,
                               several ? files.name(row.file) : std::string());
        st.error[0] = '\0';
        return tooManyRejects(row.line);
    };
    auto bindRow = [&](sqlite3_stmt* s, int base, const LoadBatch& batch, const LoadRow& row) {
        if (rowNumberFlag) BindInt(s, base + 1, row.rowId);
        const LoadCell* cells = &batch.cells[row.firstCell];
        for (size_t i = 0; i < columnAt.size(); ++i)
            BindCell(s, base + first + static_cast<int>(i), cells[i], batch.arena);
    };
    // Stores the pending rows: all in one statement when they fill it, else one by one (also
    // to find which row the table refuses). False when the database stopped the load.
    auto flush = [&]() -> bool {
        if (pending.empty()) return true;
        const int rows = static_cast<int>(pending.size());
        if (sourced ? rows > 1 : rows == perStatement && perStatement > 1) {
            sqlite3_stmt* s = sourced ? sourced->get() : many.get();
            if (sourced)
                source.offer(pendingBatch, &pending);
            else
                for (int r = 0; r < rows; ++r)
                    bindRow(s, r * parameters, *pendingBatch, *pending[r]);
            const int rc = gsqlite3.sqlite3_step(s);
            gsqlite3.sqlite3_reset(s);
            source.offer(nullptr, nullptr);
            if (rc == SQLITE_DONE) {
                st.rowsStored += rows;
                pending.clear();
                return true;
            }
            const int primary = rc & 0xff;
            if (primary != SQLITE_CONSTRAINT && primary != SQLITE_MISMATCH &&
                primary != SQLITE_TOOBIG) {
                refused(rc, *pending[0]);
                return false;
            }
        }
        sqlite3_stmt* s = one.get();
        for (const LoadRow* row : pending) {
            bindRow(s, 0, *pendingBatch, *row);
            const int rc = gsqlite3.sqlite3_step(s);
            gsqlite3.sqlite3_reset(s);
            if (rc == SQLITE_DONE) {
                ++st.rowsStored;
            } else if (refused(rc, *row)) {
                pending.clear();
                return false;
            }
        }
        pending.clear();
        return true;
    };
    while (prepared && !fatal && !interrupted) {
        std::unique_ptr<LoadBatch> batch = queue.pop();
        if (!batch) break;  // the reading has ended
        pendingBatch = batch.get();
        for (const LoadRow& row : batch->rows) {
            CountRead(st, row.file);
            if (row.reason != LOAD_ROW_STORED) {
                // Set aside: what was read before it is stored first, so that the counts and
                // the rejects file follow the file's order.
                if (!flush()) {
                    fatal = true;
                    break;
                }
                CountSetAside(st, row);
                if (rejects)
                    DATAFILE_AddReject(rejects.get(), row.line, batch->text(row.rejectColumn),
                                       batch->text(row.rejectReason),
                                       several ? files.name(row.file) : std::string());
                if (tooManyRejects(row.line)) {
                    fatal = true;
                    break;
                }
            } else {
                CountOffered(st, row, columnAt.size() - (files.sourceColumn() ? 1 : 0));
                pending.push_back(&row);
                if (static_cast<int>(pending.size()) == perStatement && !flush()) {
                    fatal = true;
                    break;
                }
            }
            if (st.rows % batchSize == 0)
                ReportProgress(task, st.rowsStored + static_cast<int>(pending.size()),
                               row.readBytes, fileSize);
            if (TASK_IsStopRequested(task)) {
                interrupted = true;
                break;
            }
        }
        // The rows of a batch are stored before it is given back: their texts live in it.
        if (!fatal && !flush()) fatal = true;
        pending.clear();
        queue.recycle(std::move(batch));
    }
    queue.close();  // the reading stops at its next row if it has not ended
    if (producer.joinable()) producer.join();
    morvex::trace("\n[LoadDataFromFile] %i lignes traitees.", st.rows);
    st.blankLines = files.blankLines;
    // A file changed during the reading gave rows that cannot be trusted (cut, or from two
    // versions of the file), and a file that cannot be opened stops the load: nothing of any
    // file is kept.
    if (files.changed && !fatal) {
        st.fileChanged = 1;
        fatal = true;
        snprintf(st.failure, sizeof st.failure, "%s", files.failure.c_str());
    }
    if (!prepared || fatal ||
        (ownTransaction && SQLITE4FYK_ExecuteSQL(db, "END TRANSACTION;", 0) != 0)) {
        if (st.error[0] == '\0' && !st.fileChanged) {
            snprintf(st.error, sizeof st.error, "%s", gsqlite3.sqlite3_errmsg(db));
        }
        if (ownTransaction) {
            SQLITE4FYK_ExecuteSQL(db, "ROLLBACK;", 0);
            SQLITE4FYK_ExecuteSQL(db, "PRAGMA synchronous=ON;", 0);
        }
        st.rowsStored = 0;
        return -1;
    }
    if (ownTransaction) SQLITE4FYK_ExecuteSQL(db, "PRAGMA synchronous=ON;", 0);
    if (interrupted) {
        st.status = SQLITE4FYK_LOAD_INTERRUPTED;
        return st.rows;
    }
    st.status = SQLITE4FYK_LOAD_DONE;
    if (ownTransaction) {
        const std::string message =
            Format("Chargement Terminé : %i lignes chargées en base de données.", st.rowsStored);
        morvex::uiPort().statusText(message);
        TASK_Report(task, TASK_EVENT_FINISHED, 100, 100, message.c_str());
    }
    return st.rows;
}

}  // namespace

int LoadDataFromFile(TASK* task, sqlite3* db, FileDesc* desc, const char* path, int batchSize,
                     int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats,
                     const SQLITE4FYK_LOADOPTIONS* options) {
    return LoadRows(task, db, desc, path, batchSize, rowNumberFlag, stats, options, true);
}

namespace {

// What the busy handler of a load knows: whom to tell, and how long to wait.
struct LockWait {
    TASK* task;                                      // the load's task (its reports, its stop)
    std::chrono::milliseconds timeout;               // longest wait for one lock
    std::chrono::steady_clock::time_point since{};  // when the current wait began
    bool told = false;                               // the wait has been reported
};

// SQLite's busy handler: another connection holds the lock this one needs. Waits a little and
// asks again, until the lock is free, the timeout has passed or the person stops the load;
// the first wait is reported.
int waitWhileLocked(void* context, int attempt) {
    auto* wait = static_cast<LockWait*>(context);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) wait->since = now;
    const auto waited = now - wait->since;
    if (waited >= wait->timeout || TASK_IsStopRequested(wait->task)) return 0;
    if (!wait->told) {
        wait->told = true;
        morvex::trace("\n[SQLITE4FYK_LoadDataInDatabase] %s", SQLITE4FYK_LOCKED_WAIT_TEXT);
        morvex::uiPort().statusText(SQLITE4FYK_LOCKED_WAIT_TEXT);
        TASK_Report(wait->task, TASK_EVENT_PROGRESS, 0, 0, SQLITE4FYK_LOCKED_WAIT_TEXT);
    }
    const auto left = wait->timeout - waited;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        left, std::chrono::milliseconds(20)));
    return 1;
}

// Whether one row answers `sql` with `text` bound to ?1.
bool answers(sqlite3* db, const std::string& sql, const char* text) {
    Statement stmt(db, sql);
    if (stmt.get() == nullptr) return false;
    BindText(stmt.get(), 1, text);
    const bool row = gsqlite3.sqlite3_step(stmt.get()) == SQLITE_ROW;
    return row;
}

// Declared SQLite types compared as SQLite keeps them: case and blanks aside.
bool sameSqliteType(const std::string& expected, const std::string& actual) {
    auto fold = [](const std::string& t) {
        std::string out;
        for (char c : t) {
            if (c == ' ' || c == '\t') continue;
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return out;
    };
    return fold(expected) == fold(actual);
}

// What the load does with its table under `opt` (LOADMODE_ACTION); a refusal's text in
// `cause`. An existing table that is kept must have the description's columns.
int DecideTable(sqlite3* db, const FileDesc* desc, int rowNumberFlag,
                const SQLITE4FYK_LOADOPTIONS& opt, std::string* cause) {
    const bool exists = answers(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE;",
        desc->TableName);
    const bool catalogue = answers(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE;",
        SQLITE4FYK_FILEDESC_TABLE);
    const bool listed =
        exists && catalogue &&
        answers(db,
                Format("SELECT 1 FROM %s WHERE TableName = ?1 COLLATE NOCASE;",
                       SQLITE4FYK_QuoteName(SQLITE4FYK_FILEDESC_TABLE).c_str()),
                desc->TableName);
    const bool hasKey = !desc->primaryKey.columns.empty();
    LOADMODE_DECISION d = LOADMODE_Decide(opt.mode, desc->TableName, exists, listed, hasKey);
    if (d.action != LOADMODE_ACTION_USE_EXISTING) {
        *cause = d.refusal;
        return d.action;
    }
    std::vector<LOADMODE_COLUMN> expected, actual;
    if (rowNumberFlag) expected.push_back({"FileRowID", "int"});
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        expected.push_back({column->code, GenerateSQLITEType(&column->typeCible)});
    }
    Statement info(db, "SELECT name, type FROM pragma_table_info(?1) ORDER BY cid;");
    if (info.get() == nullptr) return LOADMODE_ACTION_REFUSE;
    BindText(info.get(), 1, desc->TableName);
    while (gsqlite3.sqlite3_step(info.get()) == SQLITE_ROW) {
        auto text = [&](int i) {
            const unsigned char* t = gsqlite3.sqlite3_column_text(info.get(), i);
            return std::string(t != nullptr ? reinterpret_cast<const char*>(t) : "");
        };
        actual.push_back({text(0), text(1)});
    }
    *cause = LOADMODE_ColumnDifference(desc->TableName, expected, actual, sameSqliteType);
    return cause->empty() ? LOADMODE_ACTION_USE_EXISTING : LOADMODE_ACTION_REFUSE;
}

}  // namespace

int SQLITE4FYK_LoadDataInDatabase(TASK* task, FileDesc* desc, const char* path, int batchSize,
                                  int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats,
                                  const SQLITE4FYK_LOADOPTIONS* options) {
    SQLITE4FYK_LOADSTATS local{};
    SQLITE4FYK_LOADSTATS& st = stats != nullptr ? *stats : local;
    st = SQLITE4FYK_LOADSTATS{};
    st.status = SQLITE4FYK_LOAD_FAILED;
    if (task == nullptr || desc == nullptr || path == nullptr) return 1;
    const std::string dataPath = options != nullptr ? options->dataPath : std::string();
    if (!SQLITE3_IsBound()) {
        return FailLoad(task, nullptr,
                        "Echec du chargement : la bibliothèque SQLite n'est pas chargée.", "", &st);
    }
    const std::string tableNotCreated =
        Format("Echec du chargement : la table [%s] n'a pu être créée.", desc->TableName);
    // Names SQLite would refuse (or take for one another) are told before anything is written.
    const std::string names = SQLITE4FYK_ColumnNameProblem(desc, rowNumberFlag);
    if (!names.empty()) return FailLoad(task, nullptr, tableNotCreated, names, &st);
    sqlite3* db = nullptr;
    // The connection stays in this worker thread: no mutex on it.
    if (gsqlite3.sqlite3_open_v2(path, &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr) != SQLITE_OK) {
        morvex::trace("\nEchec de l'ouverture de la base");
        return FailLoad(task, db,
                        Format("Echec de l'ouverture de la base [%s] : %s", path,
                               db != nullptr ? gsqlite3.sqlite3_errmsg(db) : ""),
                        "", &st);
    }
    morvex::trace("\nL'ouverture de la base a reussi.");
    // Another program (or another load) writing into the same database holds its lock for a
    // while: this load waits for it rather than failing at once.
    const unsigned int timeoutSetting = morvex::appSettings().sqliteBusyTimeout;
    LockWait lockWait{task, std::chrono::milliseconds(timeoutSetting > 0
                                                          ? static_cast<int>(timeoutSetting)
                                                          : SQLITE4FYK_DEFAULT_BUSY_TIMEOUT_MS)};
    gsqlite3.sqlite3_busy_handler(db, waitWhileLocked, &lockWait);
    auto sqliteCause = [db] { return std::string(gsqlite3.sqlite3_errmsg(db)); };
    // A database in memory is its page cache: with pages of 64 KiB rather than 4 KiB, a load
    // allocates and balances sixteen times fewer of them (a million rows 14 % faster). The size
    // only counts before the first table; a database file keeps SQLite's own.
    if (strcmp(path, ":memory:") == 0) SQLITE4FYK_ExecuteSQL(db, "PRAGMA page_size=65536;", 0);
    auto notWritable = [&] {
        return Format("Echec du chargement : la base [%s] n'accepte pas l'écriture (%s).", path,
                      sqliteCause().c_str());
    };
    if (CreateQueryHistoryTable(db, 0) != 0) return FailLoad(task, db, notWritable(), "", &st);
    // The catalogue, the table and its rows change in one transaction: whatever stops the load
    // (a failure, the person, a killed process) leaves the database as it was. It takes the
    // database's write lock at once (IMMEDIATE), so that two loads wait for each other instead
    // of both reading, then neither being able to write.
    if (SQLITE4FYK_ExecuteSQL(db, "PRAGMA synchronous=OFF;BEGIN IMMEDIATE TRANSACTION", 0) != 0)
        return FailLoad(task, db, notWritable(), "", &st);
    // Rolls the load back; SQLite's message of what failed is taken first (the rollback
    // replaces it).
    auto rollBack = [db, &sqliteCause] {
        const std::string cause = sqliteCause();
        SQLITE4FYK_ExecuteSQL(db, "ROLLBACK;", 0);
        SQLITE4FYK_ExecuteSQL(db, "PRAGMA synchronous=ON;", 0);
        return cause;
    };
    // What the load does with its table: decided before the catalogue is rewritten, since the
    // catalogue tells whether the table there was loaded from a description.
    const SQLITE4FYK_LOADOPTIONS defaults;
    const SQLITE4FYK_LOADOPTIONS& opt = options != nullptr ? *options : defaults;
    std::string cause;
    const int action = DecideTable(db, desc, rowNumberFlag, opt, &cause);
    if (action == LOADMODE_ACTION_REFUSE) {
        rollBack();
        return FailLoad(task, db, "Echec du chargement : " + cause, "", &st);
    }
    const char* metabase = "Génération de la métabase...";
    morvex::uiPort().statusText(metabase);
    TASK_Report(task, TASK_EVENT_PROGRESS, 0, 0, metabase);
    if (SaveFileDescription(db, desc, &cause) != 0) {
        rollBack();
        return FailLoad(task, db,
                        "Echec du chargement : la description n'a pu être écrite "
                        "dans la base.",
                        cause, &st);
    }
    if (action != LOADMODE_ACTION_USE_EXISTING) {
        morvex::trace("\n -> Génération du Create Table");
        morvex::uiPort().statusText("Création de la table selon le schéma déclaré...");
        const std::string create =
            (action == LOADMODE_ACTION_DROP_CREATE
                 ? "DROP TABLE IF EXISTS " + SQLITE4FYK_QuoteName(desc->TableName) + ";"
                 : std::string()) +
            SQLITE4FYK_CreateTableSQL(desc, rowNumberFlag, opt.keys,
                                      opt.mode == LOADMODE_UPSERT);
        morvex::trace("\nCREATE:[%s]\n", create.c_str());
        if (SQLITE4FYK_ExecuteSQL(db, create.c_str(), 0) != 0) {
            cause = rollBack();
            return FailLoad(task, db, tableNotCreated, cause, &st);
        }
    }
    const char* loading = "Chargement des données...";
    morvex::uiPort().statusText(loading);
    TASK_Report(task, TASK_EVENT_PROGRESS, 0, 0, loading);
    const auto start = std::chrono::steady_clock::now();
    LoadRows(task, db, desc, dataPath.c_str(), batchSize, rowNumberFlag, &st, options, false);
    if (st.status == SQLITE4FYK_LOAD_DONE && SQLITE4FYK_ExecuteSQL(db, "COMMIT;", 0) != 0) {
        snprintf(st.error, sizeof st.error, "%s", gsqlite3.sqlite3_errmsg(db));
        st.status = SQLITE4FYK_LOAD_FAILED;
    }
    if (st.status == SQLITE4FYK_LOAD_DONE) {
        SQLITE4FYK_ExecuteSQL(db, "PRAGMA synchronous=ON;", 0);
    } else {
        // Stopped by the person or failed: nothing of this load is kept.
        rollBack();
        st.rowsStored = 0;
    }
    st.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (st.status == SQLITE4FYK_LOAD_FAILED) {
        // The reading's own cause, when it is not the database's (LoadRows keeps it here).
        const std::string readCause = st.failure;
        if (st.tooManyRejects)
            return FailLoad(
                task, db,
                Format("Echec du chargement : %s ; aucune ligne n'a été enregistrée.", st.error),
                "", &st);
        if (st.error[0] != '\0')
            return FailLoad(task, db,
                            Format("Echec du chargement : la base a refusé l'écriture (%s) ; "
                                   "aucune ligne n'a été enregistrée.",
                                   st.error),
                            "", &st);
        // Several files: the cause names the one that failed.
        return FailLoad(task, db,
                        opt.moreDataPaths.empty()
                            ? Format("Echec du chargement du fichier de données [%s].",
                                     dataPath.c_str())
                            : std::string("Echec du chargement des fichiers de données ; aucune "
                                          "ligne n'a été enregistrée."),
                        readCause, &st);
    }
    const int ended = ReportEnd(task, st, "SQLITE4FYK_LoadDataInDatabase");
    gsqlite3.sqlite3_close(db);
    return ended;
}

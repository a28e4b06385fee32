// The PostgreSQL load: the connection, the transaction, the table as the mode says, the
// catalogue, and the rows streamed through COPY ... FROM STDIN in chunks under a savepoint,
// a refused chunk stored again row by row to find the rows the server refuses.
#include "pgload/pgload.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "datafile/rejects.h"
#include "foundation/mystrings.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "pgload/libpq.h"
#include "pgload/pgbinary.h"
#include "sqliteload/loadrows.h"


namespace pq = morvex::pq;
using morvex::Format;
using namespace loadrows;

namespace {

// A COPY chunk is sent once it holds this many rows or bytes.
constexpr size_t PGLOAD_CHUNK_ROWS = 32768;
constexpr size_t PGLOAD_CHUNK_BYTES = 8u << 20;
// Seconds a connection waits for the server when the connection string says nothing.
constexpr const char* PGLOAD_CONNECT_TIMEOUT = "15";

using Connection = morvex::Owned<PGconn, pq::PQfinish>;
using Result = morvex::Owned<PGresult, pq::PQclear>;

// libpq's message without its final line end.
std::string trimmed(const char* text) {
    std::string s = text != nullptr ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

// The server's message of a failed result: its primary text, its detail after it.
std::string messageOf(const PGresult* r, PGconn* conn) {
    if (r == nullptr) return trimmed(pq::PQerrorMessage(conn));
    const char* primary = pq::PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
    if (primary == nullptr) return trimmed(pq::PQresultErrorMessage(r));
    std::string m = primary;
    if (const char* detail = pq::PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL)) m += " (" + std::string(detail) + ")";
    return m;
}

// True when the server refused the statement for its rows (a value, a constraint, a row met
// twice by an upsert), not for a reason that stops the load.
bool refusedForTheRows(const PGresult* r) {
    const char* state = r != nullptr ? pq::PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    return state != nullptr &&
           (strncmp(state, "22", 2) == 0 || strncmp(state, "23", 2) == 0 ||
            strncmp(state, "21", 2) == 0);
}

// Runs `sql` (no parameters); "" or the server's message.
std::string run(PGconn* conn, const std::string& sql) {
    Result r(pq::PQexec(conn, sql.c_str()));
    const ExecStatusType status = r ? pq::PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return "";
    const std::string m = messageOf(r.get(), conn);
    return m.empty() ? "erreur inconnue" : m;
}

// `sql` with "?" parameters numbered as PostgreSQL writes them ("?1" becomes "$1", the n-th
// lone "?" "$n").
std::string numbered(const std::string& sql) {
    std::string out;
    int n = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] != '?') {
            out += sql[i];
        } else if (i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9') {
            out += '$';
        } else {
            out += "$" + std::to_string(++n);
        }
    }
    return out;
}

// Runs `sql` with text parameters; the result (nullptr when libpq had none).
Result query(PGconn* conn, const std::string& sql, const std::vector<std::string>& values) {
    std::vector<const char*> p;
    for (const std::string& v : values) p.push_back(v.c_str());
    return Result(pq::PQexecParams(conn, sql.c_str(), static_cast<int>(p.size()), nullptr,
                               p.data(), nullptr, nullptr, 0));
}

// The same, "" or the server's message.
std::string runParams(PGconn* conn, const std::string& sql, const std::vector<std::string>& v) {
    Result r = query(conn, sql, v);
    const ExecStatusType status = r ? pq::PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? "" : messageOf(r.get(), conn);
}

// Appends `text` in COPY's text format: backslash, tab and line ends escaped. The runs between
// them are appended whole (most values hold none).
void appendCopyText(std::string& out, const char* text, size_t length) {
    size_t from = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c != '\\' && c != '\t' && c != '\n' && c != '\r') continue;
        out.append(text + from, i - from);
        const char escaped[2] = {'\\', c == '\\' ? '\\' : c == '\t' ? 't' : c == '\n' ? 'n' : 'r'};
        out.append(escaped, 2);
        from = i + 1;
    }
    out.append(text + from, length - from);
}

// Appends one converted value in COPY's text format.
void appendCell(std::string& out, const LoadCell& cell, const std::string& arena) {
    char buffer[64];
    switch (cell.type) {
        case SQLITE_INTEGER: {
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, cell.integer);
            out.append(buffer, r.ptr);
            break;
        }
        case SQLITE_FLOAT: {
            // The shortest text that reads back as the same double: what SQLite holds.
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, cell.real);
            out.append(buffer, r.ptr);
            break;
        }
        case SQLITE_TEXT:
            appendCopyText(out, arena.data() + cell.text.offset, cell.text.length);
            break;
        default:
            out += "\\N";
            break;
    }
}

// libpq's notice processor: the server's notices into the trace.
void traceNotice(void*, const char* message) {
    morvex::trace("\n[PGLOAD_LoadDataInDatabase] %s", trimmed(message).c_str());
}

// Reports a failed load: trace, status bar and the task's "not started" event, kept in
// stats->failure. Returns 1.
int failLoad(TASK* task, const std::string& message, const std::string& cause,
             SQLITE4FYK_LOADSTATS& st) {
    const std::string told = cause.empty() ? message : message + "\nCause : " + cause;
    morvex::trace("\n[PGLOAD_LoadDataInDatabase] %s", told.c_str());
    snprintf(st.failure, sizeof st.failure, "%s", told.c_str());
    morvex::uiPort().statusText(cause.empty() ? message : message + " : " + cause);
    TASK_Report(task, TASK_EVENT_NOT_STARTED, 0, 0, told.c_str());
    return 1;
}

// PostgreSQL types compared as format_type writes them (the template's short names too).
std::string canonicalType(const std::string& type) {
    std::string t;
    for (char c : type)
        if (c != ' ') t += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const struct {
        const char* from;
        const char* to;
    } names[] = {{"charactervarying", "varchar"},
                 {"character", "char"},
                 {"timestampwithouttimezone", "timestamp"},
                 {"int4", "integer"},
                 {"int8", "bigint"}};
    for (const auto& n : names)
        if (t.compare(0, strlen(n.from), n.from) == 0) t = n.to + t.substr(strlen(n.from));
    return t;
}

bool samePgType(const std::string& expected, const std::string& actual) {
    return canonicalType(expected) == canonicalType(actual);
}

// A row of a chunk: where its COPY line is, and what becomes of it.
struct ChunkRow {
    int file = 0;            // its data file's place in the load
    int line = 0;            // line on which the row begins
    bool offered = false;    // sent to the server (else set aside by the reading)
    size_t offset = 0;       // its COPY line in the chunk's text (offered rows)
    size_t length = 0;
    std::string rejectColumn, rejectReason;  // a row set aside, or the server's refusal
    bool refused = false;    // refused by the server
    LoadRow setAside{};      // a row set aside by the reading: its reason
};

// The state of one load's rows.
struct RowLoad {
    PGconn* conn;
    TASK* task;
    const SQLITE4FYK_LOADOPTIONS& opt;
    SQLITE4FYK_LOADSTATS& st;
    DATAFILE_REJECTS* rejects;
    const LoadFiles* files = nullptr;  // several: the rejects name each row's file
    std::string copy{};      // COPY ... FROM STDIN of the table (or of the staging table)
    std::string afterCopy{}; // upsert: moves the staging rows into the table
    std::string text{};      // the chunk's COPY lines
    std::vector<ChunkRow> rows{};
    size_t offered = 0;
    std::string fatal{};     // the server's message that stops the load

    bool copying = false;  // a COPY of the chunk is open, its lines sent up to `sent`
    size_t sent = 0;
    std::string streamFailure{};  // why the COPY of the chunk could not be opened

    // Chunks go in COPY's binary format (`copyBinary`) unless a row's value cannot (then the
    // chunk ends before that row and the next one goes as text).
    std::string copyBinary{};
    std::vector<PGBINARY_KIND> kinds{};  // per column
    bool binaryWanted = false;
    bool binary = false;       // the chunk being made is binary
    size_t binaryRowStart = 0; // where the row appended last begins in `text`
    int binaryChunks = 0, textChunks = 0;  // chunks sent in each format

    // Opens the COPY; "" or the server's message.
    std::string startCopy() {
        Result r(pq::PQexec(conn, (binary ? copyBinary : copy).c_str()));
        if (!r || pq::PQresultStatus(r.get()) != PGRES_COPY_IN) return messageOf(r.get(), conn);
        copying = true;
        return "";
    }
    // Ends the open COPY (and moves an upsert's rows); "" when stored, else the server's
    // message with `rowsRefused` telling whether the rows caused it.
    std::string endCopy(bool* rowsRefused) {
        *rowsRefused = false;
        copying = false;
        if (pq::PQputCopyEnd(conn, nullptr) != 1) return trimmed(pq::PQerrorMessage(conn));
        std::string message;
        while (PGresult* raw = pq::PQgetResult(conn)) {
            Result each(raw);
            if (pq::PQresultStatus(raw) != PGRES_COMMAND_OK && message.empty()) {
                message = messageOf(raw, conn);
                *rowsRefused = refusedForTheRows(raw);
            }
        }
        if (message.empty() && pq::PQstatus(conn) == CONNECTION_BAD)
            message = trimmed(pq::PQerrorMessage(conn));
        if (message.empty() && !afterCopy.empty()) {
            Result moved(pq::PQexec(conn, afterCopy.c_str()));
            if (!moved || pq::PQresultStatus(moved.get()) != PGRES_COMMAND_OK) {
                message = messageOf(moved.get(), conn);
                *rowsRefused = refusedForTheRows(moved.get());
            }
        }
        return message;
    }
    // Gives up an open COPY (a stop, a failure elsewhere): the server discards its rows.
    void abort() {
        if (!copying) return;
        copying = false;
        pq::PQputCopyEnd(conn, "chargement interrompu");
        while (PGresult* raw = pq::PQgetResult(conn)) pq::PQclear(raw);
    }
    // Sends `length` bytes of COPY lines in a COPY of their own.
    std::string send(const char* data, size_t length, bool* rowsRefused) {
        *rowsRefused = false;
        std::string m = startCopy();
        if (!m.empty()) return m;
        std::string framed;
        if (binary) {
            PGBINARY_AppendHeader(framed);
            framed.append(data, length);
            PGBINARY_AppendTrailer(framed);
            data = framed.data();
            length = framed.size();
        }
        if (pq::PQputCopyData(conn, data, static_cast<int>(length)) != 1) {
            copying = false;
            return trimmed(pq::PQerrorMessage(conn));
        }
        return endCopy(rowsRefused);
    }
    // Sends the chunk's lines not sent yet, so that the server reads them while the next ones
    // are made; the COPY stays open until the chunk is flushed.
    void stream() {
        if (offered == 0 || !streamFailure.empty() || sent == text.size()) return;
        if (!copying) {
            streamFailure = startCopy();
            if (!streamFailure.empty()) return;
        }
        if (pq::PQputCopyData(conn, text.data() + sent, static_cast<int>(text.size() - sent)) != 1)
            streamFailure = trimmed(pq::PQerrorMessage(conn));
        sent = text.size();
    }

    // Stores the chunk's offered rows, all at once under a savepoint, else one by one to find
    // those the server refuses; then counts and writes the rejects in the file's order. False
    // when the load must stop.
    bool flush() {
        if (rows.empty()) return true;
        bool ok = true;
        if (offered > 0) {
            bool rowsRefused = false;
            if (binary) PGBINARY_AppendTrailer(text);
            ++(binary ? binaryChunks : textChunks);
            stream();
            if (!streamFailure.empty()) return fail(streamFailure);
            std::string m = endCopy(&rowsRefused);
            if (m.empty()) {
                m = run(conn, "RELEASE SAVEPOINT fylatek_chunk; SAVEPOINT fylatek_chunk");
                if (!m.empty()) return fail(m);
                st.rowsStored += static_cast<int>(offered);
            } else if (!rowsRefused) {
                return fail(m);
            } else {
                m = run(conn, "ROLLBACK TO SAVEPOINT fylatek_chunk");
                if (!m.empty()) return fail(m);
                for (ChunkRow& row : rows) {
                    if (!row.offered) continue;
                    std::string one = send(text.data() + row.offset, row.length, &rowsRefused);
                    if (one.empty()) {
                        ++st.rowsStored;
                        m = run(conn, "RELEASE SAVEPOINT fylatek_chunk; SAVEPOINT fylatek_chunk");
                        if (!m.empty()) return fail(m);
                        continue;
                    }
                    if (!rowsRefused) return fail(one);
                    row.refused = true;
                    row.rejectReason = one;
                    morvex::trace("\n[PGLOAD_LoadDataInDatabase] Ligne %i rejetée : %s",
                                  row.line, one.c_str());
                    m = run(conn, "ROLLBACK TO SAVEPOINT fylatek_chunk");
                    if (!m.empty()) return fail(m);
                }
            }
        }
        for (const ChunkRow& row : rows) {
            if (row.offered && !row.refused) continue;
            if (row.refused)
                CountRejected(st, row.file);
            else
                CountSetAside(st, row.setAside);
            if (rejects != nullptr)
                DATAFILE_AddReject(rejects, row.line, row.rejectColumn, row.rejectReason,
                                   files->count() > 1 ? files->name(row.file) : std::string());
            if (TooManyRejects(st, opt, row.line)) {
                ok = false;
                break;
            }
        }
        rows.clear();
        text.clear();
        offered = 0;
        sent = 0;
        binary = binaryWanted;
        return ok;
    }

    bool fail(const std::string& message) {
        fatal = message;
        rows.clear();
        return false;
    }
};

// Appends `row` to the binary chunk (its header first when the chunk begins); false, with the
// chunk as it was, when one of its values cannot go in binary.
bool appendBinaryRow(RowLoad& load, const LoadBatch& batch, const LoadRow& row, int rowNumberFlag) {
    std::string& out = load.text;
    const size_t before = out.size();
    if (before == 0) PGBINARY_AppendHeader(out);
    load.binaryRowStart = out.size();
    PGBINARY_AppendFieldCount(out, static_cast<int>(load.kinds.size()) + (rowNumberFlag ? 1 : 0));
    if (rowNumberFlag) PGBINARY_AppendInt4(out, row.rowId);
    for (size_t i = 0; i < load.kinds.size(); ++i) {
        if (!PGBINARY_AppendCell(out, batch.cells[row.firstCell + i], batch.arena, load.kinds[i])) {
            out.resize(before);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string PGLOAD_ConnectionWord(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \t\n\r'\\") == std::string::npos) return value;
    std::string out = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

bool PGLOAD_IsConnection(const std::string& target) {
    if (target.rfind("postgresql://", 0) == 0 || target.rfind("postgres://", 0) == 0) return true;
    // libpq's words: keyword=value; a file path may hold '=' but not after a keyword alone.
    const size_t equal = target.find('=');
    if (equal == std::string::npos || equal == 0) return false;
    for (size_t i = 0; i < equal; ++i) {
        const char c = target[i];
        if (!((c >= 'a' && c <= 'z') || c == '_' || c == ' ')) return false;
    }
    return true;
}

std::string PGLOAD_DescribeConnection(const std::string& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = pq::PQconninfoParse(conninfo.c_str(), &error);
    if (error != nullptr) pq::PQfreemem(error);
    if (options == nullptr) return "";
    std::string out;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr || o->val[0] == '\0') continue;
        const std::string k = o->keyword;
        if (k == "host" || k == "hostaddr" || k == "port" || k == "dbname" || k == "user" ||
            k == "service")
            out += (out.empty() ? "" : " ") + k + "=" + PGLOAD_ConnectionWord(o->val);
    }
    pq::PQconninfoFree(options);
    return out;
}

std::string PGLOAD_ColumnType(const TypeCible* t) {
    if (t == nullptr) return "text";
    switch (t->type) {
        case DATATYPE_INTEGER:
            return t->fmtEntier.taille > 9 ? "bigint" : "integer";
        case DATATYPE_DECIMAL:
            return Format("numeric(%i, %i)",
                          t->fmtDecimal.partieEntiere + t->fmtDecimal.partieDecimale,
                          t->fmtDecimal.partieDecimale);
        case DATATYPE_DATE:
            return "date";
        case DATATYPE_DATETIME:
            return "timestamp";
        case DATATYPE_FIXEDCHAR:
            return Format("char(%i)", t->fmtChaineFixe.taille);
        case DATATYPE_VARIABLECHAR:
            return Format("varchar(%i)", t->fmtChaineVar.tailleMax);
        case DATATYPE_BOOLEAN:
            return "boolean";
        default:
            return "text";
    }
}

std::string PGLOAD_NameLengthProblem(const FileDesc* desc, const std::string& schema) {
    std::string problem;
    auto check = [&problem](const std::string& what, const char* name) {
        const size_t bytes = strlen(name);
        if (bytes <= PGLOAD_NAME_MAX) return;
        problem += (problem.empty() ? "" : " ; ") +
                   Format("%s [%s] : %zu octets", what.c_str(), name, bytes);
    };
    // A table's and an index's name are bounded by their records; a schema given to the
    // load and a column's code are not.
    static_assert(FILEDESC_NAME_MAX <= PGLOAD_NAME_MAX && INDEX_NAME_MAX <= PGLOAD_NAME_MAX);
    check("schéma", schema.c_str());
    if (desc != nullptr) {
        int position = 0;
        for (const ColumnOwner& column : desc->columns)
            check(Format("colonne %i", ++position), column->code);
    }
    return problem.empty() ? ""
                           : Format("noms trop longs pour PostgreSQL (%zu octets au plus) : ",
                                    PGLOAD_NAME_MAX) +
                                 problem;
}

std::string PGLOAD_QuoteName(const char* name) {
    return SQLITE4FYK_QuoteName(name);
}

PGconn* PGLOAD_Connect(const char* conninfo, std::string* error) {
    std::string ignored;
    std::string& e = error != nullptr ? *error : ignored;
    // The connection string's own words, then what a connection needs unless it says otherwise.
    if (std::string why; !pq::available(&why)) {
        e = "la bibliothèque cliente de PostgreSQL (libpq) ne peut pas être chargée : " + why;
        return nullptr;
    }
    char* parseError = nullptr;
    PQconninfoOption* given = pq::PQconninfoParse(conninfo, &parseError);
    if (given == nullptr) {
        e = "chaîne de connexion illisible : " + trimmed(parseError);
        if (parseError != nullptr) pq::PQfreemem(parseError);
        return nullptr;
    }
    bool timeoutGiven = false;
    for (PQconninfoOption* p = given; p->keyword != nullptr; ++p)
        if (strcmp(p->keyword, "connect_timeout") == 0 && p->val != nullptr && p->val[0] != '\0')
            timeoutGiven = true;
    pq::PQconninfoFree(given);
    std::vector<const char*> keys = {"dbname", "client_encoding", "fallback_application_name"};
    std::vector<const char*> values = {conninfo, "UTF8", "morvex-fylatek"};
    if (!timeoutGiven) {
        keys.push_back("connect_timeout");
        values.push_back(PGLOAD_CONNECT_TIMEOUT);
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = pq::PQconnectdbParams(keys.data(), values.data(), 1);
    if (conn == nullptr) {
        e = "mémoire insuffisante";
        return nullptr;
    }
    if (pq::PQstatus(conn) != CONNECTION_OK) {
        e = trimmed(pq::PQerrorMessage(conn));
        pq::PQfinish(conn);
        return nullptr;
    }
    // The server's notices ("schema ... already exists, skipping") go to the trace, not to the
    // terminal.
    pq::PQsetNoticeProcessor(conn, traceNotice, nullptr);
    return conn;
}

int PGLOAD_LoadDataInDatabase(TASK* task, FileDesc* desc, const char* conninfo, int batchSize,
                              int rowNumberFlag, SQLITE4FYK_LOADSTATS* stats,
                              const PGLOAD_OPTIONS* options) {
    SQLITE4FYK_LOADSTATS local{};
    SQLITE4FYK_LOADSTATS& st = stats != nullptr ? *stats : local;
    st = SQLITE4FYK_LOADSTATS{};
    st.status = SQLITE4FYK_LOAD_FAILED;
    if (task == nullptr || desc == nullptr || conninfo == nullptr) return 1;
    const PGLOAD_OPTIONS defaults;
    const PGLOAD_OPTIONS& o = options != nullptr ? *options : defaults;
    const SQLITE4FYK_LOADOPTIONS& opt = o.load;
    if (batchSize <= 0) batchSize = SQLITE4FYK_DEFAULT_BATCH_SIZE;
    const std::string schema = !o.schema.empty()             ? o.schema
                               : desc->SchemaName[0] != '\0' ? desc->SchemaName
                                                             : PGLOAD_DEFAULT_SCHEMA;
    const std::string table = PGLOAD_QuoteName(schema.c_str()) + "." +
                              PGLOAD_QuoteName(desc->TableName);
    const std::string where = PGLOAD_DescribeConnection(conninfo);
    const std::string tableNotCreated = Format(
        "Echec du chargement : la table [%s.%s] n'a pu être créée.", schema.c_str(),
        desc->TableName);
    std::string names = SQLITE4FYK_ColumnNameProblem(desc, rowNumberFlag);
    if (names.empty()) names = PGLOAD_NameLengthProblem(desc, schema);
    if (!names.empty()) return failLoad(task, tableNotCreated, names, st);

    morvex::uiPort().statusText("Connexion à PostgreSQL...");
    TASK_Report(task, TASK_EVENT_PROGRESS, 0, 0, "Connexion à PostgreSQL...");
    std::string connectError;
    Connection conn(PGLOAD_Connect(conninfo, &connectError));
    if (!conn)
        return failLoad(task,
                        Format("Echec de la connexion à la base PostgreSQL [%s].", where.c_str()),
                        connectError, st);
    PGconn* c = conn.get();
    morvex::trace("\n[PGLOAD_LoadDataInDatabase] Connecté à [%s]", where.c_str());
    auto failed = [&](const std::string& message, const std::string& cause) {
        run(c, "ROLLBACK");
        return failLoad(task, message, cause, st);
    };
    const std::string notWritable =
        Format("Echec du chargement : la base PostgreSQL [%s] n'accepte pas l'écriture.",
               where.c_str());
    std::string m = run(c, "BEGIN");
    if (m.empty()) m = run(c, "CREATE SCHEMA IF NOT EXISTS " + PGLOAD_QuoteName(schema.c_str()));
    // The catalogue's names stay unqualified: they go to the target schema.
    if (m.empty()) m = runParams(c, "SELECT set_config('search_path', $1, true)",
                                 {PGLOAD_QuoteName(schema.c_str())});
    if (!m.empty()) return failed(notWritable, m);

    // The table's state, before the catalogue is rewritten.
    auto answers = [&](const std::string& sql, const std::vector<std::string>& v) {
        Result r = query(c, sql, v);
        return r && pq::PQresultStatus(r.get()) == PGRES_TUPLES_OK && pq::PQntuples(r.get()) > 0;
    };
    const bool exists = answers(
        "SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = $1 AND tablename = $2",
        {schema, desc->TableName});
    const bool listed =
        exists &&
        answers("SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = $1 AND tablename = $2",
                {schema, "fylatekfiledesc"}) &&
        answers("SELECT 1 FROM fylatekfiledesc WHERE tablename = $1", {desc->TableName});
    const bool hasKey = !desc->primaryKey.columns.empty();
    LOADMODE_DECISION d = LOADMODE_Decide(opt.mode, schema + "." + desc->TableName, exists,
                                          listed, hasKey);
    if (d.action == LOADMODE_ACTION_USE_EXISTING) {
        std::vector<LOADMODE_COLUMN> expected, actual;
        if (rowNumberFlag) expected.push_back({"FileRowID", "integer"});
        for (const ColumnOwner& column : desc->columns)
            expected.push_back({column->code, PGLOAD_ColumnType(&column->typeCible)});
        Result r = query(c,
                         "SELECT attname, format_type(atttypid, atttypmod) FROM "
                         "pg_catalog.pg_attribute WHERE attrelid = $1::regclass AND attnum > 0 "
                         "AND NOT attisdropped ORDER BY attnum",
                         {table});
        if (!r || pq::PQresultStatus(r.get()) != PGRES_TUPLES_OK)
            return failed(tableNotCreated, messageOf(r.get(), c));
        for (int i = 0; i < pq::PQntuples(r.get()); ++i)
            actual.push_back({pq::PQgetvalue(r.get(), i, 0), pq::PQgetvalue(r.get(), i, 1)});
        d.refusal = LOADMODE_ColumnDifference(schema + "." + desc->TableName, expected, actual,
                                              samePgType);
        if (!d.refusal.empty()) d.action = LOADMODE_ACTION_REFUSE;
    }
    if (d.action == LOADMODE_ACTION_REFUSE) return failed("Echec du chargement : " + d.refusal, "");

    morvex::uiPort().statusText("Génération de la métabase...");
    TASK_Report(task, TASK_EVENT_PROGRESS, 0, 0, "Génération de la métabase...");
    SQLITE4FYK_CATALOGUE cat = SQLITE4FYK_CatalogueOf(desc);
    // The column catalogue's names are written in double quotes, the statements that read it
    // without: PostgreSQL folds the latter, so the former lose their quotes (fixed names).
    std::erase(cat.createColumns, '"');
    std::erase(cat.insertColumns, '"');
    m = run(c, cat.createDesc);
    if (m.empty()) m = run(c, cat.createColumns);
    const std::vector<std::string> key = {desc->FileDescUID, desc->TableName};
    if (m.empty()) m = runParams(c, numbered(cat.deleteColumns), key);
    if (m.empty()) m = runParams(c, numbered(cat.deleteDesc), key);
    if (m.empty()) m = runParams(c, numbered(cat.insertDesc), cat.descRow);
    for (const auto& row : cat.columnRows)
        if (m.empty()) m = runParams(c, numbered(cat.insertColumns), row);
    if (!m.empty())
        return failed("Echec du chargement : la description n'a pu être écrite dans la base.", m);

    if (d.action != LOADMODE_ACTION_USE_EXISTING) {
        morvex::uiPort().statusText("Création de la table selon le schéma déclaré...");
        const SQLITE4FYK_TABLESQL target{table, PGLOAD_ColumnType, "integer"};
        const std::string create =
            (d.action == LOADMODE_ACTION_DROP_CREATE ? "DROP TABLE IF EXISTS " + table + ";"
                                                     : std::string()) +
            SQLITE4FYK_CreateTableSQL(desc, rowNumberFlag, opt.keys, opt.mode == LOADMODE_UPSERT,
                                      &target);
        morvex::trace("\nCREATE:[%s]\n", create.c_str());
        m = run(c, create);
        if (!m.empty()) return failed(tableNotCreated, m);
    }

    // The rows.
    std::vector<const ColumnDesc*> columnAt;
    std::string columnNames = rowNumberFlag ? "FileRowID" : "";
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        columnAt.push_back(column);
        columnNames += (columnNames.empty() ? "" : ", ") + PGLOAD_QuoteName(column->code);
    }
    // The data files, one after the other (a reader at a time); without any, the
    // description's example file (the desktop's load).
    SQLITE4FYK_LOADOPTIONS reading = opt;
    if (reading.dataPath.empty() && desc->ExampleFilePath != nullptr)
        reading.dataPath = desc->ExampleFilePath;
    LoadFiles files(desc, reading);
    StartFileCounts(st, files);
    const bool several = files.count() > 1;
    const std::string dataFiles =
        several ? std::string("Echec du chargement des fichiers de données ; aucune ligne n'a "
                              "été enregistrée.")
                : Format("Echec du chargement du fichier de données [%s].",
                         reading.dataPath.c_str());
    if (!files.open()) return failed(dataFiles, files.failure);
    // Taken before the reading thread starts: it then owns the readers.
    const double fileSize = several ? files.totalBytes() : DATAFILE_GetFileSize(files.reader());
    morvex::Owned<DATAFILE_REJECTS, DATAFILE_CloseRejects> rejects;
    if (!opt.rejectsPath.empty()) {
        rejects.reset(DATAFILE_OpenRejects(opt.rejectsPath.c_str(), several));
        if (!rejects)
            return failed("Echec du chargement : le fichier des rejets ne peut être écrit.",
                          opt.rejectsPath);
    }
    RowLoad load{c, task, opt, st, rejects.get(), &files};
    load.copy = "COPY " + table + " (" + columnNames + ") FROM STDIN";
    load.binaryWanted = load.binary = !o.textCopy;
    for (const ColumnDesc* column : columnAt) load.kinds.push_back(PGBINARY_KindOf(&column->typeCible));
    if (opt.mode == LOADMODE_UPSERT) {
        // COPY cannot replace a row: the rows go through a staging table of the same columns.
        m = run(c, "CREATE TEMPORARY TABLE fylatek_upsert (LIKE " + table + ") ON COMMIT DROP");
        if (!m.empty()) return failed(tableNotCreated, m);
        load.copy = "COPY fylatek_upsert (" + columnNames + ") FROM STDIN";
        load.afterCopy = "INSERT INTO " + table + " (" + columnNames + ") SELECT " + columnNames +
                         " FROM fylatek_upsert" + SQLITE4FYK_UpsertClause(desc, rowNumberFlag) +
                         "; TRUNCATE fylatek_upsert";
    }
    load.copyBinary = load.copy + " (FORMAT binary)";
    m = run(c, "SAVEPOINT fylatek_chunk");
    if (!m.empty()) return failed(notWritable, m);

    const char* loading = "Chargement des données...";
    morvex::uiPort().statusText(loading);
    TASK_Report(task, TASK_EVENT_PROGRESS, 0, 0, loading);
    const auto start = std::chrono::steady_clock::now();
    LoadQueue queue;
    std::thread producer([&] {
        ReadAndConvert(files, columnAt, opt.strict(), rejects != nullptr, queue);
    });
    bool interrupted = false;
    bool fatal = false;
    while (!fatal && !interrupted) {
        std::unique_ptr<LoadBatch> batch = queue.pop();
        if (!batch) break;
        for (const LoadRow& row : batch->rows) {
            CountRead(st, row.file);
            ChunkRow chunkRow;
            chunkRow.file = row.file;
            chunkRow.line = row.line;
            if (row.reason != LOAD_ROW_STORED) {
                // Counted when the chunk is flushed, in the file's order with the rows the
                // server refuses, so that the limit of rows set aside names the same line.
                chunkRow.setAside = row;
                chunkRow.rejectColumn = batch->text(row.rejectColumn);
                chunkRow.rejectReason = batch->text(row.rejectReason);
            } else {
                CountOffered(st, row, columnAt.size() - (files.sourceColumn() ? 1 : 0));
                chunkRow.offered = true;
                if (load.binary && !appendBinaryRow(load, *batch, row, rowNumberFlag)) {
                    // A value the binary form cannot carry: the rows before it are stored,
                    // this one and the rest of the chunk go as text.
                    if (load.offered > 0 && !load.flush()) {
                        fatal = true;
                        break;
                    }
                    load.text.clear();
                    load.binary = false;
                }
                chunkRow.offset = load.binary ? load.binaryRowStart : load.text.size();
                if (!load.binary) {
                    if (rowNumberFlag) {
                        load.text += std::to_string(row.rowId);
                        load.text += '\t';
                    }
                    for (size_t i = 0; i < columnAt.size(); ++i) {
                        if (i > 0) load.text += '\t';
                        appendCell(load.text, batch->cells[row.firstCell + i], batch->arena);
                    }
                    load.text += '\n';
                }
                chunkRow.length = load.text.size() - chunkRow.offset;
                ++load.offered;
            }
            load.rows.push_back(std::move(chunkRow));
            if (st.rows % batchSize == 0)
                ReportProgress(task, st.rowsStored + static_cast<int>(load.offered),
                               row.readBytes, fileSize);
            if (TASK_IsStopRequested(task)) {
                interrupted = true;
                break;
            }
            if ((load.rows.size() >= PGLOAD_CHUNK_ROWS || load.text.size() >= PGLOAD_CHUNK_BYTES) &&
                !load.flush()) {
                fatal = true;
                break;
            }
        }
        if (!fatal && !interrupted) load.stream();
        queue.recycle(std::move(batch));
    }
    if (!fatal && !interrupted && !load.flush()) fatal = true;
    queue.close();
    producer.join();
    st.blankLines = files.blankLines;
    // A file cut, changed or that cannot be opened: nothing of any file is kept.
    if (files.changed && !fatal) {
        st.fileChanged = 1;
        fatal = true;
        snprintf(st.failure, sizeof st.failure, "%s", files.failure.c_str());
    }
    st.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    morvex::trace("\n[PGLOAD_LoadDataInDatabase] COPY : %i bloc(s) en binaire, %i en texte",
                  load.binaryChunks, load.textChunks);
    if (!fatal && !interrupted) {
        m = run(c, "COMMIT");
        if (!m.empty()) {
            fatal = true;
            load.fatal = m;
        }
    }
    if (fatal || interrupted) {
        load.abort();
        run(c, "ROLLBACK");
        st.rowsStored = 0;
    }
    if (fatal) {
        st.status = SQLITE4FYK_LOAD_FAILED;
        if (st.tooManyRejects)
            return failLoad(
                task,
                Format("Echec du chargement : %s ; aucune ligne n'a été enregistrée.", st.error),
                "", st);
        if (!load.fatal.empty()) {
            snprintf(st.error, sizeof st.error, "%s", load.fatal.c_str());
            return failLoad(task,
                            "Echec du chargement : la base PostgreSQL a refusé l'écriture ; "
                            "aucune ligne n'a été enregistrée.",
                            load.fatal, st);
        }
        const std::string readCause = st.failure;
        return failLoad(task, dataFiles, readCause, st);
    }
    st.status = interrupted ? SQLITE4FYK_LOAD_INTERRUPTED : SQLITE4FYK_LOAD_DONE;
    return ReportEnd(task, st, "PGLOAD_LoadDataInDatabase");
}

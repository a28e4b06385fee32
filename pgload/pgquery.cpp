// The query run on PostgreSQL: rows one at a time (libpq's single-row mode), result set after
// result set.
#include "pgload/pgquery.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/owned.h"
#include "pgload/libpq.h"
#include "pgload/pgload.h"

namespace pq = morvex::pq;
namespace {

std::string trimmedMessage(const char* text) {
    std::string s = text != nullptr ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// What the values of a column of type `oid` are (the built-in types' fixed identifiers).
SQLQUERY_KIND kindOf(Oid oid) {
    switch (oid) {
        case 16:  // boolean
            return SQLQUERY_KIND_BOOLEAN;
        case 20:    // bigint
        case 21:    // smallint
        case 23:    // integer
        case 26:    // oid
        case 700:   // real
        case 701:   // double precision
        case 1700:  // numeric
            return SQLQUERY_KIND_NUMBER;
        default:
            return SQLQUERY_KIND_TEXT;
    }
}

// The byte of UTF-8 `text` where its character `position` (1 for the first, as the server counts
// them in an error's position) begins; -1 when the text is shorter.
int byteOfCharacter(const char* text, const char* position) {
    long wanted = position != nullptr ? strtol(position, nullptr, 10) : 0;
    if (wanted < 1) return -1;
    for (int byte = 0; text[byte] != '\0'; ++byte) {
        // A character begins at every byte that does not continue one.
        if ((static_cast<unsigned char>(text[byte]) & 0xC0) != 0x80 && --wanted == 0) return byte;
    }
    return -1;
}

}  // namespace

int PGQUERY_Execute(PGQUERY_RUN* run, const char* conninfo, const char* sql, SQLQUERY_SINK* sink) {
    if (run == nullptr || conninfo == nullptr || sql == nullptr || sink == nullptr) return 1;
    run->rows = 0;
    run->error.clear();
    run->errorOffset = -1;
    run->interrupted = false;
    std::string cause;
    morvex::Owned<PGconn, pq::PQfinish> conn(PGLOAD_Connect(conninfo, &cause));
    if (!conn) {
        run->error = "Echec de la connexion à la base PostgreSQL [" +
                     PGLOAD_DescribeConnection(conninfo) + "] : " + cause;
        return 1;
    }
    sink->status(SQLQUERY_STATUS_VERSION,
                 "PostgreSQL " + std::to_string(pq::PQserverVersion(conn.get()) / 10000));
    sink->status(SQLQUERY_STATUS_STATE, "Exécution de la requête en cours...");
    {
        std::lock_guard<std::mutex> g(run->lock);
        if (run->interruptRequested) {
            run->interrupted = true;
            return 0;
        }
        run->cancel = pq::PQgetCancel(conn.get());
    }
    int failed = 0;
    if (pq::PQsendQuery(conn.get(), sql) != 1) {
        run->error = "La requête a échoué : " + trimmedMessage(pq::PQerrorMessage(conn.get()));
        failed = 1;
    } else {
        pq::PQsetSingleRowMode(conn.get());
        bool columnsGiven = false;
        std::vector<char*> values;
        std::vector<std::string> names;
        std::vector<char*> nameText;
        std::vector<SQLQUERY_KIND> kinds;
        while (PGresult* raw = pq::PQgetResult(conn.get())) {
            morvex::Owned<PGresult, pq::PQclear> r(raw);
            const ExecStatusType status = pq::PQresultStatus(raw);
            if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
                const int count = pq::PQnfields(raw);
                if (!columnsGiven) {
                    names.clear();
                    nameText.clear();
                    for (int i = 0; i < count; ++i) names.emplace_back(pq::PQfname(raw, i));
                    for (std::string& n : names) nameText.push_back(n.data());
                    kinds.clear();
                    for (int i = 0; i < count; ++i) kinds.push_back(kindOf(pq::PQftype(raw, i)));
                    sink->columns(count, nameText.data());
                    columnsGiven = true;
                }
                for (int t = 0; t < pq::PQntuples(raw); ++t) {
                    values.assign(static_cast<size_t>(count), nullptr);
                    for (int i = 0; i < count; ++i)
                        if (!pq::PQgetisnull(raw, t, i)) values[i] = pq::PQgetvalue(raw, t, i);
                    sink->typedRow(count, values.data(), kinds.data());
                    ++run->rows;
                }
                // The end of one statement's rows: the next result set gives its own columns.
                if (status == PGRES_TUPLES_OK) columnsGiven = false;
            } else if (status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY && !failed) {
                const char* state = pq::PQresultErrorField(raw, PG_DIAG_SQLSTATE);
                if (state != nullptr && std::string(state) == "57014") {
                    run->interrupted = true;
                } else {
                    const char* primary = pq::PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY);
                    run->error = "La requête a échoué : " +
                                 trimmedMessage(primary != nullptr ? primary
                                                                   : pq::PQresultErrorMessage(raw));
                    run->errorOffset = byteOfCharacter(
                        sql, pq::PQresultErrorField(raw, PG_DIAG_STATEMENT_POSITION));
                    failed = 1;
                }
            }
        }
    }
    {
        std::lock_guard<std::mutex> g(run->lock);
        pq::PQfreeCancel(static_cast<PGcancel*>(run->cancel));
        run->cancel = nullptr;
    }
    if (failed) {
        sink->status(SQLQUERY_STATUS_STATE, run->error);
        return 1;
    }
    sink->status(SQLQUERY_STATUS_ROWS, std::to_string(run->rows) + " ligne(s)");
    sink->status(SQLQUERY_STATUS_STATE, run->interrupted
                                            ? "La requête a été interrompue par l'utilisateur"
                                            : "Terminé");
    return 0;
}

void PGQUERY_Interrupt(PGQUERY_RUN* run) {
    if (run == nullptr) return;
    std::lock_guard<std::mutex> g(run->lock);
    run->interruptRequested = true;
    if (run->cancel != nullptr) {
        char message[256];
        pq::PQcancel(static_cast<PGcancel*>(run->cancel), message, sizeof message);
    }
}

bool PGQUERY_ReadSchema(const std::string& conninfo, std::vector<SQLQUERY_SCHEMAOBJECT>& objects,
                        std::vector<std::string>& selects, std::string& error) {
    objects.clear();
    selects.clear();
    std::string cause;
    morvex::Owned<PGconn, pq::PQfinish> conn(PGLOAD_Connect(conninfo.c_str(), &cause));
    if (!conn) {
        error = "Echec de la connexion à la base PostgreSQL [" +
                PGLOAD_DescribeConnection(conninfo) + "] : " + cause;
        return false;
    }
    // The objects first (bounded), then their columns in their order; the types as the
    // server's format_type writes them (numeric(12,2), character varying(60)).
    const std::string sql =
        "WITH t AS (SELECT table_schema, table_name, table_type FROM information_schema.tables "
        "WHERE table_schema NOT IN ('pg_catalog', 'information_schema') "
        "ORDER BY table_schema, table_name LIMIT " +
        std::to_string(SQLQUERY_SCHEMA_MAX_OBJECTS) +
        ") SELECT t.table_schema, t.table_name, t.table_type, c.column_name, "
        "format_type(a.atttypid, a.atttypmod) FROM t "
        "LEFT JOIN information_schema.columns c "
        "ON c.table_schema = t.table_schema AND c.table_name = t.table_name "
        "LEFT JOIN pg_catalog.pg_attribute a ON a.attrelid = "
        "(quote_ident(t.table_schema) || '.' || quote_ident(t.table_name))::regclass "
        "AND a.attname = c.column_name "
        "ORDER BY t.table_schema, t.table_name, c.ordinal_position";
    morvex::Owned<PGresult, pq::PQclear> r(pq::PQexec(conn.get(), sql.c_str()));
    if (!r || pq::PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        error = "La lecture des tables a échoué : " +
                trimmedMessage(r ? pq::PQresultErrorMessage(r.get()) : pq::PQerrorMessage(conn.get()));
        return false;
    }
    std::vector<std::pair<SQLQUERY_SCHEMAOBJECT, std::string>> read;
    std::string lastSchema, lastTable;
    for (int i = 0; i < pq::PQntuples(r.get()); ++i) {
        const std::string schema = pq::PQgetvalue(r.get(), i, 0);
        const std::string table = pq::PQgetvalue(r.get(), i, 1);
        if (read.empty() || schema != lastSchema || table != lastTable) {
            SQLQUERY_SCHEMAOBJECT object;
            object.name = schema + "." + table;
            object.group = std::string(pq::PQgetvalue(r.get(), i, 2)) == "VIEW"
                               ? SQLQUERY_GROUP_VIEW
                               : SQLQUERY_TableGroup(table);
            read.emplace_back(std::move(object), "SELECT * FROM " +
                                                     PGLOAD_QuoteName(schema.c_str()) + "." +
                                                     PGLOAD_QuoteName(table.c_str()));
            lastSchema = schema;
            lastTable = table;
        }
        if (!pq::PQgetisnull(r.get(), i, 3))
            read.back().first.columns.push_back({pq::PQgetvalue(r.get(), i, 3), pq::PQgetvalue(r.get(), i, 4)});
    }
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::stable_sort(read.begin(), read.end(), [&](const auto& a, const auto& b) {
        if (a.first.group != b.first.group) return a.first.group < b.first.group;
        return lower(a.first.name) < lower(b.first.name);
    });
    for (auto& [object, select] : read) {
        objects.push_back(std::move(object));
        selects.push_back(std::move(select));
    }
    return true;
}

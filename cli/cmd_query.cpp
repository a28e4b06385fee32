// morvexcli query: runs SQL against an SQLite database as the query tool does (every statement,
// logged into the history table) and prints the rows as a table, or exports them as a
// semicolon-separated file.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/typedrows.h"
#include "foundation/csvexport.h"
#include "foundation/owned.h"
#include "pgload/pgload.h"
#include "pgload/pgquery.h"
#include "sqliteload/sqlite3dll.h"
#include "sqlquery/sqlquery.h"

namespace morvex {
namespace {

// Rows of a result set kept to size the table's columns before the rest is streamed.
constexpr size_t kRowsForWidths = 1000;

// Releases the SQLite library when the command ends.
// Receives the run: a table on standard output, or the export file.
class QuerySink : public SQLQUERY_SINK {
public:
    QuerySink(FILE* csv, std::string nullText) : csv_(csv), nullText_(std::move(nullText)) {}

    void status(int part, const std::string& text) override {
        if (part == SQLQUERY_STATUS_ROWS && text.find("ligne(s)") != std::string::npos) {
            rowsText_ = text;
        }
    }

    void columns(int count, char** names) override {
        endResultSet();
        titles_.assign(names, names + count);
        if (csv_ != nullptr) {
            for (const auto& t : titles_) CSVEXPORT_AppendCell(out_, t.c_str());
            out_ += CSVEXPORT_EOL;
        }
    }

    void row(int count, char** values) override {
        if (csv_ != nullptr) {
            for (int i = 0; i < count; ++i) {
                if (values[i] != nullptr) {
                    CSVEXPORT_AppendCell(out_, values[i]);
                } else {
                    CSVEXPORT_AppendCell(out_, nullText_.data(), nullText_.size());
                }
            }
            out_ += CSVEXPORT_EOL;
        } else {
            std::vector<std::string> cells;
            cells.reserve(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) cells.emplace_back(values[i] != nullptr ? values[i] : "NULL");
            if (streaming_) {
                out_ += formatTableRow(cells, widths_);
            } else {
                pending_.push_back(std::move(cells));
                if (pending_.size() >= kRowsForWidths) startStreaming();
            }
        }
        if (out_.size() > (1u << 20)) flush();
    }

    // Writes what is left; false on a write error.
    bool finish() {
        endResultSet();
        if (csv_ == nullptr && !rowsText_.empty()) out_ += rowsText_ + "\n";
        return flush() && !failed_;
    }

private:
    // The kept rows size the columns; later rows of the same result set use those widths.
    void startStreaming() {
        widths_ = tableWidths(titles_, pending_);
        out_ += formatTable(titles_, pending_);
        pending_.clear();
        streaming_ = true;
    }

    void endResultSet() {
        if (csv_ == nullptr && !titles_.empty()) {
            if (!streaming_) startStreaming();
            out_ += '\n';
        }
        titles_.clear();
        streaming_ = false;
    }

    bool flush() {
        if (csv_ != nullptr) {
            if (!out_.empty() && fwrite(out_.data(), 1, out_.size(), csv_) != out_.size()) failed_ = true;
        } else if (!writeOut(out_)) {
            failed_ = true;
        }
        out_.clear();
        return !failed_;
    }

    FILE* csv_;
    std::string nullText_;  // what the export writes for a NULL
    std::string out_;
    std::vector<std::string> titles_;
    std::vector<std::vector<std::string>> pending_;
    std::vector<size_t> widths_;
    bool streaming_ = false;
    bool failed_ = false;
    std::string rowsText_;
};

// Receives the run in a typed shape on standard output (--format csv, tsv, json, ndjson):
// numbers as numbers and NULL as null as the database typed them.
class TypedQuerySink : public SQLQUERY_SINK {
public:
    explicit TypedQuerySink(const PreviewFormat& format) : writer_(format) {}
    void status(int, const std::string&) override {}
    void columns(int count, char** names) override {
        std::vector<std::string> titles;
        for (int i = 0; i < count; ++i) titles.emplace_back(names[i] != nullptr ? names[i] : "");
        writer_.columns(titles);
    }
    void row(int count, char** values) override {
        const std::vector<SQLQUERY_KIND> texts(static_cast<size_t>(count), SQLQUERY_KIND_TEXT);
        typedRow(count, values, texts.data());
    }
    void typedRow(int count, char** values, const SQLQUERY_KIND* kinds) override {
        for (int i = 0; i < count; ++i) {
            if (values[i] == nullptr)
                writer_.null();
            else if (kinds[i] == SQLQUERY_KIND_NUMBER)
                writer_.number(values[i]);
            else if (kinds[i] == SQLQUERY_KIND_BOOLEAN)
                writer_.boolean(values[i][0] == 't', values[i]);
            else
                writer_.text(values[i]);
        }
        writer_.endRow();
    }
    bool finish() { return writer_.end(); }

private:
    TypedRowWriter writer_;
};

struct QueryOptions {
    std::string database;  // the SQLite database file, or ":memory:"
    std::string sql;       // the statements (empty: read from standard input)
    std::string csv;       // export file (empty: a table on standard output)
    std::string null;      // what the export writes for a NULL (--csv: NULL by default)
    PreviewFormat format;  // the shape on standard output
    std::string delimiterText;  // --delimiter of --format csv
    bool nullGiven = false;     // --null was given
};

// Standard input as text: CR LF reads as LF.
std::string readStandardInput() {
    std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

int commandQuery(const QueryOptions& o) {
    const bool postgresql = PGLOAD_IsConnection(o.database);
    if (!postgresql && o.database != ":memory:" && !isRegularFile(o.database)) {
        cliError("La base '" + o.database + "' n'existe pas ou n'est pas un fichier.");
        return CLI_FAILURE;
    }
    const std::string sql = o.sql.empty() ? readStandardInput() : o.sql;
    if (sql.find_first_not_of(" \t\r\n;") == std::string::npos) {
        cliError("Aucune requête à exécuter.");
        return CLI_USAGE;
    }
    SqliteLibrary library = postgresql ? SqliteLibrary() : loadSqlite();
    if (!postgresql && !library) return CLI_FAILURE;

    std::unique_ptr<FILE, int (*)(FILE*)> csv(nullptr, &fclose);
    if (!o.csv.empty()) {
        csv.reset(fopen(o.csv.c_str(), "wb"));
        if (!csv) {
            cliError("Exportation : Impossible d'ouvrir le fichier spécifié. (" + o.csv + ")");
            return CLI_FAILURE;
        }
    }
    const bool typed = o.format.typed();
    QuerySink tableSink(csv.get(), o.nullGiven ? o.null : "NULL");
    TypedQuerySink typedSink(o.format);
    SQLQUERY_SINK& sink = typed ? static_cast<SQLQUERY_SINK&>(typedSink) : tableSink;
    SQLQUERY_RUN run;
    PGQUERY_RUN pgRun;
    int failed = 0;
    if (postgresql) {
        runInterruptible(
            [&] { failed = PGQUERY_Execute(&pgRun, o.database.c_str(), sql.c_str(), &sink); },
            [&pgRun] { PGQUERY_Interrupt(&pgRun); });
        run.rows = pgRun.rows;
        run.error = pgRun.error;
        run.interrupted = pgRun.interrupted;
    } else {
        runInterruptible(
            [&] { failed = SQLQUERY_Execute(&run, o.database.c_str(), sql.c_str(), &sink); },
            [&run] { SQLQUERY_Interrupt(&run); });
    }
    bool written = typed ? typedSink.finish() : tableSink.finish();
    if (csv) written = fclose(csv.release()) == 0 && written;
    if (!written) {
        cliError(o.csv.empty() ? "Écriture impossible sur la sortie standard."
                               : "Écriture impossible dans le fichier '" + o.csv + "'.");
        return CLI_FAILURE;
    }
    if (failed) {
        // The PostgreSQL run words its failure itself, the server's message after it.
        cliError(run.error.empty() ? "La requête a échoué."
                 : postgresql      ? run.error
                                   : "Erreur SQLite : " + run.error);
        return CLI_FAILURE;
    }
    if (run.interrupted) {
        fprintf(stderr, "(!) La requête a été interrompue par l'utilisateur\n");
        return CLI_FAILURE;
    }
    if (!o.csv.empty()) return writeOut(std::to_string(run.rows) + " ligne(s)\n") ? CLI_OK : CLI_FAILURE;
    return CLI_OK;
}

}  // namespace

void addQueryCommand(CLI::App& app, CliCommands& commands) {
    auto o = std::make_shared<QueryOptions>();
    CLI::App* sub = app.add_subcommand(
        "query",
        "Exécute des requêtes SQL sur une base SQLite (historisées dans FylatekHistory) ou "
        "PostgreSQL");
    sub->add_option("base", o->database,
                    "Base SQLite (fichier existant, ou :memory:), ou connexion PostgreSQL "
                    "(postgresql://… ou \"host=… dbname=…\")")
        ->required();
    sub->add_option("sql", o->sql, "Requêtes (par défaut : lues sur l'entrée standard)");
    sub->add_option("--csv", o->csv,
                    "Exporte les lignes dans ce fichier (\";\" après chaque valeur, en-tête)");
    auto* csv = sub->get_option("--csv");
    sub->add_option("--format", o->format.name,
                    "Sortie : table, csv, tsv (RFC 4180), json ou ndjson (nombres, booléens, "
                    "null selon les types de la base)")
        ->check(CLI::IsMember({"table", "csv", "tsv", "json", "ndjson"}))
        ->excludes(csv);
    sub->add_option("--delimiter", o->delimiterText,
                    "Séparateur de --format csv (par défaut : virgule ; tsv : tabulation)");
    auto* null = sub->add_option(
        "--null", o->null,
        "Texte d'une valeur absente dans --csv (par défaut : NULL) ou --format csv et tsv "
        "(par défaut : vide)");
    commands.push_back({sub, [o, null, csv] {
                            if (null->count() > 0 && csv->count() == 0 &&
                                o->format.name != "csv" && o->format.name != "tsv") {
                                cliError("--null ne s'emploie qu'avec --csv ou --format csv ou "
                                         "tsv.");
                                return CLI_USAGE;
                            }
                            o->format.nullText = o->null;
                            o->nullGiven = null->count() > 0;
                            if (!readFormatDelimiter(o->delimiterText, o->format))
                                return CLI_USAGE;
                            return commandQuery(*o);
                        }});
}

}  // namespace morvex

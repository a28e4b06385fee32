// morvexcli load: loads a description's data file into an SQLite database (a file, or
// ":memory:" to measure a load), with the catalogue tables, as the main window's data menu does.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "appcore/application.h"
#include "appcore/loadsummary.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/datafiles.h"
#include "sqliteload/loadrows.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"
#include "foundation/owned.h"
#include "pgload/pgload.h"

namespace morvex {
namespace {

// Releases the SQLite library when the command ends.
// Options of `load`.
struct LoadOptions {
    std::string desc;      // the .fyk description
    std::string database;  // the SQLite database file, ":memory:", or a PostgreSQL connection
    std::vector<std::string> data;  // the data files and patterns (none: the example file)
    std::string sourceColumn;       // the column of each row's file name (empty: none)
    int batch = 0;         // rows between two progress reports (0: the setting)
    std::string table;     // table to create (empty: the description's)
    std::string rejects;   // CSV file of the rows set aside (empty: none)
    int maxRejects = -1;   // rows set aside past which the load fails (-1: no limit)
    std::string mode;      // replace, create, append, upsert (empty: LOADMODE_DEFAULT)
    bool keys = false;     // primary key, indexes and NOT NULL on the table created
    std::string schema;    // PostgreSQL schema (empty: the description's, else public)
};

// Loads the data file of `o.desc` into `o.database`; prints the final report.
int commandLoad(const LoadOptions& o) {
    if (o.table.size() > static_cast<size_t>(FILEDESC_NAME_MAX)) {
        cliError("Nom de table trop long (" + std::to_string(FILEDESC_NAME_MAX) +
                 " caractères au plus) : '" + o.table + "'.");
        return CLI_USAGE;
    }
    DataFileList files;
    if (!expandDataFiles(o.data, files)) return CLI_USAGE;
    DescPtr desc = openDescription(o.desc);
    if (!desc) return CLI_FAILURE;
    if (files.paths.empty()) {
        files.paths.push_back(dataFileOf(*desc, ""));
        files.names.push_back(std::filesystem::path(files.paths[0]).filename().string());
    }
    // Standard input or a named pipe: read once as it comes, each file as one alone.
    std::vector<std::unique_ptr<StreamInput>> streams;
    for (std::string& path : files.paths) {
        streams.push_back(std::make_unique<StreamInput>());
        if (!prepareStreamedDataFile(path, *streams.back())) return CLI_FAILURE;
    }
    const std::string& data = files.paths[0];
    if (!o.sourceColumn.empty()) {
        if (const std::string refusal = loadrows::AddSourceColumn(desc.get(), o.sourceColumn);
            !refusal.empty()) {
            cliError("--source-column : " + refusal + ".");
            return CLI_USAGE;
        }
    }
    const bool postgresql = PGLOAD_IsConnection(o.database);
    SqliteLibrary library = postgresql ? SqliteLibrary() : loadSqlite();
    if (!postgresql && !library) return CLI_FAILURE;

    // The description is changed in memory only: the .fyk file stays as it is. A connection
    // string is never written into the catalogue (it may hold a password).
    FILEDESC_SetExampleFilePath(desc.get(), data.c_str());
    if (!postgresql) FILEDESC_SetDatabaseFilePath(desc.get(), o.database.c_str());
    if (!o.table.empty()) snprintf(desc->TableName, sizeof desc->TableName, "%s", o.table.c_str());
    if (desc->TableName[0] == '\0') strcpy(desc->TableName, "datafile");
    const int batch = o.batch > 0                     ? o.batch
                      : gcontexte.sqliteBatchSize > 0 ? static_cast<int>(gcontexte.sqliteBatchSize)
                                                      : SQLITE4FYK_DEFAULT_BATCH_SIZE;

    CliUiPort& port = static_cast<CliUiPort&>(uiPort());
    port.finalEvent = 0;
    SQLITE4FYK_LOADSTATS st{};
    SQLITE4FYK_LOADOPTIONS options;
    options.dataPath = data;
    options.moreDataPaths.assign(files.paths.begin() + 1, files.paths.end());
    options.dataNames = files.names;
    options.sourceColumn = o.sourceColumn;
    options.rejectsPath = o.rejects;
    options.maxRejects = o.maxRejects;
    options.mode = o.mode.empty() ? LOADMODE_DEFAULT : LOADMODE_Parse(o.mode);
    options.keys = o.keys;
    PGLOAD_OPTIONS pgOptions{options, o.schema};
    const int ran = postgresql ? PGLOAD_RunLoadTask(desc.get(), o.database.c_str(), batch, &st,
                                                    &pgOptions)
                               : SQLITE4FYK_RunLoadTask(desc.get(), o.database.c_str(), batch,
                                                        &st, &options);
    if (ran != 0) {
        cliError("Impossible de préparer le chargement.");
        return CLI_FAILURE;
    }
    if (st.status != SQLITE4FYK_LOAD_DONE || port.finalEvent != TASK_EVENT_FINISHED) {
        // An interrupted or failed task has already been told by the port.
        if (port.finalEvent != TASK_EVENT_INTERRUPTED && port.finalEvent != TASK_EVENT_NOT_STARTED)
            cliError("Le chargement a échoué.");
        return CLI_FAILURE;
    }
    const std::string out = port.finalMessage + "\n" + LOAD_FilesSummary(st) +
                            LOAD_Summary(st, o.rejects, " ; --rejects ou --max-rejects les écarte");
    return writeOut(out) ? CLI_OK : CLI_FAILURE;
}

}  // namespace

void addLoadCommand(CLI::App& app, CliCommands& commands) {
    auto o = std::make_shared<LoadOptions>();
    CLI::App* sub = app.add_subcommand(
        "load",
        "Charge le fichier de données dans une base SQLite (fichier ou :memory:) ou PostgreSQL");
    sub->add_option("description", o->desc, "Fichier de description .fyk")->required();
    sub->add_option("base", o->database,
                    "Base SQLite à écrire (:memory: : base en mémoire), ou connexion PostgreSQL "
                    "(postgresql://… ou \"host=… dbname=…\" ; le mot de passe vient de "
                    "~/.pgpass ou PGPASSWORD)")
        ->required();
    sub->add_option("--schema", o->schema,
                    "Schéma PostgreSQL de la table (par défaut : celui de la description, sinon "
                    "public)");
    sub->add_option("--data", o->data,
                    "Fichier de données (par défaut : le fichier exemple) ; répétable, et motif "
                    "('ventes_*.csv', fichiers pris par ordre de nom) : tous vont dans la même "
                    "table, en une seule transaction")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    sub->add_option("--source-column", o->sourceColumn,
                    "Ajoute à la table une colonne de ce nom (texte, après celles de la "
                    "description) qui reçoit le nom du fichier de chaque ligne");
    sub->add_option("--batch", o->batch,
                    "Lignes entre deux points d'avancement (par défaut : sqliteBatchSize)")
        ->check(CLI::PositiveNumber);
    sub->add_option("--table", o->table, "Table à créer (par défaut : celle de la description)");
    sub->add_option("--rejects", o->rejects,
                    "Fichier CSV des lignes écartées (ligne, colonne, motif) ; les lignes sans une "
                    "valeur par colonne ou avec une valeur non conforme sont alors écartées");
    sub->add_option("--max-rejects", o->maxRejects,
                    "Au-delà de N lignes écartées ou rejetées, le chargement s'arrête et est "
                    "annulé (statut 1) ; comme --rejects, écarte les lignes non conformes")
        ->check(CLI::NonNegativeNumber);
    sub->add_option("--mode", o->mode,
                    "Sort de la table : replace (supprimée puis recréée), create (refusée si elle "
                    "existe), append (complétée : elle doit avoir les colonnes de la description), "
                    "upsert (les lignes de même clé primaire remplacées) ; sans --mode, une table "
                    "chargée depuis une description est remplacée et toute autre refusée")
        ->check(CLI::IsMember({"replace", "create", "append", "upsert"}));
    sub->add_flag("--keys", o->keys,
                  "Crée la table avec la clé primaire, les index et les colonnes obligatoires "
                  "(NOT NULL) de la description ; les lignes qui les enfreignent sont rejetées");
    commands.push_back({sub, [o] { return commandLoad(*o); }});
}

}  // namespace morvex

// morvexcli mssql: the SQL Server scripts of a description, as the main window's data menu and
// its SQL Server generation parameters window write them.
//
//   mssql insert DESC OUT.sql [--data FILE] [--row-number]     the INSERT script of a data file
//   mssql format|bulk|update|all DESC [options]               the files of the parameters
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "mssql/mssql.h"

namespace morvex {
namespace {

// Options of `mssql insert`.
struct InsertOptions {
    std::string desc;        // the .fyk description
    std::string script;      // the script to write
    std::string data;        // the data file (empty: the description's example file)
    bool rowNumber = false;  // FileRowID with the data file's line number first
};

// Options of the parameter commands: every text left empty keeps the record's value.
struct ParamOptions {
    std::string desc;          // the .fyk description
    std::string prm;           // parameter file read first (empty: the defaults)
    std::string database;      // database name
    std::string table;         // table name
    std::string dataFile;      // data file named by the BULK INSERT
    std::string formatFile;    // format file path
    std::string bulkScript;    // BULK INSERT script path
    std::string updateScript;  // update script path
    std::string savePrm;       // parameter file to write with the resulting record
};

int commandInsert(const InsertOptions& o) {
    DescPtr desc = openDescription(o.desc);
    if (!desc) return CLI_FAILURE;
    const std::string data = dataFileOf(*desc, o.data);
    if (!checkDataFile(data)) return CLI_FAILURE;
    UiError refusal;
    const int rows = MSSQL_SendDataToSQLServer(desc.get(), data.c_str(), o.script.c_str(),
                                               o.rowNumber, &refusal);
    if (!refusal.empty()) {
        // No table name, or a name the scripts cannot hold.
        showError(refusal);
        return CLI_FAILURE;
    }
    if (rows == -2) {
        cliError("Impossible d'écrire le script '" + o.script + "'.");
        return CLI_FAILURE;
    }
    if (rows < 0) {
        cliError("Impossible de lire le fichier de données '" + data + "'.");
        return CLI_FAILURE;
    }
    return writeOut(std::to_string(rows) + " lignes écrites dans le script '" + o.script + "'.\n")
               ? CLI_OK
               : CLI_FAILURE;
}

// Copies `value` into a slot of `size` bytes unless it is empty; false when it does not fit.
bool setSlot(char* slot, size_t size, const std::string& value, const char* option) {
    if (value.empty()) return true;
    if (value.size() > size - 2) {
        cliError(std::string("Valeur trop longue pour ") + option + " (" +
                 std::to_string(size - 2) + " caractères au plus) : '" + value + "'.");
        return false;
    }
    snprintf(slot, size, "%s", value.c_str());
    return true;
}

// The generation parameters: the defaults or the --prm file, then the options. CLI_OK, or the
// status to exit with.
int buildParams(const ParamOptions& o, MSSQL_PARAMS* p) {
    MSSQL_InitParams(p);
    if (!o.prm.empty() && ChargerParametres(p, o.prm.c_str()) != 0) {
        cliError("Impossible d'ouvrir le fichier '" + o.prm + "'.");
        return CLI_FAILURE;
    }
    const bool fits =
        setSlot(p->nomBase, sizeof p->nomBase, o.database, "--database") &&
        setSlot(p->nomTable, sizeof p->nomTable, o.table, "--table") &&
        setSlot(p->fichierDonnees, sizeof p->fichierDonnees, o.dataFile, "--data-file") &&
        setSlot(p->fichierFormat, sizeof p->fichierFormat, o.formatFile, "--format-file") &&
        setSlot(p->scriptBCP, sizeof p->scriptBCP, o.bulkScript, "--bulk-script") &&
        setSlot(p->scriptMAJ, sizeof p->scriptMAJ, o.updateScript, "--update-script");
    return fits ? CLI_OK : CLI_USAGE;
}

int commandGenerate(const ParamOptions& o, const std::string& which) {
    MSSQL_PARAMS p{};
    if (const int status = buildParams(o, &p); status != CLI_OK) return status;
    DescPtr desc = openDescription(o.desc);
    if (!desc) return CLI_FAILURE;
    if (!o.savePrm.empty() && EnregistrerParametres(&p, o.savePrm.c_str()) != 0) {
        cliError("Impossible d'ouvrir le fichier '" + o.savePrm + "'.");
        return CLI_FAILURE;
    }
    // In the order of the parameters window's "Générer" button.
    const struct {
        const char* name;                                 // subcommand
        int (*generate)(const MSSQL_PARAMS*, FileDesc*, MSSQL_TOLD*);  // the generation
        const char* path;                                 // the file it writes
        const char* failure;                              // message when it fails
    } steps[] = {
        {"format", MSSQL_GenererFichierFormat, p.fichierFormat,
         "Erreur lors de la génération du fichier de format."},
        {"bulk", MSSQL_GenererFichierBCP, p.scriptBCP,
         "Erreur lors de la génération du script de BULK INSERT."},
        {"update", MSSQL_GenererScriptMAJ, p.scriptMAJ,
         "Erreur lors de la génération du script de mise à jour."},
    };
    int status = CLI_OK;
    std::string out;
    for (const auto& step : steps) {
        if (which != "all" && which != step.name) continue;
        MSSQL_TOLD told;
        const int failed = step.generate(&p, desc.get(), &told);
        for (const UiError& message : told) showError(message);
        if (failed != 0) {
            cliError(step.failure);
            status = CLI_FAILURE;
            continue;
        }
        out += std::string(step.path) + "\n";
    }
    if (!writeOut(out)) return CLI_FAILURE;
    return status;
}

void addParamOptions(CLI::App* sub, ParamOptions& o) {
    sub->add_option("description", o.desc, "Fichier de description .fyk")->required();
    sub->add_option("--prm", o.prm,
                    "Fichier de paramètres .prm (par défaut : les valeurs "
                    "d'origine)");
    sub->add_option("--database", o.database, "Base de donnée");
    sub->add_option("--table", o.table, "Table");
    sub->add_option("--data-file", o.dataFile, "Fichier de données chargé par le BULK INSERT");
    sub->add_option("--format-file", o.formatFile, "Fichier de format");
    sub->add_option("--bulk-script", o.bulkScript, "Script d'import BULK INSERT");
    sub->add_option("--update-script", o.updateScript, "Script de mise à jour de la table");
    sub->add_option("--save-prm", o.savePrm, "Enregistre les paramètres obtenus dans ce fichier");
}

}  // namespace

void addMssqlCommand(CLI::App& app, CliCommands& commands) {
    CLI::App* mssql = app.add_subcommand("mssql", "Scripts SQL Server de la description");
    mssql->require_subcommand(1);

    auto insert = std::make_shared<InsertOptions>();
    CLI::App* ins = mssql->add_subcommand(
        "insert", "Script SQL Server : création de la table et un INSERT par ligne de données");
    ins->add_option("description", insert->desc, "Fichier de description .fyk")->required();
    ins->add_option("script", insert->script, "Script SQL à écrire")->required();
    ins->add_option("--data", insert->data, "Fichier de données (par défaut : le fichier exemple)");
    ins->add_flag("--row-number", insert->rowNumber,
                  "Ajoute la colonne FileRowID (numéro de ligne du fichier)");

    auto params = std::make_shared<ParamOptions>();
    const struct {
        const char* name;
        const char* help;
    } generations[] = {
        {"format", "Fichier de format BCP"},
        {"bulk", "Script de chargement BULK INSERT dans la table bcp_<table>"},
        {"update", "Script de mise à jour de la table depuis la table bcp_<table>"},
        {"all", "Les trois fichiers, dans l'ordre du bouton Générer"},
    };
    std::vector<CLI::App*> subs;
    for (const auto& g : generations) {
        CLI::App* sub = mssql->add_subcommand(g.name, g.help);
        addParamOptions(sub, *params);
        subs.push_back(sub);
    }
    commands.push_back({mssql, [insert, params, ins, subs]() -> int {
                            if (ins->parsed()) return commandInsert(*insert);
                            for (CLI::App* sub : subs)
                                if (sub->parsed()) return commandGenerate(*params, sub->get_name());
                            return CLI_USAGE;
                        }});
}

}  // namespace morvex

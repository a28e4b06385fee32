#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/descview.h"
#include "filedesc/filedesc.h"

namespace fs = std::filesystem;

namespace morvex {
namespace {

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

int commandShow(const std::string& path, bool asJson) {
    DescPtr desc = openDescription(path);
    if (!desc) return CLI_FAILURE;
    std::string text = asJson ? dumpJson(descriptionToJson(*desc)) : descriptionToTable(*desc);
    return writeOut(text) ? CLI_OK : CLI_FAILURE;
}

int commandConvert(const std::string& in, const std::string& out) {
    DescPtr desc;
    if (lowerExtension(in) == ".for") {
        if (!isRegularFile(in)) {
            cliError("Le fichier de format '" + in + "' n'existe pas ou n'est pas un fichier.");
            return CLI_FAILURE;
        }
        std::string name = fs::path(in).stem().string();
        desc.reset(FILEDESC_CreateFileDesc(name.c_str(), nullptr, 2, "\\r\\n", ";"));
        if (!desc || ChargerFormat(desc.get(), in.c_str()) != 0) {
            cliError("Impossible de lire le fichier de format '" + in + "'.");
            return CLI_FAILURE;
        }
    } else {
        desc = openDescription(in);
        if (!desc) return CLI_FAILURE;
    }
    if (!saveDescription(desc.get(), out)) return CLI_FAILURE;
    printf("(i) %i colonne(s) écrite(s) dans '%s'\n", static_cast<int>(desc->columns.size()),
           out.c_str());
    return CLI_OK;
}

void addShowCommand(CLI::App& app, CliCommands& commands) {
    auto path = std::make_shared<std::string>();
    auto asJson = std::make_shared<bool>(false);
    CLI::App* sub = app.add_subcommand("show", "Affiche une description (.fyk)");
    sub->add_option("description", *path, "Fichier de description .fyk")->required();
    sub->add_flag("--json", *asJson, "Sortie JSON avec les noms de champs des enregistrements");
    commands.push_back({sub, [path, asJson] { return commandShow(*path, *asJson); }});
}

void addConvertCommand(CLI::App& app, CliCommands& commands) {
    auto in = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand(
        "convert", "Réécrit une description (.fyk, ou colonnes .for migrées) au format courant");
    sub->add_option("source", *in, "Description .fyk ou fichier de colonnes .for")->required();
    sub->add_option("cible", *out, "Description .fyk à écrire")->required();
    commands.push_back({sub, [in, out] { return commandConvert(*in, *out); }});
}

}  // namespace morvex

#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cliport.h"
#include "cli/descview.h"
#include "filedesc/filedesc.h"

namespace fs = std::filesystem;

namespace morvex {
namespace {

struct DescCloser {
    void operator()(FileDesc* d) const { FILEDESC_CloseFileDesc(d); }
};
using DescPtr = std::unique_ptr<FileDesc, DescCloser>;

bool isReadableFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Opens a .fyk description; an error message and nullptr when it cannot be read.
DescPtr openDescription(const std::string& path) {
    if (!isReadableFile(path)) {
        cliError("Le fichier de description '" + path + "' n'existe pas ou n'est pas un fichier.");
        return nullptr;
    }
    DescPtr desc(FILEDESC_OpenFileDesc(path.c_str()));
    if (!desc) cliError("Impossible d'ouvrir le fichier de description '" + path + "'.");
    return desc;
}

bool writeAll(const std::string& text) {
    return fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0;
}

}  // namespace

int commandShow(const std::string& path, bool asJson) {
    DescPtr desc = openDescription(path);
    if (!desc) return CLI_FAILURE;
    std::string text = asJson ? dumpJson(descriptionToJson(*desc)) : descriptionToTable(*desc);
    if (!writeAll(text)) {
        cliError("Erreur d'écriture sur la sortie standard.");
        return CLI_FAILURE;
    }
    return CLI_OK;
}

int commandConvert(const std::string& in, const std::string& out) {
    DescPtr desc;
    if (lowerExtension(in) == ".for") {
        if (!isReadableFile(in)) {
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
    // Written beside the target first, then renamed: a failed write never leaves a truncated
    // description in place of a good one.
    std::string temp = out + ".tmp";
    if (FILEDESC_SaveToFile(desc.get(), temp.c_str()) != 0) {
        std::error_code ec;
        fs::remove(temp, ec);
        cliError("Impossible d'écrire le fichier de description '" + out + "'.");
        return CLI_FAILURE;
    }
    std::error_code ec;
    fs::rename(temp, out, ec);
    if (ec) {
        fs::remove(temp, ec);
        cliError("Impossible d'écrire le fichier de description '" + out + "'.");
        return CLI_FAILURE;
    }
    FILEDESC_SetFileName(desc.get(), out.c_str());
    printf("(i) %i colonne(s) écrite(s) dans '%s'\n", LDCG_Count(desc->columns), out.c_str());
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

// morvexcli import-text: columns of a description from a table description written as text.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "appcore/textimport.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/descview.h"
#include "foundation/inputfile.h"

namespace fs = std::filesystem;

namespace morvex {

int commandImportText(const std::string& descPath, const std::string& layoutPath, bool noZrt,
                      const std::string& textPath) {
    std::string text;
    std::string error;
    if (textPath.empty() || textPath == "-") {
        // Standard input, read up to one byte past the limit, so that a larger text is told.
        char buffer[65536];
        size_t got = 0;
        while (text.size() <= TXTDESC_TEXT_MAX &&
               (got = fread(buffer, 1, sizeof buffer, stdin)) > 0)
            text.append(buffer, got);
        if (ferror(stdin)) {
            cliError("Impossible de lire le texte sur l'entrée standard.");
            return CLI_FAILURE;
        }
        if (text.size() > TXTDESC_TEXT_MAX) {
            cliError("Le texte de l'entrée standard dépasse la taille permise (" +
                     byteCountText(TXTDESC_TEXT_MAX) + ").");
            return CLI_FAILURE;
        }
    } else if (!readInputFile(textPath.c_str(), TXTDESC_TEXT_MAX, text, &error,
                              "Le fichier texte")) {
        cliError(error);
        return CLI_FAILURE;
    }

    DescPtr desc;
    std::error_code ec;
    if (fs::exists(descPath, ec)) {
        desc = openDescription(descPath);
    } else {
        // A new description, named after its file.
        std::string name = fs::path(descPath).stem().string();
        desc.reset(FILEDESC_CreateFileDesc(name.c_str(), descPath.c_str(), 2, "\\r\\n", ";"));
        if (!desc) cliError("Impossible de créer la description '" + descPath + "'.");
    }
    if (!desc) return CLI_FAILURE;

    if (TXTDESC_Import(desc.get(), text.data(), text.size(), layoutPath.c_str(), noZrt ? 0 : 1) !=
        0)
        return CLI_FAILURE;  // the message box already told why
    if (!saveDescription(desc.get(), descPath)) return CLI_FAILURE;
    return writeOut(descriptionToTable(*desc)) ? CLI_OK : CLI_FAILURE;
}

void addImportTextCommand(CLI::App& app, CliCommands& commands) {
    auto desc = std::make_shared<std::string>();
    auto layout = std::make_shared<std::string>();
    auto noZrt = std::make_shared<bool>(false);
    auto file = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand(
        "import-text", "Ajoute à une description les colonnes d'une description textuelle");
    sub->add_option("description", *desc, "Description .fyk (créée si elle n'existe pas)")
        ->required();
    sub->add_option("--layout", *layout,
                    "Description .fyk du format du texte (NAME, DESCRIPTION, "
                    "TYPE, SIZE)")
        ->required();
    sub->add_flag("--no-zrt", *noZrt, "Ne pas appliquer les règles de correction ZRT");
    sub->add_option("fichier", *file, "Texte à importer (par défaut : l'entrée standard)");
    commands.push_back({sub, [=] { return commandImportText(*desc, *layout, *noZrt, *file); }});
}

}  // namespace morvex

// morvexcli dict: the data dictionary without its window (list, show, add, apply).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "appcore/application.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/descview.h"
#include "datadic/datadicxml.h"
#include "datadic/dico.h"

using json = nlohmann::json;

namespace morvex {
namespace {

std::string dictionaryPath(const std::string& option) {
    return option.empty() ? DICO_DefaultPath(gcontexte.dictionnariesDirectory) : option;
}

// Opens the dictionary; nullptr (message written) when it cannot be, or when `forSaving` and
// the existing file could not be read (it would be replaced by an empty dictionary).
DATADIC* openDictionary(const std::string& path, bool forSaving) {
    bool unreadable = false;
    morvex::UiError error;
    DATADIC* dic = DICO_Open(path.c_str(), &unreadable, nullptr, &error);
    if (!dic) {
        morvex::showError(error);
        return nullptr;
    }
    if (unreadable && forSaving) {
        cliError("Le dictionnaire '" + path +
                 "' est illisible : il n'est pas remplacé (voir le fichier de log).");
        return nullptr;
    }
    if (unreadable)
        fprintf(stderr, "(!) Le dictionnaire '%s' est illisible : dictionnaire vide.\n",
                path.c_str());
    return dic;
}

json columnJson(const ColumnDesc& c) {
    return json{{"Position", c.Position},
                {"code", c.code},
                {"Description", c.Description},
                {"WidthInChars", c.WidthInChars},
                {"type", c.typeCible.type},
                {"typeName", typeName(c.typeCible)},
                {"format", typeFormat(c.typeCible)},
                {"IgnoreColumn", c.IgnoreColumn},
                {"FieldCannotBeNull", c.FieldCannotBeNull},
                {"DelimCharStart", charText(c.DelimCharStart)},
                {"DelimCharEnd", charText(c.DelimCharEnd)},
                {"StartPosition", c.StartPosition},
                {"EndPosition", c.EndPosition}};
}

std::string columnText(const ColumnDesc& c) {
    std::string s = std::string("code=") + c.code + "  largeur=" + std::to_string(c.WidthInChars) +
                    "  type=" + typeName(c.typeCible);
    std::string format = typeFormat(c.typeCible);
    if (!format.empty()) s += "  format=" + format;
    s += "  positions=" + std::to_string(c.StartPosition) + "-" + std::to_string(c.EndPosition);
    if (c.IgnoreColumn) s += "  ignorée";
    if (c.FieldCannotBeNull) s += "  obligatoire";
    if (c.DelimCharStart || c.DelimCharEnd)
        s += "  délimiteurs=" + charText(c.DelimCharStart) + "…" + charText(c.DelimCharEnd);
    if (c.Description[0]) s += "\n      description : " + std::string(c.Description);
    return s;
}

}  // namespace

int commandDictList(const std::string& dictOption, const std::string& search, bool asJson) {
    DicoCloser closer;
    const std::string path = dictionaryPath(dictOption);
    DATADIC* dic = openDictionary(path, false);
    if (!dic) return CLI_FAILURE;
    // Read from the compact objects: listing a large dictionary builds no element.
    DICO_SEARCHINDEX index;
    DICO_BuildSearchIndex(dic, &index);
    const std::vector<int> rows = DICO_SearchIndexed(index, search.c_str());
    std::string out;
    if (asJson) {
        json objects = json::array();
        DATADIC_REF scratch;
        for (int row : rows) {
            json tables = json::array();
            DATADIC_VisitReferencesAt(
                dic, row, &scratch, true,
                [](const DATADIC_REF* ref, void* list) {
                    static_cast<json*>(list)->push_back(ref->table);
                },
                &tables);
            objects.push_back({{"code", DATADIC_CodeAt(dic, row)},
                               {"description", DATADIC_DescriptionAt(dic, row)},
                               {"references", tables}});
        }
        out = dumpJson(json{
            {"name", dic->name}, {"file", path}, {"objects", objects}, {"count", rows.size()}});
    } else {
        std::vector<std::vector<std::string>> table{{"Nom", "Description", "Références"}};
        for (int row : rows)
            table.push_back({DATADIC_CodeAt(dic, row), DATADIC_DescriptionAt(dic, row),
                             DICO_ReferencesTextAt(dic, row)});
        size_t w0 = 0, w1 = 0;
        for (const auto& r : table) {
            w0 = std::max(w0, displayWidth(r[0]));
            w1 = std::max(w1, displayWidth(r[1]));
        }
        out = DICO_Title(dic) + "\n\n";
        for (const auto& r : table) {
            std::string line = padRight(r[0], w0) + "  " + padRight(r[1], w1) + "  " + r[2];
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out += line + "\n";
        }
        out += "\n" + DICO_FoundText(static_cast<int>(rows.size())) + "\n";
    }
    return writeOut(out) ? CLI_OK : CLI_FAILURE;
}

int commandDictShow(const std::string& dictOption, const std::string& code, bool asJson) {
    DicoCloser closer;
    DATADIC* dic = openDictionary(dictionaryPath(dictOption), false);
    if (!dic) return CLI_FAILURE;
    DATADIC_ELT* elt = DATADIC_SearchElt(dic, code.c_str());
    if (!elt) {
        cliError("L'objet '" + code + "' n'existe pas dans le dictionnaire.");
        return CLI_FAILURE;
    }
    std::string out;
    if (asJson) {
        json refs = json::array();
        for (LDCG_ELT* r = elt->references->first; r; r = r->next) {
            auto* ref = static_cast<DATADIC_REF*>(r->lParam1);
            refs.push_back({{"database", ref->database},
                            {"table", ref->table},
                            {"localColumn", columnJson(ref->localColumn)}});
        }
        out = dumpJson(json{{"code", elt->code},
                            {"description", elt->defaultColumn.Description},
                            {"defaultColumn", columnJson(elt->defaultColumn)},
                            {"references", refs}});
    } else {
        out = std::string("Objet             : ") + elt->code + "\n";
        out += std::string("Description       : ") + elt->defaultColumn.Description + "\n";
        out += "Définition par défaut\n    " + columnText(elt->defaultColumn) + "\n";
        out += "Références (" + std::to_string(LDCG_Count(elt->references)) + ")\n";
        for (LDCG_ELT* r = elt->references->first; r; r = r->next) {
            auto* ref = static_cast<DATADIC_REF*>(r->lParam1);
            out += std::string("  ") + ref->database + ".." + ref->table + "\n    " +
                   columnText(ref->localColumn) + "\n";
        }
    }
    return writeOut(out) ? CLI_OK : CLI_FAILURE;
}

int commandDictAdd(const std::string& dictOption, const std::string& descPath,
                   const std::vector<std::string>& columns) {
    DicoCloser closer;
    DescPtr desc = openDescription(descPath);
    if (!desc) return CLI_FAILURE;
    std::vector<ColumnDesc*> chosen;
    if (columns.empty()) {
        for (const ColumnOwner& column : desc->columns) chosen.push_back(column.get());
    }
    for (const std::string& code : columns) {
        ColumnDesc* c = FILEDESC_SearchColumn(desc.get(), code.c_str());
        if (!c) {
            cliError("La colonne '" + code + "' n'existe pas dans la description '" + descPath +
                     "'.");
            return CLI_FAILURE;
        }
        chosen.push_back(c);
    }
    const std::string path = dictionaryPath(dictOption);
    DATADIC* dic = openDictionary(path, true);
    if (!dic) return CLI_FAILURE;
    morvex::UiError error;
    for (ColumnDesc* c : chosen)
        if (DICO_AddObject(desc->DatabaseName, desc->TableName, c, &error) != 0) {
            morvex::showError(error);
            return CLI_FAILURE;
        }
    // The dictionary's folder may not exist yet (first use of the per-user data folder).
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    if (DICO_Save(dic, &error) != 0) {
        morvex::showError(error);
        return CLI_FAILURE;
    }
    printf("(i) %zu colonne(s) envoyée(s) au dictionnaire '%s' (%i objet(s))\n", chosen.size(),
           path.c_str(), LDCG_Count(dic->elements));
    return CLI_OK;
}

// The same code path as `edit --from-dictionary`: each object becomes the last column.
int commandDictApply(const std::string& dictOption, const std::string& descPath,
                     const std::vector<std::string>& codes) {
    EditRequest request{descPath, {}, false, false, dictOption};
    for (const std::string& code : codes)
        request.changes.push_back({"--from-dictionary", {code, ""}});
    return commandEdit(request);
}

void addDictCommand(CLI::App& app, CliCommands& commands) {
    CLI::App* dict = app.add_subcommand("dict", "Dictionnaire de données");
    dict->require_subcommand(1);
    auto dictFile = std::make_shared<std::string>();
    auto addDictOption = [dictFile](CLI::App* sub) {
        sub->add_option("--dict", *dictFile,
                        "Fichier du dictionnaire (par défaut : Dictionnaire.xml du répertoire des "
                        "dictionnaires des paramètres)");
    };

    auto search = std::make_shared<std::string>();
    auto listJson = std::make_shared<bool>(false);
    CLI::App* list = dict->add_subcommand("list", "Liste les objets du dictionnaire");
    list->add_option("--search", *search, "Texte recherché dans le nom ou la description");
    list->add_flag("--json", *listJson, "Sortie JSON");
    addDictOption(list);
    commands.push_back({list, [=] { return commandDictList(*dictFile, *search, *listJson); }});

    auto code = std::make_shared<std::string>();
    auto showJson = std::make_shared<bool>(false);
    CLI::App* show = dict->add_subcommand("show", "Affiche un objet et ses références");
    show->add_option("code", *code, "Nom de l'objet")->required();
    show->add_flag("--json", *showJson, "Sortie JSON");
    addDictOption(show);
    commands.push_back({show, [=] { return commandDictShow(*dictFile, *code, *showJson); }});

    auto addDesc = std::make_shared<std::string>();
    auto addColumns = std::make_shared<std::vector<std::string>>();
    CLI::App* add = dict->add_subcommand(
        "add", "Enregistre des colonnes d'une description dans le dictionnaire");
    add->add_option("description", *addDesc, "Fichier de description .fyk")->required();
    add->add_option("colonnes", *addColumns, "Colonnes à enregistrer (toutes par défaut)");
    addDictOption(add);
    commands.push_back({add, [=] { return commandDictAdd(*dictFile, *addDesc, *addColumns); }});

    auto applyDesc = std::make_shared<std::string>();
    auto applyCodes = std::make_shared<std::vector<std::string>>();
    CLI::App* apply = dict->add_subcommand(
        "apply", "Ajoute à une description la définition par défaut d'objets du dictionnaire");
    apply->add_option("description", *applyDesc, "Fichier de description .fyk")->required();
    apply->add_option("objets", *applyCodes, "Noms des objets")->required();
    addDictOption(apply);
    commands.push_back(
        {apply, [=] { return commandDictApply(*dictFile, *applyDesc, *applyCodes); }});
}

}  // namespace morvex

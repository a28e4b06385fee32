// morvexcli edit: every command of the description editor, scriptable. The changes are applied
// in the order of the command line through the editor's own functions (DESCEDIT_*), all or
// nothing: the first refusal leaves the file as it was.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/descview.h"
#include "datadic/dico.h"
#include "filedesc/analyse.h"

namespace morvex {
namespace {

// One kind of change: its option, the names of its arguments and what it does.
struct ChangeKind {
    const char* option;
    std::vector<const char*> args;
    const char* help;
};

const std::vector<ChangeKind>& changeKinds() {
    static const std::vector<ChangeKind> kinds = {
        {"--type",
         {"COL", "TYPE"},
         "Type cible (Integer, Decimal, Date, Datetime, FixedChar, VariableChar, Text, Boolean)"},
        {"--format", {"COL", "TEXTE"}, "Format du type (jj/mm/aaaa, 10,2, 30...)"},
        {"--width", {"COL", "N"}, "Largeur en caractères"},
        {"--start", {"COL", "N"}, "Premier caractère (largeur fixe ; la colonne précédente suit)"},
        {"--end", {"COL", "N"}, "Dernier caractère (largeur fixe ; la colonne suivante suit)"},
        {"--rename", {"COL", "CODE"}, "Nouveau code de la colonne"},
        {"--describe", {"COL", "TEXTE"}, "Description de la colonne"},
        {"--mandatory", {"COL"}, "Colonne obligatoire"},
        {"--optional", {"COL"}, "Colonne non obligatoire"},
        {"--ignore", {"COL"}, "Colonne ignorée"},
        {"--keep", {"COL"}, "Colonne non ignorée"},
        {"--quote", {"COL", "CAR"}, "Protection du champ par ce caractère (début et fin)"},
        {"--no-quote", {"COL"}, "Champ sans protection"},
        {"--move", {"COL", "POS"}, "Déplace la colonne à la position POS"},
        {"--add",
         {"CODE", "POS"},
         "Nouvelle colonne (chaîne variable, largeur 1) à la position POS"},
        {"--drop", {"COL"}, "Supprime la colonne"},
        {"--reanalyse",
         {"COL"},
         "Relance l'analyse des types de la colonne sur le fichier exemple"},
        {"--reanalyse-all", {"COL"}, "La même analyse sur le fichier exemple complet"},
        {"--pk", {"COL,..."}, "Clé primaire PK_<table> de ces colonnes (remplace l'actuelle)"},
        {"--no-pk", {}, "Supprime la clé primaire"},
        {"--index", {"NOM", "COL,..."}, "Nouvel index de ces colonnes"},
        {"--rename-index", {"ANCIEN", "NOUVEAU"}, "Renomme un index ou la clé primaire"},
        {"--drop-index", {"NOM"}, "Supprime un index (ou la clé primaire)"},
        {"--set",
         {"PROPRIETE=VALEUR"},
         "Propriété du projet : project, table, schema, database, description, example, sqlite, "
         "eol, delimiter (vide : largeur fixe), header, first-line, last-line, fixed-length, "
         "encoding, unquote (0, 1 ou le caractère), trim (0/1 : blancs de remplissage des "
         "textes ôtés)"},
        {"--to-dictionary", {"COL,..."}, "Enregistre ces colonnes dans le dictionnaire de données"},
        {"--from-dictionary",
         {"CODE", "POS"},
         "Ajoute l'objet du dictionnaire comme nouvelle colonne à la position POS"},
    };
    return kinds;
}

const ChangeKind* kindOf(const std::string& option) {
    for (const ChangeKind& k : changeKinds())
        if (option == k.option) return &k;
    return nullptr;
}

// The change as it was typed, to name it in a refusal.
std::string changeText(const EditChange& change) {
    std::string text = change.option;
    for (const std::string& a : change.args)
        text += " " + (a.find(' ') == std::string::npos && !a.empty() ? a : "'" + a + "'");
    return text;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        const size_t comma = text.find(',', begin);
        parts.push_back(text.substr(begin, comma - begin));
        if (comma == std::string::npos) return parts;
        begin = comma + 1;
    }
}

// A whole positive number, with or without a leading "#".
bool readCount(const std::string& text, int* out) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return isdigit(c & 0xFF); }))
        return false;
    *out = std::stoi(digits);
    return true;
}

// The target type named as `show` prints it or as the editor shows it; -1 when unknown.
int typeCode(const std::string& name) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(c & 0xFF));
        return s;
    };
    for (int t = DATATYPE_INTEGER; t <= DATATYPE_BOOLEAN; ++t) {
        TypeCible probe{};
        probe.type = t;
        if (lower(name) == lower(typeName(probe)) || lower(name) == lower(DESCEDIT_TypeName(t)))
            return t;
    }
    return -1;
}

// What is wrong with the way a change is written, before any is applied ("" when nothing).
std::string syntaxError(const EditChange& c) {
    const std::string& o = c.option;
    int n = 0;
    if ((o == "--width" || o == "--start" || o == "--end") && !readCount(c.args[1], &n))
        return "un nombre de caractères est attendu, pas '" + c.args[1] + "'";
    if ((o == "--move" || o == "--add" || o == "--from-dictionary") && !c.args[1].empty() &&
        (!readCount(c.args[1], &n) || n < 1))
        return "une position (1, 2... ou #1, #2...) est attendue, pas '" + c.args[1] + "'";
    if (o == "--type" && typeCode(c.args[1]) < 0)
        return "type inconnu '" + c.args[1] +
               "' (Integer, Decimal, Date, Datetime, FixedChar, VariableChar, Text, Boolean)";
    if (o == "--quote" && c.args[1].size() != 1)
        return "un seul caractère est attendu, pas '" + c.args[1] + "'";
    if (o == "--set") {
        const size_t eq = c.args[0].find('=');
        const std::vector<std::string> names = DESCEDIT_PropertyNames();
        if (eq == std::string::npos) return "PROPRIETE=VALEUR est attendu, pas '" + c.args[0] + "'";
        if (std::find(names.begin(), names.end(), c.args[0].substr(0, eq)) == names.end()) {
            std::string list;
            for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
            return "propriété inconnue '" + c.args[0].substr(0, eq) + "' (" + list + ")";
        }
    }
    return "";
}

// Applies the changes one after the other to a description in memory.
class Editor {
public:
    Editor(FileDesc* desc, std::string dictionary)
        : desc_(desc), dictionary_(std::move(dictionary)) {}

    // The refusal of the change ("" when it was made).
    std::string apply(const EditChange& c) {
        const std::string& o = c.option;
        if (o == "--no-pk") {
            DESCEDIT_RemovePrimaryKey(desc_);
            return "";
        }
        if (o == "--set") {
            const size_t eq = c.args[0].find('=');
            return DESCEDIT_SetProperty(desc_, c.args[0].substr(0, eq), c.args[0].substr(eq + 1));
        }
        if (o == "--add") {
            std::string tooLong =
                DESCEDIT_TextRefusal("Le code de la colonne", c.args[0], COLUMN_CODE_MAX);
            if (!tooLong.empty()) return tooLong;
            ColumnDesc fields = DESCEDIT_NewColumnFields(c.args[0].c_str());
            std::string refusal = DESCEDIT_ApplyDetail(desc_, nullptr, fields);
            return refusal.empty() ? moveLastTo(c.args[1]) : refusal;
        }
        if (o == "--from-dictionary") return fromDictionary(c.args[0], c.args[1]);
        if (o == "--index") {
            std::vector<ColumnDesc*> columns;
            std::string refusal = columnList(c.args[1], &columns);
            return refusal.empty() ? DESCEDIT_AddNamedIndex(desc_, c.args[0], columns) : refusal;
        }
        if (o == "--rename-index" || o == "--drop-index") {
            IndexDesc* index = DESCEDIT_FindIndex(desc_, c.args[0].c_str());
            if (!index)
                return "La description n'a ni index ni clé primaire nommé '" + c.args[0] + "'.";
            if (o == "--drop-index") {
                if (index == &desc_->primaryKey)
                    DESCEDIT_RemovePrimaryKey(desc_);
                else
                    DESCEDIT_RemoveIndex(desc_, index);
                return "";
            }
            std::string refusal = DESCEDIT_IndexNameRefusal(desc_, c.args[1]);
            if (refusal.empty()) DESCEDIT_RenameIndex(desc_, index, c.args[1].c_str());
            return refusal;
        }
        if (o == "--pk" || o == "--to-dictionary") {
            std::vector<ColumnDesc*> columns;
            std::string refusal = columnList(c.args[0], &columns);
            if (!refusal.empty()) return refusal;
            if (o == "--pk") return (DESCEDIT_SetPrimaryKey(desc_, columns), "");
            if (DESCEDIT_AddToDictionary(desc_, columns, dictionary_.c_str()) < 0)
                return "Le dictionnaire '" + dictionary_ + "' ne peut pas être ouvert.";
            dictionaryChanged = true;
            return "";
        }
        ColumnDesc* column = nullptr;
        std::string refusal = findColumn(c.args[0], &column);
        if (!refusal.empty()) return refusal;
        return applyToColumn(c, column);
    }

    bool dictionaryChanged = false;  // columns were sent to the dictionary

private:
    std::string applyToColumn(const EditChange& c, ColumnDesc* column) {
        const std::string& o = c.option;
        const std::string value = c.args.size() > 1 ? c.args[1] : "";
        int n = 0;
        readCount(value, &n);
        if (o == "--mandatory" || o == "--optional") {
            DESCEDIT_SetMandatory({column}, o == "--mandatory");
            return "";
        }
        if (o == "--ignore" || o == "--keep") {
            DESCEDIT_SetIgnore({column}, o == "--ignore");
            return "";
        }
        if (o == "--move") return DESCEDIT_MoveColumnTo(desc_, column, n);
        if (o == "--drop") return (DESCEDIT_DeleteColumns(desc_, {column}), "");
        if (o == "--start") return DESCEDIT_SetColumnStart(desc_, column, n);
        if (o == "--end") return DESCEDIT_SetColumnEnd(desc_, column, n);
        if (o == "--reanalyse" || o == "--reanalyse-all") {
            const int rows =
                o == "--reanalyse" ? FILEDESC_GetAnalyseMaxRows() : FILEDESC_ANALYSE_ALL_ROWS;
            std::string refusal =
                DESCEDIT_ReanalyseColumns(desc_, {column}, rows, FILEANALYSE_DETECTED);
            const int event = static_cast<CliUiPort&>(uiPort()).finalEvent;
            if (refusal.empty() &&
                (event == TASK_EVENT_INTERRUPTED || event == TASK_EVENT_NOT_STARTED))
                refusal = "L'analyse a été interrompue.";
            return refusal;
        }
        // What the detail panel edits: the column's fields, changed, then "Modifier".
        ColumnDesc fields = *column;
        if (o == "--type") {
            fields.typeCible.type = typeCode(value);
        } else if (o == "--format") {
            std::string refusal = DESCEDIT_FormatRefusal(fields.typeCible.type, value);
            if (!refusal.empty()) return refusal;
            DESCEDIT_ReadFormat(&fields.typeCible, value.c_str());
        } else if (o == "--width") {
            fields.WidthInChars = n;
        } else if (o == "--rename" || o == "--describe") {
            std::string refusal = DESCEDIT_ReadColumnTexts(
                &fields, o == "--rename" ? value : std::string(fields.code),
                o == "--describe" ? value : std::string(fields.Description));
            if (!refusal.empty()) return refusal;
        } else if (o == "--quote") {
            fields.protectedField = 1;
            fields.DelimCharStart = fields.DelimCharEnd = value[0];
        } else if (o == "--no-quote") {
            fields.protectedField = 0;
            fields.DelimCharStart = fields.DelimCharEnd = '\0';
        }
        return DESCEDIT_ApplyDetail(desc_, column, fields);
    }

    // A column by its code or by its position ("#3").
    std::string findColumn(const std::string& ref, ColumnDesc** column) {
        int n = 0;
        *column = !ref.empty() && ref[0] == '#' && readCount(ref, &n)
                      ? FILEDESC_SearchColumnByPos(desc_, n)
                      : FILEDESC_SearchColumn(desc_, ref.c_str());
        return *column ? "" : "La description n'a pas de colonne '" + ref + "'.";
    }

    std::string columnList(const std::string& refs, std::vector<ColumnDesc*>* columns) {
        for (const std::string& ref : splitList(refs)) {
            ColumnDesc* column = nullptr;
            std::string refusal = findColumn(ref, &column);
            if (!refusal.empty()) return refusal;
            columns->push_back(column);
        }
        return "";
    }

    // The column just appended moved to `position` (empty: it stays last).
    std::string moveLastTo(const std::string& position) {
        int n = 0;
        if (position.empty() || !readCount(position, &n)) return "";
        std::vector<ColumnDesc*> all = DESCEDIT_Columns(desc_);
        std::string refusal = DESCEDIT_MoveColumnTo(desc_, all.back(), n);
        if (!refusal.empty()) DESCEDIT_DeleteColumns(desc_, {all.back()});
        return refusal;
    }

    std::string fromDictionary(const std::string& code, const std::string& position) {
        DATADIC* dic = DICO_Current();
        if (!dic) {
            bool unreadable = false;
            morvex::UiError error;
            dic = DICO_Open(dictionary_.c_str(), &unreadable, nullptr, &error);
            morvex::showError(error);
            if (dic && unreadable)
                fprintf(stderr, "(!) Le dictionnaire '%s' est illisible : dictionnaire vide.\n",
                        dictionary_.c_str());
        }
        DATADIC_ELT* elt = dic ? DATADIC_SearchElt(dic, code.c_str()) : nullptr;
        if (!elt) return "L'objet '" + code + "' n'existe pas dans le dictionnaire.";
        if (DICO_ApplyElement(desc_, elt) != 0)
            return "La colonne '" + code + "' n'a pas pu être ajoutée.";
        return moveLastTo(position);
    }

    FileDesc* desc_;
    std::string dictionary_;
};

// The changes of a parsed command line, in its order: the parser lists an option once per
// value it took (once for a flag), so every N values of a change with N arguments are one.
int commandEditParsed(CLI::App& sub, EditRequest& request) {
    const std::vector<ChangeKind>& kinds = changeKinds();
    std::vector<size_t> taken(kinds.size(), 0);
    for (CLI::Option* opt : sub.parse_order()) {
        const ChangeKind* kind = kindOf(opt->get_name());
        if (!kind) continue;
        size_t& count = taken[static_cast<size_t>(kind - kinds.data())];
        const size_t n = kind->args.size();
        if (n > 0 && ++count % n != 0) continue;
        const std::vector<std::string>& values = opt->results();
        EditChange change{kind->option, {}};
        for (size_t a = count - n; a < count && a < values.size(); ++a)
            change.args.push_back(values[a]);
        request.changes.push_back(change);
    }
    for (size_t i = 0; i < kinds.size(); ++i) {
        const size_t n = kinds[i].args.size();
        if (n > 0 && taken[i] % n != 0) {
            std::string names;
            for (const char* a : kinds[i].args) names += std::string(" ") + a;
            cliError(std::string(kinds[i].option) + " attend " + std::to_string(n) +
                     " argument(s) :" + names + ".");
            return CLI_USAGE;
        }
    }
    return commandEdit(request);
}

}  // namespace

int commandEdit(const EditRequest& request) {
    DicoCloser closer;
    for (const EditChange& c : request.changes) {
        std::string error = syntaxError(c);
        if (!error.empty()) {
            cliError(changeText(c) + " : " + error + ".");
            return CLI_USAGE;
        }
    }
    DescPtr desc = openDescription(request.path);
    if (!desc) return CLI_FAILURE;
    const std::string dictionary = request.dictionary.empty()
                                       ? DICO_DefaultPath(gcontexte.dictionnariesDirectory)
                                       : request.dictionary;
    // What the editor's functions tell on the way never mixes with the description printed.
    static_cast<CliUiPort&>(uiPort()).panelToStderr = request.json || request.dryRun;
    Editor editor(desc.get(), dictionary);
    for (const EditChange& c : request.changes) {
        std::string refusal = editor.apply(c);
        if (!refusal.empty()) {
            cliError("Modification refusée (" + changeText(c) + ") : " + refusal + " Le fichier '" +
                     request.path + "' n'a pas été modifié.");
            return CLI_FAILURE;
        }
    }
    if (!request.dryRun) {
        // The dictionary is written once the description is ready to replace its file.
        auto saveDictionary = [&editor] {
            if (!editor.dictionaryChanged) return true;
            morvex::UiError error;
            const bool saved = DICO_Save(DICO_Current(), &error) == 0;
            morvex::showError(error);
            return saved;
        };
        if (!saveDescription(desc.get(), request.path, saveDictionary)) return CLI_FAILURE;
    }
    if (request.json || request.dryRun)
        return writeOut(request.json ? dumpJson(descriptionToJson(*desc))
                                     : descriptionToTable(*desc))
                   ? CLI_OK
                   : CLI_FAILURE;
    printf("(i) %zu modification(s) enregistrée(s) dans '%s'\n", request.changes.size(),
           request.path.c_str());
    return CLI_OK;
}

void addEditCommand(CLI::App& app, CliCommands& commands) {
    auto request = std::make_shared<EditRequest>();
    CLI::App* sub = app.add_subcommand(
        "edit",
        "Modifie une description comme l'éditeur de description : les modifications, dans "
        "l'ordre donné, toutes ou aucune. COL : code de la colonne ou position (#3)");
    sub->add_option("description", request->path, "Fichier de description .fyk")->required();
    std::vector<CLI::Option*> options;
    for (const ChangeKind& k : changeKinds()) {
        CLI::Option* opt = nullptr;
        if (k.args.empty()) {
            opt = sub->add_flag(k.option, k.help);
        } else {
            std::string names;
            for (const char* a : k.args) names += std::string(names.empty() ? "" : " ") + a;
            opt = sub->add_option(k.option, k.help)
                      ->expected(static_cast<int>(k.args.size()))
                      ->option_text(names)
                      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                      ->allow_extra_args(false);
        }
        opt->group("Modifications");
        options.push_back(opt);
    }
    sub->add_flag("--dry-run", request->dryRun, "Affiche la description modifiée sans rien écrire");
    sub->add_flag("--json", request->json, "Affiche la description modifiée en JSON");
    sub->add_option("--dict", request->dictionary,
                    "Fichier du dictionnaire (par défaut : Dictionnaire.xml du répertoire des "
                    "dictionnaires des paramètres)");
    commands.push_back({sub, [sub, request] { return commandEditParsed(*sub, *request); }});
}

}  // namespace morvex

#include "cli/clitexts.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <regex>

namespace morvex {
namespace {

// Edit distance between two words (insertions, deletions, substitutions).
size_t distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::vector<std::string> commandNames(const CLI::App* app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app->get_subcommands({}))
        if (!sub->get_name().empty()) names.push_back(sub->get_name());
    return names;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

// The parser's messages, as patterns over its English text, and their French.
struct Translation {
    std::regex pattern;
    const char* french;
};

const std::vector<Translation>& translations() {
    static const std::vector<Translation> table = [] {
        const std::pair<const char*, const char*> texts[] = {
            {"A subcommand is required", "Commande manquante"},
            {"Requires at least (\\d+) subcommands.*", "Il faut au moins $1 commandes"},
            {"(.+) is required", "$1 est obligatoire"},
            {"The following arguments? (?:was|were) not expected: (.*)",
             "Argument(s) inattendu(s) : $1"},
            {"Expected exactly (\\d+) arguments to (.+), got (\\d+)",
             "$2 attend $1 argument(s), $3 donné(s)"},
            {"Expected at least (\\d+) arguments to (.+), got (\\d+)",
             "$2 attend au moins $1 argument(s), $3 donné(s)"},
            {"(.+): At least (\\d+) required but received (\\d+)",
             "$1 attend au moins $2 valeur(s), $3 donnée(s)"},
            {"(.+): At Most (\\d+) required but received (\\d+)",
             "$1 attend au plus $2 valeur(s), $3 donnée(s)"},
            {"(.+): (\\d+) required (.*) missing", "$1 attend $2 valeur(s) $3"},
            {"(.+): too many inputs for a flag", "$1 ne prend pas de valeur"},
            {"(.+) was given a disallowed flag override", "$1 ne prend pas de valeur"},
            {"Could not convert: (.+) = (.*)", "Valeur invalide pour $1 : $2"},
            {"The value (.+) is not an allowed value for (.+)", "$1 n'est pas permis pour $2"},
            {"(.+): Value (.+) not in range .*", "$1 : valeur hors limites : $2"},
            {"(.+) excludes (.+)", "$1 exclut $2"},
            {"(.+) requires (.+)", "$1 nécessite $2"},
        };
        std::vector<Translation> t;
        for (const auto& [english, french] : texts) t.push_back({std::regex(english), french});
        return t;
    }();
    return table;
}

void renameGroups(CLI::App* app) {
    for (CLI::Option* opt : app->get_options())
        if (opt->get_group() == "Options") opt->group("Options");
    for (CLI::App* sub : app->get_subcommands({})) {
        if (sub->get_group() == "Subcommands") sub->group("Commandes");
        renameGroups(sub);
    }
}

}  // namespace

void useFrenchTexts(CLI::App& app) {
    app.set_help_flag("-h,--help", "Affiche cette aide et s'arrête");
    auto formatter = std::make_shared<CLI::Formatter>();
    const std::pair<const char*, const char*> labels[] = {
        {"Usage", "Utilisation"},
        {"OPTIONS", "OPTIONS"},
        {"SUBCOMMAND", "COMMANDE"},
        {"SUBCOMMANDS", "COMMANDES"},
        {"Positionals", "Arguments"},
        {"REQUIRED", "OBLIGATOIRE"},
        {"TEXT", "TEXTE"},
        {"INT", "ENTIER"},
        {"UINT", "ENTIER"},
        {"FLOAT", "NOMBRE"},
        {"Needs", "Nécessite"},
        {"Excludes", "Exclut"},
        {"Env", "Environnement"},
        {"INT:POSITIVE", "ENTIER>0"},
        {"INT:NONNEGATIVE", "ENTIER>=0"},
    };
    for (const auto& [english, french] : labels) formatter->label(english, french);
    app.formatter(formatter);
    app.failure_message(frenchFailure);
}

void useFrenchGroups(CLI::App& app) {
    renameGroups(&app);
}

std::string frenchFailure(const CLI::App* app, const CLI::Error& e) {
    const std::string english = e.what();
    std::string text = "Ligne de commande invalide";
    for (const Translation& t : translations())
        if (std::regex_match(english, t.pattern)) {
            text = std::regex_replace(english, t.pattern, t.french);
            break;
        }
    text = "(e) " + text + ".\n";
    if (english == "A subcommand is required") {
        // The command whose own command is missing: the deepest one given.
        for (bool deeper = true; deeper;) {
            deeper = false;
            for (const CLI::App* sub : app->get_subcommands({}))
                if (sub->parsed()) {
                    app = sub;
                    deeper = true;
                    break;
                }
        }
        text += "Commandes : " + joined(commandNames(app)) + "\n";
    }
    return text + "Lancez la commande avec --help pour plus d'informations.\n";
}

std::string unknownCommand(CLI::App& app, const std::vector<std::string>& args) {
    CLI::App* current = &app;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") return "";
        if (!word.empty() && word[0] == '-') {
            // An option with a value takes the next word.
            const CLI::Option* opt = current->get_option_no_throw(word);
            if (opt && opt->get_expected_min() > 0) ++i;
            continue;
        }
        const std::vector<std::string> names = commandNames(current);
        if (names.empty()) return "";
        if (std::find(names.begin(), names.end(), word) != names.end()) {
            current = current->get_subcommand(word);
            continue;
        }
        // A word of its own before the command (process DESC.fyk list).
        if (!current->get_options([](const CLI::Option* o) { return o->get_positional(); }).empty())
            continue;
        std::string closest = names.front();
        for (const std::string& n : names)
            if (distance(word, n) < distance(word, closest)) closest = n;
        std::string text = "Commande inconnue : '" + word + "'.";
        if (distance(word, closest) <= std::max<size_t>(2, closest.size() / 3))
            text += " Vouliez-vous dire '" + closest + "' ?";
        return text + "\nCommandes : " + joined(names);
    }
    return "";
}

namespace {

// The names other tools give to what an option of morvexcli does.
const std::pair<const char*, const char*> kOptionSynonyms[] = {
    {"--limit", "--rows"},      {"--head", "--rows"},       {"-n", "--rows"},
    {"--lines", "--rows"},      {"--sep", "--delimiter"},   {"--separator", "--delimiter"},
    {"-d", "--delimiter"},      {"--fs", "--delimiter"},    {"--out", "--output"},
    {"--input", "--data"},      {"--file", "--data"},       {"--charset", "--encoding"},
    {"--silent", "--quiet"},    {"--no-headers", "--no-header"},
};

// The option `name` means in `app` or the commands it belongs to (their options fall through).
const CLI::Option* findOption(const CLI::App* app, const std::string& name) {
    for (; app; app = app->get_parent())
        if (const CLI::Option* o = app->get_option_no_throw(name)) return o;
    return nullptr;
}

// Every name of every option `app` and the commands it belongs to know ("--rows", "-o").
std::vector<std::string> optionNames(const CLI::App* app) {
    std::vector<std::string> names;
    for (; app; app = app->get_parent())
        for (const CLI::Option* o : app->get_options()) {
            for (const std::string& l : o->get_lnames()) names.push_back("--" + l);
            for (const std::string& s : o->get_snames()) names.push_back("-" + s);
        }
    return names;
}

std::string closestOption(const CLI::App* app, const std::string& word) {
    const std::vector<std::string> names = optionNames(app);
    for (const auto& [other, ours] : kOptionSynonyms)
        if (word == other && std::find(names.begin(), names.end(), ours) != names.end()) return ours;
    // Help and version are never what a mistyped option meant.
    std::string closest;
    for (const std::string& n : names)
        if (n != "--help" && n != "-h" && n != "--version" &&
            (closest.empty() || distance(word, n) < distance(word, closest)))
            closest = n;
    const size_t letters = closest.size() - closest.find_first_not_of('-');
    if (!closest.empty() && distance(word, closest) <= std::max<size_t>(1, letters / 3))
        return closest;
    return "";
}

bool isWholeNumber(const std::string& text) {
    size_t i = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (!isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool takesWholeNumber(const CLI::Option* opt) {
    const std::string type = opt->get_type_name();
    return type.rfind("INT", 0) == 0 || type.rfind("UINT", 0) == 0;
}

}  // namespace

std::string unknownOption(CLI::App& app, const std::vector<std::string>& args) {
    const CLI::App* current = &app;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") return "";
        if (word.size() < 2 || word[0] != '-' || isWholeNumber(word)) {
            // A word: a command when it names one, else a value.
            for (const CLI::App* sub : current->get_subcommands({}))
                if (sub->get_name() == word) {
                    current = sub;
                    break;
                }
            continue;
        }
        const size_t equals = word.find('=');
        std::string name = word.substr(0, equals);
        // Short flags run together (-qv): each one must be known.
        if (name[1] != '-' && name.size() > 2 && equals == std::string::npos) {
            bool allFlags = true;
            for (size_t k = 1; k < name.size() && allFlags; ++k) {
                const CLI::Option* o = findOption(current, std::string("-") + name[k]);
                allFlags = o && o->get_expected_min() == 0;
            }
            if (allFlags) continue;
            const CLI::Option* first = findOption(current, name.substr(0, 2));
            if (first && first->get_expected_min() > 0) continue;  // -ofile
        }
        const CLI::Option* opt = findOption(current, name);
        if (!opt) {
            std::string text = "Option inconnue : " + name + ".";
            const std::string closest = closestOption(current, name);
            if (!closest.empty()) text += " Vouliez-vous dire " + closest + " ?";
            return text;
        }
        if (opt->get_expected_min() <= 0) continue;
        std::string value;
        if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            continue;  // the parser tells a missing value
        }
        if (takesWholeNumber(opt) && !isWholeNumber(value))
            return name + " : nombre entier attendu, reçu '" + value + "'";
    }
    return "";
}

}  // namespace morvex

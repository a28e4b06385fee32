#include "tallymor/helptext.h"

namespace morvex {

const char* const TALLYMOR_HOME_PAGE = "https://morvex-fylatek.example.org/";

namespace {

// One operator or unit list: the heading, then "symbol<separator>label\n" per entry.
struct Entry {
    const char* symbol;
    const char* label;
};

void AddList(std::vector<HelpRun>& runs, const char* heading,
             std::initializer_list<Entry> entries) {
    runs.push_back({HelpStyle::Bold, heading});
    std::string body;
    for (const Entry& e : entries) body += std::string(e.symbol) + "\t: " + e.label + "\n";
    runs.push_back({HelpStyle::Normal, body + "\n"});
}

}  // namespace

std::vector<HelpRun> HELPTEXT_Runs() {
    std::vector<HelpRun> runs;
    runs.push_back({HelpStyle::Bold, "Aide rapide de Tallymor\n\n"});
    runs.push_back(
        {HelpStyle::Normal,
         "Tallymor est une calculatrice évoluée permettant de saisir le calcul sous forme de "
         "texte. Cela permet d'avoir une bonne visibilité du calcul effectué, de corriger si "
         "nécessaire et modifier le calcul. Une gestion des variables (équivalent des mémoires) "
         "permet de manipuler facilement les calculs.\n\n"});
    runs.push_back({HelpStyle::Bold, "Exemple d'expression autorisée : \n"});
    // The kilo prefix is the lower-case "k", the only one the engine reads: the example works as
    // typed.
    runs.push_back(
        {HelpStyle::Normal,
         "ma_valeur = 12*-1+(2*3*(2-1)+sin(12))*(2%1.2G)-1e-1/1k+0b1001101+0xFAF012*-1\n\n"});

    AddList(runs, "Liste des opérateurs binaires : \n",
            {{"+", "Addition"},
             {"-", "Soustraction"},
             {"*", "Multiplication"},
             {"/", "Division"},
             {"^", "Puissance"},
             {"%", "Modulo"}});
    AddList(runs, "Liste des opérateurs unaires : \n",
            {{"+", "Positif"}, {"-", "Négatif"}, {"!", "Négation"}});
    AddList(runs, "Liste des opérateurs de comparaison : \n",
            {{"<", "Inférieur à"}, {">", "Supérieur à"}, {"==", "Egalité"}, {"!=", "Inégalité"}});
    AddList(runs, "Liste des opérateurs booléens : \n",
            {{"&", "ET binaire (AND)"}, {"|", "OU binaire (OR)"}, {"!", "NON binaire (NOT)"}});

    runs.push_back({HelpStyle::Bold, "Liste des fonctions internes : \n"});
    const Entry functions[] = {
        {"abs", "Valeur absolue"},
        {"acos", "Arc cosius"},
        {"asin", "Arc sinus"},
        {"atan", "Arc tangente"},
        {"cbrt", ""},
        {"ceil", ""},
        {"cos", "Cosinus"},
        {"cosh", "Cosinus hyperbolique"},
        {"exp", "Exponentielle"},
        {"floor", ""},
        {"log", "Logarithme"},
        {"log10", "Logarithme décimal"},
        {"round", "Arrondi"},
        {"sqrt", "Racine carrée"},
        {"sin", "Sinus"},
        {"sinh", "Sinus hyperbolique"},
        {"tan", "Tangente"},
        {"tanh", "Tangente hyperbolique"},
        {"trunc", "Troncation d'un nombre"},
    };
    std::string body;
    for (const Entry& f : functions)
        body += std::string(f.symbol) + "(valeur)\t: " + f.label + "\n";
    runs.push_back({HelpStyle::Normal, body});

    runs.push_back({HelpStyle::Bold, "\nNombres, bases, notations et unité : \n"});
    runs.push_back({HelpStyle::Normal,
                    "Les nombres utilisés peuvent être des entiers ou des flottants.\n"
                    "Les bases supportées sont :\n- Base décimale\n- Base hexadécimale\n"
                    "- Base binaire\n"});
    runs.push_back({HelpStyle::Bold, "\nExemple de notation pour la base hexadécimale :\n"});
    runs.push_back({HelpStyle::Normal, "0xFFFFFF\n0xABCDEF\n0x0A2B4C\n"});
    runs.push_back({HelpStyle::Bold, "\nExemple de notation pour la base binaire :\n"});
    runs.push_back({HelpStyle::Normal, "0b10010101\n"});
    runs.push_back({HelpStyle::Bold, "\nNotation scientifique :\n"});
    runs.push_back({HelpStyle::Normal,
                    "\nLes flottants et les entiers supportent la notation scientifique :\n"});
    runs.push_back({HelpStyle::Normal, "1E+2\n1E-2\n1.02E-12\n1.02E+12\n1.02E12\n1.02e12\n"});
    runs.push_back({HelpStyle::Normal,
                    "\nL'exposant peut être introduit indifféremment par \"E\" ou par \"e\".\n"});
    runs.push_back({HelpStyle::Normal,
                    "\nLes nombres peuvent aussi s'écrire avec une unité placée juste après "
                    "leur valeur.\n"});
    runs.push_back({HelpStyle::Bold, "\nExemple :\n"});
    runs.push_back({HelpStyle::Normal, "1k\n1.5k\n1.25G\n"});
    runs.push_back({HelpStyle::Normal, "\nLes unités supportées sont les suivantes : \n"});
    const Entry units[] = {
        {"a", "Atto"}, {"f", "Femto"}, {"p", "Pico"}, {"n", "Nano"}, {"µ ou u", "Micro"},
        {"m", "Mili"}, {"k", "Kilo"},  {"M", "Méga"}, {"G", "Giga"}, {"T", "Téra"},
    };
    body.clear();
    for (const Entry& u : units) body += std::string(u.symbol) + "\t : " + u.label + "\n";
    runs.push_back({HelpStyle::Normal, body});

    runs.push_back({HelpStyle::BoldRed,
                    "\nNOTE : Il est important de respecter la casse (Majucules et minuscules)\n"});
    runs.push_back({HelpStyle::Bold,
                    "\nLa dernière version de Tallymor est disponible sur le site de "
                    "Morvex Fylatek : "});
    runs.push_back({HelpStyle::Link, TALLYMOR_HOME_PAGE});
    runs.push_back({HelpStyle::Normal, "\n"});
    return runs;
}

std::string HELPTEXT_PlainText() {
    std::string text;
    for (const HelpRun& run : HELPTEXT_Runs()) text += run.text;
    return text;
}

}  // namespace morvex

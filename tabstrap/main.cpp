// tabstrap: reads the rows of a table (or of any query) through an ODBC data source and writes
// them as an SQL script of INSERT statements, to move a table's content to another database.
//
// Interactive: every question is asked on standard output and answered by one line of standard
// input; there are no command-line arguments. The end of standard input at any question ends
// the program (after releasing the connection). The exit status is always 0.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "foundation/version.h"
#include "tabstrap/console.h"
#include "tabstrap/odbcsource.h"
#include "tabstrap/script.h"

namespace {

// Longest answers kept, in characters.
constexpr std::size_t kDsnMax = 1024;
constexpr std::size_t kUserMax = 63;
constexpr std::size_t kPasswordMax = 63;
constexpr std::size_t kOutputFileMax = 259;
constexpr std::size_t kTableMax = 127;

// Answers shorter than this keep the default.
constexpr std::size_t kMinAnswer = 2;

// Ends the dialogue at the end of standard input: says why and releases the connection.
int EndOfInput(ODBCCONNEXION& cnx) {
    std::printf("\n(!) Fin de l'entree standard : arret du programme.\n");
    ODBC_Disconnect(&cnx);
    return 0;
}

// The whole dialogue; returns the exit status.
int RunDialogue(ODBCCONNEXION& cnx) {
    std::printf("\nTabstrap - %s - Octobre 2014", SCRIPT_AUTHOR);
    std::printf("\nBuild : 116 Oct  2 2014 18:21:46");

    std::string dsn, user, password;
    for (;;) {
        std::printf("\n(?) ODBC a utiliser : ");
        if (!CONSOLE_ReadLine(dsn, kDsnMax)) return EndOfInput(cnx);
        std::printf("\n(?) Identifiant : ");
        if (!CONSOLE_ReadLine(user, kUserMax)) return EndOfInput(cnx);
        std::printf("\n(?) Mot de passe : ");
        if (!CONSOLE_ReadLine(password, kPasswordMax, false, true)) return EndOfInput(cnx);
        std::printf("\n(i) Connexion a l'odbc...");
        const int failed = ODBC_Connect(&cnx, dsn.c_str(), user.c_str(), password.c_str());
        password.assign(password.size(), '\0');  // not kept longer than needed
        if (!failed) break;
        std::printf("\nERREUR : Impossible de se connecter a l'ODBC '%s'", dsn.c_str());
    }

    char directory[PATH_MAX] = "";
    if (!getcwd(directory, sizeof directory)) directory[0] = 0;
    std::printf("\n(i) Repertoire courant : '%s'", directory);
    std::string outputFile = "InsertStatements.sql";
    std::string answer;
    std::printf("\n(?) Nom du fichier en sortie [%s]: ", outputFile.c_str());
    if (!CONSOLE_ReadLine(answer, kOutputFileMax)) return EndOfInput(cnx);
    if (answer.size() >= kMinAnswer) outputFile = answer;

    std::printf("\n(i) Objets dans le catalogue :");
    ODBC_ListCatalogue(&cnx);

    std::string table = "#BaseTable#";
    std::printf(
        "\n(?) Nom de base et de la table pour l'ecriture du script (<base>..<table>) [%s]: ",
        table.c_str());
    if (!CONSOLE_ReadLine(answer, kTableMax)) return EndOfInput(cnx);
    if (answer.size() >= kMinAnswer) table = answer;

    std::string query;
    for (;;) {
        std::printf("\n(?) Requete a executer [SELECT * FROM %s;]: ", table.c_str());
        if (!CONSOLE_ReadLine(query, 0, true)) return EndOfInput(cnx);
        if (query.size() < kMinAnswer) query = "SELECT * FROM " + table;
        std::printf("(i) Execution de la requete");
        if (ODBC_Execute(&cnx, query.c_str()) == 0) break;
        std::printf("\nERREUR lors de l'execution de la requete : ABANDON");
    }
    ODBC_WriteScript(&cnx, outputFile.c_str(), table.c_str());

    std::printf("\n(i) Deconnexion de l'ODBC");
    ODBC_Disconnect(&cnx);
    std::printf("\nAppuyez sur Entree pour sortir.");
    CONSOLE_ReadLine(answer, 0);
    return 0;
}

}  // namespace

// What --help prints (also the source of the manual page).
constexpr const char* kHelp =
    "Utilisation : tabstrap\n"
    "Lit les lignes d'une table (ou d'une requête) par une source de données ODBC et les écrit\n"
    "en script SQL d'instructions INSERT, pour porter le contenu d'une table dans une autre\n"
    "base. Le programme pose ses questions sur la sortie standard (source ODBC, identifiant,\n"
    "mot de passe, fichier de sortie, table) et lit chaque réponse sur une ligne de l'entrée\n"
    "standard ; une réponse vide garde la valeur proposée. Le script s'appelle par défaut\n"
    "InsertStatements.sql.\n"
    "\n"
    "Options :\n"
    "      --help       affiche cette aide et s'arrête\n"
    "      --version    affiche la version et s'arrête\n";

int main(int argc, char** argv) {
    if (morvex::answerVersionOrHelp(argc, argv, "tabstrap", kHelp)) return 0;
    // Console text in large blocks when nobody watches it (the progress line is written for
    // every row); a terminal keeps its usual buffering.
    static char consoleBuffer[1 << 16];
    if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, consoleBuffer, _IOFBF, sizeof consoleBuffer);
    ODBCCONNEXION cnx;
    RunDialogue(cnx);
    std::fflush(stdout);
    return 0;
}

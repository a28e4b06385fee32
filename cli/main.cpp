// morvexcli: every capability of the tool set, scriptable.
//
// Trace lines go to the log file (logs directory of the settings, or --log FILE), never to the
// terminal; results go to standard output; errors to standard error in French (status 1);
// usage errors exit with status 2.
#include <CLI/CLI.hpp>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "appcore/application.h"
#include "cli/cliport.h"
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/version.h"

namespace {

// Reads the settings (their own trace is kept and replayed into the log once it is open), then
// sends the trace into the log file.
void startLogging(const std::string& logOption, bool verbose) {
    std::string early;
    {
        morvex::TraceCapture capture;
        memset(&gcontexte, 0, sizeof gcontexte);
        APPLICATION_LoadRegister(nullptr, &gcontexte);
        early = capture.text();
    }
    std::string logPath = logOption;
    if (logPath.empty()) {
        logPath = morvex::logsDirectoryOf(gcontexte) + "/morvexcli.log";
    }
    std::string warning;
    const std::string opened = morvex::traceOpenLog(logPath, &warning);
    if (!warning.empty()) fprintf(stderr, "(!) %s\n", warning.c_str());
    if (opened.empty()) {
        fprintf(stderr, "(!) Impossible d'ouvrir le fichier de log '%s' : la trace est ignorée.\n",
                logPath.c_str());
        morvex::traceOpenFile("/dev/null");
        return;
    }
    logPath = opened;
    if (verbose) fprintf(stderr, "(i) Fichier de log : %s\n", logPath.c_str());
    morvex::trace("\n[morvexcli] Le fichier de log est [%s]", logPath.c_str());
    morvex::traceText(early.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // One malloc arena for every thread: a load's database thread then grows the heap by large
    // steps, not by one system call for each page of a large database (a quarter of its time).
    mallopt(M_ARENA_MAX, 1);
    CLI::App app{"morvexcli : décrire, inspecter et charger des fichiers plats (Morvex Fylatek)"};
    app.name("morvexcli");
    morvex::useFrenchTexts(app);
    app.require_subcommand(1);
    // The program's own options (--log, -q, -v) are taken after the command too.
    app.fallthrough();
    std::string version = morvex::versionText("morvexcli");
    version.pop_back();  // CLI11 ends the text with its own line feed
    app.set_version_flag("--version", version, "Affiche la version du programme et s'arrête");
    std::string logOption;
    app.add_option("--log", logOption,
                   "Fichier de log de la trace (par défaut : morvexcli.log dans le répertoire "
                   "des logs des paramètres)");
    bool quiet = false, verbose = false;
    auto* quietFlag = app.add_flag("-q,--quiet", quiet,
                                   "Ni notes (i) ni barre d'avancement : les erreurs seules");
    app.add_flag("-v,--verbose", verbose,
                 "Dit ce que fait la commande (fichier de log, fichiers lus) sur l'erreur standard")
        ->excludes(quietFlag);

    morvex::CliCommands commands;
    morvex::addShowCommand(app, commands);
    morvex::addConvertCommand(app, commands);
    morvex::addAnalyseCommand(app, commands);
    morvex::addPreviewCommand(app, commands);
    morvex::addCountCommand(app, commands);
    morvex::addProfileCommand(app, commands);
    morvex::addCalcCommand(app, commands);
    morvex::addDictCommand(app, commands);
    morvex::addImportTextCommand(app, commands);
    morvex::addLoadCommand(app, commands);
    morvex::addGenerateCommands(app, commands);
    morvex::addMssqlCommand(app, commands);
    morvex::addQueryCommand(app, commands);
    morvex::addEditCommand(app, commands);

    morvex::useFrenchGroups(app);

    // No command: the list of them. A mistyped one: named, with the closest.
    if (argc < 2) {
        fputs(app.help().c_str(), stdout);
        return morvex::CLI_USAGE;
    }
    std::string unknown = morvex::unknownCommand(app, {argv + 1, argv + argc});
    if (unknown.empty()) unknown = morvex::unknownOption(app, {argv + 1, argv + argc});
    if (!unknown.empty()) {
        morvex::cliError(unknown);
        return morvex::CLI_USAGE;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return morvex::CLI_USAGE;
    }

    morvex::CliUiPort port;
    port.quiet = quiet;
    port.verbose = verbose;
    morvex::setUiPort(&port);
    startLogging(logOption, verbose);
    FILEDESC_Initialize();

    int status = morvex::CLI_USAGE;
    for (const morvex::CliCommand& command : commands)
        if (command.sub->parsed()) status = command.run();

    morvex::traceClose();
    morvex::setUiPort(nullptr);
    return status;
}

// morvexcli generate, template check and process: the generation processes of a description,
// as the generation dialog runs and edits them.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "appcore/application.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "template/template.h"
#include "foundation/owned.h"

namespace fs = std::filesystem;

namespace morvex {
namespace {

// Options of `generate`.
struct GenerateOptions {
    std::string desc;                    // the .fyk description
    std::vector<std::string> templates;  // templates to run instead of the description's process
    std::string out;                     // where the time-stamped directory is made
    std::string libraries;               // libraries directory of this run
    bool allowExec = false;              // run the commands of %execsystem
    bool noExec = false;                 // refuse them (the default; kept for older scripts)
    bool traceExec = false;              // trace every executed instruction
    long long maxInstructions = TEMPLATE_DEFAULT_INSTRUCTION_LIMIT;  // 0: no limit
};

void setLibraries(const std::string& dir) {
    if (!dir.empty())
        snprintf(gcontexte.librariesDirectory, sizeof gcontexte.librariesDirectory, "%s",
                 dir.c_str());
}

// Appends a task for `path` to `process`; false when out of memory.
bool addTask(PROCESS* process, const std::string& path) {
    PROCESSTASK* task = PROCESS_CreateTask();
    if (!task) return false;
    task->templatePath = strdup(path.c_str());
    if (!task->templatePath || PROCESS_AddTask(process, task) != 0) {
        PROCESS_DestroyTask(task);
        return false;
    }
    return true;
}

int commandGenerate(const GenerateOptions& o) {
    DescPtr desc = openDescription(o.desc);
    if (!desc) return CLI_FAILURE;
    setLibraries(o.libraries);
    // Nobody can be asked here: a system command runs only when the command line allows it.
    TEMPLATE_SetExecPolicy(o.allowExec ? TEMPLATE_EXEC_ALLOW : TEMPLATE_EXEC_REFUSE);
    TEMPLATE_SetDetailedTrace(o.traceExec);
    TEMPLATE_SetInstructionLimit(o.maxInstructions);

    PROCESS* process = desc->processes;
    morvex::Owned<PROCESS, PROCESS_Destroy> given;
    if (!o.templates.empty()) {
        given.reset(PROCESS_Create());
        if (!given) return CLI_FAILURE;
        for (const std::string& t : o.templates)
            if (!addTask(given.get(), t)) return CLI_FAILURE;
        process = given.get();
    }
    if (!process || process->tasks.empty())
        fprintf(stderr,
                "(!) Aucun template à générer : la description n'a pas de traitement "
                "(--template).\n");

    std::string root = !o.out.empty()                    ? o.out
                       : gcontexte.genTargetDirectory[0] ? gcontexte.genTargetDirectory
                                                         : ".";
    std::error_code ec;
    fs::create_directories(root, ec);
    if (root.size() > static_cast<size_t>(TEMPLATE_PATH_MAX) - 21) {
        cliError("Répertoire de génération trop long : '" + root + "'.");
        return CLI_FAILURE;
    }
    morvex::Owned<GENERATIONRUN, GENERATION_DestroyRun> run(
        GENERATION_CreateRun(desc.get(), process, root.c_str()));
    morvex::Owned<TASKSLIST, TASKSLIST_Destroy> tasks(TASKSLIST_Create());
    TASK* task = run ? TASK_Create("Génération de code", LaunchProcessing, run.get()) : nullptr;
    if (!tasks || !task || TASKSLIST_AddTask(tasks.get(), task) != 0) {
        TASK_Destroy(task);
        cliError("Impossible de préparer la génération.");
        return CLI_FAILURE;
    }
    uiPort().runTasks(tasks.get());

    std::string out = "\n";
    int i = 0;
    for (const ProcessTaskOwner& t : process->tasks) {
        int state = i < run->stateCount ? run->states[i] : GENTASK_READY;
        out += std::string(GENERATION_StateText(state)) + "\t" +
               (t->templatePath ? t->templatePath : "") + "\t" +
               (t->outputPath ? t->outputPath : "") + "\n";
        ++i;
    }
    if (!writeOut(out)) return CLI_FAILURE;
    cliNote(std::to_string(run->executed) + " instructions exécutées.");
    return run->failedCount > 0 || run->stopped ? CLI_FAILURE : CLI_OK;
}

int commandTemplateCheck(const std::string& path, const std::string& libraries) {
    if (!isRegularFile(path)) {
        cliError("Le template '" + path + "' n'existe pas ou n'est pas un fichier.");
        return CLI_FAILURE;
    }
    setLibraries(libraries);
    TEMPLATE_PROGRAM program{};
    if (TEMPLATE_Build(path.c_str(), &program) != 0) {
        const TEMPLATE_LINKERROR* err = TEMPLATE_GetLastLinkError();
        if (err->index >= 0)
            cliError("Ligne " + std::to_string(err->line) + " (instruction " +
                     std::to_string(err->index) + ") : " + err->message);
        else
            cliError("La compilation du template a échoué.");
        return CLI_FAILURE;
    }
    freeByteCode(program.lineTab, program.count);
    const std::string dir = logsDirectoryOf(gcontexte);
    return writeOut("\nTemplate correct : " + std::to_string(program.count) +
                    " instructions.\nListings : " + dir +
                    "/MorvexFylatek.MacroCode.BeforeLinker.txt, " + dir +
                    "/MorvexFylatek.MacroCode.AfterLinker.txt\n")
               ? CLI_OK
               : CLI_FAILURE;
}

// The tasks of a description's process, in order.
std::vector<PROCESSTASK*> processTasks(FileDesc* desc) {
    std::vector<PROCESSTASK*> out;
    if (!desc->processes) return out;
    for (const ProcessTaskOwner& task : desc->processes->tasks) out.push_back(task.get());
    return out;
}

int commandProcessList(const std::string& path) {
    DescPtr desc = openDescription(path);
    if (!desc) return CLI_FAILURE;
    std::string out;
    int n = 0;
    for (PROCESSTASK* t : processTasks(desc.get()))
        out += std::to_string(++n) + "\t" + (t->templatePath ? t->templatePath : "") + "\n";
    return writeOut(out) ? CLI_OK : CLI_FAILURE;
}

int commandProcessAdd(const std::string& path, const std::vector<std::string>& templates) {
    DescPtr desc = openDescription(path);
    if (!desc) return CLI_FAILURE;
    for (const std::string& t : templates) {
        if (!isRegularFile(t)) {
            cliError("Le template '" + t + "' n'existe pas ou n'est pas un fichier.");
            return CLI_FAILURE;
        }
    }
    if (!desc->processes) desc->processes = PROCESS_Create();
    for (const std::string& t : templates) {
        std::error_code ec;
        std::string full = fs::absolute(t, ec).lexically_normal().string();
        if (!desc->processes || !addTask(desc->processes, ec ? t : full)) return CLI_FAILURE;
    }
    return saveDescription(desc.get(), path) ? commandProcessList(path) : CLI_FAILURE;
}

int commandProcessRemove(const std::string& path, const std::vector<int>& numbers) {
    DescPtr desc = openDescription(path);
    if (!desc) return CLI_FAILURE;
    std::vector<PROCESSTASK*> tasks = processTasks(desc.get());
    std::set<int> chosen;
    for (int n : numbers) {
        if (n < 1 || n > static_cast<int>(tasks.size())) {
            cliError("Tâche " + std::to_string(n) + " inexistante (la description en a " +
                     std::to_string(tasks.size()) + ").");
            return CLI_FAILURE;
        }
        chosen.insert(n);
    }
    for (int n : chosen) {
        if (PROCESS_RemoveTask(desc->processes, tasks[static_cast<size_t>(n - 1)]) != 0) {
            cliError("Impossible de supprimer la tâche.");
            return CLI_FAILURE;
        }
    }
    return saveDescription(desc.get(), path) ? commandProcessList(path) : CLI_FAILURE;
}

}  // namespace

void addGenerateCommands(CLI::App& app, CliCommands& commands) {
    auto g = std::make_shared<GenerateOptions>();
    CLI::App* gen = app.add_subcommand(
        "generate", "Génère les templates du traitement de la description (ou ceux donnés)");
    gen->add_option("description", g->desc, "Fichier de description .fyk")->required();
    gen->add_option("--template", g->templates,
                    "Template à générer à la place du traitement (répétable)");
    gen->add_option("--out", g->out,
                    "Répertoire où créer le répertoire horodaté (par défaut : celui des "
                    "paramètres)");
    gen->add_option("--libraries", g->libraries, "Répertoire des bibliothèques de templates");
    CLI::Option* allow = gen->add_flag(
        "--allow-exec", g->allowExec,
        "Exécute les commandes système des templates (%execsystem), sans shell, chaque valeur "
        "de la description passée comme un argument");
    gen->add_flag("--no-exec", g->noExec,
                  "Refuse les commandes système (%execsystem) : c'est le comportement par "
                  "défaut, option gardée pour les scripts existants")
        ->excludes(allow);
    gen->add_flag("--trace-exec", g->traceExec,
                  "Trace chaque instruction exécutée dans le log (lent)");
    gen->add_option("--max-instructions", g->maxInstructions,
                    "Nombre d'instructions qu'une génération peut exécuter avant d'être arrêtée "
                    "(0 : sans limite)")
        ->default_val(TEMPLATE_DEFAULT_INSTRUCTION_LIMIT)
        ->check(CLI::NonNegativeNumber);
    commands.push_back({gen, [g] { return commandGenerate(*g); }});

    auto tplPath = std::make_shared<std::string>();
    auto tplLibs = std::make_shared<std::string>();
    CLI::App* tpl = app.add_subcommand("template", "Outils de templates");
    tpl->require_subcommand(1);
    CLI::App* check =
        tpl->add_subcommand("check", "Compile et lie un template (listings à côté du log)");
    check->add_option("template", *tplPath, "Fichier template .tpl")->required();
    check->add_option("--libraries", *tplLibs, "Répertoire des bibliothèques de templates");
    commands.push_back(
        {check, [tplPath, tplLibs] { return commandTemplateCheck(*tplPath, *tplLibs); }});

    auto desc = std::make_shared<std::string>();
    auto added = std::make_shared<std::vector<std::string>>();
    auto removed = std::make_shared<std::vector<int>>();
    CLI::App* proc = app.add_subcommand("process", "Traitement de génération d'une description");
    proc->add_option("description", *desc, "Fichier de description .fyk")->required();
    proc->require_subcommand(1);
    CLI::App* list = proc->add_subcommand("list", "Liste les templates du traitement");
    CLI::App* add = proc->add_subcommand("add", "Ajoute des templates au traitement");
    add->add_option("templates", *added, "Templates .tpl")->required();
    CLI::App* remove = proc->add_subcommand("remove", "Supprime des tâches (numéros de list)");
    remove->add_option("numbers", *removed, "Numéros des tâches")->required();
    commands.push_back({list, [desc] { return commandProcessList(*desc); }});
    commands.push_back({add, [desc, added] { return commandProcessAdd(*desc, *added); }});
    commands.push_back({remove, [desc, removed] { return commandProcessRemove(*desc, *removed); }});
}

}  // namespace morvex

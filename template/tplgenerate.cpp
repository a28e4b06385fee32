// Template generation: the phases of one generation (TEMPLATE_Build, TEMPLATE_Generate) and the
// run of a generation process (LaunchProcessing).
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "filedesc/analyse.h"
#include "filedesc/descpaths.h"
#include "foundation/appsettings.h"
#include "foundation/date.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "template/template.h"
#include "template/tplinternal.h"

using morvex::trace;
using tplinternal::format;
using tplinternal::panel;

namespace {

// A listing file in the logs directory.
std::string listingPath(const char* name) {
    return tplinternal::joinPath(morvex::logsDirectoryOf(morvex::appSettings()), name);
}

// True when the relative `name` cannot lead out of its directory (the template's own text may
// still name a subdirectory).
bool staysInDirectory(const std::string& name) {
    if (!name.empty() && name[0] == '/') return false;
    size_t begin = 0;
    while (begin <= name.size()) {
        size_t end = name.find('/', begin);
        if (end == std::string::npos) end = name.size();
        if (name.compare(begin, end - begin, "..") == 0) return false;
        begin = end + 1;
    }
    return true;
}

// Keeps the nesting of generations of the calling thread.
struct GenerateScope {
    tplinternal::RunState& rs;
    explicit GenerateScope(tplinternal::RunState& state) : rs(state) {
        if (rs.generateDepth == 0) {
            rs.executed = 0;
            rs.aborted = false;
            rs.callDepth = 0;
            rs.generations = 0;
        } else {
            ++rs.generations;
        }
        ++rs.generateDepth;
    }
    ~GenerateScope() { --rs.generateDepth; }
};

// Owns a context until the end of a scope.

}  // namespace

int TEMPLATE_Build(const char* path, TEMPLATE_PROGRAM* program) {
    if (!program) return 1;
    program->lineTab = nullptr;
    program->count = 0;
    trace("\n(1) Loading template into memory...");
    LDCG* lines = TEMPLATE_LoadFile(path);
    if (!lines) {
        trace("\n[TEMPLATE_Generate] Error : Unknown template type : %i", TEMPLATE_GetType(lines));
        lines = LDCG_Create(nullptr, LINE_Destroy);
        if (!lines) return 1;
    } else {
        switch (TEMPLATE_GetType(lines)) {
            case TEMPLATE_TYPE_TEMPLATE:
                trace("\n[TEMPLATE_Generate] Type = Template");
                break;
            case TEMPLATE_TYPE_LIBRARY:
                trace("\n[TEMPLATE_Generate] Type = Library");
                break;
            default: {
                trace("\n[TEMPLATE_Generate] Type = Unknown!");
                trace("\n[TEMPLATE_Generate] : Adding Default Template type");
                auto* l = static_cast<LINE*>(calloc(1, sizeof(LINE)));
                if (l) l->data = strdup("%TemplateType MorvexFylatek.Template");
                if (l && l->data) l->code = TPL_TEXT;
                if (!l || !l->data || !LDCG_AddAfter(lines, nullptr, l, nullptr)) {
                    LINE_Destroy(l);
                    trace("\n[TEMPLATE_Generate] : Unable to add default Template Type");
                }
                break;
            }
        }
    }
    trace("\n(2) Compiling...");
    if (TEMPLATE_Compile(lines) != 0) {
        LDCG_Destroy(lines, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
        return 1;
    }
    trace("\n(3) Generating byte code...");
    LDCG* code = TEMPLATE_GenerateInstructions(lines);
    LDCG_Destroy(lines, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
    if (!code) return 1;
    trace("\n(4) Assembly byte code...");
    const int count = LDCG_Count(code);
    auto* tab =
        static_cast<LINE*>(calloc(static_cast<size_t>(count > 0 ? count : 1), sizeof(LINE)));
    if (!tab) {
        LDCG_Destroy(code, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
        return 1;
    }
    int i = 0;
    for (LDCG_ELT* e = code->first; e && i < count; e = e->next, ++i) {
        auto* l = static_cast<LINE*>(e->lParam1);
        tab[i].code = l ? l->code : 0;
        tab[i].data = l ? l->data : nullptr;
        tab[i].line = l ? l->line : 0;
        if (l) l->data = nullptr;  // the array takes the text over
    }
    LDCG_Destroy(code, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
    trace("  -> OK");
    generateCode(tab, count, listingPath("MorvexFylatek.MacroCode.BeforeLinker.txt").c_str());
    trace("\n(5) Resolving links and references...");
    if (TEMPLATE_ResolveLinksV2(tab, count, 0) == -1) {
        trace("\n(E) Error while resolving links and references.");
        panel(morvex::PANEL_ERROR, "\n(E) Error while resolving links and references.");
        freeByteCode(tab, count);
        return 1;
    }
    trace("  -> OK");
    generateCode(tab, count, listingPath("MorvexFylatek.MacroCode.AfterLinker.txt").c_str());
    program->lineTab = tab;
    program->count = count;
    return 0;
}

int TEMPLATE_Generate(FileDesc* desc, const char* templatePath, const char* targetDirectory,
                      char* outputPath, int outputPathSize) {
    if (!desc || !templatePath || !targetDirectory || !outputPath || outputPathSize < 1) return 1;
    tplinternal::RunState& rs = tplinternal::runState();
    // A template that generates itself, at any depth or any number of times, ends the whole run.
    if (rs.generateDepth > 0 && rs.aborted) return 1;
    if (rs.generateDepth >= TEMPLATE_MAX_GENERATE_DEPTH) {
        panel(morvex::PANEL_ERROR,
              format("\n(E) Plus de %i générations imbriquées (%%template.generate) : [%s] "
                     "n'est pas généré, la génération est arrêtée.",
                     TEMPLATE_MAX_GENERATE_DEPTH, templatePath));
        rs.aborted = true;
        return 1;
    }
    if (rs.generateDepth > 0 && rs.generations >= TEMPLATE_MAX_GENERATIONS) {
        panel(morvex::PANEL_ERROR,
              format("\n(E) Plus de %i générations lancées par %%template.generate : [%s] "
                     "n'est pas généré, la génération est arrêtée.",
                     TEMPLATE_MAX_GENERATIONS, templatePath));
        rs.aborted = true;
        return 1;
    }
    GenerateScope scope(rs);
    TEMPLATE_PROGRAM program{};
    if (TEMPLATE_Build(templatePath, &program) != 0) return 1;

    morvex::Owned<RUNTIME_CTX, RUNTIME_CTX_Destroy> top(RUNTIME_CTX_New(desc));
    if (!top) {
        freeByteCode(program.lineTab, program.count);
        return 1;
    }
    snprintf(top->targetDirectory, sizeof top->targetDirectory, "%s", targetDirectory);

    // A description without a table name is generated under its project's (a table and files
    // named "" would be written otherwise); the description is given back as it was.
    const bool unnamed = desc->TableName[0] == '\0';
    if (unnamed) {
        std::string name = FILEDESC_MakeIdentifier(desc->ProjectName);
        if (name.empty()) name = "datafile";
        snprintf(desc->TableName, sizeof desc->TableName, "%s", name.c_str());
    }
    struct TableNameRestorer {
        FileDesc* desc;
        bool active;
        ~TableNameRestorer() {
            if (active) desc->TableName[0] = '\0';
        }
    } restorer{desc, unnamed};

    trace("\n(6) Determinating output filename...");
    for (int i = 0; i < program.count; ++i) {
        if (program.lineTab[i].code != TPL_TARGETFILENAME) continue;
        top->pc = i;
        // The values put into the name lose their separators and "..": whatever the description
        // says, the file stays in the target directory.
        std::string fileName = tplinternal::substituteText(
            top.get(), nullptr, program.lineTab[i].data ? program.lineTab[i].data : "",
            program.lineTab, program.count, nullptr, tplinternal::fileNamePart);
        if (!staysInDirectory(fileName)) {
            panel(morvex::PANEL_ERROR,
                  format("\nErreur : le fichier à générer [%s] sortirait du répertoire de "
                         "génération.",
                         fileName.c_str()));
            freeByteCode(program.lineTab, program.count);
            return 1;
        }
        // Never a hidden file, nor a file without a name.
        if (fileName.empty() || fileName[0] == '.') fileName.insert(0, "datafile");
        std::string full = tplinternal::joinPath(targetDirectory, fileName);
        if (full.size() >= static_cast<size_t>(outputPathSize)) {
            panel(morvex::PANEL_ERROR,
                  format("\nErreur : le chemin du fichier à générer dépasse %i caractères : %s",
                         outputPathSize - 1, full.c_str()));
            freeByteCode(program.lineTab, program.count);
            return 1;
        }
        memcpy(outputPath, full.c_str(), full.size() + 1);
        break;
    }
    top->pc = 0;
    trace("  -> OK");
    trace("\nFileOut = [%s]", outputPath);

    FILE* out = outputPath[0] ? fopen(outputPath, "w") : nullptr;
    if (!out) {
        trace("\nErreur lors de l'ouverture du fichier a generer.");
        panel(morvex::PANEL_ERROR, "\nErreur : impossible d'ouvrir le fichier à générer.");
        freeByteCode(program.lineTab, program.count);
        return 1;
    }
    static thread_local char outBuffer[1 << 16];
    setvbuf(out, outBuffer, _IOFBF, sizeof outBuffer);

    trace("\n(7) Processing execution...");
    int rc =
        TEMPLATE_ExecuteFunction(top.get(), "Program.Main", program.lineTab, program.count, out);
    const bool writeFailed = ferror(out) != 0;
    const bool closeFailed = fclose(out) != 0;
    freeByteCode(program.lineTab, program.count);
    if (rc != 0) {
        if (rs.stopped)
            panel(morvex::PANEL_ERROR, "\n(E) Génération arrêtée à la demande.");
        else
            panel(morvex::PANEL_ERROR, "\n(E) Runtime Error");
        return 1;
    }
    if (writeFailed || closeFailed) {
        panel(morvex::PANEL_ERROR, "\nErreur : l'écriture du fichier généré a échoué.");
        return 1;
    }
    trace("  -> OK");
    trace("\n(8) Terminated.");
    return 0;
}

const char* GENERATION_StateText(int state) {
    switch (state) {
        case GENTASK_DONE:
            return "Terminé";
        case GENTASK_ERROR:
            return "Erreur";
        case GENTASK_STOPPED:
            return "Arrêté";
        default:
            return "Prêt";
    }
}

std::string TEMPLATE_ResolvePath(const FileDesc* desc, const char* templatePath) {
    const std::string given = templatePath ? templatePath : "";
    if (given.empty() || given[0] == '/') return given;
    const std::string descFile = desc && desc->FileDescPath ? desc->FileDescPath : "";
    const std::string resolved = morvex::resolveDescriptionPath(descFile, given);
    struct stat st {};
    if (stat(resolved.c_str(), &st) == 0) return resolved;
    const std::string library = morvex::templatesDirectoryOf(morvex::appSettings());
    if (!library.empty()) {
        const std::string bundled = tplinternal::joinPath(library, given);
        if (stat(bundled.c_str(), &st) == 0) return bundled;
    }
    return resolved;
}

GENERATIONRUN* GENERATION_CreateRun(FileDesc* desc, PROCESS* process, const char* targetRoot) {
    auto* run = static_cast<GENERATIONRUN*>(calloc(1, sizeof(GENERATIONRUN)));
    if (!run) return nullptr;
    run->description = desc;
    run->process = process;
    snprintf(run->targetRoot, sizeof run->targetRoot, "%s",
             targetRoot ? targetRoot : morvex::appSettings().genTargetDirectory);
    return run;
}

void GENERATION_DestroyRun(GENERATIONRUN* run) {
    if (!run) return;
    free(run->states);
    free(run);
}

void LaunchProcessing(TASK* task) {
    if (!task) return;
    auto* run = static_cast<GENERATIONRUN*>(task->parameter);
    if (!run || !run->description || !run->process) {
        TASK_Report(task, TASK_EVENT_NOT_STARTED, 0, 0, "Aucune description à générer.");
        return;
    }
    tplinternal::RunState& rs = tplinternal::runState();
    rs.task = task;
    rs.stopped = false;
    // A stop the person asked for; a generation that a limit ended is an error of its task only.
    auto stopRequested = [&] {
        if (TASK_IsStopRequested(task)) rs.stopped = true;
        return rs.stopped;
    };

    MYDATETIME now{};
    DATE_Maintenant(&now);
    std::string instant = format("%04i-%02i-%02i_%02ih%02im%02is", now.annee, now.mois, now.jour,
                                 now.heure, now.minute, now.seconde);
    trace("\n[LaunchProcessing] instantDirectory=[%s]", instant.c_str());
    std::string dir = tplinternal::joinPath(run->targetRoot, instant);
    snprintf(run->outputDirectory, sizeof run->outputDirectory, "%s", dir.c_str());
    trace("\n[LaunchProcessing] Creating directory : %s", run->outputDirectory);
    if (mkdir(run->outputDirectory, 0777) != 0) {
        if (errno == ENOENT) trace("\n[LaunchProcessing] ERROR : Path not found");
        if (errno == EEXIST) trace("\n[LaunchProcessing] ERROR : Directory already exists");
    }
    morvex::uiPort().panelMessage(morvex::UiPanel::Clear, 0, "");

    const std::vector<ProcessTaskOwner>& tasks = run->process->tasks;
    const auto n = static_cast<int>(tasks.size());
    free(run->states);
    run->states = static_cast<int*>(calloc(static_cast<size_t>(n > 0 ? n : 1), sizeof(int)));
    run->stateCount = run->states ? n : 0;
    run->failedCount = 0;
    run->stopped = 0;
    run->executed = 0;
    TASK_Report(task, TASK_EVENT_PROGRESS, n, 0, "Prêt");

    int i = 0;
    for (; i < n && static_cast<size_t>(i) < tasks.size(); ++i) {
        PROCESSTASK* pt = tasks[static_cast<size_t>(i)].get();
        if (stopRequested()) break;
        const char* tpl = pt && pt->templatePath ? pt->templatePath : "";
        std::string status = format("Processing Task %i '%s'", i + 1, tpl);
        TASK_Report(task, TASK_EVENT_PROGRESS, n, i, status.c_str());
        panel(morvex::PANEL_INFO, "\n- Génération : ");
        char* path = pt ? static_cast<char*>(calloc(PROCESS_OUTPUT_PATH_MAX + 1, 1)) : nullptr;
        if (!path) break;
        free(pt->outputPath);
        pt->outputPath = path;
        const std::string tplFile = TEMPLATE_ResolvePath(run->description, tpl);
        int rc = TEMPLATE_Generate(run->description, tplFile.c_str(), run->outputDirectory, path,
                                   PROCESS_OUTPUT_PATH_MAX + 1);
        run->executed += rs.executed;
        int state;
        if (rs.stopped) {
            state = GENTASK_STOPPED;
            panel(morvex::PANEL_ERROR, "Arrêté\n");
        } else if (rc != 0) {
            state = GENTASK_ERROR;
            ++run->failedCount;
            panel(morvex::PANEL_ERROR, "Erreur\n");
        } else {
            state = GENTASK_DONE;
            panel(morvex::PANEL_SUCCESS, "OK\n");
        }
        if (i < run->stateCount) run->states[i] = state;
        TASK_Report(task, TASK_EVENT_PROGRESS, n, i + 1, GENERATION_StateText(state));
        morvex::uiPort().panelMessage(morvex::UiPanel::Link, 0, path);
        if (rs.stopped) {
            ++i;
            break;
        }
    }
    if (stopRequested()) {
        run->stopped = 1;
        for (int k = i; k < run->stateCount; ++k) run->states[k] = GENTASK_STOPPED;
        TASK_Report(task, TASK_EVENT_INTERRUPTED, n, i, "Génération arrêtée.");
    } else {
        TASK_Report(task, TASK_EVENT_FINISHED, n, n, "Terminé.");
    }
    rs.task = nullptr;
    rs.stopped = false;
}

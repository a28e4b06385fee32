// Delimited file analysis, reverse engineering of a description and the line count, each run as
// a task in a worker thread.
#include "filedesc/analyse.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "filedesc/typerecog.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace {

// The analysis settings, written by the user-interface thread and read by workers.
std::atomic<int> gAnalyseMaxRows{FILEDESC_DEFAULT_ANALYSE_MAX_ROWS};
std::atomic<int> gNCarMaxReadWithoutNewLine{FILEDESC_DEFAULT_NCARMAX_WITHOUT_NEWLINE};

const char* const kAnalyseTaskName = "Analyse d'un fichier de données";
const char* const kStatsTaskName = "Statistiques globales du fichier de données";

// Releases a reader at the end of a scope.
struct ReaderCloser {
    void operator()(DATAFILE* reader) const { DATAFILE_DestroyIterator(reader); }
};
using ReaderPtr = std::unique_ptr<DATAFILE, ReaderCloser>;

// Releases a row and its values.
struct RowReleaser {
    void operator()(LDCG* row) const { LDCG_Destroy(row, 0, 3); }
};
using RowPtr = std::unique_ptr<LDCG, RowReleaser>;

// Releases a task list and its tasks.
struct TaskListReleaser {
    void operator()(TASKSLIST* list) const { TASKSLIST_Destroy(list); }
};
using TaskListPtr = std::unique_ptr<TASKSLIST, TaskListReleaser>;

// Copies at most `max` characters of src into dst (zero-terminated).
void copyCut(char* dst, const char* src, size_t max) {
    size_t n = strnlen(src, max);
    memcpy(dst, src, n);
    dst[n] = 0;
}

// Shows `text` in the status bar and reports it through the task.
void statusAndReport(TASK* task, int event, int range, int position, const char* text) {
    morvex::uiPort().statusText(text);
    TASK_Report(task, event, range, position, text);
}

// Runs one task named `name` over `parameter` and returns once its worker has ended; 1 when the
// task cannot be created.
int runOneTask(const char* name, TASK_WORKER worker, void* parameter) {
    TaskListPtr list(TASKSLIST_Create());
    if (!list) return 1;
    TASK* task = TASK_Create(name, worker, parameter);
    if (!task) return 1;
    if (TASKSLIST_AddTask(list.get(), task) != 0) {
        TASK_Destroy(task);
        return 1;
    }
    morvex::uiPort().runTasks(list.get());
    return 0;
}

// Appends a new column named `code` (description `description`) to desc and returns the
// description's record of it; nullptr when memory runs out.
ColumnDesc* addColumn(FileDesc* desc, int position, const char* code, const char* description) {
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    col.Position = position;
    col.typeCible.type = DATATYPE_VARIABLECHAR;
    col.WidthInChars = 0;
    copyCut(col.code, code, COLUMN_CODE_MAX);
    copyCut(col.Description, description, COLUMN_DESCRIPTION_MAX);
    if (desc->Unquote && desc->QuoteChar) {
        // An analysis that unquotes gives its protecting character to every column it adds.
        col.protectedField = 1;
        col.DelimCharStart = desc->QuoteChar;
        col.DelimCharEnd = desc->QuoteChar;
    }
    if (FILEDESC_AjouterColonne(desc, &col) != 0) return nullptr;
    return static_cast<ColumnDesc*>(desc->columns->last->lParam1);
}

}  // namespace

// ---- Settings ----

void FILEDESC_SetAnalysisLimits(int fileAnalyseMaxRows, int nCarMaxReadWithoutNewLine) {
    gAnalyseMaxRows.store(fileAnalyseMaxRows > 0 ? fileAnalyseMaxRows
                                                 : FILEDESC_DEFAULT_ANALYSE_MAX_ROWS);
    gNCarMaxReadWithoutNewLine.store(nCarMaxReadWithoutNewLine > 0
                                         ? nCarMaxReadWithoutNewLine
                                         : FILEDESC_DEFAULT_NCARMAX_WITHOUT_NEWLINE);
}

int FILEDESC_GetAnalyseMaxRows() {
    return gAnalyseMaxRows.load();
}

int FILEDESC_GetNCarMaxReadWithoutNewLine() {
    return gNCarMaxReadWithoutNewLine.load();
}

// ---- Reverse engineering ----

int FYK_DataFileReverseEngenering(void* window, const char* path) {
    morvex::UiPort& ui = morvex::uiPort();
    std::string dataPath;
    if (path) {
        dataPath = path;
    } else {
        std::optional<std::string> chosen =
            ui.promptFile("Analyse d'un fichier délimité", "*.*", "*.*", false);
        if (!chosen || chosen->empty()) return 1;
        dataPath = *chosen;
    }
    ui.showFilePreview(dataPath);
    ui.refresh(morvex::UiRefresh::ResultView);

    FileDesc* desc =
        FILEDESC_CreateFileDesc("Nouveau format", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    if (!desc) return 1;
    std::string stem = std::filesystem::path(dataPath).stem().string();
    copyCut(desc->ProjectName, stem.c_str(), FILEDESC_PROJECTNAME_MAX);
    ui.openDescription(desc);
    ui.refresh(morvex::UiRefresh::ColumnList);
    ui.refresh(morvex::UiRefresh::ResultView);

    free(desc->Description);
    desc->Description = strdup("Fichier de format généré automatiquement par Morvex Fylatek.");
    copyCut(desc->EndOfLine, "\\r\\n", FILEDESC_ENDOFLINE_MAX);
    FILEDESC_ConvertEndOfLine(desc->EndOfLine, desc->EndOfLineChars, sizeof desc->EndOfLineChars);
    copyCut(desc->FieldDelimiter, ";", FILEDESC_DELIMITER_MAX);
    FILEDESC_ConvertEndOfLine(desc->FieldDelimiter, desc->FieldDelimiterChars,
                              sizeof desc->FieldDelimiterChars);
    desc->FirstLineIsHeader = 1;
    free(desc->ExampleFilePath);
    desc->ExampleFilePath = strdup(dataPath.c_str());

    if (!ui.editProjectProperties(desc, true)) {
        FILEDESC_CloseFileDesc(desc);
        ui.refresh(morvex::UiRefresh::ColumnList);
        ui.showFilePreview("");
        ui.refresh(morvex::UiRefresh::ResultView);
        return 1;
    }
    desc->isModified = 1;
    ui.refresh(morvex::UiRefresh::Title);  // the tab caption follows the project name
    FYK_LaunchFileAnalyse(window, desc, dataPath.c_str(), FILEDESC_GetAnalyseMaxRows(), 1);
    return 0;
}

// ---- Analysis ----

int FYK_LaunchFileAnalyse(void* window, FileDesc* desc, const char* path, int maxRows,
                          int addColumns) {
    morvex::trace("\n[FYK_LaunchFileAnalyse] : Appel");
    if (!desc || !path) return 1;
    // The launcher keeps the task data: runTasks returns only once the worker has ended.
    FILEANALYSE_TASKDATA data{window, desc, path, maxRows, addColumns};
    return runOneTask(kAnalyseTaskName, fyk_LaunchFileAnalyseThread, &data);
}

void fyk_LaunchFileAnalyseThread(TASK* task) {
    if (!task || !task->parameter) return;
    auto* data = static_cast<FILEANALYSE_TASKDATA*>(task->parameter);
    statusAndReport(task, TASK_EVENT_PROGRESS, 0, 0, "Analyse du fichier délimité...");
    FILEDESC_AnalyseFileWithSeparatorsV2(task, data->desc, data->path.c_str(), data->maxRows,
                                         data->addColumns);
    morvex::UiPort& ui = morvex::uiPort();
    ui.refresh(morvex::UiRefresh::ColumnList);
    ui.showFilePreview(data->path);
    ui.refresh(morvex::UiRefresh::ResultView);
}

int FILEDESC_AnalyseFileWithSeparatorsV2(TASK* task, FileDesc* desc, const char* path, int maxRows,
                                         int addColumns) {
    if (!task || !desc || !path || !desc->columns) return 1;
    morvex::trace("\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Analyzing file [%s] With MaxRows=%i",
                  path, maxRows);
    morvex::trace(
        "\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Removing existing column statistics...");
    FILEDESC_RemoveColumnsStats(desc);

    ReaderPtr reader(DATAFILE_NewIterator(desc, path, FILEDESC_GetNCarMaxReadWithoutNewLine(), 1));
    if (!reader) {
        morvex::trace(
            "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Erreur lors de la création de l'itérateur.");
        return 1;
    }
    if (DATAFILE_Init(reader.get()) != 0) {
        morvex::trace(
            "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Erreur lors de l'initialisation de "
            "l'itérateur.");
        return 1;
    }

    const bool hasHeader = desc->FirstLineIsHeader != 0;
    char name[32];
    char message[96];
    COL_TYPE_STATISTICS valueStats;
    int rowNumber = 0;
    for (;;) {
        RowPtr row(DATAFILE_ReadNext(reader.get()));
        if (!row) break;
        ++rowNumber;
        int position = 0;
        LDCG_ELT* columnElt = nullptr;  // the description's column at `position`
        for (LDCG_ELT* elt = row->first; elt; elt = elt->next) {
            auto* field = static_cast<DATACOLUMN*>(elt->lParam1);
            ++position;
            const char* value = field && field->value ? field->value : "";
            const int length = field && field->value ? field->length : 0;

            // a. The header line, or the first row without one, names the columns.
            const bool headerField = hasHeader && field && field->isHeader;
            if ((!hasHeader && rowNumber == 1) || headerField) {
                const char* code = value;
                if (!hasHeader) {
                    snprintf(name, sizeof name, "COL%03i", position);
                    code = name;
                }
                morvex::trace(
                    "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne "
                    "reconnue : [%s]",
                    code);
                if (addColumns && !addColumn(desc, position, code, code)) return 1;
                if (headerField) continue;  // header texts are not analysed
            }

            // b. The column at this position, or a new undeclared one.
            columnElt = columnElt ? columnElt->next : desc->columns->first;
            if (!columnElt) {
                snprintf(name, sizeof name, "UndeclaredColumn%i", position);
                if (!addColumn(desc, position, name, "")) return 1;
                morvex::trace(
                    "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne non "
                    "déclarée ajoutée : [%s]",
                    name);
                columnElt = desc->columns->last;
            }
            auto* column = static_cast<ColumnDesc*>(columnElt->lParam1);
            if (!column) continue;

            // c. Width: the longest value, blanks included.
            if (length > column->WidthInChars) column->WidthInChars = length;

            // d. Statistics.
            if (!column->stats) {
                column->stats =
                    static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
                if (!column->stats) continue;  // no memory for a total: the value is skipped
            }
            AnalyseTypeDonneeInto(&valueStats, value, length);
            CompileStatistics(column->stats, &valueStats);
        }
        row.reset();

        if (rowNumber % 100 == 0) {
            snprintf(message, sizeof message, "%i/%i ligne(s) analysées", rowNumber, maxRows);
            statusAndReport(task, TASK_EVENT_PROGRESS, maxRows, rowNumber, message);
        }
        if (rowNumber > maxRows) break;
        if (TASK_IsStopRequested(task)) {
            statusAndReport(task, TASK_EVENT_INTERRUPTED, 100, 100,
                            "Annulation de la tâche à la demande de l'utilisateur.");
            break;
        }
    }
    reader.reset();

    morvex::trace("\nFin de l'analyse du fichier");
    morvex::trace(
        "\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Ajustement automatique des types en "
        "fonction des statistiques de colonnes...");
    TASK_Report(task, TASK_EVENT_PROGRESS, maxRows, rowNumber,
                "Ajustement automatique des types en fonction des statistiques de colonnes...");

    SetDefaultTypeFromStatistics(desc);
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);

    morvex::uiPort().statusText("Terminé.");
    if (TASK_IsStopRequested(task)) {
        TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100,
                    "Tâche terminée mais écourtée à la demande de l'utilisateur.");
    } else {
        TASK_Report(task, TASK_EVENT_FINISHED, 100, 100, "Tâche terminée.");
    }
    return 0;
}

// ---- Line count ----

int FYK_LaunchDatafileComputeStats(void* window, FileDesc* desc, const char* path) {
    if (!desc || !path) {
        morvex::uiPort().messageBox(
            "Statistiques de fichier",
            "Aucune description de fichier ou aucun fichier n'est défini. Opération annulée.",
            morvex::UiButtons::Ok, morvex::UiIcon::Warning);
        return 1;
    }
    DATAFILESTATS_TASKDATA data{window, desc, path, {}};
    runOneTask(kStatsTaskName, fyk_LaunchDatafileComputeStatsThread, &data);
    return 0;
}

void fyk_LaunchDatafileComputeStatsThread(TASK* task) {
    if (!task || !task->parameter) return;
    auto* data = static_cast<DATAFILESTATS_TASKDATA*>(task->parameter);
    // The count reports its own failure (kind 7) and interruption (kind 6); only a complete
    // count is announced as the file's total.
    if (DATAFILE_ComputeStats(task, data->desc, data->path.c_str(), &data->stats) != 0) return;
    if (TASK_IsStopRequested(task)) return;
    char message[96];
    snprintf(message, sizeof message, "Le fichier contient au total %i lignes.",
             data->stats.nbLines);
    TASK_Report(task, TASK_EVENT_FINISHED, 1, 1, message);
}

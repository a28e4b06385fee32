// The PostgreSQL load as a task under the UI port's progress display.
#include <memory>
#include <string>

#include "foundation/owned.h"
#include "foundation/uiport.h"
#include "pgload/pgload.h"

namespace {

// What the worker needs, owned by PGLOAD_RunLoadTask for the task's life.
struct PgLoadTask {
    FileDesc* desc;
    std::string conninfo;
    int batchSize;
    const PGLOAD_OPTIONS* options;
    SQLITE4FYK_LOADSTATS stats{};
};

void runPgLoad(TASK* task) {
    auto* load = static_cast<PgLoadTask*>(task->parameter);
    PGLOAD_LoadDataInDatabase(task, load->desc, load->conninfo.c_str(), load->batchSize, 1,
                              &load->stats, load->options);
}

}  // namespace

int PGLOAD_RunLoadTask(FileDesc* desc, const char* conninfo, int batchSize,
                       SQLITE4FYK_LOADSTATS* stats, const PGLOAD_OPTIONS* options) {
    if (stats != nullptr) {
        *stats = SQLITE4FYK_LOADSTATS{};
        stats->status = SQLITE4FYK_LOAD_FAILED;
    }
    if (desc == nullptr || conninfo == nullptr) return 1;
    PgLoadTask load{desc, conninfo, batchSize, options};
    morvex::Owned<TASKSLIST, TASKSLIST_Destroy> tasks(TASKSLIST_Create());
    TASK* task = TASK_Create("Chargement du fichier de données", runPgLoad, &load);
    if (!tasks || task == nullptr || TASKSLIST_AddTask(tasks.get(), task) != 0) {
        TASK_Destroy(task);
        return 1;
    }
    morvex::uiPort().runTasks(tasks.get());
    if (stats != nullptr) *stats = load.stats;
    return 0;
}

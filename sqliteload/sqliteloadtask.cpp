// The load of a data file as a task under the UI port's progress display.
#include <memory>

#include "foundation/uiport.h"
#include "sqliteload/sqlite4fyk.h"

namespace {

struct LoadTaskCloser {
    void operator()(SQLITE4FYK_LOADTASK* load) const { SQLITE4FYK_DestroyLoadTask(load); }
};
struct TasksCloser {
    void operator()(TASKSLIST* tasks) const { TASKSLIST_Destroy(tasks); }
};

}  // namespace

int SQLITE4FYK_RunLoadTask(FileDesc* desc, const char* path, int batchSize,
                           SQLITE4FYK_LOADSTATS* stats, const SQLITE4FYK_LOADOPTIONS* options) {
    if (stats != nullptr) {
        *stats = SQLITE4FYK_LOADSTATS{};
        stats->status = SQLITE4FYK_LOAD_FAILED;
    }
    std::unique_ptr<SQLITE4FYK_LOADTASK, LoadTaskCloser> load(
        SQLITE4FYK_CreateLoadTask(desc, path, batchSize, 1));
    if (load) load->options = options;
    std::unique_ptr<TASKSLIST, TasksCloser> tasks(TASKSLIST_Create());
    TASK* task = load ? TASK_Create("Chargement du fichier de données", SQLite_LoadDataInDatabase,
                                    load.get())
                      : nullptr;
    if (!tasks || task == nullptr || TASKSLIST_AddTask(tasks.get(), task) != 0) {
        TASK_Destroy(task);
        return 1;
    }
    morvex::uiPort().runTasks(tasks.get());
    if (stats != nullptr) *stats = load->stats;
    return 0;
}

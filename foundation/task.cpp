#include "foundation/task.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "foundation/trace.h"

TASKSLIST* TASKSLIST_Create() { return LDCG_Create(nullptr, TASK_Destroy); }

void TASKSLIST_Destroy(TASKSLIST* list) {
    if (list) LDCG_Destroy(list, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
}

int TASKSLIST_AddTask(TASKSLIST* list, TASK* task) {
    if (!list || !task) return 1;
    morvex::trace("\n[TASKSLIST_AddTask] Adding task '%s'", task->name ? task->name : "");
    return LDCG_Add(list, task, nullptr) ? 0 : 1;
}

TASK* TASK_Create(const char* name, TASK_WORKER worker, void* parameter) {
    TASK* task = new (std::nothrow) TASK{};
    if (!task) return nullptr;
    task->name = strdup(name ? name : "");
    if (!task->name) {
        delete task;
        return nullptr;
    }
    task->worker = worker;
    task->parameter = parameter;
    task->stopRequested.store(0);
    return task;
}

void TASK_Destroy(void* p) {
    TASK* task = static_cast<TASK*>(p);
    if (!task) return;
    free(task->name);
    delete task;
}

void TASK_Report(TASK* task, int event, int range, int position, const char* message) {
    if (task && task->eventCallback) task->eventCallback(task, event, range, position, message);
}

bool TASK_IsStopRequested(const TASK* task) { return task && task->stopRequested.load() != 0; }

void TASK_RequestStop(TASK* task) {
    if (task) task->stopRequested.store(1);
}

int TASKSLIST_RunFirst(TASKSLIST* list, TASK_EVENTCALLBACK callback, void* runnerData) {
    if (!list || !list->first) return 1;
    TASK* task = static_cast<TASK*>(list->first->lParam1);
    if (!task || !task->worker) return 1;
    task->eventCallback = callback;
    task->runnerData = runnerData;
    try {
        std::thread worker(task->worker, task);
        worker.join();
    } catch (const std::system_error&) {
        return 1;
    }
    return 0;
}

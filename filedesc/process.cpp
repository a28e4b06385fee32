// Generation processes: an owned list of template tasks.
#include "filedesc/process.h"

#include <algorithm>
#include <cstdlib>
#include <new>

PROCESS* PROCESS_Create() {
    return new (std::nothrow) PROCESS{};
}

int PROCESS_Destroy(PROCESS* process) {
    if (!process) return 1;
    delete process;
    return 0;
}

PROCESSTASK* PROCESS_CreateTask() {
    return static_cast<PROCESSTASK*>(calloc(1, sizeof(PROCESSTASK)));
}

void PROCESS_DestroyTask(void* task) {
    auto* t = static_cast<PROCESSTASK*>(task);
    if (!t) return;
    free(t->templatePath);
    free(t->outputPath);
    free(t);
}

int PROCESS_AddTask(PROCESS* process, PROCESSTASK* task) {
    if (!process || !task) return 1;
    process->tasks.emplace_back(task);
    return 0;
}

int PROCESS_RemoveTask(PROCESS* process, PROCESSTASK* task) {
    if (!process || !task) return 1;
    auto& tasks = process->tasks;
    const auto at = std::find_if(tasks.begin(), tasks.end(),
                                 [task](const ProcessTaskOwner& t) { return t.get() == task; });
    if (at == tasks.end()) return 1;
    tasks.erase(at);
    return 0;
}

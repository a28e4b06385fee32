// Generation processes: an owned list of template tasks.
#include "filedesc/process.h"

#include <cstdlib>

PROCESS* PROCESS_Create() {
    auto* process = static_cast<PROCESS*>(calloc(1, sizeof(PROCESS)));
    if (!process) return nullptr;
    process->tasks = LDCG_Create(nullptr, PROCESS_DestroyTask);
    if (!process->tasks) {
        free(process);
        return nullptr;
    }
    return process;
}

int PROCESS_Destroy(PROCESS* process) {
    if (!process) return 1;
    LDCG_Destroy(process->tasks, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
    free(process);
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
    if (!process || !process->tasks || !task) return 1;
    return LDCG_Add(process->tasks, task, nullptr) ? 0 : 1;
}

int PROCESS_RemoveTask(PROCESS* process, PROCESSTASK* task) {
    if (!process || !process->tasks || !task) return 1;
    return LDCG_Remove(process->tasks, task, LDCG_RELEASE_PARAM1) == 0 ? 0 : 1;
}

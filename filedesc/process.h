// PROCESS: a generation process, the ordered list of templates that a description (or the
// application) generates. Tasks are C-style records, allocated with calloc and released here;
// a process is created and destroyed here.
#pragma once

#include <vector>

#include "foundation/owned.h"

// Longest output path kept by a task.
constexpr int PROCESS_OUTPUT_PATH_MAX = 260;

// One template to generate.
struct PROCESSTASK {
    char* templatePath;  // owned path of the template file (malloc'd), or nullptr
    char* outputPath;  // owned path (at most 260 characters) of the last generated file, or nullptr
};

// Releases a task and its paths (nullptr accepted); what a process's tasks are released by.
void PROCESS_DestroyTask(void* task);
// A task owned by its process.
using ProcessTaskOwner = morvex::Owned<PROCESSTASK, PROCESS_DestroyTask>;

// A generation process.
struct PROCESS {
    std::vector<ProcessTaskOwner> tasks;  // the templates in generation order, destroyed with it
};

// A process with an empty task list; nullptr when out of memory.
PROCESS* PROCESS_Create();
// Destroys every task, the list and the process. 0, or 1 without a process.
int PROCESS_Destroy(PROCESS* process);
// A zeroed task (no paths); nullptr when out of memory.
PROCESSTASK* PROCESS_CreateTask();
// Appends `task`, which the process then owns. 0, or 1 without a process or task.
int PROCESS_AddTask(PROCESS* process, PROCESSTASK* task);
// Removes `task` from the process and destroys it. 0 when removed, 1 otherwise.
int PROCESS_RemoveTask(PROCESS* process, PROCESSTASK* task);

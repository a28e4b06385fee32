// PROCESS: a generation process, the ordered list of templates that a description (or the
// application) generates. Records are C-style, allocated with calloc and released here.
#pragma once

#include "foundation/ldcg.h"

// Longest output path kept by a task.
constexpr int PROCESS_OUTPUT_PATH_MAX = 260;

// One template to generate.
struct PROCESSTASK {
    char* templatePath;  // owned path of the template file (malloc'd), or nullptr
    char* outputPath;  // owned path (at most 260 characters) of the last generated file, or nullptr
};

// A generation process.
struct PROCESS {
    LDCG* tasks;  // owned list of PROCESSTASK* (lParam1), destroyed with the process
};

// A process with an empty task list; nullptr when out of memory.
PROCESS* PROCESS_Create();
// Destroys every task, the list and the process. 0, or 1 without a process.
int PROCESS_Destroy(PROCESS* process);
// A zeroed task (no paths); nullptr when out of memory.
PROCESSTASK* PROCESS_CreateTask();
// Releases a task and its paths (nullptr accepted); the list destructor of a process.
void PROCESS_DestroyTask(void* task);
// Appends `task`, which the process then owns. 0, or 1 without a process or task.
int PROCESS_AddTask(PROCESS* process, PROCESSTASK* task);
// Removes `task` from the process and destroys it. 0 when removed, 1 otherwise.
int PROCESS_RemoveTask(PROCESS* process, PROCESSTASK* task);

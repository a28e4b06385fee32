// Tasks: long operations (analysis, line count, loading) packaged as a worker function with
// the object it works on, run in a worker thread and reporting through an event callback.
//
// The worker owns nothing of the task; it reports with TASK_Report and tests
// TASK_IsStopRequested once per unit of work (once per row read). The stop request is the
// only field written by another thread while the worker runs, and it is atomic.
#pragma once

#include <atomic>

#include "foundation/ldcg.h"

struct TASK;

// Thread entry of a task; receives the task itself.
typedef void (*TASK_WORKER)(TASK* task);
// Receives the worker's events (kind, range, position, message text or nullptr). Called in the
// worker's thread.
typedef void (*TASK_EVENTCALLBACK)(TASK* task, int event, int range, int position,
                                   const char* message);

// Event kinds.
enum {
    TASK_EVENT_PROGRESS = 2,     // progress, with an optional message
    TASK_EVENT_FINISHED = 5,     // the task has finished
    TASK_EVENT_INTERRUPTED = 6,  // the task ended early on a stop request
    TASK_EVENT_NOT_STARTED = 7,  // the task could not start
};

struct TASK {
    char* name;                        // owned text shown to the person
    TASK_WORKER worker;                // thread entry
    TASK_EVENTCALLBACK eventCallback;  // set by the runner before the worker starts
    void* parameter;                   // the object the worker works on (not owned)
    std::atomic<int> stopRequested;    // 1 when the person asked to stop
    void* runnerData;                  // the runner's own context for its callback
};

// A task list is an LDCG list of TASK* that owns its tasks (destructor TASK_Destroy).
typedef LDCG TASKSLIST;

// An empty task list; nullptr when out of memory.
TASKSLIST* TASKSLIST_Create();
// Destroys the tasks and the list. The worker of every task must have ended.
void TASKSLIST_Destroy(TASKSLIST* list);
// Appends a task, which the list then owns; 0, or 1 when either is missing.
int TASKSLIST_AddTask(TASKSLIST* list, TASK* task);

// A task with a copy of `name` and stopRequested 0; nullptr when out of memory.
TASK* TASK_Create(const char* name, TASK_WORKER worker, void* parameter);
// Frees a task record (nullptr accepted). Typed void* to serve as the list's destructor.
void TASK_Destroy(void* task);

// Sends one event to the task's callback (nothing when it has none). Any thread.
void TASK_Report(TASK* task, int event, int range, int position, const char* message);
// True when a stop was requested. Any thread.
bool TASK_IsStopRequested(const TASK* task);
// Asks the worker to stop at its next unit of work. Any thread.
void TASK_RequestStop(TASK* task);

// Runs the first task of the list in a new thread with `callback` as its event callback and
// waits for it. Returns 0, or 1 when the list holds no task or the thread cannot start.
int TASKSLIST_RunFirst(TASKSLIST* list, TASK_EVENTCALLBACK callback, void* runnerData);

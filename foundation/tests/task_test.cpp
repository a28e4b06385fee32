#include "foundation/task.h"

#include <gtest/gtest.h>

#include <thread>

#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

// Reports progress every step until asked to stop, then reports the interruption.
void countingWorker(TASK* task) {
    int* steps = static_cast<int*>(task->parameter);
    for (int i = 1; i <= 1000; ++i) {
        if (TASK_IsStopRequested(task)) {
            TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100, "Tâche interrompue par l'utilisateur.");
            return;
        }
        *steps = i;
        TASK_Report(task, TASK_EVENT_PROGRESS, 1000, i, nullptr);
    }
    TASK_Report(task, TASK_EVENT_FINISHED, 100, 100, "Tâche terminée.");
}

TEST(Task, ListTracesAdditionsAndRunsOnlyTheFirstTask) {
    morvex::TraceCapture capture;
    int first = 0, second = 0;
    TASKSLIST* list = TASKSLIST_Create();
    ASSERT_EQ(TASKSLIST_AddTask(list, TASK_Create("Analyse", countingWorker, &first)), 0);
    ASSERT_EQ(TASKSLIST_AddTask(list, TASK_Create("Autre", countingWorker, &second)), 0);
    EXPECT_EQ(TASKSLIST_AddTask(list, nullptr), 1);
    EXPECT_EQ(TASKSLIST_AddTask(nullptr, nullptr), 1);
    EXPECT_EQ(capture.text(),
              "\n[TASKSLIST_AddTask] Adding task 'Analyse'\n[TASKSLIST_AddTask] Adding task 'Autre'");

    morvex::ScriptedUiPort port;
    port.runTasks(list);
    EXPECT_EQ(first, 1000);
    EXPECT_EQ(second, 0);
    ASSERT_FALSE(port.events.empty());
    EXPECT_EQ(port.events.back().event, TASK_EVENT_FINISHED);
    EXPECT_EQ(port.events.back().message, "Tâche terminée.");
    TASKSLIST_Destroy(list);
}

TEST(Task, StopRequestEndsTheWorkerAtItsNextStep) {
    int steps = 0;
    TASKSLIST* list = TASKSLIST_Create();
    TASKSLIST_AddTask(list, TASK_Create("Analyse", countingWorker, &steps));
    morvex::ScriptedUiPort port;
    port.stopAfterEvents = 42;
    port.runTasks(list);
    EXPECT_EQ(steps, 42);
    ASSERT_EQ(port.events.size(), 43u);
    EXPECT_EQ(port.events.back().event, TASK_EVENT_INTERRUPTED);
    TASKSLIST_Destroy(list);
}

TEST(Task, RunningAnEmptyListOrATaskWithoutWorkerFails) {
    TASKSLIST* list = TASKSLIST_Create();
    EXPECT_EQ(TASKSLIST_RunFirst(list, nullptr, nullptr), 1);
    TASKSLIST_AddTask(list, TASK_Create(nullptr, nullptr, nullptr));
    EXPECT_EQ(TASKSLIST_RunFirst(list, nullptr, nullptr), 1);
    EXPECT_EQ(TASKSLIST_RunFirst(nullptr, nullptr, nullptr), 1);
    TASKSLIST_Destroy(list);
    TASK_Destroy(nullptr);
    TASK_Report(nullptr, 2, 0, 0, "x");
    EXPECT_FALSE(TASK_IsStopRequested(nullptr));
}

}  // namespace

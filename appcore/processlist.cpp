#include "appcore/processlist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "filedesc/filedesc.h"
#include "filedesc/process.h"

namespace {

std::vector<PROCESSTASK*> tasksOf(const FileDesc* desc) {
    std::vector<PROCESSTASK*> tasks;
    if (!desc || !desc->processes) return tasks;
    for (const ProcessTaskOwner& task : desc->processes->tasks) tasks.push_back(task.get());
    return tasks;
}

}  // namespace

std::vector<PROCESSLIST_ROW> PROCESSLIST_Rows(const FileDesc* desc) {
    std::vector<PROCESSLIST_ROW> rows;
    for (const PROCESSTASK* task : tasksOf(desc)) {
        rows.push_back({"Générer", desc->ProjectName,
                        task && task->templatePath ? task->templatePath : "",
                        task && task->outputPath ? task->outputPath : ""});
    }
    return rows;
}

PROCESSTASK* PROCESSLIST_Task(const FileDesc* desc, int row) {
    const std::vector<PROCESSTASK*> tasks = tasksOf(desc);
    return row >= 0 && row < static_cast<int>(tasks.size()) ? tasks[static_cast<size_t>(row)]
                                                            : nullptr;
}

int PROCESSLIST_AddTemplates(FileDesc* desc, const std::vector<std::string>& templatePaths) {
    if (!desc || !desc->processes) return 0;
    int added = 0;
    for (const std::string& path : templatePaths) {
        PROCESSTASK* task = PROCESS_CreateTask();
        if (task) task->templatePath = strdup(path.c_str());
        if (!task || !task->templatePath || PROCESS_AddTask(desc->processes, task) != 0) {
            PROCESS_DestroyTask(task);
            break;
        }
        ++added;
    }
    if (added > 0) desc->isModified = 1;
    return added;
}

int PROCESSLIST_RemoveRows(FileDesc* desc, std::vector<int> rows) {
    const std::vector<PROCESSTASK*> tasks = tasksOf(desc);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    int failed = 0;
    int removed = 0;
    for (int row : rows) {
        if (row < 0 || row >= static_cast<int>(tasks.size()) ||
            PROCESS_RemoveTask(desc->processes, tasks[static_cast<size_t>(row)]) != 0) {
            ++failed;
        } else {
            ++removed;
        }
    }
    if (removed > 0) desc->isModified = 1;
    return failed;
}

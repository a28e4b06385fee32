// The generation process of a description as the generation dialog edits it: the rows of its
// list, templates added and tasks removed. Every change marks the description modified, so that
// the process list is saved with it.
#pragma once

#include <string>
#include <vector>

struct FileDesc;
struct PROCESSTASK;

// One row of the generation dialog's list.
struct PROCESSLIST_ROW {
    std::string task;          // "Générer"
    std::string format;        // the description's project name
    std::string templatePath;  // the task's template
    std::string outputPath;    // the file its last run wrote ("" before any run)
};

// The rows of `desc`'s process, in order (none without a description).
std::vector<PROCESSLIST_ROW> PROCESSLIST_Rows(const FileDesc* desc);
// The task of row `row`, or nullptr.
PROCESSTASK* PROCESSLIST_Task(const FileDesc* desc, int row);
// Appends one task per template path, in order. Returns the number of tasks added.
int PROCESSLIST_AddTemplates(FileDesc* desc, const std::vector<std::string>& templatePaths);
// Removes the tasks of the given rows (any order, repeats allowed). Returns the number of rows
// whose task could not be removed.
int PROCESSLIST_RemoveRows(FileDesc* desc, std::vector<int> rows);

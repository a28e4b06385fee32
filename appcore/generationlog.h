// What a generation run told, task by task, for the generation window: the messages the
// template engine sends to the message panel while a task runs, the errors among them and the
// file each task wrote; and where a run writes when the settings name no folder.
//
// User-interface thread (the window feeds it the reports it receives, in their order).
#pragma once

#include <string>
#include <vector>

#include "foundation/uiport.h"

struct FileDesc;

namespace morvex {

class GenerationLog {
public:
    // Forgets the previous run.
    void clear();
    // The run starts the task of row `row`: the messages that follow are its own.
    void startTask(int row);
    // One request the run sent to the message panel (foundation/uiport.h): texts in the error
    // colour are the task's errors, except the state word that closes the task ("Erreur",
    // "Arrêté"); a link names the file the task wrote.
    void panel(UiPanel request, unsigned colour, const std::string& text);

    // The errors of row `row`, one a line, blanks around trimmed; "" when it had none.
    std::string errors(int row) const;
    // Everything row `row` told, as the panel shows it.
    std::string messages(int row) const;
    // The file row `row` wrote ("" when none).
    std::string file(int row) const;

private:
    struct Task {
        std::string messages;
        std::vector<std::string> errors;
        std::string file;
    };
    Task* current();

    std::vector<Task> tasks_;
    int row_ = -1;  // the task running, or -1 before the first
};

// The templates (".tpl" files) of `folder`, sorted by name, as full paths; none when the folder
// cannot be read. Its subfolders (the library) are left out.
std::vector<std::string> GENERATION_TemplatesIn(const std::string& folder);

// The folder a run writes into (its time-stamped directory is made inside): `setting` when it
// names one, else "Fichiers générés" in the description's folder, else in the home folder.
std::string GENERATION_OutputRoot(const char* setting, const FileDesc* desc);

}  // namespace morvex

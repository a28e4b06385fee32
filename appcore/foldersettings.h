// The folders of the settings as the Options sheet shows them: every folder the programs read,
// with what an empty value stands for. User-interface thread.
#pragma once

#include <string>
#include <vector>

#include "appcore/application.h"

// One folder setting of the context.
struct APPLICATION_FOLDER {
    const char* label;      // its name on the Options sheet ("Templates : ")
    char* value;            // the setting in the context (APPLICATION_DIRECTORY_MAX + 1 bytes)
    std::string effective;  // what the programs use while it is empty
};

// The folders of `ctx` the programs read, in the order the Options sheet shows them:
// descriptions, templates, libraries, generated files, databases, dictionaries, logs.
std::vector<APPLICATION_FOLDER> APPLICATION_Folders(CONTEXTE* ctx);

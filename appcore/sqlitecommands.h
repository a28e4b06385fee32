// The main window's commands that load the example data file into a SQLite database, with
// the folders and batch size of the settings (gcontexte).
#pragma once

#include "filedesc/filedesc.h"
#include "sqliteload/sqlite4fyk.h"

// The command "Envoyer les données dans une base SQLite": asks for the database file (the
// project name with / ! * : ; ? \ blanked, followed by ".db", in the databases directory, or
// the description's folder when none is set), asks before replacing an existing file (No asks
// again; not a second time when the port's save dialog has asked), names an unnamed table
// "datafile", then loads through FYK_SendDataToSQLite, filling `stats` when given (its status
// stays SQLITE4FYK_LOAD_FAILED with no row when no load ran). 1 without a description, else 0
// (also when the person cancels).
int FYK_SendDataToSQLiteWithFilePrompt(void* window, FileDesc* desc,
                                       SQLITE4FYK_LOADSTATS* stats = nullptr);
// Records `path` as the description's database and runs the load task "Chargement du fichier
// de données" under the progress display of the UI port, with the batch size of the settings,
// the table replaced whatever made it (LOADMODE_REPLACE).
// Fills `stats` when given (how the load ended, where every row went). 1 without a description
// or path, or when the task list cannot be created; else 0.
int FYK_SendDataToSQLite(void* window, FileDesc* desc, const char* path,
                         SQLITE4FYK_LOADSTATS* stats = nullptr);

// The front ends' side of the analysis (filedesc/analyse.h): the desktop's wizard that builds a
// description from a data file, the re-analysis of a description with its report shown, and
// the report shown in the message panel. Everything here asks and shows through the UI port;
// the analysis itself neither asks nor shows anything. User-interface thread only.
#pragma once

#include "datafile/detect.h"
#include "filedesc/analyse.h"

// Menu command "Analyser un fichier de données délimité": asks for the data file when `path` is
// missing, shows it in the source preview, makes a new description of it (the analysis's
// stages: its first bytes' dialect under FILEANALYSE_DETECTED, or `shape` when given), opens it
// in the window, asks for its properties, then analyses the file as a task and shows the
// report. 0 when the analysis was run, 1 when the person cancelled or the file is not text
// (told; nothing is left open then). `maxRows` below 0 means the setting FileAnalyseMaxRows, or
// FILEDESC_ANALYSE_AUTO_ROWS under FILEANALYSE_DETECTED.
int FYK_DataFileReverseEngenering(void* window, const char* path,
                                  int rules = FILEANALYSE_SPECIFIED,
                                  const DATAFILE_SHAPE* shape = nullptr, int maxRows = -1);

// Analyses `path` through `desc` under the settings' limits (FILEDESC_AnalyseOptions) as the
// task "Analyse d'un fichier de données", shows the report, then refreshes the column list, the
// source preview and the result view. 1 when desc or path is missing or the task cannot be
// created.
int FYK_LaunchFileAnalyse(void* window, FileDesc* desc, const char* path, int maxRows,
                          int addColumns, int rules = FILEANALYSE_SPECIFIED);

namespace morvex {

// Shows what an analysis found in the message panel, in the order found.
void showAnalysisReport(const FILEANALYSE_REPORT& report);

}  // namespace morvex

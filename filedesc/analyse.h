// Delimited file analysis: builds a description from a data file alone (reverse engineering),
// refreshes the proposed column types of an existing description, and counts a file's lines.
//
// Each operation runs as a task in a worker thread through morvex::uiPort().runTasks() and
// reaches the person only through the UI port; window arguments are opaque handles that are
// passed along untouched. The description a task works on is not locked: the caller must not
// change it while the task runs (runTasks returns once the worker has ended).
#pragma once

#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "datafile/detect.h"
#include "filedesc/filedesc.h"
#include "foundation/task.h"

// Row limit of the "whole file" analysis.
constexpr int FILEDESC_ANALYSE_ALL_ROWS = 9999999;
// Row limit that asks the detected analysis for the whole file when it is up to 100 MB, and
// otherwise for its first 100 MB and 64 blocks spread over the rest (told either way).
constexpr int FILEDESC_ANALYSE_AUTO_ROWS = 0;
// Characters the detected analysis reads of one line before cutting it (told): a header of
// thousands of columns or a long quoted value is read whole.
constexpr int FILEDESC_ANALYSE_LINE_LIMIT = DATAFILE_LINE_LIMIT;
// Defaults of the analysis settings (rows analysed, characters read before a line is cut).
constexpr int FILEDESC_DEFAULT_ANALYSE_MAX_ROWS = 1000;
constexpr int FILEDESC_DEFAULT_NCARMAX_WITHOUT_NEWLINE = 5000;

// Installs the analysis settings (the application calls it once its settings are read); a value
// below 1 restores its default. Any thread; workers read the values atomically.
void FILEDESC_SetAnalysisLimits(int fileAnalyseMaxRows, int nCarMaxReadWithoutNewLine);
// Bytes up to which the detected analysis without a row limit reads a file whole (100 MB); a
// larger file is read up to there, then in blocks spread over the rest. A value below 1
// restores the default. Any thread; workers read it atomically.
constexpr double FILEDESC_DEFAULT_WHOLE_FILE_BYTES = 100.0 * 1024 * 1024;
void FILEDESC_SetWholeFileBytes(double bytes);
// The size FILEDESC_SetWholeFileBytes set (FILEDESC_DEFAULT_WHOLE_FILE_BYTES until then).
double FILEDESC_GetWholeFileBytes();
// The setting FileAnalyseMaxRows in use (default 1000).
int FILEDESC_GetAnalyseMaxRows();
// The setting nCarMaxReadWithoutNewLine in use (default 5000).
int FILEDESC_GetNCarMaxReadWithoutNewLine();

// The rules an analysis follows.
enum FileAnalyseRules {
    // Columns grow with the widest row, the commonest kind of value decides each type, the
    // table is left unnamed.
    FILEANALYSE_SPECIFIED = 0,
    // Ordinary files from other systems read right: the columns come from the header line
    // (without one, from the commonest number of fields; a header shorter than nearly every
    // row gets UndeclaredColumn<n> for the rest, a delimiter ending it names no column), rows
    // with another number of fields are told (a longer one is left out of the types), each
    // proposed type holds every non-empty value seen, and a new description's table is named
    // after the file.
    FILEANALYSE_DETECTED = 1,
    // Added to FILEANALYSE_DETECTED: the description's quoting was chosen by the person and is
    // kept, even when a value in double quotes shows up past the first bytes.
    FILEANALYSE_QUOTING_GIVEN = 2,
};

// Data of an analysis task; owned by the launcher, which outlives the worker.
struct FILEANALYSE_TASKDATA {
    void* window;      // the window that started the analysis (opaque)
    FileDesc* desc;    // the description analysed (not owned)
    std::string path;  // the data file
    int maxRows;       // row limit
    int addColumns;    // 1: the columns found on the first row or header line are added
    int rules = FILEANALYSE_SPECIFIED;  // FileAnalyseRules
};

// Data of a line-count task; owned by the launcher, which outlives the worker.
struct DATAFILESTATS_TASKDATA {
    void* window;          // the window that started the count (opaque)
    FileDesc* desc;        // the description read through (not owned)
    std::string path;      // the data file
    DATAFILE_STATS stats;  // filled by the count
};

// Menu command "Analyser un fichier de données délimité": asks for the data file when `path` is
// missing, creates a new description for it, asks for its properties and analyses the file.
// 0 when the analysis was run, 1 when the person cancelled (nothing is left open then).
// The new description is given `shape` when one is given (FILEDESC_ApplyShape), else, with
// FILEANALYSE_DETECTED, what the file's first bytes say, before the properties are asked; it is
// analysed under `rules`. User-interface thread only.
// `maxRows` below 0 means the setting FileAnalyseMaxRows, or FILEDESC_ANALYSE_AUTO_ROWS under
// FILEANALYSE_DETECTED.
int FYK_DataFileReverseEngenering(void* window, const char* path,
                                  int rules = FILEANALYSE_SPECIFIED,
                                  const DATAFILE_SHAPE* shape = nullptr, int maxRows = -1);

// Gives `desc` what `shape` says: encoding, end of line and delimiter (text notation and
// characters) when found, and, when the fields are quoted, unquoting with that protecting
// character for the columns an analysis adds. Fixed-width lines (`shape.fixedLayout` has
// columns) make `desc` fixed-width with those columns in place of its own (named from the
// header line when `desc` has one, else COL<n>), no delimiter nor quoting, and the padding of
// its texts trimmed at load (TrimPadding); an analysis then only types them.
void FILEDESC_ApplyShape(FileDesc* desc, const DATAFILE_SHAPE& shape);

// `text` made an SQL identifier: accented Latin letters made plain, every run of other
// characters than ASCII letters, digits and "_" made one "_", none at either end, "_" before a
// leading digit ("2024 ventes" gives "_2024_ventes"); at most FILEDESC_NAME_MAX characters,
// empty when nothing is left.
std::string FILEDESC_MakeIdentifier(const std::string& text);
// Column names made loadable from the cells of a header line: quotes around a cell removed,
// control characters made blanks, blanks around trimmed, an empty name made "colonne<n>" (its
// position), a name met before (case aside, as SQL compares names) given "_2", "_3"...
// `renamed` (may be nullptr) receives "« cell » → name" for each name that differs from its
// cell.
std::vector<std::string> FILEDESC_MakeColumnNames(const std::vector<std::string>& cells,
                                                  std::vector<std::string>* renamed);
// A table name made from a data file's name: its stem as an identifier ("rows_1000000.csv"
// gives "rows_1000000").
std::string FILEDESC_TableNameFromFile(const std::string& path);

// Runs the analysis of `path` through `desc` as the task "Analyse d'un fichier de données" and
// returns once it has ended. 1 when desc or path is missing or the task cannot be created.
// User-interface thread only.
int FYK_LaunchFileAnalyse(void* window, FileDesc* desc, const char* path, int maxRows,
                          int addColumns, int rules = FILEANALYSE_SPECIFIED);

// Task body of the analysis; task->parameter is a FILEANALYSE_TASKDATA*.
void fyk_LaunchFileAnalyseThread(TASK* task);

// Analyses up to maxRows rows of the delimited file at `path` (the header line counts as row 1;
// FILEDESC_ANALYSE_AUTO_ROWS: see there):
// finds the columns (added to desc when addColumns is 1; values past the last column always
// add "UndeclaredColumn<n>"), widens them to their longest value, gathers their statistics and
// proposes their types. Reports progress through the task and stops at its stop request.
// 0, or 1 when an argument is missing, the file cannot be read or memory runs out.
// Under FILEANALYSE_DETECTED (`rules`), see FileAnalyseRules; the rows of another shape are
// told through the message panel, and so are the header names changed to be loadable, lines
// cut by FILEDESC_ANALYSE_LINE_LIMIT, columns made Text because a value is longer than a
// description's widths may be, and how much of the file the types hold for. A new
// description that does not unquote is read again unquoting when a value in double quotes
// shows up past the first bytes.
int FILEDESC_AnalyseFileWithSeparatorsV2(TASK* task, FileDesc* desc, const char* path, int maxRows,
                                         int addColumns, int rules = FILEANALYSE_SPECIFIED);

// Menu command "Statistiques du fichier de données": counts the lines of `path` as a task and
// returns once it has ended. Without desc or path it warns the person and returns 1; else 0.
// User-interface thread only.
int FYK_LaunchDatafileComputeStats(void* window, FileDesc* desc, const char* path);

// Task body of the line count; task->parameter is a DATAFILESTATS_TASKDATA*.
void fyk_LaunchDatafileComputeStatsThread(TASK* task);

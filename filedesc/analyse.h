// Delimited file analysis: builds a description from a data file alone (reverse engineering),
// refreshes the proposed column types of an existing description, and counts a file's lines.
//
// The analysis is a pipeline of stages, each a function over plain values:
//   sample (FILEANALYSE_ReadSample) -> dialect (FILEANALYSE_DetectDialect)
//   -> a new description under that dialect (FILEANALYSE_NewDescription)
//   -> header and columns, values and types (FILEDESC_AnalyseFile, one reading of the rows)
//   -> the description, and a FILEANALYSE_REPORT of what was found.
// None of them asks or shows anything: the front ends drive them (the desktop's wizard and
// morvexcli analyse) and show the report their own way. The limits travel in
// FILEANALYSE_OPTIONS; the stages read no process-wide setting, so that two analyses may run at
// once in two threads. Progress goes through the task's events, and the stop request is tested
// once per row. The description a task works on is not locked: the caller must not change it
// while the task runs (runTasks returns once the worker has ended).
#pragma once

#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "datafile/detect.h"
#include "filedesc/filedesc.h"
#include "foundation/task.h"
#include "foundation/uiport.h"

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

// Bytes of rows handed at a time to a thread that judges their values.
constexpr size_t FILEANALYSE_BLOCK_BYTES = 256 * 1024;

// The limits and rules of one analysis: a plain value its caller fills and hands over.
struct FILEANALYSE_OPTIONS {
    // Rows read, the header line included; FILEDESC_ANALYSE_AUTO_ROWS (or below): no row limit,
    // and under FILEANALYSE_DETECTED the whole file up to wholeFileBytes, then blocks spread
    // over the rest.
    int maxRows = FILEDESC_DEFAULT_ANALYSE_MAX_ROWS;
    // Characters read of one line before it is cut (nCarMaxReadWithoutNewLine; under the
    // detected rules at least FILEDESC_ANALYSE_LINE_LIMIT), and the widest width a column keeps
    // before it is made Text.
    int lineLimit = FILEDESC_DEFAULT_NCARMAX_WITHOUT_NEWLINE;
    double wholeFileBytes = FILEDESC_DEFAULT_WHOLE_FILE_BYTES;
    int rules = FILEANALYSE_SPECIFIED;  // FileAnalyseRules
    int addColumns = 1;  // 1: the columns found on the first row or header line are added
    // Threads that judge the values (widths, types) beside the one that reads the rows, in
    // blocks of whole rows of about blockBytes bytes: below 0, two on a machine of two cores
    // or more and none on one; 0, the reading thread judges each row itself. Whatever their
    // number, the analysis gives the same description and report.
    int workers = -1;
    size_t blockBytes = FILEANALYSE_BLOCK_BYTES;
};

// The options of the settings installed by FILEDESC_SetAnalysisLimits and
// FILEDESC_SetWholeFileBytes, with this row limit (below 0: the setting FileAnalyseMaxRows, or
// FILEDESC_ANALYSE_AUTO_ROWS under FILEANALYSE_DETECTED), columns added or not and rules. Taken
// by the user-interface thread before an analysis starts.
FILEANALYSE_OPTIONS FILEDESC_AnalyseOptions(int maxRows, int addColumns, int rules);

// A row of the analysed file that does not have the number of fields of the others.
struct FILEANALYSE_ODDROW {
    int line;    // line of the data file on which the row begins
    int fields;  // fields it has
};

// Something the analysis found that a person should read, worded for the message panel (its
// text ends with a line break; colour: PANEL_INFO or PANEL_WARNING of foundation/uiport.h).
struct FILEANALYSE_NOTICE {
    unsigned colour;
    std::string text;
};

// What an analysis found beside the description itself.
struct FILEANALYSE_REPORT {
    int columns = 0;                          // columns under the detected rules
    std::vector<FILEANALYSE_ODDROW> oddRows;  // the first rows of another shape (at most 10)
    int oddCount = 0;                         // all of them
    std::vector<std::string> renamed;         // "« cell » → name" for the header names changed
    int longLines = 0;                        // lines cut by the line-length limit
    int firstLongLine = 0;
    std::vector<std::string> widened;  // columns made Text: a value longer than a width may be
    int requotedAt = 0;  // line of the first value in double quotes that made a second, unquoting
                         // reading (0: none)
    int rowsRead = 0;    // rows read from the file's beginning, the header included
    int rows = 0;        // data rows among them
    int spreadRows = 0;  // data rows read in the blocks spread over the rest of a large file
    bool wholeFile = false;  // the reading went on to the file's end
    bool stopped = false;    // the stop request ended it
    std::string failure;     // why nothing could be described (empty: it could)
    // The texts the desktop's message panel and morvexcli show, in the order found.
    std::vector<FILEANALYSE_NOTICE> notices;
};

// Data of an analysis task; owned by the launcher, which outlives the worker.
struct FILEANALYSE_TASKDATA {
    void* window;      // the window that started the analysis (opaque)
    FileDesc* desc;    // the description analysed (not owned)
    std::string path;  // the data file
    FILEANALYSE_OPTIONS options;
    FILEANALYSE_REPORT report;  // filled by the worker
};

// ---- Stages ----

// The first bytes of a data file (DATAFILE_SAMPLE_SIZE), as the guesses take them.
struct FILEANALYSE_SAMPLE {
    std::string bytes;
    const char* unreadable = nullptr;  // why the file cannot be read (a static text), or null
    const char* binary = nullptr;      // why the bytes are not text (a static text), or null
};
// Stage 1: the sample of `path`. Any thread.
FILEANALYSE_SAMPLE FILEANALYSE_ReadSample(const std::string& path);
// Stage 2: the reading dialect the sample shows, under what a person gave
// (DATAFILE_DetectShape). Any thread.
DATAFILE_SHAPE FILEANALYSE_DetectDialect(const FILEANALYSE_SAMPLE& sample,
                                         const DATAFILE_SHAPE_GIVEN& given = {});
// Stage 3: a new description of the data file at `path` (registered as open, not shown) under
// `shape` when given: project named after the file, example file, header line unless the shape
// says otherwise, the table named after the file under FILEANALYSE_DETECTED. The caller owns
// it (FILEDESC_CloseFileDesc). nullptr when memory runs out. User-interface thread only (the
// registry of open descriptions).
FileDesc* FILEANALYSE_NewDescription(const std::string& path, const DATAFILE_SHAPE* shape,
                                     int rules);
// Stages 4 and 5: the rows of `path` read through `desc` (header and columns, values and
// types) under `options`; see FILEDESC_AnalyseFileWithSeparatorsV2. Returns the report (its
// failure set when nothing could be described). `task` gives progress and the stop request.
// Any thread, one description per analysis.
FILEANALYSE_REPORT FILEDESC_AnalyseFile(TASK* task, FileDesc* desc, const char* path,
                                        const FILEANALYSE_OPTIONS& options);

// Data of a line-count task; owned by the launcher, which outlives the worker.
struct DATAFILESTATS_TASKDATA {
    void* window;          // the window that started the count (opaque)
    FileDesc* desc;        // the description read through (not owned)
    std::string path;      // the data file
    DATAFILE_STATS stats;  // filled by the count
};

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

// Runs the analysis of `path` through `desc` as the task "Analyse d'un fichier de données"
// under `options` and returns once it has ended, with its report in `report` (may be nullptr).
// Shows nothing: the caller shows the report. 1 when desc or path is missing or the task cannot
// be created. User-interface thread only.
int FYK_RunFileAnalyse(void* window, FileDesc* desc, const char* path,
                       const FILEANALYSE_OPTIONS& options, FILEANALYSE_REPORT* report);

// Task body of the analysis; task->parameter is a FILEANALYSE_TASKDATA*.
void fyk_LaunchFileAnalyseThread(TASK* task);

// FILEDESC_AnalyseFile under the settings' options, without the report. Analyses up to
// maxRows rows of the delimited file at `path` (the header line counts as row 1;
// FILEDESC_ANALYSE_AUTO_ROWS: see there):
// finds the columns (added to desc when addColumns is 1; values past the last column always
// add "UndeclaredColumn<n>"), widens them to their longest value, gathers their statistics and
// proposes their types. Reports progress through the task and stops at its stop request.
// 0, or 1 when an argument is missing, the file cannot be read or memory runs out.
// Under FILEANALYSE_DETECTED (`rules`), see FileAnalyseRules; the report tells the rows of
// another shape, the header names changed to be loadable, lines cut by
// FILEDESC_ANALYSE_LINE_LIMIT, columns made Text because a value is longer than a description's
// widths may be, and how much of the file the types hold for. A new
// description that does not unquote is read again unquoting when a value in double quotes
// shows up past the first bytes.
int FILEDESC_AnalyseFileWithSeparatorsV2(TASK* task, FileDesc* desc, const char* path, int maxRows,
                                         int addColumns, int rules = FILEANALYSE_SPECIFIED);

// Menu command "Statistiques du fichier de données": counts the lines of `path` as a task and
// returns once it has ended. Without desc or path it returns 1 and `error` (may be nullptr)
// holds the warning for the caller to show; else 0. User-interface thread only.
int FYK_LaunchDatafileComputeStats(void* window, FileDesc* desc, const char* path,
                                   morvex::UiError* error = nullptr);

// Task body of the line count; task->parameter is a DATAFILESTATS_TASKDATA*.
void fyk_LaunchDatafileComputeStatsThread(TASK* task);

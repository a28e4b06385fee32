// TEMPLATE: the template language of the generation processes. A template (.tpl) is compiled
// into a flat array of instructions with resolved jump targets, linked, and executed against
// one file description to write one output file.
//
// Phases of one generation (TEMPLATE_Generate): TEMPLATE_LoadFile, TEMPLATE_GetType,
// TEMPLATE_Compile, TEMPLATE_GenerateInstructions, the array, TEMPLATE_ResolveLinksV2, the
// output file name, TEMPLATE_ExecuteFunction of "Program.Main".
//
// Threads: one generation runs in one thread (the caller's, or the generation worker of
// LaunchProcessing). The run state (call depth, stop request, instruction budget) is kept per
// thread, so distinct threads may generate at the same time. Messages for the person go through
// morvex::uiPort(); diagnostics through morvex::trace.
//
// Return convention: 0 = success, 1 = failure, unless a function says otherwise.
#pragma once

#include <cstdio>
#include <string>

#include "calc/calcvar.h"
#include "filedesc/filedesc.h"
#include "foundation/ldcg.h"
#include "foundation/pile.h"
#include "foundation/task.h"

// Instruction codes (one per directive, plus those the compiler generates).
enum TemplateCode {
    TPL_TEXT = 1,                    // text line
    TPL_FOR_EACH_COLUMN = 2,         // %for_each_column
    TPL_IF = 3,                      // %if
    TPL_BEGIN = 4,                   // %begin
    TPL_END = 5,                     // %end
    TPL_ELSE = 6,                    // %else
    TPL_ELSEIF = 7,                  // %elseif
    TPL_ALIGN = 8,                   // %align
    TPL_APPLICATIONHEADER = 9,       // %applicationheader
    TPL_KEEP = 10,                   // %keep
    TPL_TARGETFILENAME = 11,         // %targetfilename
    TPL_COMMENT = 12,                // %--
    TPL_EVALUATE = 13,               // % (alone)
    TPL_FOR_EACH_INDEX = 16,         // %for_each_index
    TPL_FOR_EACH_IDX_COLUMN = 17,    // %for_each_idx_column
    TPL_FOR_EACH_PK_COLUMN = 18,     // %for_each_pk_column
    TPL_FOR_EACH_DATAFILE_ROW = 19,  // %for_each_datafile_row
    TPL_ERROR = 21,                  // %error
    TPL_WARNING = 22,                // %warning
    TPL_INFO = 23,                   // %info
    TPL_MSGBOX_ERROR = 24,           // %msgbox:error
    TPL_MSGBOX_WARNING = 25,         // %msgbox:warning
    TPL_MSGBOX_INFO = 26,            // %msgbox:info
    TPL_EXIT = 27,                   // %exit
    TPL_EXECSYSTEM = 28,             // %execsystem
    TPL_TEMPLATETYPE = 29,           // %templatetype
    TPL_FUNCTION = 30,               // %function
    TPL_INPUTPARAMETER = 31,         // generated: a received parameter
    TPL_PUSH = 32,                   // generated: push on the caller's stack
    TPL_POP = 33,                    // generated: pop into a variable
    TPL_SET_RETURNS_ON = 34,         // %set_returns_on
    TPL_SET_RETURNS_OFF = 35,        // %set_returns_off
    TPL_INCLUDE = 36,                // %include
    TPL_NAMESPACE = 37,              // %namespace
    TPL_RETURN = 38,                 // %return
    TPL_CALL = 39,                   // any other "%" word: a function call
    TPL_WRITE = 40,                  // %write
    TPL_WRITELN = 41,                // %writeln
    TPL_TEMPLATE_GENERATE = 43,      // %template.generate
    TPL_FILEDESC_OPEN = 44,          // %filedesc.open
};

// Types returned by TEMPLATE_GetType.
enum {
    TEMPLATE_TYPE_NO_ITERATOR = -2,  // the list could not be read
    TEMPLATE_TYPE_NO_LIST = -1,      // no line list
    TEMPLATE_TYPE_UNKNOWN = 0,       // no, or an unknown, %templatetype directive
    TEMPLATE_TYPE_TEMPLATE = 1,      // "MorvexFylatek.Template"
    TEMPLATE_TYPE_LIBRARY = 2,       // "MorvexFylatek.Library"
};

// Buffers of the language (characters, terminator excluded).
constexpr int TEMPLATE_LINE_MAX = 4999;         // one line record as read; a substituted text
constexpr int TEMPLATE_WORD_MAX = 127;          // a directive word
constexpr int TEMPLATE_PARAM_MAX = 1023;        // a directive parameter; a name or inline call
constexpr int TEMPLATE_VALUE_MAX = 4999;        // one value of getValue
constexpr int TEMPLATE_LOGIN_MAX = 63;          // the login name
constexpr int TEMPLATE_PATH_MAX = 260;          // a target directory
constexpr int TEMPLATE_MAX_VARIABLES = 100;     // run-time variables of one function
constexpr int TEMPLATE_MAX_CALL_DEPTH = 100;    // nested function calls of one generation
constexpr int TEMPLATE_MAX_GENERATE_DEPTH = 8;  // nested %template.generate
constexpr int TEMPLATE_MAX_GENERATIONS = 256;   // %template.generate runs of one generation
// Instructions one generation (its nested generations included) may execute unless the front
// end sets another limit.
constexpr long long TEMPLATE_DEFAULT_INSTRUCTION_LIMIT = 5'000'000;
constexpr int TEMPLATE_MAX_BLOCK_DEPTH = 200;   // nested %begin blocks
constexpr int TEMPLATE_MAX_INCLUDE_DEPTH = 16;  // nested %include

// One instruction: a template line as read, then as compiled, linked and executed.
struct LINE {
    int code;     // instruction code (TemplateCode); 1 for a line as read
    char* data;   // owned text: the line as read, then the parameter or generated operand
    int ifTrue;   // jump when a loop yields / a condition holds; called function; -1 return
    int ifFalse;  // jump when a loop is exhausted / a condition fails
    int line;     // 1-based line number in the template file; 0 for generated instructions
};

// State of one running loop instruction of a function (private to the runtime).
struct RUNTIME_LOOP;

// Run-time context: one per executing function, and one for the whole generation.
struct RUNTIME_CTX {
    CalcVar variables[TEMPLATE_MAX_VARIABLES];  // names owned; CHAINE texts owned
    PILE* stack;                   // owned texts (malloc'd) passed to the functions this one calls
    int varCount;                  // variables in use
    int pc;                        // index of the executing instruction
    FileDesc* description;         // the description being generated (shared, not owned)
    IndexDesc* currentIndex;       // reached by %for_each_index, or nullptr
    ColumnDesc* currentIdxColumn;  // reached by %for_each_idx_column, or nullptr
    ColumnDesc* currentPkColumn;   // reached by %for_each_pk_column, or nullptr
    char targetDirectory[TEMPLATE_PATH_MAX + 1];  // directory of the output file
    RUNTIME_LOOP* loops;   // owned running loops of this function (innermost first)
    LDCG* currentRow;      // row reached by %for_each_datafile_row (owned by its loop)
    int currentRowNumber;  // its line number in the data file, 0 when none
};

// ---- Compiler ----

// Reads the template file into a list of LINE* (code 1, text with its line end, line number);
// lines longer than 4999 characters are cut into several records. A CR LF line end is read
// as LF. nullptr when the file cannot be opened, is no regular file (a named pipe or a device
// is refused without waiting) or is larger than TEMPLATE_MAX_FILE (traced in French).
LDCG* TEMPLATE_LoadFile(const char* path);
// The largest template file read.
constexpr size_t TEMPLATE_MAX_FILE = 16u << 20;
// Type of the template held by `lines` (TEMPLATE_TYPE_*).
int TEMPLATE_GetType(LDCG* lines);
// Finds the directive of `line`: 1 with the lower-cased word (at most 127 characters) and the
// parameter (at most 1023, line end included) when one was found, else 0. `word` must hold 128
// bytes and `param` 1024.
int searchInstruction(const char* line, char* word, char* param);
// Compiles the list in place (codes, parameters, program frame, includes, call pushes).
// 1 when the list is absent or an %include fails, else 0.
int TEMPLATE_Compile(LDCG* lines);
// A new list of instructions with the function prologues and returns expanded; the compiled
// list keeps nothing (its records move over). nullptr without a list.
LDCG* TEMPLATE_GenerateInstructions(LDCG* lines);
// Links the array from `start`: the instruction count on success (the top call), the position
// of the closing %end (inner calls), -1 on a link error (traced, and sent to the panel).
int TEMPLATE_ResolveLinksV2(LINE* lineTab, int count, int start);
// Writes the listing of the array to `path`. 1 when the file cannot be written.
int generateCode(LINE* lineTab, int count, const char* path);
// Frees one instruction and its text (nullptr accepted); the destructor of the line lists.
void LINE_Destroy(void* line);
// Frees an instruction array of `count` records and their texts (nullptr accepted).
void freeByteCode(LINE* lineTab, int count);

// What the last failed link of this thread reported (for the command line).
struct TEMPLATE_LINKERROR {
    int index;          // instruction index, -1 when none
    int line;           // its source line (0 for generated instructions)
    char message[512];  // the message, without its leading line feed
};
// The last link error of the calling thread (index -1 when the last link succeeded).
const TEMPLATE_LINKERROR* TEMPLATE_GetLastLinkError();

// A compiled and linked template.
struct TEMPLATE_PROGRAM {
    LINE* lineTab;  // owned array (freeByteCode)
    int count;      // instructions
};
// Phases (1) to (5) of a generation: loads `path`, compiles, generates and links into
// `program`, writing both listing files into the logs directory. 0 on success; 1 on a failure
// (already traced and sent to the panel), `program` then empty.
int TEMPLATE_Build(const char* path, TEMPLATE_PROGRAM* program);

// ---- Runtime ----

// A zeroed context with its own empty stack for `description` (not owned); nullptr when out of
// memory (traced).
RUNTIME_CTX* RUNTIME_CTX_New(FileDesc* description);
// Frees the context's stack (and the texts left on it), variables, loops and itself.
void RUNTIME_CTX_Destroy(RUNTIME_CTX* ctx);
// Index of the FUNCTION instruction named `name` (case-insensitive); -1 when none; -2 when the
// name or the array is missing.
int RUNTIME_FindFunction(const char* name, LINE* lineTab, int count);
// Runs the function `name` with a context of its own; `caller` lends its description, target
// directory and stack. 0 when it ended normally, 1 on a run-time error, a missing argument, a
// stop request or the call depth limit.
int TEMPLATE_ExecuteFunction(RUNTIME_CTX* caller, const char* name, LINE* lineTab, int count,
                             FILE* out);
// Compiles and evaluates `expression` against the context's variables, storing an assignment.
// 0, or 1 on an error (reported).
int EvaluateExpression(RUNTIME_CTX* ctx, const char* expression);
// Writes the application header block for `desc` to `out`.
void WriteFileHeader(FILE* out, FileDesc* desc);

// ---- Variables ----

// Substitutes the references and inline calls of `text` (NUL-terminated, at most textSize - 1
// characters) in place; a result longer than 4999 characters is cut with a panel warning. 0.
int CompileString(RUNTIME_CTX* ctx, ColumnDesc* column, char* text, int textSize, LINE* lineTab,
                  int count, FILE* out);
// Value of one name into `value` (at most valueSize - 1 characters); an unknown name gives an
// empty value and a panel message. 0, or 1 without a context.
int getValue(RUNTIME_CTX* ctx, ColumnDesc* column, const char* name, char* value, int valueSize);
// SQL type text of a target type into `buffer`. 0, or 1 without a type.
int getSQLType(const TypeCible* typeCible, char* buffer, int size);

// ---- Generation ----

// Generates `templatePath` for `desc` into `targetDirectory`; the output path is written to
// `outputPath` (at most outputPathSize - 1 characters). 0 on success, 1 on failure.
int TEMPLATE_Generate(FileDesc* desc, const char* templatePath, const char* targetDirectory,
                      char* outputPath, int outputPathSize);

// What %execsystem does with its command. The command never goes through a shell: the text of
// the template is split into words (blanks outside quotes; double or single quotes group a word
// and are removed; a {reference} or %call: is never split), then each word is substituted on its
// own and becomes one argument, so that no value can add a word or shell syntax. The first word
// names the program, searched in PATH.
enum TemplateExecPolicy {
    TEMPLATE_EXEC_REFUSE = 0,  // never run: an error in the panel, the generation goes on
    TEMPLATE_EXEC_ASK = 1,     // the UI port asks, showing the command as it will run (default)
    TEMPLATE_EXEC_ALLOW = 2,   // run, with a notice in the panel
};

// Run options of the calling process (set by the front end before a run).
// What %execsystem does (TEMPLATE_EXEC_ASK until a front end says otherwise).
void TEMPLATE_SetExecPolicy(TemplateExecPolicy policy);
// Writes the per-instruction run-time trace (on by default; it slows a run down a lot).
void TEMPLATE_SetDetailedTrace(bool on);
// Most instructions one generation, its nested generations included, may execute
// (TEMPLATE_DEFAULT_INSTRUCTION_LIMIT until a front end says otherwise; 0: no limit); past it
// the run ends with a panel message. Nested generations are bounded besides: at most
// TEMPLATE_MAX_GENERATE_DEPTH levels and TEMPLATE_MAX_GENERATIONS runs of %template.generate,
// past which the whole run ends with a panel message.
void TEMPLATE_SetInstructionLimit(long long limit);
// The instruction limit in force (0: none).
long long TEMPLATE_GetInstructionLimit();
// Executed instructions of the calling thread since its last generation started.
long long TEMPLATE_GetExecutedInstructions();

// States of a process task after a run.
enum {
    GENTASK_READY = 0,    // "Prêt"
    GENTASK_DONE = 1,     // "Terminé"
    GENTASK_ERROR = 2,    // "Erreur"
    GENTASK_STOPPED = 3,  // "Arrêté": the run was stopped during or before this task
};

// One run of a generation process (the parameter of a LaunchProcessing task).
struct GENERATIONRUN {
    FileDesc* description;  // the description generated (not owned)
    PROCESS* process;       // the tasks to run in order (not owned); outputPath set per task
    char targetRoot[TEMPLATE_PATH_MAX + 1];       // where the time-stamped directory is made
    char outputDirectory[TEMPLATE_PATH_MAX + 1];  // the directory of this run (set by the run)
    int* states;         // owned GENTASK_* per task (set by the run), or nullptr
    int stateCount;      // entries of states
    int failedCount;     // tasks that ended in error
    int stopped;         // 1 when a stop request ended the run
    long long executed;  // instructions executed by the run's generations
};

// Text of a task state ("Prêt", "Terminé", "Erreur", "Arrêté").
const char* GENERATION_StateText(int state);
// A run over `desc` and `process` into `targetRoot` (nullptr: the generated-files directory of
// the settings); nullptr when out of memory.
GENERATIONRUN* GENERATION_CreateRun(FileDesc* desc, PROCESS* process, const char* targetRoot);
// Frees a run (nullptr accepted).
void GENERATION_DestroyRun(GENERATIONRUN* run);
// The template file that a process task's `templatePath` names for the description `desc`: an
// absolute path as it is; a relative one from the description's folder, else the current folder
// (filedesc/descpaths.h), else the templates folder (the setting, or the bundled templates when
// it is empty) when the template is found there. Any thread.
std::string TEMPLATE_ResolvePath(const FileDesc* desc, const char* templatePath);
// Task worker: runs every task of the run's process (task->parameter is a GENERATIONRUN*) into a
// new time-stamped directory, reporting progress and the end through the task's events and the
// results to the message panel. A stop request ends the run between two instructions.
void LaunchProcessing(TASK* task);

// Internals shared by the template compiler, runtime and generation (not a public interface).
#pragma once

#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "foundation/task.h"
#include "foundation/uiport.h"
#include "template/template.h"

// One running loop instruction of a function.
struct RUNTIME_LOOP {
    int pc;              // the loop instruction
    int code;            // its code
    FileDesc* desc;      // the description whose list is walked (lists of the description)
    IndexDesc* index;    // %for_each_idx_column: the index whose columns are walked
    size_t position;     // elements of the list delivered so far
    void* current;       // element reached (ColumnDesc*, IndexDesc*), or the row
    DATAFILE* reader;    // %for_each_datafile_row: the data file reader
    int rowNumber;       // %for_each_datafile_row: rows delivered so far
    RUNTIME_LOOP* next;  // the loop started before this one
};

namespace tplinternal {

// Element `k` (from 0) of the description's list that `loop` walks, read again at each step so
// that the list may change under the loop; nullptr past its end or for a row loop.
void* loopElement(const RUNTIME_LOOP* loop, size_t k);

// Run state of the generation running in the calling thread.
struct RunState {
    TASK* task = nullptr;    // the LaunchProcessing task, for its stop request
    bool stopped = false;    // a stop request ended the run
    bool aborted = false;    // the depth or instruction limit ended the run
    int callDepth = 0;       // nested TEMPLATE_ExecuteFunction
    int generateDepth = 0;   // nested TEMPLATE_Generate
    int generations = 0;     // nested TEMPLATE_Generate runs of the current top generation
    long long executed = 0;  // instructions executed by the current top generation
};

// The calling thread's run state.
RunState& runState();

// True when the run must end now (stop request, or a limit already reached).
bool mustStop();

// Whether the per-instruction trace is on.
bool detailedTrace();
// What %execsystem does.
TemplateExecPolicy execPolicy();
// The instruction limit (0: none).
long long instructionLimit();

// Appends a text to the message panel in bold in `colour`.
inline void panel(unsigned colour, const std::string& text) {
    morvex::uiPort().panelMessage(morvex::UiPanel::BoldColour, colour, text);
}

// printf into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Lower-case copy (ASCII letters only).
std::string lower(const std::string& s);

// Joins a directory and a name with "/" (no separator when the directory is empty).
std::string joinPath(const std::string& dir, const std::string& name);

// A filter applied to each value that a substitution puts into a text.
using ValueFilter = std::string (*)(const std::string& value);

// `text` substituted by CompileString's rules, each value passed through `filter` (when given)
// before it is put in; the result is not cut.
std::string substituteText(RUNTIME_CTX* ctx, ColumnDesc* column, const std::string& text,
                           LINE* lineTab, int count, FILE* out, ValueFilter filter = nullptr);

// A value made fit to be part of a file name: without "/", "\\", ".." nor control characters.
std::string fileNamePart(const std::string& value);

// %execsystem: splits the command into words, substitutes each, then runs it (or refuses it) by
// the exec policy; see TemplateExecPolicy.
void runExecSystem(RUNTIME_CTX* ctx, const LINE& l, ColumnDesc* column, LINE* lineTab, int count,
                   FILE* out);

// The words of a command as the template writes them (see TemplateExecPolicy), not yet
// substituted.
std::vector<std::string> commandWords(const std::string& text);

// The command as a shell would read it back: each word that holds more than letters, digits
// and "_@%+=:,./-" between single quotes. What the person is shown.
std::string commandText(const std::vector<std::string>& words);

// Splits a parameter into items the way call arguments are read: ',' CR and LF end an item
// even when empty; a space ends a non-empty item and is skipped at the start of one.
void splitArguments(const std::string& param, std::vector<std::string>& items);

}  // namespace tplinternal

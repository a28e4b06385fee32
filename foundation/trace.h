// The one diagnostic trace stream of every Morvex program.
//
// Trace lines go to standard output unless a program redirects them (morvex and morvexcli
// write them into their log file). Writes are serialised by a lock, so lines written from
// worker threads never interleave inside one call.
#pragma once

#include <cstdio>
#include <string>

namespace morvex {

// Writes one formatted diagnostic (printf rules) to the trace stream and flushes it.
// Any thread may call it.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes a text as it stands (no formatting) to the trace stream.
void traceText(const char* text);

// Sends the trace to `stream` (not owned); nullptr restores standard output.
void traceSetStream(FILE* stream);

// Creates (or truncates) a file of the logs folder for writing: a new file is readable by its
// owner only (0600), and a symbolic link at `path` is never followed. Refused, with `refusal`
// (when not null) set to the reason in French, when the file is not a regular one (a named pipe
// is never waited on), belongs to another user, or lies in a folder that others may write
// without the sticky bit (they could put their own file in its place). nullptr when it cannot
// be opened (`refusal` then empty when it is no refusal but a system error).
FILE* traceCreateFile(const char* path, std::string* refusal = nullptr);

// Opens (truncating) the file at `path` with traceCreateFile and sends the trace into it; the
// trace owns the file until traceClose() or the next redirection. Returns false, keeping the
// current stream, when the file cannot be opened.
bool traceOpenFile(const char* path, std::string* refusal = nullptr);

// Opens the log at `path` with traceOpenFile; when that file is refused, the file of the same
// name in the private default folder (traceDefaultDirectory(), created) takes the trace and
// `warning` says so in French. Returns the path that receives the trace, or an empty text when
// none could be opened (the current stream is kept).
std::string traceOpenLog(const std::string& path, std::string* warning);

// The default folder of the logs, private to the user: "$XDG_STATE_HOME/MorvexFylatek", or
// "$HOME/.local/state/MorvexFylatek" when XDG_STATE_HOME is unset, empty or not absolute.
std::string traceDefaultDirectory();

// Creates the folder `dir` and its missing parents, each with mode 0700 (a folder that already
// exists keeps its mode). True when `dir` is a folder afterwards.
bool traceMakePrivateDirectory(const std::string& dir);

// Closes an owned trace file and goes back to standard output.
void traceClose();

// Captures everything traced during its lifetime into memory (tests, and callers that must
// show the trace of one operation). Not nestable across threads; restores the previous
// stream when destroyed.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Everything traced since construction (or since the last clear()).
    std::string text() const;
    void clear();

private:
    FILE* file_;
    FILE* previous_;
    bool previousOwned_;
};

}  // namespace morvex

// The UI port of morvexcli: nobody sits in front of a script, so messages go to standard
// error in French with the console prefixes, questions get their safe default answer, file
// prompts take the proposed path, and tasks run with a progress bar on standard error when it
// is a terminal. Ctrl-C during a task asks the task to stop.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "foundation/uiport.h"

namespace morvex {

class CliUiPort : public HeadlessUiPort {
public:
    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon icon) override;
    // Message panel texts on standard output, in their colours when it is a terminal.
    void panelMessage(UiPanel request, unsigned value, const std::string& text) override;
    void runTasks(TASKSLIST* tasks) override;

    // Message panel texts go to standard error (standard output holds a result, JSON...).
    bool panelToStderr = false;
    // The final event of the last task run (5 finished, 6 interrupted, 7 not started; 0 none)
    // and its message.
    int finalEvent = 0;
    std::string finalMessage;
    // -q: no notes "(i)", no progress bar; -v: what the commands do told as they do it.
    bool quiet = false;
    bool verbose = false;

private:
    static void onTaskEvent(TASK* task, int event, int range, int position, const char* message);
    std::mutex lock_;
    int range_ = 0;
    int position_ = 0;
    std::string progressText_;
};

// Runs `work` in a worker thread and returns once it has ended. While it runs, Ctrl-C calls
// `onInterrupt` (from this thread, every 100 ms until the work ends); `onTick` is called every
// 100 ms (progress display).
void runInterruptible(const std::function<void()>& work, const std::function<void()>& onInterrupt,
                      const std::function<void()>& onTick = nullptr);

// Writes an error for the person running the command: "(e) text" on standard error.
void cliError(const std::string& text);
// Writes a note "(i) text" on standard error, unless the run is quiet (-q).
void cliNote(const std::string& text);
// Whether the run is quiet (-q) or verbose (-v): the program's port says so (false otherwise).
bool cliQuiet();
bool cliVerbose();

}  // namespace morvex

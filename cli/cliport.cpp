#include "cli/cliport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <thread>
#include <sys/ioctl.h>
#include <unistd.h>

#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace morvex {
namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onSigint(int) { interruptRequested.store(true); }

// Columns of the terminal on standard error (80 when it does not say).
size_t terminalColumns() {
    struct winsize ws {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

// Draws "[#####-----]  42 % text" on one line of standard error, never wider than the terminal
// (a line that wraps would leave one copy per redraw): the text is shortened, a whole character
// at a time, and the rest of the line blanked.
void drawProgress(int range, int position, const std::string& text) {
    const int width = 30;
    int percent = range > 0 ? static_cast<int>(100.0 * position / range) : 0;
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    int filled = percent * width / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar += std::string(static_cast<size_t>(width - filled), '-');
    const size_t columns = terminalColumns();
    const size_t fixed = width + 9;  // "[" bar "] " "100 %" " "
    const size_t room = columns > fixed + 1 ? columns - fixed - 1 : 0;
    std::string line = text;
    size_t chars = 0, cut = 0;
    while (cut < line.size() && chars < room) {
        cut += utf8CharLength(line, cut);
        ++chars;
    }
    line.resize(cut);
    line += std::string(room - chars, ' ');
    fprintf(stderr, "\r[%s] %3i %% %s", bar.c_str(), percent, line.c_str());
    fflush(stderr);
}

}  // namespace

UiAnswer CliUiPort::messageBox(const std::string& caption, const std::string& text,
                               UiButtons buttons, UiIcon icon) {
    const char* prefix = "(i)";
    if (icon == UiIcon::Info && quiet) return HeadlessUiPort::messageBox(caption, text, buttons, icon);
    if (icon == UiIcon::Error) prefix = "(e)";
    if (icon == UiIcon::Warning) prefix = "(!)";
    if (icon == UiIcon::Question) prefix = "(?)";
    fprintf(stderr, "%s %s : %s\n", prefix, caption.c_str(), text.c_str());
    return HeadlessUiPort::messageBox(caption, text, buttons, icon);
}

void CliUiPort::panelMessage(UiPanel request, unsigned value, const std::string& text) {
    HeadlessUiPort::panelMessage(request, value, text);  // the log keeps them too
    if (quiet && text.rfind("(i)", 0) == 0) return;
    if (request != UiPanel::Normal && request != UiPanel::BoldColour && request != UiPanel::Link)
        return;
    static std::mutex panelLock;
    std::lock_guard<std::mutex> g(panelLock);
    FILE* to = panelToStderr ? stderr : stdout;
    std::string out = text;
    if (isatty(fileno(to))) {
        // Colour references hold blue, green and red from high to low; black stays the
        // terminal's own colour so that it reads on dark backgrounds too.
        const unsigned r = value & 0xFF, gr = (value >> 8) & 0xFF, b = (value >> 16) & 0xFF;
        std::string on;
        if (request == UiPanel::BoldColour)
            on = value ? "\x1b[1;38;2;" + std::to_string(r) + ";" + std::to_string(gr) + ";" +
                             std::to_string(b) + "m"
                       : "\x1b[1m";
        if (request == UiPanel::Link) on = "\x1b[4m";
        if (!on.empty()) out = on + text + "\x1b[0m";
    }
    fwrite(out.data(), 1, out.size(), to);
    fflush(to);
}

void CliUiPort::onTaskEvent(TASK* task, int event, int range, int position, const char* message) {
    auto* self = static_cast<CliUiPort*>(task->runnerData);
    std::lock_guard<std::mutex> g(self->lock_);
    if (event == TASK_EVENT_FINISHED || event == TASK_EVENT_INTERRUPTED ||
        event == TASK_EVENT_NOT_STARTED) {
        if (message) trace("\n[TASK] %i %s", event, message);
        self->finalEvent = event;
        self->finalMessage = message ? message : "";
    }
    self->range_ = range;
    self->position_ = position;
    if (message) self->progressText_ = message;
}

void CliUiPort::runTasks(TASKSLIST* tasks) {
    if (!tasks || !tasks->first || !tasks->first->lParam1) return;
    TASK* task = static_cast<TASK*>(tasks->first->lParam1);
    if (!task->worker) return;
    task->eventCallback = &CliUiPort::onTaskEvent;
    task->runnerData = this;
    finalEvent = 0;
    finalMessage.clear();

    const bool showBar = !quiet && isatty(STDERR_FILENO) != 0;
    runInterruptible([task] { task->worker(task); }, [task] { TASK_RequestStop(task); },
                     [this, showBar] {
                         if (!showBar) return;
                         std::lock_guard<std::mutex> g(lock_);
                         drawProgress(range_, position_, progressText_);
                     });
    if (showBar) {
        drawProgress(range_, position_, progressText_);
        fputc('\n', stderr);
    }
    if (finalEvent == TASK_EVENT_INTERRUPTED || finalEvent == TASK_EVENT_NOT_STARTED)
        fprintf(stderr, "(!) %s\n", finalMessage.c_str());
}

void runInterruptible(const std::function<void()>& work, const std::function<void()>& onInterrupt,
                      const std::function<void()>& onTick) {
    interruptRequested.store(false);
    struct sigaction action {}, previous {};
    action.sa_handler = onSigint;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);

    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread worker([&work, &done, &doneLock, &doneSignal] {
        work();
        std::lock_guard<std::mutex> g(doneLock);
        done = true;
        doneSignal.notify_one();
    });
    for (;;) {
        {
            std::unique_lock<std::mutex> g(doneLock);
            if (doneSignal.wait_for(g, std::chrono::milliseconds(100), [&done] { return done; }))
                break;
        }
        if (interruptRequested.load() && onInterrupt) onInterrupt();
        if (onTick) onTick();
    }
    worker.join();
    sigaction(SIGINT, &previous, nullptr);
}

void cliError(const std::string& text) { fprintf(stderr, "(e) %s\n", text.c_str()); }

bool cliQuiet() {
    const auto* port = dynamic_cast<const CliUiPort*>(&uiPort());
    return port && port->quiet;
}

bool cliVerbose() {
    const auto* port = dynamic_cast<const CliUiPort*>(&uiPort());
    return port && port->verbose;
}

void cliNote(const std::string& text) {
    if (!cliQuiet()) fprintf(stderr, "(i) %s\n", text.c_str());
}

}  // namespace morvex

#include "cli/cliport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include "foundation/trace.h"

namespace morvex {
namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int) { interruptRequested.store(true); }

// Draws "[#####-----]  42 % text" on one line of standard error.
void drawProgress(int range, int position, const std::string& text) {
    const int width = 30;
    int percent = range > 0 ? static_cast<int>(100.0 * position / range) : 0;
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    int filled = percent * width / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar += std::string(static_cast<size_t>(width - filled), '-');
    std::string line = text.substr(0, 60);
    fprintf(stderr, "\r[%s] %3i %% %-60s", bar.c_str(), percent, line.c_str());
    fflush(stderr);
}

}  // namespace

UiAnswer CliUiPort::messageBox(const std::string& caption, const std::string& text,
                               UiButtons buttons, UiIcon icon) {
    const char* prefix = "(i)";
    if (icon == UiIcon::Error) prefix = "(e)";
    if (icon == UiIcon::Warning) prefix = "(!)";
    if (icon == UiIcon::Question) prefix = "(?)";
    fprintf(stderr, "%s %s : %s\n", prefix, caption.c_str(), text.c_str());
    return HeadlessUiPort::messageBox(caption, text, buttons, icon);
}

void CliUiPort::openDescription(FileDesc* desc) { lastOpened = desc; }

bool CliUiPort::editProjectProperties(FileDesc* desc, bool) {
    if (onProperties) onProperties(desc);
    return true;
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

    interruptRequested.store(false);
    struct sigaction action {}, previous {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);

    const bool showBar = isatty(STDERR_FILENO) != 0;
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread worker([task, &done, &doneLock, &doneSignal] {
        task->worker(task);
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
        if (interruptRequested.load()) TASK_RequestStop(task);
        if (showBar) {
            std::lock_guard<std::mutex> g(lock_);
            drawProgress(range_, position_, progressText_);
        }
    }
    worker.join();
    sigaction(SIGINT, &previous, nullptr);
    if (showBar) {
        drawProgress(range_, position_, progressText_);
        fputc('\n', stderr);
    }
    if (finalEvent == TASK_EVENT_INTERRUPTED || finalEvent == TASK_EVENT_NOT_STARTED)
        fprintf(stderr, "(!) %s\n", finalMessage.c_str());
}

void cliError(const std::string& text) { fprintf(stderr, "(e) %s\n", text.c_str()); }

}  // namespace morvex

// A UI port for tests: scripted answers, and a record of everything shown to the "person".
// Thread-safe, since workers write status texts and events from their own thread.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/uiport.h"

namespace morvex {

// One event a task reported while ScriptedUiPort ran it.
struct RecordedTaskEvent {
    int event;
    int range;
    int position;
    std::string message;
};

// One request the message panel received.
struct RecordedPanelRun {
    UiPanel request;
    unsigned value;  // colour, or topic
    std::string text;
};

class ScriptedUiPort : public UiPort {
public:
    // Answers given to the next message boxes, in order; once exhausted Ok, No for Yes/No
    // questions, Cancel for Yes/No/Cancel ones.
    std::deque<UiAnswer> answers;
    // Answers given to the next file prompts; an empty optional is a cancel. Once exhausted,
    // the proposed path is accepted.
    std::deque<std::optional<std::string>> fileAnswers;
    // What editProjectProperties answers.
    bool confirmProperties = true;
    // Stop the running task once it has reported this many events (0: never).
    int stopAfterEvents = 0;

    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon) override {
        std::lock_guard<std::mutex> g(lock_);
        messages.push_back(caption + "|" + text);
        if (!answers.empty()) {
            UiAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons == UiButtons::YesNoCancel) return UiAnswer::Cancel;
        return buttons == UiButtons::YesNo ? UiAnswer::No : UiAnswer::Ok;
    }
    std::optional<std::string> promptFile(const std::string& title, const std::string& proposed,
                                          const std::string&, bool) override {
        std::lock_guard<std::mutex> g(lock_);
        prompts.push_back(title);
        if (!fileAnswers.empty()) {
            auto a = fileAnswers.front();
            fileAnswers.pop_front();
            return a;
        }
        return proposed;
    }
    void statusText(const std::string& text) override {
        std::lock_guard<std::mutex> g(lock_);
        statusTexts.push_back(text);
    }
    void panelMessage(UiPanel request, unsigned value, const std::string& text) override {
        std::lock_guard<std::mutex> g(lock_);
        panel.push_back({request, value, text});
    }
    // The texts appended to the panel since its last clear, joined.
    std::string panelText() {
        std::lock_guard<std::mutex> g(lock_);
        std::string out;
        for (const auto& run : panel) {
            if (run.request == UiPanel::Clear || run.request == UiPanel::HelpTopic) out.clear();
            else out += run.text;
        }
        return out;
    }
    void refresh(UiRefresh what) override {
        std::lock_guard<std::mutex> g(lock_);
        refreshes.push_back(what);
    }
    void showFilePreview(const std::string& path) override {
        std::lock_guard<std::mutex> g(lock_);
        previews.push_back(path);
    }
    void openDescription(FileDesc* desc) override {
        std::lock_guard<std::mutex> g(lock_);
        opened.push_back(desc);
    }
    bool editProjectProperties(FileDesc*, bool) override {
        std::lock_guard<std::mutex> g(lock_);
        ++propertySheets;
        return confirmProperties;
    }
    void runTasks(TASKSLIST* tasks) override {
        {
            std::lock_guard<std::mutex> g(lock_);
            ++taskRuns;
        }
        TASKSLIST_RunFirst(tasks, &ScriptedUiPort::onEvent, this);
    }

    // What was shown; read them after the operation (or under no concurrent worker).
    std::vector<std::string> messages;  // "caption|text"
    std::vector<std::string> prompts;
    std::vector<std::string> statusTexts;
    std::vector<RecordedPanelRun> panel;
    std::vector<UiRefresh> refreshes;
    std::vector<std::string> previews;
    std::vector<FileDesc*> opened;
    std::vector<RecordedTaskEvent> events;
    int propertySheets = 0;
    int taskRuns = 0;

private:
    static void onEvent(TASK* task, int event, int range, int position, const char* message) {
        auto* self = static_cast<ScriptedUiPort*>(task->runnerData);
        std::lock_guard<std::mutex> g(self->lock_);
        self->events.push_back({event, range, position, message ? message : ""});
        if (self->stopAfterEvents > 0 && static_cast<int>(self->events.size()) >= self->stopAfterEvents)
            TASK_RequestStop(task);
    }
    std::mutex lock_;
};

}  // namespace morvex

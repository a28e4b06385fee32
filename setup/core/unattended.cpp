// Console hooks of the update procedure: a person who always says yes.
#include "setup/core/unattended.h"

#include <cstdio>
#include <vector>

namespace {

// One line of console dialogue, in the trace's style (a line feed first), flushed so that it
// stays in order with the trace lines written on the same stream.
void say(const char* prefix, const std::string& text) {
    std::printf("\n%s %s", prefix, text.c_str());
    std::fflush(stdout);
}

}  // namespace

int LIVEUPDATE_RunUnattended(const std::string& directory, LIVEUPDATE_RESULT* result) {
    LIVEUPDATE_JOB job;
    job.server = LIVEUPDATE_ServerAddress();
    job.directory = directory.empty() ? "." : directory;

    std::vector<std::string> names;  // local name of every row, for the status lines
    LIVEUPDATE_HOOKS hooks;
    hooks.status = [](const std::string& text) { say("(i)", text); };
    hooks.addRow = [&names](int, const std::string& name, const std::string& url) {
        names.push_back(name);
        say("(i)", name + " <- " + url);
    };
    hooks.rowStatus = [&names](int row, const std::string& text) {
        const std::string name = row >= 0 && row < static_cast<int>(names.size()) ? names[row] : "";
        say("(i)", name + " : " + text);
    };
    hooks.ask = [](const std::string& caption, const std::string& text, morvex::UiButtons buttons,
                   morvex::UiIcon icon) {
        if (buttons == morvex::UiButtons::Ok) {
            say(icon == morvex::UiIcon::Error ? "(e)" : "(i)", caption + " : " + text);
            return morvex::UiAnswer::Ok;
        }
        say("(?)", caption + " : " + text + " oui");
        return morvex::UiAnswer::Yes;
    };

    const LIVEUPDATE_RESULT outcome = LIVEUPDATE_Run(job, hooks);
    std::printf("\n");
    std::fflush(stdout);
    if (result) *result = outcome;
    const bool complete = outcome.end == LIVEUPDATE_END::Started && outcome.failures == 0 &&
                          outcome.installStatus == 0;
    return complete ? 0 : 1;
}

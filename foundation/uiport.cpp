#include "foundation/uiport.h"

#include "foundation/trace.h"

namespace morvex {

UiAnswer HeadlessUiPort::messageBox(const std::string& caption, const std::string& text,
                                    UiButtons buttons, UiIcon) {
    trace("\n[%s] %s", caption.c_str(), text.c_str());
    switch (buttons) {
        case UiButtons::Ok:
        case UiButtons::OkCancel:
            return UiAnswer::Ok;
        case UiButtons::YesNoCancel:
            return UiAnswer::Cancel;
        case UiButtons::YesNo:
            return UiAnswer::No;
    }
    return UiAnswer::Ok;
}

std::optional<std::string> HeadlessUiPort::promptFile(const std::string&, const std::string& proposed,
                                                      const std::string&, bool) {
    if (proposed.empty()) return std::nullopt;
    return proposed;
}

void HeadlessUiPort::statusText(const std::string&) {}

void HeadlessUiPort::panelMessage(UiPanel request, unsigned, const std::string& text) {
    if (request == UiPanel::Normal || request == UiPanel::BoldColour || request == UiPanel::Link)
        trace("%s", text.c_str());
}

void HeadlessUiPort::refresh(UiRefresh) {}

void HeadlessUiPort::showFilePreview(const std::string&) {}

void HeadlessUiPort::openDescription(FileDesc*) {}

bool HeadlessUiPort::editProjectProperties(FileDesc*, bool) { return true; }

void HeadlessUiPort::runTasks(TASKSLIST* tasks) {
    TASKSLIST_RunFirst(
        tasks,
        [](TASK*, int event, int range, int position, const char* message) {
            if (message) trace("\n[TASK] %i (%i/%i) %s", event, position, range, message);
        },
        nullptr);
}

namespace {
HeadlessUiPort headless;
UiPort* current = &headless;
}  // namespace

UiPort& uiPort() { return *current; }

void setUiPort(UiPort* port) { current = port ? port : &headless; }

void showError(const UiError& error) {
    if (!error.empty()) uiPort().messageBox(error.title, error.text, UiButtons::Ok, error.icon);
}

}  // namespace morvex

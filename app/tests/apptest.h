// Shared set-up of the window tests: a per-process settings folder and logs folder (so that
// tests running in parallel never share a file), and a person replaced by scripted answers.
#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/qtuiport.h"
#include "foundation/registry.h"
#include "foundation/testing/tempdir.h"

namespace morvex::apptest {

// A settings folder and a logs folder of its own for the test program, with the settings key
// already there (no first run) unless `firstRun` is asked.
class Environment {
public:
    explicit Environment(bool firstRun = false) : dir_("morvex_app") {
        setenv("MORVEX_CONFIG_DIR", dir_.file("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
        if (!firstRun) {
            dir_.write("placeholder", "");
            writeFileAtomically(settingsFilePath(), "[Software\\MorvexFylatek]\nLogsDirectory=" +
                                                        dir_.path() + "\nFormatLibrary=" +
                                                        dir_.path() + "\n");
        }
    }
    const morvex::testing::TempDir& dir() const { return dir_; }
    std::string logFile() const { return dir_.file("MorvexFylatek.log"); }

private:
    morvex::testing::TempDir dir_;
};

// The person: answers message boxes and file dialogs from queues and records what was shown.
class Person {
public:
    explicit Person(QtUiPort& port) {
        port.setAnswerer([this](const std::string& caption, const std::string& text, UiButtons b) {
            messages.push_back(caption + "|" + text);
            if (!answers.empty()) {
                UiAnswer a = answers.front();
                answers.pop_front();
                return a;
            }
            if (b == UiButtons::YesNoCancel || b == UiButtons::OkCancel) return UiAnswer::Cancel;
            return b == UiButtons::YesNo ? UiAnswer::No : UiAnswer::Ok;
        });
        port.setFileAnswerer([this](const std::string& title, const std::string& proposed,
                                    const std::string&, bool) -> std::optional<std::string> {
            prompts.push_back(title + "|" + proposed);
            if (files.empty()) return std::nullopt;
            auto f = files.front();
            files.pop_front();
            return f;
        });
        setDialogRunner([this](QDialog* dialog) {
            dialogs.push_back(dialog->windowTitle().toStdString());
            if (!dialogAnswers.empty()) {
                int a = dialogAnswers.front();
                dialogAnswers.pop_front();
                if (!dialogFillers.empty()) {
                    dialogFillers.front()(dialog);
                    dialogFillers.pop_front();
                }
                if (a == QDialog::Accepted) dialog->accept();
                else dialog->reject();
                return a;
            }
            return dialog->exec();  // progress windows close themselves (auto close)
        });
        setDesktopOpener([this](const QUrl& url) {
            opened.push_back(url);
            return openSucceeds;
        });
    }
    ~Person() {
        setDialogRunner({});
        setDesktopOpener({});
    }

    std::deque<UiAnswer> answers;                   // next message box answers
    std::deque<std::optional<std::string>> files;   // next file dialog answers (none: cancel)
    std::deque<int> dialogAnswers;                  // next modal dialogs: Accepted or Rejected
    std::deque<std::function<void(QDialog*)>> dialogFillers;  // what the person types in them
    bool openSucceeds = true;                       // what the desktop answers

    std::vector<std::string> messages;  // "caption|text"
    std::vector<std::string> prompts;   // "title|proposed"
    std::vector<std::string> dialogs;   // titles of the modal dialogs run
    std::vector<QUrl> opened;           // handed to the desktop
};

}  // namespace morvex::apptest

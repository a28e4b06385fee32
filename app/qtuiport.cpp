#include "app/qtuiport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "desktop/filedialog.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/progresswindow.h"
#include "app/projectpropertiesdialog.h"
#include "foundation/trace.h"

namespace morvex {

namespace {

UiDialogRunner gDialogRunner;
UiDesktopOpener gDesktopOpener;
QtUiPort* gQtPort = nullptr;

QMessageBox::Icon qtIcon(UiIcon icon) {
    switch (icon) {
        case UiIcon::Info: return QMessageBox::Information;
        case UiIcon::Warning: return QMessageBox::Warning;
        case UiIcon::Error: return QMessageBox::Critical;
        case UiIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(UiButtons buttons) {
    switch (buttons) {
        case UiButtons::Ok: return QMessageBox::Ok;
        case UiButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case UiButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case UiButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The answer of a closed message box (closing it with the window's button is a Cancel, or a
// No where there is no Cancel).
UiAnswer fromQt(int button, UiButtons buttons) {
    switch (button) {
        case QMessageBox::Ok: return UiAnswer::Ok;
        case QMessageBox::Yes: return UiAnswer::Yes;
        case QMessageBox::No: return UiAnswer::No;
        case QMessageBox::Cancel: return UiAnswer::Cancel;
        default: break;
    }
    if (buttons == UiButtons::YesNo) return UiAnswer::No;
    if (buttons == UiButtons::Ok) return UiAnswer::Ok;
    return UiAnswer::Cancel;
}

QWidget* dialogParent() {
    if (gQtPort && gQtPort->mainWindow()) return gQtPort->mainWindow();
    return QApplication::activeWindow();
}

}  // namespace

int execDialog(QDialog* dialog) {
    if (!dialog) return QDialog::Rejected;
    if (gDialogRunner) return gDialogRunner(dialog);
    return dialog->exec();
}

void setDialogRunner(UiDialogRunner runner) { gDialogRunner = std::move(runner); }

bool openWithDesktop(const QUrl& url) {
    trace("\n[openWithDesktop] %s", url.toString().toUtf8().constData());
    if (gDesktopOpener) return gDesktopOpener(url);
    return QDesktopServices::openUrl(url);
}

void setDesktopOpener(UiDesktopOpener opener) { gDesktopOpener = std::move(opener); }

QString qtFileFilter(const std::string& filter, QString* suffix) {
    QString text = QString::fromStdString(filter);
    QString pattern;
    int bar = text.indexOf('|');
    if (bar >= 0) {
        pattern = text.mid(bar + 1);
        text = text.left(bar);
    } else {
        int open = text.lastIndexOf('(');
        int close = text.lastIndexOf(')');
        pattern = open >= 0 && close > open ? text.mid(open + 1, close - open - 1) : text;
    }
    pattern = pattern.trimmed();
    if (text.trimmed().isEmpty()) text = pattern;
    if (!text.contains('(')) text = text.trimmed() + " (" + pattern + ")";
    if (suffix) {
        QString first = pattern.section(';', 0, 0).section(' ', 0, 0);
        suffix->clear();
        if (first.startsWith("*.") && first != "*.*") *suffix = first.mid(2);
    }
    return text + ";;Tous les fichiers (*)";
}

QtUiPort::QtUiPort(QObject* parent) : QObject(parent) {
    gQtPort = this;
    setUiPort(this);
}

QtUiPort::~QtUiPort() {
    if (gQtPort == this) {
        gQtPort = nullptr;
        setUiPort(nullptr);
    }
}

QtUiPort* qtUiPort() { return gQtPort; }

void QtUiPort::setMainWindow(MainWindow* window) { window_ = window; }

bool QtUiPort::onUiThread() const { return QThread::currentThread() == thread(); }

UiAnswer QtUiPort::messageBox(const std::string& caption, const std::string& text,
                              UiButtons buttons, UiIcon icon) {
    if (!onUiThread()) {
        UiAnswer answer = UiAnswer::Cancel;
        QMetaObject::invokeMethod(
            this, [&] { answer = messageBox(caption, text, buttons, icon); },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    trace("\n[messageBox] %s : %s", caption.c_str(), text.c_str());
    if (answerer_) return answerer_(caption, text, buttons);
    QMessageBox box(qtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    qtButtons(buttons), dialogParent());
    return fromQt(box.exec(), buttons);
}

std::optional<std::string> QtUiPort::promptFile(const std::string& title,
                                                const std::string& proposed,
                                                const std::string& filter, bool forSaving) {
    if (!onUiThread()) {
        std::optional<std::string> answer;
        QMetaObject::invokeMethod(
            this, [&] { answer = promptFile(title, proposed, filter, forSaving); },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    if (fileAnswerer_) return fileAnswerer_(title, proposed, filter, forSaving);
    QString suffix;
    const QString qtFilter = qtFileFilter(filter, &suffix);
    std::optional<QString> chosen =
        chooseFile(dialogParent(), QString::fromStdString(title), QString::fromStdString(proposed),
                   qtFilter, forSaving ? FileDialogMode::Save : FileDialogMode::Open, suffix);
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
}

void QtUiPort::statusText(const std::string& text) {
    if (onUiThread()) {
        if (window_) window_->SetStatusBarText(QString::fromStdString(text), 0);
        return;
    }
    // Workers may report thousands of texts: only the latest one is worth drawing.
    std::lock_guard<std::mutex> guard(statusLock_);
    pendingStatus_ = text;
    if (statusPosted_) return;
    statusPosted_ = true;
    QMetaObject::invokeMethod(this, [this] { deliverStatusText(); }, Qt::QueuedConnection);
}

void QtUiPort::deliverStatusText() {
    std::string text;
    {
        std::lock_guard<std::mutex> guard(statusLock_);
        text.swap(pendingStatus_);
        statusPosted_ = false;
    }
    if (window_) window_->SetStatusBarText(QString::fromStdString(text), 0);
}

void QtUiPort::panelMessage(UiPanel request, unsigned value, const std::string& text) {
    if (!onUiThread()) {
        QMetaObject::invokeMethod(
            this, [this, request, value, text] { panelMessage(request, value, text); },
            Qt::QueuedConnection);
        return;
    }
    if (window_) window_->helpPanel()->request(request, value, text);
    if (panelListener_) panelListener_(request, value, text);
}

void QtUiPort::refresh(UiRefresh what) {
    if (!onUiThread()) {
        QMetaObject::invokeMethod(this, [this, what] { refresh(what); }, Qt::QueuedConnection);
        return;
    }
    if (window_) window_->refreshView(what);
}

void QtUiPort::showFilePreview(const std::string& path) {
    if (!onUiThread()) {
        QMetaObject::invokeMethod(this, [this, path] { showFilePreview(path); },
                                  Qt::QueuedConnection);
        return;
    }
    if (window_) window_->RaffraichirVueApercuFichier(path.empty() ? nullptr : path.c_str(), true);
}

void QtUiPort::openDescription(FileDesc* desc) {
    if (!onUiThread()) {
        QMetaObject::invokeMethod(this, [this, desc] { openDescription(desc); },
                                  Qt::BlockingQueuedConnection);
        return;
    }
    if (window_ && desc) window_->IHM_OpenFormat(desc);
}

bool QtUiPort::editProjectProperties(FileDesc* desc, bool creating) {
    if (!onUiThread()) {
        bool answer = false;
        QMetaObject::invokeMethod(
            this, [&] { answer = editProjectProperties(desc, creating); },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    if (!desc) return false;
    ProjectPropertiesDialog dialog(desc, creating, dialogParent());
    bool confirmed = execDialog(&dialog) == QDialog::Accepted;
    // A description being created that the person gives up is closed by its caller right
    // after: the window lets go of it first.
    if (!confirmed && creating && window_) window_->detachFormat(desc);
    return confirmed;
}

void QtUiPort::runTasks(TASKSLIST* tasks) {
    if (!onUiThread()) {
        QMetaObject::invokeMethod(this, [&] { runTasks(tasks); }, Qt::BlockingQueuedConnection);
        return;
    }
    ProgressWindow progress(dialogParent());
    progress.runTasks(tasks);
    lastTaskEnd_ = progress.endEvent();
    ++taskRuns_;
}

std::vector<std::string> QtUiPort::promptFiles(const std::string& title,
                                               const std::string& directory,
                                               const std::string& filter) {
    std::vector<std::string> paths;
    if (fileAnswerer_) {
        std::optional<std::string> answer = fileAnswerer_(title, directory, filter, false);
        if (!answer) return paths;
        for (const QString& line : QString::fromStdString(*answer).split('\n', Qt::SkipEmptyParts))
            paths.push_back(line.toStdString());
        return paths;
    }
    QFileDialog dialog(dialogParent(), QString::fromStdString(title));
    dialog.setNameFilter(qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    prepareFileDialog(dialog);
    // Never the folder another dialog used last.
    dialog.setDirectory(directory.empty() ? QDir::homePath() : QString::fromStdString(directory));
    if (dialog.exec() != QDialog::Accepted) return paths;
    for (const QString& file : dialog.selectedFiles()) paths.push_back(file.toStdString());
    return paths;
}

}  // namespace morvex

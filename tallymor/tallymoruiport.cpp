#include "tallymor/tallymoruiport.h"

#include <QApplication>
#include <QMessageBox>

#include "desktop/filedialog.h"

namespace morvex {

UiAnswer TallymorUiPort::messageBox(const std::string& caption, const std::string& text,
                                    UiButtons buttons, UiIcon icon) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case UiIcon::Info:
            box.setIcon(QMessageBox::Information);
            break;
        case UiIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case UiIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case UiIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    switch (buttons) {
        case UiButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case UiButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case UiButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case UiButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return UiAnswer::Cancel;
        case QMessageBox::Yes:
            return UiAnswer::Yes;
        case QMessageBox::No:
            return UiAnswer::No;
        default:
            return UiAnswer::Ok;
    }
}

std::optional<std::string> TallymorUiPort::promptFile(const std::string& title,
                                                      const std::string& proposed,
                                                      const std::string& filter, bool forSaving) {
    // Qt's own dialog in French; for saving, it asks before an existing file is replaced.
    const std::optional<QString> chosen =
        chooseFile(QApplication::activeWindow(), QString::fromStdString(title),
                   QString::fromStdString(proposed), QString::fromStdString(filter),
                   forSaving ? FileDialogMode::Save : FileDialogMode::Open);
    const QString path = chosen.value_or(QString());
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

}  // namespace morvex

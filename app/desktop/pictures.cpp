#include "app/desktop/pictures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QRegularExpression>
#include <QWidget>

namespace morvex {

QSize pictureScreenSize() {
    const QRegularExpression form("^(\\d{3,5})x(\\d{3,5})$");
    const QRegularExpressionMatch match = form.match(qEnvironmentVariable("MORVEX_SCREEN_SIZE"));
    if (!match.hasMatch()) return QSize(1280, 800);
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

bool drawWindow(QWidget& window, const QString& path) {
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    QApplication::processEvents();
    return window.grab().save(path);
}

bool drawMessageBox(const QString& path, const QString& caption, const QString& text,
                    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, buttons);
    return drawWindow(box, path);
}

bool drawFileDialog(const QString& path, const QString& title, const QString& filter,
                    const QString& directory, bool forSaving, bool folders) {
    QFileDialog dialog(nullptr, title, directory, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (folders) dialog.setFileMode(QFileDialog::Directory);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(640, 420)));
    dialog.setAttribute(Qt::WA_DontShowOnScreen);
    dialog.show();
    // The folder is read in the background: give it a moment to list its files.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return dialog.grab().save(path);
}

}  // namespace morvex

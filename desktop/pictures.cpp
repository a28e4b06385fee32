#include "desktop/pictures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

#include "desktop/filedialog.h"

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
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (folders) dialog.setFileMode(QFileDialog::Directory);
    prepareFileDialog(dialog);  // as the programs show it
    dialog.setAttribute(Qt::WA_DontShowOnScreen);
    dialog.show();
    // The folder is read in the background: give it a moment to list its files.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return dialog.grab().save(path);
}

bool drawReplaceQuestion(const QString& path, const QString& directory) {
    const QString existing = QDir(directory).filePath("resultats.csv");
    QFile file(existing);
    if (!file.exists() && (!file.open(QIODevice::WriteOnly) || file.write("1;2\r\n") < 0))
        return false;
    file.close();
    QFileDialog dialog(nullptr, "Exporter les données...", directory,
                       "Fichier délimité par un point-virgule (CSV) (*.csv)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    prepareFileDialog(dialog);
    dialog.selectFile("resultats.csv");
    dialog.setAttribute(Qt::WA_DontShowOnScreen);
    dialog.show();
    bool saved = false;
    // The question opens inside accept(): it is drawn, then answered No.
    QTimer::singleShot(200, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box == &dialog) return;
        saved = box->grab().save(path);
        if (auto* question = qobject_cast<QMessageBox*>(box))
            question->button(QMessageBox::No)->click();
    });
    static_cast<QDialog&>(dialog).accept();  // QFileDialog's own is protected
    return saved;
}

}  // namespace morvex

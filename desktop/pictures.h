// Pictures of windows for `--screenshots`: the standard dialogs as the programs show them, and
// the screen size the pictures are drawn for.
#pragma once

#include <QMessageBox>
#include <QSize>
#include <QString>

class QWidget;

namespace morvex {

// The screen the pictures are drawn for: $MORVEX_SCREEN_SIZE ("1024x768"), else 1280x800.
QSize pictureScreenSize();

// Draws `window` without showing it on screen into the PNG file `path`; false when the picture
// cannot be written.
bool drawWindow(QWidget& window, const QString& path);

// Draws a message box with these caption, text, buttons and icon, as the programs ask.
bool drawMessageBox(const QString& path, const QString& caption, const QString& text,
                    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon);

// Draws Qt's own file dialog titled `title` on `directory` with the name filter `filter`: an
// open dialog, a save dialog (`forSaving`) or, when `folders`, a folder chooser.
bool drawFileDialog(const QString& path, const QString& title, const QString& filter,
                    const QString& directory, bool forSaving, bool folders = false);

// Draws the question Qt's save dialog (as the programs prepare it) asks before replacing a file
// that exists, over a file "resultats.csv" of `directory` (written when missing), then answers No.
bool drawReplaceQuestion(const QString& path, const QString& directory);

}  // namespace morvex

// Qt's file dialog as the three desktop programs show it.
#pragma once

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

namespace morvex {

// What a file dialog is for.
enum class FileDialogMode {
    Open,    // one existing file
    Save,    // a file to write: an existing one is replaced only once the person agrees
    Folder,  // an existing folder
};

// Makes `dialog` the one the programs show: Qt's own dialog (the same everywhere, in French
// through Qt's translation), its list in details with the sizes, kinds and dates worded in French
// whatever the system's language, its columns as wide as their titles and values, a size that
// fits a 1024×768 screen, and for saving Qt's question before an existing file is replaced.
// Call after the mode (accept mode, file mode) is set, before the dialog is shown.
void prepareFileDialog(QFileDialog& dialog);

// Asks for one file or folder with a dialog prepared as above, titled `title`, on `parent`.
// `proposed` is a folder, a file (its folder is opened and its name proposed) or empty; `filter`
// is in Qt's form ("Fichiers format Fylatek (*.fyk)"). The chosen path, or nothing on Cancel.
// User-interface thread.
std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& proposed,
                                  const QString& filter, FileDialogMode mode,
                                  const QString& defaultSuffix = QString());

}  // namespace morvex

// The text description import dialog ("Charger une description textuelle", modal): the person
// pastes a table description written as text (one line per column, such as rows copied from a
// spreadsheet or a web page), chooses the layout description that cuts its lines and whether
// the ZRT correction rules apply; "Charger" appends the columns to the current description
// through ChargerDescription (appcore/textimport.h).
//
// User-interface thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace morvex {

class TextImportDialog : public QDialog {
    Q_OBJECT

public:
    explicit TextImportDialog(QWidget* parent = nullptr);

    // "...": asks for the layout description in the description library.
    void chooseFormat();
    // "Charger": imports the text into the current description and closes the dialog; when the
    // import is refused (its reason shown), the dialog stays open with the text. True when the
    // columns were added.
    bool charger();

    // Parts of the dialog (tests, screenshots).
    QPlainTextEdit* textArea() const { return text_; }
    QLineEdit* formatField() const { return format_; }
    QCheckBox* zrtBox() const { return zrt_; }
    QPushButton* loadButton() const { return load_; }

private:
    void fitTabStops();

    QPlainTextEdit* text_;
    QLineEdit* format_;
    QCheckBox* zrt_;
    QPushButton* load_;
};

// The layout shipped with the program for tab-separated lines (NAME, DESCRIPTION, TYPE, SIZE
// under a header line), or "" when it cannot be found.
QString bundledTabLayout();

// Shows the dialog over the current description (appelDlgTxtDesc); nothing without one.
void appelDlgTxtDesc(QWidget* parent);

}  // namespace morvex

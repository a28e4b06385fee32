// The project properties of one description: a wizard page "Nouveau fichier de format" for a
// new description, the sheet "Propriétés du fichier de format" otherwise. One page,
// "Propriétés": names, comment, example file, end of line, structure, separator, header line,
// fixed line length and first line to import. User-interface thread only.
#pragma once

#include <QDialog>

#include "app/core/desceditor.h"

struct FileDesc;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace morvex {

class ProjectPropertiesDialog : public QDialog {
    Q_OBJECT

public:
    // `creating` shows the wizard of a new description.
    ProjectPropertiesDialog(FileDesc* desc, bool creating, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* descriptionField() const { return description_; }
    QLineEdit* exampleField() const { return example_; }
    QLineEdit* tableField() const { return table_; }
    QComboBox* endOfLineField() const { return endOfLine_; }
    QRadioButton* separatorButton(DescEditSeparator choice) const { return separators_[choice]; }
    QLineEdit* otherSeparatorField() const { return other_; }
    QRadioButton* fixedWidthButton() const { return fixed_; }
    QCheckBox* headerBox() const { return header_; }
    QSpinBox* firstLineField() const { return firstLine_; }

    // Writes the fields into the description and marks it modified.
    void apply();
    // Applies, then closes the dialog.
    void accept() override;

private:
    FileDesc* desc_;
    QLineEdit* name_;
    QPlainTextEdit* description_;
    QLineEdit* database_;
    QLineEdit* schema_;
    QLineEdit* table_;
    QLineEdit* example_;
    QComboBox* endOfLine_;
    QRadioButton* delimited_;
    QRadioButton* fixed_;
    QRadioButton* separators_[7];
    QLineEdit* other_;
    QCheckBox* header_;
    QCheckBox* fixedLine_;
    QSpinBox* lineLength_;
    QSpinBox* firstLine_;
};

}  // namespace morvex

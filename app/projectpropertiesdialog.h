// A short project properties dialog: project name, description, example data file and field
// delimiter of one description. It stands in for the full properties sheet of the description
// editor. User-interface thread only.
#pragma once

#include <QDialog>

struct FileDesc;
class QLineEdit;
class QPlainTextEdit;

namespace morvex {

class ProjectPropertiesDialog : public QDialog {
    Q_OBJECT

public:
    // `creating` titles the dialog for a new description.
    ProjectPropertiesDialog(FileDesc* desc, bool creating, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* descriptionField() const { return description_; }
    QLineEdit* exampleField() const { return example_; }
    QLineEdit* delimiterField() const { return delimiter_; }

    // Writes the fields into the description (marking it modified when something changed),
    // then closes the dialog.
    void accept() override;

private:
    FileDesc* desc_;
    QLineEdit* name_;
    QPlainTextEdit* description_;
    QLineEdit* example_;
    QLineEdit* delimiter_;
};

}  // namespace morvex

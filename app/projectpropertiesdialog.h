// The project properties of one description: a wizard page "Nouveau fichier de format" for a
// new description, the sheet "Propriétés du fichier de format" otherwise. One page,
// "Propriétés": names, comment, example file, end of line, encoding, structure, separator,
// unquoting, header line, fixed line length and first line to import. When an example file is
// chosen (and when the wizard opens on one), what its first bytes say pre-selects the end of
// line, encoding, separator and unquoting; the person may change each of them before
// confirming. Under the options, the first rows of the example file cut as they currently say
// (app/cutpreviewgrid.h), cut again at each change from the file's first bytes, read once. For
// a fixed-width description the boundaries between its columns, with why each was found, are
// dragged in that grid; the widths so moved go into the description when it is applied.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

#include "appcore/cutpreview.h"
#include "appcore/desceditor.h"

struct FileDesc;
class QCheckBox;
class QComboBox;
class QLabel;
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
    QComboBox* encodingField() const { return encoding_; }
    QRadioButton* separatorButton(DescEditSeparator choice) const { return separators_[choice]; }
    QLineEdit* otherSeparatorField() const { return other_; }
    QRadioButton* fixedWidthButton() const { return fixed_; }
    QCheckBox* unquoteBox() const { return unquote_; }
    QLineEdit* quoteCharField() const { return quoteChar_; }
    QCheckBox* headerBox() const { return header_; }
    QSpinBox* firstLineField() const { return firstLine_; }
    QCheckBox* fixedLineBox() const { return fixedLine_; }
    QSpinBox* lineLengthField() const { return lineLength_; }
    QCheckBox* trimBox() const { return trim_; }
    QLabel* refusalLabel() const { return refusal_; }
    class CutPreviewGrid* previewGrid() const { return preview_; }
    QLabel* previewNote() const { return previewNote_; }
    // The widths of the fixed-width columns as the grid shows them (moved or not).
    const std::vector<int>& fixedWidths() const { return widths_; }
    // Cuts the example file's sample again with the options as they stand.
    void refreshPreview();

    // Writes the fields into the description and marks it modified; false (told under the
    // fields, nothing written) when a name typed holds a character no name may hold.
    bool apply();
    // Applies, then closes the dialog; stays open when applying was refused.
    void accept() override;

private:
    // Pre-selects what the example file's first bytes say; nothing when it cannot be read.
    void readExampleShape();
    // Reads the sample of the example file the preview cuts (once per file).
    void loadPreviewSample();
    // Writes the options that say how the file is cut (end of line, encoding, structure,
    // separator, unquoting, header, fixed line length, first line) into `target`.
    void writeCuttingOptions(FileDesc* target);

    FileDesc* desc_;
    QLineEdit* name_;
    QPlainTextEdit* description_;
    QLineEdit* database_;
    QLineEdit* schema_;
    QLineEdit* table_;
    QLabel* refusal_;  // why the last apply was refused, hidden until then
    QLineEdit* example_;
    QComboBox* endOfLine_;
    QComboBox* encoding_;
    QRadioButton* delimited_;
    QRadioButton* fixed_;
    QRadioButton* separators_[7];
    QLineEdit* other_;
    QCheckBox* unquote_;
    QLineEdit* quoteChar_;
    QCheckBox* header_;
    QCheckBox* fixedLine_;
    QSpinBox* lineLength_;
    QCheckBox* trim_;
    QSpinBox* firstLine_;
    QString shapeReadFrom_;  // the example file whose shape was last pre-selected (or kept)
    CutPreviewSample sample_;        // the example file's first bytes
    class CutPreviewGrid* preview_;  // the grid under the options
    QLabel* previewNote_;            // what the grid shows, or why it is empty
    std::vector<int> widths_;        // the fixed-width columns' widths, as dragged in the grid
    QStringList evidence_;           // why each of them begins where it does ("": not known)
};

}  // namespace morvex

// The column detail panel ("Détail colonne") under the description list: adds a column to the
// current description, or modifies the column loaded by "Editer". User-interface thread only.
#pragma once

#include <QGroupBox>

struct ColumnDesc;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morvex {

class ColumnDetailPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit ColumnDetailPanel(QWidget* parent = nullptr);

    // Loads a column in modify mode.
    void ChargerDetail(ColumnDesc* column);
    // Reads the fields into `column`; false (message shown, focus on the code) when the code
    // is empty.
    bool readInto(ColumnDesc* column);
    // "Ajouter", "Modifier", "Annuler"; Enter runs the first or the second by mode.
    void add();
    void modify();
    void cancel();
    // Empties the fields (width "1", boxes unticked).
    void clearFields();
    bool modifyMode() const { return edited_ != nullptr; }

    QLineEdit* codeField() const { return code_; }
    QLineEdit* descriptionField() const { return description_; }
    QLineEdit* widthField() const { return width_; }
    QComboBox* typeField() const { return type_; }
    QComboBox* formatField() const { return format_; }
    QCheckBox* protectionBox() const { return protect_; }
    QLineEdit* startCharField() const { return startChar_; }
    QLineEdit* endCharField() const { return endChar_; }
    QCheckBox* ignoreBox() const { return ignore_; }
    QCheckBox* mandatoryBox() const { return mandatory_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* modifyButton() const { return modify_; }
    QPushButton* cancelButton() const { return cancel_; }

signals:
    // A column was added or modified: refresh the list, the result preview and indicators.
    void descriptionChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillFormats(int type);
    void setModifyMode(ColumnDesc* column);

    ColumnDesc* edited_ = nullptr;  // the column in modify mode, nullptr in add mode
    QLabel* number_;
    QLineEdit* code_;
    QLineEdit* description_;
    QLineEdit* width_;
    QComboBox* type_;
    QComboBox* format_;
    QCheckBox* protect_;
    QLineEdit* startChar_;
    QLineEdit* endChar_;
    QCheckBox* ignore_;
    QCheckBox* mandatory_;
    QPushButton* add_;
    QPushButton* modify_;
    QPushButton* cancel_;
};

}  // namespace morvex

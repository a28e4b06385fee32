#include "app/columndetailpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "foundation/uiport.h"

namespace morvex {

namespace {

void copyText(char* out, size_t size, const QString& text) {
    QByteArray bytes = text.toUtf8();
    size_t n = std::min(size - 1, static_cast<size_t>(bytes.size()));
    std::memcpy(out, bytes.constData(), n);
    out[n] = '\0';
}

char firstChar(const QLineEdit* field) {
    QByteArray bytes = field->text().toLatin1();
    return bytes.isEmpty() ? 0 : bytes[0];
}

}  // namespace

ColumnDetailPanel::ColumnDetailPanel(QWidget* parent) : QGroupBox("Détail colonne", parent) {
    setFixedHeight(145);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    number_ = new QLabel(this);
    code_ = new QLineEdit(this);
    code_->setMaxLength(256);
    description_ = new QLineEdit(this);
    description_->setMaxLength(1023);
    width_ = new QLineEdit("1", this);
    type_ = new QComboBox(this);
    for (int t = 0; t <= 7; ++t) type_->addItem(QString::fromUtf8(DESCEDIT_TypeName(t)));
    format_ = new QComboBox(this);
    format_->setEditable(true);
    protect_ = new QCheckBox("Protection du champ", this);
    startChar_ = new QLineEdit(this);
    endChar_ = new QLineEdit(this);
    startChar_->setMaxLength(1);
    endChar_->setMaxLength(1);
    ignore_ = new QCheckBox("Ignorer la colonne", this);
    mandatory_ = new QCheckBox("Colonne obligatoire", this);
    add_ = new QPushButton("Ajouter", this);
    modify_ = new QPushButton("Modifier", this);
    cancel_ = new QPushButton("Annuler", this);

    grid->addWidget(number_, 0, 0, 1, 2);
    grid->addWidget(new QLabel("Code colonne : ", this), 1, 0);
    grid->addWidget(code_, 1, 1);
    grid->addWidget(new QLabel("Description : ", this), 2, 0);
    grid->addWidget(description_, 2, 1);
    grid->addWidget(new QLabel("Largeur (en car.) : ", this), 3, 0);
    grid->addWidget(width_, 3, 1);
    grid->addWidget(new QLabel("Type : ", this), 1, 2);
    grid->addWidget(type_, 1, 3);
    grid->addWidget(new QLabel("Format : ", this), 2, 2);
    grid->addWidget(format_, 2, 3);
    grid->addWidget(protect_, 0, 4, 1, 2);
    grid->addWidget(new QLabel("Car. début :", this), 1, 4);
    grid->addWidget(startChar_, 1, 5);
    grid->addWidget(new QLabel("Car. Fin :", this), 2, 4);
    grid->addWidget(endChar_, 2, 5);
    grid->addWidget(ignore_, 3, 2, 1, 2);
    grid->addWidget(mandatory_, 3, 4, 1, 2);
    grid->addWidget(add_, 1, 6);
    grid->addWidget(modify_, 2, 6);
    grid->addWidget(cancel_, 3, 6);

    connect(type_, &QComboBox::currentIndexChanged, this, &ColumnDetailPanel::fillFormats);
    connect(protect_, &QCheckBox::toggled, this, [this](bool on) {
        startChar_->setEnabled(on);
        endChar_->setEnabled(on);
    });
    connect(add_, &QPushButton::clicked, this, &ColumnDetailPanel::add);
    connect(modify_, &QPushButton::clicked, this, &ColumnDetailPanel::modify);
    connect(cancel_, &QPushButton::clicked, this, &ColumnDetailPanel::cancel);
    clearFields();
    setModifyMode(nullptr);
}

void ColumnDetailPanel::fillFormats(int type) {
    format_->clear();
    for (const std::string& f : DESCEDIT_OfferedFormats(type))
        format_->addItem(QString::fromStdString(f));
    format_->setCurrentIndex(0);
}

void ColumnDetailPanel::setModifyMode(ColumnDesc* column) {
    edited_ = column;
    add_->setEnabled(!column);
    modify_->setEnabled(column);
    cancel_->setEnabled(column);
    number_->setVisible(column);
}

void ColumnDetailPanel::clearFields() {
    code_->clear();
    description_->clear();
    width_->setText("1");
    type_->setCurrentIndex(DATATYPE_VARIABLECHAR);
    fillFormats(DATATYPE_VARIABLECHAR);
    protect_->setChecked(false);
    startChar_->clear();
    endChar_->clear();
    startChar_->setEnabled(false);
    endChar_->setEnabled(false);
    ignore_->setChecked(false);
    mandatory_->setChecked(false);
}

void ColumnDetailPanel::ChargerDetail(ColumnDesc* column) {
    if (!column) return;
    setModifyMode(column);
    number_->setText(QString("Numéro de colonne : %1").arg(column->Position));
    code_->setText(QString::fromUtf8(column->code));
    description_->setText(QString::fromUtf8(column->Description));
    width_->setText(QString::number(column->WidthInChars));
    type_->setCurrentIndex(column->typeCible.type);
    fillFormats(column->typeCible.type);
    const int type = column->typeCible.type;
    QString format;
    if (type == DATATYPE_DECIMAL)
        format = QString("%1,%2")
                     .arg(column->typeCible.fmtDecimal.partieEntiere)
                     .arg(column->typeCible.fmtDecimal.partieDecimale);
    else if (type == DATATYPE_DATE)
        format = QString::fromUtf8(column->typeCible.fmtDate);
    else if (type == DATATYPE_DATETIME)
        format = QString::fromUtf8(column->typeCible.fmtDateTime);
    else if (type == DATATYPE_FIXEDCHAR)
        format = QString::number(column->typeCible.fmtChaineFixe.taille);
    else if (type == DATATYPE_VARIABLECHAR)
        format = QString::number(column->typeCible.fmtChaineVar.tailleMax);
    if (!format.isEmpty()) format_->setEditText(format);
    protect_->setChecked(column->protectedField);
    startChar_->setText(column->DelimCharStart ? QString(QChar(column->DelimCharStart)) : "");
    endChar_->setText(column->DelimCharEnd ? QString(QChar(column->DelimCharEnd)) : "");
    ignore_->setChecked(column->IgnoreColumn);
    mandatory_->setChecked(column->FieldCannotBeNull);
}

bool ColumnDetailPanel::readInto(ColumnDesc* column) {
    // An empty code, or one holding a control character: the editor's own refusal.
    if (const std::string refusal = DESCEDIT_CodeRefusal(code_->text().toUtf8().constData());
        !refusal.empty()) {
        uiPort().messageBox("Saisie incorrecte", refusal, UiButtons::Ok, UiIcon::Warning);
        code_->setFocus();
        return false;
    }
    copyText(column->code, sizeof column->code, code_->text());
    copyText(column->Description, sizeof column->Description, description_->text());
    column->WidthInChars = width_->text().toInt();
    column->typeCible.type = type_->currentIndex();
    DESCEDIT_ReadFormat(&column->typeCible, format_->currentText().toUtf8().constData());
    column->protectedField = protect_->isChecked();
    column->DelimCharStart = firstChar(startChar_);
    column->DelimCharEnd = firstChar(endChar_);
    column->IgnoreColumn = ignore_->isChecked();
    column->FieldCannotBeNull = mandatory_->isChecked();
    return true;
}

void ColumnDetailPanel::add() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    ColumnDesc column{};
    if (!readInto(&column)) return;
    FILEDESC_AjouterColonne(desc, &column);
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);
    clearFields();
    emit descriptionChanged();
}

void ColumnDetailPanel::modify() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc || !edited_) return;
    // The edited column may have been deleted meanwhile: only a column still there is changed.
    std::vector<ColumnDesc*> all = DESCEDIT_Columns(desc);
    if (std::find(all.begin(), all.end(), edited_) == all.end()) {
        cancel();
        return;
    }
    if (!readInto(edited_)) return;
    FILEDESC_MAJColonne(desc);
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);
    clearFields();
    setModifyMode(nullptr);
    emit descriptionChanged();
}

void ColumnDetailPanel::cancel() {
    setModifyMode(nullptr);
    clearFields();
}

void ColumnDetailPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (modifyMode())
            modify();
        else
            add();
        return;
    }
    QGroupBox::keyPressEvent(event);
}

}  // namespace morvex

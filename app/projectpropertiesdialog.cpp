#include "app/projectpropertiesdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>
#include <cstring>

#include "filedesc/filedesc.h"
#include "foundation/uiport.h"

namespace morvex {

namespace {

// Copies at most `max` bytes of text into a fixed field, cut on a character boundary.
void copyField(char* field, int max, const QString& text) {
    QByteArray bytes = text.toUtf8();
    int n = std::min<int>(bytes.size(), max);
    while (n > 0 && n < bytes.size() && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
    memcpy(field, bytes.constData(), n);
    field[n] = '\0';
}

// Replaces an owned text field by a copy of `text` (nullptr for an empty text).
void replaceText(char*& field, const QString& text) {
    free(field);
    field = text.isEmpty() ? nullptr : strdup(text.toUtf8().constData());
}

QString textOf(const char* text) { return QString::fromUtf8(text ? text : ""); }

}  // namespace

ProjectPropertiesDialog::ProjectPropertiesDialog(FileDesc* desc, bool creating, QWidget* parent)
    : QDialog(parent), desc_(desc) {
    setObjectName("projectPropertiesDialog");
    setWindowTitle(creating ? "Nouveau fichier de format" : "Propriétés du projet");
    name_ = new QLineEdit(textOf(desc ? desc->ProjectName : nullptr));
    name_->setMaxLength(FILEDESC_PROJECTNAME_MAX);
    description_ = new QPlainTextEdit(textOf(desc ? desc->Description : nullptr));
    description_->setMaximumHeight(90);
    example_ = new QLineEdit(textOf(desc ? desc->ExampleFilePath : nullptr));
    delimiter_ = new QLineEdit(textOf(desc ? desc->FieldDelimiter : nullptr));
    delimiter_->setMaxLength(FILEDESC_DELIMITER_MAX);
    auto* browse = new QPushButton("...");
    browse->setFixedWidth(32);
    connect(browse, &QPushButton::clicked, this, [this] {
        auto chosen = uiPort().promptFile("Exemple de fichier de données", example_->text().toStdString(),
                                          "Tous les fichiers (*.*)|*.*", false);
        if (chosen) example_->setText(QString::fromStdString(*chosen));
    });
    auto* exampleRow = new QHBoxLayout;
    exampleRow->addWidget(example_, 1);
    exampleRow->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow("Nom du projet :", name_);
    form->addRow("Description du projet :", description_);
    form->addRow("Exemple de fichier :", exampleRow);
    form->addRow("Séparateur de champs :", delimiter_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("Annuler");
    connect(buttons, &QDialogButtonBox::accepted, this, &ProjectPropertiesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProjectPropertiesDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(520, 260);
}

void ProjectPropertiesDialog::accept() {
    if (desc_) {
        bool changed = name_->text() != textOf(desc_->ProjectName) ||
                       description_->toPlainText() != textOf(desc_->Description) ||
                       example_->text() != textOf(desc_->ExampleFilePath) ||
                       delimiter_->text() != textOf(desc_->FieldDelimiter);
        copyField(desc_->ProjectName, FILEDESC_PROJECTNAME_MAX, name_->text());
        replaceText(desc_->Description, description_->toPlainText());
        replaceText(desc_->ExampleFilePath, example_->text());
        copyField(desc_->FieldDelimiter, FILEDESC_DELIMITER_MAX, delimiter_->text());
        FILEDESC_ConvertEndOfLine(desc_->FieldDelimiter, desc_->FieldDelimiterChars,
                                  sizeof desc_->FieldDelimiterChars);
        if (changed) desc_->isModified = 1;
    }
    QDialog::accept();
}

}  // namespace morvex

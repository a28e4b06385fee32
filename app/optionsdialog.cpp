#include "app/optionsdialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstring>
#include <functional>

#include "app/qtuiport.h"
#include "foundation/utf8.h"

namespace morvex {

namespace {

std::function<QString(const QString&, const QString&)> gFolderChooser;

// Copies a field into a directory of the context, cut at 260 bytes on a character boundary.
void storeDirectory(char (&field)[APPLICATION_DIRECTORY_MAX + 1], const QString& text) {
    const QByteArray bytes = text.toUtf8();
    morvex::utf8CopyCut(field, sizeof field, std::string_view(bytes.constData(), bytes.size()));
}

}  // namespace

void OptionsDialog::setFolderChooser(std::function<QString(const QString&, const QString&)> chooser) {
    gFolderChooser = std::move(chooser);
}

OptionsDialog::OptionsDialog(CONTEXTE* ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setWindowTitle("Options");
    setObjectName("optionsDialog");
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    formats_ = addRow(grid, 0, "Formats : ", ctx ? ctx->formatLibrary : "");
    templates_ = addRow(grid, 1, "Templates : ", ctx ? ctx->templateLibrary : "");
    generated_ = addRow(grid, 2, "Fichiers générés :", ctx ? ctx->genTargetDirectory : "");
    grid->setRowStretch(3, 1);
    tabs->addTab(page, "Répertoires par défaut");

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("Annuler");
    buttons->button(QDialogButtonBox::Apply)->setText("Appliquer");
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &OptionsDialog::apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(520, 220);
    move(500, 200);
}

QLineEdit* OptionsDialog::addRow(QGridLayout* grid, int row, const QString& label,
                                 const char* value) {
    auto* field = new QLineEdit(QString::fromUtf8(value ? value : ""));
    auto* browse = new QPushButton("...");
    browse->setFixedWidth(32);
    grid->addWidget(new QLabel(label), row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(browse, row, 2);
    connect(browse, &QPushButton::clicked, this, [this, field, label] {
        QString chosen = gFolderChooser
                             ? gFolderChooser(label, field->text())
                             : QFileDialog::getExistingDirectory(this, "Choisir un répertoire",
                                                                 field->text());
        if (!chosen.isEmpty()) field->setText(chosen);
    });
    return field;
}

void OptionsDialog::apply() {
    if (!ctx_) return;
    storeDirectory(ctx_->formatLibrary, formats_->text());
    storeDirectory(ctx_->templateLibrary, templates_->text());
    storeDirectory(ctx_->genTargetDirectory, generated_->text());
    APPLICATION_UpdateRegister(nullptr, ctx_);
}

void OptionsDialog::accept() {
    apply();
    QDialog::accept();
}

bool DoPropertySheetOptions(QWidget* parent, CONTEXTE* ctx) {
    OptionsDialog dialog(ctx, parent);
    return execDialog(&dialog) == QDialog::Accepted;
}

}  // namespace morvex

#include "app/optionsdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstring>
#include <functional>

#include "appcore/foldersettings.h"
#include "desktop/filedialog.h"
#include "app/qtuiport.h"
#include "app/windowplacement.h"
#include "foundation/utf8.h"

namespace morvex {

namespace {

std::function<QString(const QString&, const QString&)> gFolderChooser;

// Copies a field into a directory of the context, cut at 260 bytes on a character boundary.
void storeDirectory(char* field, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    morvex::utf8CopyCut(field, APPLICATION_DIRECTORY_MAX + 1,
                        std::string_view(bytes.constData(), bytes.size()));
}

}  // namespace

void OptionsDialog::setFolderChooser(
    std::function<QString(const QString&, const QString&)> chooser) {
    gFolderChooser = std::move(chooser);
}

OptionsDialog::OptionsDialog(CONTEXTE* ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setWindowTitle("Options");
    setObjectName("optionsDialog");
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    // Every folder the programs read; an empty one shows what stands for it.
    int row = 0;
    if (ctx) {
        for (const APPLICATION_FOLDER& folder : APPLICATION_Folders(ctx)) {
            QLineEdit* field = addRow(grid, row++, QString::fromUtf8(folder.label), folder.value);
            field->setPlaceholderText("Par défaut : " + QString::fromStdString(folder.effective));
            field->setToolTip(field->placeholderText());
            field->setProperty("effective", QString::fromStdString(folder.effective));
            fields_.push_back({field, folder.value});
        }
    }
    formats_ = fields_.size() > 0 ? fields_[0].field : addRow(grid, row++, "Formats : ", "");
    templates_ = fields_.size() > 1 ? fields_[1].field : addRow(grid, row++, "Templates : ", "");
    generated_ =
        fields_.size() > 3 ? fields_[3].field : addRow(grid, row++, "Fichiers générés :", "");
    grid->setRowStretch(row, 1);
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
    placeOnParent(this, parent, QSize(640, 360));
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
        QString start = field->text();
        // An empty field starts on the folder that stands for it, when it is one.
        const QString effective = field->property("effective").toString();
        if (start.isEmpty() && QFileInfo(effective).isDir()) start = effective;
        if (gFolderChooser) {
            const QString chosen = gFolderChooser(label, start);
            if (!chosen.isEmpty()) field->setText(chosen);
        } else if (std::optional<QString> chosen = chooseFile(
                       this, "Choisir un répertoire", start.isEmpty() ? QDir::homePath() : start,
                       QString(), FileDialogMode::Folder)) {
            field->setText(*chosen);
        }
    });
    return field;
}

void OptionsDialog::apply() {
    if (!ctx_) return;
    for (const Field& f : fields_) storeDirectory(f.value, f.field->text().trimmed());
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

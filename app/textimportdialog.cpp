#include "app/textimportdialog.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "appcore/application.h"
#include "appcore/textimport.h"
#include "app/qtuiport.h"
#include "app/windowplacement.h"
#include "foundation/datadir.h"
#include "foundation/uiport.h"

namespace morvex {

QString bundledTabLayout() {
    return QString::fromStdString(dataPath(std::string(DATADIR_LAYOUTS) + "/layout_tab.fyk"));
}

TextImportDialog::TextImportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("textImportDialog");
    setWindowTitle("Charger une description textuelle");
    auto* layout = new QVBoxLayout(this);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName("textImportText");
    QFont fixed("Courier New");
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(14);
    text_->setFont(fixed);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    fitTabStops();
    text_->setPlaceholderText(
        "Collez ici la description de la table : une ligne par colonne (par exemple les lignes "
        "copiées d'un tableur ou d'une page web, cellules séparées par des tabulations).");
    layout->addWidget(text_, 1);

    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(new QLabel("Format : ", this));
    format_ = new QLineEdit(bundledTabLayout(), this);
    format_->setObjectName("textImportFormat");
    formatRow->addWidget(format_, 1);
    auto* browse = new QPushButton("...", this);
    browse->setFixedWidth(32);
    formatRow->addWidget(browse);
    layout->addLayout(formatRow);

    auto* bottom = new QHBoxLayout;
    zrt_ = new QCheckBox("Appliquer les règles de correction d'import de tables ZRT", this);
    zrt_->setChecked(true);
    bottom->addWidget(zrt_, 1);
    load_ = new QPushButton("Charger", this);
    load_->setDefault(true);
    bottom->addWidget(load_);
    layout->addLayout(bottom);

    connect(text_, &QPlainTextEdit::textChanged, this, &TextImportDialog::fitTabStops);
    connect(browse, &QPushButton::clicked, this, &TextImportDialog::chooseFormat);
    connect(load_, &QPushButton::clicked, this, &TextImportDialog::charger);
    placeOnParent(this, parent, QSize(720, 480));
}

void TextImportDialog::fitTabStops() {
    // Pasted cells line up in columns: a tab stop a little wider than the longest cell of the
    // first lines, within reason.
    int longest = 6;
    const QString text = text_->toPlainText();
    int cell = 0, lines = 0;
    for (const QChar c : text) {
        if (c == '\t' || c == '\n') {
            longest = std::max(longest, cell);
            cell = 0;
            if (c == '\n' && ++lines > 200) break;
        } else {
            ++cell;
        }
    }
    longest = std::min(std::max(longest, cell), 40);
    text_->setTabStopDistance(QFontMetricsF(text_->font()).horizontalAdvance(' ') * (longest + 2));
}

void TextImportDialog::chooseFormat() {
    std::optional<std::string> chosen =
        uiPort().promptFile("Ouvrir un fichier de format...", gcontexte.formatLibrary,
                            "Fichiers format Fylatek (*.fyk)|*.fyk", false);
    if (chosen && !chosen->empty()) format_->setText(QString::fromStdString(*chosen));
}

bool TextImportDialog::charger() {
    const QByteArray text = text_->toPlainText().toUtf8();
    const QByteArray layout = format_->text().toUtf8();
    if (ChargerDescription(text.constData(), layout.constData(), zrt_->isChecked() ? 1 : 0) != 0)
        return false;
    accept();
    return true;
}

void appelDlgTxtDesc(QWidget* parent) {
    if (!gcontexte.currentFile) return;
    TextImportDialog dialog(parent);
    execDialog(&dialog);
}

}  // namespace morvex

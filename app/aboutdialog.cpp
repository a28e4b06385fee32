#include "app/aboutdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "appcore/mainframe.h"

namespace morvex {

QString AboutDialog::versionLine() {
    return QString("Version %1 build %2 du %3").arg(MAINFRAME_VERSION, MAINFRAME_BUILD, __DATE__);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("A propos de...");
    auto* picture = new QLabel;
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(64, 64));
    auto* name = new QLabel("<b>Morvex Fylatek</b> - Importation de fichiers plats");
    auto* purpose = new QLabel(
        "Outils de description de tables et fichiers de données permettant la génération de "
        "scripts.");
    purpose->setWordWrap(true);
    auto* version = new QLabel(versionLine());
    auto* close = new QPushButton("Fermer");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(purpose);
    texts->addWidget(version);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    resize(440, 170);
}

}  // namespace morvex

#include "setup/welcomepage.h"

#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

WelcomePage::WelcomePage(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Bienvenue"));
    title_ = new QLabel(QStringLiteral("Bienvenue!"), this);
    QFont big = title_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title_->setFont(big);
    text_ = new QLabel(
        QStringLiteral("Bienvenue dans l'installation de Morvex Fylatek 2014 Ce programme va vous "
                       "permettre d'effectuer l'installation de Morvex Fylatek via Internet. "
                       "Vérifiez que votre connexion est bien activée."),
        this);
    text_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addSpacing(12);
    layout->addWidget(text_);
    layout->addStretch(1);
}

#include "tallymor/aboutwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace morvex {

const char* const TALLYMOR_UI_VERSION = "1.2 (build 296 Feb 10 2010 21:49:59 )";

namespace {

// The picture of the box: a small calculator drawn at run time.
QPixmap CalculatorPicture() {
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(60, 70, 90));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(8, 2, 48, 60, 6, 6);
    p.setBrush(QColor(180, 220, 180));
    p.drawRect(14, 8, 36, 14);
    p.setBrush(QColor(230, 230, 230));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) p.drawRect(14 + col * 13, 28 + row * 11, 10, 8);
    return picture;
}

}  // namespace

AboutWindow::AboutWindow(const std::string& engineLine, QWidget* parent) : QDialog(parent) {
    setWindowTitle("A propos de la calculatrice...");
    setObjectName("aboutWindow");
    auto* picture = new QLabel(this);
    picture->setPixmap(CalculatorPicture());
    auto* name = new QLabel("<b>Calculatrice avancée</b>", this);
    auto* engine = new QLabel(QString::fromStdString(engineLine), this);
    engine->setObjectName("engineLine");
    auto* ui = new QLabel(QString("Interface utilisateur : ") + TALLYMOR_UI_VERSION, this);
    ui->setObjectName("uiVersion");
    auto* close = new QPushButton("Fermer", this);
    close->setObjectName("fermer");
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(engine);
    texts->addWidget(ui);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

}  // namespace morvex

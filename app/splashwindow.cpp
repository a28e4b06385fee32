#include "app/splashwindow.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QFontMetrics>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include "foundation/version.h"

namespace morvex {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("splashWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(480, 280);
    status_ = new QLabel("Chargement...", this);
    status_->setGeometry(24, 214, 432, 20);
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    status_->setPalette(palette);
    bar_ = new QProgressBar(this);
    bar_->setGeometry(24, 240, 432, 14);
    bar_->setTextVisible(false);
    bar_->setRange(0, 10);
    bar_->setValue(0);
    fade_ = new QTimer(this);
    fade_->setInterval(1);
    connect(fade_, &QTimer::timeout, this, &SplashWindow::fadeStep);
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashWindow::setRange(int minimum, int maximum) { bar_->setRange(minimum, maximum); }

void SplashWindow::setProgress(int position) {
    bar_->setValue(position);
    bar_->repaint();
}

void SplashWindow::setStatus(const QString& text) {
    status_->setText(text);
    status_->repaint();
}

QString SplashWindow::status() const { return status_->text(); }

int SplashWindow::progress() const { return bar_->value(); }

void SplashWindow::startFade(int holdMs) {
    // The first tick comes once the window is on screen; the picture is then held.
    QTimer::singleShot(1, this, [this, holdMs] {
        QTimer::singleShot(holdMs, this, [this] { fade_->start(); });
    });
}

void SplashWindow::fadeStep() {
    opacity_ -= 5;
    if (opacity_ < 1) {
        fade_->stop();
        close();
        return;
    }
    setWindowOpacity(opacity_ / 255.0);
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, width(), height());
    sky.setColorAt(0, QColor(18, 42, 86));
    sky.setColorAt(1, QColor(54, 110, 160));
    painter.fillRect(rect(), sky);
    // A stack of ruled sheets: the flat files the program describes.
    for (int i = 0; i < 3; ++i) {
        QRect sheet(300 + i * 14, 40 + i * 14, 120, 140);
        painter.setBrush(QColor(245, 245, 240));
        painter.setPen(QColor(120, 130, 150));
        painter.drawRect(sheet);
    }
    painter.setPen(QColor(90, 120, 170));
    for (int y = 100; y < 200; y += 12) painter.drawLine(340, y, 436, y);
    painter.setPen(QColor(200, 90, 40));
    for (int x = 362; x < 436; x += 24) painter.drawLine(x, 96, x, 200);
    painter.setPen(Qt::white);
    // The title stays left of the picture (which starts at x 300): the font shrinks until it fits,
    // whatever font the desktop substitutes.
    const QRect titleBox(24, 60, 300 - 24 - 12, 44);
    const QString title = "Morvex Fylatek";
    QFont big("Tahoma");
    big.setBold(true);
    for (int size = 34; size >= 12; --size) {
        big.setPixelSize(size);
        if (QFontMetrics(big).horizontalAdvance(title) <= titleBox.width()) break;
    }
    painter.setFont(big);
    painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, title);
    QFont small("Tahoma");
    small.setPixelSize(14);
    painter.setFont(small);
    painter.drawText(QRect(24, 108, 280, 40), Qt::AlignLeft | Qt::TextWordWrap,
                     "Importation de fichiers plats");
    painter.drawText(QRect(24, 150, 280, 20), Qt::AlignLeft, "Version " MORVEX_VERSION " build " MORVEX_BUILD);
}

}  // namespace morvex

#include "setup/setupwizard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "setup/welcomepage.h"

namespace {

// Width of the picture: pages are placed at x 150.
constexpr int kPictureWidth = 150;
constexpr int kPictureHeight = 420;

// The picture on the left of the wizard, drawn rather than shipped as a file.
QPixmap wizardPicture() {
    QPixmap picture(kPictureWidth, kPictureHeight);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, 0, kPictureHeight);
    sky.setColorAt(0.0, QColor(18, 52, 110));
    sky.setColorAt(1.0, QColor(70, 140, 200));
    p.fillRect(picture.rect(), sky);
    p.setPen(QColor(255, 255, 255, 60));
    for (int y = 40; y < kPictureHeight; y += 24) p.drawLine(12, y, kPictureWidth - 12, y + 8);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPointSize(14);
    p.setFont(font);
    p.drawText(QRect(0, kPictureHeight - 110, kPictureWidth, 40), Qt::AlignCenter,
               QStringLiteral("Morvex"));
    p.drawText(QRect(0, kPictureHeight - 80, kPictureWidth, 40), Qt::AlignCenter,
               QStringLiteral("Fylatek"));
    return picture;
}

}  // namespace

SetupWizard::SetupWizard(SetupWizardOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
    setWindowTitle(QStringLiteral("MorvexSoft Online Setup"));
    // Dialog and static backgrounds take the window colour, with black text.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(wizardPicture());
    picture->setFixedWidth(kPictureWidth);
    picture->setScaledContents(true);  // the picture runs down the whole window

    pageArea_ = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(pageArea_);
    pageLayout->setContentsMargins(12, 12, 12, 0);

    next_ = new QPushButton(QStringLiteral("Suivant >>"), this);
    quit_ = new QPushButton(QStringLiteral("Quitter"), this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);  // the two buttons apart, whatever the style's spacing
    buttons->addStretch(1);
    buttons->addWidget(next_);
    buttons->addWidget(quit_);

    auto* right = new QVBoxLayout;
    right->addWidget(pageArea_, 1);
    right->addLayout(buttons);
    right->setContentsMargins(0, 0, 12, 12);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture);
    layout->addLayout(right, 1);

    page_ = new WelcomePage(pageArea_);
    pageLayout->addWidget(page_);

    connect(next_, &QPushButton::clicked, this, &SetupWizard::showNextPage);
    connect(quit_, &QPushButton::clicked, this, &QWidget::close);
    resize(kPictureWidth + 760, kPictureHeight + 40);
}

void SetupWizard::showNextPage() {
    if (pageIndex_ >= 1) return;
    ++pageIndex_;
    delete page_;
    page_ = new UpdatePage(options_.job, options_.asker, options_.startWorker, pageArea_);
    pageArea_->layout()->addWidget(page_);
    page_->show();
    // The update page is the last one.
    quit_->setText(QStringLiteral("Terminer"));
    next_->hide();
}

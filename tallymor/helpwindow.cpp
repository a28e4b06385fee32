#include "tallymor/helpwindow.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

#include "foundation/trace.h"
#include "tallymor/helptext.h"

namespace morvex {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Aide sur Tallymor");
    setObjectName("helpWindow");
    text_ = new QTextBrowser(this);
    text_->setObjectName("helpText");
    text_->setReadOnly(true);
    text_->setOpenLinks(false);
    text_->setOpenExternalLinks(false);
    connect(text_, &QTextBrowser::anchorClicked, this, &HelpWindow::onLink);

    QTextCursor cursor(text_->document());
    for (const HelpRun& run : HELPTEXT_Runs()) {
        QTextCharFormat format;
        switch (run.style) {
            case HelpStyle::Normal:
                break;
            case HelpStyle::Bold:
                format.setFontWeight(QFont::Bold);
                break;
            case HelpStyle::BoldRed:
                format.setFontWeight(QFont::Bold);
                format.setForeground(Qt::red);
                break;
            case HelpStyle::Link:
                format.setAnchor(true);
                format.setAnchorHref(QString::fromStdString(run.text));
                format.setForeground(Qt::blue);
                format.setFontUnderline(true);
                break;
        }
        cursor.insertText(QString::fromStdString(run.text), format);
    }
    text_->moveCursor(QTextCursor::Start);

    auto* close = new QPushButton("Fermer", this);
    close->setObjectName("fermer");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(560, 520);
}

void HelpWindow::onLink(const QUrl& url) {
    trace("\nEN_LINK");
    QDesktopServices::openUrl(url);
}

}  // namespace morvex

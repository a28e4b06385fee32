// The help window "Aide sur Tallymor": the help text (tallymor/helptext.h) in a read-only rich
// text with bold headings and clickable links, and a "Fermer" button.
#pragma once

#include <QDialog>

class QTextBrowser;
class QUrl;

namespace morvex {

// Owned by the UI thread.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Opens a clicked link with the desktop.
    void onLink(const QUrl& url);

private:
    QTextBrowser* text_;  // the rich text
};

}  // namespace morvex

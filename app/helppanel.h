// The contextual help panel "Assistant" on the right of the main window: help topics for the
// step the person is at, with links that start commands, and the message panel into which
// generation and the description list write runs of normal, bold, coloured and linked text.
//
// User-interface thread only (the UI port queues the requests of workers). A link carries one
// value: a small number (1 starts "Nouveau", 2 the analysis of a delimited file, 3 shows help
// topic 3) or a file path, which the panel keeps until its next clear so that the link stays
// valid as long as it is shown.
#pragma once

#include <QWidget>
#include <deque>
#include <string>

#include "foundation/uiport.h"

class QLabel;
class QTextBrowser;
class QToolBar;
class QUrl;

namespace morvex {

class HelpPanel : public QWidget {
    Q_OBJECT

public:
    explicit HelpPanel(QWidget* parent = nullptr);

    // One of the five requests (clear, help topic, normal text, bold coloured text, link).
    void request(UiPanel request, unsigned value, const std::string& text);
    // Empties the text area (and forgets the paths of its links).
    void clear();
    // The help text of `topic` (0, 1 or 2) after emptying the area; other topics leave it empty.
    void EcrireMessageInfo(int topic);
    // Appends one run at the end: colour 0x00BBGGRR, bold, and a link with its value when
    // `link` is set (RE_Ecrire). Returns 0.
    int RE_Ecrire(const QString& text, unsigned colour, bool bold, bool link, const QString& value);
    // A normal run (colour 0, not bold, no link).
    int RE_EcrireNormal(const QString& text);
    // A bold run in `colour`.
    int RE_EcrireGrasCouleur(const QString& text, unsigned colour);
    // A link run in `colour` whose value is the path `path`.
    int RE_EcrireLien(const QString& text, unsigned colour, const std::string& path);

    // Acts on a clicked link, as a release of the mouse button over it does.
    void activateLink(const QUrl& link);
    // The links shown, one per linked line, in order (tests).
    QList<QUrl> links() const;

    // The rich text area, its text, and the area that hosts the primary key and indexes window.
    QTextBrowser* textArea() const { return text_; }
    QString plainText() const;
    QWidget* lowerArea() const { return lower_; }
    // Replaces the placeholder of the lower area by `widget` (the panel takes it).
    void setLowerWidget(QWidget* widget);
    QToolBar* toolBar() const { return toolBar_; }

    // Colour reference 0x00BBGGRR as red, green and blue.
    static QColor colourFromRef(unsigned colour);

signals:
    // A command for the main window: 1044 ("Nouveau") or 1051 (analysis) from the links, 1057
    // (hide the panel) from the tool bar.
    void commandRequested(int command);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* title_;
    QToolBar* toolBar_;
    QTextBrowser* text_;
    QWidget* lower_;
    std::deque<std::string> paths_;  // paths of the link runs shown, alive until the next clear
};

}  // namespace morvex

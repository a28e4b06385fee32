// The wizard's first page, "Bienvenue": a title and the welcome text.
#pragma once

#include <QWidget>

class QLabel;

class WelcomePage : public QWidget {
    Q_OBJECT
public:
    explicit WelcomePage(QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLabel* textLabel() const { return text_; }

private:
    QLabel* title_;  // "Bienvenue!"
    QLabel* text_;   // the welcome text
};

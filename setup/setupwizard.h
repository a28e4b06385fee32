// The window "MorvexSoft Online Setup": a picture on the left, the current page to its right and
// the buttons "Suivant >>" and "Quitter". The pages come in order: WelcomePage, then
// UpdatePage; on the last one "Quitter" reads "Terminer" and "Suivant >>" is hidden.
#pragma once

#include <QWidget>

#include "setup/updatepage.h"

class QLabel;
class QPushButton;
class WelcomePage;

// What the wizard needs from its caller.
struct SetupWizardOptions {
    LIVEUPDATE_JOB job;       // server and target directory of the update procedure
    SetupAsker asker;         // how questions reach the person (message boxes when empty)
    bool startWorker = true;  // false: the update page never starts its worker (screenshots)
};

class SetupWizard : public QWidget {
    Q_OBJECT
public:
    explicit SetupWizard(SetupWizardOptions options, QWidget* parent = nullptr);

    // Closes the current page and shows the next one ("Suivant >>").
    void showNextPage();

    QPushButton* nextButton() const { return next_; }
    QPushButton* quitButton() const { return quit_; }
    // The page on display, and the update page once it is shown (nullptr before).
    QWidget* currentPage() const { return page_; }
    UpdatePage* updatePage() const { return qobject_cast<UpdatePage*>(page_); }

private:
    SetupWizardOptions options_;  // given by the caller
    int pageIndex_ = 0;           // 0: welcome, 1: update
    QWidget* page_ = nullptr;     // the page on display (owned through the widget tree)
    QWidget* pageArea_;           // where pages are placed, right of the picture
    QPushButton* next_;           // "Suivant >>"
    QPushButton* quit_;           // "Quitter", then "Terminer"
};

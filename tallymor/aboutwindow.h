// The about box "A propos de la calculatrice...": a picture, the program's name, the engine's
// version line and the user interface version, and a "Fermer" button.
#pragma once

#include <QDialog>
#include <string>

namespace morvex {

// The user interface version shown in the about box.
extern const char* const TALLYMOR_UI_VERSION;

// Owned by the UI thread.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    // `engineLine` is the engine's version line (CALCULATION_EngineVersionLine).
    explicit AboutWindow(const std::string& engineLine, QWidget* parent = nullptr);
};

}  // namespace morvex

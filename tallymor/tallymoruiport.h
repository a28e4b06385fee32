// tallymor's UI port: message boxes and file dialogs of Qt. Everything else keeps the headless
// behaviour (the calculator has no message panel, no task and no description).
#pragma once

#include "foundation/uiport.h"

namespace morvex {

class TallymorUiPort : public HeadlessUiPort {
public:
    // A QMessageBox with the caption, text, buttons and icon asked for. UI thread only.
    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon icon) override;
    // An open or save file dialog (Qt filter syntax, "Nom (*.ext)"). UI thread only.
    std::optional<std::string> promptFile(const std::string& title, const std::string& proposed,
                                          const std::string& filter, bool forSaving) override;
};

}  // namespace morvex

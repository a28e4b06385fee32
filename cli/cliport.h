// The UI port of morvexcli: nobody sits in front of a script, so messages go to standard
// error in French with the console prefixes, questions get their safe default answer, and
// file prompts take the proposed path.
#pragma once

#include "foundation/uiport.h"

namespace morvex {

class CliUiPort : public HeadlessUiPort {
public:
    UiAnswer messageBox(const std::string& caption, const std::string& text, UiButtons buttons,
                        UiIcon icon) override;
};

// Writes an error for the person running the command: "(e) text" on standard error.
void cliError(const std::string& text);

}  // namespace morvex

#include "cli/cliport.h"

#include <cstdio>

#include "foundation/trace.h"

namespace morvex {

UiAnswer CliUiPort::messageBox(const std::string& caption, const std::string& text,
                               UiButtons buttons, UiIcon icon) {
    const char* prefix = "(i)";
    if (icon == UiIcon::Error) prefix = "(e)";
    if (icon == UiIcon::Warning) prefix = "(!)";
    if (icon == UiIcon::Question) prefix = "(?)";
    fprintf(stderr, "%s %s : %s\n", prefix, caption.c_str(), text.c_str());
    return HeadlessUiPort::messageBox(caption, text, buttons, icon);
}

void cliError(const std::string& text) { fprintf(stderr, "(e) %s\n", text.c_str()); }

}  // namespace morvex

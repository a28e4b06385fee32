// The text of tallymor's help window, as a list of styled runs (no Qt here: the window only
// renders them).
#pragma once

#include <string>
#include <vector>

namespace morvex {

// The web site named at the end of the help text.
extern const char* const TALLYMOR_HOME_PAGE;

// How a run of the help text is drawn.
enum class HelpStyle {
    Normal,   // plain paragraph text
    Bold,     // heading
    BoldRed,  // warning note
    Link,     // a clickable address; the text is the address
};

// One run of text with its style.
struct HelpRun {
    HelpStyle style;   // how it is drawn
    std::string text;  // the text, line feeds included
};

// Every run of the help text, in order.
std::vector<HelpRun> HELPTEXT_Runs();

// The help text without its styles (the runs joined).
std::string HELPTEXT_PlainText();

}  // namespace morvex

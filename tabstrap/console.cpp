#include "tabstrap/console.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

namespace {

// Turns the terminal echo off for its lifetime (nothing when standard input is no terminal).
class EchoOff {
public:
    EchoOff() {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    }
    ~EchoOff() {
        if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios saved_{};      // terminal settings to restore
    bool active_ = false;  // true when the echo was turned off
};

}  // namespace

bool CONSOLE_ReadLine(std::string& answer, std::size_t maxLength, bool keepLineFeed, bool hidden) {
    answer.clear();
    // Echo goes off before the question shows, so that nothing typed after it is echoed.
    std::optional<EchoOff> quiet;
    if (hidden) quiet.emplace();
    std::fflush(stdout);
    bool readAny = false;
    bool lineFeed = false;
    int c;
    while ((c = std::getchar()) != EOF) {
        readAny = true;
        if (c == '\n') {
            lineFeed = true;
            break;
        }
        answer += static_cast<char>(c);
    }
    if (!readAny) return false;
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    if (maxLength > 0 && answer.size() > maxLength) answer.resize(maxLength);
    if (keepLineFeed && lineFeed) answer += '\n';
    return true;
}

// %execsystem: the command of a template, run without a shell after the person (or the front
// end) agreed to it.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/trace.h"
#include "template/template.h"
#include "template/tplinternal.h"

extern char** environ;

using morvex::trace;

namespace tplinternal {

std::vector<std::string> commandWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // a word has begun (it may be an empty quoted one)
    char quote = 0;       // the quote of the open quoted part, or 0
    int braces = 0;       // depth of the open {reference}
    bool call = false;    // inside a %call: (until its ":", or a "}" of no reference)
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (braces > 0 || call) {
            word += c;
            if (c == '{') {
                ++braces;
            } else if (c == '}') {
                if (braces > 0)
                    --braces;
                else
                    call = false;
            } else if (c == ':' && braces == 0) {
                call = false;
            }
        } else if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (blank(c)) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == '"' || c == '\'') {
                quote = c;
            } else {
                word += c;
                if (c == '{') braces = 1;
                // A "%" before a blank starts no call ("50% done" is two words).
                if (c == '%') call = i + 1 < text.size() && !blank(text[i + 1]);
            }
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string commandText(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        if (!out.empty()) out += ' ';
        bool plain = !w.empty();
        for (const char c : w)
            plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || strchr("_@%+=:,./-", c) != nullptr);
        if (plain) {
            out += w;
            continue;
        }
        out += '\'';
        for (const char c : w) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        out += '\'';
    }
    return out;
}

void runExecSystem(RUNTIME_CTX* ctx, const LINE& l, ColumnDesc* column, LINE* lineTab, int count,
                   FILE* out) {
    std::vector<std::string> args;
    for (const std::string& w : commandWords(l.data ? l.data : ""))
        args.push_back(substituteText(ctx, column, w, lineTab, count, out));
    const std::string shown = commandText(args);
    if (args.empty() || args[0].empty()) {
        panel(morvex::PANEL_ERROR,
              format("\n(E) Ligne %i : commande système vide, rien n'est lancé.", ctx->pc));
        return;
    }
    bool run = false;
    switch (execPolicy()) {
        case TEMPLATE_EXEC_ALLOW:
            run = true;
            break;
        case TEMPLATE_EXEC_ASK:
            run = morvex::uiPort().messageBox(
                      "Commande système",
                      "Le template demande l'exécution de la commande suivante :\n\n" + shown +
                          "\n\nL'exécuter ?",
                      morvex::UiButtons::YesNo, morvex::UiIcon::Question) == morvex::UiAnswer::Yes;
            break;
        case TEMPLATE_EXEC_REFUSE:
            break;
    }
    if (!run) {
        panel(morvex::PANEL_ERROR,
              format("\n(E) Ligne %i : commande système refusée (exécution non autorisée) : %s",
                     ctx->pc, shown.c_str()));
        return;
    }
    panel(morvex::PANEL_NOTICE,
          format("Info Sécurité : Ligne %i, le script a lancé la commande système suivante : %s",
                 ctx->pc, shown.c_str()));
    if (out) fflush(out);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        trace("\n[execsystem] cannot start [%s] : %s", argv[0], strerror(rc));
        panel(morvex::PANEL_ERROR, format("\n(E) Ligne %i : impossible de lancer « %s » : %s",
                                          ctx->pc, argv[0], strerror(rc)));
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    trace("\n[execsystem] status %i", status);
}

}  // namespace tplinternal

// The command line speaks French: the argument parser's headings, help flag and failure
// messages, and the commands a mistyped word was probably meant to be.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
class Error;
}  // namespace CLI

namespace morvex {

// Before any command is added (commands inherit them): the help flag, the help headings and
// the failure messages in French.
void useFrenchTexts(CLI::App& app);
// Once every command is added: the group headings of their options and commands.
void useFrenchGroups(CLI::App& app);
// The French message of a parse failure of `app`.
std::string frenchFailure(const CLI::App* app, const CLI::Error& e);
// The first word of `args` (the arguments after the program name) that stands where a command
// is expected and names none, as an error naming the closest command; "" when every command
// word is known.
std::string unknownCommand(CLI::App& app, const std::vector<std::string>& args);
// The first option of `args` that the command it follows does not know, named with the closest
// one it has ("Option inconnue : --limit. Vouliez-vous dire --rows ?"), or the first whole-number
// option given a value that is not a whole number ("--rows : nombre entier attendu, reçu
// 'abc'"); "" when every option is known and every number is one.
std::string unknownOption(CLI::App& app, const std::vector<std::string>& args);

}  // namespace morvex

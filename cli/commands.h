// The subcommands of morvexcli. Each command lives in its own cmd_<name>.cpp and registers
// itself on the program's CLI11 application; main() runs the one that was chosen.
//
// Exit statuses: 0 success, 1 failure (a French message on standard error), 2 usage error.
// Results go to standard output; the trace goes to the log file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace morvex {

constexpr int CLI_OK = 0;
constexpr int CLI_FAILURE = 1;
constexpr int CLI_USAGE = 2;

// A registered subcommand and what runs it once the command line is parsed.
struct CliCommand {
    CLI::App* sub;
    std::function<int()> run;
};
using CliCommands = std::vector<CliCommand>;

// Registration of each subcommand (one per cmd_<name>.cpp).
void addShowCommand(CLI::App& app, CliCommands& commands);
void addConvertCommand(CLI::App& app, CliCommands& commands);

// The work of the commands, callable without parsing (tests).
int commandShow(const std::string& path, bool asJson);
int commandConvert(const std::string& in, const std::string& out);

}  // namespace morvex

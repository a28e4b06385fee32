// The subcommands of morvexcli. Each returns the program's exit status: 0 success, 1 failure
// (a French message on standard error); results go to standard output.
#pragma once

#include <string>

namespace morvex {

// Exit statuses of morvexcli.
constexpr int CLI_OK = 0;
constexpr int CLI_FAILURE = 1;
constexpr int CLI_USAGE = 2;

// `show DESC.fyk [--json]`: prints the description as a table, or as JSON.
int commandShow(const std::string& path, bool asJson);

// `convert IN.fyk|IN.for OUT.fyk`: reads a description (a .for file is migrated into a new
// description named after the file) and writes it in the current format.
int commandConvert(const std::string& in, const std::string& out);

}  // namespace morvex

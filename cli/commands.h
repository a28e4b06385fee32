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
void addAnalyseCommand(CLI::App& app, CliCommands& commands);
void addPreviewCommand(CLI::App& app, CliCommands& commands);
void addCountCommand(CLI::App& app, CliCommands& commands);
void addCalcCommand(CLI::App& app, CliCommands& commands);
void addDictCommand(CLI::App& app, CliCommands& commands);
void addImportTextCommand(CLI::App& app, CliCommands& commands);
void addLoadCommand(CLI::App& app, CliCommands& commands);
void addGenerateCommands(CLI::App& app, CliCommands& commands);
void addMssqlCommand(CLI::App& app, CliCommands& commands);
void addQueryCommand(CLI::App& app, CliCommands& commands);
void addEditCommand(CLI::App& app, CliCommands& commands);
void addProfileCommand(CLI::App& app, CliCommands& commands);

// The work of the commands, callable without parsing (tests).
int commandShow(const std::string& path, bool asJson);
int commandConvert(const std::string& in, const std::string& out);

// The typed shapes of `preview --format`.
struct PreviewFormat {
    std::string name = "table";  // table, csv, tsv, json or ndjson
    char delimiter = ',';        // of csv (tsv: tab)
    std::string nullText;        // what a csv or tsv cell holds for no value
    bool typed() const { return name != "table"; }
};

// Options of `analyse`.
struct AnalyseOptions {
    std::string file;       // the data file, or the description with --update
    bool update = false;    // re-run on an existing description
    std::string output;     // description to write (new analysis)
    bool all = false;       // the whole file
    int rows = 0;           // rows to analyse (0: the setting)
    std::string delimiter;  // text notation of the delimiter
    std::string widths;     // fixed-width columns forced ("5,10,10,8,15"); empty: found
    bool noHeader = false;  // the first line holds data
    bool header = false;    // the first line names the columns (neither: guessed unless plain)
    std::string quote;      // protecting character given to every column (values unquoted),
                            // "none": no protection; empty: guessed unless plain
    std::string eol;        // "auto": end of line guessed from the first line; empty: guessed
                            // unless plain
    std::string encoding;   // "auto": guessed; else an encoding name
    bool plain = false;     // no guess but "auto" ones, the analysis rules as specified
};
int commandAnalyse(const AnalyseOptions& options);
int commandPreview(const std::string& desc, const std::string& data, int rows, bool json, bool csv,
                   const std::string& rejects = "", const PreviewFormat& format = {});
int commandCount(const std::string& desc, const std::string& data);

// Options of `profile`.
struct ProfileOptions {
    std::string desc;   // the description
    std::string data;   // the data file (empty: the description's example file)
    std::string html;   // the HTML report to write (empty: none)
    bool json = false;  // the profile as JSON on standard output
};
int commandProfile(const ProfileOptions& options);

// One change of `edit`: its option ("--type") and its arguments (an empty position: at the end).
struct EditChange {
    std::string option;
    std::vector<std::string> args;
};
// What `edit` is asked.
struct EditRequest {
    std::string path;                 // the description
    std::vector<EditChange> changes;  // in order
    bool dryRun = false;              // nothing written
    bool json = false;                // the description printed as JSON
    std::string dictionary;           // the dictionary file (empty: the settings' one)
};
// Applies the changes in order, all or nothing, and rewrites the description (also the code
// path of `dict apply`).
int commandEdit(const EditRequest& request);

}  // namespace morvex

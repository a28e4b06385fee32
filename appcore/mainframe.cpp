#include "appcore/mainframe.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "filedesc/filedesc.h"

namespace morvex {

std::string mainWindowTitle(const FileDesc* desc) {
    if (!desc) return MAINFRAME_APPLICATION_NAME;
    std::string title = std::string(MAINFRAME_APPLICATION_NAME) + " " + MAINFRAME_VERSION +
                        " build " + MAINFRAME_BUILD + "  - ";
    std::string database(desc->DatabaseName, strnlen(desc->DatabaseName, sizeof desc->DatabaseName));
    std::string table(desc->TableName, strnlen(desc->TableName, sizeof desc->TableName));
    if (!database.empty() && !table.empty()) title += "(" + database + "." + table + ") ";
    title += "[";
    title += std::string(desc->ProjectName, strnlen(desc->ProjectName, sizeof desc->ProjectName));
    if (desc->isModified) title += "*";
    title += "]";
    if (title.size() > static_cast<size_t>(MAINFRAME_TITLE_MAX)) title.resize(MAINFRAME_TITLE_MAX);
    return title;
}

std::string suggestedFileName(const FileDesc* desc, const char* extension) {
    if (!desc) return "monformat.fyk";
    std::string name(desc->ProjectName, strnlen(desc->ProjectName, 260));
    for (char& c : name)
        if (strchr("!*/:;?\\", c) && c != '\0') c = ' ';
    return name + (extension ? extension : "");
}

std::string joinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        std::string word = argv[i];
        if (!line.empty()) line += ' ';
        if (word.find(' ') != std::string::npos || word.find('\t') != std::string::npos)
            line += "\"" + word + "\"";
        else
            line += word;
    }
    return line;
}

std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string text = line;
    std::error_code ec;
    if (!text.empty() && std::filesystem::is_regular_file(text, ec)) text = "\"" + text + "\"";
    std::string word;
    bool quoted = false;
    bool any = false;  // the current word has begun (quotes alone make no word)
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (!word.empty()) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any && !word.empty()) words.push_back(word);
    return words;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace morvex

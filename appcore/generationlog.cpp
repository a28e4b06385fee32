#include "appcore/generationlog.h"

#include <algorithm>
#include <filesystem>

#include "appcore/filetargets.h"

namespace fs = std::filesystem;

namespace morvex {

namespace {

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

void GenerationLog::clear() {
    tasks_.clear();
    row_ = -1;
}

void GenerationLog::startTask(int row) {
    row_ = row;
}

GenerationLog::Task* GenerationLog::current() {
    if (row_ < 0) return nullptr;
    if (static_cast<size_t>(row_) >= tasks_.size()) tasks_.resize(static_cast<size_t>(row_) + 1);
    return &tasks_[static_cast<size_t>(row_)];
}

void GenerationLog::panel(UiPanel request, unsigned colour, const std::string& text) {
    Task* task = current();
    if (!task) return;
    switch (request) {
        case UiPanel::Link:
            task->file = text;
            break;
        case UiPanel::BoldColour:
        case UiPanel::Normal: {
            task->messages += text;
            const std::string line = trimmed(text);
            if (request == UiPanel::BoldColour && colour == PANEL_ERROR && !line.empty() &&
                line != "Erreur" && line != "Arrêté")
                task->errors.push_back(line);
            break;
        }
        default:
            break;
    }
}

std::string GenerationLog::errors(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= tasks_.size()) return std::string();
    std::string out;
    for (const std::string& line : tasks_[static_cast<size_t>(row)].errors)
        out += (out.empty() ? "" : "\n") + line;
    return out;
}

std::string GenerationLog::messages(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= tasks_.size()) return std::string();
    return trimmed(tasks_[static_cast<size_t>(row)].messages);
}

std::string GenerationLog::file(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= tasks_.size()) return std::string();
    return tasks_[static_cast<size_t>(row)].file;
}

std::vector<std::string> GENERATION_TemplatesIn(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    if (folder.empty()) return found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".tpl")
            found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string GENERATION_OutputRoot(const char* setting, const FileDesc* desc) {
    if (setting && setting[0]) return setting;
    return (fs::path(startFolder(nullptr, desc)) / "Fichiers générés").string();
}

}  // namespace morvex

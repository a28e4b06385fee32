#include "cli/cliutil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/cliport.h"
#include "datadic/dico.h"
#include "datafile/datafile.h"
#include "foundation/inputfile.h"
#include "foundation/owned.h"

namespace fs = std::filesystem;

namespace morvex {

DicoCloser::~DicoCloser() { DICO_Close(); }

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string dataFileOf(const FileDesc& desc, const std::string& option) {
    if (!option.empty()) return option;
    return desc.ExampleFilePath ? desc.ExampleFilePath : "";
}

namespace {

// The folder of temporary files: $TMPDIR, else /tmp.
std::string temporaryFolder() {
    const char* tmp = getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace

SpooledInput::~SpooledInput() {
    std::error_code ec;
    if (!folder_.empty()) fs::remove_all(folder_, ec);
}

bool isStreamInput(const std::string& path) {
    // Standard input and a shell's descriptors are read once, whatever stands behind them.
    if (path == "-" || path == "/dev/stdin" || path.rfind("/dev/fd/", 0) == 0 ||
        path.rfind("/proc/self/fd/", 0) == 0)
        return true;
    struct stat st {};
    // A device named as such (/dev/zero, /dev/urandom) is no stream to copy: it never ends.
    return stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

bool SpooledInput::copy(const std::string& given, const std::string& name) {
    std::string error;
    FilePtr in(openInputFile(given.c_str(), &error, InputKind::Stream, "Le fichier de données"));
    if (!in) {
        cliError(error);
        return false;
    }
    std::string pattern = temporaryFolder() + "/morvexcli-XXXXXX";
    if (!mkdtemp(pattern.data())) {  // a folder of mode 0700
        cliError("Impossible de créer un dossier temporaire pour l'entrée '" + given +
                 "' : " + systemErrorText(errno) + ".");
        return false;
    }
    folder_ = pattern;
    path_ = folder_ + "/" + name;
    FilePtr out(fopen(path_.c_str(), "wbx"));
    bool ok = out != nullptr;
    std::vector<char> block(1 << 20);
    size_t total = 0;
    while (ok) {
        const size_t n = fread(block.data(), 1, block.size(), in.get());
        if (n == 0) {
            ok = !ferror(in.get());
            break;
        }
        ok = fwrite(block.data(), 1, n, out.get()) == n;
        total += n;
    }
    const int err = errno;
    if (ok) ok = fclose(out.release()) == 0;
    if (!ok) {
        cliError("Impossible de recopier l'entrée '" + given + "' dans '" + path_ +
                 "' : " + systemErrorText(err) + ".");
        return false;
    }
    cliNote((given == "-" ? std::string("Entrée standard recopiée") : "Flux '" + given + "' recopié") +
            " dans '" + path_ + "' (" + byteCountText(total) +
            "), supprimé à la fin de la commande.");
    return true;
}

bool prepareDataFile(std::string& path, SpooledInput& spool, const std::string& name) {
    if (!isStreamInput(path)) return checkDataFile(path);
    if (!spool.copy(path, name)) return false;
    path = spool.path();
    return true;
}

StreamInput::~StreamInput() {
    if (fd_ >= 0) close(fd_);
}

bool StreamInput::open(std::string& path) {
    if (path == "-" || path == "/dev/stdin") {
        path = "-";
        return true;
    }
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string descriptor =
            "/dev/fd/" + path.substr(std::min(path.size(), strlen(prefix)));
        if (path.rfind(prefix, 0) == 0 && DATAFILE_IsStreamPath(descriptor.c_str())) {
            path = descriptor;
            return true;
        }
    }
    std::string error;
    fd_ = openInputFd(path.c_str(), &error, InputKind::Stream, "Le fichier de données");
    if (fd_ < 0) {
        cliError(error);
        return false;
    }
    path = "/dev/fd/" + std::to_string(fd_);
    return true;
}

bool prepareStreamedDataFile(std::string& path, StreamInput& stream) {
    if (!isStreamInput(path)) return checkDataFile(path);
    return stream.open(path);
}

SqliteLibrary loadSqlite() {
    morvex::UiError error;
    SqliteLibrary library(SQLITE3_LoadDLL(nullptr, SQLITE3_DEFAULT_LIBRARY, &error));
    if (!library) morvex::showError(error);  // on standard error
    return library;
}

bool checkDataFile(const std::string& path) {
    if (path.empty()) {
        cliError("Aucun fichier de données : la description n'a pas de fichier exemple (--data).");
        return false;
    }
    if (!isRegularFile(path)) {
        cliError("Le fichier de données '" + path + "' n'existe pas ou n'est pas un fichier.");
        return false;
    }
    return true;
}

// Whether the file holds a description: the reader takes nothing before its first line
// "BEGIN MorvexFylatek", which comes first in every file the program writes.
bool isDescriptionFile(const std::string& path) {
    FilePtr in(openInputFile(path.c_str(), nullptr));
    if (!in) return false;
    std::string head(64 * 1024, '\0');
    head.resize(fread(head.data(), 1, head.size(), in.get()));
    for (char& c : head) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return head.find("begin morvexfylatek") != std::string::npos;
}

DescPtr openDescription(const std::string& path) {
    const std::string refusal = inputFileRefusal(path.c_str());
    if (!isRegularFile(path) || !refusal.empty()) {
        cliError("Le fichier de description '" + path + "' " +
                 (refusal.empty() ? "n'existe pas ou n'est pas un fichier" : refusal) + ".");
        return nullptr;
    }
    if (!isDescriptionFile(path)) {
        cliError("Le fichier '" + path +
                 "' n'est pas un fichier de format : une description .fyk commence par BEGIN "
                 "MorvexFylatek.");
        return nullptr;
    }
    std::string error;
    DescPtr desc(FILEDESC_OpenFileDesc(path.c_str(), &error));
    if (!desc)
        cliError(error.empty() ? "Impossible d'ouvrir le fichier de description '" + path + "'."
                               : error);
    return desc;
}

// Writes `desc` to standard output: saved into a private temporary file, then its bytes sent.
bool writeDescriptionOut(FileDesc* desc) {
    std::string temp = temporaryFolder() + "/morvexcli-XXXXXX.fyk";
    const int fd = mkstemps(temp.data(), 4);
    if (fd < 0) {
        cliError("Impossible d'écrire la description sur la sortie standard : " +
                 systemErrorText(errno) + ".");
        return false;
    }
    close(fd);
    std::string bytes, error;
    const bool saved = FILEDESC_SaveToFile(desc, temp.c_str()) == 0 &&
                       readInputFile(temp.c_str(), size_t{1} << 30, bytes, &error);
    std::error_code ec;
    fs::remove(temp, ec);
    if (!saved) {
        cliError("Impossible d'écrire la description sur la sortie standard.");
        return false;
    }
    return writeOut(bytes);
}

bool saveDescription(FileDesc* desc, const std::string& path,
                     const std::function<bool()>& beforeRename) {
    if (path == "-") return (!beforeRename || beforeRename()) && writeDescriptionOut(desc);
    std::string temp = path + ".tmp";
    std::error_code ec;
    if (FILEDESC_SaveToFile(desc, temp.c_str()) != 0) {
        fs::remove(temp, ec);
        cliError("Impossible d'écrire le fichier de description '" + path + "'.");
        return false;
    }
    if (beforeRename && !beforeRename()) {
        fs::remove(temp, ec);
        return false;
    }
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        cliError("Impossible d'écrire le fichier de description '" + path + "'.");
        return false;
    }
    FILEDESC_SetFileName(desc, path.c_str());
    desc->isModified = 0;
    return true;
}

bool writeOut(const std::string& text) {
    if (fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0)
        return true;
    cliError("Erreur d'écriture sur la sortie standard.");
    return false;
}

size_t displayWidth(const std::string& s) {
    return static_cast<size_t>(
        std::count_if(s.begin(), s.end(), [](char ch) { return (ch & 0xC0) != 0x80; }));
}

std::string padRight(const std::string& s, size_t width) {
    size_t w = displayWidth(s);
    return w >= width ? s : s + std::string(width - w, ' ');
}

std::string padLeft(const std::string& s, size_t width) {
    size_t w = displayWidth(s);
    return w >= width ? s : std::string(width - w, ' ') + s;
}

std::vector<size_t> tableWidths(const std::vector<std::string>& titles,
                                const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths(titles.size(), 0);
    for (size_t i = 0; i < titles.size(); ++i) widths[i] = displayWidth(titles[i]);
    for (const auto& r : rows) {
        if (r.size() > widths.size()) widths.resize(r.size(), 0);
        for (size_t i = 0; i < r.size(); ++i) widths[i] = std::max(widths[i], displayWidth(r[i]));
    }
    return widths;
}

std::string formatTableRow(const std::vector<std::string>& cells,
                           const std::vector<size_t>& widths) {
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) out += " | ";
        out += cells[i];
        if (i + 1 < cells.size() && i < widths.size()) {
            const size_t w = displayWidth(cells[i]);
            if (w < widths[i]) out += std::string(widths[i] - w, ' ');
        }
    }
    return out + '\n';
}

std::string formatTable(const std::vector<std::string>& titles,
                        const std::vector<std::vector<std::string>>& rows) {
    const std::vector<size_t> widths = tableWidths(titles, rows);
    std::string out = formatTableRow(titles, widths);
    for (size_t i = 0; i < titles.size(); ++i) {
        if (i) out += "-+-";
        out += std::string(widths[i], '-');
    }
    out += '\n';
    for (const auto& r : rows) out += formatTableRow(r, widths);
    return out;
}

std::string charText(char c) {
    return c ? std::string(1, c) : std::string();
}

std::string typeName(const TypeCible& t) {
    char out[64] = "";
    if (GetDataType(&t, out, sizeof out) != 0) snprintf(out, sizeof out, "?%i", t.type);
    return out;
}

std::string typeFormat(const TypeCible& t) {
    char out[128] = "";
    GetDataTypeFormat(&t, out, sizeof out);
    return out;
}

}  // namespace morvex

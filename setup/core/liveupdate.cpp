// The update procedure: manifest, list, downloads, installation script and start of morvex.
#include "setup/core/liveupdate.h"

#include <curl/curl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "foundation/inputfile.h"
#include "foundation/owned.h"
#include "foundation/registry.h"
#include "foundation/trace.h"
#include "setup/core/download.h"

const char* const LIVEUPDATE_MANIFEST_PATH = "/MorvexFylatek/liveupdate.txt";
const char* const LIVEUPDATE_MANIFEST_NAME = "liveupdate.txt";
const char* const LIVEUPDATE_DEFAULT_SERVER = "https://morvex-fylatek.example.org/releases";
const char* const LIVEUPDATE_INSTALL_SCRIPT = "install.sh";
const char* const LIVEUPDATE_PROGRAM = "morvex";
const char* const LIVEUPDATE_ROW_RUNNING = "En cours...";
const char* const LIVEUPDATE_ROW_DONE = "Terminé.";
const char* const LIVEUPDATE_ROW_ERROR = "ERREUR";

namespace {

// The longest file name the file system takes.
constexpr size_t kMaxNameLength = 255;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimBlanks(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decoding; a "%" not followed by two hexadecimal digits stays as it is.
std::string percentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The path of an address as written (no decoding, dot segments kept); the address minus its
// query and fragment when it cannot be parsed.
std::string rawPath(const std::string& url) {
    morvex::Owned<CURLU, curl_url_cleanup> u(curl_url());
    if (u && curl_url_set(u.get(), CURLUPART_URL, url.c_str(), CURLU_PATH_AS_IS) == CURLUE_OK) {
        char* path = nullptr;
        if (curl_url_get(u.get(), CURLUPART_PATH, &path, 0) == CURLUE_OK && path) {
            std::string out = path;
            curl_free(path);
            return out;
        }
    }
    return url.substr(0, url.find_first_of("?#"));
}

morvex::UiAnswer ask(const LIVEUPDATE_HOOKS& hooks, const char* caption, const std::string& text,
                     morvex::UiButtons buttons, morvex::UiIcon icon) {
    if (!hooks.ask) {
        return buttons == morvex::UiButtons::Ok ? morvex::UiAnswer::Ok : morvex::UiAnswer::No;
    }
    return hooks.ask(caption, text, buttons, icon);
}

// Waits for a child process; its exit status, or 128 + the signal that ended it.
int waitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

std::string LIVEUPDATE_ServerAddress() {
    const char* env = std::getenv("MORVEX_UPDATE_URL");
    if (env && *env) return env;
    if (auto key = morvex::SettingsKey::open(morvex::kSettingsKeyPath, REG_KEY_READ)) {
        const auto value = key->get("UpdateServer");
        if (value && !value->empty()) return *value;
    }
    return LIVEUPDATE_DEFAULT_SERVER;
}

std::string LIVEUPDATE_ManifestUrl(const std::string& server) {
    std::string base = server;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + LIVEUPDATE_MANIFEST_PATH;
}

std::string LIVEUPDATE_LocalName(const std::string& url, bool* allowed) {
    const std::string path = rawPath(url);
    const size_t slash = path.find_last_of('/');
    const std::string name =
        percentDecode(slash == std::string::npos ? path : path.substr(slash + 1));
    if (allowed) {
        *allowed = !name.empty() && name != "." && name != ".." &&
                   name.find_first_of(std::string("/\\\0", 3)) == std::string::npos &&
                   name.size() <= kMaxNameLength;
    }
    return name;
}

bool LIVEUPDATE_ReadManifest(const std::string& path, std::vector<LIVEUPDATE_ENTRY>* entries) {
    if (!entries) return false;
    entries->clear();
    std::string text;
    std::string error;
    if (!morvex::readInputFile(path.c_str(), LIVEUPDATE_MAX_MANIFEST, text, &error,
                               "Le fichier de description")) {
        morvex::trace("\n%s", error.c_str());
        return false;
    }
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line;
        for (char c : raw) {
            if (c != '\r' && c != '\n') line += c;
        }
        if (line.size() > LIVEUPDATE_MAX_LINE) line.resize(LIVEUPDATE_MAX_LINE);
        line = trimBlanks(line);
        if (line.empty()) continue;
        LIVEUPDATE_ENTRY entry;
        size_t blank = 0;
        while (blank < line.size() && !isBlank(line[blank])) ++blank;
        entry.url = line.substr(0, blank);
        const std::string rest = trimBlanks(line.substr(blank));
        size_t end = 0;
        while (end < rest.size() && !isBlank(rest[end])) ++end;
        entry.sha256 = rest.substr(0, end);
        entry.localName = LIVEUPDATE_LocalName(entry.url, &entry.nameAllowed);
        entries->push_back(std::move(entry));
    }
    return true;
}

int LIVEUPDATE_RunInstallScript(const std::string& directory) {
    const std::string dir = directory.empty() ? "." : directory;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        execl("/bin/sh", "sh", LIVEUPDATE_INSTALL_SCRIPT, static_cast<char*>(nullptr));
        _exit(127);
    }
    return waitFor(child);
}

bool LIVEUPDATE_StartProgram(const std::string& directory) {
    const std::string dir = directory.empty() ? "." : directory;
    const std::string program = dir + "/" + LIVEUPDATE_PROGRAM;
    if (access(program.c_str(), X_OK) != 0) {
        morvex::trace("\nImpossible de démarrer [%s]", program.c_str());
        return false;
    }
    const std::string self = std::string("./") + LIVEUPDATE_PROGRAM;
    // Two forks: the program is adopted by init and outlives the setup without a zombie.
    const pid_t child = fork();
    if (child < 0) {
        morvex::trace("\nImpossible de démarrer [%s]", program.c_str());
        return false;
    }
    if (child == 0) {
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            if (chdir(dir.c_str()) == 0) {
                execl(self.c_str(), LIVEUPDATE_PROGRAM, static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    if (waitFor(child) != 0) {
        morvex::trace("\nImpossible de démarrer [%s]", program.c_str());
        return false;
    }
    return true;
}

LIVEUPDATE_RESULT LIVEUPDATE_Run(const LIVEUPDATE_JOB& job, const LIVEUPDATE_HOOKS& hooks) {
    using morvex::UiAnswer;
    using morvex::UiButtons;
    using morvex::UiIcon;
    LIVEUPDATE_RESULT result;
    const std::string dir = job.directory.empty() ? "." : job.directory;
    const auto stopped = [&] { return job.stop && job.stop->load(); };
    const auto status = [&](const std::string& text) {
        if (hooks.status) hooks.status(text);
    };
    const auto download = [&](const std::string& url, const std::string& path,
                              const std::string& sha256, std::string* reason) {
        DOWNLOAD_OPTIONS options;
        options.connectTimeoutSeconds = job.connectTimeoutSeconds;
        options.stallTimeoutSeconds = job.stallTimeoutSeconds;
        options.expectedSha256 = sha256;
        options.stop = job.stop;
        if (hooks.busy) hooks.busy(true);
        const bool ok = DOWNLOAD_File(url.c_str(), path.c_str(), &options, reason);
        if (hooks.busy) hooks.busy(false);
        return ok;
    };

    // 1. The manifest, saved in the target directory.
    status("Connexion au serveur pour récupérer le fichier de description...");
    const std::string manifest = dir + "/" + LIVEUPDATE_MANIFEST_NAME;
    std::string reason;
    if (!download(LIVEUPDATE_ManifestUrl(job.server), manifest, std::string(), &reason)) {
        result.end = stopped() ? LIVEUPDATE_END::Stopped : LIVEUPDATE_END::ManifestUnreachable;
        return result;
    }

    // 2. and 3. Read back and listed.
    status("Fichier de description téléchargé.");
    std::vector<LIVEUPDATE_ENTRY> entries;
    if (!LIVEUPDATE_ReadManifest(manifest, &entries)) {
        ask(hooks, "Erreur", "Erreur lors du chargement du fichier de description.", UiButtons::Ok,
            UiIcon::Error);
        result.end = LIVEUPDATE_END::ManifestUnreadable;
        return result;
    }
    result.entries = static_cast<int>(entries.size());
    for (int i = 0; i < result.entries; ++i) {
        if (hooks.addRow) hooks.addRow(i, entries[i].localName, entries[i].url);
    }

    // 4. and 5. The downloads, one after the other; a failure does not stop the others.
    if (stopped()) {
        result.end = LIVEUPDATE_END::Stopped;
        return result;
    }
    if (ask(hooks, "MorvexSoft LiveUpdate", "Télécharger les fichiers ?", UiButtons::YesNo,
            UiIcon::Question) != UiAnswer::Yes) {
        result.end = LIVEUPDATE_END::DownloadDeclined;
        return result;
    }
    if (hooks.progressRange) hooks.progressRange(result.entries);
    std::string failures;  // one line per failed entry: its name and why
    for (int i = 0; i < result.entries; ++i) {
        if (stopped()) {
            result.end = LIVEUPDATE_END::Stopped;
            return result;
        }
        const LIVEUPDATE_ENTRY& e = entries[i];
        morvex::trace("\n->FROM:[%s]\n  TO:[%s]", e.url.c_str(), e.localName.c_str());
        status(e.url);
        if (hooks.rowStatus) hooks.rowStatus(i, LIVEUPDATE_ROW_RUNNING);
        bool ok = false;
        reason.clear();
        if (!e.nameAllowed) {
            morvex::trace("\nNom de fichier refusé [%s]", e.localName.c_str());
            reason = "nom de fichier refusé";
        } else {
            ok = download(e.url, dir + "/" + e.localName, e.sha256, &reason);
        }
        if (!ok) {
            ++result.failures;
            failures += "\n" + e.localName + " : " + reason;
        }
        if (hooks.rowStatus) hooks.rowStatus(i, ok ? LIVEUPDATE_ROW_DONE : LIVEUPDATE_ROW_ERROR);
        if (hooks.rowAttempted) hooks.rowAttempted(i);
        if (hooks.progress) hooks.progress(i + 1);
    }

    // 6. The installation script, only over a complete download: an install step run over
    // the files of an earlier version, or a file that failed its digest, is no installation.
    status("Terminé");
    if (stopped()) {
        result.end = LIVEUPDATE_END::Stopped;
        return result;
    }
    if (result.failures > 0) {
        ask(hooks, "Morvex Online Setup",
            std::to_string(result.failures) + " fichier(s) sur " + std::to_string(result.entries) +
                " n'ont pas pu être téléchargés : l'installation n'est pas lancée." + failures,
            UiButtons::Ok, UiIcon::Error);
        result.end = LIVEUPDATE_END::DownloadFailed;
        return result;
    }
    if (ask(hooks, "Morvex Online Setup",
            "Téléchargement des fichiers terminé. Voulez-vous installer maintenant ?",
            UiButtons::YesNo, UiIcon::Question) != UiAnswer::Yes) {
        result.end = LIVEUPDATE_END::InstallDeclined;
        return result;
    }
    result.installStatus = LIVEUPDATE_RunInstallScript(dir);

    // 7. The start of morvex.
    if (stopped()) {
        result.end = LIVEUPDATE_END::Stopped;
        return result;
    }
    if (ask(hooks, "Morvex Online Setup",
            "L'installation de Morvex est terminée. Voulez-vous démarrer Morvex ?",
            UiButtons::YesNo, UiIcon::Question) != UiAnswer::Yes) {
        result.end = LIVEUPDATE_END::StartDeclined;
        return result;
    }
    result.end =
        LIVEUPDATE_StartProgram(dir) ? LIVEUPDATE_END::Started : LIVEUPDATE_END::StartFailed;
    return result;
}

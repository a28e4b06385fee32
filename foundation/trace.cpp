#include "foundation/trace.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <mutex>
#include <string>

namespace morvex {
namespace {

struct TraceState {
    std::mutex lock;
    FILE* stream = nullptr;  // nullptr means standard output
    bool owned = false;      // true when stream is a file opened by traceOpenFile
};

TraceState& state() {
    static TraceState s;
    return s;
}

FILE* current(TraceState& s) { return s.stream ? s.stream : stdout; }

void closeOwned(TraceState& s) {
    if (s.owned && s.stream) fclose(s.stream);
    s.stream = nullptr;
    s.owned = false;
}

}  // namespace

void trace(const char* format, ...) {
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    FILE* out = current(s);
    va_list args;
    va_start(args, format);
    vfprintf(out, format, args);
    va_end(args);
    fflush(out);
}

void traceText(const char* text) {
    if (!text) return;
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    FILE* out = current(s);
    fputs(text, out);
    fflush(out);
}

void traceSetStream(FILE* stream) {
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    closeOwned(s);
    s.stream = stream;
}

namespace {

// Why the folder of `path` may not hold this user's log: written by others without the sticky
// bit, anyone may remove the log and put their own file in its place. Empty when it may.
std::string folderRefusal(const char* path) {
    std::string dir(path);
    const size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0) return {};  // the opening tells
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX))
        return "le dossier '" + dir + "' peut être modifié par d'autres utilisateurs";
    return {};
}

// Whether an opened file is the null device (the same device as /dev/null).
bool isNullDevice(const struct stat& opened) {
    struct stat null {};
    return S_ISCHR(opened.st_mode) && stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           null.st_rdev == opened.st_rdev;
}

}  // namespace

FILE* traceCreateFile(const char* path, std::string* refusal) {
    if (refusal) refusal->clear();
    if (!path) return nullptr;
    auto refuse = [&](const std::string& why) -> FILE* {
        if (refusal) *refusal = why;
        return nullptr;
    };
    const std::string folder = folderRefusal(path);
    if (!folder.empty()) return refuse(folder);
    // Never through a link: one planted at the log's place would have us overwrite its target.
    // Without blocking on a named pipe, and not truncated before it is known to be ours.
    const int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        // A link or a named pipe without a reader fails to open: something others may control.
        struct stat st {};
        if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) return refuse("c'est un lien symbolique");
        if (lstat(path, &st) == 0 && !S_ISREG(st.st_mode))
            return refuse("ce n'est pas un fichier ordinaire");
        return nullptr;
    }
    struct stat st {};
    std::string why;
    if (fstat(fd, &st) != 0) {
        why = "il ne peut pas être examiné";
    } else if (isNullDevice(st)) {
        // --log /dev/null: the trace asked to go nowhere, which is taken as it is.
        FILE* f = fdopen(fd, "w");
        if (!f) close(fd);
        return f;
    } else if (!S_ISREG(st.st_mode)) {
        why = "ce n'est pas un fichier ordinaire";
    } else if (st.st_uid != geteuid()) {
        why = "il appartient à un autre utilisateur";
    }
    if (!why.empty()) {
        close(fd);
        return refuse(why);
    }
    const int flags = fcntl(fd, F_GETFL);
    if (ftruncate(fd, 0) != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, "w");
    if (!f) close(fd);
    return f;
}

bool traceOpenFile(const char* path, std::string* refusal) {
    FILE* f = traceCreateFile(path, refusal);
    if (!f) return false;
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    closeOwned(s);
    s.stream = f;
    s.owned = true;
    return true;
}

std::string traceOpenLog(const std::string& path, std::string* warning) {
    if (warning) warning->clear();
    std::string refusal;
    if (traceOpenFile(path.c_str(), &refusal)) return path;
    if (refusal.empty()) return {};
    const std::string dir = traceDefaultDirectory();
    const size_t slash = path.find_last_of('/');
    const std::string fallback =
        dir + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
    if (warning)
        *warning = "Le fichier de log '" + path + "' est refusé : " + refusal +
                   ". La trace va dans '" + fallback + "'.";
    if (fallback == path || !traceMakePrivateDirectory(dir) || !traceOpenFile(fallback.c_str()))
        return {};
    return fallback;
}

void traceClose() { traceSetStream(nullptr); }

std::string traceDefaultDirectory() {
    const char* state = getenv("XDG_STATE_HOME");
    std::string base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        base = std::string(home && *home ? home : ".") + "/.local/state";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/MorvexFylatek";
}

bool traceMakePrivateDirectory(const std::string& dir) {
    if (dir.empty()) return false;
    for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) break;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TraceCapture::TraceCapture() : file_(tmpfile()), previous_(nullptr), previousOwned_(false) {
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    previous_ = s.stream;
    previousOwned_ = s.owned;
    if (file_) {
        s.stream = file_;
        s.owned = false;
    }
}

TraceCapture::~TraceCapture() {
    TraceState& s = state();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (file_ && s.stream == file_) {
            s.stream = previous_;
            s.owned = previousOwned_;
        }
    }
    if (file_) fclose(file_);
}

std::string TraceCapture::text() const {
    std::string out;
    if (!file_) return out;
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    fflush(file_);
    long end = ftell(file_);
    if (end <= 0) return out;
    out.resize(static_cast<size_t>(end));
    rewind(file_);
    size_t got = fread(out.data(), 1, out.size(), file_);
    out.resize(got);
    fseek(file_, 0, SEEK_END);
    return out;
}

void TraceCapture::clear() {
    if (!file_) return;
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    FILE* fresh = tmpfile();
    if (!fresh) return;
    if (s.stream == file_) s.stream = fresh;
    fclose(file_);
    file_ = fresh;
}

}  // namespace morvex

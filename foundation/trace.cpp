#include "foundation/trace.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

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

FILE* traceCreateFile(const char* path) {
    if (!path) return nullptr;
    // Never through a link: one planted at the log's place would have us overwrite its target.
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "w");
    if (!f) close(fd);
    return f;
}

bool traceOpenFile(const char* path) {
    FILE* f = traceCreateFile(path);
    if (!f) return false;
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    closeOwned(s);
    s.stream = f;
    s.owned = true;
    return true;
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

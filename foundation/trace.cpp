#include "foundation/trace.h"

#include <cstdarg>
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

bool traceOpenFile(const char* path) {
    if (!path) return false;
    FILE* f = fopen(path, "w");
    if (!f) return false;
    TraceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    closeOwned(s);
    s.stream = f;
    s.owned = true;
    return true;
}

void traceClose() { traceSetStream(nullptr); }

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

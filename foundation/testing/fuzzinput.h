// What the fuzz targets that read a file share: the trace sent nowhere (it would dominate the
// run time) and one scratch file per fuzzing process that receives each input, removed at exit.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/trace.h"

namespace morvex::testing {

class FuzzInputFile {
public:
    // Called from LLVMFuzzerInitialize: `name` names the scratch file in /tmp.
    void open(const char* name) {
        static FILE* sink = fopen("/dev/null", "w");
        if (sink) morvex::traceSetStream(sink);
        std::string templ = std::string("/tmp/") + name + "_XXXXXX";
        int fd = mkstemp(templ.data());
        if (fd < 0) abort();
        close(fd);
        path_ = templ;
    }
    ~FuzzInputFile() {
        if (!path_.empty()) unlink(path_.c_str());
    }
    // The input as the file's whole content; false when it cannot be written.
    bool write(const uint8_t* data, size_t size) const {
        FILE* f = fopen(path_.c_str(), "wb");
        if (!f) return false;
        const bool written = fwrite(data, 1, size, f) == size;
        return fclose(f) == 0 && written;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace morvex::testing

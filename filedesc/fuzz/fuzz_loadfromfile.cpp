// libFuzzer target: loads arbitrary bytes as a description file into a fresh description,
// then closes it. Build with -DMORVEX_FUZZ=ON (clang); run with a corpus of .fyk files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "filedesc/filedesc.h"
#include "foundation/trace.h"

namespace {

// The scratch file that receives each input (one per fuzzing process).
std::string gPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace would dominate the run time; send it nowhere.
    static FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    FILEDESC_Initialize();
    char templ[] = "/tmp/fuzz_loadfromfile_XXXXXX";
    int fd = mkstemp(templ);
    if (fd < 0) abort();
    close(fd);
    gPath = templ;
    atexit([] { unlink(gPath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fopen(gPath.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    FileDesc* desc = FILEDESC_CreateFileDesc(nullptr, nullptr, 0, nullptr, nullptr);
    if (!desc) return 0;
    FILEDESC_LoadFromFile(desc, gPath.c_str());
    FILEDESC_CloseFileDesc(desc);
    return 0;
}

// libFuzzer target: loads arbitrary bytes as a dictionary file, searches it, then releases it.
// Build with -DMORVEX_FUZZ=ON (clang); run with the seeds of fuzz/corpus.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datadic/datadic.h"
#include "datadic/dico.h"
#include "foundation/trace.h"

namespace {

// The scratch file that receives each input (one per fuzzing process).
std::string gPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace would dominate the run time; send it nowhere.
    static FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    char templ[] = "/tmp/fuzz_datadicxml_XXXXXX";
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
    DATADIC* dic = DATADICXML_LoadFromFile(gPath.c_str());
    if (!dic) return 0;
    DATADIC_Sort(dic);
    DICO_Search(dic, "a");
    for (LDCG_ELT* e = dic->elements->first; e; e = e->next)
        DICO_ReferencesText(static_cast<DATADIC_ELT*>(e->lParam1));
    DATADIC_Destroy(dic);
    return 0;
}

// libFuzzer target: loads arbitrary bytes as a dictionary file, searches it, then releases it.
// Build with -DMORVEX_FUZZ=ON (clang); run with the seeds of fuzz/corpus.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datadic/datadic.h"
#include "datadic/dico.h"
#include "foundation/testing/fuzzinput.h"
#include "foundation/trace.h"

namespace {

morvex::testing::FuzzInputFile gInput;  // receives each input

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gInput.open("fuzz_datadicxml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gInput.write(data, size)) return 0;
    DATADIC* dic = DATADICXML_LoadFromFile(gInput.path().c_str());
    if (!dic) return 0;
    DATADIC_Sort(dic);
    DICO_Search(dic, "a");
    for (int row = 0; row < DATADIC_Count(dic); ++row) DICO_ReferencesTextAt(dic, row);
    for (LDCG_ELT* e = DATADIC_GetList(dic)->first; e; e = e->next)
        DICO_ReferencesText(static_cast<DATADIC_ELT*>(e->lParam1));
    DATADIC_Destroy(dic);
    return 0;
}

// libFuzzer target: loads arbitrary bytes as a description file into a fresh description,
// then closes it. A description that loads holds no name with a control character (the reader
// refuses them): the target stops on one. Build with -DMORVEX_FUZZ=ON (clang); run with a corpus
// of .fyk files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "filedesc/filedesc.h"
#include "filedesc/names.h"
#include "foundation/testing/fuzzinput.h"
#include "foundation/trace.h"

namespace {

morvex::testing::FuzzInputFile gInput;  // receives each input

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gInput.open("fuzz_loadfromfile");
    FILEDESC_Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gInput.write(data, size)) return 0;
    FileDesc* desc = FILEDESC_CreateFileDesc(nullptr, nullptr, 0, nullptr, nullptr);
    if (!desc) return 0;
    if (FILEDESC_LoadFromFile(desc, gInput.path().c_str()) == 0 &&
        !FILEDESC_NamesRefusal(desc).empty())
        abort();
    FILEDESC_CloseFileDesc(desc);
    return 0;
}

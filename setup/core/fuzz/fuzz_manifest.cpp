// libFuzzer target: reads arbitrary bytes as the update manifest, as it arrives from the
// network, and checks every entry: an address without blanks, a file name that stays in the
// target folder when it is allowed. Build with -DMORVEX_FUZZ=ON (clang).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/testing/fuzzinput.h"
#include "foundation/trace.h"
#include "setup/core/liveupdate.h"

namespace {

morvex::testing::FuzzInputFile gInput;  // receives each input

void check(bool ok) {
    if (!ok) abort();
}

bool hasBlank(const std::string& text) {
    return text.find_first_of(" \t\r\n") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gInput.open("fuzz_manifest");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gInput.write(data, size)) return 0;
    std::vector<LIVEUPDATE_ENTRY> entries;
    check(LIVEUPDATE_ReadManifest(gInput.path(), &entries));
    const size_t lines = std::count(data, data + size, '\n') + 1;
    check(entries.size() <= lines);
    for (const LIVEUPDATE_ENTRY& e : entries) {
        check(!e.url.empty() && !hasBlank(e.url) && e.url.size() <= LIVEUPDATE_MAX_LINE);
        check(!hasBlank(e.sha256));
        bool allowed = false;
        check(LIVEUPDATE_LocalName(e.url, &allowed) == e.localName && allowed == e.nameAllowed);
        if (!e.nameAllowed) continue;
        // An allowed name is one plain entry of the target folder.
        check(!e.localName.empty() && e.localName != "." && e.localName != "..");
        check(e.localName.find('/') == std::string::npos);
        check(e.localName.find('\\') == std::string::npos);
        check(e.localName.find('\0') == std::string::npos);
        check(e.localName.size() <= 255);
    }
    return 0;
}

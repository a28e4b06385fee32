// libFuzzer target: reads arbitrary bytes as the settings file, then reads, writes and removes
// values through the settings store, checking that a value written reads back as it was and
// that every other value keeps its text. Build with -DMORVEX_FUZZ=ON (clang).
//
// Input: 1 setting byte, then the file content up to the first NUL byte pair (all of it when
// there is none), then the value to write.
//   [0] bits 0-1: the key used (the program's key, "Software", the first sub-key of
//       "Software", the first sub-key of the program's key); bits 2-7: size of the buffer the
//       value is read back into through REG_recupererChaine (1..64)
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "foundation/registry.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace {

std::string gDir;  // the settings folder of this fuzzing process

void check(bool ok) {
    if (!ok) abort();
}

// The values of `key`, by name as listed (the first of equal names wins, as get() reads them).
std::map<std::string, std::string> valuesOf(const morvex::SettingsKey& key) {
    std::map<std::string, std::string> values;
    for (const std::string& name : key.valueNames()) {
        std::optional<std::string> value = key.get(name);
        check(value.has_value());  // a listed name has a value
        values.emplace(name, *value);
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    // A memory file system when there is one: every value written rewrites the file.
    std::string templ =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/fuzz_settings_XXXXXX";
    if (!mkdtemp(templ.data())) abort();
    gDir = templ;
    setenv("MORVEX_CONFIG_DIR", gDir.c_str(), 1);
    atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(gDir, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t h = data[0];
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t cut = rest.find(std::string("\0\0", 2));
    const std::string file = rest.substr(0, cut);
    const std::string written = cut == std::string::npos ? "" : rest.substr(cut + 2);
    const std::string path = morvex::settingsFilePath();
    {
        FILE* f = fopen(path.c_str(), "wb");
        if (!f) return 0;
        fwrite(file.data(), 1, file.size(), f);
        fclose(f);
    }

    // The encoding of values is reversible.
    check(morvex::settingsDecodeValue(morvex::settingsEncodeValue(written)) == written);

    std::string keyPath = morvex::kSettingsKeyPath;
    if ((h & 3) == 1) keyPath = "Software";
    if ((h & 3) >= 2) {
        const std::string parent = (h & 3) == 2 ? "Software" : morvex::kSettingsKeyPath;
        auto key = morvex::SettingsKey::open(parent, REG_KEY_READ);
        if (!key) return 0;
        const auto children = key->subKeys();
        if (children.empty()) return 0;
        keyPath = parent + "\\" + children.front();
        if (keyPath.find_first_of("\r\n") != std::string::npos) return 0;
    }
    auto key = morvex::SettingsKey::create(keyPath, REG_KEY_ALL_ACCESS);
    if (!key) return 0;
    const auto before = valuesOf(*key);
    key->subKeys();

    // One value written reads back as written; the others keep their texts.
    const std::string name = "FuzzValue";
    check(key->set(name, written));
    check(key->get(name) == written);
    auto after = valuesOf(*key);
    for (const auto& [n, v] : before) {
        if (strcasecmp(n.c_str(), name.c_str()) == 0) continue;
        auto found = after.find(n);
        check(found != after.end() && found->second == v);
    }

    // Read back into a small buffer: cut at a character boundary, never beyond the buffer.
    const size_t bufferSize = 1 + (h >> 2);
    if (REG_ouvrirAcces(keyPath == "Software" ? "" : keyPath.substr(9).c_str(),
                        REG_KEY_ALL_ACCESS, nullptr)) {
        char buffer[80];
        memset(buffer, 0x7F, sizeof buffer);
        if (REG_recupererChaine(name.c_str(), buffer, bufferSize)) {
            const size_t length = strnlen(buffer, bufferSize);
            check(length < bufferSize);
            check(written.compare(0, length, buffer, length) == 0);
            if (written.find('\0') == std::string::npos) {
                if (written.size() < bufferSize) {
                    check(length == written.size());  // a value that fits is whole
                } else {
                    // Cut by at most one character, never inside one of a valid text.
                    check(length + 3 >= bufferSize - 1);
                    if (morvex::utf8IsValid(written))
                        check(morvex::utf8IsValid(std::string_view(buffer, length)));
                }
            }
        }
        check(buffer[bufferSize] == 0x7F);
        REG_fermerAcces();
    }

    check(key->remove(name));
    return 0;
}

// Run-time binding of the SQLite library.
#include "sqliteload/sqlite3dll.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "foundation/trace.h"
#include "foundation/uiport.h"

SQLITE3_API gsqlite3 = {};

namespace {

// Handle of the bound library, nullptr while none is bound.
void* gLibrary = nullptr;

// Fills `api` from `library`; the name of the first missing entry point, or nullptr.
const char* BindEntryPoints(void* library, SQLITE3_API* api) {
#define SQLITE3_BIND_POINTER(name, ret, args)              \
    {                                                      \
        void* symbol = dlsym(library, #name);              \
        if (symbol == nullptr) return #name;               \
        api->name = reinterpret_cast<ret(*) args>(symbol); \
    }
    SQLITE3_ENTRY_POINTS(SQLITE3_BIND_POINTER)
#undef SQLITE3_BIND_POINTER
    return nullptr;
}

// Fills the optional row-source entry points of `api`, all or none.
void BindRowSourcePoints(void* library, SQLITE3_API* api) {
    SQLITE3_API found = {};
#define SQLITE3_BIND_OPTIONAL(name, ret, args)              \
    {                                                       \
        void* symbol = dlsym(library, #name);               \
        if (symbol == nullptr) return;                      \
        found.name = reinterpret_cast<ret(*) args>(symbol); \
    }
    SQLITE3_ROW_SOURCE_POINTS(SQLITE3_BIND_OPTIONAL)
#undef SQLITE3_BIND_OPTIONAL
#define SQLITE3_COPY_POINTER(name, ret, args) api->name = found.name;
    SQLITE3_ROW_SOURCE_POINTS(SQLITE3_COPY_POINTER)
#undef SQLITE3_COPY_POINTER
}

}  // namespace

void* SQLITE3_LoadDLL(void* /*ownerWindow*/, const char* libraryName, morvex::UiError* error) {
    const char* name = libraryName != nullptr ? libraryName : SQLITE3_DEFAULT_LIBRARY;
    auto fail = [error](const char* title, const char* text) {
        if (error) *error = morvex::UiError{title, text, morvex::UiIcon::Error};
    };
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        morvex::trace("\n[SQLITE3_LoadDLL] dlopen(%s) : %s", name, why != nullptr ? why : "");
        char text[1024];
        snprintf(text, sizeof text, "Impossible de charger la dll '%s'", name);
        fail("ARC_chargerDLL", text);
        return nullptr;
    }
    SQLITE3_API api = {};
    if (const char* missing = BindEntryPoints(library, &api)) {
        char text[256];
        snprintf(text, sizeof text, "Impossible de lier la procédure '%s'", missing);
        fail("SQLITE3_LoadDLL", text);
        dlclose(library);
        return nullptr;
    }
    BindRowSourcePoints(library, &api);
    api.sqlite3_error_offset =
        reinterpret_cast<int (*)(sqlite3*)>(dlsym(library, "sqlite3_error_offset"));
    // Before the library's first use: no memory statistics, whose global lock every allocation
    // of a load would take (a library already in use refuses, which changes nothing).
    using ConfigFunction = int (*)(int, ...);
    if (auto config = reinterpret_cast<ConfigFunction>(dlsym(library, "sqlite3_config")))
        config(SQLITE_CONFIG_MEMSTATUS, 0);
    if (gLibrary != nullptr && gLibrary != library) SQLITE3_LibererDLL(gLibrary);
    gsqlite3 = api;
    gLibrary = library;
    return library;
}

int SQLITE3_LibererDLL(void* handle) {
    if (handle == nullptr) return 0;
    if (handle == gLibrary) {
        gsqlite3 = SQLITE3_API{};
        gLibrary = nullptr;
    }
    dlclose(handle);
    return 0;
}

bool SQLITE3_IsBound() {
    return gLibrary != nullptr;
}

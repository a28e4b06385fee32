#include "pgload/libpq.h"

#include <dlfcn.h>

namespace morvex::pq {

namespace {

struct Library {
    Functions functions;
    std::string failure;  // why it could not be opened, "" when it is
};

const Library& library() {
    static const Library opened = [] {
        Library lib;
        // The soname the package depends on; the handle is kept for the process' life.
        void* handle = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            lib.failure = why != nullptr ? why : "libpq.so.5";
            return lib;
        }
        Functions f;
        bool complete = true;
#define MORVEX_PQ_LOOKUP(name)                                                       \
    f.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));              \
    if (f.name == nullptr) {                                                         \
        complete = false;                                                            \
        if (lib.failure.empty()) lib.failure = "libpq.so.5 : " #name " introuvable"; \
    }
        MORVEX_PQ_FUNCTIONS(MORVEX_PQ_LOOKUP)
#undef MORVEX_PQ_LOOKUP
        if (complete) lib.functions = f;
        return lib;
    }();
    return opened;
}

}  // namespace

bool available(std::string* why) {
    const Library& lib = library();
    if (why != nullptr) *why = lib.failure;
    return lib.failure.empty();
}

const Functions& functions() {
    return library().functions;
}

void PQclear(PGresult* result) {
    if (result != nullptr && functions().PQclear) functions().PQclear(result);
}

void PQfinish(PGconn* conn) {
    if (conn != nullptr && functions().PQfinish) functions().PQfinish(conn);
}

void PQconninfoFree(PQconninfoOption* options) {
    if (options != nullptr && functions().PQconninfoFree) functions().PQconninfoFree(options);
}

void PQfreemem(void* memory) {
    if (memory != nullptr && functions().PQfreemem) functions().PQfreemem(memory);
}

void PQfreeCancel(PGcancel* cancel) {
    if (cancel != nullptr && functions().PQfreeCancel) functions().PQfreeCancel(cancel);
}

PQconninfoOption* PQconninfoParse(const char* conninfo, char** errmsg) {
    if (errmsg != nullptr) *errmsg = nullptr;
    if (!available()) return nullptr;
    return functions().PQconninfoParse(conninfo, errmsg);
}

}  // namespace morvex::pq

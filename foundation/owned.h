// Owning pointers over the C-style records of the system, each released by its own function:
//   morvex::Owned<FileDesc, FILEDESC_CloseFileDesc> desc(FILEDESC_OpenFileDesc(path));
//   morvex::Owned<LDCG, [](LDCG* row) { LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH); }>
// A null pointer is never handed to the release function.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace morvex {

// The deleter that calls `Release` on the pointer it is given (its result is ignored).
template <auto Release>
struct ReleaseWith {
    template <typename T>
    void operator()(T* p) const noexcept {
        if (p) Release(p);
    }
};

// A T* released by `Release` when it goes.
template <typename T, auto Release>
using Owned = std::unique_ptr<T, ReleaseWith<Release>>;

inline void closeFile(FILE* f) {
    fclose(f);
}
inline void freeMemory(void* p) {
    free(p);
}

// An open stdio file, closed when it goes (a write error at closing is not seen: close it
// yourself where that matters).
using FilePtr = Owned<FILE, closeFile>;
// A block of malloc'd memory, freed when it goes.
template <typename T>
using MallocPtr = Owned<T, freeMemory>;

}  // namespace morvex

// Tracked allocation with a report of the blocks still allocated.
#include "foundation/allocmem.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "foundation/trace.h"
#include "foundation/owned.h"

namespace {

// Longest identifier kept in a header.
constexpr size_t kIdentifierMax = 63;

// Header placed before every user area.
struct MemHeader {
    MemHeader* previous;                  // older block in the circular list
    MemHeader* next;                      // newer block in the circular list
    int size;                             // user size in bytes
    char identifier[kIdentifierMax + 1];  // the caller's source file name, cut
    long line;                            // the caller's line
    void* userArea;                       // address of the user area: marks a valid block
};

// Header size rounded up so that the user area keeps the strictest alignment.
constexpr size_t kHeaderSize = (sizeof(MemHeader) + alignof(std::max_align_t) - 1) /
                               alignof(std::max_align_t) * alignof(std::max_align_t);

// The registry of live blocks: the circular list with its anchor (the most recently added
// block), and the set of user areas that lets mem_free tell a tracked block from any pointer
// without reading memory that is not its own.
struct Registry {
    std::mutex lock;
    MemHeader* anchor = nullptr;
    std::unordered_set<void*> live;
};

Registry& registry() {
    static Registry r;
    return r;
}

MemHeader* HeaderOf(void* userArea) {
    return reinterpret_cast<MemHeader*>(static_cast<char*>(userArea) - kHeaderSize);
}

void* UserAreaOf(MemHeader* header) {
    return reinterpret_cast<char*>(header) + kHeaderSize;
}

// A block is valid when its user address is not null, is a multiple of 4, and its header
// records that very address.
bool IsValid(MemHeader* header) {
    if (!header) return false;
    void* user = UserAreaOf(header);
    return (reinterpret_cast<uintptr_t>(user) % 4) == 0 && header->userArea == user;
}

// Fills in the header of a fresh block.
void Describe(MemHeader* header, size_t size, const char* identifier, long line) {
    header->size = static_cast<int>(size);
    header->identifier[0] = '\0';
    if (identifier) {
        strncpy(header->identifier, identifier, kIdentifierMax);
        header->identifier[kIdentifierMax] = '\0';
    }
    header->line = line;
    header->userArea = UserAreaOf(header);
}

// Links a block in as the new anchor. Caller holds the lock.
void LinkAsAnchor(Registry& r, MemHeader* header) {
    if (!r.anchor) {
        header->previous = header->next = header;
    } else {
        header->previous = r.anchor;
        header->next = r.anchor->next;
        r.anchor->next->previous = header;
        r.anchor->next = header;
    }
    r.anchor = header;
    r.live.insert(header->userArea);
}

// Takes a block out of the list. Caller holds the lock.
void Unlink(Registry& r, MemHeader* header) {
    r.live.erase(header->userArea);
    if (header->next == header) {
        r.anchor = nullptr;
    } else {
        header->previous->next = header->next;
        header->next->previous = header->previous;
        if (r.anchor == header) r.anchor = header->previous;
    }
    header->previous = header->next = nullptr;
}

// The header of p when p is a live tracked block, else nullptr. Caller holds the lock.
MemHeader* Tracked(Registry& r, void* p) {
    if (!p || r.live.find(p) == r.live.end()) return nullptr;
    MemHeader* header = HeaderOf(p);
    return IsValid(header) ? header : nullptr;
}

bool SizeFits(size_t size) {
    return size <= static_cast<size_t>(INT_MAX) - kHeaderSize;
}

// Closes a FILE on scope exit.

}  // namespace

void* mem_alloc(size_t size, const char* identifier, long line) {
    MemHeader* header = nullptr;
    if (SizeFits(size)) header = static_cast<MemHeader*>(calloc(1, kHeaderSize + size));
    if (!header) {
        morvex::trace("Erreur d'allocation\n");
        return nullptr;
    }
    Describe(header, size, identifier, line);
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    LinkAsAnchor(r, header);
    return header->userArea;
}

void* mem_calloc(size_t size, const char* identifier, long line) {
    return mem_alloc(size, identifier, line);
}

void* mem_realloc(void* p, size_t size, const char* identifier, long line) {
    if (!p) return mem_alloc(size, identifier, line);
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    MemHeader* old = Tracked(r, p);
    if (!old) return nullptr;
    MemHeader* bigger = nullptr;
    if (SizeFits(size)) {
        // Unregister first: on failure the old block is put back exactly where it was.
        bool alone = old->next == old;
        bool wasAnchor = r.anchor == old;
        MemHeader* before = old->previous;
        MemHeader* after = old->next;
        int oldSize = old->size;
        r.live.erase(p);
        bigger = static_cast<MemHeader*>(realloc(old, kHeaderSize + size));
        MemHeader* header = bigger ? bigger : old;
        if (bigger) {
            if (size > static_cast<size_t>(oldSize))
                memset(reinterpret_cast<char*>(UserAreaOf(bigger)) + oldSize, 0,
                       size - static_cast<size_t>(oldSize));
            Describe(bigger, size, identifier, line);
        }
        if (alone) {
            header->previous = header->next = header;
        } else {
            header->previous = before;
            header->next = after;
            before->next = header;
            after->previous = header;
        }
        if (wasAnchor) r.anchor = header;
        r.live.insert(header->userArea);
    }
    if (!bigger) {
        morvex::trace("Erreur d'allocation\n");
        return nullptr;
    }
    return bigger->userArea;
}

void mem_free(void* p) {
    MemHeader* header = nullptr;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> guard(r.lock);
        header = Tracked(r, p);
        if (!header) return;
        Unlink(r, header);
    }
    memset(header, 0, kHeaderSize + static_cast<size_t>(header->size));
    free(header);
}

char* mem_strdup(const char* text, const char* identifier, long line) {
    if (!text) return nullptr;
    size_t len = strlen(text);
    char* copy = static_cast<char*>(mem_alloc(len + 1, identifier, line));
    if (copy) memcpy(copy, text, len + 1);
    return copy;
}

int mem_verifierMemoire(const char* path) {
    if (!path) return 1;
    morvex::FilePtr file(morvex::traceCreateFile(path));
    if (!file) return 1;
    FILE* f = file.get();
    fprintf(f, "ALLOCMEN version 1.0.1.20141012");
    fprintf(f, "\n-------------Fichier : %s", path);
    fprintf(f, "\nContrôle de la mémoire : pointeurs restants\n");
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> guard(r.lock);
        if (r.anchor) {
            fprintf(f, "adresse  taille identificateur noLigne\n");
            MemHeader* header = r.anchor;
            do {
                if (!IsValid(header)) {
                    fprintf(f, "<pointeur incorrect>\n");
                    break;
                }
                fprintf(f, "%08lx %4ld %12s %4ld\n",
                        static_cast<unsigned long>(reinterpret_cast<uintptr_t>(header)),
                        static_cast<long>(header->size), header->identifier, header->line);
                header = header->previous;
            } while (header != r.anchor);
        } else {
            fprintf(f,
                    "Tous les pointeurs ont été désalloués\n"
                    "ou le programme n'a pas été compilée en mode DEBOG_MEM\n");
        }
    }
    fprintf(f, "----------------Fin du fichier\n");
    return 0;
}

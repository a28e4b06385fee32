// HASH: open hashing keyed by text, with the Weinberger hash.
#include "foundation/hcodeouvert.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "foundation/trace.h"

namespace {

// Version text of the module, referred to by every table.
const char kVersion[] = "2.0.2.20141006";

// Bucket index of a key in a table.
int BucketOf(const HASH* table, const char* key) {
    return static_cast<int>(Weinberger(key) % static_cast<unsigned int>(table->nbBuckets));
}

// Unlinks an entry from its bucket and releases it (and its data through `release`).
void DropEntry(HASH* table, HASH_BUCKET* bucket, HASH_ENTREE* entry, HASH_LIBERER release) {
    if (entry->previous)
        entry->previous->next = entry->next;
    else
        bucket->first = entry->next;
    if (entry->next) entry->next->previous = entry->previous;
    --bucket->count;
    --table->count;
    if (release) release(entry->donnee);
    delete entry;
}

// Releases every entry; the buckets end empty.
void Empty(HASH* table, HASH_LIBERER release) {
    for (int i = 0; i < table->nbBuckets; ++i) {
        HASH_BUCKET* bucket = &table->buckets[i];
        while (bucket->first) DropEntry(table, bucket, bucket->first, release);
    }
    table->count = 0;
}

// Puts the iterator on the front of the first non-empty bucket from `from` on.
void SeekBucket(HASH_IT* it, int from) {
    it->courant = nullptr;
    for (int i = from; i < it->table->nbBuckets; ++i) {
        if (it->table->buckets[i].first) {
            it->bucket = i;
            it->courant = it->table->buckets[i].first;
            return;
        }
    }
    it->bucket = it->table->nbBuckets;
}

}  // namespace

unsigned int Weinberger(const char* key) {
    if (!key) return 0;
    // Signed arithmetic that wraps: computed on unsigned words, read back as signed.
    uint32_t h = 0;
    for (const char* p = key; *p; ++p) {
        int32_t c = static_cast<int8_t>(*p);
        h = h * 16u + static_cast<uint32_t>(c);
        uint32_t g = h & 0xF0000000u;
        if (g != 0) {
            // Shift of a signed value: the sign bit is copied into the vacated bits.
            uint32_t shifted = static_cast<uint32_t>(static_cast<int32_t>(g) >> 24);
            h ^= shifted;
            h ^= g;
        }
    }
    int32_t signedHash = static_cast<int32_t>(h);
    return signedHash < 0 ? 0u - h : h;
}

HASH* HASH_Creer(int nbBuckets) {
    if (nbBuckets < 1) return nullptr;
    HASH* table = new (std::nothrow) HASH{kVersion, nbBuckets, 0, nullptr};
    if (!table) return nullptr;
    table->buckets = new (std::nothrow) HASH_BUCKET[static_cast<size_t>(nbBuckets)]();
    if (!table->buckets) {
        delete table;
        return nullptr;
    }
    return table;
}

int HASH_Detruire(HASH* table) {
    return HASH_DetruireEx(table, nullptr);
}

int HASH_DetruireEx(HASH* table, HASH_LIBERER release) {
    if (!table) return HASH_ERR_PARAMETRE;
    Empty(table, release);
    delete[] table->buckets;
    delete table;
    return HASH_OK;
}

int HASH_Vider(HASH* table) {
    return HASH_ViderEx(table, nullptr);
}

int HASH_ViderEx(HASH* table, HASH_LIBERER release) {
    if (!table) return HASH_ERR_PARAMETRE;
    Empty(table, release);
    return HASH_OK;
}

int HASH_Ajouter(HASH* table, const char* key, void* data) {
    if (!table || !key) return HASH_ERR_PARAMETRE;
    HASH_ENTREE* entry = new (std::nothrow) HASH_ENTREE{};
    if (!entry) return HASH_ERR_MEMOIRE;
    strncpy(entry->cle, key, HASH_CLE_MAX);
    entry->cle[HASH_CLE_MAX] = '\0';
    entry->donnee = data;
    // The entry lives in the bucket of the key it stores.
    HASH_BUCKET* bucket = &table->buckets[BucketOf(table, entry->cle)];
    entry->next = bucket->first;
    if (bucket->first) bucket->first->previous = entry;
    bucket->first = entry;
    ++bucket->count;
    ++table->count;
    return HASH_OK;
}

int HASH_Rechercher(HASH* table, const char* key, void** data) {
    if (!table || !key) return HASH_ERR_PARAMETRE;
    for (HASH_ENTREE* e = table->buckets[BucketOf(table, key)].first; e; e = e->next) {
        if (strcmp(e->cle, key) == 0) {
            if (data) *data = e->donnee;
            return HASH_OK;
        }
    }
    return HASH_ERR_CLE;
}

int HASH_Supprimer(HASH* table, const char* key, HASH_LIBERER release) {
    if (!table || !key) return HASH_ERR_PARAMETRE;
    HASH_BUCKET* bucket = &table->buckets[BucketOf(table, key)];
    for (HASH_ENTREE* e = bucket->first; e; e = e->next) {
        if (strcmp(e->cle, key) == 0) {
            DropEntry(table, bucket, e, release);
            return HASH_OK;
        }
    }
    return HASH_ERR_CLE;
}

int HASH_Count(HASH* table) {
    return table ? table->count : 0;
}

void HASH_Visualiser(HASH* table) {
    if (!table) return;
    morvex::trace("\nAffichage de la table de hachage");
    for (int i = 0; i < table->nbBuckets; ++i) {
        morvex::trace("\n%.2i (%.3i elements) :", i, table->buckets[i].count);
        for (HASH_ENTREE* e = table->buckets[i].first; e; e = e->next)
            morvex::trace("\n\t- '%s' : %s", e->cle,
                          e->donnee ? "Donnee presente" : "Aucune donnee");
    }
}

HASH_IT* HASH_IT_Creer() {
    return new (std::nothrow) HASH_IT{nullptr, 0, nullptr};
}

void HASH_IT_Detruire(HASH_IT* it) {
    delete it;
}

void HASH_IT_Init(HASH_IT* it, HASH* table) {
    if (!it) return;
    it->table = table;
    it->bucket = 0;
    it->courant = nullptr;
    if (table) SeekBucket(it, 0);
}

void* HASH_IT_Courant(HASH_IT* it) {
    return (it && it->courant) ? it->courant->donnee : nullptr;
}

const char* HASH_IT_Cle(HASH_IT* it) {
    return (it && it->courant) ? it->courant->cle : nullptr;
}

void* HASH_IT_Suivant(HASH_IT* it) {
    if (!it || !it->courant) return nullptr;
    if (it->courant->next)
        it->courant = it->courant->next;
    else
        SeekBucket(it, it->bucket + 1);
    return HASH_IT_Courant(it);
}

int HASH_IT_EstFini(HASH_IT* it) {
    return (it && it->courant) ? 0 : 1;
}

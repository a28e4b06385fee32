// HASH: table keyed by text with open hashing (separate chaining in a fixed number of buckets).
//
// Entries copy their key (at most HASH_CLE_MAX characters; longer keys are stored cut, so a
// search with the full key does not find them) and refer to their data without owning it.
// Keys are not checked for duplicates: a search finds the most recently added equal key.
// Nothing here locks: a table belongs to the thread that uses it.
#pragma once

// Longest key stored.
constexpr int HASH_CLE_MAX = 128;

// Result codes of the table operations.
enum {
    HASH_OK = 0,             // success
    HASH_ERR_PARAMETRE = 1,  // table or key missing
    HASH_ERR_MEMOIRE = 2,    // out of memory
    HASH_ERR_CLE = 3,        // key not found
};

// Releases the data of one entry.
typedef void (*HASH_LIBERER)(void* data);

struct HASH_ENTREE {
    char cle[HASH_CLE_MAX + 1];  // the key, copied and terminated
    void* donnee;                // the data (not owned)
    HASH_ENTREE* previous;       // towards the front of the bucket
    HASH_ENTREE* next;           // towards the back of the bucket
};

struct HASH_BUCKET {
    HASH_ENTREE* first;  // the most recently added entry of the bucket
    int count;           // entries in the bucket
};

struct HASH {
    const char* version;   // the module's version text "2.0.2.20141006"
    int nbBuckets;         // number of buckets, fixed at creation
    int count;             // number of entries
    HASH_BUCKET* buckets;  // nbBuckets buckets
};

// Iteration position: bucket order, each bucket from its front.
struct HASH_IT {
    HASH* table;           // the table read, nullptr before HASH_IT_Init
    int bucket;            // index of the current bucket
    HASH_ENTREE* courant;  // current entry, nullptr once finished
};

// The hash of a key: bytes taken as signed 8-bit values, signed 32-bit accumulator with
// wrap-around, h = h*16 + c, top nibble folded with an arithmetic shift; the absolute value of
// the result, taken as unsigned. 0 for a missing key.
unsigned int Weinberger(const char* key);

// A new empty table of nbBuckets buckets (at least 1); nullptr otherwise or when out of memory.
HASH* HASH_Creer(int nbBuckets);
// Release every entry (HASH_DetruireEx also calls `release` on each entry's data) and the table.
int HASH_Detruire(HASH* table);
int HASH_DetruireEx(HASH* table, HASH_LIBERER release);
// Release every entry (with `release` on each data for the Ex form); the table stays usable.
int HASH_Vider(HASH* table);
int HASH_ViderEx(HASH* table, HASH_LIBERER release);
// Adds an entry at the front of its bucket. HASH_OK, HASH_ERR_PARAMETRE or HASH_ERR_MEMOIRE.
int HASH_Ajouter(HASH* table, const char* key, void* data);
// Finds the entry of exactly this key (case-sensitive) and gives its data in *data (when data
// is given). HASH_OK, HASH_ERR_PARAMETRE or HASH_ERR_CLE.
int HASH_Rechercher(HASH* table, const char* key, void** data);
// Removes the first entry of this key, calling `release` (when given) on its data.
// HASH_OK, HASH_ERR_PARAMETRE or HASH_ERR_CLE.
int HASH_Supprimer(HASH* table, const char* key, HASH_LIBERER release);
// Number of entries; 0 for a missing table.
int HASH_Count(HASH* table);
// Prints every bucket and its entries on the trace.
void HASH_Visualiser(HASH* table);

// Iteration. HASH_IT_Creer gives an iterator that is finished until HASH_IT_Init.
HASH_IT* HASH_IT_Creer();
void HASH_IT_Detruire(HASH_IT* it);
// Positions on the first entry of the first non-empty bucket.
void HASH_IT_Init(HASH_IT* it, HASH* table);
// The data of the current entry; nullptr when finished.
void* HASH_IT_Courant(HASH_IT* it);
// The key of the current entry; nullptr when finished.
const char* HASH_IT_Cle(HASH_IT* it);
// Moves to the next entry (next in the bucket, else front of the next non-empty bucket) and
// returns its data; nullptr when finished.
void* HASH_IT_Suivant(HASH_IT* it);
// 1 when there is no current entry, else 0.
int HASH_IT_EstFini(HASH_IT* it);

#include "datadic/datadic.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>

#include "foundation/trace.h"
#include "foundation/utf8.h"

// Code -> element, keyed by views of the elements' own codes (elements never move).
struct DATADIC_LOOKUP {
    std::unordered_map<std::string_view, DATADIC_ELT*> map;
};

namespace {

// A column as the dictionary keeps it: every text terminated, no message, no statistics.
void copyColumn(ColumnDesc* dst, const ColumnDesc* src) {
    memcpy(dst, src, sizeof *dst);
    dst->code[COLUMN_CODE_MAX] = 0;
    dst->Description[COLUMN_DESCRIPTION_MAX] = 0;
    dst->typeCible.fmtDate[COLUMN_FORMAT_MAX] = 0;
    dst->typeCible.fmtDateTime[COLUMN_FORMAT_MAX] = 0;
    dst->message = nullptr;
    dst->stats = nullptr;
}

// The key of a code: the code cut to the length an element keeps.
void keyOf(const char* code, char (&key)[DATADIC_CODE_MAX + 1]) {
    morvex::utf8CopyCut(key, sizeof key, code);
}

DATADIC_REF* newReference(const DATADIC_REF* ref) {
    auto* r = static_cast<DATADIC_REF*>(calloc(1, sizeof(DATADIC_REF)));
    if (!r) return nullptr;
    morvex::utf8CopyCut(r->database, sizeof r->database, ref->database);
    morvex::utf8CopyCut(r->table, sizeof r->table, ref->table);
    copyColumn(&r->localColumn, &ref->localColumn);
    return r;
}

DATADIC_REF* findReference(DATADIC_ELT* elt, const char* database, const char* table) {
    if (!elt || !database || !table) return nullptr;
    for (LDCG_ELT* e = elt->references->first; e; e = e->next) {
        auto* r = static_cast<DATADIC_REF*>(e->lParam1);
        if (r && strcmp(r->database, database) == 0 && strcmp(r->table, table) == 0) return r;
    }
    return nullptr;
}

// Appends a copy of ref to elt's references unless that place is already there.
int appendReference(DATADIC_ELT* elt, const DATADIC_REF* ref) {
    char database[DATADIC_DATABASE_MAX + 1], table[DATADIC_TABLE_MAX + 1];
    morvex::utf8CopyCut(database, sizeof database, ref->database);
    morvex::utf8CopyCut(table, sizeof table, ref->table);
    if (findReference(elt, database, table)) return DATADIC_ERR_EXISTS;
    DATADIC_REF* r = newReference(ref);
    if (!r) return DATADIC_ERR;
    if (!LDCG_Add(elt->references, r, nullptr)) {
        free(r);
        return DATADIC_ERR;
    }
    return DATADIC_OK;
}

int compareCodes(const void* a, const void* b) {
    const auto* ea = *static_cast<DATADIC_ELT* const*>(a);
    const auto* eb = *static_cast<DATADIC_ELT* const*>(b);
    return strcmp(ea->code, eb->code);
}

}  // namespace

DATADIC* DATADIC_Create(const char* name, const char* filePath) {
    if (!name || !filePath) return nullptr;
    auto* dic = static_cast<DATADIC*>(calloc(1, sizeof(DATADIC)));
    if (!dic) return nullptr;
    morvex::utf8CopyCut(dic->name, sizeof dic->name, name);
    dic->filePath = strdup(filePath);
    dic->elements = LDCG_Create(nullptr, DATADIC_ELT_Destructor);
    dic->index = HASH_Creer(DATADIC_INDEX_BUCKETS);
    dic->lookup = new (std::nothrow) DATADIC_LOOKUP;
    if (!dic->filePath || !dic->elements || !dic->index || !dic->lookup) {
        free(dic->filePath);
        LDCG_Destroy(dic->elements, LDCG_KEEP_ROOT, LDCG_RELEASE_NOTHING);
        HASH_Detruire(dic->index);
        delete dic->lookup;
        free(dic);
        return nullptr;
    }
    return dic;
}

int DATADIC_Destroy(DATADIC* dic) {
    if (!dic) return DATADIC_ERR_NODIC;
    HASH_Detruire(dic->index);
    delete dic->lookup;
    LDCG_Destroy(dic->elements, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
    free(dic->filePath);
    free(dic);
    return DATADIC_OK;
}

DATADIC_ELT* DATADIC_ELT_Constructor() {
    auto* elt = static_cast<DATADIC_ELT*>(calloc(1, sizeof(DATADIC_ELT)));
    if (!elt) return nullptr;
    elt->references = LDCG_Create(nullptr, nullptr);  // references are released with free()
    if (!elt->references) {
        free(elt);
        return nullptr;
    }
    return elt;
}

void DATADIC_ELT_Destructor(void* p) {
    auto* elt = static_cast<DATADIC_ELT*>(p);
    if (!elt) return;
    LDCG_Destroy(elt->references, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
    free(elt);
}

DATADIC_ELT* DATADIC_SearchElt(DATADIC* dic, const char* code) {
    if (!dic || !code) return nullptr;
    char key[DATADIC_CODE_MAX + 1];
    keyOf(code, key);
    auto found = dic->lookup->map.find(std::string_view(key));
    return found == dic->lookup->map.end() ? nullptr : found->second;
}

int DATADIC_AddElt(DATADIC* dic, const DATADIC_REF* ref) {
    if (!dic) return DATADIC_ERR_NODIC;
    if (!ref) return DATADIC_ERR;
    DATADIC_ELT* found = DATADIC_SearchElt(dic, ref->localColumn.code);
    if (found) {
        // A column sent without its database or table is known already: no place to record.
        if (!ref->database[0] || !ref->table[0]) return DATADIC_OK;
        return appendReference(found, ref);
    }

    DATADIC_ELT* elt = DATADIC_ELT_Constructor();
    if (!elt) return DATADIC_ERR;
    keyOf(ref->localColumn.code, elt->code);
    copyColumn(&elt->defaultColumn, &ref->localColumn);
    if (ref->database[0] && ref->table[0] && appendReference(elt, ref) != DATADIC_OK) {
        DATADIC_ELT_Destructor(elt);
        return DATADIC_ERR;
    }
    if (HASH_Ajouter(dic->index, elt->code, elt) != HASH_OK) {
        DATADIC_ELT_Destructor(elt);
        return DATADIC_ERR;
    }
    bool added = false;
    try {
        added = dic->lookup->map.emplace(std::string_view(elt->code), elt).second;
    } catch (const std::bad_alloc&) {
    }
    if (!added || !LDCG_Add(dic->elements, elt, nullptr)) {
        if (added) dic->lookup->map.erase(std::string_view(elt->code));
        HASH_Supprimer(dic->index, elt->code, nullptr);
        DATADIC_ELT_Destructor(elt);
        return DATADIC_ERR;
    }
    return DATADIC_OK;
}

int DATADIC_AddReference(DATADIC* dic, const char* code, const DATADIC_REF* ref) {
    if (!dic) return DATADIC_ERR_NODIC;
    if (!code || !ref) return DATADIC_ERR;
    DATADIC_ELT* elt = DATADIC_SearchElt(dic, code);
    if (!elt) return DATADIC_ERR_NOCODE;
    return appendReference(elt, ref);
}

DATADIC_REF* DATADIC_SearchReference(DATADIC* dic, const char* code, const char* database,
                                     const char* table) {
    return findReference(DATADIC_SearchElt(dic, code), database, table);
}

int DATADIC_Sort(DATADIC* dic) {
    if (!dic) return DATADIC_ERR_NODIC;
    if (LDCG_OrderBy(dic->elements, compareCodes) != 0) {
        morvex::trace("\n(e) Erreur lors du tri");
        return DATADIC_ERR;
    }
    return DATADIC_OK;
}

LDCG* DATADIC_GetList(DATADIC* dic) {
    return dic ? dic->elements : nullptr;
}

#include "datadic/datadic.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace {

// A column as the store keeps it: its numbers, and its texts as places in the arena.
struct ColumnRecord {
    uint32_t code, description, fmtDate, fmtDateTime;
    int32_t position, hasWarning, hasInfo, width;
    int32_t type, integerSize, integerDigits, decimalDigits, fixedSize, variableMax;
    int32_t ignore, notNull, protectedField, start, end;
    char delimStart, delimEnd;
};

struct ReferenceRecord {
    uint32_t database, table;
    uint32_t next;    // the object's next reference, kNone after the last
    uint32_t column;  // its local definition in the store's columns (most often the object's
                      // default one, which it then shares)
};

struct ObjectRecord {
    uint32_t code;
    uint32_t firstReference, lastReference;  // kNone without references
    uint32_t references;
    uint32_t column;  // the default definition in the store's columns
};

constexpr uint32_t kNone = UINT32_MAX;

// Records in blocks of a fixed count that never move: growing never copies what is there nor
// holds two copies at once, as a vector's doubling does.
template <typename T>
class Blocks {
public:
    static constexpr size_t kPerBlock = 4096;

    size_t size() const { return size_; }
    T& operator[](size_t i) { return blocks_[i / kPerBlock][i % kPerBlock]; }
    const T& operator[](size_t i) const { return blocks_[i / kPerBlock][i % kPerBlock]; }
    // Appends `value`; false when memory runs out.
    bool push(const T& value) {
        if (size_ == blocks_.size() * kPerBlock) {
            try {
                blocks_.emplace_back(new T[kPerBlock]);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        (*this)[size_++] = value;
        return true;
    }
    void pop() { --size_; }
    size_t bytes() const { return blocks_.size() * kPerBlock * sizeof(T); }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t size_ = 0;
};

// Texts laid end to end, each with its terminator, in blocks that never move: a text's place
// is its block times the block size plus its offset. Place 0 is the empty text.
class Arena {
public:
    static constexpr uint32_t kBlock = 1u << 20;

    // The place of a copy of `text`; kNone when memory runs out or the arena is full.
    uint32_t add(std::string_view text) {
        if (text.empty()) return 0;
        const size_t need = text.size() + 1;
        if (need > kBlock) return kNone;
        if (blocks_.empty() || used_ + need > kBlock) {
            if (blocks_.size() >= UINT32_MAX / kBlock) return kNone;
            char* block = static_cast<char*>(malloc(kBlock));
            if (!block) return kNone;
            try {
                blocks_.emplace_back(block);
            } catch (const std::bad_alloc&) {
                free(block);
                return kNone;
            }
            used_ = blocks_.size() == 1 ? 1 : 0;
            blocks_.back()[0] = 0;
        }
        const uint32_t at = static_cast<uint32_t>((blocks_.size() - 1) * kBlock + used_);
        memcpy(blocks_.back().get() + used_, text.data(), text.size());
        blocks_.back()[used_ + text.size()] = 0;
        used_ += need;
        return at;
    }
    const char* text(uint32_t at) const {
        if (blocks_.empty()) return "";
        return blocks_[at / kBlock].get() + at % kBlock;
    }
    size_t bytes() const { return blocks_.size() * size_t{kBlock}; }

private:
    struct Free {
        void operator()(char* p) const { free(p); }
    };
    std::vector<std::unique_ptr<char[], Free>> blocks_;
    size_t used_ = 0;
};

}  // namespace

struct DATADIC_STORE {
    Arena arena;
    Blocks<ObjectRecord> objects;        // in insertion order (their number never changes)
    Blocks<ReferenceRecord> references;  // every object's, linked per object
    Blocks<ColumnRecord> columns;        // default and local definitions
    std::vector<uint32_t> order;              // object numbers in list order
    std::unordered_map<std::string_view, uint32_t> lookup;  // code (in the arena) -> object
    std::vector<DATADIC_ELT*> built;          // per object number, nullptr until built
    bool listStale = true;                    // the elements list no longer follows `order`
};

namespace {

// The key of a code: the code cut to the length an element keeps.
void keyOf(const char* code, char (&key)[DATADIC_CODE_MAX + 1]) {
    morvex::utf8CopyCut(key, sizeof key, code);
}

std::string_view cutView(const char* text, size_t max) {
    return std::string_view(text, strnlen(text, max));
}

// Lays the texts of `column` in the arena; a text equal to the one of `like` (optional) takes
// its place. False when memory runs out.
bool packColumn(Arena& arena, const ColumnDesc& c, ColumnRecord& r, const ColumnRecord* like) {
    auto place = [&](const char* text, size_t max, uint32_t likeAt, uint32_t& at) {
        const std::string_view view = cutView(text, max);
        if (like && view == arena.text(likeAt)) {
            at = likeAt;
            return true;
        }
        at = arena.add(view);
        return at != kNone;
    };
    if (!place(c.code, COLUMN_CODE_MAX, like ? like->code : 0, r.code) ||
        !place(c.Description, COLUMN_DESCRIPTION_MAX, like ? like->description : 0,
               r.description) ||
        !place(c.typeCible.fmtDate, COLUMN_FORMAT_MAX, like ? like->fmtDate : 0, r.fmtDate) ||
        !place(c.typeCible.fmtDateTime, COLUMN_FORMAT_MAX, like ? like->fmtDateTime : 0,
               r.fmtDateTime))
        return false;
    r.position = c.Position;
    r.hasWarning = c.hasWarning;
    r.hasInfo = c.hasInfo;
    r.width = c.WidthInChars;
    r.type = c.typeCible.type;
    r.integerSize = c.typeCible.fmtEntier.taille;
    r.integerDigits = c.typeCible.fmtDecimal.partieEntiere;
    r.decimalDigits = c.typeCible.fmtDecimal.partieDecimale;
    r.fixedSize = c.typeCible.fmtChaineFixe.taille;
    r.variableMax = c.typeCible.fmtChaineVar.tailleMax;
    r.ignore = c.IgnoreColumn;
    r.notNull = c.FieldCannotBeNull;
    r.protectedField = c.protectedField;
    r.delimStart = c.DelimCharStart;
    r.delimEnd = c.DelimCharEnd;
    r.start = c.StartPosition;
    r.end = c.EndPosition;
    return true;
}

// Copies a text of the arena (already cut to the field) into a field.
template <size_t N>
void copyText(char (&field)[N], const char* text) {
    const size_t n = strnlen(text, N - 1);
    memcpy(field, text, n);
    field[n] = 0;
}

void unpackColumn(const Arena& arena, const ColumnRecord& r, ColumnDesc* c) {
    memset(c, 0, sizeof *c);
    copyText(c->code, arena.text(r.code));
    copyText(c->Description, arena.text(r.description));
    copyText(c->typeCible.fmtDate, arena.text(r.fmtDate));
    copyText(c->typeCible.fmtDateTime, arena.text(r.fmtDateTime));
    c->Position = r.position;
    c->hasWarning = r.hasWarning;
    c->hasInfo = r.hasInfo;
    c->WidthInChars = r.width;
    c->typeCible.type = r.type;
    c->typeCible.fmtEntier.taille = r.integerSize;
    c->typeCible.fmtDecimal.partieEntiere = r.integerDigits;
    c->typeCible.fmtDecimal.partieDecimale = r.decimalDigits;
    c->typeCible.fmtChaineFixe.taille = r.fixedSize;
    c->typeCible.fmtChaineVar.tailleMax = r.variableMax;
    c->IgnoreColumn = r.ignore;
    c->FieldCannotBeNull = r.notNull;
    c->protectedField = r.protectedField;
    c->DelimCharStart = r.delimStart;
    c->DelimCharEnd = r.delimEnd;
    c->StartPosition = r.start;
    c->EndPosition = r.end;
}

void unpackReference(const DATADIC_STORE& s, const ReferenceRecord& r, DATADIC_REF* ref,
                     bool tablesOnly) {
    copyText(ref->database, s.arena.text(r.database));
    copyText(ref->table, s.arena.text(r.table));
    if (!tablesOnly) unpackColumn(s.arena, s.columns[r.column], &ref->localColumn);
}

DATADIC_REF* newReference(const DATADIC_STORE& s, const ReferenceRecord& r) {
    auto* ref = static_cast<DATADIC_REF*>(calloc(1, sizeof(DATADIC_REF)));
    if (ref) unpackReference(s, r, ref, false);
    return ref;
}

uint32_t objectOf(const DATADIC* dic, const char* code) {
    if (!dic || !code) return kNone;
    char key[DATADIC_CODE_MAX + 1];
    keyOf(code, key);
    auto found = dic->store->lookup.find(std::string_view(key));
    return found == dic->store->lookup.end() ? kNone : found->second;
}

uint32_t objectAt(const DATADIC* dic, int row) {
    if (!dic || row < 0 || static_cast<size_t>(row) >= dic->store->order.size()) return kNone;
    return dic->store->order[row];
}

// The element of object `n`, built when it was not yet.
DATADIC_ELT* build(DATADIC* dic, uint32_t n) {
    DATADIC_STORE& s = *dic->store;
    if (n == kNone) return nullptr;
    if (n < s.built.size() && s.built[n]) return s.built[n];
    try {
        if (s.built.size() < s.objects.size()) s.built.resize(s.objects.size(), nullptr);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    DATADIC_ELT* elt = DATADIC_ELT_Constructor();
    if (!elt) return nullptr;
    const ObjectRecord& o = s.objects[n];
    copyText(elt->code, s.arena.text(o.code));
    unpackColumn(s.arena, s.columns[o.column], &elt->defaultColumn);
    for (uint32_t r = o.firstReference; r != kNone; r = s.references[r].next) {
        DATADIC_REF* ref = newReference(s, s.references[r]);
        if (!ref || !LDCG_Add(elt->references, ref, nullptr)) {
            free(ref);
            DATADIC_ELT_Destructor(elt);
            return nullptr;
        }
    }
    HASH_Ajouter(dic->index, elt->code, elt);
    s.built[n] = elt;
    return elt;
}

bool sameReference(const DATADIC_STORE& s, const ReferenceRecord& r, const char* database,
                   const char* table) {
    return strcmp(s.arena.text(r.database), database) == 0 &&
           strcmp(s.arena.text(r.table), table) == 0;
}

// Appends ref to object n's references unless that place is already there.
int appendReference(DATADIC_STORE& s, uint32_t n, const DATADIC_REF* ref) {
    char database[DATADIC_DATABASE_MAX + 1], table[DATADIC_TABLE_MAX + 1];
    morvex::utf8CopyCut(database, sizeof database, ref->database);
    morvex::utf8CopyCut(table, sizeof table, ref->table);
    ObjectRecord& o = s.objects[n];
    for (uint32_t r = o.firstReference; r != kNone; r = s.references[r].next)
        if (sameReference(s, s.references[r], database, table)) return DATADIC_ERR_EXISTS;
    if (s.references.size() >= kNone || s.columns.size() >= kNone) return DATADIC_ERR;
    ReferenceRecord record{};
    record.next = kNone;
    record.column = o.column;
    // A local definition is most often the default one: it then shares its record, else its
    // texts equal to the default's are laid once.
    const ColumnRecord& byDefault = s.columns[o.column];
    ColumnRecord local;
    memset(&local, 0, sizeof local);  // compared whole, padding included
    if ((record.database = s.arena.add(database)) == kNone ||
        (record.table = s.arena.add(table)) == kNone ||
        !packColumn(s.arena, ref->localColumn, local, &byDefault))
        return DATADIC_ERR;
    if (memcmp(&local, &byDefault, sizeof local) != 0) {
        record.column = static_cast<uint32_t>(s.columns.size());
        if (!s.columns.push(local)) return DATADIC_ERR;
    }
    if (!s.references.push(record)) {
        if (record.column != o.column) s.columns.pop();
        return DATADIC_ERR;
    }
    const uint32_t at = static_cast<uint32_t>(s.references.size() - 1);
    if (o.lastReference == kNone)
        o.firstReference = at;
    else
        s.references[o.lastReference].next = at;
    o.lastReference = at;
    ++o.references;
    // An element already built follows its object.
    if (n < s.built.size() && s.built[n]) {
        DATADIC_REF* copy = newReference(s, s.references[at]);
        if (!copy || !LDCG_Add(s.built[n]->references, copy, nullptr)) free(copy);
    }
    return DATADIC_OK;
}

// A new object for ref->localColumn (and its reference when both places are given).
int addObject(DATADIC* dic, const DATADIC_REF* ref) {
    DATADIC_STORE& s = *dic->store;
    char key[DATADIC_CODE_MAX + 1];
    keyOf(ref->localColumn.code, key);
    if (s.objects.size() >= kNone - 1 || s.columns.size() >= kNone) return DATADIC_ERR;
    ColumnRecord column;
    memset(&column, 0, sizeof column);  // compared whole with local ones, padding included
    if (!packColumn(s.arena, ref->localColumn, column, nullptr)) return DATADIC_ERR;
    ObjectRecord o{};
    o.firstReference = o.lastReference = kNone;
    o.column = static_cast<uint32_t>(s.columns.size());
    o.code = strcmp(key, s.arena.text(column.code)) == 0 ? column.code : s.arena.add(key);
    if (o.code == kNone || !s.columns.push(column)) return DATADIC_ERR;
    const uint32_t n = static_cast<uint32_t>(s.objects.size());
    if (!s.objects.push(o)) {
        s.columns.pop();
        return DATADIC_ERR;
    }
    bool added = false;
    try {
        s.order.push_back(n);
        added = s.lookup.emplace(std::string_view(s.arena.text(o.code)), n).second;
        if (!added) s.order.pop_back();
    } catch (const std::bad_alloc&) {
        if (s.order.size() > s.objects.size() - 1) s.order.pop_back();
    }
    if (!added) {
        s.objects.pop();
        s.columns.pop();
        return DATADIC_ERR;
    }
    s.listStale = true;
    if (ref->database[0] && ref->table[0] && appendReference(s, n, ref) == DATADIC_ERR) {
        s.lookup.erase(std::string_view(s.arena.text(o.code)));
        s.order.pop_back();
        s.objects.pop();
        s.columns.pop();
        return DATADIC_ERR;
    }
    return DATADIC_OK;
}

}  // namespace

DATADIC* DATADIC_Create(const char* name, const char* filePath) {
    if (!name || !filePath) return nullptr;
    auto* dic = static_cast<DATADIC*>(calloc(1, sizeof(DATADIC)));
    if (!dic) return nullptr;
    morvex::utf8CopyCut(dic->name, sizeof dic->name, name);
    dic->filePath = strdup(filePath);
    dic->elements = LDCG_Create(nullptr, nullptr);  // the elements are released by the store
    dic->index = HASH_Creer(DATADIC_INDEX_BUCKETS);
    dic->store = new (std::nothrow) DATADIC_STORE;
    if (!dic->filePath || !dic->elements || !dic->index || !dic->store) {
        free(dic->filePath);
        LDCG_Destroy(dic->elements, LDCG_KEEP_ROOT, LDCG_RELEASE_NOTHING);
        HASH_Detruire(dic->index);
        delete dic->store;
        free(dic);
        return nullptr;
    }
    return dic;
}

int DATADIC_Destroy(DATADIC* dic) {
    if (!dic) return DATADIC_ERR_NODIC;
    HASH_Detruire(dic->index);
    LDCG_Destroy(dic->elements, LDCG_KEEP_ROOT, LDCG_RELEASE_NOTHING);
    for (DATADIC_ELT* elt : dic->store->built) DATADIC_ELT_Destructor(elt);
    delete dic->store;
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
    return dic ? build(dic, objectOf(dic, code)) : nullptr;
}

int DATADIC_AddElt(DATADIC* dic, const DATADIC_REF* ref) {
    if (!dic) return DATADIC_ERR_NODIC;
    if (!ref) return DATADIC_ERR;
    const uint32_t found = objectOf(dic, ref->localColumn.code);
    if (found != kNone) {
        // A column sent without its database or table is known already: no place to record.
        if (!ref->database[0] || !ref->table[0]) return DATADIC_OK;
        return appendReference(*dic->store, found, ref);
    }
    return addObject(dic, ref);
}

int DATADIC_AddReference(DATADIC* dic, const char* code, const DATADIC_REF* ref) {
    if (!dic) return DATADIC_ERR_NODIC;
    if (!code || !ref) return DATADIC_ERR;
    const uint32_t n = objectOf(dic, code);
    if (n == kNone) return DATADIC_ERR_NOCODE;
    return appendReference(*dic->store, n, ref);
}

DATADIC_REF* DATADIC_SearchReference(DATADIC* dic, const char* code, const char* database,
                                     const char* table) {
    if (!database || !table) return nullptr;
    DATADIC_ELT* elt = DATADIC_SearchElt(dic, code);
    if (!elt) return nullptr;
    for (LDCG_ELT* e = elt->references->first; e; e = e->next) {
        auto* r = static_cast<DATADIC_REF*>(e->lParam1);
        if (r && strcmp(r->database, database) == 0 && strcmp(r->table, table) == 0) return r;
    }
    return nullptr;
}

int DATADIC_Sort(DATADIC* dic) {
    if (!dic) return DATADIC_ERR_NODIC;
    DATADIC_STORE& s = *dic->store;
    try {
        std::sort(s.order.begin(), s.order.end(), [&s](uint32_t a, uint32_t b) {
            return strcmp(s.arena.text(s.objects[a].code), s.arena.text(s.objects[b].code)) < 0;
        });
    } catch (const std::bad_alloc&) {
        morvex::trace("\n(e) Erreur lors du tri");
        return DATADIC_ERR;
    }
    s.listStale = true;
    return DATADIC_OK;
}

LDCG* DATADIC_GetList(DATADIC* dic) {
    if (!dic) return nullptr;
    DATADIC_STORE& s = *dic->store;
    if (!s.listStale) return dic->elements;
    LDCG_DeleteAll(dic->elements, LDCG_RELEASE_NOTHING);
    for (uint32_t n : s.order) {
        DATADIC_ELT* elt = build(dic, n);
        if (!elt || !LDCG_Add(dic->elements, elt, nullptr)) {
            morvex::trace("\n(e) Memoire insuffisante pour la liste du dictionnaire");
            LDCG_DeleteAll(dic->elements, LDCG_RELEASE_NOTHING);
            return dic->elements;
        }
    }
    s.listStale = false;
    return dic->elements;
}

int DATADIC_Count(const DATADIC* dic) {
    return dic ? static_cast<int>(dic->store->order.size()) : 0;
}

const char* DATADIC_CodeAt(const DATADIC* dic, int row) {
    const uint32_t n = objectAt(dic, row);
    return n == kNone ? "" : dic->store->arena.text(dic->store->objects[n].code);
}

const char* DATADIC_DescriptionAt(const DATADIC* dic, int row) {
    const uint32_t n = objectAt(dic, row);
    const DATADIC_STORE* s = dic ? dic->store : nullptr;
    return n == kNone ? "" : s->arena.text(s->columns[s->objects[n].column].description);
}

bool DATADIC_DefaultColumnAt(const DATADIC* dic, int row, ColumnDesc* column) {
    const uint32_t n = objectAt(dic, row);
    if (n == kNone || !column) return false;
    unpackColumn(dic->store->arena, dic->store->columns[dic->store->objects[n].column], column);
    return true;
}

int DATADIC_ReferenceCountAt(const DATADIC* dic, int row) {
    const uint32_t n = objectAt(dic, row);
    return n == kNone ? 0 : static_cast<int>(dic->store->objects[n].references);
}

void DATADIC_VisitReferencesAt(const DATADIC* dic, int row, DATADIC_REF* scratch,
                               bool tablesOnly, void (*visit)(const DATADIC_REF*, void*),
                               void* context) {
    const uint32_t n = objectAt(dic, row);
    if (n == kNone || !scratch || !visit) return;
    const DATADIC_STORE& s = *dic->store;
    for (uint32_t r = s.objects[n].firstReference; r != kNone; r = s.references[r].next) {
        unpackReference(s, s.references[r], scratch, tablesOnly);
        visit(scratch, context);
    }
}

DATADIC_ELT* DATADIC_EltAt(DATADIC* dic, int row) {
    return build(dic, objectAt(dic, row));
}

size_t DATADIC_StoreBytes(const DATADIC* dic) {
    if (!dic) return 0;
    const DATADIC_STORE& s = *dic->store;
    return s.arena.bytes() + s.objects.bytes() + s.references.bytes() + s.columns.bytes() +
           s.order.capacity() * sizeof(uint32_t);
}

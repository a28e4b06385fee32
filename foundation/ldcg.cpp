// LDCG: generic doubly linked list with a single shared cursor, iterators and release modes.
#include "foundation/ldcg.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "foundation/trace.h"

namespace {

// Process-wide counters, printed by LDCG_ShowGlobalStats. Worker threads create lists too.
std::atomic<int> nbRootCreated{0};
std::atomic<int> nbRootDestroyed{0};
std::atomic<int> nbEltCreated{0};
std::atomic<int> nbEltDestroyed{0};
std::atomic<int> nbItCreated{0};
std::atomic<int> nbItDestroyed{0};

// Releases one payload word with the list's destructor, or free(); a null word is left alone.
void ReleaseWord(LDCG* list, void* word) {
    if (!word) return;
    if (list->destructor)
        list->destructor(word);
    else
        free(word);
}

// A new unlinked element; nullptr when out of memory.
LDCG_ELT* NewElement(void* lParam1, void* lParam2) {
    LDCG_ELT* elt = new (std::nothrow) LDCG_ELT{lParam1, lParam2, nullptr, nullptr};
    if (elt) ++nbEltCreated;
    return elt;
}

// Links elt between prev and next (either may be null, meaning an end of the list).
void LinkBetween(LDCG* list, LDCG_ELT* elt, LDCG_ELT* prev, LDCG_ELT* next) {
    elt->previous = prev;
    elt->next = next;
    if (prev)
        prev->next = elt;
    else
        list->first = elt;
    if (next)
        next->previous = elt;
    else
        list->last = elt;
    ++list->count;
}

// Takes elt out of the chain and moves every reading position that stands on it to its next.
void Unlink(LDCG* list, LDCG_ELT* elt) {
    if (elt->previous)
        elt->previous->next = elt->next;
    else
        list->first = elt->next;
    if (elt->next)
        elt->next->previous = elt->previous;
    else
        list->last = elt->previous;
    if (list->cursor == elt) list->cursor = elt->next;
    for (LDCG_IT* it = list->iterators; it; it = it->nextIterator)
        if (it->cursor == elt) it->cursor = elt->next;
    elt->previous = elt->next = nullptr;
    --list->count;
}

// Swaps two neighbours, a directly before b.
void SwapNeighbours(LDCG* list, LDCG_ELT* a, LDCG_ELT* b) {
    LDCG_ELT* before = a->previous;
    LDCG_ELT* after = b->next;
    if (before)
        before->next = b;
    else
        list->first = b;
    if (after)
        after->previous = a;
    else
        list->last = a;
    b->previous = before;
    b->next = a;
    a->previous = b;
    a->next = after;
}

// First element holding lParam1, or nullptr.
LDCG_ELT* Find(LDCG* list, void* lParam1) {
    for (LDCG_ELT* e = list->first; e; e = e->next)
        if (e->lParam1 == lParam1) return e;
    return nullptr;
}

// Reading primitives shared by the single cursor and the iterators.
void* ReadNext(LDCG_ELT*& pos) {
    if (!pos) return nullptr;
    void* data = pos->lParam1;
    pos = pos->next;
    return data;
}

void* ReadPrevious(LDCG_ELT*& pos) {
    if (!pos) return nullptr;
    void* data = pos->lParam1;
    pos = pos->previous;
    return data;
}

LDCG_ELT* ReadNextElement(LDCG_ELT*& pos) {
    LDCG_ELT* elt = pos;
    if (pos) pos = pos->next;
    return elt;
}

}  // namespace

LDCG* LDCG_Create(void* rootData, LDCG_DESTRUCTOR destructor) {
    LDCG* list =
        new (std::nothrow) LDCG{nullptr, nullptr, nullptr, rootData, destructor, 0, nullptr};
    if (list) ++nbRootCreated;
    return list;
}

int LDCG_Destroy(LDCG* list, int msg_root, int msg) {
    if (!list) return 1;
    LDCG_DeleteAll(list, msg);
    if (msg_root == LDCG_RELEASE_ROOT) {
        free(list->rootData);
    } else if (msg_root != LDCG_KEEP_ROOT) {
        morvex::trace(
            "\n[LDCG_Destroy] Erreur : le paramètre msg_root n'a pas une valeur autorisée (%i)",
            msg_root);
    }
    // Iterators outliving their list read nothing rather than freed memory.
    for (LDCG_IT* it = list->iterators; it;) {
        LDCG_IT* next = it->nextIterator;
        it->list = nullptr;
        it->cursor = nullptr;
        it->nextIterator = nullptr;
        it = next;
    }
    delete list;
    ++nbRootDestroyed;
    return 0;
}

LDCG_ELT* LDCG_Add(LDCG* list, void* lParam1, void* lParam2) {
    if (!list) return nullptr;
    LDCG_ELT* elt = NewElement(lParam1, lParam2);
    if (elt) LinkBetween(list, elt, list->last, nullptr);
    return elt;
}

LDCG_ELT* LDCG_AddAfter(LDCG* list, LDCG_ELT* elt, void* lParam1, void* lParam2) {
    if (!list) return nullptr;
    LDCG_ELT* added = NewElement(lParam1, lParam2);
    if (!added) return nullptr;
    if (!elt) {
        morvex::trace("\n[LDCG_AddAfter] : eltAt is null : First element");
        LinkBetween(list, added, nullptr, list->first);
    } else {
        LinkBetween(list, added, elt, elt->next);
    }
    morvex::trace("\n[LDCG_AddAfter] : Success");
    return added;
}

LDCG_ELT* LDCG_AddBefore(LDCG* list, LDCG_ELT* elt, void* lParam1, void* lParam2) {
    if (!list || !elt) return nullptr;
    LDCG_ELT* added = NewElement(lParam1, lParam2);
    if (added) LinkBetween(list, added, elt->previous, elt);
    return added;
}

int LDCG_MoveUp(LDCG* list, void* lParam1) {
    if (!list) return 1;
    LDCG_ELT* elt = Find(list, lParam1);
    if (!elt) return 1;
    if (elt->previous) SwapNeighbours(list, elt->previous, elt);
    return 0;
}

int LDCG_MoveDown(LDCG* list, void* lParam1) {
    if (!list) return 1;
    LDCG_ELT* elt = Find(list, lParam1);
    if (!elt) return 1;
    if (elt->next) SwapNeighbours(list, elt, elt->next);
    return 0;
}

int LDCG_Remove(LDCG* list, void* lParam1, int msg) {
    if (!list) return 1;
    LDCG_ELT* elt = Find(list, lParam1);
    if (!elt) return 1;
    return LDCG_Delete(list, elt, msg);
}

int LDCG_Delete(LDCG* list, LDCG_ELT* elt, int msg) {
    if (!list || !elt || list->count <= 0) return 1;
    Unlink(list, elt);
    switch (msg) {
        case LDCG_RELEASE_PARAM1:
            if (!elt->lParam1)
                morvex::trace("\n[ERR] Structure lParam1 est NULL");
            else
                ReleaseWord(list, elt->lParam1);
            break;
        case LDCG_RELEASE_PARAM2:
            ReleaseWord(list, elt->lParam2);
            break;
        case LDCG_RELEASE_BOTH:
            ReleaseWord(list, elt->lParam1);
            ReleaseWord(list, elt->lParam2);
            break;
        default:  // LDCG_RELEASE_NOTHING, and any other value
            break;
    }
    delete elt;
    ++nbEltDestroyed;
    return 0;
}

int LDCG_DeleteAll(LDCG* list, int msg) {
    if (!list) return 1;
    while (list->first) LDCG_Delete(list, list->first, msg);
    return 0;
}

int LDCG_OrderBy(LDCG* list, LDCG_COMPARE compare) {
    if (!list || !compare) return -1;
    if (list->count <= 0) return 0;
    size_t n = static_cast<size_t>(list->count);
    void** slots = static_cast<void**>(malloc(n * sizeof(void*)));
    if (!slots) return -2;
    size_t i = 0;
    for (LDCG_ELT* e = list->first; e && i < n; e = e->next) slots[i++] = e->lParam1;
    qsort(slots, i, sizeof(void*), compare);
    // Rebuild in sorted order on the existing elements: lParam2 does not follow its lParam1.
    i = 0;
    for (LDCG_ELT* e = list->first; e && i < n; e = e->next) {
        e->lParam1 = slots[i++];
        e->lParam2 = nullptr;
    }
    free(slots);
    return 0;
}

int LDCG_Count(LDCG* list) {
    return list ? list->count : 0;
}

void LDCG_ReadInit(LDCG* list) {
    morvex::trace(
        "\n[LDCG_ReadInit] L'usage de l'itérateur unique de liste est déconseillé. Utilisez les "
        "fonction LDCG_IT_*");
    if (list) list->cursor = list->first;
}

void* LDCG_ReadNext(LDCG* list) {
    return list ? ReadNext(list->cursor) : nullptr;
}

void* LDCG_ReadPrevious(LDCG* list) {
    return list ? ReadPrevious(list->cursor) : nullptr;
}

LDCG_ELT* LDCG_ReadNextElement(LDCG* list) {
    return list ? ReadNextElement(list->cursor) : nullptr;
}

LDCG_ELT* LDCG_ReadCurrentElement(LDCG* list) {
    return (list && list->cursor) ? list->cursor->previous : nullptr;
}

int LDCG_ReadHasNext(LDCG* list) {
    return (list && list->cursor) ? 1 : 0;
}

LDCG_IT* LDCG_IT_Create(LDCG* list) {
    if (!list) return nullptr;
    LDCG_IT* it = new (std::nothrow) LDCG_IT{list, nullptr, list->iterators};
    if (!it) return nullptr;
    list->iterators = it;
    ++nbItCreated;
    return it;
}

int LDCG_IT_Destroy(LDCG_IT* it) {
    if (!it) {
        morvex::trace("\n[LDCG_IT_Destroy] Param 'it' is NULL");
        return 1;
    }
    if (it->list) {
        for (LDCG_IT** link = &it->list->iterators; *link; link = &(*link)->nextIterator) {
            if (*link == it) {
                *link = it->nextIterator;
                break;
            }
        }
    }
    delete it;
    ++nbItDestroyed;
    return 0;
}

void LDCG_IT_ReadInit(LDCG_IT* it) {
    if (it) it->cursor = it->list ? it->list->first : nullptr;
}

void* LDCG_IT_ReadNext(LDCG_IT* it) {
    return it ? ReadNext(it->cursor) : nullptr;
}

void* LDCG_IT_ReadPrevious(LDCG_IT* it) {
    return it ? ReadPrevious(it->cursor) : nullptr;
}

LDCG_ELT* LDCG_IT_ReadNextElement(LDCG_IT* it) {
    return it ? ReadNextElement(it->cursor) : nullptr;
}

LDCG_ELT* LDCG_IT_ReadCurrentElement(LDCG_IT* it) {
    return (it && it->cursor) ? it->cursor->previous : nullptr;
}

int LDCG_IT_ReadHasNext(LDCG_IT* it) {
    return (it && it->cursor) ? 1 : 0;
}

void LDCG_ShowGlobalStats() {
    int roots = nbRootCreated, rootsGone = nbRootDestroyed;
    int elts = nbEltCreated, eltsGone = nbEltDestroyed;
    int its = nbItCreated, itsGone = nbItDestroyed;
    morvex::trace(
        "\nLDCG_ShowGlobalStats\nNumber of ROOT created        : %i\n"
        "Number of ROOT destroyed      : %i\n  Currently in memory         : %i\n"
        "Number of ELT  created        : %i\nNumber of ELT  destroyed      : %i\n"
        "  Currently in memory         : %i\nNumber of ITERATORS created   : %i\n"
        "Number of ITERATORS destroyed : %i\n  Currently in memory         : %i",
        roots, rootsGone, roots - rootsGone, elts, eltsGone, elts - eltsGone, its, itsGone,
        its - itsGone);
}

// LDCG: the generic doubly linked list that holds every list of the system (columns, rows,
// processes, tasks, open descriptions).
//
// A list belongs to the thread that uses it; nothing here locks. The payload of an element
// (lParam1, lParam2) stays the caller's unless a release mode (`msg`) says otherwise; any
// value but the four below releases nothing. Releasing calls the list's destructor when it has
// one, else free() (only for a non-null word).
#pragma once

// Release modes of an element's payload (the `msg` of the removals and of LDCG_Destroy).
constexpr int LDCG_RELEASE_NOTHING = 0;  // only the element goes
constexpr int LDCG_RELEASE_PARAM1 = 1;   // lParam1 is released
constexpr int LDCG_RELEASE_PARAM2 = 2;   // lParam2 is released
constexpr int LDCG_RELEASE_BOTH = 3;     // both words are released

// Release modes of a list's rootData (the `msg_root` of LDCG_Destroy).
constexpr int LDCG_KEEP_ROOT = 0;     // rootData stays the caller's
constexpr int LDCG_RELEASE_ROOT = 4;  // rootData is released with free()

// Releases one payload word of an element.
typedef void (*LDCG_DESTRUCTOR)(void* payload);

// Compares two array slots, each holding one lParam1 (qsort rules).
typedef int (*LDCG_COMPARE)(const void* slotA, const void* slotB);

struct LDCG_IT;

struct LDCG_ELT {
    void* lParam1;       // the payload; the value searches compare
    void* lParam2;       // a second word stored beside it, 0 unless the caller gives one
    LDCG_ELT* previous;  // towards first
    LDCG_ELT* next;      // towards last
};

struct LDCG {
    LDCG_ELT* first;
    LDCG_ELT* last;
    LDCG_ELT* cursor;            // the list's own single reading position
    void* rootData;              // optional pointer attached to the list (released by msg_root 4)
    LDCG_DESTRUCTOR destructor;  // releases one payload word; nullptr means free()
    int count;                   // number of elements
    LDCG_IT* iterators;          // live iterators over this list, moved off an element that goes
};

struct LDCG_IT {
    LDCG* list;        // the list read
    LDCG_ELT* cursor;  // its own reading position; nullptr before LDCG_IT_ReadInit and past the end
    LDCG_IT* nextIterator;  // next live iterator over the same list
};

// Creation and destruction. LDCG_Create returns nullptr when out of memory.
LDCG* LDCG_Create(void* rootData, LDCG_DESTRUCTOR destructor);
// Removes every element with mode msg, then releases the list record (and rootData for
// LDCG_RELEASE_ROOT; another value than it or LDCG_KEEP_ROOT is traced and keeps it). Iterators still alive read
// nothing afterwards. 0, or 1 for no list.
int LDCG_Destroy(LDCG* list, int msg_root, int msg);

// Insertion; each returns the new element, nullptr on failure.
// Appends at the end.
LDCG_ELT* LDCG_Add(LDCG* list, void* lParam1, void* lParam2);
// Inserts after elt; without elt, at the front. Traces each insertion.
LDCG_ELT* LDCG_AddAfter(LDCG* list, LDCG_ELT* elt, void* lParam1, void* lParam2);
// Inserts before elt (required).
LDCG_ELT* LDCG_AddBefore(LDCG* list, LDCG_ELT* elt, void* lParam1, void* lParam2);

// Swap the first element holding lParam1 with its neighbour towards the front / the end (an
// element already at that end stays); 0 found, 1 not found. Elements keep their payload.
int LDCG_MoveUp(LDCG* list, void* lParam1);
int LDCG_MoveDown(LDCG* list, void* lParam1);

// Removal. A reading position (cursor or iterator) on a deleted element moves to its next.
// Deletes the first element holding lParam1 with mode msg; 0, or 1 when there is none.
int LDCG_Remove(LDCG* list, void* lParam1, int msg);
// Unlinks and releases elt (which must belong to list) with mode msg; 0, or 1 when missing.
int LDCG_Delete(LDCG* list, LDCG_ELT* elt, int msg);
// Deletes every element from the front with mode msg; 0, or 1 for no list.
int LDCG_DeleteAll(LDCG* list, int msg);

// Sorts by lParam1 with qsort (not stable); every element then has lParam2 0. Elements stay in
// place (only their payload moves), so reading positions keep their rank.
// 0, -1 no list or no compare, -2 no memory.
int LDCG_OrderBy(LDCG* list, LDCG_COMPARE compare);

// Number of elements (constant time); 0 for a missing list.
int LDCG_Count(LDCG* list);

// The list's single cursor, shared by every reader of the list (prefer iterators).
// Puts the cursor on the first element (and traces that the single cursor is discouraged).
void LDCG_ReadInit(LDCG* list);
// The cursor's lParam1, then the cursor moves towards the end; nullptr past the end.
void* LDCG_ReadNext(LDCG* list);
// The cursor's lParam1, then the cursor moves towards the front; nullptr past the front.
void* LDCG_ReadPrevious(LDCG* list);
// The cursor's element, then the cursor moves towards the end; nullptr past the end.
LDCG_ELT* LDCG_ReadNextElement(LDCG* list);
// The element just before the cursor (the last one a forward read returned); nullptr once the
// cursor is past the end or on the first element.
LDCG_ELT* LDCG_ReadCurrentElement(LDCG* list);
// 1 when the cursor is on an element, else 0.
int LDCG_ReadHasNext(LDCG* list);

// Iterators, each with its own reading position and the meanings of the cursor functions.
// A new iterator reads nothing until LDCG_IT_ReadInit. nullptr for no list or no memory.
LDCG_IT* LDCG_IT_Create(LDCG* list);
// Releases the iterator; 1 (traced) for a missing one, else 0.
int LDCG_IT_Destroy(LDCG_IT* it);
void LDCG_IT_ReadInit(LDCG_IT* it);
void* LDCG_IT_ReadNext(LDCG_IT* it);
void* LDCG_IT_ReadPrevious(LDCG_IT* it);
LDCG_ELT* LDCG_IT_ReadNextElement(LDCG_IT* it);
LDCG_ELT* LDCG_IT_ReadCurrentElement(LDCG_IT* it);
int LDCG_IT_ReadHasNext(LDCG_IT* it);

// Prints the module's counters on the trace.
void LDCG_ShowGlobalStats();

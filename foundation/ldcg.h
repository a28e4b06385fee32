// LDCG: the generic doubly linked list that holds every list of the system (columns, rows,
// processes, tasks, open descriptions).
//
// A list belongs to the thread that uses it; nothing here locks. The payload of an element
// (lParam1, lParam2) stays the caller's unless a release mode says otherwise:
//   msg 0 releases nothing but the element, 1 releases lParam1, 2 lParam2, 3 both; any other
//   value releases nothing. Releasing calls the list's destructor when it has one, else free()
//   (only for a non-null word).
//   msg_root 0 keeps rootData, 4 releases it with free().
#pragma once

// Releases one payload word of an element.
typedef void (*LDCG_DESTRUCTOR)(void* payload);

// Compares two array slots, each holding one lParam1 (qsort rules).
typedef int (*LDCG_COMPARE)(const void* slotA, const void* slotB);

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
};

struct LDCG_IT {
    LDCG* list;        // the list read
    LDCG_ELT* cursor;  // its own reading position; nullptr before LDCG_IT_ReadInit and past the end
};

// Creation and destruction. LDCG_Create returns nullptr when out of memory.
LDCG* LDCG_Create(void* rootData, LDCG_DESTRUCTOR destructor);
// Removes every element with mode msg, then releases the list record. 0, or 1 for no list.
int LDCG_Destroy(LDCG* list, int msg_root, int msg);

// Insertion; each returns the new element, nullptr on failure.
LDCG_ELT* LDCG_Add(LDCG* list, void* lParam1, void* lParam2);
LDCG_ELT* LDCG_AddAfter(LDCG* list, LDCG_ELT* elt, void* lParam1, void* lParam2);
LDCG_ELT* LDCG_AddBefore(LDCG* list, LDCG_ELT* elt, void* lParam1, void* lParam2);

// Swap the first element holding lParam1 with its neighbour; 0 found, 1 not found.
int LDCG_MoveUp(LDCG* list, void* lParam1);
int LDCG_MoveDown(LDCG* list, void* lParam1);

// Removal.
int LDCG_Remove(LDCG* list, void* lParam1, int msg);
int LDCG_Delete(LDCG* list, LDCG_ELT* elt, int msg);
int LDCG_DeleteAll(LDCG* list, int msg);

// Sorts by lParam1 (not stable); every element then has lParam2 0. 0, -1 no list, -2 no memory.
int LDCG_OrderBy(LDCG* list, LDCG_COMPARE compare);

// Number of elements (constant time); 0 for a missing list.
int LDCG_Count(LDCG* list);

// The list's single cursor (shared by every reader of the list; prefer iterators).
void LDCG_ReadInit(LDCG* list);
void* LDCG_ReadNext(LDCG* list);
void* LDCG_ReadPrevious(LDCG* list);
LDCG_ELT* LDCG_ReadNextElement(LDCG* list);
LDCG_ELT* LDCG_ReadCurrentElement(LDCG* list);
int LDCG_ReadHasNext(LDCG* list);

// Iterators, each with its own reading position.
LDCG_IT* LDCG_IT_Create(LDCG* list);
int LDCG_IT_Destroy(LDCG_IT* it);
void LDCG_IT_ReadInit(LDCG_IT* it);
void* LDCG_IT_ReadNext(LDCG_IT* it);
void* LDCG_IT_ReadPrevious(LDCG_IT* it);
LDCG_ELT* LDCG_IT_ReadNextElement(LDCG_IT* it);
LDCG_ELT* LDCG_IT_ReadCurrentElement(LDCG_IT* it);
int LDCG_IT_ReadHasNext(LDCG_IT* it);

// Prints the module's counters on the trace.
void LDCG_ShowGlobalStats();

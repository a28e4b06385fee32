// QUEUE: first-in first-out queue of pointers (the data is never owned).
// (Not to be confused with the field queue of datafile/prompt.h.)
#pragma once

struct QUEUE_CELL {
    void* data;        // the data (not owned)
    QUEUE_CELL* next;  // the cell behind, towards the back
};

struct QUEUE {
    QUEUE_CELL* first;  // front cell, the next one popped
    QUEUE_CELL* last;   // back cell, the most recently pushed
    int count;          // number of cells
};

// Reading position over a queue.
struct QUEUE_IT {
    QUEUE* queue;         // the queue read
    QUEUE_CELL* current;  // the current cell, nullptr past the end
};

// A new empty queue; nullptr when out of memory.
QUEUE* QUEUE_New();
// Pops every cell (data not released) and releases the queue; 0, or 1 for a missing queue.
int QUEUE_Destroy(QUEUE* queue);
// Appends data at the back; returns the new cell, nullptr on failure.
QUEUE_CELL* QUEUE_PushBack(QUEUE* queue, void* data);
// Takes the front cell away and returns its data; nullptr when empty.
void* QUEUE_PopFront(QUEUE* queue);
// Number of cells as kept; 0 for a missing queue.
int QUEUE_Count(QUEUE* queue);
// Number of cells counted by walking them; 0 for a missing queue.
int QUEUE_Recount(QUEUE* queue);
// A reading position on the first cell; nullptr for a missing queue or when out of memory.
// Popping the cell an iterator stands on invalidates that iterator.
QUEUE_IT* QUEUE_IT_New(QUEUE* queue);
// The data of the current cell; nullptr past the end.
void* QUEUE_IT_Current(QUEUE_IT* it);
// Advances, then returns the new current data; nullptr past the end.
void* QUEUE_IT_Next(QUEUE_IT* it);
// Releases the iterator (not the queue).
void QUEUE_IT_Destroy(QUEUE_IT* it);

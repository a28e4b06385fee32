// PILE: last-in first-out stack of pointers (the data is never owned).
#pragma once

struct PILE_CELL {
    void* data;        // the data (not owned)
    PILE_CELL* below;  // the cell pushed before this one
};

struct PILE {
    PILE_CELL* top;  // the most recently pushed cell
    int count;       // number of cells
};

// A new empty stack; nullptr when out of memory.
PILE* PILE_New();
// Releases the stack and any cell left in it (never the data); 0, or 1 for a missing stack.
int PILE_Destroy(PILE* pile);
// Pushes data; returns the data, nullptr on failure.
void* PILE_Push(PILE* pile, void* data);
// Takes the top cell away and returns its data; nullptr when empty.
void* PILE_Pop(PILE* pile);
// The data on top, left in place; nullptr when empty.
void* PILE_Top(PILE* pile);
// 1 when empty (or missing), else 0.
int PILE_IsEmpty(PILE* pile);
// Number of cells; 0 for a missing stack.
int PILE_Count(PILE* pile);

// PILE: last-in first-out stack of pointers.
#include "foundation/pile.h"

#include <new>

PILE* PILE_New() {
    return new (std::nothrow) PILE{nullptr, 0};
}

int PILE_Destroy(PILE* pile) {
    if (!pile) return 1;
    // Callers are meant to empty the stack first; cells left behind are not leaked.
    while (pile->top) PILE_Pop(pile);
    delete pile;
    return 0;
}

void* PILE_Push(PILE* pile, void* data) {
    if (!pile) return nullptr;
    PILE_CELL* cell = new (std::nothrow) PILE_CELL{data, pile->top};
    if (!cell) return nullptr;
    pile->top = cell;
    ++pile->count;
    return data;
}

void* PILE_Pop(PILE* pile) {
    if (!pile || !pile->top) return nullptr;
    PILE_CELL* cell = pile->top;
    void* data = cell->data;
    pile->top = cell->below;
    --pile->count;
    delete cell;
    return data;
}

void* PILE_Top(PILE* pile) {
    return (pile && pile->top) ? pile->top->data : nullptr;
}

int PILE_IsEmpty(PILE* pile) {
    return (pile && pile->top) ? 0 : 1;
}

int PILE_Count(PILE* pile) {
    return pile ? pile->count : 0;
}

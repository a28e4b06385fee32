// QUEUE: first-in first-out queue of pointers.
#include "foundation/queue.h"

#include <new>

QUEUE* QUEUE_New() {
    return new (std::nothrow) QUEUE{nullptr, nullptr, 0};
}

int QUEUE_Destroy(QUEUE* queue) {
    if (!queue) return 1;
    while (queue->first) QUEUE_PopFront(queue);
    delete queue;
    return 0;
}

QUEUE_CELL* QUEUE_PushBack(QUEUE* queue, void* data) {
    if (!queue) return nullptr;
    QUEUE_CELL* cell = new (std::nothrow) QUEUE_CELL{data, nullptr};
    if (!cell) return nullptr;
    if (queue->last)
        queue->last->next = cell;
    else
        queue->first = cell;
    queue->last = cell;
    ++queue->count;
    return cell;
}

void* QUEUE_PopFront(QUEUE* queue) {
    if (!queue || !queue->first) return nullptr;
    QUEUE_CELL* cell = queue->first;
    void* data = cell->data;
    queue->first = cell->next;
    if (!queue->first) queue->last = nullptr;
    --queue->count;
    delete cell;
    return data;
}

int QUEUE_Count(QUEUE* queue) {
    return queue ? queue->count : 0;
}

int QUEUE_Recount(QUEUE* queue) {
    if (!queue) return 0;
    int n = 0;
    for (QUEUE_CELL* c = queue->first; c; c = c->next) ++n;
    return n;
}

QUEUE_IT* QUEUE_IT_New(QUEUE* queue) {
    if (!queue) return nullptr;
    return new (std::nothrow) QUEUE_IT{queue, queue->first};
}

void* QUEUE_IT_Current(QUEUE_IT* it) {
    return (it && it->current) ? it->current->data : nullptr;
}

void* QUEUE_IT_Next(QUEUE_IT* it) {
    if (!it || !it->current) return nullptr;
    it->current = it->current->next;
    return QUEUE_IT_Current(it);
}

void QUEUE_IT_Destroy(QUEUE_IT* it) {
    delete it;
}

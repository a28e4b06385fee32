// STACK: fixed-capacity stack of integers.
#include "foundation/stack.h"

#include <new>

#include "foundation/trace.h"

namespace {

// Type tag of every integer stack.
const char kStackType[] = "MorvexSoft.Stack";

}  // namespace

STACK* STACK_New(int capacity) {
    if (capacity < 1) return nullptr;
    STACK* stack = new (std::nothrow) STACK{kStackType, nullptr, capacity, 0, 0};
    if (!stack) return nullptr;
    stack->slots = new (std::nothrow) int[static_cast<size_t>(capacity) + 1]();
    if (!stack->slots) {
        delete stack;
        return nullptr;
    }
    return stack;
}

int STACK_Destroy(STACK* stack) {
    if (!stack) return 1;
    delete[] stack->slots;
    delete stack;
    return 0;
}

void STACK_Init(STACK* /*stack*/) {}

int STACK_Push(STACK* stack, int value) {
    if (!stack || stack->top >= stack->capacity) return 1;
    stack->slots[++stack->top] = value;
    ++stack->depth;
    return 0;
}

int STACK_Pop(STACK* stack) {
    if (!stack) return 0;
    if (stack->top < 1) {
        morvex::trace("\n[STACK_Pop] Stack is empty");
        return 0;
    }
    --stack->depth;
    return stack->slots[stack->top--];
}

int STACK_Top(STACK* stack) {
    return (stack && stack->top >= 1) ? stack->slots[stack->top] : 0;
}

int STACK_IsEmpty(STACK* stack) {
    return (stack && stack->top >= 1) ? 0 : 1;
}

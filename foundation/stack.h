// STACK: fixed-capacity last-in first-out stack of integers.
#pragma once

struct STACK {
    const char* type;  // type tag, the text "MorvexSoft.Stack"
    int* slots;        // capacity + 1 slots; slot 0 is unused, the stack grows from slot 1
    int capacity;      // most values the stack holds, given at creation
    int top;           // index of the top slot (0 when empty)
    int depth;         // number of values held
};

// A new empty stack for `capacity` values (at least 1); nullptr otherwise or out of memory.
STACK* STACK_New(int capacity);
// Releases the stack; 0, or 1 for a missing stack.
int STACK_Destroy(STACK* stack);
// Does nothing.
void STACK_Init(STACK* stack);
// Pushes a value; 0, or 1 for a missing or full stack.
int STACK_Push(STACK* stack, int value);
// Takes the top value away and returns it; an empty stack is traced and yields 0.
int STACK_Pop(STACK* stack);
// The top value, left in place; 0 when empty.
int STACK_Top(STACK* stack);
// 1 when empty (or missing), else 0.
int STACK_IsEmpty(STACK* stack);

#include <gtest/gtest.h>

#include <vector>

#include "foundation/pile.h"
#include "foundation/queue.h"
#include "foundation/stack.h"
#include "foundation/trace.h"
#include "foundation/tree.h"

using morvex::TraceCapture;

namespace {
void* P(intptr_t v) {
    return reinterpret_cast<void*>(v);
}
}  // namespace

TEST(Queue, PopsInTheOrderOfPushing) {
    QUEUE* q = QUEUE_New();
    EXPECT_EQ(QUEUE_PopFront(q), nullptr);
    for (intptr_t v = 1; v <= 3; ++v) {
        QUEUE_CELL* cell = QUEUE_PushBack(q, P(v));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->data, P(v));
    }
    EXPECT_EQ(QUEUE_Count(q), 3);
    EXPECT_EQ(QUEUE_Recount(q), 3);
    EXPECT_EQ(QUEUE_PopFront(q), P(1));
    EXPECT_EQ(QUEUE_PopFront(q), P(2));
    QUEUE_PushBack(q, P(4));
    EXPECT_EQ(QUEUE_PopFront(q), P(3));
    EXPECT_EQ(QUEUE_PopFront(q), P(4));
    EXPECT_EQ(QUEUE_PopFront(q), nullptr);
    EXPECT_EQ(q->first, nullptr);
    EXPECT_EQ(q->last, nullptr);
    EXPECT_EQ(QUEUE_Count(q), 0);
    QUEUE_PushBack(q, P(5));  // usable again once emptied
    EXPECT_EQ(QUEUE_Recount(q), 1);
    EXPECT_EQ(QUEUE_Destroy(q), 0);
    // A missing queue answers nothing.
    EXPECT_EQ(QUEUE_PushBack(nullptr, P(1)), nullptr);
    EXPECT_EQ(QUEUE_PopFront(nullptr), nullptr);
    EXPECT_EQ(QUEUE_Count(nullptr), 0);
    EXPECT_EQ(QUEUE_Recount(nullptr), 0);
    EXPECT_EQ(QUEUE_IT_New(nullptr), nullptr);
    EXPECT_EQ(QUEUE_IT_Current(nullptr), nullptr);
    EXPECT_EQ(QUEUE_IT_Next(nullptr), nullptr);
    EXPECT_EQ(QUEUE_Destroy(nullptr), 1);
}

TEST(Queue, IteratorStartsOnTheFirstCellAndNextReturnsTheNewCurrent) {
    QUEUE* q = QUEUE_New();
    for (intptr_t v = 1; v <= 3; ++v) QUEUE_PushBack(q, P(v));
    QUEUE_IT* it = QUEUE_IT_New(q);
    EXPECT_EQ(QUEUE_IT_Current(it), P(1));
    EXPECT_EQ(QUEUE_IT_Next(it), P(2));
    EXPECT_EQ(QUEUE_IT_Current(it), P(2));
    EXPECT_EQ(QUEUE_IT_Next(it), P(3));
    EXPECT_EQ(QUEUE_IT_Next(it), nullptr);
    EXPECT_EQ(QUEUE_IT_Next(it), nullptr);
    EXPECT_EQ(QUEUE_Count(q), 3);  // reading takes nothing away
    QUEUE_IT_Destroy(it);
    QUEUE_Destroy(q);  // cells still in it are released, data is not
}

TEST(Pile, PopsInReverseOrderOfPushingAndDestroyingANonEmptyPileLeaksNoCell) {
    PILE* pile = PILE_New();
    EXPECT_EQ(PILE_IsEmpty(pile), 1);
    EXPECT_EQ(PILE_Pop(pile), nullptr);
    EXPECT_EQ(PILE_Top(pile), nullptr);
    EXPECT_EQ(PILE_Push(pile, P(1)), P(1));
    EXPECT_EQ(PILE_Push(pile, P(2)), P(2));
    EXPECT_EQ(PILE_Count(pile), 2);
    EXPECT_EQ(PILE_IsEmpty(pile), 0);
    EXPECT_EQ(PILE_Top(pile), P(2));
    EXPECT_EQ(PILE_Pop(pile), P(2));
    EXPECT_EQ(PILE_Pop(pile), P(1));
    EXPECT_EQ(PILE_Pop(pile), nullptr);
    EXPECT_EQ(PILE_Count(pile), 0);
    for (intptr_t v = 1; v <= 10; ++v) PILE_Push(pile, P(v));
    EXPECT_EQ(PILE_Destroy(pile), 0);  // the leak checker of the sanitizer build watches this
    EXPECT_EQ(PILE_Destroy(nullptr), 1);
    EXPECT_EQ(PILE_IsEmpty(nullptr), 1);
    EXPECT_EQ(PILE_Count(nullptr), 0);
    EXPECT_EQ(PILE_Push(nullptr, P(1)), nullptr);
}

TEST(Tree, AddsRootAndChildrenWhereAsked) {
    TREE* tree = TREE_New();
    EXPECT_EQ(TREE_RootNode(tree), nullptr);
    TREE_NODE* root = TREE_AddNode(tree, nullptr, TREE_ROOT, P(1));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(TREE_RootNode(tree), root);
    TREE_NODE* left = TREE_AddNode(tree, root, TREE_LEFT, P(2));
    TREE_NODE* right = TREE_AddNode(tree, root, TREE_RIGHT, P(3));
    TREE_NODE* leftLeft = TREE_AddNode(tree, left, TREE_LEFT, P(4));
    EXPECT_EQ(TREE_NodeLeft(root), left);
    EXPECT_EQ(TREE_NodeRight(root), right);
    EXPECT_EQ(TREE_NodeLeft(left), leftLeft);
    EXPECT_EQ(TREE_NodeRight(left), nullptr);
    EXPECT_EQ(TREE_GetUserData(right), P(3));
    EXPECT_EQ(TREE_GetUserData(leftLeft), P(4));
    EXPECT_EQ(TREE_Destroy(tree), 0);
}

TEST(Tree, RefusesBadPlacesWithoutLosingNodes) {
    TREE* tree = TREE_New();
    TREE_NODE* root = TREE_AddNode(tree, nullptr, TREE_ROOT, P(1));
    TREE_NODE* left = TREE_AddNode(tree, root, TREE_LEFT, P(2));
    EXPECT_EQ(TREE_AddNode(tree, nullptr, TREE_ROOT, P(9)), nullptr);  // already a root
    EXPECT_EQ(TREE_AddNode(tree, root, TREE_LEFT, P(9)), nullptr);     // place taken
    EXPECT_EQ(TREE_AddNode(tree, nullptr, TREE_LEFT, P(9)), nullptr);  // no parent
    EXPECT_EQ(TREE_AddNode(tree, nullptr, TREE_RIGHT, P(9)), nullptr);
    EXPECT_EQ(TREE_AddNode(tree, root, 4, P(9)), nullptr);
    EXPECT_EQ(TREE_AddNode(tree, root, 0, P(9)), nullptr);
    EXPECT_EQ(TREE_RootNode(tree), root);
    EXPECT_EQ(TREE_NodeLeft(root), left);
    EXPECT_EQ(TREE_GetUserData(TREE_NodeLeft(root)), P(2));
    EXPECT_EQ(TREE_NodeRight(root), nullptr);
    EXPECT_EQ(TREE_NodeLeft(nullptr), nullptr);
    EXPECT_EQ(TREE_GetUserData(nullptr), nullptr);
    TREE_Destroy(tree);
    EXPECT_EQ(TREE_Destroy(nullptr), 1);
}

TEST(Tree, DestroysAVeryDeepTreeWithoutRecursing) {
    TREE* tree = TREE_New();
    TREE_NODE* node = TREE_AddNode(tree, nullptr, TREE_ROOT, nullptr);
    for (int i = 0; i < 200000; ++i)
        node = TREE_AddNode(tree, node, (i % 3 == 0) ? TREE_RIGHT : TREE_LEFT, nullptr);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(TREE_Destroy(tree), 0);
}

TEST(Stack, PushesAndPopsFromSlotOneUpward) {
    STACK* stack = STACK_New(3);
    ASSERT_NE(stack, nullptr);
    STACK_Init(stack);
    EXPECT_EQ(STACK_IsEmpty(stack), 1);
    EXPECT_EQ(STACK_Push(stack, 10), 0);
    EXPECT_EQ(stack->top, 1);
    EXPECT_EQ(stack->slots[1], 10);
    EXPECT_EQ(STACK_Push(stack, 20), 0);
    EXPECT_EQ(STACK_Push(stack, 30), 0);
    EXPECT_EQ(stack->depth, 3);
    EXPECT_EQ(STACK_Top(stack), 30);
    EXPECT_EQ(STACK_Pop(stack), 30);
    EXPECT_EQ(STACK_Pop(stack), 20);
    EXPECT_EQ(STACK_Pop(stack), 10);
    EXPECT_EQ(STACK_IsEmpty(stack), 1);
    EXPECT_EQ(stack->depth, 0);
    EXPECT_EQ(STACK_Destroy(stack), 0);
}

TEST(Stack, PushBeyondCapacityIsRefusedAndPopOnAnEmptyStackPrintsItsMessage) {
    STACK* stack = STACK_New(2);
    EXPECT_EQ(STACK_Push(stack, 1), 0);
    EXPECT_EQ(STACK_Push(stack, 2), 0);
    EXPECT_EQ(STACK_Push(stack, 3), 1);
    EXPECT_EQ(STACK_Pop(stack), 2);
    EXPECT_EQ(STACK_Pop(stack), 1);
    TraceCapture capture;
    EXPECT_EQ(STACK_Pop(stack), 0);
    EXPECT_EQ(capture.text(), "\n[STACK_Pop] Stack is empty");
    EXPECT_EQ(STACK_Top(stack), 0);
    STACK_Destroy(stack);
    EXPECT_EQ(STACK_New(0), nullptr);
    EXPECT_EQ(STACK_Push(nullptr, 1), 1);
    EXPECT_EQ(STACK_IsEmpty(nullptr), 1);
    EXPECT_EQ(STACK_Destroy(nullptr), 1);
}

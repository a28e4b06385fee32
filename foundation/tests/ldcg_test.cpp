#include "foundation/ldcg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "foundation/trace.h"

using morvex::TraceCapture;

namespace {

// Payloads are small integers disguised as pointers (never released) unless a test says so.
void* P(intptr_t v) {
    return reinterpret_cast<void*>(v);
}
intptr_t V(void* p) {
    return reinterpret_cast<intptr_t>(p);
}

// Forward contents of a list, read through the links.
std::vector<intptr_t> Contents(LDCG* list) {
    std::vector<intptr_t> out;
    for (LDCG_ELT* e = list->first; e; e = e->next) out.push_back(V(e->lParam1));
    return out;
}

// Checks that the backward links mirror the forward ones and that count is right.
void ExpectConsistent(LDCG* list) {
    int n = 0;
    LDCG_ELT* prev = nullptr;
    for (LDCG_ELT* e = list->first; e; e = e->next) {
        EXPECT_EQ(e->previous, prev);
        prev = e;
        ++n;
    }
    EXPECT_EQ(list->last, prev);
    EXPECT_EQ(list->count, n);
    EXPECT_EQ(LDCG_Count(list), n);
}

LDCG* ListOf(std::initializer_list<intptr_t> values) {
    LDCG* list = LDCG_Create(nullptr, nullptr);
    for (intptr_t v : values) LDCG_Add(list, P(v), nullptr);
    return list;
}

// Counting destructor: remembers every word it was asked to release.
std::vector<void*> released;
void CountingDestructor(void* payload) {
    released.push_back(payload);
}

// The list module's counters, read back from the statistics it prints.
struct ListStats {
    int v[9] = {};
};

ListStats ReadStats() {
    TraceCapture capture;
    LDCG_ShowGlobalStats();
    ListStats s;
    std::string text = capture.text();
    int n = sscanf(text.c_str(),
                   "\nLDCG_ShowGlobalStats\nNumber of ROOT created        : %i\n"
                   "Number of ROOT destroyed      : %i\n  Currently in memory         : %i\n"
                   "Number of ELT  created        : %i\nNumber of ELT  destroyed      : %i\n"
                   "  Currently in memory         : %i\nNumber of ITERATORS created   : %i\n"
                   "Number of ITERATORS destroyed : %i\n  Currently in memory         : %i",
                   &s.v[0], &s.v[1], &s.v[2], &s.v[3], &s.v[4], &s.v[5], &s.v[6], &s.v[7], &s.v[8]);
    EXPECT_EQ(n, 9) << text;
    return s;
}

const char kReadInitMessage[] =
    "\n[LDCG_ReadInit] L'usage de l'itérateur unique de liste est déconseillé. Utilisez les "
    "fonction LDCG_IT_*";

}  // namespace

TEST(Ldcg, AddAppendsAtTheEndAndKeepsBothLinks) {
    LDCG* list = LDCG_Create(nullptr, nullptr);
    EXPECT_EQ(LDCG_Count(list), 0);
    LDCG_ELT* a = LDCG_Add(list, P(1), P(10));
    EXPECT_EQ(list->first, a);
    EXPECT_EQ(list->last, a);
    LDCG_Add(list, P(2), nullptr);
    LDCG_Add(list, P(3), nullptr);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 2, 3}));
    EXPECT_EQ(a->lParam2, P(10));
    EXPECT_EQ(list->last->lParam2, nullptr);
    ExpectConsistent(list);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, AddAfterWithoutElementInsertsAtTheFrontAndTracesIt) {
    LDCG* list = LDCG_Create(nullptr, nullptr);
    TraceCapture capture;
    LDCG_ELT* only = LDCG_AddAfter(list, nullptr, P(2), nullptr);
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(list->first, only);
    EXPECT_EQ(list->last, only);
    LDCG_AddAfter(list, nullptr, P(1), nullptr);
    LDCG_AddAfter(list, only, P(3), nullptr);
    EXPECT_EQ(capture.text(),
              "\n[LDCG_AddAfter] : eltAt is null : First element\n[LDCG_AddAfter] : Success"
              "\n[LDCG_AddAfter] : eltAt is null : First element\n[LDCG_AddAfter] : Success"
              "\n[LDCG_AddAfter] : Success");
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 2, 3}));
    // In the middle and at both ends.
    LDCG_AddAfter(list, list->first, P(15), nullptr);
    LDCG_AddBefore(list, list->last, P(25), nullptr);
    LDCG_AddBefore(list, list->first, P(0), nullptr);
    LDCG_AddAfter(list, list->last, P(4), nullptr);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{0, 1, 15, 2, 25, 3, 4}));
    ExpectConsistent(list);
    EXPECT_EQ(LDCG_AddBefore(list, nullptr, P(9), nullptr), nullptr);
    EXPECT_EQ(LDCG_Count(list), 7);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, MoveUpAndDownSwapWithTheNeighbourKeepingPayloadTogether) {
    LDCG* list = LDCG_Create(nullptr, nullptr);
    for (intptr_t v = 1; v <= 4; ++v) LDCG_Add(list, P(v), P(v * 10));
    // At the ends: success, nothing changes.
    EXPECT_EQ(LDCG_MoveUp(list, P(1)), 0);
    EXPECT_EQ(LDCG_MoveDown(list, P(4)), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 2, 3, 4}));
    EXPECT_EQ(LDCG_MoveUp(list, P(3)), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 3, 2, 4}));
    EXPECT_EQ(LDCG_MoveUp(list, P(3)), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{3, 1, 2, 4}));
    EXPECT_EQ(LDCG_MoveDown(list, P(2)), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{3, 1, 4, 2}));
    EXPECT_EQ(list->first->lParam2, P(30));
    EXPECT_EQ(list->last->lParam2, P(20));
    ExpectConsistent(list);
    EXPECT_EQ(LDCG_MoveUp(list, P(99)), 1);
    EXPECT_EQ(LDCG_MoveDown(list, P(99)), 1);
    EXPECT_EQ(LDCG_MoveUp(nullptr, P(1)), 1);
    LDCG_Destroy(list, 0, 0);
    // Two elements: both ends swap.
    list = ListOf({1, 2});
    EXPECT_EQ(LDCG_MoveDown(list, P(1)), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{2, 1}));
    ExpectConsistent(list);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, ReleaseModesReleaseExactlyTheWordsTheyName) {
    struct Case {
        int msg;
        std::vector<intptr_t> expected;
    } cases[] = {
        {0, {}}, {1, {1}}, {2, {2}}, {3, {1, 2}}, {4, {}}, {-1, {}},
    };
    for (const Case& c : cases) {
        LDCG* list = LDCG_Create(nullptr, CountingDestructor);
        LDCG_ELT* elt = LDCG_Add(list, P(1), P(2));
        released.clear();
        EXPECT_EQ(LDCG_Delete(list, elt, c.msg), 0);
        std::vector<intptr_t> got;
        for (void* p : released) got.push_back(V(p));
        EXPECT_EQ(got, c.expected) << "msg " << c.msg;
        EXPECT_EQ(LDCG_Count(list), 0);
        LDCG_Destroy(list, 0, 0);
    }
}

TEST(Ldcg, NullWordsAreNeverHandedToTheDestructorAndModeOneTracesThem) {
    LDCG* list = LDCG_Create(nullptr, CountingDestructor);
    LDCG_Add(list, P(1), nullptr);
    LDCG_Add(list, nullptr, P(2));
    released.clear();
    {
        TraceCapture capture;
        LDCG_DeleteAll(list, 3);
        EXPECT_EQ(capture.text(), "");
    }
    EXPECT_EQ(released, (std::vector<void*>{P(1), P(2)}));
    LDCG_ELT* elt = LDCG_Add(list, nullptr, P(5));
    released.clear();
    TraceCapture capture;
    EXPECT_EQ(LDCG_Delete(list, elt, 1), 0);
    EXPECT_EQ(capture.text(), "\n[ERR] Structure lParam1 est NULL");
    EXPECT_TRUE(released.empty());
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, DestroyReleasesEveryElementThroughTheDestructorOrFree) {
    LDCG* list = LDCG_Create(nullptr, CountingDestructor);
    for (intptr_t v = 1; v <= 5; ++v) LDCG_Add(list, P(v), P(100 + v));
    released.clear();
    LDCG_Destroy(list, 0, 1);
    EXPECT_EQ(released, (std::vector<void*>{P(1), P(2), P(3), P(4), P(5)}));
    // Without destructor payloads are freed: under the sanitizers a missing or double release
    // shows up as a leak or an error.
    list = LDCG_Create(malloc(16), nullptr);
    LDCG_Add(list, malloc(8), malloc(8));
    LDCG_Add(list, strdup("text"), nullptr);
    EXPECT_EQ(LDCG_Destroy(list, 4, 3), 0);
}

TEST(Ldcg, DestroyWithAnUnknownRootModeTracesAndKeepsRootData) {
    void* root = malloc(4);
    LDCG* list = LDCG_Create(root, nullptr);
    LDCG_Add(list, P(1), nullptr);
    TraceCapture capture;
    EXPECT_EQ(LDCG_Destroy(list, 2, 0), 0);
    EXPECT_EQ(capture.text(),
              "\n[LDCG_Destroy] Erreur : le paramètre msg_root n'a pas une valeur autorisée (2)");
    free(root);  // still ours
    EXPECT_EQ(LDCG_Destroy(nullptr, 0, 0), 1);
}

TEST(Ldcg, RemoveDeletesTheFirstMatchingElementOnly) {
    LDCG* list = ListOf({1, 2, 1, 3});
    EXPECT_EQ(LDCG_Remove(list, P(1), 0), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{2, 1, 3}));
    EXPECT_EQ(LDCG_Remove(list, P(3), 0), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{2, 1}));
    EXPECT_EQ(LDCG_Remove(list, P(9), 0), 1);
    ExpectConsistent(list);
    EXPECT_EQ(LDCG_Delete(list, nullptr, 0), 1);
    EXPECT_EQ(LDCG_Delete(nullptr, list->first, 0), 1);
    EXPECT_EQ(LDCG_DeleteAll(list, 0), 0);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    EXPECT_EQ(LDCG_DeleteAll(nullptr, 0), 1);
    LDCG_Destroy(list, 0, 0);
}

namespace {
int CompareInts(const void* a, const void* b) {
    intptr_t x = V(*static_cast<void* const*>(a));
    intptr_t y = V(*static_cast<void* const*>(b));
    return (x > y) - (x < y);
}
int CompareTexts(const void* a, const void* b) {
    return strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}
}  // namespace

TEST(Ldcg, OrderBySortsByPayloadResetsEveryLParam2AndKeepsReadingPositionsValid) {
    LDCG* list = LDCG_Create(nullptr, nullptr);
    EXPECT_EQ(LDCG_OrderBy(list, CompareInts), 0);  // empty
    EXPECT_EQ(LDCG_OrderBy(nullptr, CompareInts), -1);
    for (intptr_t v : {5, 3, 9, 1, 7, 3}) LDCG_Add(list, P(v), P(v * 100));
    LDCG_IT* it = LDCG_IT_Create(list);
    LDCG_IT_ReadInit(it);
    LDCG_IT_ReadNext(it);
    EXPECT_EQ(LDCG_OrderBy(list, CompareInts), 0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 3, 3, 5, 7, 9}));
    EXPECT_EQ(V(LDCG_IT_ReadNext(it)), 3);  // second rank after sorting
    for (LDCG_ELT* e = list->first; e; e = e->next) EXPECT_EQ(e->lParam2, nullptr);
    ExpectConsistent(list);
    LDCG_IT_Destroy(it);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, OrderByComparesThroughArraySlots) {
    const char* words[] = {"pear", "Apple", "fig", "apple"};
    LDCG* list = LDCG_Create(nullptr, nullptr);
    for (const char* w : words) LDCG_Add(list, const_cast<char*>(w), nullptr);
    ASSERT_EQ(LDCG_OrderBy(list, CompareTexts), 0);
    std::vector<std::string> got;
    for (LDCG_ELT* e = list->first; e; e = e->next) got.push_back(static_cast<char*>(e->lParam1));
    EXPECT_EQ(got, (std::vector<std::string>{"Apple", "apple", "fig", "pear"}));
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, SingleCursorReadsForwardAndTracesItsWarning) {
    LDCG* list = ListOf({1, 2, 3});
    TraceCapture capture;
    LDCG_ReadInit(list);
    EXPECT_EQ(capture.text(), kReadInitMessage);
    std::vector<intptr_t> got;
    while (LDCG_ReadHasNext(list)) got.push_back(V(LDCG_ReadNext(list)));
    EXPECT_EQ(got, (std::vector<intptr_t>{1, 2, 3}));
    EXPECT_EQ(LDCG_ReadNext(list), nullptr);
    EXPECT_EQ(LDCG_ReadHasNext(list), 0);
    LDCG_Destroy(list, 0, 0);
    // On a missing list they answer nothing.
    LDCG_ReadInit(nullptr);
    EXPECT_EQ(LDCG_ReadNext(nullptr), nullptr);
    EXPECT_EQ(LDCG_ReadPrevious(nullptr), nullptr);
    EXPECT_EQ(LDCG_ReadNextElement(nullptr), nullptr);
    EXPECT_EQ(LDCG_ReadCurrentElement(nullptr), nullptr);
    EXPECT_EQ(LDCG_ReadHasNext(nullptr), 0);
    EXPECT_EQ(LDCG_Count(nullptr), 0);
    EXPECT_EQ(LDCG_Add(nullptr, P(1), nullptr), nullptr);
}

TEST(Ldcg, ReadCurrentIsTheLastReturnedAndReadPreviousWalksBackToTheFront) {
    LDCG* list = ListOf({1, 2, 3});
    TraceCapture quiet;
    LDCG_ReadInit(list);
    EXPECT_EQ(LDCG_ReadCurrentElement(list), nullptr);  // nothing read yet
    LDCG_ReadNext(list);
    EXPECT_EQ(V(LDCG_ReadCurrentElement(list)->lParam1), 1);
    LDCG_ELT* second = LDCG_ReadNextElement(list);
    EXPECT_EQ(V(second->lParam1), 2);
    EXPECT_EQ(LDCG_ReadCurrentElement(list), second);
    LDCG_ReadNext(list);  // 3, cursor now past the end
    EXPECT_EQ(LDCG_ReadCurrentElement(list), nullptr);
    LDCG_ReadInit(list);
    LDCG_ReadNext(list);
    LDCG_ReadNext(list);  // cursor on 3
    EXPECT_EQ(V(LDCG_ReadPrevious(list)), 3);
    EXPECT_EQ(V(LDCG_ReadPrevious(list)), 2);
    EXPECT_EQ(V(LDCG_ReadPrevious(list)), 1);
    EXPECT_EQ(LDCG_ReadPrevious(list), nullptr);
    EXPECT_EQ(LDCG_ReadHasNext(list), 0);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, NestedLoopsOverOneListShareTheSingleCursor) {
    // Two loops over the same list share one position: the inner loop exhausts it, so the
    // outer loop runs once. Templates rely on exactly this and nest loops over distinct lists.
    LDCG* list = ListOf({1, 2, 3});
    TraceCapture quiet;
    int outer = 0, inner = 0;
    LDCG_ReadInit(list);
    while (LDCG_ReadNext(list)) {
        ++outer;
        LDCG_ReadInit(list);
        while (LDCG_ReadNext(list)) ++inner;
    }
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 3);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, DeletingTheElementUnderTheCursorOrJustReadKeepsTheLoopGoing) {
    LDCG* list = ListOf({1, 2, 3});
    TraceCapture quiet;
    LDCG_ReadInit(list);
    LDCG_ReadNext(list);  // cursor on 2
    EXPECT_EQ(LDCG_Remove(list, P(2), 0), 0);
    EXPECT_EQ(V(LDCG_ReadNext(list)), 3);
    EXPECT_EQ(LDCG_ReadNext(list), nullptr);
    LDCG_Destroy(list, 0, 0);

    list = ListOf({1, 2, 3, 4});
    std::vector<intptr_t> seen;
    LDCG_ReadInit(list);
    while (LDCG_ReadHasNext(list)) {
        LDCG_ELT* e = LDCG_ReadNextElement(list);
        seen.push_back(V(e->lParam1));
        if (V(e->lParam1) % 2 == 0) LDCG_Delete(list, e, 0);
    }
    EXPECT_EQ(seen, (std::vector<intptr_t>{1, 2, 3, 4}));
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 3}));
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, TwoIteratorsOverOneListAdvanceIndependently) {
    LDCG* list = ListOf({1, 2, 3});
    LDCG_IT* a = LDCG_IT_Create(list);
    LDCG_IT* b = LDCG_IT_Create(list);
    EXPECT_EQ(LDCG_IT_ReadHasNext(a), 0);  // a new iterator reads nothing before its init
    EXPECT_EQ(LDCG_IT_ReadNext(a), nullptr);
    LDCG_IT_ReadInit(a);
    LDCG_IT_ReadInit(b);
    EXPECT_EQ(V(LDCG_IT_ReadNext(a)), 1);
    EXPECT_EQ(V(LDCG_IT_ReadNext(a)), 2);
    EXPECT_EQ(V(LDCG_IT_ReadNext(b)), 1);
    EXPECT_EQ(V(LDCG_IT_ReadCurrentElement(a)->lParam1), 2);
    EXPECT_EQ(V(LDCG_IT_ReadCurrentElement(b)->lParam1), 1);
    EXPECT_EQ(V(LDCG_IT_ReadNextElement(b)->lParam1), 2);
    EXPECT_EQ(V(LDCG_IT_ReadNext(a)), 3);
    EXPECT_EQ(LDCG_IT_ReadHasNext(a), 0);
    EXPECT_EQ(LDCG_IT_ReadCurrentElement(a), nullptr);
    EXPECT_EQ(LDCG_IT_ReadHasNext(b), 1);
    EXPECT_EQ(V(LDCG_IT_ReadPrevious(b)), 3);
    EXPECT_EQ(V(LDCG_IT_ReadPrevious(b)), 2);
    // The list's own cursor is untouched by iterators.
    EXPECT_EQ(list->cursor, nullptr);
    EXPECT_EQ(LDCG_IT_Destroy(a), 0);
    EXPECT_EQ(LDCG_IT_Destroy(b), 0);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, IteratorOnADeletedElementMovesToItsNext) {
    LDCG* list = ListOf({1, 2, 3});
    LDCG_IT* it = LDCG_IT_Create(list);
    LDCG_IT* other = LDCG_IT_Create(list);
    LDCG_IT_ReadInit(it);
    LDCG_IT_ReadInit(other);
    LDCG_IT_ReadNext(it);  // on 2
    EXPECT_EQ(LDCG_Remove(list, P(2), 0), 0);
    EXPECT_EQ(V(LDCG_IT_ReadNext(it)), 3);
    EXPECT_EQ(V(LDCG_IT_ReadNext(other)), 1);
    EXPECT_EQ(V(LDCG_IT_ReadNext(other)), 3);
    LDCG_IT_Destroy(other);
    LDCG_IT_Destroy(it);
    LDCG_Destroy(list, 0, 0);
}

TEST(Ldcg, IteratorOutlivingItsListReadsNothingAndAMissingOneIsTraced) {
    LDCG* list = ListOf({1, 2});
    LDCG_IT* it = LDCG_IT_Create(list);
    LDCG_IT_ReadInit(it);
    LDCG_Destroy(list, 0, 0);
    EXPECT_EQ(LDCG_IT_ReadNext(it), nullptr);
    LDCG_IT_ReadInit(it);
    EXPECT_EQ(LDCG_IT_ReadHasNext(it), 0);
    EXPECT_EQ(LDCG_IT_Destroy(it), 0);
    TraceCapture capture;
    EXPECT_EQ(LDCG_IT_Destroy(nullptr), 1);
    EXPECT_EQ(capture.text(), "\n[LDCG_IT_Destroy] Param 'it' is NULL");
    EXPECT_EQ(LDCG_IT_Create(nullptr), nullptr);
}

TEST(Ldcg, CountersFollowRootsElementsAndIterators) {
    ListStats before = ReadStats();
    LDCG* list = ListOf({1, 2, 3});
    LDCG_IT* it = LDCG_IT_Create(list);
    ListStats mid = ReadStats();
    EXPECT_EQ(mid.v[0], before.v[0] + 1);
    EXPECT_EQ(mid.v[2], before.v[2] + 1);
    EXPECT_EQ(mid.v[3], before.v[3] + 3);
    EXPECT_EQ(mid.v[5], before.v[5] + 3);
    EXPECT_EQ(mid.v[6], before.v[6] + 1);
    EXPECT_EQ(mid.v[8], before.v[8] + 1);
    LDCG_IT_Destroy(it);
    LDCG_Destroy(list, 0, 0);
    ListStats after = ReadStats();
    EXPECT_EQ(after.v[1], before.v[1] + 1);
    EXPECT_EQ(after.v[4], before.v[4] + 3);
    EXPECT_EQ(after.v[7], before.v[7] + 1);
    EXPECT_EQ(after.v[2], before.v[2]);
    EXPECT_EQ(after.v[5], before.v[5]);
    EXPECT_EQ(after.v[8], before.v[8]);
}

TEST(Ldcg, ListsMadeInSeveralThreadsKeepTheCountersExact) {
    ListStats before = ReadStats();
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                LDCG* list = LDCG_Create(nullptr, nullptr);
                LDCG_Add(list, P(1), nullptr);
                LDCG_Add(list, P(2), nullptr);
                LDCG_Destroy(list, 0, 0);
            }
        });
    for (auto& w : workers) w.join();
    ListStats after = ReadStats();
    EXPECT_EQ(after.v[0], before.v[0] + 2000);
    EXPECT_EQ(after.v[3], before.v[3] + 4000);
    EXPECT_EQ(after.v[2], before.v[2]);
    EXPECT_EQ(after.v[5], before.v[5]);
}

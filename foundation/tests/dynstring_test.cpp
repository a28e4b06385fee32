#include "foundation/dynstring.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/trace.h"

using morvex::TraceCapture;

namespace {

// The module's counters, read back from the statistics it prints.
struct DynStats {
    int created = -1, deleted = -1, current = -1, realloc = -1, cumulated = -1;
};

DynStats ReadStats() {
    TraceCapture capture;
    DYNSTRING_ShowGlobalStats();
    DynStats s;
    std::string text = capture.text();
    int n = sscanf(text.c_str(),
                   "\n[DYNSTRING_ShowGlobalStats] :\n - nbDynStringCreated      = %i\n"
                   " - nbDynStringDeleted      = %i\n   -> Currently in Memory  = %i\n"
                   " - nbDynStringRealloc      = %i\n - cumulatedDynStringAlloc = %i",
                   &s.created, &s.deleted, &s.current, &s.realloc, &s.cumulated);
    EXPECT_EQ(n, 5) << text;
    return s;
}

// Owns a DYNSTRING for the length of a test.
struct Dyn {
    DYNSTRING* ds;
    explicit Dyn(DYNSTRING* d) : ds(d) {}
    ~Dyn() { DYNSTRING_Destroy(ds); }
    std::string str() const { return DYNSTRING_GetCString(ds); }
};

}  // namespace

TEST(DynString, CreationFormsSetSizesAsDocumented) {
    Dyn empty(DYNSTRING_New());
    EXPECT_EQ(empty.ds->allocSize, 1024);
    EXPECT_EQ(empty.ds->usedSize, 1);
    EXPECT_EQ(empty.str(), "");

    Dyn text(DYNSTRING_NewWithCString("abc"));
    EXPECT_EQ(text.ds->allocSize, 4);
    EXPECT_EQ(text.ds->usedSize, 4);
    EXPECT_EQ(text.str(), "abc");

    Dyn fromEmpty(DYNSTRING_NewWithCString(""));
    EXPECT_EQ(fromEmpty.ds->allocSize, 1024);
    EXPECT_EQ(DYNSTRING_ConcatString(fromEmpty.ds, "hello"), 0);  // holds exactly what is added
    EXPECT_EQ(DYNSTRING_ConcatChar(fromEmpty.ds, '!'), 0);
    EXPECT_EQ(fromEmpty.str(), "hello!");
    EXPECT_EQ(fromEmpty.ds->usedSize, 7);
    Dyn fromNull(DYNSTRING_NewWithCString(nullptr));
    EXPECT_EQ(fromNull.ds->allocSize, 1024);
    EXPECT_EQ(fromNull.ds->usedSize, 1);

    Dyn one(DYNSTRING_NewWithCChar('x'));
    EXPECT_EQ(one.str(), "x");
    EXPECT_EQ(one.ds->usedSize, 2);
}

TEST(DynString, GrowsByExactly1024BytesWhenUsedSizeReachesAllocSize) {
    Dyn d(DYNSTRING_New());
    DynStats before = ReadStats();
    for (int i = 0; i < 1022; ++i) ASSERT_EQ(DYNSTRING_ConcatChar(d.ds, 'a'), 0);
    EXPECT_EQ(d.ds->allocSize, 1024);
    EXPECT_EQ(ReadStats().realloc, before.realloc);

    ASSERT_EQ(DYNSTRING_ConcatChar(d.ds, 'a'), 0);  // the 1023rd character
    EXPECT_EQ(d.ds->allocSize, 2048);
    EXPECT_EQ(d.ds->usedSize, 1024);
    DynStats after = ReadStats();
    EXPECT_EQ(after.realloc, before.realloc + 1);
    EXPECT_EQ(after.cumulated, before.cumulated + 1024);
    EXPECT_EQ(d.str(), std::string(1023, 'a'));
}

TEST(DynString, LongAppendGrowsInFixedStepsNeverDoubling) {
    Dyn d(DYNSTRING_New());
    std::string big(5000, 'z');
    ASSERT_EQ(DYNSTRING_ConcatString(d.ds, big.c_str()), 0);
    EXPECT_EQ(d.ds->allocSize, 5120);  // 1024 + 4 steps
    EXPECT_EQ(d.ds->usedSize, 5001);
    EXPECT_EQ(d.str(), big);
}

TEST(DynString, AppendingToAStringMadeFromTextMakesRoomFirst) {
    // Such a string has no spare byte: the first append must grow before writing.
    Dyn d(DYNSTRING_NewWithCString("ab"));
    ASSERT_EQ(DYNSTRING_ConcatChar(d.ds, 'c'), 0);
    EXPECT_EQ(d.str(), "abc");
    EXPECT_EQ(d.ds->allocSize, 3 + 1024);
    ASSERT_EQ(DYNSTRING_ConcatString(d.ds, "def"), 0);
    EXPECT_EQ(d.str(), "abcdef");
    EXPECT_LT(d.ds->usedSize, d.ds->allocSize);
}

TEST(DynString, CountsCreationsDeletionsAndInitialAllocation) {
    DynStats before = ReadStats();
    DYNSTRING* a = DYNSTRING_New();
    DYNSTRING* b = DYNSTRING_NewWithCString("12345");
    DynStats mid = ReadStats();
    EXPECT_EQ(mid.created, before.created + 2);
    EXPECT_EQ(mid.current, before.current + 2);
    EXPECT_EQ(mid.cumulated, before.cumulated + 1024 + 6);
    EXPECT_EQ(DYNSTRING_Destroy(a), 0);
    EXPECT_EQ(DYNSTRING_Destroy(b), 0);
    DynStats after = ReadStats();
    EXPECT_EQ(after.deleted, before.deleted + 2);
    EXPECT_EQ(after.current, before.current);
    EXPECT_EQ(after.current, after.created - after.deleted);
}

TEST(DynString, ShowGlobalStatsPrintsTheExactLayout) {
    TraceCapture capture;
    DYNSTRING_ShowGlobalStats();
    std::string text = capture.text();
    EXPECT_EQ(text.rfind("\n[DYNSTRING_ShowGlobalStats] :\n - nbDynStringCreated      = ", 0), 0u);
    EXPECT_NE(text.find("\n   -> Currently in Memory  = "), std::string::npos);
    EXPECT_NE(text.find("\n - cumulatedDynStringAlloc = "), std::string::npos);
}

TEST(DynString, InitReplacesContentAndBehavesLikeAFreshString) {
    Dyn d(DYNSTRING_New());
    DYNSTRING_ConcatString(d.ds, "old content");
    ASSERT_EQ(DYNSTRING_Init(d.ds, "new"), 0);
    EXPECT_EQ(d.str(), "new");
    EXPECT_EQ(d.ds->allocSize, 4);
    EXPECT_EQ(d.ds->usedSize, 4);
    ASSERT_EQ(DYNSTRING_ConcatChar(d.ds, '!'), 0);
    EXPECT_EQ(d.str(), "new!");
    ASSERT_EQ(DYNSTRING_Init(d.ds, ""), 0);
    EXPECT_EQ(d.ds->allocSize, 1024);
    EXPECT_EQ(d.str(), "");
    EXPECT_EQ(DYNSTRING_Init(nullptr, "x"), 1);
}

TEST(DynString, MissingArgumentsFailWithTheDocumentedMessages) {
    Dyn d(DYNSTRING_NewWithCString("x"));
    {
        TraceCapture capture;
        EXPECT_EQ(DYNSTRING_ConcatString(d.ds, nullptr), 1);
        EXPECT_EQ(DYNSTRING_ConcatString(nullptr, "a"), 1);
        EXPECT_EQ(capture.text(),
                  "\n[DYNSTRING_ConcatString] : ERREUR : dynString or stringToAdd is null"
                  "\n[DYNSTRING_ConcatString] : ERREUR : dynString or stringToAdd is null");
    }
    {
        TraceCapture capture;
        EXPECT_EQ(DYNSTRING_ConcatChar(d.ds, '\0'), 1);
        EXPECT_EQ(DYNSTRING_ConcatChar(nullptr, 'a'), 1);
        EXPECT_EQ(capture.text(), "");
    }
    EXPECT_EQ(d.str(), "x");
    EXPECT_EQ(DYNSTRING_GetCString(nullptr), nullptr);
    EXPECT_EQ(DYNSTRING_Destroy(nullptr), 1);
}

TEST(DynString, AppendingItsOwnTextIsSafe) {
    Dyn d(DYNSTRING_NewWithCString("abc"));
    ASSERT_EQ(DYNSTRING_ConcatString(d.ds, DYNSTRING_GetCString(d.ds)), 0);
    EXPECT_EQ(d.str(), "abcabc");
    ASSERT_EQ(DYNSTRING_ConcatString(d.ds, DYNSTRING_GetCString(d.ds) + 4), 0);
    EXPECT_EQ(d.str(), "abcabcbc");
}

TEST(DynString, ReplaceStrScansLeftToRightWithoutOverlap) {
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"aaaa", "aa", "b", "bb"},           {"aaa", "aa", "b", "ba"},
        {"abcabc", "abc", "", ""},           {"x'y'z'", "'", "''", "x''y''z''"},
        {"no match", "zz", "q", "no match"}, {"", "a", "b", ""},
        {"tête", "ê", "e", "tete"},          {"l'a", "'", "''", "l''a"},
    };
    for (const Case& c : cases) {
        Dyn d(DYNSTRING_NewWithCString(c.text));
        ASSERT_EQ(DYNSTRING_ReplaceStr(d.ds, c.search, c.replacement), 0) << c.text;
        EXPECT_EQ(d.str(), c.expected) << c.text;
        EXPECT_EQ(d.ds->usedSize, static_cast<int>(strlen(c.expected)) + 1);
    }
}

TEST(DynString, ReplaceStrResultKeepsGrowingNormally) {
    std::string text(3000, '\'');
    Dyn d(DYNSTRING_NewWithCString(text.c_str()));
    const int before = ReadStats().current;
    ASSERT_EQ(DYNSTRING_ReplaceStr(d.ds, "'", "''"), 0);
    EXPECT_EQ(ReadStats().current, before);  // no working string left behind
    EXPECT_EQ(d.str(), std::string(6000, '\''));
    EXPECT_EQ(d.ds->allocSize % 1024, 0);
    ASSERT_EQ(DYNSTRING_ConcatString(d.ds, "end"), 0);
    EXPECT_EQ(d.str().substr(6000), "end");
}

TEST(DynString, ReplaceStrRefusesMissingOrEmptySearch) {
    Dyn d(DYNSTRING_NewWithCString("abc"));
    EXPECT_EQ(DYNSTRING_ReplaceStr(d.ds, "", "x"), 1);
    EXPECT_EQ(DYNSTRING_ReplaceStr(d.ds, nullptr, "x"), 1);
    EXPECT_EQ(DYNSTRING_ReplaceStr(d.ds, "a", nullptr), 1);
    EXPECT_EQ(DYNSTRING_ReplaceStr(nullptr, "a", "b"), 1);
    EXPECT_EQ(d.str(), "abc");
}

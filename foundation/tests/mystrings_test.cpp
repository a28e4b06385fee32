#include "foundation/mystrings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(MyStrings, ReplaceCharReplacesEveryOccurrence) {
    char text[] = "a;b;;c";
    MYSTRINGS_ReplaceChar(text, ';', ',');
    EXPECT_STREQ(text, "a,b,,c");
    MYSTRINGS_ReplaceChar(text, 'z', 'y');
    EXPECT_STREQ(text, "a,b,,c");
    MYSTRINGS_ReplaceChar(nullptr, 'a', 'b');  // no crash
}

TEST(MyStrings, StripCharRemovesEveryOccurrenceInPlace) {
    struct Case {
        const char* text;
        char ch;
        const char* expected;
    } cases[] = {
        {"\"abc\"", '"', "abc"}, {"a b  c ", ' ', "abc"}, {"xxx", 'x', ""},
        {"", 'x', ""},           {"abc", 'z', "abc"},     {"abc", '\0', "abc"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        strcpy(buffer, c.text);
        EXPECT_EQ(MYSTRINGS_StripChar(buffer, c.ch), buffer);
        EXPECT_STREQ(buffer, c.expected) << c.text;
    }
    EXPECT_EQ(MYSTRINGS_StripChar(nullptr, 'a'), nullptr);
}

TEST(MyStrings, RecognizeSequenceGivesLengthZeroOrMinusOne) {
    EXPECT_EQ(MYSTRINGS_RecognizeSequence("\\r\\nabc", "\\r\\n"), 4);
    EXPECT_EQ(MYSTRINGS_RecognizeSequence("#0x0D#0x0A", "#0x0D"), 5);
    EXPECT_EQ(MYSTRINGS_RecognizeSequence("abc", "abd"), 0);
    EXPECT_EQ(MYSTRINGS_RecognizeSequence("ab", "abc"), 0);
    EXPECT_EQ(MYSTRINGS_RecognizeSequence("", "a"), 0);
    EXPECT_EQ(MYSTRINGS_RecognizeSequence(nullptr, "a"), -1);
    EXPECT_EQ(MYSTRINGS_RecognizeSequence("a", nullptr), -1);
}

TEST(MyStrings, SubstringCopiesFromOneBasedStartAndStopsAtTheEnd) {
    struct Case {
        const char* text;
        int start, count, outSize;
        const char* expected;
        int rc;
    } cases[] = {
        {"ABCDEFGH", 1, 3, 32, "ABC", 0},  {"ABCDEFGH", 3, 4, 32, "CDEF", 0},
        {"ABCDEFGH", 6, 10, 32, "FGH", 0},  // stops at the end of the text
        {"ABCDEFGH", 9, 2, 32, "", 0},      // starts right at the end
        {"ABC", 20, 2, 32, "", 0},          // far past the end: nothing read out of bounds
        {"ABCDEFGH", 1, 8, 5, "ABCD", 1},   // out full: cut, terminator kept inside out
        {"ABCDEFGH", 1, 4, 5, "ABCD", 0},   // exactly fits
        {"ABCDEFGH", 7, 5, 3, "GH", 0},     // text ends when out is just full
        {"ABCDEFGH", 1, 0, 32, "", 0},
    };
    for (const Case& c : cases) {
        char out[40];
        memset(out, '#', sizeof out);
        int rc = MYSTRINGS_Substring(c.text, c.start, c.count, out, c.outSize);
        EXPECT_EQ(rc, c.rc) << c.text << " " << c.start << " " << c.count;
        EXPECT_STREQ(out, c.expected) << c.text << " " << c.start << " " << c.count;
        EXPECT_EQ(out[c.outSize], '#') << "wrote past outSize";
    }
    char out[8] = "zzz";
    EXPECT_EQ(MYSTRINGS_Substring(nullptr, 1, 2, out, 8), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(MYSTRINGS_Substring("abc", 1, 2, nullptr, 8), 1);
    EXPECT_EQ(MYSTRINGS_Substring("abc", 1, 2, out, 0), 1);
}

TEST(AjusterMot, PadsCutsAndCentresAsDocumented) {
    struct Case {
        const char* text;
        int width;
        const char* pad;
        int mode;
        const char* expected;
    } cases[] = {
        {"abc", 6, " ", 0, "abc   "},
        {"abc", 6, ".", 1, "...abc"},
        {"abc", 6, "-", 2, "-abc--"},  // half of 3 rounded down on the left
        {"ab", 6, "*", 2, "**ab**"},
        {"abcdef", 6, " ", 0, "abcdef"},
        {"abcdefgh", 5, " ", 0, "ab..."},
        {"abcdefgh", 5, " ", 1, "ab..."},
        {"abcd", 3, " ", 0, "..."},
        {"abc", 2, " ", 0, "a\x10"},
        {"ab", 1, " ", 0, "\x10"},
        {"abcdefgh", 2, " ", 0, "a\x10"},  // too narrow for "...": cut like a short text
        {"", 3, "0", 1, "000"},
        {"abc", 5, "", 0, "abc  "},  // an empty fill text pads with spaces
        {"abc", 5, " ", 7, "abc"},   // unknown mode: not padded
    };
    for (const Case& c : cases) {
        char buffer[64];
        strcpy(buffer, c.text);
        ajusterMot(buffer, sizeof buffer, c.width, c.pad, c.mode);
        EXPECT_STREQ(buffer, c.expected) << c.text << " width " << c.width << " mode " << c.mode;
    }
}

TEST(AjusterMot, NeverWritesPastCapacity) {
    char buffer[8 + 4];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, "ab");
    ajusterMot(buffer, 8, 20, " ", 0);
    EXPECT_STREQ(buffer, "ab     ");  // 7 characters and the terminator
    EXPECT_EQ(buffer[8], '#');

    char left[6 + 4];
    memset(left, '#', sizeof left);
    strcpy(left, "abcd");
    ajusterMot(left, 6, 20, "_", 1);
    EXPECT_STREQ(left, "_abcd");
    EXPECT_EQ(left[6], '#');

    ajusterMot(nullptr, 8, 5, " ", 0);  // no crash
}

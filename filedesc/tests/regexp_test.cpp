#include "filedesc/regexp.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/trace.h"

namespace {

struct PatternCase {
    const char* text;
    const char* pattern;
    int expected;
};

TEST(ValidateType, AcceptsOnlyWhenTheFirstMatchCoversTheWholeText) {
    const PatternCase cases[] = {
        {"abc", "[a-zA-Z][a-zA-Z0-9_]*", 1},
        {"a_1", "[a-zA-Z][a-zA-Z0-9_]*", 1},
        {"1abc", "[a-zA-Z][a-zA-Z0-9_]*", 0},  // match found later than the first character
        {"ab-c", "[a-zA-Z][a-zA-Z0-9_]*", 0},  // first match stops before the end
        {"", "[a-zA-Z][a-zA-Z0-9_]*", 0},
        {"", " *", 1},
        {"   ", " *", 1},
        {"18    ", " *[+-]?[1-9]+[0-9]* *", 1},
        {"-1024    ", " *[+-]?[1-9]+[0-9]* *", 1},
        {"00012", " *[+-]?[0][0-9]* *", 1},
        {"00012", " *[+-]?[1-9]+[0-9]* *", 0},
        {"0.58    ", " *[+-]?[0-9]*[,.][0-9]* *", 1},
        {"-1250.5858    ", " *[+-]?[0-9]*[,.][0-9]* *", 1},
        {"      11599.65", " *[+-]?[0-9]*[,.][0-9]* *", 1},
        {"       1599,65", " *[+-]?[0-9]*[,][0-9]* *", 1},
        {"       1599.65-", " *[0-9]*[.][0-9]*[-\\+] *", 1},
        {"       1599,65+", " *[0-9]*[,][0-9]*[-\\+] *", 1},
        {"       1599.65-", " *[+-]?[0-9]*[,.][0-9]* *", 0},
        {"2014-05-06", " *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] *", 1},
        {"2014-05-06 05:52:00",
         " *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9] *", 1},
        {"05:52:23.123", " *[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9] *", 1},
        {"NULL", " *[nN][uU][lL][lL] *", 1},
        {" Null ", " *[nN][uU][lL][lL] *", 1},
        {"AB-12", " *[a-zA-Z0-9_. ]*", 0},
        {"x", "a?x", 1},
        {"ax", "a?x", 1},
        {"aab", "a*ab?", 1},  // needs backtracking into the greedy star
        {"abc", "a.c", 1},
        {"a-", "[a-]+", 1},  // "-" last in a set is itself
        {"-a", "[-a]+", 1},  // "-" first in a set is itself
        {"\\", "[\\]", 1},   // backslash is an ordinary member of a set
        {"b", "a+", 0},
        {"aaa", "a+", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValidateType(c.text, c.pattern), c.expected)
            << "text [" << c.text << "] pattern [" << c.pattern << "]";
    }
    EXPECT_EQ(ValidateType(nullptr, "[0-9]"), 1);  // absent text is accepted
}

TEST(ValidateType, InvalidPatternIsTracedAndRefused) {
    const char* invalid[] = {"[abc", "*a", "a**", "[z-a]"};
    for (const char* pattern : invalid) {
        morvex::TraceCapture capture;
        EXPECT_EQ(ValidateType("abc", pattern), 0) << pattern;
        EXPECT_EQ(capture.text(), std::string("\nRegExp error for [") + pattern + "]:[abc]");
    }
}

TEST(RegexpSearch, ReportsTheLeftmostMatchWithGreedyRepetition) {
    REGEXP* re = REGEXP_Compile("[0-9]+");
    ASSERT_NE(re, nullptr);
    int start = -1;
    int end = -1;
    EXPECT_EQ(REGEXP_Search(re, "ab123c45", &start, &end), 1);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(REGEXP_Search(re, "abc", &start, &end), 0);
    REGEXP_Free(re);
}

TEST(RegexpSearch, StaysFastOnLongBlankRuns) {
    // Two adjacent blank stars would backtrack quadratically per start without memoisation.
    std::string text(20000, ' ');
    text += "x";
    EXPECT_EQ(ValidateType(text.c_str(),
                           " *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]"),
              0);
    EXPECT_EQ(ValidateType(text.c_str(), " * *x"), 1);
}

}  // namespace

#include "foundation/csv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CsvCell, QuotesExactlyTheCellsThatWouldNotReadBackAsOne) {
    struct Case {
        std::string text;
        char delimiter;
        std::string cell;
    };
    const Case cases[] = {
        {"plain", ';', "plain"},
        {"", ';', ""},
        {"a;b", ';', "\"a;b\""},
        {"a,b", ';', "a,b"},  // another file's delimiter is text
        {"a,b", ',', "\"a,b\""},
        {"a;b", ',', "a;b"},
        {"say \"hi\"", ',', "\"say \"\"hi\"\"\""},
        {"\"", ';', "\"\"\"\""},
        {"a\"\"b\"", ',', "\"a\"\"\"\"b\"\"\""},  // quotes side by side and last
        {"two\r\nlines", ';', "\"two\r\nlines\""},
        {"cr\ronly", ',', "\"cr\ronly\""},
        {std::string("nul\0inside", 10), ';', std::string("nul\0inside", 10)},
        {"caf\xC3\xA9 ; cr\xC3\xA8me", ';', "\"caf\xC3\xA9 ; cr\xC3\xA8me\""},
    };
    for (const Case& c : cases) {
        std::string out = "x" + std::string(1, c.delimiter);
        morvex::csvAppendCell(out, c.text, c.delimiter);
        EXPECT_EQ(out, "x" + std::string(1, c.delimiter) + c.cell) << c.text;
    }
}

}  // namespace

#include "datafile/prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& line, int separator, int quote) {
    return PROMPT_Split(line, separator, quote);
}

using Fields = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string line;
    int separator;
    int quote;
    Fields expected;
};

TEST(FieldSplitter, SplitsLinesAsTheCallersExpect) {
    const SplitCase cases[] = {
        {"two spaces count as one", "un  deux", ' ', '"', {"un", "deux"}},
        {"a tab separates once turned into a space", "un\tdeux", ' ', '"', {"un", "deux"}},
        {"leading and trailing separators", "  a  ", ' ', '"', {"a"}},
        {"key and value", "KEY=value", '=', '"', {"KEY", "value"}},
        {"key and one equals sign", "KEY=", '=', '"', {"KEY"}},
        {"doubled equals signs", "KEY==a=b", '=', '"', {"KEY", "a", "b"}},
        {"quoted value keeps equals and quotes", "KEY=\"a=b\"", '=', '"', {"KEY", "\"a=b\""}},
        {"quoting off with line feed", "KEY=\"a=b\"", '=', '\n', {"KEY", "\"a", "b\""}},
        {"unclosed quote drops its field", "KEY=\"a=b", '=', '"', {"KEY"}},
        {"unclosed quote in the middle", "a \"b c", ' ', '"', {"a"}},
        {"empty quotes are a field", "x=\"\"", '=', '"', {"x", "\"\""}},
        {"only separators", "===", '=', '"', {}},
        {"quote inside a word", "a\"b c\"d e", ' ', '"', {"a\"b c\"d", "e"}},
        {"command line with a quoted path",
         "morvex \"/home/u/Mes docs/a.fyk\" b.fyk",
         ' ',
         '"',
         {"morvex", "\"/home/u/Mes docs/a.fyk\"", "b.fyk"}},
        {"Latin-1 separator given unsigned",
         "a\xE9"
         "b",
         0xE9,
         '"',
         {"a", "b"}},
        {"Latin-1 separator given signed",
         "a\xE9"
         "b",
         -23,
         '"',
         {"a", "b"}},
        {"Latin-1 text with a plain separator",
         "\xE9t\xE9;caf\xE9",
         ';',
         '"',
         {"\xE9t\xE9", "caf\xE9"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(split(c.line, c.separator, c.quote), c.expected);
        // The key alone is the first field of the whole split.
        EXPECT_EQ(PROMPT_FirstField(c.line, c.separator, c.quote),
                  c.expected.empty() ? std::string() : c.expected.front());
    }
}

TEST(FieldSplitter, FirstFieldIsTheFirstOfTheSplit) {
    const std::string longKey(600, 'k');
    const struct {
        std::string line;
        int separator;
        int quote;
    } cases[] = {
        {"\tKEY\t=v", '=', '"'},
        {"KEY\t", ' ', '"'},
        {"=KEY=v", '=', '"'},
        {"\"K=Y\"=v", '=', '"'},
        {"\"open=v", '=', '"'},
        {longKey + "=v", '=', '"'},
        {std::string("a\0b=c", 5), '=', '"'},
        {"", '=', '"'},
        {"K\"\"=v", '=', '\n'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const Fields fields = split(c.line, c.separator, c.quote);
        EXPECT_EQ(PROMPT_FirstField(c.line, c.separator, c.quote),
                  fields.empty() ? std::string() : fields.front());
    }
}

TEST(FieldSplitter, CutsFieldsAt510CharactersAndKeepsTheRest) {
    const std::string line = std::string(700, 'L') + "=" + std::string(600, 'v') + "=x";
    EXPECT_EQ(split(line, '=', '"'), (Fields{std::string(510, 'L'), std::string(510, 'v'), "x"}));
    EXPECT_EQ(PROMPT_FirstField(line, '=', '"'), std::string(510, 'L'));
}

// Splits on many threads at once give each its own fields: nothing is shared between calls.
TEST(FieldSplitter, SplitsFromManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            const std::string key = "K" + std::to_string(t);
            for (int i = 0; i < 2000; ++i) {
                const std::string line = key + "=\"" + std::to_string(i) + "=v\"";
                const Fields f = split(line, '=', '"');
                if (f != Fields{key, "\"" + std::to_string(i) + "=v\""}) ++wrong[t];
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(wrong, std::vector<int>(8, 0));
}

}  // namespace

#include "datafile/prompt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "foundation/trace.h"

using morvex::TraceCapture;

// Field allocations go through the non-throwing operator new; this replacement lets a test make
// the n-th one fail. It allocates through the ordinary operator new, so `delete` matches.
namespace {
int gFailCountdown = 0;  // 0: never fail; n: the n-th allocation from now fails
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gFailCountdown > 0 && --gFailCountdown == 0) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

// Owns one session for the length of a test.
class Session {
public:
    Session(char* text, int separator, int quote) : handle_(Queue_Create(text, separator, quote)) {}
    ~Session() {
        if (handle_ != 0) Queue_Destroy(handle_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    int handle() const { return handle_; }

private:
    int handle_;
};

// Reads every field that next still gives.
std::vector<std::string> readAll(int handle) {
    std::vector<std::string> fields;
    char buffer[511];
    while (Queue_Get(handle, QUEUE_CMD_NEXT, buffer)) fields.emplace_back(buffer);
    return fields;
}

// Splits a copy of `line` in a fresh session and returns its fields.
std::vector<std::string> split(const std::string& line, int separator, int quote) {
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    Session s(text.data(), separator, quote);
    EXPECT_NE(s.handle(), 0);
    return readAll(s.handle());
}

using Fields = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string line;
    int separator;
    int quote;
    Fields expected;
};

TEST(FieldQueue, SplitsLinesAsTheCallersExpect) {
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
        // The splitter without a session gives the same first field.
        EXPECT_EQ(PROMPT_FirstField(c.line, c.separator, c.quote),
                  c.expected.empty() ? std::string() : c.expected.front());
    }
}

TEST(FieldQueue, FirstFieldWithoutASessionIsTheSessionsFirstField) {
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

TEST(FieldQueue, ModifiesTheCallersTextInPlace) {
    char text[] = "a\tb\tc   ";
    Session s(text, ' ', '"');
    EXPECT_STREQ(text, "a b c");
    EXPECT_EQ(readAll(s.handle()), (Fields{"a", "b", "c"}));
}

TEST(FieldQueue, KeepsTabsWhenConversionIsOff) {
    char text[] = "x";
    Session s(text, ' ', '"');
    EXPECT_EQ(QUEUE_SetTabToSpaceConversion(s.handle(), 0), 0);
    char line[] = "a\tb c";
    EXPECT_EQ(cmdCut(s.handle(), line), 0);
    EXPECT_STREQ(line, "a\tb c");
    EXPECT_EQ(readAll(s.handle()), (Fields{"a\tb", "c"}));
}

// How the description file reader takes a KEY=value line apart: the key by next, the value by
// next or, when the value may itself hold equals signs, by the rest of the line.
TEST(FieldQueue, ReadsDescriptionLinesKeyThenValue) {
    struct Line {
        const char* text;
        int quote;
        const char* key;
        const char* value;  // nullptr: no value
        const char* rest;
    };
    const Line lines[] = {
        {"PROJET=Clients", '\n', "PROJET", "Clients", "Clients"},
        {"TABLE=", '\n', "TABLE", nullptr, ""},
        {"FORMAT=aaaa-mm-jj HH:MM:SS", '\n', "FORMAT", "aaaa-mm-jj HH:MM:SS",
         "aaaa-mm-jj HH:MM:SS"},
        {"CONDITION=a=b", '\n', "CONDITION", "a", "a=b"},
        {"DESCRIPTION=\"Nom = prenom\"", '"', "DESCRIPTION", "\"Nom = prenom\"",
         "\"Nom = prenom\""},
        {"FINLIGNE=\\r\\n", '\n', "FINLIGNE", "\\r\\n", "\\r\\n"},
    };
    for (const Line& l : lines) {
        SCOPED_TRACE(l.text);
        std::vector<char> text(l.text, l.text + std::strlen(l.text) + 1);
        Session s(text.data(), '=', l.quote);
        char key[511];
        char value[511] = "untouched";
        ASSERT_NE(Queue_Get(s.handle(), QUEUE_CMD_NEXT, key), nullptr);
        EXPECT_STREQ(key, l.key);
        PROMPT_FIELD* v = Queue_Get(s.handle(), QUEUE_CMD_NEXT, value);
        if (l.value) {
            ASSERT_NE(v, nullptr);
            EXPECT_STREQ(value, l.value);
        } else {  // nothing after the key: the buffer stays as it was, for either next
            EXPECT_EQ(v, nullptr);
            EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_NEXT_ALT, value), nullptr);
            EXPECT_STREQ(value, "untouched");
        }
        char rest[511];
        Queue_Get(s.handle(), QUEUE_CMD_REWIND, nullptr);
        Queue_Get(s.handle(), QUEUE_CMD_NEXT, key);
        Queue_Get(s.handle(), QUEUE_CMD_REST, rest);
        EXPECT_STREQ(rest, l.rest);
    }
}

TEST(FieldQueue, RestAfterOneNextJoinsTheRemainingFieldsWithTheSeparator) {
    char text[] = "a b c";
    Session s(text, ' ', '"');
    char buffer[511];
    ASSERT_NE(Queue_Get(s.handle(), QUEUE_CMD_NEXT, buffer), nullptr);
    PROMPT_FIELD* first = Queue_Get(s.handle(), QUEUE_CMD_FIRST, nullptr);
    EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_REST, buffer), first);
    EXPECT_STREQ(buffer, "b c");
    // The cursor is past the last field now.
    EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_NEXT, buffer), nullptr);
    EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_CURRENT, buffer), nullptr);
    EXPECT_NE(Queue_Get(s.handle(), QUEUE_CMD_PREVIOUS, buffer), nullptr);
    EXPECT_STREQ(buffer, "c");
}

TEST(FieldQueue, RestCoversTheWholeLineBeforeAnyNextAndNothingAfterTheEnd) {
    char text[] = "x;y;z";
    Session s(text, ';', '"');
    char buffer[511];
    EXPECT_NE(Queue_Get(s.handle(), QUEUE_CMD_REST, buffer), nullptr);
    EXPECT_STREQ(buffer, "x;y;z");
    std::strcpy(buffer, "old");
    Queue_Get(s.handle(), QUEUE_CMD_REST, buffer);
    EXPECT_STREQ(buffer, "");  // cleared even when nothing remains

    char empty[] = "";
    Session e(empty, ';', '"');
    std::strcpy(buffer, "old");
    EXPECT_EQ(Queue_Get(e.handle(), QUEUE_CMD_REST, buffer), nullptr);
    EXPECT_STREQ(buffer, "");
}

// Regression: joining the rest of a long line used to run past the caller's 511-byte buffer.
TEST(FieldQueue, RestNeverWritesPastTheCallersBuffer) {
    std::string line;
    for (int i = 0; i < 40; ++i) line += std::string(30, static_cast<char>('a' + i % 26)) + " ";
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    TraceCapture quiet;  // the input is over-long: its warning is not the point here
    Session s(text.data(), ' ', '"');
    struct {
        char buffer[511];
        char canary[16];
    } out;
    std::memset(out.canary, 'K', sizeof out.canary);
    ASSERT_NE(Queue_Get(s.handle(), QUEUE_CMD_REST, out.buffer), nullptr);
    EXPECT_EQ(std::strlen(out.buffer), 510u);
    EXPECT_EQ(std::string(out.buffer, 32), std::string(30, 'a') + " " + "b");
    for (char c : out.canary) EXPECT_EQ(c, 'K');
}

TEST(FieldQueue, CursorCommandsMoveAndCopyAsDocumented) {
    char text[] = "un deux trois";
    Session s(text, ' ', '"');
    int h = s.handle();
    char buffer[511] = "untouched";

    PROMPT_FIELD* first = Queue_Get(h, QUEUE_CMD_FIRST, buffer);
    PROMPT_FIELD* last = Queue_Get(h, QUEUE_CMD_LAST, buffer);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(first->text, "un");
    EXPECT_STREQ(last->text, "trois");
    EXPECT_STREQ(buffer, "untouched");  // first and last copy nothing
    EXPECT_EQ(first->previous, nullptr);
    EXPECT_EQ(last->next, nullptr);

    // After the split the cursor is on the first field and there is nothing before it.
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_CURRENT, buffer), first);
    EXPECT_STREQ(buffer, "un");
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_PREVIOUS, buffer), nullptr);
    EXPECT_STREQ(buffer, "untouched");

    // The first next stays on the first field, later ones move forward.
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_NEXT, buffer), first);
    EXPECT_STREQ(buffer, "un");
    EXPECT_NE(Queue_Get(h, QUEUE_CMD_NEXT_ALT, buffer), nullptr);
    EXPECT_STREQ(buffer, "deux");
    EXPECT_NE(Queue_Get(h, QUEUE_CMD_CURRENT, buffer), nullptr);
    EXPECT_STREQ(buffer, "deux");
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_PREVIOUS, buffer), first);
    EXPECT_STREQ(buffer, "un");
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_PREVIOUS, buffer), nullptr);  // cursor unchanged
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_CURRENT, buffer), first);
    EXPECT_NE(Queue_Get(h, QUEUE_CMD_NEXT, buffer), nullptr);
    EXPECT_STREQ(buffer, "deux");
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_NEXT, buffer), last);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_NEXT, buffer), nullptr);

    // Rewind: the next after it gives the first field again.
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_REWIND, nullptr), first);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_NEXT, buffer), first);
    EXPECT_STREQ(buffer, "un");
    EXPECT_EQ(readAll(h), (Fields{"deux", "trois"}));
}

TEST(FieldQueue, AppendsCopiesCutAt510CharactersAndCountsThem) {
    char text[] = "a";
    Session s(text, ' ', '"');
    int h = s.handle();
    EXPECT_EQ(QUEUE_GetCountData(h), 1);
    std::string longText(700, 'L');
    PROMPT_FIELD* f = Queue_Get(h, QUEUE_CMD_APPEND, longText.data());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::strlen(f->text), 510u);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_LAST, nullptr), f);
    EXPECT_EQ(QUEUE_GetCountData(h), 2);
    EXPECT_EQ(readAll(h), (Fields{"a", std::string(510, 'L')}));
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_APPEND, nullptr), nullptr);
}

TEST(FieldQueue, WarnsAboutOverLongInputAndCutsFieldsAt510Characters) {
    struct Case {
        size_t length;
        std::string warning;
    };
    const std::string head =
        "\n[PROMPT] ATTENTION : La taille du buffer d'entree depasse la limite securitaire!";
    const Case cases[] = {
        {511, ""},
        {512, head + "\nLa taille du buffer d'entree est de = 512 caracteres, 512 autorises"},
        {900, head + "\nLa taille du buffer d'entree est de = 900 caracteres, 512 autorises"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string line = "a " + std::string(c.length - 2, 'b');
        std::vector<char> text(line.begin(), line.end());
        text.push_back('\0');
        TraceCapture capture;
        Session s(text.data(), ' ', '"');
        EXPECT_NE(s.handle(), 0);
        EXPECT_EQ(capture.text(), c.warning);
        EXPECT_EQ(readAll(s.handle()),
                  (Fields{"a", std::string(std::min<size_t>(c.length - 2, 510), 'b')}));
    }
}

TEST(FieldQueue, The101stSimultaneousSessionGetsHandle0AndSplitsNothing) {
    std::vector<std::string> texts(101, "a\tb=");
    std::vector<int> handles;
    for (int i = 0; i < 100; ++i) {
        int h = Queue_Create(texts[i].data(), '=', '"');
        ASSERT_EQ(h, i + 1);
        handles.push_back(h);
    }
    EXPECT_EQ(Queue_Create(texts[100].data(), '=', '"'), 0);
    EXPECT_EQ(texts[100], "a\tb=");  // not even touched

    // A freed entry is taken again by the next creation.
    EXPECT_EQ(Queue_Destroy(42), 0);
    EXPECT_EQ(Queue_Create(texts[100].data(), '=', '"'), 42);
    EXPECT_STREQ(texts[100].c_str(), "a b");  // split in place
    for (int h : handles) EXPECT_EQ(Queue_Destroy(h), 0);
}

TEST(FieldQueue, InvalidHandlesAndCommandsAreRefusedWithoutHarm) {
    char buffer[511] = "untouched";
    for (int h : {-1, 0, 7, 101, 1000}) {
        SCOPED_TRACE(h);
        for (int command = 0; command <= 13; ++command)
            EXPECT_EQ(Queue_Get(h, command, buffer), nullptr);
        EXPECT_EQ(cmdCut(h, buffer), 1);
        EXPECT_EQ(QUEUE_SetQuote(h, '"'), 1);
        EXPECT_EQ(QUEUE_SetSeparator(h, ' '), 1);
        EXPECT_EQ(QUEUE_SetTabToSpaceConversion(h, 0), 1);
        EXPECT_EQ(QUEUE_GetQuote(h), 0);
        EXPECT_EQ(QUEUE_GetSeparator(h), 0);
        EXPECT_EQ(QUEUE_GetCountData(h), 0);
    }
    EXPECT_STREQ(buffer, "untouched");

    char text[] = "a b";
    Session s(text, ' ', '"');
    for (int command : {0, 10, 13, -5}) EXPECT_EQ(Queue_Get(s.handle(), command, buffer), nullptr);
    // Commands that copy refuse a missing buffer and leave the cursor alone.
    for (int command : {6, 7, 8, 9, 11})
        EXPECT_EQ(Queue_Get(s.handle(), command, nullptr), nullptr);
    EXPECT_EQ(readAll(s.handle()), (Fields{"a", "b"}));
    EXPECT_EQ(Queue_Create(nullptr, ' ', '"'), 0);
}

TEST(FieldQueue, DestroyRefusesHandlesOutOfRangeWithItsMessage) {
    TraceCapture capture;
    EXPECT_EQ(Queue_Destroy(0), 1);
    EXPECT_EQ(Queue_Destroy(101), 1);
    EXPECT_EQ(capture.text(),
              "\n[Queue_Create]:Le handle n'est pas valide."
              "\n[Queue_Create]:Le handle n'est pas valide.");
    capture.clear();
    EXPECT_EQ(Queue_Destroy(5), 0);  // in range but free: nothing to release
    EXPECT_EQ(capture.text(), "");
}

TEST(FieldQueue, EmptyTextGivesAHandleWithNoFields) {
    char empty[] = "";
    Session s(empty, ' ', '"');
    ASSERT_NE(s.handle(), 0);
    EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_FIRST, nullptr), nullptr);
    EXPECT_EQ(cmdCut(s.handle(), empty), 1);
    EXPECT_EQ(cmdCut(s.handle(), nullptr), 1);
    char spaces[] = "   ";
    EXPECT_EQ(cmdCut(s.handle(), spaces), 0);
    EXPECT_STREQ(spaces, "");
    EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_FIRST, nullptr), nullptr);
}

// Regression: splitting an empty line in a session used for an earlier one kept the old fields.
TEST(FieldQueue, SplittingAnEmptyTextLeavesNoFieldOfTheEarlierLine) {
    char text[] = "vieux champ";
    Session s(text, ' ', '"');
    char empty[] = "";
    EXPECT_EQ(cmdCut(s.handle(), empty), 1);
    EXPECT_EQ(Queue_Get(s.handle(), QUEUE_CMD_FIRST, nullptr), nullptr);
    EXPECT_EQ(readAll(s.handle()), Fields{});
}

TEST(FieldQueue, AccessorChangesApplyAtTheNextSplitAndCountsAccumulate) {
    char text[] = "a;b c";
    Session s(text, ' ', '"');
    int h = s.handle();
    EXPECT_EQ(QUEUE_GetCountData(h), 2);
    EXPECT_EQ(QUEUE_SetSeparator(h, ';'), 0);
    EXPECT_EQ(QUEUE_SetQuote(h, '\''), 0);
    EXPECT_EQ(QUEUE_GetSeparator(h), ';');
    EXPECT_EQ(QUEUE_GetQuote(h), '\'');
    EXPECT_EQ(readAll(h), (Fields{"a;b", "c"}));  // the queue of the earlier split stands

    char line[] = "x;'y;z';w;";
    EXPECT_EQ(cmdCut(h, line), 0);
    EXPECT_EQ(readAll(h), (Fields{"x", "'y;z'", "w"}));
    EXPECT_EQ(QUEUE_GetCountData(h), 5);  // counts every field since creation
}

TEST(FieldQueue, ReleaseThenForgetEmptiesTheQueueAndAppendStartsAFreshOne) {
    char text[] = "a b c";
    Session s(text, ' ', '"');
    int h = s.handle();
    char buffer[511] = "z";
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_RELEASE, buffer), nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_FORGET, buffer), nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_FIRST, nullptr), nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_LAST, nullptr), nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_NEXT, buffer), nullptr);
    std::strcpy(buffer, "neuf");
    PROMPT_FIELD* f = Queue_Get(h, QUEUE_CMD_APPEND, buffer);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_FIRST, nullptr), f);
    EXPECT_EQ(readAll(h), Fields{"neuf"});
}

// Forget drops the queue without releasing it: fields a caller still holds stay readable until
// the session is destroyed, which releases them (the leak check of the sanitizer build watches).
TEST(FieldQueue, ForgottenFieldsStayValidUntilTheSessionGoes) {
    char text[] = "a b c";
    Session s(text, ' ', '"');
    int h = s.handle();
    PROMPT_FIELD* held = Queue_Get(h, QUEUE_CMD_LAST, nullptr);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_FORGET, nullptr), nullptr);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_FIRST, nullptr), nullptr);
    char line[] = "d e";
    EXPECT_EQ(cmdCut(h, line), 0);
    EXPECT_EQ(Queue_Get(h, QUEUE_CMD_RELEASE, nullptr), nullptr);
    EXPECT_STREQ(held->text, "c");
    EXPECT_STREQ(held->previous->text, "b");
}

TEST(FieldQueue, AFieldThatCannotBeAllocatedEndsTheSplitKeepingTheEarlierOnes) {
    char text[] = "";
    Session s(text, ' ', '"');
    int h = s.handle();
    char line[] = "un deux trois quatre";
    gFailCountdown = 3;
    int result = cmdCut(h, line);
    gFailCountdown = 0;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(readAll(h), (Fields{"un", "deux"}));
    EXPECT_EQ(QUEUE_GetCountData(h), 3);  // the failed one counts too

    char buffer[511] = "cinq";
    gFailCountdown = 1;
    PROMPT_FIELD* f = Queue_Get(h, QUEUE_CMD_APPEND, buffer);
    gFailCountdown = 0;
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(QUEUE_GetCountData(h), 4);
}

TEST(FieldQueue, StatReportsEverySessionInUseThenTheTotals) {
    const std::string rule = "\n------------------------------------------------------------";
    const std::string totals =
        "\n--------- Observation de l'etat du metteur en file ---------"
        "\nNombre de sessions ouvertes : ";
    TraceCapture capture;
    Queue_Stat();  // no session: only the totals
    EXPECT_EQ(capture.text(),
              totals +
                  "0\nNombre de donnes total : 0"
                  "\nTaille memoire occupee par les donnees : 0 octets"
                  "\nTaille memoire occupee par la table des sessions : 210000 octets" +
                  rule);
    capture.clear();
    char one[] = "a\tb ";
    char two[] = "K=V";
    Session s1(one, ' ', '"');
    Session s2(two, '=', '\n');
    Queue_Stat();
    Queue_MakeStat();
    std::string expected = rule + "\nHANDLE      : " + std::to_string(s1.handle()) +
                           "\nBUFFER      : a b"
                           "\nSEPARATEUR  : 32"
                           "\nQUOTE       : 34"
                           "\nTABTOSPACE  : 1"
                           "\nVERBOSEMODE : 0"
                           "\nNBDATA      : 2 (1048 octets)" +
                           rule + "\nHANDLE      : " + std::to_string(s2.handle()) +
                           "\nBUFFER      : K=V"
                           "\nSEPARATEUR  : 61"
                           "\nQUOTE       : 10"
                           "\nTABTOSPACE  : 1"
                           "\nVERBOSEMODE : 0"
                           "\nNBDATA      : 2 (1048 octets)" +
                           totals +
                           "2\nNombre de donnes total : 4"
                           "\nTaille memoire occupee par les donnees : 2096 octets"
                           "\nTaille memoire occupee par la table des sessions : 210000 octets" +
                           rule;
    EXPECT_EQ(capture.text(), expected);
}

}  // namespace

#include "foundation/utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using morvex::Utf8End;

TEST(Utf8, TellsWellFormedCharactersFromMalformedOnes) {
    struct Case {
        std::string text;
        bool valid;        // as a whole text
        size_t lastWhole;  // utf8CharLength of the last lead byte, whole text
        size_t lastPrefix; // the same when the text is the first bytes of a longer one
    };
    const Case cases[] = {
        {"a", true, 1, 1},
        {"caf\xC3\xA9", true, 2, 2},
        {"\xE2\x82\xAC", true, 3, 3},
        {"\xF0\x9F\x98\x80", true, 4, 4},
        {"\xF4\x8F\xBF\xBF", true, 4, 4},  // U+10FFFF
        // Cut by the end: malformed in a whole text, the bytes left in a prefix.
        {"euro \xE2\x82", false, 0, 2},
        {"\xF0\x9F\x98", false, 0, 3},
        {"\xC3", false, 0, 1},
        // Malformed wherever they stand.
        {"\xC0\xAF", false, 0, 0},          // overlong "/"
        {"\xE0\x80\xAF", false, 0, 0},      // overlong, three bytes
        {"\xED\xA0\x80", false, 0, 0},      // surrogate U+D800
        {"\xF4\x90\x80\x80", false, 0, 0},  // beyond U+10FFFF
        {"\xF5\x80\x80\x80", false, 0, 0},
        {"\xE9t\xE9", false, 0, 0},  // Latin-1
        {"\x80", false, 0, 0},
        {"\xE2\x82" "A", false, 0, 0},  // a continuation byte missing before the end
        {"\xE0\x9F", false, 0, 0},      // cut, but already overlong: malformed in a prefix too
    };
    for (const Case& c : cases) {
        EXPECT_EQ(morvex::utf8IsValid(c.text), c.valid) << c.text;
        // The same among ASCII runs, on either side of 8-, 16- and 64-byte boundaries.
        for (size_t before : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 40u, 63u, 64u, 65u})
            for (size_t after : {9u, 40u, 70u})
                EXPECT_EQ(morvex::utf8IsValid(std::string(before, 'x') + c.text +
                                              std::string(after, 'y')),
                          c.valid)
                    << before << " " << c.text << " " << after;
        size_t lead = c.text.size() - 1;
        while (lead > 0 && (static_cast<unsigned char>(c.text[lead]) & 0xC0) == 0x80) --lead;
        if (c.text == "\xE9t\xE9" || c.text == "\xE2\x82" "A") lead = 0;
        EXPECT_EQ(morvex::utf8CharLength(c.text, lead), c.lastWhole) << c.text;
        EXPECT_EQ(morvex::utf8CharLength(c.text, lead, Utf8End::Prefix), c.lastPrefix) << c.text;
    }
    EXPECT_EQ(morvex::utf8CharLength("abc", 3), 0u);
}

TEST(Utf8, CutsOnlyBetweenCharacters) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    // Each limit against the cut it gives.
    const size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 11, 11};
    for (size_t limit = 0; limit < sizeof expected / sizeof *expected; ++limit)
        EXPECT_EQ(morvex::utf8CutPoint(text, limit), expected[limit]) << limit;
    // Stray continuation bytes are cut where they stand, not searched back through.
    EXPECT_EQ(morvex::utf8CutPoint("ab\x80\x80\x80\x80\x80", 6), 6u);
    EXPECT_EQ(morvex::utf8CutPoint("", 5), 0u);
}

TEST(Utf8, CopiesIntoAFixedFieldWithoutSplittingACharacter) {
    char field[6];
    // "Résumé" takes 8 bytes: "Résu" fills the five the field keeps for text.
    morvex::utf8CopyCut(field, sizeof field, "R\xC3\xA9sum\xC3\xA9");
    EXPECT_STREQ(field, "R\xC3\xA9su");
    morvex::utf8CopyCut(field, sizeof field, "abcd\xC3\xA9");  // é would take bytes 5 and 6
    EXPECT_STREQ(field, "abcd");
    morvex::utf8CopyCut(field, sizeof field, "abc\xC3\xA9");  // fits exactly
    EXPECT_STREQ(field, "abc\xC3\xA9");
    morvex::utf8CopyCut(field, sizeof field, static_cast<const char*>(nullptr));
    EXPECT_STREQ(field, "");
    // The source is read no further than the field's size: an unterminated array will do.
    const char unterminated[8] = {'1', '2', '3', '4', '5', '6', '7', '8'};
    morvex::utf8CopyCut(field, sizeof field, unterminated);
    EXPECT_STREQ(field, "12345");
    std::string_view view("xy\xE2\x82\xAC", 5);
    morvex::utf8CopyCut(field, 5, view);
    EXPECT_STREQ(field, "xy");
}

}  // namespace

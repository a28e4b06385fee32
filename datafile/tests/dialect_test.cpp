#include "datafile/dialect.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/trace.h"

namespace {

TEST(DataFileNotationBytes, ConvertsEscapesAndHexadecimalCodes) {
    struct Case {
        const char* notation;
        std::string expected;
    };
    const Case cases[] = {
        {"\\r\\n", "\r\n"},
        {"#0x0D#0x0A", "\r\n"},
        {"#0x0d#0x0a", "\r\n"},
        {"#0x09", "\t"},
        {"\\t", "\t"},
        {"a#b", "a#b"},
        {"#", "#"},
        {"#0", "#0"},
        {";", ";"},
        {"\\;", ";"},
        {"\\\\", "\\"},
        {"x\\", "x\\"},  // a lone backslash at the end stays
        {"\\0", ""},     // the zero byte ends the bytes
        {"a\\0b", "a"},
        {"#0x00", ""},
        {"#0x", ""},
        {"#0x3B", ";"},
        {"#0x13B", ";"},           // low 8 bits
        {"#0x3Dx#0x3D", "\xF1="},  // letters beyond F go on: 0x3D * 16 + 33 = 0x3F1
        {"#0xFF#0x1F", "\xFF\x1F"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DATAFILE_NotationBytes(c.notation, 64), c.expected) << c.notation;
}

TEST(DataFileNotationBytes, CutsAtTheLimitAndTracesEveryHexDigit) {
    EXPECT_EQ(DATAFILE_NotationBytes("abcdefgh", 3), "abc");
    EXPECT_EQ(DATAFILE_NotationBytes("\\r\\n\\r\\n", 3), "\r\n\r");
    EXPECT_EQ(DATAFILE_NotationBytes("#0x41#0x42", 1), "A");
    EXPECT_EQ(DATAFILE_NotationBytes(std::string(200, ';'), DATAFILE_DELIMITER_MAX),
              std::string(DATAFILE_DELIMITER_MAX, ';'));
    morvex::TraceCapture capture;
    const char invalid = static_cast<char>(0x4 * 16 + '.' - 55);  // counted all the same
    EXPECT_EQ(DATAFILE_NotationBytes("#0x4.#0x41", 8), std::string(1, invalid) + "A");
    EXPECT_EQ(capture.text(),
              "\n[FILEDESC_ConvertEndOfLine] HexValue = [4][4]"
              "\n[FILEDESC_ConvertEndOfLine] HexValue = [.][4.]"
              "\n[FILEDESC_ConvertEndOfLine] HexValue = [4][4]"
              "\n[FILEDESC_ConvertEndOfLine] HexValue = [1][41]");
}

}  // namespace

// linenum run as a real process on real files.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lineutils/tests/program_runner.h"

using lineutils_test::ByteSource;
using lineutils_test::readFile;
using lineutils_test::runProgram;
using lineutils_test::writeFile;

namespace {

const std::string kBanner = "\nlinenum : numerotation des lignes - Morvex Fylatek - 2026";
const std::string kSameFile =
    "\nErreur : Le fichier de destination doit etre different du fichier source.";

// Everything a successful run prints.
std::string successOutput(const std::string& source, const std::string& target, long long lines) {
    return kBanner + "\nFichier source : '" + source + "'\nFichier destination : '" + target +
           "'\nAjout des numeros de lignes a la fin du fichier\n" + std::to_string(lines) +
           " lignes lues\nTermine";
}

// The counter text of line `n`.
std::string counter(long long n) {
    char text[32];
    std::snprintf(text, sizeof text, "%08lld", n);
    return text;
}

// What the numbered copy must be, worked out the way a text-mode reader with a 1022-character
// buffer sees the source: CR LF or LF is one line-end character, a lone CR is text. Each
// buffer-full is written with the counter and the end of the line it belongs to ("\n" for a
// last line without end).
std::string referenceNumbering(const std::string& input, long long* lines) {
    // Line ends of the source, in order: position of the LF and whether a CR precedes it.
    std::string out;
    long long n = 0;
    size_t i = 0;
    while (i < input.size()) {
        size_t lf = input.find('\n', i);
        std::string ending = "\n";
        if (lf != std::string::npos && lf > i && input[lf - 1] == '\r') ending = "\r\n";
        size_t contentEnd = lf == std::string::npos ? input.size() : lf;
        if (ending == "\r\n") --contentEnd;
        // Take buffer-fulls of 1022 characters, the line end being one character.
        size_t taken = i;
        for (;;) {
            size_t left = contentEnd - taken;
            bool endFits = lf != std::string::npos && left + 1 <= 1022;
            if (endFits || (lf == std::string::npos && left <= 1022)) {
                out += input.substr(taken, left) + counter(n++) + ending;
                break;
            }
            out += input.substr(taken, 1022) + counter(n++) + ending;
            taken += 1022;
            if (lf == std::string::npos && taken == contentEnd) break;
        }
        i = lf == std::string::npos ? input.size() : lf + 1;
    }
    *lines = n;
    return out;
}

class Linenum : public lineutils_test::ScratchDirTest {
protected:
    lineutils_test::ProgramRun run(const std::vector<std::string>& args) {
        return runProgram(LINENUM_PATH, args, dir_.path());
    }

    // Numbers `input` from in.txt to out.txt and checks the target, the dialogue and status.
    void expectNumbering(const std::string& input, const std::string& expected, long long lines) {
        writeFile(path("in.txt"), input);
        auto result = run({"in.txt", "out.txt"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, successOutput("in.txt", "out.txt", lines));
        EXPECT_TRUE(readFile(path("out.txt")) == expected)
            << "got " << testing::PrintToString(readFile(path("out.txt")).substr(0, 200));
    }
};

// One source and its numbered copy.
struct NumberCase {
    const char* name;      // what the case shows
    std::string input;     // source bytes
    std::string expected;  // target bytes
    long long lines;       // lines reported
};

TEST_F(Linenum, PutsTheCounterBeforeEachLineEnd) {
    const NumberCase cases[] = {
        {"bare LF", "a\nbc\n", "a00000000\nbc00000001\n", 2},
        {"CR LF", "abc\r\n\r\nd\r\n", "abc00000000\r\n00000001\r\nd00000002\r\n", 3},
        {"mixed ends", "a\r\nb\nc\r\n", "a00000000\r\nb00000001\nc00000002\r\n", 3},
        {"no final LF", "a\nlast", "a00000000\nlast00000001\n", 2},
        {"no final CR LF", "a\r\nb", "a00000000\r\nb00000001\n", 2},
        {"empty lines", "\n\n", "00000000\n00000001\n", 2},
        {"lone CR is text", "a\rb\n", "a\rb00000000\n", 1},
        {"CR at end of file is text", "ab\r", "ab\r00000000\n", 1},
        {"bytes 0 and 255", std::string("\0x\xff\n\xff\0", 6),
         std::string("\0x\xff", 3) + "00000000\n" + std::string("\xff\0", 2) + "00000001\n", 2},
        {"empty source", "", "", 0},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.name);
        expectNumbering(c.input, c.expected, c.lines);
    }
}

TEST_F(Linenum, CutsLinesIntoBufferFullsOf1022Characters) {
    const std::string x1021 = std::string(1021, 'x');
    const std::string x1022 = std::string(1022, 'x');
    const NumberCase cases[] = {
        {"1021 and LF fit", x1021 + "\n", x1021 + counter(0) + "\n", 1},
        {"1021 and CR LF fit, CR kept with its LF", x1021 + "\r\n", x1021 + counter(0) + "\r\n", 1},
        {"1022 and LF leave the end alone", x1022 + "\n",
         x1022 + counter(0) + "\n" + counter(1) + "\n", 2},
        {"1022 and CR LF leave the end alone", x1022 + "\r\n",
         x1022 + counter(0) + "\r\n" + counter(1) + "\r\n", 2},
        {"1022 without end", x1022, x1022 + counter(0) + "\n", 1},
        {"1023 without end", x1022 + "y", x1022 + counter(0) + "\ny" + counter(1) + "\n", 2},
        {"lone CR at the boundary is text", x1021 + "\ry\n",
         x1021 + "\r" + counter(0) + "\ny" + counter(1) + "\n", 2},
        {"pieces end like their line", std::string(2500, 'z') + "\r\nq\n",
         std::string(1022, 'z') + counter(0) + "\r\n" + std::string(1022, 'z') + counter(1) +
             "\r\n" + std::string(456, 'z') + counter(2) + "\r\nq" + counter(3) + "\n",
         4},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.name);
        expectNumbering(c.input, c.expected, c.lines);
    }
}

TEST_F(Linenum, MatchesTheLineModelAcrossBlockBoundaries) {
    // Lines of every length up to a few buffer-fulls, every line end, and two lines longer than
    // a read block (one CR LF, one LF) so that long lines are cut before their end is read.
    // Thousands of lines, so the counter also carries past 999 (00000999 then 00001000).
    ByteSource random(777);
    std::string input;
    auto addLine = [&](size_t length, const char* ending) {
        for (size_t i = 0; i < length; ++i) {
            char c = static_cast<char>(random.next());
            input += (c == '\n' || c == '\r') ? 'a' : c;
        }
        input += ending;
    };
    const char* endings[] = {"\n", "\r\n", "\r\n", "\r"};
    while (input.size() < 3 * 1048576) addLine(random.next() % 3000, endings[random.next() % 4]);
    addLine(2500000, "\r\n");
    while (input.size() < 6 * 1048576) addLine(random.next() % 200, endings[random.next() % 3]);
    addLine(1048576 + 1022 * 3, "\n");
    addLine(5000, "");
    long long lines = 0;
    std::string expected = referenceNumbering(input, &lines);
    expectNumbering(input, expected, lines);
}

TEST_F(Linenum, CutsALineLongerThanABlockWithACrAtTheBlockEnd) {
    // The CR of the final CR LF is the last byte of the first read block.
    std::string input = std::string(1048575, 'w') + "\r\n";
    long long lines = 0;
    std::string expected = referenceNumbering(input, &lines);
    ASSERT_EQ(expected.substr(expected.size() - 2), "\r\n");
    expectNumbering(input, expected, lines);
}

TEST_F(Linenum, WritesToCompteurOutUnlessGivenExactlyTwoArguments) {
    writeFile(path("in.txt"), "a\n");
    for (std::vector<std::string> args :
         {std::vector<std::string>{"in.txt"}, std::vector<std::string>{"in.txt", "x", "y"}}) {
        SCOPED_TRACE(args.size());
        std::filesystem::remove(path("compteur_out.txt"));
        auto result = run(args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, successOutput("in.txt", "compteur_out.txt", 1));
        EXPECT_EQ(readFile(path("compteur_out.txt")), "a00000000\n");
        EXPECT_FALSE(std::filesystem::exists(path("x")));
    }
}

// Every refusal before numbering: its status, its exact dialogue, and the source left alone.
TEST_F(Linenum, RefusesBadArgumentsWithTheirStatusAndMessage) {
    writeFile(path("in.txt"), "keep\n");
    ASSERT_EQ(link(path("in.txt").c_str(), path("hard.txt").c_str()), 0);
    ASSERT_EQ(symlink("in.txt", path("soft.txt").c_str()), 0);
    std::filesystem::create_directory(path("folder"));
    const auto noSource = [](const std::string& name) {
        return kBanner + "\nImpossible d'ouvrir le fichier source (" + name + ")";
    };
    const auto noTarget = [](const std::string& name) {
        return kBanner + "\nImpossible d'ouvrir le fichier destination (" + name + ")";
    };
    const struct {
        std::vector<std::string> args;
        int status;
        std::string output;
    } cases[] = {
        {{}, 255, kBanner + "\nSytaxe : " + LINENUM_PATH + " fichier_souce fichier_destination"},
        // The same name is refused before anything is opened.
        {{"ghost.txt", "ghost.txt"}, 254, kBanner + kSameFile},
        {{"compteur_out.txt"}, 254, kBanner + kSameFile},
        // Another path to the source is the same file.
        {{"in.txt", "./in.txt"}, 254, kBanner + kSameFile},
        {{"in.txt", "hard.txt"}, 254, kBanner + kSameFile},
        {{"in.txt", "soft.txt"}, 254, kBanner + kSameFile},
        {{"missing.txt", "out.txt"}, 253, noSource("missing.txt")},
        {{"folder", "out.txt"}, 253, noSource("folder")},
        {{"in.txt", "folder"}, 252, noTarget("folder")},
        {{"in.txt", "no/such/dir/out.txt"}, 252, noTarget("no/such/dir/out.txt")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        auto result = run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(readFile(path("in.txt")), "keep\n");
        EXPECT_FALSE(std::filesystem::exists(path("out.txt")));
        EXPECT_FALSE(std::filesystem::exists(path("ghost.txt")));
    }
}

TEST_F(Linenum, ReturnsMinusFourWhenTheTargetIsFull) {
    for (size_t size : {size_t{10}, size_t{3000000}}) {
        SCOPED_TRACE(size);
        std::string input;
        while (input.size() < size) input += "a line of text\r\n";
        writeFile(path("in.txt"), input);
        auto result = run({"in.txt", "/dev/full"});
        EXPECT_EQ(result.status, 252);
        EXPECT_EQ(result.output, kBanner +
                                     "\nFichier source : 'in.txt'\nFichier destination : "
                                     "'/dev/full'\nAjout des numeros de lignes a la fin du "
                                     "fichier\nErreur d'ecriture dans le fichier destination "
                                     "(/dev/full)");
    }
}

TEST_F(Linenum, ReturnsMinusThreeWhenTheSourceCannotBeRead) {
    // Reading the start of a process's memory map fails with an input/output error.
    auto result = run({"/proc/self/mem", "out.txt"});
    EXPECT_EQ(result.status, 253);
    EXPECT_NE(result.output.find("\nErreur de lecture du fichier source (/proc/self/mem)"),
              std::string::npos);
    EXPECT_EQ(result.output.find("Termine"), std::string::npos);
}

}  // namespace

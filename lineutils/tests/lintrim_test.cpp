// lintrim run as a real process on real files.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "lineutils/tests/program_runner.h"

using lineutils_test::ByteSource;
using lineutils_test::readFile;
using lineutils_test::runProgram;
using lineutils_test::writeFile;

namespace {

const std::string kBanner =
    "\nAjout de retour a la ligne a une position donnee."
    "\nMorvex Fylatek - 2026"
    "\nSyntaxe : lintrim.exe <position> <fichier source> <fichier cible>";

// Everything a successful run prints, progress lines given apart.
std::string successOutput(int position, long long bytes, long long lines, long long last,
                          const std::string& progress = "") {
    char text[512];
    std::snprintf(text, sizeof text,
                  "\n(i) Ajout d'un CR/LF tous les %i caracteres\nLecture...\n%s"
                  "\n(i) %lld octets ont ete lus\n(i) %lld lignes ont ete creees"
                  "\n(i) La derniere ligne est composee de %lld caracteres\n(i) Termine.",
                  position, progress.c_str(), bytes, lines, last);
    return kBanner + text;
}

// Start of the output of a run that fails after reading its position.
std::string failureOutput(int position, const std::string& message) {
    return kBanner + "\n(i) Ajout d'un CR/LF tous les " + std::to_string(position) + " caracteres" +
           message;
}

// What the copy must be: CR LF after every `position` bytes, line ends counted as bytes.
std::string referenceTrim(const std::string& input, long long position) {
    std::string out;
    long long line = 0;
    for (char c : input) {
        out += c;
        if (++line == position) {
            out += "\r\n";
            line = 0;
        }
    }
    return out;
}

class Lintrim : public lineutils_test::ScratchDirTest {
protected:
    lineutils_test::ProgramRun run(const std::vector<std::string>& args) {
        return runProgram(LINTRIM_PATH, args, dir_.path());
    }
};

// One copy and what it must give.
struct TrimCase {
    const char* name;      // what the case shows
    const char* argument;  // position as typed
    int position;          // position as read
    std::string input;     // source bytes
    std::string expected;  // target bytes
    long long lines;       // breaks reported
    long long last;        // last line length reported
};

TEST_F(Lintrim, CopiesEverySourceWithBreaksAtThePosition) {
    const std::string zeroAndFF("\0\xff\xff\0\x01", 5);
    const TrimCase cases[] = {
        {"breaks inside text", "3", 3, "abcdefgh", "abc\r\ndef\r\ngh", 2, 2},
        {"exact multiple ends with CR LF", "3", 3, "abcdef", "abc\r\ndef\r\n", 2, 0},
        {"CR and LF count as two bytes", "4", 4, "ab\r\ncd\r\n", "ab\r\n\r\ncd\r\n\r\n", 2, 0},
        {"bare LF does not reset the line", "4", 4, "ab\ncdef", "ab\nc\r\ndef", 1, 3},
        {"no final line end", "10", 10, "line1\nline2", "line1\nline\r\n2", 1, 1},
        {"position 0 copies", "0", 0, "ab\ncd", "ab\ncd", 0, 5},
        {"negative position copies", "-2", -2, "ab\r\ncd", "ab\r\ncd", 0, 6},
        {"non-numeric position copies", "abc", 0, "abcd", "abcd", 0, 4},
        {"leading digits count", "2x", 2, "abcde", "ab\r\ncd\r\ne", 2, 1},
        {"position past the end", "100", 100, "short", "short", 0, 5},
        {"bytes 0 and 255 are copied", "2", 2, zeroAndFF,
         std::string("\0\xff\r\n\xff\0\r\n\x01", 9), 2, 1},
        {"empty source", "5", 5, "", "", 0, 0},
    };
    for (const TrimCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path("in.txt"), c.input);
        auto result = run({c.argument, "in.txt", "out.txt"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(readFile(path("out.txt")), c.expected);
        EXPECT_EQ(result.output, successOutput(c.position, static_cast<long long>(c.input.size()),
                                               c.lines, c.last));
    }
}

TEST_F(Lintrim, MatchesTheByteModelAcrossBlockBoundaries) {
    // A little over three read blocks of every byte value, 0, 255, CR and LF included.
    std::string input;
    ByteSource bytes(12345);
    for (size_t i = 0; i < 3 * 1048576 + 12345; ++i) input += static_cast<char>(bytes.next());
    writeFile(path("in.bin"), input);
    for (long long position : {7LL, 1022LL, 1048576LL, 1048577LL}) {
        SCOPED_TRACE(position);
        auto result = run({std::to_string(position), "in.bin", "out.bin"});
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(readFile(path("out.bin")) == referenceTrim(input, position));
        long long size = static_cast<long long>(input.size());
        EXPECT_EQ(result.output, successOutput(static_cast<int>(position), size, size / position,
                                               size % position, "\r1 Mo lus\r2 Mo lus\r3 Mo lus"));
    }
}

TEST_F(Lintrim, PrintsOneProgressLinePerMillionBytes) {
    struct ProgressCase {
        size_t size;           // source length
        const char* progress;  // progress lines expected
    };
    const ProgressCase cases[] = {
        {999999, ""},
        {1000000, "\r1 Mo lus"},
        {1999999, "\r1 Mo lus"},
        {2000000, "\r1 Mo lus\r2 Mo lus"},
        {2097152, "\r1 Mo lus\r2 Mo lus"},
        // The 21st read block crosses two millions at once.
        {22000000,
         "\r1 Mo lus\r2 Mo lus\r3 Mo lus\r4 Mo lus\r5 Mo lus\r6 Mo lus\r7 Mo lus"
         "\r8 Mo lus\r9 Mo lus\r10 Mo lus\r11 Mo lus\r12 Mo lus\r13 Mo lus"
         "\r14 Mo lus\r15 Mo lus\r16 Mo lus\r17 Mo lus\r18 Mo lus\r19 Mo lus"
         "\r20 Mo lus\r21 Mo lus\r22 Mo lus"},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.size);
        writeFile(path("in.txt"), std::string(c.size, 'x'));
        auto result = run({"0", "in.txt", "out.txt"});
        EXPECT_EQ(result.status, 0);
        long long size = static_cast<long long>(c.size);
        EXPECT_EQ(result.output, successOutput(0, size, 0, size, c.progress));
        EXPECT_EQ(std::filesystem::file_size(path("out.txt")), c.size);
    }
}

// Every refusal and every input/output error: status 1, the exact dialogue, the source intact.
TEST_F(Lintrim, FailsWithStatusOneAndItsMessage) {
    writeFile(path("in.txt"), "abcdef");
    writeFile(path("big.txt"), std::string(3000000, 'x'));
    ASSERT_EQ(link(path("in.txt").c_str(), path("hard.txt").c_str()), 0);
    std::filesystem::create_directory(path("folder"));
    const std::string noSource =
        failureOutput(3, "\n(!) Impossible d'ouvrir le fichier source specifie.");
    const std::string noTarget =
        failureOutput(3, "\n(!) Impossible d'ouvrir le fichier de sortie specifie.");
    const std::string same =
        failureOutput(3, "\n(!) Le fichier de sortie doit etre different du fichier source.");
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"3", "in.txt"}, kBanner + "\n(!) Nombre de parametres insuffisant."},
        {{"3", "missing.txt", "out.txt"}, noSource},
        {{"3", "folder", "out.txt"}, noSource},
        {{"3", "in.txt", "folder"}, noTarget},
        {{"3", "in.txt", "no/such/dir/out.txt"}, noTarget},
        // The source given again as target is never emptied.
        {{"3", "in.txt", "in.txt"}, same},
        {{"3", "in.txt", "./in.txt"}, same},
        {{"3", "in.txt", "hard.txt"}, same},
        {{"80", "big.txt", "/dev/full"},
         failureOutput(
             80, "\nLecture...\n\n(!) Erreur d'ecriture dans le fichier de sortie specifie.")},
        // Reading the start of a process's memory map fails with an input/output error.
        {{"3", "/proc/self/mem", "out.txt"},
         failureOutput(3, "\nLecture...\n\n(!) Erreur de lecture du fichier source specifie.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        auto result = run(c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(readFile(path("in.txt")), "abcdef");
        if (c.output == noSource) {
            EXPECT_FALSE(std::filesystem::exists(path("out.txt")));
        }
    }
}

TEST_F(Lintrim, ReportsASmallWriteToAFullDiskAsAFailure) {
    // Small enough to stay in the output block until the final flush.
    writeFile(path("in.txt"), "abc");
    auto result = run({"2", "in.txt", "/dev/full"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.find("Termine"), std::string::npos);
    EXPECT_NE(result.output.find("(!) Erreur d'ecriture"), std::string::npos);
}

}  // namespace

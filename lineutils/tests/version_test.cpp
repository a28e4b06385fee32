// --version and --help of the two utilities: answered alone, status 0, nothing else done.
#include <gtest/gtest.h>

#include <string>

#include "foundation/version.h"
#include "lineutils/tests/program_runner.h"

namespace {

class VersionAndHelp : public lineutils_test::ScratchDirTest {};

}  // namespace

TEST_F(VersionAndHelp, EachUtilityAnswersAloneWithStatusZero) {
    const struct {
        const char* name;
        const char* path;
        const char* usage;  // the first line of its help
    } programs[] = {
        {"lintrim", LINTRIM_PATH, "Utilisation : lintrim POSITION SOURCE CIBLE\n"},
        {"linenum", LINENUM_PATH, "Utilisation : linenum SOURCE [CIBLE]\n"},
    };
    for (const auto& p : programs) {
        auto version = lineutils_test::runProgram(p.path, {"--version"}, dir_.path());
        EXPECT_EQ(version.status, 0) << p.name;
        EXPECT_EQ(version.output, morvex::versionText(p.name)) << p.name;
        auto help = lineutils_test::runProgram(p.path, {"--help"}, dir_.path());
        EXPECT_EQ(help.status, 0) << p.name;
        EXPECT_EQ(help.output.rfind(p.usage, 0), 0u) << help.output;
        EXPECT_NE(help.output.find("--version"), std::string::npos) << p.name;
    }
    // With other arguments they are file names as before: linenum reads "--help" as its source.
    auto named = lineutils_test::runProgram(LINENUM_PATH, {"--help", "out.txt"}, dir_.path());
    EXPECT_NE(named.status, 0);
}

#include "foundation/trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"

using morvex::TraceCapture;

TEST(Trace, CaptureCollectsFormattedLinesAndRestoresTheStream) {
    {
        TraceCapture outer;
        morvex::trace("\n[%s] : %i", "ReadRow", 42);
        {
            TraceCapture inner;
            morvex::trace("\ninner");
            EXPECT_EQ(inner.text(), "\ninner");
        }
        morvex::traceText("\nafter");
        EXPECT_EQ(outer.text(), "\n[ReadRow] : 42\nafter");
        outer.clear();
        morvex::trace("x");
        EXPECT_EQ(outer.text(), "x");
    }
}

TEST(Trace, OpenFileTruncatesAndReceivesEveryLine) {
    std::string path = testing::TempDir() + "trace_test_" + std::to_string(getpid()) + ".log";
    {
        std::ofstream old(path);
        old << "old content that must disappear";
    }
    ASSERT_TRUE(morvex::traceOpenFile(path.c_str()));
    morvex::trace("\n[Start] %s", "ok");
    morvex::traceClose();
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "\n[Start] ok");
    EXPECT_FALSE(morvex::traceOpenFile("/nonexistent-dir/x/trace.log"));
}

// Another user may plant a link where a log is written: it is never followed, so its target
// keeps its bytes. A new log file is readable by its owner only.
TEST(Trace, OpenFileNeverFollowsAPlantedLinkAndCreatesAPrivateFile) {
    morvex::testing::TempDir dir("trace");
    const std::string target = dir.write("target.txt", "precious");
    const std::string planted = dir.file("planted.log");
    ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
    EXPECT_FALSE(morvex::traceOpenFile(planted.c_str()));
    EXPECT_EQ(morvex::testing::readFile(target), "precious");

    const std::string log = dir.file("fresh.log");
    ASSERT_TRUE(morvex::traceOpenFile(log.c_str()));
    morvex::trace("\n[Start] %s", "ok");
    morvex::traceClose();
    EXPECT_EQ(morvex::testing::readFile(log), "\n[Start] ok");
    struct stat st;
    ASSERT_EQ(stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Trace, LinesFromSeveralThreadsNeverInterleave) {
    TraceCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) morvex::trace("\n[T%i] line %04i end", t, i);
        });
    for (auto& th : threads) th.join();
    std::istringstream lines(capture.text());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        ++count;
        EXPECT_EQ(line.size(), std::string("[T0] line 0000 end").size()) << line;
    }
    EXPECT_EQ(count, 800);
}

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

// A log that another user created beforehand, a named pipe at the log's place, or a log in a
// folder that everybody may write without the sticky bit: refused (the pipe without waiting),
// the file left as it was, and the trace goes to the private default folder with a warning.
TEST(Trace, OpenLogRefusesAFileOthersControlAndFallsBackToThePrivateFolder) {
    morvex::testing::TempDir dir("trace");
    const std::string state = dir.file("state");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string shared = dir.file("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    const std::string foreign = dir.write("shared/foreign.log", "theirs");
    ASSERT_EQ(chown(foreign.c_str(), geteuid() + 1, getegid()), 0);
    const std::string fifo = shared + "/tube.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string open = dir.file("open");
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);  // mkdir's mode goes through the umask
    const std::string sticky = dir.file("sticky");
    ASSERT_EQ(mkdir(sticky.c_str(), 0700), 0);
    ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);

    struct Case {
        std::string path;
        const char* reason;  // part of the warning; nullptr when the log is taken
    };
    const Case cases[] = {
        {foreign, "appartient à un autre utilisateur"},
        {fifo, "n'est pas un fichier ordinaire"},
        {open + "/morvexcli.log", "peut être modifié par d'autres utilisateurs"},
        {sticky + "/morvexcli.log", nullptr},
        {shared + "/mine.log", nullptr},
    };
    for (const Case& c : cases) {
        std::string warning;
        const std::string opened = morvex::traceOpenLog(c.path, &warning);
        morvex::trace("requete");
        morvex::traceClose();
        const std::string name = c.path.substr(c.path.find_last_of('/') + 1);
        if (c.reason) {
            EXPECT_NE(warning.find(c.reason), std::string::npos) << c.path << ": " << warning;
            EXPECT_EQ(opened, state + "/MorvexFylatek/" + name);
            EXPECT_EQ(morvex::testing::readFile(opened), "requete");
        } else {
            EXPECT_EQ(warning, "") << c.path;
            EXPECT_EQ(opened, c.path);
            EXPECT_EQ(morvex::testing::readFile(c.path), "requete");
        }
    }
    EXPECT_EQ(morvex::testing::readFile(foreign), "theirs");
    // The null device is the one file that is not ordinary and still taken: nothing is kept.
    std::string warning;
    EXPECT_EQ(morvex::traceOpenLog("/dev/null", &warning), "/dev/null");
    EXPECT_EQ(warning, "");
    morvex::trace("requete");
    morvex::traceClose();
    unsetenv("XDG_STATE_HOME");
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

// Helpers of the line utility tests: a scratch directory per test, whole-file reads and writes,
// and running a built program as a real process with its standard output captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"

namespace lineutils_test {

// What a finished program left behind.
struct ProgramRun {
    int status = -1;     // exit status as the shell sees it (0..255), -1 if it did not exit
    std::string output;  // everything it wrote to standard output
};

// Runs `program` with `args` in directory `cwd`; argv[0] is `program` itself.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& cwd) {
    ProgramRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(cwd.c_str()) != 0) _exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char chunk[65536];
    ssize_t got;
    while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0)
        run.output.append(chunk, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int waitStatus = 0;
    if (child > 0 && waitpid(child, &waitStatus, 0) == child && WIFEXITED(waitStatus))
        run.status = WEXITSTATUS(waitStatus);
    return run;
}

// The whole content of a file, byte for byte ("" when it cannot be read).
using morvex::testing::readFile;

// Creates or replaces a file with exactly `content`.
inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

// A fixture giving each test an empty directory of its own, removed afterwards.
class ScratchDirTest : public testing::Test {
protected:
    // Path of `name` inside the scratch directory.
    std::string path(const std::string& name) const { return dir_.file(name); }

    morvex::testing::TempDir dir_{"lineutils"};  // the scratch directory
};

// Deterministic pseudo-random bytes (xorshift), so that failures can be replayed.
class ByteSource {
public:
    explicit ByteSource(unsigned long long seed) : state_(seed | 1) {}
    unsigned next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<unsigned>(state_ >> 24);
    }

private:
    unsigned long long state_;  // generator state, never 0
};

}  // namespace lineutils_test

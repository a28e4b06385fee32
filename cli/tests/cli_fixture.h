// Runs the real morvexcli in a temporary folder with its own settings and logs directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "filedesc/filedesc.h"
#include "foundation/trace.h"

namespace morvex::testing {

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

struct RunResult {
    int status;       // exit status
    std::string out;  // standard output
    std::string err;  // standard error
};

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("morvexcli_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "config");
        std::filesystem::create_directories(dir_ / "logs");
        // The settings point the logs directory at our folder.
        writeFile(dir_ / "config" / "MorvexFylatek.ini",
                  "[Software\\MorvexFylatek]\nLogsDirectory=" + (dir_ / "logs").string() + "\n");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs morvexcli with `args` (shell words) in the test folder, standard input from `input`.
    RunResult run(const std::string& args, const std::string& input = "") {
        std::string out = (dir_ / "stdout.txt").string(), err = (dir_ / "stderr.txt").string();
        std::string in = (dir_ / "stdin.txt").string();
        writeFile(in, input);
        std::string cmd = "cd '" + dir_.string() + "' && MORVEX_CONFIG_DIR='" +
                          (dir_ / "config").string() + "' '" + MORVEXCLI_PATH + "' " + args +
                          " <'" + in + "' >'" + out + "' 2>'" + err + "'";
        int raw = system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
    }

    std::filesystem::path dir_;
    morvex::TraceCapture quiet_;  // keeps the in-process trace out of the test output
};

}  // namespace morvex::testing

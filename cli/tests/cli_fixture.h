// Runs the real morvexcli in a temporary folder with its own settings and logs directory.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"
#include "foundation/testing/files.h"
#include "foundation/testing/textassert.h"
#include "foundation/trace.h"

namespace morvex::testing {

using morvex::testing::readFile;

inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

using morvex::testing::Contains;
using morvex::testing::StartsWith;

// Passes when `actual` holds `expected`: an object may have more members, an array has the same
// length and an element `{}` stands for any object; other values are equal. The message names the
// first difference by its path.
inline ::testing::AssertionResult Includes(const nlohmann::json& actual,
                                           const nlohmann::json& expected,
                                           const std::string& at = "") {
    if (expected.is_object() && actual.is_object()) {
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (!actual.contains(it.key()))
                return ::testing::AssertionFailure() << at << "/" << it.key() << " is missing";
            auto r = Includes(actual.at(it.key()), it.value(), at + "/" + it.key());
            if (!r) return r;
        }
        return ::testing::AssertionSuccess();
    }
    if (expected.is_array() && actual.is_array() && actual.size() == expected.size()) {
        for (size_t i = 0; i < expected.size(); ++i) {
            auto r = Includes(actual[i], expected[i], at + "/" + std::to_string(i));
            if (!r) return r;
        }
        return ::testing::AssertionSuccess();
    }
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << at << " is " << actual.dump() << ", expected " << expected.dump();
}

struct RunResult {
    int status;       // exit status
    std::string out;  // standard output
    std::string err;  // standard error
};

// One column of a test description: code, target type, width in characters (also its varchar
// size) and whether it is ignored. Dates are read as jj/mm/aaaa.
struct TestColumn {
    const char* code;
    int type = 0;
    int width = 0;
    int ignored = 0;
};

// A new description `name` (`structure`, CR LF line ends, ';') of table `table` with `columns`.
inline FileDesc* makeDescription(const char* name, int structure, const char* table,
                                 const std::vector<TestColumn>& columns) {
    FileDesc* d = FILEDESC_CreateFileDesc(name, nullptr, structure, "\\r\\n", ";");
    snprintf(d->TableName, sizeof d->TableName, "%s", table);
    for (const TestColumn& c : columns) {
        ColumnDesc col{};
        snprintf(col.code, sizeof col.code, "%s", c.code);
        col.typeCible.type = c.type;
        col.WidthInChars = c.width;
        col.typeCible.fmtChaineVar.tailleMax = c.width;
        col.IgnoreColumn = c.ignored;
        snprintf(col.typeCible.fmtDate, sizeof col.typeCible.fmtDate, "jj/mm/aaaa");
        FILEDESC_AjouterColonne(d, &col);
    }
    return d;
}

// Saves `d` to `path` and closes it.
inline void saveDescription(FileDesc* d, const std::filesystem::path& path) {
    EXPECT_EQ(FILEDESC_SaveToFile(d, path.string().c_str()), 0);
    FILEDESC_CloseFileDesc(d);
}

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

    // The description `path` as `show --json` prints it.
    nlohmann::json showJson(const std::filesystem::path& path) {
        RunResult r = run("show --json '" + path.string() + "'");
        EXPECT_EQ(r.status, 0) << r.err;
        return nlohmann::json::parse(r.out);
    }

    // clients.fyk: table CLIENT with ID (integer, 5), NOM (varchar 30, ignored when
    // `ignoreNom`) and DT (date, 10), whose example file clients.csv holds a header line and
    // `rows`; `structure` 1 fixed-width, 2 delimited.
    void writeClients(const std::string& rows, int structure = 2, bool ignoreNom = false) {
        writeFile(dir_ / "clients.csv", "ID;NOM;DT\r\n" + rows);
        FileDesc* d = makeDescription("Clients", structure, "CLIENT",
                                      {{"ID", DATATYPE_INTEGER, 5},
                                       {"NOM", DATATYPE_VARIABLECHAR, 30, ignoreNom},
                                       {"DT", DATATYPE_DATE, 10}});
        d->FirstLineIsHeader = 1;
        d->BeginFromLine = 1;
        d->ExampleFilePath = strdup((dir_ / "clients.csv").string().c_str());
        saveDescription(d, dir_ / "clients.fyk");
    }

    std::filesystem::path dir_;
    morvex::TraceCapture quiet_;  // keeps the in-process trace out of the test output
};

}  // namespace morvex::testing

// A throw-away PostgreSQL cluster for tests that talk to a server from their own process:
// pg_virtualenv started in the background (one cluster at a time on the machine, under the
// lock the other PostgreSQL tests and benches take), a shell prelude run inside it, then its PG
// variables (host, port, user, password, database) set in this process's environment; the
// cluster is dropped when the object goes. Tests that only run commands wrap them in
// pg_virtualenv themselves.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "foundation/testing/files.h"

namespace morvex::testing {

class ThrowAwayCluster {
public:
    // Starts the cluster with its files in `dir` (which must outlive the object) and runs
    // `prelude` (shell lines, in `dir`, with the cluster's PG variables) before exporting them.
    explicit ThrowAwayCluster(const std::string& dir, const std::string& prelude = "")
        : dir_(dir) {
        std::ofstream(dir_ + "/cluster.sh")
            << "set -e\ncd '" << dir_ << "'\n"
            << prelude << "\nenv | grep '^PG' > env.part && mv env.part env\n"
            // Down after five minutes even if the test died without saying so.
            << "for i in $(seq 1 1500); do [ -e stop ] && break; sleep 0.2; done\n";
        const std::string command = "(flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv sh '" +
                                    dir_ + "/cluster.sh' > '" + dir_ + "/cluster.log' 2>&1; touch '" +
                                    dir_ + "/done') &";
        started_ = std::system(command.c_str()) == 0;
        if (!started_ || !waitFor("env", 240)) return;
        std::ifstream in(dir_ + "/env");
        std::string line;
        while (std::getline(in, line)) {
            const size_t equal = line.find('=');
            if (equal != std::string::npos)
                setenv(line.substr(0, equal).c_str(), line.substr(equal + 1).c_str(), 1);
        }
        ready_ = true;
    }
    ~ThrowAwayCluster() {
        if (!started_) return;
        std::ofstream(dir_ + "/stop") << "";
        waitFor("done", 120);
    }
    ThrowAwayCluster(const ThrowAwayCluster&) = delete;
    ThrowAwayCluster& operator=(const ThrowAwayCluster&) = delete;

    // The cluster is up, the prelude done and the variables set.
    bool ready() const { return ready_; }
    // What pg_virtualenv and the prelude wrote.
    std::string log() const { return readFile(dir_ + "/cluster.log"); }
    // "dbname=<the cluster's database>".
    static std::string connection() {
        const char* db = getenv("PGDATABASE");
        return std::string("dbname=") + (db ? db : "");
    }

private:
    bool waitFor(const std::string& name, int seconds) const {
        for (int i = 0; i < seconds * 10; ++i) {
            if (std::filesystem::exists(dir_ + "/" + name)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string dir_;
    bool started_ = false;
    bool ready_ = false;
};

}  // namespace morvex::testing

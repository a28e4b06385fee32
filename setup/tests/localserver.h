#include "foundation/testing/files.h"
// Local web servers for the update tests: python3's http.server over a folder, or a small
// python script of the test's own, on a free loopback port. The server is killed when the
// object goes away (and when the test program dies). Also a whole-file read for the checks.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace morvex::testing {

// The whole content of a file, byte for byte ("" when it cannot be read).
using morvex::testing::readFile;

// A loopback port that nobody listens on right now.
inline int freeLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    close(s);
    return port;
}

// True when something accepts connections on the loopback port.
inline bool loopbackPortOpen(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(s);
    return ok;
}

// A socket that listens on a loopback port and never answers: the kernel completes the
// connections, nobody reads the requests.
class SilentServer {
public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            listen(fd_, 16) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            port_ = ntohs(addr.sin_port);
        }
    }
    ~SilentServer() {
        if (fd_ >= 0) close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;   // the listening socket
    int port_ = 0;  // its port
};

// A python3 server process on a loopback port.
class LocalServer {
public:
    // python3 -m http.server serving `root`.
    static std::unique_ptr<LocalServer> serveDirectory(const std::string& root) {
        return start([&root](int port) {
            return std::vector<std::string>{
                "python3", "-m",        "http.server", std::to_string(port),
                "--bind",  "127.0.0.1", "--directory", root};
        });
    }
    // python3 `script` PORT.
    static std::unique_ptr<LocalServer> runScript(const std::string& script) {
        return start([&script](int port) {
            return std::vector<std::string>{"python3", script, std::to_string(port)};
        });
    }

    ~LocalServer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    LocalServer(pid_t pid, int port) : pid_(pid), port_(port) {}

    // Starts the command on a free port and waits until it accepts connections; nullptr when
    // it never does (three ports tried, ten seconds each).
    template <typename Command>
    static std::unique_ptr<LocalServer> start(Command command) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int port = freeLoopbackPort();
            if (port == 0) continue;
            const std::vector<std::string> args = command(port);
            std::vector<char*> argv;  // built before the fork: the child only calls exec
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            const pid_t pid = fork();
            if (pid < 0) return nullptr;
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                const int null = open("/dev/null", O_RDWR);
                if (null >= 0) {
                    dup2(null, 1);
                    dup2(null, 2);
                }
                execvp(argv[0], argv.data());
                _exit(127);
            }
            std::unique_ptr<LocalServer> server(new LocalServer(pid, port));
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (std::chrono::steady_clock::now() < deadline) {
                if (loopbackPortOpen(port)) return server;
                int status = 0;
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    server->pid_ = 0;  // it died (port taken meanwhile?): try another port
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        return nullptr;
    }

    pid_t pid_;  // the python process
    int port_;   // its port
};

// A server script that answers every request with a short body under a longer Content-Length,
// then closes the connection: a transfer cut in the middle.
inline const char* truncatingServerScript() {
    return "import socket, sys\n"
           "s = socket.socket()\n"
           "s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
           "s.bind(('127.0.0.1', int(sys.argv[1])))\n"
           "s.listen(16)\n"
           "while True:\n"
           "    c, _ = s.accept()\n"
           "    try:\n"
           "        c.settimeout(5)\n"
           "        data = b''\n"
           "        while b'\\r\\n\\r\\n' not in data:\n"
           "            chunk = c.recv(4096)\n"
           "            if not chunk:\n"
           "                break\n"
           "            data += chunk\n"
           "        c.sendall(b'HTTP/1.1 200 OK\\r\\nContent-Length: 1000\\r\\n'\n"
           "                  b'Connection: close\\r\\n\\r\\nshort body')\n"
           "    except Exception:\n"
           "        pass\n"
           "    finally:\n"
           "        c.close()\n";
}

}  // namespace morvex::testing

// Downloads against real local servers: what lands on disk, what stays when a transfer fails,
// and the trace of every step.
#include "setup/core/download.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "setup/tests/localserver.h"

namespace fs = std::filesystem;
using morvex::testing::LocalServer;
using morvex::testing::readFile;
using morvex::testing::SilentServer;
using morvex::testing::TempDir;

namespace {

std::vector<std::string> listDirectory(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Bytes that are not text: every value, repeated.
std::string binaryBody(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return body;
}

// SHA-256 of "abc".
constexpr const char* kAbcSha256 =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = LocalServer::serveDirectory(root_.path());
        ASSERT_NE(server_, nullptr) << "python3 -m http.server did not start";
        fs::create_directories(root_.file("pkg"));
    }
    // Publishes `bytes` as /pkg/<name> and returns its address.
    std::string publish(const std::string& name, const std::string& bytes) {
        root_.write("pkg/" + name, bytes);
        return server_->url() + "/pkg/" + name;
    }

    TempDir root_{"setup_dl_root"};      // what the server serves
    TempDir target_{"setup_dl_target"};  // where files are installed
    std::unique_ptr<LocalServer> server_;
};

TEST_F(Download, FetchesABinaryFileOverLoopbackHttpAndTracesEveryStep) {
    const std::string body = binaryBody(200000);
    const std::string url = publish("data.bin", body);
    morvex::TraceCapture trace;

    ASSERT_TRUE(DOWNLOAD_File(url.c_str(), target_.file("data.bin").c_str(), nullptr));

    EXPECT_EQ(readFile(target_.file("data.bin")), body);
    const std::string text = trace.text();
    EXPECT_EQ(text.rfind("\nInternetOpenUrl:[" + url + "]OK\n[Downloading=", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with("\n[Downloading=200000]")) << text;
    EXPECT_EQ(listDirectory(target_.path()), std::vector<std::string>{"data.bin"});
}

// An install replaces the previous file, keeps its permissions, and accepts a digest in either
// case; an empty file is installed empty.
TEST_F(Download, ReplacesAnExistingFileKeepingItsPermissions) {
    std::string upperDigest = kAbcSha256;
    for (char& c : upperDigest) c = static_cast<char>(std::toupper(c));
    const struct {
        const char* name;
        std::string bytes;
        std::string digest;
    } cases[] = {{"empty.txt", "", ""},
                 {"morvex", "#!/bin/sh\necho new\n", ""},
                 {"abc.txt", "abc", upperDigest}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string url = publish(c.name, c.bytes);
        const std::string local = target_.write(c.name, "previous content");
        chmod(local.c_str(), 0750);
        DOWNLOAD_OPTIONS options;
        options.expectedSha256 = c.digest;
        ASSERT_TRUE(
            DOWNLOAD_File(url.c_str(), local.c_str(), c.digest.empty() ? nullptr : &options));
        EXPECT_EQ(readFile(local), c.bytes);
        struct stat st {};
        ASSERT_EQ(stat(local.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0750u);
    }
}

// Every way a transfer can fail leaves the previous file as it was and no temporary file.
TEST_F(Download, AFailedTransferLeavesThePreviousFileUntouched) {
    auto truncating = LocalServer::runScript(
        root_.write("truncating.py", morvex::testing::truncatingServerScript()));
    ASSERT_NE(truncating, nullptr);
    const std::string abc = publish("abc.txt", "abc");
    const std::string wrongDigest(64, '0');

    struct Case {
        const char* what;
        std::string url;
        std::string digest;
        std::string expectedTrace;
        std::string reason;  // what the caller is told
    };
    const Case cases[] = {
        {"missing on the server", server_->url() + "/pkg/none.zip", "",
         "\nErreur InternetOpenUrl\nErreur : HTTP/1.0 404 File not found",
         "refusé par le serveur : HTTP/1.0 404 File not found"},
        {"cut short", truncating->url() + "/pkg/tool.zip", "",
         "OK\n[Downloading=10]\nErreur : transfert interrompu avant la fin du fichier",
         "transfert interrompu avant la fin du fichier"},
        {"nobody listening",
         "http://127.0.0.1:" + std::to_string(morvex::testing::freeLoopbackPort()) + "/x.zip", "",
         "\nErreur InternetOpenUrl\nErreur : ", "connexion au serveur impossible"},
        {"wrong digest", abc, wrongDigest,
         "\nEmpreinte SHA-256 différente pour [" + target_.file("keep.txt") + "] : attendue " +
             wrongDigest + ", reçue " + kAbcSha256,
         "empreinte SHA-256 différente"},
        {"malformed digest", abc, "12345", "\nEmpreinte SHA-256 invalide [12345]",
         "empreinte SHA-256 invalide dans la liste des fichiers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string local = target_.write("keep.txt", "precious");
        DOWNLOAD_OPTIONS options;
        options.expectedSha256 = c.digest;
        options.connectTimeoutSeconds = 5;
        options.stallTimeoutSeconds = 5;
        morvex::TraceCapture trace;

        std::string reason;
        EXPECT_FALSE(DOWNLOAD_File(c.url.c_str(), local.c_str(), &options, &reason));
        EXPECT_EQ(reason, c.reason);

        EXPECT_EQ(readFile(local), "precious");
        EXPECT_EQ(listDirectory(target_.path()), std::vector<std::string>{"keep.txt"});
        EXPECT_NE(trace.text().find(c.expectedTrace), std::string::npos) << trace.text();
    }
}

TEST_F(Download, ALocalFileThatCannotBeCreatedIsReported) {
    const std::string url = publish("a.txt", "a");
    const std::string local = target_.file("missing-folder/a.txt");
    morvex::TraceCapture trace;
    std::string reason;
    EXPECT_FALSE(DOWNLOAD_File(url.c_str(), local.c_str(), nullptr, &reason));
    EXPECT_EQ(trace.text(), "\nInternetOpenUrl:[" + url + "]OK\nImpossible d'ouvrir le fichier [" +
                                local + "]\nErreur : fichier ou dossier introuvable");
    EXPECT_EQ(reason, "fichier ou dossier introuvable");
}

// What a failed transfer tells, in words rather than the client library's numbers.
TEST(DownloadErrorText, GivesFrenchWordsForTheClientLibraryCodes) {
    const std::pair<CURLcode, const char*> cases[] = {
        {CURLE_OPERATION_TIMEDOUT, "délai dépassé"},
        {CURLE_PARTIAL_FILE, "transfert interrompu avant la fin du fichier"},
        {CURLE_COULDNT_RESOLVE_HOST, "serveur introuvable"},
        {CURLE_COULDNT_CONNECT, "connexion au serveur impossible"},
        {CURLE_PEER_FAILED_VERIFICATION, "certificat du serveur refusé"},
        {CURLE_TOO_MANY_REDIRECTS, "trop de redirections"},
        {CURLE_WRITE_ERROR, "écriture du fichier impossible"},
        {CURLE_RECV_ERROR, "erreur de réception sur le réseau"},
        {CURLE_ABORTED_BY_CALLBACK, "interrompu à la demande"},
        {CURLE_TELNET_OPTION_SYNTAX, "erreur de transfert 49"},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(DOWNLOAD_CurlErrorText(code), text) << code;
}

TEST(DownloadAddress, OnlyHttpsOrHttpToThisMachineIsAllowed) {
    const std::pair<const char*, bool> cases[] = {
        {"https://morvex-fylatek.example.org/releases/a.zip", true},
        {"HTTPS://Example.ORG/a.zip", true},
        {"http://127.0.0.1:8000/a.zip", true},
        {"http://127.1.2.3/a.zip", true},
        {"http://localhost/a.zip", true},
        {"http://[::1]:8080/a.zip", true},
        {"http://example.org/a.zip", false},
        {"http://127.0.0.1.example.org/a.zip", false},
        {"http://10.0.0.1/a.zip", false},
        {"ftp://127.0.0.1/a.zip", false},
        {"file:///etc/passwd", false},
        {"a.zip", false},
        {"", false},
    };
    for (const auto& [url, allowed] : cases) EXPECT_EQ(DOWNLOAD_IsAllowedUrl(url), allowed) << url;
    EXPECT_FALSE(DOWNLOAD_IsAllowedUrl(nullptr));
}

TEST(DownloadAddress, APlainHttpAddressElsewhereIsRefusedWithoutContactingIt) {
    TempDir target("setup_dl_refused");
    morvex::TraceCapture trace;
    EXPECT_FALSE(
        DOWNLOAD_File("http://example.invalid/a.zip", target.file("a.zip").c_str(), nullptr));
    EXPECT_EQ(trace.text(),
              "\nInternetOpenUrl:[http://example.invalid/a.zip]\nErreur InternetOpenUrl\nErreur : "
              "adresse refusée (HTTPS exigé, HTTP seulement vers la machine locale)");
    EXPECT_FALSE(fs::exists(target.file("a.zip")));
}

TEST(DownloadSecurity, AServerWithAnUntrustedCertificateIsRefused) {
    TempDir dir("setup_dl_tls");
    const std::string key = dir.file("key.pem");
    const std::string cert = dir.file("cert.pem");
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key + "' -out '" + cert + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "the openssl command failed or is absent";
    dir.write("served.txt", "secret");
    const std::string script =
        dir.write("tls.py",
                  "import functools, http.server, ssl, sys\n"
                  "handler = functools.partial(http.server.SimpleHTTPRequestHandler,\n"
                  "                            directory='" +
                      dir.path() +
                      "')\n"
                      "srv = http.server.HTTPServer(('127.0.0.1', int(sys.argv[1])), handler)\n"
                      "ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
                      "ctx.load_cert_chain('" +
                      cert + "', '" + key +
                      "')\n"
                      "srv.socket = ctx.wrap_socket(srv.socket, server_side=True)\n"
                      "srv.serve_forever()\n");
    auto server = LocalServer::runScript(script);
    ASSERT_NE(server, nullptr);
    const std::string url = "https://127.0.0.1:" + std::to_string(server->port()) + "/served.txt";
    DOWNLOAD_OPTIONS options;
    options.connectTimeoutSeconds = 5;
    options.stallTimeoutSeconds = 5;
    morvex::TraceCapture trace;

    EXPECT_FALSE(DOWNLOAD_File(url.c_str(), dir.file("got.txt").c_str(), &options));

    EXPECT_NE(trace.text().find("\nErreur InternetOpenUrl\nErreur : SSL certificate problem"),
              std::string::npos)
        << trace.text();
    EXPECT_FALSE(fs::exists(dir.file("got.txt")));
}

TEST(DownloadLimits, AServerThatNeverAnswersIsGivenUpOn) {
    SilentServer silent;
    TempDir target("setup_dl_silent");
    DOWNLOAD_OPTIONS options;
    options.connectTimeoutSeconds = 2;
    options.stallTimeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        DOWNLOAD_File((silent.url() + "/a.zip").c_str(), target.file("a.zip").c_str(), &options));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(fs::exists(target.file("a.zip")));
}

TEST(DownloadLimits, AStopRequestAbandonsAWaitingTransfer) {
    SilentServer silent;
    TempDir target("setup_dl_stop");
    std::atomic<bool> stop{false};
    DOWNLOAD_OPTIONS options;
    options.stop = &stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        DOWNLOAD_File((silent.url() + "/a.zip").c_str(), target.file("a.zip").c_str(), &options));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(DownloadDigest, ComputesTheSha256OfAFile) {
    TempDir dir("setup_dl_sha");
    EXPECT_EQ(DOWNLOAD_FileSha256(dir.write("abc", "abc").c_str()), kAbcSha256);
    EXPECT_EQ(DOWNLOAD_FileSha256(dir.file("none").c_str()), "");
}

}  // namespace

// The update procedure: local names, the manifest, the server address, and whole runs against a
// local server with scripted answers.
#include "setup/core/liveupdate.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "foundation/registry.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "setup/core/download.h"
#include "setup/tests/localserver.h"

namespace fs = std::filesystem;
using morvex::UiAnswer;
using morvex::testing::LocalServer;
using morvex::testing::readFile;
using morvex::testing::TempDir;

namespace {

TEST(LiveUpdateLocalName, IsTheLastSegmentOfTheAddressPath) {
    struct Case {
        const char* url;
        const char* name;
        bool allowed;
    };
    const Case cases[] = {
        {"https://h.example/a/b/tool.zip", "tool.zip", true},
        {"https://h.example/a/b/tool.zip?v=2#top", "tool.zip", true},
        {"https://h.example/dl/my%20file.txt", "my file.txt", true},
        {"https://h.example/..a", "..a", true},
        {"https://h.example/a/b/", "", false},
        {"https://h.example", "", false},
        {"https://h.example/a/.", ".", false},
        {"https://h.example/a/..", "..", false},
        {"https://h.example/a/%2e%2E", "..", false},
        {"https://h.example/a/..%2Fescape.txt", "../escape.txt", false},
        {"https://h.example/a/%2Fetc%2Fpasswd", "/etc/passwd", false},
        {"https://h.example/a/x%5Cy.txt", "x\\y.txt", false},
        {"https://h.example/a/x%00y", std::string("x\0y", 3).c_str(), false},
    };
    for (const Case& c : cases) {
        bool allowed = !c.allowed;
        const std::string name = LIVEUPDATE_LocalName(c.url, &allowed);
        EXPECT_EQ(allowed, c.allowed) << c.url;
        if (std::string(c.url).find("%00") == std::string::npos) {
            EXPECT_EQ(name, c.name) << c.url;
        }
    }
    bool allowed = true;
    LIVEUPDATE_LocalName("https://h.example/" + std::string(256, 'n'), &allowed);
    EXPECT_FALSE(allowed);
}

TEST(LiveUpdateManifest, ReadsOneEntryPerLineWithOptionalDigest) {
    TempDir dir("setup_manifest");
    const std::string digest(64, 'a');
    const std::string longUrl = "https://h.example/" + std::string(2000, 'x');
    const std::string path = dir.write("liveupdate.txt",
                                       "https://h.example/a/b/tool.zip\r\n"
                                       "\r\n"
                                       "   \n"
                                       "https://h.example/lib.so\t" +
                                           digest + "  \r\n" + longUrl +
                                           "\n"
                                           "https://h.example/last.txt");
    std::vector<LIVEUPDATE_ENTRY> entries;
    ASSERT_TRUE(LIVEUPDATE_ReadManifest(path, &entries));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].url, "https://h.example/a/b/tool.zip");
    EXPECT_EQ(entries[0].localName, "tool.zip");
    EXPECT_TRUE(entries[0].nameAllowed);
    EXPECT_EQ(entries[0].sha256, "");
    EXPECT_EQ(entries[1].url, "https://h.example/lib.so");
    EXPECT_EQ(entries[1].sha256, digest);
    // A long line is cut, not split into a second entry.
    EXPECT_EQ(entries[2].url, longUrl.substr(0, LIVEUPDATE_MAX_LINE));
    EXPECT_EQ(entries[3].localName, "last.txt");
}

// A manifest that is no regular file or is larger than the limit is refused, with its reason
// traced, before any of it is read.
TEST(LiveUpdateManifest, RefusesANamedPipeAndAManifestOverItsLimit) {
    TempDir dir("setup_manifest");
    const std::string fifo = dir.file("tube.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.write("big.txt", "https://h.example/a.zip\n");
    fs::resize_file(big, LIVEUPDATE_MAX_MANIFEST + 1);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "est un tube nommé"},
        {big, "dépasse la taille permise (1 048 576 octets)"},
    };
    for (const auto& [path, reason] : cases) {
        std::vector<LIVEUPDATE_ENTRY> entries(1);
        morvex::TraceCapture trace;
        EXPECT_FALSE(LIVEUPDATE_ReadManifest(path, &entries));
        EXPECT_TRUE(entries.empty());
        EXPECT_NE(trace.text().find("Le fichier de description '" + path + "' " + reason),
                  std::string::npos)
            << trace.text();
    }
}

TEST(LiveUpdateServer, EnvironmentOverridesSettingsWhichOverrideTheDefault) {
    TempDir config("setup_config");
    const char* oldConfig = getenv("MORVEX_CONFIG_DIR");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    setenv("MORVEX_CONFIG_DIR", config.path().c_str(), 1);
    unsetenv("MORVEX_UPDATE_URL");

    EXPECT_EQ(LIVEUPDATE_ServerAddress(), "https://morvex-fylatek.example.org/releases");
    auto key = morvex::SettingsKey::create(morvex::kSettingsKeyPath, REG_KEY_ALL_ACCESS);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->set("UpdateServer", ""));
    EXPECT_EQ(LIVEUPDATE_ServerAddress(), "https://morvex-fylatek.example.org/releases");
    ASSERT_TRUE(key->set("UpdateServer", "https://mirror.example.net/morvex"));
    EXPECT_EQ(LIVEUPDATE_ServerAddress(), "https://mirror.example.net/morvex");
    setenv("MORVEX_UPDATE_URL", "http://127.0.0.1:9", 1);
    EXPECT_EQ(LIVEUPDATE_ServerAddress(), "http://127.0.0.1:9");

    unsetenv("MORVEX_UPDATE_URL");
    if (oldConfig)
        setenv("MORVEX_CONFIG_DIR", savedConfig.c_str(), 1);
    else
        unsetenv("MORVEX_CONFIG_DIR");
}

// Everything the procedure showed, and scripted answers to its questions.
struct Recorder {
    std::deque<UiAnswer> answers;  // next answers; No once exhausted
    std::vector<std::string> statuses;
    std::vector<std::string> rows;         // "name|url"
    std::vector<std::string> rowStatuses;  // "row:text"
    std::vector<int> attempted;
    std::vector<int> progress;           // range first, then positions
    std::vector<std::string> questions;  // "caption|text"

    LIVEUPDATE_HOOKS hooks() {
        LIVEUPDATE_HOOKS h;
        h.status = [this](const std::string& t) { statuses.push_back(t); };
        h.addRow = [this](int, const std::string& n, const std::string& u) {
            rows.push_back(n + "|" + u);
        };
        h.rowStatus = [this](int r, const std::string& t) {
            rowStatuses.push_back(std::to_string(r) + ":" + t);
        };
        h.rowAttempted = [this](int r) { attempted.push_back(r); };
        h.progressRange = [this](int r) { progress.push_back(r); };
        h.progress = [this](int p) { progress.push_back(p); };
        h.ask = [this](const std::string& caption, const std::string& text, morvex::UiButtons,
                       morvex::UiIcon) {
            questions.push_back(caption + "|" + text);
            if (answers.empty()) return UiAnswer::No;
            const UiAnswer a = answers.front();
            answers.pop_front();
            return a;
        };
        return h;
    }
};

const std::string kDownloadQuestion = "MorvexSoft LiveUpdate|Télécharger les fichiers ?";
const std::string kInstallQuestion =
    "Morvex Online Setup|Téléchargement des fichiers terminé. Voulez-vous installer maintenant ?";
const std::string kStartQuestion =
    "Morvex Online Setup|L'installation de Morvex est terminée. Voulez-vous démarrer Morvex ?";

class LiveUpdateRun : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_.file("MorvexFylatek"));
        fs::create_directories(root_.file("a/b"));
        fs::create_directories(target());
        server_ = LocalServer::serveDirectory(root_.path());
        ASSERT_NE(server_, nullptr) << "python3 -m http.server did not start";
    }
    std::string url(const std::string& path) const { return server_->url() + path; }
    void writeManifest(const std::string& text) {
        root_.write("MorvexFylatek/liveupdate.txt", text);
    }
    // The target directory sits one level down, so that an escape would be seen.
    std::string target() const { return work_.file("target"); }
    LIVEUPDATE_RESULT run(Recorder& recorder) {
        LIVEUPDATE_JOB job;
        job.server = server_->url();
        job.directory = target();
        job.connectTimeoutSeconds = 5;
        job.stallTimeoutSeconds = 5;
        return LIVEUPDATE_Run(job, recorder.hooks());
    }

    TempDir root_{"setup_run_root"};
    TempDir work_{"setup_run_work"};
    std::unique_ptr<LocalServer> server_;
};

TEST_F(LiveUpdateRun, DownloadsEveryEntryIntoTheTargetDirectory) {
    root_.write("a/b/tool.zip", "zip bytes");
    root_.write("readme.txt", "read me");
    fs::create_directories(target());
    const std::string existing = target() + "/readme.txt";
    std::ofstream(existing) << "old readme";
    writeManifest(url("/a/b/tool.zip") + "\r\n" + url("/readme.txt") + "\r\n");
    Recorder rec;
    rec.answers = {UiAnswer::Yes, UiAnswer::No};
    morvex::TraceCapture trace;

    const LIVEUPDATE_RESULT result = run(rec);

    EXPECT_EQ(result.end, LIVEUPDATE_END::InstallDeclined);
    EXPECT_EQ(result.entries, 2);
    EXPECT_EQ(result.failures, 0);
    EXPECT_EQ(readFile(target() + "/tool.zip"), "zip bytes");
    EXPECT_EQ(readFile(existing), "read me");
    EXPECT_EQ(readFile(target() + "/liveupdate.txt"),
              url("/a/b/tool.zip") + "\r\n" + url("/readme.txt") + "\r\n");
    EXPECT_EQ(rec.statuses, (std::vector<std::string>{
                                "Connexion au serveur pour récupérer le fichier de description...",
                                "Fichier de description téléchargé.", url("/a/b/tool.zip"),
                                url("/readme.txt"), "Terminé"}));
    EXPECT_EQ(rec.rows, (std::vector<std::string>{"tool.zip|" + url("/a/b/tool.zip"),
                                                  "readme.txt|" + url("/readme.txt")}));
    EXPECT_EQ(rec.rowStatuses, (std::vector<std::string>{"0:En cours...", "0:Terminé.",
                                                         "1:En cours...", "1:Terminé."}));
    EXPECT_EQ(rec.attempted, (std::vector<int>{0, 1}));
    EXPECT_EQ(rec.progress, (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(rec.questions, (std::vector<std::string>{kDownloadQuestion, kInstallQuestion}));
    EXPECT_NE(trace.text().find("\n->FROM:[" + url("/a/b/tool.zip") +
                                "]\n  TO:[tool.zip]"
                                "\nInternetOpenUrl:[" +
                                url("/a/b/tool.zip") + "]OK"),
              std::string::npos)
        << trace.text();
}

TEST_F(LiveUpdateRun, AnEmptyManifestStillAsksAndGoesStraightToInstallation) {
    writeManifest("");
    std::ofstream(target() + "/install.sh") << "echo ran > installed.txt\n";
    Recorder rec;
    rec.answers = {UiAnswer::Yes, UiAnswer::Yes, UiAnswer::No};

    const LIVEUPDATE_RESULT result = run(rec);

    EXPECT_EQ(result.entries, 0);
    EXPECT_TRUE(rec.rows.empty());
    EXPECT_EQ(rec.questions,
              (std::vector<std::string>{kDownloadQuestion, kInstallQuestion, kStartQuestion}));
    EXPECT_EQ(result.installStatus, 0);
    EXPECT_EQ(readFile(target() + "/installed.txt"), "ran\n");
    EXPECT_EQ(result.end, LIVEUPDATE_END::StartDeclined);
}

TEST_F(LiveUpdateRun, NoToInstallationSkipsTheScriptAndTheStartQuestion) {
    writeManifest("");
    std::ofstream(target() + "/install.sh") << "echo ran > installed.txt\n";
    Recorder rec;
    rec.answers = {UiAnswer::Yes, UiAnswer::No, UiAnswer::Yes};
    const LIVEUPDATE_RESULT result = run(rec);
    EXPECT_EQ(result.end, LIVEUPDATE_END::InstallDeclined);
    EXPECT_EQ(result.installStatus, -1);
    EXPECT_EQ(rec.questions.size(), 2u);
    EXPECT_FALSE(fs::exists(target() + "/installed.txt"));
}

TEST_F(LiveUpdateRun, AMissingInstallScriptStillLeadsToTheStartQuestion) {
    writeManifest("");
    Recorder rec;
    rec.answers = {UiAnswer::Yes, UiAnswer::Yes, UiAnswer::Yes};
    const LIVEUPDATE_RESULT result = run(rec);
    EXPECT_NE(result.installStatus, 0);
    EXPECT_EQ(rec.questions.size(), 3u);
    // No morvex in the directory: the start fails and says so.
    EXPECT_EQ(result.end, LIVEUPDATE_END::StartFailed);
}

TEST_F(LiveUpdateRun, AnUnreachableManifestEndsSilently) {
    root_.write("unused.txt", "x");  // the server runs, but has no manifest
    Recorder rec;
    const LIVEUPDATE_RESULT result = run(rec);
    EXPECT_EQ(result.end, LIVEUPDATE_END::ManifestUnreachable);
    EXPECT_EQ(rec.statuses,
              (std::vector<std::string>{
                  "Connexion au serveur pour récupérer le fichier de description..."}));
    EXPECT_TRUE(rec.questions.empty());
    EXPECT_FALSE(fs::exists(target() + "/liveupdate.txt"));
}

// A failed download (its digest differs, the server cut it short, it is missing) does not stop
// the others, but nothing is installed over an incomplete set: no installation question, no
// script, no start question, and the reasons are told in French words.
TEST_F(LiveUpdateRun, FailedEntriesShowErrorDoNotStopTheOthersAndNothingIsInstalled) {
    auto truncating = LocalServer::runScript(
        work_.write("truncating.py", morvex::testing::truncatingServerScript()));
    ASSERT_NE(truncating, nullptr);
    root_.write("one.txt", "one");
    root_.write("three.txt", "three");
    const std::string wrong(64, 'f');
    std::ofstream(target() + "/cut.bin") << "old cut";
    std::ofstream(target() + "/three.txt") << "old three";
    writeManifest(url("/one.txt") + "\n" + url("/missing.txt") + "\n" + truncating->url() +
                  "/cut.bin\n" + url("/three.txt") + " " + wrong + "\n" + url("/one.txt") + "\n");
    std::ofstream(target() + "/install.sh") << "echo ran > installed.txt\n";
    Recorder rec;
    rec.answers = {UiAnswer::Yes, UiAnswer::Yes, UiAnswer::Yes};
    morvex::TraceCapture trace;

    const LIVEUPDATE_RESULT result = run(rec);

    EXPECT_EQ(result.entries, 5);
    EXPECT_EQ(result.failures, 3);
    EXPECT_EQ(result.end, LIVEUPDATE_END::DownloadFailed);
    EXPECT_EQ(result.installStatus, -1);
    EXPECT_FALSE(fs::exists(target() + "/installed.txt"));
    EXPECT_EQ(rec.questions,
              (std::vector<std::string>{
                  kDownloadQuestion,
                  "Morvex Online Setup|3 fichier(s) sur 5 n'ont pas pu être téléchargés : "
                  "l'installation n'est pas lancée.\nmissing.txt : refusé par le serveur : "
                  "HTTP/1.0 404 File not found\ncut.bin : transfert interrompu avant la fin du "
                  "fichier\nthree.txt : empreinte SHA-256 différente"}));
    EXPECT_EQ(rec.rowStatuses,
              (std::vector<std::string>{"0:En cours...", "0:Terminé.", "1:En cours...", "1:ERREUR",
                                        "2:En cours...", "2:ERREUR", "3:En cours...", "3:ERREUR",
                                        "4:En cours...", "4:Terminé."}));
    EXPECT_EQ(rec.attempted, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(rec.progress, (std::vector<int>{5, 1, 2, 3, 4, 5}));
    EXPECT_EQ(readFile(target() + "/cut.bin"), "old cut");
    EXPECT_EQ(readFile(target() + "/three.txt"), "old three");
    EXPECT_FALSE(fs::exists(target() + "/missing.txt"));
    const std::string text = trace.text();
    const std::string served = DOWNLOAD_FileSha256(root_.file("three.txt").c_str());
    EXPECT_NE(text.find("attendue " + wrong + ", reçue " + served), std::string::npos) << text;
}

TEST_F(LiveUpdateRun, HostileNamesAreRefusedAndNothingIsWrittenOutside) {
    root_.write("escape.txt", "evil");
    writeManifest(url("/x/..%2Fescape.txt") + "\n" + url("/x/%2e%2e") + "\n" + url("/") + "\n" +
                  url("/x/a%5Cescape.txt") + "\n" + url("/escape.txt") + "\n");
    Recorder rec;
    rec.answers = {UiAnswer::Yes, UiAnswer::No};
    morvex::TraceCapture trace;

    const LIVEUPDATE_RESULT result = run(rec);

    EXPECT_EQ(result.failures, 4);
    EXPECT_EQ(result.end, LIVEUPDATE_END::DownloadFailed);
    EXPECT_NE(rec.questions.back().find("\n../escape.txt : nom de fichier refusé"),
              std::string::npos);
    EXPECT_EQ(rec.rowStatuses[1], "0:ERREUR");
    EXPECT_EQ(rec.rowStatuses.back(), "4:Terminé.");
    EXPECT_FALSE(fs::exists(work_.file("escape.txt")));
    EXPECT_EQ(readFile(target() + "/escape.txt"), "evil");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(target())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"escape.txt", "liveupdate.txt"}));
    EXPECT_NE(trace.text().find("\nNom de fichier refusé [../escape.txt]"), std::string::npos);
}

}  // namespace

// The real program without windows: "morvexsetup --yes --dir DIR" against a local server.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "foundation/testing/tempdir.h"
#include "setup/core/download.h"
#include "setup/tests/localserver.h"

namespace fs = std::filesystem;
using morvex::testing::LocalServer;
using morvex::testing::readFile;
using morvex::testing::TempDir;

namespace {

// Output and exit status of one run of the program.
struct SetupRun {
    std::string output;
    int status;
};

SetupRun runSetup(const std::string& server, const std::string& args) {
    const std::string command =
        "MORVEX_UPDATE_URL='" + server + "' timeout 60 '" MORVEXSETUP_PATH "' " + args + " 2>&1";
    SetupRun run{"", -1};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool waitForFile(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (fs::exists(path) && fs::file_size(path) > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class MorvexSetupYes : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_.file("MorvexFylatek"));
        fs::create_directories(root_.file("release/1.4"));
        server_ = LocalServer::serveDirectory(root_.path());
        ASSERT_NE(server_, nullptr) << "python3 -m http.server did not start";
    }
    std::string url(const std::string& path) const { return server_->url() + path; }

    TempDir root_{"setup_yes_root"};
    TempDir target_{"setup_yes_target"};
    std::unique_ptr<LocalServer> server_;
};

TEST_F(MorvexSetupYes, InstallsARelease) {
    const std::string install = "chmod +x morvex\necho installed > install.log\n";
    const std::string program = "#!/bin/sh\npwd > started.log\n";
    root_.write("release/1.4/install.sh", install);
    root_.write("release/1.4/morvex", program);
    root_.write("release/1.4/tool.zip", std::string("PK\3\4\0\xff", 6));
    const std::string digest = DOWNLOAD_FileSha256(root_.file("release/1.4/tool.zip").c_str());
    root_.write("MorvexFylatek/liveupdate.txt",
                url("/release/1.4/install.sh") + "\r\n" + url("/release/1.4/morvex") + "\r\n" +
                    url("/release/1.4/tool.zip") + " " + digest + "\r\n");

    const SetupRun run = runSetup(server_->url(), "--yes --dir '" + target_.path() + "'");

    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFile(target_.file("install.sh")), install);
    EXPECT_EQ(readFile(target_.file("tool.zip")), std::string("PK\3\4\0\xff", 6));
    EXPECT_EQ(readFile(target_.file("install.log")), "installed\n");
    ASSERT_TRUE(waitForFile(target_.file("started.log"))) << run.output;
    EXPECT_EQ(fs::canonical(readFile(target_.file("started.log"))
                                .substr(0, readFile(target_.file("started.log")).size() - 1)),
              fs::canonical(target_.path()));
    const std::string& out = run.output;
    EXPECT_NE(out.find("\n(i) Connexion au serveur pour récupérer le fichier de description...\n"
                       "InternetOpenUrl:[" +
                       url("/MorvexFylatek/liveupdate.txt") + "]OK"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\n(?) MorvexSoft LiveUpdate : Télécharger les fichiers ? oui"),
              std::string::npos);
    EXPECT_NE(out.find("\n(i) tool.zip : Terminé."), std::string::npos) << out;
    EXPECT_NE(out.find("\n->FROM:[" + url("/release/1.4/morvex") + "]\n  TO:[morvex]"),
              std::string::npos);
    EXPECT_NE(out.find("\n(?) Morvex Online Setup : L'installation de Morvex est terminée. "
                       "Voulez-vous démarrer Morvex ? oui"),
              std::string::npos);
}

// A file that fails its digest: the earlier install script present in the folder is not run,
// the end message is not given, and the status says the update failed.
TEST_F(MorvexSetupYes, AFailedDigestRunsNoInstallStepAndEndsWithFailure) {
    root_.write("release/1.4/tool.zip", "new bytes");
    root_.write("MorvexFylatek/liveupdate.txt",
                url("/release/1.4/tool.zip") + " " + std::string(64, 'a') + "\r\n");
    const std::string previous = "echo installed > install.log\n";
    target_.write("install.sh", previous);

    const SetupRun run = runSetup(server_->url(), "--yes --dir '" + target_.path() + "'");

    EXPECT_NE(run.status, 0) << run.output;
    EXPECT_FALSE(fs::exists(target_.file("install.log")));
    EXPECT_FALSE(fs::exists(target_.file("tool.zip")));
    EXPECT_EQ(run.output.find("L'installation de Morvex est terminée"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\n(e) Morvex Online Setup : 1 fichier(s) sur 1 n'ont pas pu être "
                              "téléchargés : l'installation n'est pas lancée.\ntool.zip : "
                              "empreinte SHA-256 différente"),
              std::string::npos)
        << run.output;
}

TEST_F(MorvexSetupYes, AnUnreachableServerEndsWithFailure) {
    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(morvex::testing::freeLoopbackPort());
    const SetupRun run = runSetup(nowhere, "--yes --dir '" + target_.path() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("\nErreur InternetOpenUrl\nErreur : "), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("(?)"), std::string::npos);
}

TEST(MorvexSetupScreenshots, DrawsBothPages) {
    TempDir out("setup_shots");
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout 60 '" MORVEXSETUP_PATH
                                "' --screenshots '" +
                                out.path() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_GT(fs::file_size(out.file("morvexsetup-page1.png")), 1000u);
    EXPECT_GT(fs::file_size(out.file("morvexsetup-page2.png")), 1000u);
}

}  // namespace

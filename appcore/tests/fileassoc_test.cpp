#include "appcore/fileassoc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/testing/tempdir.h"
#include "foundation/uiport_testing.h"
#include "foundation/testing/files.h"

namespace {

using morvex::testing::readFile;

// XDG_DATA_HOME and PATH pointed into a temporary folder holding a fake xdg-mime that answers
// `query default` with `currentDefault` and records its calls; restored at the end.
class FileAssocTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath_ = getenv("PATH") ? getenv("PATH") : "";
        oldData_ = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
        setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
        setenv("PATH", (dir_.file("bin") + ":/usr/bin:/bin").c_str(), 1);
        morvex::setUiPort(&port_);
    }
    void TearDown() override {
        morvex::setUiPort(nullptr);
        setenv("PATH", oldPath_.c_str(), 1);
        if (oldData_.empty()) unsetenv("XDG_DATA_HOME");
        else setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
    }
    void fakeXdgMime(const std::string& currentDefault, int defaultStatus = 0) {
        std::string bin = dir_.file("bin");
        mkdir(bin.c_str(), 0755);
        std::string script = "#!/bin/sh\necho \"$@\" >> '" + dir_.file("calls") +
                             "'\nif [ \"$1\" = query ]; then echo '" + currentDefault +
                             "'; exit 0; fi\nexit " + std::to_string(defaultStatus) + "\n";
        std::string path = dir_.write("bin/xdg-mime", script);
        chmod(path.c_str(), 0755);
    }
    EXTENSION_ASSOC fyk() const {
        return {".fyk", "Morvex Fylatek Description File", "", "/opt/morvex/morvex %1",
                "Morvex Fylatek"};
    }

    morvex::testing::TempDir dir_{"fileassoc"};
    morvex::ScriptedUiPort port_;
    std::string oldPath_, oldData_;
};

TEST_F(FileAssocTest, WritesTheMimePackageTheDesktopEntryAndSetsTheDefault) {
    fakeXdgMime("");
    EXTENSION_ASSOC tpl{".tpl", "Morvex Fylatek Template", "", "/opt/morvex/morvex %1",
                        "Morvex Fylatek"};
    EXTENSION_ASSOC desc = fyk();
    ASSERT_TRUE(enregistrerExtension(nullptr, &tpl, FILEASSOC_SCOPE_USER));
    ASSERT_TRUE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));

    std::string package = readFile(dir_.file("data/mime/packages/morvex-fylatek-fyk.xml"));
    EXPECT_NE(package.find("<mime-type type=\"application/x-morvex-fylatek-fyk\">"),
              std::string::npos);
    EXPECT_NE(package.find("<comment>Morvex Fylatek Description File</comment>"),
              std::string::npos);
    EXPECT_NE(package.find("<glob pattern=\"*.fyk\"/>"), std::string::npos);

    // One entry for the program, listing both types.
    std::string entry = readFile(dir_.file("data/applications/morvex-fylatek.desktop"));
    EXPECT_NE(entry.find("Exec=/opt/morvex/morvex %f"), std::string::npos);
    EXPECT_NE(entry.find("MimeType=application/x-morvex-fylatek-tpl;application/x-morvex-"
                         "fylatek-fyk;"),
              std::string::npos);

    std::string calls = readFile(dir_.file("calls"));
    EXPECT_NE(calls.find("default morvex-fylatek.desktop application/x-morvex-fylatek-tpl"),
              std::string::npos);
    EXPECT_NE(calls.find("default morvex-fylatek.desktop application/x-morvex-fylatek-fyk"),
              std::string::npos);
    EXPECT_TRUE(port_.messages.empty());
}

TEST_F(FileAssocTest, AsksBeforeTakingATypeThatAnotherProgramOpensAndKeepsItOnNo) {
    fakeXdgMime("other-editor.desktop");
    port_.answers = {morvex::UiAnswer::No};
    EXTENSION_ASSOC desc = fyk();
    EXPECT_FALSE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));
    ASSERT_EQ(port_.messages.size(), 2u);
    EXPECT_EQ(port_.messages[0],
              "Morvex Fylatek|Une extension '.fyk' a déjà été enregistrée avec une référence "
              "différente\nfaut-il la remplacer ?");
    EXPECT_EQ(port_.messages[1],
              "Morvex Fylatek|L'extension '.fyk' ne sera pas enregistrée\nSarvello est en "
              "concurrence avec une autre ptApplication");
    EXPECT_EQ(readFile(dir_.file("calls")).find("default morvex"), std::string::npos);
    EXPECT_FALSE(std::ifstream(dir_.file("data/applications/morvex-fylatek.desktop")).good());
}

TEST_F(FileAssocTest, ReplacesTheOtherProgramOnYes) {
    fakeXdgMime("other-editor.desktop");
    port_.answers = {morvex::UiAnswer::Yes};
    EXTENSION_ASSOC desc = fyk();
    EXPECT_TRUE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));
    EXPECT_EQ(port_.messages.size(), 1u);
    EXPECT_NE(readFile(dir_.file("calls")).find("default morvex-fylatek.desktop"),
              std::string::npos);
}

TEST_F(FileAssocTest, DoesNotAskWhenTheTypeIsAlreadyOurs) {
    fakeXdgMime("morvex-fylatek.desktop");
    EXTENSION_ASSOC desc = fyk();
    EXPECT_TRUE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));
    EXPECT_TRUE(port_.messages.empty());
}

TEST_F(FileAssocTest, ReportsAFailedDefaultAsTheCommandMessage) {
    fakeXdgMime("", 3);
    EXTENSION_ASSOC desc = fyk();
    EXPECT_FALSE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));
    ASSERT_EQ(port_.messages.size(), 1u);
    EXPECT_EQ(port_.messages[0],
              "Morvex Fylatek|Erreur d'accès à la base de registre (command)\npour l'association "
              "d'un exécutable à '.fyk'");
}

TEST_F(FileAssocTest, ReportsAnUnwritableDataFolder) {
    fakeXdgMime("");
    dir_.write("data", "a file where the folder should be");
    EXTENSION_ASSOC desc = fyk();
    EXPECT_FALSE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));
    ASSERT_EQ(port_.messages.size(), 1u);
    EXPECT_EQ(port_.messages[0],
              "Morvex Fylatek|Erreur d'accès à la base de registre (.xxx) pour enregistrer "
              "l'extension '.fyk'");
}

TEST_F(FileAssocTest, CopiesTheIconOfTheType) {
    fakeXdgMime("");
    EXTENSION_ASSOC desc = fyk();
    desc.iconPath = dir_.write("Description.svg", "<svg/>");
    EXPECT_TRUE(enregistrerExtension(nullptr, &desc, FILEASSOC_SCOPE_USER));
    EXPECT_EQ(readFile(dir_.file(
                  "data/icons/hicolor/scalable/mimetypes/application-x-morvex-fylatek-fyk.svg")),
              "<svg/>");
}

}  // namespace

// An installation that brought its desktop entry registers nothing on first run; a build tree
// (this test program's) does.
TEST(FileAssocInstalled, OnlyWhenTheDesktopEntryLiesBesideTheDataFolder) {
    morvex::testing::TempDir root("fileassoc");
    const std::string data = root.path() + "/usr/share/morvex";
    std::filesystem::create_directories(data);
    EXPECT_FALSE(morvex::fileAssocInstalledWithData(data));
    std::filesystem::create_directories(root.path() + "/usr/share/applications");
    std::ofstream(root.path() + "/usr/share/applications/morvex-fylatek.desktop") << "[Desktop Entry]\n";
    EXPECT_TRUE(morvex::fileAssocInstalledWithData(data));
    EXPECT_FALSE(morvex::fileAssocInstalledWithData(""));
    EXPECT_FALSE(morvex::fileAssocInstalledWithProgram());
}

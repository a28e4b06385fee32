#include "foundation/datadir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/appsettings.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder removed at the end of the test.
struct ScratchDir {
    fs::path path;
    ScratchDir() {
        path = fs::temp_directory_path() /
               ("morvex_datadir_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

TEST(DataDir, IsTheShareFolderBesideTheProgramsFolder) {
    ScratchDir root;
    fs::create_directories(root.path / "usr/bin");
    fs::create_directories(root.path / "usr/share/morvex/templates");
    EXPECT_EQ(morvex::dataDirectoryFor((root.path / "usr/bin").string()),
              (root.path / "usr/share/morvex").string());
    // A trailing slash or a detour through the folder itself changes nothing.
    EXPECT_EQ(morvex::dataDirectoryFor((root.path / "usr/bin/").string()),
              (root.path / "usr/share/morvex").string());
    EXPECT_EQ(morvex::dataDirectoryFor((root.path / "usr/./bin").string()),
              (root.path / "usr/share/morvex").string());
}

TEST(DataDir, IsEmptyWhenNoShareFolderExists) {
    ScratchDir root;
    fs::create_directories(root.path / "opt/bin");
    EXPECT_EQ(morvex::dataDirectoryFor((root.path / "opt/bin").string()), "");
    EXPECT_EQ(morvex::dataDirectoryFor(""), "");
    // A file of that name is no folder.
    fs::create_directories(root.path / "opt/share");
    std::ofstream(root.path / "opt/share/morvex") << "x";
    EXPECT_EQ(morvex::dataDirectoryFor((root.path / "opt/bin").string()), "");
}

// A program of the build tree reads the build tree's share/morvex, which leads to the shipped
// files themselves: the bundled library, the manual, a layout, an icon.
TEST(DataDir, ProgramOfTheBuildTreeFindsTheShippedFiles) {
    // This test program sits in build/foundation, beside the build tree's share/morvex.
    const std::string programDir = morvex::programDirectory();
    ASSERT_FALSE(programDir.empty());
    EXPECT_EQ(morvex::dataDirectory(),
              (fs::path(programDir) / "../share/morvex").lexically_normal().string());
    for (const std::string& relative :
         {std::string(DATADIR_LIBRARIES) + "/morvex_sql.tpl", std::string(DATADIR_MANUAL),
          std::string(DATADIR_LAYOUTS) + "/layout_tab.fyk", std::string(DATADIR_EXAMPLES) + "/clients.fyk",
          std::string(DATADIR_ICONS) + "/description.svg"}) {
        const std::string path = morvex::dataPath(relative);
        EXPECT_FALSE(path.empty()) << relative;
        EXPECT_TRUE(fs::exists(path)) << path;
    }
    EXPECT_EQ(morvex::dataPath("templates/no_such_file.tpl"), "");
}

TEST(DataDir, EmptyTemplateSettingsMeanTheBundledOnes) {
    APPSETTINGS settings{};
    EXPECT_EQ(morvex::librariesDirectoryOf(settings), morvex::dataPath(DATADIR_LIBRARIES));
    EXPECT_EQ(morvex::templatesDirectoryOf(settings), morvex::dataPath(DATADIR_TEMPLATES));
    EXPECT_FALSE(morvex::librariesDirectoryOf(settings).empty());
    snprintf(settings.librariesDirectory, sizeof settings.librariesDirectory, "/srv/libs");
    snprintf(settings.templateLibrary, sizeof settings.templateLibrary, "/srv/tpl");
    EXPECT_EQ(morvex::librariesDirectoryOf(settings), "/srv/libs");
    EXPECT_EQ(morvex::templatesDirectoryOf(settings), "/srv/tpl");
}

// Where a process task's template is found: beside its description, in the current folder, or
// among the templates (the setting, or the bundled ones when it is empty).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/datadir.h"
#include "template/tests/tpl_fixture.h"

using tpltest::TemplateTest;
namespace fs = std::filesystem;

namespace {

class TemplatePath : public TemplateTest {
protected:
    // The current description saved as `path`, so that it has a folder.
    void saveDescriptionAs(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        FILEDESC_SetFileName(desc_, path.c_str());
    }
};

}  // namespace

TEST_F(TemplatePath, RelativeTemplateIsFoundBesideItsDescriptionThenAmongTheTemplates) {
    describe({{"ID", DATATYPE_INTEGER, 9}});
    saveDescriptionAs(dir_.path() + "/proj/d.fyk");
    dir_.write("proj/mine.tpl", "x\n");
    fs::create_directories(dir_.path() + "/templates");
    dir_.write("templates/shared.tpl", "y\n");
    snprintf(settings_.templateLibrary, sizeof settings_.templateLibrary, "%s/templates",
             dir_.path().c_str());
    EXPECT_EQ(TEMPLATE_ResolvePath(desc_, "mine.tpl"), dir_.path() + "/proj/mine.tpl");
    EXPECT_EQ(TEMPLATE_ResolvePath(desc_, "shared.tpl"), dir_.path() + "/templates/shared.tpl");
    EXPECT_EQ(TEMPLATE_ResolvePath(desc_, "/abs/t.tpl"), "/abs/t.tpl");
    // Found nowhere: named beside the description, where the error then points.
    EXPECT_EQ(TEMPLATE_ResolvePath(desc_, "none.tpl"), dir_.path() + "/proj/none.tpl");
}

// With no template setting, a bundled template is found by its name and generates: its
// %include of the bundled library is found with no libraries setting either.
TEST_F(TemplatePath, BundledTemplatesGenerateWithNoSetting) {
    describe({{"ID", DATATYPE_INTEGER, 9}, {"NOM", DATATYPE_VARIABLECHAR, 30}});
    settings_.templateLibrary[0] = 0;
    settings_.librariesDirectory[0] = 0;
    const std::string bundled = morvex::dataPath(DATADIR_TEMPLATES);
    ASSERT_FALSE(bundled.empty());
    int count = 0;
    for (const auto& entry : fs::directory_iterator(bundled)) {
        if (entry.path().extension() != ".tpl") continue;
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(TEMPLATE_ResolvePath(desc_, name.c_str()), entry.path().string());
        char out[1024] = "";
        EXPECT_EQ(TEMPLATE_Generate(desc_, TEMPLATE_ResolvePath(desc_, name.c_str()).c_str(),
                                    out_.c_str(), out, sizeof out),
                  0)
            << name << panel();
        ++count;
    }
    EXPECT_GE(count, 5);
}

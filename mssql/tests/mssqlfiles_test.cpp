// The files of the SQL Server generation parameters take their target's name only once they are
// complete: a target that cannot be written is left as it was, with nothing beside it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "filedesc/filedesc.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"
#include "mssql/mssql.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The names of the entries of `dir`, sorted.
std::string entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    std::string out;
    for (const std::string& n : names) out += n + " ";
    return out;
}

class MssqlFiles : public testing::Test {
protected:
    void SetUp() override {
        morvex::setUiPort(&port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_CreateFileDesc("Clients", nullptr, STRUCTFILE_FIXED, "\\r\\n", "");
        for (const char* code : {"ID", "NOM"}) {
            ColumnDesc c{};
            snprintf(c.code, sizeof c.code, "%s", code);
            c.WidthInChars = 10;
            c.typeCible.type = DATATYPE_FIXEDCHAR;
            c.typeCible.fmtChaineFixe.taille = 10;
            FILEDESC_AjouterColonne(desc_, &c);
        }
        MSSQL_InitParams(&params_);
    }
    void TearDown() override {
        FILEDESC_CloseFileDesc(desc_);
        morvex::setUiPort(nullptr);
    }
    void target(char* slot, const fs::path& path) {
        snprintf(slot, MSSQL_PATH_SLOT, "%s", path.c_str());
    }

    morvex::testing::TempDir dir_{"mssqlfiles"};
    morvex::ScriptedUiPort port_;
    morvex::TraceCapture quiet_;
    FileDesc* desc_ = nullptr;
    MSSQL_PARAMS params_{};
};

}  // namespace

TEST_F(MssqlFiles, AnExistingFileIsReplacedWholeAndAnUnwritableTargetLeftAsItWas) {
    const fs::path folder = dir_.file("cibles");
    fs::create_directories(folder);
    std::ofstream(folder / "imp.fmt") << "ancien";
    target(params_.fichierFormat, folder / "imp.fmt");
    target(params_.scriptBCP, folder / "imp_bcp.sql");
    target(params_.scriptMAJ, folder / "imp_maj.sql");
    ASSERT_EQ(MSSQL_GenererFichierFormat(&params_, desc_), 0);
    ASSERT_EQ(MSSQL_GenererFichierBCP(&params_, desc_), 0);
    ASSERT_EQ(MSSQL_GenererScriptMAJ(&params_, desc_), 0);
    EXPECT_EQ(readAll(folder / "imp.fmt").substr(0, 10), "6.0\r\n2\r\n00");
    EXPECT_EQ(entries(folder), "imp.fmt imp_bcp.sql imp_maj.sql ");
    EXPECT_EQ(fs::status(folder / "imp.fmt").permissions() & fs::perms::owner_read,
              fs::perms::owner_read);
    ASSERT_EQ(EnregistrerParametres(&params_, (folder / "p.prm").c_str()), 0);
    EXPECT_EQ(fs::file_size(folder / "p.prm"), 1174u);

    // A target that is a folder, or in a folder that does not exist: refused, nothing left.
    fs::create_directories(folder / "dossier.sql");
    target(params_.fichierFormat, folder / "dossier.sql");
    target(params_.scriptBCP, folder / "dossier.sql");
    target(params_.scriptMAJ, folder / "absent" / "imp_maj.sql");
    EXPECT_EQ(MSSQL_GenererFichierFormat(&params_, desc_), 1);
    EXPECT_EQ(MSSQL_GenererFichierBCP(&params_, desc_), 1);
    EXPECT_EQ(MSSQL_GenererScriptMAJ(&params_, desc_), 1);
    EXPECT_EQ(EnregistrerParametres(&params_, (folder / "dossier.sql").c_str()), 1);
    EXPECT_EQ(entries(folder), "dossier.sql imp.fmt imp_bcp.sql imp_maj.sql p.prm ");
    EXPECT_TRUE(fs::is_empty(folder / "dossier.sql"));

    // A parameters file that cannot be read leaves the record as it was.
    MSSQL_PARAMS before = params_;
    EXPECT_EQ(ChargerParametres(&params_, (folder / "absent.prm").c_str()), 1);
    EXPECT_EQ(memcmp(&before, &params_, sizeof before), 0);
}

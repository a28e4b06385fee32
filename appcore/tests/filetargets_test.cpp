// Files the person chooses for the program to write: an export never takes the files of the
// work it exports from, an existing file is replaced only once the person agrees, and a write
// that fails leaves the target as it was.
#include "appcore/filetargets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "filedesc/filedesc.h"
#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"
#include "foundation/uiport_testing.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

class FileTargets : public ::testing::Test {
protected:
    void SetUp() override {
        setUiPort(&port);
        data = dir.write("clients.csv", "1;Dupont\r\n2;Durand\r\n");
        fyk = dir.write("clients.fyk", "description");
        database = dir.write("clients.db", "base");
        desc = FILEDESC_CreateFileDesc("clients", nullptr, 2, "\\r\\n", ";");
        FILEDESC_SetExampleFilePath(desc, data.c_str());
        FILEDESC_SetFileName(desc, fyk.c_str());
    }
    void TearDown() override {
        FILEDESC_CloseFileDesc(desc);
        setUiPort(nullptr);
    }

    morvex::testing::TempDir dir{"filetargets"};
    ScriptedUiPort port;
    std::string data, fyk, database;
    FileDesc* desc = nullptr;
};

TEST_F(FileTargets, AnExportRefusesTheDataFileTheDescriptionAndTheOpenDatabaseHoweverNamed) {
    const EXPORT_GUARDS guards{desc, database};
    const struct {
        std::string target;
        const char* refusal;  // a word of the message, or nullptr when accepted
    } cases[] = {
        {data, "fichier de données"},
        {dir.path() + "/./sub/../clients.csv", "fichier de données"},
        {fyk, "fichier de la description"},
        {database, "base de données ouverte"},
        {dir.file("clients_export.csv"), nullptr},
        {dir.file("autre.db"), nullptr},
    };
    fs::create_directories(dir.file("sub"));
    for (const auto& c : cases) {
        const std::string refusal = EXPORT_Refusal(c.target, guards);
        if (!c.refusal) {
            EXPECT_EQ(refusal, "") << c.target;
        } else {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.target << ": " << refusal;
            EXPECT_NE(refusal.find(c.target), std::string::npos) << refusal;
        }
    }
}

TEST_F(FileTargets, TheProposedExportIsNeverTheProjectsDataFile) {
    const EXPORT_GUARDS guards{desc, database};
    // "<project>.csv" is the data file here: the export is offered beside it under its own name.
    EXPECT_EQ(EXPORT_ProposedPath(dir.path(), ".csv", guards), dir.file("clients_export.csv"));
    // Where the project's name is free it is kept, and without a description "Export".
    EXPECT_EQ(EXPORT_ProposedPath(dir.path(), ".sql", guards), dir.file("clients.sql"));
    EXPECT_EQ(EXPORT_ProposedPath(dir.path(), ".csv", EXPORT_GUARDS{}), dir.file("Export.csv"));
}

TEST_F(FileTargets, AnExportOntoTheDataFileIsRefusedAndTheFileKept) {
    const EXPORT_GUARDS guards{desc, database};
    port.fileAnswers = {data, std::nullopt};
    EXPECT_EQ(EXPORT_AskTarget("Exporter les données...", "*.csv", dir.file("x.csv"), guards),
              std::nullopt);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].rfind("Exportation|Le fichier '" + data + "'", 0), 0u)
        << port.messages[0];
    EXPECT_EQ(port.prompts.size(), 2u);  // asked again after the refusal
    EXPECT_EQ(morvex::testing::readFile(data), "1;Dupont\r\n2;Durand\r\n");
}

TEST_F(FileTargets, AnExportOntoAnExistingFileAsksAndKeepsItOnNo) {
    const EXPORT_GUARDS guards{desc, database};
    const std::string existing = dir.write("resultats.csv", "ancien");
    const std::string other = dir.file("nouveau.csv");
    // No: another file is asked for; Cancel on the second question stops.
    port.fileAnswers = {existing, existing};
    port.answers = {UiAnswer::No, UiAnswer::Cancel};
    EXPECT_EQ(EXPORT_AskTarget("Exporter les données...", "*.csv", existing, guards), std::nullopt);
    EXPECT_EQ(port.messages,
              (std::vector<std::string>{
                  "Remplacer le fichier|Ce fichier existe déjà. Voulez-vous le remplacer ?",
                  "Remplacer le fichier|Ce fichier existe déjà. Voulez-vous le remplacer ?"}));
    EXPECT_EQ(morvex::testing::readFile(existing), "ancien");
    // Yes, or a file that does not exist, is the answer.
    port.fileAnswers = {existing};
    port.answers = {UiAnswer::Yes};
    EXPECT_EQ(EXPORT_AskTarget("Exporter les données...", "*.csv", existing, guards), existing);
    port.fileAnswers = {other};
    EXPECT_EQ(EXPORT_AskTarget("Exporter les données...", "*.csv", existing, guards), other);
}

TEST_F(FileTargets, DialogsStartInTheSettingElseTheDescriptionsFolderElseHome) {
    EXPECT_EQ(startFolder("/srv/bases", desc), "/srv/bases");
    EXPECT_EQ(startFolder("", desc), dir.path());
    FILEDESC_SetFileName(desc, nullptr);
    EXPECT_EQ(startFolder(nullptr, desc), dir.path());  // the data file's folder
    EXPECT_EQ(startFolder("", nullptr), std::string(getenv("HOME") ? getenv("HOME") : ""));
}

TEST_F(FileTargets, AFailedWriteLeavesTheTargetWholeAndNoTemporaryFile) {
    const std::string target = dir.write("rapport.csv", "avant");
    std::string error;
    std::string temporary;
    EXPECT_FALSE(writeFileReplacing(
        target,
        [&](const std::string& t) {
            temporary = t;
            std::ofstream(t) << "moitié";
            return false;
        },
        &error));
    EXPECT_EQ(morvex::testing::readFile(target), "avant");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(fs::path(temporary).parent_path(), fs::path(target).parent_path());
    EXPECT_EQ(error.rfind("Impossible d'écrire le fichier '" + target + "' : ", 0), 0u) << error;

    EXPECT_TRUE(writeFileReplacing(
        target, [](const std::string& t) { return bool(std::ofstream(t) << "après"); }, &error));
    EXPECT_EQ(morvex::testing::readFile(target), "après");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST_F(FileTargets, ATargetThatCannotBeWrittenIsToldWithItsPathAndReason) {
    std::string error;
    const std::string missing = dir.file("absent/sortie.csv");
    EXPECT_FALSE(writeFileReplacing(
        missing, [](const std::string&) { return true; }, &error));
    EXPECT_EQ(error, "Impossible d'écrire le fichier '" + missing + "' : le dossier n'existe pas.");
    const std::string folder = dir.file("sub");
    fs::create_directories(folder);
    EXPECT_FALSE(writeFileReplacing(
        folder, [](const std::string&) { return true; }, &error));
    EXPECT_EQ(error, "Impossible d'écrire le fichier '" + folder + "' : c'est un dossier.");
}

}  // namespace

// The desktop's analysis wizard and the re-analysis that shows its report: what the person is
// asked and shown, around the analysis's stages.
#include "appcore/analysewizard.h"

#include <gtest/gtest.h>

#include <string>

#include "filedesc/descdialect.h"
#include "foundation/owned.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

class AnalyseWizard : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override {
        morvex::setUiPort(nullptr);
        FILEDESC_SetAnalysisLimits(0, 0);
    }
    // Header "ID;NOM;DATE" then n rows, CR LF.
    std::string peopleFile(int n) {
        std::string text = "ID;NOM;DATE\r\n";
        for (int i = 1; i <= n; ++i)
            text += std::to_string(i) + (i % 2 ? ";Dupont;26/02/2015\r\n" : ";Martin;01/03/2015\r\n");
        return dir.write("people.csv", text);
    }
    static ColumnDesc* column(FileDesc* d, int pos) { return FILEDESC_SearchColumnByPos(d, pos); }

    morvex::ScriptedUiPort port;
    morvex::testing::TempDir dir{"wizard"};
    morvex::TraceCapture quiet;
};

TEST_F(AnalyseWizard, BuildsOpensAndAnalysesANewDescriptionThenShowsIt) {
    const std::string path = peopleFile(20);
    const int before = FILEDESC_RegistryCount();
    ASSERT_EQ(FYK_DataFileReverseEngenering(nullptr, path.c_str()), 0);
    ASSERT_EQ(port.opened.size(), 1u);
    DescPtr d(port.opened[0]);
    EXPECT_EQ(FILEDESC_RegistryCount(), before + 1);
    EXPECT_STREQ(d->ProjectName, "people");
    EXPECT_STREQ(d->Description, "Fichier de format généré automatiquement par Morvex Fylatek.");
    EXPECT_STREQ(d->EndOfLine, "\\r\\n");
    EXPECT_EQ(FILEDESC_LineEndBytes(*d), "\r\n");
    EXPECT_EQ(FILEDESC_DelimiterBytes(*d), ";");
    EXPECT_EQ(d->TypeStructFile, STRUCTFILE_DELIMITED);
    EXPECT_EQ(d->FirstLineIsHeader, 1);
    EXPECT_STREQ(d->ExampleFilePath, path.c_str());
    EXPECT_EQ(d->isModified, 1);
    EXPECT_EQ(port.propertySheets, 1);
    ASSERT_EQ(static_cast<int>(d->columns.size()), 3);
    EXPECT_STREQ(column(d.get(), 2)->code, "NOM");
    EXPECT_EQ(column(d.get(), 1)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(port.prompts.size(), 0u);
    // Once analysed, the file is shown again beside its columns.
    ASSERT_FALSE(port.previews.empty());
    EXPECT_EQ(port.previews.back(), path);
    EXPECT_EQ(port.refreshes.back(), morvex::UiRefresh::ResultView);
}

TEST_F(AnalyseWizard, AsksForTheFileAndTakesTheAnalysisSettings) {
    const std::string path = peopleFile(300);
    FILEDESC_SetAnalysisLimits(150, 0);
    port.fileAnswers.push_back(path);
    morvex::TraceCapture capture;
    ASSERT_EQ(FYK_DataFileReverseEngenering(nullptr, nullptr), 0);
    ASSERT_EQ(port.prompts.size(), 1u);
    EXPECT_EQ(port.prompts[0], "Analyse d'un fichier délimité");
    ASSERT_EQ(port.opened.size(), 1u);
    DescPtr d(port.opened[0]);
    EXPECT_NE(capture.text().find("With MaxRows=150"), std::string::npos);
    EXPECT_EQ(column(d.get(), 1)->stats->countIntegersNonZeroPrefixed, 150);
}

TEST_F(AnalyseWizard, CancelOrABinaryFileLeavesNothingOpen) {
    const int before = FILEDESC_RegistryCount();
    port.fileAnswers.push_back(std::nullopt);
    EXPECT_EQ(FYK_DataFileReverseEngenering(nullptr, nullptr), 1);
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
    EXPECT_TRUE(port.opened.empty());

    const std::string path = peopleFile(5);
    port.confirmProperties = false;
    EXPECT_EQ(FYK_DataFileReverseEngenering(nullptr, path.c_str()), 1);
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
    EXPECT_EQ(port.taskRuns, 0);
    ASSERT_FALSE(port.previews.empty());
    EXPECT_EQ(port.previews.back(), "");  // preview cleared

    // Zero bytes throughout: no text, told with the wizard's own words.
    const std::string binary = dir.write("a.bin", "ID;NOM\r\n" + std::string(200, '\0'));
    EXPECT_EQ(FYK_DataFileReverseEngenering(nullptr, binary.c_str(), FILEANALYSE_DETECTED), 1);
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0], "Analyse d'un fichier délimité|Fichier binaire : " + binary +
                                    " (octets nuls) n'est pas un fichier de données texte.");
}

TEST_F(AnalyseWizard, TheReanalysisShowsTheReportInThePanel) {
    // Rows of another shape and names made loadable: told in the panel, in that order.
    const std::string path = dir.write("odd.csv", "id;ID\r\n1;2\r\n3\r\n4;5\r\n6;7;8\r\n");
    DescPtr d(FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
    d->FirstLineIsHeader = 1;
    ASSERT_EQ(FYK_LaunchFileAnalyse(nullptr, d.get(), path.c_str(), FILEDESC_ANALYSE_AUTO_ROWS, 1,
                                    FILEANALYSE_DETECTED),
              0);
    EXPECT_EQ(port.panelText(),
              "(!) 1 nom(s) de colonne changé(s) pour pouvoir être chargé(s) : « ID » → ID_2.\n"
              "\n(!) 2 ligne(s) n'ont pas 2 valeur(s) : lignes 3 (1 valeurs), 5 (3 valeurs).\n"
              "(i) Types établis sur le fichier entier (4 lignes).\n");
    ASSERT_FALSE(port.panel.empty());
    EXPECT_EQ(port.panel[0].value, morvex::PANEL_WARNING);
    EXPECT_EQ(port.previews.back(), path);
}

}  // namespace

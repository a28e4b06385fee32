#include "datadic/dico.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "datadic/tests/dictest_util.h"
#include "datadic/xmldoc.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

using dictest::makeColumn;
using dictest::readFile;
using dictest::writeAll;

namespace {

class Dico : public testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port_); }
    void TearDown() override {
        DICO_Close();
        morvex::setUiPort(nullptr);
    }
    std::vector<std::string> codes(const char* filter) {
        std::vector<std::string> out;
        for (DATADIC_ELT* e : DICO_Search(DICO_Current(), filter)) out.push_back(e->code);
        return out;
    }
    dictest::TempDir dir_;
    morvex::ScriptedUiPort port_;
    morvex::TraceCapture quiet_;
};

}  // namespace

TEST_F(Dico, MissingFileGivesAnEmptyDictionaryNamedZrtAndAnUnreadableOneIsReported) {
    std::string path = dir_.file("Dictionnaire.xml");
    bool unreadable = true;
    DATADIC* dic = DICO_Open(path.c_str(), &unreadable);
    ASSERT_NE(dic, nullptr);
    EXPECT_FALSE(unreadable);
    EXPECT_STREQ(dic->name, "ZRT");
    EXPECT_STREQ(dic->filePath, path.c_str());
    EXPECT_EQ(DICO_Title(dic), "Dictionnaire - ZRT");
    EXPECT_EQ(DICO_Current(), dic);
    // Reported so that an unreadable file is not replaced blindly.
    writeAll(path, "not xml at all");
    ASSERT_NE(DICO_Open(path.c_str(), &unreadable), nullptr);
    EXPECT_TRUE(unreadable);
}

TEST_F(Dico, SearchIgnoresCaseAndLooksInCodeAndDescription) {
    DICO_Open(dir_.file("d.xml").c_str());
    for (auto [code, desc] : {std::pair{"CLI_NOM", "Nom du client"},
                              {"FAC_MONTANT", "Montant TTC"},
                              {"cli_id", "Identifiant"},
                              {"DATE_NAISS", "Née le"}}) {
        ColumnDesc c = makeColumn(code, desc);
        ASSERT_EQ(DICO_AddObject("DB", "T", &c), 0);
    }
    using V = std::vector<std::string>;
    EXPECT_EQ(codes(nullptr), (V{"CLI_NOM", "FAC_MONTANT", "cli_id", "DATE_NAISS"}));
    EXPECT_EQ(codes(""), codes(nullptr));
    EXPECT_EQ(codes("CLI"), (V{"CLI_NOM", "cli_id"}));
    EXPECT_EQ(codes("client"), (V{"CLI_NOM"}));
    EXPECT_EQ(codes("ttc"), (V{"FAC_MONTANT"}));
    EXPECT_EQ(codes("Née"), (V{"DATE_NAISS"}));
    EXPECT_EQ(codes("absent"), V{});
    EXPECT_EQ(codes("NOM DU CLIENT ET PLUS"), V{});
    EXPECT_EQ(DICO_FoundText(2), "2 objet(s) trouvé(s)");
}

TEST_F(Dico, AddObjectShowsItsStatusAndRecordsThePlace) {
    ColumnDesc c = makeColumn("CLI_NOM");
    EXPECT_EQ(DICO_AddObject("DB", "T", &c), 1);  // no dictionary open yet
    DICO_Open(dir_.file("d.xml").c_str());
    EXPECT_EQ(DICO_AddObject("VENTES", "CLIENT", &c), 0);
    EXPECT_EQ(DICO_AddObject("VENTES", "FACTURE", &c), 0);
    EXPECT_EQ(DICO_AddObject("VENTES", "FACTURE", &c), 0);  // already there: not an error
    ASSERT_FALSE(port_.statusTexts.empty());
    EXPECT_EQ(port_.statusTexts[0], "Ajout de l'objet 'VENTES..CLIENT.CLI_NOM'");
    DATADIC_ELT* elt = DATADIC_SearchElt(DICO_Current(), "CLI_NOM");
    ASSERT_NE(elt, nullptr);
    EXPECT_EQ(DICO_ReferencesText(elt), "CLIENT, FACTURE");
    EXPECT_EQ(DICO_AddObject(nullptr, "T", &c), 1);
    EXPECT_EQ(DICO_AddObject("DB", "T", nullptr), 1);
    EXPECT_TRUE(port_.messages.empty());
}

TEST_F(Dico, SaveSortsAndWritesWithEachStep) {
    std::string path = dir_.file("d.xml");
    DICO_Open(path.c_str());
    for (const char* code : {"b", "B", "a"}) {
        ColumnDesc c = makeColumn(code);
        DICO_AddObject("DB", "T", &c);
    }
    port_.statusTexts.clear();
    ASSERT_EQ(DICO_Save(DICO_Current()), 0);
    EXPECT_EQ(port_.statusTexts,
              (std::vector<std::string>{"Tri du dictionnaire", "Chargement du dictionnaire",
                                        "Enregistrement du dictionnaire", "Terminé"}));
    std::string xml = readFile(path);
    EXPECT_LT(xml.find("CODE=\"B\""), xml.find("CODE=\"a\""));
    EXPECT_LT(xml.find("CODE=\"a\""), xml.find("CODE=\"b\""));
}

TEST_F(Dico, FailedSaveSaysWhyForTheCallerToShow) {
    DICO_Open(dir_.file("no/such/folder/d.xml").c_str());
    morvex::UiError error;
    EXPECT_EQ(DICO_Save(DICO_Current(), &error), 1);
    EXPECT_TRUE(port_.messages.empty());
    EXPECT_EQ(error.title + "|" + error.text,
              "Dictionnaire de données|Erreur lors de l'enregistrement du dictionnaire");
    EXPECT_EQ(DICO_Save(nullptr), 1);
}

TEST_F(Dico, ApplyAppendsTheDefaultDefinitionAsANewColumn) {
    FILEDESC_Initialize();
    FileDesc* desc = FILEDESC_CreateFileDesc("P", nullptr, STRUCTFILE_FIXED, "\\r\\n", ";");
    ColumnDesc first = makeColumn("ID", "", 5);
    FILEDESC_AjouterColonne(desc, &first);
    DICO_Open(dir_.file("d.xml").c_str());
    ColumnDesc c = makeColumn("CLI_NOM", "Nom", 30);
    DICO_AddObject("DB", "T", &c);
    morvex::TraceCapture cap;
    ASSERT_EQ(DICO_ApplyElement(desc, DATADIC_SearchElt(DICO_Current(), "CLI_NOM")), 0);
    EXPECT_EQ(cap.text().rfind("\n(i) Chargement d'un élément à partir du dictionnaire", 0), 0u);
    ColumnDesc* added = FILEDESC_SearchColumnByPos(desc, 2);
    ASSERT_NE(added, nullptr);
    EXPECT_STREQ(added->code, "CLI_NOM");
    EXPECT_EQ(added->Position, 2);
    EXPECT_EQ(added->StartPosition, 6);
    EXPECT_EQ(added->EndPosition, 35);
    cap.clear();
    EXPECT_EQ(DICO_ApplyElement(desc, nullptr), 1);
    EXPECT_EQ(cap.text(),
              "\n(i) Chargement d'un élément à partir du dictionnaire\n(e) L'element est NULL");
    FILEDESC_CloseFileDesc(desc);
}

TEST_F(Dico, DefaultPathUsesTheSettingElseTheUserDataFolder) {
    EXPECT_EQ(DICO_DefaultPath("/data/dicos/"), "/data/dicos/Dictionnaire.xml");
    const char* oldXdg = getenv("XDG_DATA_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    setenv("XDG_DATA_HOME", "/xdg", 1);
    EXPECT_EQ(DICO_DefaultPath(""), "/xdg/MorvexFylatek/Dictionnaire.xml");
    unsetenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(DICO_DefaultPath(nullptr),
                  std::string(home) + "/.local/share/MorvexFylatek/Dictionnaire.xml");
    }
    if (oldXdg) setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

TEST_F(Dico, AFileReadOnlyInPartIsToldAndNeverReplacedByTheLessItGave) {
    // A dictionary of five objects saved whole, then cut in the middle of its fourth object.
    std::string path = dir_.file("Dictionnaire.xml");
    DICO_Open(path.c_str());
    for (const char* code : {"A1", "A2", "A3", "A4", "A5"}) {
        ColumnDesc c = makeColumn(code, "Libellé");
        DICO_AddObject("DB", "T", &c);
    }
    ASSERT_EQ(DICO_Save(DICO_Current()), 0);
    EXPECT_FALSE(DICO_Incomplete());
    std::string whole = readFile(path);
    size_t cut = whole.find("CODE=\"A4\"");
    ASSERT_NE(cut, std::string::npos);
    std::string broken = whole.substr(0, cut + 20);
    writeAll(path, broken);

    DATADICXML_LOADREPORT report{};
    bool unreadable = true;
    DATADIC* dic = DICO_Open(path.c_str(), &unreadable, &report);
    ASSERT_NE(dic, nullptr);
    EXPECT_FALSE(unreadable);
    EXPECT_EQ(report.objectsRead, 3);
    EXPECT_GE(report.objectsSeen, 3);
    EXPECT_GT(report.faultOffset, 0);
    EXPECT_STRNE(report.fault, "");
    EXPECT_EQ(DATADIC_Count(dic), 3);
    EXPECT_TRUE(DICO_Incomplete());

    // Adding to it and saving leaves the file as it was and says why.
    ColumnDesc c = makeColumn("NOUVEAU");
    DICO_AddObject("DB", "T", &c);
    morvex::UiError error;
    EXPECT_EQ(DICO_Save(DICO_Current(), &error), 1);
    EXPECT_EQ(readFile(path), broken);
    EXPECT_NE(error.text.find("n'a pas été lu entièrement"), std::string::npos);

    // A file with no dictionary at all in it is protected the same way; a missing one is not.
    writeAll(path, "pas du XML");
    ASSERT_NE(DICO_Open(path.c_str(), &unreadable, &report), nullptr);
    EXPECT_TRUE(unreadable);
    EXPECT_TRUE(DICO_Incomplete());
    EXPECT_EQ(DICO_Save(DICO_Current()), 1);
    EXPECT_EQ(readFile(path), "pas du XML");
    ASSERT_NE(DICO_Open(dir_.file("absent.xml").c_str(), &unreadable, &report), nullptr);
    EXPECT_FALSE(DICO_Incomplete());
    EXPECT_EQ(report.objectsSeen, 0);
    EXPECT_EQ(report.faultOffset, -1);
}

TEST_F(Dico, TheSearchIndexFindsWhatTheSearchFinds) {
    DICO_Open(dir_.file("d.xml").c_str());
    for (auto [code, desc] : {std::pair{"CLI_NOM", "Nom du client"},
                              {"FAC_MONTANT", "Montant TTC"},
                              {"cli_id", "Identifiant"},
                              {"AB", "CD"},
                              {"DATE_NAISS", "Née le"},
                              {"VIDE", ""}}) {
        ColumnDesc c = makeColumn(code, desc);
        ASSERT_EQ(DICO_AddObject("DB", "T", &c), 0);
    }
    DATADIC_Sort(DICO_Current());
    DICO_SEARCHINDEX index;
    DICO_BuildSearchIndex(DICO_Current(), &index);
    auto codesOf = [](const std::vector<int>& rows) {
        std::vector<std::string> out;
        for (int row : rows) out.push_back(DATADIC_CodeAt(DICO_Current(), row));
        return out;
    };
    // "bc" and "dc" would only be found across the code and its description, or across two
    // objects: never.
    for (const char* filter : {"", "cli", "CLI", "nom", "montant ttc", "née", "NÉE", "e", "bc",
                               "dc", "d", "absent", "_"}) {
        SCOPED_TRACE(filter);
        EXPECT_EQ(codesOf(DICO_SearchIndexed(index, filter)), codes(filter));
    }
    EXPECT_EQ(codes("bc"), std::vector<std::string>{});
    EXPECT_EQ(codes("cli").size(), 2u);
    DICO_BuildSearchIndex(nullptr, &index);
    EXPECT_TRUE(DICO_SearchIndexed(index, "").empty());
}

// A named pipe in the dictionary's place is refused without waiting for a writer, a file larger
// than the reader takes is refused with its reason; neither is ever written over.
TEST_F(Dico, ANamedPipeOrAnOverlargeFileIsToldAndNeverWrittenOver) {
    const std::string fifo = dir_.file("tube.xml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir_.file("big.xml");
    writeAll(big, "<DICTIONARY>");
    std::filesystem::resize_file(big, DATADICXML_MAX_FILE_BYTES + 1);  // sparse: nothing written
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "Le fichier '" + fifo + "' est un tube nommé, pas un fichier ordinaire."},
        {big, "Le fichier '" + big + "' dépasse la taille permise (268 435 456 octets)."},
    };
    for (const auto& [path, reason] : cases) {
        DATADICXML_LOADREPORT report{};
        bool unreadable = false;
        ASSERT_NE(DICO_Open(path.c_str(), &unreadable, &report), nullptr);
        EXPECT_TRUE(unreadable);
        // The reason, cut to the report's field.
        EXPECT_GT(strlen(report.fault), 60u);
        EXPECT_EQ(reason.rfind(report.fault, 0), 0u) << report.fault;
        EXPECT_TRUE(DICO_Incomplete());
        EXPECT_EQ(DICO_Save(DICO_Current()), 1);
    }
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(std::filesystem::file_size(big), DATADICXML_MAX_FILE_BYTES + 1);
}

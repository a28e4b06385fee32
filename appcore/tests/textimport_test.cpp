#include "appcore/textimport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "appcore/application.h"
#include "filedesc/analyse.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace fs = std::filesystem;

namespace {

using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

class TextImport : public testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        dir_ = fs::path(testing::TempDir()) /
               ("textimport_" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        morvex::setUiPort(&port_);
        target_.reset(
            FILEDESC_CreateFileDesc("Cible", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";"));
    }
    void TearDown() override {
        morvex::setUiPort(nullptr);
        fs::remove_all(dir_);
    }

    // Saves a layout description with the given (code, width) columns; returns its path.
    std::string layout(int structure, std::vector<std::pair<const char*, int>> columns,
                       int header = 0, const char* delimiter = "\\t") {
        DescPtr d(FILEDESC_CreateFileDesc("Format", nullptr, structure, "\\r\\n", delimiter));
        d->FirstLineIsHeader = header;
        for (auto [code, width] : columns) {
            ColumnDesc c{};
            strcpy(c.code, code);
            c.WidthInChars = width;
            c.typeCible.type = DATATYPE_VARIABLECHAR;
            FILEDESC_AjouterColonne(d.get(), &c);
        }
        std::string path = (dir_ / "layout.fyk").string();
        EXPECT_EQ(FILEDESC_SaveToFile(d.get(), path.c_str()), 0);
        return path;
    }
    std::string fixedLayout() {
        return layout(STRUCTFILE_FIXED, {{"NAME", 10}, {"TYPE", 10}, {"SIZE", 5}});
    }
    int import(const std::string& text, const std::string& layoutPath, int zrt = 0) {
        return TXTDESC_Import(target_.get(), text.data(), text.size(), layoutPath.c_str(), zrt);
    }
    ColumnDesc* col(int n) { return FILEDESC_SearchColumnByPos(target_.get(), n); }
    int count() { return static_cast<int>(target_->columns.size()); }

    fs::path dir_;
    morvex::ScriptedUiPort port_;
    DescPtr target_;
};

// "NAME      TYPE      SIZE " laid out in 10 + 10 + 5 characters.
std::string fixedLine(const char* name, const char* type, const char* size) {
    char buf[64];
    snprintf(buf, sizeof buf, "%-10s%-10s%-5s", name, type, size);
    return buf;
}

}  // namespace

TEST_F(TextImport, FixedWidthLineGivesAVariableStringColumn) {
    morvex::TraceCapture cap;
    ASSERT_EQ(import(fixedLine("CLI_NOM", "VARCHAR", "30") + "\r\n", fixedLayout()), 0);
    ASSERT_EQ(count(), 1);
    EXPECT_STREQ(col(1)->code, "CLI_NOM");
    EXPECT_EQ(col(1)->typeCible.type, DATATYPE_VARIABLECHAR);
    EXPECT_EQ(col(1)->WidthInChars, 30);
    EXPECT_EQ(col(1)->typeCible.fmtChaineVar.tailleMax, 30);
    EXPECT_NE(cap.text().find("\nCharger Taille Fixe"), std::string::npos);
    EXPECT_EQ(cap.text().find("Application des règles ZRT"), std::string::npos);
}

TEST_F(TextImport, TypeKeywordsIgnoreBlanksAndCase) {
    const struct {
        const char* cell;
        int type;
    } cases[] = {
        {"CHAR", DATATYPE_FIXEDCHAR},     {"int", DATATYPE_INTEGER},
        {"Integer", DATATYPE_INTEGER},    {" varchar  ", DATATYPE_VARIABLECHAR},
        {"NUMERIC", DATATYPE_DECIMAL},    {"decimal", DATATYPE_DECIMAL},
        {"TIMESTAMP", DATATYPE_DATETIME}, {"DateTime", DATATYPE_DATETIME},
        {"DATE", DATATYPE_DATE},          {"bit", DATATYPE_BOOLEAN},
        {"BOOLEAN", DATATYPE_BOOLEAN},    {"VAR CHAR", DATATYPE_VARIABLECHAR},
        {"BLOB", DATATYPE_INTEGER},       {"", DATATYPE_INTEGER},
        {"CHARS", DATATYPE_INTEGER},
    };
    ColumnDesc layoutType{};
    strcpy(layoutType.code, "TYPE");
    for (const auto& c : cases) {
        ColumnDesc column{};
        EXPECT_EQ(AnalyseColumn(&layoutType, c.cell, &column, 0), 0);
        EXPECT_EQ(column.typeCible.type, c.type) << "'" << c.cell << "'";
    }
}

TEST_F(TextImport, SizeSetsWidthAndTheFormatOfTheTypeAlreadySet) {
    const struct {
        int type;
        const char* size;
        int width;
        int a;  // the format number of the type (taille, tailleMax, partieEntiere)
        int scale;
        const char* fmtDate;
    } cases[] = {
        {DATATYPE_INTEGER, "9", 9, 9, 0, ""},
        {DATATYPE_DECIMAL, "10,2", 10, 10, 2, ""},
        {DATATYPE_DECIMAL, "12", 12, 12, 0, ""},
        {DATATYPE_DECIMAL, "08,05", 8, 8, 5, ""},  // decimal digits, never octal
        {DATATYPE_DATE, "8", 8, 0, 0, "aaaammjj"},
        {DATATYPE_DATE, "10", 10, 0, 0, "aaaammjj"},
        {DATATYPE_DATETIME, "26", 26, 0, 0, "aaaa-mm-jj HH:MM:SS"},
        {DATATYPE_DATE, "12", 12, 0, 0, ""},
        {DATATYPE_FIXEDCHAR, " 3 ", 3, 3, 0, ""},
        {DATATYPE_VARIABLECHAR, "255", 255, 255, 0, ""},
        {DATATYPE_TEXT, "abc", 0, 0, 0, ""},
        {DATATYPE_BOOLEAN, "1", 1, 0, 0, ""},
    };
    ColumnDesc layoutSize{};
    strcpy(layoutSize.code, "SIZE");
    for (const auto& c : cases) {
        ColumnDesc column{};
        column.typeCible.type = c.type;
        ASSERT_EQ(AnalyseColumn(&layoutSize, c.size, &column, 0), 0);
        const TypeCible& t = column.typeCible;
        SCOPED_TRACE(std::string(c.size) + " type " + std::to_string(c.type));
        EXPECT_EQ(column.WidthInChars, c.width);
        int a = c.type == DATATYPE_INTEGER        ? t.fmtEntier.taille
                : c.type == DATATYPE_DECIMAL      ? t.fmtDecimal.partieEntiere
                : c.type == DATATYPE_FIXEDCHAR    ? t.fmtChaineFixe.taille
                : c.type == DATATYPE_VARIABLECHAR ? t.fmtChaineVar.tailleMax
                                                  : 0;
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(t.fmtDecimal.partieDecimale, c.scale);
        EXPECT_STREQ(t.fmtDate, c.fmtDate);
        EXPECT_STREQ(t.fmtDateTime, "");
    }
}

TEST_F(TextImport, NameLosesEveryBlankAndOtherCodesAreIgnored) {
    ColumnDesc name{}, other{}, column{};
    strcpy(name.code, "NAME");
    strcpy(other.code, "COMMENT");
    EXPECT_EQ(AnalyseColumn(&name, " CLI _\tNOM ", &column, 0), 0);
    EXPECT_STREQ(column.code, "CLI_NOM");
    EXPECT_EQ(AnalyseColumn(&other, "whatever", &column, 0), 0);
    EXPECT_STREQ(column.code, "CLI_NOM");
    EXPECT_EQ(AnalyseColumn(nullptr, "x", &column, 0), 1);
    EXPECT_EQ(AnalyseColumn(&name, "x", nullptr, 0), 1);
    EXPECT_EQ(AnalyseColumn(&name, nullptr, &column, 0), 0);
    EXPECT_STREQ(column.code, "");
}

TEST_F(TextImport, ZrtRulesOnDecimalsDatesAndIgnoredCodes) {
    std::string text =
        fixedLine("MONTANT", "DECIMAL", "12") + "\n" + fixedLine("TAUX", "DECIMAL", "10,2") + "\n" +
        fixedLine("DTCRE", "DECIMAL", "8") + "\n" + fixedLine("COETB", "CHAR", "5") + "\n" +
        fixedLine("DTMAJ", "DATE", "8") + "\n" + fixedLine("SOLDE", "NUMERIC", "15") + "\n";
    morvex::TraceCapture cap;
    ASSERT_EQ(import(text, fixedLayout(), 1), 0);
    ASSERT_EQ(count(), 6);
    EXPECT_EQ(col(1)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(col(1)->typeCible.fmtEntier.taille, 12);
    EXPECT_EQ(col(1)->WidthInChars, 13);
    EXPECT_EQ(col(2)->typeCible.type, DATATYPE_DECIMAL);
    EXPECT_EQ(col(2)->WidthInChars, 14);
    EXPECT_EQ(col(3)->typeCible.type, DATATYPE_DATE);
    EXPECT_EQ(col(3)->WidthInChars, 10);
    EXPECT_STREQ(col(3)->typeCible.fmtDate, "aaaammjj");
    EXPECT_EQ(col(4)->IgnoreColumn, 1);
    EXPECT_EQ(col(5)->WidthInChars, 10);
    EXPECT_EQ(col(6)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(col(6)->WidthInChars, 17);  // the last column grows by one more
    // Positions follow the corrected widths.
    EXPECT_EQ(col(2)->StartPosition, 14);
    EXPECT_EQ(col(6)->EndPosition, 13 + 14 + 10 + 5 + 10 + 17);
    std::string t = cap.text();
    EXPECT_NE(t.find("\nApplication des règles ZRT\nAnalyse [MONTANT]\nAnalyse [TAUX]"),
              std::string::npos);
}

TEST_F(TextImport, WithoutZrtDecimalsStayDecimals) {
    ASSERT_EQ(import(fixedLine("MONTANT", "DECIMAL", "10,2"), fixedLayout(), 0), 0);
    EXPECT_EQ(col(1)->typeCible.type, DATATYPE_DECIMAL);
    EXPECT_EQ(col(1)->WidthInChars, 10);
    EXPECT_EQ(col(1)->typeCible.fmtDecimal.partieEntiere, 10);
    EXPECT_EQ(col(1)->typeCible.fmtDecimal.partieDecimale, 2);
}

TEST_F(TextImport, EmptyLinesAreSkippedAndShortLinesGiveShortCells) {
    std::string text = "\n\r\n" + fixedLine("A", "CHAR", "3") + "\r\n\r\nB\n\nC         INT";
    ASSERT_EQ(import(text, fixedLayout()), 0);
    ASSERT_EQ(count(), 3);
    EXPECT_STREQ(col(2)->code, "B");
    EXPECT_EQ(col(2)->typeCible.type, DATATYPE_INTEGER);
    EXPECT_EQ(col(2)->WidthInChars, 0);
    EXPECT_STREQ(col(3)->code, "C");
}

TEST_F(TextImport, HeaderFlagSkipsTheFirstLineOfTheText) {
    std::string path = layout(STRUCTFILE_DELIMITED,
                              {{"NAME", 0}, {"DESCRIPTION", 0}, {"TYPE", 0}, {"SIZE", 0}}, 1);
    ASSERT_EQ(import("NAME\tDESCRIPTION\tTYPE\tSIZE\r\nID\tIdentifiant\tINT\t9\r\n", path), 0);
    ASSERT_EQ(count(), 1);
    EXPECT_STREQ(col(1)->code, "ID");
    EXPECT_STREQ(col(1)->Description, "Identifiant");
}

TEST_F(TextImport, DelimitedLayoutCutsAtTheSeparatorWithItsTraces) {
    std::string path =
        layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"DESCRIPTION", 0}, {"TYPE", 0}, {"SIZE", 0}});
    morvex::TraceCapture cap;
    std::string text =
        "CLI_NOM\tNom du client\tVARCHAR\t30\n"
        "MONTANT\t\tDECIMAL\t10,2\textra\tcells\n"  // extra cells are ignored
        "SHORT\tSans type\n";                       // missing cells leave their fields
    ASSERT_EQ(import(text, path), 0);
    ASSERT_EQ(count(), 3);
    EXPECT_STREQ(col(1)->Description, "Nom du client");
    EXPECT_EQ(col(1)->typeCible.fmtChaineVar.tailleMax, 30);
    EXPECT_STREQ(col(2)->Description, "");
    EXPECT_EQ(col(2)->typeCible.fmtDecimal.partieDecimale, 2);
    EXPECT_STREQ(col(3)->Description, "Sans type");
    EXPECT_EQ(col(3)->WidthInChars, 0);
    EXPECT_NE(cap.text().find("[:\t]/Nom du client\tVARCHAR\t30[buffer=CLI_NOM] : Analyse de la "
                              "colonne\nRecuperation de la colonne suivante"),
              std::string::npos);
    EXPECT_NE(cap.text().find("[buffer=30] : Analyse de la colonne\nRecuperation de la colonne "
                              "suivante\nEnregistrement de la colonne"),
              std::string::npos);
}

TEST_F(TextImport, CellsPastedFromASpreadsheetOrAWebPageReadAsTheyShow) {
    std::string path = layout(STRUCTFILE_DELIMITED,
                              {{"NAME", 0}, {"DESCRIPTION", 0}, {"TYPE", 0}, {"SIZE", 0}}, 1);
    // A header row, CR LF line ends, non-breaking spaces and blanks around cells (web pages), a
    // cell quoted because of the quotes inside it and a last empty row (spreadsheets).
    std::string text =
        "Nom\tLibellé\tType\tTaille\r\n"
        "CLI_NOM \t Nom du client \t\xC2\xA0varchar\xC2\xA0\t 30 \r\n"
        "CLI_CODE\t\"Code \"\"maison\"\"\"\tCHAR\t8\r\n"
        "\r\n";
    ASSERT_EQ(import(text, path), 0);
    ASSERT_EQ(count(), 2);
    EXPECT_STREQ(col(1)->code, "CLI_NOM");
    EXPECT_STREQ(col(1)->Description, "Nom du client");
    EXPECT_EQ(col(1)->typeCible.type, DATATYPE_VARIABLECHAR);
    EXPECT_EQ(col(1)->typeCible.fmtChaineVar.tailleMax, 30);
    EXPECT_STREQ(col(2)->Description, "Code \"maison\"");
    EXPECT_EQ(col(2)->typeCible.type, DATATYPE_FIXEDCHAR);
    EXPECT_EQ(col(2)->WidthInChars, 8);
}

TEST_F(TextImport, SemicolonLayoutKeepsTabsInsideCells) {
    std::string path = layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"DESCRIPTION", 0}}, 0, ";");
    ASSERT_EQ(import("A;un\tdeux", path), 0);
    EXPECT_STREQ(col(1)->Description, "un\tdeux");
}

TEST_F(TextImport, OverLongLinesAreCutWithOneMessageEach) {
    std::string path = layout(STRUCTFILE_FIXED, {{"NAME", 1}, {"TYPE", 3000}});
    std::string text = "a" + std::string(100000, 'x') + "\nb" + std::string(2045, 'y') + "\nc" +
                       std::string(3000, 'z');
    ASSERT_EQ(import(text, path), 0);
    ASSERT_EQ(count(), 3);
    EXPECT_STREQ(col(3)->code, "c");
    ASSERT_EQ(port_.messages.size(), 2u);
    EXPECT_EQ(port_.messages[0],
              "Aperçu des résultats|Attention! Une ligne trop longue a été tronquée.");
}

// A name or a description longer than its field, or two names a database takes for one:
// nothing is imported, and the message says which line and which limit.
TEST_F(TextImport, TextsLongerThanTheirFieldOrRepeatedNamesAreRefusedAndNothingIsImported) {
    std::string path = layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"DESCRIPTION", 0}});
    const std::string caption = "Chargement à partir d'une description|";
    const std::pair<std::string, std::string> cases[] = {
        {"A\tok\nN\t" + std::string(2000, 'd'), "Ligne 2 : la description dépasse 1 024 octets."},
        {std::string(257, 'n') + "\tx", "Ligne 1 : le nom de colonne dépasse 256 octets."},
        {"Code\tx\nVille\ty\nCODE\tz", "Des colonnes auraient le même nom : « Code », « CODE »."},
    };
    for (const auto& [text, message] : cases) {
        port_.messages.clear();
        EXPECT_EQ(import(text, path), 1) << message;
        EXPECT_EQ(count(), 0);
        EXPECT_EQ(port_.messages,
                  std::vector<std::string>{caption + message + " Rien n'a été importé."});
    }
    // Against the columns the description already has, too.
    ASSERT_EQ(import("Ville\tx", path), 0);
    EXPECT_EQ(import("VILLE\ty", path), 1);
    EXPECT_EQ(count(), 1);
    // A description that fills its field is kept whole.
    ASSERT_EQ(import("N\t" + std::string(1024, 'd'), path), 0);
    EXPECT_EQ(strlen(col(2)->Description), 1024u);
}

TEST_F(TextImport, ATextLargerThanTheLimitIsRefusedWhole) {
    std::string path = layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"DESCRIPTION", 0}});
    const std::string text(TXTDESC_TEXT_MAX + 1, '\n');
    EXPECT_EQ(import(text, path), 1);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(port_.messages,
              std::vector<std::string>{"Chargement à partir d'une description|Le texte à importer "
                                       "dépasse la taille permise (16 777 216 octets). Rien n'a "
                                       "été importé."});
}

TEST_F(TextImport, BytesZeroAnd255NeverBreakTheImport) {
    std::string path = layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"DESCRIPTION", 0}});
    std::string text = std::string("A\0B\tdesc\xff", 10) + "\n\xff\xfe\t\0\n";
    ASSERT_EQ(import(text, path), 0);
    ASSERT_EQ(count(), 2);
    EXPECT_STREQ(col(1)->code, "A");  // a cell ends at its first byte 0
    EXPECT_STREQ(col(1)->Description, "desc\xff");
    EXPECT_STREQ(col(2)->code, "\xff\xfe");
}

TEST_F(TextImport, NameWithAControlCharacterIsRefusedAndNothingIsImported) {
    std::string path = layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"DESCRIPTION", 0}});
    ASSERT_EQ(import("A\tfine\nB\x1b[31m\tcolour\n", path), 1);
    EXPECT_EQ(count(), 0);
    ASSERT_EQ(port_.messages.size(), 1u);
    EXPECT_EQ(port_.messages[0],
              "Chargement à partir d'une description|Ligne 2 : Le nom de la colonne « B\\x1B[31m » "
              "contient un caractère de contrôle 0x1B : les noms ne peuvent pas contenir de "
              "caractère de contrôle. Rien n'a été importé.");
}

TEST_F(TextImport, UnreadableLayoutShowsItsMessageAndChangesNothing) {
    ASSERT_EQ(import("A\n", (dir_ / "missing.fyk").string()), 1);
    EXPECT_EQ(count(), 0);
    ASSERT_EQ(port_.messages.size(), 1u);
    EXPECT_EQ(port_.messages[0],
              "Chargement à partir d'une description|Erreur de chargement du fichier de format "
              "pour la description.\nImpossible d'ouvrir le fichier de format '" +
                  (dir_ / "missing.fyk").string() + "'.");
}

TEST_F(TextImport, WidthsBeyondTheLineLimitAreRefusedAndNothingIsImported) {
    const std::string limit = std::to_string(FILEDESC_GetNCarMaxReadWithoutNewLine());
    const int l = FILEDESC_GetNCarMaxReadWithoutNewLine();
    auto sizeRefused = [&](int line) {
        return "Chargement à partir d'une description|Ligne " + std::to_string(line) +
               " : la taille est refusée, une largeur de 1 à " + limit +
               " caractères est attendue. Rien n'a été importé.";
    };
    auto zrtRefused = [&](const char* column, long long width) {
        return "Chargement à partir d'une description|Colonne " + std::string(column) +
               " : les règles ZRT lui donneraient une largeur de " + std::to_string(width) +
               " caractères, hors des limites 1 à " + limit + ". Rien n'a été importé.";
    };
    const std::string ok = "ID\tINT\t9\n";
    const struct {
        std::string text;
        int zrt;
        std::string message;
    } cases[] = {
        {ok + "MONTANT\tDECIMAL\t99999999999999999999,2\n", 1, sizeRefused(2)},
        {ok + "NOM\tVARCHAR\t" + std::to_string(l + 1), 0, sizeRefused(2)},
        {"NOM\tVARCHAR\t-1", 0, sizeRefused(1)},
        {"NOM\tVARCHAR\t0", 0, sizeRefused(1)},
        {"TAUX\tDECIMAL\t10,2147483647", 1, sizeRefused(1)},
        {ok + "TAUX\tDECIMAL\t" + std::to_string(l - 10) + ",20\nID2\tINT\t9\n", 1,
         zrtRefused("TAUX", l + 12LL)},
        {ok + "SOLDE\tNUMERIC\t" + limit, 1, zrtRefused("SOLDE", l + 2LL)},
    };
    std::string path = layout(STRUCTFILE_DELIMITED, {{"NAME", 0}, {"TYPE", 0}, {"SIZE", 0}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        target_.reset(FILEDESC_CreateFileDesc("Cible", nullptr, STRUCTFILE_FIXED, "\\r\\n", ";"));
        ColumnDesc kept{};
        strcpy(kept.code, "DEJA_LA");
        kept.WidthInChars = 4;
        FILEDESC_AjouterColonne(target_.get(), &kept);
        target_->isModified = 0;
        port_.messages.clear();
        EXPECT_EQ(import(c.text, path, c.zrt), 1);
        EXPECT_EQ(count(), 1);
        EXPECT_EQ(col(1)->EndPosition, 4);
        EXPECT_EQ(target_->isModified, 0);
        ASSERT_EQ(port_.messages.size(), 1u);
        EXPECT_EQ(port_.messages[0], c.message);
    }
    // At the limit itself the rules still apply.
    ASSERT_EQ(import("TAUX\tDECIMAL\t" + std::to_string(l - 12) + ",10", path, 1), 0);
    EXPECT_EQ(col(2)->WidthInChars, l);
}

TEST_F(TextImport, TheTemporaryLayoutIsClosedAfterTheImport) {
    std::string path = fixedLayout();
    int before = FILEDESC_RegistryCount();
    ASSERT_EQ(import("A\n", path), 0);
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
}

TEST_F(TextImport, ChargerDescriptionNeedsACurrentDescription) {
    std::string path = fixedLayout();
    gcontexte.currentFile = nullptr;
    EXPECT_EQ(ChargerDescription("A\n", path.c_str(), 0), 1);
    gcontexte.currentFile = target_.get();
    EXPECT_EQ(ChargerDescription("A\n", path.c_str(), 0), 0);
    gcontexte.currentFile = nullptr;
    EXPECT_EQ(count(), 1);
    EXPECT_FALSE(port_.refreshes.empty());
}

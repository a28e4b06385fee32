#include "appcore/desceditor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "datadic/dico.h"
#include "filedesc/descdialect.h"
#include "foundation/ldcg.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"

namespace {

// A description with columns named by `codes`, released at the end of the test.
struct Desc {
    FileDesc* d;
    explicit Desc(std::initializer_list<const char*> codes, const char* table = "CLIENT") {
        FILEDESC_Initialize();
        d = FILEDESC_CreateFileDesc("Projet", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
        std::strcpy(d->TableName, table);
        for (const char* code : codes) {
            ColumnDesc c{};
            std::strcpy(c.code, code);
            c.WidthInChars = 2;
            c.typeCible.type = DATATYPE_VARIABLECHAR;
            FILEDESC_AjouterColonne(d, &c);
        }
        d->isModified = 0;
    }
    ~Desc() { FILEDESC_CloseFileDesc(d); }
    ColumnDesc* col(const char* code) { return FILEDESC_SearchColumn(d, code); }
    std::string order() {
        std::string s;
        for (ColumnDesc* c : DESCEDIT_Columns(d))
            s += std::string(c->code) + std::to_string(c->Position);
        return s;
    }
};

TEST(DescEditStateIcon, FollowsIgnoredThenMandatoryThenWarningAndInfo) {
    struct Case {
        int ignore, mandatory, warning, info, icon;
    } cases[] = {{1, 1, 1, 1, 3}, {0, 1, 1, 1, 6}, {0, 1, 0, 1, 7}, {0, 1, 0, 0, 2},
                 {0, 0, 1, 1, 4}, {0, 0, 0, 1, 5}, {0, 0, 0, 0, 1}};
    for (const Case& k : cases) {
        ColumnDesc c{};
        c.IgnoreColumn = k.ignore;
        c.FieldCannotBeNull = k.mandatory;
        c.hasWarning = k.warning;
        c.hasInfo = k.info;
        EXPECT_EQ(DESCEDIT_StateIcon(&c), k.icon) << k.ignore << k.mandatory << k.warning << k.info;
    }
}

TEST(DescEditFormat, ShowsEachTypeItsOwnWay) {
    ColumnDesc c{};
    c.typeCible.type = DATATYPE_DECIMAL;
    c.typeCible.fmtDecimal = {10, 2};
    EXPECT_EQ(DESCEDIT_FormatText(&c), "(10,2)");
    c.typeCible.type = DATATYPE_DATE;
    std::strcpy(c.typeCible.fmtDate, "jj/mm/aaaa");
    EXPECT_EQ(DESCEDIT_FormatText(&c), "jj/mm/aaaa");
    c.typeCible.type = DATATYPE_FIXEDCHAR;
    c.typeCible.fmtChaineFixe.taille = 11;
    EXPECT_EQ(DESCEDIT_FormatText(&c), "11 car.");
    c.typeCible.type = DATATYPE_VARIABLECHAR;
    c.typeCible.fmtChaineVar.tailleMax = 64;
    EXPECT_EQ(DESCEDIT_FormatText(&c), "64 car.");
    c.typeCible.type = DATATYPE_TEXT;
    EXPECT_EQ(DESCEDIT_FormatText(&c), "");
    EXPECT_STREQ(DESCEDIT_TypeName(7), "Booléen (bit)");
    EXPECT_STREQ(DESCEDIT_TypeName(8), "");
}

TEST(DescEditFormat, ReadsTypedDecimalAndLengthAndFallsBackToZero) {
    TypeCible t{};
    t.type = DATATYPE_DECIMAL;
    DESCEDIT_ReadFormat(&t, "10,2");
    EXPECT_EQ(t.fmtDecimal.partieEntiere, 10);
    EXPECT_EQ(t.fmtDecimal.partieDecimale, 2);
    DESCEDIT_ReadFormat(&t, "Aucun");
    EXPECT_EQ(t.fmtDecimal.partieEntiere, 0);
    EXPECT_EQ(t.fmtDecimal.partieDecimale, 0);
    t.type = DATATYPE_FIXEDCHAR;
    DESCEDIT_ReadFormat(&t, "32");
    EXPECT_EQ(t.fmtChaineFixe.taille, 32);
    t.type = DATATYPE_DATETIME;
    DESCEDIT_ReadFormat(&t, std::string(200, 'x').c_str());
    EXPECT_EQ(std::strlen(t.fmtDateTime), 63u);
    EXPECT_EQ(DESCEDIT_OfferedFormats(DATATYPE_VARIABLECHAR).size(), 11u);
    EXPECT_EQ(DESCEDIT_OfferedFormats(DATATYPE_DATETIME).front(), "Aucun");
}

TEST(DescEditMenu, GreysByTheNumberOfSelectedRows) {
    DESCEDIT_MENU none = DESCEDIT_MenuState(0, true, true);
    for (int c = 1081; c <= 1088; ++c) EXPECT_FALSE(none.enabled[c - 1081]) << c;
    EXPECT_TRUE(none.enabled[1089 - 1081]);
    DESCEDIT_MENU three = DESCEDIT_MenuState(3, true, false);
    EXPECT_FALSE(three.enabled[0]);
    EXPECT_FALSE(three.enabled[1]);
    EXPECT_FALSE(three.enabled[2]);
    EXPECT_TRUE(three.enabled[1084 - 1081]);
    EXPECT_TRUE(three.enabled[1088 - 1081]);
    EXPECT_FALSE(three.enabled[1089 - 1081]);
    EXPECT_FALSE(three.enabled[1090 - 1081]);
    EXPECT_EQ(three.deleteText, "Supprimer les 3 colonnes sélectionnées");
    EXPECT_EQ(DESCEDIT_MenuState(1, true, true).deleteText, "Supprimer");
}

TEST(DescEditMove, KeepsTheFirstColumnInPlaceAndRenumbers) {
    Desc desc({"A", "B", "C"});
    EXPECT_FALSE(DESCEDIT_MoveColumn(desc.d, desc.col("A"), -1));
    EXPECT_EQ(desc.order(), "A1B2C3");
    EXPECT_EQ(desc.d->isModified, 0);
    EXPECT_TRUE(DESCEDIT_MoveColumn(desc.d, desc.col("C"), -1));
    EXPECT_EQ(desc.order(), "A1C2B3");
    EXPECT_EQ(desc.col("C")->StartPosition, 3);
    EXPECT_FALSE(DESCEDIT_MoveColumn(desc.d, desc.col("B"), +1));
}

TEST(DescEditKeys, PrimaryKeyIsNamedAfterTheTableAndReplaced) {
    Desc desc({"A", "B", "C"});
    ASSERT_EQ(DESCEDIT_SetPrimaryKey(desc.d, {desc.col("B"), desc.col("A")}), 0);
    EXPECT_STREQ(desc.d->primaryKey.name, "PK_CLIENT");
    EXPECT_EQ(DESCEDIT_IndexComponents(&desc.d->primaryKey), "B, A");
    ASSERT_EQ(DESCEDIT_SetPrimaryKey(desc.d, {desc.col("C")}), 0);
    EXPECT_EQ(DESCEDIT_IndexComponents(&desc.d->primaryKey), "C");
    EXPECT_EQ(DESCEDIT_SetPrimaryKey(desc.d, {}), 1);
}

TEST(DescEditKeys, EachIndexKeepsItsOwnColumns) {
    Desc desc({"A", "B", "C"});
    DESCEDIT_AddIndex(desc.d, {desc.col("A"), desc.col("B")});
    DESCEDIT_AddIndex(desc.d, {desc.col("C")});
    ASSERT_EQ(static_cast<int>(desc.d->indexes.size()), 2);
    IndexDesc* first = desc.d->indexes[0].get();
    IndexDesc* second = desc.d->indexes[1].get();
    EXPECT_STREQ(first->name, "IDX_CLIENT");
    EXPECT_EQ(DESCEDIT_IndexComponents(first), "A, B");
    EXPECT_EQ(DESCEDIT_IndexComponents(second), "C");
}

TEST(DescEditDelete, DropsDeletedColumnsFromTheKeyAndIndexes) {
    Desc desc({"A", "B", "C"});
    DESCEDIT_SetPrimaryKey(desc.d, {desc.col("A"), desc.col("B")});
    DESCEDIT_AddIndex(desc.d, {desc.col("B"), desc.col("C")});
    EXPECT_EQ(DESCEDIT_DeleteColumns(desc.d, {desc.col("B")}), 1);
    EXPECT_EQ(desc.order(), "A1C2");
    EXPECT_EQ(DESCEDIT_IndexComponents(&desc.d->primaryKey), "A");
    ASSERT_EQ(desc.d->indexes.size(), 1u);
    EXPECT_EQ(DESCEDIT_IndexComponents(desc.d->indexes.front().get()), "C");
}

TEST(DescEditToggle, FlipsEverySelectedColumnWithoutMarkingModified) {
    Desc desc({"A", "B"});
    DESCEDIT_ToggleMandatory({desc.col("A"), desc.col("B")});
    DESCEDIT_ToggleIgnore({desc.col("B")});
    EXPECT_EQ(desc.col("A")->FieldCannotBeNull, 1);
    EXPECT_EQ(desc.col("B")->IgnoreColumn, 1);
    EXPECT_EQ(desc.d->isModified, 0);
    DESCEDIT_ToggleMandatory({desc.col("A")});
    EXPECT_EQ(desc.col("A")->FieldCannotBeNull, 0);
}

TEST(DescEditStatistics, NamesTheColumnAndItsCounts) {
    Desc desc({"MONTANT"});
    ColumnDesc* c = desc.col("MONTANT");
    EXPECT_EQ(DESCEDIT_StatisticsText(c), "");
    c->stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
    c->stats->countDecimalsWithComma = 7;
    c->stats->maxLength = 12;
    std::string text = DESCEDIT_StatisticsText(c);
    EXPECT_EQ(text.rfind("\n\nColonne : MONTANT\n\nTypes reconnus : \n", 0), 0u);
    EXPECT_NE(text.find(" - Décimaux (séparateur:virgule) : 7\n"), std::string::npos);
    EXPECT_NE(text.find(" - Maximum: 12\n"), std::string::npos);
}

TEST(DescEditSeparator, DerivesTheChoiceFromTheConvertedFirstCharacter) {
    Desc desc({});
    struct Case {
        const char* text;
        DescEditSeparator choice;
    } cases[] = {{";", SEPARATOR_SEMICOLON}, {"\\t", SEPARATOR_TAB}, {",", SEPARATOR_COMMA},
                 {" ", SEPARATOR_SPACE},     {"~", SEPARATOR_TILDE}, {"|", SEPARATOR_PIPE},
                 {"#", SEPARATOR_OTHER}};
    for (const Case& k : cases) {
        DESCEDIT_SetSeparator(desc.d, k.text);
        EXPECT_EQ(DESCEDIT_SeparatorChoice(desc.d), k.choice) << k.text;
        EXPECT_EQ(DESCEDIT_SeparatorText(k.choice, "#"), k.text);
    }
    DESCEDIT_SetSeparator(desc.d, "\\t");
    EXPECT_EQ(FILEDESC_DelimiterBytes(*desc.d), "\t");
}

TEST(DescEditKeys, RemovingAndRenamingMarkTheDescriptionModified) {
    Desc desc({"A", "B", "C"});
    EXPECT_EQ(DESCEDIT_RemovePrimaryKey(desc.d), 1);  // none yet
    DESCEDIT_SetPrimaryKey(desc.d, {desc.col("A")});
    DESCEDIT_AddIndex(desc.d, {desc.col("B")});
    DESCEDIT_AddIndex(desc.d, {desc.col("C")});
    std::vector<IndexDesc*> indexes = DESCEDIT_Indexes(desc.d);
    ASSERT_EQ(indexes.size(), 2u);
    desc.d->isModified = 0;

    morvex::TraceCapture trace;
    EXPECT_EQ(DESCEDIT_RenameIndex(desc.d, indexes[1], "IDX_VILLE"), 0);
    EXPECT_STREQ(indexes[1]->name, "IDX_VILLE");
    EXPECT_NE(trace.text().find("\nNouveau label : [IDX_VILLE]"), std::string::npos);
    EXPECT_EQ(desc.d->isModified, 1);
    EXPECT_EQ(DESCEDIT_RenameIndex(desc.d, indexes[1], ""), 1);  // an empty name is refused
    EXPECT_STREQ(indexes[1]->name, "IDX_VILLE");
    DESCEDIT_RenameIndex(desc.d, indexes[0], std::string(100, 'N').c_str());
    EXPECT_EQ(std::strlen(indexes[0]->name), static_cast<size_t>(INDEX_NAME_MAX));

    EXPECT_EQ(DESCEDIT_RemoveIndex(desc.d, &desc.d->primaryKey), 1);  // not an index
    EXPECT_EQ(DESCEDIT_RemoveIndex(desc.d, indexes[0]), 0);
    ASSERT_EQ(DESCEDIT_Indexes(desc.d).size(), 1u);
    EXPECT_EQ(DESCEDIT_IndexComponents(DESCEDIT_Indexes(desc.d)[0]), "C");
    EXPECT_EQ(DESCEDIT_RemovePrimaryKey(desc.d), 0);
    EXPECT_FALSE(DESCEDIT_HasPrimaryKey(desc.d));
    EXPECT_EQ(DESCEDIT_IndexComponents(&desc.d->primaryKey), "");
}

TEST(DescEditDictionary, SendsColumnsUnderTheTableAndSavesTheFile) {
    morvex::testing::TempDir dir("desceditdico");
    morvex::ScriptedUiPort port;
    morvex::setUiPort(&port);
    Desc desc({"ID", "NOM"});
    std::strcpy(desc.d->DatabaseName, "GESTION");
    const std::string path = dir.file("Dictionnaire.xml");
    EXPECT_EQ(DESCEDIT_SendToDictionary(desc.d, {desc.col("ID"), desc.col("NOM")}, path.c_str()),
              2);
    DICO_Close();
    DATADIC* saved = DATADICXML_LoadFromFile(path.c_str());
    ASSERT_NE(saved, nullptr);
    DATADIC_ELT* nom = DATADIC_SearchElt(saved, "NOM");
    ASSERT_NE(nom, nullptr);
    EXPECT_NE(DATADIC_SearchReference(saved, "NOM", "GESTION", "CLIENT"), nullptr);
    DATADIC_Destroy(saved);

    // A file that exists but cannot be read is left as it is.
    const std::string broken = dir.write("broken.xml", "not xml at all");
    EXPECT_EQ(DESCEDIT_SendToDictionary(desc.d, {desc.col("ID")}, broken.c_str()), -1);
    std::ifstream kept(broken, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "not xml at all");
    EXPECT_EQ(DICO_Current(), nullptr);
    ASSERT_FALSE(port.messages.empty());
    EXPECT_NE(port.messages.back().find("illisible"), std::string::npos);
    morvex::setUiPort(nullptr);
}

}  // namespace

namespace {

std::string widths(FileDesc* d) {
    std::string s;
    for (ColumnDesc* c : DESCEDIT_Columns(d))
        s += (s.empty() ? "" : " ") + std::to_string(c->WidthInChars);
    return s;
}

// Every edit that names something refuses a name holding a control character, with the same
// words whichever front end makes it, and leaves the description as it was.
TEST(DescEditNames, ControlCharactersAreRefusedInEveryName) {
    Desc d({"A"});
    morvex::TraceCapture quiet;
    const std::string hostile = "x\r\nGO\r\nDROP TABLE victim1";
    const std::string shown = "« x\\r\\nGO\\r\\nDROP TABLE victim1 »";

    ColumnDesc fields = DESCEDIT_NewColumnFields(hostile.c_str());
    std::string refusal = DESCEDIT_ApplyDetail(d.d, nullptr, fields);
    EXPECT_EQ(refusal, "Le nom de la colonne " + shown +
                           " contient un retour chariot (CR) : les noms ne peuvent pas contenir "
                           "de caractère de contrôle.");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d.d, d.col("A"), fields), refusal);
    EXPECT_EQ(DESCEDIT_CodeRefusal("tab\there"),
              "Le nom de la colonne « tab\\there » contient une tabulation : les noms ne peuvent "
              "pas contenir de caractère de contrôle.");
    EXPECT_EQ(d.order(), "A1");

    for (const char* property : {"project", "table", "schema", "database"}) {
        SCOPED_TRACE(property);
        EXPECT_NE(DESCEDIT_SetProperty(d.d, property, "p\x1b"), "");
    }
    EXPECT_STREQ(d.d->TableName, "CLIENT");
    EXPECT_STREQ(d.d->ProjectName, "Projet");
    EXPECT_EQ(d.d->isModified, 0);
    // A description (free text) may go over several lines.
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "description", hostile), "");

    EXPECT_EQ(DESCEDIT_IndexNameRefusal(d.d, "ix\n1"),
              "Le nom de l'index « ix\\n1 » contient un saut de ligne (LF) : les noms ne peuvent "
              "pas contenir de caractère de contrôle.");
    DESCEDIT_SetPrimaryKey(d.d, {d.col("A")});
    EXPECT_EQ(DESCEDIT_RenameIndex(d.d, &d.d->primaryKey, "pk\x7f"), 1);
    EXPECT_STREQ(d.d->primaryKey.name, "PK_CLIENT");
    // Quotes, brackets, semicolons and shell text are names like others.
    fields = DESCEDIT_NewColumnFields("a'b\"c]d; $(id) `id` \xc3\xa9");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d.d, nullptr, fields), "");
}

}  // namespace

TEST(DescEditBorders, MoveTheBorderWithTheNeighbourOnlyInAFixedWidthFile) {
    const struct {
        bool start;
        int character;
        const char* refusal;  // part of it; "" when the edit is made
        const char* widths;
    } cases[] = {
        {true, 2, "", "1 3 2"},
        {true, 1, "entre les caractères 2 et 4 (la colonne A la précède)", "2 2 2"},
        {false, 5, "", "2 3 1"},
        {false, 6, "entre les caractères 3 et 5 (la colonne C la suit)", "2 2 2"},
    };
    for (const auto& c : cases) {
        Desc d({"A", "B", "C"});
        d.d->TypeStructFile = STRUCTFILE_FIXED;
        const std::string refusal = c.start ? DESCEDIT_SetColumnStart(d.d, d.col("B"), c.character)
                                            : DESCEDIT_SetColumnEnd(d.d, d.col("B"), c.character);
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
        EXPECT_EQ(refusal.empty(), !*c.refusal) << refusal;
        EXPECT_EQ(widths(d.d), c.widths) << c.start << c.character;
    }
    Desc delimited({"A", "B"});
    EXPECT_NE(DESCEDIT_SetColumnEnd(delimited.d, delimited.col("A"), 3), "");
    EXPECT_EQ(widths(delimited.d), "2 2");
}

TEST(DescEditProperties, SetByNameOrRefusedWithTheReason) {
    Desc d({"A", "B", "C"});
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "delimiter", ""), "");
    EXPECT_EQ(d.d->TypeStructFile, STRUCTFILE_FIXED);
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "unquote", "'"), "");
    EXPECT_EQ(d.d->Unquote, 1);
    EXPECT_EQ(d.d->QuoteChar, '\'');
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "first-line", "0"),
              "La valeur de first-line doit être un nombre entier d'au moins 1 : '0'.");
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "couleur", "bleu"), "Propriété inconnue : 'couleur'.");
    EXPECT_EQ(DESCEDIT_MoveColumnTo(d.d, d.col("C"), 1), "");
    EXPECT_EQ(d.order(), "C1A2B3");
    EXPECT_EQ(DESCEDIT_MoveColumnTo(d.d, d.col("C"), 4),
              "La position 4 n'existe pas : la description a 3 colonne(s).");
}

namespace {

// Two columns whose names a database takes for one are refused, whichever way the name comes
// (a renamed column, a new one); a name that only differs beyond ASCII letters is another name.
TEST(DescEditNames, RefusesANameAnotherColumnHasAsADatabaseComparesNames) {
    Desc d({"Code", "Ville"});
    ColumnDesc fields = *d.col("Ville");
    std::strcpy(fields.code, "CODE");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d.d, d.col("Ville"), fields),
              "Une autre colonne s'appelle déjà « Code » : deux colonnes d'une table ne peuvent "
              "pas avoir le même nom (« CODE »).");
    EXPECT_NE(d.col("Ville"), nullptr);
    ColumnDesc added = DESCEDIT_NewColumnFields("ville");
    EXPECT_NE(DESCEDIT_ApplyDetail(d.d, nullptr, added), "");
    EXPECT_EQ(d.order(), "Code1Ville2");
    // The column keeps its own name in another case, and "É" is not "é" to a database.
    std::strcpy(fields.code, "VILLE");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d.d, d.col("Ville"), fields), "");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d.d, nullptr, DESCEDIT_NewColumnFields("\xC3\xA9t\xC3\xA9")),
              "");
    EXPECT_EQ(DESCEDIT_ApplyDetail(d.d, nullptr, DESCEDIT_NewColumnFields("\xC3\x89t\xC3\xA9")),
              "");
    EXPECT_EQ(d.order(),
              "Code1VILLE2\xC3\xA9t\xC3\xA9"
              "3\xC3\x89t\xC3\xA9"
              "4");
}

// A text longer than its field is refused with the limit, never kept cut.
TEST(DescEditTexts, RefusesATextLongerThanItsFieldAndKeepsOneThatFits) {
    Desc d({"A"});
    ColumnDesc fields = *d.col("A");
    const std::string long2000(2000, 'd');
    EXPECT_EQ(DESCEDIT_ReadColumnTexts(&fields, "A", long2000),
              "La description de la colonne dépasse 1 024 octets (2 000 octets) : rien n'est "
              "enregistré.");
    EXPECT_STREQ(fields.Description, "");
    EXPECT_EQ(DESCEDIT_ReadColumnTexts(&fields, std::string(257, 'c'), ""),
              "Le code de la colonne dépasse 256 octets (257 octets) : rien n'est enregistré.");
    EXPECT_EQ(DESCEDIT_ReadColumnTexts(&fields, "A", std::string(1024, 'd')), "");
    EXPECT_EQ(std::strlen(fields.Description), 1024u);
    EXPECT_EQ(DESCEDIT_FormatRefusal(DATATYPE_DATE, std::string(64, 'j')),
              "Le format dépasse 63 octets (64 octets) : rien n'est enregistré.");
    EXPECT_EQ(DESCEDIT_FormatRefusal(DATATYPE_VARIABLECHAR, std::string(64, '1')), "");
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "table", std::string(64, 't')),
              "La valeur de table dépasse 63 octets (64 octets) : rien n'est enregistré.");
    EXPECT_STREQ(d.d->TableName, "CLIENT");
    EXPECT_EQ(DESCEDIT_SetProperty(d.d, "table", std::string(63, 't')), "");
}

}  // namespace

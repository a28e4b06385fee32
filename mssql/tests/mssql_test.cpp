#include "mssql/mssql.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "filedesc/filedesc.h"
#include "foundation/codequote.h"
#include "foundation/testing/tempdir.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"
#include "sqliteload/tests/output_test_util.h"

namespace fs = std::filesystem;
using morvex::testing::TempDir;
using outtest::Contains;
using outtest::StartsWith;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// `text` with its line feeds written as CR LF.
std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct ColumnSpec {
    const char* code;
    int type;
    int width;
    int ignored = 0;
    const char* description = "";
};

ColumnDesc MakeColumn(const ColumnSpec& s) {
    ColumnDesc c{};
    snprintf(c.code, sizeof c.code, "%s", s.code);
    snprintf(c.Description, sizeof c.Description, "%s", s.description);
    c.typeCible.type = s.type;
    c.WidthInChars = s.width;
    c.IgnoreColumn = s.ignored;
    c.typeCible.fmtDecimal = {8, 2};
    strcpy(c.typeCible.fmtDate, "jj/mm/aaaa");
    strcpy(c.typeCible.fmtDateTime, "jj/mm/aaaa HH:MM:SS");
    c.typeCible.fmtChaineFixe.taille = s.width;
    c.typeCible.fmtChaineVar.tailleMax = s.width;
    return c;
}

// A description with the given columns (closed by the deleter).
struct Desc {
    morvex::TraceCapture quiet;  // keeps the description's own trace out of the test output
    FileDesc* d;
    Desc(int structure, const std::vector<ColumnSpec>& columns, const char* delimiter = ";") {
        d = FILEDESC_CreateFileDesc("Import clients", nullptr, structure, "\\r\\n", delimiter);
        strcpy(d->TableName, "CLIENT");
        d->BeginFromLine = 1;
        for (const ColumnSpec& s : columns) {
            ColumnDesc c = MakeColumn(s);
            FILEDESC_AjouterColonne(d, &c);
        }
    }
    ~Desc() { FILEDESC_CloseFileDesc(d); }
};

TypeCible Type(int type) {
    return MakeColumn({"C", type, 30}).typeCible;
}

// ---- Literals and types ----

TEST(MSSQL_GenerateStringForData, WritesAValidLiteralWhateverTheText) {
    const struct {
        int type;
        const char* text;
        const char* expected;
    } cases[] = {
        {DATATYPE_INTEGER, "42", "42"},
        {DATATYPE_INTEGER, "  -7 ", "  -7 "},
        {DATATYPE_INTEGER, "", "NULL"},
        {DATATYPE_INTEGER, "   ", "NULL"},
        {DATATYPE_INTEGER, "4x2", "'4x2'"},
        {DATATYPE_INTEGER, "1); DROP TABLE CLIENT; --", "'1); DROP TABLE CLIENT; --'"},
        {DATATYPE_INTEGER, "1,5", "'1,5'"},
        {DATATYPE_DECIMAL, "12,50", "12.50"},
        {DATATYPE_DECIMAL, "-0.25", "-0.25"},
        {DATATYPE_DECIMAL, "5,", "5.0"},
        {DATATYPE_DECIMAL, ",5", "0.5"},
        {DATATYPE_DECIMAL, " -,5", " -0.5"},
        {DATATYPE_DECIMAL, "", "NULL"},
        {DATATYPE_DECIMAL, "1,234.5", "'1,234.5'"},
        {DATATYPE_DECIMAL, "0' OR '1'='1", "'0'' OR ''1''=''1'"},
        {DATATYPE_BOOLEAN, "1", "1"},
        {DATATYPE_BOOLEAN, "", "NULL"},
        {DATATYPE_BOOLEAN, "oui", "'oui'"},
        {DATATYPE_DATE, "26/02/2015", "'20150226'"},
        {DATATYPE_DATE, "", "NULL"},
        {DATATYPE_DATE, "  ", "NULL"},
        {DATATYPE_DATE, "26/02/20xx", "'00000226'"},
        {DATATYPE_DATETIME, "26/02/2015 13:45:07", "'20150226 13:45:07'"},
        {DATATYPE_DATETIME, "", "NULL"},
        {DATATYPE_VARIABLECHAR, "L'Oréal", "N'L''Oréal'"},
        {DATATYPE_VARIABLECHAR, "a\r\nGO\r\nb", "'a'+CHAR(13)+CHAR(10)+'GO'+CHAR(13)+CHAR(10)+'b'"},
        {DATATYPE_TEXT, "\nÉté\n", "CHAR(10)+N'Été'+CHAR(10)"},
        {DATATYPE_INTEGER, "1\nGO", "'1'+CHAR(10)+'GO'"},
        {DATATYPE_VARIABLECHAR, "", "''"},
        {DATATYPE_FIXEDCHAR, " a ", "' a '"},
        {DATATYPE_TEXT, "x'); DROP TABLE t; --", "'x''); DROP TABLE t; --'"},
    };
    morvex::TraceCapture quiet;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as type " + std::to_string(c.type));
        const TypeCible t = Type(c.type);
        char buffer[128] = "?";
        ASSERT_EQ(MSSQL_GenerateStringForData(&t, c.text, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(MSSQL_GenerateStringForData, NeverCutsALiteralToFitTheBuffer) {
    const TypeCible t = Type(DATATYPE_VARIABLECHAR);
    char buffer[6] = "?";
    EXPECT_EQ(MSSQL_GenerateStringForData(&t, "abc'", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(MSSQL_GenerateStringForData(&t, "abc", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "'abc'");
    EXPECT_EQ(MSSQL_GenerateStringForData(nullptr, "1", buffer, sizeof buffer), 1);
}

TEST(GenerateMSSQLType, FollowsTheTargetTypeAndItsFormat) {
    const struct {
        int type;
        const char* expected;
    } cases[] = {{DATATYPE_INTEGER, "int"},        {DATATYPE_DECIMAL, "decimal(10, 2)"},
                 {DATATYPE_DATE, "datetime"},      {DATATYPE_DATETIME, "datetime"},
                 {DATATYPE_FIXEDCHAR, "char(30)"}, {DATATYPE_VARIABLECHAR, "varchar(30)"},
                 {DATATYPE_TEXT, "text"},          {DATATYPE_BOOLEAN, "bit"}};
    for (const auto& c : cases) {
        const TypeCible t = Type(c.type);
        char buffer[32] = "";
        EXPECT_EQ(GenerateMSSQLType(&t, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, c.expected);
    }
    const TypeCible unknown = Type(9);
    char buffer[32] = "?";
    EXPECT_EQ(GenerateMSSQLType(&unknown, buffer, sizeof buffer), 1);
    EXPECT_EQ(GenerateMSSQLType(nullptr, buffer, sizeof buffer), 1);
}

// ---- Table text and INSERT ----

TEST(MSSQL_GenerateCreateTable,
     DropsAndCreatesWithNamesBetweenBracketsAndTheirClosingBracketsDoubled) {
    Desc desc(STRUCTFILE_DELIMITED, {{"ID", DATATYPE_INTEGER, 5},
                                     {"NO]M", DATATYPE_VARIABLECHAR, 30, 1, ""},
                                     {"MONTANT", DATATYPE_DECIMAL, 11}});
    strcpy(desc.d->TableName, "CLI\"EN]T");
    DYNSTRING* sql = MSSQL_GenerateCreateTable(desc.d, 1);
    ASSERT_NE(sql, nullptr);
    EXPECT_STREQ(DYNSTRING_GetCString(sql),
                 "DROP TABLE  [CLI\"EN]]T];\nCREATE TABLE [CLI\"EN]]T] (FileRowID int,\n"
                 "[ID] int,\n[NO]]M] varchar(30),\n[MONTANT] decimal(10, 2));\n");
    DYNSTRING_Destroy(sql);
    EXPECT_EQ(MSSQL_GenerateCreateTable(nullptr, 0), nullptr);
}

DATACOLUMN* Field(int column, const char* value) {
    auto* f = static_cast<DATACOLUMN*>(calloc(1, sizeof(DATACOLUMN)));
    f->columnIndex = column;
    f->value = strdup(value);
    f->length = static_cast<int>(strlen(value));
    return f;
}

TEST(MSSQL_GenerateInsert, ListsTheRowsColumnsAndSkipsFieldsWithoutOne) {
    Desc desc(STRUCTFILE_DELIMITED,
              {{"ID", DATATYPE_INTEGER, 5}, {"NOM", DATATYPE_VARIABLECHAR, 30}});
    LDCG* row = LDCG_Create(nullptr, DATACOLUMN_Destroy);
    LDCG_Add(row, Field(0, "7"), nullptr);
    LDCG_Add(row, Field(1, "L'Oréal"), nullptr);
    LDCG_Add(row, Field(-1, "extra"), nullptr);
    morvex::TraceCapture trace;
    DYNSTRING* sql = MSSQL_GenerateInsert(desc.d, "CLIENT", row, 12, 1);
    ASSERT_NE(sql, nullptr);
    EXPECT_STREQ(DYNSTRING_GetCString(sql),
                 "INSERT INTO [CLIENT] (FileRowID, [ID], [NOM])\nVALUES (12, 7, N'L''Oréal');\n"
                 "GO\n");
    DYNSTRING_Destroy(sql);
    EXPECT_TRUE(Contains(trace.text(),
                         "\n[MSSQL_GenerateInsert] : Aucune description de colonne : Non prise "
                         "en compte de la colonne"));
    sql = MSSQL_GenerateInsert(desc.d, "MA TABLE", row, 1, 0);
    EXPECT_TRUE(StartsWith(DYNSTRING_GetCString(sql), "INSERT INTO [MA TABLE] ([ID]"));
    DYNSTRING_Destroy(sql);
    // No name with a line end reaches a statement.
    EXPECT_EQ(MSSQL_GenerateInsert(desc.d, "T\r\nGO", row, 1, 0), nullptr);
    EXPECT_EQ(MSSQL_GenerateInsert(desc.d, nullptr, row, 1, 0), nullptr);
    LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
}

// ---- INSERT script ----

TEST(MSSQL_SendDataToSQLServer, WritesTheTableAndOneInsertWithGoPerRowInCrLf) {
    TempDir dir("mssql");
    Desc desc(STRUCTFILE_DELIMITED, {{"ID", DATATYPE_INTEGER, 5},
                                     {"NOM", DATATYPE_VARIABLECHAR, 30},
                                     {"DT", DATATYPE_DATE, 10}});
    desc.d->FirstLineIsHeader = 1;
    desc.d->BeginFromLine = 1;
    const std::string data =
        dir.write("clients.csv", "ID;NOM;DT\r\n1;L'Oréal;26/02/2015\r\n;Dupont;\r\n");
    const std::string script = dir.file("out.sql");
    morvex::ScriptedUiPort port;
    morvex::setUiPort(&port);
    EXPECT_EQ(MSSQL_SendDataToSQLServer(desc.d, data.c_str(), script.c_str(), 0), 2);
    morvex::setUiPort(nullptr);
    EXPECT_EQ(ReadAll(script),
              Crlf("DROP TABLE  [CLIENT];\nCREATE TABLE [CLIENT] ([ID] int,\n"
                   "[NOM] varchar(30),\n[DT] datetime);\n\n"
                   "INSERT INTO [CLIENT] ([ID], [NOM], [DT])\nVALUES (1, N'L''Oréal', "
                   "'20150226');\nGO\n\n"
                   "INSERT INTO [CLIENT] ([ID], [NOM], [DT])\nVALUES (NULL, 'Dupont', "
                   "NULL);\nGO\n\n"));
    ASSERT_FALSE(port.statusTexts.empty());
    EXPECT_EQ(port.statusTexts.back(),
              "Chargement Terminé : 2 lignes chargées en base de données.");
}

TEST(MSSQL_SendDataToSQLServer, PutsTheDataFileLineNumberFirstWithTheFlag) {
    TempDir dir("mssql");
    Desc desc(STRUCTFILE_DELIMITED, {{"ID", DATATYPE_INTEGER, 5}});
    desc.d->FirstLineIsHeader = 1;
    desc.d->BeginFromLine = 1;
    const std::string data = dir.write("d.csv", "ID\r\n5\r\n6\r\n");
    const std::string script = dir.file("out.sql");
    morvex::TraceCapture quiet;
    EXPECT_EQ(MSSQL_SendDataToSQLServer(desc.d, data.c_str(), script.c_str(), 1), 2);
    const std::string text = ReadAll(script);
    EXPECT_TRUE(Contains(text, "(FileRowID int,\r\n[ID] int);"));
    EXPECT_TRUE(Contains(text, "INSERT INTO [CLIENT] (FileRowID, [ID])\r\nVALUES (2, 5);"));
    EXPECT_TRUE(Contains(text, "VALUES (3, 6);"));
}

TEST(MSSQL_SendDataToSQLServer, ReportsEachFailureWithItsOwnCode) {
    TempDir dir("mssql");
    Desc desc(STRUCTFILE_DELIMITED, {{"ID", DATATYPE_INTEGER, 5}});
    const std::string data = dir.write("d.csv", "1\r\n");
    const std::string script = dir.file("out.sql");
    morvex::TraceCapture quiet;
    EXPECT_EQ(MSSQL_SendDataToSQLServer(nullptr, data.c_str(), script.c_str(), 0), -1);
    EXPECT_EQ(MSSQL_SendDataToSQLServer(desc.d, nullptr, script.c_str(), 0), -1);
    EXPECT_EQ(
        MSSQL_SendDataToSQLServer(desc.d, data.c_str(), dir.file("no/such/dir.sql").c_str(), 0),
        -2);
    EXPECT_EQ(MSSQL_SendDataToSQLServer(desc.d, dir.file("missing.csv").c_str(), script.c_str(), 0),
              -3);
    ASSERT_TRUE(fs::exists(script));
    EXPECT_EQ(fs::file_size(script), 0u);
}

TEST(MSSQL_SendDataToSQLServer, StreamsAFileLargerThanItsWriteBlock) {
    TempDir dir("mssql");
    Desc desc(STRUCTFILE_DELIMITED,
              {{"ID", DATATYPE_INTEGER, 5}, {"NOM", DATATYPE_VARIABLECHAR, 200}});
    std::string rows;
    const std::string name(150, 'x');
    const int n = 12000;  // about 2.5 MB of script
    for (int i = 1; i <= n; ++i) rows += std::to_string(i) + ";" + name + "\r\n";
    const std::string data = dir.write("big.csv", rows);
    const std::string script = dir.file("big.sql");
    morvex::TraceCapture quiet;
    ASSERT_EQ(MSSQL_SendDataToSQLServer(desc.d, data.c_str(), script.c_str(), 0), n);
    const std::string text = ReadAll(script);
    std::string expected = text.substr(0, text.find("INSERT"));
    for (int i = 1; i <= n; ++i) {
        expected += "INSERT INTO [CLIENT] ([ID], [NOM])\r\nVALUES (" + std::to_string(i) + ", '" +
                    name + "');\r\nGO\r\n\r\n";
    }
    EXPECT_GT(text.size(), 2u << 20);
    EXPECT_TRUE(text == expected) << "the script differs from the rows written one by one";
}

// ---- Parameter files ----

TEST(EnregistrerParametres, WritesTheFixedSlotsZeroFilledAfterEachText) {
    TempDir dir("mssql");
    MSSQL_PARAMS p;
    memset(&p, 'x', sizeof p);  // garbage after each text must not reach the file
    strcpy(p.nomBase, "Ventes");
    strcpy(p.nomTable, "T");
    strcpy(p.fichierDonnees, "d.txt");
    strcpy(p.fichierFormat, "f.fmt");
    strcpy(p.scriptBCP, "b.sql");
    strcpy(p.scriptMAJ, "m.sql");
    const std::string path = dir.file("p.prm");
    ASSERT_EQ(EnregistrerParametres(&p, path.c_str()), 0);
    const std::string bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 1174u);
    std::string expected(1174, '\0');
    expected.replace(0, 6, "Ventes");
    expected.replace(65, 1, "T");
    expected.replace(130, 5, "d.txt");
    expected.replace(391, 5, "f.fmt");
    expected.replace(652, 5, "b.sql");
    expected.replace(913, 5, "m.sql");
    EXPECT_EQ(bytes, expected);

    MSSQL_PARAMS back;
    MSSQL_InitParams(&back);
    ASSERT_EQ(ChargerParametres(&back, path.c_str()), 0);
    EXPECT_STREQ(back.nomBase, "Ventes");
    EXPECT_STREQ(back.scriptMAJ, "m.sql");
    EXPECT_EQ(EnregistrerParametres(&p, dir.file("no/dir/p.prm").c_str()), 1);
}

TEST(ChargerParametres, AShortFileFillsOnlyTheSlotsItCoversAndEverySlotStaysTerminated) {
    TempDir dir("mssql");
    std::string bytes(200, 'A');  // two whole name slots without a terminator, then part of one
    const std::string path = dir.write("short.prm", bytes);
    MSSQL_PARAMS p;
    memset(&p, 'x', sizeof p);  // the defaults replace whatever was there
    ASSERT_EQ(MSSQL_InitParams(&p), 0);
    EXPECT_STREQ(p.nomTable, "TBL_IMPORT");
    ASSERT_EQ(ChargerParametres(&p, path.c_str()), 0);
    EXPECT_EQ(std::string(p.nomBase), std::string(64, 'A'));
    EXPECT_EQ(std::string(p.nomTable), std::string(64, 'A'));
    // The slots the file does not reach keep the documented default names.
    EXPECT_STREQ(p.fichierDonnees, "imp_data.txt");
    EXPECT_STREQ(p.fichierFormat, "imp_fmt.fmt");
    EXPECT_STREQ(p.scriptBCP, "imp_bcp.sql");
    EXPECT_STREQ(p.scriptMAJ, "imp_maj.sql");
    EXPECT_EQ(p.scriptMAJ[MSSQL_PATH_SLOT - 1], '\0');

    morvex::TraceCapture quiet;
    EXPECT_EQ(ChargerParametres(&p, dir.file("missing.prm").c_str()), 1);
    EXPECT_EQ(std::string(p.nomBase), std::string(64, 'A'));
}

// ---- Format file, BULK INSERT and update scripts ----

class GenerationFiles : public ::testing::Test {
protected:
    void SetUp() override {
        MSSQL_InitParams(&params_);
        auto set = [this](char* slot, const char* name) {
            snprintf(slot, MSSQL_PATH_SLOT, "%s", dir_.file(name).c_str());
        };
        set(params_.fichierFormat, "imp_fmt.fmt");
        set(params_.scriptBCP, "imp_bcp.sql");
        set(params_.scriptMAJ, "imp_maj.sql");
        morvex::setUiPort(&port_);
    }
    void TearDown() override { morvex::setUiPort(nullptr); }

    // ID (5), NOM (30, ignored), VILLE (20) in a fixed-width or delimited file.
    static std::vector<ColumnSpec> ThreeColumns() {
        return {{"ID", DATATYPE_INTEGER, 5, 0, "Identifiant"},
                {"NOM", DATATYPE_VARIABLECHAR, 30, 1, "Nom du client"},
                {"VILLE", DATATYPE_FIXEDCHAR, 20, 0, "Ville"}};
    }

    // What a generation had to tell, as "title|text", once the port is seen to have shown
    // nothing itself.
    std::vector<std::string> Told() const {
        EXPECT_TRUE(port_.messages.empty()) << "the generation showed a message itself";
        std::vector<std::string> out;
        for (const morvex::UiError& m : told_) out.push_back(m.title + "|" + m.text);
        return out;
    }

    TempDir dir_{"mssql"};
    MSSQL_PARAMS params_;
    MSSQL_TOLD told_;
    morvex::ScriptedUiPort port_;
    morvex::TraceCapture quiet_;
};

TEST_F(GenerationFiles, FormatFileNumbersServerColumnsSkippingTheIgnoredOne) {
    Desc desc(STRUCTFILE_FIXED, ThreeColumns());
    ASSERT_EQ(MSSQL_GenererFichierFormat(&params_, desc.d), 0);
    EXPECT_EQ(ReadAll(params_.fichierFormat),
              Crlf("6.0\n3\n"
                   "001    SQLCHAR      0        005        \"\"              1    ID\n"
                   "002    SQLCHAR      0        030        \"\"              0    NOM\n"
                   "003    SQLCHAR      0        020        \"\\r\\n\"          2    VILLE\n"));
}

TEST_F(GenerationFiles, BulkScriptOfAFixedWidthFileUsesTheFormatFileWithoutIgnoredColumns) {
    Desc desc(STRUCTFILE_FIXED, ThreeColumns());
    ASSERT_EQ(MSSQL_GenererFichierBCP(&params_, desc.d), 0);
    const std::string text = ReadAll(params_.scriptBCP);
    const std::string body = text.substr(text.find("**/\r\n") + 5);
    EXPECT_EQ(body,
              Crlf("\n-- Ouverture de la base de données\nuse [Master]\nGO\n"
                   "\n-- Suppression de la table temporaire\nif exists (select * from "
                   "dbo.sysobjects where id = object_id(N'[bcp_TBL_IMPORT]')\n\t and "
                   "OBJECTPROPERTY(id, N'IsUserTable') = 1)\ndrop table [bcp_TBL_IMPORT]\n"
                   "GO\n"
                   "\n-- Création de la table\nCREATE TABLE [Master]..[bcp_TBL_IMPORT]\n(\n"
                   "\t[ID]                    char(5), -- Identifiant\n"
                   "\t[VILLE]                 char(20), -- Ville\n"
                   "\n)\nGO\n"
                   "\n-- Commande de chargement du fichier\nBULK INSERT "
                   "[Master]..[bcp_TBL_IMPORT]\nFROM N'imp_data.txt'\nWITH\n    (\n"
                   "       FORMATFILE=N'" +
                   std::string(params_.fichierFormat) +
                   "'\n    )\nGO\n"
                   "\n-- Affichage des données\nSELECT *\nFROM [Master]..[bcp_TBL_IMPORT]\n"));
    EXPECT_TRUE(port_.messages.empty());
}

TEST_F(GenerationFiles, BulkScriptOfADelimitedFileTakesEveryColumnAndWarnsOnceAboutTheIgnored) {
    Desc desc(STRUCTFILE_DELIMITED, ThreeColumns());
    desc.d->BeginFromLine = 2;
    ASSERT_EQ(MSSQL_GenererFichierBCP(&params_, desc.d, &told_), 0);
    const std::string text = ReadAll(params_.scriptBCP);
    EXPECT_TRUE(Contains(text, "\t[NOM]                   char(30), -- Nom du client\r\n"));
    EXPECT_TRUE(Contains(text,
                         "\r\n       FIELDTERMINATOR=';',\r\n       FIRSTROW=2,\r\n       "
                         "ROWTERMINATOR='\\r\\n'\r\n    )\r\nGO\r\n"));
    EXPECT_FALSE(Contains(text, "FORMATFILE"));
    const std::vector<std::string> told = Told();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              "Avertissement|Attention : La colonne 'NOM' (Nom du client) a été marquée comme "
              "devant être ignorée lors de l'import.\nCependant, la commande utilisée dans le cas "
              "d'un fichier délimité ne permet pas de gérer cette situation. La colonne sera donc "
              "quand même importée. Si vous ne souhaitez réellement pas l'importer, vous devrez "
              "passer par un fichier de format, également généré par Fylatek.");
}

TEST_F(GenerationFiles, BulkScriptWarnsAboutAWidthBelowOneAndStillWritesIt) {
    Desc desc(STRUCTFILE_FIXED, {{"ID", DATATYPE_INTEGER, 0, 0, "Identifiant"}});
    ASSERT_EQ(MSSQL_GenererFichierBCP(&params_, desc.d, &told_), 0);
    EXPECT_TRUE(Contains(ReadAll(params_.scriptBCP), "char(0), -- Identifiant"));
    const std::vector<std::string> told = Told();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              "Avertissement|La largeur de la colonne 'ID' (Identifiant) est incorrecte (largeur "
              "= 0).\n Le script va être généré mais ne pourra pas être exécuté par la base de "
              "données.");
}

TEST_F(GenerationFiles, UpdateScriptConvertsEachTypeFromTheStagingTable) {
    Desc desc(STRUCTFILE_FIXED, {{"ID", DATATYPE_INTEGER, 5, 0, "Identifiant"},
                                 {"NOM", DATATYPE_VARIABLECHAR, 30, 1, "Nom"},
                                 {"M", DATATYPE_DECIMAL, 10, 0, "Montant"},
                                 {"DT", DATATYPE_DATE, 10, 0, "Date"},
                                 {"VILLE", DATATYPE_FIXEDCHAR, 20, 0, "Ville"}});
    ASSERT_EQ(MSSQL_GenererScriptMAJ(&params_, desc.d), 0);
    const std::string text = ReadAll(params_.scriptMAJ);
    const std::string body = text.substr(text.find("**/\r\n") + 5);
    EXPECT_EQ(
        body,
        Crlf("\n-- Ouverture de la base de données\nuse [Master]\nGO\n"
             "\n-- Suppression de la table\nif exists (select * from dbo.sysobjects where id = "
             "object_id(N'[TBL_IMPORT]')\n\t and OBJECTPROPERTY(id, N'IsUserTable') = 1)\ndrop "
             "table [TBL_IMPORT]\nGO\n"
             "\n-- Création de la table\nCREATE TABLE [Master]..[TBL_IMPORT]\n(\n"
             "\t[ID]                    int, -- Identifiant\n"
             "\t[M]                     decimal(10, 2), -- Montant\n"
             "\t[DT]                    datetime, -- Date\n"
             "\t[VILLE]                 char(20), -- Ville\n"
             "\n)\nGO\n"
             "\n-- Chargement des données avec conversion des formats\nINSERT INTO "
             "[Master]..[TBL_IMPORT] (\n\t[ID], -- Identifiant\n\t[M], -- Montant\n\t[DT], -- "
             "Date\n\t[VILLE]  -- Ville\n)\nSELECT "
             "\n\tconvert(int, [ID]) as [ID],"
             "\n\tconvert(decimal(10, 2), substring([M], 1, 8)+'.'+substring([M], 9, 2)) as [M],"
             "\n\tcase when isdate([DT]) = 1 then convert(datetime, [DT]) else NULL end [DT],"
             "\n\tconvert(char(20), [VILLE]) as [VILLE]"
             "\nFROM [Master]..[bcp_TBL_IMPORT]\nGO\n"
             "\n-- Affichage des données\nSELECT *\nFROM [Master]..[TBL_IMPORT]"
             "\n\n-- Suppression de la table temporaire\nif exists (select * from "
             "dbo.sysobjects where id = object_id(N'[bcp_TBL_IMPORT]')\n\t and "
             "OBJECTPROPERTY(id, N'IsUserTable') = 1)\ndrop table [bcp_TBL_IMPORT]\nGO\n"));
    EXPECT_TRUE(port_.messages.empty());
}

TEST_F(GenerationFiles, UpdateScriptWarnsAboutAVarcharSizeOutOfRangeButKeepsIt) {
    Desc desc(STRUCTFILE_FIXED, {{"L", DATATYPE_VARIABLECHAR, 300, 0, "Libellé"},
                                 {"C", DATATYPE_FIXEDCHAR, 0, 0, "Code"},
                                 {"OK", DATATYPE_VARIABLECHAR, 255, 0, "Bon"}});
    ASSERT_EQ(MSSQL_GenererScriptMAJ(&params_, desc.d, &told_), 0);
    const std::string text = ReadAll(params_.scriptMAJ);
    EXPECT_TRUE(Contains(text, "varchar(300), -- Libellé"));
    EXPECT_TRUE(Contains(text, "convert(varchar(300), [L]) as [L],"));
    const std::vector<std::string> told = Told();
    ASSERT_EQ(told.size(), 2u);
    const char* tail =
        "\nLes valeurs autorisées sont entre 1 et 255 (SQL Server < 2000) ou 1 et 8000 (SQL "
        "Server 2000 et suivants).\nLa génération va se poursuivre, mais le script ne sera pas "
        "correct.";
    EXPECT_EQ(told[0], std::string("Avertissement|Attention : La colonne 'L' (Libellé) "
                                             "de type 'varchar' a une taille invalide : 300.") +
                                     tail);
    EXPECT_EQ(told[1], std::string("Avertissement|Attention : La colonne 'C' (Code) de "
                                             "type 'char' a une taille invalide : 0.") +
                                     tail);
}

TEST_F(GenerationFiles, UpdateScriptGivesTextAndBooleanColumnsATypeAndAValue) {
    Desc desc(STRUCTFILE_FIXED,
              {{"T", DATATYPE_TEXT, 50, 0, "Texte"}, {"B", DATATYPE_BOOLEAN, 1, 0, "Actif"}});
    ASSERT_EQ(MSSQL_GenererScriptMAJ(&params_, desc.d), 0);
    const std::string text = ReadAll(params_.scriptMAJ);
    EXPECT_TRUE(Contains(text, "\t[T]                     text, -- Texte"));
    EXPECT_TRUE(Contains(text, "\t[B]                     bit, -- Actif"));
    EXPECT_TRUE(Contains(
        text, "SELECT \r\n\tconvert(text, [T]) as [T],\r\n\tconvert(bit, [B]) as [B]\r\nFROM"));
}

TEST_F(GenerationFiles, LongColumnNamesAreWrittenInFull) {
    Desc desc(STRUCTFILE_FIXED, {{"DATE_OPERATION_VALEUR", DATATYPE_FIXEDCHAR, 8, 0, "x"}});
    ASSERT_EQ(MSSQL_GenererFichierBCP(&params_, desc.d), 0);
    EXPECT_TRUE(
        Contains(ReadAll(params_.scriptBCP), "\t[DATE_OPERATION_VALEUR]        char(8), -- x"));
}

TEST_F(GenerationFiles, FailsWithoutAColumnListOrAFileToWriteAndWritesNothing) {
    Desc desc(STRUCTFILE_FIXED, ThreeColumns());
    std::vector<ColumnOwner> columns = std::move(desc.d->columns);
    desc.d->columns.clear();
    EXPECT_EQ(MSSQL_GenererFichierFormat(&params_, desc.d), 1);
    EXPECT_EQ(MSSQL_GenererFichierBCP(&params_, desc.d), 1);
    EXPECT_EQ(MSSQL_GenererScriptMAJ(&params_, desc.d), 1);
    desc.d->columns = std::move(columns);
    EXPECT_FALSE(fs::exists(params_.fichierFormat));
    EXPECT_FALSE(fs::exists(params_.scriptBCP));
    EXPECT_FALSE(fs::exists(params_.scriptMAJ));
    snprintf(params_.scriptMAJ, MSSQL_PATH_SLOT, "%s", dir_.file("no/dir/maj.sql").c_str());
    EXPECT_EQ(MSSQL_GenererScriptMAJ(&params_, desc.d), 1);
    EXPECT_EQ(MSSQL_GenererFichierFormat(nullptr, desc.d), 1);
}

// ---- Script header ----

TEST(MSSQL_ScriptHeader, HoldsTheDocumentedLinesInOrder) {
    Desc desc(STRUCTFILE_FIXED, {});
    desc.d->Description = strdup("Clients du mois");
    MSSQL_PARAMS p;
    MSSQL_InitParams(&p);
    const std::string h = MSSQL_ScriptHeader(&p, desc.d, "jeudi 26 février 2015 21:17", "marie");
    std::vector<std::string> lines;
    std::stringstream in(h);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 17u) << h;
    EXPECT_EQ(lines[0], "/" + std::string(63, '*'));
    EXPECT_EQ(lines[1], " Import clients");
    EXPECT_EQ(lines[2], " Script de chargement de la table TBL_IMPORT par BULK INSERT");
    EXPECT_EQ(lines[3], " +" + std::string(62, '-'));
    EXPECT_EQ(lines[4], " ");
    EXPECT_EQ(lines[5], " |Script généré par Morvex Fylatek - Tabulor");
    EXPECT_EQ(lines[6], " ");
    EXPECT_TRUE(StartsWith(lines[7], " |Contact : "));
    EXPECT_EQ(lines[8], " |Distribution : Tabulor (Version 1.4)");
    EXPECT_EQ(lines[9], " |Build : 5697");
    EXPECT_TRUE(std::regex_match(
        lines[10],
        std::regex(R"( \|Date de la version : [A-Z][a-z]{2} [ 1-3]\d \d{4} \d\d:\d\d:\d\d)")))
        << lines[10];
    EXPECT_EQ(lines[11], lines[3]);
    EXPECT_EQ(lines[12], " Généré le jeudi 26 février 2015 21:17");
    EXPECT_EQ(lines[13], " Par : marie");
    EXPECT_EQ(lines[14], " " + std::string(63, '-'));
    EXPECT_EQ(lines[15], " Clients du mois");
    EXPECT_EQ(lines[16], " " + std::string(62, '*') + "/");
}

TEST(MSSQL_ScriptHeader, BreaksTheDescriptionAtTheFirstBlankAfterSixtyCharacters) {
    Desc desc(STRUCTFILE_FIXED, {});
    MSSQL_PARAMS p;
    MSSQL_InitParams(&p);
    auto descriptionLines = [&](const std::string& text) {
        free(desc.d->Description);
        desc.d->Description = strdup(text.c_str());
        const std::string h = MSSQL_ScriptHeader(&p, desc.d, "now", "me");
        const size_t from = h.find(std::string(63, '-') + "\n") + 64;
        const size_t to = h.rfind("\n " + std::string(62, '*'));
        return h.substr(from, to - from);
    };
    const std::string solid(200, 'x');
    EXPECT_EQ(descriptionLines(solid), " " + solid);
    // Words of 9 characters and a blank: 60 characters are reached inside the sixth word.
    std::string words;
    for (int i = 0; i < 14; ++i) words += (i ? " " : "") + std::string(9, 'a' + i);
    const std::string broken = descriptionLines(words);
    EXPECT_EQ(broken,
              " " + words.substr(0, 69) + "\n" + words.substr(69, 60) + "\n" + words.substr(129));
    // Nothing in the texts can close the comment block early.
    desc.d->Description = (free(desc.d->Description), strdup("fin */ DROP TABLE x /* ici"));
    const std::string h = MSSQL_ScriptHeader(&p, desc.d, "now", "me");
    EXPECT_EQ(h.find("*/"), h.size() - 3);
    EXPECT_EQ(h.rfind("/*"), 0u);
}

// ---- The scripts parse as T-SQL ----

// Runs `command`; its exit status, or -1.
int Run(const std::string& command) {
    const int raw = system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The T-SQL checker: its script in the source tree, node-sql-parser where the install script
// put it (outside the source tree).
const std::string kChecker = MORVEX_SOURCE_DIR_PATH "/mssql/tests/tsql/check.mjs";
const std::string kParserDir = MORVEX_TEST_TOOLS_DIR "/tsql";

// Why the checker cannot run here (tools/install-deps.sh installs what it needs); empty when
// it can.
std::string TsqlCheckerMissing() {
    if (Run("command -v node >/dev/null 2>&1") != 0) return "node is not installed";
    if (!fs::exists(kParserDir + "/node_modules/node-sql-parser/package.json"))
        return "node-sql-parser is not in " + kParserDir + " (run tools/install-deps.sh)";
    return "";
}

// The checker's verdict on the batches of `sqlPath`: its output, empty when they all parse.
std::string Parse(const std::string& sqlPath) {
    const std::string out = sqlPath + ".check";
    const int status =
        Run("node '" + kChecker + "' '" + kParserDir + "' '" + sqlPath + "' >'" + out + "' 2>&1");
    return status == 0 ? "" : ReadAll(out);
}

// Fails the test where the checker cannot run.
class TsqlParser : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(TsqlCheckerMissing(), ""); }
    TempDir dir{"mssql"};
};

TEST_F(TsqlParser, InsertScriptParsesWhateverTheData) {
    Desc desc(STRUCTFILE_DELIMITED, {{"ID", DATATYPE_INTEGER, 5},
                                     {"MONTANT", DATATYPE_DECIMAL, 10},
                                     {"ACTIF", DATATYPE_BOOLEAN, 1},
                                     {"DT", DATATYPE_DATE, 10},
                                     {"DTH", DATATYPE_DATETIME, 19},
                                     {"NOM", DATATYPE_VARIABLECHAR, 30},
                                     {"CODE", DATATYPE_FIXEDCHAR, 3},
                                     {"NOTE", DATATYPE_TEXT, 100}});
    const std::string data =
        dir.write("nasty.csv",
                  "1;12,50;1;26/02/2015;26/02/2015 13:45:07;L'Oréal;ABC;rien\r\n"
                  ";;;;;;;\r\n"
                  "x');DROP TABLE CLIENT;--;1) OR (1=1;'; --;2015-02-26;bad;O'Brien;';';');--\r\n"
                  "  7 ;5,;0;  ;  ;  ;'';\"quoted\"\r\n"
                  "-3;-,5;2;31/02/2015;;a''b;;/* comment\r\n");
    const std::string script = dir.file("nasty.sql");
    morvex::TraceCapture quiet;
    ASSERT_EQ(MSSQL_SendDataToSQLServer(desc.d, data.c_str(), script.c_str(), 1), 5);
    EXPECT_EQ(Parse(script), "");
    // The checker itself refuses what is not T-SQL.
    const std::string bad = dir.write("bad.sql",
                                      "INSERT INTO T (\"A\")\r\nVALUES (1);--');\r\n"
                                      "GO\r\nINSERT INTO T (A) VALUES (1a2);\r\nGO\r\n");
    EXPECT_NE(Parse(bad), "");
}

// A value quoted over several lines of the data file, one of which reads GO, stays inside its
// statement: the only lines that read GO are the separators after each row, and every batch cut
// at them parses.
TEST(MSSQL_SendDataToSQLServer, AValueHoldingAGoLineDoesNotSplitItsBatch) {
    TempDir dir("mssql");
    Desc desc(STRUCTFILE_DELIMITED, {{"ID", DATATYPE_INTEGER, 5}, {"NOTE", DATATYPE_TEXT, 100}});
    desc.d->Unquote = 1;
    for (const ColumnOwner& cOwner : desc.d->columns) {
        ColumnDesc* c = cOwner.get();
        c->protectedField = 1;
        c->DelimCharStart = c->DelimCharEnd = '"';
    }
    const std::string data = dir.write(
        "notes.csv",
        "1;\"avant\r\nGO\r\nDROP TABLE CLIENT\r\n  go  \r\napr\xC3\xA8s\"\r\n2;simple\r\n");
    const std::string script = dir.file("notes.sql");
    ASSERT_EQ(MSSQL_SendDataToSQLServer(desc.d, data.c_str(), script.c_str(), 0), 2);
    const std::string text = ReadAll(script);
    EXPECT_TRUE(Contains(text, "VALUES (1, N'avant'+CHAR(13)+CHAR(10)+N'GO'+CHAR(13)+CHAR(10)"));
    std::istringstream lines(text);
    int separators = 0;
    for (std::string line; std::getline(lines, line);)
        separators += std::regex_match(line, std::regex(R"(\s*go\s*)", std::regex::icase));
    EXPECT_EQ(separators, 2);
    ASSERT_EQ(TsqlCheckerMissing(), "");
    EXPECT_EQ(Parse(script), "");
}

TEST_F(TsqlParser, UpdateScriptCreateTableAndInsertParse) {
    Desc desc(STRUCTFILE_FIXED, {{"ID", DATATYPE_INTEGER, 5, 0, "Identifiant"},
                                 {"M", DATATYPE_DECIMAL, 10, 0, "Montant -- en euros"},
                                 {"DT", DATATYPE_DATE, 10, 0, "Date\r\nde valeur"},
                                 {"DTH", DATATYPE_DATETIME, 19},
                                 {"NOM", DATATYPE_VARIABLECHAR, 30, 1, "ignorée"},
                                 {"L", DATATYPE_VARIABLECHAR, 300, 0, "Libellé"},
                                 {"C", DATATYPE_FIXEDCHAR, 3, 0, "Code"},
                                 {"T", DATATYPE_TEXT, 100, 0, "Texte"},
                                 {"B", DATATYPE_BOOLEAN, 1, 0, "Actif"}});
    MSSQL_PARAMS p;
    MSSQL_InitParams(&p);
    snprintf(p.scriptMAJ, MSSQL_PATH_SLOT, "%s", dir.file("maj.sql").c_str());
    morvex::ScriptedUiPort port;
    morvex::setUiPort(&port);
    ASSERT_EQ(MSSQL_GenererScriptMAJ(&p, desc.d), 0);
    morvex::setUiPort(nullptr);
    // The batches that create the table and fill it, each followed by its GO line.
    const std::string text = ReadAll(p.scriptMAJ);
    std::string batches;
    for (const char* start : {"CREATE TABLE", "INSERT INTO"}) {
        const size_t from = text.find(start);
        ASSERT_NE(from, std::string::npos) << start;
        const size_t to = text.find("\r\nGO\r\n", from);
        batches += text.substr(from, to - from) + "\r\nGO\r\n";
    }
    const std::string path = dir.write("batches.sql", batches);
    EXPECT_EQ(Parse(path), "") << batches;
}

// ---- Hostile names ----

// The statements of each batch of `sqlPath` as the checker reads them ("batch I: TYPES | NAMES"
// lines, then "ok N"), or its failure.
std::string Statements(const std::string& sqlPath) {
    const std::string out = sqlPath + ".statements";
    Run("node '" + kChecker + "' '" + kParserDir + "' '" + sqlPath + "' --statements >'" + out +
        "' 2>&1");
    return ReadAll(out);
}

// Lines of `text` that the client tools read as a batch separator.
int SeparatorLines(const std::string& text) {
    std::istringstream lines(text);
    int n = 0;
    for (std::string line; std::getline(lines, line);)
        n += std::regex_match(line, std::regex(R"(\s*go(\s+\d+)?\s*)", std::regex::icase));
    return n;
}

// Names that end a quoted name, or would be statements of their own unquoted.
const char* const kHostileTable = "a]b'c\"d";
const char* const kHostileColumn = "a int); DROP TABLE victim1; CREATE TABLE z (b";

TEST_F(TsqlParser, InsertScriptWithHostileNamesHoldsOnlyItsOwnStatements) {
    Desc desc(STRUCTFILE_DELIMITED, {{kHostileColumn, DATATYPE_INTEGER, 5},
                                     {"x]y", DATATYPE_VARIABLECHAR, 30},
                                     {"$(id) `id` \\", DATATYPE_TEXT, 30}});
    strcpy(desc.d->TableName, kHostileTable);
    const std::string data = dir.write("d.csv", "1;it's;GO\r\n2;]);DROP TABLE victim1;--;x\r\n");
    const std::string script = dir.file("hostile.sql");
    ASSERT_EQ(MSSQL_SendDataToSQLServer(desc.d, data.c_str(), script.c_str(), 0), 2);
    const std::string names = std::string(kHostileTable) + "|" + kHostileTable + "|" +
                              kHostileColumn + "|x]y|$(id) `id` \\";
    EXPECT_EQ(Statements(script), "batch 1: drop,create,insert | " + names + "|" + kHostileTable +
                                      "|" + kHostileColumn +
                                      "|x]y|$(id) `id` \\\n"
                                      "batch 2: insert | " +
                                      kHostileTable + "|" + kHostileColumn +
                                      "|x]y|$(id) `id` \\\nok 2\n");
    EXPECT_EQ(SeparatorLines(ReadAll(script)), 2);
}

TEST_F(TsqlParser, UpdateAndBulkScriptsWithHostileNamesHoldOnlyTheirOwnStatements) {
    Desc desc(STRUCTFILE_FIXED, {{kHostileColumn, DATATYPE_INTEGER, 5, 0, "x\r\nGO\r\n"},
                                 {"x]y", DATATYPE_DECIMAL, 10, 0, "*/ DROP TABLE victim1 /*"},
                                 {"d'", DATATYPE_DATE, 10},
                                 {"v", DATATYPE_VARIABLECHAR, 20}});
    free(desc.d->Description);
    desc.d->Description = strdup("avant\r\nGO\r\n go 5\r\nDROP TABLE victim1\r\n*/ GO /*");
    MSSQL_PARAMS p;
    MSSQL_InitParams(&p);
    snprintf(p.nomBase, sizeof p.nomBase, "%s", "B]ase'");
    snprintf(p.nomTable, sizeof p.nomTable, "%s", kHostileTable);
    snprintf(p.fichierDonnees, sizeof p.fichierDonnees, "%s", "it's.txt");
    snprintf(p.scriptMAJ, MSSQL_PATH_SLOT, "%s", dir.file("maj.sql").c_str());
    snprintf(p.scriptBCP, MSSQL_PATH_SLOT, "%s", dir.file("bcp.sql").c_str());
    morvex::ScriptedUiPort port;
    morvex::setUiPort(&port);
    ASSERT_EQ(MSSQL_GenererScriptMAJ(&p, desc.d), 0);
    ASSERT_EQ(MSSQL_GenererFichierBCP(&p, desc.d), 0);
    // A name with a line end never reaches a script.
    snprintf(p.scriptMAJ, MSSQL_PATH_SLOT, "%s", dir.file("refused.sql").c_str());
    snprintf(p.nomTable, sizeof p.nomTable, "%s", "T\r\nGO");
    MSSQL_TOLD told;
    EXPECT_EQ(MSSQL_GenererScriptMAJ(&p, desc.d, &told), 1);
    EXPECT_FALSE(fs::exists(p.scriptMAJ));
    morvex::setUiPort(nullptr);
    EXPECT_TRUE(port.messages.empty());  // told to the caller, never shown by the generation
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].title, "Erreur");
    EXPECT_TRUE(Contains(told[0].text, "Le nom de la table « T\\r\\nGO » contient"));

    const std::string maj = ReadAll(dir.file("maj.sql"));
    const std::string bcp = ReadAll(dir.file("bcp.sql"));
    // use, drop, create, insert, drop: five separators each, nothing in the texts adds one.
    EXPECT_EQ(SeparatorLines(maj), 5) << maj;
    EXPECT_EQ(SeparatorLines(bcp), 4) << bcp;
    // The batches that create and fill the table (the checker's parser knows no BULK INSERT).
    std::string batches;
    for (const char* start : {"CREATE TABLE", "INSERT INTO"}) {
        const size_t from = maj.find(start);
        ASSERT_NE(from, std::string::npos) << start;
        batches += maj.substr(from, maj.find("\r\nGO\r\n", from) - from) + "\r\nGO\r\n";
    }
    const std::string tables = std::string("B]ase'|") + kHostileTable;
    const std::string columns = std::string(kHostileColumn) + "|x]y|d'|v";
    EXPECT_EQ(Statements(dir.write("batches.sql", batches)),
              "batch 1: create | " + tables + "|" + columns +
                  "\n"
                  "batch 2: insert | " +
                  tables + "|" + columns + "|" + kHostileColumn + "|" + kHostileColumn +
                  "|x]y|x]y|x]y|d'|d'|d'|v|v" + "|B]ase'|bcp_" + kHostileTable + "\nok 2\n");
    // The drop of the staging table names it inside its literal, quote doubled.
    EXPECT_TRUE(Contains(maj, "object_id(N'[bcp_a]]b''c\"d]')")) << maj;
}

// The SQL Server escaping forms of the templates (foundation/codequote.h): each hostile value,
// as a literal under its own name as an identifier, is one SELECT of one column whose value,
// evaluated from the parsed literal, is the value itself; no line of it reads GO.
TEST_F(TsqlParser, QuotedLiteralAndIdentifierAreTheValueItself) {
    const std::vector<std::string> values = {
        "it's",
        "say \"hi\"",
        "a]b[c",
        "x\r\nGO\r\nDROP TABLE victim1",
        "\nGO\n",
        "back\\slash\\",
        "a; DROP TABLE victim1; --",
        "a int); DROP TABLE victim1; CREATE TABLE z (b",
        "$(touch pwned) `touch pwned`",
        "/* open comment",
        "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac",
        "tab\there \x01\x1b[31m\x7f",
        std::string(4100, 'x') + "\r\nGO\r\n" + std::string(10, 'y'),
    };
    for (const std::string& v : values) {
        SCOPED_TRACE(v.substr(0, 60));
        const std::string sql = "SELECT " + morvex::quoteMssqlString(v) + " AS " +
                                morvex::quoteMssqlIdentifier(v) + ";\r\nGO\r\n";
        const std::string path = dir.write("form.sql", sql);
        EXPECT_EQ(SeparatorLines(sql), 1);
        // An identifier cannot hold a line end: its control characters are written "_".
        std::string name = v;
        for (char& c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
        EXPECT_EQ(Statements(path), "batch 1: select | " + name + " | " +
                                        nlohmann::json::array({v}).dump() + "\nok 1\n");
    }
}

}  // namespace

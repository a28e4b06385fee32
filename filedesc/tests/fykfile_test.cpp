#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "filedesc/analyse.h"
#include "filedesc/descdialect.h"
#include "filedesc/filedesc.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"

using namespace std::string_literals;

namespace {

using fdtest::DescPtr;
using fdtest::makeColumn;
using fdtest::readFile;
using fdtest::TempDir;
using fdtest::writeAll;

// An empty description as the loaders use it.
DescPtr emptyDesc() {
    return DescPtr(FILEDESC_CreateFileDesc(nullptr, nullptr, 0, nullptr, nullptr));
}

// Loads `bytes` (written to a file) into a fresh description, with the trace captured.
DescPtr loadText(const TempDir& dir, const std::string& bytes, std::string* trace = nullptr) {
    std::string path = dir.file("in.fyk");
    writeAll(path, bytes);
    DescPtr d = emptyDesc();
    morvex::TraceCapture capture;
    EXPECT_EQ(FILEDESC_LoadFromFile(d.get(), path.c_str()), 0);
    if (trace) *trace = capture.text();
    return d;
}

std::string saveText(const TempDir& dir, FileDesc* d, const std::string& name = "out.fyk") {
    std::string path = dir.file(name);
    morvex::TraceCapture capture;
    EXPECT_EQ(FILEDESC_SaveToFile(d, path.c_str()), 0);
    return readFile(path);
}

// Wraps column/file lines into a whole description file (CR LF lines).
std::string fykFile(const std::string& fileBody) {
    return "BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tBEGIN File\r\n" + fileBody +
           "\r\n\tEND File\r\nEND MorvexFylatek";
}

// A file's bytes and what the refusal says after the file's name.
struct Refusal {
    std::string bytes;
    std::string reason;
};

// Each file is refused with its reason, and no description stays registered.
void expectEachRefused(const TempDir& dir, const std::vector<Refusal>& cases) {
    std::string path = dir.file("refused.fyk");
    int before = FILEDESC_RegistryCount();
    for (const Refusal& c : cases) {
        writeAll(path, c.bytes);
        std::string error;
        morvex::TraceCapture capture;
        EXPECT_EQ(FILEDESC_OpenFileDesc(path.c_str(), &error), nullptr) << c.reason;
        EXPECT_EQ(error, "Le fichier de format '" + path + "' " + c.reason);
    }
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
}

void addTemplate(FileDesc* d, const char* path) {
    PROCESSTASK* task = PROCESS_CreateTask();
    task->templatePath = strdup(path);
    PROCESS_AddTask(d->processes, task);
}

// A small description with two columns, a key and one template.
DescPtr smallDescription() {
    DescPtr d(FILEDESC_CreateFileDesc("Proj", nullptr, 2, nullptr, nullptr));
    snprintf(d->FileDescUID, sizeof d->FileDescUID, "0123456789ABCDEF0123456789ABCDEF");
    snprintf(d->TableName, sizeof d->TableName, "T");
    ColumnDesc id = makeColumn("ID", 5, DATATYPE_INTEGER);
    id.typeCible.fmtEntier.taille = 5;
    id.protectedField = 1;
    id.DelimCharStart = '"';
    id.DelimCharEnd = '"';
    ColumnDesc nom = makeColumn("Nom", 30, DATATYPE_VARIABLECHAR);
    nom.typeCible.fmtChaineVar.tailleMax = 30;
    snprintf(nom.Description, sizeof nom.Description, "Le nom");
    FILEDESC_AjouterColonne(d.get(), &id);
    FILEDESC_AjouterColonne(d.get(), &nom);
    snprintf(d->primaryKey.name, sizeof d->primaryKey.name, "PK");
    d->primaryKey.columns.push_back(FILEDESC_SearchColumn(d.get(), "ID"));
    addTemplate(d.get(), "a.tpl");
    return d;
}

// Every test gets its own temporary directory.
struct FykTest : testing::Test {
    TempDir dir;
};
using FykWriter = FykTest;
using FykRoundTrip = FykTest;
using FykReader = FykTest;

TEST_F(FykWriter, WritesTheExactBytesOfASmallDescription) {
    DescPtr d = smallDescription();
    const std::string expected =
        "BEGIN MorvexFylatek"
        "\r\n\tFILEVERSION=1.4"
        "\r\n\tNBUILD=5697"
        "\r\n\tBEGIN File"
        "\r\n\t\tFILEDESCUID=0123456789ABCDEF0123456789ABCDEF"
        "\r\n\t\tINDFINDELIGNE=\\r\\n"
        "\r\n\t\tLONGLIGNEFIXE=0"
        "\r\n\t\tTABLENAME=T"
        "\r\n\t\tSCHEMANAME="
        "\r\n\t\tDATABASENAME="
        "\r\n\t\tPROJECTNAME=Proj"
        "\r\n\t\tDESCRIPTION="
        "\r\n\t\tTYPESTRUCTFILE=2"
        "\r\n\t\tFIRSTLINEISHEADER=0"
        "\r\n\t\tBEGINFROMLINE=0"
        "\r\n\t\tENDTOLINE=0"
        "\r\n\t\tFIELDDELIMITER=;"
        "\r\n\t\tFICHIEREXEMPLE="
        "\r\n\t\tDATABASEFILE="
        "\r\n\t\tBEGIN Column"
        "\r\n\t\t\tID=0"
        "\r\n\t\t\tIGNORERCOL=0"
        "\r\n\t\t\tISNULL=0"
        "\r\n\t\t\tPOSITION=0"
        "\r\n\t\t\tPOSDEBUT=0"
        "\r\n\t\t\tPOSFIN=0"
        "\r\n\t\t\tNAME=ID"
        "\r\n\t\t\tLARGEUR=5"
        "\r\n\t\t\tPROTECTEDFIELD=1"
        "\r\n\t\t\tCARDELIMDEBUT=\""
        "\r\n\t\t\tCARDELIMFIN=\""
        "\r\n\t\t\tDESCRIPTION="
        "\r\n\t\t\tTYPE_CIBLE=0"
        "\r\n\t\t\tFMT_CIBLE=5"
        "\r\n\t\tEND Column"
        "\r\n\t\tBEGIN Column"
        "\r\n\t\t\tID=0"
        "\r\n\t\t\tIGNORERCOL=0"
        "\r\n\t\t\tISNULL=0"
        "\r\n\t\t\tPOSITION=1"
        "\r\n\t\t\tPOSDEBUT=0"
        "\r\n\t\t\tPOSFIN=0"
        "\r\n\t\t\tNAME=Nom"
        "\r\n\t\t\tLARGEUR=30"
        "\r\n\t\t\tPROTECTEDFIELD=0"
        "\r\n\t\t\tCARDELIMDEBUT=\0"
        "\r\n\t\t\tCARDELIMFIN=\0"
        "\r\n\t\t\tDESCRIPTION=Le nom"
        "\r\n\t\t\tTYPE_CIBLE=5"
        "\r\n\t\t\tFMT_CIBLE=30"
        "\r\n\t\tEND Column"
        "\r\n\t\tBEGIN Primary Key"
        "\r\n\t\t\tNAME=PK"
        "\r\n\t\t\tCOMPOSANTE=ID"
        "\r\n\t\tEND Primary Key"
        "\r\n\t\tBEGIN Process"
        "\r\n\t\t\tTEMPLATE=a.tpl"
        "\r\n\t\tEND Process"
        "\r\n\tEND File"
        "\r\nEND MorvexFylatek"s;
    d->isModified = 1;
    EXPECT_EQ(saveText(dir, d.get()), expected);
    EXPECT_EQ(d->isModified, 0);
    EXPECT_EQ(d->FileDescPath, nullptr);  // saving does not change the path
}

TEST_F(FykWriter, FailsWithoutDescriptionOrWritableFile) {
    DescPtr d = smallDescription();
    EXPECT_EQ(FILEDESC_SaveToFile(d.get(), dir.file("no/such/dir.fyk").c_str()), 1);
    EXPECT_EQ(FILEDESC_SaveToFile(nullptr, dir.file("x.fyk").c_str()), 1);
    // A description left without columns is written without them.
    FILEDESC_DetruireListe(d.get());
    ASSERT_EQ(FILEDESC_SaveToFile(d.get(), dir.file("x.fyk").c_str()), 0);
    EXPECT_EQ(readFile(dir.file("x.fyk")).find("BEGIN Column"), std::string::npos);
}

// A description using every type, protecting characters, key, indexes and templates.
DescPtr fullDescription() {
    DescPtr d(FILEDESC_CreateFileDesc("Projet complet", nullptr, 1, "#0x0D#0x0A", "\\t"));
    snprintf(d->TableName, sizeof d->TableName, "CLIENTS");
    snprintf(d->SchemaName, sizeof d->SchemaName, "dbo");
    snprintf(d->DatabaseName, sizeof d->DatabaseName, "BASE");
    d->Description = strdup("Fichier des clients, version=2 \"export\"");
    d->FirstLineIsHeader = 1;
    d->BeginFromLine = 3;
    d->EndToLine = 1000;
    d->LenFixedLine = 120;
    d->ExampleFilePath = strdup("/data/clients=2024.txt");
    d->DatabaseFilePath = strdup("/db/clients.sqlite");
    for (int type = 0; type <= 7; ++type) {
        std::string code = "COL_" + std::to_string(type);
        ColumnDesc c = makeColumn(code.c_str(), 3 + type, type);
        snprintf(c.Description, sizeof c.Description, "colonne %d : a=b\tc", type);
        c.typeCible.fmtDecimal = {8, 2};
        snprintf(c.typeCible.fmtDate, sizeof c.typeCible.fmtDate, "jj/mm/aaaa");
        snprintf(c.typeCible.fmtDateTime, sizeof c.typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
        c.typeCible.fmtChaineFixe.taille = 11;
        c.typeCible.fmtChaineVar.tailleMax = 42;
        c.IgnoreColumn = type % 2;
        c.FieldCannotBeNull = (type + 1) % 2;
        c.protectedField = type == 4 || type == 5;
        c.DelimCharStart = type == 4 ? '\t' : type == 5 ? '=' : 0;
        c.DelimCharEnd = type == 4 ? '\t' : type == 5 ? '\'' : 0;
        FILEDESC_AjouterColonne(d.get(), &c);
    }
    snprintf(d->primaryKey.name, sizeof d->primaryKey.name, "PK_CLIENTS");
    d->primaryKey.columns.push_back(FILEDESC_SearchColumn(d.get(), "COL_0"));
    d->primaryKey.columns.push_back(FILEDESC_SearchColumn(d.get(), "COL_4"));
    IndexDesc* i1 = FILEDESC_CreateIndex("IX_DATE");
    i1->columns.push_back(FILEDESC_SearchColumn(d.get(), "COL_2"));
    FILEDESC_AddIndex(d.get(), i1);
    IndexDesc* i2 = FILEDESC_CreateIndex("IX_DEUX");
    i2->columns.push_back(FILEDESC_SearchColumn(d.get(), "COL_5"));
    i2->columns.push_back(FILEDESC_SearchColumn(d.get(), "COL_1"));
    FILEDESC_AddIndex(d.get(), i2);
    addTemplate(d.get(), "/tpl/create_table.tpl");
    addTemplate(d.get(), "/tpl/doc=html.tpl");
    return d;
}

TEST_F(FykRoundTrip, SaveLoadSaveGivesIdenticalBytesAndRestoresEveryPart) {
    DescPtr d = fullDescription();
    std::string first = saveText(dir, d.get(), "first.fyk");
    DescPtr l = loadText(dir, first);
    EXPECT_EQ(saveText(dir, l.get(), "second.fyk"), first);
    // Identical bytes show that the reader kept everything the writer wrote; these show that the
    // writer wrote every part.
    EXPECT_STREQ(l->FileDescUID, d->FileDescUID);
    EXPECT_STREQ(l->SchemaName, "dbo");
    EXPECT_STREQ(l->DatabaseName, "BASE");
    EXPECT_STREQ(l->Description, d->Description);
    EXPECT_EQ(FILEDESC_LineEndBytes(*l), "\r\n");
    EXPECT_EQ(FILEDESC_DelimiterBytes(*l), "\t");
    EXPECT_EQ(l->FirstLineIsHeader, 1);
    EXPECT_EQ(l->BeginFromLine, 3);
    EXPECT_EQ(l->EndToLine, 1000);
    EXPECT_EQ(l->LenFixedLine, 120);
    EXPECT_STREQ(l->ExampleFilePath, "/data/clients=2024.txt");
    EXPECT_STREQ(l->DatabaseFilePath, "/db/clients.sqlite");
    EXPECT_EQ(l->isModified, 0);
    ASSERT_EQ(static_cast<int>(l->columns.size()), 8);
    for (int i = 1; i <= 8; ++i) {
        ColumnDesc* a = FILEDESC_SearchColumnByPos(d.get(), i);
        ColumnDesc* b = FILEDESC_SearchColumnByPos(l.get(), i);
        SCOPED_TRACE(a->code);
        EXPECT_STREQ(a->Description, b->Description);
        EXPECT_EQ(a->EndPosition, b->EndPosition);
        EXPECT_EQ(a->IgnoreColumn, b->IgnoreColumn);
        EXPECT_EQ(a->FieldCannotBeNull, b->FieldCannotBeNull);
        EXPECT_EQ(a->DelimCharStart, b->DelimCharStart);
        EXPECT_EQ(a->DelimCharEnd, b->DelimCharEnd);
        EXPECT_EQ(a->typeCible.type, b->typeCible.type);
        char fa[64], fb[64];
        GetDataTypeFormat(&a->typeCible, fa, sizeof fa);
        GetDataTypeFormat(&b->typeCible, fb, sizeof fb);
        EXPECT_STREQ(fa, fb);
    }
    ASSERT_EQ(static_cast<int>(l->primaryKey.columns.size()), 2);
    EXPECT_STREQ(l->primaryKey.columns.back()->code, "COL_4");
    ASSERT_EQ(static_cast<int>(l->indexes.size()), 2);
    auto* ix2 = l->indexes.back().get();
    EXPECT_STREQ(ix2->name, "IX_DEUX");
    ASSERT_EQ(static_cast<int>(ix2->columns.size()), 2);
    EXPECT_STREQ(ix2->columns.front()->code, "COL_5");
    ASSERT_EQ(static_cast<int>(l->processes->tasks.size()), 2);
    EXPECT_STREQ(l->processes->tasks.back()->templatePath, "/tpl/doc=html.tpl");
}

TEST_F(FykRoundTrip, IntegerDisplayLengthComesBack) {
    DescPtr d = emptyDesc();
    ColumnDesc c = makeColumn("N", 4, DATATYPE_INTEGER);
    c.typeCible.fmtEntier.taille = 9;
    FILEDESC_AjouterColonne(d.get(), &c);
    std::string saved = saveText(dir, d.get());
    EXPECT_NE(saved.find("FMT_CIBLE=9"), std::string::npos);
    DescPtr l = loadText(dir, saved);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(l.get(), 1)->typeCible.fmtEntier.taille, 9);
}

TEST_F(FykReader, AcceptsLowerAndMixedCaseKeysAndLfOnlyLines) {
    const std::string variants[] = {
        "begin morvexfylatek\n begin file\n  tablename=T\n  fielddelimiter=|\n"
        "  begin column\n   name=A\n   largeur=4\n  end column\n end file\nend morvexfylatek",
        "Begin MorvexFylatek\r\nBegin File\r\nTableName=T\r\nFieldDelimiter=|\r\n"
        "Begin Column\r\nName=A\r\nLargeur=4\r\nEnd Column\r\nEnd File\r\nEnd MorvexFylatek\r\n",
    };
    for (const auto& text : variants) {
        DescPtr d = loadText(dir, text);
        EXPECT_STREQ(d->TableName, "T");
        EXPECT_EQ(FILEDESC_DelimiterBytes(*d), "|");
        ASSERT_EQ(static_cast<int>(d->columns.size()), 1);
        EXPECT_STREQ(FILEDESC_SearchColumnByPos(d.get(), 1)->code, "A");
        EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), 1)->WidthInChars, 4);
    }
}

TEST_F(FykReader, LegacyDelimiterKeysApplyInFileOrder) {
    struct Case {
        std::string lines;
        const char* notation;
        const char* chars;
    } cases[] = {
        {"SEPVIRGULE=1\r\nSEPTAB=1", "\\t", "\t"},
        {"SEPTAB=1\r\nSEPVIRGULE=0", ",", ","},
        {"SEPESPACE=", " ", " "},
        {"SEPPOINTVIRGULE=x", ";", ";"},
        {"SEPAUTRE=|", "|", "|"},
        {"SEPARATEUR=#0x7C", "#0x7C", "|"},
        {"SEPARATEURCOL=!", ";", ";"},
        {"FIELDDELIMITER=#0x3D", "#0x3D", "="},
        {"SEPTAB=1\r\nFIELDDELIMITER=,", ",", ","},
    };
    for (const auto& c : cases) {
        DescPtr d = loadText(dir, fykFile(c.lines));
        EXPECT_STREQ(d->FieldDelimiter, c.notation) << c.lines;
        EXPECT_EQ(FILEDESC_DelimiterBytes(*d), c.chars) << c.lines;
    }
}

TEST_F(FykReader, MissingUidKeepsTheCreationOneButAnEmptyUidGetsAFreshOneAndMarksModified) {
    std::string path = dir.file("in.fyk");
    writeAll(path, fykFile("TABLENAME=T"));
    DescPtr d = emptyDesc();
    std::string uid = d->FileDescUID;
    ASSERT_EQ(FILEDESC_LoadFromFile(d.get(), path.c_str()), 0);
    EXPECT_EQ(uid, d->FileDescUID);
    EXPECT_EQ(d->isModified, 0);
    EXPECT_STREQ(d->FileDescPath, path.c_str());

    std::string trace;
    d = loadText(dir, fykFile("FILEDESCUID="), &trace);
    EXPECT_EQ(strlen(d->FileDescUID), 32u);
    EXPECT_EQ(d->isModified, 1);
    EXPECT_NE(trace.find("\n[FILEDESC_LoadFromFile] fileDescUID=["s + d->FileDescUID + "]"),
              std::string::npos);
}

TEST_F(FykReader, ValuesAreTakenLiterallyAfterTheFirstEqualsSign) {
    DescPtr d = loadText(dir, fykFile("DESCRIPTION=\"a=b\"\r\nFICHIEREXEMPLE=/x/y=z.txt\r\n"
                                      "DATABASEFILE=/db==.sqlite=\r\n"
                                      "TABLENAME =T\r\n  \t SCHEMANAME=S \r\n"
                                      "BEGIN Column\r\nNAME=A\r\nDESCRIPTION=a=b\r\n"
                                      "CARDELIMDEBUT=\t\r\nCARDELIMFIN=\t\r\nEND Column\r\n"
                                      "BEGIN Column\r\nNAME=B\r\nCARDELIMDEBUT==\r\n"
                                      "CARDELIMFIN= \r\nEND Column\r\n"
                                      "BEGIN Column\r\nNAME=C\r\nCARDELIMDEBUT=\r\nEND Column"));
    EXPECT_STREQ(d->Description, "\"a=b\"");  // quotes included
    EXPECT_STREQ(d->ExampleFilePath, "/x/y=z.txt");
    EXPECT_STREQ(d->DatabaseFilePath, "/db==.sqlite=");
    EXPECT_STREQ(d->TableName, "");     // a blank before "=" is part of the key
    EXPECT_STREQ(d->SchemaName, "S ");  // leading blanks skipped, trailing ones kept
    ASSERT_EQ(static_cast<int>(d->columns.size()), 3);
    ColumnDesc* a = FILEDESC_SearchColumn(d.get(), "A");
    EXPECT_STREQ(a->Description, "a=b");
    EXPECT_EQ(a->DelimCharStart, '\t');
    EXPECT_EQ(a->DelimCharEnd, '\t');
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "B")->DelimCharStart, '=');
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "B")->DelimCharEnd, ' ');
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "C")->DelimCharStart, 0);
}

TEST_F(FykReader, FormatBeforeTypeIsLostAndPositionsAreRecomputedFromWidths) {
    DescPtr d = loadText(dir, fykFile("BEGIN Column\r\nNAME=A\r\nFMT_CIBLE=12\r\nTYPE_CIBLE=5\r\n"
                                      "POSITION=7\r\nPOSDEBUT=40\r\nLARGEUR=3\r\n"
                                      "END Column\r\nBEGIN Column\r\nNAME=B\r\nTYPE_CIBLE=1\r\n"
                                      "FMT_CIBLE=10,3\r\nPOSITION=0\r\nLARGEUR=2\r\nEND Column"));
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "A")->typeCible.fmtChaineVar.tailleMax, 0);
    ColumnDesc* b = FILEDESC_SearchColumn(d.get(), "B");
    EXPECT_EQ(b->typeCible.fmtDecimal.partieEntiere, 10);
    EXPECT_EQ(b->typeCible.fmtDecimal.partieDecimale, 3);
    EXPECT_EQ(b->Position, 2);
    EXPECT_EQ(b->StartPosition, 4);
    EXPECT_EQ(b->EndPosition, 5);
}

TEST_F(FykReader, UnknownComponentAddsNothingAndKeyLinesAreTraced) {
    std::string trace;
    DescPtr d = loadText(dir,
                         fykFile("BEGIN Column\r\nNAME=A\r\nEND Column\r\nBEGIN Primary Key\r\n"
                                 "NAME=PK\r\nCOMPOSANTE=A\r\nCOMPOSANTE=Z\r\nFOO=1\r\n"
                                 "END Primary Key"),
                         &trace);
    EXPECT_STREQ(d->primaryKey.name, "PK");
    EXPECT_EQ(static_cast<int>(d->primaryKey.columns.size()), 1);
    EXPECT_NE(trace.find("\nparsePrimaryKey:[NAME=PK]\nparsePrimaryKey:[COMPOSANTE=A]"),
              std::string::npos);
    EXPECT_NE(trace.find("\nparsePrimaryKey:[FOO=1]\nMot-cle non reconnu : foo [value = 1]"),
              std::string::npos);
    EXPECT_NE(trace.find("\nparsePrimaryKey:[END Primary Key=]"), std::string::npos);
}

TEST_F(FykReader, UnknownKeysOfInnerBlocksAreReported) {
    std::string trace;
    DescPtr d = loadText(dir,
                         fykFile("UNKNOWN=ignored\r\nBEGIN Column\r\nNAME=A\r\nColour=Red\r\n"
                                 "END Column\r\nBEGIN Index\r\nNAME=IX\r\nSize=3\r\n"
                                 "END Index\r\nBEGIN Process\r\nTEMPLATE=t.tpl\r\nOther=x=y\r\n"
                                 "END Process"),
                         &trace);
    EXPECT_NE(trace.find("\nMot-cle non reconnu : colour [value = Red]"), std::string::npos);
    EXPECT_NE(trace.find("\nMot-cle non reconnu : size [value = 3]"), std::string::npos);
    EXPECT_NE(trace.find("\n[parseProcess] Mot-cle non reconnu : other [value = x=y]"),
              std::string::npos);
    EXPECT_EQ(trace.find("unknown"), std::string::npos);
    EXPECT_EQ(static_cast<int>(d->indexes.size()), 1);
    EXPECT_EQ(static_cast<int>(d->processes->tasks.size()), 1);
}

TEST_F(FykReader, TracesTopLevelKeysVersionAndBuild) {
    std::string trace;
    loadText(dir,
             "junk before\r\nBEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tNBUILD=5697\r\n"
             "\tBEGIN File\r\n\tEND File\r\nEND MorvexFylatek",
             &trace);
    EXPECT_EQ(trace.find("\n[junk before]\n[BEGIN MorvexFylatek]"
                         "\n[parseMorvexFylatek] Version format fichier : [1.4]"
                         "\n[parseMorvexFylatek] Numero de build ayant genere le fichier : [5697]"),
              0u)
        << trace;
}

// Every value that does not fit where it goes is refused with its line, never cut nor read as
// some other number: the description would otherwise say something its file does not.
TEST_F(FykReader, ValuesOutOfTheirRangeOrLongerThanTheirFieldAreRefusedWithTheirLine) {
    auto column = [](const std::string& lines) {
        return fykFile("BEGIN Column\r\nNAME=A\r\n" + lines + "\r\nEND Column");
    };
    auto number = [](const std::string& key, const std::string& value, const char* range,
                     int line) {
        return "est invalide : " + key + " « " + value + " » refusé, un nombre de " + range +
               " est attendu (ligne " + std::to_string(line) + ").";
    };
    auto tooLong = [](const std::string& key, const char* size, const char* max, int line) {
        return "est invalide : " + key + " de " + size + " octets refusé, " + max +
               " octets au plus (ligne " + std::to_string(line) + ").";
    };
    const std::string accented = std::string(62, 'a') + "\xC3\xA9t\xC3\xA9";  // 67 bytes
    const std::vector<Refusal> cases = {
        {fykFile("BEGINFROMLINE=-5"), number("BEGINFROMLINE", "-5", "0 à 2147483647", 4)},
        {fykFile("BEGINFROMLINE=99999999999"),
         number("BEGINFROMLINE", "99999999999", "0 à 2147483647", 4)},
        {fykFile("ENDTOLINE=-1"), number("ENDTOLINE", "-1", "0 à 2147483647", 4)},
        {fykFile("LONGLIGNEFIXE=-80"), number("LONGLIGNEFIXE", "-80", "0 à 2147483647", 4)},
        {fykFile("TYPESTRUCTFILE=abc"), number("TYPESTRUCTFILE", "abc", "0 à 2", 4)},
        {fykFile("TYPESTRUCTFILE=3"), number("TYPESTRUCTFILE", "3", "0 à 2", 4)},
        {fykFile("FirstLineIsHeader=2"), number("FirstLineIsHeader", "2", "0 à 1", 4)},
        {fykFile("UNQUOTE=-1"), number("UNQUOTE", "-1", "0 à 1", 4)},
        {column("ISNULL=7"), number("ISNULL", "7", "0 à 1", 6)},
        {column("IGNORERCOL=-1"), number("IGNORERCOL", "-1", "0 à 1", 6)},
        {column("PROTECTEDFIELD=1x"), number("PROTECTEDFIELD", "1x", "0 à 1", 6)},
        {column("TYPE_CIBLE=99"),
         "est invalide : type cible « 99 » inconnu, un code de 0 (Integer) à 7 (Boolean) est "
         "attendu (ligne 6)."},
        {column("TYPE_CIBLE=-1"),
         "est invalide : type cible « -1 » inconnu, un code de 0 (Integer) à 7 (Boolean) est "
         "attendu (ligne 6)."},
        {column("TYPE_CIBLE="),
         "est invalide : type cible «  » inconnu, un code de 0 (Integer) à 7 (Boolean) est "
         "attendu (ligne 6)."},
        {column("TYPE_CIBLE=5\r\nFMT_CIBLE=-3"),
         "est invalide : format « -3 » refusé, des tailles de 0 à 2147483647 sont attendues "
         "(ligne 7)."},
        {column("TYPE_CIBLE=1\r\nFMT_CIBLE=10,-2"),
         "est invalide : format « 10,-2 » refusé, des tailles de 0 à 2147483647 sont attendues "
         "(ligne 7)."},
        {column("TYPE_CIBLE=2\r\nFMT_CIBLE=" + std::string(64, 'j')),
         tooLong("FMT_CIBLE", "64", "63", 7)},
        {column("DESCRIPTION=" + std::string(2000, 'd')),
         tooLong("DESCRIPTION", "2 000", "1 024", 6)},
        {fykFile("BEGIN Column\r\nNAME=" + std::string(257, 'n') + "\r\nEND Column"),
         tooLong("NAME", "257", "256", 5)},
        {fykFile("TABLENAME=" + accented), tooLong("TABLENAME", "67", "63", 4)},
        {fykFile("PROJECTNAME=" + std::string(127, 'p') + "\xE2\x82\xAC"),
         tooLong("PROJECTNAME", "130", "128", 4)},
        {fykFile("FILEDESCUID=" + std::string(65, 'f')), tooLong("FILEDESCUID", "65", "64", 4)},
        {fykFile("ENCODING=" + std::string(32, 'e')), tooLong("ENCODING", "32", "31", 4)},
        {fykFile("FIELDDELIMITER=" + std::string(64, ';')),
         tooLong("FIELDDELIMITER", "64", "63", 4)},
        {fykFile("BEGIN Index\r\nNAME=" + std::string(63, 'i') + "\r\nEND Index"),
         tooLong("NAME", "63", "62", 5)},
        {fykFile("DESCRIPTION=" + std::string(2 << 20, 'x')),
         "est invalide : ligne de plus de 1 048 576 octets (ligne 4)."},
        {fykFile("BEGIN Column\r\nNAME=Code\r\nEND Column\r\nBEGIN Column\r\nNAME=B\r\nEND Column"
                 "\r\nBEGIN Column\r\nNAME=CODE\r\nEND Column"),
         "est invalide : colonnes de même nom « Code » (colonne 1), « CODE » (colonne 3) "
         "(ligne 10)."},
    };
    expectEachRefused(dir, cases);
}

// Texts that fill their field exactly, numbers at the ends of their ranges and names that only
// differ beyond ASCII letters are read as they stand.
TEST_F(FykReader, ValuesThatFitTheirFieldAreKeptWhole) {
    const std::string accented = std::string(61, 'a') + "\xC3\xA9";  // 63 bytes
    DescPtr d =
        loadText(dir, fykFile("TABLENAME=" + accented +
                              "\r\nBEGINFROMLINE=2147483647\r\nENDTOLINE=\r\n"
                              "BEGIN Column\r\nNAME=" +
                              std::string(256, 'c') + "\r\nDESCRIPTION=" + std::string(1024, 'd') +
                              "\r\nTYPE_CIBLE=7\r\nEND Column\r\n"
                              "BEGIN Column\r\nNAME=\xC3\xA9\r\nEND Column\r\n"
                              "BEGIN Column\r\nNAME=\xC3\x89\r\nEND Column"));
    EXPECT_EQ(std::string(d->TableName), accented);
    EXPECT_EQ(d->BeginFromLine, 2147483647);
    EXPECT_EQ(d->EndToLine, 0);
    ColumnDesc* c = FILEDESC_SearchColumnByPos(d.get(), 1);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(strlen(c->code), 256u);
    EXPECT_EQ(strlen(c->Description), 1024u);
    EXPECT_EQ(c->typeCible.type, DATATYPE_BOOLEAN);
    EXPECT_EQ(static_cast<int>(d->columns.size()), 3);
}

TEST_F(FykReader, RepeatedBlocksAddUp) {
    auto body = [](const std::string& name) {
        return "BEGIN Column\r\nNAME=" + name +
               "\r\nEND Column\r\nBEGIN Primary Key\r\nNAME=PK\r\nCOMPOSANTE=" + name +
               "\r\nEND Primary Key\r\nBEGIN Process\r\nTEMPLATE=t.tpl\r\nEND Process";
    };
    std::string text = "BEGIN MorvexFylatek\r\nBEGIN File\r\n" + body("A") +
                       "\r\nEND File\r\n"
                       "BEGIN File\r\n" +
                       body("B") + "\r\nEND File\r\nEND MorvexFylatek";
    DescPtr d = loadText(dir, text);
    EXPECT_EQ(static_cast<int>(d->columns.size()), 2);
    EXPECT_EQ(static_cast<int>(d->primaryKey.columns.size()), 2);
    EXPECT_EQ(static_cast<int>(d->processes->tasks.size()), 2);
}

TEST_F(FykReader, BrokenDescriptionsAreRefusedWithTheLineThatShowsIt) {
    std::mt19937 rng(1234);
    std::string binary(20000, '\0');
    for (char& c : binary) c = static_cast<char>(rng() & 0xFF);
    const int limit = FILEDESC_GetNCarMaxReadWithoutNewLine();
    auto width = [](const std::string& value) {
        return fykFile("BEGIN Column\r\nNAME=A\r\nLARGEUR=" + value + "\r\nEND Column");
    };
    auto refused = [limit](const std::string& value) {
        return "est invalide : largeur de colonne « " + value + " » refusée, un nombre de 1 à " +
               std::to_string(limit) + " est attendu (0 : sans largeur) (ligne 6).";
    };
    const std::vector<Refusal> cases = {
        {"", "ne contient aucune description (ligne 1)."},
        {std::string(5000, '\n'), "ne contient aucune description (ligne 5000)."},
        {"END MorvexFylatek\r\n" + fykFile("TABLENAME=T"),
         "ne contient aucune description (ligne 1)."},
        {"BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\nEND MorvexFylatek",
         "ne contient aucune description : aucun bloc File (ligne 3)."},
        {"BEGIN MorvexFylatek\r\n" + std::string(3000, '\r'),
         "est incomplet : bloc MorvexFylatek non terminé (ligne 1)."},
        {"BEGIN MorvexFylatek\r\nBEGIN File\r\n" + binary,
         "est incomplet : bloc File non terminé (ligne 2)."},
        {"BEGIN MorvexFylatek\r\nBEGIN File\r\nBEGIN Column\r\nNAME=A\r\nEND Column\r\n"
         "BEGIN Column\r\nNAME=B\r\nLARGEUR=3",
         "est incomplet : bloc Column non terminé (ligne 6)."},
        {fykFile("BEGIN Column\r\nNAME=A\r\nBEGIN Column\r\nNAME=B\r\nEND Column"),
         "est incomplet : bloc Column non terminé (ligne 4)."},
        {"BEGIN MorvexFylatek\r\nBEGIN File\r\nBEGIN Index\r\nNAME=IX",
         "est incomplet : bloc Index non terminé (ligne 3)."},
        {fykFile("BEGIN Process\r\nTEMPLATE=a.tpl\r\nEND File\r\nEND MorvexFylatek"),
         "est incomplet : bloc Process non terminé (ligne 4)."},
        {width("-1"), refused("-1")},
        {width(std::to_string(limit + 1)), refused(std::to_string(limit + 1))},
        {width("99999999999"), refused("99999999999")},
        {width("x1"), refused("x1")},
    };
    expectEachRefused(dir, cases);
}

TEST_F(FykReader, EveryTruncationOfAValidFileIsRefused) {
    DescPtr full = fullDescription();
    std::string text = saveText(dir, full.get());
    std::string path = dir.file("cut.fyk");
    // Cut at every line start and in the middle of every line.
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos) eol = text.size();
        for (size_t n : {pos, pos + (eol - pos) / 2}) {
            writeAll(path, text.substr(0, n));
            DescPtr d = emptyDesc();
            std::string error;
            morvex::TraceCapture capture;
            EXPECT_EQ(FILEDESC_LoadFromFile(d.get(), path.c_str(), &error), 1) << n;
            EXPECT_NE(error.find(" (ligne "), std::string::npos) << n;
        }
        pos = eol + 2;
    }
    DescPtr d = loadText(dir, text);
    EXPECT_EQ(static_cast<int>(d->columns.size()), 8);
}

TEST_F(FykReader, HugeAndValuelessLinesStillLoad) {
    std::string hugeLine(100000, 'x');
    std::string hugeKeyed = "DESCRIPTION=" + std::string(100000, '=') + hugeLine;
    const std::string inputs[] = {
        fykFile(hugeLine + "\r\n" + hugeKeyed + "\r\nBEGIN Column\r\n" + hugeLine +
                "\r\nNAME=" + std::string(256, 'x') + "\r\nEND Column"),
        fykFile("NAME\r\nTABLENAME\r\nTABLENAME=\r\n=\r\n==\r\n=value\r\nBEGIN Column\r\n"
                "NAME\r\nLARGEUR=\r\nTYPE_CIBLE=1\r\nFMT_CIBLE=\r\nFMT_CIBLE=,\r\n"
                "CARDELIMDEBUT\r\nEND Column\r\nBEGIN Primary Key\r\nCOMPOSANTE\r\nNAME\r\n"
                "END Primary Key\r\nBEGIN Process\r\nTEMPLATE\r\nEND Process"),
        "\"BEGIN MorvexFylatek\r\n\"\"\"=\"\r\n" + fykFile(""),
    };
    for (const auto& input : inputs) {
        DescPtr d = loadText(dir, input);
        ASSERT_TRUE(d);
        EXPECT_EQ(static_cast<int>(d->columns.size()),
                  input.find("BEGIN Column") != std::string::npos ? 1 : 0);
        EXPECT_EQ(d->isModified, 0);
    }
}

// Texts typed with line ends, backslashes and more than a 1022-byte line.
TEST_F(FykRoundTrip, TextsAsTypedComeBackIdentical) {
    DescPtr d = smallDescription();
    const std::string comment = "Première ligne\r\nseconde\nC:\\new\\table \\r\\n #0x41\\";
    d->Description = strdup(comment.c_str());
    ColumnDesc* nom = FILEDESC_SearchColumn(d.get(), "Nom");
    std::string longText = "a\\n\r\n" + std::string(COLUMN_DESCRIPTION_MAX - 7, 'd') + "\n";
    snprintf(nom->Description, sizeof nom->Description, "%s", longText.c_str());
    snprintf(nom->code, sizeof nom->code, "N\\n");
    d->primaryKey.columns.push_back(nom);
    std::string first = saveText(dir, d.get(), "first.fyk");
    EXPECT_NE(first.find("\r\n\tFILEVERSION=1.5\r\n"), std::string::npos);
    EXPECT_NE(first.find("\r\n\t\tDESCRIPTION=Première ligne\\r\\nseconde\\nC:\\\\new"),
              std::string::npos);
    EXPECT_NE(first.find("\r\n\t\t\tCOMPOSANTE=N\\\\n\r\n"), std::string::npos);

    DescPtr l = loadText(dir, first);
    EXPECT_EQ(saveText(dir, l.get(), "second.fyk"), first);
    EXPECT_EQ(l->Description, comment);
    ColumnDesc* back = FILEDESC_SearchColumnByPos(l.get(), 2);
    EXPECT_STREQ(back->code, "N\\n");
    EXPECT_EQ(back->Description, longText);
    EXPECT_EQ(static_cast<int>(l->primaryKey.columns.size()), 2);

    // Without a line end the texts are written as they stand, as before.
    free(d->Description);
    d->Description = strdup("C:\\new\\table");
    snprintf(nom->Description, sizeof nom->Description, "%s", std::string(1500, 'e').c_str());
    std::string plain = saveText(dir, d.get(), "plain.fyk");
    EXPECT_NE(plain.find("\r\n\tFILEVERSION=1.4\r\n"), std::string::npos);
    EXPECT_NE(plain.find("\r\n\t\tDESCRIPTION=C:\\new\\table\r\n"), std::string::npos);
    l = loadText(dir, plain);
    EXPECT_EQ(saveText(dir, l.get(), "plain2.fyk"), plain);
    EXPECT_STREQ(l->Description, "C:\\new\\table");
}

// Opening appends the columns and renumbers and validates them once, at the end; one column
// more than the limit is refused as it is read.
TEST_F(FykReader, OpensADescriptionOfAsManyColumnsAsTheLimitAndRefusesOneMore) {
    const int n = FILEDESC_MAX_COLUMNS;
    std::string text = "BEGIN MorvexFylatek\r\n\tBEGIN File\r\n\t\tTYPESTRUCTFILE=1";
    for (int i = 1; i <= n; ++i) {
        text += "\r\n\t\tBEGIN Column\r\n\t\t\tNAME=" +
                (i == n / 2 ? "1bad"s : "C" + std::to_string(i)) +
                "\r\n\t\t\tLARGEUR=" + std::to_string(1 + i % 3) + "\r\n\t\tEND Column";
    }
    const std::string end = "\r\n\tEND File\r\nEND MorvexFylatek";
    std::string path = dir.file("wide.fyk");
    writeAll(path, text + end);
    morvex::TraceCapture capture;
    DescPtr d(FILEDESC_OpenFileDesc(path.c_str()));
    ASSERT_TRUE(d);
    ASSERT_EQ(static_cast<int>(d->columns.size()), n);
    ColumnDesc* last = d->columns.back().get();
    EXPECT_EQ(last->Position, n);
    // Widths 2, 3, 1 repeated: 10 922 rounds of 6 characters, then the last column's 2.
    EXPECT_EQ(last->StartPosition, 10922 * 6 + 1);
    EXPECT_EQ(last->EndPosition, 10922 * 6 + 2);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), n / 2)->hasWarning, 1);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), n / 2 + 1)->hasWarning, 0);
    EXPECT_EQ(d->isModified, 0);

    writeAll(path, text + "\r\n\t\tBEGIN Column\r\n\t\t\tNAME=Z\r\n\t\tEND Column" + end);
    std::string error;
    EXPECT_EQ(FILEDESC_OpenFileDesc(path.c_str(), &error), nullptr);
    EXPECT_EQ(error, "Le fichier de format '" + path +
                         "' est invalide : plus de 32767 colonnes "
                         "(ligne " +
                         std::to_string(3 + 4 * n + 1) + ").");
}

// A named pipe, a device or a folder given as a description is refused at once.
TEST_F(FykReader, RefusesWhatIsNotARegularFileWithoutWaiting) {
    const std::string fifo = dir.file("tube.fyk");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
        std::string error;
        morvex::TraceCapture capture;
        EXPECT_EQ(FILEDESC_OpenFileDesc(path.c_str(), &error), nullptr);
        EXPECT_EQ(error.rfind("Le fichier de format '" + path + "' est un", 0), 0u) << error;
    }
}

TEST_F(FykReader, OpenFileDescLoadsAFileAndAMissingFileGivesNothing) {
    DescPtr e = emptyDesc();
    EXPECT_EQ(FILEDESC_LoadFromFile(e.get(), dir.file("absent.fyk").c_str()), 1);
    EXPECT_EQ(FILEDESC_LoadFromFile(nullptr, dir.file("absent.fyk").c_str()), 1);
    std::string path = dir.file("full.fyk");
    DescPtr full = fullDescription();
    morvex::TraceCapture capture;
    ASSERT_EQ(FILEDESC_SaveToFile(full.get(), path.c_str()), 0);
    int before = FILEDESC_RegistryCount();
    EXPECT_EQ(FILEDESC_OpenFileDesc(dir.file("absent.fyk").c_str()), nullptr);
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
    DescPtr d(FILEDESC_OpenFileDesc(path.c_str()));
    ASSERT_TRUE(d);
    EXPECT_EQ(static_cast<int>(d->columns.size()), 8);
    EXPECT_STREQ(d->FileDescPath, path.c_str());
    EXPECT_EQ(d->isModified, 0);
}

}  // namespace

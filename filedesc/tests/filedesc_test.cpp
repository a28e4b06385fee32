#include "filedesc/filedesc.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "filedesc/descdialect.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/trace.h"

namespace {

using fdtest::DescPtr;
using fdtest::makeColumn;

bool isUpperHex32(const char* text) {
    if (strlen(text) != 32) return false;
    for (const char* p = text; *p; ++p) {
        if (!((*p >= '0' && *p <= '9') || (*p >= 'A' && *p <= 'F'))) return false;
    }
    return true;
}

TEST(FileDescCreate, WithEveryArgumentAbsentGivesTheDefaults) {
    morvex::TraceCapture capture;
    DescPtr d(FILEDESC_CreateFileDesc(nullptr, nullptr, 0, nullptr, nullptr));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->TypeStructFile, 0);
    EXPECT_STREQ(d->EndOfLine, "\\r\\n");
    EXPECT_EQ(FILEDESC_LineEndBytes(*d), "\r\n");
    EXPECT_STREQ(d->FieldDelimiter, ";");
    EXPECT_EQ(FILEDESC_DelimiterBytes(*d), ";");
    EXPECT_STREQ(d->ProjectName, "");
    EXPECT_EQ(d->FileDescPath, nullptr);
    EXPECT_EQ(d->isModified, 0);
    EXPECT_TRUE(isUpperHex32(d->FileDescUID)) << d->FileDescUID;
    EXPECT_TRUE(d->columns.empty());
    EXPECT_TRUE(d->primaryKey.columns.empty());
    EXPECT_TRUE(d->indexes.empty());
    ASSERT_NE(d->processes, nullptr);
    std::string expected = std::string("\n[FILEDESC_CreateFileDesc] fileDescUID=[") +
                           d->FileDescUID + "]\nRegistering '' (" + std::to_string(d->FileDescID) +
                           ")";
    EXPECT_NE(capture.text().find(expected), std::string::npos) << capture.text();
}

TEST(FileDescCreate, CopiesConvertsAndCutsTheGivenArguments) {
    DescPtr d(FILEDESC_CreateFileDesc("Projet", "/tmp/x.fyk", 2, "#0x0A", "\\t"));
    ASSERT_TRUE(d);
    EXPECT_STREQ(d->ProjectName, "Projet");
    EXPECT_STREQ(d->FileDescPath, "/tmp/x.fyk");
    EXPECT_EQ(d->TypeStructFile, 2);
    EXPECT_EQ(FILEDESC_LineEndBytes(*d), "\n");
    EXPECT_EQ(FILEDESC_DelimiterBytes(*d), "\t");
    const std::string longName(300, 'p'), longEol(200, 'e');
    d.reset(
        FILEDESC_CreateFileDesc(longName.c_str(), nullptr, 1, longEol.c_str(), longEol.c_str()));
    ASSERT_TRUE(d);
    EXPECT_EQ(strlen(d->ProjectName), 128u);
    EXPECT_EQ(strlen(d->EndOfLine), 64u);
    EXPECT_EQ(strlen(d->FieldDelimiter), 63u);
    EXPECT_EQ(FILEDESC_DelimiterBytes(*d).size(), 63u);
}

// The owned texts are replaced, cleared and released by their setters only (a leak or a double
// free shows under the sanitizers).
TEST(FileDescOwnedTexts, SettersReplaceAndClearTheirOwnCopies) {
    FILEDESC_Initialize();
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, STRUCTFILE_DELIMITED, "\\n", ";"));
    const int modified = d->isModified;
    std::string text = "première";
    ASSERT_EQ(FILEDESC_SetDescription(d.get(), text.c_str()), 0);
    ASSERT_EQ(FILEDESC_SetExampleFilePath(d.get(), "/data/a.csv"), 0);
    ASSERT_EQ(FILEDESC_SetDatabaseFilePath(d.get(), "/data/a.db"), 0);
    text = "changed";  // a copy was kept, not the caller's text
    EXPECT_STREQ(d->Description, "première");
    EXPECT_EQ(FILEDESC_SetDescription(d.get(), "seconde"), 0);
    EXPECT_STREQ(d->Description, "seconde");
    EXPECT_EQ(FILEDESC_SetExampleFilePath(d.get(), d->ExampleFilePath), 0);  // its own text
    EXPECT_STREQ(d->ExampleFilePath, "/data/a.csv");
    EXPECT_EQ(FILEDESC_SetDatabaseFilePath(d.get(), nullptr), 0);
    EXPECT_EQ(d->DatabaseFilePath, nullptr);
    EXPECT_EQ(d->isModified, modified);
    EXPECT_EQ(FILEDESC_SetDescription(nullptr, "x"), 1);
}

TEST(FileDescRegistry, GivesRunningIdsAndFindsDescriptionsUntilClosed) {
    FILEDESC_Initialize();
    int before = FILEDESC_RegistryCount();
    FileDesc* a = FILEDESC_CreateFileDesc("A", nullptr, 2, nullptr, nullptr);
    FileDesc* b = FILEDESC_CreateFileDesc("B", nullptr, 2, nullptr, nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_GE(a->FileDescID, 1);
    EXPECT_EQ(b->FileDescID, a->FileDescID + 1);
    EXPECT_EQ(FILEDESC_RegistryCount(), before + 2);
    EXPECT_EQ(FILEDESC_GetFileDescByID(a->FileDescID), a);
    EXPECT_EQ(FILEDESC_GetFileDescByID(b->FileDescID), b);
    EXPECT_STRNE(a->FileDescUID, b->FileDescUID);

    int idA = a->FileDescID;
    {
        morvex::TraceCapture capture;
        EXPECT_EQ(FILEDESC_CloseFileDesc(a), 0);
        EXPECT_EQ(capture.text(),
                  "\n[FILEDESC_CloseFileDesc] Removing 'A' (" + std::to_string(idA) + ")");
    }
    EXPECT_EQ(FILEDESC_GetFileDescByID(idA), nullptr);
    EXPECT_EQ(FILEDESC_RegistryCount(), before + 1);
    EXPECT_EQ(FILEDESC_CloseFileDesc(b), 0);
    EXPECT_EQ(FILEDESC_RegistryCount(), before);
    EXPECT_EQ(FILEDESC_CloseFileDesc(nullptr), 0);
}

TEST(FileDescColumns, PositionsFollowTheWidthsEvenAWidthOfZeroAndRemovalRenumbers) {
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    ColumnDesc c1 = makeColumn("A", 5), c2 = makeColumn("B", 0), c3 = makeColumn("C", 3);
    ASSERT_EQ(FILEDESC_AjouterColonne(d.get(), &c1), 0);
    ASSERT_EQ(FILEDESC_AjouterColonne(d.get(), &c2), 0);
    ASSERT_EQ(FILEDESC_AjouterColonne(d.get(), &c3), 0);
    EXPECT_EQ(d->isModified, 1);
    const int expected[3][3] = {{1, 1, 5}, {2, 6, 5}, {3, 6, 8}};
    for (int i = 0; i < 3; ++i) {
        ColumnDesc* col = FILEDESC_SearchColumnByPos(d.get(), i + 1);
        ASSERT_NE(col, nullptr);
        EXPECT_EQ(col->Position, expected[i][0]);
        EXPECT_EQ(col->StartPosition, expected[i][1]);
        EXPECT_EQ(col->EndPosition, expected[i][2]);
    }
    d->isModified = 0;
    {
        morvex::TraceCapture capture;
        ASSERT_EQ(FILEDESC_SupprimerColonne(d.get(), FILEDESC_SearchColumn(d.get(), "A")), 0);
        EXPECT_EQ(capture.text(), "\n[FileDesc_DestroyColumn] ColName=[A]");
    }
    EXPECT_EQ(d->isModified, 1);
    ColumnDesc* c = FILEDESC_SearchColumn(d.get(), "C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Position, 2);
    EXPECT_EQ(c->StartPosition, 1);
    EXPECT_EQ(c->EndPosition, 3);
    ColumnDesc stranger = makeColumn("X", 1);
    EXPECT_EQ(FILEDESC_SupprimerColonne(d.get(), &stranger), 1);
}

TEST(FileDescColumns, SearchesAreExactAndPositionsOneBased) {
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    ColumnDesc c1 = makeColumn("Code", 2), c2 = makeColumn("code", 3);
    FILEDESC_AjouterColonne(d.get(), &c1);
    FILEDESC_AjouterColonne(d.get(), &c2);
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "code")->WidthInChars, 3);
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "Code")->WidthInChars, 2);
    EXPECT_EQ(FILEDESC_SearchColumn(d.get(), "CODE"), nullptr);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), 0), nullptr);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), -1), nullptr);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), 3), nullptr);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(d.get(), 2)->WidthInChars, 3);
    EXPECT_EQ(FILEDESC_SearchColumn(nullptr, "code"), nullptr);
}

TEST(FileDescColumns, AddedColumnTakesOverMessageAndStatistics) {
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    ColumnDesc c = makeColumn("Good", 2, DATATYPE_INTEGER);
    c.message = strdup("old message");
    c.stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
    COL_TYPE_STATISTICS* stats = c.stats;
    ASSERT_EQ(FILEDESC_AjouterColonne(d.get(), &c), 0);
    ColumnDesc* added = FILEDESC_SearchColumn(d.get(), "Good");
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added, &c);
    EXPECT_EQ(added->stats, stats);
    // Validation of a sound column replaced the message by nothing.
    EXPECT_EQ(added->message, nullptr);
    FILEDESC_RemoveColumnsStats(d.get());
    EXPECT_EQ(added->stats, nullptr);
}

struct ValidationCase {
    const char* code;
    int type;
    int size;
    int expectedResult;
    const char* expectedMessage;  // nullptr: no message
};

constexpr const char* kWarning =
    "Attention : le nom de colonne défini peut poser problème pour certaines bases de données ou "
    "scripts.\n";
constexpr const char* kVarError =
    "ERREUR : La taille d'une chaine variable doit être positive non nulle.\n";
constexpr const char* kFixedError =
    "ERREUR : La taille d'une chaine fixe doit être positive non nulle.\n";

TEST(FileDescValidate, ChecksNamesAndStringSizes) {
    const std::string both = std::string(kWarning) + kVarError;
    const ValidationCase cases[] = {
        {"Name_1", DATATYPE_TEXT, 0, 1, nullptr},
        {"x", DATATYPE_VARIABLECHAR, 10, 1, nullptr},
        {"1name", DATATYPE_TEXT, 0, 0, kWarning},
        {"na-me", DATATYPE_TEXT, 0, 0, kWarning},
        {"", DATATYPE_TEXT, 0, 0, kWarning},
        {"_name", DATATYPE_TEXT, 0, 0, kWarning},
        {"Name", DATATYPE_VARIABLECHAR, 0, 0, kVarError},
        {"Name", DATATYPE_VARIABLECHAR, -3, 0, kVarError},
        {"Name", DATATYPE_FIXEDCHAR, 0, 0, kFixedError},
        {"1-x", DATATYPE_VARIABLECHAR, 0, 0, both.c_str()},
    };
    for (const auto& c : cases) {
        ColumnDesc col = makeColumn(c.code, 1, c.type);
        col.typeCible.fmtChaineVar.tailleMax = c.size;
        col.typeCible.fmtChaineFixe.taille = c.size;
        col.hasWarning = 1;
        col.hasInfo = 1;
        col.message = strdup("stale");
        EXPECT_EQ(FILEDESC_ValidateColumn(&col), c.expectedResult) << c.code;
        if (c.expectedMessage) {
            ASSERT_NE(col.message, nullptr) << c.code;
            EXPECT_STREQ(col.message, c.expectedMessage);
            EXPECT_EQ(col.hasWarning, 1);
        } else {
            EXPECT_EQ(col.message, nullptr) << c.code;
            EXPECT_EQ(col.hasWarning, 0);
            EXPECT_EQ(col.hasInfo, 0);
        }
        free(col.message);
    }
}

TEST(FileDescValidate, MajColonneRevalidatesEveryColumnTracingEachAndMarksModified) {
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    ColumnDesc c = makeColumn("ok", 1, DATATYPE_VARIABLECHAR);
    c.typeCible.fmtChaineVar.tailleMax = 12;
    FILEDESC_AjouterColonne(d.get(), &c);
    ColumnDesc* col = FILEDESC_SearchColumn(d.get(), "ok");
    snprintf(col->code, sizeof col->code, "%s", "9bad");
    d->isModified = 0;
    morvex::TraceCapture capture;
    EXPECT_EQ(FILEDESC_MAJColonne(d.get()), 0);
    EXPECT_EQ(capture.text(),
              "\n[FILEDESC_ValidateColumn] col->code = 9bad, col->typeCible.type = 5, "
              "col->typeCible.fmtChaineVar.tailleMax = 12");
    EXPECT_EQ(d->isModified, 1);
    EXPECT_EQ(col->hasWarning, 1);
}

// The conversion itself is DATAFILE_NotationBytes (datafile/tests/dialect_test.cpp).
TEST(FileDescConvertEndOfLine, TracesEveryHexDigitNeverWritesPastTheOutputAndNeedsArguments) {
    char out[4];
    {
        morvex::TraceCapture capture;
        FILEDESC_ConvertEndOfLine("#0x0A", out, sizeof out);
        EXPECT_EQ(capture.text(),
                  "\n[FILEDESC_ConvertEndOfLine] HexValue = [0][0]"
                  "\n[FILEDESC_ConvertEndOfLine] HexValue = [A][0A]");
    }
    ASSERT_EQ(FILEDESC_ConvertEndOfLine("abcdefgh", out, sizeof out), 0);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(FILEDESC_ConvertEndOfLine(nullptr, out, sizeof out), 1);
    EXPECT_EQ(FILEDESC_ConvertEndOfLine("a", nullptr, 4), 1);
    EXPECT_EQ(FILEDESC_ConvertEndOfLine("a", out, 0), 1);
}

TEST(FileDescUID, IsTheUpperCaseMd5OfTheTracedKeyAndFreshIdentifiersDiffer) {
    const std::regex keyLine(
        R"(\n\[FILEDESC_CreateUID\] Making signature for key=\[(\d{8}_\d{8}_\d+_\d+)\])");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        morvex::TraceCapture capture;
        DYNSTRING* uid = FILEDESC_CreateUID();
        ASSERT_NE(uid, nullptr);
        seen.insert(DYNSTRING_GetCString(uid));
        std::string text = capture.text();
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, keyLine)) << text;
        std::string key = m[1];
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned len = 0;
        ASSERT_EQ(EVP_Digest(key.data(), key.size(), digest, &len, EVP_md5(), nullptr), 1);
        char hex[33];
        for (unsigned k = 0; k < 16; ++k) snprintf(hex + 2 * k, 3, "%02X", digest[k]);
        EXPECT_STREQ(DYNSTRING_GetCString(uid), hex);
        DYNSTRING_Destroy(uid);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(FileDescDataType, NamesAndFormatsEveryCode) {
    struct Case {
        int type;
        const char* name;
        const char* format;
    } cases[] = {
        {0, "Integer", ""},        {1, "Decimal", "12,2"},
        {2, "Date", "jj/mm/aaaa"}, {3, "Datetime", "aaaa-mm-jj HH:MM:SS"},
        {4, "FixedChar", "7"},     {5, "VariableChar", "40"},
        {6, "Text", ""},           {7, "Boolean", ""},
    };
    for (const auto& c : cases) {
        TypeCible t{};
        t.type = c.type;
        t.fmtEntier.taille = 9;
        t.fmtDecimal = {10, 2};
        snprintf(t.fmtDate, sizeof t.fmtDate, "jj/mm/aaaa");
        snprintf(t.fmtDateTime, sizeof t.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
        t.fmtChaineFixe.taille = 7;
        t.fmtChaineVar.tailleMax = 40;
        char name[32] = "x";
        char format[64] = "x";
        EXPECT_EQ(GetDataType(&t, name, sizeof name), 0);
        EXPECT_EQ(GetDataTypeFormat(&t, format, sizeof format), 0);
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(format, c.format) << c.name;
    }
}

TEST(FileDescDataType, CodeOutsideTheTableLeavesTheBufferAloneAndASmallBufferIsCut) {
    for (int type : {-1, 8, 1000}) {
        TypeCible t{};
        t.type = type;
        char name[16] = "keep";
        char format[16] = "keep";
        EXPECT_EQ(GetDataType(&t, name, sizeof name), 1);
        EXPECT_EQ(GetDataTypeFormat(&t, format, sizeof format), 1);
        EXPECT_STREQ(name, "keep");
        EXPECT_STREQ(format, "keep");
    }
    TypeCible t{};
    t.type = DATATYPE_VARIABLECHAR;
    char name[5];
    EXPECT_EQ(GetDataType(&t, name, sizeof name), 0);
    EXPECT_STREQ(name, "Vari");
}

TEST(FileDescKeys, SetPrimaryKeyTakesTheKeysColumnListAndNullEmptiesIt) {
    DescPtr d(FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr));
    ColumnDesc a = makeColumn("A", 1), b = makeColumn("B", 1);
    FILEDESC_AjouterColonne(d.get(), &a);
    FILEDESC_AjouterColonne(d.get(), &b);
    IndexDesc key{};
    snprintf(key.name, sizeof key.name, "PK_T");
    key.columns.push_back(FILEDESC_SearchColumn(d.get(), "B"));
    ASSERT_EQ(FILEDESC_SetPrimaryKey(d.get(), &key), 0);
    EXPECT_STREQ(d->primaryKey.name, "PK_T");
    EXPECT_EQ(d->primaryKey.columns, std::vector<ColumnDesc*>{FILEDESC_SearchColumn(d.get(), "B")});
    EXPECT_TRUE(key.columns.empty());

    ASSERT_EQ(FILEDESC_SetPrimaryKey(d.get(), nullptr), 0);
    EXPECT_STREQ(d->primaryKey.name, "");
    EXPECT_TRUE(d->primaryKey.columns.empty());
    EXPECT_EQ(FILEDESC_SetPrimaryKey(nullptr, nullptr), 1);
}

TEST(FileDescKeys, RemovedIndexIsGivenBackAndClosingReleasesTheRestColumnsOnlyOnce) {
    // Run under AddressSanitizer: any leak or double release of the records shows there.
    FileDesc* d = FILEDESC_CreateFileDesc("P", nullptr, 1, nullptr, nullptr);
    ColumnDesc a = makeColumn("A", 1);
    FILEDESC_AjouterColonne(d, &a);
    ColumnDesc* col = FILEDESC_SearchColumn(d, "A");
    d->primaryKey.columns.push_back(col);
    for (int i = 0; i < 3; ++i) {
        IndexDesc* idx = FILEDESC_CreateIndex("IX");
        idx->columns.push_back(col);
        ASSERT_EQ(FILEDESC_AddIndex(d, idx), 0);
    }
    PROCESSTASK* task = PROCESS_CreateTask();
    task->templatePath = strdup("t.tpl");
    PROCESS_AddTask(d->processes, task);
    d->Description = strdup("text");
    d->ExampleFilePath = strdup("data.txt");
    d->DatabaseFilePath = strdup("db.sqlite");
    // A removed index is given back to the caller.
    IndexDesc* removed = d->indexes.front().get();
    EXPECT_EQ(FILEDESC_RemoveIndex(d, removed), 0);
    EXPECT_EQ(static_cast<int>(d->indexes.size()), 2);
    EXPECT_EQ(FILEDESC_RemoveIndex(d, removed), 1);
    FILEDESC_DestroyIndex(removed);
    EXPECT_EQ(FILEDESC_CloseFileDesc(d), 0);
}

TEST(FileDescMisc, SetFileNameMarksModifiedAndDetruireListeReleasesTheColumnsOnce) {
    FileDesc* d = FILEDESC_CreateFileDesc("P", "/a.fyk", 1, nullptr, nullptr);
    EXPECT_EQ(FILEDESC_SetFileName(d, "/b.fyk"), 0);
    EXPECT_STREQ(d->FileDescPath, "/b.fyk");
    EXPECT_EQ(d->isModified, 1);
    EXPECT_EQ(FILEDESC_SetFileName(nullptr, "/b.fyk"), 1);
    ColumnDesc a = makeColumn("A", 1);
    FILEDESC_AjouterColonne(d, &a);
    EXPECT_EQ(FILEDESC_CreerListe(), 0);
    EXPECT_EQ(FILEDESC_DetruireListe(d), 0);
    EXPECT_TRUE(d->columns.empty());
    EXPECT_EQ(FILEDESC_AjouterColonne(d, &a), 0);
    EXPECT_EQ(FILEDESC_CloseFileDesc(d), 0);
}

TEST(Process, TasksAreAddedRemovedAndDestroyed) {
    PROCESS* p = PROCESS_Create();
    ASSERT_NE(p, nullptr);
    PROCESSTASK* t1 = PROCESS_CreateTask();
    PROCESSTASK* t2 = PROCESS_CreateTask();
    t1->templatePath = strdup("a.tpl");
    t2->templatePath = strdup("b.tpl");
    t2->outputPath = strdup("out.sql");
    EXPECT_EQ(PROCESS_AddTask(p, t1), 0);
    EXPECT_EQ(PROCESS_AddTask(p, t2), 0);
    EXPECT_EQ(PROCESS_AddTask(nullptr, t2), 1);
    EXPECT_EQ(PROCESS_RemoveTask(p, t1), 0);
    EXPECT_EQ(static_cast<int>(p->tasks.size()), 1);
    PROCESSTASK stranger{};
    EXPECT_EQ(PROCESS_RemoveTask(p, &stranger), 1);
    EXPECT_EQ(PROCESS_Destroy(p), 0);
    EXPECT_EQ(PROCESS_Destroy(nullptr), 1);
}

}  // namespace

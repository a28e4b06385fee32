#include "datadic/datadicxml.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "datadic/tests/dictest_util.h"
#include "foundation/trace.h"

using dictest::DicPtr;
using dictest::eltAt;
using dictest::makeColumn;
using dictest::makeRef;
using dictest::readFile;
using dictest::refAt;
using dictest::writeAll;

namespace {

// A dictionary with one object of every type, each referenced from two tables, with
// protecting characters, positions, flags and texts that need escaping.
DicPtr everyType(const std::string& path) {
    DicPtr dic(DATADIC_Create("ZRT", path.c_str()));
    for (int type = 0; type < 8; ++type) {
        std::string code = "COL_" + std::to_string(type);
        ColumnDesc c = makeColumn(code.c_str(), "Libellé <\"&'> n° 1\ttab", 10 + type, type);
        c.Position = type + 1;
        c.StartPosition = 10 * type + 1;
        c.EndPosition = 10 * type + 10;
        c.IgnoreColumn = type % 2;
        c.FieldCannotBeNull = type % 3 == 0;
        c.DelimCharStart = type == 4 ? '"' : type == 5 ? '<' : 0;
        c.DelimCharEnd = type == 4 ? '"' : type == 5 ? '>' : 0;
        c.typeCible.fmtEntier.taille = 9;
        c.typeCible.fmtDecimal = {12, 3};
        strcpy(c.typeCible.fmtDate, "jj/mm/aaaa");
        strcpy(c.typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:SS");
        c.typeCible.fmtChaineFixe.taille = 4;
        c.typeCible.fmtChaineVar.tailleMax = 40;
        DATADIC_REF a = makeRef("VENTES", "CLIENT", c);
        EXPECT_EQ(DATADIC_AddElt(dic.get(), &a), DATADIC_OK);
        c.WidthInChars += 5;
        DATADIC_REF b = makeRef("COMPTA", "FACTURE & AVOIR", c);
        EXPECT_EQ(DATADIC_AddElt(dic.get(), &b), DATADIC_OK);
    }
    return dic;
}

void expectSameColumn(const ColumnDesc& a, const ColumnDesc& b) {
    EXPECT_EQ(a.Position, b.Position);
    EXPECT_STREQ(a.code, b.code);
    EXPECT_STREQ(a.Description, b.Description);
    EXPECT_EQ(a.WidthInChars, b.WidthInChars);
    EXPECT_EQ(a.IgnoreColumn, b.IgnoreColumn);
    EXPECT_EQ(a.FieldCannotBeNull, b.FieldCannotBeNull);
    EXPECT_EQ(a.DelimCharStart, b.DelimCharStart);
    EXPECT_EQ(a.DelimCharEnd, b.DelimCharEnd);
    EXPECT_EQ(a.StartPosition, b.StartPosition);
    EXPECT_EQ(a.EndPosition, b.EndPosition);
    EXPECT_EQ(a.typeCible.type, b.typeCible.type);
    char fa[128] = "", fb[128] = "";
    GetDataTypeFormat(&a.typeCible, fa, sizeof fa);
    GetDataTypeFormat(&b.typeCible, fb, sizeof fb);
    EXPECT_STREQ(fa, fb);
}

// Every test gets its own temporary directory.
struct DataDicXml : testing::Test {
    dictest::TempDir dir;
};

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

TEST_F(DataDicXml, WritesTagsAndAttributesInTheirOrder) {
    DicPtr dic(DATADIC_Create("ZRT", "x"));
    ColumnDesc c = makeColumn("ID", "Identifiant", 5, DATATYPE_DECIMAL);
    c.Position = 1;
    c.StartPosition = 1;
    c.EndPosition = 5;
    c.FieldCannotBeNull = 1;
    c.DelimCharStart = '\'';
    c.typeCible.fmtDecimal = {5, 2};
    DATADIC_REF ref = makeRef("DB", "T", c);
    ASSERT_EQ(DATADIC_AddElt(dic.get(), &ref), DATADIC_OK);
    std::string path = dir.file("Dictionnaire.xml");
    ASSERT_EQ(DATADICXML_WriteToFile(dic.get(), path.c_str()), 0);
    const std::string col =
        "POS=\"1\" CODE=\"ID\" DESC=\"Identifiant\" LARGEUR=\"5\" IGNORERCOL=\"0\" NOTNULL=\"1\" "
        "CARDELIMDEBUT=\"'\" CARDELIMFIN=\"\" POSDEBUT=\"1\" POSFIN=\"5\" TYPECIBLE=\"DECIMAL\" "
        "FORMATCIBLE=\"5,2\" />\n";
    EXPECT_EQ(readFile(path), std::string(kHeader) +
                                 "<DATADIC NAME=\"ZRT\">\n"
                                 "\t<OBJECT CODE=\"ID\" DESCRIPTION=\"Identifiant\">\n"
                                 "\t\t<DEFAULT_COLUMN_DEF " +
                                 col +
                                 "\t\t<REFERENCE DATABASE=\"DB\" TABLE=\"T\">\n"
                                 "\t\t\t<LOCAL_COLUMN_DEF " +
                                 col +
                                 "\t\t</REFERENCE>\n"
                                 "\t</OBJECT>\n"
                                 "</DATADIC>\n");
}

TEST_F(DataDicXml, TypeNamesAndFormatsOfEveryType) {
    const char* names[] = {"INTEGER", "DECIMAL", "DATE", "DATETIME",
                           "CHAR",    "VARCHAR", "TEXT", "BIT"};
    for (int t = 0; t < 8; ++t) EXPECT_STREQ(DATADICXML_TypeName(t), names[t]);
    EXPECT_STREQ(DATADICXML_TypeName(8), "");
    EXPECT_STREQ(DATADICXML_TypeName(-1), "");
    std::string path = dir.file("d.xml");
    DicPtr dic = everyType(path);
    ASSERT_EQ(DATADICXML_WriteToFile(dic.get(), path.c_str()), 0);
    std::string xml = readFile(path);
    for (const char* expected :
         {"TYPECIBLE=\"INTEGER\" FORMATCIBLE=\"9\"", "TYPECIBLE=\"DECIMAL\" FORMATCIBLE=\"12,3\"",
          "TYPECIBLE=\"DATE\" FORMATCIBLE=\"jj/mm/aaaa\"",
          "TYPECIBLE=\"DATETIME\" FORMATCIBLE=\"aaaa-mm-jj HH:MM:SS\"",
          "TYPECIBLE=\"CHAR\" FORMATCIBLE=\"4\"", "TYPECIBLE=\"VARCHAR\" FORMATCIBLE=\"40\"",
          "TYPECIBLE=\"TEXT\" FORMATCIBLE=\"\"", "TYPECIBLE=\"BIT\" FORMATCIBLE=\"\"",
          "DESC=\"Libellé &lt;&quot;&amp;'> n° 1&#09;tab\""})
        EXPECT_NE(xml.find(expected), std::string::npos) << expected;
}

TEST_F(DataDicXml, SaveLoadSaveGivesIdenticalBytesAndTheSameObjects) {
    std::string first = dir.file("first.xml"), second = dir.file("second.xml");
    DicPtr dic = everyType(first);
    ASSERT_EQ(DATADICXML_WriteToFile(dic.get(), first.c_str()), 0);
    morvex::TraceCapture cap;
    DicPtr back(DATADICXML_LoadFromFile(first.c_str()));
    ASSERT_TRUE(back);
    EXPECT_EQ(cap.text(),
              "\n(i) Chargement du fichier XML\n(i) Recuperation du premier element : OK"
              "\n(i) Creation du dictionnaire\nDocument cree\nElt courant : datadic");
    ASSERT_EQ(DATADICXML_WriteToFile(back.get(), second.c_str()), 0);
    EXPECT_EQ(readFile(first), readFile(second));

    EXPECT_STREQ(back->name, "ZRT");
    EXPECT_STREQ(back->filePath, first.c_str());
    ASSERT_EQ(DATADIC_Count(back.get()), 8);
    for (int i = 0; i < 8; ++i) {
        DATADIC_ELT *a = eltAt(dic.get(), i), *b = eltAt(back.get(), i);
        SCOPED_TRACE(a->code);
        EXPECT_STREQ(a->code, b->code);
        expectSameColumn(a->defaultColumn, b->defaultColumn);
        ASSERT_EQ(LDCG_Count(b->references), 2);
        for (int r = 0; r < 2; ++r) {
            EXPECT_STREQ(refAt(a, r)->database, refAt(b, r)->database);
            EXPECT_STREQ(refAt(a, r)->table, refAt(b, r)->table);
            expectSameColumn(refAt(a, r)->localColumn, refAt(b, r)->localColumn);
        }
    }
    // The index of the loaded dictionary finds its objects.
    EXPECT_NE(DATADIC_SearchReference(back.get(), "COL_3", "COMPTA", "FACTURE & AVOIR"), nullptr);
}

TEST_F(DataDicXml, ReaderTracesEveryProblemAndKeepsWhatItRead) {
    std::string path = dir.file("d.xml");
    writeAll(
        path,
        "<?xml version=\"1.0\"?>\n"
        "<Dictionnaire>\n"  // an unexpected root tag, no NAME
        " <OBJECT>\n"       // neither CODE nor DESCRIPTION
        "  <REFERENCE DATABASE=\"DB\" TABLE=\"EARLY\"><LOCAL_COLUMN_DEF CODE=\"A\"/></REFERENCE>\n"
        "  <DEFAULT_COLUMN_DEF CODE=\"A\" LARGEUR=\"12x\" POSDEBUT=\"abc\" TYPECIBLE=\"DATE\"/>\n"
        "  <REFERENCE DATABASE=\"DB\" TABLE=\"T1\"/>\n"  // no local definition
        "  <REFERENCE DATABASE=\"DB\" TABLE=\"T2\"><LOCAL_COLUMN_DEF TYPECIBLE=\"BLOB\" "
        "FORMATCIBLE=\"1\"/></REFERENCE>\n"
        "  <COMMENT/>\n"
        " </OBJECT>\n"
        " <other CODE=\"B\"><DEFAULT_COLUMN_DEF CODE=\"B\"/></other>\n"
        " <Object Code=\"C\" Description=\"Mixed case names\"><Default_Column_Def/></Object>\n"
        "</Dictionnaire>\n");
    morvex::TraceCapture cap;
    DicPtr dic(DATADICXML_LoadFromFile(path.c_str()));
    ASSERT_TRUE(dic);
    EXPECT_EQ(cap.text(),
              "\n(i) Chargement du fichier XML\n(i) Recuperation du premier element : OK"
              "\n(i) Creation du dictionnaire\nDocument cree\nElt courant : dictionnaire"
              "\n(e) La donnee NAME n'a pas ete trouvee."
              "\n(e) La donnee CODE n'a pas ete trouvee."
              "\n(e) La donnee DESCRIPTION n'a pas ete trouvee."
              "\n(e) Attribut FORMATCIBLE incorrect."
              "\n(!) Unknown type : BLOB"
              "\nUnknown tag : ignored");
    EXPECT_STREQ(dic->name, "<use default>");
    ASSERT_EQ(DATADIC_Count(dic.get()), 2);
    DATADIC_ELT* a = eltAt(dic.get(), 0);
    EXPECT_STREQ(a->code, "A");
    EXPECT_EQ(a->defaultColumn.WidthInChars, 12);
    EXPECT_EQ(a->defaultColumn.StartPosition, 0);
    EXPECT_EQ(a->defaultColumn.typeCible.type, DATATYPE_INTEGER);  // type without format: kept
    ASSERT_EQ(LDCG_Count(a->references), 1);  // the early reference found no element
    EXPECT_STREQ(refAt(a, 0)->table, "T2");
    EXPECT_STREQ(eltAt(dic.get(), 1)->code, "C");
    EXPECT_STREQ(eltAt(dic.get(), 1)->defaultColumn.Description, "Mixed case names");
}

TEST_F(DataDicXml, BadFilesGiveNothingOrWhatWasReadNeverACrash) {
    const struct {
        const char* name;
        std::string bytes;
        bool gives;   // a dictionary comes back
        int objects;  // objects read
    } cases[] = {
        {"empty", "", false, 0},
        {"not xml", "DATADIC;NAME=ZRT\r\n\xff\xfe\x00\x01", false, 0},
        {"only a declaration", "<?xml version=\"1.0\"?>", false, 0},
        {"empty root", "<DATADIC NAME=\"X\"/>", true, 0},
        {"truncated in an object",
         "<DATADIC NAME=\"X\"><OBJECT CODE=\"A\" DESCRIPTION=\"\"><DEFAULT_COLUMN_DEF CODE=\"A\"/>"
         "</OBJECT><OBJECT CODE=\"B\" DESCRIPTION=\"\"><DEFAULT_COLUMN_DEF CODE=\"B\" LARG",
         true, 1},  // a start tag cut in its attributes is not taken: they may be missing
        {"truncated after objects",
         "<DATADIC NAME=\"X\"><OBJECT CODE=\"A\" DESCRIPTION=\"\"><DEFAULT_COLUMN_DEF CODE=\"A\"/>"
         "</OBJECT><OBJECT CODE=\"B\" DESCRIPTION=\"\"><DEFAULT_COLUMN_DEF CODE=\"B\"/></OBJ",
         true, 2},
        {"two roots",
         "<DATADIC NAME=\"X\"><OBJECT CODE=\"A\" DESCRIPTION=\"\"><DEFAULT_COLUMN_DEF CODE=\"A\"/>"
         "</OBJECT></DATADIC><DATADIC/>",
         true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file("bad.xml");
        writeAll(path, c.bytes);
        morvex::TraceCapture cap;
        DicPtr dic(DATADICXML_LoadFromFile(path.c_str()));
        EXPECT_EQ(static_cast<bool>(dic), c.gives);
        if (dic) {
            EXPECT_EQ(DATADIC_Count(dic.get()), c.objects);
        }
        EXPECT_EQ(cap.text().rfind("\n(i) Chargement du fichier XML", 0), 0u);
    }
    EXPECT_EQ(DATADICXML_LoadFromFile(dir.file("missing.xml").c_str()), nullptr);
    EXPECT_EQ(DATADICXML_LoadFromFile(nullptr), nullptr);
}

TEST_F(DataDicXml, EmptyRootTracesBothMissingChildMessages) {
    std::string path = dir.file("d.xml");
    writeAll(path, "<DATADIC NAME=\"Vide\"></DATADIC>");
    morvex::TraceCapture cap;
    DicPtr dic(DATADICXML_LoadFromFile(path.c_str()));
    ASSERT_TRUE(dic);
    EXPECT_EQ(cap.text(),
              "\n(i) Chargement du fichier XML\n(i) Recuperation du premier element : OK"
              "\n(e) node NULL\n(i) Creation du dictionnaire\nDocument cree\nElt courant : datadic"
              "\n(e) Erreur recup GetFirstChildElement");
    EXPECT_STREQ(dic->name, "Vide");
}

TEST_F(DataDicXml, HugeValuesAreCutToTheirFields) {
    std::string path = dir.file("d.xml");
    std::string big(4 * 1024 * 1024, 'v');  // ten of them stay below DATADICXML_MAX_FILE_BYTES
    writeAll(path, "<DATADIC NAME=\"" + big + "\"><OBJECT CODE=\"" + big + "\" DESCRIPTION=\"" +
                       big + "\"><DEFAULT_COLUMN_DEF CODE=\"" + big + "\" DESC=\"" + big +
                       "\" LARGEUR=\"99999999999999999999\" TYPECIBLE=\"DATE\" FORMATCIBLE=\"" +
                       big + "\"/><REFERENCE DATABASE=\"" + big + "\" TABLE=\"" + big +
                       "\"><LOCAL_COLUMN_DEF/></REFERENCE></OBJECT></DATADIC>");
    morvex::TraceCapture cap;
    DicPtr dic(DATADICXML_LoadFromFile(path.c_str()));
    ASSERT_TRUE(dic);
    EXPECT_EQ(strlen(dic->name), 63u);
    DATADIC_ELT* elt = eltAt(dic.get(), 0);
    ASSERT_NE(elt, nullptr);
    EXPECT_EQ(strlen(elt->code), 63u);
    EXPECT_EQ(strlen(elt->defaultColumn.code), 256u);
    EXPECT_EQ(strlen(elt->defaultColumn.Description), 1024u);
    EXPECT_EQ(strlen(elt->defaultColumn.typeCible.fmtDate), 63u);
    EXPECT_EQ(elt->defaultColumn.WidthInChars, INT_MAX);
    ASSERT_EQ(LDCG_Count(elt->references), 1);
    EXPECT_EQ(strlen(refAt(elt, 0)->database), 64u);
    EXPECT_EQ(strlen(refAt(elt, 0)->table), 64u);
}

TEST_F(DataDicXml, ManyObjectsLoadInFileOrder) {
    std::string path = dir.file("d.xml");
    std::string xml = "<DATADIC NAME=\"N\">";
    for (int i = 0; i < 100000; ++i) {
        std::string code = "C" + std::to_string(i);
        xml += "<OBJECT CODE=\"" + code + "\" DESCRIPTION=\"\"><DEFAULT_COLUMN_DEF CODE=\"" + code +
               "\"/></OBJECT>";
    }
    writeAll(path, xml + "</DATADIC>");
    morvex::TraceCapture cap;
    DicPtr dic(DATADICXML_LoadFromFile(path.c_str()));
    ASSERT_TRUE(dic);
    EXPECT_EQ(DATADIC_Count(dic.get()), 100000);
    EXPECT_STREQ(DATADIC_CodeAt(dic.get(), 99999), "C99999");  // no element built for it
}

TEST_F(DataDicXml, WriterNeedsItsArgumentsAndAWritableFolder) {
    DicPtr dic(DATADIC_Create("ZRT", "x"));
    EXPECT_EQ(DATADICXML_WriteToFile(nullptr, dir.file("a.xml").c_str()), 1);
    EXPECT_EQ(DATADICXML_WriteToFile(dic.get(), nullptr), 1);
    EXPECT_EQ(DATADICXML_WriteToFile(dic.get(), dir.file("no/such/dir/a.xml").c_str()), 1);
    EXPECT_EQ(register_col_desc(nullptr, "X", nullptr, nullptr), 1);
    EXPECT_EQ(getColumnAttributes(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(getReferenceAttributes(nullptr, nullptr), 1);
}

TEST_F(DataDicXml, FailedSaveLeavesThePreviousFileWhole) {
    std::string path = dir.file("Dictionnaire.xml");
    DicPtr dic = everyType(path);
    ASSERT_EQ(DATADICXML_WriteToFile(dic.get(), path.c_str()), 0);
    const std::string before = readFile(path);

    // A bigger dictionary whose write runs out of file size half-way.
    for (int i = 0; i < 2000; ++i) {
        DATADIC_REF ref = makeRef("DB", "T", makeColumn(("X" + std::to_string(i)).c_str()));
        DATADIC_AddElt(dic.get(), &ref);
    }
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = DATADICXML_WriteToFile(dic.get(), path.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(readFile(path), before);
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(DataDicXml, SaveReplacesTheFileAndKeepsItsRights) {
    std::string path = dir.file("Dictionnaire.xml");
    writeAll(path, "old");
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    DicPtr dic = everyType(path);
    ASSERT_EQ(DATADICXML_WriteToFile(dic.get(), path.c_str()), 0);
    EXPECT_EQ(readFile(path).rfind(kHeader, 0), 0u);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0640));
}

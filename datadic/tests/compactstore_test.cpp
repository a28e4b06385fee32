// The dictionary's compact store over a real-size dictionary made from the French word list
// (wfrench): every field of every object through the store, the elements built on demand, the
// file written and read back, and a file that would grow without end refused.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "datadic/datadic.h"
#include "datadic/tests/dictest_util.h"
#include "foundation/trace.h"

using namespace dictest;

namespace {

constexpr const char* kWords = "/usr/share/dict/french";
constexpr int kObjects = 100000;

std::vector<std::string> words() {
    std::vector<std::string> out;
    std::ifstream in(kWords);
    for (std::string w; std::getline(in, w);)
        if (!w.empty() && w.size() <= DATADIC_CODE_MAX) out.push_back(w);
    return out;
}

// Object i's default definition: every field set, from words and numbers of i.
ColumnDesc column(const std::vector<std::string>& w, int i) {
    ColumnDesc c = makeColumn(w[i].c_str(), (w[i + 1] + " « " + w[i + 2] + " »").c_str(), i % 97,
                              i % 8);
    c.Position = i % 50 + 1;
    c.hasWarning = i % 2;
    c.hasInfo = i % 3 == 0;
    c.typeCible.fmtEntier.taille = i % 11;
    c.typeCible.fmtDecimal = {i % 19, i % 5};
    if (i % 8 == DATATYPE_DATE) snprintf(c.typeCible.fmtDate, sizeof c.typeCible.fmtDate, "jj/mm/aaaa");
    if (i % 8 == DATATYPE_DATETIME)
        snprintf(c.typeCible.fmtDateTime, sizeof c.typeCible.fmtDateTime, "aaaa-mm-jj HH:MM:%d", i);
    c.typeCible.fmtChaineFixe.taille = i % 13;
    c.typeCible.fmtChaineVar.tailleMax = i % 255;
    c.IgnoreColumn = i % 5 == 0;
    c.FieldCannotBeNull = i % 7 == 0;
    c.protectedField = i % 4 == 0;
    c.DelimCharStart = i % 4 == 0 ? '"' : 0;
    c.DelimCharEnd = i % 4 == 0 ? '"' : 0;
    c.StartPosition = i % 1000;
    c.EndPosition = i % 1000 + i % 97;
    return c;
}

// Reference r of object i: a place named by words, its local definition differing from the
// default one in its width and, for the third, its description.
DATADIC_REF reference(const std::vector<std::string>& w, int i, int r) {
    ColumnDesc local = column(w, i);
    local.WidthInChars += r;
    if (r == 2) snprintf(local.Description, sizeof local.Description, "%s", w[i + 3].c_str());
    const size_t n = w.size();
    return makeRef(w[(i * 7 + r) % n].c_str(), w[(i * 13 + r * 101) % n].c_str(), local);
}

// Equal in every field the file keeps (`everyField`: in every field the dictionary keeps).
void expectSame(const ColumnDesc& a, const ColumnDesc& b, bool everyField) {
    EXPECT_STREQ(a.code, b.code);
    EXPECT_STREQ(a.Description, b.Description);
    EXPECT_EQ(a.WidthInChars, b.WidthInChars);
    EXPECT_EQ(a.typeCible.type, b.typeCible.type);
    if (a.typeCible.type == DATATYPE_DECIMAL) {
        EXPECT_EQ(a.typeCible.fmtDecimal.partieEntiere, b.typeCible.fmtDecimal.partieEntiere);
        EXPECT_EQ(a.typeCible.fmtDecimal.partieDecimale, b.typeCible.fmtDecimal.partieDecimale);
    }
    if (everyField || a.typeCible.type == DATATYPE_DATE) {
        EXPECT_STREQ(a.typeCible.fmtDate, b.typeCible.fmtDate);
    }
    if (everyField || a.typeCible.type == DATATYPE_DATETIME) {
        EXPECT_STREQ(a.typeCible.fmtDateTime, b.typeCible.fmtDateTime);
    }
    if (everyField || a.typeCible.type == DATATYPE_FIXEDCHAR) {
        EXPECT_EQ(a.typeCible.fmtChaineFixe.taille, b.typeCible.fmtChaineFixe.taille);
    }
    if (everyField || a.typeCible.type == DATATYPE_VARIABLECHAR) {
        EXPECT_EQ(a.typeCible.fmtChaineVar.tailleMax, b.typeCible.fmtChaineVar.tailleMax);
    }
    EXPECT_EQ(a.IgnoreColumn, b.IgnoreColumn);
    EXPECT_EQ(a.FieldCannotBeNull, b.FieldCannotBeNull);
    EXPECT_EQ(a.DelimCharStart, b.DelimCharStart);
    EXPECT_EQ(a.DelimCharEnd, b.DelimCharEnd);
    EXPECT_EQ(a.StartPosition, b.StartPosition);
    EXPECT_EQ(a.EndPosition, b.EndPosition);
    EXPECT_EQ(b.message, nullptr);
    EXPECT_EQ(b.stats, nullptr);
    if (!everyField) return;
    EXPECT_EQ(a.Position, b.Position);
    EXPECT_EQ(a.hasWarning, b.hasWarning);
    EXPECT_EQ(a.hasInfo, b.hasInfo);
    EXPECT_EQ(a.protectedField, b.protectedField);
    EXPECT_EQ(a.typeCible.fmtEntier.taille, b.typeCible.fmtEntier.taille);
    EXPECT_EQ(a.typeCible.fmtDecimal.partieEntiere, b.typeCible.fmtDecimal.partieEntiere);
    EXPECT_EQ(a.typeCible.fmtDecimal.partieDecimale, b.typeCible.fmtDecimal.partieDecimale);
}

struct Collected {
    std::vector<DATADIC_REF> refs;
};

void collect(const DATADIC_REF* ref, void* to) {
    static_cast<Collected*>(to)->refs.push_back(*ref);
}

// Object `row` of `dic` is object i (its references `refs` of them), through the compact
// records and through its element built on demand.
void expectObject(DATADIC* dic, int row, const std::vector<std::string>& w, int i, bool everyField) {
    SCOPED_TRACE(w[i]);
    const int refs = i % 4;
    ASSERT_STREQ(DATADIC_CodeAt(dic, row), w[i].c_str());
    ColumnDesc c;
    ASSERT_TRUE(DATADIC_DefaultColumnAt(dic, row, &c));
    expectSame(column(w, i), c, everyField);
    EXPECT_STREQ(DATADIC_DescriptionAt(dic, row), column(w, i).Description);
    ASSERT_EQ(DATADIC_ReferenceCountAt(dic, row), refs);
    Collected got;
    DATADIC_REF scratch;
    DATADIC_VisitReferencesAt(dic, row, &scratch, false, collect, &got);
    ASSERT_EQ(got.refs.size(), size_t(refs));
    DATADIC_ELT* elt = DATADIC_EltAt(dic, row);
    ASSERT_NE(elt, nullptr);
    EXPECT_EQ(DATADIC_SearchElt(dic, w[i].c_str()), elt);  // built once
    EXPECT_STREQ(elt->code, w[i].c_str());
    expectSame(column(w, i), elt->defaultColumn, everyField);
    ASSERT_EQ(LDCG_Count(elt->references), refs);
    for (int r = 0; r < refs; ++r) {
        const DATADIC_REF want = reference(w, i, r);
        for (const DATADIC_REF* ref : {&got.refs[r], refAt(elt, r)}) {
            EXPECT_STREQ(ref->database, want.database);
            EXPECT_STREQ(ref->table, want.table);
            expectSame(want.localColumn, ref->localColumn, everyField);
        }
    }
}

}  // namespace

TEST(CompactStore, ARealSizeDictionaryKeepsEveryFieldThroughTheStoreTheElementsAndTheFile) {
    const std::vector<std::string> w = words();
    ASSERT_GT(w.size(), size_t(kObjects + 3)) << kWords << " (wfrench, tools/install-deps.sh)";
    TempDir dir;
    const std::string first = dir.file("first.xml"), second = dir.file("second.xml");
    DicPtr dic(DATADIC_Create("MOTS", first.c_str()));
    for (int i = 0; i < kObjects; ++i) {
        if (i % 4 == 0) {
            DATADIC_REF alone = makeRef("", "", column(w, i));
            ASSERT_EQ(DATADIC_AddElt(dic.get(), &alone), DATADIC_OK);
        }
        for (int r = 0; r < i % 4; ++r) {
            DATADIC_REF ref = reference(w, i, r);
            ASSERT_EQ(DATADIC_AddElt(dic.get(), &ref), DATADIC_OK) << w[i];
        }
    }
    ASSERT_EQ(DATADIC_Count(dic.get()), kObjects);
    // A few hundred bytes an object, where full records took several kilobytes.
    EXPECT_LT(DATADIC_StoreBytes(dic.get()), size_t(kObjects) * 700);

    // In insertion order, every field; one object in 97 also through its element.
    for (int i = 0; i < kObjects; ++i) {
        if (i % 97 == 0 || i == kObjects - 1) {
            expectObject(dic.get(), i, w, i, true);
            continue;
        }
        ASSERT_STREQ(DATADIC_CodeAt(dic.get(), i), w[i].c_str());
        ColumnDesc c;
        ASSERT_TRUE(DATADIC_DefaultColumnAt(dic.get(), i, &c));
        expectSame(column(w, i), c, true);
    }
    // A reference added to an object whose element was built shows in the element too.
    DATADIC_REF extra = makeRef("AUTRE", "TABLE", column(w, 0));
    ASSERT_EQ(DATADIC_AddReference(dic.get(), w[0].c_str(), &extra), DATADIC_OK);
    ASSERT_EQ(LDCG_Count(DATADIC_SearchElt(dic.get(), w[0].c_str())->references), 1);
    EXPECT_NE(DATADIC_SearchReference(dic.get(), w[0].c_str(), "AUTRE", "TABLE"), nullptr);
    EXPECT_EQ(DATADIC_AddReference(dic.get(), w[0].c_str(), &extra), DATADIC_ERR_EXISTS);

    // Written, read back, written again: the same bytes and the same objects, in code order.
    ASSERT_EQ(DATADIC_Sort(dic.get()), DATADIC_OK);
    ASSERT_EQ(DATADICXML_WriteToFile(dic.get(), first.c_str()), 0);
    morvex::TraceCapture quiet;
    DATADICXML_LOADREPORT report{};
    DicPtr back(DATADICXML_LoadFromFileReport(first.c_str(), &report));
    ASSERT_TRUE(back) << report.fault;
    EXPECT_EQ(report.faultOffset, -1) << report.fault;
    EXPECT_EQ(report.objectsSeen, kObjects);
    EXPECT_EQ(report.objectsRead, kObjects);
    ASSERT_EQ(DATADICXML_WriteToFile(back.get(), second.c_str()), 0);
    EXPECT_EQ(readFile(first), readFile(second));
    std::vector<int> byCode(kObjects);
    for (int i = 0; i < kObjects; ++i) byCode[i] = i;
    std::sort(byCode.begin(), byCode.end(), [&w](int a, int b) { return w[a] < w[b]; });
    for (int row = 0; row < kObjects; row += 89) {
        if (byCode[row] == 0) continue;  // the one given an extra reference
        expectObject(back.get(), row, w, byCode[row], false);
    }

    // A read asked to stop gives nothing.
    std::atomic<bool> stop{true};
    EXPECT_EQ(DATADICXML_LoadFromFileReport(first.c_str(), &report, &stop), nullptr);
}

// Entities the file declares itself would let a few hundred bytes expand to gigabytes: the read
// stops at the declaration and says why; what came before it is all there is (nothing).
TEST(CompactStore, AFileDeclaringItsOwnEntitiesIsRefusedWithItsReason) {
    TempDir dir;
    const std::string path = dir.file("d.xml");
    std::string doctype = "<!DOCTYPE DATADIC [<!ENTITY a0 \"aaaaaaaaaa\">";
    for (int i = 1; i < 10; ++i)
        doctype += "<!ENTITY a" + std::to_string(i) + " \"" +
                   [&] { std::string s; for (int k = 0; k < 10; ++k) s += "&a" + std::to_string(i - 1) + ";"; return s; }() + "\">";
    writeAll(path, "<?xml version=\"1.0\"?>" + doctype +
                       "]><DATADIC NAME=\"&a9;\"><OBJECT CODE=\"A\" DESCRIPTION=\"&a9;\">"
                       "<DEFAULT_COLUMN_DEF CODE=\"A\"/></OBJECT></DATADIC>");
    morvex::TraceCapture quiet;
    DATADICXML_LOADREPORT report{};
    EXPECT_EQ(DATADICXML_LoadFromFileReport(path.c_str(), &report), nullptr);
    EXPECT_STREQ(report.fault, "déclaration d'entité refusée");
    EXPECT_GE(report.faultOffset, 0);
}

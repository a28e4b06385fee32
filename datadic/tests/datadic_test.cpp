#include "datadic/datadic.h"

#include <gtest/gtest.h>

#include <string>

#include "datadic/tests/dictest_util.h"
#include "foundation/trace.h"

using dictest::DicPtr;
using dictest::eltAt;
using dictest::makeColumn;
using dictest::makeRef;
using dictest::refAt;

namespace {

DicPtr newDic() {
    return DicPtr(DATADIC_Create("ZRT", "/nowhere/Dictionnaire.xml"));
}

}  // namespace

TEST(DataDic, CreateNeedsBothNameAndPathAndStartsEmpty) {
    EXPECT_EQ(DATADIC_Create(nullptr, "x.xml"), nullptr);
    EXPECT_EQ(DATADIC_Create("ZRT", nullptr), nullptr);
    DicPtr dic(DATADIC_Create(std::string(100, 'N').c_str(), "x.xml"));
    ASSERT_TRUE(dic);
    EXPECT_EQ(std::string(dic->name), std::string(63, 'N'));
    EXPECT_STREQ(dic->filePath, "x.xml");
    EXPECT_EQ(LDCG_Count(DATADIC_GetList(dic.get())), 0);
}

TEST(DataDic, MissingDictionaryGivesResultTwo) {
    DATADIC_REF ref = makeRef("DB", "T", makeColumn("C"));
    EXPECT_EQ(DATADIC_Destroy(nullptr), DATADIC_ERR_NODIC);
    EXPECT_EQ(DATADIC_AddElt(nullptr, &ref), DATADIC_ERR_NODIC);
    EXPECT_EQ(DATADIC_AddReference(nullptr, "C", &ref), DATADIC_ERR_NODIC);
    EXPECT_EQ(DATADIC_Sort(nullptr), DATADIC_ERR_NODIC);
    EXPECT_EQ(DATADIC_GetList(nullptr), nullptr);
    EXPECT_EQ(DATADIC_SearchReference(nullptr, "C", "DB", "T"), nullptr);
    DicPtr dic = newDic();
    EXPECT_EQ(DATADIC_AddElt(dic.get(), nullptr), DATADIC_ERR);
    EXPECT_EQ(DATADIC_AddReference(dic.get(), nullptr, &ref), DATADIC_ERR);
}

TEST(DataDic, SameColumnFromTwoTablesGivesOneObjectWithTwoReferences) {
    DicPtr dic = newDic();
    ColumnDesc a = makeColumn("CLI_NOM", "Nom du client", 30);
    ColumnDesc b = makeColumn("CLI_NOM", "Nom (factures)", 40);
    DATADIC_REF ra = makeRef("VENTES", "CLIENT", a), rb = makeRef("VENTES", "FACTURE", b);
    EXPECT_EQ(DATADIC_AddElt(dic.get(), &ra), DATADIC_OK);
    EXPECT_EQ(DATADIC_AddElt(dic.get(), &rb), DATADIC_OK);
    ASSERT_EQ(DATADIC_Count(dic.get()), 1);
    DATADIC_ELT* elt = eltAt(dic.get(), 0);
    EXPECT_STREQ(elt->code, "CLI_NOM");
    EXPECT_STREQ(elt->defaultColumn.Description, "Nom du client");  // the first one sent
    ASSERT_EQ(LDCG_Count(elt->references), 2);
    EXPECT_EQ(refAt(elt, 1)->localColumn.WidthInChars, 40);

    // Sending it again from one of them changes nothing.
    EXPECT_EQ(DATADIC_AddElt(dic.get(), &rb), DATADIC_ERR_EXISTS);
    EXPECT_EQ(LDCG_Count(elt->references), 2);
    EXPECT_EQ(DATADIC_SearchReference(dic.get(), "CLI_NOM", "VENTES", "FACTURE"), refAt(elt, 1));
    // Places compare with case.
    EXPECT_EQ(DATADIC_SearchReference(dic.get(), "CLI_NOM", "ventes", "FACTURE"), nullptr);
    EXPECT_EQ(DATADIC_SearchReference(dic.get(), "cli_nom", "VENTES", "FACTURE"), nullptr);
}

TEST(DataDic, ColumnWithoutDatabaseOrTableRecordsNoReferenceEvenWhenSentAgain) {
    DicPtr dic = newDic();
    ColumnDesc c = makeColumn("ID");
    for (const auto& place : {std::pair{"", ""}, {"DB", ""}, {"", "T"}, {"", ""}}) {
        DATADIC_REF ref = makeRef(place.first, place.second, c);
        EXPECT_EQ(DATADIC_AddElt(dic.get(), &ref), DATADIC_OK);
    }
    ASSERT_EQ(DATADIC_Count(dic.get()), 1);
    EXPECT_EQ(LDCG_Count(eltAt(dic.get(), 0)->references), 0);
}

TEST(DataDic, AddReferenceNeedsAnExistingCodeAndANewPlace) {
    DicPtr dic = newDic();
    DATADIC_REF first = makeRef("", "", makeColumn("X"));
    ASSERT_EQ(DATADIC_AddElt(dic.get(), &first), DATADIC_OK);
    DATADIC_REF ref = makeRef("DB", "T", makeColumn("X", "locale", 12));
    EXPECT_EQ(DATADIC_AddReference(dic.get(), "Y", &ref), DATADIC_ERR_NOCODE);
    EXPECT_EQ(DATADIC_AddReference(dic.get(), "X", &ref), DATADIC_OK);
    EXPECT_EQ(DATADIC_AddReference(dic.get(), "X", &ref), DATADIC_ERR_EXISTS);
    DATADIC_REF* got = DATADIC_SearchReference(dic.get(), "X", "DB", "T");
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->localColumn.Description, "locale");
    EXPECT_EQ(got->localColumn.WidthInChars, 12);
}

TEST(DataDic, LongCodesAreCutTo63AndStillFindTheirElement) {
    DicPtr dic = newDic();
    std::string code(100, 'K');
    DATADIC_REF a = makeRef("DB", "T1", makeColumn(code.c_str()));
    DATADIC_REF b = makeRef("DB", "T2", makeColumn(code.c_str()));
    EXPECT_EQ(DATADIC_AddElt(dic.get(), &a), DATADIC_OK);
    EXPECT_EQ(DATADIC_AddElt(dic.get(), &b), DATADIC_OK);
    ASSERT_EQ(DATADIC_Count(dic.get()), 1);
    DATADIC_ELT* elt = eltAt(dic.get(), 0);
    EXPECT_EQ(std::string(elt->code), std::string(63, 'K'));
    EXPECT_EQ(std::string(elt->defaultColumn.code), code);  // the column keeps its whole code
    EXPECT_EQ(LDCG_Count(elt->references), 2);
    EXPECT_EQ(DATADIC_SearchElt(dic.get(), code.c_str()), elt);
}

TEST(DataDic, CopiesNeverShareTheColumnMessageOrStatistics) {
    DicPtr dic = newDic();
    ColumnDesc c = makeColumn("M");
    c.message = reinterpret_cast<char*>(0x1);  // would crash if freed or read
    c.stats = reinterpret_cast<COL_TYPE_STATISTICS*>(0x1);
    DATADIC_REF ref = makeRef("DB", "T", c);
    ASSERT_EQ(DATADIC_AddElt(dic.get(), &ref), DATADIC_OK);
    DATADIC_ELT* elt = eltAt(dic.get(), 0);
    EXPECT_EQ(elt->defaultColumn.message, nullptr);
    EXPECT_EQ(elt->defaultColumn.stats, nullptr);
    EXPECT_EQ(refAt(elt, 0)->localColumn.message, nullptr);
    EXPECT_EQ(refAt(elt, 0)->localColumn.stats, nullptr);
}

TEST(DataDic, SortsByCodeInByteOrderUpperCaseFirst) {
    DicPtr dic = newDic();
    {
        morvex::TraceCapture cap;
        EXPECT_EQ(DATADIC_Sort(dic.get()), DATADIC_OK);  // empty: no trace
        EXPECT_EQ(cap.text(), "");
    }
    for (const char* code : {"b", "Zeta", "a", "B", "A_", "\xc3\xa9t\xc3\xa9", "10", "A"}) {
        DATADIC_REF ref = makeRef("", "", makeColumn(code));
        ASSERT_EQ(DATADIC_AddElt(dic.get(), &ref), DATADIC_OK);
    }
    EXPECT_EQ(DATADIC_Sort(dic.get()), DATADIC_OK);
    std::string order;
    for (LDCG_ELT* e = DATADIC_GetList(dic.get())->first; e; e = e->next)
        order += std::string(static_cast<DATADIC_ELT*>(e->lParam1)->code) + " ";
    EXPECT_EQ(order, "10 A A_ B Zeta a b \xc3\xa9t\xc3\xa9 ");
    // The index still finds every element after the sort.
    EXPECT_STREQ(DATADIC_SearchElt(dic.get(), "Zeta")->code, "Zeta");
}

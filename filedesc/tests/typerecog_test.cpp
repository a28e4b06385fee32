#include "filedesc/typerecog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "filedesc/regexp.h"
#include "filedesc/tests/fdtest_util.h"
#include "foundation/date.h"
#include "foundation/trace.h"
#include "foundation/owned.h"

namespace {

using StatsPtr = morvex::MallocPtr<COL_TYPE_STATISTICS>;

StatsPtr recognise(const std::string& value) {
    return StatsPtr(AnalyseTypeDonneeN(value.data(), static_cast<int>(value.size())));
}

// What one value is expected to count.
struct ValueCase {
    const char* value;
    int intNonZero, intZero, dec, decPoint, decComma, decPointPostfix, decCommaPostfix;
    int dates, datetimes, variable;
    const char* dateFormat;
    const char* datetimeFormat;
};

TEST(AnalyseTypeDonnee, CountsEachValueUnderEveryHeadingItMatches) {
    const ValueCase cases[] = {
        // value                  iNZ iZ dec pt cm ptS cmS dt dtm var
        {"12", 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
        {"  -1024   ", 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", ""},  // sign: not a plain word
        {"+7", 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", ""},
        {"00012", 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
        {"0", 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
        {"105", 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},  // [1-9]+ then [0-9]* takes the 0
        {"12.5", 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, "", ""},
        {"12,5", 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, "", ""},
        {"-0.58", 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, "", ""},
        {".", 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, "", ""},
        {"1599.65-", 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, "", ""},
        {"1599,65+", 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, "", ""},
        {"1599.65\\", 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, "", ""},  // "\" is a member of [-\+]
        {"1.2.3", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
        {"20150226", 1, 0, 0, 0, 0, 0, 0, 1, 0, 1, "aaaammjj", ""},
        {"2015-02-26", 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, "aaaa-mm-jj", ""},
        {" 26/02/2015 ", 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, "jj/mm/aaaa", ""},
        {"26/02/15", 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, "jj/mm/aa", ""},
        {"26/02/2015 13:45:59", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "jj/mm/aaaa HH:MM:SS"},
        {"26/02/15 13:45:59", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "jj/mm/aa HH:MM:SS"},
        {"2014-05-06 05:52:00.123", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "aaaa-mm-jj HH:MM:SS.LLL"},
        {"2014-05-06  05:52:00.123456", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "",
         "aaaa-mm-jj HH:MM:SS.LLLLLL"},
        {"2014-05-06 05:52:00.", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "aaaa-mm-jj HH:MM:SS.LLLLLL"},
        {"2014-05-06 05:52:00", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "aaaa-mm-jj HH:MM:SS"},
        {"2014-05-06 05:52:00 ", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "aaaa-mm-jj HH:MM:SS"},
        {"2014-05-0605:52:00", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, "", "aaaa-mm-jj HH:MM:SS"},
        {"2014-05-06 05:52:00x123", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},  // point only
        {"05:52:23", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},                 // no time-of-day kind
        {"Dupont", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
        {"jean_paul v2.0", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
        {"AB-12", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},  // fallback
        {"é", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, "", ""},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(std::string("value [") + c.value + "]");
        StatsPtr s = recognise(c.value);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->isFirst, 0);
        EXPECT_EQ(s->countIntegersNonZeroPrefixed, c.intNonZero);
        EXPECT_EQ(s->countIntegersZeroPrefixed, c.intZero);
        EXPECT_EQ(s->countDecimals, c.dec);
        EXPECT_EQ(s->countDecimalsWithPoint, c.decPoint);
        EXPECT_EQ(s->countDecimalsWithComma, c.decComma);
        EXPECT_EQ(s->countDecimalsWithPointSignPostfix, c.decPointPostfix);
        EXPECT_EQ(s->countDecimalsWithCommaSignPostfix, c.decCommaPostfix);
        EXPECT_EQ(s->countDates, c.dates);
        EXPECT_EQ(s->countDatetimes, c.datetimes);
        EXPECT_EQ(s->countVariableStrings, c.variable);
        EXPECT_EQ(s->countFixedStrings, 0);
        EXPECT_STREQ(s->dateFormat, c.dateFormat);
        EXPECT_STREQ(s->datetimeFormat, c.datetimeFormat);
        EXPECT_EQ(s->minLength, static_cast<int>(strlen(c.value)));
        EXPECT_EQ(s->maxLength, static_cast<int>(strlen(c.value)));
    }
}

TEST(AnalyseTypeDonnee, BlankAndNullValuesCountNothingButTheirLength) {
    for (const char* value : {"", "   ", "NULL", "null", " Null  ", "nUlL"}) {
        SCOPED_TRACE(value);
        StatsPtr s(AnalyseTypeDonnee(value));
        ASSERT_TRUE(s);
        COL_TYPE_STATISTICS expected{};
        expected.minLength = expected.maxLength = static_cast<int>(strlen(value));
        EXPECT_EQ(memcmp(s.get(), &expected, sizeof expected), 0);
    }
    EXPECT_EQ(AnalyseTypeDonnee(nullptr), nullptr);
}

TEST(AnalyseTypeDonnee, ValueWithAZeroByteIsNotTakenForItsPrefix) {
    // "12\0ab": read as text it would be the integer 12; as five bytes it is no number.
    StatsPtr s = recognise(std::string("12\0ab", 5));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->countIntegersNonZeroPrefixed, 0);
    EXPECT_EQ(s->countVariableStrings, 1);
    EXPECT_EQ(s->maxLength, 5);
    StatsPtr blanks = recognise(std::string(" \0 ", 3));
    EXPECT_EQ(blanks->countVariableStrings, 1);  // not a blank value
}

TEST(AnalyseTypeDonnee, DecimalAnalysisMeasuresBothParts) {
    struct Case {
        const char* value;
        int integerPart, decimalPart;
        char separator;
    };
    const Case cases[] = {
        {"1599.65-", 4, 3, '.'},  {"       1599.65", 4, 2, '.'},
        {"-12,5  ", 3, 3, ','},   {"+0.58", 2, 2, '.'},
        {".5", 0, 1, '.'},        {"12.", 2, 0, '.'},
        {"1599,65+ ", 4, 4, ','},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        StatsPtr s(AnalyseTypeDonnee(c.value));
        EXPECT_EQ(s->lengthIntegerPart, c.integerPart);
        EXPECT_EQ(s->lengthDecimalPart, c.decimalPart);
        EXPECT_EQ(s->decimalSeparator, c.separator);
        EXPECT_EQ(s->maxLengthForIntegerPart, c.integerPart);
        EXPECT_EQ(s->maxLengthForDecimalPart, c.decimalPart);
    }
    COL_TYPE_STATISTICS st{};
    st.maxLengthForIntegerPart = 9;
    EXPECT_EQ(AnalyseDecimal("1234", &st), 0);  // no separator: 0 and 0
    EXPECT_EQ(st.maxLengthForIntegerPart, 0);
    EXPECT_EQ(st.decimalSeparator, 0);
    EXPECT_EQ(AnalyseDecimal(nullptr, &st), 1);
    EXPECT_EQ(AnalyseDecimal("1.2", nullptr), 1);
}

// The recogniser written the slow, literal way: each pattern text through ValidateType.
COL_TYPE_STATISTICS referenceRecognise(const std::string& v) {
    COL_TYPE_STATISTICS s{};
    const char* t = v.c_str();
    bool found = false;
    auto count = [&](int& counter, const char* pattern) {
        if (!ValidateType(t, pattern)) return false;
        ++counter;
        found = true;
        return true;
    };
    count(s.countIntegersNonZeroPrefixed, " *[+-]?[1-9]+[0-9]* *");
    count(s.countIntegersZeroPrefixed, " *[+-]?[0][0-9]* *");
    bool dec = count(s.countDecimals, " *[+-]?[0-9]*[,.][0-9]* *");
    dec |= count(s.countDecimalsWithPoint, " *[+-]?[0-9]*[.][0-9]* *");
    dec |= count(s.countDecimalsWithComma, " *[+-]?[0-9]*[,][0-9]* *");
    dec |= count(s.countDecimalsWithPointSignPostfix, " *[0-9]*[.][0-9]*[-\\+] *");
    dec |= count(s.countDecimalsWithCommaSignPostfix, " *[0-9]*[,][0-9]*[-\\+] *");
    if (dec) AnalyseDecimal(t, &s);
    int len = static_cast<int>(v.size());
    if (ValidateType(t, " *") || ValidateType(t, " *[nN][uU][lL][lL] *")) {
        s.minLength = s.maxLength = len;
        return s;
    }
    const char* dates[][2] = {{" *[0-9][0-9][0-9][0-9][0-1][0-9][0-3][0-9] *", "aaaammjj"},
                              {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] *", "aaaa-mm-jj"},
                              {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9][0-9][0-9] *", "jj/mm/aaaa"},
                              {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9] *", "jj/mm/aa"}};
    const char* datetimes[][2] = {
        {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9][0-9][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] *",
         "jj/mm/aaaa HH:MM:SS"},
        {" *[0-3][0-9]/[0-1][0-9]/[0-9][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] *",
         "jj/mm/aa HH:MM:SS"},
        {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9][.]"
         "[0-9][0-9][0-9] *",
         "aaaa-mm-jj HH:MM:SS.LLL"},
        {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9][.]"
         "[0-9]* *",
         "aaaa-mm-jj HH:MM:SS.LLLLLL"},
        {" *[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] * *[0-2][0-9]:[0-5][0-9]:[0-5][0-9] *",
         "aaaa-mm-jj HH:MM:SS"}};
    bool date = false;
    for (auto& d : dates) {
        if (!count(s.countDates, d[0])) continue;
        strcpy(s.dateFormat, d[1]);
        date = true;
        break;
    }
    if (!date) {
        for (auto& d : datetimes) {
            if (!count(s.countDatetimes, d[0])) continue;
            strcpy(s.datetimeFormat, d[1]);
            break;
        }
    }
    count(s.countVariableStrings, " *[a-zA-Z0-9_. ]*");
    if (!found) ++s.countVariableStrings;
    s.minLength = s.maxLength = len;
    return s;
}

// Values drawn from the characters the patterns care about, plus a few they refuse: random
// ones, near misses of every layout and every short one.
std::vector<std::string> trickyValues() {
    const std::string alphabet = "  0012359-/:.,+\\nNuUlLaZ_x";
    std::mt19937 rng(20150226);
    std::vector<std::string> values;
    for (int i = 0; i < 12000; ++i) {
        std::string v;
        int len = static_cast<int>(rng() % 24);
        for (int k = 0; k < len; ++k) v += alphabet[rng() % alphabet.size()];
        values.push_back(v);
    }
    // Near misses of every layout: one character changed, added or taken out at every place.
    for (std::string base :
         {"2014-05-06 05:52:00.123456", "2014-05-06  05:52:00.123", "2014-05-0605:52:00.",
          "2014-05-06 05:52:00", "26/02/2015 13:45:59", "26/02/15 13:45:59", "20150226",
          "2014-05-06", "26/02/2015", "26/02/15", " -1250.5858  ", "1599,65+", "1599.65\\",
          "+,5", "-0", "00012", " Null ", "a_b.C 9"}) {
        for (size_t pos = 0; pos <= base.size(); ++pos) {
            if (pos < base.size()) values.push_back(base.substr(0, pos) + base.substr(pos + 1));
            for (char c : alphabet) {
                values.push_back(base.substr(0, pos) + c + base.substr(pos));
                if (pos == base.size()) continue;
                std::string v = base;
                v[pos] = c;
                values.push_back(v);
            }
        }
    }
    // Every value of up to three characters drawn from those the patterns turn on.
    const std::string few = " 09+-\\.,/:nL_x";
    std::vector<std::string> shorter{""};
    for (int len = 1; len <= 3; ++len) {
        std::vector<std::string> longer;
        for (const std::string& v : shorter)
            for (char c : few) longer.push_back(v + c);
        values.insert(values.end(), longer.begin(), longer.end());
        shorter = std::move(longer);
    }
    return values;
}

TEST(AnalyseTypeDonnee, AgreesWithThePatternMatcherOnRandomValues) {
    const std::vector<std::string> values = trickyValues();
    int mismatches = 0;
    for (const std::string& v : values) {
        COL_TYPE_STATISTICS expected = referenceRecognise(v);
        StatsPtr got = recognise(v);
        ASSERT_TRUE(got);
        if (memcmp(got.get(), &expected, sizeof expected) != 0 && ++mismatches <= 5)
            ADD_FAILURE() << "value [" << v << "] differs from the pattern matcher";
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(AnalyseTypeDonneeAdd, AddsAsCompileStatisticsAddsTheValuesRecord) {
    // Columns of 40 values each, the total counted both ways, from a zeroed total (as the
    // analysis makes them) and from one that takes its first record whole.
    const std::vector<std::string> values = trickyValues();
    int mismatches = 0;
    for (int isFirst : {0, 1}) {
        COL_TYPE_STATISTICS byRecords{};
        COL_TYPE_STATISTICS added{};
        for (size_t i = 0; i < values.size(); ++i) {
            if (i % 40 == 0) {
                byRecords = COL_TYPE_STATISTICS{};
                added = COL_TYPE_STATISTICS{};
                byRecords.isFirst = added.isFirst = isFirst;
            }
            const std::string& v = values[i];
            COL_TYPE_STATISTICS record{};
            AnalyseTypeDonneeInto(&record, v.data(), static_cast<int>(v.size()));
            CompileStatistics(&byRecords, &record);
            TYPERECOG_SEEN seen;
            ASSERT_EQ(AnalyseTypeDonneeAdd(&added, v.data(), static_cast<int>(v.size()), &seen), 0);
            const int date = record.countDates ? TYPERECOG_DateLayout(record.dateFormat) : -1;
            const int datetime =
                record.countDatetimes ? TYPERECOG_DatetimeLayout(record.datetimeFormat) : -1;
            if ((memcmp(&byRecords, &added, sizeof added) != 0 || seen.dateLayout != date ||
                 seen.datetimeLayout != datetime) &&
                ++mismatches <= 5)
                ADD_FAILURE() << "value [" << v << "] added otherwise than its record";
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(AnalyseTypeDonneeAdd(nullptr, "1", 1, nullptr), 1);
    EXPECT_STREQ(TYPERECOG_DateFormat(2), "jj/mm/aaaa");
    EXPECT_STREQ(TYPERECOG_DatetimeFormat(TYPERECOG_DATETIME_LAYOUTS), "");
}

TEST(TypeRecogIsRealDay, AnswersAsTheDateCheckOfTheLoads) {
    // Every month and day number up to 19 and 39 in years around the calendar's edges, in the
    // four layouts, with blanks around and a character too many.
    const char* years[] = {"0000", "0001", "1582", "1600", "1601", "1900", "1999",
                           "2000", "2023", "2024", "2100", "9999"};
    int checked = 0;
    for (int layout = 0; layout < TYPERECOG_DATE_LAYOUTS; ++layout) {
        for (const char* year : years) {
            for (int month = 0; month < 20; ++month) {
                for (int day = 0; day < 40; ++day) {
                    char mm[3], jj[3];
                    snprintf(mm, sizeof mm, "%02d", month);
                    snprintf(jj, sizeof jj, "%02d", day);
                    const std::string y = year;
                    const std::string texts[] = {y + mm + jj, y + "-" + mm + "-" + jj,
                                                 std::string(jj) + "/" + mm + "/" + y,
                                                 std::string(jj) + "/" + mm + "/" + y.substr(2)};
                    for (const std::string& text :
                         {texts[layout], " " + texts[layout], texts[layout] + "1"}) {
                        MYDATETIME read{};
                        const bool expected =
                            DATETIME_ReadValid(text, TYPERECOG_DateFormat(layout), false, &read);
                        ASSERT_EQ(TYPERECOG_IsRealDay(text, layout), expected)
                            << text << " under " << TYPERECOG_DateFormat(layout);
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_EQ(checked, 4 * 12 * 20 * 40 * 3);
}

TEST(AnalyseTypeDonnee, IsSafeToStartFromSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> integers(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &integers] {
            for (int i = 0; i < 2000; ++i) {
                COL_TYPE_STATISTICS s;
                std::string v = std::to_string(i + 1);
                AnalyseTypeDonneeInto(&s, v.data(), static_cast<int>(v.size()));
                integers[static_cast<size_t>(t)] += s.countIntegersNonZeroPrefixed;
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int n : integers) EXPECT_EQ(n, 2000);
}

TEST(AnalyseTypeDonneeInto, ZeroesTheRecordAndRefusesMissingArguments) {
    COL_TYPE_STATISTICS s;
    memset(&s, 0x5a, sizeof s);
    EXPECT_EQ(AnalyseTypeDonneeInto(&s, "12", 2), 0);
    EXPECT_EQ(s.isFirst, 0);
    EXPECT_EQ(s.countDecimals, 0);
    EXPECT_STREQ(s.dateFormat, "");
    EXPECT_EQ(AnalyseTypeDonneeInto(nullptr, "12", 2), 1);
    EXPECT_EQ(AnalyseTypeDonneeInto(&s, nullptr, 2), 1);
    EXPECT_EQ(AnalyseTypeDonneeInto(&s, nullptr, 0), 0);
    EXPECT_EQ(s.maxLength, 0);
}

// ---- Merging ----

TEST(CompileStatistics, CopiesIntoAFirstTotalAndAddsAfterwards) {
    COL_TYPE_STATISTICS total{};
    total.isFirst = 1;
    StatsPtr a(AnalyseTypeDonnee("12.5"));
    StatsPtr b(AnalyseTypeDonnee("1234.567"));
    StatsPtr c(AnalyseTypeDonnee("7"));
    EXPECT_EQ(CompileStatistics(&total, a.get()), 0);
    EXPECT_EQ(total.isFirst, 0);
    EXPECT_EQ(total.minLength, 4);  // copied, not merged with zeros
    EXPECT_EQ(CompileStatistics(&total, b.get()), 0);
    EXPECT_EQ(CompileStatistics(&total, c.get()), 0);
    EXPECT_EQ(total.countDecimals, 2);
    EXPECT_EQ(total.countDecimalsWithPoint, 2);
    EXPECT_EQ(total.countIntegersNonZeroPrefixed, 1);
    EXPECT_EQ(total.countVariableStrings, 3);
    EXPECT_EQ(total.minLength, 1);
    EXPECT_EQ(total.maxLength, 8);
    EXPECT_EQ(total.maxLengthForIntegerPart, 4);
    EXPECT_EQ(total.maxLengthForDecimalPart, 3);
}

TEST(CompileStatistics, ZeroedTotalKeepsItsMinimaAtZeroAndTheFirstLayoutSeen) {
    COL_TYPE_STATISTICS total{};
    for (const char* v :
         {"abc", "2015-02-26", "26/02/2015", "26/02/2015 10:00:00", "2015-02-26 10:00:00"}) {
        StatsPtr s(AnalyseTypeDonnee(v));
        EXPECT_EQ(CompileStatistics(&total, s.get()), 0);
    }
    EXPECT_EQ(total.minLength, 0);
    EXPECT_EQ(total.maxLength, 19);
    EXPECT_EQ(total.countDates, 2);
    EXPECT_EQ(total.countDatetimes, 2);
    EXPECT_STREQ(total.dateFormat, "aaaa-mm-jj");
    EXPECT_STREQ(total.datetimeFormat, "jj/mm/aaaa HH:MM:SS");
    EXPECT_EQ(CompileStatistics(&total, nullptr), 1);
    EXPECT_EQ(CompileStatistics(nullptr, &total), 1);
}

// ---- Decision ----

// A description with one column whose total is built from `values`.
struct ColumnFixture {
    fdtest::DescPtr desc{
        FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\n", ";")};
    ColumnDesc* col = nullptr;

    explicit ColumnFixture(const std::vector<std::string>& values) {
        ColumnDesc c = fdtest::makeColumn("C", 0, DATATYPE_TEXT);
        FILEDESC_AjouterColonne(desc.get(), &c);
        col = FILEDESC_SearchColumnByPos(desc.get(), 1);
        col->stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
        for (const std::string& v : values) {
            COL_TYPE_STATISTICS s;
            AnalyseTypeDonneeInto(&s, v.data(), static_cast<int>(v.size()));
            CompileStatistics(col->stats, &s);
        }
        EXPECT_EQ(SetDefaultTypeFromStatistics(desc.get()), 0);
    }
};

std::vector<std::string> repeat(const std::string& v, int n) {
    return std::vector<std::string>(static_cast<size_t>(n), v);
}

TEST(SetDefaultTypeFromStatistics, EachRuleGivesItsTypeAndFormat) {
    {
        ColumnFixture f({"", "    "});  // M = 0
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_VARIABLECHAR);
        EXPECT_EQ(f.col->typeCible.fmtChaineVar.tailleMax, 4);
    }
    {
        ColumnFixture f(repeat("1599.65-", 3));  // no decision counter at all
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_VARIABLECHAR);
        EXPECT_EQ(f.col->typeCible.fmtChaineVar.tailleMax, 8);
    }
    {
        ColumnFixture f({"2015-02-26", "26/02/2015", "26/02/2015"});
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_DATE);
        EXPECT_STREQ(f.col->typeCible.fmtDate, "aaaa-mm-jj");
    }
    {
        ColumnFixture f({"20150226", "20150227"});  // ties with integers: the date wins
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_DATE);
        EXPECT_STREQ(f.col->typeCible.fmtDate, "aaaammjj");
    }
    {
        ColumnFixture f({"00012", "00450"});
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_FIXEDCHAR);
        EXPECT_EQ(f.col->typeCible.fmtChaineFixe.taille, 5);
        EXPECT_EQ(f.col->hasInfo, 1);
        ASSERT_NE(f.col->message, nullptr);
        EXPECT_STREQ(f.col->message, TYPERECOG_ZERO_PREFIXED_REMARK);
    }
    {
        ColumnFixture f({"1", "22", "333"});
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_INTEGER);
    }
    {
        ColumnFixture f({"1", "22", "3.25", "4,5"});  // mixed: decimals + integers >= M
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_DECIMAL);
        EXPECT_EQ(f.col->typeCible.fmtDecimal.partieEntiere, 1);
        EXPECT_EQ(f.col->typeCible.fmtDecimal.partieDecimale, 2);
    }
    {
        ColumnFixture f({"26/02/2015 10:00:00", "2015-02-26 10:00:00.123"});
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_DATETIME);
        EXPECT_STREQ(f.col->typeCible.fmtDateTime, "jj/mm/aaaa HH:MM:SS");
    }
    {
        std::vector<std::string> v = repeat("12.5", 6);
        for (const std::string& w : repeat("ABC", 4)) v.push_back(w);
        ColumnFixture f(v);  // decimals 6, variable strings 10
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_VARIABLECHAR);
        EXPECT_EQ(f.col->typeCible.fmtChaineVar.tailleMax, 4);
    }
    {
        ColumnFixture f({"Dupont", "AB-12", "Martin-Leroy"});
        EXPECT_EQ(f.col->typeCible.type, DATATYPE_VARIABLECHAR);
        EXPECT_EQ(f.col->typeCible.fmtChaineVar.tailleMax, 12);
    }
}

TEST(SetDefaultTypeFromStatistics, FixedStringsRuleAndColumnsWithoutTotals) {
    fdtest::DescPtr desc(
        FILEDESC_CreateFileDesc("t", nullptr, STRUCTFILE_DELIMITED, "\\n", ";"));
    ColumnDesc a = fdtest::makeColumn("A", 0, DATATYPE_TEXT);
    ColumnDesc b = fdtest::makeColumn("B", 0, DATATYPE_BOOLEAN);
    FILEDESC_AjouterColonne(desc.get(), &a);
    FILEDESC_AjouterColonne(desc.get(), &b);
    ColumnDesc* colA = FILEDESC_SearchColumnByPos(desc.get(), 1);
    colA->stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
    colA->stats->countFixedStrings = 3;  // nothing counts it, but the rule exists
    colA->stats->countVariableStrings = 2;
    colA->stats->maxLength = 7;
    EXPECT_EQ(SetDefaultTypeFromStatistics(desc.get()), 0);
    EXPECT_EQ(colA->typeCible.type, DATATYPE_FIXEDCHAR);
    EXPECT_EQ(colA->typeCible.fmtChaineFixe.taille, 7);
    EXPECT_EQ(FILEDESC_SearchColumnByPos(desc.get(), 2)->typeCible.type, DATATYPE_BOOLEAN);
    EXPECT_EQ(SetDefaultTypeFromStatistics(nullptr), 1);
}

TEST(GetMaximum, ReturnsTheLargestValue) {
    const int values[] = {3, -1, 9, 9, 2};
    EXPECT_EQ(GetMaximum(values, 5), 9);
    EXPECT_EQ(GetMaximum(values + 1, 1), -1);
    EXPECT_EQ(GetMaximum(values, 0), 0);
    EXPECT_EQ(GetMaximum(nullptr, 3), 0);
}

// ---- Diagnostics ----

TEST(COL_TYPE_STATISTICS_ToString, WritesTheExactDump) {
    COL_TYPE_STATISTICS s{};
    s.countIntegersZeroPrefixed = 1;
    s.countIntegersNonZeroPrefixed = 2;
    s.countFixedStrings = 3;
    s.countVariableStrings = 4;
    s.countDecimals = 5;
    s.countDates = 6;
    s.countDatetimes = 7;
    s.minLength = 8;
    s.maxLength = 9;
    s.minLengthForIntegerPart = 10;
    s.maxLengthForIntegerPart = 11;
    s.minLengthForDecimalPart = 12;
    s.maxLengthForDecimalPart = 13;
    morvex::TraceCapture capture;
    COL_TYPE_STATISTICS_ToString(&s);
    COL_TYPE_STATISTICS_ToString(nullptr);
    EXPECT_EQ(capture.text(),
              "\n== COL_TYPE_STATISTICS =="
              "\n .countIntegersZeroPrefixed=1"
              "\n .countIntegersNonZeroPrefixed=2"
              "\n .countFixedStrings=3"
              "\n .countVariableStrings=4"
              "\n .countDecimals=5"
              "\n .countDates=6"
              "\n .countDatetimes=7"
              "\n .minLength=8"
              "\n .maxLength=9"
              "\n .minLengthForIntegerPart=10"
              "\n .maxLengthForIntegerPart=11"
              "\n .minLengthForDecimalPart=12"
              "\n .maxLengthForDecimalPart=13");
}

TEST(TestRegExp, EveryCaseGivesOne) {
    morvex::TraceCapture capture;
    EXPECT_EQ(TestRegExp(), 0);
    std::string text = capture.text();
    EXPECT_EQ(
        text.rfind("\n\n- [18    ] as integer ? : (=1)\n\n- [-1024    ] as integer ? : (=1)", 0),
        0u);
    EXPECT_NE(text.find("\n\n- [-1250.58    ] as decimal ? : (=1)"), std::string::npos);
    EXPECT_NE(text.find("\n\n- [05:52:23.123] as Time Milli ? : (=1)"), std::string::npos);
    EXPECT_NE(text.find("\n\n- Null as NULL ? : (=1)"), std::string::npos);
    EXPECT_EQ(text.find("(=0)"), std::string::npos);
}

TEST(HexToAsc, ReadsHexadecimalTextMostSignificantFirst) {
    EXPECT_EQ(hex_to_asc("0D"), 13);
    EXPECT_EQ(hex_to_asc("0a"), 10);
    EXPECT_EQ(hex_to_asc("FF"), 255);
    EXPECT_EQ(hex_to_asc("1f4"), 500);
    EXPECT_EQ(hex_to_asc(""), 0);
    EXPECT_EQ(hex_to_asc(nullptr), 0);
    EXPECT_EQ(get_val_from_digit('Z', "Z"), 35);
    EXPECT_EQ(get_val_from_digit('!', "!"), '!' - 55);  // reported, still counted
}

}  // namespace

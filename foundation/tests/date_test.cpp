#include "foundation/date.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/trace.h"

using morvex::TraceCapture;

namespace {

MYDATE makeDate(int jour, int mois, int annee) {
    return MYDATE{jour, mois, annee};
}

bool sameDate(const MYDATE& a, const MYDATE& b) {
    return a.jour == b.jour && a.mois == b.mois && a.annee == b.annee;
}

std::string text(const MYDATE& d) {
    return std::to_string(d.jour) + "/" + std::to_string(d.mois) + "/" + std::to_string(d.annee);
}

// Thursday 26 February 2015, 20:17:30.
struct tm thursday26February2015() {
    struct tm t {};
    t.tm_mday = 26;
    t.tm_mon = 1;
    t.tm_year = 115;
    t.tm_hour = 20;
    t.tm_min = 17;
    t.tm_sec = 30;
    t.tm_wday = 4;
    return t;
}

bool isJulianLeap(int annee) {
    return annee % 4 == 0;
}
bool isGregorianLeap(int annee) {
    return (annee % 4 == 0 && annee % 100 != 0) || annee % 400 == 0;
}

// Days in a month of the calendar in force in that year (Julian before 1583; October 1582 is
// handled by the caller).
int monthLength(int mois, int annee) {
    static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mois != 2) return kLengths[mois - 1];
    // Before the common era the year -1 is the astronomical year 0: leap under the Julian rule.
    const int astronomical = annee < 0 ? annee + 1 : annee;
    const bool leap =
        annee < 1583 ? isJulianLeap(((astronomical % 4) + 4) % 4) : isGregorianLeap(annee);
    return leap ? 29 : 28;
}

constexpr const char* kPython = "/usr/bin/python3";

// Runs a Python script that writes into `out`; false when it fails.
bool runPython(const std::string& name, const std::string& script, const std::string& out) {
    const std::string path = testing::TempDir() + name + std::to_string(getpid()) + ".py";
    {
        std::ofstream f(path);
        f << script;
    }
    const std::string command = std::string(kPython) + " " + path + " " + out;
    const int rc = std::system(command.c_str());
    std::remove(path.c_str());
    return rc == 0;
}

}  // namespace

// ---- Julian day numbers ------------------------------------------------------------------------

TEST(DateJulian, KnownDatesHaveTheirDayNumberAndComeBackUnchanged) {
    struct Case {
        MYDATE date;
        int julien;
    };
    const Case cases[] = {
        {{1, 1, 2000}, 2451545}, {{15, 10, 1582}, 2299161}, {{4, 10, 1582}, 2299160},
        {{1, 1, 1970}, 2440588}, {{1, 1, 1}, 1721424},      {{31, 12, -1}, 1721423},
        {{1, 1, -4713}, 0},      {{31, 12, 9999}, 5373484}, {{29, 2, 2016}, 2457448},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DATE_DateVersJulien(&c.date), c.julien) << text(c.date);
        MYDATE back{};
        DATE_JulienVersDate(c.julien, &back);
        EXPECT_EQ(text(back), text(c.date)) << c.julien;
    }
}

TEST(DateJulian, YearZeroAndMissingDateGiveZeroAndTheTextHasNoPadding) {
    const MYDATE yearZero = makeDate(1, 1, 0);
    EXPECT_EQ(DATE_DateVersJulien(&yearZero), 0);
    EXPECT_EQ(DATE_DateVersJulien(nullptr), 0);
    DATE_JulienVersDate(2451545, nullptr);  // must simply do nothing
    char buffer[DATE_JULIEN_TEXT_SIZE];
    EXPECT_STREQ(DATE_JulienVersDateTexte(2451545, buffer), "1/1/2000");
    EXPECT_STREQ(DATE_JulienVersDateTexte(2299160, buffer), "4/10/1582");
    EXPECT_EQ(DATE_JulienVersDateTexte(2451545, nullptr), nullptr);
}

TEST(DateJulian, ExtremeDayNumbersNeitherOverflowNorOverrunTheTextBuffer) {
    for (int julien : {INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1, -1}) {
        // One spare byte after the promised size: it must stay untouched.
        char buffer[DATE_JULIEN_TEXT_SIZE + 1];
        memset(buffer, '#', sizeof buffer);
        DATE_JulienVersDateTexte(julien, buffer);
        EXPECT_EQ(buffer[DATE_JULIEN_TEXT_SIZE], '#');
        EXPECT_LT(strlen(buffer), DATE_JULIEN_TEXT_SIZE - 1) << buffer;  // never cut either
    }
    MYDATE far{};
    DATE_JulienVersDate(INT_MAX, &far);
    EXPECT_GT(far.annee, 5000000);
    EXPECT_EQ(DATE_DateVersJulien(&far), INT_MAX);
}

TEST(DateJulian, DatesBeyondThe32BitDayRangeHaveNoDayNumber) {
    const MYDATE tooLate = makeDate(1, 1, INT_MAX);
    const MYDATE tooEarly = makeDate(1, 1, INT_MIN);
    const MYDATE wildMonth = makeDate(INT_MAX, INT_MAX, 2000);
    EXPECT_EQ(DATE_DateVersJulien(&tooLate), 0);
    EXPECT_EQ(DATE_DateVersJulien(&tooEarly), 0);
    EXPECT_EQ(DATE_DateVersJulien(&wildMonth), 0);
    EXPECT_EQ(DATE_Verifier(&tooLate), 0);
}

// ---- Validation and differences ---------------------------------------------------------------

TEST(DateVerifier, AcceptsExistingDatesOnly) {
    struct Case {
        MYDATE date;
        int expected;
    };
    const Case cases[] = {
        {{29, 2, 2016}, 1}, {{29, 2, 2015}, 0},  {{31, 4, 2015}, 0}, {{29, 2, 1900}, 0},
        {{0, 1, 2015}, 0},  {{29, 2, 2000}, 1},  {{1, 13, 2015}, 0}, {{1, 1, 0}, 0},
        {{5, 10, 1582}, 0}, {{14, 10, 1582}, 0}, {{4, 10, 1582}, 1}, {{15, 10, 1582}, 1},
        {{29, 2, 1500}, 1},  // leap under the Julian calendar
        {{29, 2, -1}, 1},    // 1 BC, astronomical year 0
    };
    for (const Case& c : cases) EXPECT_EQ(DATE_Verifier(&c.date), c.expected) << text(c.date);
    EXPECT_EQ(DATE_Verifier(nullptr), 0);
}

TEST(DateDifference, CountsDaysFromFirstToSecond) {
    const MYDATE a = makeDate(1, 1, 2015);
    const MYDATE b = makeDate(1, 3, 2015);
    EXPECT_EQ(DATE_Difference(&a, &b), 59);
    EXPECT_EQ(DATE_Difference(&b, &a), -59);
    const MYDATE beforeReform = makeDate(4, 10, 1582);
    const MYDATE afterReform = makeDate(15, 10, 1582);
    EXPECT_EQ(DATE_Difference(&beforeReform, &afterReform), 1);
    EXPECT_EQ(DATE_Difference(nullptr, &a), 0);
}

TEST(DateEaster, KnownYears) {
    EXPECT_EQ(DATE_JulienPaques(2015), 2457118);
    struct Case {
        int annee;
        MYDATE easter;
    };
    const Case cases[] = {{2015, {5, 4, 2015}},
                          {2016, {27, 3, 2016}},
                          {2000, {23, 4, 2000}},
                          {2285, {22, 3, 2285}},
                          {2038, {25, 4, 2038}}};
    for (const Case& c : cases) {
        MYDATE got{};
        DATE_JulienVersDate(DATE_JulienPaques(c.annee), &got);
        EXPECT_EQ(text(got), text(c.easter));
    }
}

// ---- Seconds and moments of the day -----------------------------------------------------------

TEST(DateSeconds, SplitsIntoHoursMinutesSecondsWithoutDayWrapOrOverflow) {
    MYHEURE h{};
    ASSERT_EQ(DATE_SecondesVersMYHEURE(3725.9, &h), 0);
    EXPECT_EQ(h.heure, 1);
    EXPECT_EQ(h.minute, 2);
    EXPECT_EQ(h.seconde, 5);
    ASSERT_EQ(DATE_SecondesVersMYHEURE(90000, &h), 0);
    EXPECT_EQ(h.heure, 25);
    EXPECT_EQ(h.minute, 0);
    EXPECT_EQ(h.seconde, 0);
    EXPECT_EQ(DATE_SecondesVersMYHEURE(1.0, nullptr), 1);
    DATE_SecondesVersMYHEURE(1e300, &h);
    EXPECT_EQ(h.heure, INT_MAX);
    DATE_SecondesVersMYHEURE(std::nan(""), &h);
    EXPECT_EQ(h.heure, 0);
    EXPECT_EQ(h.minute, 0);
    EXPECT_EQ(h.seconde, 0);
}

TEST(DateInstantLogique, ClassifiesEveryHour) {
    const int expected[24] = {7, 7, 7, 7, 7, 0, 0, 1, 1, 1, 2, 2,
                              3, 4, 4, 4, 4, 5, 5, 6, 6, 6, 7, 7};
    for (int hour = 0; hour < 24; ++hour) {
        const MYHEURE h{hour, 0, 0};
        EXPECT_EQ(DATE_InstantLogique(&h), expected[hour]) << hour;
    }
    const MYHEURE late{30, 0, 0};
    const MYHEURE negative{-1, 0, 0};
    EXPECT_EQ(DATE_InstantLogique(&late), 7);
    EXPECT_EQ(DATE_InstantLogique(&negative), 7);
    EXPECT_EQ(DATE_InstantLogique(nullptr), -1);
}

// ---- Text layouts ---------------------------------------------------------------------------

TEST(DateAsctime, WritesTheTwelveLayouts) {
    const struct tm t = thursday26February2015();
    const char* expected[12] = {
        "Jeudi 26 Février 2015 20:17:30",
        "26/02/2015 20:17:30",
        "26/2/2015",
        "20:17:30",
        "Jeudi 26 Février 2015",
        "20h 17min 30s",
        "26",
        "Jeudi",
        "2",
        "Février",
        "2015",
        "20150226",
    };
    for (int layout = 0; layout < 12; ++layout)
        EXPECT_STREQ(_asctime(&t, layout), expected[layout]) << layout;
}

TEST(DateAsctime, PadsTheDayWithABlankInLayoutTwo) {
    struct tm t {};
    t.tm_mday = 5;
    t.tm_mon = 2;
    t.tm_year = 115;
    t.tm_wday = 4;
    EXPECT_STREQ(_asctime(&t, 11), "20150305");
    EXPECT_STREQ(_asctime(&t, 2), " 5/3/2015");
    EXPECT_STREQ(_asctime(&t, 6), " 5");
    EXPECT_STREQ(_asctime(&t, 1), "05/03/2015 00:00:00");
}

TEST(DateAsctime, PrintsEveryFrenchNameWhole) {
    const char* days[7] = {"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"};
    const char* months[12] = {"Janvier", "Février", "Mars",      "Avril",   "Mai",      "Juin",
                              "Juillet", "Août",    "Septembre", "Octobre", "Novembre", "Décembre"};
    struct tm t = thursday26February2015();
    for (int d = 0; d < 7; ++d) {
        t.tm_wday = d;
        EXPECT_STREQ(_asctime(&t, 7), days[d]);
    }
    for (int m = 0; m < 12; ++m) {
        t.tm_mon = m;
        EXPECT_STREQ(_asctime(&t, 9), months[m]);
        EXPECT_EQ(std::string(_asctime(&t, 4)), std::string("Samedi 26 ") + months[m] + " 2015");
        EXPECT_STREQ(DATE_GetMonthText(m + 1), months[m]);
    }
    EXPECT_EQ(DATE_GetMonthText(0), nullptr);
    EXPECT_EQ(DATE_GetMonthText(13), nullptr);
}

TEST(DateAsctime, UnknownLayoutLeavesThePreviousText) {
    const struct tm t = thursday26February2015();
    _asctime(&t, 10);
    EXPECT_STREQ(_asctime(&t, 12), "2015");
    EXPECT_STREQ(_asctime(&t, -1), "2015");
    EXPECT_STREQ(_asctime(nullptr, 0), "2015");
    char buffer[DATE_TEXT_SIZE];
    ASSERT_EQ(DATE_GetDateTime(buffer, 99), 0);
    EXPECT_STREQ(buffer, "2015");
}

TEST(DateAsctime, OutOfRangeFieldsNeitherCrashNorOverflow) {
    struct tm t {};
    t.tm_wday = 9;
    t.tm_mon = -3;
    t.tm_year = INT_MAX;
    t.tm_mday = INT_MIN;
    t.tm_hour = INT_MAX;
    t.tm_min = INT_MIN;
    t.tm_sec = INT_MAX;
    for (int layout = 0; layout < 12; ++layout) {
        const char* out = _asctime(&t, layout);
        EXPECT_LT(strlen(out), DATE_TEXT_SIZE);
    }
    EXPECT_STREQ(_asctime(&t, 10), "2147485547");
    EXPECT_STREQ(_asctime(&t, 9), "");
}

TEST(DateGetDateTime, CopiesTheCurrentDateAndCutsToTheBufferSize) {
    char buffer[DATE_TEXT_SIZE];
    MYDATE today{};
    ASSERT_EQ(DATE_AujourdHui(&today), 0);
    ASSERT_EQ(DATE_GetDateTime(buffer, 10), 0);
    EXPECT_EQ(std::string(buffer), std::to_string(today.annee));

    char small[3];
    ASSERT_EQ(DATE_GetDateTime(small, 10, sizeof small), 0);
    EXPECT_EQ(std::string(small), std::to_string(today.annee).substr(0, 2));
    EXPECT_EQ(DATE_GetDateTime(nullptr, 0), 1);
    EXPECT_EQ(DATE_GetDateTime(small, 0, 0), 1);
}

TEST(DateGetDateTime, NeverCutsAFrenchNameInsideACharacter) {
    // Layout 9 of the current month: cut the name at every size and check that the text is
    // always a prefix made of whole characters.
    char full[DATE_TEXT_SIZE];
    ASSERT_EQ(DATE_GetDateTime(full, 9), 0);
    for (size_t size = 1; size <= strlen(full) + 1; ++size) {
        char cut[DATE_TEXT_SIZE];
        ASSERT_EQ(DATE_GetDateTime(cut, 9, size), 0);
        const size_t len = strlen(cut);
        EXPECT_LT(len, size);
        EXPECT_EQ(std::string(full).compare(0, len, cut), 0);
        if (len < strlen(full)) {
            EXPECT_NE(static_cast<unsigned char>(full[len]) & 0xC0, 0x80);
        }
    }
}

// ---- Current date and time --------------------------------------------------------------------

TEST(DateNow, RecordsAgreeWithTheClockAndMissingRecordsFail) {
    MYDATE today{};
    MYHEURE hour{};
    ASSERT_EQ(DATE_AujourdHui(&today), 0);
    ASSERT_EQ(DATE_Heure(&hour), 0);
    EXPECT_EQ(DATE_Verifier(&today), 1);
    EXPECT_GE(today.annee, 2024);
    EXPECT_GE(hour.heure, 0);
    EXPECT_LE(hour.heure, 23);
    const int julien = DATE_JulienAujourdHui();
    EXPECT_LE(julien - DATE_DateVersJulien(&today), 1);  // may cross midnight
    EXPECT_EQ(DATE_Heure(nullptr), 1);
    EXPECT_EQ(DATE_AujourdHui(nullptr), 1);
    EXPECT_EQ(DATE_Maintenant(nullptr), 1);
}

TEST(DateNow, MaintenantTracesItsFieldsAndKeepsTheMilliseconds) {
    TraceCapture capture;
    MYDATETIME now{};
    now.milliseconde = 123;
    ASSERT_EQ(DATE_Maintenant(&now), 0);
    EXPECT_EQ(now.milliseconde, 123);
    char expected[256];
    snprintf(expected, sizeof expected,
             "\n[DATE_Maintenant] jour=%i, mois=%i, annee=%i, heure = %i, minute=%i, seconde=%i, "
             "milliseconde=123",
             now.jour, now.mois, now.annee, now.heure, now.minute, now.seconde);
    EXPECT_EQ(capture.text(), expected);
}

// ---- Picture formats --------------------------------------------------------------------------

TEST(DateConvert, ReadsDatesUnderPictureFormats) {
    struct Case {
        const char* input;
        const char* format;
        MYDATE expected;
    };
    const Case cases[] = {
        {"20150226", "aaaammjj", {26, 2, 2015}},
        {"26/02/15", "jj/mm/aa", {26, 2, 2015}},
        {"26/02/98", "jj/mm/aa", {26, 2, 1998}},
        {"26/02/49", "jj/mm/aa", {26, 2, 2049}},
        {"26/02/50", "jj/mm/aa", {26, 2, 1950}},
        {"32/13/2015", "jj/mm/aaaa", {32, 13, 2015}},  // no range check
        {"0099-01-01", "aaaa-mm-jj", {1, 1, 99}},      // four digits: kept as written
        {"12/34", "jj/jj", {1234, 0, 0}},              // a literal does not end a run
        {"2015022612", "aaaammjj", {26, 2, 2015}},     // input left over is ignored
        {"12H05", "jjHmm", {12, 5, 0}},                // time letters are literals here
    };
    for (const Case& c : cases) {
        MYDATE d{9, 9, 9};
        TraceCapture capture;
        ASSERT_EQ(DATE_Convert(c.input, c.format, &d), &d) << c.input;
        EXPECT_EQ(text(d), text(c.expected)) << c.input << " " << c.format;
        EXPECT_EQ(capture.text(), "");
    }
}

TEST(DateConvert, ReportsTheFirstMismatchAndKeepsOnlyFieldsReadBeforeIt) {
    struct Case {
        const char* input;
        const char* trace;
        const char* record;
    };
    const Case cases[] = {
        {"26-02-2015", "\n[ERREUR][DATE_Convert] '/' etait attendu, '-' obtenu", "0/0/0"},
        {"26/0x/2015", "\n[ERREUR][DATE_Convert] Un chiffre etait attendu, 'x' obtenu", "26/0/0"},
        // Leading blanks are not skipped.
        {" 26/02/2015", "\n[ERREUR][DATE_Convert] Un chiffre etait attendu, ' ' obtenu", "0/0/0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        TraceCapture capture;
        MYDATE d{9, 9, 9};
        EXPECT_EQ(DATE_Convert(c.input, "jj/mm/aaaa", &d), nullptr);
        EXPECT_EQ(capture.text(), c.trace);
        EXPECT_EQ(text(d), c.record);
    }
    MYDATE d{5, 5, 5};
    EXPECT_EQ(DATE_Convert("20150226", "aaaammjj", nullptr), nullptr);
    EXPECT_EQ(DATE_Convert(nullptr, "aaaammjj", &d), nullptr);
    EXPECT_EQ(DATE_Convert("20150226", nullptr, &d), nullptr);
    MYDATETIME dt{};
    EXPECT_EQ(DATETIME_Convert("x", "x", nullptr), nullptr);
    EXPECT_EQ(DATETIME_Convert(nullptr, "x", &dt), nullptr);
}

TEST(DateConvert, RunsLongerThanTheDigitBufferSaturateWithoutOverflow) {
    const std::string digits(200, '9');
    const std::string format(200, 'j');
    MYDATE d{};
    ASSERT_EQ(DATE_Convert(digits.c_str(), format.c_str(), &d), &d);
    EXPECT_EQ(d.jour, INT_MAX);

    // Leading zeros do not count towards the value, however many there are.
    const std::string padded = std::string(100, '0') + "42";
    ASSERT_EQ(DATE_Convert(padded.c_str(), std::string(102, 'm').c_str(), &d), &d);
    EXPECT_EQ(d.mois, 42);

    MYDATETIME dt{};
    ASSERT_EQ(DATETIME_Convert(digits.c_str(), std::string(200, 'L').c_str(), &dt), &dt);
    EXPECT_EQ(dt.milliseconde, INT_MAX);
}

TEST(DateTimeConvert, SkipsLeadingBlanksAndReadsEveryField) {
    TraceCapture capture;
    MYDATETIME dt{};
    dt.milliseconde = 77;
    ASSERT_EQ(DATETIME_Convert("  2014-05-06 05:52:00", "aaaa-mm-jj HH:MM:SS", &dt), &dt);
    EXPECT_EQ(dt.jour, 6);
    EXPECT_EQ(dt.mois, 5);
    EXPECT_EQ(dt.annee, 2014);
    EXPECT_EQ(dt.heure, 5);
    EXPECT_EQ(dt.minute, 52);
    EXPECT_EQ(dt.seconde, 0);
    EXPECT_EQ(dt.milliseconde, 0);
    EXPECT_EQ(capture.text(), "");

    ASSERT_EQ(DATETIME_Convert("20140506 055201.250", "aaaammjj HHMMSS.LLL", &dt), &dt);
    EXPECT_EQ(dt.seconde, 1);
    EXPECT_EQ(dt.milliseconde, 250);
}

TEST(DateTimeConvert, ShortInputOrAWrongLiteralFailWithTheirTraceLines) {
    TraceCapture capture;
    MYDATETIME dt{};
    EXPECT_EQ(DATETIME_Convert("  2014-05-06 05:5", "aaaa-mm-jj HH:MM:SS", &dt), nullptr);
    const std::string expected =
        std::string(
            "\n[DATETIME_Convert] datetime=[  2014-05-06 05:5], format=[aaaa-mm-jj HH:MM:SS]"
            "\n[ERREUR][DATETIME_Convert] Un chiffre etait attendu, '") +
        '\0' + "' obtenu";
    EXPECT_EQ(capture.text(), expected);
    EXPECT_EQ(dt.jour, 6);  // fields stored before the failure stay
    EXPECT_EQ(dt.heure, 5);
    EXPECT_EQ(dt.minute, 0);
    // A wrong literal is reported under the function's own name.
    capture.clear();
    EXPECT_EQ(DATETIME_Convert("2014/05/06", "aaaa-mm-jj", &dt), nullptr);
    EXPECT_EQ(capture.text(), "\n[ERREUR][DATETIME_Convert] '-' etait attendu, '/' obtenu");
}

// ---- Separated and free-form texts ------------------------------------------------------------

TEST(DateExpand, ReadsDayMonthYearAndChecksRanges) {
    struct Case {
        const char* input;
        char separator;
        int result;
        MYDATE expected;
    };
    const Case cases[] = {
        {"26/2/2015", '/', 0, {26, 2, 2015}},
        {"26.02.1999.77.88", '.', 0, {26, 2, 1999}},  // parts after the third are ignored
        {"0/0/1900", '/', 0, {0, 0, 1900}},
        {"32/2/2015", '/', 1, {0, 0, 0}},
        {"26/13/2015", '/', 1, {26, 0, 0}},
        {"26/2/1899", '/', 1, {26, 2, 0}},
        {"26/2/2101", '/', 1, {26, 2, 0}},
        {"26/2", '/', 0, {26, 2, 0}},
        {"", '/', 0, {0, 0, 0}},
        // Parts longer than 7 characters are cut to their first 7.
        {"0000002612345678901234567890/2/2015", '/', 0, {2, 2, 2015}},
        {"26/2/2015999999999999999999999", '/', 1, {26, 2, 0}},
    };
    for (const Case& c : cases) {
        MYDATE d{9, 9, 9};
        EXPECT_EQ(DATE_Expand(&d, c.input, c.separator), c.result) << c.input;
        EXPECT_EQ(text(d), text(c.expected)) << c.input;
    }
    MYDATE d{};
    EXPECT_EQ(DATE_Expand(nullptr, "1/1/2000", '/'), 1);
    EXPECT_EQ(DATE_Expand(&d, nullptr, '/'), 1);
}

TEST(DateDeTexte, ReadsDayMonthYearWithCurrentDefaults) {
    MYDATE today{};
    ASSERT_EQ(DATE_AujourdHui(&today), 0);
    struct Case {
        const char* input;
        int result;
        int jour, mois, annee;  // 0 for mois/annee: the current one
    };
    const Case cases[] = {
        {"12", 0, 12, 0, 0},
        {"12.3", 0, 12, 3, 0},
        {"12-3-2014", 0, 12, 3, 2014},
        {"  7 / 11 / 1999", 0, 7, 11, 1999},
        {"0", 1, 0, 0, 0},
        {"32", 1, 0, 0, 0},
        {"12.13", 1, 12, 0, 0},
        {"abc", 1, 0, 0, 0},
        {"", 1, 0, 0, 0},
        {"1.1.99999999999", 1, 1, 1, 0},
    };
    for (const Case& c : cases) {
        std::string buffer = c.input;
        MYDATE d{};
        EXPECT_EQ(dateDeTexte(buffer.data(), &d), c.result) << c.input;
        if (c.result != 0 && c.jour == 0) continue;
        EXPECT_EQ(d.jour, c.jour) << c.input;
        if (c.result == 0) {
            EXPECT_EQ(d.mois, c.mois ? c.mois : today.mois) << c.input;
            EXPECT_EQ(d.annee, c.annee ? c.annee : today.annee) << c.input;
        }
    }
    EXPECT_EQ(dateDeTexte(nullptr, &today), 1);
    char someText[] = "1";
    EXPECT_EQ(dateDeTexte(someText, nullptr), 1);
}

TEST(DateDeTexte, ReplacesNonDigitsByBlanksInPlaceAndJulienDeTexteGivesTheDayNumberOrZero) {
    char buffer[] = "12-3/2014x";
    MYDATE d{};
    ASSERT_EQ(dateDeTexte(buffer, &d), 0);
    EXPECT_STREQ(buffer, "12 3 2014 ");
    char good[] = "1/1/2000";
    char bad[] = "45/1/2000";
    EXPECT_EQ(julienDeTexte(good), 2451545);
    EXPECT_EQ(julienDeTexte(bad), 0);
    EXPECT_EQ(julienDeTexte(nullptr), 0);
}

TEST(DateDeTexte, NeverReadsPastTheEndOfTheText) {
    // Exactly sized heap buffers: reading one byte too far is caught by the address sanitizer.
    for (const char* input : {"12", "12.", "12.3", "12.3."}) {
        std::vector<char> buffer(input, input + strlen(input) + 1);
        MYDATE d{};
        EXPECT_EQ(dateDeTexte(buffer.data(), &d), 0) << input;
        EXPECT_EQ(d.jour, 12);
    }
}

// ---- Exhaustive checks ------------------------------------------------------------------------

// Every date that exists (Julian calendar before the reform, Gregorian from 15/10/1582 on, no
// year 0) round-trips through its day number, day numbers follow each other without gap from
// 1 January 4713 BC (day 0), and every impossible day just after the end of a month is refused.
TEST(DateExhaustive, EveryDayFrom4713BCTo9999RoundTrips) {
    long long visited = 0;
    int previous = -1;
    int mismatches = 0;
    for (int annee = -4713; annee <= 9999; ++annee) {
        if (annee == 0) continue;
        for (int mois = 1; mois <= 12; ++mois) {
            const int length = monthLength(mois, annee);
            for (int jour = 1; jour <= length; ++jour) {
                if (annee == 1582 && mois == 10 && jour >= 5 && jour <= 14) continue;
                const MYDATE date{jour, mois, annee};
                const int julien = DATE_DateVersJulien(&date);
                MYDATE back{};
                DATE_JulienVersDate(julien, &back);
                ++visited;
                if (julien != previous + 1 || !sameDate(back, date) ||
                    (annee > 0 && DATE_Verifier(&date) != 1)) {
                    if (++mismatches <= 5) ADD_FAILURE() << text(date) << " -> " << julien;
                }
                previous = julien;
            }
            const MYDATE pastTheEnd{length + 1, mois, annee};
            if (annee > 0 && DATE_Verifier(&pastTheEnd) != 0 && ++mismatches <= 5)
                ADD_FAILURE() << "accepted " << text(pastTheEnd);
        }
        if (annee == -1) {
            EXPECT_EQ(previous, 1721423);  // 31/12/1 BC
        }
    }
    EXPECT_EQ(mismatches, 0);
    // 1721424 days before the common era, 3652061 from 1/1/1 to 31/12/9999 (day 5373484).
    EXPECT_EQ(visited, 1721424 + 3652061);
    EXPECT_EQ(previous, 5373484);
    for (int jour = 5; jour <= 14; ++jour) {
        const MYDATE lost{jour, 10, 1582};
        EXPECT_EQ(DATE_Verifier(&lost), 0) << jour;
    }
}

// DATE_Verifier answers from the month's length for the years of the Gregorian calendar up to
// 9999: its answer must be the day number's round trip for every day, month and year there,
// impossible ones included.
TEST(DateVerifier, MonthLengthsAgreeWithTheDayNumberRoundTrip) {
    int mismatches = 0;
    for (int annee = 1583; annee <= 9999; ++annee) {
        for (int mois = -1; mois <= 14; ++mois) {
            for (int jour = -1; jour <= 33; ++jour) {
                const MYDATE date{jour, mois, annee};
                MYDATE back{};
                DATE_JulienVersDate(DATE_DateVersJulien(&date), &back);
                const int roundTrip = sameDate(back, date) ? 1 : 0;
                if (DATE_Verifier(&date) != roundTrip && ++mismatches <= 5)
                    ADD_FAILURE() << text(date) << " round trip says " << roundTrip;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(DateCrossCheck, GregorianDayNumbersMatchPythonOrdinals) {
    ASSERT_EQ(access(kPython, X_OK), 0) << kPython << " is absent (tools/install-deps.sh)";
    const std::string out = testing::TempDir() + "date_ordinals_" + std::to_string(getpid());
    // Per day: yyyymmdd, then toordinal() + 1721425, as native 32-bit integers.
    const char* script = R"PY(
import array, datetime, sys
first = datetime.date(1582, 10, 15).toordinal()
last = datetime.date(9999, 12, 31).toordinal()
values = array.array('i')
for o in range(first, last + 1):
    d = datetime.date.fromordinal(o)
    values.append(d.year * 10000 + d.month * 100 + d.day)
    values.append(d.toordinal() + 1721425)
with open(sys.argv[1], 'wb') as f:
    f.write(values.tobytes())
)PY";
    ASSERT_TRUE(runPython("date_ordinals", script, out));
    std::vector<int> values;
    {
        std::ifstream raw(out, std::ios::binary | std::ios::ate);
        ASSERT_TRUE(raw.good());
        const std::streamsize size = raw.tellg();
        raw.seekg(0);
        values.assign(static_cast<size_t>(size) / sizeof(int), 0);
        raw.read(reinterpret_cast<char*>(values.data()), size);
    }
    std::remove(out.c_str());

    const size_t days = values.size() / 2;
    EXPECT_EQ(days, 3074324u);
    size_t compared = 0;
    int mismatches = 0;
    for (size_t i = 0; i < days; ++i) {
        const int ymd = values[2 * i];
        const int expected = values[2 * i + 1];
        const MYDATE date{ymd % 100, ymd / 100 % 100, ymd / 10000};
        MYDATE back{};
        DATE_JulienVersDate(expected, &back);
        ++compared;
        if (DATE_DateVersJulien(&date) != expected || !sameDate(back, date)) {
            if (++mismatches <= 5)
                ADD_FAILURE() << text(date) << ": " << DATE_DateVersJulien(&date) << " vs "
                              << expected << ", back " << text(back);
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(compared, 3074324u);
    RecordProperty("days_compared", static_cast<int>(compared));
}

TEST(DateCrossCheck, EasterMatchesDateutilFrom1583To4099) {
    ASSERT_EQ(access(kPython, X_OK), 0) << kPython << " is absent (tools/install-deps.sh)";
    const std::string out = testing::TempDir() + "date_easter_" + std::to_string(getpid());
    const char* script = R"PY(
import sys
from dateutil.easter import easter
with open(sys.argv[1], 'w') as f:
    for y in range(1583, 4100):
        d = easter(y)
        f.write('%d %d %d\n' % (d.year, d.month, d.day))
)PY";
    ASSERT_TRUE(runPython("date_easter", script, out)) << "python3-dateutil is required";
    std::ifstream in(out);
    int annee = 0, mois = 0, jour = 0;
    int compared = 0;
    while (in >> annee >> mois >> jour) {
        const MYDATE expected{jour, mois, annee};
        EXPECT_EQ(DATE_JulienPaques(annee), DATE_DateVersJulien(&expected)) << annee;
        ++compared;
    }
    in.close();
    std::remove(out.c_str());
    EXPECT_EQ(compared, 4099 - 1583 + 1);
    RecordProperty("years_compared", compared);
}

#include "foundation/date.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace {

// Day names indexed by the standard library's day of the week (0 = Sunday).
constexpr const char* kJours[7] = {"Dimanche", "Lundi",    "Mardi", "Mercredi",
                                   "Jeudi",    "Vendredi", "Samedi"};
// Month names indexed from 0 = January.
constexpr const char* kMois[12] = {"Janvier",   "Février", "Mars",     "Avril",
                                   "Mai",       "Juin",    "Juillet",  "Août",
                                   "Septembre", "Octobre", "Novembre", "Décembre"};

// Longest name the layouts print, in characters.
constexpr int kNameChars = 9;

// First Julian day of the Gregorian calendar (15 October 1582).
constexpr long long kFirstGregorianDay = 2299161;

// The one text written by _asctime (and read back by DATE_GetDateTime).
char gAscText[DATE_TEXT_SIZE];

// Truncates toward zero as a cast to int would, but saturates instead of overflowing and gives
// 0 for a NaN.
int truncToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(x);
}

int clampToInt(long long x) {
    if (x > INT_MAX) return INT_MAX;
    if (x < INT_MIN) return INT_MIN;
    return static_cast<int>(x);
}

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte length of the first `maxChars` UTF-8 characters of `text` (all of it when shorter), so
// that "%.*s" never cuts a character in two.
int utf8PrefixBytes(const char* text, int maxChars) {
    int bytes = 0;
    int chars = 0;
    while (text[bytes] != '\0') {
        if (!isUtf8Continuation(text[bytes])) {
            if (chars == maxChars) break;
            ++chars;
        }
        ++bytes;
    }
    return bytes;
}

const char* dayName(int wday) {
    return (wday >= 0 && wday < 7) ? kJours[wday] : "";
}
const char* monthName(int mon) {
    return (mon >= 0 && mon < 12) ? kMois[mon] : "";
}

// Current local broken-down time (thread-safe form of localtime).
struct tm localNow() {
    time_t now = time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);
    return t;
}

// ---- Picture-format reading -------------------------------------------------------------------

// The picture letters, date group (a, m, j) first, then the time group (H, M, S, L).
constexpr char kLetters[7] = {'a', 'm', 'j', 'H', 'M', 'S', 'L'};
constexpr int kYearLetter = 0;
constexpr int kDateGroupSize = 3;

// Index of the picture letter `c` in kLetters, or -1 for a literal. Without time letters,
// H, M, S and L are literals.
int letterIndex(char c, bool withTime) {
    const int count = withTime ? 7 : kDateGroupSize;
    for (int i = 0; i < count; ++i)
        if (kLetters[i] == c) return i;
    return -1;
}

// The digits of the current run: their count and their value (saturated at INT_MAX, so any
// number of digits can be read without overflow).
struct DigitRun {
    int owner = -1;        // letter the digits belong to, -1 before the first digit
    long long value = 0;   // value of the digits, at most INT_MAX
    long long digits = 0;  // number of digits read (only the year looks at it)

    void add(char digit) {
        value = value * 10 + (digit - '0');
        if (value > INT_MAX) value = INT_MAX;
        ++digits;
    }
    void clear() {
        value = 0;
        digits = 0;
    }
};

// Value stored for the run: a year not written with exactly four digits is moved into
// 1950-2049 when it is below 100.
int runValue(const DigitRun& run) {
    int v = static_cast<int>(run.value);
    if (run.owner == kYearLetter && run.digits != 4) {
        if (v >= 50 && v <= 99)
            v += 1900;
        else if (v < 50)
            v += 2000;
    }
    return v;
}

// Reads `text` under `format` into fields[letter] (fields[i] for kLetters[i]); returns false on
// failure after tracing it. `withTime` selects the date-time rules (time letters, blank skipping
// and the date-time messages).
bool convertPicture(const char* text, const char* format, int* const fields[7], bool withTime) {
    const char* in = text;
    if (withTime)
        while (*in == ' ') ++in;

    int runs[7] = {0, 0, 0, 0, 0, 0, 0};
    DigitRun run;
    for (const char* f = format;; ++f) {
        const char c = *f;
        const bool last = (c == '\0');
        const int letter = last ? -1 : letterIndex(c, withTime);

        bool storeDue = last;
        if (letter >= 0) {
            if (runs[letter] == 0) storeDue = true;
            ++runs[letter];
            const int first = letter < kDateGroupSize ? 0 : kDateGroupSize;
            const int end = letter < kDateGroupSize ? kDateGroupSize : 7;
            for (int i = first; i < end; ++i)
                if (i != letter) runs[i] = 0;
        }
        if (storeDue && run.owner >= 0) {
            *fields[run.owner] = runValue(run);
            run.clear();
        }
        if (last) return true;

        if (letter >= 0) {
            if (*in < '0' || *in > '9') {
                if (withTime) {
                    morvex::trace("\n[DATETIME_Convert] datetime=[%s], format=[%s]", text, format);
                    morvex::trace(
                        "\n[ERREUR][DATETIME_Convert] Un chiffre etait attendu, '%c' obtenu", *in);
                } else {
                    morvex::trace("\n[ERREUR][DATE_Convert] Un chiffre etait attendu, '%c' obtenu",
                                  *in);
                }
                return false;
            }
            run.add(*in);
            run.owner = letter;
            ++in;
        } else {
            if (*in != c) {
                morvex::trace(withTime
                                  ? "\n[ERREUR][DATETIME_Convert] '%c' etait attendu, '%c' obtenu"
                                  : "\n[ERREUR][DATE_Convert] '%c' etait attendu, '%c' obtenu",
                              c, *in);
                return false;
            }
            ++in;
        }
    }
}

}  // namespace

int DATE_Heure(MYHEURE* heure) {
    if (!heure) return 1;
    const struct tm t = localNow();
    heure->heure = t.tm_hour;
    heure->minute = t.tm_min;
    heure->seconde = t.tm_sec;
    return 0;
}

int DATE_AujourdHui(MYDATE* date) {
    if (!date) return 1;
    const struct tm t = localNow();
    date->jour = t.tm_mday;
    date->mois = t.tm_mon + 1;
    date->annee = t.tm_year + 1900;
    return 0;
}

int DATE_Maintenant(MYDATETIME* now) {
    if (!now) return 1;
    const struct tm t = localNow();
    now->jour = t.tm_mday;
    now->mois = t.tm_mon + 1;
    now->annee = t.tm_year + 1900;
    now->heure = t.tm_hour;
    now->minute = t.tm_min;
    now->seconde = t.tm_sec;
    morvex::trace(
        "\n[DATE_Maintenant] jour=%i, mois=%i, annee=%i, heure = %i, minute=%i, seconde=%i, "
        "milliseconde=%i",
        now->jour, now->mois, now->annee, now->heure, now->minute, now->seconde, now->milliseconde);
    return 0;
}

int DATE_JulienAujourdHui() {
    MYDATE today{};
    DATE_AujourdHui(&today);
    return DATE_DateVersJulien(&today);
}

char* _asctime(const struct tm* t, int layout) {
    if (!t) return gAscText;
    // Wide types: the broken-down fields may hold any int, and year/month are offset.
    const long long day = t->tm_mday;
    const long long month = 1LL + t->tm_mon;
    const long long year = 1900LL + t->tm_year;
    const long long hour = t->tm_hour;
    const long long minute = t->tm_min;
    const long long second = t->tm_sec;
    const char* dname = dayName(t->tm_wday);
    const char* mname = monthName(t->tm_mon);
    const int dbytes = utf8PrefixBytes(dname, kNameChars);
    const int mbytes = utf8PrefixBytes(mname, kNameChars);
    char* out = gAscText;
    const size_t size = sizeof gAscText;

    switch (layout) {
        case 0:
            snprintf(out, size, "%.*s %2lld %.*s %lld %.2lld:%.2lld:%.2lld", dbytes, dname, day,
                     mbytes, mname, year, hour, minute, second);
            break;
        case 1:
            snprintf(out, size, "%.2lli/%.2lli/%.4lld %.2lld:%.2lld:%.2lld", day, month, year, hour,
                     minute, second);
            break;
        case 2:
            snprintf(out, size, "%2lld/%lli/%lld", day, month, year);
            break;
        case 3:
            snprintf(out, size, "%.2lld:%.2lld:%.2lld", hour, minute, second);
            break;
        case 4:
            snprintf(out, size, "%.*s %2lld %.*s %lld", dbytes, dname, day, mbytes, mname, year);
            break;
        case 5:
            snprintf(out, size, "%.2lldh %.2lldmin %.2llds", hour, minute, second);
            break;
        case 6:
            snprintf(out, size, "%2lld", day);
            break;
        case 7:
            snprintf(out, size, "%2s", dname);
            break;
        case 8:
            snprintf(out, size, "%lli", month);
            break;
        case 9:
            snprintf(out, size, "%s", mname);
            break;
        case 10:
            snprintf(out, size, "%lld", year);
            break;
        case 11:
            snprintf(out, size, "%4lld%02lli%02lld", year, month, day);
            break;
        default:
            break;
    }
    return gAscText;
}

int DATE_GetDateTime(char* buffer, int layout, std::size_t size) {
    if (!buffer || size == 0) return 1;
    const struct tm t = localNow();
    const char* text = _asctime(&t, layout);
    morvex::utf8CopyCut(buffer, size, std::string_view(text, strnlen(text, sizeof gAscText)));
    return 0;
}

const char* DATE_GetMonthText(int mois) {
    if (mois < 1 || mois > 12) return nullptr;
    return kMois[mois - 1];
}

int DATE_InstantLogique(const MYHEURE* heure) {
    if (!heure) return -1;
    const int h = heure->heure;
    if (h >= 5 && h <= 6) return 0;
    if (h >= 7 && h <= 9) return 1;
    if (h >= 10 && h <= 11) return 2;
    if (h == 12) return 3;
    if (h >= 13 && h <= 16) return 4;
    if (h >= 17 && h <= 18) return 5;
    if (h >= 19 && h <= 21) return 6;
    return 7;
}

MYDATE* DATE_Convert(const char* text, const char* format, MYDATE* date) {
    if (!date) return nullptr;
    *date = MYDATE{};
    if (!text || !format) return nullptr;
    int* const fields[7] = {&date->annee, &date->mois, &date->jour, nullptr,
                            nullptr,      nullptr,     nullptr};
    return convertPicture(text, format, fields, false) ? date : nullptr;
}

MYDATETIME* DATETIME_Convert(const char* text, const char* format, MYDATETIME* dateTime) {
    if (!dateTime) return nullptr;
    *dateTime = MYDATETIME{};
    if (!text || !format) return nullptr;
    int* const fields[7] = {&dateTime->annee,       &dateTime->mois,   &dateTime->jour,
                            &dateTime->heure,       &dateTime->minute, &dateTime->seconde,
                            &dateTime->milliseconde};
    return convertPicture(text, format, fields, true) ? dateTime : nullptr;
}

int DATE_Expand(MYDATE* date, const char* text, char separator) {
    if (!date || !text) return 1;
    *date = MYDATE{};
    constexpr size_t kPartChars = 7;  // longer parts are cut to their first 7 characters
    char part[kPartChars + 1];
    size_t len = 0;
    int index = 0;
    for (const char* p = text;; ++p) {
        if (*p != separator && *p != '\0') {
            if (len < kPartChars) part[len++] = *p;
            continue;
        }
        part[len] = '\0';
        len = 0;
        const int value = atoi(part);
        switch (index) {
            case 0:
                if (value < 0 || value > 31) return 1;
                date->jour = value;
                break;
            case 1:
                if (value < 0 || value > 12) return 1;
                date->mois = value;
                break;
            default:
                if (value < 1900 || value > 2100) return 1;
                date->annee = value;
                break;
        }
        ++index;
        if (*p == '\0' || index == 3) return 0;
    }
}

int dateDeTexte(char* text, MYDATE* date) {
    if (!text || !date) return 1;
    for (char* p = text; *p; ++p)
        if (*p < '0' || *p > '9') *p = ' ';

    const struct tm t = localNow();
    date->mois = t.tm_mon + 1;
    date->annee = t.tm_year + 1900;

    // Skips the one separator after a number, never past the end of the text.
    auto next = [](char* end) { return *end ? end + 1 : end; };

    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (value < 1 || value > 31) return 1;
    date->jour = static_cast<int>(value);

    char* p = next(end);
    value = strtol(p, &end, 10);
    if (value == 0) return 0;
    if (value < 1 || value > 12) return 1;
    date->mois = static_cast<int>(value);

    p = next(end);
    value = strtol(p, &end, 10);
    if (value == 0) return 0;
    if (value < 0 || value > INT_MAX) return 1;
    date->annee = static_cast<int>(value);
    return 0;
}

int julienDeTexte(char* text) {
    MYDATE date{};
    if (dateDeTexte(text, &date) != 0) return 0;
    return DATE_DateVersJulien(&date);
}

int DATE_DateVersJulien(const MYDATE* date) {
    if (!date || date->annee == 0) return 0;
    long long y = date->annee;
    if (y < 0) ++y;
    long long mm;
    if (date->mois > 2) {
        mm = date->mois + 1LL;
    } else {
        --y;
        mm = date->mois + 13LL;
    }
    double j = std::floor(365.25 * static_cast<double>(y)) +
               std::floor(30.6001 * static_cast<double>(mm)) + date->jour + 1720995.0;
    // Gregorian calendar from 15 October 1582 on.
    if (date->jour + 31LL * (date->mois + 12LL * date->annee) >= 588829) {
        const long long a = static_cast<long long>(0.01 * static_cast<double>(y));
        j = j + 2 - static_cast<double>(a) + std::trunc(0.25 * static_cast<double>(a));
    }
    // A date too far away for a 32-bit day number has none.
    if (j < static_cast<double>(INT_MIN) || j > static_cast<double>(INT_MAX)) return 0;
    return static_cast<int>(j);
}

void DATE_JulienVersDate(int julien, MYDATE* date) {
    if (!date) return;
    // 64-bit intermediates: near the ends of the int range the sums below would overflow.
    const long long jd = julien;
    long long a = jd;
    if (jd >= kFirstGregorianDay) {
        const long long alpha = static_cast<long long>(((jd - 1867216) - 0.25) / 36524.25);
        a = jd + 1 + alpha - static_cast<long long>(0.25 * static_cast<double>(alpha));
    }
    const long long b = a + 1524;
    const long long g = static_cast<long long>(6680.0 + ((b - 2439870) - 122.1) / 365.25);
    const long long d = static_cast<long long>(365.0 * g + 0.25 * static_cast<double>(g));
    const long long e = static_cast<long long>(static_cast<double>(b - d) / 30.6001);
    date->jour = clampToInt(b - d - static_cast<long long>(30.6001 * static_cast<double>(e)));
    long long mois = e - 1;
    if (mois > 12) mois -= 12;
    date->mois = clampToInt(mois);
    long long annee = g - 4715;
    if (mois > 2) --annee;
    if (annee <= 0) --annee;
    date->annee = clampToInt(annee);
}

char* DATE_JulienVersDateTexte(int julien, char* buffer) {
    if (!buffer) return nullptr;
    MYDATE date{};
    DATE_JulienVersDate(julien, &date);
    snprintf(buffer, DATE_JULIEN_TEXT_SIZE, "%i/%i/%i", date.jour, date.mois, date.annee);
    return buffer;
}

int DATE_Verifier(const MYDATE* date) {
    if (!date) return 0;
    // Past the calendar change and up to year 9999 the day number gives back every real day of
    // the Gregorian calendar and nothing else: the month's length answers without it (a load
    // checks every date it stores).
    if (date->annee > 1600 && date->annee <= 9999) {
        static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (date->mois < 1 || date->mois > 12 || date->jour < 1) return 0;
        const int y = date->annee;
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        return date->jour <= kDays[date->mois - 1] + (date->mois == 2 && leap ? 1 : 0) ? 1 : 0;
    }
    MYDATE back{};
    DATE_JulienVersDate(DATE_DateVersJulien(date), &back);
    return (back.jour == date->jour && back.mois == date->mois && back.annee == date->annee) ? 1
                                                                                             : 0;
}

int DATE_Difference(const MYDATE* first, const MYDATE* second) {
    if (!first || !second) return 0;
    return clampToInt(static_cast<long long>(DATE_DateVersJulien(second)) -
                      DATE_DateVersJulien(first));
}

int DATE_JulienPaques(int annee) {
    const int y = annee;
    const int g = y % 19;
    const int s = y / 100 + 1;
    const int e = y % 100;
    const int d = (s - 1) / 4;
    const int r = (s - 1) % 4;
    const int f = (s + 7) / 25;
    const int h0 = (s - f) / 3;
    const int h = (19 * g + s - d - h0 + 14) % 30;
    const int i = e / 4;
    const int k = e % 4;
    const int l = (2 * r + 2 * i + 32 - h - k) % 7;
    const int m = (g + 11 * h + 22 * l) / 451;
    const int n = h + l - 7 * m + 114;
    MYDATE easter{};
    easter.jour = (n % 31) + 1;
    easter.mois = n / 31;
    easter.annee = y;
    return DATE_DateVersJulien(&easter);
}

int DATE_SecondesVersMYHEURE(double secondes, MYHEURE* heure) {
    if (!heure) return 1;
    heure->heure = truncToInt(secondes / 60 / 60);
    heure->minute = truncToInt(std::fmod(secondes / 60, 60));
    heure->seconde = truncToInt(std::fmod(secondes, 60));
    return 0;
}

namespace {

// The date, its parts separated by `dateSeparator` (none when 0), then with `withTime` the time
// to the second, with `milliseconds` to the millisecond.
void AppendDateTime(std::string& out, const MYDATETIME& d, char dateSeparator, bool withTime,
                    bool milliseconds) {
    morvex::AppendPadded(out, d.annee, 4);
    if (dateSeparator) out += dateSeparator;
    morvex::AppendPadded(out, d.mois, 2);
    if (dateSeparator) out += dateSeparator;
    morvex::AppendPadded(out, d.jour, 2);
    if (!withTime) return;
    out += ' ';
    morvex::AppendPadded(out, d.heure, 2);
    out += ':';
    morvex::AppendPadded(out, d.minute, 2);
    out += ':';
    morvex::AppendPadded(out, d.seconde, 2);
    if (!milliseconds) return;
    out += '.';
    morvex::AppendPadded(out, d.milliseconde, 3);
}

}  // namespace

void DATETIME_AppendCompact(std::string& out, const MYDATETIME& d, bool withTime) {
    AppendDateTime(out, d, '\0', withTime, false);
}

void DATETIME_AppendIso(std::string& out, const MYDATETIME& d, bool withTime) {
    AppendDateTime(out, d, '-', withTime, true);
}

bool DATETIME_ReadValid(std::string_view text, const char* format, bool withTime,
                        MYDATETIME* d) {
    char buffer[256];
    if (!format || !d || text.size() >= sizeof buffer) return false;
    memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    const bool read = DATETIME_Convert(buffer, format, d) != nullptr;
    // Each character of the picture takes one of the text, after the blanks skipped: what
    // follows may only be blanks. A value with more (01/02/2003x, a time behind a day) is not
    // the date the picture says, and storing its date alone would lose the rest.
    size_t used = 0;
    while (used < text.size() && text[used] == ' ') ++used;
    used += strlen(format);
    for (size_t i = used; i < text.size(); ++i)
        if (text[i] != ' ') return false;
    const MYDATE day{d->jour, d->mois, d->annee};
    return read && d->annee > 0 && DATE_Verifier(&day) == 1 &&
           (!withTime || (d->heure >= 0 && d->heure <= 23 && d->minute >= 0 && d->minute <= 59 &&
                          d->seconde >= 0 && d->seconde <= 59 && d->milliseconde >= 0 &&
                          d->milliseconde <= 999));
}

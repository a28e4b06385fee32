// DATE: the calendar toolbox. Current date and time in three record shapes, twelve French text
// layouts, picture-format reading ("aaaa-mm-jj HH:MM:SS", "jj/mm/aaaa", ...), Julian day numbers,
// validation, Easter, day differences and the splitting of a number of seconds.
//
// Julian day numbers: 2299161 is 15 October 1582, the first Gregorian day; dates before it are
// read in the (proleptic) Julian calendar. Years before the common era are negative; there is
// no year 0. Day and month names are UTF-8 text.
//
// Every operation except _asctime and DATE_GetDateTime (which share one static text) works only
// on its arguments and may be called from any thread.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

// A calendar date. A MYDATETIME begins with the same three fields and may be read as a MYDATE.
struct MYDATE {
    int jour;   // day of the month, 1 to 31
    int mois;   // month, 1 to 12
    int annee;  // year in full (2015); negative before the common era, never 0
};

// A calendar date with a time of day.
struct MYDATETIME {
    int jour;          // day of the month, 1 to 31
    int mois;          // month, 1 to 12
    int annee;         // year in full; negative before the common era, never 0
    int heure;         // hour, 0 to 23
    int minute;        // minute, 0 to 59
    int seconde;       // second, 0 to 59
    int milliseconde;  // millisecond, 0 to 999
};

// A time of day, or a duration (then heure may exceed 23).
struct MYHEURE {
    int heure;    // hours
    int minute;   // minutes, 0 to 59
    int seconde;  // seconds, 0 to 59
};

// Size of a buffer that always holds the text of DATE_GetDateTime / _asctime, terminator included.
constexpr std::size_t DATE_TEXT_SIZE = 128;
// Size of a buffer that always holds the text of DATE_JulienVersDateTexte, terminator included
// (three numbers of up to 11 characters and two slashes).
constexpr std::size_t DATE_JULIEN_TEXT_SIZE = 36;

// Fills `heure` with the current local hour, minute and second. 0, or 1 when heure is missing.
int DATE_Heure(MYHEURE* heure);

// Fills `date` with today's local date. 0, or 1 when date is missing.
int DATE_AujourdHui(MYDATE* date);

// Fills the date and the hour, minute and second of `now` with the current local time (the
// milliseconde field is left as it is) and traces the seven fields. 0, or 1 when now is missing.
int DATE_Maintenant(MYDATETIME* now);

// Julian day number of today's local date.
int DATE_JulienAujourdHui();

// Formats `t` in layout 0 to 11 into the module's one static text and returns it; each call
// overwrites the text. An unknown layout (or a missing t) leaves the text as the previous call
// left it. Not for concurrent use; callers copy the text out at once.
char* _asctime(const struct tm* t, int layout);

// Copies _asctime of the current local time in `layout` into `buffer` of `size` bytes (the text
// is cut, on a character boundary, when it does not fit). 0, or 1 when buffer is missing.
// Shares the static text of _asctime.
int DATE_GetDateTime(char* buffer, int layout, std::size_t size = DATE_TEXT_SIZE);

// French name of month 1 (January) to 12; nullptr for any other number.
const char* DATE_GetMonthText(int mois);

// Moment of the day 0 to 7 for heure->heure: 5-6 gives 0, 7-9 1, 10-11 2, 12 3, 13-16 4,
// 17-18 5, 19-21 6, and any other hour 7. -1 when heure is missing.
int DATE_InstantLogique(const MYHEURE* heure);

// Reads `text` under the picture `format` (letters a, m, j, one digit each) into `date`, which is
// first set to zeros. Returns date, or nullptr on failure (traced; the fields read so far stay)
// or when an argument is missing. No range check is made on the values.
MYDATE* DATE_Convert(const char* text, const char* format, MYDATE* date);

// As DATE_Convert, with the time letters H, M, S, L as well and leading spaces of `text` skipped.
MYDATETIME* DATETIME_Convert(const char* text, const char* format, MYDATETIME* dateTime);
// Reads `text` (not zero-terminated) under the picture `format` into `dateTime` and checks that
// it names a real day (year above 0) and, with `withTime`, a real time of day, with nothing but
// blanks after what the picture reads; false otherwise.
// The check a Date or Datetime value must pass to be stored as one.
bool DATETIME_ReadValid(std::string_view text, const char* format, bool withTime,
                        MYDATETIME* dateTime);
// Appends the date as "yyyymmdd" and, with `withTime`, the time as " hh:mm:ss" (the layout SQL
// Server reads whatever its language settings).
void DATETIME_AppendCompact(std::string& out, const MYDATETIME& dateTime, bool withTime);
// Appends the date as "yyyy-mm-dd" and, with `withTime`, the time as " hh:mm:ss.mmm" (ISO 8601
// text, as SQLite's date functions read it).
void DATETIME_AppendIso(std::string& out, const MYDATETIME& dateTime, bool withTime);

// Reads day, month and year separated by `separator` (such as "26/2/2015") into `date`, which is
// first set to zeros. 0, or 1 when the day is outside 0-31, the month outside 0-12, the year
// outside 1900-2100 (fields read before stay), or an argument is missing.
int DATE_Expand(MYDATE* date, const char* text, char separator);

// Reads "day [month [year]]" from `text`, any non-digit separating the numbers (the text is
// changed in place: non-digits become blanks); an absent month or year is the current one.
// 0, or 1 when a number is out of range or an argument is missing.
int dateDeTexte(char* text, MYDATE* date);

// Julian day number of the date that dateDeTexte reads from `text` (changed in place), or 0.
int julienDeTexte(char* text);

// Julian day number of `date` (Julian calendar before 15/10/1582). 0 for year 0, a missing date,
// or a date too far away for a 32-bit day number.
int DATE_DateVersJulien(const MYDATE* date);

// Calendar date of the Julian day number `julien` into `date` (nothing when date is missing).
void DATE_JulienVersDate(int julien, MYDATE* date);

// Writes "day/month/year" (no padding) of the Julian day number into `buffer`, which must hold
// DATE_JULIEN_TEXT_SIZE bytes, and returns buffer (nullptr when buffer is missing).
char* DATE_JulienVersDateTexte(int julien, char* buffer);

// 1 when the date exists (it survives the round trip through its Julian day), 0 otherwise.
int DATE_Verifier(const MYDATE* date);

// Julian day of `second` minus Julian day of `first` (0 when either is missing).
int DATE_Difference(const MYDATE* first, const MYDATE* second);

// Julian day number of Easter Sunday of `annee` (Gregorian computus).
int DATE_JulienPaques(int annee);

// Splits `secondes` into hours (not reduced modulo 24), minutes and whole seconds.
// 0, or 1 when heure is missing.
int DATE_SecondesVersMYHEURE(double secondes, MYHEURE* heure);

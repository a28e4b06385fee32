// PROFILE: the profile of every column of a data file read through its description, in one
// streaming pass: counts of rows, empty and NULL values, distinct values, minimum and maximum in
// the column's type, the commonest values, the length distribution, a histogram of numbers and
// dates, and the values that do not fit the column's type.
//
// Usage: PROFILE_Run from a front end (a task under the UI port's progress display), or
// PROFILE_Compute inside a task the caller runs. The result is a plain record the caller owns;
// PROFILE_Text and PROFILE_Html (profile/profilereport.h) put it in words.
//
// Memory stays bounded whatever the file, about 1.6 MB a column at most and only as its values
// vary (tables start small and grow): distinct values are counted exactly up to
// PROFILE_EXACT_DISTINCT and then estimated (HyperLogLog over the same 64-bit hashes), the
// commonest values are counted exactly up to PROFILE_EXACT_VALUES different values and then
// followed by a Misra-Gries summary of that size (counts then lower bounds), the histogram keeps
// PROFILE_HISTOGRAM_BINS bins whose width doubles as the range grows.
//
// Values are read as the SQLite load reads them (sqliteload's GenerateValueForData for numbers,
// the shared date check DATETIME_ReadValid for dates and times, blanks around a value ignored,
// the word NULL standing for no value).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "descrecords/records.h"
#include "foundation/task.h"

namespace morvex {

// Commonest values kept in a profile.
constexpr int PROFILE_TOP_VALUES = 10;
// Different values counted exactly before the count is estimated.
constexpr int PROFILE_EXACT_DISTINCT = 65536;
// Different values whose occurrences are counted exactly before a summary takes over.
constexpr int PROFILE_EXACT_VALUES = 4096;
// Bins of a histogram while it is built (the report shows the occupied span of them).
constexpr int PROFILE_HISTOGRAM_BINS = 64;
// Lengths counted one by one; longer values fall into the last class.
constexpr int PROFILE_MAX_LENGTH_CLASS = 256;
// Examples kept of the values that do not fit the column's type, and characters of each.
constexpr int PROFILE_MISFIT_EXAMPLES = 5;
constexpr int PROFILE_EXAMPLE_CHARS = 80;

// How a column's values are compared and charted.
enum class ProfileKind { Text, Integer, Decimal, Date, DateTime };

// One of the commonest values.
struct ProfileValueCount {
    std::string value;  // as read (cut to PROFILE_EXAMPLE_CHARS characters)
    long long count = 0;
};

// One bar of a histogram: the values from `low` (included) to `high` (excluded). Dates count in
// days since 1970-01-01, date-times in seconds since 1970-01-01 00:00:00.
struct ProfileBin {
    double low = 0;
    double high = 0;
    long long count = 0;
};

struct ColumnProfile {
    std::string name;  // the column's code
    int type = DATATYPE_VARIABLECHAR;  // the column's target type (DATATYPE_*)
    ProfileKind kind = ProfileKind::Text;
    long long rows = 0;      // rows of the file (a field missing from a row counts as empty)
    long long empty = 0;     // values made of blanks only, or missing
    long long nulls = 0;     // the word NULL, in any case, blanks around it
    long long values = 0;    // the others: rows - empty - nulls
    long long distinct = 0;  // different values among them (as read)
    bool distinctExact = true;
    std::string minimum;     // smallest and largest value in the column's type (numbers as
    std::string maximum;     // numbers, dates as yyyy-mm-dd, text in byte order); empty: none
    double minimumNumber = 0;  // the same as numbers for numbers and dates
    double maximumNumber = 0;
    std::vector<ProfileValueCount> top;  // commonest first, at most PROFILE_TOP_VALUES, each
                                         // seen more than once
    bool topExact = true;                // false: counts are lower bounds
    std::vector<long long> lengths;  // lengths[n]: values of n characters (blanks included;
                                     // the last class holds the longer ones)
    int minLength = 0;
    int maxLength = 0;
    double meanLength = 0;
    std::vector<ProfileBin> histogram;  // numbers and dates that fit; empty for text
    long long misfits = 0;              // values that do not fit the column's type
    std::vector<std::string> misfitExamples;  // the first different ones
};

struct FileProfile {
    std::string description;  // the description's table name (or project name)
    std::string dataPath;
    long long rows = 0;        // data rows read (the header line excluded)
    long long blankLines = 0;  // empty lines passed over
    long long badRows = 0;     // rows cut, badly encoded or with an unclosed protection
    bool complete = false;     // false: stopped or failed before the end of the file
    std::string failure;       // why the profile could not be made or ended early (French)
    std::vector<ColumnProfile> columns;
};

// Profiles the file at `path` through `desc` in the calling thread, reporting progress through
// `task` (may be nullptr) and testing its stop request once per row. Fills `out`; false with
// out->failure when the file cannot be read or the reading ends early (stop, file changed).
// `desc` is only read; nothing of it is kept.
bool PROFILE_Compute(TASK* task, FileDesc* desc, const char* path, FileProfile* out);

// Runs PROFILE_Compute as the task "Profil des colonnes" under the UI port's progress display
// and returns once it has ended; false when the profile is not complete (out->failure).
bool PROFILE_Run(FileDesc* desc, const char* path, FileProfile* out);

// The kind of a target type (DATATYPE_*).
ProfileKind PROFILE_KindOf(int type);
// A histogram bound as shown to a person: a number, or a date (time) for the date kinds.
std::string PROFILE_BoundText(ProfileKind kind, double bound);

}  // namespace morvex

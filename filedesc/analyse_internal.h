// The analysis's parts (filedesc/analyse.cpp and filedesc/analyse_judge.cpp): what the values of
// a column are, judged value by value, and the blocks of rows in which the reading hands them
// to the threads that judge them. Only the analysis's own files include this header.
//
// One thread reads the rows (filedesc/analyse.cpp): it alone tells the rows of another shape,
// names and adds the columns, reports progress and tests the stop request, row by row, as it
// did alone. The values of the rows it keeps go, copied into blocks of whole rows, to workers
// that judge them (width, type statistics, the kinds of values), each block apart; the blocks'
// judgments are added up in the file's order, so that everything the analysis says is what
// one thread judging every value in turn says.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "datafile/datafile.h"
#include "filedesc/typerecog.h"
#include "filedesc/typestats.h"

namespace analyse_internal {

// What the values of one column are, for a type that holds every one of them. Counted value
// by value in the file's order, or block by block and added up in the file's order (add).
struct ValueKinds {
    int values = 0;           // values that are not empty, blanks or the word NULL
    int integers = 0;         // integers without a leading zero ("0" itself included)
    int zeroPrefixed = 0;     // numbers written with a superfluous leading zero (00012, 00.5)
    int decimals = 0;         // numbers with one decimal point or comma
    int integerDigits = 0;    // most digits before the separator, among integers and decimals
    int decimalDigits = 0;    // most digits after it
    int paddedDecimals = 0;   // among zeroPrefixed, those with a decimal point or comma
    int zeroDates = 0;        // eight zeros (an empty aaaammjj date), while dated
    int grouped = 0;          // among decimals, 1 to 3 digits, a comma, then exactly 3 digits
                              // (99,362: thousands grouped, or a decimal comma)
    int dateLayout = -1;      // the first date layout among the values: the column's picture
    int datetimeLayout = -1;  // the first date-time layout
    int dates[TYPERECOG_DATE_LAYOUTS] = {};          // real days, per layout
    int datetimes[TYPERECOG_DATETIME_LAYOUTS] = {};  // real days and times, per layout
    // Whether every value so far is a number, has a date layout, has a date-time layout. Once
    // one is not, no type of that kind can hold the column and its values are no longer
    // looked at for it; once none is, the column is text and its values no longer counted.
    bool numbers = true;
    bool dated = true;
    bool timed = true;

    bool settled() const { return values > 0 && !numbers && !dated && !timed; }
    // The values of `later`, which come after these in the file.
    void add(const ValueKinds& later);
};

// Counts one value into `kinds`; `seen` is what the recogniser said of it.
void CountValueKind(ValueKinds& kinds, const TYPERECOG_SEEN& seen, const char* text, int length);

// What the values of one column gave: in a block of rows, or in the whole reading.
struct ColumnJudgment {
    bool hasValue = false;        // a value was judged (the column then has statistics)
    int width = 0;                // the longest value, blanks included
    COL_TYPE_STATISTICS stats{};  // their total, as a column's first total starts (zeroed)
    ValueKinds kinds;             // under the detected rules

    // The judgment of `later` values, which come after these in the file.
    void add(const ColumnJudgment& later);
};

// What the workers are asked to judge.
struct JudgingRules {
    bool kinds = false;  // the detected rules: the kinds of values too
    // Workers judging beside the reading thread (0: the reading thread judges each row itself).
    int workers = 0;
    size_t blockBytes = 0;  // bytes of values handed at a time (at least one row)
};

// The values of the rows a reading keeps, judged by `rules.workers` threads in blocks of whole
// rows, or by the reading thread itself. Fed and finished by the reading thread only.
class JudgingPipeline {
public:
    explicit JudgingPipeline(const JudgingRules& rules);
    ~JudgingPipeline();  // waits for the workers
    JudgingPipeline(const JudgingPipeline&) = delete;
    JudgingPipeline& operator=(const JudgingPipeline&) = delete;

    // The values of one row, field k a value of column k; they are copied.
    void addRow(const std::vector<DATAFIELD>& fields);
    // Waits for every value handed to be judged and gives the judgments of the columns, added
    // up in the file's order (one per column up to the last that had a field).
    std::vector<ColumnJudgment> finish();

private:
    struct Shared;
    std::unique_ptr<Shared> shared_;
};

}  // namespace analyse_internal

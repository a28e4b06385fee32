// COL_TYPE_STATISTICS: what the type recogniser saw in one field value, or the total of a
// column's values (held by the column, ColumnDesc::stats).
//
// Records are allocated zeroed with calloc() and released with free(): a per-value record
// belongs to the caller of the recogniser, a column total to its column.
#pragma once

// Longest picture format kept in dateFormat / datetimeFormat.
constexpr int COLSTATS_FORMAT_MAX = 63;

struct COL_TYPE_STATISTICS {
    int isFirst;  // 1 in a column total: the next merge copies the value record instead of adding
    int countIntegersZeroPrefixed;          // integers written with a leading zero (00012)
    int countIntegersNonZeroPrefixed;       // integers without a leading zero
    int countFixedStrings;                  // kept for the decision rule; nothing counts it
    int countVariableStrings;               // plain words, and values that no recogniser accepted
    int countDecimals;                      // decimals with a point or a comma
    int countDecimalsWithPoint;             // decimals written with a point
    int countDecimalsWithComma;             // decimals written with a comma
    int countDecimalsWithPointSignPostfix;  // point decimals with a trailing sign
    int countDecimalsWithCommaSignPostfix;  // comma decimals with a trailing sign
    int countDates;                         // values recognised as a date
    int countDatetimes;                     // values recognised as a date-time
    int minLength;                          // shortest value, in characters, blanks included
    int maxLength;                          // longest value, in characters, blanks included
    int minLengthForIntegerPart;            // merged as a minimum; never filled, stays 0
    int minLengthForDecimalPart;            // merged as a minimum; never filled, stays 0
    int maxLengthForIntegerPart;            // longest integer part among the decimal values
    int maxLengthForDecimalPart;            // longest decimal part among the decimal values
    int lengthIntegerPart;                  // scratch: integer part of the current decimal value
    int lengthDecimalPart;                  // scratch: decimal part of the current decimal value
    char decimalSeparator;                  // scratch: the separator (',' or '.') of that value
    char dateFormat[COLSTATS_FORMAT_MAX + 1];      // picture format of the date layout, or ""
    char datetimeFormat[COLSTATS_FORMAT_MAX + 1];  // picture format of the date-time layout, or ""
};

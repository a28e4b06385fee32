// The column profile in words: the text of `morvexcli profile`, and the HTML report, one
// self-contained file (inline CSS and SVG, no script) that opens in any browser and prints.
//
// Everything taken from the file or the description (names, values, paths) is escaped for HTML
// and its invalid UTF-8 bytes shown as U+FFFD. Pure functions of the profile, any thread.
#pragma once

#include <string>
#include <vector>

#include "profile/profile.h"

namespace morvex {

// Bars shown for a histogram, in the text and in the HTML report.
constexpr int PROFILE_TEXT_BARS = 10;
constexpr int PROFILE_CHART_BARS = 32;

// The histogram's adjacent bins merged into at most `bars` bars of equal width.
std::vector<ProfileBin> PROFILE_Regroup(const std::vector<ProfileBin>& bins, int bars);

// The display name of a column's target type ("Entier", "Date"...).
std::string PROFILE_TypeName(const ColumnProfile& column);

// The distinct count as shown: "1 234", or "≈ 1 234 (estimation)".
std::string PROFILE_DistinctText(const ColumnProfile& column);

// The profile of one column as lines of text (no heading).
std::string PROFILE_ColumnText(const ColumnProfile& column);

// The whole profile as text for a terminal.
std::string PROFILE_Text(const FileProfile& profile);

// The whole profile as one HTML document: one section per column, each with one chart (the
// histogram for numbers and dates, the lengths for text) as inline SVG.
std::string PROFILE_Html(const FileProfile& profile);

}  // namespace morvex

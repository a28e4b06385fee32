// The field splitter ("metteur en file"): splits one line at a separator, honouring a quote
// character, into its fields. Each call works on its own copy: nothing is kept between calls,
// so any thread may split.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Longest field text kept; longer fields are cut.
constexpr int PROMPT_FIELD_MAX = 510;

// The fields of `line`: tabs read as spaces, separators at the end removed, runs of separators
// count as one (no empty field), a quote character turns quoting on or off and is kept in the
// field, a separator inside quotes belongs to the field, a field left inside an open quote at the
// end is dropped, each field is cut at 510 characters. The text ends at its first zero byte. A
// quote character that never occurs (the .fyk reader passes line feed) turns quoting off. A
// separator or quote given as a signed char value (-23) or as a byte (0xE9) is the same.
std::vector<std::string> PROMPT_Split(std::string_view line, int separator, int quote);

// The first field of `line` under the same rules (the key of a KEY=value line), without
// splitting the rest. Empty when the line holds no field.
std::string PROMPT_FirstField(std::string_view line, int separator, int quote);

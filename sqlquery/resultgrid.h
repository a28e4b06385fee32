// What the query tool's result grid does with the rows it holds, without a window: the order of
// a sort by one column, the text copied from a selection, and which values read as numbers.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sqlquery/sqlqueryrows.h"

// Whether `text` is a number as the grid shows one (aligned right, sorted by value): an
// optional minus sign, digits with at most one decimal point, an optional exponent. Nothing
// else (no spaces, no "inf", no hexadecimal).
bool SQLQUERY_LooksNumeric(std::string_view text);

// The rows of `table` in the order of a sort by `column`: missing values (NULL) first, then the
// numbers by value, then the other texts by their bytes (as SQLite orders NULL, numbers and
// texts); equal values keep their order. Descending reverses the whole order, NULLs last.
// Returns false, `order` empty, when `stop` (may be nullptr) was set meanwhile: another thread
// may set it to abandon a long sort. `table` must not change during the call (any thread).
bool SQLQUERY_SortOrder(const SQLQUERY_TABLE& table, int column, bool descending,
                        const std::atomic<bool>* stop, std::vector<uint32_t>& order);

// The text a copy of the grid's selection puts on the clipboard, as spreadsheets paste it: the
// titles of `columns` on the first line, then each of `rows` (indexes into `table`), values
// separated by tabs and lines ended by a line feed; a value holding a tab, a line end or a
// double quote is put between double quotes (those doubled); a missing value is an empty cell.
std::string SQLQUERY_TabText(const SQLQUERY_TABLE& table, const std::vector<int>& rows,
                             const std::vector<int>& columns);

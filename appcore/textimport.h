// Text description import: columns of a description made from a table description written as
// text (one line per column: name, description, type, size), cut by a layout description
// (.fyk) whose columns carry the codes NAME, DESCRIPTION, TYPE and SIZE. Optionally applies the
// correction rules of the ZRT banking system's table descriptions.
//
// User-interface thread only: messages go through morvex::uiPort().
#pragma once

#include <cstddef>

#include "filedesc/filedesc.h"

// Longest line taken from the text, terminator excluded (the line buffer holds 2048 bytes).
constexpr int TXTDESC_LINE_MAX = 2047;
// The longest text imported (far more than the lines of FILEDESC_MAX_COLUMNS columns take).
constexpr size_t TXTDESC_TEXT_MAX = 16u << 20;

// Appends to `target` one column per line of `text` (`length` bytes; lines end with LF or CR
// LF), cut and interpreted with the layout description file `layoutPath`; then, when
// `applyZrt` is set, applies AppliquerCorrectionsZRT to `target`. 0 on success; 1 when an
// argument is missing, the layout cannot be read, a SIZE is refused or the ZRT rules would give
// a width beyond the line-length limit (message box, `target` unchanged).
int TXTDESC_Import(FileDesc* target, const char* text, size_t length, const char* layoutPath,
                   int applyZrt);
// The import of the dialog into gcontexte.currentFile; does nothing (1) without a current
// description. `text` is a terminated text.
int ChargerDescription(const char* text, const char* layoutPath, int applyZrt);
// Interprets one cell `cell` with the layout column `layoutColumn` into `column`: NAME gives the
// code (blanks removed), DESCRIPTION the description, TYPE the target type by keyword, SIZE the
// width and the format of the type already set. 1 when the layout column or the new column is
// missing (the line is abandoned); 2 when SIZE gives a width outside 1..the line-length limit
// (FILEDESC_GetNCarMaxReadWithoutNewLine) or a scale beyond it (nothing set); 3 when NAME is
// longer than COLUMN_CODE_MAX bytes and 4 when DESCRIPTION is longer than COLUMN_DESCRIPTION_MAX
// (nothing cut, nothing set); else 0. A missing cell reads as empty; a SIZE without a number
// gives no width (0).
int AnalyseColumn(const ColumnDesc* layoutColumn, const char* cell, ColumnDesc* column,
                  int applyZrt);
// Applies the ZRT correction rules to every column of `desc` in order, then renumbers the
// positions. 1 for a missing description, and when a width the rules give would fall outside
// 1..the line-length limit (message box, `desc` unchanged).
int AppliquerCorrectionsZRT(FileDesc* desc);

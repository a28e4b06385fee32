// The column grid shown after an analysis, without a window: what each cell says, the edits it
// makes on several columns at once through the editor functions the detail panel uses
// (DESCEDIT_ApplyDetail), each edit one undo step, and the values of the example file that each
// column's type would refuse, as the load would keep them untyped.
//
// User-interface thread only (it changes the description it was given).
#pragma once

#include <string>
#include <vector>

#include "appcore/cutpreview.h"

struct ColumnDesc;
struct FileDesc;

// The grid's columns.
enum ColumnGridField {
    COLUMNGRID_CODE = 0,
    COLUMNGRID_TYPE = 1,
    COLUMNGRID_FORMAT = 2,
    COLUMNGRID_WIDTH = 3,
    COLUMNGRID_MANDATORY = 4,  // "1" or "0"
    COLUMNGRID_IGNORED = 5,    // "1" or "0"
    COLUMNGRID_DESCRIPTION = 6,
};
constexpr int COLUMNGRID_FIELDS = 7;

// The text of a cell: the code, the type's name, the format as the column list shows it, the
// width, "1"/"0", the description.
std::string COLUMNGRID_Text(const ColumnDesc* column, ColumnGridField field);

// Counts, for each column of `desc` in order, the values of the rows of `rows` (a cut of the
// example file with `desc`'s own options; the header row left out) that the column's target
// type would refuse, as the load keeps them untyped. Empty values are not counted.
std::vector<int> COLUMNGRID_CountRefused(FileDesc* desc, const CutPreview& rows);

class ColumnGridEdits {
public:
    explicit ColumnGridEdits(FileDesc* desc) : desc_(desc) {}
    // Gives `field` the value `value` in each of `columns` (columns of the description), as one
    // undo step, and marks the description modified. The refusal the person is shown ("" when
    // made): an unknown type, a format or code the editor refuses, a width outside 1 to
    // FILEDESC's limit, one code for several columns. Nothing changes when it is refused.
    std::string set(const std::vector<ColumnDesc*>& columns, ColumnGridField field,
                    const std::string& value);
    // Undoes the last edit not yet undone; false when there is none.
    bool undo();
    bool canUndo() const { return !steps_.empty(); }

private:
    // What one edit changed: each column with its fields as they were.
    struct Step {
        std::vector<std::pair<ColumnDesc*, ColumnDesc>> before;
    };
    FileDesc* desc_;
    std::vector<Step> steps_;
};

// The result preview ("Aperçu du résultat"): the first rows of the current description's
// example file split into columns, with the column selected in the description list
// highlighted. User-interface thread only.
#pragma once

#include <QTableWidget>

struct ColumnDesc;
struct FileDesc;

namespace morvex {

// Rows the result preview shows at most.
constexpr int RESULTPREVIEW_MAX_ROWS = 19;

// The first width of a preview column: 8 * width + 8 pixels for fixed-width descriptions,
// 8 * (code length + 2) otherwise.
int LISTVIEW_ColumnWidth(const FileDesc* desc, const ColumnDesc* column);
// Rebuilds the columns of a preview list from `desc`: one per column titled with its code, at
// its first width.
void LISTVIEW_BuildColumns(QTableWidget* list, FileDesc* desc);
// Sizes every column to its content, then to at least its title width plus 15 pixels.
void LISTVIEW_AutoResizeColumns(QTableView* list);

class ResultPreview : public QTableWidget {
    Q_OBJECT

public:
    explicit ResultPreview(QWidget* parent = nullptr);

    // Reloads the rows from the current description's example file.
    void refresh();
    // Sets the highlighted column (index from 0, -1 for none) and repaints.
    void selectColumn(int column);
    int highlightedColumn() const { return highlighted_; }

private:
    void paintCells();

    int highlighted_ = -1;  // the column selected in the description list
};

}  // namespace morvex

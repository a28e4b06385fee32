// List columns sized to what they show.
#pragma once

class QAbstractItemView;

namespace morvex {

// Sizes the columns of `view` (a QTreeView or a QTableView, with their widget forms) once: each
// as wide as its widest value and its title, the last one stretching to the right edge. When
// they are together wider than the view, the column `elastic` (one of free text; -1 for none)
// gives up the difference, never becoming narrower than its title; what still does not fit
// scrolls, the last column then keeping its content's width.
void fitColumns(QAbstractItemView* view, int elastic = -1);

// The width that column `column` of `view` needs to show its widest value and its title whole.
int columnContentWidth(QAbstractItemView* view, int column);

// Keeps the columns of `view` fitted as fitColumns does: again after rows are added, removed or
// changed and after the view is resized (once per turn of the event loop, however many changes
// came). Lives as long as the view; call once per view, from the user-interface thread.
void keepColumnsFitted(QAbstractItemView* view, int elastic = -1);

}  // namespace morvex

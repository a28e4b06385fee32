// The primary key and indexes window ("Primary Key and Indexes"), in the lower part of the help
// panel: the current description's key and indexes in two groups, "Clé primaire" and "Index",
// with their column codes. Names are renamed in place; "Supprimer" in the context menu removes
// the selected key or indexes. User-interface thread only; it always shows
// gcontexte.currentFile.
#pragma once

#include <QTreeWidget>

struct IndexDesc;
class QMenu;

namespace morvex {

class PkIndexesWindow : public QTreeWidget {
    Q_OBJECT

public:
    explicit PkIndexesWindow(QWidget* parent = nullptr);

    // Rebuilds both groups from the current description (hidden without one).
    void refresh();
    // "Supprimer": removes the key and the indexes of the selected rows.
    void deleteSelected();
    // The context menu (the caller owns it).
    QMenu* createContextMenu(QWidget* parent);
    // The two group rows.
    QTreeWidgetItem* keyGroup() const { return topLevelItem(0); }
    QTreeWidgetItem* indexGroup() const { return topLevelItem(1); }

signals:
    // The key or indexes changed (the description is marked modified): refresh the indicators.
    void keysChanged();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void onItemChanged(QTreeWidgetItem* item, int column);
    bool refreshing_ = false;  // rows are being built: item changes are not renames
};

}  // namespace morvex

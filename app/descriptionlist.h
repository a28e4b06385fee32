// The description list: the current description's columns, one per row, with their state icon,
// positions, code, description, width, type and format; its context menu carries the column
// commands. User-interface thread only; it always shows gcontexte.currentFile.
#pragma once

#include <QTreeWidget>
#include <vector>

struct ColumnDesc;
class QMenu;

namespace morvex {

class HelpPanel;

class DescriptionList : public QTreeWidget {
    Q_OBJECT

public:
    explicit DescriptionList(QWidget* parent = nullptr);

    // Rebuilds the rows from the current description (hides the list without one).
    void RaffraichirListe();
    // The columns of the selected rows, in list order.
    std::vector<ColumnDesc*> selectedColumns() const;
    // The context menu for the present selection (the caller owns it).
    QMenu* createContextMenu(QWidget* parent);
    // Runs a column command (1081 to 1091); without a description, or a selection where the
    // command needs one, nothing happens.
    void runCommand(int command);
    // What a click does: help panel text and result preview selection.
    void showSelectionDetails();
    // The panel the click writes into (may be nullptr).
    void setHelpPanel(HelpPanel* help) { help_ = help; }
    // The working row (-1 when none).
    int workingRow() const { return workingRow_; }
    // The drawn state icon `n` (1 to 7).
    static QIcon stateIcon(int n);

signals:
    // A column should be highlighted in the result preview (index from 0).
    void columnHighlighted(int index);
    // "Editer": load this column into the detail panel.
    void editRequested(ColumnDesc* column);
    // The description changed: refresh the previews and indicators.
    void descriptionChanged();
    // The key or the indexes changed.
    void keysChanged();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void paintRows();
    void selectRow(int row);

    HelpPanel* help_ = nullptr;
    int workingRow_ = -1;  // the row last moved or opened for editing
};

}  // namespace morvex

// "Colonnes de la description": after an analysis, every column in one grid (code, type, format,
// width, mandatory, ignored, description) with the example file's values its type would refuse
// beside it. A value typed or chosen in a cell goes to every selected row at once, through the
// editor functions the detail panel uses (appcore/columngrid.h); each edit is one step that
// "Annuler la modification" (Ctrl+Z) takes back. The window-free rules are in appcore/.
//
// User-interface thread only; modal while the description it edits is open.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "appcore/columngrid.h"

class QLabel;
class QPushButton;
class QTableView;

namespace morvex {

class ColumnGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    ColumnGridModel(FileDesc* desc, QObject* parent = nullptr);
    // The rows an edit of `row` goes to (the selection when it holds `row`).
    void setRowsOfEdit(std::function<std::vector<int>(int row)> rows) { rowsOfEdit_ = std::move(rows); }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& at) const override;
    bool setData(const QModelIndex& at, const QVariant& value, int role) override;
    // Takes back the last edit; false when there is none.
    bool undo();
    bool canUndo() const { return edits_.canUndo(); }
    // Why the last edit was refused ("" when it was made).
    const QString& refusal() const { return refusal_; }
    // Counts the refused values again from the example file's first rows.
    void countRefused();
    int sampledRows() const { return sampledRows_; }

signals:
    // An edit was made or taken back (the description changed).
    void edited();

private:
    FileDesc* desc_;
    std::vector<ColumnDesc*> columns_;
    ColumnGridEdits edits_;
    CutPreviewSample sample_;
    std::vector<int> refused_;
    int sampledRows_ = 0;
    QString refusal_;
    std::function<std::vector<int>(int)> rowsOfEdit_;
};

class ColumnGridDialog : public QDialog {
    Q_OBJECT

public:
    explicit ColumnGridDialog(FileDesc* desc, QWidget* parent = nullptr);
    QTableView* grid() const { return grid_; }
    ColumnGridModel* model() const { return model_; }
    QLabel* refusalLabel() const { return refusal_; }
    QPushButton* undoButton() const { return undo_; }

private:
    QTableView* grid_;
    ColumnGridModel* model_;
    QLabel* refusal_;
    QLabel* note_;
    QPushButton* undo_;
};

}  // namespace morvex

// The grid under the options of the new-description wizard and of the properties sheet: the
// first rows of the example file as appcore/cutpreview.h cut them, the header line in bold,
// each row headed by its line number in the file, and the rows the options do not fit marked
// (a coloured background, the reason in a tool tip). For a fixed-width description each column
// of the grid is one width of the description, so that the boundaries show between them;
// given the widths (setBoundaries), the grid draws each column as wide as its characters, tells
// in the column's tool tip where it begins and why, and lets the person drag a boundary along
// the header: boundariesMoved then gives the new widths (the grid itself cuts nothing).
//
// User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

#include "appcore/cutpreview.h"

namespace morvex {

class CutPreviewModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit CutPreviewModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    // Shows `preview`; `titles` (may be shorter than the columns) name the grid's columns.
    void setPreview(CutPreview preview, QStringList titles = {});
    const CutPreview& preview() const { return preview_; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Why row `row` is marked ("" when it is not).
    QString markText(int row) const;
    // The tool tips of the grid's columns (may be shorter than the columns).
    void setColumnTips(QStringList tips);

private:
    CutPreview preview_;
    QStringList titles_;
    QStringList tips_;
};

class CutPreviewGrid : public QTableView {
    Q_OBJECT

public:
    explicit CutPreviewGrid(QWidget* parent = nullptr);
    CutPreviewModel* previewModel() const { return model_; }
    void setPreview(CutPreview preview, QStringList titles = {});
    // The widths of a fixed-width cut (in characters) and, per column, why it begins where it
    // does ("" for none): the boundaries become draggable. Empty widths: nothing to drag.
    void setBoundaries(QList<int> widths, QStringList evidence);
    const QList<int>& boundaryWidths() const { return widths_; }
    // Pixels a character takes in the grid's columns.
    int characterWidth() const;

signals:
    // A boundary was dragged: the widths with it moved (the others unchanged).
    void boundariesMoved(QList<int> widths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The boundary whose edge in the header is at `x` (viewport pixels), or -1.
    int boundaryAt(int x) const;
    void sizeColumns();

    CutPreviewModel* model_;
    QList<int> widths_;
    int dragged_ = -1;  // the boundary being dragged, -1 when none
    int dragFrom_ = 0;  // where the drag began (header viewport pixels)
};

}  // namespace morvex

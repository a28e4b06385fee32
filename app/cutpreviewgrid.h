// The grid under the options of the new-description wizard and of the properties sheet: the
// first rows of the example file as appcore/cutpreview.h cut them, the header line in bold,
// each row headed by its line number in the file, and the rows the options do not fit marked
// (a coloured background, the reason in a tool tip). For a fixed-width description each column
// of the grid is one width of the description, so that the boundaries show between them.
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

private:
    CutPreview preview_;
    QStringList titles_;
};

class CutPreviewGrid : public QTableView {
    Q_OBJECT

public:
    explicit CutPreviewGrid(QWidget* parent = nullptr);
    CutPreviewModel* previewModel() const { return model_; }
    void setPreview(CutPreview preview, QStringList titles = {});

private:
    CutPreviewModel* model_;
};

}  // namespace morvex

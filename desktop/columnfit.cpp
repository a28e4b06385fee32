#include "desktop/columnfit.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QObject>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <vector>

namespace morvex {

namespace {

QHeaderView* columnHeader(QAbstractItemView* view) {
    if (auto* tree = qobject_cast<QTreeView*>(view)) return tree->header();
    if (auto* table = qobject_cast<QTableView*>(view)) return table->horizontalHeader();
    return nullptr;
}

// Refits its view once per turn of the event loop after a change of rows or of size.
class ColumnFitter : public QObject {
public:
    ColumnFitter(QAbstractItemView* view, int elastic)
        : QObject(view), view_(view), elastic_(elastic) {
        view->installEventFilter(this);
        QAbstractItemModel* model = view->model();
        if (!model) return;
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved,
                            &QAbstractItemModel::columnsInserted,
                            &QAbstractItemModel::columnsRemoved})
            connect(model, signal, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::headerDataChanged, this, &ColumnFitter::schedule);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == view_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            schedule();
        return false;
    }

private:
    void schedule() {
        if (pending_) return;
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            fitColumns(view_, elastic_);
        });
    }

    QAbstractItemView* view_;  // the view, which owns this object
    int elastic_;              // the column that gives up room, or -1
    bool pending_ = false;     // a fit is queued
};

}  // namespace

int columnContentWidth(QAbstractItemView* view, int column) {
    QHeaderView* header = view ? columnHeader(view) : nullptr;
    if (!header) return 0;
    return std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
}

void fitColumns(QAbstractItemView* view, int elastic) {
    QHeaderView* header = view ? columnHeader(view) : nullptr;
    if (!header || !view->model()) return;
    const int count = header->count();
    std::vector<int> widths(count, 0);
    int total = 0;
    for (int c = 0; c < count; ++c) {
        if (header->isSectionHidden(c)) continue;
        widths[c] = columnContentWidth(view, c);
        total += widths[c];
    }
    const int room = view->viewport()->width();
    if (elastic >= 0 && elastic < count && !header->isSectionHidden(elastic) && total > room)
        widths[elastic] =
            std::max(header->sectionSizeHint(elastic), widths[elastic] - (total - room));
    // The last one stretches to the edge when there is room; otherwise it keeps its content's
    // width too and the view scrolls.
    int needed = 0;
    for (int width : widths) needed += width;
    header->setStretchLastSection(needed <= room);
    for (int c = 0; c < count; ++c)
        if (!header->isSectionHidden(c)) header->resizeSection(c, widths[c]);
}

void keepColumnsFitted(QAbstractItemView* view, int elastic) {
    if (!view) return;
    new ColumnFitter(view, elastic);
    fitColumns(view, elastic);
}

}  // namespace morvex

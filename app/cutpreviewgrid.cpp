#include "app/cutpreviewgrid.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QMouseEvent>

#include <cmath>
#include <vector>

namespace morvex {

void CutPreviewModel::setPreview(CutPreview preview, QStringList titles) {
    beginResetModel();
    preview_ = std::move(preview);
    titles_ = std::move(titles);
    endResetModel();
}

int CutPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(preview_.rows.size());
}

int CutPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : preview_.columns;
}

QString CutPreviewModel::markText(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    const CutPreviewRow& r = preview_.rows[static_cast<size_t>(row)];
    switch (r.mark) {
        case CUTPREVIEW_ROW_FIELD_COUNT:
            return QString("Ligne %1 : %2 champ(s) au lieu de %3")
                .arg(r.line)
                .arg(r.fields.size())
                .arg(preview_.expectedFields);
        case CUTPREVIEW_ROW_UNCLOSED_QUOTE:
            return QString("Ligne %1 : caractère de protection jamais refermé").arg(r.line);
        case CUTPREVIEW_ROW_ENCODING:
            return QString("Ligne %1 : octets invalides dans l'encodage choisi").arg(r.line);
        default:
            return {};
    }
}

QVariant CutPreviewModel::data(const QModelIndex& at, int role) const {
    if (!at.isValid() || at.row() >= rowCount()) return {};
    const CutPreviewRow& row = preview_.rows[static_cast<size_t>(at.row())];
    switch (role) {
        case Qt::DisplayRole: {
            if (at.column() >= static_cast<int>(row.fields.size())) return {};
            const std::string& text = row.fields[static_cast<size_t>(at.column())];
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
        case Qt::BackgroundRole:
            if (row.mark != CUTPREVIEW_ROW_OK) return QBrush(QColor(0xFF, 0xD8, 0xD0));
            return {};
        case Qt::ToolTipRole: {
            const QString why = markText(at.row());
            return why.isEmpty() ? QVariant() : QVariant(why);
        }
        case Qt::FontRole:
            if (row.isHeader) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        default:
            return {};
    }
}

QVariant CutPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= rowCount()) return {};
        const CutPreviewRow& row = preview_.rows[static_cast<size_t>(section)];
        if (role == Qt::DisplayRole)
            return row.mark != CUTPREVIEW_ROW_OK ? QString("%1 !").arg(row.line) : QString::number(row.line);
        if (role == Qt::ToolTipRole) {
            const QString why = markText(section);
            return why.isEmpty() ? QVariant() : QVariant(why);
        }
        return {};
    }
    if (role == Qt::ToolTipRole) {
        if (section < tips_.size() && !tips_[section].isEmpty()) return tips_[section];
        return {};
    }
    if (role != Qt::DisplayRole) return {};
    if (section < titles_.size()) return titles_[section];
    return QString("Champ %1").arg(section + 1);
}

void CutPreviewModel::setColumnTips(QStringList tips) {
    tips_ = std::move(tips);
    if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

CutPreviewGrid::CutPreviewGrid(QWidget* parent) : QTableView(parent) {
    setObjectName("cutPreview");
    model_ = new CutPreviewModel(this);
    setModel(model_);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setDefaultSectionSize(90);
}

void CutPreviewGrid::setPreview(CutPreview preview, QStringList titles) {
    model_->setPreview(std::move(preview), std::move(titles));
    sizeColumns();
}

int CutPreviewGrid::characterWidth() const {
    return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
}

void CutPreviewGrid::setBoundaries(QList<int> widths, QStringList evidence) {
    widths_ = std::move(widths);
    dragged_ = -1;
    QStringList tips;
    int start = 1;
    for (int k = 0; k < widths_.size(); ++k) {
        QString tip = QString("Colonne %1 : caractères %2 à %3 (largeur %4)")
                          .arg(k + 1)
                          .arg(start)
                          .arg(start + widths_[k] - 1)
                          .arg(widths_[k]);
        if (k > 0) {
            const QString why = k < evidence.size() ? evidence[k] : QString();
            tip += "\nDébut : " + (why.isEmpty() ? QString("limite de la description") : why);
        }
        if (widths_.size() > 1)
            tip += "\nFaites glisser le bord de l'en-tête pour déplacer une limite.";
        tips << tip;
        start += widths_[k];
    }
    model_->setColumnTips(tips);
    QHeaderView* header = horizontalHeader();
    if (widths_.isEmpty()) {
        header->viewport()->removeEventFilter(this);
        header->setSectionResizeMode(QHeaderView::Interactive);
    } else {
        header->viewport()->installEventFilter(this);
        header->viewport()->setMouseTracking(true);
        header->setSectionResizeMode(QHeaderView::Fixed);  // the grid moves boundaries itself
    }
    sizeColumns();
}

void CutPreviewGrid::sizeColumns() {
    if (widths_.isEmpty()) return;
    // As wide as its characters, and as its title (a drag moves by characters whatever the
    // column's size).
    const int character = characterWidth();
    for (int k = 0; k < widths_.size() && k < model_->columnCount(); ++k)
        setColumnWidth(k, std::max(widths_[k] * character + 2 * character,
                                   horizontalHeader()->sectionSizeHint(k)));
}

int CutPreviewGrid::boundaryAt(int x) const {
    const QHeaderView* header = horizontalHeader();
    for (int k = 0; k + 1 < widths_.size() && k < model_->columnCount(); ++k) {
        const int edge = header->sectionViewportPosition(k) + header->sectionSize(k);
        if (std::abs(x - edge) <= 4) return k;
    }
    return -1;
}

bool CutPreviewGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched != horizontalHeader()->viewport() || widths_.isEmpty())
        return QTableView::eventFilter(watched, event);
    QWidget* viewport = horizontalHeader()->viewport();
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int x = static_cast<int>(mouse->position().x());
            if (mouse->button() != Qt::LeftButton || boundaryAt(x) < 0) break;
            dragged_ = boundaryAt(x);
            dragFrom_ = x;
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int x = static_cast<int>(mouse->position().x());
            if (dragged_ >= 0) return true;
            viewport->setCursor(boundaryAt(x) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
            break;
        }
        case QEvent::MouseButtonRelease: {
            if (dragged_ < 0) break;
            auto* mouse = static_cast<QMouseEvent*>(event);
            const int moved = static_cast<int>(mouse->position().x()) - dragFrom_;
            const int delta = static_cast<int>(std::lround(static_cast<double>(moved) / characterWidth()));
            std::vector<int> widths(widths_.begin(), widths_.end());
            const bool changed = CUTPREVIEW_MoveBoundary(widths, static_cast<size_t>(dragged_), delta);
            dragged_ = -1;
            if (changed) emit boundariesMoved(QList<int>(widths.begin(), widths.end()));
            return true;
        }
        case QEvent::MouseButtonDblClick:
            if (dragged_ >= 0 || boundaryAt(static_cast<int>(static_cast<QMouseEvent*>(event)->position().x())) >= 0)
                return true;  // no resizing to contents: a boundary is moved by dragging
            break;
        default:
            break;
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace morvex

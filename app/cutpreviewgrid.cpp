#include "app/cutpreviewgrid.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>

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
    if (role != Qt::DisplayRole) return {};
    if (section < titles_.size()) return titles_[section];
    return QString("Champ %1").arg(section + 1);
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
}

}  // namespace morvex

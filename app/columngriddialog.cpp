#include "app/columngriddialog.h"

#include <QAction>
#include <QBrush>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <set>

#include "app/windowplacement.h"
#include "appcore/desceditor.h"
#include "filedesc/filedesc.h"

namespace morvex {

namespace {

constexpr int kRefusedColumn = COLUMNGRID_FIELDS;  // the count beside the fields
// Rows of the example file the refused values are counted on (its first 256 KiB at most).
constexpr int kCountedRows = 100000;

const char* const kTitles[] = {"Code",        "Type",    "Format",      "Largeur",
                               "Obligatoire", "Ignorée", "Description", "Valeurs refusées"};

// The type cell is chosen from the type names.
class TypeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* box = new QComboBox(parent);
        for (int t = DATATYPE_INTEGER; t <= DATATYPE_BOOLEAN; ++t)
            box->addItem(QString::fromUtf8(DESCEDIT_TypeName(t)));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& at) const override {
        static_cast<QComboBox*>(editor)->setCurrentText(at.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& at) const override {
        model->setData(at, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
    }
};

bool isFlag(int field) {
    return field == COLUMNGRID_MANDATORY || field == COLUMNGRID_IGNORED;
}

}  // namespace

ColumnGridModel::ColumnGridModel(FileDesc* desc, QObject* parent)
    : QAbstractTableModel(parent), desc_(desc), columns_(DESCEDIT_Columns(desc)), edits_(desc) {
    std::string error;
    if (desc && desc->ExampleFilePath) sample_.load(desc->ExampleFilePath, error);
    countRefused();
}

void ColumnGridModel::countRefused() {
    refused_.assign(columns_.size(), 0);
    sampledRows_ = 0;
    if (!sample_.loaded()) return;
    const CutPreview rows = sample_.cut(desc_, nullptr, kCountedRows);
    refused_ = COLUMNGRID_CountRefused(desc_, rows);
    for (const CutPreviewRow& row : rows.rows) sampledRows_ += !row.isHeader;
}

int ColumnGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

int ColumnGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMNGRID_FIELDS + 1;
}

QVariant ColumnGridModel::data(const QModelIndex& at, int role) const {
    if (!at.isValid() || at.row() >= rowCount()) return {};
    const ColumnDesc* column = columns_[static_cast<size_t>(at.row())];
    const int field = at.column();
    if (field == kRefusedColumn) {
        const int count = refused_[static_cast<size_t>(at.row())];
        if (role == Qt::DisplayRole) return count;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::BackgroundRole && count > 0) return QBrush(QColor(0xFF, 0xD8, 0xD0));
        if (role == Qt::ToolTipRole && count > 0)
            return QString("%1 valeur(s) des %2 premières lignes du fichier exemple ne conviennent "
                           "pas au type %3")
                .arg(count)
                .arg(sampledRows_)
                .arg(QString::fromUtf8(DESCEDIT_TypeName(column->typeCible.type)));
        return {};
    }
    const QString text = QString::fromStdString(COLUMNGRID_Text(column, ColumnGridField(field)));
    if (isFlag(field)) {
        if (role == Qt::CheckStateRole) return text == "1" ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) return text;
    if (role == Qt::TextAlignmentRole && field == COLUMNGRID_WIDTH)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ColumnGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return section >= 0 && section <= kRefusedColumn ? QString::fromUtf8(kTitles[section])
                                                     : QVariant();
}

Qt::ItemFlags ColumnGridModel::flags(const QModelIndex& at) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(at);
    if (!at.isValid() || at.column() == kRefusedColumn) return f;
    return isFlag(at.column()) ? f | Qt::ItemIsUserCheckable : f | Qt::ItemIsEditable;
}

bool ColumnGridModel::setData(const QModelIndex& at, const QVariant& value, int role) {
    if (!at.isValid() || at.column() == kRefusedColumn) return false;
    std::string text;
    if (isFlag(at.column())) {
        if (role != Qt::CheckStateRole) return false;
        text.assign(1, value.toInt() == Qt::Checked ? '1' : '0');
    } else {
        if (role != Qt::EditRole) return false;
        text = value.toString().toStdString();
        if (text == COLUMNGRID_Text(columns_[static_cast<size_t>(at.row())],
                                    ColumnGridField(at.column())))
            return true;  // unchanged: no undo step
    }
    std::vector<int> rows = rowsOfEdit_ ? rowsOfEdit_(at.row()) : std::vector<int>{at.row()};
    std::vector<ColumnDesc*> chosen;
    for (int row : rows)
        if (row >= 0 && row < rowCount()) chosen.push_back(columns_[static_cast<size_t>(row)]);
    refusal_ = QString::fromStdString(edits_.set(chosen, ColumnGridField(at.column()), text));
    if (!refusal_.isEmpty()) {
        emit edited();
        return false;
    }
    countRefused();
    emit dataChanged(index(0, 0), index(rowCount() - 1, kRefusedColumn));
    emit edited();
    return true;
}

bool ColumnGridModel::undo() {
    if (!edits_.undo()) return false;
    refusal_.clear();
    countRefused();
    emit dataChanged(index(0, 0), index(rowCount() - 1, kRefusedColumn));
    emit edited();
    return true;
}

ColumnGridDialog::ColumnGridDialog(FileDesc* desc, QWidget* parent) : QDialog(parent) {
    setObjectName("columnGridDialog");
    setWindowTitle("Colonnes de la description");
    model_ = new ColumnGridModel(desc, this);
    grid_ = new QTableView;
    grid_->setObjectName("columnGrid");
    grid_->setModel(model_);
    grid_->setItemDelegateForColumn(COLUMNGRID_TYPE, new TypeDelegate(grid_));
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setStretchLastSection(false);
    grid_->horizontalHeader()->setSectionResizeMode(COLUMNGRID_DESCRIPTION, QHeaderView::Stretch);
    // An edit goes to every selected row when the edited one is among them.
    model_->setRowsOfEdit([this](int row) {
        std::set<int> rows;
        for (const QModelIndex& i : grid_->selectionModel()->selectedRows()) rows.insert(i.row());
        if (!rows.count(row)) return std::vector<int>{row};
        return std::vector<int>(rows.begin(), rows.end());
    });

    note_ = new QLabel(
        "Une valeur saisie s'applique à toutes les lignes sélectionnées. « Valeurs refusées » : "
        "valeurs du fichier exemple que le type choisi ne peut pas recevoir.");
    note_->setWordWrap(true);
    refusal_ = new QLabel;
    refusal_->setObjectName("columnGridRefusal");
    refusal_->setWordWrap(true);
    refusal_->setStyleSheet("color: #c00000");
    refusal_->hide();
    undo_ = new QPushButton("Annuler la modification");
    undo_->setShortcut(QKeySequence::Undo);
    undo_->setEnabled(false);
    connect(undo_, &QPushButton::clicked, model_, &ColumnGridModel::undo);
    connect(model_, &ColumnGridModel::edited, this, [this] {
        refusal_->setText(model_->refusal());
        refusal_->setVisible(!model_->refusal().isEmpty());
        undo_->setEnabled(model_->canUndo());
    });
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(undo_, QDialogButtonBox::ResetRole);
    buttons->addButton("Fermer", QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(grid_, 1);
    layout->addWidget(refusal_);
    layout->addWidget(buttons);
    grid_->resizeColumnsToContents();
    placeOnParent(this, parent, QSize(900, 520));
}

}  // namespace morvex

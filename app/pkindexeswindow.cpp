#include "app/pkindexeswindow.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "desktop/columnfit.h"

namespace morvex {

namespace {

IndexDesc* indexOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<IndexDesc*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

// The in-place editor of a name accepts at most 63 characters.
class NameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& at) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, at);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(63);
        return editor;
    }
};

}  // namespace

PkIndexesWindow::PkIndexesWindow(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("pkIndexes");
    setWindowTitle("Primary Key and Indexes");
    setHeaderLabels({"Nom", "Composantes"});
    setIndentation(10);  // the names keep their room under the group rows
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setItemDelegateForColumn(0, new NameDelegate(this));
    for (const char* title : {"Clé primaire", "Index"}) {
        auto* group = new QTreeWidgetItem(this, {QString::fromUtf8(title)});
        group->setFlags(Qt::ItemIsEnabled);
        QFont bold = group->font(0);
        bold.setBold(true);
        group->setFont(0, bold);
        group->setFirstColumnSpanned(true);
    }
    connect(this, &QTreeWidget::itemChanged, this, &PkIndexesWindow::onItemChanged);
    refresh();
    keepColumnsFitted(this);  // the names whole, the components to the right edge
}

void PkIndexesWindow::refresh() {
    FileDesc* desc = gcontexte.currentFile;
    setVisible(desc != nullptr);
    refreshing_ = true;
    for (QTreeWidgetItem* group : {keyGroup(), indexGroup()}) qDeleteAll(group->takeChildren());
    if (desc) {
        const Qt::ItemFlags editable =
            Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
        auto add = [&](QTreeWidgetItem* group, IndexDesc* index, const QString& name) {
            auto* row = new QTreeWidgetItem(
                group, {name, QString::fromStdString(DESCEDIT_IndexComponents(index))});
            row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(index)));
            row->setFlags(index ? editable : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        };
        if (DESCEDIT_HasPrimaryKey(desc))
            add(keyGroup(), &desc->primaryKey, QString::fromUtf8(desc->primaryKey.name));
        else
            add(keyGroup(), nullptr, "<no primary key>");
        for (IndexDesc* index : DESCEDIT_Indexes(desc))
            add(indexGroup(), index, QString::fromUtf8(index->name));
    }
    expandAll();
    refreshing_ = false;
}

void PkIndexesWindow::onItemChanged(QTreeWidgetItem* item, int column) {
    IndexDesc* index = indexOf(item);
    if (refreshing_ || column != 0 || !index) return;
    const QByteArray name = item->text(0).toUtf8();
    FileDesc* desc = gcontexte.currentFile;
    const bool renamed = DESCEDIT_RenameIndex(desc, index, name.constData()) == 0;
    refreshing_ = true;
    item->setText(0, QString::fromUtf8(index->name));  // an empty name gives the old one back
    refreshing_ = false;
    if (renamed) emit keysChanged();
}

void PkIndexesWindow::deleteSelected() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    bool changed = false;
    for (QTreeWidgetItem* item : selectedItems()) {
        IndexDesc* index = indexOf(item);
        if (!index) continue;
        if (index == &desc->primaryKey)
            changed |= DESCEDIT_RemovePrimaryKey(desc) == 0;
        else
            changed |= DESCEDIT_RemoveIndex(desc, index) == 0;
    }
    refresh();
    if (changed) {
        desc->isModified = 1;
        emit keysChanged();
    }
}

QMenu* PkIndexesWindow::createContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    QAction* remove = menu->addAction("Supprimer");
    remove->setEnabled(!selectedItems().isEmpty());
    connect(remove, &QAction::triggered, this, &PkIndexesWindow::deleteSelected);
    return menu;
}

void PkIndexesWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu(this);
    menu->exec(event->globalPos());
    delete menu;
}

}  // namespace morvex

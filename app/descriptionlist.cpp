#include "app/descriptionlist.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "desktop/columnfit.h"
#include "app/dictionarywindow.h"
#include "app/helppanel.h"
#include "datadic/dico.h"
#include "appcore/analysewizard.h"
#include "filedesc/analyse.h"
#include "foundation/trace.h"

namespace morvex {

namespace {

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

ColumnDesc* columnOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<ColumnDesc*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

}  // namespace

DescriptionList::DescriptionList(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    setHeaderLabels(
        {"Num. col", "Début", "Fin", "Code", "Description", "Longueur (car.)", "Type", "Format"});
    // Each column as wide as what it shows, the last one to the right edge; when they do not all
    // fit, the description gives up room first. (No style sheet: it would hide the rows' own
    // colours.)
    keepColumnsFitted(this, 4);
}

void DescriptionList::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    // Grid lines: under the row and at the right of every cell.
    painter->save();
    painter->setPen(QColor(208, 208, 208));
    const QRect& r = option.rect;
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    for (int c = 0; c < columnCount(); ++c) {
        const int x = columnViewportPosition(c) + columnWidth(c) - 1;
        painter->drawLine(x, r.top(), x, r.bottom());
    }
    painter->restore();
}

QIcon DescriptionList::stateIcon(int n) {
    // Green: plain; grey: ignored; orange: warning; blue: remark. Mandatory columns are squares.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor colour = n == 3               ? QColor(160, 160, 160)
                    : (n == 4 || n == 6) ? QColor(240, 150, 0)
                    : (n == 5 || n == 7) ? QColor(40, 110, 220)
                                         : QColor(40, 170, 70);
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    if (n == 2 || n == 6 || n == 7)
        p.drawRect(2, 2, 11, 11);
    else
        p.drawEllipse(2, 2, 11, 11);
    if (n == 3) {
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(5, 5, 10, 10);
        p.drawLine(10, 5, 5, 10);
    } else if (n == 4 || n == 6) {
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(8, 4, 8, 8);
        p.drawPoint(8, 11);
    } else if (n == 5 || n == 7) {
        p.setPen(QPen(Qt::white, 2));
        p.drawPoint(8, 5);
        p.drawLine(8, 7, 8, 11);
    }
    return QIcon(pixmap);
}

void DescriptionList::RaffraichirListe() {
    // The selected columns stay selected across a rebuild.
    const std::vector<ColumnDesc*> selected = selectedColumns();
    ColumnDesc* current = columnOf(currentItem());
    clear();
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) {
        trace("\nPas de contexte de fichier ouvert");
        hide();
        return;
    }
    show();
    for (ColumnDesc* c : DESCEDIT_Columns(desc)) {
        auto* item = new QTreeWidgetItem(
            this, {QString::number(c->Position), QString::number(c->StartPosition),
                   QString::number(c->EndPosition), fromUtf8(c->code), fromUtf8(c->Description),
                   QString::number(c->WidthInChars), fromUtf8(DESCEDIT_TypeName(c->typeCible.type)),
                   QString::fromStdString(DESCEDIT_FormatText(c))});
        item->setIcon(0, stateIcon(DESCEDIT_StateIcon(c)));
        item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(c)));
        if (c == current) setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        if (std::find(selected.begin(), selected.end(), c) != selected.end())
            item->setSelected(true);
    }
    paintRows();
    if (workingRow_ >= 0 && workingRow_ < topLevelItemCount())
        scrollToItem(topLevelItem(workingRow_));
}

void DescriptionList::paintRows() {
    for (int row = 0; row < topLevelItemCount(); ++row) {
        QColor colour = row == workingRow_ ? QColor(210, 155, 155)
                        : row % 2 == 0     ? QColor(240, 240, 240)
                                           : QColor(Qt::white);
        for (int c = 0; c < columnCount(); ++c) topLevelItem(row)->setBackground(c, colour);
    }
}

std::vector<ColumnDesc*> DescriptionList::selectedColumns() const {
    std::vector<ColumnDesc*> columns;
    for (int row = 0; row < topLevelItemCount(); ++row)
        if (topLevelItem(row)->isSelected()) columns.push_back(columnOf(topLevelItem(row)));
    return columns;
}

QMenu* DescriptionList::createContextMenu(QWidget* parent) {
    static const char* const kEntries[] = {
        "Monter",
        "Descendre",
        "Editer",
        "Colonne obligatoire",
        "Ignorer la colonne",
        "Définir comme clé primaire",
        "Définir comme nouvel index",
        "Supprimer",
        "Relancer l'analyse de reconnaissance des types",
        "Relancer l'analyse de reconnaissance des types à partir du fichier complet",
        "Enregistrer dans le dictionnaire de données"};
    FileDesc* desc = gcontexte.currentFile;
    const bool example = desc && desc->ExampleFilePath && *desc->ExampleFilePath;
    DESCEDIT_MENU state =
        DESCEDIT_MenuState(static_cast<int>(selectedColumns().size()), desc != nullptr, example);
    auto* menu = new QMenu(parent);
    for (int i = 0; i < 11; ++i) {
        const int command = ITM_COL_UP + i;
        QString text = command == ITM_COL_DELETE ? QString::fromStdString(state.deleteText)
                                                 : QString::fromUtf8(kEntries[i]);
        QAction* action = menu->addAction(text);
        action->setData(command);
        action->setEnabled(state.enabled[i]);
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        if (command == ITM_COL_EDIT || command == ITM_COL_IGNORE || command == ITM_COL_DELETE ||
            command == ITM_COL_ANALYSEFULL)
            menu->addSeparator();
    }
    return menu;
}

void DescriptionList::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu(this);
    menu->exec(event->globalPos());
    delete menu;
}

void DescriptionList::selectRow(int row) {
    clearSelection();
    if (row >= 0 && row < topLevelItemCount()) {
        topLevelItem(row)->setSelected(true);
        setCurrentItem(topLevelItem(row));
    }
}

void DescriptionList::runCommand(int command) {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    if (command == ITM_COL_ANALYSE || command == ITM_COL_ANALYSEFULL) {
        // Types proposed again from the example file; the columns stay as they are.
        if (!desc->ExampleFilePath || !*desc->ExampleFilePath) return;
        const int rows =
            command == ITM_COL_ANALYSE ? static_cast<int>(gcontexte.fileAnalyseMaxRows) : 9999999;
        FYK_LaunchFileAnalyse(window(), desc, desc->ExampleFilePath, rows, 0);
        RaffraichirListe();
        emit descriptionChanged();
        return;
    }
    std::vector<ColumnDesc*> selection = selectedColumns();
    if (selection.empty()) return;
    switch (command) {
        case ITM_COL_UP:
        case ITM_COL_DOWN: {
            ColumnDesc* column = selection.front();
            DESCEDIT_MoveColumn(desc, column, command == ITM_COL_UP ? -1 : +1);
            RaffraichirListe();
            std::vector<ColumnDesc*> all = DESCEDIT_Columns(desc);
            workingRow_ = static_cast<int>(std::find(all.begin(), all.end(), column) - all.begin());
            paintRows();
            selectRow(workingRow_);
            emit descriptionChanged();
            break;
        }
        case ITM_COL_EDIT: {
            std::vector<ColumnDesc*> all = DESCEDIT_Columns(desc);
            workingRow_ = static_cast<int>(std::find(all.begin(), all.end(), selection.front()) -
                                           all.begin());
            paintRows();
            emit editRequested(selection.front());
            break;
        }
        case ITM_COL_MANDATORY:
        case ITM_COL_IGNORE:
            if (command == ITM_COL_MANDATORY)
                DESCEDIT_ToggleMandatory(selection);
            else
                DESCEDIT_ToggleIgnore(selection);
            RaffraichirListe();
            emit descriptionChanged();
            break;
        case ITM_COL_PRIMARYKEY:
            DESCEDIT_SetPrimaryKey(desc, selection);
            RaffraichirListe();
            emit descriptionChanged();
            emit keysChanged();
            break;
        case ITM_COL_NEWINDEX:
            DESCEDIT_AddIndex(desc, selection);
            emit keysChanged();
            break;
        case ITM_COL_DELETE:
            DESCEDIT_DeleteColumns(desc, selection);
            workingRow_ = -1;
            RaffraichirListe();
            emit descriptionChanged();
            emit keysChanged();
            break;
        case ITM_COL_DICTIONARY:
            // The open dictionary window shows what was sent, then saves it; a read under way
            // ends first, so that what is sent goes to the dictionary it shows.
            if (DictionaryWindow* window = dictionaryWindow()) window->finishLoading();
            if (DESCEDIT_AddToDictionary(
                    desc, selection, DICO_DefaultPath(gcontexte.dictionnariesDirectory).c_str()) > 0)
                requestDictionarySave();
            break;
        default:
            break;
    }
}

void DescriptionList::showSelectionDetails() {
    if (help_) help_->clear();
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (!topLevelItem(row)->isSelected()) continue;
        ColumnDesc* c = columnOf(topLevelItem(row));
        emit columnHighlighted(row);
        if (!help_ || !c) continue;
        if (c->message && *c->message)
            help_->RE_EcrireGrasCouleur("\n" + fromUtf8(c->message), 0x0000FA);
        std::string stats = DESCEDIT_StatisticsText(c);
        if (!stats.empty()) {
            help_->RE_EcrireGrasCouleur("\n\nStatistiques des données de la colonne :", 0);
            help_->RE_EcrireNormal(QString::fromStdString(stats));
        }
    }
}

void DescriptionList::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    showSelectionDetails();
}

void DescriptionList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    runCommand(ITM_COL_EDIT);
}

bool DescriptionList::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        ColumnDesc* c = columnOf(itemAt(help->pos()));
        if (c && c->message && *c->message) {
            QToolTip::showText(help->globalPos(), fromUtf8(c->message), this);
        } else {
            if (c) trace("\nNo Messages for column %s", c->code);
            QToolTip::hideText();
        }
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

}  // namespace morvex

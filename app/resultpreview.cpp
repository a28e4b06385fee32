#include "app/resultpreview.h"

#include <QHeaderView>
#include <cstring>
#include <vector>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "foundation/trace.h"

namespace morvex {

int LISTVIEW_ColumnWidth(const FileDesc* desc, const ColumnDesc* column) {
    return desc->TypeStructFile == STRUCTFILE_FIXED
               ? 8 * column->WidthInChars + 8
               : 8 * (static_cast<int>(std::strlen(column->code)) + 2);
}

void LISTVIEW_BuildColumns(QTableWidget* list, FileDesc* desc) {
    list->setRowCount(0);
    std::vector<ColumnDesc*> columns = DESCEDIT_Columns(desc);
    list->setColumnCount(static_cast<int>(columns.size()));
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const QString code = QString::fromUtf8(columns[i]->code);
        list->setHorizontalHeaderItem(i, new QTableWidgetItem(code));
        list->setColumnWidth(i, LISTVIEW_ColumnWidth(desc, columns[i]));
    }
}

void LISTVIEW_AutoResizeColumns(QTableView* list) {
    list->resizeColumnsToContents();
    QHeaderView* header = list->horizontalHeader();
    const int columns = list->model() ? list->model()->columnCount() : 0;
    for (int i = 0; i < columns; ++i) {
        const QString title = list->model()->headerData(i, Qt::Horizontal).toString();
        int minimum = header->fontMetrics().horizontalAdvance(title) + 15;
        if (list->columnWidth(i) < minimum) list->setColumnWidth(i, minimum);
    }
}

ResultPreview::ResultPreview(QWidget* parent) : QTableWidget(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setStretchLastSection(true);  // no empty band right of the last column
}

void ResultPreview::refresh() {
    setRowCount(0);
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) {
        setColumnCount(0);
        trace("\n[RaffraichirColonnes] No current file opened");
        trace("\n[RaffraichirResultatWithDatafile] No current file opened");
        return;
    }
    LISTVIEW_BuildColumns(this, desc);
    const char* path = desc->ExampleFilePath ? desc->ExampleFilePath : "";
    trace("\n[RaffraichirResultatWithDatafile] fichierExemple=[%s]", path);
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(desc, dialect); !refusal.empty()) {
        trace("\n[RaffraichirResultatWithDatafile] %s", refusal.c_str());
        return;
    }
    DATAFILE* reader =
        DATAFILE_NewIterator(dialect, path, gcontexte.nCarMaxReadWithoutNewLine, 0);
    if (!reader || DATAFILE_Init(reader) != 0) {
        trace("\n[RaffraichirResultatWithDatafile] Erreur lors de la création de l'itérateur");
        DATAFILE_DestroyIterator(reader);
        return;
    }
    std::vector<DATAFIELD> fields;
    int rows = 0;
    while (rows < RESULTPREVIEW_MAX_ROWS && DATAFILE_ReadNextFields(reader, fields)) {
        insertRow(rows);
        for (int c = 0; c < static_cast<int>(fields.size()) && c < columnCount(); ++c)
            setItem(rows, c,
                    new QTableWidgetItem(QString::fromUtf8(fields[c].value, fields[c].length)));
        ++rows;
    }
    DATAFILE_DestroyIterator(reader);
    paintCells();
    LISTVIEW_AutoResizeColumns(this);
}

void ResultPreview::selectColumn(int column) {
    highlighted_ = column;
    trace("\ncolumnHighlighted = %i", column);
    paintCells();
}

void ResultPreview::paintCells() {
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c) {
            QTableWidgetItem* cell = item(r, c);
            if (!cell) setItem(r, c, cell = new QTableWidgetItem());
            cell->setBackground(c == highlighted_ ? QColor(200, 150, 150)
                                : r % 2 == 0      ? QColor(240, 240, 240)
                                                  : QColor(Qt::white));
        }
}

}  // namespace morvex

// The reading thread of a load and the counts every target shares.
#include "sqliteload/loadrows.h"

#include <cstdio>
#include <cstring>

#include "datafile/fixedwidth.h"
#include "datafile/rejects.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace loadrows {

void ReadAndConvert(DATAFILE* reader, const std::vector<const ColumnDesc*>& columnAt, bool strict,
                    bool withRejects, const std::vector<char>& trimmed, LoadQueue& queue) {
    SQLITE4FYK_VALUE value;
    std::vector<DATAFIELD> fields;
    std::unique_ptr<LoadBatch> batch = queue.empty();
    for (;;) {
        if (!DATAFILE_ReadNextFields(reader, fields)) break;
        FIXEDWIDTH_TrimFields(fields, trimmed);
        LoadRow row{};
        row.line = reader->currentRowFirstLine;
        row.rowId = DATAFILE_GetCurrentFileRowID(reader);
        row.readBytes = DATAFILE_GetReadBytes(reader);
        row.fieldCount = fields.size();
        row.multiLineValues = reader->rowMultiLineValues;
        row.firstCell = batch->cells.size();
        // A row that cannot be taken as it is: its encoding, an unclosed protection and a cut
        // line always set it aside, another number of values only in a strict load.
        const bool misshaped = fields.size() != columnAt.size();
        row.reason = reader->lineTooLong        ? LOAD_ROW_TOO_LONG
                     : reader->rowEncodingError ? LOAD_ROW_BAD_ENCODING
                     : reader->rowUnclosedQuote ? LOAD_ROW_UNCLOSED_QUOTE
                     : misshaped && strict      ? LOAD_ROW_BAD_SHAPE
                                                : LOAD_ROW_STORED;
        if (row.reason != LOAD_ROW_STORED && withRejects) {
            const std::string problem =
                DATAFILE_RowProblem(reader, static_cast<int>(fields.size()));
            row.rejectReason = batch->keep(problem.data(), problem.size());
        }
        // Every cell of the row begins as NULL: a short row leaves its last columns so. The
        // batch keeps its capacity from one use to the next.
        batch->cells.resize(row.firstCell + columnAt.size());
        LoadCell* cells = batch->cells.data() + row.firstCell;
        for (size_t i = 0; i < columnAt.size(); ++i) cells[i] = LoadCell{SQLITE_NULL, 0, 0, {}};
        // The reader gives the fields in the order of the columns.
        for (size_t i = 0; i < fields.size() && row.reason == LOAD_ROW_STORED; ++i) {
            const DATAFIELD& field = fields[i];
            if (field.columnIndex != static_cast<int>(i) || i >= columnAt.size()) {
                morvex::trace(
                    "\n[LoadDataFromFile] : Aucune description de colonne : Non prise "
                    "en compte de la colonne");
                continue;
            }
            const ColumnDesc* column = columnAt[i];
            bool asRead = false;
            SQLITE4FYK_ConvertInPlace(column, field.value, field.length, &value, &asRead);
            if (strict && value.notTyped) {
                row.reason = LOAD_ROW_BAD_VALUE;
                if (withRejects) {
                    const std::string reason = "valeur non conforme au type de la colonne : '" +
                                               std::string(field.value, field.length) + "'";
                    row.rejectColumn = batch->keep(column->code, strlen(column->code));
                    row.rejectReason = batch->keep(reason.data(), reason.size());
                }
                break;
            }
            row.notTyped += value.notTyped;
            LoadCell& cell = cells[i];
            cell.type = value.sqliteType;
            cell.integer = value.integer;
            cell.real = value.real;
            if (value.sqliteType == SQLITE_TEXT)
                cell.text = asRead ? batch->keep(field.value != nullptr ? field.value : "",
                                                 static_cast<size_t>(field.length))
                                   : batch->keep(value.text.data(), value.text.size());
        }
        batch->rows.push_back(row);
        const size_t rows = batch->rows.size();
        if (rows == LOAD_BATCH_ROWS ||
            (batch->cells.size() >= LOAD_BATCH_CELLS && rows % LOAD_BATCH_ROW_STEP == 0)) {
            if (!queue.push(std::move(batch))) return;
            batch = queue.empty();
        }
    }
    if (!batch->rows.empty()) queue.push(std::move(batch));
    queue.finish();
}


void CountSetAside(SQLITE4FYK_LOADSTATS& st, const LoadRow& row) {
    ++st.rowsSetAside;
    switch (row.reason) {
        case LOAD_ROW_TOO_LONG:
            ++st.rowsTooLong;
            break;
        case LOAD_ROW_BAD_ENCODING:
            ++st.rowsBadEncoding;
            break;
        case LOAD_ROW_UNCLOSED_QUOTE:
            ++st.rowsUnclosedQuote;
            break;
        case LOAD_ROW_BAD_SHAPE:
            ++st.rowsBadShape;
            break;
        default:
            ++st.rowsBadValue;
            break;
    }
}

void CountOffered(SQLITE4FYK_LOADSTATS& st, const LoadRow& row, size_t columns) {
    if (row.fieldCount != columns) {
        ++st.rowsMisshapedStored;
        if (st.firstMisshapedLine == 0) st.firstMisshapedLine = row.line;
        morvex::trace("\n[LoadDataFromFile] Ligne %i : %zu valeur(s) pour %zu colonne(s).",
                      row.line, row.fieldCount, columns);
    }
    st.valuesNotTyped += row.notTyped;
    if (row.multiLineValues > 0) {
        st.valuesMultiLine += row.multiLineValues;
        if (st.firstMultiLineLine == 0) st.firstMultiLineLine = row.line;
    }
}

bool TooManyRejects(SQLITE4FYK_LOADSTATS& st, const SQLITE4FYK_LOADOPTIONS& opt, int line) {
    if (opt.maxRejects < 0 || st.rowsSetAside + st.rowsRejected <= opt.maxRejects) return false;
    // As bulk loaders do: past the limit nothing of this load is kept.
    st.tooManyRejects = 1;
    snprintf(st.error, sizeof st.error,
             "plus de %i ligne(s) écartée(s) ou rejetée(s), la dernière à la ligne %i",
             opt.maxRejects, line);
    return true;
}

void ReportProgress(TASK* task, int stored, double readBytes, double fileSize) {
    morvex::trace("\n[LoadDataFromFile] %i lignes traitees.", stored);
    const double percent = fileSize > 0 ? 100.0 * readBytes / fileSize : 0.0;
    const std::string message =
        morvex::Format("%i lignes chargées en base de données (%.0f%%)...", stored, percent);
    morvex::uiPort().statusText(message);
    TASK_Report(task, TASK_EVENT_PROGRESS, 100, static_cast<int>(percent), message.c_str());
}

int ReportEnd(TASK* task, const SQLITE4FYK_LOADSTATS& st, const char* tag) {
    if (st.rowsRejected > 0 || st.valuesNotTyped > 0 || st.rowsSetAside > 0) {
        const std::string warning = morvex::Format(
            "%i lignes rejetées par la base, %i lignes écartées, %i valeurs conservées telles "
            "quelles car non conformes à leur type.",
            st.rowsRejected, st.rowsSetAside, st.valuesNotTyped);
        morvex::trace("\n[%s] %s", tag, warning.c_str());
        TASK_Report(task, TASK_EVENT_PROGRESS, 100, 100, warning.c_str());
    }
    if (st.status == SQLITE4FYK_LOAD_INTERRUPTED) {
        const std::string message = morvex::Format(
            "Chargement interrompu après %i lignes lues : aucune ligne enregistrée, la base est "
            "restée telle qu'elle était.",
            st.rows);
        morvex::uiPort().statusText(message);
        TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100, message.c_str());
        return 1;
    }
    const double perSecond = st.seconds > 0 ? st.rowsStored / st.seconds : 0.0;
    const std::string message = morvex::Format("%i lignes chargées en %.12g s (%g lignes / s).",
                                               st.rowsStored, st.seconds, perSecond);
    TASK_Report(task, TASK_EVENT_FINISHED, 100, 100, message.c_str());
    morvex::uiPort().statusText(message);
    return 0;
}

}  // namespace loadrows

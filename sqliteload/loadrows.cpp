// The reading thread of a load and the counts every target shares.
#include "sqliteload/loadrows.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "datafile/rejects.h"
#include "filedesc/descdialect.h"
#include "filedesc/names.h"
#include "foundation/inputfile.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace loadrows {

LoadFiles::LoadFiles(const FileDesc* desc, const SQLITE4FYK_LOADOPTIONS& opt)
    : source_(!opt.sourceColumn.empty()) {
    refusal_ = FILEDESC_MakeDialect(desc, dialect_);
    // No file holds the source column.
    if (refusal_.empty() && source_ && !dialect_.columns.empty()) dialect_.columns.pop_back();
    paths_.push_back(opt.dataPath);
    paths_.insert(paths_.end(), opt.moreDataPaths.begin(), opt.moreDataPaths.end());
    for (size_t i = 0; i < paths_.size(); ++i) {
        names_.push_back(i < opt.dataNames.size() && !opt.dataNames[i].empty()
                             ? opt.dataNames[i]
                             : std::filesystem::path(paths_[i]).filename().string());
        std::error_code error;
        const auto size = std::filesystem::file_size(paths_[i], error);
        if (!error) totalBytes_ += static_cast<double>(size);
    }
}

LoadFiles::~LoadFiles() { DATAFILE_DestroyIterator(reader_); }

bool LoadFiles::openAt(size_t file) {
    DATAFILE_DestroyIterator(reader_);
    reader_ = nullptr;
    current = file;
    if (!refusal_.empty()) {
        failure = refusal_;
        return false;
    }
    reader_ = DATAFILE_NewIterator(dialect_, paths_[file].c_str(), DATAFILE_LINE_LIMIT, 0);
    if (reader_ != nullptr && DATAFILE_Init(reader_) == 0) return true;
    morvex::trace("\n[LoadDataFromFile] Lecture impossible du fichier [%s]", paths_[file].c_str());
    failure = reader_ == nullptr             ? "le fichier n'existe pas ou ne s'ouvre pas"
              : reader_->failure != nullptr ? reader_->failure
                                            : "le fichier ne s'ouvre pas en lecture";
    if (paths_.size() > 1) failure = names_[file] + " : " + failure;
    DATAFILE_DestroyIterator(reader_);
    reader_ = nullptr;
    return false;
}

bool LoadFiles::open() { return openAt(0); }

bool LoadFiles::next(std::vector<DATAFIELD>& fields) {
    while (reader_ != nullptr) {
        if (DATAFILE_ReadNextFields(reader_, fields)) return true;
        blankLines += reader_->blankLines;
        if (reader_->fileChanged) {
            // A file cut or changed meanwhile gave rows that cannot be trusted.
            changed = true;
            failure = reader_->failure != nullptr ? reader_->failure : "";
            if (paths_.size() > 1) failure = names_[current] + " : " + failure;
            return false;
        }
        if (current + 1 == paths_.size()) return false;
        std::error_code error;
        const auto size = std::filesystem::file_size(paths_[current], error);
        if (!error) doneBytes_ += static_cast<double>(size);
        if (!openAt(current + 1)) {
            changed = true;
            return false;
        }
    }
    return false;
}

double LoadFiles::readBytes() const {
    return doneBytes_ + (reader_ != nullptr ? DATAFILE_GetReadBytes(reader_) : 0.0);
}

std::string AddSourceColumn(FileDesc* desc, const std::string& name) {
    if (desc == nullptr) return "aucune description";
    ColumnDesc column{};
    if (name.empty() || name.size() >= sizeof column.code)
        return "le nom de la colonne source doit compter de 1 à " +
               std::to_string(sizeof column.code - 1) + " octets : '" + name + "'";
    if (const std::string refusal = FILEDESC_NameRefusal("la colonne source", name.c_str());
        !refusal.empty())
        return refusal;
    for (const ColumnOwner& other : desc->columns)
        if (morvex::sameColumnName(other->code, name.c_str()))
            return "la description a déjà une colonne " + name;
    snprintf(column.code, sizeof column.code, "%s", name.c_str());
    column.typeCible.type = DATATYPE_TEXT;
    FILEDESC_AjouterColonne(desc, &column);
    return "";
}

void ConvertCell(const ColumnDesc* column, const DATAFIELD& field, LoadBatch& batch,
                 SQLITE4FYK_VALUE& value, LoadCell& cell) {
    bool asRead = false;
    SQLITE4FYK_ConvertInPlace(column, field.value, field.length, &value, &asRead);
    cell.type = value.sqliteType;
    if (cell.type == SQLITE_INTEGER)
        cell.integer = value.integer;
    else if (cell.type == SQLITE_FLOAT)
        cell.real = value.real;
    else if (cell.type == SQLITE_TEXT)
        cell.text = asRead ? batch.keep(field.value != nullptr ? field.value : "",
                                        static_cast<size_t>(field.length))
                           : batch.keep(value.text.data(), value.text.size());
    else
        cell = LoadCell::null();
}

void ReadAndConvert(LoadFiles& files, const std::vector<const ColumnDesc*>& columnAt, bool strict,
                    bool withRejects, LoadQueue& queue) {
    SQLITE4FYK_VALUE value;
    std::vector<DATAFIELD> fields;
    std::unique_ptr<LoadBatch> batch = queue.empty();
    // The columns the files hold: the source column is none of them.
    const size_t read = columnAt.size() - (files.sourceColumn() && !columnAt.empty() ? 1 : 0);
    for (;;) {
        if (!files.next(fields)) break;
        DATAFILE* reader = files.reader();
        LoadRow row{};
        row.file = static_cast<int>(files.current);
        row.line = reader->currentRowFirstLine;
        row.rowId = DATAFILE_GetCurrentFileRowID(reader);
        row.readBytes = files.readBytes();
        row.fieldCount = fields.size();
        row.multiLineValues = reader->rowMultiLineValues;
        row.firstCell = batch->cells.size();
        // A row that cannot be taken as it is: its encoding, an unclosed protection and a cut
        // line always set it aside, another number of values only in a strict load.
        const bool misshaped = fields.size() != read;
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
        // The row's cells, each written once below: converted, or NULL (a short row leaves
        // its last columns so). The batch keeps its capacity from one use to the next.
        batch->cells.resize(row.firstCell + columnAt.size());
        LoadCell* cells = batch->cells.data() + row.firstCell;
        // The reader gives the fields in the order of the columns.
        size_t i = 0;
        for (; i < fields.size() && row.reason == LOAD_ROW_STORED; ++i) {
            const DATAFIELD& field = fields[i];
            if (field.columnIndex != static_cast<int>(i) || i >= read) {
                morvex::trace(
                    "\n[LoadDataFromFile] : Aucune description de colonne : Non prise "
                    "en compte de la colonne");
                if (i < columnAt.size()) cells[i] = LoadCell::null();
                continue;
            }
            const ColumnDesc* column = columnAt[i];
            ConvertCell(column, field, *batch, value, cells[i]);
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
        }
        for (; i < columnAt.size(); ++i) cells[i] = LoadCell::null();
        if (read < columnAt.size() && row.reason == LOAD_ROW_STORED) {
            const std::string& name = files.name(files.current);
            LoadCell& cell = batch->cells[row.firstCell + read];
            cell.type = SQLITE_TEXT;
            cell.text = batch->keep(name.data(), name.size());
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


void StartFileCounts(SQLITE4FYK_LOADSTATS& st, const LoadFiles& files) {
    st.files.assign(files.count(), SQLITE4FYK_FILECOUNTS{});
    for (size_t i = 0; i < files.count(); ++i) st.files[i].name = files.name(i);
}

void CountRead(SQLITE4FYK_LOADSTATS& st, int file) {
    ++st.rows;
    if (file >= 0 && static_cast<size_t>(file) < st.files.size()) ++st.files[file].rows;
}

void CountRejected(SQLITE4FYK_LOADSTATS& st, int file) {
    ++st.rowsRejected;
    if (file >= 0 && static_cast<size_t>(file) < st.files.size()) ++st.files[file].rowsRejected;
}

void CountSetAside(SQLITE4FYK_LOADSTATS& st, const LoadRow& row) {
    ++st.rowsSetAside;
    if (row.file >= 0 && static_cast<size_t>(row.file) < st.files.size())
        ++st.files[row.file].rowsSetAside;
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
        if (st.firstMisshapedLine == 0) {
            st.firstMisshapedLine = row.line;
            st.firstMisshapedFile = row.file;
        }
        morvex::trace("\n[LoadDataFromFile] Ligne %i : %zu valeur(s) pour %zu colonne(s).",
                      row.line, row.fieldCount, columns);
    }
    st.valuesNotTyped += row.notTyped;
    if (row.multiLineValues > 0) {
        st.valuesMultiLine += row.multiLineValues;
        if (st.firstMultiLineLine == 0) {
            st.firstMultiLineLine = row.line;
            st.firstMultiLineFile = row.file;
        }
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
    // A stream has no size: what was read of it is told instead.
    const std::string message =
        fileSize > 0
            ? morvex::Format("%i lignes chargées en base de données (%.0f%%)...", stored, percent)
            : morvex::Format("%i lignes chargées en base de données (%s lus)...", stored,
                             morvex::byteCountText(static_cast<size_t>(readBytes)).c_str());
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

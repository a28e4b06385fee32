// Delimited file analysis, reverse engineering of a description and the line count, each run as
// a task in a worker thread.
#include "filedesc/analyse.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "datafile/bytesource.h"
#include "filedesc/analyse_internal.h"
#include "filedesc/descdialect.h"
#include "filedesc/names.h"
#include "filedesc/typerecog.h"
#include "foundation/date.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"

using analyse_internal::ColumnJudgment;
using analyse_internal::JudgingPipeline;
using analyse_internal::ValueKinds;

namespace {

// The analysis settings, written by the user-interface thread and read by workers.
std::atomic<int> gAnalyseMaxRows{FILEDESC_DEFAULT_ANALYSE_MAX_ROWS};
std::atomic<int> gNCarMaxReadWithoutNewLine{FILEDESC_DEFAULT_NCARMAX_WITHOUT_NEWLINE};
std::atomic<double> gWholeFileBytes{FILEDESC_DEFAULT_WHOLE_FILE_BYTES};

const char* const kAnalyseTaskName = "Analyse d'un fichier de données";
const char* const kStatsTaskName = "Statistiques globales du fichier de données";

// Releases a reader at the end of a scope.
using ReaderPtr = morvex::Owned<DATAFILE, DATAFILE_DestroyIterator>;

// Releases a task list and its tasks.
using TaskListPtr = morvex::Owned<TASKSLIST, TASKSLIST_Destroy>;

// Copies at most `max` bytes of src into dst (zero-terminated), cut between two characters.
void copyCut(char* dst, const char* src, size_t max) {
    morvex::utf8CopyCut(dst, max + 1, src);
}

// Shows `text` in the status bar and reports it through the task.
void statusAndReport(TASK* task, int event, int range, int position, const char* text) {
    morvex::uiPort().statusText(text);
    TASK_Report(task, event, range, position, text);
}

// Runs one task named `name` over `parameter` and returns once its worker has ended; 1 when the
// task cannot be created.
int runOneTask(const char* name, TASK_WORKER worker, void* parameter) {
    TaskListPtr list(TASKSLIST_Create());
    if (!list) return 1;
    TASK* task = TASK_Create(name, worker, parameter);
    if (!task) return 1;
    if (TASKSLIST_AddTask(list.get(), task) != 0) {
        TASK_Destroy(task);
        return 1;
    }
    morvex::uiPort().runTasks(list.get());
    return 0;
}

// Appends a new column named `code` (description `description`) to desc and returns the
// description's record of it; nullptr when memory runs out.
ColumnDesc* addColumn(FileDesc* desc, int position, const char* code, const char* description) {
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    col.Position = position;
    col.typeCible.type = DATATYPE_VARIABLECHAR;
    col.WidthInChars = 0;
    copyCut(col.code, code, COLUMN_CODE_MAX);
    FILEDESC_ScrubName(col.code);  // a header name quoted over several lines
    copyCut(col.Description, description, COLUMN_DESCRIPTION_MAX);
    if (desc->Unquote && desc->QuoteChar) {
        // An analysis that unquotes gives its protecting character to every column it adds.
        col.protectedField = 1;
        col.DelimCharStart = desc->QuoteChar;
        col.DelimCharEnd = desc->QuoteChar;
    }
    if (FILEDESC_AjouterColonne(desc, &col) != 0) return nullptr;
    return desc->columns.back().get();
}

// Rows looked at to find the commonest number of fields.
constexpr int SHAPE_SAMPLE_ROWS = 1000;
// Share of the data rows, in percent, that must have more fields than a header for the header
// to be taken as short.
constexpr int SHORT_HEADER_PERCENT = 90;
// Rows left out that the panel names one by one.
constexpr size_t ODD_ROWS_NAMED = 10;
// Most digits of an Integer: more would not fit a 64-bit integer.
constexpr int INTEGER_DIGITS_MAX = 18;

// The number of columns of a file under the detected rules: the header line's fields (more
// when nearly every row has more), or the commonest number of fields without a header line.
// 0 when the file gives no row. Reads the first rows through `reader` (delivering the header),
// which is then started again.
int DominantFieldCount(FileDesc* desc, DATAFILE* reader) {
    std::vector<DATAFIELD> fields;
    std::map<int, int> frequency;  // fields -> data rows
    int headerFields = 0;
    int dataRows = 0;
    for (int row = 0; row < SHAPE_SAMPLE_ROWS && DATAFILE_ReadNextFields(reader, fields); ++row) {
        int n = static_cast<int>(fields.size());
        if (!fields.empty() && fields[0].isHeader) {
            // A delimiter that ends the header line names no column.
            while (n > 1 && fields[n - 1].length == 0) --n;
            headerFields = n;
            continue;
        }
        ++frequency[n];
        ++dataRows;
    }
    if (DATAFILE_Init(reader) != 0) return 0;
    int commonest = 0;
    int commonestRows = 0;
    for (const auto& [n, rows] : frequency) {
        if (rows > commonestRows) {
            commonest = n;
            commonestRows = rows;
        }
    }
    if (desc->FirstLineIsHeader == 0 || headerFields == 0) return commonest;
    if (commonest > headerFields && commonestRows * 100 >= dataRows * SHORT_HEADER_PERCENT)
        return commonest;
    return headerFields;
}

// Gives `column` the narrowest proposed type that holds every value counted in `kinds`; a
// column without values keeps what the specified decision gave it. `padded`: the values are
// those of a fixed-width file, where zeros pad numbers: a decimal written with leading zeros is
// a decimal, and eight zeros an empty date in a column of dates.
void ProposeTypeHoldingAll(ColumnDesc* column, const ValueKinds& kinds, bool padded) {
    if (kinds.values == 0 || !column->stats) return;
    // Real days and times in the column's first layout; -1 when a value has another kind.
    int dates = kinds.dated && kinds.dateLayout >= 0 ? kinds.dates[kinds.dateLayout] : -1;
    const int datetimes =
        kinds.timed && kinds.datetimeLayout >= 0 ? kinds.datetimes[kinds.datetimeLayout] : -1;
    int integers = kinds.integers;
    int zeroPrefixed = kinds.zeroPrefixed;
    int decimals = kinds.decimals;
    if (padded) {
        zeroPrefixed -= kinds.paddedDecimals;
        decimals += kinds.paddedDecimals;
        if (dates > 0 && dates + kinds.zeroDates == kinds.values) dates = kinds.values;
        // A fixed-width export writes every decimal at its column's scale: whole numbers
        // beside numbers whose comma is followed by three digits (0, 99,362, 100,000) are
        // counts with their thousands grouped, which no numeric type reads back; they stay
        // text, as written.
        if (kinds.grouped > 0 && kinds.grouped == decimals && integers > 0) {
            decimals = 0;
            integers = 0;
        }
    }
    TypeCible& t = column->typeCible;
    const int longest = std::max(1, column->stats->maxLength);
    const bool allNumbers = kinds.numbers && integers + zeroPrefixed + decimals == kinds.values;
    if (dates == kinds.values) {
        t.type = DATATYPE_DATE;
        snprintf(t.fmtDate, sizeof t.fmtDate, "%s", TYPERECOG_DateFormat(kinds.dateLayout));
    } else if (datetimes == kinds.values) {
        t.type = DATATYPE_DATETIME;
        snprintf(t.fmtDateTime, sizeof t.fmtDateTime, "%s",
                 TYPERECOG_DatetimeFormat(kinds.datetimeLayout));
    } else if (kinds.numbers && integers == kinds.values &&
               kinds.integerDigits <= INTEGER_DIGITS_MAX) {
        t.type = DATATYPE_INTEGER;
        t.fmtEntier.taille = kinds.integerDigits;
    } else if (zeroPrefixed > 0 && allNumbers) {
        // Codes such as 00012 or 000879.17: their zeros matter.
        t.type = DATATYPE_FIXEDCHAR;
        t.fmtChaineFixe.taille = longest;
    } else if (allNumbers && decimals > 0) {
        t.type = DATATYPE_DECIMAL;
        t.fmtDecimal.partieEntiere = std::max(1, kinds.integerDigits);
        t.fmtDecimal.partieDecimale = kinds.decimalDigits;
    } else {
        t.type = DATATYPE_VARIABLECHAR;
        t.fmtChaineVar.tailleMax = longest;
    }
}

// The notice of the rows of another shape, naming the first ones; empty when there are none.
std::string oddRowsNotice(const std::vector<FILEANALYSE_ODDROW>& odd, int count, int columns) {
    if (count == 0) return "";
    std::string lines;
    for (size_t i = 0; i < odd.size() && i < ODD_ROWS_NAMED; ++i) {
        if (i) lines += ", ";
        lines += std::to_string(odd[i].line) + " (" + std::to_string(odd[i].fields) + " valeurs)";
    }
    if (count > static_cast<int>(odd.size())) lines += "...";
    char head[160];
    snprintf(head, sizeof head, "\n(!) %i ligne(s) n'ont pas %i valeur(s) : lignes ", count, columns);
    morvex::trace("%s%s", head, lines.c_str());
    return head + lines + ".\n";
}

}  // namespace

// ---- Settings ----

void FILEDESC_SetAnalysisLimits(int fileAnalyseMaxRows, int nCarMaxReadWithoutNewLine) {
    gAnalyseMaxRows.store(fileAnalyseMaxRows > 0 ? fileAnalyseMaxRows
                                                 : FILEDESC_DEFAULT_ANALYSE_MAX_ROWS);
    gNCarMaxReadWithoutNewLine.store(nCarMaxReadWithoutNewLine > 0
                                         ? nCarMaxReadWithoutNewLine
                                         : FILEDESC_DEFAULT_NCARMAX_WITHOUT_NEWLINE);
}

void FILEDESC_SetWholeFileBytes(double bytes) {
    gWholeFileBytes.store(bytes > 0 ? bytes : FILEDESC_DEFAULT_WHOLE_FILE_BYTES);
}

double FILEDESC_GetWholeFileBytes() {
    return gWholeFileBytes.load();
}

int FILEDESC_GetAnalyseMaxRows() {
    return gAnalyseMaxRows.load();
}

int FILEDESC_GetNCarMaxReadWithoutNewLine() {
    return gNCarMaxReadWithoutNewLine.load();
}

// ---- Reverse engineering ----

namespace {

// A fixed-width description of the columns of `layout`, named from its header line or
// COL<n>, whose texts lose their padding when loaded. The columns already there are replaced.
void applyFixedLayout(FileDesc* desc, const FIXEDWIDTH_LAYOUT& layout) {
    while (!desc->columns.empty()) FILEDESC_SupprimerColonne(desc, desc->columns.front().get());
    desc->TypeStructFile = STRUCTFILE_FIXED;
    desc->FieldDelimiter[0] = '\0';
    desc->Unquote = 0;
    desc->QuoteChar = '\0';
    desc->TrimPadding = 1;
    std::vector<std::string> cells;
    char name[32];
    for (size_t k = 0; k < layout.columns.size(); ++k) {
        if (desc->FirstLineIsHeader && k < layout.headerCells.size()) {
            cells.push_back(layout.headerCells[k]);
        } else {
            snprintf(name, sizeof name, "COL%03i", static_cast<int>(k) + 1);
            cells.emplace_back(name);
        }
    }
    const std::vector<std::string> codes = FILEDESC_MakeColumnNames(cells, nullptr);
    for (size_t k = 0; k < codes.size(); ++k) {
        ColumnDesc* column = addColumn(desc, static_cast<int>(k) + 1, codes[k].c_str(), codes[k].c_str());
        if (!column) return;
        column->WidthInChars = layout.columns[k].width;
    }
    FILEDESC_UpdatePositions(desc);
}

}  // namespace

void FILEDESC_ApplyShape(FileDesc* desc, const DATAFILE_SHAPE& shape) {
    if (!desc) return;
    if (!shape.endOfLine.empty()) {
        copyCut(desc->EndOfLine, shape.endOfLine.c_str(), FILEDESC_ENDOFLINE_MAX);
    }
    if (!shape.delimiter.empty()) {
        copyCut(desc->FieldDelimiter, shape.delimiter.c_str(), FILEDESC_DELIMITER_MAX);
    } else if (shape.fixedLayout.columns.empty() && !shape.wholeLineDelimiter.empty()) {
        copyCut(desc->FieldDelimiter, shape.wholeLineDelimiter.c_str(), FILEDESC_DELIMITER_MAX);
    }
    copyCut(desc->Encoding, shape.encoding.c_str(), FILEDESC_ENCODING_MAX);
    desc->Unquote = shape.quote ? 1 : 0;
    desc->QuoteChar = shape.quote;
    if (shape.header >= 0) desc->FirstLineIsHeader = shape.header;
    if (!shape.fixedLayout.columns.empty()) applyFixedLayout(desc, shape.fixedLayout);
}

std::string FILEDESC_TableNameFromFile(const std::string& path) {
    return FILEDESC_MakeIdentifier(morvex::textFileStem(path));
}

std::string FILEDESC_MakeIdentifier(const std::string& stem) {
    // Accented Latin letters of U+00C0..U+00FF (in UTF-8, C3 80..C3 BF) made plain; "_" where
    // there is no plain letter.
    static const char plain[] =
        "AAAAAAACEEEEIIIIDNOOOOO_OUUUUY_s"
        "aaaaaaaceeeeiiiidnooooo_ouuuuy_y";
    std::string name;
    bool gap = false;
    for (size_t i = 0; i < stem.size(); ++i) {
        auto c = static_cast<unsigned char>(stem[i]);
        char out = '\0';
        if (isascii(c) && (isalnum(c) || c == '_')) {
            out = static_cast<char>(c);
        } else if (c == 0xC3 && i + 1 < stem.size()) {
            const auto next = static_cast<unsigned char>(stem[i + 1]);
            if (next >= 0x80 && next <= 0xBF) {
                out = plain[next - 0x80];
                ++i;
            }
        }
        if (out == '\0' || out == '_') {
            gap = true;
            continue;
        }
        if (gap && !name.empty()) name += '_';
        gap = false;
        name += out;
    }
    if (!name.empty() && isdigit(static_cast<unsigned char>(name[0]))) name.insert(0, "_");
    if (name.size() > static_cast<size_t>(FILEDESC_NAME_MAX)) name.resize(FILEDESC_NAME_MAX);
    return name;
}

FILEANALYSE_SAMPLE FILEANALYSE_ReadSample(const std::string& path) {
    FILEANALYSE_SAMPLE sample;
    // A compressed file's sample is of its text.
    sample.bytes = morvex::readTextSample(path.c_str(), DATAFILE_SAMPLE_SIZE, &sample.unreadable);
    if (!sample.unreadable) sample.binary = DATAFILE_DetectBinary(sample.bytes);
    return sample;
}

DATAFILE_SHAPE FILEANALYSE_DetectDialect(const FILEANALYSE_SAMPLE& sample,
                                         const DATAFILE_SHAPE_GIVEN& given) {
    return DATAFILE_DetectShape(sample.bytes, given);
}

FileDesc* FILEANALYSE_NewDescription(const std::string& dataPath, const DATAFILE_SHAPE* shape,
                                     int rules) {
    FileDesc* desc =
        FILEDESC_CreateFileDesc("Nouveau format", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    if (!desc) return nullptr;
    const std::string stem = morvex::textFileStem(dataPath);
    copyCut(desc->ProjectName, stem.c_str(), FILEDESC_PROJECTNAME_MAX);
    FILEDESC_ScrubName(desc->ProjectName);
    FILEDESC_SetDescription(desc, "Fichier de format généré automatiquement par Morvex Fylatek.");
    copyCut(desc->EndOfLine, "\\r\\n", FILEDESC_ENDOFLINE_MAX);
    copyCut(desc->FieldDelimiter, ";", FILEDESC_DELIMITER_MAX);
    desc->FirstLineIsHeader = 1;
    FILEDESC_SetExampleFilePath(desc, dataPath.c_str());
    if (shape) FILEDESC_ApplyShape(desc, *shape);
    if ((rules & FILEANALYSE_DETECTED) != 0)
        copyCut(desc->TableName, FILEDESC_TableNameFromFile(dataPath).c_str(), FILEDESC_NAME_MAX);
    return desc;
}

// ---- Analysis ----

FILEANALYSE_OPTIONS FILEDESC_AnalyseOptions(int maxRows, int addColumns, int rules) {
    FILEANALYSE_OPTIONS options;
    if (maxRows < 0)
        maxRows = (rules & FILEANALYSE_DETECTED) != 0 ? FILEDESC_ANALYSE_AUTO_ROWS
                                                      : gAnalyseMaxRows.load();
    options.maxRows = maxRows;
    options.lineLimit = gNCarMaxReadWithoutNewLine.load();
    options.wholeFileBytes = gWholeFileBytes.load();
    options.rules = rules;
    options.addColumns = addColumns;
    return options;
}

int FYK_RunFileAnalyse(void* window, FileDesc* desc, const char* path,
                       const FILEANALYSE_OPTIONS& options, FILEANALYSE_REPORT* report) {
    morvex::trace("\n[FYK_LaunchFileAnalyse] : Appel");
    if (!desc || !path) return 1;
    // The launcher keeps the task data: runTasks returns only once the worker has ended.
    FILEANALYSE_TASKDATA data{window, desc, path, options, {}};
    const int failed = runOneTask(kAnalyseTaskName, fyk_LaunchFileAnalyseThread, &data);
    if (report) *report = std::move(data.report);
    return failed;
}

void fyk_LaunchFileAnalyseThread(TASK* task) {
    if (!task || !task->parameter) return;
    auto* data = static_cast<FILEANALYSE_TASKDATA*>(task->parameter);
    statusAndReport(task, TASK_EVENT_PROGRESS, 0, 0, "Analyse du fichier délimité...");
    data->report = FILEDESC_AnalyseFile(task, data->desc, data->path.c_str(), data->options);
}

namespace {

// What one reading of the file found beside the columns, for the report and a second reading.
struct AnalysePass {
    bool failed = false;      // no reader, or no memory
    int firstQuotedLine = 0;  // first line with a field in double quotes while the
                              // description does not unquote (0: none)
    int longLines = 0;        // rows cut by the line-length limit
    int firstLongLine = 0;
    int rowsRead = 0;         // rows read, the header included
    int rows = 0;             // data rows read
    bool partial = false;     // stopped by the byte budget before the file's end
    bool reachedEnd = false;  // the rows ran out
};

// Columns a SQLite table may have (SQLite's own limit as built by default).
constexpr int FILEDESC_SQLITE_MAX_COLUMNS = 2000;

// Whether `field` begins with a double quote, as a quoted value does (its closing quote may
// be in a later field when the value holds the delimiter).
bool isDoubleQuoted(const DATAFIELD& field) {
    return field.length >= 1 && field.value[0] == '"';
}

// Removes every column of `desc` (a new description read again from the start).
void removeAllColumns(FileDesc* desc) {
    while (!desc->columns.empty()) FILEDESC_SupprimerColonne(desc, desc->columns.front().get());
}

// What the readings of one analysis gather beside the columns' own statistics.
struct AnalyseState {
    int columnCount = 0;                  // columns under the detected rules
    std::vector<ValueKinds> kinds;        // per column, for a type that holds every value
    std::vector<FILEANALYSE_ODDROW> odd;  // the first rows of another shape, named in the report
    int oddCount = 0;
};

// Where a reading starts: the file's beginning, or a block further in whose first row, likely
// cut, is passed over and whose rows of another shape are left out silently.
struct ReadingStart {
    int64_t offset = 0;
    bool block() const { return offset > 0; }
};

// One analysis under way: the file, its options and the report it fills.
struct Analysis {
    TASK* task;
    const char* path;
    const FILEANALYSE_OPTIONS& options;
    FILEANALYSE_REPORT& report;
    bool detected;
    int lineLimit;  // characters of a line read before it is cut
    int workers;    // threads judging the values beside the reading one

    // Something found for the person to read: in the report and the trace.
    void tell(unsigned colour, const std::string& text) {
        morvex::trace("\n%s", text.c_str());
        report.notices.push_back({colour, text + "\n"});
    }
};

// A reader of `desc`'s dialect over the analysed file, started; null when it cannot be made.
DATAFILE* openReading(const Analysis& a, FileDesc* desc) {
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(desc, dialect); !refusal.empty()) {
        morvex::trace("\n[FILEDESC_AnalyseFileWithSeparatorsV2] %s", refusal.c_str());
        return nullptr;
    }
    ReaderPtr reader(DATAFILE_NewIterator(dialect, a.path, a.lineLimit, 1));
    if (!reader) {
        morvex::trace(
            "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Erreur lors de la création de l'itérateur.");
        return nullptr;
    }
    if (DATAFILE_Init(reader.get()) != 0) {
        morvex::trace(
            "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Erreur lors de l'initialisation de "
            "l'itérateur.");
        return nullptr;
    }
    return reader.release();
}

// Under the detected rules, the columns from the header line (or COL<n> without one): its
// names made loadable, then UndeclaredColumn<n> for the positions it does not name, up to
// `columnCount`. False when memory runs out.
bool addDetectedColumns(Analysis& a, FileDesc* desc, const std::vector<DATAFIELD>& row,
                        int columnCount) {
    const bool hasHeader = desc->FirstLineIsHeader != 0;
    char name[32];
    std::vector<std::string> cells;
    for (size_t k = 0; k < row.size() && static_cast<int>(cells.size()) < columnCount; ++k) {
        if (!hasHeader) {
            snprintf(name, sizeof name, "COL%03i", static_cast<int>(cells.size()) + 1);
            cells.emplace_back(name);
        } else {
            cells.emplace_back(row[k].value, static_cast<size_t>(row[k].length));
        }
    }
    std::vector<std::string> renamed;
    const std::vector<std::string> codes = FILEDESC_MakeColumnNames(cells, &renamed);
    int position = 0;
    for (const std::string& code : codes) {
        ++position;
        morvex::trace("\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne reconnue : [%s]",
                      code.c_str());
        if (!addColumn(desc, position, code.c_str(), code.c_str())) return false;
    }
    while (position < columnCount) {
        ++position;
        snprintf(name, sizeof name, hasHeader ? "UndeclaredColumn%i" : "COL%03i", position);
        morvex::trace(
            "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne non déclarée "
            "ajoutée : [%s]",
            name);
        if (!addColumn(desc, position, name, hasHeader ? "" : name)) return false;
    }
    a.report.renamed = renamed;
    if (!renamed.empty()) {
        std::string list;
        for (size_t i = 0; i < renamed.size() && i < ODD_ROWS_NAMED; ++i)
            list += (i ? ", " : "") + renamed[i];
        if (renamed.size() > ODD_ROWS_NAMED) list += "...";
        a.tell(morvex::PANEL_WARNING, "(!) " + std::to_string(renamed.size()) +
                                          " nom(s) de colonne changé(s) pour pouvoir être "
                                          "chargé(s) : " +
                                          list + ".");
    }
    return true;
}

// The columns the values of one row go to, field k to column k: under the specified rules the
// header line, or the first row without one, names them (a header line's values are not
// judged: `judged` says whether the row's are), and a value past the last column makes an
// undeclared column. False when memory runs out.
bool prepareRowColumns(Analysis& a, FileDesc* desc, const std::vector<DATAFIELD>& row,
                       int rowNumber, int addColumns, bool& judged) {
    const bool hasHeader = desc->FirstLineIsHeader != 0;
    judged = true;
    char name[32];
    int position = 0;
    for (const DATAFIELD& field : row) {
        ++position;
        // a. The header line, or the first row without one, names the columns.
        const bool headerField = hasHeader && field.isHeader;
        if (!a.detected && ((!hasHeader && rowNumber == 1) || headerField)) {
            // The cell as a text: up to its first zero byte, as a name is kept.
            const std::string cell(field.value, static_cast<size_t>(field.length));
            const char* code = cell.c_str();
            if (!hasHeader) {
                snprintf(name, sizeof name, "COL%03i", position);
                code = name;
            }
            morvex::trace(
                "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne "
                "reconnue : [%s]",
                code);
            if (addColumns && !addColumn(desc, position, code, code)) return false;
            if (headerField) {
                judged = false;  // header texts are not analysed
                continue;
            }
        }
        // b. The column at this position, or a new undeclared one.
        if (static_cast<size_t>(position) > desc->columns.size()) {
            snprintf(name, sizeof name, "UndeclaredColumn%i", position);
            if (!addColumn(desc, position, name, "")) return false;
            morvex::trace(
                "\n[FILEDESC_AnalyseFileWithSeparatorsV2] Nouvelle colonne non "
                "déclarée ajoutée : [%s]",
                name);
        }
    }
    return true;
}

// The judgments of a reading's values given to the columns of `desc`, field k's to column k:
// widths, the longest value, blanks included (a fixed-width file's columns have theirs),
// statistics and, under the detected rules, the kinds of values in `state`.
void applyJudgments(const Analysis& a, FileDesc* desc, const std::vector<ColumnJudgment>& judged,
                    AnalyseState& state) {
    const bool fixed = desc->TypeStructFile == STRUCTFILE_FIXED;
    for (size_t k = 0; k < judged.size() && k < desc->columns.size(); ++k) {
        const ColumnJudgment& j = judged[k];
        if (!j.hasValue) continue;
        ColumnDesc* column = desc->columns[k].get();
        if (!fixed && j.width > column->WidthInChars) column->WidthInChars = j.width;
        if (!column->stats) {
            column->stats =
                static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
            if (!column->stats) continue;  // no memory for a total: the values are skipped
        }
        CompileStatistics(column->stats, &j.stats);
        if (a.detected) {
            if (state.kinds.size() <= k) state.kinds.resize(k + 1);
            state.kinds[k].add(j.kinds);
        }
    }
}

// Progress every hundred rows: in bytes for the whole file (the only measure known
// beforehand), else in rows of the limit.
void reportRowProgress(const Analysis& a, DATAFILE* reader, int rowNumber, int maxRows) {
    char message[96];
    if (maxRows == INT_MAX) {
        const double size = DATAFILE_GetFileSize(reader);
        const int percent =
            size > 0 ? static_cast<int>(100.0 * DATAFILE_GetReadBytes(reader) / size) : 0;
        snprintf(message, sizeof message, "%i ligne(s) analysées (%i %%)", rowNumber, percent);
        statusAndReport(a.task, TASK_EVENT_PROGRESS, 100, percent, message);
    } else {
        snprintf(message, sizeof message, "%i/%i ligne(s) analysées", rowNumber, maxRows);
        statusAndReport(a.task, TASK_EVENT_PROGRESS, maxRows, rowNumber, message);
    }
}

// One reading of the file (or of a block of it, `from`): columns, widths, statistics and
// value kinds, gathered into `state`. `watchQuotes`: stop at the first value that begins with a
// double quote (firstQuotedLine). `byteBudget` (0: none) stops the reading once that many
// bytes are read from where it started.
AnalysePass analyseRows(Analysis& a, FileDesc* desc, int maxRows, int addColumns,
                        bool watchQuotes, double byteBudget, AnalyseState& state,
                        ReadingStart from = {}) {
    AnalysePass pass;
    const bool detected = a.detected;
    // The analysis writes the first line it read from: 1 when the description said 0.
    if (desc->BeginFromLine == 0) desc->BeginFromLine = 1;
    // A block is read as a file that skips neither lines nor a header: the description says
    // so while the block is read, its columns gathering the statistics.
    struct BlockSettings {
        FileDesc* desc;  // nullptr: the reading is no block
        int header;
        int begin;
        ~BlockSettings() {
            if (!desc) return;
            desc->FirstLineIsHeader = header;
            desc->BeginFromLine = begin;
        }
    } const restore{from.block() ? desc : nullptr, desc->FirstLineIsHeader, desc->BeginFromLine};
    if (from.block()) {
        desc->FirstLineIsHeader = 0;
        desc->BeginFromLine = 1;
    }
    ReaderPtr reader(openReading(a, desc));
    if (!reader) {
        pass.failed = true;
        return pass;
    }
    std::vector<DATAFIELD> fields;  // the row read, pointing into the reader's text
    if (from.block()) {
        if (fseeko(reader->file, static_cast<off_t>(from.offset), SEEK_SET) != 0) return pass;
        DATAFILE_ReadNextFields(reader.get(), fields);  // the row the block begins inside
    }

    const bool hasHeader = desc->FirstLineIsHeader != 0;
    // Under the detected rules the number of columns is known before the first row.
    const int& columnCount = state.columnCount;
    if (detected && !from.block()) {
        state.columnCount = addColumns ? 0 : static_cast<int>(desc->columns.size());
        if (state.columnCount == 0) state.columnCount = DominantFieldCount(desc, reader.get());
    }
    // The rows are read here, in turn; their values are judged by the workers.
    JudgingPipeline judging(
        {detected, a.workers, a.options.blockBytes > 0 ? a.options.blockBytes : 1});
    int rowNumber = 0;
    auto readRows = [&]() {
        for (;;) {
            if (!DATAFILE_ReadNextFields(reader.get(), fields)) {
                pass.reachedEnd = true;
                break;
            }
            ++rowNumber;
            if (reader->lineTooLong && pass.longLines++ == 0)
                pass.firstLongLine = reader->currentRowFirstLine;
            const int fieldCount = static_cast<int>(fields.size());
            const bool headerRow = hasHeader && !fields.empty() && fields[0].isHeader;
            if (watchQuotes && !headerRow) {
                for (const DATAFIELD& field : fields) {
                    if (isDoubleQuoted(field)) {
                        pass.firstQuotedLine = reader->currentRowFirstLine;
                        return;  // read again, unquoting
                    }
                }
            }
            if (detected && (headerRow || (!hasHeader && rowNumber == 1)) && addColumns &&
                !addDetectedColumns(a, desc, fields, columnCount)) {
                pass.failed = true;
                return;
            }
            bool take = true;  // the row's values count
            if (detected && headerRow) {
                take = false;
            } else if (detected && from.block() && fieldCount != columnCount) {
                take = false;  // a row cut by the block's start, or one told by the whole reading
            } else if (detected && fieldCount != columnCount) {
                // A row of another shape is told, never turned into columns; a longer one is not
                // counted in the types either (its values may be shifted), a shorter one lends the
                // values it has, as a load stores it.
                if (state.odd.size() < ODD_ROWS_NAMED)
                    state.odd.push_back({reader->currentRowFirstLine, fieldCount});
                ++state.oddCount;
                if (fieldCount > columnCount) take = false;
            }
            bool judged = false;
            if (take && !prepareRowColumns(a, desc, fields, rowNumber, addColumns, judged)) {
                pass.failed = true;
                return;
            }
            if (take && judged) judging.addRow(fields);

            if (rowNumber % 100 == 0 && !from.block())
                reportRowProgress(a, reader.get(), rowNumber, maxRows);
            if (rowNumber > maxRows) break;
            if (byteBudget > 0 && DATAFILE_GetReadBytes(reader.get()) >= byteBudget) {
                pass.partial = true;
                break;
            }
            if (TASK_IsStopRequested(a.task)) {
                statusAndReport(a.task, TASK_EVENT_INTERRUPTED, 100, 100,
                                "Annulation de la tâche à la demande de l'utilisateur.");
                break;
            }
        }
    };
    readRows();
    applyJudgments(a, desc, judging.finish(), state);
    if (pass.failed || pass.firstQuotedLine != 0) return pass;
    pass.rowsRead = rowNumber;
    pass.rows = rowNumber - (hasHeader && rowNumber > 0 ? 1 : 0);
    // A file that changed meanwhile, or a compressed stream cut short or corrupt: what was read
    // cannot describe the file.
    if (reader->fileChanged) {
        const std::string text = std::string("Analyse impossible : ") + reader->failure + ".";
        statusAndReport(a.task, TASK_EVENT_NOT_STARTED, 100, 100, text.c_str());
        a.report.failure = text;
        pass.failed = true;
    }
    return pass;
}

// Blocks of a large file read beside its beginning, evenly spaced up to its end.
constexpr int kSpreadBlocks = 64;
constexpr double kSpreadBlockBytes = 512.0 * 1024;

// Reads kSpreadBlocks blocks spread over the rest of a file whose first `headBytes` were read,
// the last one ending at the file's end. Returns the data rows read. A stop request ends it.
int analyseSpreadBlocks(Analysis& a, FileDesc* desc, double headBytes, AnalyseState& state) {
    const double size = static_cast<double>(FileSize(a.path));
    if (size <= headBytes) return 0;
    const double blockBytes = std::min(kSpreadBlockBytes, (size - headBytes) / kSpreadBlocks);
    const double step = (size - headBytes - blockBytes) / kSpreadBlocks;
    int rows = 0;
    for (int b = 1; b <= kSpreadBlocks && !TASK_IsStopRequested(a.task); ++b) {
        ReadingStart from{static_cast<int64_t>(headBytes + step * b)};
        const AnalysePass block =
            analyseRows(a, desc, INT_MAX, 0, false, blockBytes, state, from);
        if (block.failed) break;
        rows += block.rows;
        char message[96];
        snprintf(message, sizeof message, "Échantillon réparti : bloc %i/%i", b, kSpreadBlocks);
        statusAndReport(a.task, TASK_EVENT_PROGRESS, kSpreadBlocks, b, message);
    }
    return rows;
}

// Under the detected rules, the types that hold every value counted and the rows of another
// shape told.
void proposeDetectedTypes(Analysis& a, FileDesc* desc, const AnalyseState& state) {
    SetDefaultTypeFromStatistics(desc);
    size_t position = 0;
    const bool padded = desc->TypeStructFile == STRUCTFILE_FIXED;
    for (const ColumnOwner& column : desc->columns) {
        if (position >= state.kinds.size()) break;
        ProposeTypeHoldingAll(column.get(), state.kinds[position++], padded);
    }
    a.report.columns = state.columnCount;
    a.report.oddRows = state.odd;
    a.report.oddCount = state.oddCount;
    const std::string odd = oddRowsNotice(state.odd, state.oddCount, state.columnCount);
    if (!odd.empty()) a.report.notices.push_back({morvex::PANEL_WARNING, odd});
}

// Columns whose longest value is past the width a description may store (`limit`): Text,
// whose values have no width, at the largest width. Returns their codes.
std::vector<std::string> fitWidthsToLimit(FileDesc* desc, int limit) {
    std::vector<std::string> widened;
    for (const ColumnOwner& column : desc->columns) {
        if (column->WidthInChars <= limit) continue;
        column->WidthInChars = limit;
        column->typeCible.type = DATATYPE_TEXT;
        widened.emplace_back(column->code);
    }
    return widened;
}

// What the detected rules tell once the types are proposed: lines cut, columns made Text,
// too many columns for SQLite, how much of the file the types hold for.
void tellDetectedFindings(Analysis& a, FileDesc* desc, const AnalysePass& pass,
                          double byteBudget) {
    const int limit = a.options.lineLimit;
    if (pass.longLines > 0)
        a.tell(morvex::PANEL_WARNING,
               "(!) " + std::to_string(pass.longLines) + " ligne(s) de plus de " +
                   std::to_string(std::max(limit, FILEDESC_ANALYSE_LINE_LIMIT)) +
                   " caractères, coupée(s) : la première ligne " +
                   std::to_string(pass.firstLongLine) + ".");
    a.report.widened = fitWidthsToLimit(desc, limit);
    if (!a.report.widened.empty()) {
        std::string list;
        for (size_t i = 0; i < a.report.widened.size() && i < ODD_ROWS_NAMED; ++i)
            list += (i ? ", " : "") + a.report.widened[i];
        a.tell(morvex::PANEL_INFO, "(i) Valeurs de plus de " + std::to_string(limit) +
                                       " caractères : type Text pour " + list + ".");
    }
    const int columns = static_cast<int>(desc->columns.size());
    if (columns > FILEDESC_SQLITE_MAX_COLUMNS)
        a.tell(morvex::PANEL_WARNING,
               "(!) " + std::to_string(columns) + " colonnes : une table SQLite en compte "
               "au plus " + std::to_string(FILEDESC_SQLITE_MAX_COLUMNS) +
                   ", le chargement dans SQLite sera refusé.");
    if (byteBudget > 0)
        a.tell(morvex::PANEL_INFO,
               pass.partial ? "(i) Types établis sur un échantillon réparti sur tout le "
                              "fichier : ses " + std::to_string(pass.rows) +
                                  " premières lignes et " + std::to_string(a.report.spreadRows) +
                                  " lignes de " + std::to_string(kSpreadBlocks) +
                                  " blocs jusqu'à sa fin."
                            : "(i) Types établis sur le fichier entier (" +
                                  std::to_string(pass.rows) + " lignes).");
}

}  // namespace

std::vector<std::string> FILEDESC_MakeColumnNames(const std::vector<std::string>& cells,
                                                  std::vector<std::string>* renamed) {
    std::vector<std::string> names;
    std::vector<std::string> taken;  // lower-cased, as SQL compares names
    auto lower = [](std::string v) {
        for (char& c : v) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return v;
    };
    for (size_t i = 0; i < cells.size(); ++i) {
        std::string name = cells[i];
        // Quotes of a header that alone is quoted, blanks and control characters go.
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
            name.back() == name.front()) {
            const char q = name.front();
            std::string inner;
            for (size_t k = 1; k + 1 < name.size(); ++k) {
                inner += name[k];
                if (name[k] == q && name[k + 1] == q && k + 2 < name.size()) ++k;
            }
            name = inner;
        }
        std::string flat;  // each run of control characters (a line end) made one blank
        for (char c : name) {
            const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
            if (!control) flat += c;
            else if (flat.empty() || flat.back() != ' ') flat += ' ';
        }
        name = flat;
        const size_t first = name.find_first_not_of(' ');
        name = first == std::string::npos ? "" : name.substr(first, name.find_last_not_of(' ') - first + 1);
        name.resize(morvex::utf8CutPoint(name, COLUMN_CODE_MAX - 8));
        if (name.empty()) name = "colonne" + std::to_string(i + 1);
        std::string unique = name;
        for (int n = 2; std::find(taken.begin(), taken.end(), lower(unique)) != taken.end(); ++n)
            unique = name + "_" + std::to_string(n);
        taken.push_back(lower(unique));
        if (renamed && unique != cells[i])
            renamed->push_back("« " + cells[i].substr(0, morvex::utf8CutPoint(cells[i], 40)) +
                               " » → " + unique);
        names.push_back(unique);
    }
    return names;
}

FILEANALYSE_REPORT FILEDESC_AnalyseFile(TASK* task, FileDesc* desc, const char* path,
                                        const FILEANALYSE_OPTIONS& options) {
    FILEANALYSE_REPORT report;
    if (!task || !desc || !path) {
        report.failure = "Analyse impossible : aucune description ou aucun fichier.";
        return report;
    }
    const bool detected = (options.rules & FILEANALYSE_DETECTED) != 0;
    const bool quotingGiven = (options.rules & FILEANALYSE_QUOTING_GIVEN) != 0;
    int workers = options.workers;
    if (workers < 0) workers = std::thread::hardware_concurrency() >= 2 ? 2 : 0;
    Analysis a{
        task,
        path,
        options,
        report,
        detected,
        detected ? std::max(options.lineLimit, FILEDESC_ANALYSE_LINE_LIMIT) : options.lineLimit,
        workers};
    // No row limit under the detected rules: the whole file up to a size, else its beginning.
    int maxRows = options.maxRows;
    int addColumns = options.addColumns;
    double byteBudget = 0;
    if (maxRows <= 0) {
        maxRows = INT_MAX;
        if (detected) byteBudget = options.wholeFileBytes;
    }
    morvex::trace("\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Analyzing file [%s] With MaxRows=%i",
                  path, maxRows);
    // The columns of a fixed-width file come from its layout (FILEDESC_ApplyShape): they are
    // only typed here.
    if (desc->TypeStructFile == STRUCTFILE_FIXED && !desc->columns.empty()) addColumns = 0;
    morvex::trace(
        "\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Removing existing column statistics...");
    FILEDESC_RemoveColumnsStats(desc);

    const bool watchQuotes = detected && addColumns && !desc->Unquote && !quotingGiven;
    AnalyseState state;
    AnalysePass pass =
        analyseRows(a, desc, maxRows, addColumns, watchQuotes, byteBudget, state);
    if (!pass.failed && pass.firstQuotedLine != 0) {
        // Quotes the first bytes did not show: the file is read again, unquoting.
        report.requotedAt = pass.firstQuotedLine;
        a.tell(morvex::PANEL_INFO,
               "(i) Valeurs entre guillemets trouvées à la ligne " +
                   std::to_string(pass.firstQuotedLine) +
                   " : elles sont lues comme telles (caractère de protection \").");
        removeAllColumns(desc);
        FILEDESC_RemoveColumnsStats(desc);
        desc->Unquote = 1;
        desc->QuoteChar = '"';
        state = AnalyseState();
        pass = analyseRows(a, desc, maxRows, addColumns, false, byteBudget, state);
    }
    report.rowsRead = pass.rowsRead;
    report.rows = pass.rows;
    report.longLines = pass.longLines;
    report.firstLongLine = pass.firstLongLine;
    if (pass.failed) {
        if (report.failure.empty())
            report.failure = std::string("Analyse impossible : le fichier '") + path +
                             "' ne peut pas être lu.";
        return report;
    }
    // A file larger than the whole-file limit: blocks spread over the rest of it as well (not
    // through a decoder nor a decompressor, whose stream cannot be entered in the middle).
    if (pass.partial && !TASK_IsStopRequested(task) && strncmp(desc->Encoding, "UTF-16", 6) != 0 &&
        !morvex::isCompressedFile(path))
        report.spreadRows = analyseSpreadBlocks(a, desc, byteBudget, state);

    morvex::trace("\nFin de l'analyse du fichier");
    morvex::trace(
        "\n[FILEDESC_AnalyseFileWithSeparatorsV2] : Ajustement automatique des types en "
        "fonction des statistiques de colonnes...");
    TASK_Report(task, TASK_EVENT_PROGRESS, maxRows, pass.rowsRead,
                "Ajustement automatique des types en fonction des statistiques de colonnes...");

    if (!detected) SetDefaultTypeFromStatistics(desc);
    if (detected) {
        proposeDetectedTypes(a, desc, state);
        tellDetectedFindings(a, desc, pass, byteBudget);
    }
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);

    morvex::uiPort().statusText("Terminé.");
    report.stopped = TASK_IsStopRequested(task);
    report.wholeFile = pass.reachedEnd && !report.stopped;
    if (report.stopped) {
        TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100,
                    "Tâche terminée mais écourtée à la demande de l'utilisateur.");
    } else {
        TASK_Report(task, TASK_EVENT_FINISHED, 100, 100, "Tâche terminée.");
    }
    return report;
}

int FILEDESC_AnalyseFileWithSeparatorsV2(TASK* task, FileDesc* desc, const char* path, int maxRows,
                                         int addColumns, int rules) {
    FILEANALYSE_OPTIONS options = FILEDESC_AnalyseOptions(0, addColumns, rules);
    options.maxRows = maxRows;
    return FILEDESC_AnalyseFile(task, desc, path, options).failure.empty() ? 0 : 1;
}

// ---- Line count ----

int FYK_LaunchDatafileComputeStats(void* window, FileDesc* desc, const char* path,
                                   morvex::UiError* error) {
    if (!desc || !path) {
        if (error)
            *error = {"Statistiques de fichier",
                      "Aucune description de fichier ou aucun fichier n'est défini. Opération "
                      "annulée.",
                      morvex::UiIcon::Warning};
        return 1;
    }
    DATAFILESTATS_TASKDATA data{window, desc, path, {}};
    runOneTask(kStatsTaskName, fyk_LaunchDatafileComputeStatsThread, &data);
    return 0;
}

void fyk_LaunchDatafileComputeStatsThread(TASK* task) {
    if (!task || !task->parameter) return;
    auto* data = static_cast<DATAFILESTATS_TASKDATA*>(task->parameter);
    // The count reports its own failure (kind 7) and interruption (kind 6); only a complete
    // count is announced as the file's total.
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(data->desc, dialect); !refusal.empty()) {
        TASK_Report(task, TASK_EVENT_NOT_STARTED, 100, 0, refusal.c_str());
        return;
    }
    if (DATAFILE_ComputeStats(task, dialect, data->path.c_str(), &data->stats) != 0) return;
    if (TASK_IsStopRequested(task)) return;
    char message[160];
    int told = snprintf(message, sizeof message, "Le fichier contient au total %i lignes.",
                        data->stats.nbLines);
    // Empty lines are no rows: how many were passed over follows, on a line of its own.
    if (data->stats.blankLines > 0 && told > 0 && static_cast<size_t>(told) < sizeof message)
        snprintf(message + told, sizeof message - told, "\n%i ligne(s) vide(s) ignorée(s).",
                 data->stats.blankLines);
    TASK_Report(task, TASK_EVENT_FINISHED, 1, 1, message);
}

// morvexcli analyse, preview and count: the commands that read a data file through a
// description.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "appcore/analysewizard.h"
#include "appcore/application.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/descview.h"
#include "cli/typedrows.h"
#include "datafile/bytesource.h"
#include "datafile/datafile.h"
#include "datafile/detect.h"
#include "datafile/fixedwidth.h"
#include "datafile/rejects.h"
#include "filedesc/analyse.h"
#include "filedesc/descdialect.h"
#include "foundation/csv.h"
#include "foundation/utf8.h"
#include "sqliteload/loadrows.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace fs = std::filesystem;

namespace morvex {
namespace {

CliUiPort& cliPort() { return static_cast<CliUiPort&>(uiPort()); }

// Row limit of an analysis: the whole file, N rows, or by default the setting (the whole file
// up to 100 MB under the detected rules).
int analysisRows(bool all, int rows, bool detected) {
    if (all) return INT_MAX;
    if (rows > 0) return rows;
    return detected ? FILEDESC_ANALYSE_AUTO_ROWS : FILEDESC_GetAnalyseMaxRows();
}

// Status of a command after its task: 0 finished, 1 interrupted or not started.
int taskStatus() {
    int event = cliPort().finalEvent;
    return event == TASK_EVENT_INTERRUPTED || event == TASK_EVENT_NOT_STARTED ? CLI_FAILURE
                                                                               : CLI_OK;
}

// Tells one guess on standard error.
void tellGuess(const char* what, const std::string& value) {
    cliNote(std::string(what) + " : " + value);
}

// Resolves the options of a new analysis into what the description is given (an empty
// delimiter or end of line: the analysis default): with `--plain` each is taken as given (and
// "auto" guessed); otherwise what the file's first bytes say fills every option not given.
// Each guess is told on standard error. CLI_OK, or the status of a refusal (told): an option
// that is not usable (usage), a file that is empty or not text (failure).
int guessFileShape(const AnalyseOptions& o, DATAFILE_SHAPE& g) {
    const bool quoteNone = o.quote == "none";
    if (o.quote.size() > 1 && !quoteNone) {
        cliError("Caractère de protection invalide : '" + o.quote +
                 "' (un seul caractère, ou none).");
        return CLI_USAGE;
    }
    std::string encoding = o.encoding;
    for (char& c : encoding) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (encoding.size() > FILEDESC_ENCODING_MAX) {
        cliError("Encodage invalide : '" + o.encoding + "'.");
        return CLI_USAGE;
    }
    const bool detect = !o.plain;
    const bool guessEncoding = encoding == "AUTO" || (detect && encoding.empty());
    const bool guessEol = o.eol == "auto" || (detect && o.eol.empty());
    const bool guessDelimiter = o.delimiter == "auto" || (detect && o.delimiter.empty());
    const bool guessQuote = detect && o.quote.empty();
    const bool guessHeader = detect && !o.header && !o.noHeader;

    // The analysis's own first stages: the sample, then the dialect it shows.
    const FILEANALYSE_SAMPLE read = FILEANALYSE_ReadSample(o.file);
    const std::string& sample = read.bytes;
    if (read.unreadable) {
        cliError("Le fichier '" + o.file + "' est illisible (" + read.unreadable +
                 ") : aucune description n'est écrite.");
        return CLI_FAILURE;
    }
    if (sample.empty()) {
        cliError("Le fichier '" + o.file + "' est vide : aucune description n'est écrite.");
        return CLI_FAILURE;
    }
    if (read.binary) {
        cliError("Fichier binaire : '" + o.file + "' (" + read.binary +
                 ") n'est pas un fichier de données texte.");
        return CLI_FAILURE;
    }
    DATAFILE_SHAPE_GIVEN given;
    // An encoding given empty (--plain) reads the bytes as they are: a name no converter knows
    // stands for it while guessing.
    given.encoding = guessEncoding ? "" : encoding.empty() ? std::string(" ") : encoding;
    given.endOfLine = guessEol ? "" : o.eol.empty() ? "\\r\\n" : o.eol;
    given.delimiter = guessDelimiter ? "" : o.delimiter.empty() ? ";" : o.delimiter;
    given.quote = guessQuote ? -1 : o.quote.size() == 1 ? static_cast<unsigned char>(o.quote[0]) : 0;
    given.header = guessHeader ? -1 : o.noHeader ? 0 : 1;
    g = FILEANALYSE_DetectDialect(read, given);
    if (g.encoding == " ") g.encoding.clear();  // the bytes as they are
    if (!o.widths.empty()) {
        // Widths given: the columns are cut there, whatever the lines show.
        std::vector<int> widths;
        std::string refusal;
        if (!FIXEDWIDTH_ParseWidths(o.widths, widths, refusal)) {
            cliError(refusal);
            return CLI_USAGE;
        }
        const std::string text = DATAFILE_SampleToUtf8(sample, g.encoding.c_str());
        const std::string eol = DATAFILE_NotationBytes(
            g.endOfLine.empty() ? given.endOfLine : g.endOfLine, DATAFILE_LINE_END_MAX);
        g.fixedLayout = FIXEDWIDTH_ForceColumns(
            FIXEDWIDTH_SampleLines(text, eol.c_str(), sample.size() >= DATAFILE_SAMPLE_SIZE), widths);
        g.fixedWidth = FIXEDWIDTH_Describe(g.fixedLayout);
        g.delimiter.clear();
        g.quote = '\0';
        if (guessHeader) g.header = g.fixedLayout.header ? 1 : 0;
    }

    if (guessEncoding) {
        tellGuess("Encodage détecté", g.encoding);
        const std::vector<int>& invalidLines = g.invalidLines;
        if (!invalidLines.empty()) {
            std::string lines;
            for (size_t i = 0; i < invalidLines.size() && i < 10; ++i)
                lines += (i ? ", " : "") + std::to_string(invalidLines[i]);
            if (invalidLines.size() > 10) lines += "...";
            fprintf(stderr,
                    "(!) %zu ligne(s) du début du fichier ne sont pas en %s valide (lignes %s) : "
                    "elles seront écartées à la lecture.\n",
                    invalidLines.size(), g.encoding.c_str(), lines.c_str());
        }
    }
    if (guessEol) {
        if (!g.endOfLine.empty()) {
            tellGuess("Fin de ligne détectée", g.endOfLine);
        } else if (o.eol == "auto") {
            cliError("Aucune fin de ligne trouvée au début du fichier '" + o.file + "'.");
            return CLI_USAGE;
        }
    }
    if (!o.widths.empty())
        cliNote("Fichier à largeur fixe : " + g.fixedWidth);
    else if (!o.plain && !g.fixedWidth.empty() && guessDelimiter)
        cliNote("Fichier à largeur fixe probable : " + g.fixedWidth);
    if (guessDelimiter && o.widths.empty()) {
        if (!g.delimiter.empty()) {
            tellGuess("Délimiteur détecté", g.delimiter);
        } else if (o.delimiter == "auto") {
            cliError("Aucun délimiteur (; , tabulation |) ne découpe le début du fichier '" +
                     o.file + "'.");
            return CLI_USAGE;
        } else if (g.fixedWidth.empty()) {
            cliNote("Aucun délimiteur (; , tabulation |) détecté : une seule colonne.");
        }
    } else if (!o.delimiter.empty()) {
        g.delimiter = o.delimiter;
    }
    if (guessQuote && !g.delimiter.empty())
        tellGuess("Caractère de protection détecté",
                  g.quote ? std::string(1, g.quote) : std::string("aucun"));
    if (guessHeader) tellGuess("Ligne d'en-tête détectée", g.header ? "oui" : "non");
    return CLI_OK;
}

}  // namespace

namespace {
int analyseNewFile(const AnalyseOptions& o, const std::string& stream, int maxRows, int rules);
}  // namespace

int commandAnalyse(const AnalyseOptions& o) {
    const int rules = o.plain ? FILEANALYSE_SPECIFIED : FILEANALYSE_DETECTED;
    int maxRows = analysisRows(o.all, o.rows, rules == FILEANALYSE_DETECTED);
    if (o.update) {
        DescPtr desc = openDescription(o.file);
        if (!desc) return CLI_FAILURE;
        std::string data = dataFileOf(*desc, "");
        if (!checkDataFile(data)) return CLI_FAILURE;
        if (FYK_LaunchFileAnalyse(nullptr, desc.get(), data.c_str(), maxRows, 0, rules) != 0) {
            cliError("Impossible de lancer l'analyse du fichier '" + data + "'.");
            return CLI_FAILURE;
        }
        int status = taskStatus();
        if (!saveDescription(desc.get(), o.file)) return CLI_FAILURE;
        if (!writeOut(descriptionToTable(*desc))) return CLI_FAILURE;
        return status;
    }

    // A stream is analysed from a private copy named after it (standard input: "stdin").
    SpooledInput spool;
    AnalyseOptions given = o;
    const bool stream = isStreamInput(given.file);
    std::string streamName = fs::path(given.file).filename().string();
    if (given.file == "-" || streamName.empty() ||
        streamName.find_first_not_of("0123456789") == std::string::npos)
        streamName = "stdin";
    if (!prepareDataFile(given.file, spool, streamName)) return CLI_FAILURE;
    return analyseNewFile(given, stream ? o.file : std::string(), maxRows, rules);
}

namespace {

// The analysis of a new file; `stream` names the stream it was copied from ("" for a file):
// the description then names no example file (its copy is gone once the command ends).
int analyseNewFile(const AnalyseOptions& o, const std::string& stream, int maxRows, int rules) {
    DATAFILE_SHAPE shape;
    if (const int refused = guessFileShape(o, shape); refused != CLI_OK) return refused;
    if (!shape.delimiter.empty()) {
        char converted[FILEDESC_DELIMITER_MAX + 1] = "";
        if (shape.delimiter.size() > FILEDESC_DELIMITER_MAX ||
            FILEDESC_ConvertEndOfLine(shape.delimiter.c_str(), converted, sizeof converted) != 0 ||
            !converted[0]) {
            cliError("Délimiteur invalide : '" + shape.delimiter + "'.");
            return CLI_USAGE;
        }
    }
    CliUiPort& port = cliPort();
    // The description written to standard output: the analysis's report goes to error.
    if (o.output == "-") port.panelToStderr = true;
    const int quoting = o.plain || o.quote.empty() ? 0 : FILEANALYSE_QUOTING_GIVEN;
    DescPtr desc(FILEANALYSE_NewDescription(o.file, &shape, rules | quoting));
    if (!desc) {
        cliError("L'analyse du fichier '" + o.file + "' n'a pas pu être lancée.");
        return CLI_FAILURE;
    }
    if (o.noHeader) desc->FirstLineIsHeader = 0;
    if (o.header) desc->FirstLineIsHeader = 1;
    desc->isModified = 1;
    FILEANALYSE_REPORT report;
    if (FYK_RunFileAnalyse(nullptr, desc.get(), o.file.c_str(),
                           FILEDESC_AnalyseOptions(maxRows, 1, rules | quoting), &report) != 0) {
        cliError("L'analyse du fichier '" + o.file + "' n'a pas pu être lancée.");
        return CLI_FAILURE;
    }
    showAnalysisReport(report);
    int status = taskStatus();
    // A reading that failed (a stream cut short, a file changed meanwhile) describes nothing.
    if (port.finalEvent == TASK_EVENT_NOT_STARTED) return CLI_FAILURE;
    std::string out = o.output.empty() ? textFileStem(o.file) + ".fyk" : o.output;
    if (!stream.empty()) FILEDESC_SetExampleFilePath(desc.get(), "");
    if (!saveDescription(desc.get(), out)) return CLI_FAILURE;
    // Written to standard output, the description is the result.
    if (out != "-" && !writeOut(descriptionToTable(*desc))) return CLI_FAILURE;
    return status;
}

}  // namespace

namespace {

// Writes rows to standard output in one of three shapes.
class RowWriter {
public:
    enum class Shape { Table, Csv, Json };
    RowWriter(Shape shape, std::vector<std::string> titles) : shape_(shape), titles_(std::move(titles)) {}
    virtual ~RowWriter() = default;

    void begin() {
        if (shape_ == Shape::Csv) {
            for (size_t i = 0; i < titles_.size(); ++i) {
                if (i) out_ += ',';
                morvex::csvAppendCell(out_, titles_[i], ',');
            }
            out_ += '\n';
        } else if (shape_ == Shape::Json) {
            nlohmann::json cols = titles_;
            out_ += "{\"columns\":" + cols.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                    ",\"rows\":[";
        }
    }

    // One row whose fields point into the reader's row text.
    void row(int line, bool header, const std::vector<DATAFIELD>& fields) {
        if (shape_ == Shape::Csv) {
            for (size_t i = 0; i < fields.size(); ++i) {
                if (i) out_ += ',';
                morvex::csvAppendCell(
                    out_, std::string_view(fields[i].value, static_cast<size_t>(fields[i].length)),
                    ',');
            }
            out_ += '\n';
        } else {
            std::vector<std::string> values;
            values.reserve(fields.size());
            for (const DATAFIELD& f : fields)
                values.emplace_back(f.value, static_cast<size_t>(f.length));
            if (shape_ == Shape::Json) {
                nlohmann::json j{{"line", line}, {"header", header}, {"values", values}};
                if (rows_) out_ += ',';
                out_ += j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            } else {
                table_.push_back(std::move(values));
            }
        }
        ++rows_;
        if (out_.size() > (1 << 20)) flush();
    }

    // A line told after the row count of the table shape (on standard error for the others).
    void note(const std::string& line) {
        if (shape_ == Shape::Table)
            notes_ += line + "\n";
        else
            cliNote(line);
    }

    bool end() {
        if (shape_ == Shape::Json) out_ += "]}\n";
        if (shape_ == Shape::Table) renderTable();
        return flush();
    }

private:
    void renderTable() {
        out_ += formatTable(titles_, table_);
        out_ += "\n" + std::to_string(rows_) + " ligne(s)\n" + notes_;
    }

    bool flush() {
        bool ok = writeOut(out_);
        out_.clear();
        return ok;
    }

    Shape shape_;
    std::vector<std::string> titles_;
    std::vector<std::vector<std::string>> table_;
    std::string out_;
    std::string notes_;
    int rows_ = 0;
};

// A batch of the typed export ends at this many rows, or once its texts hold this many bytes;
// it goes through the loads' queue (loadrows.h), each row one LoadRow (only its firstCell
// told) and one LoadCell per column.
constexpr size_t kTypedBatchRows = 4096;
constexpr size_t kTypedBatchBytes = 1u << 20;

// The reading thread: the rows of `reader` (at most `rows`, 0: all; header lines aside) cut,
// converted for `columns` and gathered into batches for `queue`. Touches only the reader and
// the queue (the columns are only read).
void readTypedBatches(DATAFILE* reader, const std::vector<ColumnDesc*>& columns, int rows,
                      loadrows::LoadQueue& queue) {
    std::vector<DATAFIELD> fields;
    SQLITE4FYK_VALUE value;
    std::unique_ptr<loadrows::LoadBatch> batch = queue.empty();
    int count = 0;
    while ((rows == 0 || count < rows) && DATAFILE_ReadNextFields(reader, fields)) {
        if (!fields.empty() && fields.back().isHeader) continue;
        loadrows::LoadRow row{};
        row.firstCell = batch->cells.size();
        batch->rows.push_back(row);
        for (size_t i = 0; i < columns.size(); ++i) {
            // A value missing from a short row is no value.
            batch->cells.push_back(loadrows::LoadCell::null());
            if (i < fields.size())
                loadrows::ConvertCell(columns[i], fields[i], *batch, value, batch->cells.back());
        }
        ++count;
        if (batch->rows.size() >= kTypedBatchRows || batch->arena.size() >= kTypedBatchBytes) {
            if (!queue.push(std::move(batch))) break;
            batch = queue.empty();
        }
    }
    if (batch && !batch->rows.empty()) queue.push(std::move(batch));
    queue.finish();
}

// Writes the rows of `reader` (at most `rows`, 0: all) in a typed shape; the command's status.
// A thread reads, cuts and converts the rows while this one writes them: the same bytes, in
// the same order, as one thread would write.
int writeTypedRows(DATAFILE* reader, const std::vector<ColumnDesc*>& columns, int rows,
                   const PreviewFormat& format) {
    TypedRowWriter writer(format);
    std::vector<std::string> names;
    for (const ColumnDesc* c : columns) names.emplace_back(c->code);
    writer.columns(names);
    loadrows::LoadQueue queue;
    std::thread reading(readTypedBatches, reader, std::cref(columns), rows, std::ref(queue));
    while (std::unique_ptr<loadrows::LoadBatch> batch = queue.pop()) {
        const loadrows::LoadCell* cell = batch->cells.data();
        for (size_t row = 0; row < batch->rows.size(); ++row) {
            for (const ColumnDesc* column : columns) {
                switch (cell->type) {
                    case SQLITE_NULL:
                        writer.null();
                        break;
                    case SQLITE_INTEGER:
                        if (column->typeCible.type == DATATYPE_BOOLEAN &&
                            (cell->integer == 0 || cell->integer == 1))
                            writer.boolean(cell->integer != 0, cell->integer ? "1" : "0");
                        else
                            writer.integer(cell->integer);
                        break;
                    case SQLITE_FLOAT:
                        writer.real(cell->real);
                        break;
                    default:
                        writer.text(
                            std::string_view(batch->arena.data() + cell->text.offset,
                                             cell->text.length));
                }
                ++cell;
            }
            writer.endRow();
        }
        queue.recycle(std::move(batch));
        if (writer.failed()) {
            queue.close();  // a closed output: the reading stops at its next batch
            break;
        }
    }
    reading.join();
    const bool changed = reader->fileChanged != 0;
    if (changed)
        cliError(std::string("Lecture interrompue du fichier de données '") + reader->path +
                 "' : " + reader->failure + ".");
    return writer.end() && !changed ? CLI_OK : CLI_FAILURE;
}

}  // namespace

int commandPreview(const std::string& descPath, const std::string& dataOption, int rows, bool json,
                   bool csv, const std::string& rejectsPath, const PreviewFormat& format) {
    DescPtr desc = openDescription(descPath);
    if (!desc) return CLI_FAILURE;
    std::string data = dataFileOf(*desc, dataOption);
    StreamInput stream;  // standard input or a named pipe: read once as it comes
    if (!prepareStreamedDataFile(data, stream)) return CLI_FAILURE;
    DATAFILE_REJECTS* rejects = nullptr;
    if (!rejectsPath.empty()) {
        rejects = DATAFILE_OpenRejects(rejectsPath.c_str());
        if (!rejects) {
            cliError("Impossible d'écrire le fichier des rejets '" + rejectsPath + "'.");
            return CLI_FAILURE;
        }
    }
    const int limit =
        std::max(static_cast<int>(gcontexte.nCarMaxReadWithoutNewLine), DATAFILE_LINE_LIMIT);
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(desc.get(), dialect); !refusal.empty()) {
        DATAFILE_CloseRejects(rejects);
        cliError("Impossible de lire le fichier de données '" + data + "' : " + refusal);
        return CLI_FAILURE;
    }
    DATAFILE* reader = DATAFILE_NewIterator(dialect, data.c_str(), limit, 0);
    if (!reader || DATAFILE_Init(reader) != 0) {
        DATAFILE_DestroyIterator(reader);
        DATAFILE_CloseRejects(rejects);
        cliError("Impossible de lire le fichier de données '" + data + "'.");
        return CLI_FAILURE;
    }
    std::vector<std::string> titles;
    std::vector<ColumnDesc*> kept;  // the columns a typed export writes (ignored ones aside)
    for (const ColumnOwner& columnOwner : desc->columns) {
        ColumnDesc* column = columnOwner.get();
        titles.push_back(column->code);
        kept.push_back(column);
    }
    if (format.typed()) {
        const int status = writeTypedRows(reader, kept, rows, format);
        DATAFILE_DestroyIterator(reader);
        DATAFILE_CloseRejects(rejects);
        return status;
    }
    RowWriter writer(json ? RowWriter::Shape::Json
                          : csv ? RowWriter::Shape::Csv
                                : RowWriter::Shape::Table,
                     titles);
    writer.begin();
    std::vector<DATAFIELD> fields;
    int count = 0;
    while ((rows == 0 || count < rows) && DATAFILE_ReadNextFields(reader, fields)) {
        const bool header = !fields.empty() && fields.back().isHeader != 0;
        if (rejects) {
            const std::string problem =
                DATAFILE_RowProblem(reader, static_cast<int>(fields.size()));
            if (!problem.empty())
                DATAFILE_AddReject(rejects, reader->currentRowFirstLine, "", problem);
        }
        writer.row(DATAFILE_GetCurrentFileRowID(reader), header, fields);
        ++count;
    }
    if (reader->blankLines > 0)
        writer.note(std::to_string(reader->blankLines) + " ligne(s) vide(s) ignorée(s).");
    const bool changed = reader->fileChanged != 0;
    if (changed)
        cliError(std::string("Lecture interrompue du fichier de données '") + data + "' : " +
                 reader->failure + ".");
    DATAFILE_DestroyIterator(reader);
    const bool written = writer.end() && !changed;
    if (rejects) {
        const int set = rejects->rows;
        if (DATAFILE_CloseRejects(rejects) != 0) {
            cliError("Erreur d'écriture du fichier des rejets '" + rejectsPath + "'.");
            return CLI_FAILURE;
        }
        cliNote(std::to_string(set) + " ligne(s) non conforme(s) listée(s) dans '" + rejectsPath +
                "'.");
    }
    return written ? CLI_OK : CLI_FAILURE;
}

int commandCount(const std::string& descPath, const std::string& dataOption) {
    DescPtr desc = openDescription(descPath);
    if (!desc) return CLI_FAILURE;
    std::string data = dataFileOf(*desc, dataOption);
    StreamInput stream;  // standard input or a named pipe: read once as it comes
    if (!prepareStreamedDataFile(data, stream)) return CLI_FAILURE;
    if (FYK_LaunchDatafileComputeStats(nullptr, desc.get(), data.c_str()) != 0) return CLI_FAILURE;
    CliUiPort& port = cliPort();
    if (port.finalEvent != TASK_EVENT_FINISHED) return CLI_FAILURE;
    return writeOut(port.finalMessage + "\n") ? CLI_OK : CLI_FAILURE;
}

void addAnalyseCommand(CLI::App& app, CliCommands& commands) {
    auto o = std::make_shared<AnalyseOptions>();
    CLI::App* sub = app.add_subcommand(
        "analyse", "Crée une description à partir d'un fichier délimité (ou la réanalyse)");
    sub->add_option("fichier", o->file,
                    "Fichier de données délimité (ou la description avec --update)")
        ->required();
    sub->add_flag("--update", o->update,
                  "Relance l'analyse d'une description existante sur son fichier exemple");
    sub->add_option("-o,--output", o->output,
                    "Description à écrire (par défaut : nom du fichier de données en .fyk)");
    auto* all = sub->add_flag("--all", o->all, "Analyse le fichier complet");
    sub->add_option("--rows", o->rows, "Nombre de lignes analysées (par défaut : FileAnalyseMaxRows)")
        ->check(CLI::PositiveNumber)
        ->excludes(all);
    auto* delimiter = sub->add_option("--delimiter", o->delimiter,
                    "Délimiteur en notation texte (\";\", \"\\t\", \"#0x09\"...)");
    sub->add_option("--widths", o->widths,
                    "Fichier à largeur fixe : largeurs des colonnes en caractères (ex. "
                    "5,10,10,8,15 ; par défaut : trouvées d'après les lignes)")
        ->excludes(delimiter);
    auto* noHeader =
        sub->add_flag("--no-header", o->noHeader, "La première ligne ne contient pas les noms");
    sub->add_flag("--header", o->header,
                  "La première ligne contient les noms des colonnes (par défaut : détecté)")
        ->excludes(noHeader);
    sub->add_option("--quote", o->quote,
                    "Caractère de protection des valeurs, retiré à la lecture (ex. '\"'), ou "
                    "none (par défaut : détecté)");
    sub->add_option("--eol", o->eol, "Fin de ligne en notation texte (par défaut : détectée)");
    sub->add_option("--encoding", o->encoding,
                    "Encodage (UTF-8, WINDOWS-1252, ISO-8859-1, ISO-8859-15, UTF-16LE, "
                    "UTF-16BE) (par défaut : détecté)");
    sub->add_flag("--plain", o->plain,
                  "Analyse sans détection : séparateur ';', fin de ligne \\r\\n, colonnes "
                  "selon la ligne la plus large, type le plus fréquent, table sans nom");
    commands.push_back({sub, [o]() -> int {
                            if (o->update && (!o->output.empty() || !o->delimiter.empty() ||
                                              o->noHeader || o->header || !o->quote.empty() ||
                                              !o->eol.empty() || !o->encoding.empty())) {
                                cliError("--update ne se combine pas avec -o, --delimiter, "
                                         "--no-header, --header, --quote, --eol ou --encoding.");
                                return CLI_USAGE;
                            }
                            return commandAnalyse(*o);
                        }});
}

void addPreviewCommand(CLI::App& app, CliCommands& commands) {
    struct Options {
        std::string desc, data, rejects;
        int rows = 19;
        bool json = false, csv = false;
        PreviewFormat format;
        std::string delimiterText;
    };
    auto o = std::make_shared<Options>();
    CLI::App* sub = app.add_subcommand(
        "preview", "Affiche les lignes du fichier de données découpées par la description");
    sub->add_option("description", o->desc, "Fichier de description .fyk")->required();
    sub->add_option("--data", o->data, "Fichier de données (par défaut : le fichier exemple)");
    sub->add_option("--rows", o->rows, "Nombre de lignes (0 : toutes ; par défaut 19)")
        ->check(CLI::NonNegativeNumber);
    auto* json = sub->add_flag("--json", o->json, "Sortie JSON");
    auto* csv = sub->add_flag("--csv", o->csv, "Sortie CSV (virgules, guillemets doublés)")->excludes(json);
    sub->add_option("--format", o->format.name,
                    "Sortie : table, csv, tsv (valeurs converties selon la description : dates "
                    "ISO, point décimal), json ou ndjson (nombres, booléens, null)")
        ->check(CLI::IsMember({"table", "csv", "tsv", "json", "ndjson"}))
        ->excludes(json)
        ->excludes(csv);
    sub->add_option("--delimiter", o->delimiterText,
                    "Séparateur de --format csv (par défaut : virgule ; tsv : tabulation)");
    sub->add_option("--null", o->format.nullText,
                    "Texte d'une valeur absente dans --format csv ou tsv (par défaut : vide)");
    sub->add_option("--rejects", o->rejects,
                    "Fichier CSV des lignes non conformes (ligne, colonne, motif)");
    commands.push_back({sub, [o] {
                            if (!readFormatDelimiter(o->delimiterText, o->format))
                                return CLI_USAGE;
                            return commandPreview(o->desc, o->data, o->rows, o->json, o->csv,
                                                  o->rejects, o->format);
                        }});
}

void addCountCommand(CLI::App& app, CliCommands& commands) {
    auto desc = std::make_shared<std::string>();
    auto data = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand("count", "Compte les lignes du fichier de données");
    sub->add_option("description", *desc, "Fichier de description .fyk")->required();
    sub->add_option("--data", *data, "Fichier de données (par défaut : le fichier exemple)");
    commands.push_back({sub, [desc, data] { return commandCount(*desc, *data); }});
}

}  // namespace morvex

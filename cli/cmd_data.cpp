// morvexcli analyse, preview and count: the commands that read a data file through a
// description.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "appcore/application.h"
#include "cli/cliport.h"
#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/descview.h"
#include "datafile/datafile.h"
#include "datafile/detect.h"
#include "datafile/rejects.h"
#include "filedesc/analyse.h"
#include "filedesc/descdialect.h"
#include "foundation/csv.h"

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
    fprintf(stderr, "(i) %s : %s\n", what, value.c_str());
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

    const std::string sample = DATAFILE_ReadSample(o.file.c_str());
    if (sample.empty()) {
        cliError("Le fichier '" + o.file + "' est vide : aucune description n'est écrite.");
        return CLI_FAILURE;
    }
    if (const char* binary = DATAFILE_DetectBinary(sample)) {
        cliError("Fichier binaire : '" + o.file + "' (" + binary +
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
    g = DATAFILE_DetectShape(sample, given);
    if (g.encoding == " ") g.encoding.clear();  // the bytes as they are

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
    if (!o.plain && !g.fixedWidth.empty() && guessDelimiter)
        fprintf(stderr, "(i) Fichier à largeur fixe probable : %s.\n", g.fixedWidth.c_str());
    if (guessDelimiter) {
        if (!g.delimiter.empty()) {
            tellGuess("Délimiteur détecté", g.delimiter);
        } else if (o.delimiter == "auto") {
            cliError("Aucun délimiteur (; , tabulation |) ne découpe le début du fichier '" +
                     o.file + "'.");
            return CLI_USAGE;
        } else if (g.fixedWidth.empty()) {
            fprintf(stderr, "(i) Aucun délimiteur (; , tabulation |) détecté : une seule colonne.\n");
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

    if (!checkDataFile(o.file)) return CLI_FAILURE;
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
    port.onProperties = [&o](FileDesc* desc) {
        if (o.noHeader) desc->FirstLineIsHeader = 0;
        if (o.header) desc->FirstLineIsHeader = 1;
    };
    port.lastOpened = nullptr;
    const int quoting = o.plain || o.quote.empty() ? 0 : FILEANALYSE_QUOTING_GIVEN;
    int started =
        FYK_DataFileReverseEngenering(nullptr, o.file.c_str(), rules | quoting, &shape, maxRows);
    port.onProperties = nullptr;
    DescPtr desc(port.lastOpened);
    port.lastOpened = nullptr;
    if (started != 0 || !desc) {
        cliError("L'analyse du fichier '" + o.file + "' n'a pas pu être lancée.");
        return CLI_FAILURE;
    }
    int status = taskStatus();
    std::string out = o.output.empty() ? fs::path(o.file).stem().string() + ".fyk" : o.output;
    if (!saveDescription(desc.get(), out)) return CLI_FAILURE;
    if (!writeOut(descriptionToTable(*desc))) return CLI_FAILURE;
    return status;
}

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
            fprintf(stderr, "(i) %s\n", line.c_str());
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

}  // namespace

int commandPreview(const std::string& descPath, const std::string& dataOption, int rows, bool json,
                   bool csv, const std::string& rejectsPath) {
    DescPtr desc = openDescription(descPath);
    if (!desc) return CLI_FAILURE;
    std::string data = dataFileOf(*desc, dataOption);
    if (!checkDataFile(data)) return CLI_FAILURE;
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
    for (LDCG_ELT* e = desc->columns ? desc->columns->first : nullptr; e; e = e->next)
        titles.push_back(static_cast<ColumnDesc*>(e->lParam1)->code);
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
        fprintf(stderr, "(i) %i ligne(s) non conforme(s) listée(s) dans '%s'.\n", set,
                rejectsPath.c_str());
    }
    return written ? CLI_OK : CLI_FAILURE;
}

int commandCount(const std::string& descPath, const std::string& dataOption) {
    DescPtr desc = openDescription(descPath);
    if (!desc) return CLI_FAILURE;
    std::string data = dataFileOf(*desc, dataOption);
    if (!checkDataFile(data)) return CLI_FAILURE;
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
    sub->add_option("--delimiter", o->delimiter,
                    "Délimiteur en notation texte (\";\", \"\\t\", \"#0x09\"...)");
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
    };
    auto o = std::make_shared<Options>();
    CLI::App* sub = app.add_subcommand(
        "preview", "Affiche les lignes du fichier de données découpées par la description");
    sub->add_option("description", o->desc, "Fichier de description .fyk")->required();
    sub->add_option("--data", o->data, "Fichier de données (par défaut : le fichier exemple)");
    sub->add_option("--rows", o->rows, "Nombre de lignes (0 : toutes ; par défaut 19)")
        ->check(CLI::NonNegativeNumber);
    auto* json = sub->add_flag("--json", o->json, "Sortie JSON");
    sub->add_flag("--csv", o->csv, "Sortie CSV (virgules, guillemets doublés)")->excludes(json);
    sub->add_option("--rejects", o->rejects,
                    "Fichier CSV des lignes non conformes (ligne, colonne, motif)");
    commands.push_back({sub, [o] {
                            return commandPreview(o->desc, o->data, o->rows, o->json, o->csv,
                                                  o->rejects);
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

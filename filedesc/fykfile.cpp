// The .fyk description file: writer and block-by-block reader.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "datafile/prompt.h"
#include "filedesc/analyse.h"
#include "filedesc/descpaths.h"
#include "filedesc/descprops.h"
#include "filedesc/fdtext.h"
#include "filedesc/filedesc.h"
#include "filedesc/names.h"
#include "foundation/inputfile.h"
#include "foundation/trace.h"
#include "foundation/version.h"

namespace {

// Closes a FILE* when it goes out of scope.
struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Versions of the description file format (FILEVERSION): 1.4 writes texts as they stand; 1.5
// writes them in the backslash notation, so that a text may hold line ends.
constexpr const char* kFormatVersionRaw = "1.4";
constexpr const char* kFormatVersionEscaped = "1.5";

// True when a file of version `version` ("major.minor") writes its texts in the notation.
bool writesEscapedTexts(const std::string& version) {
    const char* v = version.c_str();
    char* end = nullptr;
    long major = strtol(v, &end, 10);
    long minor = *end == '.' ? strtol(end + 1, nullptr, 10) : 0;
    return major > 1 || (major == 1 && minor >= 5);
}

// A text in the backslash notation: backslash, carriage return and line feed become "\\",
// "\r" and "\n"; everything else is kept.
std::string escapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// The reverse of escapeText; "\t" also gives a tab, and a backslash before any other character
// (or at the end) stays as it is.
std::string unescapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[i + 1];
            char decoded = n == 'r'    ? '\r'
                           : n == 'n'  ? '\n'
                           : n == 't'  ? '\t'
                           : n == '\\' ? '\\'
                                       : 0;
            if (decoded) {
                out += decoded;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// ---- Writer ----

// Builds the file text: CR LF before every line but the first, tabs for indentation.
class FykWriter {
public:
    // `escaped`: texts are written in the backslash notation.
    explicit FykWriter(bool escaped) : escaped_(escaped) {}
    // Appends one line at `depth` tabs.
    void line(int depth, const std::string& text) {
        if (!first_) out_ += "\r\n";
        first_ = false;
        out_.append(static_cast<size_t>(depth), '\t');
        out_ += text;
    }
    // Appends "KEY=value" at `depth` tabs, the value as it stands (numbers, notations).
    void keyValue(int depth, const char* key, const std::string& value) {
        line(depth, std::string(key) + "=" + value);
    }
    void keyValue(int depth, const char* key, int value) {
        keyValue(depth, key, std::to_string(value));
    }
    // Appends "KEY=text" for a text a person typed; notes whether it holds a line end.
    void keyText(int depth, const char* key, const std::string& text) {
        if (text.find_first_of("\r\n") != std::string::npos) lineEnds_ = true;
        keyValue(depth, key, escaped_ ? escapeText(text) : text);
    }
    const std::string& text() const { return out_; }
    // True when a text written holds a line end.
    bool sawLineEnds() const { return lineEnds_; }

private:
    std::string out_;        // the whole file
    bool first_ = true;      // no line written yet
    bool escaped_;           // texts in the backslash notation
    bool lineEnds_ = false;  // a text held a line end
};

std::string orEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

// FMT_CIBLE of a column, by its type.
std::string columnFormat(const ColumnDesc& col) {
    const TypeCible& t = col.typeCible;
    switch (t.type) {
        case DATATYPE_INTEGER:
            return std::to_string(t.fmtEntier.taille);
        case DATATYPE_DECIMAL:
            return std::to_string(t.fmtDecimal.partieEntiere) + "," +
                   std::to_string(t.fmtDecimal.partieDecimale);
        case DATATYPE_DATE:
            return t.fmtDate;
        case DATATYPE_DATETIME:
            return t.fmtDateTime;
        case DATATYPE_FIXEDCHAR:
            return std::to_string(t.fmtChaineFixe.taille);
        case DATATYPE_VARIABLECHAR:
            return std::to_string(t.fmtChaineVar.tailleMax);
        default:
            return std::string();
    }
}

void writeIndexBlock(FykWriter& w, const char* blockName, const IndexDesc& index) {
    w.line(2, std::string("BEGIN ") + blockName);
    w.keyText(3, "NAME", index.name);
    for (const ColumnDesc* col : index.columns)
        if (col) w.keyText(3, "COMPOSANTE", col->code);
    w.line(2, std::string("END ") + blockName);
}

// The text written for one of the description's file paths into the file `target`: the text it
// was read as while that text still leads to the same file from there, else the path itself.
std::string pathText(const char* held, const char* asRead, const char* target) {
    if (asRead && held && morvex::resolveDescriptionPath(target, asRead) == held) return asRead;
    return orEmpty(held);
}

// The line of one property of the File block.
void writeProperty(FykWriter& w, const FileDesc& desc, const morvex::DescProperty& p,
                   const char* target) {
    using morvex::PropertyKind;
    switch (p.kind) {
        case PropertyKind::Text:
        case PropertyKind::OwnedText:
            w.keyText(2, p.fykKey, morvex::propertyText(desc, p));
            break;
        case PropertyKind::Notation:  // already a notation: written as it stands
        case PropertyKind::Number:
            w.keyValue(2, p.fykKey, morvex::propertyText(desc, p));
            break;
        case PropertyKind::Path:
            // A relative path is written back as it was read, not as its resolution.
            w.keyText(2, p.fykKey, pathText(desc.*p.owned, desc.*p.asRead, target));
            break;
    }
}

// The line of one property of a Column block; `index` is the column's, from 0.
void writeColumnProperty(FykWriter& w, const ColumnDesc& col, const morvex::ColumnProperty& p,
                         int index) {
    using morvex::ColumnFyk;
    using morvex::ColumnKind;
    if (p.fyk == ColumnFyk::None) return;
    if (p.fyk == ColumnFyk::Zero) return w.keyValue(3, p.fykKey, 0);
    if (p.fyk == ColumnFyk::Index) return w.keyValue(3, p.fykKey, index);
    switch (p.kind) {
        case ColumnKind::Text:
            w.keyText(3, p.fykKey, morvex::columnText(col, p));
            break;
        case ColumnKind::Character:
            // One raw character; a zero character when there is none.
            w.keyValue(3, p.fykKey, std::string(1, col.*p.character));
            break;
        case ColumnKind::Number:
            w.keyValue(3, p.fykKey, morvex::columnNumber(col, p));
            break;
    }
}

// The whole file text of `desc` for the file `target`, texts raw or escaped; false when the
// column list cannot be walked.
bool writeDescription(const FileDesc* desc, const char* target, FykWriter& w, bool escaped) {
    w.line(0, "BEGIN MorvexFylatek");
    w.keyValue(1, "FILEVERSION", escaped ? kFormatVersionEscaped : kFormatVersionRaw);
    w.line(1, "NBUILD=" MORVEX_BUILD);  // the build that wrote the file
    w.line(1, "BEGIN File");
    for (const morvex::DescProperty& p : morvex::descriptionProperties()) {
        if (morvex::propertyWritten(*desc, p)) writeProperty(w, *desc, p, target);
    }

    int index = 0;
    for (const ColumnOwner& col : desc->columns) {
        w.line(2, "BEGIN Column");
        w.keyValue(3, "ID", 0);  // a line of older files, held in no field
        for (const morvex::ColumnProperty& p : morvex::columnProperties())
            writeColumnProperty(w, *col, p, index);
        // The format, by the type, last.
        w.keyText(3, "FMT_CIBLE", columnFormat(*col));
        w.line(2, "END Column");
        ++index;
    }
    writeIndexBlock(w, "Primary Key", desc->primaryKey);
    for (const std::unique_ptr<IndexDesc>& idx : desc->indexes) writeIndexBlock(w, "Index", *idx);
    w.line(2, "BEGIN Process");
    if (desc->processes) {
        for (const ProcessTaskOwner& task : desc->processes->tasks)
            w.keyText(3, "TEMPLATE", orEmpty(task->templatePath));
    }
    w.line(2, "END Process");
    w.line(1, "END File");
    w.line(0, "END MorvexFylatek");
    return true;
}

// ---- Reader ----

// One line of a description file, split into key and value.
struct FykLine {
    std::string key;    // the key as written (first field of the line)
    std::string lower;  // the key in lower case
    std::string value;  // everything after the first "=" that follows the key, or ""
};

// The longest line read: far more than any description writes (its longest line is a text a
// person typed), far less than what would exhaust the memory.
constexpr size_t kMaxLineBytes = 1 << 20;

// Names of the blocks, in lower case, as they follow "begin " and "end ".
const char* const kBlockNames[] = {"morvexfylatek", "file",  "column",
                                   "primary key",   "index", "process"};

// True when `lower` opens or closes one of the description's blocks.
bool isBlockLine(const std::string& lower) {
    for (const char* name : kBlockNames) {
        if (lower == std::string("begin ") + name || lower == std::string("end ") + name)
            return true;
    }
    return false;
}

// Reads a description file line by line, keeping the line number, the file version and the
// first error.
class FykReader {
public:
    FykReader(FileDesc* desc, FILE* file, const char* path)
        : desc_(desc), file_(file), path_(path) {}

    // Reads the whole file; false with error() set when it is not a whole description.
    bool read();
    // After read(): false with error() set when two columns have the same name.
    bool checkColumnNames();
    const std::string& error() const { return error_; }

private:
    bool next(bool quoting, FykLine& line);
    // The value of a text key, decoded when the file writes texts in the backslash notation.
    std::string text(const FykLine& line) const {
        return escapedTexts_ ? unescapeText(line.value) : line.value;
    }
    bool fail(const std::string& reason, int lineNumber);
    bool unfinished(const char* block, int beginLine) {
        return fail(std::string("est incomplet : bloc ") + block + " non terminé", beginLine);
    }
    bool readColumnWidth(const std::string& value, int& width);
    // False with the error set when `refusal` (of FILEDESC_NameRefusal) is not empty.
    bool refuseName(std::string refusal) {
        if (refusal.empty()) return true;
        if (refusal.back() == '.') refusal.pop_back();
        refusal[0] = static_cast<char>(tolower(static_cast<unsigned char>(refusal[0])));
        return fail("est invalide : " + refusal, lineNumber_);
    }
    // Checked readings of a line's value (below the block parsers): false with the error set.
    bool readNumber(const FykLine& line, long long min, long long max, int& out);
    bool readTypeCode(const FykLine& line, int& type);
    bool readFixedText(const FykLine& line, char* field, size_t fieldSize) {
        return copyText(line, text(line), field, fieldSize);
    }
    bool copyText(const FykLine& line, const std::string& value, char* field, size_t fieldSize);
    bool readFormat(const FykLine& line, ColumnDesc& col);
    bool readProperty(const morvex::DescProperty& property, const FykLine& line);
    bool readColumnProperty(const morvex::ColumnProperty& property, const FykLine& line,
                            ColumnDesc& col);
    bool countColumn(const ColumnDesc& col, int beginLine);

    bool parseMorvexFylatek(int beginLine);
    bool parseFile(int beginLine);
    bool parseColumn(int beginLine);
    bool parseIndexBlock(IndexDesc& index, const char* block, const char* endKey, int beginLine,
                         bool tracePrimaryKey);
    bool parseProcess(int beginLine);
    bool applyIndexLine(IndexDesc& index, const FykLine& line);

    FileDesc* desc_;
    FILE* file_;
    const char* path_;
    int lineNumber_ = 0;         // number of the last line read
    bool escapedTexts_ = false;  // FILEVERSION 1.5 or later
    std::string error_;
    std::string raw_;  // the physical line being read
    // Where each column's block began, in the order of the columns (for the messages).
    std::vector<int> columnLines_;
};

// Reads the next physical line, however long, and splits it. Quoting (double quote) applies to
// the key field only: the value is the raw text after the first "=" following the key, so that
// values holding "=", tabs or quotes come back as written. False at the end of the file.
bool FykReader::next(bool quoting, FykLine& line) {
    raw_.clear();
    int c = 0;
    bool any = false;
    while ((c = getc_unlocked(file_)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (raw_.size() >= kMaxLineBytes)
            return fail("est invalide : ligne de plus de " + morvex::byteCountText(kMaxLineBytes),
                        lineNumber_ + 1);
        raw_ += static_cast<char>(c);
    }
    if (!any) return false;
    ++lineNumber_;
    // The line stops at its first carriage return or zero character.
    size_t end = 0;
    while (end < raw_.size() && raw_[end] != '\r' && raw_[end] != '\0') ++end;
    size_t begin = 0;
    while (begin < end && (raw_[begin] == ' ' || raw_[begin] == '\t')) ++begin;
    std::string raw = raw_.substr(begin, end - begin);

    line.key.clear();
    line.value.clear();
    line.key = PROMPT_FirstField(raw, '=', quoting ? '"' : '\n');
    if (!line.key.empty()) {
        size_t from = raw.find_first_not_of('=');  // empty fields before the key are skipped
        if (from == std::string::npos) from = raw.size();
        size_t eq = raw.find('=', std::min(raw.size(), from + line.key.size()));
        if (eq != std::string::npos) line.value = raw.substr(eq + 1);
    }
    line.lower = line.key;
    for (char& ch : line.lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return true;
}

bool FykReader::fail(const std::string& reason, int lineNumber) {
    if (error_.empty()) {
        error_ = "Le fichier de format '" + std::string(path_) + "' " + reason + " (ligne " +
                 std::to_string(lineNumber) + ").";
        morvex::trace("\n[FILEDESC_LoadFromFile] %s", error_.c_str());
    }
    return false;
}

// LARGEUR: empty or a whole number from 0 (no width given) to the line-length limit.
bool FykReader::readColumnWidth(const std::string& value, int& width) {
    const int limit = FILEDESC_GetNCarMaxReadWithoutNewLine();
    if (value.find_first_not_of(" \t") == std::string::npos) {
        width = 0;
        return true;
    }
    const char* v = value.c_str();
    char* end = nullptr;
    long long n = strtoll(v, &end, 10);
    const char* rest = end;
    while (*rest == ' ' || *rest == '\t') ++rest;
    if (end == v || *rest != 0 || n < 0 || n > limit) {
        // A value of any length is quoted by its start.
        const std::string shown = value.size() > 40 ? value.substr(0, 40) + "..." : value;
        return fail("est invalide : largeur de colonne « " + shown +
                        " » refusée, un nombre de 1 à " + std::to_string(limit) +
                        " est attendu (0 : sans largeur)",
                    lineNumber_);
    }
    width = static_cast<int>(n);
    return true;
}

void readColumnFormat(ColumnDesc& col, const std::string& value);  // below the block parsers

// A whole number from `min` to `max`; an empty value is 0, as the writer never gives one.
bool FykReader::readNumber(const FykLine& line, long long min, long long max, int& out) {
    const std::string& value = line.value;
    if (value.find_first_not_of(" \t") == std::string::npos) {
        out = 0;
        return true;
    }
    const char* v = value.c_str();
    char* end = nullptr;
    errno = 0;
    const long long n = strtoll(v, &end, 10);
    const char* rest = end;
    while (*rest == ' ' || *rest == '\t') ++rest;
    if (end == v || *rest != 0 || errno == ERANGE || n < min || n > max) {
        const std::string shown = value.size() > 40 ? value.substr(0, 40) + "..." : value;
        return fail("est invalide : " + line.key + " « " + shown + " » refusé, un nombre de " +
                        std::to_string(min) + " à " + std::to_string(max) + " est attendu",
                    lineNumber_);
    }
    out = static_cast<int>(n);
    return true;
}

// TYPE_CIBLE: one of the type codes, from 0 (Integer) to 7 (Boolean).
bool FykReader::readTypeCode(const FykLine& line, int& type) {
    const std::string& value = line.value;
    const bool digits = !value.empty() && value.size() <= 2 &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    const int code = digits ? atoi(value.c_str()) : -1;
    if (code < DATATYPE_INTEGER || code > DATATYPE_BOOLEAN) {
        const std::string shown = value.size() > 40 ? value.substr(0, 40) + "..." : value;
        return fail("est invalide : type cible « " + shown +
                        " » inconnu, un code de 0 (Integer) à 7 (Boolean) est attendu",
                    lineNumber_);
    }
    type = code;
    return true;
}

// A text into a fixed field: refused, never cut, when it does not fit.
bool FykReader::copyText(const FykLine& line, const std::string& value, char* field,
                         size_t fieldSize) {
    if (value.size() >= fieldSize) {
        return fail("est invalide : " + line.key + " de " + morvex::byteCountText(value.size()) +
                        " refusé, " + morvex::byteCountText(fieldSize - 1) + " au plus",
                    lineNumber_);
    }
    fdtext::copyCut(field, fieldSize, value.c_str());
    return true;
}

// FMT_CIBLE: sizes from 0 up, layouts that fit their field.
bool FykReader::readFormat(const FykLine& line, ColumnDesc& col) {
    const std::string value = text(line);
    const int type = col.typeCible.type;
    if (type == DATATYPE_DATE || type == DATATYPE_DATETIME) {
        char layout[COLUMN_FORMAT_MAX + 1];  // fmtDate and fmtDateTime have this size
        if (!copyText(line, value, layout, sizeof layout)) return false;
    } else if (type != DATATYPE_TEXT && type != DATATYPE_BOOLEAN) {
        // One or two sizes ("10" or "10,2"); what follows them is ignored as it always was.
        const char* v = value.c_str();
        for (int part = 0; part < 2; ++part) {
            while (*v == ' ' || *v == '\t') ++v;
            char* end = nullptr;
            errno = 0;
            const long long n = strtoll(v, &end, 10);
            if (end == v) break;
            if (n < 0 || n > INT_MAX || errno == ERANGE) {
                return fail("est invalide : format « " + value.substr(0, 40) +
                                " » refusé, des tailles de 0 à " + std::to_string(INT_MAX) +
                                " sont attendues",
                            lineNumber_);
            }
            if (*end != ',') break;
            v = end + 1;
        }
    }
    readColumnFormat(col, value);
    return true;
}

// A line of the File block that sets one of the description's properties.
bool FykReader::readProperty(const morvex::DescProperty& p, const FykLine& line) {
    using morvex::PropertyKind;
    FileDesc& desc = *desc_;
    switch (p.kind) {
        case PropertyKind::Text:
        case PropertyKind::Notation: {
            // A notation is kept as written; a text is decoded under FILEVERSION 1.5.
            const std::string value = p.kind == PropertyKind::Text ? text(line) : line.value;
            if (!copyText(line, value, p.field(desc), p.fieldSize)) return false;
            if (p.afterSet) p.afterSet(desc);
            return true;
        }
        case PropertyKind::OwnedText:
        case PropertyKind::Path:
            if (!(p.emptyIsNone && line.value.empty())) p.setOwned(&desc, text(line).c_str());
            return true;
        case PropertyKind::Number:
            return readNumber(line, p.fykMin, p.fykMax, desc.*p.number);
    }
    return true;
}

// A line of a Column block that sets one of the column's properties.
bool FykReader::readColumnProperty(const morvex::ColumnProperty& p, const FykLine& line,
                                   ColumnDesc& col) {
    using morvex::ColumnFyk;
    using morvex::ColumnKind;
    switch (p.fyk) {
        case ColumnFyk::None:
        case ColumnFyk::Zero:  // computed again from the widths
            return true;
        case ColumnFyk::Index:
            *p.number(col) = fdtext::toInt(line.value.c_str());
            return true;
        case ColumnFyk::Width:
            return readColumnWidth(line.value, *p.number(col));
        case ColumnFyk::Type:
            return readTypeCode(line, *p.number(col));
        case ColumnFyk::Value:
            break;
    }
    switch (p.kind) {
        case ColumnKind::Text:
            return readFixedText(line, p.text(col), p.textSize);
        case ColumnKind::Character:
            col.*p.character = line.value.c_str()[0];
            return true;
        case ColumnKind::Number:
            return readNumber(line, p.fykMin, p.fykMax, *p.number(col));
    }
    return true;
}

// One more column: refused beyond FILEDESC_MAX_COLUMNS, before the rest of the file is read.
bool FykReader::countColumn(const ColumnDesc&, int beginLine) {
    if (columnLines_.size() >= static_cast<size_t>(FILEDESC_MAX_COLUMNS)) {
        return fail("est invalide : plus de " + std::to_string(FILEDESC_MAX_COLUMNS) + " colonnes",
                    beginLine);
    }
    columnLines_.push_back(beginLine);
    return true;
}

// Two columns of the same name (as a database compares them) cannot make one table.
bool FykReader::checkColumnNames() {
    const std::string names = morvex::duplicateColumnNames(desc_, true);
    if (names.empty()) return true;
    // The line of the second column named: the one that repeats the name.
    int line = lineNumber_;
    const size_t second = names.find("(colonne ", names.find("(colonne ") + 1);
    if (second != std::string::npos) {
        const size_t at = static_cast<size_t>(atoi(names.c_str() + second + 9));
        if (at >= 1 && at <= columnLines_.size()) line = columnLines_[at - 1];
    }
    return fail("est invalide : colonnes de même nom " + names, line);
}

bool FykReader::read() {
    FykLine line;
    while (next(true, line)) {
        morvex::trace("\n[%s]", line.key.c_str());
        if (line.lower == "begin morvexfylatek") return parseMorvexFylatek(lineNumber_);
        if (line.lower == "end morvexfylatek") break;
    }
    return fail("ne contient aucune description", lineNumber_ > 0 ? lineNumber_ : 1);
}

bool FykReader::parseMorvexFylatek(int beginLine) {
    FykLine line;
    int files = 0;
    while (next(true, line)) {
        if (line.lower == "begin file") {
            if (!parseFile(lineNumber_)) return false;
            ++files;
        } else if (line.lower == "end morvexfylatek") {
            if (files == 0)
                return fail("ne contient aucune description : aucun bloc File", lineNumber_);
            return true;
        } else if (isBlockLine(line.lower)) {
            return unfinished("MorvexFylatek", beginLine);
        } else if (line.lower == "fileversion") {
            morvex::trace("\n[parseMorvexFylatek] Version format fichier : [%s]",
                          line.value.c_str());
            escapedTexts_ = writesEscapedTexts(line.value);
        } else if (line.lower == "nbuild") {
            morvex::trace("\n[parseMorvexFylatek] Numero de build ayant genere le fichier : [%s]",
                          line.value.c_str());
        }
    }
    return unfinished("MorvexFylatek", beginLine);
}

void setDelimiter(FileDesc* desc, const char* notation) {
    fdtext::copyCut(desc->FieldDelimiter, sizeof desc->FieldDelimiter, notation);
}

bool FykReader::parseFile(int beginLine) {
    FileDesc* desc = desc_;
    FykLine line;
    while (next(true, line)) {
        const std::string& k = line.lower;
        const char* v = line.value.c_str();
        if (k == "end file") return refuseName(FILEDESC_NamesRefusal(desc));
        if (k == "begin column") {
            if (!parseColumn(lineNumber_)) return false;
        } else if (k == "begin primary key") {
            if (!parseIndexBlock(desc->primaryKey, "Primary Key", "end primary key", lineNumber_,
                                 true))
                return false;
        } else if (k == "begin index") {
            IndexDesc* index = FILEDESC_CreateIndex(nullptr);
            if (!index) return fail("n'a pas pu être lu : mémoire insuffisante", lineNumber_);
            if (!parseIndexBlock(*index, "Index", "end index", lineNumber_, false)) {
                FILEDESC_DestroyIndex(index);
                return false;
            }
            if (FILEDESC_AddIndex(desc, index) != 0) FILEDESC_DestroyIndex(index);
        } else if (k == "begin process") {
            if (!parseProcess(lineNumber_)) return false;
        } else if (isBlockLine(k)) {
            return unfinished("File", beginLine);
        } else if (const morvex::DescProperty* p = morvex::descriptionPropertyByFykKey(k)) {
            if (!readProperty(*p, line)) return false;
        } else if (k == "septab") {  // older files name the delimiter by these keys
            setDelimiter(desc, "\\t");
        } else if (k == "sepespace") {
            setDelimiter(desc, " ");
        } else if (k == "seppointvirgule") {
            setDelimiter(desc, ";");
        } else if (k == "sepvirgule") {
            setDelimiter(desc, ",");
        } else if (k == "sepautre" || k == "separateur") {
            if (!copyText(line, line.value, desc->FieldDelimiter, sizeof desc->FieldDelimiter))
                return false;
            setDelimiter(desc, v);
        }
        // separateurcol and unknown keys: ignored
    }
    return unfinished("File", beginLine);
}

// Reads FMT_CIBLE according to the type already read.
void readColumnFormat(ColumnDesc& col, const std::string& value) {
    TypeCible& t = col.typeCible;
    const char* v = value.c_str();
    switch (t.type) {
        case DATATYPE_INTEGER: {
            const char* next = v;
            int size = fdtext::toInt(v, &next);
            if (next != v) t.fmtEntier.taille = size;
            break;
        }
        case DATATYPE_DECIMAL: {
            const char* next = v;
            int whole = fdtext::toInt(v, &next);
            if (next == v) break;
            t.fmtDecimal.partieEntiere = whole;
            if (*next != ',') break;
            const char* second = next + 1;
            int decimals = fdtext::toInt(second, &next);
            if (next != second) t.fmtDecimal.partieDecimale = decimals;
            break;
        }
        case DATATYPE_DATE:
            fdtext::copyCut(t.fmtDate, sizeof t.fmtDate, v);
            break;
        case DATATYPE_DATETIME:
            fdtext::copyCut(t.fmtDateTime, sizeof t.fmtDateTime, v);
            break;
        case DATATYPE_FIXEDCHAR: {
            const char* next = v;
            int size = fdtext::toInt(v, &next);
            if (next != v) t.fmtChaineFixe.taille = size;
            break;
        }
        case DATATYPE_VARIABLECHAR: {
            const char* next = v;
            int size = fdtext::toInt(v, &next);
            if (next != v) t.fmtChaineVar.tailleMax = size;
            break;
        }
        default:
            break;  // Text, Boolean: no format
    }
}

bool FykReader::parseColumn(int beginLine) {
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    FykLine line;
    while (next(false, line)) {
        const std::string& k = line.lower;
        const char* v = line.value.c_str();
        if (k == "end column") {
            if (!refuseName(FILEDESC_NameRefusal("de la colonne", col.code))) return false;
            // Renumbered and validated once the whole file is read.
            if (!countColumn(col, beginLine)) return false;
            if (FILEDESC_AppendColumn(desc_, &col) != 0)
                return fail("n'a pas pu être lu : mémoire insuffisante", lineNumber_);
            return true;
        }
        if (isBlockLine(k)) return unfinished("Column", beginLine);
        if (k == "id") {
            // a line of older files, held in no field
        } else if (const morvex::ColumnProperty* p = morvex::columnPropertyByFykKey(k)) {
            if (!readColumnProperty(*p, line, col)) return false;
        } else if (k == "fmt_cible") {
            if (!readFormat(line, col)) return false;
        } else {
            morvex::trace("\nMot-cle non reconnu : %s [value = %s]", k.c_str(), v);
        }
    }
    return unfinished("Column", beginLine);
}

// Applies a NAME or COMPOSANTE line to a key or index; false for any other key.
bool FykReader::applyIndexLine(IndexDesc& index, const FykLine& line) {
    if (line.lower == "name") {
        readFixedText(line, index.name, sizeof index.name);
        return true;
    }
    if (line.lower == "composante") {
        ColumnDesc* col = FILEDESC_SearchColumn(desc_, text(line).c_str());
        if (col) index.columns.push_back(col);
        return true;
    }
    return false;
}

bool FykReader::parseIndexBlock(IndexDesc& index, const char* block, const char* endKey,
                                int beginLine, bool tracePrimaryKey) {
    FykLine line;
    while (next(true, line)) {
        if (tracePrimaryKey)
            morvex::trace("\nparsePrimaryKey:[%s=%s]", line.key.c_str(), line.value.c_str());
        if (line.lower == endKey) return true;
        if (isBlockLine(line.lower)) return unfinished(block, beginLine);
        const bool known = applyIndexLine(index, line);
        if (!error_.empty()) return false;
        if (!known) {
            morvex::trace("\nMot-cle non reconnu : %s [value = %s]", line.lower.c_str(),
                          line.value.c_str());
        }
    }
    return unfinished(block, beginLine);
}

bool FykReader::parseProcess(int beginLine) {
    if (!desc_->processes) desc_->processes = PROCESS_Create();
    FykLine line;
    while (next(true, line)) {
        if (line.lower == "end process") return true;
        if (isBlockLine(line.lower)) return unfinished("Process", beginLine);
        if (line.lower == "template") {
            PROCESSTASK* task = PROCESS_CreateTask();
            if (!task) continue;
            task->templatePath = strdup(text(line).c_str());
            if (!task->templatePath || PROCESS_AddTask(desc_->processes, task) != 0) {
                PROCESS_DestroyTask(task);
            }
        } else {
            morvex::trace("\n[parseProcess] Mot-cle non reconnu : %s [value = %s]",
                          line.lower.c_str(), line.value.c_str());
        }
    }
    return unfinished("Process", beginLine);
}

// Resolves a relative path text of the description read from `descFile` from the file's folder
// (filedesc/descpaths.h): `held` becomes the resolution and `asRead` keeps the text.
void resolveReadPath(char*& held, char*& asRead, const char* descFile) {
    free(asRead);
    asRead = nullptr;
    if (!held || !held[0] || held[0] == '/') return;
    const std::string resolved = morvex::resolveDescriptionPath(descFile, held);
    char* copy = strdup(resolved.c_str());
    if (!copy) return;
    asRead = held;
    held = copy;
}

}  // namespace

int FILEDESC_SaveToFile(FileDesc* desc, const char* path) {
    if (!desc || !path) return 1;
    FykWriter raw(false);
    if (!writeDescription(desc, path, raw, false)) return 1;
    // A text with line ends: the whole file is written again with its texts in the notation.
    FykWriter escaped(true);
    if (raw.sawLineEnds() && !writeDescription(desc, path, escaped, true)) return 1;
    const std::string& text = raw.sawLineEnds() ? escaped.text() : raw.text();

    FilePtr file(fopen(path, "wb"));
    if (!file) return 1;
    if (fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return 1;
    if (fclose(file.release()) != 0) return 1;
    desc->isModified = 0;
    return 0;
}

int FILEDESC_LoadFromFile(FileDesc* desc, const char* path, std::string* error) {
    if (error) error->clear();
    if (!desc || !path) return 1;
    std::string refusal;
    FilePtr file(morvex::openInputFile(path, &refusal, morvex::InputKind::RegularOnly,
                                       "Le fichier de format"));
    if (!file) {
        // Something that is no file is named as such; a file that cannot be opened, as before.
        if (error)
            *error = !morvex::inputFileRefusal(path).empty()
                         ? refusal
                         : "Impossible d'ouvrir le fichier de format '" + std::string(path) + "'.";
        return 1;
    }
    FILEDESC_SetFileName(desc, path);

    FykReader reader(desc, file.get(), path);
    const bool whole = reader.read() && reader.checkColumnNames();
    file.reset();
    if (!whole) {
        if (error) *error = reader.error();
        return 1;
    }
    resolveReadPath(desc->ExampleFilePath, desc->ExampleFileAsRead, path);
    resolveReadPath(desc->DatabaseFilePath, desc->DatabaseFileAsRead, path);
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);
    desc->isModified = 0;

    if (desc->FileDescUID[0] == 0) {
        DYNSTRING* uid = FILEDESC_CreateUID();
        if (uid) {
            morvex::trace("\n[FILEDESC_LoadFromFile] fileDescUID=[%s]",
                          DYNSTRING_GetCString(uid));
            fdtext::copyCut(desc->FileDescUID, sizeof desc->FileDescUID, DYNSTRING_GetCString(uid));
            DYNSTRING_Destroy(uid);
            desc->isModified = 1;
        }
    }
    return 0;
}

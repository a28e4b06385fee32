// The SQL Server INSERT script: table text, typed literals and the streaming script writer.
#include "mssql/mssql.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "filedesc/names.h"
#include "foundation/codequote.h"
#include "foundation/date.h"
#include "foundation/mystrings.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "mssql/mssql_text.h"
#include "sqliteload/sqlite4fyk.h"

namespace morvex::mssql {

namespace {

// The process's file creation mask, read without changing it (umask() would, for a moment, for
// every thread).
mode_t CurrentUmask() {
    mode_t mask = 022;
    if (FILE* status = fopen("/proc/self/status", "r")) {
        char line[128];
        while (fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        fclose(status);
    }
    return mask;
}

}  // namespace

ScriptFile::~ScriptFile() {
    discard();
}

void ScriptFile::discard() {
    if (file_ != nullptr) fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
}

bool ScriptFile::open(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    path_ = path;
    temp_ = path_ + ".XXXXXX";
    const int fd = mkstemp(temp_.data());
    if (fd < 0) {
        temp_.clear();
        return false;
    }
    fchmod(fd, 0666 & ~CurrentUmask());  // the permissions fopen would have given
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        discard();
        return false;
    }
    setvbuf(file_, nullptr, _IONBF, 0);  // our own buffer already gathers whole blocks
    buffer_.reserve(kBlock + (kBlock >> 2));
    return true;
}

void ScriptFile::text(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) buffer_ += '\r';
        buffer_ += text[i];
    }
    flushIfFull();
}

void ScriptFile::flush() {
    if (file_ == nullptr || buffer_.empty()) return;
    if (fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
    buffer_.clear();
}

bool ScriptFile::close() {
    if (file_ == nullptr) return false;
    flush();
    if (fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (!failed_ && rename(temp_.c_str(), path_.c_str()) != 0) failed_ = true;
    if (failed_) {
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

std::string OneLine(const char* text) {
    std::string out = text != nullptr ? text : "";
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') {
            out.erase(i, 1);
        }
        if (out[i] == '\n' || out[i] == '\r') out[i] = ' ';
    }
    return out;
}

}  // namespace morvex::mssql

using morvex::mssql::ScriptFile;

int MSSQL_InitParams(MSSQL_PARAMS* params) {
    if (params == nullptr) return 1;
    *params = MSSQL_PARAMS{"Master",      "TBL_IMPORT",  "imp_data.txt",
                           "imp_fmt.fmt", "imp_bcp.sql", "imp_maj.sql"};
    return 0;
}

namespace {

constexpr const char* kNoColumnTrace =
    "\n[MSSQL_GenerateInsert] : Aucune description de colonne : Non prise en compte de la colonne";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// `name` between brackets, its own closing brackets doubled: an identifier whatever it holds
// and whatever QUOTED_IDENTIFIER says.
void AppendQuotedName(std::string& out, const char* name) {
    out += morvex::quoteMssqlIdentifier(name != nullptr ? name : "");
}

// True when `name` holds something else than blanks.
bool HasName(const char* name) {
    for (const char* p = name != nullptr ? name : ""; *p != '\0'; ++p)
        if (!IsBlank(*p)) return true;
    return false;
}

// The table name as the INSERT statements write it.
std::string InsertTableName(const char* name) {
    std::string out;
    AppendQuotedName(out, name);
    return out;
}

// The description's columns, in order (none without a description).
std::vector<const ColumnDesc*> ColumnsOf(const FileDesc* desc) {
    std::vector<const ColumnDesc*> columns;
    if (desc == nullptr) return columns;
    for (const ColumnOwner& column : desc->columns) columns.push_back(column.get());
    return columns;
}

// The column of a field of a row read through the description of `columns`; nullptr for a
// field past the last column.
const ColumnDesc* ColumnOf(const std::vector<const ColumnDesc*>& columns,
                           const DATACOLUMN* field) {
    if (field == nullptr || field->columnIndex < 0 ||
        static_cast<size_t>(field->columnIndex) >= columns.size())
        return nullptr;
    return columns[static_cast<size_t>(field->columnIndex)];
}

// True when every column of the row has a name that may reach a script.
bool RowNamesAllowed(const std::vector<const ColumnDesc*>& columns, LDCG* row) {
    for (LDCG_ELT* e = row != nullptr ? row->first : nullptr; e; e = e->next) {
        const ColumnDesc* column = ColumnOf(columns, static_cast<const DATACOLUMN*>(e->lParam1));
        if (column != nullptr && FILEDESC_NameFault(column->code) >= 0) return false;
    }
    return true;
}

// [p, end) in single quotes, each single quote doubled, after `prefix` ("N" or "").
void AppendQuotedPart(std::string& out, const char* prefix, const char* p, const char* end) {
    out += prefix;
    out += '\'';
    while (p < end) {
        const auto* quote = static_cast<const char*>(memchr(p, '\'', static_cast<size_t>(end - p)));
        if (quote == nullptr) {
            out.append(p, static_cast<size_t>(end - p));
            break;
        }
        out.append(p, static_cast<size_t>(quote - p + 1));
        out += '\'';
        p = quote + 1;
    }
    out += '\'';
}

// Characters past which a concatenation of short strings is cut by SQL Server (8000 bytes of
// varchar, 4000 characters of nvarchar) unless one of them is a max type.
constexpr int kConcatLimit = 4000;

// The string literal of `length` bytes: N'...' when it holds anything but ASCII, each single
// quote doubled. Its line breaks are written CHAR(13) and CHAR(10) between quoted parts, so that
// no line of the script falls inside a literal: a value line that reads GO cannot split the
// batch in the client tools.
void AppendQuoted(std::string& out, const char* value, int length) {
    const char* end = value + length;
    bool wide = false;
    bool breaks = false;
    for (const char* p = value; p < end; ++p) {
        wide = wide || (static_cast<unsigned char>(*p) & 0x80) != 0;
        breaks = breaks || *p == '\r' || *p == '\n';
    }
    const char* prefix = wide ? "N" : "";
    if (!breaks) {
        AppendQuotedPart(out, prefix, value, end);
        return;
    }
    if (length > kConcatLimit)
        out += wide ? "CAST(N'' AS nvarchar(max))+" : "CAST('' AS varchar(max))+";
    bool first = true;
    for (const char* p = value; p < end;) {
        if (!first) out += '+';
        first = false;
        if (*p == '\r' || *p == '\n') {
            out += *p == '\r' ? "CHAR(13)" : "CHAR(10)";
            ++p;
            continue;
        }
        const char* stop = p;
        while (stop < end && *stop != '\r' && *stop != '\n') ++stop;
        AppendQuotedPart(out, prefix, p, stop);
        p = stop;
    }
}

// Checks that [begin, end) is a number: an optional sign, then digits with at most one decimal
// separator (point or comma, only when `decimal`), at least one digit. Gives the separator's
// offset (or -1).
bool IsNumber(const char* begin, const char* end, bool decimal, ptrdiff_t* separator) {
    *separator = -1;
    const char* p = begin;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    bool digit = false;
    for (; p < end; ++p) {
        if (IsDigit(*p)) {
            digit = true;
        } else if (decimal && (*p == '.' || *p == ',') && *separator < 0) {
            *separator = p - begin;
        } else {
            return false;
        }
    }
    return digit;
}

// The literal of a date or a date and time, read through its picture format.
void AppendDate(std::string& out, const TypeCible* t, const char* value, int length) {
    const bool withTime = t->type == DATATYPE_DATETIME;
    // The picture reader wants a terminated text; reader values always are.
    std::string copy;
    const char* text = value;
    if (memchr(value, '\0', static_cast<size_t>(length) + 1) != value + length) {
        copy.assign(value, static_cast<size_t>(length));
        text = copy.c_str();
    }
    MYDATETIME d{};
    // A text that does not fit keeps the fields read before the failure, zeros for the rest.
    DATETIME_Convert(text, withTime ? t->fmtDateTime : t->fmtDate, &d);
    out += '\'';
    DATETIME_AppendCompact(out, d, withTime);
    out += '\'';
}

// SQL Server type of a target type; empty for an unknown code. The tables of both targets take
// the same type names.
std::string MssqlType(const TypeCible& t) { return GenerateSQLITEType(&t); }

// The DROP and CREATE of the table, lines ended by `\n`.
std::string CreateTableText(const FileDesc* desc, int rowNumberFlag) {
    std::string sql = "DROP TABLE  ";
    AppendQuotedName(sql, desc->TableName);
    sql += ";\nCREATE TABLE ";
    AppendQuotedName(sql, desc->TableName);
    sql += " (";
    bool first = true;
    if (rowNumberFlag) {
        sql += "FileRowID int";
        first = false;
    }
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        if (column == nullptr) continue;
        if (!first) sql += ",\n";
        first = false;
        AppendQuotedName(sql, column->code);
        sql += ' ';
        sql += MssqlType(column->typeCible);
    }
    sql += ");\n";
    return sql;
}

// Builds INSERT statements of rows read through a description into one table. It keeps the
// statement's head for rows that hold exactly the description's columns in order (the usual
// case), so that such a row costs no allocation.
class InsertBuilder {
public:
    InsertBuilder(const char* table, int rowNumberFlag, const char* eol, const FileDesc* desc)
        : rowNumberFlag_(rowNumberFlag) {
        intro_ = "INSERT INTO " + InsertTableName(table) + " (";
        tail_ = std::string(");") + eol + "GO" + eol;
        valuesIntro_ = std::string(")") + eol + "VALUES (";
        columns_ = ColumnsOf(desc);
        std::string names;
        if (rowNumberFlag_) names = "FileRowID";
        for (const ColumnDesc* column : columns_) {
            if (column == nullptr) return;  // no head: every row takes the general way
            if (!names.empty()) names += ", ";
            AppendQuotedName(names, column->code);
        }
        head_ = intro_ + names + valuesIntro_;
    }

    // Appends the INSERT of `row` followed by the GO line.
    void append(std::string& out, LDCG* row, int rowNumber) {
        if (!head_.empty() && MatchesColumns(row)) {
            out += head_;
            bool first = true;
            if (rowNumberFlag_) {
                morvex::AppendPadded(out, rowNumber, 0);
                first = false;
            }
            for (LDCG_ELT* e = row->first; e; e = e->next) {
                const auto* field = static_cast<const DATACOLUMN*>(e->lParam1);
                if (!first) out += ", ";
                first = false;
                MSSQL_AppendLiteral(out, &columns_[field->columnIndex]->typeCible, field->value,
                                    field->length);
            }
            out += tail_;
            return;
        }
        names_.clear();
        values_.clear();
        if (rowNumberFlag_) {
            names_ = "FileRowID";
            morvex::AppendPadded(values_, rowNumber, 0);
        }
        for (LDCG_ELT* e = row != nullptr ? row->first : nullptr; e; e = e->next) {
            const auto* field = static_cast<const DATACOLUMN*>(e->lParam1);
            const ColumnDesc* column = ColumnOf(columns_, field);
            if (column == nullptr) {
                morvex::trace("%s", kNoColumnTrace);
                continue;
            }
            if (!names_.empty()) {
                names_ += ", ";
                values_ += ", ";
            }
            AppendQuotedName(names_, column->code);
            MSSQL_AppendLiteral(values_, &column->typeCible, field->value,
                                field->value != nullptr ? field->length : 0);
        }
        out += intro_;
        out += names_;
        out += valuesIntro_;
        out += values_;
        out += tail_;
    }

private:
    // True when the row holds one field per column of the description, in order.
    bool MatchesColumns(LDCG* row) const {
        size_t i = 0;
        for (LDCG_ELT* e = row != nullptr ? row->first : nullptr; e; e = e->next, ++i) {
            const auto* field = static_cast<const DATACOLUMN*>(e->lParam1);
            if (i >= columns_.size() || field == nullptr ||
                field->columnIndex != static_cast<int>(i) || field->value == nullptr) {
                return false;
            }
        }
        return i == columns_.size();
    }

    int rowNumberFlag_;                       // 1: FileRowID and the row number come first
    std::string intro_;                       // "INSERT INTO T ("
    std::string valuesIntro_;                 // ")" line end "VALUES ("
    std::string tail_;                        // ");" line end "GO" line end
    std::string head_;                        // intro, every column name and valuesIntro
    std::vector<const ColumnDesc*> columns_;  // the description's columns, in order
    std::string names_;                       // scratch of the general case
    std::string values_;                      // scratch of the general case
};

// A row of the reader, released with its values.
using RowPtr = morvex::Owned<LDCG, [](LDCG* row) {
    LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
}>;

DYNSTRING* ToDynString(const std::string& text) {
    return DYNSTRING_NewWithCString(text.c_str());
}

}  // namespace

void MSSQL_AppendLiteral(std::string& out, const TypeCible* t, const char* value, int length) {
    if (value == nullptr || length < 0) length = 0;
    if (value == nullptr) value = "";
    const char* begin = value;
    const char* end = value + length;
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    switch (t->type) {
        case DATATYPE_INTEGER:
        case DATATYPE_BOOLEAN:
        case DATATYPE_DECIMAL: {
            if (begin == end) {
                out += "NULL";
                return;
            }
            const bool decimal = t->type == DATATYPE_DECIMAL;
            ptrdiff_t separator = -1;
            if (!IsNumber(begin, end, decimal, &separator)) {
                AppendQuoted(out, value, length);  // not a number: a string cannot escape
                return;
            }
            if (separator < 0) {
                out.append(value, static_cast<size_t>(length));
                return;
            }
            // A decimal comma becomes a point; a point without a digit before or after it gets
            // a zero there.
            const char* at = begin + separator;
            out.append(value, static_cast<size_t>(at - value));
            if (at == begin || !IsDigit(at[-1])) out += '0';
            out += '.';
            if (at + 1 == end) out += '0';
            out.append(at + 1, static_cast<size_t>(value + length - at - 1));
            return;
        }
        case DATATYPE_DATE:
        case DATATYPE_DATETIME:
            if (begin == end) {
                out += "NULL";
                return;
            }
            AppendDate(out, t, value, length);
            return;
        default:  // FixedChar, VariableChar, Text, and any unknown code
            AppendQuoted(out, value, length);
            return;
    }
}

int GenerateMSSQLType(const TypeCible* typeCible, char* buffer, int size) {
    if (typeCible == nullptr || buffer == nullptr || size <= 0) return 1;
    const std::string type = MssqlType(*typeCible);
    snprintf(buffer, static_cast<size_t>(size), "%s", type.c_str());
    return type.empty() ? 1 : 0;
}

int MSSQL_GenerateStringForData(const TypeCible* typeCible, const char* value, char* buffer,
                                int size) {
    if (typeCible == nullptr || buffer == nullptr || size <= 0) return 1;
    try {
        std::string literal;
        MSSQL_AppendLiteral(literal, typeCible, value,
                            value != nullptr ? static_cast<int>(strlen(value)) : 0);
        if (literal.size() >= static_cast<size_t>(size)) {
            buffer[0] = '\0';
            return 1;
        }
        memcpy(buffer, literal.c_str(), literal.size() + 1);
        return 0;
    } catch (const std::bad_alloc&) {
        buffer[0] = '\0';
        return 1;
    }
}

DYNSTRING* MSSQL_GenerateCreateTable(FileDesc* desc, int rowNumberFlag) {
    if (desc == nullptr || !FILEDESC_NamesRefusal(desc).empty()) return nullptr;
    try {
        return ToDynString(CreateTableText(desc, rowNumberFlag));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

DYNSTRING* MSSQL_GenerateInsert(const FileDesc* desc, const char* tableName, LDCG* row,
                                int rowNumber, int rowNumberFlag) {
    if (desc == nullptr || !HasName(tableName) || row == nullptr ||
        FILEDESC_NameFault(tableName) >= 0 || !RowNamesAllowed(ColumnsOf(desc), row))
        return nullptr;
    try {
        InsertBuilder builder(tableName, rowNumberFlag, "\n", desc);
        std::string sql;
        builder.append(sql, row, rowNumber);
        return ToDynString(sql);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int MSSQL_SendDataToSQLServer(FileDesc* desc, const char* dataPath, const char* scriptPath,
                              int rowNumberFlag, morvex::UiError* error) {
    if (desc == nullptr || dataPath == nullptr || scriptPath == nullptr) return -1;
    if (!HasName(desc->TableName)) {
        if (error)
            *error = {"Script SQL Server",
                      "La description n'a pas de nom de table : le script n'est pas écrit.\nDonnez "
                      "un nom à la table (propriétés de la description) puis recommencez.",
                      morvex::UiIcon::Error};
        return -4;
    }
    if (const std::string refusal = FILEDESC_NamesRefusal(desc); !refusal.empty()) {
        if (error)
            *error = {"Script SQL Server", refusal + "\nLe script n'est pas écrit.",
                      morvex::UiIcon::Error};
        return -5;
    }
    ScriptFile script;
    if (!script.open(scriptPath)) {
        morvex::trace("\n[MSSQL_SendDataToSQLServer] Impossible de créer le fichier [%s]",
                      scriptPath);
        return -2;
    }
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(desc, dialect); !refusal.empty()) {
        morvex::trace("\n[MSSQL_SendDataToSQLServer] %s", refusal.c_str());
        script.close();
        return -3;
    }
    DATAFILE* reader = DATAFILE_NewIterator(dialect, dataPath, DATAFILE_LINE_LIMIT, 0);
    if (reader == nullptr || DATAFILE_Init(reader) != 0) {
        morvex::trace("\n[MSSQL_SendDataToSQLServer] Lecture impossible du fichier [%s]", dataPath);
        DATAFILE_DestroyIterator(reader);
        script.close();
        return -3;
    }
    int rows = 0;
    bool written = true;
    try {
        script.text(CreateTableText(desc, rowNumberFlag) + "\n");
        InsertBuilder builder(desc->TableName, rowNumberFlag, "\r\n", desc);
        std::string& out = script.buffer();
        while (LDCG* row = DATAFILE_ReadNext(reader)) {
            RowPtr owned(row);
            builder.append(out, row, DATAFILE_GetCurrentFileRowID(reader));
            out += "\r\n";
            ++rows;
            script.flushIfFull();
        }
    } catch (const std::bad_alloc&) {
        morvex::trace("\n[MSSQL_SendDataToSQLServer] Mémoire insuffisante après %i lignes", rows);
        written = false;
    }
    DATAFILE_DestroyIterator(reader);
    if (!written || !script.close()) {  // an unfinished script never takes the target's name
        morvex::trace("\n[MSSQL_SendDataToSQLServer] Erreur d'écriture du fichier [%s]",
                      scriptPath);
        return -2;
    }
    char message[128];
    snprintf(message, sizeof message, "Chargement Terminé : %i lignes chargées en base de données.",
             rows);
    morvex::uiPort().statusText(message);
    return rows;
}

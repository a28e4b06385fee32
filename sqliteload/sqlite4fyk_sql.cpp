// The SQL text of a description's table: quoted names, column types, CREATE TABLE and INSERT.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/sqlite4fyk_internal.h"

using namespace sqlite4fyk_internal;
using morvex::Format;

std::string SQLITE4FYK_QuoteName(const char* name) {
    std::string out = "\"";
    for (const char* p = name != nullptr ? name : ""; *p != '\0'; ++p) {
        if (*p == '"') out += '"';
        out += *p;
    }
    return out + "\"";
}

std::string GenerateSQLITEType(const TypeCible* t) {
    if (t == nullptr) return "";
    switch (t->type) {
        case DATATYPE_INTEGER:
            return "int";
        case DATATYPE_DECIMAL:
            return Format("decimal(%i, %i)",
                          t->fmtDecimal.partieEntiere + t->fmtDecimal.partieDecimale,
                          t->fmtDecimal.partieDecimale);
        case DATATYPE_DATE:
        case DATATYPE_DATETIME:
            return "datetime";
        case DATATYPE_FIXEDCHAR:
            return Format("char(%i)", t->fmtChaineFixe.taille);
        case DATATYPE_VARIABLECHAR:
            return Format("varchar(%i)", t->fmtChaineVar.tailleMax);
        case DATATYPE_TEXT:
            return "text";
        case DATATYPE_BOOLEAN:
            return "bit";
        default:
            return "";
    }
}

std::string GenerateCreateTable(const FileDesc* desc, int rowNumberFlag) {
    if (desc == nullptr) return "";
    return "DROP TABLE IF EXISTS " + SQLITE4FYK_QuoteName(desc->TableName) + ";" +
           SQLITE4FYK_CreateTableSQL(desc, rowNumberFlag, false);
}

namespace {

// The quoted names of a list of ColumnDesc*, separated by commas.
std::string columnList(const std::vector<ColumnDesc*>& columns) {
    std::string out;
    for (const ColumnDesc* column : columns) {
        if (!out.empty()) out += ", ";
        out += SQLITE4FYK_QuoteName(column->code);
    }
    return out;
}

}  // namespace

std::string SQLITE4FYK_CreateTableSQL(const FileDesc* desc, int rowNumberFlag, bool keys,
                                      bool primaryKey, const SQLITE4FYK_TABLESQL* target) {
    if (desc == nullptr) return "";
    const std::string table =
        target != nullptr ? target->table : SQLITE4FYK_QuoteName(desc->TableName);
    auto typeOf = target != nullptr ? target->columnType : GenerateSQLITEType;
    std::string sql = "CREATE TABLE " + table + " (";
    bool first = true;
    if (rowNumberFlag) {
        sql += std::string("FileRowID ") + (target != nullptr ? target->rowNumberType : "int");
        first = false;
    }
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        if (!first) sql += ",\n";
        first = false;
        sql += SQLITE4FYK_QuoteName(column->code) + " " + typeOf(&column->typeCible);
        if (keys && column->FieldCannotBeNull) sql += " NOT NULL";
    }
    const std::string key = columnList(desc->primaryKey.columns);
    if ((keys || primaryKey) && !key.empty()) sql += ",\nPRIMARY KEY (" + key + ")";
    sql += ");";
    for (const std::unique_ptr<IndexDesc>& index : desc->indexes) {
        if (!keys) break;
        const std::string columns = columnList(index->columns);
        if (columns.empty()) continue;
        sql += "\nCREATE INDEX " + SQLITE4FYK_QuoteName(index->name) + " ON " + table + " (" +
               columns + ");";
    }
    return sql;
}

std::string SQLITE4FYK_UpsertClause(const FileDesc* desc, int rowNumberFlag) {
    if (desc == nullptr) return "";
    const std::string key = columnList(desc->primaryKey.columns);
    if (key.empty()) return "";
    std::string set;
    auto assign = [&set](const std::string& name) {
        set += (set.empty() ? "" : ", ") + name + " = excluded." + name;
    };
    if (rowNumberFlag) assign("FileRowID");
    for (const ColumnOwner& column : desc->columns) assign(SQLITE4FYK_QuoteName(column->code));
    return " ON CONFLICT (" + key + ") DO UPDATE SET " + set;
}

std::string GenerateInsert(const FileDesc* desc, int rowNumberFlag) {
    if (desc == nullptr) return "";
    std::string names;
    std::string values;
    if (rowNumberFlag) {
        names = "FileRowID";
        // Appended, not assigned: assigning the one-character literal trips a false -Wrestrict
        // warning of g++ 12 at -O2.
        values += '?';
    }
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        if (!names.empty()) {
            names += ", ";
            values += ", ";
        }
        names += SQLITE4FYK_QuoteName(column->code);
        values += "?";
    }
    if (names.empty()) return "";
    return "INSERT INTO " + SQLITE4FYK_QuoteName(desc->TableName) + " (" + names + ")\nVALUES (" +
           values + ")\n;";
}

namespace {

// `name` as SQLite compares names: ASCII letters in lower case, other bytes as they are.
std::string foldedName(const char* name) {
    std::string out(name != nullptr ? name : "");
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::string SQLITE4FYK_ColumnNameProblem(const FileDesc* desc, int rowNumberFlag) {
    if (desc == nullptr) return "";
    std::string problem;
    auto tell = [&problem](const std::string& text) {
        problem += (problem.empty() ? "" : " ; ") + text;
    };
    // Names seen so far, folded, with the number of their first column (0: FileRowID) and the
    // name as written.
    struct Seen {
        std::string folded;
        int position;
        const char* name;
    };
    std::vector<Seen> seen;
    if (rowNumberFlag) seen.push_back({foldedName("FileRowID"), 0, "FileRowID"});
    int position = 0;
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        ++position;
        if (column->code[0] == '\0') {
            tell(Format("colonne %i sans nom", position));
            continue;
        }
        const std::string folded = foldedName(column->code);
        const auto same = std::find_if(seen.begin(), seen.end(),
                                       [&folded](const Seen& s) { return s.folded == folded; });
        if (same == seen.end()) {
            seen.push_back({folded, position, column->code});
        } else if (same->position == 0) {
            tell(Format("colonne %i [%s] : même nom que le numéro de ligne FileRowID", position,
                        column->code));
        } else {
            tell(Format("colonne %i [%s] : même nom que la colonne %i [%s]", position,
                        column->code, same->position, same->name));
        }
    }
    return problem.empty() ? "" : "noms de colonne en double ou vides : " + problem;
}

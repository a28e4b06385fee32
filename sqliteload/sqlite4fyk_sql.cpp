// The SQL text of a description's table: quoted names, column types, CREATE TABLE and INSERT.
#include <cstring>
#include <string>

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
    const std::string table = SQLITE4FYK_QuoteName(desc->TableName);
    std::string sql = "DROP TABLE IF EXISTS " + table + ";CREATE TABLE " + table + " (";
    bool first = true;
    if (rowNumberFlag) {
        sql += "FileRowID int";
        first = false;
    }
    for (LDCG_ELT* e = desc->columns != nullptr ? desc->columns->first : nullptr; e; e = e->next) {
        const auto* column = static_cast<const ColumnDesc*>(e->lParam1);
        if (!first) sql += ",\n";
        first = false;
        sql += SQLITE4FYK_QuoteName(column->code) + " " + GenerateSQLITEType(&column->typeCible);
    }
    return sql + ");";
}

std::string GenerateInsert(const FileDesc* desc, int rowNumberFlag) {
    if (desc == nullptr || desc->columns == nullptr) return "";
    std::string names;
    std::string values;
    if (rowNumberFlag) {
        names = "FileRowID";
        // Appended, not assigned: assigning the one-character literal trips a false -Wrestrict
        // warning of g++ 12 at -O2.
        values += '?';
    }
    for (LDCG_ELT* e = desc->columns->first; e; e = e->next) {
        const auto* column = static_cast<const ColumnDesc*>(e->lParam1);
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

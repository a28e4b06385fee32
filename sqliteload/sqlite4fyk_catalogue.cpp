// The catalogue tables (FylatekFileDesc, FylatekFileDescColumn) and the query history
// (FylatekHistory) of a database, and one statement run with its trace.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "filedesc/descprops.h"
#include "foundation/date.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/sqlite4fyk_internal.h"

using namespace sqlite4fyk_internal;
using morvex::Format;

namespace sqlite4fyk_internal {

// Runs a statement whose values are bound; 0, or 1 traced with SQLite's message.
int StepOnce(sqlite3* db, sqlite3_stmt* stmt, const std::string& sql) {
    if (stmt == nullptr) return 1;
    const int rc = gsqlite3.sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        morvex::trace(
            "\nUne erreur est survenue à l'exécution de la requête : [%s] "
            "\nMESSAGE : [%s]",
            sql.c_str(), gsqlite3.sqlite3_errmsg(db));
        gsqlite3.sqlite3_reset(stmt);
        return 1;
    }
    gsqlite3.sqlite3_reset(stmt);
    return 0;
}

// `text` as an SQL string literal, its single quotes doubled.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// Refuses an operation when no SQLite library is bound.
bool RefuseUnbound(const char* function) {
    if (SQLITE3_IsBound()) return false;
    morvex::trace("\n[%s] : la bibliothèque SQLite n'est pas chargée", function);
    return true;
}

}  // namespace sqlite4fyk_internal

int SQLITE4FYK_ExecuteSQL(sqlite3* db, const char* sql, int log) {
    if (db == nullptr || sql == nullptr || RefuseUnbound("SQLITE4FYK_ExecuteSQL")) return 1;
    if (log) SQLITE4FYK_LogQuery(db, sql);
    char* error = nullptr;
    if (gsqlite3.sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        morvex::trace(
            "\nUne erreur est survenue à l'exécution de la requête : [%s] "
            "\nMESSAGE : [%s]",
            sql, error != nullptr ? error : gsqlite3.sqlite3_errmsg(db));
        if (error != nullptr) gsqlite3.sqlite3_free(error);
        return 1;
    }
    return 0;
}

int SQLITE4FYK_LogQuery(sqlite3* db, const char* query) {
    if (db == nullptr || query == nullptr || RefuseUnbound("SQLITE4FYK_LogQuery")) return 1;
    const std::string sql =
        "INSERT INTO " + SQLITE4FYK_QuoteName(SQLITE4FYK_HISTORY_TABLE) + " (Query) values (?);";
    Statement stmt(db, sql);
    if (stmt.get() == nullptr) return 1;
    BindText(stmt.get(), 1, query);
    return StepOnce(db, stmt.get(), sql);
}

int CreateQueryHistoryTable(sqlite3* db, int drop) {
    if (db == nullptr || RefuseUnbound("CreateQueryHistoryTable")) return 1;
    const std::string name = SQLITE4FYK_QuoteName(SQLITE4FYK_HISTORY_TABLE);
    const std::string prefix = drop ? "DROP TABLE IF EXISTS " + name + ";\n" : "";
    const std::string sql = prefix + "CREATE TABLE IF NOT EXISTS " + name +
                            "\n(\nRowID INTEGER PRIMARY KEY AUTOINCREMENT,\nQuery varchar(4000),"
                            "\nTimeStamp TIMESTAMP DEFAULT CURRENT_TIMESTAMP);";
    morvex::trace("\n[CreateQueryHistoryTable] %s", sql.c_str());
    return SQLITE4FYK_ExecuteSQL(db, sql.c_str(), 0);
}

int SQLITE4FYK_SaveFileDescription(sqlite3* db, FileDesc* desc) {
    return SaveFileDescription(db, desc, nullptr);
}

SQLITE4FYK_CATALOGUE SQLITE4FYK_CatalogueOf(const FileDesc* desc) {
    SQLITE4FYK_CATALOGUE c;
    c.createDesc = Format(
        "CREATE TABLE IF NOT EXISTS %s (Version varchar(32),FileDescID int,FileDescUID "
        "char(%i),ProjectName varchar(%i) ,TableName varchar(%i),SchemaName "
        "varchar(%i),DatabaseName varchar(%i),"
        "Description text,FileDescPath varchar(512),TypeStructFile varchar(32),FirstLineIsHeader "
        "int,BeginFromLine int,EndToLine int,EndOfLine varchar(%i),FieldDelimiter varchar(32), "
        "LenFixedLine int,ExampleFilePath varchar(%i),DatabaseFilePath varchar(%i));",
        SQLITE4FYK_FILEDESC_TABLE, 64, 128, 63, 63, 63, 64, 260, 260);
    static const struct {
        const char* name;  // column of the column catalogue
        const char* type;  // its SQL type
    } kColumns[] = {
        {"Version", "varchar(32)"},
        {"FileDescUID", "char(64)"},
        {"Position", "int"},
        {"ColumnName", "varchar(256) "},
        {"Description", "varchar(1024)"},
        {"WidthInChars", "int"},
        {"DataType", "varchar(32)"},
        {"DataTypeFormat", "varchar(32)"},
        {"IgnoreColumn", "int"},
        {"FieldCannotBeNull", "int"},
        {"DelimCharStart", "char(1)"},
        {"DelimCharEnd", "char(1)"},
        {"StartPosition", "int"},
        {"EndPosition", "int"},
    };
    c.createColumns = Format("CREATE TABLE IF NOT EXISTS %s (", SQLITE4FYK_FILEDESCCOLUMN_TABLE);
    bool first = true;
    for (const auto& k : kColumns) {
        const char* separator = first ? "" : ",";
        first = false;
        c.createColumns += Format("%s\n\"%s\" %s", separator, k.name, k.type);
    }
    c.createColumns += ");";
    c.deleteColumns =
        Format("DELETE FROM %s WHERE FileDescUID IN (SELECT FileDescUID FROM %s WHERE "
               "FileDescUID = ?1 OR TableName = ?2) OR FileDescUID = ?1;",
               SQLITE4FYK_FILEDESCCOLUMN_TABLE, SQLITE4FYK_FILEDESC_TABLE);
    c.deleteDesc = Format("DELETE FROM %s WHERE FileDescUID = ?1 OR TableName = ?2;",
                          SQLITE4FYK_FILEDESC_TABLE);

    // The rows name their columns: the catalogue version, then every property the tables
    // (filedesc/descprops.h) give a catalogue column; a column's row adds the description's
    // identifier, and its type's name and format.
    std::string names = "Version", marks = "?";
    for (const morvex::DescProperty& p : morvex::descriptionProperties()) {
        if (!p.catalogueColumn) continue;
        names += std::string(", ") + p.catalogueColumn;
        marks += ", ?";
    }
    c.insertDesc = Format("INSERT INTO %s(%s)\nVALUES (%s);", SQLITE4FYK_FILEDESC_TABLE,
                          names.c_str(), marks.c_str());
    names = "\"Version\", \"FileDescUID\"";
    marks = "?, ?";
    for (const morvex::ColumnProperty& p : morvex::columnProperties()) {
        if (!p.catalogueColumn) continue;
        names += Format(", \"%s\"", p.catalogueColumn);
        marks += ", ?";
    }
    names += ", \"DataType\", \"DataTypeFormat\"";
    marks += ", ?, ?";
    c.insertColumns = Format("\nINSERT INTO %s (%s) VALUES (%s);", SQLITE4FYK_FILEDESCCOLUMN_TABLE,
                             names.c_str(), marks.c_str());
    if (desc == nullptr) return c;

    // Values as texts (the int columns' affinity stores numbers as integers); a number may have
    // the catalogue's word for it.
    c.descRow.push_back(SQLITE4FYK_CATALOGUE_VERSION);
    for (const morvex::DescProperty& p : morvex::descriptionProperties()) {
        if (!p.catalogueColumn) continue;
        if (p.kind != morvex::PropertyKind::Number)
            c.descRow.push_back(morvex::propertyText(*desc, p));
        else if (p.catalogueWord)
            c.descRow.push_back(p.catalogueWord(desc->*p.number));
        else
            c.descRow.push_back(std::to_string(desc->*p.number));
    }
    for (const ColumnOwner& columnOwner : desc->columns) {
        const ColumnDesc* column = columnOwner.get();
        std::vector<std::string> row = {SQLITE4FYK_CATALOGUE_VERSION, desc->FileDescUID};
        for (const morvex::ColumnProperty& p : morvex::columnProperties()) {
            if (!p.catalogueColumn) continue;
            if (p.kind == morvex::ColumnKind::Text) {
                row.push_back(morvex::columnText(*column, p));
            } else if (p.kind == morvex::ColumnKind::Number) {
                row.push_back(std::to_string(morvex::columnNumber(*column, p)));
            } else {
                const char character[2] = {column->*p.character, '\0'};
                row.push_back(character);
            }
        }
        char typeName[32] = "";
        char typeFormat[COLUMN_FORMAT_MAX + 1] = "";
        GetDataType(&column->typeCible, typeName, sizeof typeName);
        GetDataTypeFormat(&column->typeCible, typeFormat, sizeof typeFormat);
        row.push_back(typeName);
        row.push_back(typeFormat);
        c.columnRows.push_back(std::move(row));
    }
    return c;
}

namespace sqlite4fyk_internal {

int SaveFileDescription(sqlite3* db, FileDesc* desc, std::string* cause) {
    if (db == nullptr || desc == nullptr || RefuseUnbound("SQLITE4FYK_SaveFileDescription")) {
        return 1;
    }
    struct {
        int count = 0;
        sqlite3* db;
        std::string* cause;
        void operator+=(int failed) {
            if (failed == 0) return;
            if (count++ == 0 && cause != nullptr) *cause = gsqlite3.sqlite3_errmsg(db);
        }
    } failures{0, db, cause};
    const SQLITE4FYK_CATALOGUE c = SQLITE4FYK_CatalogueOf(desc);
    morvex::trace("\n -> Exécution du Create Table %s", SQLITE4FYK_FILEDESC_TABLE);
    failures += SQLITE4FYK_ExecuteSQL(db, c.createDesc.c_str(), 0);
    morvex::trace("\n -> Exécution du Create Table %s", SQLITE4FYK_FILEDESCCOLUMN_TABLE);
    failures += SQLITE4FYK_ExecuteSQL(db, c.createColumns.c_str(), 0);
    // Binds `values` in order (texts: the columns' int affinity stores numbers as integers).
    auto run = [&](const std::string& sql, const std::vector<std::string>& values) {
        Statement stmt(db, sql);
        if (stmt.get() == nullptr) return 1;
        for (size_t i = 0; i < values.size(); ++i)
            BindText(stmt.get(), static_cast<int>(i) + 1, values[i].c_str());
        return StepOnce(db, stmt.get(), sql);
    };
    // The catalogue of the other descriptions loaded into the database stays; the rows of this
    // one, and of any other that described the table it replaces, go.
    const std::vector<std::string> key = {desc->FileDescUID, desc->TableName};
    failures += run(c.deleteColumns, key);
    failures += run(c.deleteDesc, key);
    morvex::trace("\nINSERT:[%s]\n", c.insertDesc.c_str());
    failures += run(c.insertDesc, c.descRow);
    morvex::trace("\n[SQLITE4FYK_SaveFileDescription] : %s", c.insertColumns.c_str());
    for (const std::vector<std::string>& row : c.columnRows) failures += run(c.insertColumns, row);
    return failures.count > 0 ? 1 : 0;
}

}  // namespace sqlite4fyk_internal

#include "tabstrap/odbcsource.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tabstrap/script.h"

namespace {

// Most characters of a column name read in the first attempt.
constexpr SQLSMALLINT kColumnNameMax = 127;

// Most characters of a diagnostic message.
constexpr SQLSMALLINT kMessageMax = 512;

// Releases the connection and environment handles of `cnx` (the statement is not allocated).
void ReleaseConnection(ODBCCONNEXION* cnx) {
    if (cnx->dbc != SQL_NULL_HDBC) SQLFreeConnect(cnx->dbc);
    if (cnx->env != SQL_NULL_HENV) SQLFreeEnv(cnx->env);
    cnx->dbc = SQL_NULL_HDBC;
    cnx->env = SQL_NULL_HENV;
}

// Name and SQL type of result column `column` (from 1); false when the driver cannot tell.
bool DescribeColumn(SQLHSTMT stmt, SQLUSMALLINT column, SCRIPTCOLUMN& description) {
    std::vector<SQLCHAR> name(kColumnNameMax + 1);
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN rc = SQLDescribeCol(stmt, column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                  &nameLength, &type, &size, &digits, &nullable);
    // A name that fills the buffer may have been cut (some drivers report the cut length):
    // ask again with more room until it fits.
    while (SQL_SUCCEEDED(rc) && nameLength >= static_cast<SQLSMALLINT>(name.size() - 1) &&
           name.size() < 8192) {
        name.assign(std::max<std::size_t>(name.size() * 4, nameLength + 1u), 0);
        rc = SQLDescribeCol(stmt, column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                            &nameLength, &type, &size, &digits, &nullable);
    }
    if (!SQL_SUCCEEDED(rc)) return false;
    description.name = reinterpret_cast<const char*>(name.data());
    description.sqlType = type;
    return true;
}

// The driver's identifier quote (SQL_IDENTIFIER_QUOTE_CHAR): " " when it has none, "" when
// it cannot tell.
std::string IdentifierQuote(SQLHDBC dbc) {
    char quote[8] = "";
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)))
        return "";
    return std::string(quote, std::clamp<SQLSMALLINT>(length, 0, sizeof quote - 1));
}

// Reads column `column` of the current row as a double and writes it as the shortest text
// that reads back to the same double (NaN, Infinity, -Infinity spelled as SQL servers read
// them), whatever precision the driver's own text conversion has. False when the driver
// cannot give a double: the caller then reads the text.
bool GetDoubleText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& value, bool& isNull) {
    double number = 0;
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_DOUBLE, &number, sizeof number, &indicator)))
        return false;
    isNull = indicator == SQL_NULL_DATA;
    value.clear();
    if (isNull) return true;
    if (std::isnan(number)) {
        value = "NaN";
    } else if (std::isinf(number)) {
        value = number > 0 ? "Infinity" : "-Infinity";
    } else {
        char digits[32];
        value.assign(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    }
    return true;
}

// Prints the progress line "\r%i lignes ecrites..." without going through printf each row.
void PrintProgress(long rows) {
    char text[48] = "\r";
    auto result = std::to_chars(text + 1, text + 24, rows);
    static const char kTail[] = " lignes ecrites...";
    std::memcpy(result.ptr, kTail, sizeof kTail - 1);
    std::fwrite(text, 1, static_cast<std::size_t>(result.ptr - text) + sizeof kTail - 1, stdout);
}

}  // namespace

bool ODBC_GetText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& value, bool& isNull) {
    char piece[ODBC_PIECE_SIZE];
    value.clear();
    isNull = false;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, piece, sizeof piece, &indicator);
        if (rc == SQL_NO_DATA) return true;  // every piece has been read
        if (!SQL_SUCCEEDED(rc)) return false;
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        const bool cut =
            indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof piece);
        if (cut) {
            value.append(piece, sizeof piece - 1);
        } else if (indicator >= 0) {
            value.append(piece, static_cast<std::size_t>(indicator));
        } else {
            value.append(piece);
        }
        if (rc == SQL_SUCCESS || !cut) return true;
    }
}

int ODBC_Connect(ODBCCONNEXION* cnx, const char* dsn, const char* user, const char* password) {
    if (!cnx || !dsn || !user || !password) return 1;
    *cnx = ODBCCONNEXION{};
    SQLRETURN rc = SQLAllocEnv(&cnx->env);
    if (SQL_SUCCEEDED(rc)) rc = SQLAllocConnect(cnx->env, &cnx->dbc);
    if (SQL_SUCCEEDED(rc)) {
        rc = SQLConnect(cnx->dbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn)), SQL_NTS,
                        reinterpret_cast<SQLCHAR*>(const_cast<char*>(user)),
                        static_cast<SQLSMALLINT>(std::strlen(user)),
                        reinterpret_cast<SQLCHAR*>(const_cast<char*>(password)),
                        static_cast<SQLSMALLINT>(std::strlen(password)));
    }
    if (!SQL_SUCCEEDED(rc)) {
        std::printf("\nErreur de connexion ODBC");
        ODBC_PrintStatementErrors(cnx->stmt);
        SQLCHAR state[6] = "";
        SQLINTEGER native = 0;
        SQLCHAR message[kMessageMax] = "";
        SQLSMALLINT length = 0;
        if (cnx->dbc != SQL_NULL_HDBC &&
            SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, cnx->dbc, 1, state, &native, message,
                                        sizeof message, &length))) {
            std::printf("\nSQL ERROR : SQLState=%s; NativeErrorPtr=%i; MessageText=%s",
                        reinterpret_cast<char*>(state), static_cast<int>(native),
                        reinterpret_cast<char*>(message));
        }
        ReleaseConnection(cnx);
        return 1;
    }
    std::printf("OK");
    if (!SQL_SUCCEEDED(SQLAllocStmt(cnx->dbc, &cnx->stmt))) cnx->stmt = SQL_NULL_HSTMT;
    return 0;
}

void ODBC_PrintStatementErrors(SQLHSTMT stmt) {
    if (stmt == SQL_NULL_HSTMT) return;
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLCHAR message[kMessageMax + 1];
    SQLSMALLINT length = 0;
    while (SQLError(SQL_NULL_HENV, SQL_NULL_HDBC, stmt, state, &native, message, sizeof message,
                    &length) == SQL_SUCCESS) {
        std::printf("SQL Error:\nSQLSTATE=%s\nNative error=%ld\nmsg='%s'\n",
                    reinterpret_cast<char*>(state), static_cast<long>(native),
                    reinterpret_cast<char*>(message));
    }
}

int ODBC_ListCatalogue(ODBCCONNEXION* cnx) {
    if (!cnx || cnx->stmt == SQL_NULL_HSTMT) return 1;
    const SQLRETURN rc = SQLTables(cnx->stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    if (!SQL_SUCCEEDED(rc)) {
        std::printf("\n(e) Erreur lors de l'exécution du SQLTables.");
        return 1;
    }
    std::printf("\n%8s\t%6s\t%25s\t%8s\t%7s", "Catalog.", "Schema", "Objet", "Type", "Remarq.");
    static const char* const kFormats[5] = {"\n%8s", "\t%6s", "\t%25s", "\t%8s", "\t%7s"};
    std::string value;
    bool isNull = false;
    while (SQL_SUCCEEDED(SQLFetch(cnx->stmt))) {
        for (SQLUSMALLINT column = 1; column <= 5; ++column) {
            if (!ODBC_GetText(cnx->stmt, column, value, isNull)) value.clear();
            std::printf(kFormats[column - 1], value.c_str());
        }
    }
    SQLFreeStmt(cnx->stmt, SQL_DROP);
    cnx->stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocStmt(cnx->dbc, &cnx->stmt))) cnx->stmt = SQL_NULL_HSTMT;
    return 0;
}

int ODBC_Execute(ODBCCONNEXION* cnx, const char* query) {
    if (!cnx || !query) return 1;
    const SQLRETURN rc =
        SQLExecDirect(cnx->stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(query)), SQL_NTS);
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return 0;
    ODBC_PrintStatementErrors(cnx->stmt);
    return 1;
}

int ODBC_WriteScript(ODBCCONNEXION* cnx, const char* path, const char* table) {
    if (!cnx || !path || !table) return 1;
    SCRIPTFILE script;
    if (SCRIPT_Create(&script, path) != 0) {
        std::printf("\n(!) Erreur a l'ouverture du fichier '%s'", path);
        return 1;
    }
    std::printf("\n(i) Ecriture dans le fichier '%s'...\n", path);
    SCRIPT_WriteHeader(&script, table);

    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(cnx->stmt, &count))) count = 0;
    std::printf("\n%i colonnes", static_cast<int>(count));
    std::vector<SCRIPTCOLUMN> columns(static_cast<std::size_t>(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        if (!DescribeColumn(cnx->stmt, static_cast<SQLUSMALLINT>(i + 1), columns[i])) {
            columns[i] = SCRIPTCOLUMN{"", SCRIPT_SQL_UNKNOWN_TYPE};
        }
    }
    SCRIPT_SetColumnList(&script,
                         SCRIPT_ColumnList(table, columns, IdentifierQuote(cnx->dbc)));

    bool readFailed = false;
    if (count > 0) {
        std::string value;
        value.reserve(ODBC_VALUE_BUFFER);
        bool isNull = false;
        SQLRETURN rc;
        while (SQL_SUCCEEDED(rc = SQLFetch(cnx->stmt))) {
            std::string& row = SCRIPT_RowText(&script);
            const std::size_t rowStart = row.size();
            SCRIPT_BeginRow(&script);
            for (SQLSMALLINT i = 0; i < count && !readFailed; ++i) {
                const auto column = static_cast<SQLUSMALLINT>(i + 1);
                const bool isDouble = columns[i].sqlType == SQL_FLOAT ||
                                      columns[i].sqlType == SQL_DOUBLE;
                if (!(isDouble && GetDoubleText(cnx->stmt, column, value, isNull)) &&
                    !ODBC_GetText(cnx->stmt, column, value, isNull)) {
                    readFailed = true;
                    break;
                }
                if (i > 0) row += ", ";
                SCRIPT_AppendValue(row, columns[i].sqlType, value.data(), value.size(), isNull);
            }
            if (readFailed) {
                row.resize(rowStart);  // a row is written whole or not at all
                break;
            }
            PrintProgress(SCRIPT_EndRow(&script));
        }
        if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) readFailed = true;
        if (readFailed) {
            ODBC_PrintStatementErrors(cnx->stmt);
            std::printf("\n(!) Erreur de lecture apres %li lignes : script incomplet", script.rows);
        }
    }
    const long rows = script.rows;
    const bool writeFailed = SCRIPT_Close(&script) != 0;
    std::printf("\n%li lignes", rows);
    if (writeFailed) std::printf("\n(!) Erreur a l'ecriture du fichier '%s'", path);
    return readFailed || writeFailed ? 1 : 0;
}

void ODBC_Disconnect(ODBCCONNEXION* cnx) {
    if (!cnx) return;
    if (cnx->stmt != SQL_NULL_HSTMT) SQLFreeStmt(cnx->stmt, SQL_DROP);
    cnx->stmt = SQL_NULL_HSTMT;
    if (cnx->dbc != SQL_NULL_HDBC) SQLDisconnect(cnx->dbc);
    ReleaseConnection(cnx);
}

// ODBC: tabstrap's side of the ODBC driver manager. Connection with its diagnostics, the
// catalogue listing, running the query, and the export of its rows into an INSERT script.
// Messages are the console dialogue of tabstrap, written on standard output.
//
// An ODBCCONNEXION belongs to the thread that connected it.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <string>

// Most characters kept of a column value in one piece; longer values are fetched in pieces.
constexpr std::size_t ODBC_VALUE_BUFFER = 5200;
// Bytes asked of the driver at a time: small, since some drivers pad the whole buffer with
// zeros on every call; longer values come in several pieces.
constexpr std::size_t ODBC_PIECE_SIZE = 256;

// The three handles of one connection (SQL_NULL_HANDLE when not allocated).
struct ODBCCONNEXION {
    SQLHENV env = SQL_NULL_HENV;     // environment handle
    SQLHDBC dbc = SQL_NULL_HDBC;     // connection handle, connected when stmt is allocated
    SQLHSTMT stmt = SQL_NULL_HSTMT;  // statement handle of the catalogue listing and the query
};

// Connects to data source `dsn` as `user` with `password` and allocates the statement handle.
// 0 on success (after printing "OK"); 1 on failure, after printing "\nErreur de connexion ODBC"
// and the connection's first diagnostic record, with every handle released.
int ODBC_Connect(ODBCCONNEXION* cnx, const char* dsn, const char* user, const char* password);

// Prints every diagnostic record of statement `stmt` (nothing when stmt is not allocated).
void ODBC_PrintStatementErrors(SQLHSTMT stmt);

// Lists every object of the catalogue as a table on the console, then replaces the statement
// handle with a new one. 0, or 1 when the listing failed (message printed).
int ODBC_ListCatalogue(ODBCCONNEXION* cnx);

// Runs `query` on the statement handle. 0 when it ran (SQL_SUCCESS or SQL_SUCCESS_WITH_INFO);
// 1 otherwise, after printing the statement's diagnostics.
int ODBC_Execute(ODBCCONNEXION* cnx, const char* query);

// Writes the rows of the query last run into the INSERT script `path` for target `table`,
// with its progress on the console. Double-precision columns are read as doubles and written
// as the shortest text that reads back to the same value. 0 when the whole script was written; 1 when the file could
// not be created or written, or a row could not be read (each with its console message).
int ODBC_WriteScript(ODBCCONNEXION* cnx, const char* path, const char* table);

// Drops the statement, disconnects and releases every handle still allocated.
void ODBC_Disconnect(ODBCCONNEXION* cnx);

// Reads column `column` (from 1) of the current row as text into `value`, in pieces of
// ODBC_VALUE_BUFFER characters however long it is; `isNull` tells a null value. Returns false
// when the driver reports an error.
bool ODBC_GetText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& value, bool& isNull);

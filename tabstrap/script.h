// SCRIPT: the INSERT script of tabstrap. Header block, column list, one statement per row with
// its values written by SQL type, and the closing comment; everything goes to the file through
// one large memory buffer. Free of ODBC, so that it can be driven by any source of rows.
//
// A SCRIPTFILE belongs to the thread that opened it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/date.h"

// SQL type codes that decide how a value is written (the ODBC codes).
constexpr int SCRIPT_SQL_UNKNOWN_TYPE = 0;
constexpr int SCRIPT_SQL_CHAR = 1;
constexpr int SCRIPT_SQL_VARCHAR = 12;

// Picture format of the date-time values read from the source.
constexpr const char* SCRIPT_DATETIME_FORMAT = "aaaa-mm-jj HH:MM:SS";

// Who wrote the program, as the banner and the script header name it.
constexpr const char* SCRIPT_AUTHOR = "Morvex Fylatek";
// The maker's web address, written in the script header.
constexpr const char* SCRIPT_WEB_ADDRESS = "www.morvex-fylatek.example";

// One column of the result being exported.
struct SCRIPTCOLUMN {
    std::string name;  // column name as the source reports it
    int sqlType;       // SQL data type code reported for the column
};

// A script being written. Fields are private to the module: use the SCRIPT_ functions.
struct SCRIPTFILE {
    FILE* file = nullptr;    // the script file, owned; nullptr once closed
    std::string buffer;      // text waiting to be written to file
    std::string columnList;  // "INSERT INTO T (A, B)", written before every VALUES line
    long rows = 0;           // statements written so far
    bool failed = false;     // true once a write to the file has failed
};

// Reads `text` under the picture `format` (letters a, m, j, H, M, S, L: one digit each) into
// `dateTime`, first set to zeros. The older copy of the date-time conversion: leading blanks are
// not skipped and a failure is traced with the date-only messages
// ("\n[ERREUR][DATE_Convert] ..."). Returns dateTime, or nullptr on failure (fields read so far
// stay) or when an argument is missing.
MYDATETIME* SCRIPT_ConvertDateTime(const char* text, const char* format, MYDATETIME* dateTime);

// Appends to `out` the literal of one value of SQL type `sqlType`: NULL when isNull, otherwise
// `length` bytes of `text` quoted, as they stand, or converted as a date-time. A numeric text
// that is not a plain number (NaN, Infinity) is quoted; a date-time whose text holds more than
// the picture (fractional seconds, a time zone offset) keeps that rest after the converted
// form. An unknown type (code 0) is traced as well. The whole value is written however long
// it is.
void SCRIPT_AppendValue(std::string& out, int sqlType, const char* text, std::size_t length,
                        bool isNull);

// `name` as the column list writes it: bare when it is a plain identifier (ASCII letter or
// underscore, then letters, digits, underscores) or when `quote` is empty or " " (the driver
// has no identifier quote); otherwise between two `quote`, a quote inside doubled.
std::string SCRIPT_ColumnName(const std::string& name, const std::string& quote);

// "INSERT INTO <table> (" then the column names (SCRIPT_ColumnName with `quote`, the driver's
// identifier quote) separated by ", " then ")".
std::string SCRIPT_ColumnList(const char* table, const std::vector<SCRIPTCOLUMN>& columns,
                              const std::string& quote = "\"");

// Creates (replacing) the script file at `path`. 0, or 1 when it cannot be created (script is
// then left closed). Writes nothing yet.
int SCRIPT_Create(SCRIPTFILE* script, const char* path);

// Writes the seven-line header block naming `table` (no line feed after its last line).
void SCRIPT_WriteHeader(SCRIPTFILE* script, const char* table);

// Sets the column list written before every VALUES line (see SCRIPT_ColumnList).
void SCRIPT_SetColumnList(SCRIPTFILE* script, std::string columnList);

// Starts one statement: blank line, column list line, "VALUES (". The caller then appends the
// values, separated by ", ", to SCRIPT_RowText and calls SCRIPT_EndRow.
void SCRIPT_BeginRow(SCRIPTFILE* script);

// The text of the statement being built, for SCRIPT_AppendValue.
std::string& SCRIPT_RowText(SCRIPTFILE* script);

// Ends the statement begun by SCRIPT_BeginRow (")"), counts it and returns the count so far.
long SCRIPT_EndRow(SCRIPTFILE* script);

// Writes the closing comment with the number of statements and closes the file.
// 0, or 1 when any write to the file failed (the file is closed either way).
int SCRIPT_Close(SCRIPTFILE* script);

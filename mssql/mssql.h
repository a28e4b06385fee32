// MSSQL: SQL Server scripts. The system never connects to SQL Server; it writes text files that
// a database administrator runs there:
//   - the INSERT script: DROP and CREATE of a table shaped by the description, then one INSERT
//     followed by the batch separator GO per row of a data file;
//   - from the generation parameters (MSSQL_PARAMS): a BCP format file, a BULK INSERT script that
//     loads the raw text into the staging table bcp_<table>, and an update script that creates
//     the typed table and fills it from the staging table with conversions.
//
// Every file is written with CR LF line ends. Every identifier is written between brackets (its
// "]" doubled) and every text literal between quotes (its "'" doubled); no name holding a
// control character reaches a script (the scripts are refused), so that no line of a script
// but the separators themselves can read GO. Values of the INSERT script are literals that are
// always valid T-SQL, whatever the data: an empty number or date is NULL, a number that is not one
// is a quoted string, every quote inside a string is doubled, a string that holds anything but
// ASCII is N'...', and line breaks inside a value are written CHAR(13) and CHAR(10) between
// quoted parts so that no line of a literal can read as a batch separator (GO).
//
// Return convention: 0 = success, 1 = failure, unless a function says otherwise.
#pragma once

#include <string>
#include <vector>

#include "filedesc/filedesc.h"
#include "foundation/dynstring.h"
#include "foundation/ldcg.h"
#include "foundation/uiport.h"

// Sizes of the slots of the parameter record (terminator included).
constexpr int MSSQL_NAME_SLOT = 65;   // database and table names: up to 63 characters typed
constexpr int MSSQL_PATH_SLOT = 261;  // file paths: up to 259 characters typed

// The SQL Server generation parameters. A .prm file is this record byte for byte: 1174 bytes,
// each text ended by a zero byte inside its slot (the writer zero-fills the rest of the slot).
struct MSSQL_PARAMS {
    char nomBase[MSSQL_NAME_SLOT];         // database name (offset 0), "Master"
    char nomTable[MSSQL_NAME_SLOT];        // table name (offset 65), "TBL_IMPORT"
    char fichierDonnees[MSSQL_PATH_SLOT];  // data file path (offset 130), "imp_data.txt"
    char fichierFormat[MSSQL_PATH_SLOT];   // format file path (offset 391), "imp_fmt.fmt"
    char scriptBCP[MSSQL_PATH_SLOT];       // BULK INSERT script path (offset 652), "imp_bcp.sql"
    char scriptMAJ[MSSQL_PATH_SLOT];       // update script path (offset 913), "imp_maj.sql"
};
static_assert(sizeof(MSSQL_PARAMS) == 1174, "a .prm file is the record byte for byte");

// Size in bytes of a .prm file.
constexpr int MSSQL_PRM_SIZE = static_cast<int>(sizeof(MSSQL_PARAMS));

// Puts the defaults into `params` (every slot zero-filled past its text); 1 when it is missing.
// The record belongs to whoever shows or runs the parameters (the parameters window, the
// command line); nothing here keeps one.
int MSSQL_InitParams(MSSQL_PARAMS* params);

// ---- INSERT script ----

// Writes the INSERT script of the data file at `dataPath` read through `desc` into `scriptPath`
// (replaced). Returns the number of rows written; -1 when an argument is missing, -2 when the
// script cannot be created (or a write fails), -3 when the data file reader cannot be created
// (the script is then left empty), -4 when the description names no table, -5 when one of its
// names holds a control character (filedesc/names.h) (for both, nothing is written and `error`,
// when given, says why, for the caller to show). Puts the final count in the status bar.
int MSSQL_SendDataToSQLServer(FileDesc* desc, const char* dataPath, const char* scriptPath,
                              int rowNumberFlag, morvex::UiError* error = nullptr);

// DROP and CREATE of the description's table ("FileRowID int" first with the flag), followed by a
// line feed; every identifier between brackets. A new DYNSTRING (the caller destroys it), or
// nullptr without a description, when one of its names holds a control character or when
// memory runs out.
DYNSTRING* MSSQL_GenerateCreateTable(FileDesc* desc, int rowNumberFlag);

// The INSERT of one row (LDCG of DATACOLUMN*) read through `desc` into `tableName`, followed by
// a line holding GO. Fields without a column are skipped (traced). A new DYNSTRING, or nullptr
// when an argument is missing (an empty table name too), a name holds a control character or
// memory runs out.
DYNSTRING* MSSQL_GenerateInsert(const FileDesc* desc, const char* tableName, LDCG* row,
                                int rowNumber, int rowNumberFlag);

// SQL Server type of a target type ("int", "decimal(10, 2)", ...) into `buffer` (cut to size - 1).
// 0; 1 without a target type or buffer, or for an unknown type code (buffer emptied).
int GenerateMSSQLType(const TypeCible* typeCible, char* buffer, int size);

// T-SQL literal of the field text `value` for the target type into `buffer`. 0; 1 without a
// target type or buffer, or when the literal does not fit (buffer emptied: a literal is never
// cut).
int MSSQL_GenerateStringForData(const TypeCible* typeCible, const char* value, char* buffer,
                                int size);

// Appends the T-SQL literal of the `length` bytes at `value` for `typeCible` to `out`.
// The allocation-free form that the script writer uses; typeCible must not be null.
void MSSQL_AppendLiteral(std::string& out, const TypeCible* typeCible, const char* value,
                         int length);

// ---- Parameter files ----

// Writes `params` to `path` (binary, 1174 bytes, each slot zero-filled past its text).
// 0, or 1 when an argument is missing or the file cannot be written.
int EnregistrerParametres(const MSSQL_PARAMS* params, const char* path);

// Reads `path` into `params`. A shorter file fills only the whole slots it covers; every slot is
// kept terminated. 0, or 1 (record unchanged) when an argument is missing or the file cannot be
// opened.
int ChargerParametres(MSSQL_PARAMS* params, const char* path);

// ---- Files of the generation parameters ----

// What a generation has to tell the person, in order: the warnings that do not stop it (title
// "Avertissement") and the refusal of a description it cannot write (title "Erreur"). The
// generations fill it and show nothing; the front end that called shows each (morvex::showError).
using MSSQL_TOLD = std::vector<morvex::UiError>;

// Writes the BCP format file of `desc` to params->fichierFormat. 1 without a column list, when
// the description is refused (why in `told`) or when the file cannot be written.
int MSSQL_GenererFichierFormat(const MSSQL_PARAMS* params, FileDesc* desc,
                               MSSQL_TOLD* told = nullptr);

// Writes the BULK INSERT script to params->scriptBCP; width and ignored-column warnings go to
// `told` and do not stop it. 1 without a column list, when the description is refused (why in
// `told`) or when the file cannot be written.
int MSSQL_GenererFichierBCP(const MSSQL_PARAMS* params, FileDesc* desc,
                            MSSQL_TOLD* told = nullptr);

// Writes the update script to params->scriptMAJ; size warnings go to `told` and do not stop it.
// 1 without a column list, when the description is refused (why in `told`) or when the file
// cannot be written.
int MSSQL_GenererScriptMAJ(const MSSQL_PARAMS* params, FileDesc* desc,
                           MSSQL_TOLD* told = nullptr);

// The comment block that opens both scripts (line feeds, not yet CR LF), with `generatedAt` as
// the generation date and `user` as its author.
std::string MSSQL_ScriptHeader(const MSSQL_PARAMS* params, const FileDesc* desc,
                               const std::string& generatedAt, const std::string& user);

// Name of the logged-on user, at most 63 characters ("" when it cannot be found).
std::string MSSQL_LoggedOnUser();

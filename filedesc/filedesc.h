// FILEDESC: the description of a flat data file as a table (FileDesc), its columns
// (ColumnDesc), primary key and indexes (IndexDesc), the registry of open descriptions, and the
// description file formats (.fyk text, .for legacy binary records).
//
// The records themselves are in descrecords/records.h; they are created and released by this
// module (descriptions and indexes with new, columns with malloc, owned by their description).
// Nothing here locks: a description is used from one thread at a time.
//
// Return convention: 0 = success, 1 = failure (missing argument, out of memory, file error),
// unless a function says otherwise.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "descrecords/records.h"
#include "filedesc/process.h"
#include "filedesc/typestats.h"
#include "foundation/dynstring.h"
#include "foundation/ldcg.h"

// ---- Registry and lifecycle ----

// Creates the registry of open descriptions; called once at start-up (later calls keep it).
int FILEDESC_Initialize();
// Creates and registers a description (every argument may be null; the project name's control
// characters are written "_"); nullptr when out of memory.
FileDesc* FILEDESC_CreateFileDesc(const char* projectName, const char* path, int typeStructFile,
                                  const char* endOfLine, const char* delimiter);
// Creates a description and loads the .fyk file at `path` into it; nullptr when it cannot be
// read or is not a whole description (the description is then closed), with the reason in French
// in *error when given.
FileDesc* FILEDESC_OpenFileDesc(const char* path, std::string* error = nullptr);
// Releases the description with everything it owns and unregisters it. nullptr gives 0.
int FILEDESC_CloseFileDesc(FileDesc* desc);
// The registered description with that FileDescID, or nullptr.
FileDesc* FILEDESC_GetFileDescByID(int id);
// Number of registered descriptions.
int FILEDESC_RegistryCount();
// Replaces FileDescPath by a copy of `path` (nullptr clears it) and sets isModified.
int FILEDESC_SetFileName(FileDesc* desc, const char* path);
// The other owned texts of a description: each replaces the text held by a copy of `text`
// (nullptr clears it), isModified untouched. 0, or 1 without a description or when the copy
// cannot be made (the text held then stays).
int FILEDESC_SetDescription(FileDesc* desc, const char* text);
// The two file paths: another value also drops the text the path was read as, so that the
// description is written with the new one; the same value keeps it.
int FILEDESC_SetExampleFilePath(FileDesc* desc, const char* path);
int FILEDESC_SetDatabaseFilePath(FileDesc* desc, const char* path);

// ---- Columns ----

// Appends a copy of `column` (its message and stats pointers pass to the copy: the caller must
// no longer free them), sets isModified, renumbers positions and validates the new column.
int FILEDESC_AjouterColonne(FileDesc* desc, const ColumnDesc* column);
// The same append without renumbering or validating, for loaders that append many columns and
// then call FILEDESC_UpdatePositions and FILEDESC_Validate once.
int FILEDESC_AppendColumn(FileDesc* desc, const ColumnDesc* column);
// Removes `column` from the description and releases it; sets isModified and renumbers.
// 1 when the column is not in the description. Remove it from the key and indexes first.
int FILEDESC_SupprimerColonne(FileDesc* desc, ColumnDesc* column);
// Traces the column name and releases its message, statistics and the record (null accepted).
void FileDesc_DestroyColumn(void* column);
// After an in-place column edit: sets isModified and validates every column.
int FILEDESC_MAJColonne(FileDesc* desc);
// The first column whose code equals `code` exactly, or nullptr.
ColumnDesc* FILEDESC_SearchColumn(FileDesc* desc, const char* code);
// The n-th column counting from 1, or nullptr (n <= 0 or past the end).
ColumnDesc* FILEDESC_SearchColumnByPos(FileDesc* desc, int n);

namespace morvex {
// Whether two column names are the same name to a database: equal but for the case of ASCII
// letters, as SQLite compares names.
bool sameColumnName(const char* a, const char* b);
// The first group of columns of `desc` whose names are the same (sameColumnName), in the order
// of the columns, said in French: "« Code », « CODE »" (their positions when `positions`:
// "« Code » (colonne 2), « CODE » (colonne 5)"); empty when every name is its own. Linear.
std::string duplicateColumnNames(const FileDesc* desc, bool positions = false);
// The same over a list of names (the columns of a description to be).
std::string duplicateColumnNames(const std::vector<const char*>& names, bool positions = false);
}  // namespace morvex
// Renumbers Position, StartPosition and EndPosition from the widths, in list order.
int FILEDESC_UpdatePositions(FileDesc* desc);
// Releases every column's statistics.
int FILEDESC_RemoveColumnsStats(FileDesc* desc);
// Validates every column in order.
int FILEDESC_Validate(FileDesc* desc);
// Validates one column: 1 when it passes, 0 when it got a message (1 also when the pattern
// cannot be compiled, and for a missing column).
int FILEDESC_ValidateColumn(ColumnDesc* column);

// ---- Primary key and indexes ----

// Replaces the primary key by `key`'s name and column list (the list moves to the description;
// the caller keeps the IndexDesc record, whose column list is left empty).
// A null key empties the primary key.
int FILEDESC_SetPrimaryKey(FileDesc* desc, IndexDesc* key);
// Appends `index` (made by FILEDESC_CreateIndex), which the description then owns.
int FILEDESC_AddIndex(FileDesc* desc, IndexDesc* index);
// Removes `index` from the list without releasing it (ownership returns to the caller).
int FILEDESC_RemoveIndex(FileDesc* desc, IndexDesc* index);
// A new index record with an empty column list (new; released by FILEDESC_DestroyIndex);
// nullptr when out of memory.
IndexDesc* FILEDESC_CreateIndex(const char* name);
// Releases an index record and its column list, not the columns (null accepted).
void FILEDESC_DestroyIndex(void* index);

// ---- Notation, identifiers, types ----

// Converts the text notation of an end of line or delimiter ("\\r\\n", "#0x0D#0x0A") into the
// characters themselves (DATAFILE_NotationBytes), into `out` (at most outSize - 1 characters,
// zero-terminated). 1 when text/out missing.
int FILEDESC_ConvertEndOfLine(const char* text, char* out, int outSize);
// A fresh identifier: 32 upper-case hex digits of an MD5 digest (new DYNSTRING, caller
// destroys it); nullptr on failure.
DYNSTRING* FILEDESC_CreateUID();
// Name of the type ("Integer", ...) into out; 1 (out unchanged) for a code outside 0..7.
int GetDataType(const TypeCible* typeCible, char* out, int outSize);
// Format text of the type into out; 1 (out unchanged) for a code outside 0..7.
int GetDataTypeFormat(const TypeCible* typeCible, char* out, int outSize);

// Unused list helpers kept for compatibility: CreerListe does nothing; DetruireListe releases
// the columns like closing does (the description is left without columns; its key and indexes
// keep their names but no longer name any column).
int FILEDESC_CreerListe();
int FILEDESC_DetruireListe(FileDesc* desc);

// ---- Description file (.fyk) ----

// Writes the description to `path` (CR LF before each line after the first, no final line
// break) and clears isModified. Texts are written as they stand under FILEVERSION=1.4; when one
// of them holds a line end, the file says FILEVERSION=1.5 and every text is written in the
// backslash notation ("\\r", "\\n", a backslash doubled). 1 without a description or path or
// when the file cannot be written.
int FILEDESC_SaveToFile(FileDesc* desc, const char* path);
// Reads the .fyk file at `path` into a freshly created description, then renumbers and validates
// its columns once. 1 when desc is missing, the file cannot be opened or is no regular file
// (a named pipe or a device is refused without waiting), or it is not a whole description: no
// description block, a block left open at the end of the file, a line over 1 MiB, more than
// FILEDESC_MAX_COLUMNS columns (refused as the one too many is read), a column width outside
// 0..FILEDESC_GetNCarMaxReadWithoutNewLine() (0: no width given), a number outside its range
// (negative lines or sizes, flags other than 0 and 1), an unknown type code, a text longer than
// its field (never cut), two columns of the same name (morvex::sameColumnName); *error (when
// given) then gets the reason in French with the line number. Unknown keys are never an error.
int FILEDESC_LoadFromFile(FileDesc* desc, const char* path, std::string* error = nullptr);

// ---- Legacy binary column records (.for) ----

// Size of one legacy column record.
constexpr int FORMATBIN_RECORD_SIZE = 1492;

// Appends every whole 1492-byte record of `path` as a column, then refreshes the result view.
// 1 without a description or when the file cannot be opened.
int ChargerFormat(FileDesc* desc, const char* path);
// Writes every column as a 1492-byte record to `path`. 1 without columns or on a file error.
int EnregistrerFormat(FileDesc* desc, const char* path);
// Writes the 4-byte Position of every column to `path` (diagnosis). 1 without columns or on a
// file error.
int DEBUG_SavePadding(FileDesc* desc, const char* path);
// "<logsDir>/MorvexFylatek.DebugFormatBin.bin" into out (cut to outSize - 1); 1 when missing.
int FILEDESC_DebugFormatBinPath(const char* logsDir, char* out, int outSize);
// "<logsDir>/MorvexFylatek.DebugPadding.bin" into out (cut to outSize - 1); 1 when missing.
int FILEDESC_DebugPaddingPath(const char* logsDir, char* out, int outSize);

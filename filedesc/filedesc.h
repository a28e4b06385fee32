// FILEDESC: the description of a flat data file as a table (FileDesc), its columns
// (ColumnDesc), primary key and indexes (IndexDesc), the registry of open descriptions, and the
// description file formats (.fyk text, .for legacy binary records).
//
// Records are plain C structs allocated with calloc and released by this module; text fields
// are fixed arrays that always hold a terminated text, longer values being cut. Nothing here
// locks: a description is used from one thread at a time.
//
// Return convention: 0 = success, 1 = failure (missing argument, out of memory, file error),
// unless a function says otherwise.
#pragma once

#include <cstdio>
#include <string>

#include "filedesc/process.h"
#include "filedesc/typestats.h"
#include "foundation/dynstring.h"
#include "foundation/ldcg.h"

// Longest texts kept in the fixed fields (characters, terminator excluded).
constexpr int FILEDESC_UID_MAX = 64;
constexpr int FILEDESC_PROJECTNAME_MAX = 128;
constexpr int FILEDESC_NAME_MAX = 63;  // TableName, SchemaName, DatabaseName
constexpr int FILEDESC_ENDOFLINE_MAX = 64;
constexpr int FILEDESC_DELIMITER_MAX = 63;
constexpr int COLUMN_CODE_MAX = 256;
constexpr int COLUMN_DESCRIPTION_MAX = 1024;
constexpr int COLUMN_FORMAT_MAX = 63;  // fmtDate, fmtDateTime
constexpr int INDEX_NAME_MAX = 62;
constexpr int FILEDESC_ENCODING_MAX = 31;  // Encoding

// Target data type codes (TypeCible::type).
enum DataTypeCode {
    DATATYPE_INTEGER = 0,       // "Integer"
    DATATYPE_DECIMAL = 1,       // "Decimal"
    DATATYPE_DATE = 2,          // "Date"
    DATATYPE_DATETIME = 3,      // "Datetime"
    DATATYPE_FIXEDCHAR = 4,     // "FixedChar"
    DATATYPE_VARIABLECHAR = 5,  // "VariableChar"
    DATATYPE_TEXT = 6,          // "Text"
    DATATYPE_BOOLEAN = 7,       // "Boolean"
};

// Values of FileDesc::TypeStructFile.
enum StructFileType {
    STRUCTFILE_UNSET = 0,      // only while a description is being loaded
    STRUCTFILE_FIXED = 1,      // fixed-width lines
    STRUCTFILE_DELIMITED = 2,  // fields separated by the delimiter
};

// Format of an Integer column.
struct FmtEntier {
    int taille;  // display length
};

// Format of a Decimal column.
struct FmtDecimal {
    int partieEntiere;   // digits of the integer part
    int partieDecimale;  // digits of the decimal part
};

// Format of a FixedChar column.
struct FmtChaineFixe {
    int taille;  // size of the fixed string
};

// Format of a VariableChar column.
struct FmtChaineVar {
    int tailleMax;  // maximum size of the variable string
};

// Target type of a column and the format of each type.
struct TypeCible {
    int type;                                 // DataTypeCode (0..7)
    FmtEntier fmtEntier;                      // Integer
    FmtDecimal fmtDecimal;                    // Decimal
    char fmtDate[COLUMN_FORMAT_MAX + 1];      // Date layout, such as "jj/mm/aaaa"
    char fmtDateTime[COLUMN_FORMAT_MAX + 1];  // Datetime layout
    FmtChaineFixe fmtChaineFixe;              // FixedChar
    FmtChaineVar fmtChaineVar;                // VariableChar
};

// One column of a description.
struct ColumnDesc {
    int Position;                                  // ordinal, 1 for the first column
    char code[COLUMN_CODE_MAX + 1];                // column name
    char Description[COLUMN_DESCRIPTION_MAX + 1];  // free text
    char* message;               // owned (malloc'd) validation or analysis message, or nullptr
    int hasWarning;              // 1 when the last validation produced a warning or an error
    int hasInfo;                 // 1 when analysis attached a remark
    int WidthInChars;            // width in characters (the field's length in fixed-width files)
    COL_TYPE_STATISTICS* stats;  // owned (calloc'd) statistics of the last analysis, or nullptr
    TypeCible typeCible;         // target type and format
    int IgnoreColumn;            // 0/1: the column is marked as ignored
    int FieldCannotBeNull;       // 0/1
    int protectedField;          // 0/1: values may be enclosed in DelimCharStart/DelimCharEnd
    char DelimCharStart;         // opening protecting character, 0 = none
    char DelimCharEnd;           // closing protecting character, 0 = none
    int StartPosition;           // first character of the field in a fixed-width line (1-based)
    int EndPosition;             // last character of the field (inclusive)
};

// A primary key or an index.
struct IndexDesc {
    char name[INDEX_NAME_MAX + 1];  // index name
    LDCG* columns;  // lParam1 = ColumnDesc* of the same description (references, not owned)
};

// The description of one flat data file.
struct FileDesc {
    int FileDescID;                                  // running number of this process run
    char FileDescUID[FILEDESC_UID_MAX + 1];          // unique identifier (32 hex digits)
    char ProjectName[FILEDESC_PROJECTNAME_MAX + 1];  // project name
    char TableName[FILEDESC_NAME_MAX + 1];           // target table
    char SchemaName[FILEDESC_NAME_MAX + 1];          // target schema
    char DatabaseName[FILEDESC_NAME_MAX + 1];        // target database
    char* Description;                               // owned (malloc'd) free text, or nullptr
    char* FileDescPath;                              // owned path of the .fyk file, or nullptr
    int isModified;                                  // 1 when the description differs from its file
    int TypeStructFile;                              // StructFileType
    int FirstLineIsHeader;  // 0/1: the first line read holds the column names
    int BeginFromLine;      // first line to read, from 1 (0 is taken as 1)
    int EndToLine;          // last line to read (stored, not applied by the reader)
    char EndOfLine[FILEDESC_ENDOFLINE_MAX + 1];            // end of line, text notation ("\\r\\n")
    char EndOfLineChars[FILEDESC_ENDOFLINE_MAX + 1];       // the same, converted
    char FieldDelimiter[FILEDESC_DELIMITER_MAX + 1];       // delimiter, text notation
    char FieldDelimiterChars[FILEDESC_DELIMITER_MAX + 1];  // the same, converted
    char fieldProtector;     // legacy description-wide protecting character; stays 0
    int LenFixedLine;        // length of a fixed-width line
    char* ExampleFilePath;   // owned path of the example data file, or nullptr
    char* DatabaseFilePath;  // owned path of the SQLite database file, or nullptr
    LDCG* columns;         // owned ColumnDesc* in column order (destructor FileDesc_DestroyColumn)
    IndexDesc primaryKey;  // the primary key (its column list is owned, its columns are not)
    LDCG* indexes;         // owned IndexDesc* records
    PROCESS* processes;    // owned generation process
    char Encoding[FILEDESC_ENCODING_MAX + 1];  // encoding of the data file ("UTF-8",
                                               // "WINDOWS-1252", "UTF-16LE"...); empty: the
                                               // bytes are taken as they are
    int Unquote;     // 0/1: protecting characters are removed from values, a doubled one
                     // stands for itself, and a protected field may go on over line ends
    char QuoteChar;  // with Unquote: protecting character of fields past the last column
                     // (set by an analysis, not saved); 0 = none
};

// ---- Registry and lifecycle ----

// Creates the registry of open descriptions; called once at start-up (later calls keep it).
int FILEDESC_Initialize();
// Creates and registers a description (every argument may be null); nullptr when out of memory.
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

// Replaces the primary key by `key`'s name and column list (the description then owns that
// list; the caller keeps the IndexDesc record, whose columns field is set to nullptr).
// A null key empties the primary key.
int FILEDESC_SetPrimaryKey(FileDesc* desc, IndexDesc* key);
// Appends `index` (calloc'd), which the description then owns.
int FILEDESC_AddIndex(FileDesc* desc, IndexDesc* index);
// Removes `index` from the list without releasing it (ownership returns to the caller).
int FILEDESC_RemoveIndex(FileDesc* desc, IndexDesc* index);
// A new index record with an empty column list (calloc'd); nullptr when out of memory.
IndexDesc* FILEDESC_CreateIndex(const char* name);
// Releases an index record and its column list, not the columns (null accepted).
void FILEDESC_DestroyIndex(void* index);

// ---- Notation, identifiers, types ----

// Converts the text notation of an end of line or delimiter ("\\r\\n", "#0x0D#0x0A") into the
// characters themselves, into `out` (at most outSize - 1 characters). 1 when text/out missing.
int FILEDESC_ConvertEndOfLine(const char* text, char* out, int outSize);
// A fresh identifier: 32 upper-case hex digits of an MD5 digest (new DYNSTRING, caller
// destroys it); nullptr on failure.
DYNSTRING* FILEDESC_CreateUID();
// Name of the type ("Integer", ...) into out; 1 (out unchanged) for a code outside 0..7.
int GetDataType(const TypeCible* typeCible, char* out, int outSize);
// Format text of the type into out; 1 (out unchanged) for a code outside 0..7.
int GetDataTypeFormat(const TypeCible* typeCible, char* out, int outSize);

// Unused list helpers kept for compatibility: CreerListe does nothing; DetruireListe releases
// the column list like closing does (the description is left without columns).
int FILEDESC_CreerListe();
int FILEDESC_DetruireListe(FileDesc* desc);

// ---- Description file (.fyk) ----

// Writes the description to `path` (CR LF before each line after the first, no final line
// break) and clears isModified. Texts are written as they stand under FILEVERSION=1.4; when one
// of them holds a line end, the file says FILEVERSION=1.5 and every text is written in the
// backslash notation ("\\r", "\\n", a backslash doubled). 1 without a column list or when the
// file cannot be written.
int FILEDESC_SaveToFile(FileDesc* desc, const char* path);
// Reads the .fyk file at `path` into a freshly created description, then renumbers and validates
// its columns once. 1 when desc is missing, the file cannot be opened, or it is not a whole
// description: no description block, a block left open at the end of the file, a column width
// outside 0..FILEDESC_GetNCarMaxReadWithoutNewLine() (0: no width given); *error (when given)
// then gets the reason in French with the line number. Unknown keys are never an error.
int FILEDESC_LoadFromFile(FileDesc* desc, const char* path, std::string* error = nullptr);

// ---- Legacy binary column records (.for) ----

// Size of one legacy column record.
constexpr int FORMATBIN_RECORD_SIZE = 1492;

// Appends every whole 1492-byte record of `path` as a column, then refreshes the result view.
// 1 without a column list or when the file cannot be opened.
int ChargerFormat(FileDesc* desc, const char* path);
// Writes every column as a 1492-byte record to `path`. 1 without columns or on a file error.
int EnregistrerFormat(FileDesc* desc, const char* path);
// Writes the 4-byte Position of every column to `path` (diagnosis).
int DEBUG_SavePadding(FileDesc* desc, const char* path);
// "<logsDir>/MorvexFylatek.DebugFormatBin.bin" into out (cut to outSize - 1); 1 when missing.
int FILEDESC_DebugFormatBinPath(const char* logsDir, char* out, int outSize);
// "<logsDir>/MorvexFylatek.DebugPadding.bin" into out (cut to outSize - 1); 1 when missing.
int FILEDESC_DebugPaddingPath(const char* logsDir, char* out, int outSize);

// The records of a description: a flat data file as a table (FileDesc), its columns
// (ColumnDesc), primary key and indexes (IndexDesc), with their limits and codes.
//
// Records of the description library (filedesc/), which creates, edits and releases them and
// builds from them the reading dialect the data file reader takes (filedesc/descdialect.h): the
// reader never sees them. Text fields are fixed arrays that always hold a terminated text,
// longer values being cut; the owned pointers are released by filedesc/. A column is a plain C
// struct; a description's lists are standard containers: its columns and indexes owned, an
// index's columns references to columns of the same description.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "foundation/dynstring.h"
#include "foundation/owned.h"

struct PROCESS;              // filedesc/process.h
struct COL_TYPE_STATISTICS;  // filedesc/typestats.h

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
// The most columns a description may have: the most SQLite can ever be built to take in a
// table. A description file with more is refused as it is read.
constexpr int FILEDESC_MAX_COLUMNS = 32767;

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

// Traces the column name and releases its message, statistics and the record (null accepted);
// defined by filedesc/.
void FileDesc_DestroyColumn(void* column);
// A column record owned by its description (malloc'd, released by FileDesc_DestroyColumn).
using ColumnOwner = morvex::Owned<ColumnDesc, FileDesc_DestroyColumn>;

// A primary key or an index.
struct IndexDesc {
    char name[INDEX_NAME_MAX + 1];  // index name
    std::vector<ColumnDesc*> columns;  // columns of the same description (references, not owned)
};

// The description of one flat data file. Created by FILEDESC_CreateFileDesc (new) and released
// by FILEDESC_CloseFileDesc; not copyable.
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
    // End of line and delimiter in their text notation ("\\r\\n", "\\t", "#0x1F"): their bytes
    // are FILEDESC_LineEndBytes and FILEDESC_DelimiterBytes (filedesc/descdialect.h).
    char EndOfLine[FILEDESC_ENDOFLINE_MAX + 1];       // end of line, text notation
    char FieldDelimiter[FILEDESC_DELIMITER_MAX + 1];  // delimiter, text notation
    char fieldProtector;     // legacy description-wide protecting character; stays 0
    int LenFixedLine;        // length of a fixed-width line
    char* ExampleFilePath;   // owned path of the example data file, or nullptr
    char* DatabaseFilePath;  // owned path of the SQLite database file, or nullptr
    // The two paths above as the .fyk file wrote them, when that text was relative and the path
    // is its resolution from the file's folder (filedesc/descpaths.h): owned, written back as
    // read while the path is not set to another value; nullptr otherwise.
    char* ExampleFileAsRead;
    char* DatabaseFileAsRead;
    // The columns in column order. Each record stays at its address while it belongs to the
    // description (the keys, indexes and editors hold ColumnDesc* references): moving a column
    // moves its owner only.
    std::vector<ColumnOwner> columns;
    IndexDesc primaryKey;  // the primary key (its columns are references into `columns`)
    std::vector<std::unique_ptr<IndexDesc>> indexes;  // owned index records (new'd)
    PROCESS* processes;    // owned generation process
    char Encoding[FILEDESC_ENCODING_MAX + 1];  // encoding of the data file ("UTF-8",
                                               // "WINDOWS-1252", "UTF-16LE"...); empty: the
                                               // bytes are taken as they are
    int Unquote;     // 0/1: protecting characters are removed from values, a doubled one
                     // stands for itself, and a protected field may go on over line ends
    char QuoteChar;  // with Unquote: protecting character of fields past the last column
                     // (set by an analysis, not saved); 0 = none
    int TrimPadding;  // 0/1: in a fixed-width file, the blanks around the values of text
                      // columns (FixedChar, VariableChar, Text) are padding, left out when the
                      // values are loaded or shown; numbers and dates are read through their
                      // blanks either way
};

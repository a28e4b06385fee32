// DATADIC: the data dictionary, column definitions kept for reuse across descriptions.
//
// Each element (an "object") is keyed by a column code and holds a default column definition
// plus references: the (database, table) pairs where a column of that code was recorded, each
// with its local definition. DATADICXML reads and writes the dictionary file "Dictionnaire.xml".
//
// Records are calloc'd and released by this module; text fields are fixed arrays that always
// hold a terminated text, longer values being cut. Columns held by the dictionary never own a
// message or statistics (their pointers are null). A dictionary belongs to the thread that uses
// it; nothing here locks.
//
// Results of the model: DATADIC_OK 0, DATADIC_ERR 1 (out of memory or failure),
// DATADIC_ERR_NODIC 2 (missing dictionary), DATADIC_ERR_NOCODE 3 (code not found),
// DATADIC_ERR_EXISTS 4 (reference already present).
#pragma once

#include "filedesc/filedesc.h"
#include "foundation/hcodeouvert.h"
#include "foundation/ldcg.h"

// Longest texts kept in the fixed fields (characters, terminator excluded).
constexpr int DATADIC_NAME_MAX = 63;      // dictionary name
constexpr int DATADIC_CODE_MAX = 63;      // element code, the key
constexpr int DATADIC_DATABASE_MAX = 64;  // reference database
constexpr int DATADIC_TABLE_MAX = 64;     // reference table
// Buckets of the code index.
constexpr int DATADIC_INDEX_BUCKETS = 100;

enum {
    DATADIC_OK = 0,          // success
    DATADIC_ERR = 1,         // out of memory or failure
    DATADIC_ERR_NODIC = 2,   // missing dictionary
    DATADIC_ERR_NOCODE = 3,  // no element with that code
    DATADIC_ERR_EXISTS = 4,  // that (database, table) is already referenced for the code
};

// A place where a column of the element's code was recorded. The same record shape is the
// input of DATADIC_AddElt and DICO_AddObject.
struct DATADIC_REF {
    char database[DATADIC_DATABASE_MAX + 1];  // database name, may be empty
    char table[DATADIC_TABLE_MAX + 1];        // table name, may be empty
    ColumnDesc localColumn;                   // the definition used in that table
};

// One object of the dictionary.
struct DATADIC_ELT {
    char code[DATADIC_CODE_MAX + 1];  // the key (a column code cut to 63 characters)
    ColumnDesc defaultColumn;         // the default definition
    LDCG* references;                 // owned DATADIC_REF* records, in insertion order
};

struct DATADIC_LOOKUP;

// The dictionary.
struct DATADIC {
    char name[DATADIC_NAME_MAX + 1];  // "ZRT" when created empty; "<use default>" until read
    char* filePath;                   // owned (malloc'd) path of its XML file
    LDCG* elements;                   // owned DATADIC_ELT* records, insertion order until sorted
    HASH* index;                      // code -> DATADIC_ELT* (not owning), 100 buckets
    DATADIC_LOOKUP* lookup;           // owned; the same mapping hashed on the whole table, so
                                      // that look-ups stay fast beyond a few thousand codes
};

// ---- Model ----

// A new empty dictionary with its index; both arguments required. nullptr when one is missing
// or memory runs out.
DATADIC* DATADIC_Create(const char* name, const char* filePath);
// Releases every element with its references, the index and the dictionary. 0, or 2 without
// a dictionary.
int DATADIC_Destroy(DATADIC* dic);
// Records ref->localColumn under its code: a new element (default definition = a copy of the
// column, plus a reference when both database and table are given), or a new reference of the
// existing element. 0; 4 when that (database, table) is already there (nothing changes); 1 for
// a missing record or no memory; 2 without a dictionary.
int DATADIC_AddElt(DATADIC* dic, const DATADIC_REF* ref);
// Appends a copy of `ref` to the references of the element `code`. 0; 4 already referenced;
// 3 no such element; 1 missing code/record or no memory; 2 without a dictionary.
int DATADIC_AddReference(DATADIC* dic, const char* code, const DATADIC_REF* ref);
// The element of `code`, or nullptr. Codes compare as the element keys do: cut to 63
// characters, case-sensitive.
DATADIC_ELT* DATADIC_SearchElt(DATADIC* dic, const char* code);
// The reference of element `code` with exactly that database and table (case-sensitive), or
// nullptr.
DATADIC_REF* DATADIC_SearchReference(DATADIC* dic, const char* code, const char* database,
                                     const char* table);
// Sorts the elements by code in ascending byte order. 0; 1 on failure (traced); 2 without a
// dictionary.
int DATADIC_Sort(DATADIC* dic);
// The element list (DATADIC_ELT* in lParam1), or nullptr without a dictionary.
LDCG* DATADIC_GetList(DATADIC* dic);
// A new empty element with its reference list; nullptr when out of memory.
DATADIC_ELT* DATADIC_ELT_Constructor();
// Releases the element's references and the element (nullptr accepted). Usable as an LDCG
// destructor.
void DATADIC_ELT_Destructor(void* elt);

// ---- File (Dictionnaire.xml) ----

// Writes the dictionary to `path`. The file is replaced only once it is complete: a failed
// write leaves the previous file untouched. 0; 1 when an argument is missing, the document
// cannot be built or the file cannot be written.
int DATADICXML_WriteToFile(DATADIC* dic, const char* path);
// A new dictionary read from the XML file at `path`, or nullptr when the file cannot be parsed
// at all. Problems inside the file are traced; what was read before them is kept.
DATADIC* DATADICXML_LoadFromFile(const char* path);

// What a read of the dictionary file gave, for the person: the OBJECT elements met, those that
// became objects, and why the file was not read to its end.
struct DATADICXML_LOADREPORT {
    int objectsSeen;        // OBJECT elements met in the file (up to where it could be read)
    int objectsRead;        // objects of the dictionary read
    long long faultOffset;  // byte where the reading stopped, -1 when the file was read whole
    char fault[128];        // the parser's reason ("" when the file was read whole)
};
// DATADICXML_LoadFromFile, filling `report` (optional). A file read only in part, or whose
// objects were not all taken, gives what was read and says so in the report.
DATADIC* DATADICXML_LoadFromFileReport(const char* path, DATADICXML_LOADREPORT* report);

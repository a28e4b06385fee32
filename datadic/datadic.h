// DATADIC: the data dictionary, column definitions kept for reuse across descriptions.
//
// Each element (an "object") is keyed by a column code and holds a default column definition
// plus references: the (database, table) pairs where a column of that code was recorded, each
// with its local definition. DATADICXML reads and writes the dictionary file "Dictionnaire.xml".
//
// The dictionary keeps its objects compact: each column as a small record of its numbers with
// its texts (codes, descriptions, formats, databases, tables) laid in an arena of large blocks
// shared by the whole dictionary, a few hundred bytes per object where a full element with its
// references takes several kilobytes. The element records (DATADIC_ELT, DATADIC_REF) are built
// on demand, when an object is looked up (DATADIC_SearchElt, DATADIC_EltAt) or the whole list
// is asked for (DATADIC_GetList), and then live with the dictionary, kept up to date as
// references are added. The list, the search and the file read the compact records
// (DATADIC_Count, DATADIC_CodeAt...), so that showing or saving a large dictionary builds none.
//
// Records are calloc'd and released by this module; text fields are fixed arrays that always
// hold a terminated text, longer values being cut. Columns held by the dictionary never own a
// message or statistics (their pointers are null). A dictionary belongs to the thread that uses
// it; nothing here locks: a dictionary read on a worker is handed whole to the thread that then
// uses it.
//
// Results of the model: DATADIC_OK 0, DATADIC_ERR 1 (out of memory or failure),
// DATADIC_ERR_NODIC 2 (missing dictionary), DATADIC_ERR_NOCODE 3 (code not found),
// DATADIC_ERR_EXISTS 4 (reference already present).
#pragma once

#include <atomic>
#include <cstddef>

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
// The largest dictionary file read. The file is read streaming and its objects kept compact
// (well under the file's size in memory), so that a dictionary of a few hundred thousand
// objects with their references is read whole.
constexpr size_t DATADICXML_MAX_FILE_BYTES = size_t{256} << 20;

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

struct DATADIC_STORE;

// The dictionary.
struct DATADIC {
    char name[DATADIC_NAME_MAX + 1];  // "ZRT" when created empty; "<use default>" until read
    char* filePath;                   // owned (malloc'd) path of its XML file
    LDCG* elements;                   // DATADIC_ELT* of every object in list order (insertion
                                      // order until sorted), filled by DATADIC_GetList; the
                                      // elements are owned by the store
    HASH* index;                      // code -> DATADIC_ELT* of the elements built so far (not
                                      // owning), 100 buckets
    DATADIC_STORE* store;             // owned: the compact objects, their arena, the code
                                      // look-up, the list order and the elements built
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
// Sorts the objects by code in ascending byte order. 0; 1 on failure (traced); 2 without a
// dictionary.
int DATADIC_Sort(DATADIC* dic);
// The element list (DATADIC_ELT* in lParam1, every object built), or nullptr without a
// dictionary. Valid until the dictionary changes (objects added, sorted); costs a full element
// per object: the list and the file read the compact records instead.
LDCG* DATADIC_GetList(DATADIC* dic);

// ---- The objects without their elements ----
// `row` is a place in list order, from 0 to DATADIC_Count - 1. Texts returned live as long as
// the dictionary (the arena never moves).

// Number of objects (0 without a dictionary).
int DATADIC_Count(const DATADIC* dic);
// The code of the object at `row` ("" outside).
const char* DATADIC_CodeAt(const DATADIC* dic, int row);
// The description of its default definition ("" outside).
const char* DATADIC_DescriptionAt(const DATADIC* dic, int row);
// Its default definition as a full column (message and statistics null). False outside.
bool DATADIC_DefaultColumnAt(const DATADIC* dic, int row, ColumnDesc* column);
// Its number of references (0 outside).
int DATADIC_ReferenceCountAt(const DATADIC* dic, int row);
// Calls `visit` with each of its references in order, as full records built one after the
// other in `scratch` (so that a caller reading all of them builds none to keep). `tablesOnly`
// fills only database and table (the column is left as it is).
void DATADIC_VisitReferencesAt(const DATADIC* dic, int row, DATADIC_REF* scratch,
                               bool tablesOnly, void (*visit)(const DATADIC_REF*, void*),
                               void* context);
// The element of the object at `row`, built on demand and owned by the dictionary, or nullptr
// outside (or when memory runs out).
DATADIC_ELT* DATADIC_EltAt(DATADIC* dic, int row);
// Bytes the store holds for its objects (arena and records), for the measures.
size_t DATADIC_StoreBytes(const DATADIC* dic);

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
//
// The file is read in blocks through a streaming parser, each object going to the compact
// store as soon as its start tags are read: memory holds the objects, never the document. A
// file larger than DATADICXML_MAX_FILE_BYTES, a named pipe or anything but a regular file is refused
// with its reason in the report. `stop` (optional) is looked at between blocks: once it is
// set the read gives nullptr. Any thread may read; the dictionary then belongs to the caller.
DATADIC* DATADICXML_LoadFromFileReport(const char* path, DATADICXML_LOADREPORT* report,
                                       const std::atomic<bool>* stop = nullptr);

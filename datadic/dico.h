// DICO: what the data dictionary window does, without the window: the process-wide dictionary
// it shows, the list filter, sending columns to it, applying an object to a description and
// the save sequence. The window (and morvexcli) call these; status lines and error boxes go
// through the UI port.
//
// Only the user-interface thread uses the process's dictionary; DICO_Read may run on a worker,
// whose dictionary is then handed to that thread (DICO_Install).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "datadic/datadic.h"
#include "foundation/uiport.h"

// The file name of the dictionary.
constexpr const char* DICO_FILE_NAME = "Dictionnaire.xml";
// Longest search text taken from the search box.
constexpr int DICO_FILTER_MAX = 511;

// Where the dictionary file lives: "<dictionariesDirectory>/Dictionnaire.xml" when that
// directory is given (non-empty), else "Dictionnaire.xml" in the per-user data directory
// ("$XDG_DATA_HOME/MorvexFylatek", by default "$HOME/.local/share/MorvexFylatek").
std::string DICO_DefaultPath(const char* dictionariesDirectory);

// Loads the dictionary at `path` and makes it the process's dictionary (replacing and
// releasing the previous one). A file that gives nothing gives an empty dictionary named "ZRT"
// bound to `path`; if even that fails, nullptr is returned with `*error` (when given) holding
// "Erreur de création du dictionnaire" for the caller to show. The dictionary is sorted. `unreadable` (optional) is set when
// the file exists and is not empty but gave nothing: saving would then replace it. `report`
// (optional) receives what the read gave (DATADICXML_LoadFromFileReport).
DATADIC* DICO_Open(const char* path, bool* unreadable = nullptr,
                   DATADICXML_LOADREPORT* report = nullptr, morvex::UiError* error = nullptr);
// What DICO_Open does before the dictionary becomes the process's, on any thread: the read
// (stopped when `stop`, optional, is set: nullptr), the empty dictionary "ZRT" in place of a
// file that gives nothing, the sort. `incomplete` (required) says whether it holds less than its
// file; `unreadable` and `report` as for DICO_Open. nullptr when stopped or out of memory.
DATADIC* DICO_Read(const char* path, bool* incomplete, bool* unreadable = nullptr,
                   DATADICXML_LOADREPORT* report = nullptr,
                   const std::atomic<bool>* stop = nullptr);
// Makes `dic` (from DICO_Read, now owned by the process) the process's dictionary, releasing
// the previous one. User-interface thread.
void DICO_Install(DATADIC* dic, bool incomplete);
// Whether the process's dictionary holds less than its file: the file could not be read, was
// read only in part, or some of its objects were not taken. DICO_Save then leaves the file as
// it is.
bool DICO_Incomplete();
// The process's dictionary, or nullptr before DICO_Open.
DATADIC* DICO_Current();
// Releases the process's dictionary (end of the program, tests).
void DICO_Close();

// The window title: "Dictionnaire - <name>".
std::string DICO_Title(const DATADIC* dic);
// Whether an element is shown for `lowerFilter` (already lower-cased; empty shows all): the
// filter appears in the lower-cased code or default description.
bool DICO_Matches(const DATADIC_ELT* elt, const std::string& lowerFilter);
// The elements the list shows for `filter` (nullptr or empty: all; cut to 511 characters;
// compared without regard to ASCII case), in list order.
std::vector<DATADIC_ELT*> DICO_Search(DATADIC* dic, const char* filter);
// The texts a search looks in, lower-cased once and laid side by side in list order, so that
// a search over a large dictionary reads a few megabytes in order rather than every object.
// Built again whenever the dictionary changes (objects added, sorted). Built from the compact
// objects: no element is built.
struct DICO_SEARCHINDEX {
    std::string texts;         // per object: its code, a zero byte, its default description, a
                               // zero byte (lower-cased)
    std::vector<size_t> ends;  // where each object's texts end in `texts`, in list order
};
// Fills `index` from the dictionary's objects (emptied without a dictionary).
void DICO_BuildSearchIndex(const DATADIC* dic, DICO_SEARCHINDEX* index);
// The rows (places in list order, DATADIC_CodeAt) of the objects DICO_Search gives for
// `filter`, read from the index.
std::vector<int> DICO_SearchIndexed(const DICO_SEARCHINDEX& index, const char* filter);
// The "Références" cell: the table of each reference, joined with ", ".
std::string DICO_ReferencesText(const DATADIC_ELT* elt);
// The same for the object at `row`, read from the compact store.
std::string DICO_ReferencesTextAt(const DATADIC* dic, int row);
// The status line after a search: "<n> objet(s) trouvé(s)".
std::string DICO_FoundText(int count);

// Sends a column of table `database`.`table` to the process's dictionary (status line
// "Ajout de l'objet 'db..table.code'"). 1 when an argument or the dictionary is missing, or
// when adding fails (error box "Erreur Dictionnaire"); else 0, also when the place was already
// recorded. The failure to add is worded in `*error` (when given) for the caller to show.
int DICO_AddObject(const char* database, const char* table, const ColumnDesc* column,
                   morvex::UiError* error = nullptr);
// Appends a copy of the element's default definition as a new column of `desc`, renumbers
// and validates the columns and asks for the column list and result view to refresh. 1 for a
// missing element (traced) or description, or a code holding a control character (traced).
int DICO_ApplyElement(FileDesc* desc, const DATADIC_ELT* elt);
// The save sequence of the window: sort, then write the dictionary to its file, with each
// step in the status line. 0; 1 when the dictionary is missing or the file cannot be written
// ("Erreur lors de l'enregistrement du dictionnaire"), or when the dictionary holds less than
// its file (DICO_Incomplete: the file is left as it is); `*error` (when given) then says why,
// for the caller to show.
int DICO_Save(DATADIC* dic, morvex::UiError* error = nullptr);

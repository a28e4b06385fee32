// LOADMODE: what a load does with the table it loads into, the same for every target (SQLite,
// PostgreSQL): replace, create, append or upsert, and the rule that keeps a table that no
// description loaded from being dropped unless the person asked for a replacement by name.
//
// Pure decisions over what the target told about its table: no database here, no I/O. The
// texts returned are French and name the table and the option; the callers put them after
// "Echec du chargement : ".
#pragma once

#include <string>
#include <vector>

// How a load treats its table.
enum LOADMODE {
    LOADMODE_DEFAULT = 0,  // no mode given: replace a table the catalogue lists as loaded from
                           // a description, create a missing one, refuse any other
    LOADMODE_REPLACE,      // drop and create whatever table is there
    LOADMODE_CREATE,       // create the table; refuse an existing one
    LOADMODE_APPEND,       // add the rows to an existing table of the description's columns
    LOADMODE_UPSERT,       // add the rows; a row whose primary key is there replaces it
};

// What the load does to the table once the mode and the table's state are known.
enum LOADMODE_ACTION {
    LOADMODE_ACTION_REFUSE = 0,     // nothing: the load fails with the refusal
    LOADMODE_ACTION_CREATE,         // the table is missing: create it
    LOADMODE_ACTION_DROP_CREATE,    // drop the table, then create it
    LOADMODE_ACTION_USE_EXISTING,   // keep the table and its rows (its columns checked first)
};

struct LOADMODE_DECISION {
    int action = LOADMODE_ACTION_REFUSE;  // LOADMODE_ACTION
    std::string refusal;                  // why not, with LOADMODE_ACTION_REFUSE
};

// The mode named `name` ("replace", "create", "append", "upsert"); -1 for another name.
int LOADMODE_Parse(const std::string& name);
// The option's word of `mode` ("replace"...; "" for LOADMODE_DEFAULT).
const char* LOADMODE_Name(int mode);

// What to do with `table` under `mode`: `exists` says the target holds a table of that name,
// `listed` that its catalogue names it as loaded from a description, `hasPrimaryKey` that the
// description has a primary key (an upsert needs it).
LOADMODE_DECISION LOADMODE_Decide(int mode, const std::string& table, bool exists, bool listed,
                                  bool hasPrimaryKey);

// One column of a table: its name and type as the target writes them.
struct LOADMODE_COLUMN {
    std::string name;
    std::string type;
};

// Why the existing `table`, of the columns `actual`, cannot take the rows of the columns
// `expected` (names compared without the case of ASCII letters, types as given by
// `sameType`): the first column that differs, or the count. Empty when they match.
std::string LOADMODE_ColumnDifference(const std::string& table,
                                      const std::vector<LOADMODE_COLUMN>& expected,
                                      const std::vector<LOADMODE_COLUMN>& actual,
                                      bool (*sameType)(const std::string& expected,
                                                       const std::string& actual));

// Helpers shared by the dictionary tests: a temporary directory, whole-file I/O, columns.
#pragma once

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "datadic/datadic.h"
#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"
#include "foundation/owned.h"

namespace dictest {

// A fresh temporary directory named after these tests, removed with its content.
struct TempDir : morvex::testing::TempDir {
    TempDir() : morvex::testing::TempDir("datadic") {}
};

using morvex::testing::readFile;

inline void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A zeroed column with a code, a description, a width and a type.
inline ColumnDesc makeColumn(const char* code, const char* description = "", int width = 10,
                             int type = DATATYPE_VARIABLECHAR) {
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    snprintf(col.code, sizeof col.code, "%s", code);
    snprintf(col.Description, sizeof col.Description, "%s", description);
    col.WidthInChars = width;
    col.typeCible.type = type;
    col.typeCible.fmtChaineVar.tailleMax = width;
    return col;
}

// A reference record for `column` in database.table.
inline DATADIC_REF makeRef(const char* database, const char* table, const ColumnDesc& column) {
    DATADIC_REF ref;
    memset(&ref, 0, sizeof ref);
    snprintf(ref.database, sizeof ref.database, "%s", database);
    snprintf(ref.table, sizeof ref.table, "%s", table);
    ref.localColumn = column;
    return ref;
}

// Destroys a dictionary at the end of a scope.
using DicPtr = morvex::Owned<DATADIC, DATADIC_Destroy>;

// The element of the n-th object in list order, as the list of every element gives it.
inline DATADIC_ELT* eltAt(DATADIC* dic, int n) {
    int i = 0;
    for (LDCG_ELT* e = DATADIC_GetList(dic)->first; e; e = e->next, ++i)
        if (i == n) return static_cast<DATADIC_ELT*>(e->lParam1);
    return nullptr;
}

inline DATADIC_REF* refAt(DATADIC_ELT* elt, int n) {
    int i = 0;
    for (LDCG_ELT* e = elt->references->first; e; e = e->next, ++i)
        if (i == n) return static_cast<DATADIC_REF*>(e->lParam1);
    return nullptr;
}

}  // namespace dictest

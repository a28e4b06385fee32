// Helpers shared by the reader's tests: owning pointers and descriptions built in place.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "filedesc/filedesc.h"
#include "foundation/owned.h"

namespace datafile_test {

using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

using ReaderPtr = morvex::Owned<DATAFILE, DATAFILE_DestroyIterator>;

// A description with the end-of-line and delimiter characters given as they are (no backslash
// nor "#0x": the notation of such characters is the characters themselves).
inline DescPtr makeDesc(int type, const char* endOfLine, const char* delimiter) {
    DescPtr desc(FILEDESC_CreateFileDesc("test", nullptr, type, nullptr, nullptr));
    snprintf(desc->EndOfLine, sizeof desc->EndOfLine, "%s", endOfLine);
    snprintf(desc->FieldDelimiter, sizeof desc->FieldDelimiter, "%s", delimiter);
    return desc;
}

// The reading dialect of a description (an empty one, read as no rows, when it is refused).
inline DATAFILE_DIALECT dialectOf(const FileDesc* desc) {
    DATAFILE_DIALECT dialect;
    const std::string refusal = FILEDESC_MakeDialect(desc, dialect);
    EXPECT_EQ(refusal, "");
    return dialect;
}

// Appends a text column; protected by `start`/`end` when start is not 0.
inline void addColumn(FileDesc* desc, const char* code, int width, char start = 0, char end = 0) {
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    snprintf(col.code, sizeof col.code, "%s", code);
    col.WidthInChars = width;
    col.typeCible.type = DATATYPE_TEXT;
    col.protectedField = start ? 1 : 0;
    col.DelimCharStart = start;
    col.DelimCharEnd = end;
    ASSERT_EQ(FILEDESC_AjouterColonne(desc, &col), 0);
}

}  // namespace datafile_test

// The properties of a description and of its columns, one row each: the names it has in the .fyk
// file, in `morvexcli show --json`, in the templates, in the catalogue of a database and in the
// editor, where the record holds it and how its text is read and checked.
//
// The .fyk reader and writer (fykfile.cpp), the catalogue rows of the SQLite load, the JSON view
// of the command line, the template variables and the editor's property setter walk these tables,
// so that adding a property is one row here. What one of them does apart (a legacy key, a
// deprecated template name, the converted end of line and delimiter) stays beside its walk.
//
// The tables are constant and shared by every thread; the functions over a record follow the
// record's own rule (one thread at a time).
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "descrecords/records.h"

namespace morvex {

// How a property is held in the record, and so how its text is read and written.
enum class PropertyKind {
    Text,       // a fixed text field a person types: in the .fyk file in the backslash notation
                // under FILEVERSION 1.5, refused there (never cut) when longer than its field
    Notation,   // a fixed text field in the backslash notation itself ("\\r\\n"): written and
                // read as it stands
    OwnedText,  // an owned text, nullptr when none: in the .fyk file like Text, "" when none
    Path,       // an owned path, nullptr when none: in the .fyk file as it was read while it
                // still names the same file (filedesc/descpaths.h)
    Number,     // a whole number
};

// When the .fyk writer writes a property that has a key.
enum class FykWritten {
    Always,
    WhenSet,  // only when not empty or zero, so that descriptions without it keep their bytes
};

struct DescProperty {
    const char* editName;         // DESCEDIT_SetProperty's name, or nullptr
    const char* fykKey;           // key of its line in the File block, or nullptr (not stored)
    const char* jsonKey;          // member of `morvexcli show --json`
    const char* templateName;     // template variable, or nullptr
    const char* templateAlias;    // the variable's other name, or nullptr
    const char* catalogueColumn;  // column of the catalogue table FylatekFileDesc, or nullptr
    PropertyKind kind;
    FykWritten written = FykWritten::Always;
    // Text and Notation: the fixed field (a terminated text of fieldSize bytes at most).
    char* (*field)(FileDesc&) = nullptr;
    size_t fieldSize = 0;
    // OwnedText and Path: the owned text, and the setter that replaces it (a copy is kept).
    char* FileDesc::*owned = nullptr;
    int (*setOwned)(FileDesc*, const char*) = nullptr;
    // Path: the text the path was read as, written back while it leads to the same file.
    char* FileDesc::*asRead = nullptr;
    // Number: the field and the range a .fyk file may give.
    int FileDesc::*number = nullptr;
    int fykMin = 0;
    int fykMax = 0;
    // What setting the text implies (upper case), or nullptr.
    void (*afterSet)(FileDesc&) = nullptr;
    // OwnedText read from a .fyk file: an empty value leaves none rather than an empty text.
    bool emptyIsNone = false;
    // The catalogue's word for a number it stores as text, or nullptr.
    const char* (*catalogueWord)(int) = nullptr;
    // Editor: the name's description in the refusal of a control character ("de la table"),
    // nullptr when the text is no name; the smallest number it accepts.
    const char* nameWhat = nullptr;
    int editMin = 0;
    // Editor: the place of the name in the list of the names it takes (DESCEDIT_PropertyNames).
    int editRank = 0;
};

// Every property of a description, in the order of the .fyk file's File block.
std::span<const DescProperty> descriptionProperties();

// The property whose .fyk key, in lower case, is `lowerKey`; nullptr for none.
const DescProperty* descriptionPropertyByFykKey(const std::string& lowerKey);
// The property DESCEDIT_SetProperty names `name`; nullptr for none.
const DescProperty* descriptionPropertyByEditName(const std::string& name);
// The property whose template variable (or its other name), in lower case, is `name`.
const DescProperty* descriptionPropertyByTemplateName(const std::string& name);

// The fixed text of a Text or Notation property.
const char* propertyFixedText(const FileDesc& desc, const DescProperty& property);
// The value as a text: numbers in decimal, no owned text as "".
std::string propertyText(const FileDesc& desc, const DescProperty& property);
// True when the .fyk writer writes the property's line for `desc`.
bool propertyWritten(const FileDesc& desc, const DescProperty& property);
// Stores `text` into a Text or Notation property (cut between two characters when it does not
// fit: callers refuse a longer one first), then what it implies.
void setPropertyFixedText(FileDesc& desc, const DescProperty& property, const std::string& text);

// ---- The properties of a column ----

// How a column's property is held.
enum class ColumnKind {
    Text,       // a fixed text field, in the .fyk file like a description's Text
    Number,     // a whole number
    Character,  // one character, 0 for none: one raw byte in the .fyk file (a zero byte for
                // none), a one-character text in JSON and in the catalogue, its code in the
                // templates
};

// How the .fyk column block holds a column's property.
enum class ColumnFyk {
    None,   // not stored
    Value,  // its value, read back checked (a Number in fykMin..fykMax)
    Zero,   // written as 0 and passed over when read: computed again from the widths
    Index,  // written as the column's index from 0, read back as it stands (the columns are
            // numbered again once the file is read)
    Width,  // its value, read back as a width: 0 (none) up to the line-length limit
    Type,   // its value, read back as a type code from 0 (Integer) to 7 (Boolean)
};

struct ColumnProperty {
    const char* fykKey;           // key of its line in the Column block, or nullptr
    const char* jsonKey;          // member of a column in `show --json`, or nullptr
    const char* templateName;     // template variable, or nullptr
    const char* catalogueColumn;  // column of the catalogue table FylatekFileDescColumn, or nullptr
    ColumnKind kind;
    ColumnFyk fyk = ColumnFyk::Value;
    // Text: the fixed field and its size.
    char* (*text)(ColumnDesc&) = nullptr;
    size_t textSize = 0;
    // Number: the field.
    int* (*number)(ColumnDesc&) = nullptr;
    // Character: the field.
    char ColumnDesc::*character = nullptr;
    // Number with ColumnFyk::Value: the range a .fyk file may give.
    int fykMin = 0;
    int fykMax = 0;
};

// Every property of a column, in the order of the .fyk file's Column block.
std::span<const ColumnProperty> columnProperties();
// The property whose .fyk key, in lower case, is `lowerKey`; nullptr for none.
const ColumnProperty* columnPropertyByFykKey(const std::string& lowerKey);
// The property whose template variable, in lower case, is `name`; nullptr for none.
const ColumnProperty* columnPropertyByTemplateName(const std::string& name);
// The number held by a Number property (the record is not changed).
int columnNumber(const ColumnDesc& column, const ColumnProperty& property);
// The text held by a Text property.
const char* columnText(const ColumnDesc& column, const ColumnProperty& property);

}  // namespace morvex

// The table of a description's properties.
#include "filedesc/descprops.h"

#include <cctype>
#include <cstring>

#include "filedesc/fdtext.h"
#include "filedesc/filedesc.h"

namespace morvex {
namespace {

// Encoding names are kept in upper case, as iconv lists them.
void upperEncoding(FileDesc& d) {
    for (char* c = d.Encoding; *c; ++c)
        *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
}

// The catalogue stores the structure as a word.
const char* structureWord(int structure) {
    return structure == STRUCTFILE_FIXED ? "Fixed" : "VariableSized";
}

constexpr int kIntMax = 2147483647;

// Laid out by hand, so that each property reads as one row.
// clang-format off
// In the order of the .fyk file's File block; the rows without a key follow.
const DescProperty kProperties[] = {
    {.editName = nullptr, .fykKey = "FILEDESCUID", .jsonKey = "FileDescUID",
     .templateName = nullptr, .templateAlias = nullptr, .catalogueColumn = "FileDescUID",
     .kind = PropertyKind::Text,
     .field = [](FileDesc& d) -> char* { return d.FileDescUID; },
     .fieldSize = sizeof(FileDesc::FileDescUID)},
    {.editName = "eol", .fykKey = "INDFINDELIGNE", .jsonKey = "EndOfLine",
     .templateName = "desc.endofline", .templateAlias = "file.endofline",
     .catalogueColumn = "EndOfLine", .kind = PropertyKind::Notation,
     .field = [](FileDesc& d) -> char* { return d.EndOfLine; },
     .fieldSize = sizeof(FileDesc::EndOfLine), .editRank = 8},
    {.editName = "fixed-length", .fykKey = "LONGLIGNEFIXE", .jsonKey = "LenFixedLine",
     .templateName = "desc.fixedlinelength", .templateAlias = nullptr,
     .catalogueColumn = "LenFixedLine", .kind = PropertyKind::Number,
     .number = &FileDesc::LenFixedLine, .fykMin = 0, .fykMax = kIntMax, .editRank = 13},
    {.editName = "table", .fykKey = "TABLENAME", .jsonKey = "TableName",
     .templateName = "desc.tablename", .templateAlias = "table.name",
     .catalogueColumn = "TableName", .kind = PropertyKind::Text,
     .field = [](FileDesc& d) -> char* { return d.TableName; },
     .fieldSize = sizeof(FileDesc::TableName), .nameWhat = "de la table", .editRank = 2},
    {.editName = "schema", .fykKey = "SCHEMANAME", .jsonKey = "SchemaName",
     .templateName = "desc.schemaname", .templateAlias = nullptr,
     .catalogueColumn = "SchemaName", .kind = PropertyKind::Text,
     .field = [](FileDesc& d) -> char* { return d.SchemaName; },
     .fieldSize = sizeof(FileDesc::SchemaName), .nameWhat = "du schéma", .editRank = 3},
    {.editName = "database", .fykKey = "DATABASENAME", .jsonKey = "DatabaseName",
     .templateName = "desc.databasename", .templateAlias = "database.name",
     .catalogueColumn = "DatabaseName", .kind = PropertyKind::Text,
     .field = [](FileDesc& d) -> char* { return d.DatabaseName; },
     .fieldSize = sizeof(FileDesc::DatabaseName), .nameWhat = "de la base de données",
     .editRank = 4},
    {.editName = "project", .fykKey = "PROJECTNAME", .jsonKey = "ProjectName",
     .templateName = "desc.projectname", .templateAlias = "project.name",
     .catalogueColumn = "ProjectName", .kind = PropertyKind::Text,
     .field = [](FileDesc& d) -> char* { return d.ProjectName; },
     .fieldSize = sizeof(FileDesc::ProjectName), .nameWhat = "du projet", .editRank = 1},
    {.editName = "description", .fykKey = "DESCRIPTION", .jsonKey = "Description",
     .templateName = "desc.description", .templateAlias = nullptr,
     .catalogueColumn = "Description", .kind = PropertyKind::OwnedText,
     .owned = &FileDesc::Description, .setOwned = FILEDESC_SetDescription,
     .emptyIsNone = true, .editRank = 5},
    {.editName = nullptr, .fykKey = "TYPESTRUCTFILE", .jsonKey = "TypeStructFile",
     .templateName = "desc.typestructfile", .templateAlias = nullptr,
     .catalogueColumn = "TypeStructFile", .kind = PropertyKind::Number,
     .number = &FileDesc::TypeStructFile, .fykMin = 0, .fykMax = STRUCTFILE_DELIMITED,
     .catalogueWord = structureWord},
    {.editName = "header", .fykKey = "FIRSTLINEISHEADER", .jsonKey = "FirstLineIsHeader",
     .templateName = "desc.firstlineisheader", .templateAlias = nullptr,
     .catalogueColumn = "FirstLineIsHeader", .kind = PropertyKind::Number,
     .number = &FileDesc::FirstLineIsHeader, .fykMin = 0, .fykMax = 1, .editRank = 10},
    {.editName = "first-line", .fykKey = "BEGINFROMLINE", .jsonKey = "BeginFromLine",
     .templateName = "desc.beginfromline", .templateAlias = nullptr,
     .catalogueColumn = "BeginFromLine", .kind = PropertyKind::Number,
     .number = &FileDesc::BeginFromLine, .fykMin = 0, .fykMax = kIntMax, .editMin = 1,
     .editRank = 11},
    {.editName = "last-line", .fykKey = "ENDTOLINE", .jsonKey = "EndToLine",
     .templateName = "desc.endtoline", .templateAlias = nullptr,
     .catalogueColumn = "EndToLine", .kind = PropertyKind::Number,
     .number = &FileDesc::EndToLine, .fykMin = 0, .fykMax = kIntMax, .editRank = 12},
    {.editName = "delimiter", .fykKey = "FIELDDELIMITER", .jsonKey = "FieldDelimiter",
     .templateName = "desc.fielddelimiter", .templateAlias = nullptr,
     .catalogueColumn = "FieldDelimiter", .kind = PropertyKind::Notation,
     .field = [](FileDesc& d) -> char* { return d.FieldDelimiter; },
     .fieldSize = sizeof(FileDesc::FieldDelimiter),
     .editRank = 9},
    {.editName = "example", .fykKey = "FICHIEREXEMPLE", .jsonKey = "ExampleFilePath",
     .templateName = "desc.examplefile", .templateAlias = "datafilepath",
     .catalogueColumn = "ExampleFilePath", .kind = PropertyKind::Path,
     .owned = &FileDesc::ExampleFilePath, .setOwned = FILEDESC_SetExampleFilePath,
     .asRead = &FileDesc::ExampleFileAsRead, .editRank = 6},
    {.editName = "sqlite", .fykKey = "DATABASEFILE", .jsonKey = "DatabaseFilePath",
     .templateName = "desc.databasefile", .templateAlias = nullptr,
     .catalogueColumn = "DatabaseFilePath", .kind = PropertyKind::Path,
     .owned = &FileDesc::DatabaseFilePath, .setOwned = FILEDESC_SetDatabaseFilePath,
     .asRead = &FileDesc::DatabaseFileAsRead, .editRank = 7},
    {.editName = "encoding", .fykKey = "ENCODING", .jsonKey = "Encoding",
     .templateName = nullptr, .templateAlias = nullptr, .catalogueColumn = nullptr,
     .kind = PropertyKind::Text, .written = FykWritten::WhenSet,
     .field = [](FileDesc& d) -> char* { return d.Encoding; },
     .fieldSize = sizeof(FileDesc::Encoding), .afterSet = upperEncoding,
     .editRank = 14},
    {.editName = "unquote", .fykKey = "UNQUOTE", .jsonKey = "Unquote", .templateName = nullptr,
     .templateAlias = nullptr, .catalogueColumn = nullptr, .kind = PropertyKind::Number,
     .written = FykWritten::WhenSet, .number = &FileDesc::Unquote, .fykMin = 0, .fykMax = 1,
     .editRank = 15},
    // Texts of a fixed-width file read without their padding (written only when set, so that
    // descriptions made before keep their bytes and their loads their values).
    {.editName = "trim", .fykKey = "TRIMPADDING", .jsonKey = "TrimPadding",
     .templateName = nullptr, .templateAlias = nullptr, .catalogueColumn = nullptr,
     .kind = PropertyKind::Number, .written = FykWritten::WhenSet,
     .number = &FileDesc::TrimPadding, .fykMin = 0, .fykMax = 1, .editRank = 16},
    // The state of the description in this process, not stored in its file.
    {.editName = nullptr, .fykKey = nullptr, .jsonKey = "FileDescID", .templateName = nullptr,
     .templateAlias = nullptr, .catalogueColumn = "FileDescID", .kind = PropertyKind::Number,
     .number = &FileDesc::FileDescID},
    {.editName = nullptr, .fykKey = nullptr, .jsonKey = "FileDescPath",
     .templateName = "formatfilepath", .templateAlias = nullptr,
     .catalogueColumn = "FileDescPath", .kind = PropertyKind::OwnedText,
     .owned = &FileDesc::FileDescPath, .setOwned = FILEDESC_SetFileName},
    {.editName = nullptr, .fykKey = nullptr, .jsonKey = "isModified", .templateName = nullptr,
     .templateAlias = nullptr, .catalogueColumn = nullptr, .kind = PropertyKind::Number,
     .number = &FileDesc::isModified},
};
// clang-format on

bool equalsLower(const char* name, const std::string& lower) {
    if (!name || strlen(name) != lower.size()) return false;
    for (size_t i = 0; i < lower.size(); ++i)
        if (tolower(static_cast<unsigned char>(name[i])) != lower[i]) return false;
    return true;
}

}  // namespace

std::span<const DescProperty> descriptionProperties() {
    return kProperties;
}

const DescProperty* descriptionPropertyByFykKey(const std::string& lowerKey) {
    for (const DescProperty& p : kProperties)
        if (equalsLower(p.fykKey, lowerKey)) return &p;
    return nullptr;
}

const DescProperty* descriptionPropertyByEditName(const std::string& name) {
    for (const DescProperty& p : kProperties)
        if (p.editName && name == p.editName) return &p;
    return nullptr;
}

const DescProperty* descriptionPropertyByTemplateName(const std::string& name) {
    for (const DescProperty& p : kProperties)
        if ((p.templateName && name == p.templateName) ||
            (p.templateAlias && name == p.templateAlias))
            return &p;
    return nullptr;
}

const char* propertyFixedText(const FileDesc& desc, const DescProperty& property) {
    // The accessor reads the field only; the record is not changed.
    return property.field(const_cast<FileDesc&>(desc));
}

std::string propertyText(const FileDesc& desc, const DescProperty& property) {
    switch (property.kind) {
        case PropertyKind::Text:
        case PropertyKind::Notation:
            return propertyFixedText(desc, property);
        case PropertyKind::OwnedText:
        case PropertyKind::Path: {
            const char* text = desc.*property.owned;
            return text ? text : "";
        }
        case PropertyKind::Number:
            return std::to_string(desc.*property.number);
    }
    return "";
}

bool propertyWritten(const FileDesc& desc, const DescProperty& property) {
    if (!property.fykKey) return false;
    if (property.written == FykWritten::Always) return true;
    switch (property.kind) {
        case PropertyKind::Number:
            return desc.*property.number != 0;
        default:
            return !propertyText(desc, property).empty();
    }
}

void setPropertyFixedText(FileDesc& desc, const DescProperty& property, const std::string& text) {
    fdtext::copyCut(property.field(desc), property.fieldSize, text.c_str());
    if (property.afterSet) property.afterSet(desc);
}

namespace {

// Laid out by hand, so that each property reads as one row.
// clang-format off
// In the order of the .fyk file's Column block (after its constant ID line).
const ColumnProperty kColumnProperties[] = {
    {.fykKey = "IGNORERCOL", .jsonKey = "IgnoreColumn", .templateName = "column.ignore",
     .catalogueColumn = "IgnoreColumn", .kind = ColumnKind::Number,
     .number = [](ColumnDesc& c) { return &c.IgnoreColumn; }, .fykMin = 0, .fykMax = 1},
    {.fykKey = "ISNULL", .jsonKey = "FieldCannotBeNull", .templateName = "column.isnotnull",
     .catalogueColumn = "FieldCannotBeNull", .kind = ColumnKind::Number,
     .number = [](ColumnDesc& c) { return &c.FieldCannotBeNull; }, .fykMin = 0, .fykMax = 1},
    {.fykKey = "POSITION", .jsonKey = "Position", .templateName = "column.position",
     .catalogueColumn = "Position", .kind = ColumnKind::Number, .fyk = ColumnFyk::Index,
     .number = [](ColumnDesc& c) { return &c.Position; }},
    {.fykKey = "POSDEBUT", .jsonKey = "StartPosition", .templateName = "column.beginfrom",
     .catalogueColumn = "StartPosition", .kind = ColumnKind::Number, .fyk = ColumnFyk::Zero,
     .number = [](ColumnDesc& c) { return &c.StartPosition; }},
    {.fykKey = "POSFIN", .jsonKey = "EndPosition", .templateName = "column.endto",
     .catalogueColumn = "EndPosition", .kind = ColumnKind::Number, .fyk = ColumnFyk::Zero,
     .number = [](ColumnDesc& c) { return &c.EndPosition; }},
    {.fykKey = "NAME", .jsonKey = "code", .templateName = "column.name",
     .catalogueColumn = "ColumnName", .kind = ColumnKind::Text,
     .text = [](ColumnDesc& c) -> char* { return c.code; }, .textSize = sizeof(ColumnDesc::code)},
    {.fykKey = "LARGEUR", .jsonKey = "WidthInChars", .templateName = "column.size",
     .catalogueColumn = "WidthInChars", .kind = ColumnKind::Number, .fyk = ColumnFyk::Width,
     .number = [](ColumnDesc& c) { return &c.WidthInChars; }},
    {.fykKey = "PROTECTEDFIELD", .jsonKey = "protectedField", .templateName = nullptr,
     .catalogueColumn = nullptr, .kind = ColumnKind::Number,
     .number = [](ColumnDesc& c) { return &c.protectedField; }, .fykMin = 0, .fykMax = 1},
    {.fykKey = "CARDELIMDEBUT", .jsonKey = "DelimCharStart",
     .templateName = "column.protectcarbegin", .catalogueColumn = "DelimCharStart",
     .kind = ColumnKind::Character, .character = &ColumnDesc::DelimCharStart},
    {.fykKey = "CARDELIMFIN", .jsonKey = "DelimCharEnd", .templateName = "column.protectcarend",
     .catalogueColumn = "DelimCharEnd", .kind = ColumnKind::Character,
     .character = &ColumnDesc::DelimCharEnd},
    {.fykKey = "DESCRIPTION", .jsonKey = "Description", .templateName = "column.description",
     .catalogueColumn = "Description", .kind = ColumnKind::Text,
     .text = [](ColumnDesc& c) -> char* { return c.Description; },
     .textSize = sizeof(ColumnDesc::Description)},
    // The type code: in JSON inside typeCible, in the catalogue as its name (beside the table).
    {.fykKey = "TYPE_CIBLE", .jsonKey = nullptr, .templateName = "column.type",
     .catalogueColumn = nullptr, .kind = ColumnKind::Number, .fyk = ColumnFyk::Type,
     .number = [](ColumnDesc& c) { return &c.typeCible.type; }},
    // What the last analysis or validation says of the column: shown, not stored.
    {.fykKey = nullptr, .jsonKey = "hasWarning", .templateName = nullptr,
     .catalogueColumn = nullptr, .kind = ColumnKind::Number, .fyk = ColumnFyk::None,
     .number = [](ColumnDesc& c) { return &c.hasWarning; }},
    {.fykKey = nullptr, .jsonKey = "hasInfo", .templateName = nullptr,
     .catalogueColumn = nullptr, .kind = ColumnKind::Number, .fyk = ColumnFyk::None,
     .number = [](ColumnDesc& c) { return &c.hasInfo; }},
};
// clang-format on

}  // namespace

std::span<const ColumnProperty> columnProperties() {
    return kColumnProperties;
}

const ColumnProperty* columnPropertyByFykKey(const std::string& lowerKey) {
    for (const ColumnProperty& p : kColumnProperties)
        if (equalsLower(p.fykKey, lowerKey)) return &p;
    return nullptr;
}

const ColumnProperty* columnPropertyByTemplateName(const std::string& name) {
    for (const ColumnProperty& p : kColumnProperties)
        if (p.templateName && name == p.templateName) return &p;
    return nullptr;
}

int columnNumber(const ColumnDesc& column, const ColumnProperty& property) {
    // The accessor reads the field only; the record is not changed.
    return *property.number(const_cast<ColumnDesc&>(column));
}

const char* columnText(const ColumnDesc& column, const ColumnProperty& property) {
    return property.text(const_cast<ColumnDesc&>(column));
}

}  // namespace morvex

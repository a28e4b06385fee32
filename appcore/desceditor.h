// DESCEDIT: the window-free side of the description editor: what the column list shows for a
// column (state icon, type name, format text), the formats offered per target type, reading a
// typed format back, the column commands of the list's context menu and their greying, the
// statistics text of a column, the key and index components, and the separator, encoding and
// unquoting of the project properties.
#pragma once

#include <string>
#include <vector>

#include "filedesc/filedesc.h"

// Command numbers of the column list's context menu.
enum DescEditCommand {
    ITM_COL_UP = 1081,
    ITM_COL_DOWN = 1082,
    ITM_COL_EDIT = 1083,
    ITM_COL_MANDATORY = 1084,
    ITM_COL_IGNORE = 1085,
    ITM_COL_PRIMARYKEY = 1086,
    ITM_COL_NEWINDEX = 1087,
    ITM_COL_DELETE = 1088,
    ITM_COL_ANALYSE = 1089,
    ITM_COL_ANALYSEFULL = 1090,
    ITM_COL_DICTIONARY = 1091,
};

// Enabled state and text of the context menu entries.
struct DESCEDIT_MENU {
    bool enabled[11];        // entries 1081 to 1091, index = command - 1081
    std::string deleteText;  // text of entry 1088
};

// The state icon (1 to 7) of a column: ignored 3; mandatory 6 warning, 7 info, else 2;
// otherwise 4 warning, 5 info, else 1.
int DESCEDIT_StateIcon(const ColumnDesc* column);
// The display name of a target type code, "" for an unknown code.
const char* DESCEDIT_TypeName(int type);
// The formats offered for a target type ("Aucun" first).
std::vector<std::string> DESCEDIT_OfferedFormats(int type);
// The "Format" cell of a column.
std::string DESCEDIT_FormatText(const ColumnDesc* column);
// Reads a typed format into typeCible according to its type; a text that does not parse
// leaves the numbers at 0.
void DESCEDIT_ReadFormat(TypeCible* typeCible, const char* text);
// The columns of a description in order (empty without a description).
std::vector<ColumnDesc*> DESCEDIT_Columns(FileDesc* desc);
// Menu state for `selected` selected rows, with or without a description and example file.
DESCEDIT_MENU DESCEDIT_MenuState(int selected, bool hasDescription, bool hasExampleFile);
// Moves a column one place up (direction < 0) or down and renumbers; true when it moved.
bool DESCEDIT_MoveColumn(FileDesc* desc, ColumnDesc* column, int direction);
// Toggles the mandatory / ignore flag of every column (isModified is left as it was).
void DESCEDIT_ToggleMandatory(const std::vector<ColumnDesc*>& columns);
void DESCEDIT_ToggleIgnore(const std::vector<ColumnDesc*>& columns);
// Makes the columns the primary key "PK_<table>" (replacing any); 0, or 1 without arguments.
int DESCEDIT_SetPrimaryKey(FileDesc* desc, const std::vector<ColumnDesc*>& columns);
// Adds an index "IDX_<table>" of the columns; 0, or 1 without arguments.
int DESCEDIT_AddIndex(FileDesc* desc, const std::vector<ColumnDesc*>& columns);
// Deletes the columns (dropping them from the key and indexes first); number deleted.
int DESCEDIT_DeleteColumns(FileDesc* desc, const std::vector<ColumnDesc*>& columns);
// The statistics text of a column ("" without statistics), at most 4999 characters.
std::string DESCEDIT_StatisticsText(const ColumnDesc* column);
// The column codes of a key or index joined by ", " (at most 5000 characters).
std::string DESCEDIT_IndexComponents(const IndexDesc* index);
// The indexes of a description in order (empty without a description).
std::vector<IndexDesc*> DESCEDIT_Indexes(FileDesc* desc);
// Whether the description has a primary key (a named one).
bool DESCEDIT_HasPrimaryKey(const FileDesc* desc);
// Removes the primary key; marks the description modified. 1 without a key.
int DESCEDIT_RemovePrimaryKey(FileDesc* desc);
// Removes and releases one index of the description; marks it modified. 1 when it is not one
// of the description's indexes.
int DESCEDIT_RemoveIndex(FileDesc* desc, IndexDesc* index);
// Renames a key or an index (cut to its longest name; trace "Nouveau label"); marks the
// description modified when the name changes. 1 for an empty name or one holding a control
// character (the old one stays).
int DESCEDIT_RenameIndex(FileDesc* desc, IndexDesc* index, const char* name);
// Sends the columns of `desc` to the data dictionary (opened from `dictionaryPath` first when
// none is open) under the description's database and table, then sorts and saves it. An
// existing dictionary file that cannot be read is not replaced (message shown). Number of
// columns sent, -1 when the dictionary cannot be opened or saved.
int DESCEDIT_SendToDictionary(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                              const char* dictionaryPath);

// The separator radio buttons of the project properties.
enum DescEditSeparator {
    SEPARATOR_SEMICOLON,
    SEPARATOR_TAB,
    SEPARATOR_COMMA,
    SEPARATOR_SPACE,
    SEPARATOR_TILDE,
    SEPARATOR_PIPE,
    SEPARATOR_OTHER,
};
// The choice shown for a description's separator, from its converted first character.
DescEditSeparator DESCEDIT_SeparatorChoice(const FileDesc* desc);
// The choice shown for a separator in text notation (";", "\\t", "#"...).
DescEditSeparator DESCEDIT_SeparatorChoiceOf(const std::string& text);
// The FieldDelimiter text a choice writes (`other` for SEPARATOR_OTHER).
std::string DESCEDIT_SeparatorText(DescEditSeparator choice, const std::string& other);
// Writes a separator text into the description (text and converted characters).
void DESCEDIT_SetSeparator(FileDesc* desc, const std::string& text);
// Writes an end-of-line text into the description (text and converted characters).
void DESCEDIT_SetEndOfLine(FileDesc* desc, const std::string& text);
// The encodings offered for the data file ("" first: the bytes are taken as they are).
std::vector<std::string> DESCEDIT_OfferedEncodings();
// Writes an encoding name into the description: without surrounding spaces, upper-case, cut to
// FILEDESC_ENCODING_MAX characters.
void DESCEDIT_SetEncoding(FileDesc* desc, const std::string& text);
// Writes the unquoting into the description: with `unquote`, Unquote 1 and the first character
// of `quote` as protecting character ('"' when `quote` is empty); else both 0.
void DESCEDIT_SetUnquote(FileDesc* desc, bool unquote, const std::string& quote);

// ---- Edits as the detail panel, the properties sheet and the key window make them ----
// Each returns the refusal the person is shown ("" when the edit was made), so that every front
// end refuses the same edits with the same words.

// The refusal of a column code: the detail panel's message for an empty code, the refusal of a
// code holding a control character (filedesc/names.h), else "".
std::string DESCEDIT_CodeRefusal(const char* code);
// The refusal of a text longer than the `max` bytes of the field that keeps it ("" when it
// fits): "<what> dépasse 1 024 octets (2 000 octets) : rien n'est enregistré." Texts are never
// cut without a word.
std::string DESCEDIT_TextRefusal(const char* what, const std::string& text, size_t max);
// A column's code and description typed into `fields`, whole, or the refusal of the one that is
// too long (`fields` then unchanged).
std::string DESCEDIT_ReadColumnTexts(ColumnDesc* fields, const std::string& code,
                                     const std::string& description);
// The refusal of a format text for a column of type `type` that its field cannot keep whole
// (a date or datetime layout longer than COLUMN_FORMAT_MAX), else "".
std::string DESCEDIT_FormatRefusal(int type, const std::string& text);
// The refusal of the code `code` for `column` (null: a new column) when another column of the
// description has the same name as a database compares names (ASCII letters without case).
std::string DESCEDIT_DuplicateNameRefusal(const FileDesc* desc, const ColumnDesc* column,
                                          const char* code);
// What the detail panel writes into a column: code, description, width, type and formats,
// protection and its characters, ignore and mandatory flags, taken from `fields`. Into `column`
// ("Modifier"), or into a new column appended to `desc` when `column` is null ("Ajouter"); the
// positions are renumbered and the columns validated. A code another column already has
// (DESCEDIT_DuplicateNameRefusal) is refused.
std::string DESCEDIT_ApplyDetail(FileDesc* desc, ColumnDesc* column, const ColumnDesc& fields);
// The fields of a new column as the cleared detail panel holds them (width 1, VariableChar,
// format "Aucun"), with `code`.
ColumnDesc DESCEDIT_NewColumnFields(const char* code);
// Moves a column to `position` (1 for the first) one place at a time, as "Monter" and
// "Descendre" do.
std::string DESCEDIT_MoveColumnTo(FileDesc* desc, ColumnDesc* column, int position);
// First or last character of a column of a fixed-width description: the border with the
// neighbouring column moves, the other columns keep their places (the first column starts at 1).
std::string DESCEDIT_SetColumnStart(FileDesc* desc, ColumnDesc* column, int start);
std::string DESCEDIT_SetColumnEnd(FileDesc* desc, ColumnDesc* column, int end);
// Gives the mandatory / ignore flag `on` to every column, toggling those that differ.
void DESCEDIT_SetMandatory(const std::vector<ColumnDesc*>& columns, bool on);
void DESCEDIT_SetIgnore(const std::vector<ColumnDesc*>& columns, bool on);
// The primary key (when named `name`) or the index named `name`, else nullptr.
IndexDesc* DESCEDIT_FindIndex(FileDesc* desc, const char* name);
// The refusal of a new name of a key or an index: empty, holding a control character, too long,
// or already taken.
std::string DESCEDIT_IndexNameRefusal(FileDesc* desc, const std::string& name);
// A new index of the columns named `name` (a name no key or index has yet).
std::string DESCEDIT_AddNamedIndex(FileDesc* desc, const std::string& name,
                                   const std::vector<ColumnDesc*>& columns);
// The type analysis of some columns again on the example file ("Relancer l'analyse de
// reconnaissance des types"), reading at most `maxRows` rows under `rules` (FileAnalyseRules):
// the other columns keep their widths and types, and no column is added.
std::string DESCEDIT_ReanalyseColumns(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                                      int maxRows, int rules);
// The properties of the project properties sheet, by name: "project", "table", "schema",
// "database", "description", "example", "sqlite" (the database file), "eol", "delimiter" (an
// empty one makes the description fixed-width, another one delimited), "header" (0/1),
// "first-line", "last-line", "fixed-length" (numbers), "encoding", "unquote" (0, 1 or the
// protecting character), "trim" (0/1: the padding of text values of a fixed-width file left
// out). A project, table, schema or database name holding a control character
// is refused. Marks the description modified.
std::vector<std::string> DESCEDIT_PropertyNames();
std::string DESCEDIT_SetProperty(FileDesc* desc, const std::string& name, const std::string& value);
// Adds the columns to the data dictionary as DESCEDIT_SendToDictionary does, without saving it
// (DICO_Save). Number of columns added, -1 when the dictionary cannot be opened.
int DESCEDIT_AddToDictionary(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                             const char* dictionaryPath);

#include "appcore/desceditor.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datadic/dico.h"
#include "appcore/analysewizard.h"
#include "filedesc/analyse.h"
#include "filedesc/descprops.h"
#include "filedesc/names.h"
#include "foundation/inputfile.h"
#include "foundation/ldcg.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"

namespace {

const char* const kTypeNames[] = {"Entier",           "Décimal",      "Date",
                                  "Date et Heure",    "Chaîne fixe",  "Chaîne variable",
                                  "Texte non limité", "Booléen (bit)"};

void copyText(char* out, size_t size, const std::string& text) {
    size_t n = std::min(size - 1, text.size());
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

bool contains(const std::vector<ColumnDesc*>& columns, const ColumnDesc* column) {
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

// Removes the deleted columns from an index's column list.
void dropColumns(IndexDesc* index, const std::vector<ColumnDesc*>& columns) {
    if (!index) return;
    std::erase_if(index->columns, [&](const ColumnDesc* c) { return contains(columns, c); });
}

std::vector<IndexDesc*> indexesOf(FileDesc* desc) {
    std::vector<IndexDesc*> all;
    all.reserve(desc->indexes.size());
    for (const std::unique_ptr<IndexDesc>& index : desc->indexes) all.push_back(index.get());
    return all;
}

IndexDesc* indexOf(const char* prefix, FileDesc* desc, const std::vector<ColumnDesc*>& columns) {
    std::string name = std::string(prefix) + desc->TableName;
    IndexDesc* index = FILEDESC_CreateIndex(name.substr(0, INDEX_NAME_MAX).c_str());
    if (!index) return nullptr;
    index->columns = columns;
    return index;
}

}  // namespace

int DESCEDIT_StateIcon(const ColumnDesc* column) {
    if (!column) return 1;
    if (column->IgnoreColumn) return 3;
    if (column->FieldCannotBeNull) return column->hasWarning ? 6 : column->hasInfo ? 7 : 2;
    return column->hasWarning ? 4 : column->hasInfo ? 5 : 1;
}

const char* DESCEDIT_TypeName(int type) {
    return type >= 0 && type <= 7 ? kTypeNames[type] : "";
}

std::vector<std::string> DESCEDIT_OfferedFormats(int type) {
    switch (type) {
        case DATATYPE_DECIMAL:
            return {"Aucun", "3,1", "3,2", "6,3", "8,3"};
        case DATATYPE_DATE:
            return {"Aucun",  "aaaammjj", "aaaa-mm-jj", "aaaa/mm/jj",
                    "aammjj", "aa-mm-jj", "jj/mm/aaaa", "jj/mm/aa"};
        case DATATYPE_DATETIME:
            return {"Aucun",
                    "aaaammjjHHMMSS",
                    "aaaammjj HHMMSS",
                    "aaaammjj HH:MM:SS",
                    "aaaa-mm-jj HH:MM:SS",
                    "aaaa/mm/jj HH:MM:SS",
                    "aammjj HH:MM:SS",
                    "aa-mm-jj HH:MM:SS",
                    "jj/mm/aaaa HH:MM:SS",
                    "jj/mm/aa HH:MM:SS"};
        case DATATYPE_FIXEDCHAR:
        case DATATYPE_VARIABLECHAR:
            return {"Aucun", "1", "2", "3", "4", "5", "6", "7", "11", "32", "64"};
        default:
            return {"Aucun"};
    }
}

std::string DESCEDIT_FormatText(const ColumnDesc* column) {
    if (!column) return "";
    const TypeCible& t = column->typeCible;
    char text[96] = "";
    switch (t.type) {
        case DATATYPE_DECIMAL:
            std::snprintf(text, sizeof text, "(%i,%i)", t.fmtDecimal.partieEntiere,
                          t.fmtDecimal.partieDecimale);
            break;
        case DATATYPE_DATE:
            return t.fmtDate;
        case DATATYPE_DATETIME:
            return t.fmtDateTime;
        case DATATYPE_FIXEDCHAR:
            std::snprintf(text, sizeof text, "%i car.", t.fmtChaineFixe.taille);
            break;
        case DATATYPE_VARIABLECHAR:
            std::snprintf(text, sizeof text, "%i car.", t.fmtChaineVar.tailleMax);
            break;
        case DATATYPE_INTEGER:
            std::snprintf(text, sizeof text, "%i", t.fmtEntier.taille);
            break;
        default:
            break;
    }
    return text;
}

void DESCEDIT_ReadFormat(TypeCible* t, const char* text) {
    if (!t) return;
    if (!text) text = "";
    switch (t->type) {
        case DATATYPE_DECIMAL: {
            int precision = 0, scale = 0;
            if (std::sscanf(text, "%i,%i", &precision, &scale) != 2) precision = scale = 0;
            t->fmtDecimal.partieEntiere = precision;
            t->fmtDecimal.partieDecimale = scale;
            break;
        }
        case DATATYPE_DATE:
            copyText(t->fmtDate, sizeof t->fmtDate, text);
            break;
        case DATATYPE_DATETIME:
            copyText(t->fmtDateTime, sizeof t->fmtDateTime, text);
            break;
        case DATATYPE_FIXEDCHAR: {
            int n = 0;
            if (std::sscanf(text, "%i", &n) != 1) n = 0;
            t->fmtChaineFixe.taille = n;
            break;
        }
        case DATATYPE_VARIABLECHAR: {
            int n = 0;
            if (std::sscanf(text, "%i", &n) != 1) n = 0;
            t->fmtChaineVar.tailleMax = n;
            break;
        }
        default:
            break;
    }
}

std::vector<ColumnDesc*> DESCEDIT_Columns(FileDesc* desc) {
    std::vector<ColumnDesc*> all;
    if (!desc) return all;
    all.reserve(desc->columns.size());
    for (const ColumnOwner& column : desc->columns) all.push_back(column.get());
    return all;
}

DESCEDIT_MENU DESCEDIT_MenuState(int selected, bool hasDescription, bool hasExampleFile) {
    DESCEDIT_MENU menu;
    for (bool& e : menu.enabled) e = true;
    menu.deleteText = "Supprimer";
    if (selected <= 0) {
        for (int c = ITM_COL_UP; c <= ITM_COL_DELETE; ++c) menu.enabled[c - ITM_COL_UP] = false;
    } else if (selected >= 2) {
        for (int c = ITM_COL_UP; c <= ITM_COL_EDIT; ++c) menu.enabled[c - ITM_COL_UP] = false;
        char text[96];
        std::snprintf(text, sizeof text, "Supprimer les %i colonnes sélectionnées", selected);
        menu.deleteText = text;
    }
    if (!hasDescription || !hasExampleFile) {
        menu.enabled[ITM_COL_ANALYSE - ITM_COL_UP] = false;
        menu.enabled[ITM_COL_ANALYSEFULL - ITM_COL_UP] = false;
    }
    return menu;
}

bool DESCEDIT_MoveColumn(FileDesc* desc, ColumnDesc* column, int direction) {
    if (!desc || !column) return false;
    std::vector<ColumnOwner>& all = desc->columns;
    const auto at = std::find_if(all.begin(), all.end(),
                                 [column](const ColumnOwner& c) { return c.get() == column; });
    if (at == all.end()) return false;
    // Only the owners swap places: the records, which the key and indexes name, stay put.
    const bool moved = direction < 0 ? at != all.begin() : at + 1 != all.end();
    if (moved) std::iter_swap(at, direction < 0 ? at - 1 : at + 1);
    FILEDESC_UpdatePositions(desc);
    if (moved) desc->isModified = 1;
    return moved;
}

void DESCEDIT_ToggleMandatory(const std::vector<ColumnDesc*>& columns) {
    for (ColumnDesc* c : columns) c->FieldCannotBeNull = !c->FieldCannotBeNull;
}

void DESCEDIT_ToggleIgnore(const std::vector<ColumnDesc*>& columns) {
    for (ColumnDesc* c : columns) c->IgnoreColumn = !c->IgnoreColumn;
}

int DESCEDIT_SetPrimaryKey(FileDesc* desc, const std::vector<ColumnDesc*>& columns) {
    if (!desc || columns.empty()) return 1;
    IndexDesc* key = indexOf("PK_", desc, columns);
    if (!key) return 1;
    FILEDESC_SetPrimaryKey(desc, key);
    FILEDESC_DestroyIndex(key);
    desc->isModified = 1;
    return 0;
}

int DESCEDIT_AddIndex(FileDesc* desc, const std::vector<ColumnDesc*>& columns) {
    if (!desc || columns.empty()) return 1;
    IndexDesc* index = indexOf("IDX_", desc, columns);
    if (!index) return 1;
    FILEDESC_AddIndex(desc, index);
    desc->isModified = 1;
    return 0;
}

int DESCEDIT_DeleteColumns(FileDesc* desc, const std::vector<ColumnDesc*>& columns) {
    if (!desc) return 0;
    // The key and the indexes only refer to columns: drop the references before the columns go.
    dropColumns(&desc->primaryKey, columns);
    for (IndexDesc* index : indexesOf(desc)) dropColumns(index, columns);
    int deleted = 0;
    std::vector<ColumnDesc*> present = DESCEDIT_Columns(desc);
    for (ColumnDesc* column : columns)
        if (contains(present, column) && FILEDESC_SupprimerColonne(desc, column) == 0) ++deleted;
    return deleted;
}

std::string DESCEDIT_StatisticsText(const ColumnDesc* column) {
    if (!column || !column->stats) return "";
    const COL_TYPE_STATISTICS& s = *column->stats;
    char text[5000];
    std::snprintf(
        text, sizeof text,
        "\n\nColonne : %s\n\nTypes reconnus : \n - Entiers zéro-préfixés : %i\n - Entiers "
        "non-zéro-préfixés : %i\n - Décimaux : %i\n - Décimaux (séparateur:point) : %i\n - "
        "Décimaux (séparateur:virgule) : %i\n - Décimaux Postfixés (séparateur:point) : %i\n - "
        "Décimaux Postfixés (séparateur:virgule) : %i\n - Chaînes fixes : %i\n - Chaînes "
        "variables : %i\n - Dates : %i\n - Dates et heures : %i\n\nLongueur de données "
        "analysées :\n - Minimum : %i\n - Maximum: %i\n\nTailles analysées pour les décimaux "
        ":\n * Parties entières :\n   - Minimum : %i\n   - Maximum: %i\n * Parties décimales "
        ":\n   - Minimum : %i\n   - Maximum: %i",
        column->code, s.countIntegersZeroPrefixed, s.countIntegersNonZeroPrefixed, s.countDecimals,
        s.countDecimalsWithPoint, s.countDecimalsWithComma, s.countDecimalsWithPointSignPostfix,
        s.countDecimalsWithCommaSignPostfix, s.countFixedStrings, s.countVariableStrings,
        s.countDates, s.countDatetimes, s.minLength, s.maxLength, s.minLengthForIntegerPart,
        s.maxLengthForIntegerPart, s.minLengthForDecimalPart, s.maxLengthForDecimalPart);
    return text;
}

std::string DESCEDIT_IndexComponents(const IndexDesc* index) {
    std::string text;
    if (!index) return text;
    for (const ColumnDesc* column : index->columns) {
        if (!text.empty()) text += ", ";
        text += column->code;
    }
    if (text.size() > 4999) text.resize(4999);
    return text;
}

std::vector<IndexDesc*> DESCEDIT_Indexes(FileDesc* desc) {
    return desc ? indexesOf(desc) : std::vector<IndexDesc*>();
}

bool DESCEDIT_HasPrimaryKey(const FileDesc* desc) {
    return desc && desc->primaryKey.name[0] != '\0';
}

int DESCEDIT_RemovePrimaryKey(FileDesc* desc) {
    if (!DESCEDIT_HasPrimaryKey(desc)) return 1;
    FILEDESC_SetPrimaryKey(desc, nullptr);
    desc->isModified = 1;
    return 0;
}

int DESCEDIT_RemoveIndex(FileDesc* desc, IndexDesc* index) {
    if (!desc || !index || index == &desc->primaryKey) return 1;
    std::vector<IndexDesc*> all = indexesOf(desc);
    if (std::find(all.begin(), all.end(), index) == all.end()) return 1;
    if (FILEDESC_RemoveIndex(desc, index) != 0) return 1;
    FILEDESC_DestroyIndex(index);
    desc->isModified = 1;
    return 0;
}

int DESCEDIT_RenameIndex(FileDesc* desc, IndexDesc* index, const char* name) {
    if (!index || !name || !*name || FILEDESC_NameFault(name) >= 0) return 1;
    morvex::trace("\nNouveau label : [%s]", name);
    if (std::strncmp(index->name, name, INDEX_NAME_MAX) == 0) return 0;
    copyText(index->name, sizeof index->name, name);
    if (desc) desc->isModified = 1;
    return 0;
}

int DESCEDIT_SendToDictionary(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                              const char* dictionaryPath) {
    if (!desc || columns.empty()) return 0;
    const int sent = DESCEDIT_AddToDictionary(desc, columns, dictionaryPath);
    if (sent < 0) return -1;
    morvex::UiError error;
    const bool saved = DICO_Save(DICO_Current(), &error) == 0;
    morvex::showError(error);
    return saved ? sent : -1;
}

int DESCEDIT_AddToDictionary(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                             const char* dictionaryPath) {
    if (!desc || columns.empty()) return 0;
    DATADIC* dic = DICO_Current();
    if (!dic && dictionaryPath) {
        bool unreadable = false;
        morvex::UiError error;
        dic = DICO_Open(dictionaryPath, &unreadable, nullptr, &error);
        morvex::showError(error);
        if (dic && unreadable) {
            // Saving would replace the person's file by the few columns sent now.
            DICO_Close();
            morvex::uiPort().messageBox(
                "Dictionnaire de données",
                morvex::Format("Le dictionnaire '%s' est illisible : il n'est pas remplacé.",
                               dictionaryPath),
                morvex::UiButtons::Ok, morvex::UiIcon::Error);
            return -1;
        }
    }
    if (!dic) return -1;
    int sent = 0;
    for (ColumnDesc* column : columns) {
        morvex::UiError error;
        if (DICO_AddObject(desc->DatabaseName, desc->TableName, column, &error) == 0) ++sent;
        morvex::showError(error);
    }
    return sent;
}

DescEditSeparator DESCEDIT_SeparatorChoice(const FileDesc* desc) {
    if (!desc) return SEPARATOR_SEMICOLON;
    return DESCEDIT_SeparatorChoiceOf(desc->FieldDelimiter);
}

DescEditSeparator DESCEDIT_SeparatorChoiceOf(const std::string& text) {
    char converted[FILEDESC_DELIMITER_MAX + 1] = "";
    FILEDESC_ConvertEndOfLine(text.c_str(), converted, sizeof converted);
    morvex::trace(
        "\n[DESCEDIT_SeparatorChoiceOf] fieldDelimiterText=[%s], fieldDelimiter=[%s], "
        "*fieldDelimiter=[%c]",
        text.c_str(), converted, converted[0]);
    switch (converted[0]) {
        case ',':
            return SEPARATOR_COMMA;
        case ';':
            return SEPARATOR_SEMICOLON;
        case '|':
            return SEPARATOR_PIPE;
        case '~':
            return SEPARATOR_TILDE;
        case '\t':
            return SEPARATOR_TAB;
        case ' ':
            return SEPARATOR_SPACE;
        default:
            return SEPARATOR_OTHER;
    }
}

std::string DESCEDIT_SeparatorText(DescEditSeparator choice, const std::string& other) {
    switch (choice) {
        case SEPARATOR_SEMICOLON:
            return ";";
        case SEPARATOR_TAB:
            return "\\t";
        case SEPARATOR_COMMA:
            return ",";
        case SEPARATOR_SPACE:
            return " ";
        case SEPARATOR_TILDE:
            return "~";
        case SEPARATOR_PIPE:
            return "|";
        default:
            return other;
    }
}

void DESCEDIT_SetSeparator(FileDesc* desc, const std::string& text) {
    if (!desc) return;
    copyText(desc->FieldDelimiter, sizeof desc->FieldDelimiter, text);
}

void DESCEDIT_SetEndOfLine(FileDesc* desc, const std::string& text) {
    if (!desc) return;
    copyText(desc->EndOfLine, sizeof desc->EndOfLine, text);
}

std::vector<std::string> DESCEDIT_OfferedEncodings() {
    return {"", "UTF-8", "WINDOWS-1252", "ISO-8859-1", "ISO-8859-15", "UTF-16LE", "UTF-16BE"};
}

void DESCEDIT_SetEncoding(FileDesc* desc, const std::string& text) {
    if (!desc) return;
    const size_t begin = text.find_first_not_of(" \t");
    const size_t end = text.find_last_not_of(" \t");
    std::string name = begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    copyText(desc->Encoding, sizeof desc->Encoding, name);
}

void DESCEDIT_SetUnquote(FileDesc* desc, bool unquote, const std::string& quote) {
    if (!desc) return;
    desc->Unquote = unquote ? 1 : 0;
    desc->QuoteChar = !unquote ? '\0' : quote.empty() ? '"' : quote[0];
}

namespace {

// `text` cut to `max` bytes without splitting a UTF-8 character, into a field of max + 1 bytes.
void copyCut(char* field, size_t max, const std::string& text) {
    morvex::utf8CopyCut(field, max + 1, std::string_view(text));
}

// `text`, or nullptr for an empty one (an owned text of a description is then cleared).
const char* orNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// `text` read whole as a number of at least `min`.
bool readNumber(const std::string& text, int min, int* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || n < min || n > 2000000000L) return false;
    *out = static_cast<int>(n);
    return true;
}

int positionOf(FileDesc* desc, const ColumnDesc* column) {
    std::vector<ColumnDesc*> all = DESCEDIT_Columns(desc);
    auto it = std::find(all.begin(), all.end(), column);
    return it == all.end() ? 0 : static_cast<int>(it - all.begin()) + 1;
}

std::string fixedWidthRefusal(const FileDesc* desc) {
    return desc->TypeStructFile == STRUCTFILE_FIXED
               ? ""
               : "Les positions de début et de fin ne s'appliquent qu'aux fichiers de largeur "
                 "fixe.";
}

}  // namespace

std::string DESCEDIT_CodeRefusal(const char* code) {
    if (code && *code) return FILEDESC_NameRefusal("de la colonne", code);
    return "Veuillez renseigner le CODE COLONNE.\nIl s'agit d'un identifiant pouvant correspondre "
           "au nom de la colonne dans la table cible.";
}

std::string DESCEDIT_TextRefusal(const char* what, const std::string& text, size_t max) {
    if (text.size() <= max) return "";
    return std::string(what) + " dépasse " + morvex::byteCountText(max) + " (" +
           morvex::byteCountText(text.size()) + ") : rien n'est enregistré.";
}

std::string DESCEDIT_ReadColumnTexts(ColumnDesc* fields, const std::string& code,
                                     const std::string& description) {
    if (!fields) return "Aucune colonne.";
    std::string refusal = DESCEDIT_TextRefusal("Le code de la colonne", code, COLUMN_CODE_MAX);
    if (refusal.empty())
        refusal = DESCEDIT_TextRefusal("La description de la colonne", description,
                                       COLUMN_DESCRIPTION_MAX);
    if (!refusal.empty()) return refusal;
    copyCut(fields->code, COLUMN_CODE_MAX, code);
    copyCut(fields->Description, COLUMN_DESCRIPTION_MAX, description);
    return "";
}

std::string DESCEDIT_FormatRefusal(int type, const std::string& text) {
    if (type != DATATYPE_DATE && type != DATATYPE_DATETIME) return "";
    return DESCEDIT_TextRefusal("Le format", text, COLUMN_FORMAT_MAX);
}

std::string DESCEDIT_DuplicateNameRefusal(const FileDesc* desc, const ColumnDesc* column,
                                          const char* code) {
    if (!desc || !code) return "";
    for (const ColumnOwner& owner : desc->columns) {
        const ColumnDesc* other = owner.get();
        if (other != column && morvex::sameColumnName(other->code, code))
            return std::string("Une autre colonne s'appelle déjà « ") + other->code +
                   " » : deux colonnes d'une table ne peuvent pas avoir le même nom (« " + code +
                   " »).";
    }
    return "";
}

ColumnDesc DESCEDIT_NewColumnFields(const char* code) {
    ColumnDesc fields{};
    copyCut(fields.code, COLUMN_CODE_MAX, code ? code : "");
    fields.WidthInChars = 1;
    fields.typeCible.type = DATATYPE_VARIABLECHAR;
    DESCEDIT_ReadFormat(&fields.typeCible, "Aucun");
    return fields;
}

std::string DESCEDIT_ApplyDetail(FileDesc* desc, ColumnDesc* column, const ColumnDesc& fields) {
    if (!desc) return "Aucune description.";
    std::string refusal = DESCEDIT_CodeRefusal(fields.code);
    if (refusal.empty()) refusal = DESCEDIT_DuplicateNameRefusal(desc, column, fields.code);
    if (!refusal.empty()) return refusal;
    if (!column) {
        ColumnDesc added = fields;
        added.message = nullptr;
        added.stats = nullptr;
        FILEDESC_AjouterColonne(desc, &added);
    } else {
        std::memcpy(column->code, fields.code, sizeof column->code);
        std::memcpy(column->Description, fields.Description, sizeof column->Description);
        column->WidthInChars = fields.WidthInChars;
        column->typeCible = fields.typeCible;
        column->protectedField = fields.protectedField;
        column->DelimCharStart = fields.DelimCharStart;
        column->DelimCharEnd = fields.DelimCharEnd;
        column->IgnoreColumn = fields.IgnoreColumn;
        column->FieldCannotBeNull = fields.FieldCannotBeNull;
        FILEDESC_MAJColonne(desc);
    }
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);
    return "";
}

std::string DESCEDIT_MoveColumnTo(FileDesc* desc, ColumnDesc* column, int position) {
    const int count = static_cast<int>(DESCEDIT_Columns(desc).size());
    if (position < 1 || position > count)
        return morvex::Format("La position %i n'existe pas : la description a %i colonne(s).",
                              position, count);
    for (int at = positionOf(desc, column); at != position && at > 0; at = positionOf(desc, column))
        if (!DESCEDIT_MoveColumn(desc, column, at > position ? -1 : +1)) break;
    return "";
}

std::string DESCEDIT_SetColumnStart(FileDesc* desc, ColumnDesc* column, int start) {
    std::string refusal = fixedWidthRefusal(desc);
    if (!refusal.empty() || start == column->StartPosition) return refusal;
    ColumnDesc* before = FILEDESC_SearchColumnByPos(desc, positionOf(desc, column) - 1);
    if (!before) return "La première colonne commence au caractère 1.";
    if (start <= before->StartPosition || start > column->EndPosition)
        return morvex::Format(
            "Le début de la colonne %s doit être entre les caractères %i et %i (la colonne %s "
            "la précède).",
            column->code, before->StartPosition + 1, column->EndPosition, before->code);
    before->WidthInChars = start - before->StartPosition;
    column->WidthInChars = column->EndPosition - start + 1;
    FILEDESC_MAJColonne(desc);
    FILEDESC_UpdatePositions(desc);
    return "";
}

std::string DESCEDIT_SetColumnEnd(FileDesc* desc, ColumnDesc* column, int end) {
    std::string refusal = fixedWidthRefusal(desc);
    if (!refusal.empty() || end == column->EndPosition) return refusal;
    ColumnDesc* after = FILEDESC_SearchColumnByPos(desc, positionOf(desc, column) + 1);
    const int last = after ? after->EndPosition - 1 : INT_MAX;
    if (end < column->StartPosition || end > last)
        return after ? morvex::Format(
                           "La fin de la colonne %s doit être entre les caractères %i et %i (la "
                           "colonne %s la suit).",
                           column->code, column->StartPosition, last, after->code)
                     : morvex::Format("La fin de la colonne %s ne peut précéder son début (%i).",
                                      column->code, column->StartPosition);
    if (after) after->WidthInChars = after->EndPosition - end;
    column->WidthInChars = end - column->StartPosition + 1;
    FILEDESC_MAJColonne(desc);
    FILEDESC_UpdatePositions(desc);
    return "";
}

void DESCEDIT_SetMandatory(const std::vector<ColumnDesc*>& columns, bool on) {
    std::vector<ColumnDesc*> differing;
    for (ColumnDesc* c : columns)
        if ((c->FieldCannotBeNull != 0) != on) differing.push_back(c);
    DESCEDIT_ToggleMandatory(differing);
}

void DESCEDIT_SetIgnore(const std::vector<ColumnDesc*>& columns, bool on) {
    std::vector<ColumnDesc*> differing;
    for (ColumnDesc* c : columns)
        if ((c->IgnoreColumn != 0) != on) differing.push_back(c);
    DESCEDIT_ToggleIgnore(differing);
}

IndexDesc* DESCEDIT_FindIndex(FileDesc* desc, const char* name) {
    if (!desc || !name || !*name) return nullptr;
    if (DESCEDIT_HasPrimaryKey(desc) && std::strcmp(desc->primaryKey.name, name) == 0)
        return &desc->primaryKey;
    for (IndexDesc* index : indexesOf(desc))
        if (std::strcmp(index->name, name) == 0) return index;
    return nullptr;
}

std::string DESCEDIT_IndexNameRefusal(FileDesc* desc, const std::string& name) {
    if (name.empty()) return "Le nom d'un index ne peut pas être vide.";
    if (std::string refusal = FILEDESC_NameRefusal("de l'index", name.c_str()); !refusal.empty())
        return refusal;
    if (name.size() > static_cast<size_t>(INDEX_NAME_MAX))
        return morvex::Format("Le nom d'index '%s' dépasse %i caractères.", name.c_str(),
                              INDEX_NAME_MAX);
    if (DESCEDIT_FindIndex(desc, name.c_str()))
        return "Un index ou la clé primaire s'appelle déjà '" + name + "'.";
    return "";
}

std::string DESCEDIT_AddNamedIndex(FileDesc* desc, const std::string& name,
                                   const std::vector<ColumnDesc*>& columns) {
    std::string refusal = DESCEDIT_IndexNameRefusal(desc, name);
    if (!refusal.empty()) return refusal;
    if (DESCEDIT_AddIndex(desc, columns) != 0) return "Un index doit avoir au moins une colonne.";
    DESCEDIT_RenameIndex(desc, indexesOf(desc).back(), name.c_str());
    return "";
}

std::string DESCEDIT_ReanalyseColumns(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                                      int maxRows, int rules) {
    const char* example = desc->ExampleFilePath;
    if (!example || !*example)
        return "La description n'a pas de fichier exemple : l'analyse ne peut pas être relancée.";
    std::string refusal;
    if (FILE* probe = morvex::openInputFile(example, &refusal))
        std::fclose(probe);
    else
        return morvex::Format("Le fichier exemple '%s' ne peut pas être lu.", example) + " " +
               refusal;
    struct Kept {
        ColumnDesc* column;
        int width;
        TypeCible type;
    };
    const std::vector<ColumnDesc*> before = DESCEDIT_Columns(desc);
    std::vector<Kept> kept;
    for (ColumnDesc* c : before)
        if (!contains(columns, c)) kept.push_back({c, c->WidthInChars, c->typeCible});
    if (FYK_LaunchFileAnalyse(nullptr, desc, example, maxRows, 0, rules) != 0)
        return morvex::Format("L'analyse du fichier exemple '%s' n'a pas pu être lancée.", example);
    // Values past the last column make columns of their own: they are not the ones asked for.
    std::vector<ColumnDesc*> added;
    for (ColumnDesc* c : DESCEDIT_Columns(desc))
        if (!contains(before, c)) added.push_back(c);
    DESCEDIT_DeleteColumns(desc, added);
    for (const Kept& k : kept) {
        k.column->WidthInChars = k.width;
        k.column->typeCible = k.type;
    }
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);
    desc->isModified = 1;
    return "";
}

namespace {

// Stores a property's value, checked as the properties sheet checks it: the ones whose value
// is more than its text are written out here; the others by their kind in the table
// (filedesc/descprops.h). The refusal, or "".
std::string setEditedProperty(FileDesc* desc, const morvex::DescProperty& p,
                              const std::string& name, const std::string& value) {
    using morvex::PropertyKind;
    if (name == "eol" && value.empty())
        return "L'indicateur de fin de ligne ne peut pas être vide.";
    if (name == "delimiter") {
        // An empty delimiter makes the description fixed-width, another one delimited.
        desc->TypeStructFile = value.empty() ? STRUCTFILE_FIXED : STRUCTFILE_DELIMITED;
    } else if (name == "encoding") {
        const size_t begin = value.find_first_not_of(" \t");
        const size_t end = value.find_last_not_of(" \t");
        morvex::setPropertyFixedText(
            *desc, p, begin == std::string::npos ? "" : value.substr(begin, end - begin + 1));
        return "";
    } else if (name == "header" || name == "trim") {
        if (value != "0" && value != "1") return "La valeur de " + name + " doit être 0 ou 1.";
    } else if (name == "unquote") {
        // 0, 1 (the double quote) or the protecting character itself.
        if (value.size() != 1)
            return "La valeur de unquote doit être 0, 1 ou le caractère de protection.";
        DESCEDIT_SetUnquote(desc, value != "0", value == "1" ? "" : value);
        return "";
    }
    switch (p.kind) {
        case PropertyKind::Text:
        case PropertyKind::Notation:
            morvex::setPropertyFixedText(*desc, p, value);
            return "";
        case PropertyKind::OwnedText:
        case PropertyKind::Path:
            p.setOwned(desc, orNull(value));
            return "";
        case PropertyKind::Number:
            if (!readNumber(value, p.editMin, &(desc->*p.number)))
                return morvex::Format(
                    "La valeur de %s doit être un nombre entier d'au moins %i : '%s'.",
                    name.c_str(), p.editMin, value.c_str());
            return "";
    }
    return "";
}

}  // namespace

std::vector<std::string> DESCEDIT_PropertyNames() {
    std::vector<const morvex::DescProperty*> edited;
    for (const morvex::DescProperty& p : morvex::descriptionProperties())
        if (p.editName) edited.push_back(&p);
    std::sort(edited.begin(), edited.end(),
              [](const auto* a, const auto* b) { return a->editRank < b->editRank; });
    std::vector<std::string> names;
    for (const morvex::DescProperty* p : edited) names.push_back(p->editName);
    return names;
}

std::string DESCEDIT_SetProperty(FileDesc* desc, const std::string& name,
                                 const std::string& value) {
    if (!desc) return "Aucune description.";
    const morvex::DescProperty* p = morvex::descriptionPropertyByEditName(name);
    if (!p) return "Propriété inconnue : '" + name + "'.";
    if (p->nameWhat)
        if (std::string refusal = FILEDESC_NameRefusal(p->nameWhat, value.c_str());
            !refusal.empty())
            return refusal;
    if (p->field) {
        // A text longer than its field is refused, never cut.
        std::string refusal =
            DESCEDIT_TextRefusal(("La valeur de " + name).c_str(), value, p->fieldSize - 1);
        if (!refusal.empty()) return refusal;
    }
    std::string refusal = setEditedProperty(desc, *p, name, value);
    if (refusal.empty()) desc->isModified = 1;
    return refusal;
}

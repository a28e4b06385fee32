#include "app/core/desceditor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "datadic/dico.h"
#include "foundation/ldcg.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

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
    if (!index || !index->columns) return;
    for (ColumnDesc* column : columns)
        while (LDCG_Remove(index->columns, column, 0) == 0) {
        }
}

std::vector<IndexDesc*> indexesOf(FileDesc* desc) {
    std::vector<IndexDesc*> all;
    if (!desc->indexes) return all;
    LDCG_IT* it = LDCG_IT_Create(desc->indexes);
    if (!it) return all;
    LDCG_IT_ReadInit(it);
    while (LDCG_IT_ReadHasNext(it)) all.push_back(static_cast<IndexDesc*>(LDCG_IT_ReadNext(it)));
    LDCG_IT_Destroy(it);
    return all;
}

IndexDesc* indexOf(const char* prefix, FileDesc* desc, const std::vector<ColumnDesc*>& columns) {
    std::string name = std::string(prefix) + desc->TableName;
    IndexDesc* index = FILEDESC_CreateIndex(name.substr(0, INDEX_NAME_MAX).c_str());
    if (!index) return nullptr;
    for (ColumnDesc* column : columns) LDCG_Add(index->columns, column, nullptr);
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
    if (!desc || !desc->columns) return all;
    LDCG_IT* it = LDCG_IT_Create(desc->columns);
    if (!it) return all;
    LDCG_IT_ReadInit(it);
    while (LDCG_IT_ReadHasNext(it)) all.push_back(static_cast<ColumnDesc*>(LDCG_IT_ReadNext(it)));
    LDCG_IT_Destroy(it);
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
    if (!desc || !column || !desc->columns) return false;
    std::vector<ColumnDesc*> before = DESCEDIT_Columns(desc);
    int found =
        direction < 0 ? LDCG_MoveUp(desc->columns, column) : LDCG_MoveDown(desc->columns, column);
    if (found != 0) return false;
    FILEDESC_UpdatePositions(desc);
    bool moved = before != DESCEDIT_Columns(desc);
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
    if (!index || !index->columns) return text;
    LDCG_IT* it = LDCG_IT_Create(index->columns);
    if (!it) return text;
    LDCG_IT_ReadInit(it);
    while (LDCG_IT_ReadHasNext(it)) {
        auto* column = static_cast<ColumnDesc*>(LDCG_IT_ReadNext(it));
        if (!text.empty()) text += ", ";
        text += column->code;
    }
    LDCG_IT_Destroy(it);
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
    if (!index || !name || !*name) return 1;
    morvex::trace("\nNouveau label : [%s]", name);
    if (std::strncmp(index->name, name, INDEX_NAME_MAX) == 0) return 0;
    copyText(index->name, sizeof index->name, name);
    if (desc) desc->isModified = 1;
    return 0;
}

int DESCEDIT_SendToDictionary(FileDesc* desc, const std::vector<ColumnDesc*>& columns,
                              const char* dictionaryPath) {
    if (!desc || columns.empty()) return 0;
    DATADIC* dic = DICO_Current();
    if (!dic && dictionaryPath) {
        bool unreadable = false;
        dic = DICO_Open(dictionaryPath, &unreadable);
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
    for (ColumnDesc* column : columns)
        if (DICO_AddObject(desc->DatabaseName, desc->TableName, column) == 0) ++sent;
    return DICO_Save(dic) == 0 ? sent : -1;
}

DescEditSeparator DESCEDIT_SeparatorChoice(const FileDesc* desc) {
    if (!desc) return SEPARATOR_SEMICOLON;
    return DESCEDIT_SeparatorChoiceOf(desc->FieldDelimiter);
}

DescEditSeparator DESCEDIT_SeparatorChoiceOf(const std::string& text) {
    char converted[FILEDESC_DELIMITER_MAX + 1] = "";
    FILEDESC_ConvertEndOfLine(text.c_str(), converted, sizeof converted);
    morvex::trace(
        "\n[initFrmDlgProprietesProjet] fieldDelimiterText=[%s], fieldDelimiter=[%s], "
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
    FILEDESC_ConvertEndOfLine(desc->FieldDelimiter, desc->FieldDelimiterChars,
                              sizeof desc->FieldDelimiterChars);
}

void DESCEDIT_SetEndOfLine(FileDesc* desc, const std::string& text) {
    if (!desc) return;
    copyText(desc->EndOfLine, sizeof desc->EndOfLine, text);
    FILEDESC_ConvertEndOfLine(desc->EndOfLine, desc->EndOfLineChars, sizeof desc->EndOfLineChars);
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

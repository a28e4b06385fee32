// File descriptions in memory: lifecycle, registry, columns, keys, validation, notation
// conversion, identifiers and type names.
#include "filedesc/filedesc.h"
#include "filedesc/names.h"

#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "datafile/dialect.h"
#include "filedesc/fdtext.h"
#include "filedesc/regexp.h"
#include "foundation/date.h"
#include "foundation/trace.h"

namespace {

// Every description created and not yet closed, in creation order (not owned). Never released,
// so that a description closed while the program ends still finds it.
std::vector<FileDesc*>& registry() {
    static auto* descriptions = new std::vector<FileDesc*>;
    return *descriptions;
}
// Next FileDescID.
std::atomic<int> gNextFileDescID{1};

// Pattern a column name must match as a whole.
constexpr const char* kColumnNamePattern = "[a-zA-Z][a-zA-Z0-9_]*";

// Releases a registry-less description's owned parts (used by creation failures and closing).
void releaseOwnedParts(FileDesc* desc) {
    // The key and indexes refer to the columns: they go first.
    desc->primaryKey.columns.clear();
    desc->indexes.clear();
    desc->columns.clear();
    if (desc->processes) PROCESS_Destroy(desc->processes);
    desc->processes = nullptr;
    free(desc->FileDescPath);
    free(desc->Description);
    free(desc->ExampleFilePath);
    free(desc->DatabaseFilePath);
    free(desc->ExampleFileAsRead);
    free(desc->DatabaseFileAsRead);
    desc->FileDescPath = desc->Description = desc->ExampleFilePath = desc->DatabaseFilePath =
        nullptr;
    desc->ExampleFileAsRead = desc->DatabaseFileAsRead = nullptr;
}

}  // namespace

// ---- Registry and lifecycle ----

int FILEDESC_Initialize() {
    registry();
    return 0;
}

FileDesc* FILEDESC_CreateFileDesc(const char* projectName, const char* path, int typeStructFile,
                                  const char* endOfLine, const char* delimiter) {
    if (FILEDESC_Initialize() != 0) return nullptr;
    auto* desc = new (std::nothrow) FileDesc{};
    if (!desc) return nullptr;
    desc->FileDescID = gNextFileDescID.fetch_add(1);

    DYNSTRING* uid = FILEDESC_CreateUID();
    if (uid) {
        fdtext::copyCut(desc->FileDescUID, sizeof desc->FileDescUID, DYNSTRING_GetCString(uid));
        DYNSTRING_Destroy(uid);
    }
    desc->processes = PROCESS_Create();
    if (path) desc->FileDescPath = strdup(path);
    if (!uid || !desc->processes || (path && !desc->FileDescPath)) {
        releaseOwnedParts(desc);
        delete desc;
        return nullptr;
    }
    if (projectName) fdtext::copyCut(desc->ProjectName, sizeof desc->ProjectName, projectName);
    FILEDESC_ScrubName(desc->ProjectName);  // often a file's name, which may hold anything
    desc->TypeStructFile = typeStructFile;
    fdtext::copyCut(desc->EndOfLine, sizeof desc->EndOfLine, endOfLine ? endOfLine : "\\r\\n");
    fdtext::copyCut(desc->FieldDelimiter, sizeof desc->FieldDelimiter, delimiter ? delimiter : ";");

    morvex::trace("\n[FILEDESC_CreateFileDesc] fileDescUID=[%s]", desc->FileDescUID);
    morvex::trace("\nRegistering '%s' (%i)", desc->ProjectName, desc->FileDescID);
    registry().push_back(desc);
    return desc;
}

FileDesc* FILEDESC_OpenFileDesc(const char* path, std::string* error) {
    if (!path) return nullptr;
    FileDesc* desc = FILEDESC_CreateFileDesc(nullptr, nullptr, STRUCTFILE_UNSET, nullptr, nullptr);
    if (!desc) return nullptr;
    if (FILEDESC_LoadFromFile(desc, path, error) != 0) {
        FILEDESC_CloseFileDesc(desc);
        return nullptr;
    }
    return desc;
}

int FILEDESC_CloseFileDesc(FileDesc* desc) {
    if (!desc) return 0;
    releaseOwnedParts(desc);
    morvex::trace("\n[FILEDESC_CloseFileDesc] Removing '%s' (%i)", desc->ProjectName,
                  desc->FileDescID);
    std::vector<FileDesc*>& open = registry();
    if (const auto at = std::find(open.begin(), open.end(), desc); at != open.end()) open.erase(at);
    delete desc;
    return 0;
}

FileDesc* FILEDESC_GetFileDescByID(int id) {
    for (FileDesc* desc : registry())
        if (desc->FileDescID == id) return desc;
    return nullptr;
}

int FILEDESC_RegistryCount() {
    return static_cast<int>(registry().size());
}

namespace {

// Replaces the owned text `field` by a copy of `text` (nullptr clears it); 1 when the copy
// cannot be made.
int replaceOwnedText(char*& field, const char* text) {
    char* copy = nullptr;
    if (text) {
        copy = strdup(text);
        if (!copy) return 1;
    }
    free(field);
    field = copy;
    return 0;
}

}  // namespace

int FILEDESC_SetFileName(FileDesc* desc, const char* path) {
    if (!desc || replaceOwnedText(desc->FileDescPath, path) != 0) return 1;
    desc->isModified = 1;
    return 0;
}

int FILEDESC_SetDescription(FileDesc* desc, const char* text) {
    return desc ? replaceOwnedText(desc->Description, text) : 1;
}

namespace {

// Sets one of the description's file paths; the text it was read as goes with any other value.
int setFilePath(char*& held, char*& asRead, const char* path) {
    if (path && held && strcmp(path, held) == 0) return 0;  // the same path: nothing changes
    if (replaceOwnedText(held, path) != 0) return 1;
    free(asRead);
    asRead = nullptr;
    return 0;
}

}  // namespace

int FILEDESC_SetExampleFilePath(FileDesc* desc, const char* path) {
    return desc ? setFilePath(desc->ExampleFilePath, desc->ExampleFileAsRead, path) : 1;
}

int FILEDESC_SetDatabaseFilePath(FileDesc* desc, const char* path) {
    return desc ? setFilePath(desc->DatabaseFilePath, desc->DatabaseFileAsRead, path) : 1;
}

// ---- Columns ----

int FILEDESC_AppendColumn(FileDesc* desc, const ColumnDesc* column) {
    if (!desc || !column) return 1;
    auto* copy = static_cast<ColumnDesc*>(malloc(sizeof(ColumnDesc)));
    if (!copy) return 1;
    memcpy(copy, column, sizeof *copy);
    // Texts read from elsewhere may lack their terminator: keep every fixed text terminated.
    copy->code[COLUMN_CODE_MAX] = 0;
    copy->Description[COLUMN_DESCRIPTION_MAX] = 0;
    copy->typeCible.fmtDate[COLUMN_FORMAT_MAX] = 0;
    copy->typeCible.fmtDateTime[COLUMN_FORMAT_MAX] = 0;
    desc->columns.emplace_back(copy);
    desc->isModified = 1;
    return 0;
}

int FILEDESC_AjouterColonne(FileDesc* desc, const ColumnDesc* column) {
    if (FILEDESC_AppendColumn(desc, column) != 0) return 1;
    FILEDESC_UpdatePositions(desc);
    FILEDESC_ValidateColumn(desc->columns.back().get());
    return 0;
}

int FILEDESC_SupprimerColonne(FileDesc* desc, ColumnDesc* column) {
    if (!desc || !column) return 1;
    const auto at = std::find_if(desc->columns.begin(), desc->columns.end(),
                                 [column](const ColumnOwner& c) { return c.get() == column; });
    if (at == desc->columns.end()) return 1;
    // The key and the indexes lose their reference to it before it is released: a caller that
    // forgot to take it out of them (a description analysed again after a key was set) must
    // not leave them naming released memory.
    auto forget = [column](std::vector<ColumnDesc*>& refs) {
        refs.erase(std::remove(refs.begin(), refs.end(), column), refs.end());
    };
    forget(desc->primaryKey.columns);
    for (const std::unique_ptr<IndexDesc>& index : desc->indexes) forget(index->columns);
    desc->columns.erase(at);
    desc->isModified = 1;
    FILEDESC_UpdatePositions(desc);
    return 0;
}

void FileDesc_DestroyColumn(void* column) {
    auto* col = static_cast<ColumnDesc*>(column);
    if (!col) return;
    morvex::trace("\n[FileDesc_DestroyColumn] ColName=[%s]", col->code);
    free(col->message);
    free(col->stats);
    free(col);
}

int FILEDESC_MAJColonne(FileDesc* desc) {
    if (!desc) return 1;
    desc->isModified = 1;
    return FILEDESC_Validate(desc);
}

ColumnDesc* FILEDESC_SearchColumn(FileDesc* desc, const char* code) {
    if (!desc || !code) return nullptr;
    for (const ColumnOwner& col : desc->columns)
        if (strcmp(col->code, code) == 0) return col.get();
    return nullptr;
}

ColumnDesc* FILEDESC_SearchColumnByPos(FileDesc* desc, int n) {
    if (!desc || n <= 0 || static_cast<size_t>(n) > desc->columns.size()) return nullptr;
    return desc->columns[static_cast<size_t>(n) - 1].get();
}

namespace morvex {

bool sameColumnName(const char* a, const char* b) {
    if (!a || !b) return false;
    for (;; ++a, ++b) {
        const auto fold = [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
        };
        if (fold(*a) != fold(*b)) return false;
        if (!*a) return true;
    }
}

std::string duplicateColumnNames(const std::vector<const char*>& names, bool positions) {
    // Positions (from 1) of the names, by the name folded to lower case (ASCII letters only).
    std::unordered_map<std::string, std::vector<int>> byName;
    byName.reserve(names.size());
    std::string firstRepeated;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string key(names[i] ? names[i] : "");
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
        std::vector<int>& group = byName[key];
        group.push_back(static_cast<int>(i) + 1);
        if (group.size() == 2 && firstRepeated.empty()) firstRepeated = key;
    }
    if (firstRepeated.empty()) return {};
    std::string text;
    for (int at : byName[firstRepeated]) {
        if (!text.empty()) text += ", ";
        text += std::string("« ") + names[static_cast<size_t>(at) - 1] + " »";
        if (positions) text += " (colonne " + std::to_string(at) + ")";
    }
    return text;
}

std::string duplicateColumnNames(const FileDesc* desc, bool positions) {
    if (!desc) return {};
    std::vector<const char*> names;
    names.reserve(desc->columns.size());
    for (const ColumnOwner& col : desc->columns) names.push_back(col->code);
    return duplicateColumnNames(names, positions);
}

}  // namespace morvex

int FILEDESC_UpdatePositions(FileDesc* desc) {
    if (!desc) return 1;
    int p = 1;
    int n = 0;
    for (const ColumnOwner& col : desc->columns) {
        col->Position = ++n;
        col->StartPosition = p;
        // Modular arithmetic: widths read from a file may be anything, and must not overflow.
        col->EndPosition = static_cast<int>(static_cast<unsigned>(p) +
                                            static_cast<unsigned>(col->WidthInChars) - 1u);
        p = static_cast<int>(static_cast<unsigned>(col->EndPosition) + 1u);
    }
    return 0;
}

int FILEDESC_RemoveColumnsStats(FileDesc* desc) {
    if (!desc) return 1;
    for (const ColumnOwner& col : desc->columns) {
        free(col->stats);
        col->stats = nullptr;
    }
    return 0;
}

int FILEDESC_Validate(FileDesc* desc) {
    if (!desc) return 1;
    for (const ColumnOwner& col : desc->columns) FILEDESC_ValidateColumn(col.get());
    return 0;
}

int FILEDESC_ValidateColumn(ColumnDesc* col) {
    if (!col) return 1;
    REGEXP* re = REGEXP_Compile(kColumnNamePattern);
    if (!re) {
        morvex::trace("\nRegExp error");
        return 1;
    }
    std::string message;
    int start = 0;
    int end = 0;
    int found = REGEXP_Search(re, col->code, &start, &end);
    REGEXP_Free(re);
    if (found && start == 0 && end == static_cast<int>(strlen(col->code))) {
        col->hasWarning = 0;
        col->hasInfo = 0;
    } else {
        col->hasWarning = 1;
        message =
            "Attention : le nom de colonne défini peut poser problème pour certaines "
            "bases de données ou scripts.\n";
    }
    morvex::trace(
        "\n[FILEDESC_ValidateColumn] col->code = %s, col->typeCible.type = %i, "
        "col->typeCible.fmtChaineVar.tailleMax = %i",
        col->code, col->typeCible.type, col->typeCible.fmtChaineVar.tailleMax);
    if (col->typeCible.type == DATATYPE_VARIABLECHAR &&
        col->typeCible.fmtChaineVar.tailleMax <= 0) {
        message += "ERREUR : La taille d'une chaine variable doit être positive non nulle.\n";
        col->hasWarning = 1;
    } else if (col->typeCible.type == DATATYPE_FIXEDCHAR &&
               col->typeCible.fmtChaineFixe.taille <= 0) {
        message += "ERREUR : La taille d'une chaine fixe doit être positive non nulle.\n";
        col->hasWarning = 1;
    }
    free(col->message);
    col->message = message.empty() ? nullptr : strdup(message.c_str());
    return message.empty() ? 1 : 0;
}

// ---- Primary key and indexes ----

int FILEDESC_SetPrimaryKey(FileDesc* desc, IndexDesc* key) {
    if (!desc) return 1;
    if (key == &desc->primaryKey) return 0;
    if (key) {
        desc->primaryKey.columns = std::move(key->columns);
        key->columns.clear();
        fdtext::copyCut(desc->primaryKey.name, sizeof desc->primaryKey.name, key->name);
    } else {
        desc->primaryKey.columns.clear();
        desc->primaryKey.name[0] = 0;
    }
    return 0;
}

int FILEDESC_AddIndex(FileDesc* desc, IndexDesc* index) {
    if (!desc || !index) return 1;
    desc->indexes.emplace_back(index);
    return 0;
}

int FILEDESC_RemoveIndex(FileDesc* desc, IndexDesc* index) {
    if (!desc || !index) return 1;
    const auto at =
        std::find_if(desc->indexes.begin(), desc->indexes.end(),
                     [index](const std::unique_ptr<IndexDesc>& i) { return i.get() == index; });
    if (at == desc->indexes.end()) return 1;
    at->release();  // ownership returns to the caller
    desc->indexes.erase(at);
    return 0;
}

IndexDesc* FILEDESC_CreateIndex(const char* name) {
    auto* index = new (std::nothrow) IndexDesc{};
    if (!index) return nullptr;
    if (name) fdtext::copyCut(index->name, sizeof index->name, name);
    return index;
}

void FILEDESC_DestroyIndex(void* index) {
    delete static_cast<IndexDesc*>(index);
}

// ---- Notation, identifiers, types ----

int FILEDESC_ConvertEndOfLine(const char* text, char* out, int outSize) {
    if (!text || !out || outSize <= 0) return 1;
    const std::string bytes = DATAFILE_NotationBytes(text, static_cast<size_t>(outSize - 1));
    memcpy(out, bytes.data(), bytes.size());
    out[bytes.size()] = '\0';
    return 0;
}

DYNSTRING* FILEDESC_CreateUID() {
    MYDATE date{};
    MYHEURE heure{};
    DATE_AujourdHui(&date);
    DATE_Heure(&heure);
    // One generator per thread, seeded from the system's entropy source.
    thread_local std::mt19937 generator([] {
        std::random_device device;
        std::seed_seq seq{device(), device(), static_cast<unsigned>(time(nullptr))};
        return std::mt19937(seq);
    }());
    int r1 = static_cast<int>(generator() & 0x7FFFFFFFu);
    int r2 = static_cast<int>(generator() & 0x7FFFFFFFu);
    char key[128];
    snprintf(key, sizeof key, "%04i%02i%02i_%04i%02i%02i_%i_%i", date.annee, date.mois, date.jour,
             heure.heure, heure.minute, heure.seconde, r1, r2);
    morvex::trace("\n[FILEDESC_CreateUID] Making signature for key=[%s]", key);

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLen = 0;
    if (EVP_Digest(key, strlen(key), digest, &digestLen, EVP_md5(), nullptr) != 1 ||
        digestLen != 16) {
        return nullptr;
    }
    char hex[33];
    for (unsigned i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02X", digest[i]);
    return DYNSTRING_NewWithCString(hex);
}

int GetDataType(const TypeCible* typeCible, char* out, int outSize) {
    static constexpr const char* kNames[8] = {"Integer",   "Decimal",      "Date", "Datetime",
                                              "FixedChar", "VariableChar", "Text", "Boolean"};
    if (!typeCible || !out || outSize <= 0) return 1;
    if (typeCible->type < 0 || typeCible->type > 7) return 1;
    snprintf(out, static_cast<size_t>(outSize), "%s", kNames[typeCible->type]);
    return 0;
}

int GetDataTypeFormat(const TypeCible* typeCible, char* out, int outSize) {
    if (!typeCible || !out || outSize <= 0) return 1;
    size_t size = static_cast<size_t>(outSize);
    switch (typeCible->type) {
        case DATATYPE_INTEGER:
        case DATATYPE_TEXT:
        case DATATYPE_BOOLEAN:
            out[0] = 0;
            return 0;
        case DATATYPE_DECIMAL:
            // Summed wide: sizes read from a file may be anything.
            snprintf(out, size, "%lld,%i",
                     static_cast<long long>(typeCible->fmtDecimal.partieEntiere) +
                         typeCible->fmtDecimal.partieDecimale,
                     typeCible->fmtDecimal.partieDecimale);
            return 0;
        case DATATYPE_DATE:
            snprintf(out, size, "%s", typeCible->fmtDate);
            return 0;
        case DATATYPE_DATETIME:
            snprintf(out, size, "%s", typeCible->fmtDateTime);
            return 0;
        case DATATYPE_FIXEDCHAR:
            snprintf(out, size, "%i", typeCible->fmtChaineFixe.taille);
            return 0;
        case DATATYPE_VARIABLECHAR:
            snprintf(out, size, "%i", typeCible->fmtChaineVar.tailleMax);
            return 0;
        default:
            return 1;
    }
}

int FILEDESC_CreerListe() {
    return 0;
}

int FILEDESC_DetruireListe(FileDesc* desc) {
    if (!desc) return 1;
    // The key and the indexes keep their records but lose their references to the columns.
    desc->primaryKey.columns.clear();
    for (const std::unique_ptr<IndexDesc>& index : desc->indexes) index->columns.clear();
    desc->columns.clear();
    return 0;
}

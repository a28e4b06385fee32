#include "datadic/dico.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "filedesc/names.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"

namespace {

// The dictionary of the process (the window's), or nullptr.
DATADIC* gDictionary = nullptr;
// It holds less than its file: it is never written over it.
bool gIncomplete = false;

void lowerInPlace(std::string& s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// Substring search of an already lower-cased needle in `text`, ASCII case ignored. `scratch`
// receives the lower-cased text (reused from call to call, so that a search over a large
// dictionary allocates nothing per element).
bool containsLower(const char* text, const std::string& needle, std::string& scratch) {
    if (needle.empty()) return true;
    scratch.assign(text);
    lowerInPlace(scratch);
    return strstr(scratch.c_str(), needle.c_str()) != nullptr;
}

}  // namespace

std::string DICO_DefaultPath(const char* dictionariesDirectory) {
    std::string dir;
    if (dictionariesDirectory && *dictionariesDirectory) {
        dir = dictionariesDirectory;
    } else {
        const char* xdg = getenv("XDG_DATA_HOME");
        const char* home = getenv("HOME");
        if (xdg && *xdg)
            dir = std::string(xdg) + "/MorvexFylatek";
        else if (home && *home)
            dir = std::string(home) + "/.local/share/MorvexFylatek";
        else
            dir = ".";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/" + DICO_FILE_NAME;
}

DATADIC* DICO_Read(const char* path, bool* incomplete, bool* unreadable,
                   DATADICXML_LOADREPORT* report, const std::atomic<bool>* stop) {
    DATADICXML_LOADREPORT read{};
    if (unreadable) *unreadable = false;
    *incomplete = false;
    if (!path) return nullptr;
    DATADIC* dic = DATADICXML_LoadFromFileReport(path, &read, stop);
    if (stop && stop->load()) {
        if (dic) DATADIC_Destroy(dic);
        return nullptr;
    }
    *incomplete = read.faultOffset >= 0 || read.objectsRead < read.objectsSeen;
    if (!dic) {
        struct stat st;
        // A file with bytes, or something in the file's place that is no file: never written
        // over.
        if (stat(path, &st) == 0 && (st.st_size > 0 || !S_ISREG(st.st_mode))) {
            *incomplete = true;
            if (unreadable) *unreadable = true;
        }
        dic = DATADIC_Create("ZRT", path);
    }
    if (report) *report = read;
    if (dic) DATADIC_Sort(dic);
    return dic;
}

void DICO_Install(DATADIC* dic, bool incomplete) {
    DICO_Close();
    gDictionary = dic;
    gIncomplete = dic && incomplete;
}

DATADIC* DICO_Open(const char* path, bool* unreadable, DATADICXML_LOADREPORT* report,
                   morvex::UiError* error) {
    DICO_Close();
    if (unreadable) *unreadable = false;
    if (!path) return nullptr;
    bool incomplete = false;
    DATADIC* dic = DICO_Read(path, &incomplete, unreadable, report);
    if (!dic) {
        if (error) *error = {"ERREUR", "Erreur de création du dictionnaire", morvex::UiIcon::Error};
        return nullptr;
    }
    DICO_Install(dic, incomplete);
    return dic;
}

bool DICO_Incomplete() {
    return gDictionary && gIncomplete;
}

DATADIC* DICO_Current() {
    return gDictionary;
}

void DICO_Close() {
    if (gDictionary) DATADIC_Destroy(gDictionary);
    gDictionary = nullptr;
    gIncomplete = false;
}

std::string DICO_Title(const DATADIC* dic) {
    return std::string("Dictionnaire - ") + (dic ? dic->name : "");
}

namespace {

bool matches(const DATADIC_ELT* elt, const std::string& lowerFilter, std::string& scratch) {
    return containsLower(elt->code, lowerFilter, scratch) ||
           containsLower(elt->defaultColumn.Description, lowerFilter, scratch);
}

}  // namespace

bool DICO_Matches(const DATADIC_ELT* elt, const std::string& lowerFilter) {
    if (!elt) return false;
    std::string scratch;
    return matches(elt, lowerFilter, scratch);
}

std::vector<DATADIC_ELT*> DICO_Search(DATADIC* dic, const char* filter) {
    std::vector<DATADIC_ELT*> rows;
    if (!dic) return rows;
    std::string lower = filter ? std::string(filter, strnlen(filter, DICO_FILTER_MAX)) : "";
    lowerInPlace(lower);
    std::string scratch;
    scratch.reserve(COLUMN_DESCRIPTION_MAX + 1);
    const int count = DATADIC_Count(dic);
    for (int row = 0; row < count; ++row) {
        if (!containsLower(DATADIC_CodeAt(dic, row), lower, scratch) &&
            !containsLower(DATADIC_DescriptionAt(dic, row), lower, scratch))
            continue;
        if (DATADIC_ELT* elt = DATADIC_EltAt(dic, row)) rows.push_back(elt);
    }
    return rows;
}

void DICO_BuildSearchIndex(const DATADIC* dic, DICO_SEARCHINDEX* index) {
    if (!index) return;
    index->texts.clear();
    index->ends.clear();
    const int count = DATADIC_Count(dic);
    index->ends.reserve(count);
    for (int row = 0; row < count; ++row) {
        const size_t start = index->texts.size();
        index->texts.append(DATADIC_CodeAt(dic, row)).append(1, '\0');
        index->texts.append(DATADIC_DescriptionAt(dic, row)).append(1, '\0');
        for (size_t i = start; i < index->texts.size(); ++i) {
            char& c = index->texts[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        index->ends.push_back(index->texts.size());
    }
    index->texts.shrink_to_fit();
}

std::vector<int> DICO_SearchIndexed(const DICO_SEARCHINDEX& index, const char* filter) {
    std::string needle = filter ? std::string(filter, strnlen(filter, DICO_FILTER_MAX)) : "";
    lowerInPlace(needle);
    std::vector<int> rows;
    if (needle.empty()) {
        rows.resize(index.ends.size());
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
        return rows;
    }
    const char* texts = index.texts.data();
    const size_t size = index.texts.size();
    size_t from = 0, row = 0;
    // The filter holds no zero byte: a match never runs from one text into the next.
    while (const void* hit = memmem(texts + from, size - from, needle.data(), needle.size())) {
        const size_t at = static_cast<const char*>(hit) - texts;
        row = std::upper_bound(index.ends.begin() + row, index.ends.end(), at) - index.ends.begin();
        if (row >= index.ends.size()) break;
        rows.push_back(static_cast<int>(row));
        from = index.ends[row++];
    }
    return rows;
}

std::string DICO_ReferencesText(const DATADIC_ELT* elt) {
    std::string text;
    if (!elt) return text;
    for (LDCG_ELT* r = elt->references->first; r; r = r->next) {
        auto* ref = static_cast<DATADIC_REF*>(r->lParam1);
        if (!ref) continue;
        if (!text.empty()) text += ", ";
        text += ref->table;
    }
    return text;
}

std::string DICO_ReferencesTextAt(const DATADIC* dic, int row) {
    std::string text;
    if (DATADIC_ReferenceCountAt(dic, row) == 0) return text;
    DATADIC_REF scratch;
    DATADIC_VisitReferencesAt(
        dic, row, &scratch, true,
        [](const DATADIC_REF* ref, void* out) {
            auto& t = *static_cast<std::string*>(out);
            if (!t.empty()) t += ", ";
            t += ref->table;
        },
        &text);
    return text;
}

std::string DICO_FoundText(int count) {
    return std::to_string(count) + " objet(s) trouvé(s)";
}

int DICO_AddObject(const char* database, const char* table, const ColumnDesc* column,
                   morvex::UiError* error) {
    if (!database || !table || !column || !gDictionary) return 1;
    morvex::uiPort().statusText(std::string("Ajout de l'objet '") + database + ".." + table + "." +
                                column->code + "'");
    DATADIC_REF ref{};
    morvex::utf8CopyCut(ref.database, sizeof ref.database, database);
    morvex::utf8CopyCut(ref.table, sizeof ref.table, table);
    memcpy(&ref.localColumn, column, sizeof ref.localColumn);
    ref.localColumn.message = nullptr;  // the dictionary never shares the column's own parts
    ref.localColumn.stats = nullptr;
    if (DATADIC_AddElt(gDictionary, &ref) == DATADIC_ERR) {
        if (error)
            *error = {"Erreur Dictionnaire",
                      "Erreur lors de l'ajout de l'élément dans le dictionnaire.",
                      morvex::UiIcon::Error};
        return 1;
    }
    return 0;
}

int DICO_ApplyElement(FileDesc* desc, const DATADIC_ELT* elt) {
    morvex::trace("\n(i) Chargement d'un élément à partir du dictionnaire");
    if (!elt) {
        morvex::trace("\n(e) L'element est NULL");
        return 1;
    }
    if (!desc) return 1;
    if (FILEDESC_NameFault(elt->defaultColumn.code) >= 0) {
        morvex::trace("\n(e) Le code de l'element contient un caractere de controle");
        return 1;
    }
    ColumnDesc column = elt->defaultColumn;
    column.message = nullptr;
    column.stats = nullptr;
    if (FILEDESC_AjouterColonne(desc, &column) != 0) return 1;
    FILEDESC_UpdatePositions(desc);
    FILEDESC_Validate(desc);
    morvex::uiPort().refresh(morvex::UiRefresh::ColumnList);
    morvex::uiPort().refresh(morvex::UiRefresh::ResultView);
    return 0;
}

int DICO_Save(DATADIC* dic, morvex::UiError* error) {
    if (!dic) return 1;
    morvex::UiPort& ui = morvex::uiPort();
    ui.statusText("Tri du dictionnaire");
    DATADIC_Sort(dic);
    ui.statusText("Chargement du dictionnaire");
    ui.statusText("Enregistrement du dictionnaire");
    if (dic == gDictionary && gIncomplete) {
        morvex::trace("\n(e) Dictionnaire lu en partie : le fichier [%s] n'est pas remplacé",
                      dic->filePath);
        if (error)
            *error = {"Dictionnaire de données",
                      std::string("Le fichier '") + dic->filePath +
                          "' n'a pas été lu entièrement : il n'est pas remplacé par le "
                          "dictionnaire, qui en contient moins.",
                      morvex::UiIcon::Error};
        ui.statusText("Terminé");
        return 1;
    }
    int result = DATADICXML_WriteToFile(dic, dic->filePath);
    if (result != 0 && error)
        *error = {"Dictionnaire de données", "Erreur lors de l'enregistrement du dictionnaire",
                  morvex::UiIcon::Error};
    ui.statusText("Terminé");
    return result;
}

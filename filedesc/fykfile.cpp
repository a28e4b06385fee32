// The .fyk description file: writer and block-by-block reader.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "datafile/prompt.h"
#include "filedesc/fdtext.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

namespace {

// Closes a FILE* when it goes out of scope.
struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Longest piece of a physical line handled as one line.
constexpr int kMaxLinePiece = 1022;

// ---- Writer ----

// Builds the file text: CR LF before every line but the first, tabs for indentation.
class FykWriter {
public:
    // Appends one line at `depth` tabs.
    void line(int depth, const std::string& text) {
        if (!first_) out_ += "\r\n";
        first_ = false;
        out_.append(static_cast<size_t>(depth), '\t');
        out_ += text;
    }
    // Appends "KEY=value" at `depth` tabs.
    void keyValue(int depth, const char* key, const std::string& value) {
        line(depth, std::string(key) + "=" + value);
    }
    void keyValue(int depth, const char* key, int value) {
        keyValue(depth, key, std::to_string(value));
    }
    const std::string& text() const { return out_; }

private:
    std::string out_;    // the whole file
    bool first_ = true;  // no line written yet
};

std::string orEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

// FMT_CIBLE of a column, by its type.
std::string columnFormat(const ColumnDesc& col) {
    const TypeCible& t = col.typeCible;
    switch (t.type) {
        case DATATYPE_INTEGER:
            return std::to_string(t.fmtEntier.taille);
        case DATATYPE_DECIMAL:
            return std::to_string(t.fmtDecimal.partieEntiere) + "," +
                   std::to_string(t.fmtDecimal.partieDecimale);
        case DATATYPE_DATE:
            return t.fmtDate;
        case DATATYPE_DATETIME:
            return t.fmtDateTime;
        case DATATYPE_FIXEDCHAR:
            return std::to_string(t.fmtChaineFixe.taille);
        case DATATYPE_VARIABLECHAR:
            return std::to_string(t.fmtChaineVar.tailleMax);
        default:
            return std::string();
    }
}

void writeIndexBlock(FykWriter& w, const char* blockName, const IndexDesc& index) {
    w.line(2, std::string("BEGIN ") + blockName);
    w.keyValue(3, "NAME", index.name);
    if (index.columns) {
        for (LDCG_ELT* elt = index.columns->first; elt; elt = elt->next) {
            const auto* col = static_cast<const ColumnDesc*>(elt->lParam1);
            if (col) w.keyValue(3, "COMPOSANTE", col->code);
        }
    }
    w.line(2, std::string("END ") + blockName);
}

// ---- Reader ----

// One line of a description file, split into key and value.
struct FykLine {
    std::string key;    // the key as written (first field of the line)
    std::string lower;  // the key in lower case
    std::string value;  // everything after the first "=" that follows the key, or ""
};

// Reads the next line piece of `file` and splits it. Quoting (double quote) applies to the key
// field only: the value is the raw text after the first "=" following the key, so that values
// holding "=", tabs or quotes come back as written. False at the end of the file.
bool readLine(FILE* file, bool quoting, FykLine& line) {
    char buffer[kMaxLinePiece + 2];
    if (!fgets(buffer, kMaxLinePiece + 1, file)) return false;
    buffer[strcspn(buffer, "\r\n")] = 0;
    const char* p = buffer;
    while (*p == ' ' || *p == '\t') ++p;
    std::string raw(p);

    line.key.clear();
    line.value.clear();
    // The field queue splits a working copy (it rewrites its text in place).
    std::vector<char> work(raw.begin(), raw.end());
    work.push_back(0);
    int handle = Queue_Create(work.data(), '=', quoting ? '"' : '\n');
    if (handle) {
        char field[PROMPT_FIELD_MAX + 1] = "";
        if (Queue_Get(handle, QUEUE_CMD_NEXT, field)) line.key = field;
        Queue_Destroy(handle);
    } else {
        // Every session in use: fall back to the text before the first "=".
        line.key = raw.substr(0, raw.find('='));
    }
    if (!line.key.empty()) {
        size_t from = raw.find_first_not_of('=');  // empty fields before the key are skipped
        if (from == std::string::npos) from = raw.size();
        size_t eq = raw.find('=', std::min(raw.size(), from + line.key.size()));
        if (eq != std::string::npos) line.value = raw.substr(eq + 1);
    }
    line.lower = line.key;
    for (char& c : line.lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return true;
}

void setOwnedText(char*& field, const std::string& value) {
    char* copy = strdup(value.c_str());
    if (!copy) return;
    free(field);
    field = copy;
}

void setDelimiter(FileDesc* desc, const char* notation) {
    fdtext::copyCut(desc->FieldDelimiter, sizeof desc->FieldDelimiter, notation);
    FILEDESC_ConvertEndOfLine(desc->FieldDelimiter, desc->FieldDelimiterChars,
                              sizeof desc->FieldDelimiterChars);
}

// Reads FMT_CIBLE according to the type already read.
void readColumnFormat(ColumnDesc& col, const std::string& value) {
    TypeCible& t = col.typeCible;
    const char* v = value.c_str();
    switch (t.type) {
        case DATATYPE_DECIMAL: {
            const char* next = v;
            int whole = fdtext::toInt(v, &next);
            if (next == v) break;
            t.fmtDecimal.partieEntiere = whole;
            if (*next != ',') break;
            const char* second = next + 1;
            int decimals = fdtext::toInt(second, &next);
            if (next != second) t.fmtDecimal.partieDecimale = decimals;
            break;
        }
        case DATATYPE_DATE:
            fdtext::copyCut(t.fmtDate, sizeof t.fmtDate, v);
            break;
        case DATATYPE_DATETIME:
            fdtext::copyCut(t.fmtDateTime, sizeof t.fmtDateTime, v);
            break;
        case DATATYPE_FIXEDCHAR: {
            const char* next = v;
            int size = fdtext::toInt(v, &next);
            if (next != v) t.fmtChaineFixe.taille = size;
            break;
        }
        case DATATYPE_VARIABLECHAR: {
            const char* next = v;
            int size = fdtext::toInt(v, &next);
            if (next != v) t.fmtChaineVar.tailleMax = size;
            break;
        }
        default:
            break;  // Integer, Text, Boolean: nothing read back
    }
}

// Applies a NAME or COMPOSANTE line to a key or index; false for any other key.
bool applyIndexLine(FileDesc* desc, IndexDesc& index, const FykLine& line) {
    if (line.lower == "name") {
        fdtext::copyCut(index.name, sizeof index.name, line.value.c_str());
        return true;
    }
    if (line.lower == "composante") {
        ColumnDesc* col = FILEDESC_SearchColumn(desc, line.value.c_str());
        if (col && index.columns) LDCG_Add(index.columns, col, nullptr);
        return true;
    }
    return false;
}

}  // namespace

int FILEDESC_SaveToFile(FileDesc* desc, const char* path) {
    if (!desc || !desc->columns || !path) return 1;
    FykWriter w;
    w.line(0, "BEGIN MorvexFylatek");
    w.line(1, "FILEVERSION=1.4");
    w.line(1, "NBUILD=5697");
    w.line(1, "BEGIN File");
    w.keyValue(2, "FILEDESCUID", desc->FileDescUID);
    w.keyValue(2, "INDFINDELIGNE", desc->EndOfLine);
    w.keyValue(2, "LONGLIGNEFIXE", desc->LenFixedLine);
    w.keyValue(2, "TABLENAME", desc->TableName);
    w.keyValue(2, "SCHEMANAME", desc->SchemaName);
    w.keyValue(2, "DATABASENAME", desc->DatabaseName);
    w.keyValue(2, "PROJECTNAME", desc->ProjectName);
    w.keyValue(2, "DESCRIPTION", orEmpty(desc->Description));
    w.keyValue(2, "TYPESTRUCTFILE", desc->TypeStructFile);
    w.keyValue(2, "FIRSTLINEISHEADER", desc->FirstLineIsHeader);
    w.keyValue(2, "BEGINFROMLINE", desc->BeginFromLine);
    w.keyValue(2, "ENDTOLINE", desc->EndToLine);
    w.keyValue(2, "FIELDDELIMITER", desc->FieldDelimiter);
    w.keyValue(2, "FICHIEREXEMPLE", orEmpty(desc->ExampleFilePath));
    w.keyValue(2, "DATABASEFILE", orEmpty(desc->DatabaseFilePath));
    // Written only when set, so that descriptions without them keep their exact text.
    if (desc->Encoding[0]) w.keyValue(2, "ENCODING", desc->Encoding);
    if (desc->Unquote) w.keyValue(2, "UNQUOTE", 1);

    int index = 0;
    for (LDCG_ELT* elt = desc->columns->first; elt; elt = elt->next, ++index) {
        const auto* col = static_cast<const ColumnDesc*>(elt->lParam1);
        if (!col) return 1;
        w.line(2, "BEGIN Column");
        w.keyValue(3, "ID", 0);
        w.keyValue(3, "IGNORERCOL", col->IgnoreColumn);
        w.keyValue(3, "ISNULL", col->FieldCannotBeNull);
        w.keyValue(3, "POSITION", index);
        w.keyValue(3, "POSDEBUT", 0);
        w.keyValue(3, "POSFIN", 0);
        w.keyValue(3, "NAME", col->code);
        w.keyValue(3, "LARGEUR", col->WidthInChars);
        w.keyValue(3, "PROTECTEDFIELD", col->protectedField);
        // One raw character each; a zero character when there is none.
        w.keyValue(3, "CARDELIMDEBUT", std::string(1, col->DelimCharStart));
        w.keyValue(3, "CARDELIMFIN", std::string(1, col->DelimCharEnd));
        w.keyValue(3, "DESCRIPTION", col->Description);
        w.keyValue(3, "TYPE_CIBLE", col->typeCible.type);
        w.keyValue(3, "FMT_CIBLE", columnFormat(*col));
        w.line(2, "END Column");
    }
    writeIndexBlock(w, "Primary Key", desc->primaryKey);
    if (desc->indexes) {
        for (LDCG_ELT* elt = desc->indexes->first; elt; elt = elt->next) {
            const auto* idx = static_cast<const IndexDesc*>(elt->lParam1);
            if (idx) writeIndexBlock(w, "Index", *idx);
        }
    }
    w.line(2, "BEGIN Process");
    if (desc->processes && desc->processes->tasks) {
        for (LDCG_ELT* elt = desc->processes->tasks->first; elt; elt = elt->next) {
            const auto* task = static_cast<const PROCESSTASK*>(elt->lParam1);
            if (task) w.keyValue(3, "TEMPLATE", orEmpty(task->templatePath));
        }
    }
    w.line(2, "END Process");
    w.line(1, "END File");
    w.line(0, "END MorvexFylatek");

    FilePtr file(fopen(path, "wb"));
    if (!file) return 1;
    const std::string& text = w.text();
    if (fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return 1;
    if (fclose(file.release()) != 0) return 1;
    desc->isModified = 0;
    return 0;
}

int FILEDESC_LoadFromFile(FileDesc* desc, const char* path) {
    if (!desc || !path) return 1;
    FilePtr file(fopen(path, "rb"));
    if (!file) return 1;
    FILEDESC_SetFileName(desc, path);

    FykLine line;
    while (readLine(file.get(), true, line)) {
        morvex::trace("\n[%s]", line.key.c_str());
        if (line.lower == "begin morvexfylatek") {
            parseMorvexFylatek(desc, file.get());
        } else if (line.lower == "end morvexfylatek") {
            break;
        }
    }
    file.reset();
    desc->isModified = 0;

    if (desc->FileDescUID[0] == 0) {
        DYNSTRING* uid = FILEDESC_CreateUID();
        if (uid) {
            morvex::trace("\n[FILEDESC_CreateFileDesc] fileDescUID=[%s]",
                          DYNSTRING_GetCString(uid));
            fdtext::copyCut(desc->FileDescUID, sizeof desc->FileDescUID, DYNSTRING_GetCString(uid));
            DYNSTRING_Destroy(uid);
            desc->isModified = 1;
        }
    }
    return 0;
}

int parseMorvexFylatek(FileDesc* desc, FILE* file) {
    if (!desc || !file) return 1;
    FykLine line;
    while (readLine(file, true, line)) {
        if (line.lower == "begin file") {
            parseFile(desc, file);
        } else if (line.lower == "fileversion") {
            morvex::trace("\n[parseMorvexFylatek] Version format fichier : [%s]",
                          line.value.c_str());
        } else if (line.lower == "nbuild") {
            morvex::trace("\n[parseMorvexFylatek] Numero de build ayant genere le fichier : [%s]",
                          line.value.c_str());
        }
    }
    return 0;
}

int parseFile(FileDesc* desc, FILE* file) {
    if (!desc || !file) return 1;
    FykLine line;
    while (readLine(file, true, line)) {
        const std::string& k = line.lower;
        const char* v = line.value.c_str();
        if (k == "end file") break;
        if (k == "begin column") {
            parseColumn(desc, file);
        } else if (k == "begin primary key") {
            parsePrimaryKey(desc, file);
        } else if (k == "begin index") {
            parseIndex(desc, file);
        } else if (k == "begin process") {
            parseProcess(desc, file);
        } else if (k == "filedescuid") {
            fdtext::copyCut(desc->FileDescUID, sizeof desc->FileDescUID, v);
        } else if (k == "tablename") {
            fdtext::copyCut(desc->TableName, sizeof desc->TableName, v);
        } else if (k == "schemaname") {
            fdtext::copyCut(desc->SchemaName, sizeof desc->SchemaName, v);
        } else if (k == "databasename") {
            fdtext::copyCut(desc->DatabaseName, sizeof desc->DatabaseName, v);
        } else if (k == "projectname") {
            fdtext::copyCut(desc->ProjectName, sizeof desc->ProjectName, v);
        } else if (k == "description") {
            if (!line.value.empty()) setOwnedText(desc->Description, line.value);
        } else if (k == "typestructfile") {
            desc->TypeStructFile = fdtext::toInt(v);
        } else if (k == "longlignefixe") {
            desc->LenFixedLine = fdtext::toInt(v);
        } else if (k == "firstlineisheader") {
            desc->FirstLineIsHeader = fdtext::toInt(v);
        } else if (k == "beginfromline") {
            desc->BeginFromLine = fdtext::toInt(v);
        } else if (k == "endtoline") {
            desc->EndToLine = fdtext::toInt(v);
        } else if (k == "indfindeligne") {
            fdtext::copyCut(desc->EndOfLine, sizeof desc->EndOfLine, v);
            FILEDESC_ConvertEndOfLine(desc->EndOfLine, desc->EndOfLineChars,
                                      sizeof desc->EndOfLineChars);
        } else if (k == "fielddelimiter") {
            setDelimiter(desc, v);
        } else if (k == "encoding") {
            fdtext::copyCut(desc->Encoding, sizeof desc->Encoding, v);
            for (char* c = desc->Encoding; *c; ++c)
                *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
        } else if (k == "unquote") {
            desc->Unquote = fdtext::toInt(v) != 0 ? 1 : 0;
        } else if (k == "septab") {
            setDelimiter(desc, "\\t");
        } else if (k == "sepespace") {
            setDelimiter(desc, " ");
        } else if (k == "seppointvirgule") {
            setDelimiter(desc, ";");
        } else if (k == "sepvirgule") {
            setDelimiter(desc, ",");
        } else if (k == "sepautre" || k == "separateur") {
            setDelimiter(desc, v);
        } else if (k == "fichierexemple") {
            setOwnedText(desc->ExampleFilePath, line.value);
        } else if (k == "databasefile") {
            setOwnedText(desc->DatabaseFilePath, line.value);
        }
        // separateurcol and unknown keys: ignored
    }
    return 0;
}

int parseColumn(FileDesc* desc, FILE* file) {
    if (!desc || !file) return 1;
    ColumnDesc col;
    memset(&col, 0, sizeof col);
    FykLine line;
    while (readLine(file, false, line)) {
        const std::string& k = line.lower;
        const char* v = line.value.c_str();
        if (k == "end column") {
            FILEDESC_AjouterColonne(desc, &col);
            return 0;
        }
        if (k == "id" || k == "posdebut" || k == "posfin") {
            // recomputed from the widths
        } else if (k == "ignorercol") {
            col.IgnoreColumn = fdtext::toInt(v);
        } else if (k == "isnull") {
            col.FieldCannotBeNull = fdtext::toInt(v);
        } else if (k == "protectedfield") {
            col.protectedField = fdtext::toInt(v);
        } else if (k == "largeur") {
            col.WidthInChars = fdtext::toInt(v);
        } else if (k == "position") {
            col.Position = fdtext::toInt(v);
        } else if (k == "type_cible") {
            col.typeCible.type = fdtext::toInt(v);
        } else if (k == "cardelimdebut") {
            col.DelimCharStart = v[0];
        } else if (k == "cardelimfin") {
            col.DelimCharEnd = v[0];
        } else if (k == "name") {
            fdtext::copyCut(col.code, sizeof col.code, v);
        } else if (k == "description") {
            fdtext::copyCut(col.Description, sizeof col.Description, v);
        } else if (k == "fmt_cible") {
            readColumnFormat(col, line.value);
        } else {
            morvex::trace("\nMot-cle non reconnu : %s [value = %s]", k.c_str(), v);
        }
    }
    // Cut off by the end of the file: the unfinished column is dropped.
    return 0;
}

int parsePrimaryKey(FileDesc* desc, FILE* file) {
    if (!desc || !file) return 1;
    if (!desc->primaryKey.columns) {
        desc->primaryKey.columns = LDCG_Create(nullptr, nullptr);
    }
    FykLine line;
    while (readLine(file, true, line)) {
        morvex::trace("\nparsePrimaryKey:[%s=%s]", line.key.c_str(), line.value.c_str());
        if (line.lower == "end primary key") break;
        if (!applyIndexLine(desc, desc->primaryKey, line)) {
            morvex::trace("\nMot-cle non reconnu : %s [value = %s]", line.lower.c_str(),
                          line.value.c_str());
        }
    }
    return 0;
}

int parseIndex(FileDesc* desc, FILE* file) {
    if (!desc || !file) return 1;
    IndexDesc* index = FILEDESC_CreateIndex(nullptr);
    if (!index) return 1;
    FykLine line;
    while (readLine(file, true, line)) {
        if (line.lower == "end index") {
            if (FILEDESC_AddIndex(desc, index) != 0) FILEDESC_DestroyIndex(index);
            return 0;
        }
        if (!applyIndexLine(desc, *index, line)) {
            morvex::trace("\nMot-cle non reconnu : %s [value = %s]", line.lower.c_str(),
                          line.value.c_str());
        }
    }
    // Cut off by the end of the file: the unfinished index is dropped.
    FILEDESC_DestroyIndex(index);
    return 0;
}

int parseProcess(FileDesc* desc, FILE* file) {
    if (!desc || !file) return 1;
    if (!desc->processes) desc->processes = PROCESS_Create();
    FykLine line;
    while (readLine(file, true, line)) {
        if (line.lower == "end process") break;
        if (line.lower == "template") {
            PROCESSTASK* task = PROCESS_CreateTask();
            if (!task) continue;
            task->templatePath = strdup(line.value.c_str());
            if (!task->templatePath || PROCESS_AddTask(desc->processes, task) != 0) {
                PROCESS_DestroyTask(task);
            }
        } else {
            morvex::trace("\n[parseProcess] Mot-cle non reconnu : %s [value = %s]",
                          line.lower.c_str(), line.value.c_str());
        }
    }
    return 0;
}

#include "datadic/datadicxml.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <expat.h>

#include <algorithm>
#include <memory>
#include <string>

#include "foundation/inputfile.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace {

const char* const kTypeNames[] = {"INTEGER", "DECIMAL", "DATE", "DATETIME",
                                  "CHAR",    "VARCHAR", "TEXT", "BIT"};

// A decimal integer read the way atoi does; text that is not a number gives 0, values beyond
// the int range are clamped.
int toInt(const char* text, const char** next = nullptr) {
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (next) *next = end;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::string intText(int v) {
    return std::to_string(v);
}

// The format text of a column's type as the file writes it.
std::string formatText(const TypeCible& t) {
    switch (t.type) {
        case DATATYPE_INTEGER:
            return intText(t.fmtEntier.taille);
        case DATATYPE_DECIMAL:
            return intText(t.fmtDecimal.partieEntiere) + "," + intText(t.fmtDecimal.partieDecimale);
        case DATATYPE_DATE:
            return t.fmtDate;
        case DATATYPE_DATETIME:
            return t.fmtDateTime;
        case DATATYPE_FIXEDCHAR:
            return intText(t.fmtChaineFixe.taille);
        case DATATYPE_VARIABLECHAR:
            return intText(t.fmtChaineVar.tailleMax);
        default:
            return "";
    }
}

// Applies TYPECIBLE and FORMATCIBLE to the column's target type.
void applyType(ColumnDesc* column, const char* typeName, const char* format) {
    int type = -1;
    for (int i = 0; i < 8; ++i)
        if (strcmp(typeName, kTypeNames[i]) == 0) type = i;
    if (type < 0) {
        morvex::trace("\n(!) Unknown type : %s", typeName);
        return;
    }
    TypeCible& t = column->typeCible;
    t.type = type;
    switch (type) {
        case DATATYPE_INTEGER:
            t.fmtEntier.taille = toInt(format);
            break;
        case DATATYPE_DECIMAL: {
            const char* rest = format;
            t.fmtDecimal.partieEntiere = toInt(format, &rest);
            if (rest != format && *rest == ',') t.fmtDecimal.partieDecimale = toInt(rest + 1);
            break;
        }
        case DATATYPE_DATE:
            morvex::utf8CopyCut(t.fmtDate, sizeof t.fmtDate, format);
            break;
        case DATATYPE_DATETIME:
            morvex::utf8CopyCut(t.fmtDateTime, sizeof t.fmtDateTime, format);
            break;
        case DATATYPE_FIXEDCHAR:
            t.fmtChaineFixe.taille = toInt(format);
            break;
        case DATATYPE_VARIABLECHAR:
            t.fmtChaineVar.tailleMax = toInt(format);
            break;
        default:
            break;
    }
}

// The attributes of a column element, found in one pass over its attribute table.
enum ColumnAttr {
    A_POS,
    A_CODE,
    A_DESC,
    A_LARGEUR,
    A_IGNORERCOL,
    A_NOTNULL,
    A_CARDELIMDEBUT,
    A_CARDELIMFIN,
    A_POSDEBUT,
    A_POSFIN,
    A_TYPECIBLE,
    A_FORMATCIBLE,
    A_COUNT
};
const char* const kColumnAttrNames[A_COUNT] = {
    "pos",           "code",        "desc",     "largeur", "ignorercol", "notnull",
    "cardelimdebut", "cardelimfin", "posdebut", "posfin",  "typecible",  "formatcible"};

// A temporary file beside `path` for the next save, created empty and exclusive; -1 on failure.
int openTemporary(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes the document to a temporary file beside `path`, flushes it to disk and renames it
// over `path`. 0, or 1 with `path` untouched.
int writeAtomically(XML_DOCUMENT* doc, const char* path) {
    std::string temp;
    int fd = openTemporary(path, temp);
    if (fd < 0) return 1;
    struct stat st;
    if (stat(path, &st) == 0) fchmod(fd, st.st_mode & 07777);  // keep the old file's rights
    FILE* f = fdopen(fd, "w");
    if (!f) {
        close(fd);
        unlink(temp.c_str());
        return 1;
    }
    bool ok = XML_WriteToFile(doc, f) == 0;
    ok = fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = fclose(f) == 0 && ok;
    if (!ok || rename(temp.c_str(), path) != 0) {
        unlink(temp.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

const char* DATADICXML_TypeName(int type) {
    return type >= 0 && type < 8 ? kTypeNames[type] : "";
}

int register_col_desc(XML_DOCUMENT* doc, const char* tagName, XML_ELEMENT* parent,
                      const ColumnDesc* column) {
    if (!doc || !tagName || !parent || !column) return 1;
    XML_ELEMENT* e = XML_CreateElement(doc, parent, tagName, "");
    if (!e) {
        morvex::trace("\n(e) Erreur creation element '%s'", tagName);
        return 1;
    }
    const char startChar[2] = {column->DelimCharStart, 0};
    const char endChar[2] = {column->DelimCharEnd, 0};
    XML_CreateAttribute(doc, e, "POS", intText(column->Position).c_str());
    XML_CreateAttribute(doc, e, "CODE", column->code);
    XML_CreateAttribute(doc, e, "DESC", column->Description);
    XML_CreateAttribute(doc, e, "LARGEUR", intText(column->WidthInChars).c_str());
    XML_CreateAttribute(doc, e, "IGNORERCOL", column->IgnoreColumn ? "1" : "0");
    XML_CreateAttribute(doc, e, "NOTNULL", column->FieldCannotBeNull ? "1" : "0");
    XML_CreateAttribute(doc, e, "CARDELIMDEBUT", startChar);
    XML_CreateAttribute(doc, e, "CARDELIMFIN", endChar);
    XML_CreateAttribute(doc, e, "POSDEBUT", intText(column->StartPosition).c_str());
    XML_CreateAttribute(doc, e, "POSFIN", intText(column->EndPosition).c_str());
    XML_CreateAttribute(doc, e, "TYPECIBLE", DATADICXML_TypeName(column->typeCible.type));
    XML_CreateAttribute(doc, e, "FORMATCIBLE", formatText(column->typeCible).c_str());
    return 0;
}

namespace {

// Applies the column attributes found (values[A_...], nullptr when absent) to `column`.
void applyColumnAttributes(const char* const (&values)[A_COUNT], ColumnDesc* column) {
    if (values[A_POS]) column->Position = toInt(values[A_POS]);
    if (values[A_CODE]) morvex::utf8CopyCut(column->code, sizeof column->code, values[A_CODE]);
    if (values[A_DESC]) morvex::utf8CopyCut(column->Description, sizeof column->Description, values[A_DESC]);
    if (values[A_LARGEUR]) column->WidthInChars = toInt(values[A_LARGEUR]);
    if (values[A_IGNORERCOL]) column->IgnoreColumn = toInt(values[A_IGNORERCOL]);
    if (values[A_NOTNULL]) column->FieldCannotBeNull = toInt(values[A_NOTNULL]);
    if (values[A_CARDELIMDEBUT]) column->DelimCharStart = values[A_CARDELIMDEBUT][0];
    if (values[A_CARDELIMFIN]) column->DelimCharEnd = values[A_CARDELIMFIN][0];
    if (values[A_POSDEBUT]) column->StartPosition = toInt(values[A_POSDEBUT]);
    if (values[A_POSFIN]) column->EndPosition = toInt(values[A_POSFIN]);
    if (values[A_TYPECIBLE]) {
        if (!values[A_FORMATCIBLE])
            morvex::trace("\n(e) Attribut FORMATCIBLE incorrect.");
        else
            applyType(column, values[A_TYPECIBLE], values[A_FORMATCIBLE]);
    }
}

}  // namespace

int getColumnAttributes(XML_DOCUMENT* doc, XML_ELEMENT* element, ColumnDesc* column) {
    if (!doc || !element || !column) return 1;
    const char* values[A_COUNT] = {};
    for (XML_ATTRIBUTE* a = XML_GetFirstAttribute(element); a; a = XML_GetNextAttribute(a)) {
        const char* name = XML_GetAttributeName(a);
        for (int i = 0; i < A_COUNT; ++i) {
            if (!values[i] && strcmp(name, kColumnAttrNames[i]) == 0) {
                values[i] = XML_GetAttributeValue(a);  // the first of duplicates counts
                break;
            }
        }
    }
    applyColumnAttributes(values, column);
    return 0;
}

int getReferenceAttributes(XML_ELEMENT* element, DATADIC_REF* ref) {
    if (!element || !ref) return 1;
    if (XML_ATTRIBUTE* a = XML_FindAttribute(element, "database"))
        morvex::utf8CopyCut(ref->database, sizeof ref->database, XML_GetAttributeValue(a));
    if (XML_ATTRIBUTE* a = XML_FindAttribute(element, "table"))
        morvex::utf8CopyCut(ref->table, sizeof ref->table, XML_GetAttributeValue(a));
    return 0;
}

namespace {

struct WriteContext {
    XML_DOCUMENT* doc;
    XML_ELEMENT* object;
};

void writeReference(const DATADIC_REF* ref, void* context) {
    auto* w = static_cast<WriteContext*>(context);
    XML_ELEMENT* reference = XML_CreateElement(w->doc, w->object, "REFERENCE", "");
    if (!reference) {
        morvex::trace("\n(e) Erreur creation element REFERENCE");
        return;
    }
    XML_CreateAttribute(w->doc, reference, "DATABASE", ref->database);
    XML_CreateAttribute(w->doc, reference, "TABLE", ref->table);
    register_col_desc(w->doc, "LOCAL_COLUMN_DEF", reference, &ref->localColumn);
}

}  // namespace

int DATADICXML_WriteToFile(DATADIC* dic, const char* path) {
    if (!dic || !path || !*path) return 1;
    XML_DOCUMENT* doc = XML_CreateDocument(path);
    if (!doc) return 1;
    XML_ELEMENT* root = XML_CreateElement(doc, nullptr, "DATADIC", "");
    if (!root) morvex::trace("\n(e) Erreur creation element racine");
    XML_CreateAttribute(doc, root, "NAME", dic->name);
    // Each column is built in place from the compact store, one after the other.
    auto column = std::make_unique<ColumnDesc>();
    auto ref = std::make_unique<DATADIC_REF>();
    const int count = DATADIC_Count(dic);
    for (int row = 0; root && row < count; ++row) {
        XML_ELEMENT* object = XML_CreateElement(doc, root, "OBJECT", "");
        if (!object) {
            morvex::trace("\n(e) Erreur creation element OBJECT");
            continue;
        }
        DATADIC_DefaultColumnAt(dic, row, column.get());
        XML_CreateAttribute(doc, object, "CODE", DATADIC_CodeAt(dic, row));
        XML_CreateAttribute(doc, object, "DESCRIPTION", column->Description);
        register_col_desc(doc, "DEFAULT_COLUMN_DEF", object, column.get());
        WriteContext context{doc, object};
        DATADIC_VisitReferencesAt(dic, row, ref.get(), false, writeReference, &context);
    }
    int result = writeAtomically(doc, path);
    XML_DestroyDocument(doc);
    return result;
}

namespace {

// Whether `name` is `lower` whatever the case of its ASCII letters.
bool nameIs(const char* name, const char* lower) {
    for (; *name && *lower; ++name, ++lower) {
        char c = *name;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *lower) return false;
    }
    return *name == 0 && *lower == 0;
}

// The value of attribute `lower` in expat's name/value array, or nullptr (the first of
// duplicates counts).
const char* attributeOf(const char** atts, const char* lower) {
    for (; atts && atts[0]; atts += 2)
        if (nameIs(atts[0], lower)) return atts[1];
    return nullptr;
}

void readColumn(const char** atts, ColumnDesc* column) {
    const char* values[A_COUNT] = {};
    for (; atts && atts[0]; atts += 2) {
        for (int i = 0; i < A_COUNT; ++i) {
            if (!values[i] && nameIs(atts[0], kColumnAttrNames[i])) {
                values[i] = atts[1];
                break;
            }
        }
    }
    applyColumnAttributes(values, column);
}

// What the streaming read knows between two tags: where it is, and the records of the object
// and reference being read (taken in start tags, as a document's elements would be read).
struct Reader {
    XML_Parser parser = nullptr;
    DATADIC* dic = nullptr;
    DATADICXML_LOADREPORT* report = nullptr;
    int depth = 0;             // of the element being read, the root being 1
    bool rootSeen = false;
    bool inObject = false;     // depth 2 is an OBJECT
    bool inReference = false;  // depth 3 is a REFERENCE of that object
    bool opened = false;       // the dictionary was created (openDictionary)
    std::string rootTag;       // lower-cased
    bool hasName = false;
    std::string name;          // the root's NAME
    std::string refusal;       // why the reader stopped the parser itself
    std::unique_ptr<DATADIC_REF> record = std::make_unique<DATADIC_REF>();
    std::unique_ptr<DATADIC_REF> reference = std::make_unique<DATADIC_REF>();
};

// The dictionary, created once the root's first child (or its end) tells whether it has one,
// with the traces a document read would give in their order.
void openDictionary(Reader& r, bool hasChild) {
    if (r.opened) return;
    r.opened = true;
    morvex::trace("\n(i) Recuperation du premier element : OK");
    if (!hasChild) morvex::trace("\n(e) node NULL");
    morvex::trace("\n(i) Creation du dictionnaire");
    r.dic = DATADIC_Create("<use default>", "");
    if (!r.dic) {
        morvex::trace("\n(e) Erreur lors de la creation du dictionnaire");
        XML_StopParser(r.parser, XML_FALSE);
        return;
    }
    morvex::trace("\nDocument cree");
    morvex::trace("\nElt courant : %s", r.rootTag.c_str());
    if (r.hasName)
        morvex::utf8CopyCut(r.dic->name, sizeof r.dic->name, r.name.c_str());
    else
        morvex::trace("\n(e) La donnee NAME n'a pas ete trouvee.");
    if (!hasChild) morvex::trace("\n(e) Erreur recup GetFirstChildElement");
}

void onRoot(Reader& r, const char* tag, const char** atts) {
    r.rootSeen = true;
    r.rootTag = tag;
    for (char& c : r.rootTag)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (const char* name = attributeOf(atts, "name")) {
        r.hasName = true;
        r.name.assign(name, strnlen(name, DATADIC_NAME_MAX * 4));
    }
}

void XMLCALL onStart(void* data, const char* tag, const char** atts) {
    Reader& r = *static_cast<Reader*>(data);
    ++r.depth;
    if (r.depth == 1) {
        onRoot(r, tag, atts);
    } else if (r.depth == 2) {
        openDictionary(r, true);
        if (!r.dic) return;
        r.inObject = nameIs(tag, "object");
        if (!r.inObject) return;
        ++r.report->objectsSeen;
        *r.record = DATADIC_REF{};
        ColumnDesc& c = r.record->localColumn;
        if (const char* code = attributeOf(atts, "code"))
            morvex::utf8CopyCut(c.code, sizeof c.code, code);
        else
            morvex::trace("\n(e) La donnee CODE n'a pas ete trouvee.");
        if (const char* text = attributeOf(atts, "description"))
            morvex::utf8CopyCut(c.Description, sizeof c.Description, text);
        else
            morvex::trace("\n(e) La donnee DESCRIPTION n'a pas ete trouvee.");
    } else if (r.depth == 3 && r.inObject) {
        r.inReference = false;
        if (nameIs(tag, "default_column_def")) {
            readColumn(atts, &r.record->localColumn);
            if (DATADIC_AddElt(r.dic, r.record.get()) != DATADIC_OK)
                morvex::trace(
                    "\n(e) Erreur lors de l'enregistrement d'un objet dans le dictionnaire");
        } else if (nameIs(tag, "reference")) {
            r.inReference = true;
            *r.reference = DATADIC_REF{};
            if (const char* database = attributeOf(atts, "database"))
                morvex::utf8CopyCut(r.reference->database, sizeof r.reference->database, database);
            if (const char* table = attributeOf(atts, "table"))
                morvex::utf8CopyCut(r.reference->table, sizeof r.reference->table, table);
        } else {
            morvex::trace("\nUnknown tag : ignored");
        }
    } else if (r.depth == 4 && r.inReference && nameIs(tag, "local_column_def")) {
        readColumn(atts, &r.reference->localColumn);
        DATADIC_AddReference(r.dic, r.record->localColumn.code, r.reference.get());
    }
}

void XMLCALL onEnd(void* data, const char*) {
    Reader& r = *static_cast<Reader*>(data);
    if (r.depth == 3) r.inReference = false;
    if (r.depth == 2) r.inObject = false;
    if (r.depth == 1) openDictionary(r, false);
    --r.depth;
}

// Entities declared by the file itself are refused: their expansion is how a small file grows
// without end.
void XMLCALL onEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
    Reader& r = *static_cast<Reader*>(data);
    r.refusal = "déclaration d'entité refusée";
    XML_StopParser(r.parser, XML_FALSE);
}

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

}  // namespace

DATADIC* DATADICXML_LoadFromFile(const char* path) {
    return DATADICXML_LoadFromFileReport(path, nullptr);
}

DATADIC* DATADICXML_LoadFromFileReport(const char* path, DATADICXML_LOADREPORT* report,
                                       const std::atomic<bool>* stop) {
    DATADICXML_LOADREPORT unused;
    if (!report) report = &unused;
    *report = DATADICXML_LOADREPORT{};
    report->faultOffset = -1;
    if (!path) return nullptr;
    morvex::trace("\n(i) Chargement du fichier XML");
    std::string error;
    const int fd = morvex::openInputFd(path, &error);
    if (fd < 0) {
        // A file that is not there is a new dictionary; one that is there unread is told.
        if (!error.empty() && access(path, F_OK) == 0) {
            morvex::trace("\n[DATADICXML] %s", error.c_str());
            morvex::utf8CopyCut(report->fault, sizeof report->fault, error.c_str());
            report->faultOffset = 0;
        }
        return nullptr;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(fdopen(fd, "rb"), fclose);
    if (!file) {
        close(fd);
        return nullptr;
    }
    const std::string tooLarge = std::string("Le fichier '") + path + "' dépasse la taille permise (" +
                                 morvex::byteCountText(DATADICXML_MAX_FILE_BYTES) + ").";
    struct stat st;
    if (fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_size) > DATADICXML_MAX_FILE_BYTES) {
        morvex::trace("\n[DATADICXML] %s", tooLarge.c_str());
        morvex::utf8CopyCut(report->fault, sizeof report->fault, tooLarge.c_str());
        report->faultOffset = 0;
        return nullptr;
    }

    Reader r;
    r.report = report;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) return nullptr;
    r.parser = parser.get();
    XML_SetUserData(r.parser, &r);
    XML_SetElementHandler(r.parser, onStart, onEnd);
    XML_SetEntityDeclHandler(r.parser, onEntity);
    XML_SetParamEntityParsing(r.parser, XML_PARAM_ENTITY_PARSING_NEVER);

    constexpr size_t kBlock = 256 * 1024;
    size_t total = 0;
    bool failed = false, stopped = false;
    for (bool last = false; !last;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            stopped = true;
            break;
        }
        void* buffer = XML_GetBuffer(r.parser, kBlock);
        if (!buffer) {
            r.refusal = "mémoire insuffisante";
            failed = true;
            break;
        }
        const size_t got = fread(buffer, 1, kBlock, file.get());
        if (got < kBlock && ferror(file.get())) {
            r.refusal = morvex::systemErrorText(errno);
            failed = true;
            break;
        }
        total += got;
        if (total > DATADICXML_MAX_FILE_BYTES) {
            r.refusal = tooLarge;
            failed = true;
            break;
        }
        last = got < kBlock;
        if (XML_ParseBuffer(r.parser, static_cast<int>(got), last) != XML_STATUS_OK) {
            failed = true;
            break;
        }
    }
    if (stopped) {
        if (r.dic) DATADIC_Destroy(r.dic);
        return nullptr;
    }
    if (failed) {
        const std::string why =
            !r.refusal.empty() ? r.refusal : XML_ErrorString(XML_GetErrorCode(r.parser));
        report->faultOffset = std::max<long long>(0, XML_GetCurrentByteIndex(r.parser));
        morvex::trace("\n[DATADICXML] '%s' : %s (octet %lld)", path, why.c_str(),
                      report->faultOffset);
        morvex::utf8CopyCut(report->fault, sizeof report->fault, why.c_str());
    }
    if (r.rootSeen) openDictionary(r, false);  // a file cut inside its root's start
    if (!r.dic) return nullptr;
    // The dictionary is bound to the file it was read from.
    char* boundPath = strdup(path);
    if (!boundPath) {
        DATADIC_Destroy(r.dic);
        return nullptr;
    }
    free(r.dic->filePath);
    r.dic->filePath = boundPath;
    report->objectsRead = DATADIC_Count(r.dic);
    return r.dic;
}

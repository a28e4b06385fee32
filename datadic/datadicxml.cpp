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
#include <string>

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

int DATADICXML_WriteToFile(DATADIC* dic, const char* path) {
    if (!dic || !path || !*path) return 1;
    XML_DOCUMENT* doc = XML_CreateDocument(path);
    if (!doc) return 1;
    XML_ELEMENT* root = XML_CreateElement(doc, nullptr, "DATADIC", "");
    if (!root) morvex::trace("\n(e) Erreur creation element racine");
    XML_CreateAttribute(doc, root, "NAME", dic->name);
    for (LDCG_ELT* e = dic->elements->first; root && e; e = e->next) {
        auto* elt = static_cast<DATADIC_ELT*>(e->lParam1);
        if (!elt) continue;
        XML_ELEMENT* object = XML_CreateElement(doc, root, "OBJECT", "");
        if (!object) {
            morvex::trace("\n(e) Erreur creation element OBJECT");
            continue;
        }
        XML_CreateAttribute(doc, object, "CODE", elt->code);
        XML_CreateAttribute(doc, object, "DESCRIPTION", elt->defaultColumn.Description);
        register_col_desc(doc, "DEFAULT_COLUMN_DEF", object, &elt->defaultColumn);
        for (LDCG_ELT* r = elt->references->first; r; r = r->next) {
            auto* ref = static_cast<DATADIC_REF*>(r->lParam1);
            if (!ref) continue;
            XML_ELEMENT* reference = XML_CreateElement(doc, object, "REFERENCE", "");
            if (!reference) {
                morvex::trace("\n(e) Erreur creation element REFERENCE");
                continue;
            }
            XML_CreateAttribute(doc, reference, "DATABASE", ref->database);
            XML_CreateAttribute(doc, reference, "TABLE", ref->table);
            register_col_desc(doc, "LOCAL_COLUMN_DEF", reference, &ref->localColumn);
        }
    }
    int result = writeAtomically(doc, path);
    XML_DestroyDocument(doc);
    return result;
}

namespace {

// Reads one OBJECT element into the dictionary.
void readObject(DATADIC* dic, XML_DOCUMENT* doc, XML_ELEMENT* object) {
    DATADIC_REF record{};
    if (XML_ATTRIBUTE* a = XML_FindAttribute(object, "code"))
        morvex::utf8CopyCut(record.localColumn.code, sizeof record.localColumn.code, XML_GetAttributeValue(a));
    else
        morvex::trace("\n(e) La donnee CODE n'a pas ete trouvee.");
    if (XML_ATTRIBUTE* a = XML_FindAttribute(object, "description"))
        morvex::utf8CopyCut(record.localColumn.Description, sizeof record.localColumn.Description,
                XML_GetAttributeValue(a));
    else
        morvex::trace("\n(e) La donnee DESCRIPTION n'a pas ete trouvee.");

    for (XML_ELEMENT* child = XML_GetFirstChildElement(object); child;
         child = XML_GetNextElement(child)) {
        const char* tag = XML_GetTagName(child);
        if (strcmp(tag, "default_column_def") == 0) {
            getColumnAttributes(doc, child, &record.localColumn);
            if (DATADIC_AddElt(dic, &record) != DATADIC_OK)
                morvex::trace(
                    "\n(e) Erreur lors de l'enregistrement d'un objet dans le dictionnaire");
        } else if (strcmp(tag, "reference") == 0) {
            DATADIC_REF ref{};
            if (getReferenceAttributes(child, &ref) != 0)
                morvex::trace("\n(e) Erreur getReferenceAttributes");
            for (XML_ELEMENT* local = XML_GetFirstChildElement(child); local;
                 local = XML_GetNextElement(local)) {
                if (strcmp(XML_GetTagName(local), "local_column_def") != 0) continue;
                getColumnAttributes(doc, local, &ref.localColumn);
                DATADIC_AddReference(dic, record.localColumn.code, &ref);
            }
        } else {
            morvex::trace("\nUnknown tag : ignored");
        }
    }
}

}  // namespace

DATADIC* DATADICXML_LoadFromFile(const char* path) {
    return DATADICXML_LoadFromFileReport(path, nullptr);
}

DATADIC* DATADICXML_LoadFromFileReport(const char* path, DATADICXML_LOADREPORT* report) {
    DATADICXML_LOADREPORT unused;
    if (!report) report = &unused;
    *report = DATADICXML_LOADREPORT{};
    report->faultOffset = -1;
    if (!path) return nullptr;
    morvex::trace("\n(i) Chargement du fichier XML");
    std::string error;
    XML_DOCUMENT* doc = XML_CreateDocFromFile(path, &error);
    if (!doc) {
        // A file that is not there is a new dictionary; one that is there unread is told.
        if (!error.empty() && access(path, F_OK) == 0) {
            morvex::utf8CopyCut(report->fault, sizeof report->fault, error.c_str());
            report->faultOffset = 0;
        }
        return nullptr;
    }
    if (const char* fault = XML_GetParseFault(doc, &report->faultOffset))
        morvex::utf8CopyCut(report->fault, sizeof report->fault, fault);
    else
        report->faultOffset = -1;

    morvex::trace("\n(i) Recuperation du premier element");
    XML_ELEMENT* root = XML_GetDocumentElement(doc);
    if (!root) {
        morvex::trace(" : ERREUR");
        XML_DestroyDocument(doc);
        return nullptr;
    }
    morvex::trace(" : OK");
    if (!XML_GetFirstChildElement(root)) morvex::trace("\n(e) node NULL");

    morvex::trace("\n(i) Creation du dictionnaire");
    DATADIC* dic = DATADIC_Create("<use default>", path);
    if (!dic) {
        morvex::trace("\n(e) Erreur lors de la creation du dictionnaire");
        XML_DestroyDocument(doc);
        return nullptr;
    }
    morvex::trace("\nDocument cree");
    morvex::trace("\nElt courant : %s", XML_GetTagName(root));

    if (XML_ATTRIBUTE* a = XML_FindAttribute(root, "name"))
        morvex::utf8CopyCut(dic->name, sizeof dic->name, XML_GetAttributeValue(a));
    else
        morvex::trace("\n(e) La donnee NAME n'a pas ete trouvee.");

    XML_ELEMENT* child = XML_GetFirstChildElement(root);
    if (!child) morvex::trace("\n(e) Erreur recup GetFirstChildElement");
    for (; child; child = XML_GetNextElement(child)) {
        if (strcmp(XML_GetTagName(child), "object") != 0) continue;
        ++report->objectsSeen;
        readObject(dic, doc, child);
    }
    report->objectsRead = LDCG_Count(dic->elements);

    XML_DestroyDocument(doc);
    return dic;
}

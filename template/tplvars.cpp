// Template variables: inline substitution (CompileString), the name space (getValue) and the
// SQL type text of a column (getSQLType).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "calc/calc.h"
#include "filedesc/descdialect.h"
#include "filedesc/descprops.h"
#include "foundation/appsettings.h"
#include "foundation/codequote.h"
#include "foundation/date.h"
#include "foundation/trace.h"
#include "template/template.h"
#include "template/tplinternal.h"

using morvex::trace;
using tplinternal::format;
using tplinternal::panel;

namespace {

// Most nested passes ("{" inside a name) of one substitution; past it "{" is a plain character.
constexpr int kMaxNestedPasses = 1000;

// Inputs shared by one substitution and its nested passes.
struct Substitution {
    RUNTIME_CTX* ctx;
    ColumnDesc* column;
    LINE* lineTab;
    int count;
    FILE* out;
    int nestedPasses;                 // nested passes made so far
    bool nameWarned;                  // the long-name warning was posted
    tplinternal::ValueFilter filter;  // applied to every value put in, or nullptr
};

// The innermost running loop of `code`, or nullptr.
RUNTIME_LOOP* innermostLoop(RUNTIME_CTX* ctx, int code) {
    for (RUNTIME_LOOP* l = ctx ? ctx->loops : nullptr; l; l = l->next)
        if (l->code == code && l->current) return l;
    return nullptr;
}

// Runs the inline call `text` (name, then arguments) and returns what the function returned.
std::string inlineCall(Substitution& s, const std::string& text) {
    const bool verbose = tplinternal::detailedTrace();
    size_t space = text.find(' ');
    std::string name = text.substr(0, space);
    std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
    std::vector<std::string> args;
    if (rest.find_first_not_of(' ') != std::string::npos) {
        std::string cur;
        bool quoted = false;
        for (char c : rest) {
            if (c == '"') {
                quoted = !quoted;
                cur += c;
            } else if (c == ',' && !quoted) {
                args.push_back(cur);
                cur.clear();
            } else if (c == ' ' && !quoted) {
                // blanks outside quotes are dropped
            } else {
                cur += c;
            }
        }
        args.push_back(cur);
    }
    PILE* stack = s.ctx->stack;
    const int base = PILE_Count(stack);
    for (const std::string& a : args) {
        if (verbose) trace("\n[CompileString] : Push Param [%s]", a.c_str());
        char* copy = strdup(a.c_str());
        if (copy && !PILE_Push(stack, copy)) free(copy);
    }
    TEMPLATE_ExecuteFunction(s.ctx, name.c_str(), s.lineTab, s.count, s.out);
    std::string value;
    if (PILE_Count(stack) > base) {
        char* top = static_cast<char*>(PILE_Pop(stack));
        value = top ? top : "";
        free(top);
    }
    // Arguments the function did not take stay no longer.
    while (PILE_Count(stack) > base) free(PILE_Pop(stack));
    if (verbose) trace("\n[CompileString] returnValue = [%s]", value.c_str());
    return value;
}

std::string lookup(RUNTIME_CTX* ctx, ColumnDesc* column, const std::string& name) {
    std::vector<char> value(TEMPLATE_VALUE_MAX + 1);
    getValue(ctx, column, name.c_str(), value.data(), static_cast<int>(value.size()));
    return value.data();
}

// Characters (UTF-8 code points) of a text, for the form "len".
std::string characterCount(const std::string& value) {
    size_t n = 0;
    for (const unsigned char c : value) n += (c & 0xC0) != 0x80;
    return std::to_string(n);
}

// The escaping forms of a reference ({name:form}): each makes the value one literal, identifier
// or plain text of the target it names.
struct Form {
    const char* name;
    std::string (*apply)(std::string_view);
};
const Form kForms[] = {
    {"sqlident", morvex::quoteSqlIdentifier},
    {"sqlstr", morvex::quoteSqlString},
    {"mssqlident", morvex::quoteMssqlIdentifier},
    {"mssqlstr", morvex::quoteMssqlString},
    {"pystr", morvex::quotePythonString},
    {"shword", morvex::quoteShellWord},
    {"xml", morvex::escapeXmlText},
    {"md", morvex::escapeMarkdownText},
    {"line", [](std::string_view text) { return morvex::oneLineText(text); }},
};

// The value of a reference: the name's value, passed through the form that ends the name after
// a ":" when it is one of the forms (a name that ends otherwise is looked up whole).
std::string resolveReference(Substitution& s, const std::string& name) {
    const size_t colon = name.rfind(':');
    if (colon != std::string::npos) {
        const std::string form = tplinternal::lower(name.substr(colon + 1));
        const std::string base = name.substr(0, colon);
        if (form == "len") return characterCount(lookup(s.ctx, s.column, base));
        for (const Form& f : kForms)
            if (form == f.name) return f.apply(lookup(s.ctx, s.column, base));
    }
    return lookup(s.ctx, s.column, name);
}

// Position of the "}" that closes the "{" at `open` (braces nest), or npos.
size_t closingBrace(const std::string& text, size_t open) {
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        if (text[i] == '{') ++depth;
        if (text[i] == '}' && --depth == 0) return i;
    }
    return std::string::npos;
}

// One pass over `text`; see CompileString. A value is never read again as template text: what
// a reference inside a name or a call gives joins that name as it is.
std::string substitute(Substitution& s, const std::string& text) {
    enum { COPYING, COLLECTING } state = COPYING;
    std::string out, name;
    bool isCall = false;
    size_t i = 0;
    auto append = [&](const std::string& part) {
        for (const char c : part) {
            if (name.size() < static_cast<size_t>(TEMPLATE_PARAM_MAX)) {
                name += c;
            } else if (!s.nameWarned) {
                s.nameWarned = true;
                panel(morvex::PANEL_WARNING,
                      format("\nLigne %i : nom ou appel de plus de %i caractères, coupé.",
                             s.ctx->pc + 1, TEMPLATE_PARAM_MAX));
            }
        }
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            if (state == COPYING) name.clear();
            state = COLLECTING;
            isCall = true;
            ++i;
        } else if (c == '{') {
            if (state == COPYING) {
                state = COLLECTING;
                isCall = false;
                name.clear();
                ++i;
            } else if (s.nestedPasses < kMaxNestedPasses) {
                // An inner reference computes part of the name or of the call.
                ++s.nestedPasses;
                const size_t close = closingBrace(text, i);
                if (close == std::string::npos) {
                    i = text.size();  // unfinished: dropped
                } else {
                    append(substitute(s, text.substr(i, close - i + 1)));
                    i = close + 1;
                }
            } else {
                append(std::string(1, c));
                ++i;
            }
        } else if (c == '}' && state == COLLECTING) {
            std::string value = isCall ? inlineCall(s, name) : resolveReference(s, name);
            out += s.filter ? s.filter(value) : value;
            state = COPYING;
            name.clear();
            ++i;
        } else if (c == ':' && state == COLLECTING && isCall) {
            std::string value = inlineCall(s, name);
            out += s.filter ? s.filter(value) : value;
            state = COPYING;
            name.clear();
            ++i;
        } else {
            if (state == COPYING)
                out += c;
            else
                append(std::string(1, c));
            ++i;
        }
    }
    // An unfinished reference is dropped; a "%" that starts no call stays as it was written.
    if (state == COLLECTING && isCall) out += "%" + name;
    return out;
}

// `n` as decimal text.
std::string num(long long n) {
    return std::to_string(n);
}

// Number of columns of the description.
int columnCount(FileDesc* d) {
    return d ? static_cast<int>(d->columns.size()) : 0;
}

// 1 when the delimiter's first character is `c`.
std::string sepIs(FileDesc* d, char c) {
    return FILEDESC_DelimiterBytes(*d)[0] == c ? "1" : "0";
}

// Posts a deprecation warning in the warning colour.
void deprecated(RUNTIME_CTX* ctx, const char* fmt, const char* a = nullptr,
                const char* b = nullptr) {
    (void)b;
    panel(morvex::PANEL_WARNING, a ? format(fmt, ctx->pc + 1, a) : format(fmt, ctx->pc + 1));
}

// Value of a name of the description: its properties (filedesc/descprops.h), then the names
// that are no property of their own. false when the name is none of them.
bool descriptionValue(RUNTIME_CTX* ctx, FileDesc* d, const std::string& n, std::string& v) {
    if (const morvex::DescProperty* p = morvex::descriptionPropertyByTemplateName(n))
        return v = morvex::propertyText(*d, *p), true;
    // Older names of properties, still answered with a warning.
    if (n == "databasename") {
        deprecated(ctx,
                   "\nWarning [%i]: [databasename] is deprecated. Use [database.name] "
                   "instead.");
        return v = d->DatabaseName, true;
    }
    if (n == "tablename") {
        deprecated(ctx, "\nWarning [%i]: [tablename] is deprecated. Use [table.name] instead.");
        return v = d->TableName, true;
    }
    if (n == "projectname") {
        deprecated(ctx, "\nWarning [%i]: [projectname] is deprecated. Use [project.name] instead.");
        return v = d->ProjectName, true;
    }
    if (n == "desc.separator") {
        deprecated(ctx,
                   "\nLigne %i : Attention : [desc.separator] ne sera plus supporté dans "
                   "les prochaines versions. Utilisez [desc.fielddelimiter] à la place.");
        return v = d->FieldDelimiter, true;
    }
    if (n == "desc.fieldprotector") {
        deprecated(ctx,
                   "\nLigne %i : Attention : [desc.fieldprotector] ne sera plus supporté "
                   "dans les prochaines versions. Utilisez [Column.ProtectCarBegin] et "
                   "[Column.ProtectCarEnd] à la place.");
        return v = d->fieldProtector ? std::string(1, d->fieldProtector) : std::string(), true;
    }
    // What the description's values give.
    if (n == "table.countcolumns") return v = num(columnCount(d)), true;
    if (n == "typestructfile.fixed") return v = "1", true;
    if (n == "typestructfile.separated") return v = "2", true;
    if (n == "desc.endofline.binary") return v = FILEDESC_LineEndBytes(*d), true;
    if (n == "desc.fielddelimiter.binary") return v = FILEDESC_DelimiterBytes(*d), true;
    if (n == "desc.separator.tab") return v = sepIs(d, '\t'), true;
    if (n == "desc.separator.space") return v = sepIs(d, ' '), true;
    if (n == "desc.separator.semicolumn") return v = sepIs(d, ';'), true;
    if (n == "desc.separator.virgule") return v = sepIs(d, ','), true;
    if (n == "desc.separator.pipe") return v = sepIs(d, '|'), true;
    if (n == "desc.separator.other") {
        const char c = FILEDESC_DelimiterBytes(*d)[0];
        return v = (c == '\t' || c == ' ' || c == ';' || c == ',' || c == '|') ? "0" : "1", true;
    }
    if (n == "primary_key.name") return v = d->primaryKey.name, true;
    return false;
}

// Value of a name of the current column: its properties (filedesc/descprops.h), then what its
// type and place give. false when the name is none of them.
bool columnValue(FileDesc* d, ColumnDesc* col, const std::string& n, std::string& v) {
    if (const morvex::ColumnProperty* p = morvex::columnPropertyByTemplateName(n)) {
        switch (p->kind) {
            case morvex::ColumnKind::Text:
                return v = morvex::columnText(*col, *p), true;
            case morvex::ColumnKind::Number:
                return v = num(morvex::columnNumber(*col, *p)), true;
            case morvex::ColumnKind::Character:  // its code
                return v = num(static_cast<unsigned char>(col->*p->character)), true;
        }
    }
    const TypeCible& t = col->typeCible;
    if (n == "column.length") {
        int len = 0;
        switch (t.type) {
            case DATATYPE_INTEGER:
                len = t.fmtEntier.taille;
                break;
            case DATATYPE_DECIMAL:
                len = t.fmtDecimal.partieEntiere;
                break;
            case DATATYPE_FIXEDCHAR:
                len = t.fmtChaineFixe.taille;
                break;
            case DATATYPE_VARIABLECHAR:
                len = t.fmtChaineVar.tailleMax;
                break;
            default:
                break;
        }
        return v = num(len), true;
    }
    if (n == "column.precision")
        return v = num(t.type == DATATYPE_DECIMAL ? t.fmtDecimal.partieDecimale : 0), true;
    if (n == "column.endseparator") return v.clear(), true;
    if (n == "column.format") {
        char buf[128] = "";
        GetDataTypeFormat(&t, buf, sizeof buf);
        return v = buf, true;
    }
    if (n == "column.sqltype") {
        char buf[64] = "";
        getSQLType(&t, buf, sizeof buf);
        if (tplinternal::detailedTrace()) trace("\n[buffOut=%s]", buf);
        return v = buf, true;
    }
    if (n == "column.islast") return v = col->Position == columnCount(d) ? "1" : "0", true;
    return false;
}

// Value of a name of the key, index or row being walked; false when the name is none of them.
bool loopValue(RUNTIME_CTX* ctx, ColumnDesc* col, const std::string& n, std::string& v) {
    if (ctx->currentPkColumn) {
        if (n == "thispkcol.name") return v = ctx->currentPkColumn->code, true;
        if (n == "thispkcol.islast") {
            RUNTIME_LOOP* l = innermostLoop(ctx, TPL_FOR_EACH_PK_COLUMN);
            return v = tplinternal::loopElement(l, l ? l->position : 0) ? "0" : "1", true;
        }
    }
    if (ctx->currentIndex && n == "thisindex.name") return v = ctx->currentIndex->name, true;
    if (ctx->currentIdxColumn) {
        if (n == "thisidxcol.name") return v = ctx->currentIdxColumn->code, true;
        if (n == "thisidxcol.islast") {
            RUNTIME_LOOP* l = innermostLoop(ctx, TPL_FOR_EACH_IDX_COLUMN);
            return v = tplinternal::loopElement(l, l ? l->position : 0) ? "0" : "1", true;
        }
    }
    if (ctx->currentRow) {
        if (n == "row.number") return v = num(ctx->currentRowNumber), true;
        if (n == "row.value" && col) {
            v.clear();
            // The rows are read through the description: a value names its column by place.
            if (!ctx->description) return true;
            const std::vector<ColumnOwner>& columns = ctx->description->columns;
            const auto at = std::find_if(columns.begin(), columns.end(),
                                         [col](const ColumnOwner& c) { return c.get() == col; });
            if (at == columns.end()) return true;
            const auto index = static_cast<int>(at - columns.begin());
            for (LDCG_ELT* e = ctx->currentRow->first; e; e = e->next) {
                auto* dc = static_cast<DATACOLUMN*>(e->lParam1);
                if (dc && dc->columnIndex == index) {
                    v.assign(dc->value ? dc->value : "", dc->value ? dc->length : 0);
                    break;
                }
            }
            return true;
        }
    }
    return false;
}

// Value of a constant, of the person running the generation, of the date or of the settings;
// false when the name is none of them.
bool constantValue(const std::string& n, std::string& v) {
    if (n == "true") return v = "1", true;
    if (n == "false") return v = "0", true;
    if (n == "\\n") return v = "\n", true;
    if (n == "\\t") return v = "\t", true;
    if (n == "eol") return v.clear(), true;
    static const char* const kTypes[] = {"integer", "decimal", "date", "datetime",
                                         "char",    "varchar", "text", "boolean"};
    for (int k = 0; k < 8; ++k)
        if (n == kTypes[k]) return v = num(k), true;
    if (n == "user.login") {
        const char* u = getenv("USER");
        if (!u || !*u) u = getenv("LOGNAME");
        v = u ? u : "";
        if (v.size() > static_cast<size_t>(TEMPLATE_LOGIN_MAX)) v.resize(TEMPLATE_LOGIN_MAX);
        return true;
    }
    if (n == "today.datetime_text" || n == "today.date") {
        char buf[DATE_TEXT_SIZE] = "";
        DATE_GetDateTime(buf, n == "today.date" ? 2 : 0);
        return v = buf, true;
    }
    if (n == "config.generated_path") return v = morvex::appSettings().genTargetDirectory, true;
    if (n == "config.formats_path") return v = morvex::appSettings().formatLibrary, true;
    if (n == "config.templates_path") return v = morvex::appSettings().templateLibrary, true;
    return false;
}

// Value of a name of the description, column, index, key or row tables and the constants.
// false when the name is none of them.
bool fixedValue(RUNTIME_CTX* ctx, ColumnDesc* col, const std::string& n, std::string& v) {
    FileDesc* d = ctx->description;
    return (d && descriptionValue(ctx, d, n, v)) || (col && columnValue(d, col, n, v)) ||
           loopValue(ctx, col, n, v) || constantValue(n, v);
}

}  // namespace

int getSQLType(const TypeCible* t, char* buffer, int size) {
    if (!t || !buffer || size < 1) return 1;
    buffer[0] = '\0';
    switch (t->type) {
        case DATATYPE_INTEGER:
            snprintf(buffer, size, "int");
            break;
        case DATATYPE_DECIMAL:
            snprintf(buffer, size, "decimal(%i, %i)",
                     t->fmtDecimal.partieEntiere + t->fmtDecimal.partieDecimale,
                     t->fmtDecimal.partieDecimale);
            break;
        case DATATYPE_DATE:
        case DATATYPE_DATETIME:
            snprintf(buffer, size, "datetime");
            break;
        case DATATYPE_FIXEDCHAR:
            snprintf(buffer, size, "char(%i)", t->fmtChaineFixe.taille);
            break;
        case DATATYPE_VARIABLECHAR:
            snprintf(buffer, size, "varchar(%i)", t->fmtChaineVar.tailleMax);
            break;
        case DATATYPE_TEXT:
            snprintf(buffer, size, "text");
            break;
        case DATATYPE_BOOLEAN:
            snprintf(buffer, size, "bit");
            break;
        default:
            break;
    }
    return 0;
}

int getValue(RUNTIME_CTX* ctx, ColumnDesc* column, const char* name, char* value, int valueSize) {
    if (value && valueSize > 0) value[0] = '\0';
    if (!ctx || !name || !value || valueSize < 1) return 1;
    const std::string n = tplinternal::lower(name);
    std::string v;
    if (!fixedValue(ctx, column, n, v)) {
        if (tplinternal::detailedTrace())
            trace("\nSearching for reference '%s' (nbVars=%i)", n.c_str(), ctx->varCount);
        bool found = false;
        for (int i = 0; i < ctx->varCount && !found; ++i) {
            const CalcVar& var = ctx->variables[i];
            if (!var.name || tplinternal::lower(var.name) != n) continue;
            found = true;
            auto integer = [](double x) {
                if (x != x) return 0LL;
                if (x > 9.2e18) return 9200000000000000000LL;
                if (x < -9.2e18) return -9200000000000000000LL;
                return static_cast<long long>(x);
            };
            switch (var.kind) {
                case CALC_FLOTTANT:
                    v = format("%g", var.value.number);
                    break;
                case CALC_CHAINE:
                    v = var.value.text ? var.value.text : "";
                    break;
                default:
                    v = num(integer(var.value.number));
                    break;
            }
        }
        if (!found) panel(morvex::PANEL_ERROR, format("\nUnknown identifier '%s'", n.c_str()));
    }
    snprintf(value, static_cast<size_t>(valueSize), "%s", v.c_str());
    return 0;
}

int CompileString(RUNTIME_CTX* ctx, ColumnDesc* column, char* text, int textSize, LINE* lineTab,
                  int count, FILE* out) {
    if (!ctx || !text || textSize < 1) return 0;
    // Most texts hold no reference and no call.
    if (!strpbrk(text, "{%")) return 0;
    std::string result = tplinternal::substituteText(ctx, column, text, lineTab, count, out);
    const size_t room = static_cast<size_t>(textSize) - 1;
    if (result.size() > room) {
        panel(morvex::PANEL_WARNING,
              format("\nLigne %i : texte de plus de %i caractères après substitution, coupé.",
                     ctx ? ctx->pc + 1 : 0, static_cast<int>(room)));
        result.resize(room);
    }
    memcpy(text, result.c_str(), result.size() + 1);
    return 0;
}

std::string tplinternal::substituteText(RUNTIME_CTX* ctx, ColumnDesc* column,
                                        const std::string& text, LINE* lineTab, int count,
                                        FILE* out, ValueFilter filter) {
    if (!ctx || text.find_first_of("{%") == std::string::npos) return text;
    Substitution s{ctx, column, lineTab, count, out, 0, false, filter};
    return substitute(s, text);
}

std::string tplinternal::fileNamePart(const std::string& value) {
    std::string out;
    for (const char c : value)
        if (c != '/' && c != '\\' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
    for (size_t at = out.find(".."); at != std::string::npos; at = out.find("..")) out.erase(at, 2);
    return out;
}

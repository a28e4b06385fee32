// Template compiler: loading, directive recognition, compilation, instruction generation,
// linking and listings.
#include <sys/stat.h>

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/appsettings.h"
#include "foundation/inputfile.h"
#include "foundation/trace.h"
#include "template/template.h"
#include "template/tplinternal.h"

using morvex::byteCountText;
using morvex::InputKind;
using morvex::openInputFile;
using morvex::trace;
using tplinternal::format;
using tplinternal::lower;
using tplinternal::panel;

namespace tplinternal {

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        vsnprintf(out.data(), out.size(), fmt, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

std::string lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

void splitArguments(const std::string& param, std::vector<std::string>& items) {
    std::string current;
    for (char c : param) {
        if (c == ',' || c == '\r' || c == '\n') {
            items.push_back(current);
            current.clear();
        } else if (c == ' ') {
            if (!current.empty()) {
                items.push_back(current);
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty()) items.push_back(current);
}

}  // namespace tplinternal

namespace {

// A new instruction record with a copy of `text`; nullptr when out of memory.
LINE* newLine(int code, const std::string& text, int lineNumber) {
    auto* l = static_cast<LINE*>(calloc(1, sizeof(LINE)));
    if (!l) return nullptr;
    l->data = static_cast<char*>(malloc(text.size() + 1));
    if (!l->data) {
        free(l);
        return nullptr;
    }
    memcpy(l->data, text.c_str(), text.size() + 1);
    l->code = code;
    l->line = lineNumber;
    return l;
}

// Replaces the text of an instruction.
void setData(LINE* l, const std::string& text) {
    char* copy = static_cast<char*>(malloc(text.size() + 1));
    if (!copy) return;
    memcpy(copy, text.c_str(), text.size() + 1);
    free(l->data);
    l->data = copy;
}

// `s` without its CR and LF characters.
std::string withoutLineEnd(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

// `s` without its line feeds.
std::string withoutLineFeeds(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '\n') out += c;
    return out;
}

// Directive words and their codes; codes that keep the parameter as data are flagged.
struct Directive {
    const char* word;
    int code;
    bool keepsParam;
};
constexpr Directive kDirectives[] = {
    {"%for_each_column", TPL_FOR_EACH_COLUMN, false},
    {"%if", TPL_IF, true},
    {"%begin", TPL_BEGIN, false},
    {"%end", TPL_END, false},
    {"%else", TPL_ELSE, false},
    {"%elseif", TPL_ELSEIF, true},
    {"%align", TPL_ALIGN, true},
    {"%applicationheader", TPL_APPLICATIONHEADER, false},
    {"%keep", TPL_KEEP, true},
    {"%targetfilename", TPL_TARGETFILENAME, true},
    {"%--", TPL_COMMENT, false},
    {"%", TPL_EVALUATE, true},
    {"%for_each_index", TPL_FOR_EACH_INDEX, false},
    {"%for_each_idx_column", TPL_FOR_EACH_IDX_COLUMN, false},
    {"%for_each_pk_column", TPL_FOR_EACH_PK_COLUMN, false},
    {"%for_each_datafile_row", TPL_FOR_EACH_DATAFILE_ROW, false},
    {"%error", TPL_ERROR, true},
    {"%warning", TPL_WARNING, true},
    {"%info", TPL_INFO, true},
    {"%msgbox:error", TPL_MSGBOX_ERROR, true},
    {"%msgbox:warning", TPL_MSGBOX_WARNING, true},
    {"%msgbox:info", TPL_MSGBOX_INFO, true},
    {"%exit", TPL_EXIT, false},
    {"%execsystem", TPL_EXECSYSTEM, true},
    {"%templatetype", TPL_TEMPLATETYPE, true},
    {"%function", TPL_FUNCTION, true},
    {"%set_returns_on", TPL_SET_RETURNS_ON, false},
    {"%set_returns_off", TPL_SET_RETURNS_OFF, false},
    {"%include", TPL_INCLUDE, true},
    {"%namespace", TPL_NAMESPACE, true},
    {"%return", TPL_RETURN, true},
    {"%write", TPL_WRITE, true},
    {"%writeln", TPL_WRITELN, true},
    {"%template.generate", TPL_TEMPLATE_GENERATE, true},
    {"%filedesc.open", TPL_FILEDESC_OPEN, true},
    // Recognised words that keep the line a text line.
    {"%author", TPL_TEXT, false},
    {"%date", TPL_TEXT, false},
};

const Directive* findDirective(const char* word) {
    for (const Directive& d : kDirectives)
        if (strcmp(d.word, word) == 0) return &d;
    return nullptr;
}

// Libraries being included by the calling thread (cycle and depth guard).
thread_local std::vector<std::string> includeStack;

// Link state of the calling thread, reset at the start of a link run.
thread_local int linkDepth = 0;
thread_local int returnsOff = 0;
thread_local TEMPLATE_LINKERROR lastLinkError = {-1, 0, ""};

// Records and reports a link error; returns -1.
int linkError(LINE* lineTab, int index, const std::string& message, bool toPanel) {
    trace("%s", message.c_str());
    if (toPanel) panel(morvex::PANEL_ERROR, message);
    lastLinkError.index = index;
    lastLinkError.line = (lineTab && index >= 0) ? lineTab[index].line : 0;
    std::string text = message;
    while (!text.empty() && text[0] == '\n') text.erase(0, 1);
    snprintf(lastLinkError.message, sizeof lastLinkError.message, "%s", text.c_str());
    return -1;
}

bool isLoop(int code) {
    return code == TPL_FOR_EACH_COLUMN || code == TPL_FOR_EACH_INDEX ||
           code == TPL_FOR_EACH_IDX_COLUMN || code == TPL_FOR_EACH_PK_COLUMN ||
           code == TPL_FOR_EACH_DATAFILE_ROW;
}

// Links one block level from `start`; see TEMPLATE_ResolveLinksV2.
int linkLevel(LINE* t, int count, int start) {
    trace("\n[Call Level = %i]", linkDepth);
    int g = 0;             // governing directive
    int p = -1;            // its position
    bool pending = false;  // it still waits for its block
    int lastIfEnd = -1;    // %end of the last %if / %elseif block
    auto blockExpected = [&](int i) {
        return linkError(t, i,
                         format("\nSyntax Error : BEGIN expected after line %i.",
                                p >= 0 ? t[p].line : t[i].line),
                         true);
    };
    for (int i = start; i < count; ++i) {
        LINE& l = t[i];
        trace("\n[i=%i] [lineTab[i].data=%s]", i, l.data ? l.data : "");
        const int code = l.code;
        if (isLoop(code) || code == TPL_IF || code == TPL_FUNCTION) {
            if (pending) return blockExpected(i);
            g = code;
            p = i;
            pending = true;
        } else if (code == TPL_ELSE) {
            if (g != TPL_IF || pending)
                return linkError(t, i,
                                 format("\n[TEMPLATE_ResolveLinksV2][Error] 'else' without 'if' "
                                        "statement. (principalInst=%i)",
                                        g),
                                 true);
            g = TPL_ELSE;
            pending = true;
        } else if (code == TPL_ELSEIF) {
            if ((g != TPL_IF && g != TPL_ELSEIF) || pending)
                return linkError(t, i,
                                 format("\n[TEMPLATE_ResolveLinksV2][Error] 'elseif' without 'if' "
                                        "statement. (principalInst=%i)",
                                        g),
                                 true);
            g = TPL_ELSEIF;
            p = i;
            pending = true;
        } else if (code == TPL_BEGIN) {
            const int b = i;
            if (linkDepth >= TEMPLATE_MAX_BLOCK_DEPTH)
                return linkError(t, i,
                                 format("\nSyntax Error : more than %i nested begin/end blocks "
                                        "at line %i.",
                                        TEMPLATE_MAX_BLOCK_DEPTH, l.line),
                                 true);
            ++linkDepth;
            int e = linkLevel(t, count, b + 1);
            if (e < 0) return -1;
            --linkDepth;
            trace("\n[TEMPLATE_ResolveLinksV2] Current level : %i", linkDepth);
            trace(
                "\n[TEMPLATE_ResolveLinksV2] endPosition = %i, beginPosition = %i, "
                "principalInst=%i",
                e, b, g);
            // A block without a governing directive is a plain block: its end falls through.
            t[e].ifTrue = t[e].ifFalse = e + 1;
            if (pending) {
                if (isLoop(g)) {
                    t[e].ifTrue = t[e].ifFalse = p;
                }
                if (isLoop(g) || g == TPL_IF || g == TPL_ELSEIF) {
                    t[p].ifTrue = b;
                    t[p].ifFalse = e + 1;
                    trace("\n[TEMPLATE_ResolveLinksV2]  [LINE:%i] jumpTo: %i", p, e + 1);
                    p = -1;
                }
                if (g == TPL_IF || g == TPL_ELSEIF) lastIfEnd = e;
                if (g == TPL_ELSE && lastIfEnd >= 0)
                    t[lastIfEnd].ifTrue = t[lastIfEnd].ifFalse = e + 1;
                if (g == TPL_FUNCTION) {
                    t[e].ifTrue = -1;
                    p = -1;
                }
                pending = false;
            }
            i = e;
        } else if (code == TPL_END) {
            if (pending) return blockExpected(i);
            if (linkDepth == 0)
                return linkError(
                    t, i, format("\nSyntax Error : END without BEGIN at line %i.", l.line), true);
            return i;
        } else if (code == TPL_TEMPLATETYPE) {
            if (lower(l.data ? l.data : "") == "morvexfylatek.library") returnsOff = 1;
            trace("\n[TEMPLATE_ResolveLinks] Type=[%s]", l.data ? l.data : "");
        } else if (code == TPL_SET_RETURNS_OFF) {
            returnsOff = 1;
        } else if (code == TPL_SET_RETURNS_ON) {
            returnsOff = 0;
        } else if (code == TPL_PUSH && l.data && strcmp(l.data, "returnAddress") == 0) {
            trace("\nINST_STACKPUSH");
            trace("\nStackPush concerne une adresse de retour qu'il faut resoudre");
            for (int k = i + 1; k < count; ++k) {
                if (t[k].code == TPL_CALL) {
                    trace("\nOn a trouve l'instruction de call en ligne %i", k);
                    setData(&l, std::to_string(k + 1));
                    break;
                }
            }
        } else if (code == TPL_CALL) {
            l.ifTrue = RUNTIME_FindFunction(l.data, t, count);
            trace("\nFunction [%s] resolved at @%i", l.data ? l.data : "", l.ifTrue);
        } else if (code < 1 || code > 44 || code == 14 || code == 15 || code == 20 || code == 42) {
            return linkError(
                t, i,
                format("\nLine %i : Unknown instruction [%i]:[%s]", i, code, l.data ? l.data : ""),
                true);
        }
        if (returnsOff && l.data) {
            char* nl = strchr(l.data, '\n');
            if (nl) *nl = '\0';
            size_t skip = strspn(l.data, " \t");
            if (skip) memmove(l.data, l.data + skip, strlen(l.data + skip) + 1);
        }
    }
    if (pending) return blockExpected(count > 0 ? count - 1 : 0);
    if (linkDepth != 0)
        return linkError(
            t, count > 0 ? count - 1 : -1,
            format("\nSyntax Error : Missing END of a begin/end Block at level %i.", linkDepth),
            true);
    return count;
}

}  // namespace

void LINE_Destroy(void* line) {
    auto* l = static_cast<LINE*>(line);
    if (!l) return;
    free(l->data);
    free(l);
}

void freeByteCode(LINE* lineTab, int count) {
    if (!lineTab) return;
    for (int i = 0; i < count; ++i) free(lineTab[i].data);
    free(lineTab);
}

LDCG* TEMPLATE_LoadFile(const char* path) {
    std::string refusal;
    FILE* f = path ? openInputFile(path, &refusal, InputKind::RegularOnly, "Le modèle") : nullptr;
    if (f) {
        struct stat st {};
        if (fstat(fileno(f), &st) == 0 &&
            static_cast<unsigned long long>(st.st_size) > TEMPLATE_MAX_FILE) {
            refusal = std::string("Le modèle '") + path + "' dépasse la taille permise (" +
                      byteCountText(TEMPLATE_MAX_FILE) + ").";
            fclose(f);
            f = nullptr;
        }
    }
    if (!f) {
        trace("\n[TEMPLATE_LoadFile] : Unable to open file [%s]", path ? path : "");
        if (!refusal.empty()) trace("\n[TEMPLATE_LoadFile] : %s", refusal.c_str());
        return nullptr;
    }
    LDCG* lines = LDCG_Create(nullptr, LINE_Destroy);
    if (!lines) {
        fclose(f);
        return nullptr;
    }
    std::string text;
    int number = 0;
    auto flush = [&]() {
        ++number;
        // A CR LF line end reads as LF, as a text-mode read does.
        if (text.size() >= 2 && text[text.size() - 2] == '\r' && text.back() == '\n')
            text.erase(text.size() - 2, 1);
        if (text.size() > static_cast<size_t>(TEMPLATE_LINE_MAX))
            trace("\n[TEMPLATE_LoadFile] : Line %i longer than %i characters, cut into records",
                  number, TEMPLATE_LINE_MAX);
        for (size_t pos = 0; pos < text.size(); pos += TEMPLATE_LINE_MAX) {
            LINE* l = newLine(TPL_TEXT, text.substr(pos, TEMPLATE_LINE_MAX), number);
            if (l && !LDCG_Add(lines, l, nullptr)) LINE_Destroy(l);
        }
        text.clear();
    };
    char buf[8192];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            // A zero byte would end the record's text early: read it as a space.
            text += buf[i] ? buf[i] : ' ';
            if (buf[i] == '\n') flush();
        }
    }
    if (!text.empty()) flush();
    fclose(f);
    return lines;
}

int searchInstruction(const char* line, char* word, char* param) {
    if (word) word[0] = '\0';
    if (param) param[0] = '\0';
    if (!line || !word || !param) return 0;
    const char* p = strchr(line, '%');
    if (!p) return 0;
    const char* q = p;
    while (*q && *q != ' ' && *q != '\t' && *q != '\r' && *q != '\n') ++q;
    if (!*q) return 0;
    size_t n = static_cast<size_t>(q - p);
    if (n > static_cast<size_t>(TEMPLATE_WORD_MAX)) n = TEMPLATE_WORD_MAX;
    for (size_t i = 0; i < n; ++i)
        word[i] = static_cast<char>(tolower(static_cast<unsigned char>(p[i])));
    word[n] = '\0';
    // A line end that ends the word stays in the parameter.
    const char* r = (*q == '\r' || *q == '\n') ? q : q + 1;
    while (*r == ' ' || *r == '\t') ++r;
    snprintf(param, TEMPLATE_PARAM_MAX + 1, "%s", r);
    return 1;
}

int TEMPLATE_GetType(LDCG* lines) {
    if (!lines) return TEMPLATE_TYPE_NO_LIST;
    char word[TEMPLATE_WORD_MAX + 1];
    char param[TEMPLATE_PARAM_MAX + 1];
    for (LDCG_ELT* e = lines->first; e; e = e->next) {
        auto* l = static_cast<LINE*>(e->lParam1);
        if (!l || !l->data) continue;
        if (l->code != TPL_TEXT && l->code != TPL_TEMPLATETYPE) continue;
        const char* text = l->data;
        if (l->code == TPL_TEMPLATETYPE) {
            std::string t = lower(withoutLineEnd(text));
            return t == "morvexfylatek.template"  ? TEMPLATE_TYPE_TEMPLATE
                   : t == "morvexfylatek.library" ? TEMPLATE_TYPE_LIBRARY
                                                  : TEMPLATE_TYPE_UNKNOWN;
        }
        if (!searchInstruction(text, word, param)) continue;
        if (strcmp(word, "%templatetype") != 0) continue;
        std::string t = lower(withoutLineEnd(param));
        if (t == "morvexfylatek.template") return TEMPLATE_TYPE_TEMPLATE;
        if (t == "morvexfylatek.library") return TEMPLATE_TYPE_LIBRARY;
        return TEMPLATE_TYPE_UNKNOWN;
    }
    return TEMPLATE_TYPE_UNKNOWN;
}

int TEMPLATE_Compile(LDCG* lines) {
    if (!lines) return 1;
    char word[TEMPLATE_WORD_MAX + 1];
    char param[TEMPLATE_PARAM_MAX + 1];
    for (LDCG_ELT* e = lines->first; e; e = e->next) {
        auto* l = static_cast<LINE*>(e->lParam1);
        if (!l) {
            trace("\n[TEMPLATE_Compile] : Erreur lors de la recuperation de l'element courant");
            break;
        }
        // Generated and already compiled instructions (an included library's) stay as they are.
        if (l->code != TPL_TEXT || !l->data) continue;
        if (!searchInstruction(l->data, word, param)) continue;
        trace("\n[Line %i] : [%s]", l->line, word);
        {
            // Tell the person about a directive cut to the language's buffers.
            const char* pct = strchr(l->data, '%');
            size_t wordLen = strcspn(pct, " \t\r\n");
            if (wordLen > static_cast<size_t>(TEMPLATE_WORD_MAX))
                panel(morvex::PANEL_WARNING,
                      format("\nLigne %i : directive de plus de %i caractères, coupée.", l->line,
                             TEMPLATE_WORD_MAX));
            if (strlen(param) == static_cast<size_t>(TEMPLATE_PARAM_MAX) &&
                strlen(pct + wordLen) > static_cast<size_t>(TEMPLATE_PARAM_MAX) + 1)
                panel(morvex::PANEL_WARNING,
                      format("\nLigne %i : paramètre de plus de %i caractères, coupé.", l->line,
                             TEMPLATE_PARAM_MAX));
        }
        const Directive* d = findDirective(word);
        if (d && d->code == TPL_TEXT) continue;  // %author, %date
        if (!d) {
            // A call: push the return address and every argument, then call.
            l->code = TPL_CALL;
            setData(l, word + 1);
            LINE* ra = newLine(TPL_PUSH, "returnAddress", l->line);
            if (ra && !LDCG_AddBefore(lines, e, ra, nullptr)) LINE_Destroy(ra);
            std::vector<std::string> args;
            tplinternal::splitArguments(param, args);
            for (const std::string& a : args) {
                trace("\nParam=%s", a.c_str());
                LINE* push = newLine(TPL_PUSH, a, l->line);
                if (push && !LDCG_AddBefore(lines, e, push, nullptr)) LINE_Destroy(push);
            }
            continue;
        }
        l->code = d->code;
        if (d->keepsParam) {
            std::string value = param;
            if (d->code == TPL_TARGETFILENAME || d->code == TPL_TEMPLATETYPE)
                value = withoutLineEnd(value);
            if (d->code == TPL_INCLUDE || d->code == TPL_TEMPLATE_GENERATE ||
                d->code == TPL_FILEDESC_OPEN) {
                value = withoutLineFeeds(value);
                // A CR left before the line feed is no part of a path either.
                while (!value.empty() && value.back() == '\r') value.pop_back();
            }
            setData(l, value);
        }
        if (d->code == TPL_FILEDESC_OPEN)
            trace("\n[TEMPLATE_Compile] filedesc.open found. (param=%s)", l->data);
        if (d->code == TPL_TEMPLATETYPE && lower(l->data) == "morvexfylatek.template") {
            trace("\nIl s'agit d'un template de generation de code");
            LINE* fn = newLine(TPL_TEXT, "%function Program.Main ", 0);
            LDCG_ELT* fnElt = fn ? LDCG_AddAfter(lines, e, fn, nullptr) : nullptr;
            if (!fnElt) {
                LINE_Destroy(fn);
                trace("\n[TEMPLATE_Compile] : Unable to add Program.Main");
                continue;
            }
            LINE* begin = newLine(TPL_BEGIN, "%begin", 0);
            if (!begin || !LDCG_AddAfter(lines, fnElt, begin, nullptr)) {
                LINE_Destroy(begin);
                trace("\n[TEMPLATE_Compile] : Unable to add Program.Main BEGIN");
            }
            LINE* ex = newLine(TPL_EXIT, "%exit", 0);
            if (!ex || !LDCG_Add(lines, ex, nullptr)) {
                LINE_Destroy(ex);
                trace("\n[TEMPLATE_Compile] : Unable to add Program.Main EXIT");
            }
            LINE* end = newLine(TPL_END, "%end", 0);
            if (!end || !LDCG_Add(lines, end, nullptr)) {
                LINE_Destroy(end);
                trace("\n[TEMPLATE_Compile] : Unable to add Program.Main END");
            }
            // The loop goes on with the inserted "%function" line, compiled in turn.
        }
        if (d->code == TPL_INCLUDE) {
            trace("\nIncluding file [%s]", l->data);
            std::string path = tplinternal::joinPath(morvex::librariesDirectoryOf(morvex::appSettings()),
                                                     std::string(l->data) + ".tpl");
            bool cycle = false;
            for (const std::string& s : includeStack) cycle = cycle || s == path;
            if (cycle || static_cast<int>(includeStack.size()) >= TEMPLATE_MAX_INCLUDE_DEPTH) {
                panel(morvex::PANEL_ERROR,
                      format("\n(E) Ligne %i : inclusion circulaire ou trop profonde de la "
                             "bibliothèque [%s].",
                             l->line, path.c_str()));
                return 1;
            }
            LDCG* lib = TEMPLATE_LoadFile(path.c_str());
            if (!lib) {
                panel(morvex::PANEL_ERROR,
                      format("\n(E) Ligne %i : impossible d'inclure la bibliothèque [%s].", l->line,
                             path.c_str()));
                return 1;
            }
            includeStack.push_back(path);
            int rc = TEMPLATE_Compile(lib);
            includeStack.pop_back();
            for (LDCG_ELT* le = lib->first; le; le = le->next) {
                if (LDCG_Add(lines, le->lParam1, nullptr)) le->lParam1 = nullptr;
            }
            LDCG_Destroy(lib, LDCG_KEEP_ROOT, LDCG_RELEASE_PARAM1);
            if (rc != 0) return 1;
        }
    }
    return 0;
}

LDCG* TEMPLATE_GenerateInstructions(LDCG* lines) {
    if (!lines) return nullptr;
    LDCG* out = LDCG_Create(nullptr, LINE_Destroy);
    if (!out) return nullptr;
    for (LDCG_ELT* e = lines->first; e; e = e->next) {
        auto* l = static_cast<LINE*>(e->lParam1);
        if (!l) continue;
        e->lParam1 = nullptr;  // the record moves over (or is replaced)
        trace("\n[TEMPLATE_GenerateInstructions] : [inst=%i]:[data=%s]", l->code,
              l->data ? l->data : "");
        auto add = [&](LINE* n) {
            if (n && !LDCG_Add(out, n, nullptr)) LINE_Destroy(n);
        };
        if (l->code == TPL_FUNCTION) {
            std::vector<std::string> items;
            tplinternal::splitArguments(l->data ? l->data : "", items);
            l->code = TPL_COMMENT;
            add(l);
            // Empty items (a blank before the line end) name nothing.
            std::vector<std::string> names;
            for (const std::string& s : items)
                if (!s.empty()) names.push_back(s);
            if (names.empty()) continue;
            LINE* fn = newLine(TPL_FUNCTION, names[0], 0);
            LDCG_ELT* fnElt = fn ? LDCG_Add(out, fn, nullptr) : nullptr;
            if (!fnElt) {
                LINE_Destroy(fn);
                continue;
            }
            add(newLine(TPL_POP, "returnAddress", 0));
            for (size_t k = 1; k < names.size(); ++k) {
                LINE* ip = newLine(TPL_INPUTPARAMETER, names[k], 0);
                if (ip && !LDCG_AddAfter(out, fnElt, ip, nullptr)) LINE_Destroy(ip);
                LINE* pop = newLine(TPL_POP, names[k], 0);
                if (pop && !LDCG_AddAfter(out, fnElt, pop, nullptr)) LINE_Destroy(pop);
            }
        } else if (l->code == TPL_RETURN) {
            // The returned text goes without its line end.
            std::string text = l->data ? l->data : "";
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            add(newLine(TPL_PUSH, text, l->line));
            add(newLine(TPL_EXIT, "returnAddress", l->line));
            LINE_Destroy(l);
        } else {
            add(l);
        }
    }
    return out;
}

const TEMPLATE_LINKERROR* TEMPLATE_GetLastLinkError() {
    return &lastLinkError;
}

int TEMPLATE_ResolveLinksV2(LINE* lineTab, int count, int start) {
    if (start == 0) {
        linkDepth = 0;
        returnsOff = 0;
        lastLinkError = {-1, 0, ""};
    }
    if (!lineTab || count < 0 || start < 0) return -1;
    return linkLevel(lineTab, count, start);
}

int generateCode(LINE* t, int count, const char* path) {
    FILE* f = morvex::traceCreateFile(path);
    if (!f) {
        trace("\n[generateCode] : Unable to open file [%s]", path ? path : "");
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const LINE& l = t[i];
        const char* d = l.data ? l.data : "";
        fprintf(f, "\n[sl:%.3i][%.3i]", l.line, i);
        switch (l.code) {
            case TPL_TEXT:
                fprintf(f, "COMPILE [%s]", d);
                break;
            case TPL_FOR_EACH_COLUMN:
                fprintf(f, "FOR_EACH_COLUMN [TRUE: GOTO %i | FALSE: GOTO %i]", l.ifTrue, l.ifFalse);
                break;
            case TPL_IF:
                fprintf(f, "IF (evaluate:%s) [TRUE: GOTO %i | FALSE: GOTO %i]", d, l.ifTrue,
                        l.ifFalse);
                break;
            case TPL_BEGIN:
                fprintf(f, "BEGIN");
                break;
            case TPL_END:
                if (l.ifTrue == -1)
                    fprintf(f, "END [JUMPTO:%i] -> JUMP TO @returnAddress", l.ifTrue);
                else
                    fprintf(f, "END [JUMPTO:%i]", l.ifTrue);
                break;
            case TPL_ELSE:
                fprintf(f, "ELSE [TRUE: GOTO %i | FALSE: GOTO %i]", l.ifTrue, l.ifFalse);
                break;
            case TPL_ELSEIF:
                fprintf(f, "ELSEIF (evaluate:%s) [TRUE: GOTO %i | FALSE: GOTO %i]", d, l.ifTrue,
                        l.ifFalse);
                break;
            case TPL_ALIGN:
                fprintf(f, "ALIGN [%s]", d);
                break;
            case TPL_APPLICATIONHEADER:
                fprintf(f, "WRITE APPLICATION HEADER");
                break;
            case TPL_KEEP:
                fprintf(f, "KEEP [%s]", d);
                break;
            case TPL_TARGETFILENAME:
                fprintf(f, "TARGETFILENAME [%s]", d);
                break;
            case TPL_COMMENT:
                fprintf(f, "COMMENT [%s]", d);
                break;
            case TPL_EVALUATE:
                fprintf(f, "EVALUATE [%s]", d);
                break;
            case TPL_FOR_EACH_INDEX:
                fprintf(f, "FOR_EACH_INDEX [TRUE: GOTO %i | FALSE: GOTO %i]", l.ifTrue, l.ifFalse);
                break;
            case TPL_FOR_EACH_IDX_COLUMN:
                fprintf(f, "FOR_EACH_IDX_COLUMN [TRUE: GOTO %i | FALSE: GOTO %i]", l.ifTrue,
                        l.ifFalse);
                break;
            case TPL_FOR_EACH_PK_COLUMN:
                fprintf(f, "FOR_EACH_PK_COLUMN [TRUE: GOTO %i | FALSE: GOTO %i]", l.ifTrue,
                        l.ifFalse);
                break;
            case TPL_EXIT:
                fprintf(f, "EXIT");
                break;
            case TPL_TEMPLATETYPE:
                fprintf(f, "TEMPLATETYPE [%s]", d);
                break;
            case TPL_FUNCTION:
                fprintf(f, "FUNCTION [%s]", d);
                break;
            case TPL_INPUTPARAMETER:
                fprintf(f, "INPUTPARAMETER [%s]", d);
                break;
            case TPL_PUSH:
                fprintf(f, "STACK PUSH [%s]", d);
                break;
            case TPL_POP:
                fprintf(f, "STACK POP [%s]", d);
                break;
            case TPL_SET_RETURNS_ON:
            case TPL_SET_RETURNS_OFF:
                fprintf(f, "SET RETURNS ON");
                break;
            case TPL_INCLUDE:
                fprintf(f, "INCLUDE [%s]", d);
                break;
            case TPL_NAMESPACE:
                fprintf(f, "NAMESPACE [%s]", d);
                break;
            case TPL_CALL:
                fprintf(f, "CALL FUNCTION [%s]@%i", d, l.ifTrue);
                break;
            case TPL_WRITE:
                fprintf(f, "WRITE [%s]", d);
                break;
            case TPL_WRITELN:
                fprintf(f, "WRITELN [%s]", d);
                break;
            case TPL_FILEDESC_OPEN:
                fprintf(f, "OPEN FILEDESC [%s]", d);
                break;
            default:
                fprintf(f, "UNKNOWN INSTRUCTION! [inst=%i]:[data=%s]", l.code, d);
                break;
        }
    }
    int rc = fclose(f) == 0 ? 0 : 1;
    return rc;
}

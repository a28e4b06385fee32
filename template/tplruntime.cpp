// Template runtime: contexts, function execution, every instruction, expression evaluation and
// the application header.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "calc/calc.h"
#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "foundation/date.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "template/template.h"
#include "template/tplinternal.h"

using morvex::trace;
using tplinternal::format;
using tplinternal::panel;

namespace tplinternal {

namespace {
std::atomic<TemplateExecPolicy> gExecPolicy{TEMPLATE_EXEC_ASK};
std::atomic<bool> gDetailedTrace{true};
std::atomic<long long> gInstructionLimit{TEMPLATE_DEFAULT_INSTRUCTION_LIMIT};
}  // namespace

RunState& runState() {
    static thread_local RunState state;
    return state;
}

bool mustStop() {
    RunState& rs = runState();
    if (rs.aborted || rs.stopped) return true;
    if (rs.task && TASK_IsStopRequested(rs.task)) {
        rs.stopped = true;
        return true;
    }
    return false;
}

bool detailedTrace() {
    return gDetailedTrace.load(std::memory_order_relaxed);
}
TemplateExecPolicy execPolicy() {
    return gExecPolicy.load();
}
long long instructionLimit() {
    return gInstructionLimit.load();
}

void* loopElement(const RUNTIME_LOOP* loop, size_t k) {
    if (!loop) return nullptr;
    const FileDesc* d = loop->desc;
    switch (loop->code) {
        case TPL_FOR_EACH_COLUMN:
            return d && k < d->columns.size() ? d->columns[k].get() : nullptr;
        case TPL_FOR_EACH_INDEX:
            return d && k < d->indexes.size() ? d->indexes[k].get() : nullptr;
        case TPL_FOR_EACH_IDX_COLUMN:
            return loop->index && k < loop->index->columns.size() ? loop->index->columns[k]
                                                                  : nullptr;
        case TPL_FOR_EACH_PK_COLUMN:
            return d && k < d->primaryKey.columns.size() ? d->primaryKey.columns[k] : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace tplinternal

void TEMPLATE_SetExecPolicy(TemplateExecPolicy policy) {
    tplinternal::gExecPolicy.store(policy);
}
void TEMPLATE_SetDetailedTrace(bool on) {
    tplinternal::gDetailedTrace.store(on);
}
void TEMPLATE_SetInstructionLimit(long long limit) {
    tplinternal::gInstructionLimit.store(limit < 0 ? 0 : limit);
}
long long TEMPLATE_GetInstructionLimit() {
    return tplinternal::instructionLimit();
}
long long TEMPLATE_GetExecutedInstructions() {
    return tplinternal::runState().executed;
}

namespace {

void destroyLoop(RUNTIME_LOOP* loop) {
    if (!loop) return;
    if (loop->code == TPL_FOR_EACH_DATAFILE_ROW && loop->current)
        LDCG_Destroy(static_cast<LDCG*>(loop->current), LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
    if (loop->reader) DATAFILE_DestroyIterator(loop->reader);
    free(loop);
}

// The innermost running loop of `code` in the context, or nullptr.
RUNTIME_LOOP* innermost(RUNTIME_CTX* ctx, int code) {
    for (RUNTIME_LOOP* l = ctx->loops; l; l = l->next)
        if (l->code == code && l->current) return l;
    return nullptr;
}

// Sets the context's current elements from its running loops.
void refreshCurrents(RUNTIME_CTX* ctx, ColumnDesc** column) {
    RUNTIME_LOOP* l = innermost(ctx, TPL_FOR_EACH_COLUMN);
    *column = l ? static_cast<ColumnDesc*>(l->current) : nullptr;
    l = innermost(ctx, TPL_FOR_EACH_INDEX);
    ctx->currentIndex = l ? static_cast<IndexDesc*>(l->current) : nullptr;
    l = innermost(ctx, TPL_FOR_EACH_IDX_COLUMN);
    ctx->currentIdxColumn = l ? static_cast<ColumnDesc*>(l->current) : nullptr;
    l = innermost(ctx, TPL_FOR_EACH_PK_COLUMN);
    ctx->currentPkColumn = l ? static_cast<ColumnDesc*>(l->current) : nullptr;
    l = innermost(ctx, TPL_FOR_EACH_DATAFILE_ROW);
    ctx->currentRow = l ? static_cast<LDCG*>(l->current) : nullptr;
    ctx->currentRowNumber = l ? l->rowNumber : 0;
}

// Opens the reader of the description's example data file; nullptr (with a panel notice) when
// there is none or it is no regular file.
DATAFILE* openRows(RUNTIME_CTX* ctx, int pc) {
    FileDesc* d = ctx->description;
    const char* path = d ? d->ExampleFilePath : nullptr;
    if (!path || !*path) {
        trace("\n[FOR_EACH_DATAFILE_ROW] no example data file");
        return nullptr;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        panel(morvex::PANEL_WARNING,
              format("\nLigne %i : le fichier de données [%s] n'est pas lisible, boucle ignorée.",
                     pc + 1, path));
        return nullptr;
    }
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(d, dialect); !refusal.empty()) {
        panel(morvex::PANEL_WARNING,
              format("\nLigne %i : le fichier de données [%s] ne peut être lu : %s "
                     "Boucle ignorée.",
                     pc + 1, path, refusal.c_str()));
        return nullptr;
    }
    DATAFILE* reader = DATAFILE_NewIterator(dialect, path, 0, 0);
    if (reader && DATAFILE_Init(reader) != 0) {
        DATAFILE_DestroyIterator(reader);
        reader = nullptr;
    }
    return reader;
}

// Runs one loop instruction: the next element, or the end of the loop. Returns the next pc.
int runLoop(RUNTIME_CTX* ctx, LINE* t, ColumnDesc** column) {
    const int pc = ctx->pc;
    const LINE& l = t[pc];
    RUNTIME_LOOP** link = &ctx->loops;
    while (*link && (*link)->pc != pc) link = &(*link)->next;
    RUNTIME_LOOP* loop = *link;
    FileDesc* d = ctx->description;
    if (l.code == TPL_FOR_EACH_PK_COLUMN) trace("\n[FOR_EACH_PK_COL]");
    if (!loop) {
        // The loop starts: a reading position of its own over its list.
        bool hasList = false;
        switch (l.code) {
            case TPL_FOR_EACH_COLUMN:
            case TPL_FOR_EACH_INDEX:
                hasList = d != nullptr;
                break;
            case TPL_FOR_EACH_IDX_COLUMN:
                hasList = ctx->currentIndex != nullptr;
                break;
            case TPL_FOR_EACH_PK_COLUMN:
                hasList = d != nullptr;
                if (!d || d->primaryKey.columns.empty()) trace("\n[NO PK COLUMN]");
                break;
            default:
                break;
        }
        DATAFILE* reader = nullptr;
        if (l.code == TPL_FOR_EACH_DATAFILE_ROW) {
            reader = openRows(ctx, pc);
            if (!reader) return l.ifFalse;
        } else if (!hasList) {
            return l.ifFalse;
        }
        loop = static_cast<RUNTIME_LOOP*>(calloc(1, sizeof(RUNTIME_LOOP)));
        if (!loop) {
            if (reader) DATAFILE_DestroyIterator(reader);
            return l.ifFalse;
        }
        loop->pc = pc;
        loop->code = l.code;
        loop->reader = reader;
        loop->desc = d;
        loop->index = l.code == TPL_FOR_EACH_IDX_COLUMN ? ctx->currentIndex : nullptr;
        loop->next = ctx->loops;
        ctx->loops = loop;
        link = &ctx->loops;
    }
    void* next = nullptr;
    if (loop->code == TPL_FOR_EACH_DATAFILE_ROW) {
        if (loop->current) LDCG_Destroy(static_cast<LDCG*>(loop->current), LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        loop->current = nullptr;
        next = loop->reader ? DATAFILE_ReadNext(loop->reader) : nullptr;
        if (next) ++loop->rowNumber;
    } else {
        next = tplinternal::loopElement(loop, loop->position);
        if (next) ++loop->position;
    }
    int target;
    if (next) {
        loop->current = next;
        target = l.ifTrue;
    } else {
        *link = loop->next;
        loop->current = nullptr;
        destroyLoop(loop);
        target = l.ifFalse;
    }
    refreshCurrents(ctx, column);
    return target;
}

// Copies `text` into the working buffer (cut to its size).
void load(std::vector<char>& buf, const char* text) {
    snprintf(buf.data(), buf.size(), "%s", text ? text : "");
}

// Removes every line feed of a buffer in place.
void removeLineFeeds(char* s) {
    MYSTRINGS_StripChar(s, '\n');
}

// Writes a text to the output file.
void put(FILE* out, const char* s) {
    if (out) fputs(s, out);
}

// %align: alignment word, width, fill text, text.
void runAlign(char* text, FILE* out, int pc) {
    std::string s = text;
    std::string lineEnd;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        lineEnd.insert(lineEnd.begin(), s.back());
        s.pop_back();
    }
    // Fields separated by spaces; double quotes group (and stay in the field).
    std::vector<std::string> fields;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : s) {
        if (c == '"') {
            quoted = !quoted;
            cur += c;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) fields.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) fields.push_back(cur);
    std::string how = fields.size() > 0 ? tplinternal::lower(fields[0]) : "";
    int width = fields.size() > 1 ? atoi(fields[1].c_str()) : 0;
    std::string fill = fields.size() > 2 ? fields[2] : " ";
    fill.erase(std::remove(fill.begin(), fill.end(), '"'), fill.end());
    std::string body;
    for (size_t i = 3; i < fields.size(); ++i) body += (i > 3 ? " " : "") + fields[i];
    int mode = how == "left" ? 0 : how == "right" ? 1 : how == "center" ? 2 : -1;
    if (mode >= 0) {
        if (width > TEMPLATE_LINE_MAX) {
            panel(morvex::PANEL_WARNING,
                  format("\nLigne %i : largeur d'alignement %i ramenée à %i.", pc + 1, width,
                         TEMPLATE_LINE_MAX));
            width = TEMPLATE_LINE_MAX;
        }
        std::vector<char> buf(static_cast<size_t>(std::max<int>(width, body.size())) + 1);
        memcpy(buf.data(), body.c_str(), body.size() + 1);
        ajusterMot(buf.data(), static_cast<int>(buf.size()), width, fill.c_str(), mode);
        body = buf.data();
    }
    body += lineEnd;
    put(out, body.c_str());
}

// Value of a condition result, truncated to an integer, read as true or false.
bool conditionHolds(CalcContext* cc) {
    CalcVar r;
    CALC_GetResult(&r, cc);
    switch (r.kind) {
        case CALC_FLOTTANT:
            return static_cast<long long>(r.value.number) != 0;
        case CALC_CHAINE:
            return r.value.text && *r.value.text;
        case CALC_AUCUN:
            return false;
        default:
            return r.value.integer != 0;
    }
}

// Reports the first engine message of a failed compilation.
std::string firstMessage(CalcContext* cc, int pc) {
    std::string msg;
    while (CalcMessage* m = CALC_ReadMsgNext(cc)) {
        if (msg.empty() && m->kind != CALC_MSG_INFO)
            msg = format("\n[RT:%i] Erreur %i : %s (pos %i)", pc, m->code, m->text ? m->text : "",
                         m->position);
        CALC_DestroyMsg(m);
    }
    if (msg.empty()) msg = format("\n[RT:%i] Erreur %i : %s (pos %i)", pc, 0, "", 0);
    return msg;
}

// %if / %elseif: 0 with the next pc in *next, 1 on a compile or evaluation error.
int runCondition(RUNTIME_CTX* ctx, const LINE& l, char* text, int* next) {
    CalcContext* cc = CALC_Compile(text);
    if (!cc) return 1;
    if (CALC_Error(cc)) {
        trace("\n[CALC] Compilation error [%s]", text);
        std::string msg = firstMessage(cc, ctx->pc);
        trace("%s", msg.c_str());
        panel(morvex::PANEL_ERROR, msg);
        CALC_Destroy(cc);
        return 1;
    }
    while (CalcMessage* m = CALC_ReadMsgNext(cc)) CALC_DestroyMsg(m);
    CALC_Calculate(cc);
    if (CALC_Error(cc)) {
        trace("\n[CALC] Evaluation error");
        std::string msg = firstMessage(cc, ctx->pc);
        panel(morvex::PANEL_ERROR, msg);
        CALC_Destroy(cc);
        return 1;
    }
    if (CALC_GetResultType(cc) != CALC_BOOLEEN)
        trace("\n[CALC] Warning : Result is not a boolean.");
    *next = conditionHolds(cc) ? l.ifTrue : l.ifFalse;
    CALC_Destroy(cc);
    return 0;
}

// The login name of the user running the program.
std::string loginName() {
    const char* u = getenv("USER");
    if (!u || !*u) u = getenv("LOGNAME");
    std::string s = u ? u : "";
    if (s.size() > static_cast<size_t>(TEMPLATE_LOGIN_MAX)) s.resize(TEMPLATE_LOGIN_MAX);
    return s;
}

}  // namespace

RUNTIME_CTX* RUNTIME_CTX_New(FileDesc* description) {
    auto* ctx = static_cast<RUNTIME_CTX*>(calloc(1, sizeof(RUNTIME_CTX)));
    if (!ctx) return nullptr;
    ctx->stack = PILE_New();
    if (!ctx->stack) {
        trace("\n[RUNTIME_CTX_New] : Unable to alloc Stack with STACK_New.");
        free(ctx);
        return nullptr;
    }
    ctx->description = description;
    return ctx;
}

void RUNTIME_CTX_Destroy(RUNTIME_CTX* ctx) {
    if (!ctx) return;
    while (!PILE_IsEmpty(ctx->stack)) free(PILE_Pop(ctx->stack));
    PILE_Destroy(ctx->stack);
    for (int i = 0; i < ctx->varCount; ++i) {
        free(ctx->variables[i].name);
        if (ctx->variables[i].kind == CALC_CHAINE) free(ctx->variables[i].value.text);
    }
    while (ctx->loops) {
        RUNTIME_LOOP* l = ctx->loops;
        ctx->loops = l->next;
        destroyLoop(l);
    }
    free(ctx);
}

int RUNTIME_FindFunction(const char* name, LINE* lineTab, int count) {
    if (!name || !lineTab) return -2;
    char wanted[256];
    snprintf(wanted, sizeof wanted, "%s", name);
    for (char* p = wanted; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    const bool verbose = tplinternal::detailedTrace();
    char candidate[256];
    for (int i = 0; i < count; ++i) {
        if (lineTab[i].code != TPL_FUNCTION || !lineTab[i].data) continue;
        snprintf(candidate, sizeof candidate, "%s", lineTab[i].data);
        for (char* p = candidate; *p; ++p)
            *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
        if (verbose) trace("\n-%s ?= %s", candidate, wanted);
        if (strcmp(candidate, wanted) == 0) {
            if (verbose) trace("\n[RUNTIME_FindFunction] : %s address locates at @%i", name, i);
            return i;
        }
    }
    return -1;
}

int EvaluateExpression(RUNTIME_CTX* ctx, const char* expression) {
    if (!ctx || !expression) return 1;
    const bool verbose = tplinternal::detailedTrace();
    CalcContext* cc = CALC_Compile(expression);
    if (!cc) return 1;
    if (CALC_Error(cc)) {
        trace("\n[CALC] Compilation error [%s]", expression);
        panel(morvex::PANEL_ERROR, firstMessage(cc, ctx->pc));
        CALC_Destroy(cc);
        return 1;
    }
    while (CalcMessage* m = CALC_ReadMsgNext(cc)) CALC_DestroyMsg(m);
    CALC_SetVarTableEx(cc, ctx->variables, ctx->varCount);
    double value = CALC_Calculate(cc);
    if (verbose) trace("\nRésultat = %g", value);
    if (CALC_Error(cc)) {
        trace("\n[CALC] Evaluation error");
        while (CalcMessage* m = CALC_ReadMsgNext(cc)) CALC_DestroyMsg(m);
        CALC_Destroy(cc);
        return 1;
    }
    CalcVar r;
    CALC_GetResult(&r, cc);
    const char* assign = CALC_GetAssignName(cc);
    if (assign) {
        double number = r.kind == CALC_FLOTTANT ? r.value.number
                        : r.kind == CALC_CHAINE ? 0
                                                : static_cast<double>(r.value.integer);
        if (verbose) trace("\nASSIGN=%s (=%g)", assign, number);
        CalcVar* slot = nullptr;
        for (int i = 0; i < ctx->varCount; ++i)
            if (ctx->variables[i].name && strcmp(ctx->variables[i].name, assign) == 0) {
                slot = &ctx->variables[i];
                if (verbose) trace("\n[EvaluateExpression]:Variable trouvee : %s", assign);
                break;
            }
        if (!slot) {
            if (ctx->varCount >= TEMPLATE_MAX_VARIABLES) {
                morvex::uiPort().messageBox(
                    "Dépassement de capacité",
                    "Dépassement de capacité! Vous avez atteint la limite du nombre de variables "
                    "autorisé. Veuillez réutiliser celles que vous avez déjà utilisées.",
                    morvex::UiButtons::Ok, morvex::UiIcon::Warning);
            } else {
                slot = &ctx->variables[ctx->varCount];
                slot->name = strdup(assign);
                slot->kind = CALC_AUCUN;
                if (slot->name) {
                    ++ctx->varCount;
                    if (verbose) trace("\nAjoute");
                } else {
                    slot = nullptr;
                }
            }
        }
        if (slot) {
            char* text = nullptr;
            if (r.kind == CALC_CHAINE) text = strdup(r.value.text ? r.value.text : "");
            if (slot->kind == CALC_CHAINE) free(slot->value.text);
            slot->kind = r.kind;
            if (r.kind == CALC_CHAINE)
                slot->value.text = text;
            else
                slot->value.number = number;
        }
    }
    CALC_Destroy(cc);
    return 0;
}

void WriteFileHeader(FILE* out, FileDesc* desc) {
    if (!out) return;
    char when[DATE_TEXT_SIZE] = "";
    DATE_GetDateTime(when, 0);
    std::string stars(62, '*');
    fprintf(out, "/*%s\n", stars.c_str());
    fprintf(out, " Fichier généré par Morvex Fylatek\n");
    if (desc) {
        fprintf(out, " Projet : %s\n", desc->ProjectName);
        fprintf(out, " Table : %s\n", desc->TableName);
    }
    fprintf(out, " Généré le : %s\n", when);
    fprintf(out, " Par : %s\n", loginName().c_str());
    fputs(" Description :\n", out);
    int onLine = 0;
    for (const char* p = desc && desc->Description ? desc->Description : ""; *p; ++p) {
        if (*p == ' ' && onLine >= 60) {
            fputc('\n', out);
            onLine = 0;
        }
        fputc(*p, out);
        onLine = *p == '\n' ? 0 : onLine + 1;
    }
    fprintf(out, "\n %s/\n", stars.c_str());
}

namespace {

// One running function: its context, the instructions it runs and where its text goes.
struct Frame {
    RUNTIME_CTX* caller;
    RUNTIME_CTX* ctx;
    LINE* t;
    int count;
    FILE* out;
    std::vector<char> buf = std::vector<char>(TEMPLATE_LINE_MAX + 1);
    ColumnDesc* column = nullptr;
    bool verbose = tplinternal::detailedTrace();

    int size() const { return static_cast<int>(buf.size()); }
    // The instruction's text with its variables replaced, in `buf`.
    void substitute() { CompileString(ctx, column, buf.data(), size(), t, count, out); }
};

// The context of a call of `name`, or nullptr when the call must not run (calls nested too
// deep, a function that does not exist).
RUNTIME_CTX* enterFunction(RUNTIME_CTX* caller, const char* name, LINE* t, int count) {
    tplinternal::RunState& rs = tplinternal::runState();
    if (rs.callDepth >= TEMPLATE_MAX_CALL_DEPTH) {
        if (!rs.aborted)
            panel(morvex::PANEL_ERROR,
                  format("\n(E) Plus de %i appels de fonctions imbriqués (appel de '%s') : "
                         "récursion sans fin ? La génération est arrêtée.",
                         TEMPLATE_MAX_CALL_DEPTH, name));
        rs.aborted = true;
        return nullptr;
    }
    RUNTIME_CTX* ctx = RUNTIME_CTX_New(caller->description);
    if (!ctx) return nullptr;
    snprintf(ctx->targetDirectory, sizeof ctx->targetDirectory, "%s", caller->targetDirectory);
    trace("\n[TEMPLATE_ExecuteFunction] Processing execution...");
    ctx->pc = RUNTIME_FindFunction(name, t, count);
    if (ctx->pc < 0) {
        trace(
            "\n[TEMPLATE_ExecuteFunction] RUNTIME_FindFunction a renvoye la valeur %i (la "
            "fonction a appeler '%s' n'a pas ete trouvee).",
            ctx->pc, name);
        RUNTIME_CTX_Destroy(ctx);
        return nullptr;
    }
    return ctx;
}

// Counts one instruction against the generation's budget: false once it is spent (told once).
bool withinBudget() {
    tplinternal::RunState& rs = tplinternal::runState();
    const long long limit = tplinternal::instructionLimit();
    if (limit > 0 && ++rs.executed > limit) {
        panel(morvex::PANEL_ERROR,
              format("\n(E) Plus de %lli instructions exécutées : la génération est arrêtée.",
                     limit));
        rs.aborted = true;
        return false;
    }
    if (limit <= 0) ++rs.executed;
    return true;
}

// %error, %warning, %info and their message-box forms.
void runMessage(Frame& f, const LINE& l) {
    f.substitute();
    const char* said = f.buf.data();
    std::string text = said;
    if (l.code == TPL_ERROR || l.code == TPL_MSGBOX_ERROR)
        text = format("\nRaise error at line %i : %s", f.ctx->pc, said);
    else if (l.code == TPL_WARNING || l.code == TPL_MSGBOX_WARNING)
        text = format("\nWarning at line %i : %s", f.ctx->pc, said);
    switch (l.code) {
        case TPL_ERROR:
            panel(morvex::PANEL_ERROR, text);
            break;
        case TPL_WARNING:
            panel(morvex::PANEL_WARNING, text);
            break;
        case TPL_INFO:
            panel(morvex::PANEL_INFO, text);
            break;
        case TPL_MSGBOX_ERROR:
            morvex::uiPort().messageBox("Erreur", text, morvex::UiButtons::Ok,
                                        morvex::UiIcon::Error);
            break;
        case TPL_MSGBOX_WARNING:
            morvex::uiPort().messageBox("Attention!", text, morvex::UiButtons::Ok,
                                        morvex::UiIcon::Warning);
            break;
        default:
            morvex::uiPort().messageBox("Information", text, morvex::UiButtons::Ok,
                                        morvex::UiIcon::Info);
            break;
    }
}

// Receives a parameter pushed by the caller into the variable the instruction names.
void runPop(Frame& f, const LINE& l) {
    char* top = static_cast<char*>(PILE_Pop(f.caller->stack));
    const char* var = l.data ? l.data : "";
    if (!top) {
        // An inline call pushes no return address: nothing to receive then.
        if (strcmp(var, "returnAddress") == 0) {
            if (f.verbose) trace("\nINST_STACKPOP : (pile vide) %s", var);
        } else {
            panel(morvex::PANEL_ERROR,
                  format("\n(E) Ligne %i : pile vide, le paramètre '%s' n'a pas été reçu.",
                         f.ctx->pc, var));
        }
        return;
    }
    if (f.verbose) trace("\nINST_STACKPOP : %s", top);
    if (*top) {
        // The argument was substituted when it was pushed: what its values hold is never read
        // again as template text.
        std::string expr = format("%s=%s", var, top);
        if (expr.size() >= f.buf.size()) expr.resize(f.buf.size() - 1);
        memcpy(f.buf.data(), expr.c_str(), expr.size() + 1);
        EvaluateExpression(f.ctx, f.buf.data());
        if (f.verbose) trace("\n[INST_STACKPOP] After EvaluateExpression");
    }
    free(top);
}

// Pushes the substituted text onto the caller's stack (a parameter, or the value returned).
void pushToCaller(Frame& f) {
    char* copy = strdup(f.buf.data());
    if (copy && !PILE_Push(f.caller->stack, copy)) free(copy);
}

void runOpenDescription(Frame& f, const LINE& l) {
    FileDesc* opened = FILEDESC_OpenFileDesc(l.data ? l.data : "");
    if (!opened) {
        panel(morvex::PANEL_NOTICE,
              format("ERREUR : Ligne %i, impossible d'ouvrir la description [%s]", f.ctx->pc,
                     l.data ? l.data : ""));
        return;
    }
    morvex::uiPort().openDescription(opened);
    morvex::uiPort().refresh(morvex::UiRefresh::ColumnList);
}

// Runs the instruction at the frame's pc: -1 to go on at *next, else the function's result.
int runInstruction(Frame& f, const LINE& l, int* next) {
    RUNTIME_CTX* ctx = f.ctx;
    char* text = f.buf.data();
    switch (l.code) {
        case TPL_TEXT:
            f.substitute();
            put(f.out, text);
            break;
        case TPL_WRITE:
        case TPL_WRITELN:
            removeLineFeeds(text);
            f.substitute();
            put(f.out, text);
            if (l.code == TPL_WRITELN) put(f.out, "\n");
            break;
        case TPL_KEEP:
            put(f.out, l.data ? l.data : "");
            break;
        case TPL_ALIGN:
            f.substitute();
            runAlign(text, f.out, ctx->pc);
            break;
        case TPL_APPLICATIONHEADER:
            WriteFileHeader(f.out, ctx->description);
            break;
        case TPL_EVALUATE:
            f.substitute();
            EvaluateExpression(ctx, text);
            break;
        case TPL_FOR_EACH_COLUMN:
        case TPL_FOR_EACH_INDEX:
        case TPL_FOR_EACH_IDX_COLUMN:
        case TPL_FOR_EACH_PK_COLUMN:
        case TPL_FOR_EACH_DATAFILE_ROW:
            *next = runLoop(ctx, f.t, &f.column);
            break;
        case TPL_IF:
        case TPL_ELSEIF:
            f.substitute();
            if (runCondition(ctx, l, text, next) != 0) return 1;
            break;
        case TPL_END:
            if (l.ifTrue == -1) return 0;
            *next = l.ifTrue;
            break;
        case TPL_EXIT:
            return 0;
        case TPL_ERROR:
        case TPL_MSGBOX_ERROR:
        case TPL_WARNING:
        case TPL_MSGBOX_WARNING:
        case TPL_INFO:
        case TPL_MSGBOX_INFO:
            runMessage(f, l);
            break;
        case TPL_EXECSYSTEM:
            tplinternal::runExecSystem(ctx, l, f.column, f.t, f.count, f.out);
            break;
        case TPL_PUSH:
            f.substitute();
            if (f.verbose) trace("\nINST_STACKPUSH : %s", text);
            pushToCaller(f);
            break;
        case TPL_POP:
            runPop(f, l);
            break;
        case TPL_CALL:
            trace("\n[execute] Call function %s", l.data ? l.data : "");
            TEMPLATE_ExecuteFunction(f.caller, l.data ? l.data : "", f.t, f.count, f.out);
            break;
        case TPL_TEMPLATE_GENERATE: {
            char produced[TEMPLATE_PATH_MAX * 2 + 2] = "";
            TEMPLATE_Generate(f.caller->description, l.data, f.caller->targetDirectory, produced,
                              sizeof produced);
            break;
        }
        case TPL_FILEDESC_OPEN:
            runOpenDescription(f, l);
            break;
        case TPL_RETURN:
            f.substitute();
            pushToCaller(f);
            return 0;
        default:
            break;
    }
    return -1;
}

}  // namespace

int TEMPLATE_ExecuteFunction(RUNTIME_CTX* caller, const char* name, LINE* t, int count, FILE* out) {
    if (!caller || !name || !t) return 1;
    RUNTIME_CTX* ctx = enterFunction(caller, name, t, count);
    if (!ctx) return 1;
    tplinternal::RunState& rs = tplinternal::runState();
    ++rs.callDepth;
    Frame f{caller, ctx, t, count, out};
    int result = -1;
    while (result < 0) {
        if (ctx->pc < 0 || ctx->pc >= count) {
            trace("\nTerminated");
            result = 0;
            break;
        }
        if (tplinternal::mustStop() || !withinBudget()) {
            result = 1;
            break;
        }
        const LINE& l = t[ctx->pc];
        load(f.buf, l.data);
        if (f.verbose)
            trace("\n[TEMPLATE_ExecuteFunction][sl:%.3i][%.3i][inst=%i][data=%s]", l.line, ctx->pc,
                  l.code, f.buf.data());
        int next = ctx->pc + 1;
        result = runInstruction(f, l, &next);
        if (result < 0) ctx->pc = next;
    }
    --rs.callDepth;
    RUNTIME_CTX_Destroy(ctx);
    return result;
}

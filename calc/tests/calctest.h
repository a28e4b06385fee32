// Helpers shared by the engine's tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "calc/calc.h"
#include "calc/calcint.h"
#include "foundation/trace.h"
#include "foundation/tree.h"

namespace calctest {

// A message as the tests compare it.
struct Msg {
    int kind;
    int code;
    int position;
    std::string text;
    bool operator==(const Msg&) const = default;
};

inline std::vector<Msg> drain(CalcContext* ctx) {
    std::vector<Msg> out;
    while (CalcMessage* m = CALC_ReadMsgNext(ctx)) {
        out.push_back({m->kind, m->code, m->position, m->text});
        CALC_DestroyMsg(m);
    }
    return out;
}

// The messages of a kind, texts only.
inline std::vector<std::string> texts(const std::vector<Msg>& msgs, int kind) {
    std::vector<std::string> out;
    for (const Msg& m : msgs)
        if (m.kind == kind) out.push_back(m.text);
    return out;
}

// The tree written with every operation in parentheses: "((2 * 3) + 4)".
inline std::string render(TREE_NODE* node) {
    if (!node) return "_";
    const CalcTerm* t = static_cast<const CalcTerm*>(node->userData);
    char buf[64];
    switch (t->kind) {
        case CALC_OPERANDE:
            if (t->operandKind == CALC_CHAINE) return std::string("\"") + t->value.text + "\"";
            snprintf(buf, sizeof buf, "%g", t->value.number);
            return buf;
        case CALC_REFERENCE:
            return t->name;
        case CALC_FONCTION: {
            std::string s = std::string(t->name) + "(";
            if (t->argCount >= 2) s += render(node->left) + ", ";
            if (t->argCount >= 1) s += render(node->right);
            return s + ")";
        }
        case CALC_OPERATEUR:
            if (t->op == CALC_OP_NEGATION) return "(-" + render(node->right) + ")";
            if (t->op == CALC_OP_NON) return "(!" + render(node->right) + ")";
            return "(" + render(node->left) + " " + CalcOperatorText(t->op) + " " +
                   render(node->right) + ")";
        default:
            return "?";
    }
}

// Compiles `text` and renders its (last) tree; "ERROR" on a syntax error.
inline std::string grouping(const char* text) {
    morvex::TraceCapture quiet;
    CalcContext* ctx = CALC_Compile(text);
    std::string out = CALC_Error(ctx) ? "ERROR" : render(ctx->tree ? ctx->tree->root : nullptr);
    CALC_Destroy(ctx);
    return out;
}

// Outcome of one compilation and evaluation with an optional lent table.
struct Outcome {
    bool syntaxError = false;
    bool runtimeError = false;
    int kind = 0;
    double value = 0;        // what CALC_Calculate returned
    CalcVar result{};        // CALC_GetResult
    std::string text;        // CHAINE result
    std::string assignName;  // CALC_GetAssignName
    std::vector<Msg> compileMsgs;
    std::vector<Msg> runMsgs;
};

inline Outcome calc(const char* text, CalcVar* vars = nullptr, int count = 0,
                    CalcFunc* funcs = nullptr, int funcCount = 0) {
    Outcome o;
    morvex::TraceCapture quiet;
    CalcContext* ctx = CALC_Compile(text);
    o.compileMsgs = drain(ctx);
    if (CALC_Error(ctx)) {
        o.syntaxError = true;
        CALC_Destroy(ctx);
        return o;
    }
    if (vars) CALC_SetVarTableEx(ctx, vars, count);
    if (funcs) CALC_SetExtFuncTable(ctx, funcs, funcCount);
    o.value = CALC_Calculate(ctx);
    o.kind = CALC_GetResultType(ctx);
    CALC_GetResult(&o.result, ctx);
    if (o.kind == CALC_CHAINE) o.text = o.result.value.text;
    o.runtimeError = CALC_Error(ctx) != 0;
    o.runMsgs = drain(ctx);
    if (CALC_GetAssignName(ctx)) o.assignName = CALC_GetAssignName(ctx);
    CALC_Destroy(ctx);
    return o;
}

}  // namespace calctest

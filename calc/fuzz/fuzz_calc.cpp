// libFuzzer target: compiles arbitrary bytes as an expression, evaluates it against a small
// variable and function table, lists it, and releases everything.
// Build with -DMORVEX_FUZZ=ON (clang); run with calc/fuzz/corpus as the seed corpus.
#include <cstdint>
#include <cstdio>
#include <string>

#include "calc/calc.h"
#include "foundation/trace.h"

namespace {

double Hypot(double a, double b) {
    return a * a + b * b;
}
double Three() {
    return 3;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace would dominate the run time; send it nowhere.
    static FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CalcContext* ctx = CALC_Compile(text.c_str());
    if (!ctx) return 0;
    while (CalcMessage* msg = CALC_ReadMsgNext(ctx)) CALC_DestroyMsg(msg);
    if (!CALC_Error(ctx)) {
        // Half of the inputs run with the compiler's own tables, half with lent ones.
        if (size % 2) {
            static char kText[] = "texte";
            CalcVar vars[4] = {};
            vars[0] = {const_cast<char*>("x"), CALC_ENTIER, {}};
            vars[0].value.number = 2;
            vars[1] = {const_cast<char*>("y"), CALC_FLOTTANT, {}};
            vars[1].value.number = -1.5;
            vars[2] = {const_cast<char*>("s"), CALC_CHAINE, {}};
            vars[2].value.text = kText;
            vars[3] = {const_cast<char*>("h"), CALC_HEXADECIMAL, {}};
            vars[3].value.number = -1;
            CalcFunc funcs[3] = {
                {const_cast<char*>("hyp"), reinterpret_cast<CalcFunction>(&Hypot), 2},
                {const_cast<char*>("three"), reinterpret_cast<CalcFunction>(&Three), 0},
                {const_cast<char*>("nul"), nullptr, 1},
            };
            CALC_SetVarTableEx(ctx, vars, 4);
            CALC_SetExtFuncTable(ctx, funcs, 3);
            CALC_Calculate(ctx);
            CalcVar result;
            CALC_GetResult(&result, ctx);
            if (result.kind == CALC_CHAINE && result.value.text)
                (void)std::string(result.value.text);
            CALC_GenererByteCode(ctx);
            CALC_Calculate(ctx);
            while (CalcMessage* msg = CALC_ReadMsgNext(ctx)) CALC_DestroyMsg(msg);
            CALC_Destroy(ctx);  // before the tables on this stack frame go
            return 0;
        }
        CALC_Calculate(ctx);
        CalcVar result;
        CALC_GetResult(&result, ctx);
        if (result.kind == CALC_CHAINE && result.value.text) (void)std::string(result.value.text);
        while (CalcMessage* msg = CALC_ReadMsgNext(ctx)) CALC_DestroyMsg(msg);
    }
    CALC_Destroy(ctx);
    return 0;
}

// Compiling and evaluating the conditions a template typically holds.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "calc/calc.h"
#include "foundation/trace.h"

namespace {

// The trace (a repeated variable is traced at every compilation) goes nowhere.
const bool kQuietTrace = [] {
    if (FILE* sink = fopen("/dev/null", "w")) morvex::traceSetStream(sink);
    return true;
}();

// The whole life of one condition: compile, drain the messages, evaluate, release.
void CompileAndCalculate(benchmark::State& state, const char* text) {
    for (auto _ : state) {
        CalcContext* ctx = CALC_Compile(text);
        while (CalcMessage* msg = CALC_ReadMsgNext(ctx)) CALC_DestroyMsg(msg);
        double value = CALC_Calculate(ctx);
        benchmark::DoNotOptimize(value);
        CALC_Destroy(ctx);
    }
}

void TemplateCondition(benchmark::State& state) {
    CompileAndCalculate(state, "\"ID\" == \"ID\" && 3 > 2");
}
BENCHMARK(TemplateCondition);

void ArithmeticWithFunctions(benchmark::State& state) {
    CompileAndCalculate(state, "ma_valeur = 12*-1+(2*3*(2-1)+sin(12))*(2%1.2G)");
}
BENCHMARK(ArithmeticWithFunctions);

// Evaluation alone, with a lent variable table.
void EvaluateOnly(benchmark::State& state) {
    CalcContext* ctx = CALC_Compile("x * 2 + y > 10 && x != y");
    CalcVar vars[2] = {{const_cast<char*>("x"), CALC_ENTIER, {}},
                       {const_cast<char*>("y"), CALC_FLOTTANT, {}}};
    vars[0].value.number = 4;
    vars[1].value.number = 3.5;
    CALC_SetVarTableEx(ctx, vars, 2);
    for (auto _ : state) benchmark::DoNotOptimize(CALC_Calculate(ctx));
    CALC_Destroy(ctx);
}
BENCHMARK(EvaluateOnly);

}  // namespace

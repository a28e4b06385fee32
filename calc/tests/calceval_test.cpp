#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "calc/tests/calctest.h"
#include "foundation/trace.h"

using calctest::calc;
using calctest::Msg;
using calctest::Outcome;

namespace {

CalcVar numberVar(const char* name, int kind, double value) {
    CalcVar v{};
    v.name = const_cast<char*>(name);
    v.kind = kind;
    v.value.number = value;
    return v;
}

CalcVar textVar(const char* name, const char* text) {
    CalcVar v{};
    v.name = const_cast<char*>(name);
    v.kind = CALC_CHAINE;
    v.value.text = const_cast<char*>(text);
    return v;
}

std::vector<std::string> runtimeErrors(const Outcome& o) {
    return calctest::texts(o.runMsgs, CALC_MSG_RUNTIME_ERROR);
}

TEST(CalcEvaluation, GivesTheResultKindOfEachOperator) {
    const struct {
        const char* text;
        int kind;
        double value;
    } cases[] = {
        {"7/2", CALC_FLOTTANT, 3.5},
        {"8/2", CALC_ENTIER, 4},
        {"3.0/1.5", CALC_ENTIER, 2},
        {"2^10", CALC_FLOTTANT, 1024},
        {"sqrt(16)", CALC_FLOTTANT, 4},
        {"2*3", CALC_ENTIER, 6},
        {"2*1.5", CALC_FLOTTANT, 3},
        {"(1==1)+1", CALC_ENTIER, 2},
        {"0x10+1", CALC_FLOTTANT, 17},
        {"7%4", CALC_ENTIER, 3},
        {"7.5%2", CALC_ENTIER, 1.5},
        {"-(0x10)", CALC_HEXADECIMAL, -16},
        {"!0", CALC_ENTIER, 1},
        {"!(1==1)", CALC_BOOLEEN, 0},
        {"3 > 2", CALC_BOOLEEN, 1},
        {"3 >= 3", CALC_BOOLEEN, 1},
        {"3 <= 2", CALC_BOOLEEN, 0},
        {"3 < 2", CALC_BOOLEEN, 0},
        {"3 != 2", CALC_BOOLEEN, 1},
        {"5 & 3", CALC_ENTIER, 1},
        {"5 | 3", CALC_ENTIER, 7},
        {"0b101 & 0xFF", CALC_BINAIRE, 5},
        {"0x0F | 0x30", CALC_HEXADECIMAL, 0x3F},
        {"(1==1) && (2>1)", CALC_BOOLEEN, 1},
        {"(1==2) || (2>1)", CALC_BOOLEEN, 1},
        {"(1==2) && (2>1)", CALC_BOOLEEN, 0},
        {"8-2+1", CALC_ENTIER, 5},  // 8-(2+1)
        {"7%4+1", CALC_ENTIER, 2},  // 7%(4+1)
        {"2*-3", CALC_ENTIER, -6},
        {"sin(1)^2+cos(1)^2", CALC_FLOTTANT, 1},
        {"ma_valeur = 12*-1+(2*3*(2-1)+sin(12))*(2%1.2G)", CALC_FLOTTANT,
         -12 + (6 + std::sin(12.0)) * 2},
    };
    for (const auto& c : cases) {
        Outcome o = calc(c.text);
        ASSERT_FALSE(o.syntaxError) << c.text;
        EXPECT_FALSE(o.runtimeError) << c.text;
        EXPECT_EQ(o.kind, c.kind) << c.text;
        EXPECT_NEAR(o.value, c.value, 1e-12) << c.text;
    }
}

TEST(CalcEvaluation, JoinsAndComparesTexts) {
    Outcome join = calc("\"ab\" + \"cd\"");
    EXPECT_EQ(join.kind, CALC_CHAINE);
    EXPECT_EQ(join.text, "abcd");
    EXPECT_EQ(calc("\"ab\" == \"ab\"").result.value.integer, 1);
    EXPECT_EQ(calc("\"ab\" == \"aB\"").result.value.integer, 0);
    EXPECT_EQ(calc("\"ab\" != \"aB\"").result.value.integer, 1);
    Outcome condition = calc("\"ID\" == \"ID\" && 3 > 2");
    EXPECT_EQ(condition.kind, CALC_BOOLEEN);
    EXPECT_EQ(condition.result.value.integer, 1);
}

TEST(CalcEvaluation, ReportsEachForbiddenOperandKind) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"\"a\" * 2", "Type 'chaîne' interdit pour l'opération de multiplication."},
        {"\"a\" / 2", "Type 'chaîne' interdit pour l'opération de division."},
        {"\"a\" - \"b\"", "Type 'chaîne' interdit pour l'opération de soustraction."},
        {"!\"a\"", "Type 'chaîne' interdit pour l'opérateur 'NON binaire'."},
        {"\"a\" > 1", "Type 'chaîne' interdit pour l'opérateur 'supérieur à'."},
        {"\"a\" < 1", "Type 'chaîne' interdit pour l'opérateur 'inférieur à'."},
        {"\"a\" >= 1", "Type 'chaîne' interdit pour l'opérateur 'supérieur ou égal à'."},
        {"\"a\" <= 1", "Type 'chaîne' interdit pour l'opérateur 'inférieur ou égal à'."},
        // Mixed text and number where the operator has no check of its own.
        {"\"a\" + 1", "Types incompatibles"},
        {"1 == \"a\"", "Types incompatibles"},
        {"\"a\" != 1", "Types incompatibles"},
        {"\"a\" % 2", "Types incompatibles"},
        {"\"a\" ^ 2", "Types incompatibles"},
        {"-\"a\"", "Types incompatibles"},
        {"\"a\" & 1", "Types incompatibles"},
        {"\"a\" | 1", "Types incompatibles"},
        {"sqrt(\"a\")", "Types incompatibles"},
        // Bit and logical operators check their operand kinds too.
        {"5 & 1.5", "Types incompatibles"},
        {"1 && 1", "Types incompatibles (L=2, R=2) : type booléen attendu"},
        {"1.5 || (1==1)", "Types incompatibles (L=1, R=3)"},
    };
    for (const auto& c : cases) {
        Outcome o = calc(c.text);
        ASSERT_FALSE(o.syntaxError) << c.text;
        EXPECT_TRUE(o.runtimeError) << c.text;
        EXPECT_EQ(runtimeErrors(o), std::vector<std::string>{c.message}) << c.text;
        EXPECT_EQ(o.kind, 0) << c.text;
    }
}

TEST(CalcEvaluation, ReportsDivisionAndRemainderByZero) {
    Outcome div = calc("8/0");
    EXPECT_TRUE(div.runtimeError);
    EXPECT_EQ(
        div.runMsgs,
        (std::vector<Msg>{{CALC_MSG_RUNTIME_ERROR, -1, 0, "RUNTIME ERROR : Division par 0"}}));
    Outcome mod = calc("8%0");
    EXPECT_TRUE(mod.runtimeError);
    EXPECT_EQ(runtimeErrors(mod), std::vector<std::string>{"RUNTIME ERROR : Modulo par 0"});
    // A divisor that is 0 in single precision is a division by 0 as well.
    EXPECT_TRUE(calc("8%1e-50").runtimeError);
}

// A result that is no number or beyond the double range is an error as a division by 0 is,
// told once where it is made, never a "nan" or "inf" result.
TEST(CalcEvaluation, ReportsResultsThatAreNoNumberOrInfiniteAsErrors) {
    const std::string nan = "RUNTIME ERROR : Résultat indéfini (NaN)";
    const std::string inf = "RUNTIME ERROR : Dépassement de capacité (résultat infini)";
    const struct {
        const char* text;
        std::vector<std::string> errors;
    } cases[] = {
        {"sqrt(-1)", {nan}},
        {"log(-1)", {nan}},
        {"log(0)", {inf}},
        {"1e308*10", {inf}},
        {"-1e308*10", {inf}},
        {"10^400", {inf}},
        {"(-8)^0.5", {nan}},
        {"exp(1000)", {inf}},
        {"1e999", {inf}},
        {"1e308*10 + sqrt(-1) * 2", {nan, inf}},
        {"(1e308*10) * 2 - 1", {inf}},
    };
    for (const auto& c : cases) {
        Outcome o = calc(c.text);
        EXPECT_TRUE(o.runtimeError) << c.text;
        EXPECT_EQ(runtimeErrors(o), c.errors) << c.text;
        EXPECT_TRUE(std::isfinite(o.value)) << c.text;
    }
    // Large finite results stay results.
    Outcome big = calc("1e308*1.5");
    EXPECT_FALSE(big.runtimeError);
    EXPECT_DOUBLE_EQ(big.value, 1.5e308);
}

TEST(CalcEvaluation, EvaluatesBothOperandsRightFirstAndGoesOnAfterAnError) {
    Outcome o = calc("(1/0) + (\"a\" * 2)");
    EXPECT_EQ(runtimeErrors(o), (std::vector<std::string>{
                                    "Type 'chaîne' interdit pour l'opération de multiplication.",
                                    "RUNTIME ERROR : Division par 0"}));
    // No short cut: the right operand of && is evaluated even when the left one is false.
    Outcome noShortCut = calc("(1==2) && (1/0 == 1)");
    EXPECT_EQ(runtimeErrors(noShortCut).at(0), "RUNTIME ERROR : Division par 0");
}

TEST(CalcVariables, ReadsTheLentTable) {
    CalcVar vars[] = {numberVar("x", CALC_ENTIER, 2), numberVar("pi", CALC_FLOTTANT, 3.25),
                      textVar("nom", "ID"), numberVar("x", CALC_ENTIER, 99)};
    Outcome o = calc("x * 10 + pi", vars, 4);
    EXPECT_FALSE(o.runtimeError);
    EXPECT_EQ(o.kind, CALC_FLOTTANT);
    EXPECT_DOUBLE_EQ(o.value, 23.25);  // the first "x" of the table
    Outcome text = calc("nom + \"_KEY\"", vars, 4);
    EXPECT_EQ(text.text, "ID_KEY");
    Outcome cmp = calc("nom == \"ID\"", vars, 4);
    EXPECT_EQ(cmp.result.value.integer, 1);
}

TEST(CalcVariables, ReportsMissingAndUnsetVariables) {
    CalcVar vars[] = {numberVar("x", CALC_ENTIER, 2)};
    Outcome missing = calc("y + 1", vars, 1);
    EXPECT_TRUE(missing.runtimeError);
    EXPECT_EQ(runtimeErrors(missing),
              std::vector<std::string>{"La variable 'y' n'est pas référencée."});
    // Without a lent table, the compiler's own table holds NaN: reported, the sum goes on.
    Outcome unset = calc("z + 1");
    EXPECT_TRUE(unset.runtimeError);
    EXPECT_EQ(runtimeErrors(unset),
              std::vector<std::string>{
                  "La variable 'z' est référencée mais sa valeur est invalide (NAN)."});
    EXPECT_TRUE(std::isnan(unset.value));
    // Long names are cut to 127 bytes in these messages.
    std::string name(200, 'n');
    Outcome longName = calc(name.c_str(), vars, 1);
    EXPECT_EQ(runtimeErrors(longName).at(0).size(), 127u);
}

TEST(CalcVariables, SeesAnEarlierStatementAssignmentInTheSameText) {
    CalcVar vars[] = {numberVar("x", CALC_ENTIER, 100)};
    Outcome o = calc("x = 2; y = x * 3", vars, 1);
    EXPECT_FALSE(o.runtimeError);
    EXPECT_EQ(o.assignName, "y");
    EXPECT_DOUBLE_EQ(o.value, 6);
    Outcome table = calc("y = x * 3; x = 2", vars, 1);
    EXPECT_EQ(table.assignName, "x");
    EXPECT_DOUBLE_EQ(table.value, 2);
    Outcome last = calc("x = 5; x + 1", vars, 1);
    EXPECT_EQ(last.assignName, "");
    EXPECT_DOUBLE_EQ(last.value, 6);
}

TEST(CalcVariables, FindsTheNewTableAfterTheTableChanges) {
    CalcVar first[] = {numberVar("x", CALC_ENTIER, 1)};
    CalcVar second[] = {numberVar("x", CALC_ENTIER, 41)};
    CalcContext* ctx = CALC_Compile("x + 1");
    CALC_SetVarTableEx(ctx, first, 1);
    EXPECT_DOUBLE_EQ(CALC_Calculate(ctx), 2);
    CALC_SetVarTableEx(ctx, second, 1);
    EXPECT_DOUBLE_EQ(CALC_Calculate(ctx), 42);
    CalcVarTable pair;
    EXPECT_EQ(CALC_GetVarTableEx(ctx, &pair), 1);
    EXPECT_EQ(pair.table, second);
    EXPECT_EQ(ctx->varTableOwned, CALC_TABLE_LENT);
    CALC_Destroy(ctx);
    EXPECT_EQ(second[0].value.number, 41);  // a lent table stays the caller's
}

double twice(double x) {
    return 2 * x;
}
double minus(double a, double b) {
    return a - b;
}
double seven() {
    return 7;
}

TEST(CalcFunctions, CallsInternalAndSuppliedFunctions) {
    CalcFunc funcs[] = {{const_cast<char*>("twice"), reinterpret_cast<CalcFunction>(&twice), 1},
                        {const_cast<char*>("minus"), reinterpret_cast<CalcFunction>(&minus), 2},
                        {const_cast<char*>("seven"), reinterpret_cast<CalcFunction>(&seven), 0}};
    Outcome one = calc("twice(4) + 1", nullptr, 0, funcs, 3);
    EXPECT_DOUBLE_EQ(one.value, 9);
    EXPECT_EQ(calc("twice(4)", nullptr, 0, funcs, 3).kind, CALC_FLOTTANT);
    // Both arguments reach the function, in written order.
    EXPECT_DOUBLE_EQ(calc("minus(10, 3)", nullptr, 0, funcs, 3).value, 7);
    EXPECT_DOUBLE_EQ(calc("minus(2*5, 1+2) * 2", nullptr, 0, funcs, 3).value, 14);
    EXPECT_DOUBLE_EQ(calc("seven() + 1", nullptr, 0, funcs, 3).value, 8);
    Outcome wrongCount = calc("minus(1)", nullptr, 0, funcs, 3);
    EXPECT_EQ(
        wrongCount.runMsgs,
        (std::vector<Msg>{{CALC_MSG_RUNTIME_ERROR, 1, 0,
                           "La fonction 'minus' attendait 2 parametre(s), elle en a reçu 1"}}));
    EXPECT_TRUE(calc("minus(1,2,3)", nullptr, 0, funcs, 3).runtimeError);
}

TEST(CalcFunctions, ReportsCallsThatCannotBeMade) {
    Outcome sqrt2 = calc("sqrt(4, 9)");
    EXPECT_EQ(
        sqrt2.runMsgs,
        (std::vector<Msg>{{CALC_MSG_RUNTIME_ERROR, 1, 0,
                           "La fonction 'sqrt' attendait 1 parametre(s), elle en a reçu 2"}}));
    Outcome null = calc("f(1)");
    EXPECT_EQ(null.runMsgs, (std::vector<Msg>{{CALC_MSG_RUNTIME_ERROR, 1, 0,
                                               "La fonction 'f' n'est pas référencée. Le pointeur "
                                               "sur la fonction est NULL."}}));
    CalcFunc none[1] = {};
    Outcome unknown = calc("g(2, 3)", nullptr, 0, none, 0);
    EXPECT_EQ(
        unknown.runMsgs,
        (std::vector<Msg>{{CALC_MSG_RUNTIME_ERROR, -1, 0,
                           "RUNTIME ERROR : Fonction 'g' inconnue (2 param) [val1=3, val2=2]"}}));
}

TEST(CalcFunctions, AnswersHelpWithTheBanner) {
    CalcFunc none[1] = {};
    Outcome help = calc("help()", nullptr, 0, none, 0);
    EXPECT_FALSE(help.runtimeError);
    ASSERT_EQ(help.runMsgs.size(), 1u);
    EXPECT_EQ(help.runMsgs[0].kind, CALC_MSG_INFO);
    EXPECT_EQ(help.runMsgs[0].code, -1);
    EXPECT_EQ(
        help.runMsgs[0].text.rfind("CALCUL - version 2.0.0 (build 581 Jun 21 2014 10:57:02)", 0),
        0u);
}

TEST(CalcFunctions, ReportsAGoodCallOnlyOnceWhenEvaluatedAgain) {
    CalcContext* ctx = CALC_Compile("sqrt(4, 9) + sqrt(9)");
    calctest::drain(ctx);
    CALC_Calculate(ctx);
    EXPECT_EQ(calctest::drain(ctx).size(), 1u);
    CALC_Calculate(ctx);  // the faulty call is checked again, never called with 2 arguments
    EXPECT_EQ(calctest::drain(ctx).size(), 1u);
    EXPECT_EQ(CALC_Error(ctx), 1);
    CALC_Destroy(ctx);
}

TEST(CalcResult, CutsIntegerKindsToInt32) {
    EXPECT_EQ(calc("0b101").result.value.integer, 5);
    EXPECT_EQ(calc("7/2*2").result.kind, CALC_FLOTTANT);
    Outcome big = calc("3000000000*1");
    EXPECT_EQ(big.kind, CALC_ENTIER);
    EXPECT_DOUBLE_EQ(big.value, 3e9);
    EXPECT_EQ(big.result.value.integer, INT32_MIN);
    EXPECT_EQ(calc("2.9").result.value.number, 2.9);
    EXPECT_EQ(calc("-7/7").result.value.integer, -1);
}

TEST(CalcResult, KeepsATextResultIndependentOfTheLentTable) {
    char* owned = strdup("valeur");
    CalcVar vars[] = {textVar("s", owned)};
    CalcContext* ctx = CALC_Compile("s");
    CALC_SetVarTableEx(ctx, vars, 1);
    CALC_Calculate(ctx);
    CalcVar result;
    CALC_GetResult(&result, ctx);
    free(owned);  // the caller replaces its variable: the result stays readable
    EXPECT_STREQ(result.value.text, "valeur");
    CALC_Destroy(ctx);
}

TEST(CalcInterface, AnswersNeutralValuesWithoutAContext) {
    EXPECT_EQ(CALC_Compile(nullptr), nullptr);
    EXPECT_EQ(CALC_Calculate(nullptr), 0);
    CalcVar r;
    r.kind = 9;
    CALC_GetResult(&r, nullptr);
    EXPECT_EQ(r.kind, 0);
    EXPECT_EQ(CALC_GetResultType(nullptr), 0);
    EXPECT_EQ(CALC_GetAssignName(nullptr), nullptr);
    EXPECT_EQ(CALC_Error(nullptr), 1);
    EXPECT_EQ(CALC_ReadMsgNext(nullptr), nullptr);
    EXPECT_EQ(CALC_SetVarTableEx(nullptr, nullptr, 0), 1);
    EXPECT_EQ(CALC_SetExtFuncTable(nullptr, nullptr, 0), 1);
    CalcVarTable vt{3, reinterpret_cast<CalcVar*>(&r)};
    EXPECT_EQ(CALC_GetVarTableEx(nullptr, &vt), 0);
    EXPECT_EQ(vt.table, nullptr);
    EXPECT_EQ(CALC_GetVarTable(), 0);
    EXPECT_EQ(CALC_Destroy(nullptr), 0);
}

TEST(CalcInterface, DoesNotEvaluateATextThatFailedToCompile) {
    CalcContext* ctx = CALC_Compile("1 +* 2");
    EXPECT_EQ(CALC_Error(ctx), 1);
    EXPECT_EQ(ctx->status, CALC_STATUS_SYNTAX_ERROR);
    EXPECT_EQ(CALC_Calculate(ctx), 0);
    EXPECT_EQ(ctx->status, CALC_STATUS_SYNTAX_ERROR);
    CALC_Destroy(ctx);
}

// The version record itself is seen through the help banner.
TEST(CalcInterface, NamesMessageKinds) {
    EXPECT_STREQ(CALC_MessageKindName(0), "INCONNU");
    EXPECT_STREQ(CALC_MessageKindName(4), "SYNTAX_ERROR");
    EXPECT_STREQ(CALC_MessageKindName(5), "RUNTIME_ERROR");
    EXPECT_STREQ(CALC_MessageKindName(42), "INCONNU");
}

TEST(CalcInterface, DestroysAHeapVariable) {
    CalcVar* v = static_cast<CalcVar*>(malloc(sizeof(CalcVar)));
    v->name = nullptr;
    v->kind = CALC_CHAINE;
    v->value.text = strdup("texte");
    CALC_DestroyCalcVarEx(v);  // leak-checked under the sanitizers
    CALC_DestroyCalcVarEx(nullptr);
}

TEST(CalcDiagnostics, ListsTheTreeAsAStackMachine) {
    CalcVar vars[] = {numberVar("x", CALC_ENTIER, 2)};
    CalcContext* ctx = CALC_Compile("(x + 1.5) * 2 - sqrt(4) / 3 % 2");
    CALC_SetVarTableEx(ctx, vars, 1);
    morvex::TraceCapture capture;
    CALC_GenererByteCode(ctx);
    EXPECT_EQ(capture.text(),
              "\n ** CALC_GenererByteCode **\n"
              "\nPUSH 2.000000\nPUSH 3.000000\nPUSH 4.000000\nCALL sqrt(@1)\nDIV\nMOD"
              "\nPUSH 2.000000\nPUSH 1.500000\nPUSHVAR @x\nADD\nMULT\nSOUSTRACT");
    CALC_Destroy(ctx);
}

TEST(CalcDiagnostics, WritesTermsInFormulaAndBlockForm) {
    auto term = [](int kind) {
        CalcTerm t{};
        t.kind = kind;
        return t;
    };
    CalcTerm fn = term(CALC_FONCTION), neg = term(CALC_OPERATEUR), text = term(CALC_OPERANDE),
             number = term(CALC_OPERANDE), sep = term(CALC_SEPARATEUR);
    fn.name = const_cast<char*>("sin");
    fn.argCount = 1;
    neg.op = CALC_OP_NEGATION;
    text.operandKind = CALC_CHAINE;
    text.value.text = const_cast<char*>("abc");
    number.operandKind = CALC_FLOTTANT;
    number.value.number = 1.5;
    morvex::TraceCapture capture;
    for (const CalcTerm* t : {&fn, &neg, &text, &number, &sep}) EcrireFormule(t);
    EXPECT_EQ(capture.text(), "sin[@1](-)'abc'1.5,");
    const std::pair<const CalcTerm*, const char*> blocks[] = {{&text, "[OPERANDE][CHAINE][abc]"},
                                                              {&number, "\nOperande : 1.500000"},
                                                              {&fn, "\nName     : sin"}};
    for (const auto& [t, expected] : blocks) {
        capture.clear();
        AfficherTerme(t);
        EXPECT_NE(capture.text().find(expected), std::string::npos) << expected;
    }
}

}  // namespace

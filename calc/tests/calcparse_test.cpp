#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "calc/tests/calctest.h"
#include "foundation/trace.h"

using calctest::grouping;
using calctest::Msg;

namespace {

TEST(CalcGrouping, FollowsTheEnginePriorityRules) {
    const struct {
        const char* text;
        const char* tree;
    } cases[] = {
        {"2*3+4", "((2 * 3) + 4)"},
        {"2+3*4", "(2 + (3 * 4))"},
        {"2^3^2", "((2 ^ 3) ^ 2)"},
        {"8-2+1", "(8 - (2 + 1))"},
        {"8-2-1", "((8 - 2) - 1)"},
        {"7%4+1", "(7 % (4 + 1))"},
        {"a+b<c", "((a + b) < c)"},
        {"a<b+c", "(a < (b + c))"},
        {"a==b&&c", "((a == b) && c)"},
        {"a!=b&&c", "(a != (b && c))"},
        {"a&&b||c", "(a && (b || c))"},
        {"-2^2", "((-2) ^ 2)"},
        {"3*-2", "(3 * -2)"},
        {"(8-2)+1", "((8 - 2) + 1)"},
        {"2*(3+4)", "(2 * (3 + 4))"},
        {"a*b/c*d", "(((a * b) / c) * d)"},
        {"!a == b", "((!a) == b)"},
        {"x = 1 + 2", "(1 + 2)"},
        {"\"ID\" == \"ID\" && 3 > 2", "((\"ID\" == \"ID\") && (3 > 2))"},
        {"2^3*4", "((2 ^ 3) * 4)"},
        {" \t\r\n x", "x"},
        // A prefix operator after another operator keeps both operands of that operator.
        {"2*-x", "(2 * (-x))"},
        {"2^-x", "(2 ^ (-x))"},
        {"--x", "(-(-x))"},
        {"!-x", "(!(-x))"},
        {"2*-x^2", "(2 * ((-x) ^ 2))"},
        // Every function argument has its own subtree.
        {"sin(1+2)*3", "(sin((1 + 2)) * 3)"},
        {"f(1+2, 3*4)", "f((1 + 2), (3 * 4))"},
        {"2+f()", "(2 + f())"},
        {"-f(2)", "(-f(2))"},
        {"f(1,2,3)+4", "(f(2, 3) + 4)"},  // a node holds the last two
    };
    for (const auto& c : cases) EXPECT_EQ(grouping(c.text), c.tree) << c.text;
}

TEST(CalcLiterals, ReadsNumbersWithTheirKinds) {
    const struct {
        const char* text;
        int kind;
        double value;
    } cases[] = {
        {"1.5k", CALC_FLOTTANT, 1500},
        {"1k", CALC_ENTIER, 1000},
        {"12", CALC_ENTIER, 12},
        {"1E+2", CALC_ENTIER, 100},
        {"1.02E-12", CALC_FLOTTANT, 1.02e-12},
        {"1.02e12", CALC_FLOTTANT, 1.02e12},
        {"1.02E+12", CALC_FLOTTANT, 1.02e12},
        {"1.", CALC_FLOTTANT, 1},
        {"2a", CALC_ENTIER, 2e-18},
        {"2f", CALC_ENTIER, 2e-15},
        {"2p", CALC_ENTIER, 2e-12},
        {"2n", CALC_ENTIER, 2e-9},
        {"2u", CALC_ENTIER, 2e-6},
        {"2\xB5", CALC_ENTIER, 2e-6},
        {"2\xE6", CALC_ENTIER, 2e-6},
        {"2\xC2\xB5", CALC_ENTIER, 2e-6},
        {"2m", CALC_ENTIER, 2e-3},
        {"2M", CALC_ENTIER, 2e6},
        {"1.25G", CALC_FLOTTANT, 1.25e9},
        {"3T", CALC_ENTIER, 3e12},
        {"0xFAF012", CALC_HEXADECIMAL, 0xFAF012},
        {"0xFFFFFFFF", CALC_HEXADECIMAL, -1},
        {"0x", CALC_HEXADECIMAL, 0},
        {"0x0000000100", CALC_HEXADECIMAL, 256},  // more than 8 digits: the low 32 bits
        {"0b1001101", CALC_BINAIRE, 77},
        {"0b", CALC_BINAIRE, 0},
    };
    for (const auto& c : cases) {
        calctest::Outcome o = calctest::calc(c.text);
        ASSERT_FALSE(o.syntaxError) << c.text;
        EXPECT_EQ(o.kind, c.kind) << c.text;
        EXPECT_DOUBLE_EQ(o.value, c.value) << c.text;
    }
}

TEST(CalcLiterals, RejectsMalformedNumbers) {
    // "1K": the number is 1, then K is not the end of the statement.
    const std::pair<const char*, const char*> cases[] = {
        {"1K", "'K'"},    {"2.5E3k", "'k'"}, {"0X1", "'X1'"}, {"1e", nullptr},
        {"1e+", nullptr}, {".5", nullptr},   {"1x", nullptr},
    };
    for (const auto& [text, rest] : cases) {
        calctest::Outcome o = calctest::calc(text);
        EXPECT_TRUE(o.syntaxError) << text;
        if (!rest) continue;
        EXPECT_EQ(
            calctest::texts(o.compileMsgs, CALC_MSG_SYNTAX_ERROR),
            std::vector<std::string>{std::string("Point-vigule (fin d'instruction) attendu, ") +
                                     rest + " rencontré."})
            << text;
    }
}

TEST(CalcLiterals, ReadsStringsWithoutEscapes) {
    calctest::Outcome o = calctest::calc("\"a\\b c\"");
    EXPECT_EQ(o.kind, CALC_CHAINE);
    EXPECT_EQ(o.text, "a\\b c");
    EXPECT_TRUE(calctest::calc("\"open").syntaxError);
    // Texts and names are not cut at the sizes the original buffers had.
    std::string longText = "\"" + std::string(200, 'z') + "\"";
    EXPECT_EQ(calctest::calc(longText.c_str()).text, std::string(200, 'z'));
}

TEST(CalcSyntax, ReportsUnbalancedParenthesesWithoutEcho) {
    std::vector<Msg> missingOpen = calctest::calc("1+2)").compileMsgs;
    EXPECT_EQ(missingOpen, (std::vector<Msg>{{CALC_MSG_SYNTAX_ERROR, 1, 0,
                                              "ERREUR : Il manque 1 parenthèse(s) ouvrante(s)"}}));
    std::vector<Msg> missingClose = calctest::calc("((1+2").compileMsgs;
    EXPECT_EQ(missingClose, (std::vector<Msg>{{CALC_MSG_SYNTAX_ERROR, 1, 0,
                                               "ERREUR ; Il manque 2 parenthèse(s) fermante(s)"}}));
    // Parentheses are counted inside string literals too.
    std::vector<Msg> inString = calctest::calc("\")\"").compileMsgs;
    ASSERT_EQ(inString.size(), 1u);
    EXPECT_EQ(inString[0].text, "ERREUR : Il manque 1 parenthèse(s) ouvrante(s)");
}

TEST(CalcSyntax, EchoesTheTextBeforeEachMessageAtItsPosition) {
    std::vector<Msg> msgs = calctest::calc("1 + 2 x").compileMsgs;
    EXPECT_EQ(msgs, (std::vector<Msg>{
                        {CALC_MSG_INFO, 1, 7, "1 + 2 x"},
                        {CALC_MSG_SYNTAX_ERROR, 1, 7,
                         "Point-vigule (fin d'instruction) attendu, 'x' rencontré."},
                    }));
}

TEST(CalcSyntax, ReportsEachFailureWithItsMessage) {
    const struct {
        const char* text;
        std::vector<std::string> errors;
        std::vector<int> positions;
    } cases[] = {
        {"   ", {"Syntaxe incorrecte à partir du caractère ''."}, {4}},
        {"*2", {"Syntaxe incorrecte à partir du caractère '*'."}, {1}},
        {"( )",
         {"Expression attendue, ')' rencontre.", "Syntaxe incorrecte à partir du caractère '('."},
         {3, 1}},
        {"1+",
         {"Fin prématurée de l'expression", "Syntaxe incorrecte à partir du caractère '1'."},
         {3, 1}},
        {"f(1,)",
         {"Parametre attendu, ')' rencontré.",
          "Point-vigule (fin d'instruction) attendu, '(1,)' rencontré."},
         {5, 2}},
        {"x = = 2", {"Syntaxe incorrecte à partir du caractère '='."}, {5}},
        {"1 = 2", {"Point-vigule (fin d'instruction) attendu, '= 2' rencontré."}, {3}},
        {"1 ! 2", {"Point-vigule (fin d'instruction) attendu, '! 2' rencontré."}, {3}},
        {"é", {"Syntaxe incorrecte à partir du caractère '\xC3'."}, {1}},
    };
    for (const auto& c : cases) {
        calctest::Outcome o = calctest::calc(c.text);
        ASSERT_TRUE(o.syntaxError) << c.text;
        EXPECT_EQ(calctest::texts(o.compileMsgs, CALC_MSG_SYNTAX_ERROR), c.errors) << c.text;
        std::vector<int> positions;
        for (const Msg& m : o.compileMsgs) {
            if (m.kind != CALC_MSG_SYNTAX_ERROR) continue;
            positions.push_back(m.position);
            EXPECT_EQ(m.code, 1);
        }
        EXPECT_EQ(positions, c.positions) << c.text;
        // Every syntax message is preceded by the echo of the text at the same position.
        for (size_t i = 0; i < o.compileMsgs.size(); ++i)
            if (o.compileMsgs[i].kind == CALC_MSG_SYNTAX_ERROR) {
                ASSERT_GT(i, 0u);
                EXPECT_EQ(o.compileMsgs[i - 1],
                          (Msg{CALC_MSG_INFO, 1, o.compileMsgs[i].position, c.text}));
            }
    }
}

TEST(CalcSyntax, AcceptsAnEmptyTextAsAnEmptyTree) {
    CalcContext* ctx = CALC_Compile("");
    EXPECT_EQ(ctx->status, CALC_STATUS_OK);
    EXPECT_EQ(ctx->tree, nullptr);
    morvex::TraceCapture capture;
    EXPECT_EQ(CALC_Calculate(ctx), 0.0);
    EXPECT_EQ(CALC_GetResultType(ctx), 0);
    EXPECT_EQ(capture.text(), "\nAucune formule!");
    CALC_Destroy(ctx);
}

TEST(CalcSyntax, RefusesNestingDeeperThanTheLimitInsteadOfOverflowingTheStack) {
    std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
    calctest::Outcome o = calctest::calc(deep.c_str());
    EXPECT_TRUE(o.syntaxError);
    std::string longChain = "1";
    for (int i = 0; i < 5000; ++i) longChain += "+1";
    calctest::Outcome chain = calctest::calc(longChain.c_str());
    EXPECT_TRUE(chain.syntaxError);
    EXPECT_EQ(calctest::texts(chain.compileMsgs, CALC_MSG_SYNTAX_ERROR).at(0),
              "Expression trop complexe (plus de 1000 niveaux d'imbrication).");
    std::string fine = "1";
    for (int i = 0; i < 500; ++i) fine += "+1";
    EXPECT_DOUBLE_EQ(calctest::calc(fine.c_str()).value, 501);
}

// What a deep or long text costs grows with its nesting, not with its length: the failure is
// told once (one echo of the text), not once more by every recogniser that gives up as the
// parse returns from the depth, and a text of more terms than the limit is refused as the one
// too many is read.
TEST(CalcSyntax, TellsADeepOrLongTextOnceAndKeepsNoRecordPerByte) {
    const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
    std::string chain = "1";
    for (int i = 0; i < 200000; ++i) chain += "+1";
    const std::pair<const std::string*, std::string> cases[] = {
        {&deep, "Expression trop complexe (plus de 1000 niveaux d'imbrication)."},
        {&chain, "Expression trop longue (plus de 100000 termes)."},
    };
    for (const auto& [text, message] : cases) {
        calctest::Outcome o = calctest::calc(text->c_str());
        EXPECT_TRUE(o.syntaxError);
        EXPECT_EQ(calctest::texts(o.compileMsgs, CALC_MSG_SYNTAX_ERROR),
                  std::vector<std::string>{message});
        size_t bytes = 0;
        for (const calctest::Msg& m : o.compileMsgs) bytes += m.text.size();
        EXPECT_LE(bytes, text->size() + 200);  // one echo of the text and the message
    }
}

TEST(CalcCompile, RegistersVariablesAndAssignment) {
    CalcContext* ctx = CALC_Compile("x = y");
    EXPECT_STREQ(CALC_GetAssignName(ctx), "x");
    ASSERT_EQ(ctx->varCount, 1);
    EXPECT_STREQ(ctx->varTable[0].name, "y");
    EXPECT_EQ(ctx->varTable[0].kind, CALC_FLOTTANT);
    EXPECT_TRUE(std::isnan(ctx->varTable[0].value.number));
    EXPECT_EQ(ctx->varTableOwned, CALC_TABLE_OWNED);
    CALC_Destroy(ctx);

    ctx = CALC_Compile("x == y");
    EXPECT_EQ(CALC_GetAssignName(ctx), nullptr);
    ASSERT_EQ(ctx->varCount, 2);
    EXPECT_STREQ(ctx->varTable[0].name, "x");
    EXPECT_STREQ(ctx->varTable[1].name, "y");
    CALC_Destroy(ctx);
}

TEST(CalcCompile, RegistersARepeatedVariableOnceWithATrace) {
    morvex::TraceCapture capture;
    CalcContext* ctx = CALC_Compile("a + b * a");
    EXPECT_EQ(ctx->varCount, 2);
    EXPECT_EQ(capture.text(), "\nVariable deja enregistree");
    CALC_Destroy(ctx);
}

TEST(CalcCompile, RegistersOnlyExternalFunctionsOnce) {
    CalcContext* ctx = CALC_Compile("sin(x)+sin(y)");
    EXPECT_EQ(ctx->funcCount, 0);
    EXPECT_EQ(ctx->varCount, 2);
    std::vector<Msg> msgs = calctest::drain(ctx);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].kind, CALC_MSG_INFO);
    EXPECT_EQ(msgs[0].text.rfind("Compilation terminée en ", 0), 0u);
    EXPECT_EQ(msgs[0].text.substr(msgs[0].text.size() - 3), " s.");
    CALC_Destroy(ctx);

    ctx = CALC_Compile("f(1)+f(2)");
    ASSERT_EQ(ctx->funcCount, 1);
    EXPECT_STREQ(ctx->funcTable[0].name, "f");
    EXPECT_EQ(ctx->funcTable[0].function, nullptr);
    msgs = calctest::drain(ctx);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0], (Msg{CALC_MSG_INFO, 0, 0, "Fonction reconnue : 'f'"}));
    CALC_Destroy(ctx);
}

TEST(CalcCompile, ReadsNamesWithTheirExtraCharacters) {
    CalcContext* ctx = CALC_Compile("r.s[1]:t$u@v_w\\z + 1");
    ASSERT_EQ(ctx->status, CALC_STATUS_OK);
    ASSERT_EQ(ctx->varCount, 1);
    EXPECT_STREQ(ctx->varTable[0].name, "r.s[1]:t$u@v_w\\z");
    CALC_Destroy(ctx);
    // A backslash may end a variable name, not an assignment target.
    EXPECT_TRUE(calctest::calc("a\\b = 1").syntaxError);
    // No blank between a function name and its "("; a name starts with an ASCII letter.
    EXPECT_TRUE(calctest::calc("sin (1)").syntaxError);
    EXPECT_TRUE(calctest::calc("_x").syntaxError);
}

TEST(CalcCompile, ReadsSeveralStatementsEachWithItsTree) {
    CalcContext* ctx = CALC_Compile("x = 2; y = x * 3;  ");
    ASSERT_EQ(ctx->status, CALC_STATUS_OK);
    EXPECT_EQ(ctx->statementCount, 2);
    EXPECT_STREQ(CALC_GetAssignName(ctx), "y");
    EXPECT_EQ(calctest::render(ctx->tree->root), "(x * 3)");
    CALC_Destroy(ctx);
    EXPECT_TRUE(calctest::calc("1;;").syntaxError);
}

TEST(CalcNumericHelpers, ConvertBinaryTexts) {
    EXPECT_EQ(bin2dec("1001101"), 77);
    EXPECT_EQ(bin2dec(""), 0);
    EXPECT_EQ(bin2dec("11111111111111111111111111111111"), -1);
    char buffer[9];
    dec2bin(5, buffer, 8);
    EXPECT_STREQ(buffer, "00000101");
    dec2bin(0, buffer, 8);
    EXPECT_STREQ(buffer, "00000000");
    dec2bin(0x1FF, buffer, 8);  // wider than the field: the low digits
    EXPECT_STREQ(buffer, "11111111");
}

// A long chain that fails at its very end used to be re-read at every operator, twice.
TEST(CalcSyntax, RejectsALongFailingChainInLinearTime) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "v^";
    text += "w/";
    calctest::Outcome o = calctest::calc(text.c_str());
    EXPECT_TRUE(o.syntaxError);
    EXPECT_EQ(calctest::texts(o.compileMsgs, CALC_MSG_SYNTAX_ERROR),
              (std::vector<std::string>{"Fin prématurée de l'expression",
                                        "Syntaxe incorrecte à partir du caractère 'v'."}));
}

}  // namespace

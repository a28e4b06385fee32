// morvexcli calc, run as a real process.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/tests/cli_fixture.h"

namespace {

using morvex::testing::RunResult;

// Output lines without the compile-time information line (its duration varies).
std::vector<std::string> lines(const std::string& out) {
    std::vector<std::string> result;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("INFO\tPosition 0 : Compilation terminée en ", 0) != 0)
            result.push_back(line);
    return result;
}

class CalcCli : public morvex::testing::CliFixture {};

TEST_F(CalcCli, WritesEachResultInTheCalculatorFormat) {
    const struct {
        const char* expression;
        const char* line;
    } cases[] = {
        // One expression of each kind; the formatting of every kind is checked in calc's tests.
        {"7/2", "Résultat = 3.5"},
        {"1 == 1", "Résultat = Vrai"},
        {"\"ab\" + \"cd\"", "Résultat = \"abcd\""},
        {"0xFF", "Résultat = 0x000000ff"},
        {"0b101 & 0b110", "Résultat = 0b100"},
        {"sin(1)^2+cos(1)^2", "Résultat = 1"},
        {"16777217/2", "Résultat = 8388608.5"},
        {"ma_valeur = 12*-1+(2*3*(2-1)+sin(12))*(2%1.2G)", "ma_valeur = -1.073145836000871"},
    };
    for (const auto& c : cases) {
        RunResult r = run(std::string("calc '") + c.expression + "'");
        EXPECT_EQ(r.status, 0) << c.expression << "\n" << r.err;
        EXPECT_EQ(lines(r.out), std::vector<std::string>{c.line}) << c.expression;
    }
}

TEST_F(CalcCli, CarriesVariablesFromOneExpressionToTheNext) {
    RunResult r = run("calc 'x = 2' 'x*10' 'x = 3' 's = \"ab\"' 's + \"c\"' 'h = 0x10' 'h' --vars");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "x = 2", "Résultat = 20", "x = 3", "s = \"ab\"",
                                "Résultat = \"abc\"", "h = 0x00000010", "Résultat = 0x00000010",
                                "(i) Liste des variables", "x = 3", "s = ab", "h = 0x00000010"}));
}

TEST_F(CalcCli, ReportsSyntaxAndRuntimeErrorsWithTheEngineMessages) {
    RunResult r = run("calc '1K' '8/0' 'y + 1' '2+2'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "(e) 3 calcul(s) en erreur.\n");
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{
                  "INFO\tPosition 2 : 1K",
                  "SYNTAX_ERROR\tPosition 2 : Point-vigule (fin d'instruction) attendu, 'K' "
                  "rencontré.",
                  "Erreur de syntaxe",
                  "RUNTIME_ERROR\tPosition 0 : RUNTIME ERROR : Division par 0",
                  "Erreur d'execution",
                  "RUNTIME_ERROR\tPosition 0 : La variable 'y' n'est pas référencée.",
                  "Erreur d'execution",
                  "Résultat = 4",
              }));
}

TEST_F(CalcCli, LeavesTheTableUnchangedAfterAFailedCalculation) {
    RunResult r = run("calc 'x = 1' 'x = 1/0' 'x' --vars");
    EXPECT_EQ(lines(r.out).back(), "x = 1");
    EXPECT_EQ(lines(r.out)[3], "Résultat = 1");
}

TEST_F(CalcCli, ReadsOneExpressionPerLineOfStandardInput) {
    RunResult r = run("calc", "a = 1.5\r\nb = a * 2\r\n\r\nb + 1\nfunction_inconnue(1)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "a = 1.5", "b = 3", "Résultat = 4",
                                "INFO\tPosition 0 : Fonction reconnue : 'function_inconnue'",
                                "RUNTIME_ERROR\tPosition 0 : La fonction 'function_inconnue' "
                                "n'est pas référencée. Le pointeur sur la fonction est NULL.",
                                "Erreur d'execution"}));
}

TEST_F(CalcCli, RefusesAHundredAndFirstVariableButKeepsCalculating) {
    std::string input;
    for (int i = 1; i <= 101; ++i)
        input += "v" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    input += "v1 = 1000\nv100 + v1\n";
    RunResult r = run("calc --vars", input);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 1u + 101 + 1 + 2 + 100);
    EXPECT_EQ(out[100], "v101 = 101");
    EXPECT_EQ(out[101],
              "(!) Dépassement de capacité! Vous avez atteint la limite du nombre de variables "
              "autorisé. Veuillez réutiliser celles que vous avez déjà utilisées.");
    EXPECT_EQ(out[102], "v1 = 1000");  // an existing name is still replaced
    EXPECT_EQ(out[103], "Résultat = 1100");
    EXPECT_EQ(out[104], "(i) Liste des variables");
    EXPECT_EQ(out[105], "v1 = 1000");
    EXPECT_EQ(out.back(), "v100 = 100");
}

TEST_F(CalcCli, EvaluatesSeveralStatementsOfOneLine) {
    RunResult r = run("calc 'x = 2; y = x * 3;' --vars");
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{"y = 6", "(i) Liste des variables", "y = 6"}));
}

}  // namespace

namespace {

// A result that is no number is an error with its message, never "nan" or "inf" with status 0.
TEST_F(CalcCli, ResultsThatAreNoNumbersAreErrors) {
    for (const char* expression : {"sqrt(-1)", "1e308*10"}) {
        RunResult r = run(std::string("calc '") + expression + "'");
        EXPECT_EQ(r.status, 1) << expression;
        EXPECT_EQ(r.out.find("Résultat ="), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("RUNTIME_ERROR\tPosition 0 : RUNTIME ERROR : "), std::string::npos)
            << r.out;
    }
}

// A line longer than a formula is refused, and ends the reading of standard input; an argument
// longer than a formula is refused and the others are calculated.
TEST_F(CalcCli, RefusesFormulasLongerThanTheLimit) {
    RunResult r = run("calc", "1+1\n" + std::string(100000, '(') + "\n2+2\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.out), std::vector<std::string>{"Résultat = 2"});
    EXPECT_NE(r.err.find("Ligne 2 de l'entrée standard : formule de plus de 1024 caractères "
                         "refusée."),
              std::string::npos)
        << r.err;
    RunResult args = run("calc 3+3 " + std::string(2000, '1') + " 4+4");
    EXPECT_EQ(args.status, 1);
    EXPECT_EQ(lines(args.out), (std::vector<std::string>{"Résultat = 6", "Résultat = 8"}));
    EXPECT_NE(args.err.find("Expression 2 : formule de plus de 1024 caractères refusée."),
              std::string::npos);
}

}  // namespace

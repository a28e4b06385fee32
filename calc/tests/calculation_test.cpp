// The calculator's calculation: result formats, the variable table and calculation files.
#include "calc/calculation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calc/calc.h"
#include "foundation/testing/tempdir.h"

namespace {

using morvex::testing::TempDir;

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs the formulas in order and returns the last outcome.
CalculationResult RunAll(CalculatorVariables& vars, std::initializer_list<const char*> formulas) {
    CalculationResult result;
    for (const char* formula : formulas) CALCULATION_Run(&vars, formula, &result);
    return result;
}

TEST(Calculation, ReassigningAVariableKeepsOneEntryAndAPlainFormulaIsNamedResultat) {
    CalculatorVariables vars;
    CalculationResult r = RunAll(vars, {"x = 2", "x = 3"});
    EXPECT_EQ(r.resultText, "x = 3");
    ASSERT_EQ(vars.count, 1);
    EXPECT_STREQ(vars.entries[0].name, "x");
    EXPECT_EQ(vars.entries[0].value.number, 3.0);
    r = RunAll(vars, {"x*10"});
    EXPECT_EQ(r.status, CALCULATION_OK);
    EXPECT_EQ(r.resultText, "Résultat = 30");
    EXPECT_EQ(r.value, "30");
    EXPECT_TRUE(r.assignName.empty());
    EXPECT_EQ(vars.count, 1);
}

TEST(Calculation, FormatsEachResultKindForTheResultFieldHistoryAndVariables) {
    const struct {
        const char* formula;
        const char* line;
        const char* history;
        const char* variable;
    } cases[] = {
        {"v = 7/2", "v = 3.5", "3.5", "3.5"},
        {"v = 1 == 1", "v = Vrai", "Vrai", "Vrai"},
        {"v = 2 < 1", "v = Faux", "Faux", "Faux"},
        {"v = \"ab\" + \"cd\"", "v = \"abcd\"", "abcd", "abcd"},
        {"v = 0xFF", "v = 0x000000ff", "0x000000ff", "0x000000ff"},
        {"v = 0xFFFFFFFF", "v = 0xffffffff", "0xffffffff", "0xffffffff"},
        {"v = 0b101 & 0b110", "v = 0b100", "100", "0b100"},
        {"v = 0b0", "v = 0b0", "0", "0b0"},
        {"v = 3000000000*2", "v = 6000000000", "6000000000", "6000000000"},
        {"v = 1/3", "v = 0.3333333333333333", "0.3333333333333333", "0.3333333333333333"},
    };
    for (const auto& c : cases) {
        CalculatorVariables vars;
        CalculationResult r;
        EXPECT_EQ(CALCULATION_Run(&vars, c.formula, &r), 0) << c.formula;
        EXPECT_EQ(r.resultText, c.line) << c.formula;
        EXPECT_EQ(r.value, c.history) << c.formula;
        ASSERT_EQ(vars.count, 1) << c.formula;
        EXPECT_EQ(CALCULATION_VariableText(vars.entries[0]), c.variable) << c.formula;
    }
}

TEST(Calculation, FormatsAnUnknownKindAsADouble) {
    CalcVar odd{};
    odd.kind = 42;
    odd.value.number = 2.5;
    EXPECT_EQ(CALCULATION_ResultLine("z", odd, 2.5), "z = 2.5");
    EXPECT_EQ(CALCULATION_HistoryText(odd, 2.5), "2.5");
    EXPECT_EQ(CALCULATION_VariableText(odd), "2.5");
}

TEST(Calculation, GivesStoredValuesBackUnchangedToLaterFormulas) {
    CalculatorVariables vars;
    CalculationResult r = RunAll(vars, {"x = 2", "x + 1"});
    EXPECT_EQ(r.resultText, "Résultat = 3");
    r = RunAll(vars, {"h = 0x10", "h"});
    EXPECT_EQ(r.resultText, "Résultat = 0x00000010");
    r = RunAll(vars, {"f = 2.5", "f * 2"});
    EXPECT_EQ(r.resultText, "Résultat = 5");
}

TEST(Calculation, KeepsATextVariableAfterTheEngineIsReleased) {
    CalculatorVariables vars;
    CalculationResult r = RunAll(vars, {"s = \"ab\"", "s + \"c\"", "s = \"xyz\"", "s + \"!\""});
    EXPECT_EQ(r.resultText, "Résultat = \"xyz!\"");
    ASSERT_EQ(vars.count, 1);
    EXPECT_STREQ(vars.entries[0].value.text, "xyz");
    // A text variable replaced by a number gives its text back.
    r = RunAll(vars, {"s = 4", "s * 2"});
    EXPECT_EQ(r.resultText, "Résultat = 8");
}

TEST(Calculation, RefusesTheHundredAndFirstVariableButStillReplacesExistingOnes) {
    CalculatorVariables vars;
    CalculationResult r;
    for (int i = 1; i <= 100; ++i) {
        const std::string formula = "v" + std::to_string(i) + " = " + std::to_string(i);
        ASSERT_EQ(CALCULATION_Run(&vars, formula.c_str(), &r), 0);
        ASSERT_FALSE(r.variableRefused) << formula;
    }
    EXPECT_EQ(CALCULATION_Run(&vars, "v101 = 101", &r), 0);
    EXPECT_EQ(r.status, CALCULATION_OK);
    EXPECT_TRUE(r.variableRefused);
    EXPECT_EQ(r.resultText, "v101 = 101");
    EXPECT_EQ(vars.count, 100);
    EXPECT_EQ(CALCULATION_Run(&vars, "v101", &r), 1);  // was never stored

    r = RunAll(vars, {"v1 = 1000", "v100 + v1"});
    EXPECT_EQ(r.resultText, "Résultat = 1100");
    EXPECT_FALSE(r.variableRefused);
    EXPECT_STREQ(vars.entries[0].name, "v1");
}

TEST(Calculation, LeavesTheTableUnchangedAfterAFailedCalculation) {
    CalculatorVariables vars;
    CalculationResult r = RunAll(vars, {"x = 1", "x = 1/0"});
    EXPECT_EQ(r.status, CALCULATION_RUNTIME_ERROR);
    EXPECT_EQ(r.resultText, "Erreur d'execution");
    EXPECT_TRUE(r.value.empty());
    r = RunAll(vars, {"y = (", "x"});
    EXPECT_EQ(r.resultText, "Résultat = 1");
    EXPECT_EQ(vars.count, 1);
}

TEST(Calculation, ReportsASyntaxErrorWithTheCompilationMessagesInOrder) {
    CalculatorVariables vars;
    CalculationResult r;
    EXPECT_EQ(CALCULATION_Run(&vars, "1K", &r), 1);
    EXPECT_EQ(r.status, CALCULATION_SYNTAX_ERROR);
    EXPECT_EQ(r.resultText, "Erreur de syntaxe");
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].kind, CALC_MSG_INFO);
    EXPECT_EQ(r.messages[1].kind, CALC_MSG_SYNTAX_ERROR);
    EXPECT_TRUE(r.messages[1].compilation);
    EXPECT_EQ(CALCULATION_MessageText(r.messages[1]),
              "Position 2 : Point-vigule (fin d'instruction) attendu, 'K' rencontré.");
}

TEST(Calculation, MarksTheEvaluationMessagesAfterTheCompilationOnes) {
    CalculatorVariables vars;
    CalculationResult r;
    EXPECT_EQ(CALCULATION_Run(&vars, "y + 1", &r), 1);
    ASSERT_FALSE(r.messages.empty());
    EXPECT_FALSE(r.messages.back().compilation);
    EXPECT_EQ(r.messages.back().kind, CALC_MSG_RUNTIME_ERROR);
    EXPECT_EQ(r.messages.back().text, "La variable 'y' n'est pas référencée.");
}

TEST(Calculation, DoesNothingForAnEmptyFormulaOrMissingArguments) {
    CalculatorVariables vars;
    CalculationResult r;
    r.resultText = "stale";
    EXPECT_EQ(CALCULATION_Run(&vars, "", &r), 0);
    EXPECT_EQ(r.status, CALCULATION_EMPTY);
    EXPECT_TRUE(r.resultText.empty());
    EXPECT_EQ(CALCULATION_Run(nullptr, "1", &r), 1);
    EXPECT_EQ(CALCULATION_Run(&vars, nullptr, &r), 1);
    EXPECT_EQ(CALCULATION_Run(&vars, "1", nullptr), 1);
    EXPECT_EQ(CALCULATION_StoreVariable(&vars, nullptr, CALC_ENTIER, CalcValue{}), 1);
    EXPECT_EQ(vars.count, 0);
}

TEST(Calculation, ClearingTheTableReleasesEveryEntry) {
    CalculatorVariables vars;
    RunAll(vars, {"a = 1", "b = \"t\""});
    CALCULATION_ClearVariables(&vars);
    EXPECT_EQ(vars.count, 0);
    EXPECT_EQ(vars.entries[1].name, nullptr);
    CalculationResult r = RunAll(vars, {"a"});
    EXPECT_EQ(r.status, CALCULATION_RUNTIME_ERROR);
}

TEST(Calculation, WritesTheEngineVersionLine) {
    CalcVersionInfos infos{296, "2.0.1", "Feb 10 2010", "21:49:59"};
    std::string line = "old";
    EXPECT_EQ(CALCULATION_EngineVersionLine(&infos, &line), 0);
    EXPECT_EQ(line, "Composant de calcul : 2.0.1 (build 296 : Feb 10 2010 21:49:59)");
    EXPECT_EQ(CALCULATION_EngineVersionLine(nullptr, &line), 1);
    EXPECT_TRUE(line.empty());
    EXPECT_EQ(CALCULATION_EngineVersionLine(CALC_GetVersionInfos(), &line), 0);
}

TEST(CalculationFile, ReadsOneFormulaPerLineWhateverTheLineEnd) {
    TempDir dir("calculation");
    const struct {
        const char* bytes;
        std::vector<std::string> formulas;
    } cases[] = {
        {"a = 1\nb = 2\n", {"a = 1", "b = 2"}},
        {"a = 1\r\nb = 2\r\n", {"a = 1", "b = 2"}},
        {"a = 1\nb = 2", {"a = 1", "b = 2"}},
        {"a = 1\n\nb = 2\n", {"a = 1", "", "b = 2"}},
        {"", {}},
        {"\r\n", {""}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> formulas;
        EXPECT_EQ(CALCULATION_ReadFile(dir.write("f.txt", c.bytes).c_str(), &formulas), 0);
        EXPECT_EQ(formulas, c.formulas) << c.bytes;
    }
}

TEST(CalculationFile, KeepsALongLineAsOneFormulaCutAtTheFieldLimit) {
    TempDir dir("calculation");
    std::string longFormula(300, '1');
    std::string tooLong = std::string(CALCULATION_MAX_FORMULA - 1, '2') + "é" + "3";
    std::vector<std::string> formulas;
    ASSERT_EQ(CALCULATION_ReadFile(
                  dir.write("f.txt", longFormula + "\n" + tooLong + "\n4\n").c_str(), &formulas),
              0);
    ASSERT_EQ(formulas.size(), 3u);
    EXPECT_EQ(formulas[0], longFormula);
    // The cut never splits a character in two.
    EXPECT_EQ(formulas[1], std::string(CALCULATION_MAX_FORMULA - 1, '2'));
    EXPECT_EQ(formulas[2], "4");
}

TEST(CalculationFile, WritesFormulasThatReadBackByteForByte) {
    TempDir dir("calculation");
    const std::string bytes = "x = 2\ny = x * 10\nnom = \"a b\"\n";
    std::vector<std::string> formulas;
    ASSERT_EQ(CALCULATION_ReadFile(dir.write("in.txt", bytes).c_str(), &formulas), 0);
    ASSERT_EQ(CALCULATION_WriteFile(dir.file("out.txt").c_str(), formulas), 0);
    EXPECT_EQ(ReadBytes(dir.file("out.txt")), bytes);
}

// A named pipe or a device given as a calculation file is refused at once, and a file larger
// than the limit is refused whole, each with its reason.
TEST(CalculationFile, RefusesWhatIsNoRegularFileAndAFileOverItsLimit) {
    TempDir dir("calculation");
    const std::string fifo = dir.file("tube");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.write("big.txt", std::string(CALCULATION_MAX_FILE + 1, '1'));
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "Le fichier de calcul '" + fifo + "' est un tube nommé, pas un fichier ordinaire."},
        {"/dev/zero",
         "Le fichier de calcul '/dev/zero' est un périphérique, pas un fichier "
         "ordinaire."},
        {big, "Le fichier de calcul '" + big + "' dépasse la taille permise (4 194 304 octets)."},
    };
    for (const auto& [path, message] : cases) {
        std::vector<std::string> formulas{"left over"};
        std::string error;
        EXPECT_EQ(CALCULATION_ReadFile(path.c_str(), &formulas, &error), 1) << path;
        EXPECT_EQ(error, message);
        EXPECT_TRUE(formulas.empty());
    }
}

TEST(CalculationFile, ReportsAFileThatCannotBeOpened) {
    TempDir dir("calculation");
    std::vector<std::string> formulas;
    EXPECT_EQ(CALCULATION_ReadFile(dir.file("absent.txt").c_str(), &formulas), 1);
    EXPECT_EQ(CALCULATION_WriteFile(dir.file("no/such/dir.txt").c_str(), {"1"}), 1);
    EXPECT_EQ(CALCULATION_ReadFile(nullptr, &formulas), 1);
}

}  // namespace

// morvexcli calc: the calculator without its window. Every expression is calculated as the
// calculator program does it, with one variable table carried from one expression to the next.
#include <CLI/CLI.hpp>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "calc/calc.h"
#include "calc/calculation.h"
#include "cli/cliport.h"
#include "cli/commands.h"
#include "foundation/mystrings.h"

namespace morvex {
namespace {

using morvex::Format;

// The variable table, process-wide for one run of the command; the calculation itself is the
// calculator's (calc/calculation.h).
class Calculator {
public:
    // Calculates one formula and writes its messages and its result line; false when the
    // formula has a syntax or evaluation error.
    bool calculate(const std::string& formula) {
        CalculationResult result;
        const int failed = CALCULATION_Run(&vars_, formula.c_str(), &result);
        for (const CalculationMessage& msg : result.messages)
            printf("%s\t%s\n", CALC_MessageKindName(msg.kind),
                   CALCULATION_MessageText(msg).c_str());
        if (result.status == CALCULATION_EMPTY) return failed == 0;
        printf("%s\n", result.resultText.c_str());
        if (result.variableRefused) printf("(!) %s\n", CALCULATION_OVERFLOW_TEXT);
        return failed == 0;
    }

    void printVariables() const {
        printf("(i) Liste des variables\n");
        for (int i = 0; i < vars_.count; ++i)
            printf("%s = %s\n", vars_.entries[i].name,
                   CALCULATION_VariableText(vars_.entries[i]).c_str());
    }

private:
    CalculatorVariables vars_;
};

// Calculates the expressions (or the lines of standard input) in order.
int commandCalc(const std::vector<std::string>& expressions, bool showVariables) {
    Calculator calculator;
    int failures = 0;
    auto run = [&](const std::string& formula) {
        if (!calculator.calculate(formula)) ++failures;
        fflush(stdout);
    };
    // A formula longer than the calculator reads is refused whole, never cut nor kept growing.
    auto refuse = [&](const std::string& where) {
        cliError(where + " : formule de plus de " + std::to_string(CALCULATION_MAX_FORMULA) +
                 " caractères refusée.");
        ++failures;
    };
    if (!expressions.empty()) {
        int n = 0;
        for (const std::string& formula : expressions) {
            ++n;
            if (formula.size() > static_cast<size_t>(CALCULATION_MAX_FORMULA))
                refuse("Expression " + std::to_string(n));
            else
                run(formula);
        }
    } else {
        // Lines of standard input; one longer than a formula ends the reading (what comes
        // after it, /dev/zero for one, is no list of formulas).
        const size_t max = static_cast<size_t>(CALCULATION_MAX_FORMULA);
        std::string line;
        int number = 0;
        int c = 0;
        while ((c = getchar()) != EOF) {
            if (c != '\n' && line.size() <= max) {
                line += static_cast<char>(c);
                continue;
            }
            ++number;
            if (!line.empty() && line.back() == '\r' && c == '\n') line.pop_back();
            if (line.size() > max) {
                refuse("Ligne " + std::to_string(number) + " de l'entrée standard");
                cliError("La lecture de l'entrée standard s'arrête à cette ligne.");
                line.clear();
                break;
            }
            run(line);
            line.clear();
        }
        if (!line.empty()) {
            if (line.back() == '\r') line.pop_back();
            if (line.size() > max)
                refuse("Ligne " + std::to_string(number + 1) + " de l'entrée standard");
            else
                run(line);
        }
    }
    if (showVariables) calculator.printVariables();
    if (fflush(stdout) != 0) {
        cliError("Erreur d'écriture sur la sortie standard.");
        return CLI_FAILURE;
    }
    if (failures) {
        cliError(Format("%i calcul(s) en erreur.", failures));
        return CLI_FAILURE;
    }
    return CLI_OK;
}

}  // namespace

void addCalcCommand(CLI::App& app, CliCommands& commands) {
    auto expressions = std::make_shared<std::vector<std::string>>();
    auto showVariables = std::make_shared<bool>(false);
    CLI::App* sub = app.add_subcommand(
        "calc",
        "Calcule des expressions (une par argument, ou une par ligne de l'entrée standard)");
    sub->add_option("expression", *expressions, "Expressions à calculer, dans l'ordre");
    sub->add_flag("--vars", *showVariables, "Affiche la table des variables à la fin");
    commands.push_back(
        {sub, [expressions, showVariables] { return commandCalc(*expressions, *showVariables); }});
}

}  // namespace morvex

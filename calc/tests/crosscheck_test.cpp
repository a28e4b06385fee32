// Numerical results against an independent evaluator (python3), over generated expressions
// whose grouping is the same under the engine's rules and under python's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calc/calc.h"

namespace fs = std::filesystem;

namespace {

// One generated expression, as the engine and as python write it.
struct Pair {
    std::string engine;
    std::string python;
};

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    // Fully parenthesised binary operations, functions and literals of every form.
    Pair expression(int depth) {
        int choice = depth <= 0 ? 0 : pick(0, 9);
        if (choice <= 2) return literal();
        if (choice <= 6) {
            static const char* const ops[] = {"+", "-", "*", "/"};
            const char* op = ops[pick(0, 3)];
            Pair l = expression(depth - 1), r = expression(depth - 1);
            return {"(" + l.engine + op + r.engine + ")", "(" + l.python + op + r.python + ")"};
        }
        if (choice == 7) {
            static const char* const fns[] = {"sin",  "cos",   "atan", "abs", "floor",
                                              "ceil", "trunc", "tanh", "cbrt"};
            std::string f = fns[pick(0, 8)];
            Pair a = expression(depth - 1);
            return {f + "(" + a.engine + ")", "F_" + f + "(" + a.python + ")"};
        }
        if (choice == 8) {  // a power of a positive base
            Pair b = positive();
            int e = pick(0, 4);
            return {"(" + b.engine + "^" + std::to_string(e) + ")",
                    "(" + b.python + "**" + std::to_string(e) + ")"};
        }
        Pair a = expression(depth - 1);  // negation of a parenthesised operand
        return {"(-" + a.engine + ")", "(-" + a.python + ")"};
    }

    // Chains that the engine groups as python does: sums of products and quotients.
    Pair chain() {
        Pair out;
        int terms = pick(1, 4);
        for (int t = 0; t < terms; ++t) {
            if (t) {
                out.engine += "+";
                out.python += "+";
            }
            int factors = pick(1, 3);
            for (int f = 0; f < factors; ++f) {
                Pair p = f ? positive() : literal();
                if (f) {
                    const char* op = pick(0, 1) ? "*" : "/";
                    out.engine += op;
                    out.python += op;
                }
                out.engine += p.engine;
                out.python += p.python;
            }
        }
        return out;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    Pair positive() {
        int n = pick(1, 999);
        if (pick(0, 1)) return {std::to_string(n), std::to_string(n)};
        std::string d = std::to_string(n) + "." + std::to_string(pick(0, 99));
        return {d, d};
    }

    Pair literal() {
        switch (pick(0, 6)) {
            case 0: {
                std::string n = std::to_string(pick(0, 99999));
                return {n, n};
            }
            case 1: {
                std::string d = std::to_string(pick(0, 999)) + "." + std::to_string(pick(0, 999));
                return {d, d};
            }
            case 2: {
                std::string m = std::to_string(pick(1, 99)) + "." + std::to_string(pick(0, 99));
                std::string e =
                    "e" + std::string(pick(0, 1) ? "-" : "+") + std::to_string(pick(0, 6));
                return {m + e, m + e};
            }
            case 3: {
                static const struct {
                    const char* suffix;
                    const char* factor;
                } units[] = {
                    {"k", "1e3"}, {"M", "1e6"}, {"m", "1e-3"}, {"u", "1e-6"}, {"G", "1e9"}};
                const auto& u = units[pick(0, 4)];
                std::string n = std::to_string(pick(1, 999));
                return {n + u.suffix, "(" + n + "*" + u.factor + ")"};
            }
            case 4: {
                char buf[16];
                snprintf(buf, sizeof buf, "0x%X", pick(0, 0xFFFFF));
                return {buf, buf};
            }
            case 5: {
                std::string bits;
                for (int i = pick(1, 12); i > 0; --i) bits += pick(0, 1) ? '1' : '0';
                return {"0b" + bits, "0b" + bits};
            }
            default: {
                std::string n = std::to_string(pick(1, 9999));
                return {"(-" + n + ")", "(-" + n + ")"};
            }
        }
    }

    std::mt19937 rng_;
};

const char* kPythonScript = R"(
import math, sys
env = {"__builtins__": {}}
for name in ("sin", "cos", "atan", "floor", "ceil", "trunc", "tanh", "cbrt"):
    f = getattr(math, name)
    env["F_" + name] = (lambda f: lambda x: float(f(x)))(f)
env["F_abs"] = lambda x: float(abs(x))
for line in open(sys.argv[1]):
    try:
        v = float(eval(line, env))
        print(repr(v) if math.isfinite(v) else "ERR")
    except Exception:
        print("ERR")
)";

TEST(CalcCrossCheck, AgreesWithPythonOnGeneratedExpressions) {
    ASSERT_EQ(access("/usr/bin/python3", X_OK), 0) << "/usr/bin/python3 is absent (tools/install-deps.sh)";
    Generator gen(20140621);
    std::vector<Pair> pairs;
    for (int i = 0; i < 300; ++i) pairs.push_back(gen.expression(4));
    for (int i = 0; i < 200; ++i) pairs.push_back(gen.chain());

    fs::path dir = fs::path(testing::TempDir()) / "calc_crosscheck";
    fs::create_directories(dir);
    {
        std::ofstream script(dir / "eval.py");
        script << kPythonScript;
        std::ofstream exprs(dir / "exprs.txt");
        for (const Pair& p : pairs) exprs << p.python << "\n";
    }
    std::string cmd = "/usr/bin/python3 '" + (dir / "eval.py").string() + "' '" +
                      (dir / "exprs.txt").string() + "' > '" + (dir / "out.txt").string() + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    std::ifstream results(dir / "out.txt");
    int compared = 0;
    for (const Pair& p : pairs) {
        std::string line;
        ASSERT_TRUE(std::getline(results, line)) << "python gave fewer lines";
        CalcContext* ctx = CALC_Compile(p.engine.c_str());
        ASSERT_EQ(CALC_Error(ctx), 0) << p.engine;
        double value = CALC_Calculate(ctx);
        bool failed = CALC_Error(ctx) != 0;
        CALC_Destroy(ctx);
        if (line == "ERR") continue;  // a division by zero or an overflow in python
        ASSERT_FALSE(failed) << p.engine;
        double expected = std::stod(line);
        EXPECT_NEAR(value, expected, 1e-9 * std::max(1.0, std::fabs(expected)))
            << p.engine << "  vs python  " << p.python;
        ++compared;
    }
    EXPECT_GE(compared, 400);
    fs::remove_all(dir);
}

}  // namespace

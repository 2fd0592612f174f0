// Time to store, and time per evaluation over x = 0..999, of formulas of the kind typed for a
// linearization table. In the same run the same formulas are measured with muparser, the reference
// peer (when it is installed), and written as plain C++ functions called through a pointer, the floor
// any evaluator can hope for. Before timing, every formula is evaluated by all three at x = 0..999 and
// the values compared.
//
//   formula_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// After the usual output a summary gives, per formula, the nanoseconds per evaluation (median CPU time
// when repetitions are asked for) and the ratios ours/muparser and ours/C++.
#include "formula/FormulaEvaluator.h"

#include <benchmark/benchmark.h>

#ifdef FORMULA_BENCH_MUPARSER
#include <muParser.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int points = 1000; // x = 0..999, one linearization table

// The named constants of the polynomial, read from memory by the C++ functions as the evaluators do.
double a = 1.5, b = -2.25, c = 0.75, d = 12;

double square(double x) {
    return x * x + 3 * x - 1;
}
double polynomial(double x) {
    return a * (x * x * x) + b * (x * x) + c * x + d;
}
double smooth(double x) {
    return std::sqrt(x + 1) * std::exp(-x / 500) + std::sin(x / 100);
}
double conditional(double x) {
    return (x < 500) * (x / 2) + (x >= 500) * (250 + (x - 500) * 1.5);
}
double longer(double x) {
    return 1.5 + 2 * x - 3 * (x * x) / 1000 + 4 * std::sin(x / 50) - 5 * std::cos(x / 70) +
           std::log(x + 1) * 6 - 7 * std::sqrt(x + 2) + std::fabs(x - 500) / 8 +
           std::max(std::max(x, 100.0), 200.0) / 9;
}
double trivial(double x) {
    return x;
}

struct Case {
    const char* label;
    const char* text;     // as typed for the evaluator
    const char* peerText; // the same formula in muparser's spelling
    double (*native)(double);
};

const Case cases[] = {
    {"trivial", "x", "x", trivial},
    {"square", "x^2+3*x-1", "x^2+3*x-1", square},
    {"polynomial", "a*x^3+b*x^2+c*x+d", "a*x^3+b*x^2+c*x+d", polynomial},
    {"sqr_exp_sin", "sqr(x+1)*exp(-x/500)+sin(x/100)", "sqrt(x+1)*exp(-x/500)+sin(x/100)", smooth},
    {"conditional", "(x<500)*(x/2)+(x>=500)*(250+(x-500)*1.5)", "(x<500)*(x/2)+(x>=500)*(250+(x-500)*1.5)",
     conditional},
    {"long", "1.5+2*x-3*x^2/1000+4*sin(x/50)-5*cos(x/70)+ln(x+1)*6-7*sqr(x+2)+abs(x-500)/8+max(x,100,200)/9",
     "1.5+2*x-3*x^2/1000+4*sin(x/50)-5*cos(x/70)+ln(x+1)*6-7*sqrt(x+2)+abs(x-500)/8+max(x,100,200)/9",
     longer},
};

// The evaluator as the linearization uses it: one instance holding the formula and the constants.
void prepare(formula::FormulaEvaluator& ev, const Case& k) {
    if (!ev.storeExpression(k.text))
        std::fprintf(stderr, "%s: not stored: %s\n", k.label, ev.errorDescription().c_str());
    ev.setVariable("a", a);
    ev.setVariable("b", b);
    ev.setVariable("c", c);
    ev.setVariable("d", d);
}

#ifdef FORMULA_BENCH_MUPARSER
struct Peer {
    double x = 0, pa = a, pb = b, pc = c, pd = d;
    mu::Parser parser;
    explicit Peer(const Case& k) {
        parser.DefineVar("x", &x);
        parser.DefineVar("a", &pa);
        parser.DefineVar("b", &pb);
        parser.DefineVar("c", &pc);
        parser.DefineVar("d", &pd);
        parser.SetExpr(k.peerText);
    }
};
#endif

bool close(double u, double v) {
    return std::fabs(u - v) <= 1e-12 * std::max(1.0, std::fabs(v));
}

// All three must agree before their speeds mean anything.
bool sameValues() {
    bool ok = true;
    for (const Case& k : cases) {
        formula::FormulaEvaluator ev;
        prepare(ev, k);
#ifdef FORMULA_BENCH_MUPARSER
        Peer peer(k);
#endif
        int differ = 0;
        for (int i = 0; i < points; ++i) {
            ev.setVariable("x", i);
            const double ours = ev.eval();
            bool same = close(ours, k.native(i));
#ifdef FORMULA_BENCH_MUPARSER
            peer.x = i;
            same = same && close(ours, peer.parser.Eval());
#endif
            if (!same && differ++ == 0)
                std::fprintf(stderr, "%s: values differ at x = %d\n", k.label, i);
        }
        ok = ok && differ == 0;
    }
    return ok;
}

void storeOurs(benchmark::State& state, const Case& k) {
    formula::FormulaEvaluator ev;
    for (auto _ : state)
        benchmark::DoNotOptimize(ev.storeExpression(k.text));
}

// The way the linearization asks: assign x by name, then evaluate.
void evalOurs(benchmark::State& state, const Case& k) {
    formula::FormulaEvaluator ev;
    prepare(ev, k);
    const std::string name = "x";
    for (auto _ : state) {
        double sum = 0;
        for (int x = 0; x < points; ++x) {
            ev.setVariable(name, x);
            sum += ev.eval();
        }
        benchmark::DoNotOptimize(sum);
    }
}

// The one-variable shortcut, for formulas in x alone.
void eval1Ours(benchmark::State& state, const Case& k) {
    formula::FormulaEvaluator ev;
    prepare(ev, k);
    for (auto _ : state) {
        double sum = 0;
        for (int x = 0; x < points; ++x)
            sum += ev.eval1(x);
        benchmark::DoNotOptimize(sum);
    }
}

void evalCpp(benchmark::State& state, const Case& k) {
    double (*fn)(double) = k.native;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fn); // keeps the call through the pointer
        double sum = 0;
        for (int x = 0; x < points; ++x)
            sum += fn(x);
        benchmark::DoNotOptimize(sum);
    }
}

#ifdef FORMULA_BENCH_MUPARSER
// muparser turns the text into its byte code on the first evaluation, so storing includes one.
void storePeer(benchmark::State& state, const Case& k) {
    Peer peer(k);
    for (auto _ : state) {
        peer.parser.SetExpr(k.peerText);
        benchmark::DoNotOptimize(peer.parser.Eval());
    }
}

void evalPeer(benchmark::State& state, const Case& k) {
    Peer peer(k);
    for (auto _ : state) {
        double sum = 0;
        for (int x = 0; x < points; ++x) {
            peer.x = x;
            sum += peer.parser.Eval();
        }
        benchmark::DoNotOptimize(sum);
    }
}
#endif

// The usual console output, then one line per formula with the ratios.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            std::string name = run.run_name.function_name;
            double ns = run.GetAdjustedCPUTime();
            if (name.rfind("eval", 0) == 0)
                ns /= points;
            // A median replaces the single runs it summarises.
            if (median || times_.count(name) == 0 || !medianSeen_[name])
                times_[name] = ns;
            medianSeen_[name] = medianSeen_[name] || median;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto at = [this](const std::string& name) {
            const auto it = times_.find(name);
            return it == times_.end() ? 0.0 : it->second;
        };
        std::printf("\n%-12s %9s %9s %9s %9s %9s %9s %10s %9s\n", "formula", "store", "peer st.", "eval",
                    "eval1", "muparser", "C++", "ours/peer", "ours/C++");
        std::printf("%-12s %9s %9s %9s %9s %9s %9s\n", "", "ns", "ns", "ns/x", "ns/x", "ns/x", "ns/x");
        for (const Case& k : cases) {
            const std::string l = k.label;
            const double ours = at("eval/" + l + "/ours"), peer = at("eval/" + l + "/muparser");
            const double cpp = at("eval/" + l + "/cpp");
            std::printf("%-12s %9.0f %9.0f %9.2f %9.2f %9.2f %9.2f %10.2f %9.2f\n", k.label,
                        at("store/" + l + "/ours"), at("store/" + l + "/muparser"), ours,
                        at("eval/" + l + "/ours_eval1"), peer, cpp, peer > 0 ? ours / peer : 0.0,
                        cpp > 0 ? ours / cpp : 0.0);
        }
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, bool> medianSeen_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!sameValues())
        return 1;
    for (const Case& k : cases) {
        const std::string l = k.label;
        benchmark::RegisterBenchmark(("store/" + l + "/ours").c_str(), storeOurs, k);
#ifdef FORMULA_BENCH_MUPARSER
        benchmark::RegisterBenchmark(("store/" + l + "/muparser").c_str(), storePeer, k);
#endif
    }
    for (const Case& k : cases) {
        const std::string l = k.label;
        benchmark::RegisterBenchmark(("eval/" + l + "/ours").c_str(), evalOurs, k);
        formula::FormulaEvaluator probe;
        prepare(probe, k);
        if (probe.varTop() == 1)
            benchmark::RegisterBenchmark(("eval/" + l + "/ours_eval1").c_str(), eval1Ours, k);
#ifdef FORMULA_BENCH_MUPARSER
        benchmark::RegisterBenchmark(("eval/" + l + "/muparser").c_str(), evalPeer, k);
#endif
        benchmark::RegisterBenchmark(("eval/" + l + "/cpp").c_str(), evalCpp, k);
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

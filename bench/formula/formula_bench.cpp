// Time to store and to evaluate formulas of the kind typed for a linearization table (x = 0..999),
// side by side with the same formulas written as plain C++ called through a pointer and, when the
// muparser library is installed, evaluated by muparser as the reference peer.
// Run by hand: formula_bench [repeats]
#include "formula/FormulaEvaluator.h"

#ifdef FORMULA_BENCH_MUPARSER
#include <muParser.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    const char* label;
    const char* text;
    double (*native)(double);
    const char* peerText; // the same formula in muparser's spelling
};

double poly(double x) {
    return 1.5 * x * x * x + -2.25 * x * x + 0.75 * x + 12;
}
double smooth(double x) {
    return std::sqrt(x + 1) * std::exp(-x / 500) + std::sin(x / 100);
}
double piecewise(double x) {
    return (x < 500) * (x / 2) + (x >= 500) * (250 + (x - 500) * 1.5);
}
double square(double x) {
    return x * x + 3 * x - 1;
}
double longer(double x) {
    return 1.5 + 2 * x - 3 * x * x / 1000 + 4 * std::sin(x / 50) - 5 * std::cos(x / 70) +
           std::log(x + 1) * 6 - 7 * std::sqrt(x + 2) + std::fabs(x - 500) / 8 + std::max(x, 200.0) / 9;
}

const Case cases[] = {
    {"square", "x^2+3*x-1", square, "x^2+3*x-1"},
    {"polynomial", "a*x^3+b*x^2+c*x+d", poly, "a*x^3+b*x^2+c*x+d"},
    {"sqr/exp/sin", "sqr(x+1)*exp(-x/500)+sin(x/100)", smooth, "sqrt(x+1)*exp(-x/500)+sin(x/100)"},
    {"conditional", "(x<500)*(x/2)+(x>=500)*(250+(x-500)*1.5)", piecewise,
     "(x<500)*(x/2)+(x>=500)*(250+(x-500)*1.5)"},
    {"long", "1.5+2*x-3*x^2/1000+4*sin(x/50)-5*cos(x/70)+ln(x+1)*6-7*sqr(x+2)+abs(x-500)/8+max(x,100,200)/9",
     longer,
     "1.5+2*x-3*x^2/1000+4*sin(x/50)-5*cos(x/70)+ln(x+1)*6-7*sqrt(x+2)+abs(x-500)/8+max(x,100,200)/9"},
};

double nsSince(Clock::time_point start, double count) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / count;
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    volatile double sink = 0;
    std::printf("%-12s %10s %10s %10s %10s %10s %12s\n", "formula", "store ns", "eval ns", "eval1 ns",
                "C++ ns", "peer ns", "eval1/peer");
    for (const Case& c : cases) {
        formula::FormulaEvaluator ev;
        auto start = Clock::now();
        for (int i = 0; i < 1000; ++i)
            ev.storeExpression(c.text);
        const double storeNs = nsSince(start, 1000);
        ev.setVariable("a", 1.5);
        ev.setVariable("b", -2.25);
        ev.setVariable("c", 0.75);
        ev.setVariable("d", 12);

        // The way the linearization asks: assign x by name, then evaluate.
        start = Clock::now();
        for (int r = 0; r < repeats; ++r) {
            for (int x = 0; x < 1000; ++x) {
                ev.setVariable("x", x);
                sink = sink + ev.eval();
            }
        }
        const double evalNs = nsSince(start, repeats * 1000.0);

        double eval1Ns = 0;
        if (ev.varTop() == 1) {
            start = Clock::now();
            for (int r = 0; r < repeats; ++r)
                for (int x = 0; x < 1000; ++x)
                    sink = sink + ev.eval1(x);
            eval1Ns = nsSince(start, repeats * 1000.0);
        }

        double (*volatile fn)(double) = c.native;
        start = Clock::now();
        for (int r = 0; r < repeats; ++r)
            for (int x = 0; x < 1000; ++x)
                sink = sink + fn(x);
        const double nativeNs = nsSince(start, repeats * 1000.0);
        double peerNs = 0;
#ifdef FORMULA_BENCH_MUPARSER
        {
            double x = 0, a = 1.5, b = -2.25, cc = 0.75, d = 12;
            mu::Parser peer;
            peer.DefineVar("x", &x);
            peer.DefineVar("a", &a);
            peer.DefineVar("b", &b);
            peer.DefineVar("c", &cc);
            peer.DefineVar("d", &d);
            peer.SetExpr(c.peerText);
            double worst = 0;
            for (int i = 0; i < 1000; ++i) {
                x = i;
                ev.setVariable("x", i);
                worst = std::max(worst, std::fabs(peer.Eval() - ev.eval()));
            }
            if (worst > 1e-9)
                std::printf("%s: results differ from the peer by %g\n", c.label, worst);
            start = Clock::now();
            for (int r = 0; r < repeats; ++r) {
                for (int i = 0; i < 1000; ++i) {
                    x = i;
                    sink = sink + peer.Eval();
                }
            }
            peerNs = nsSince(start, repeats * 1000.0);
        }
#endif
        std::printf("%-12s %10.0f %10.1f %10.1f %10.1f %10.1f %12.2f\n", c.label, storeNs, evalNs, eval1Ns,
                    nativeNs, peerNs, peerNs > 0 ? (eval1Ns > 0 ? eval1Ns : evalNs) / peerNs : 0.0);
    }
    return sink == 12345.678 ? 1 : 0;
}

// Random text through the whole evaluator: parse, inspect, evaluate with assorted variable values.
// Only FormulaError may leave an evaluation; anything else (crash, other exception, sanitizer report,
// runaway loop) is a fault.
#include "formula/FormulaEvaluator.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

double valueFor(std::uint8_t b) {
    static const double values[] = {
        0.0,  1.0,   -1.0, 0.5,  2.0,   999.0, -1e308, 1e308, 1e-320, 3.14159265358979,
        90.0, 170.5, -2.5, 1e15, -1e-9, 7.0};
    if (b == 0xFF)
        return std::numeric_limits<double>::quiet_NaN();
    if (b == 0xFE)
        return std::numeric_limits<double>::infinity();
    return values[b % (sizeof values / sizeof values[0])];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    const std::uint8_t flags = size > 0 ? data[0] : 0;
    const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);

    formula::FormulaEvaluator ev(flags & 1 ? formula::HostAngle::Degrees : formula::HostAngle::Radians);
    ev.setOpUnitConv(!(flags & 2));
    ev.setOpDMSConv(!(flags & 4));
    ev.setOpAssignExplicit(flags & 8);
    if (flags & 16)
        ev.setAngleUnit("grad");

    const bool ok = ev.storeExpression(text);
    (void)ev.etDump();
    if (!ok) {
        // An expression that does not parse must still refuse evaluation cleanly.
        try {
            (void)ev.eval();
        } catch (const formula::FormulaError&) {
        }
        return 0;
    }
    std::uint8_t seed = flags;
    for (long i = 1; i <= ev.varTop(); ++i) {
        seed = static_cast<std::uint8_t>(seed * 31 + 7 + text.size());
        const double value = valueFor(seed);
        // By index or by name (upper-cased: names are matched without regard to case); the value read
        // back by name must be the one set, whatever name was looked up before.
        std::string name = ev.varName(i);
        if (seed & 64)
            for (char& c : name)
                c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (flags & 32 && !(i % 2))
            continue;
        if (seed & 128)
            ev.setVariable(name, value);
        else
            ev.setVarValue(i, value);
        const auto same = [value](double v) { return v == value || (std::isnan(v) && std::isnan(value)); };
        if (!same(ev.variable(name)) || !same(ev.varValue(i)))
            __builtin_trap();
    }
    try {
        (void)ev.eval();
    } catch (const formula::FormulaError&) {
    }
    try {
        (void)ev.eval1(valueFor(static_cast<std::uint8_t>(seed + 1)));
    } catch (const formula::FormulaError&) {
    }
    try {
        (void)ev.evalMulti({0.0, valueFor(seed), valueFor(static_cast<std::uint8_t>(seed + 3)), 1.0});
    } catch (const formula::FormulaError&) {
    }
    (void)ev.etDump();
    return 0;
}

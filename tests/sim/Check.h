// A minimal check harness for the emulator's plain C++ tests: every failed check is printed with its line
// (bytes as the transcript shows them), and the test fails when any did.
#pragma once

#include "SimCore.h"

#include <cstdio>
#include <string>

namespace simtest {

inline int failures = 0;

inline void report(bool ok, int line, const std::string& what) {
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "line %d: FAILED %s\n", line, what.c_str());
    }
}

inline void checkEq(const std::string& actual, const std::string& expected, const char* expr, int line) {
    report(actual == expected, line,
           std::string(expr) + " == \"" + sim::visible(expected) + "\" (got \"" + sim::visible(actual) +
               "\")");
}

} // namespace simtest

#define CHECK(cond) simtest::report((cond), __LINE__, #cond)
#define CHECK_EQ(actual, expected) simtest::checkEq((actual), (expected), #actual, __LINE__)

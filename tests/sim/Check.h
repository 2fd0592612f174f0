// A minimal check harness for the emulator's plain C++ tests: every failed check is printed with its line,
// and the test fails when any did.
#pragma once

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

// Line ends and other bytes outside printable ASCII escaped, so a reply's exact bytes show in a failure.
inline std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        char piece[8];
        std::snprintf(piece, sizeof piece,
                      c == '\r'                 ? "\\r"
                      : c == '\n'               ? "\\n"
                      : (c < 0x20 || c >= 0x7F) ? "\\x%02X"
                                                : "%c",
                      c);
        out += piece;
    }
    return out + "\"";
}

inline void checkEq(const std::string& actual, const std::string& expected, const char* expr, int line) {
    report(actual == expected, line,
           std::string(expr) + " == " + quoted(expected) + " (got " + quoted(actual) + ")");
}

} // namespace simtest

#define CHECK(cond) simtest::report((cond), __LINE__, #cond)
#define CHECK_EQ(actual, expected) simtest::checkEq((actual), (expected), #actual, __LINE__)

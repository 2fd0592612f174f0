// A minimal check harness for the emulator's plain C++ tests: every failed check is printed with its line,
// and the test's exit code is the number of failures.
#pragma once

#include <cstdio>
#include <string>

namespace simtest {

inline int failures = 0;

inline void report(bool ok, const char* file, int line, const std::string& what) {
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "%s:%d: FAILED %s\n", file, line, what.c_str());
    }
}

inline std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

} // namespace simtest

#define CHECK(cond) simtest::report((cond), __FILE__, __LINE__, #cond)
#define CHECK_EQ(actual, expected)                                                                           \
    do {                                                                                                     \
        const std::string a_ = (actual), e_ = (expected);                                                    \
        simtest::report(a_ == e_, __FILE__, __LINE__,                                                        \
                        #actual " == " + simtest::quoted(e_) + " (got " + simtest::quoted(a_) + ")");        \
    } while (0)

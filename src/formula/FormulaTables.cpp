#include "FormulaTables.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>

namespace formula::tables {

std::string toLower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string toUpper(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty())
        return false;
    // ".5" reads as 0.5, but the point needs a digit of its own: a lone "." (or ".e3") is a mistyped
    // operand, not a zero that would quietly fill a whole table.
    if (text[0] == '.' && (text.size() < 2 || text[1] < '0' || text[1] > '9'))
        return false;
    const std::string t = text[0] == '.' ? "0" + text : text;
    std::size_t i = 0;
    const std::size_t n = t.size();
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < n && t[i] >= '0' && t[i] <= '9')
            ++i;
        return i - from;
    };
    if (digits() == 0)
        return false;
    std::size_t exponentAt = std::string::npos;
    if (i < n && t[i] == '.') {
        ++i;
        digits();
    }
    if (i < n && (t[i] == 'E' || t[i] == 'e')) {
        exponentAt = i;
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != n)
        return false;
    double v = 0.0;
    const auto result = std::from_chars(t.data(), t.data() + n, v, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small underflows to zero; too large is no number a double can hold.
        if (exponentAt != std::string::npos && exponentAt + 1 < n && t[exponentAt + 1] == '-') {
            value = 0.0;
            return true;
        }
        return false;
    }
    if (result.ec != std::errc() || result.ptr != t.data() + n)
        return false;
    value = v;
    return true;
}

std::string generalNumber(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Inf" : "-Inf";
    if (value == 0.0)
        return "0";
    std::array<char, 64> buf{};
    const auto result =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
    std::string s(buf.data(), result.ptr);
    for (char& c : s)
        if (c == 'e')
            c = 'E';
    return s;
}

std::string fillMessage(long id, const std::vector<std::string>& params) {
    static const std::array<const char*, 23> messages = {
        "",
        "too many variables",
        "Variable not found",
        "Missing Formula",
        "abs symbols |.| mismatch",
        "Syntax error at pos: $",
        "Function < $ > unknown at pos: $",
        "Too many closing brackets at pos: $",
        "Missing Argument",
        "Too many arguments at pos: $",
        "",
        "Not enough closing brackets",
        "Syntax error: $",
        "Function < $ > missing?",
        "Evaluation error < $($) > at pos: $",
        "", // built from the argument separator below
        "Evaluation error < $ $ $ > at pos: $",
        "Evaluation error < $($) > at pos: $",
        "Variable < $ > not assigned",
        "Constant unknown: $",
        "Too many operations",
        "Wrong DMS format",
        "No DMS format",
    };
    std::string msg;
    if (id == 15)
        msg = std::string("Evaluation error < $($") + "," + " $) > at pos: $";
    else if (id >= 1 && id < static_cast<long>(messages.size()))
        msg = messages[static_cast<std::size_t>(id)];
    // Each parameter takes the first place-holder after the text already filled in, so a "$" typed
    // in a formula never swallows a later parameter.
    std::size_t from = 0;
    for (const std::string& p : params) {
        const std::size_t at = msg.find('$', from);
        if (at == std::string::npos)
            break;
        msg = msg.substr(0, at) + p + msg.substr(at + 1);
        from = at + p.size();
    }
    return msg;
}

namespace {

const std::unordered_map<std::string_view, int>& listMap() {
    static const std::unordered_map<std::string_view, int> map = [] {
        std::unordered_map<std::string_view, int> m;
        const char* lists[5] = {
            "abs atn atan cos exp fix int ln log rnd sgn sin sqr cbr tan acos asin cosh sinh tanh acosh "
            "asinh atanh "
            "fact not erf gamma gammaln digamma zeta ei airya airyb csc sec cot acsc asec acot csch sech "
            "coth acsch "
            "asech acoth dec rad deg grad neg si ci fresnels fresnelc j0 y0 i0 k0 psi year month day hour "
            "minute "
            "second",
            "comb mod and or xor beta root round nand nor nxor perm logn dpoisson cpoisson ein besseli "
            "besselj "
            "besselk bessely gammai polyle polyhe polych polyla elli1 elli2 wtri wsqr wsaw wraise wparab "
            "step",
            "dnorm cnorm dbinom cbinom betai clip wrect wtrapez wlin wpulse wsteps wexp wexpb wpulsef "
            "wripple "
            "dateserial timeserial",
            "hypgeom wring wam wfm",
            "max min sum mean meanq meang var varp stdev stdevp mcm mcd lcm gcd",
        };
        for (int l = 0; l < 5; ++l) {
            std::string_view all(lists[l]);
            while (!all.empty()) {
                const std::size_t sp = all.find(' ');
                m.emplace(all.substr(0, sp), l + 1);
                all = sp == std::string_view::npos ? std::string_view() : all.substr(sp + 1);
            }
        }
        return m;
    }();
    return map;
}

} // namespace

int functionList(const std::string& name) {
    const auto& m = listMap();
    const auto it = m.find(toLower(name));
    return it == m.end() ? 0 : it->second;
}

int functionCode(const std::string& name) {
    static const std::unordered_map<std::string_view, int> codes = {
        {"+", 0},
        {"-", 1},
        {"*", 2},
        {"/", 3},
        {"%", 4},
        {"\\", 5},
        {"^", 6},
        {"abs", 7},
        {"atn", 8},
        {"atan", 8},
        {"cos", 9},
        {"sin", 11},
        {"exp", 12},
        {"fix", 13},
        {"int", 14},
        {"ln", 15},
        {"log", 16},
        {"rnd", 17},
        {"sgn", 18},
        {"sqr", 19},
        {"tan", 20},
        {"acos", 21},
        {"asin", 22},
        {"cosh", 23},
        {"sinh", 24},
        {"tanh", 25},
        {"acosh", 26},
        {"asinh", 27},
        {"atanh", 28},
        {"mod", 29},
        {"fact", 30},
        {"!", 30},
        {"comb", 31},
        {">", 36},
        {">=", 37},
        {"=>", 37},
        {"<", 38},
        {"<=", 39},
        {"=<", 39},
        {"=", 40},
        {"<>", 41},
        {"and", 42},
        {"or", 43},
        {"not", 44},
        {"xor", 45},
        {"erf", 46},
        {"gamma", 47},
        {"gammaln", 48},
        {"digamma", 49},
        {"psi", 49},
        {"beta", 50},
        {"zeta", 51},
        {"ei", 52},
        {"csc", 53},
        {"sec", 54},
        {"cot", 55},
        {"acsc", 56},
        {"asec", 57},
        {"acot", 58},
        {"csch", 59},
        {"sech", 60},
        {"coth", 61},
        {"acsch", 62},
        {"asech", 63},
        {"acoth", 64},
        {"cbr", 65},
        {"root", 66},
        {"dec", 67},
        {"rad", 68},
        {"deg", 69},
        {"round", 70},
        {"grad", 71},
        {"nand", 72},
        {"nor", 73},
        {"nxor", 74},
        {"neg", 75},
        {"perm", 76},
        {"logn", 77},
        {"dpoisson", 78},
        {"cpoisson", 79},
        {"ein", 80},
        {"si", 81},
        {"ci", 82},
        {"fresnels", 83},
        {"fresnelc", 84},
        {"besselj", 85},
        {"bessely", 86},
        {"besseli", 87},
        {"besselk", 88},
        {"j0", 89},
        {"y0", 90},
        {"k0", 91},
        {"i0", 92},
        {"gammai", 94},
        {"polyle", 95},
        {"polyla", 96},
        {"polyhe", 97},
        {"polych", 98},
        {"airya", 99},
        {"airyb", 100},
        {"elli1", 101},
        {"elli2", 102},
        {"wtri", 103},
        {"wsqr", 104},
        {"wsaw", 105},
        {"wraise", 106},
        {"wparab", 107},
        {"step", 108},
        {"year", 150},
        {"month", 151},
        {"day", 152},
        {"hour", 153},
        {"minute", 154},
        {"second", 155},
        {"dnorm", 201},
        {"cnorm", 202},
        {"dbinom", 203},
        {"cbinom", 204},
        {"hypgeom", 205},
        {"betai", 206},
        {"clip", 207},
        {"wrect", 208},
        {"wtrapez", 209},
        {"wlin", 210},
        {"wpulse", 211},
        {"wsteps", 212},
        {"wexp", 213},
        {"wexpb", 214},
        {"wpulsef", 215},
        {"wripple", 216},
        {"wring", 217},
        {"wam", 218},
        {"wfm", 219},
        {"dateserial", 220},
        {"timeserial", 221},
        {"min", 301},
        {"max", 302},
        {"sum", 303},
        {"mean", 304},
        {"meanq", 305},
        {"meang", 306},
        {"var", 307},
        {"varp", 308},
        {"stdev", 309},
        {"stdevp", 310},
        {"mcd", 311},
        {"gcd", 311},
        {"mcm", 312},
        {"lcm", 312},
        {"@right", -2},
    };
    const auto it = codes.find(toLower(name));
    return it == codes.end() ? -1 : it->second;
}

// Howard Hinnant's civil-date algorithms, shifted to the 30 December 1899 epoch.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468 + 25569;
}

void civilFromDays(long long days, long long& y, unsigned& m, unsigned& d) {
    const long long z = days - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

} // namespace formula::tables

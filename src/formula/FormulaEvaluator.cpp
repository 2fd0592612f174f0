// The public surface of the evaluator and the parser that builds its expression table.
#include "FormulaEvaluator.h"

#include "FormulaTables.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <utility>

namespace formula {

using namespace tables;

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isComparisonName(const std::string& fun) {
    return fun == ">" || fun == "<" || fun == "=" || fun == "<=" || fun == ">=" || fun == "<>" ||
           fun == "=<" || fun == "=>";
}

// Leading and trailing blanks go; other white space is part of the text.
std::string trimBlanks(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return "";
    std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

bool isName(const std::string& t) {
    if (t.empty() || !(isAsciiLetter(t[0]) || t[0] == '_'))
        return false;
    return std::all_of(t.begin() + 1, t.end(),
                       [](char c) { return isAsciiLetter(c) || isDigit(c) || c == '_'; });
}

// Days since 30 December 1899 of a civil date (proleptic Gregorian).
double dayCount(int y, unsigned m, unsigned d) {
    return static_cast<double>(daysFromCivil(y, m, d));
}

bool constantValue(const std::string& name, double& value) {
    struct Constant {
        const char* name;
        double mantissa;
        int exponent;
    };
    static const Constant constants[] = {
        {"pi", piLiteral, 0},
        {"PI", piLiteral, 0},
        {"pi2", piLiteral / 2, 0},
        {"pi3", piLiteral / 3, 0},
        {"pi4", piLiteral / 4, 0},
        {"e", 2.71828182845905, 0},
        {"eu", 0.577215664901533, 0},
        {"phi", 1.61803398874989, 0},
        {"g", 9.80665, 0},
        {"G", 6.672, -11},
        {"R", 8.31451, 0},
        {"eps", 8.854187817, -12},
        {"mu", 12.566370614, -7},
        {"c", 2.99792458, 8},
        {"q", 1.60217733, -19},
        {"me", 9.1093897, -31},
        {"mp", 1.6726231, -27},
        {"mn", 1.6749286, -27},
        {"K", 1.380658, -23},
        {"h", 6.6260755, -34},
        {"A", 6.0221367, 23},
    };
    for (const Constant& k : constants) {
        if (name == k.name) {
            value = k.exponent == 0 ? k.mantissa : k.mantissa * std::pow(10.0, k.exponent);
            return true;
        }
    }
    const std::string upper = toUpper(name);
    if (upper == "DATE" || upper == "TIME" || upper == "NOW") {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const double date = dayCount(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                     static_cast<unsigned>(local.tm_mday));
        const double time = (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec) / 86400.0;
        value = upper == "DATE" ? date : upper == "TIME" ? time : date + time;
        return true;
    }
    return false;
}

// The two representations of the micro sign: Latin-1 and UTF-8.
std::size_t microSignLength(const std::string& s, std::size_t at) {
    if (at < s.size() && static_cast<unsigned char>(s[at]) == 0xB5)
        return 1;
    if (at + 1 < s.size() && static_cast<unsigned char>(s[at]) == 0xC2 &&
        static_cast<unsigned char>(s[at + 1]) == 0xB5)
        return 2;
    return 0;
}

} // namespace

FormulaEvaluator::FormulaEvaluator(HostAngle hostAngle) {
    if (hostAngle == HostAngle::Degrees)
        setAngleUnit("DEG");
    rows_.assign(1, Row{});
    rowValues_.assign(1, 0.0);
}

// ---------------------------------------------------------------------------------------------------
// Variables and options

int FormulaEvaluator::findVar(const std::string& name) const {
    if (lastVar_ >= 0 && sameAsLast(name))
        return lastVar_;
    return scanVars(name);
}

int FormulaEvaluator::scanVars(const std::string& name) const {
    // A plain case-insensitive scan over at most 100 names. The name found is remembered for findVar,
    // as the host assigns the same variable before every evaluation.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < vars_.size(); ++i) {
        const std::string& v = vars_[i].name;
        if (v.size() == name.size() && std::equal(v.begin(), v.end(), name.begin(),
                                                  [&](char a, char b) { return lower(a) == lower(b); })) {
            lastName_ = name;
            lastVar_ = static_cast<int>(i);
            lastAssigned_ = false;
            return lastVar_;
        }
    }
    return -1;
}

std::string FormulaEvaluator::varName(long index) const {
    if (index < 1 || index > varTop())
        return "";
    return vars_[static_cast<std::size_t>(index - 1)].name;
}

double FormulaEvaluator::varValue(long index) const {
    if (index < 1 || index > varTop())
        return 0.0;
    return varValues_[static_cast<std::size_t>(index - 1)];
}

void FormulaEvaluator::setVarValue(long index, double varVal) {
    if (index < 1 || index > varTop())
        return;
    varValues_[static_cast<std::size_t>(index - 1)] = varVal;
    vars_[static_cast<std::size_t>(index - 1)].assigned = true;
}

double FormulaEvaluator::varSymb(const std::string& name) const {
    return findVar(name) + 1.0;
}

double FormulaEvaluator::variable(const std::string& name) const {
    const int i = findVar(name);
    return i < 0 ? 0.0 : varValues_[static_cast<std::size_t>(i)];
}

double FormulaEvaluator::variable(long index) const {
    return varValue(index);
}

void FormulaEvaluator::assignByName(const std::string& name, double value) {
    const int i = findVar(name);
    if (i >= 0) {
        varValues_[static_cast<std::size_t>(i)] = value;
        vars_[static_cast<std::size_t>(i)].assigned = true;
        lastAssigned_ = true; // findVar remembered this one
    }
}

void FormulaEvaluator::setVariable(long index, double value) {
    setVarValue(index, value);
}

void FormulaEvaluator::setAngleUnit(const std::string& angleUM) {
    const std::string u = toUpper(angleUM);
    if (u == "DEG") {
        angleFactor_ = piLiteral / 180.0;
    } else if (u == "GRAD") {
        angleFactor_ = piLiteral / 200.0;
    } else if (u == "RAD") {
        angleFactor_ = 1.0;
    } else {
        return;
    }
    angleUnit_ = u;
}

// ---------------------------------------------------------------------------------------------------
// Messages

std::string FormulaEvaluator::numberText(double value) {
    return generalNumber(value);
}

bool FormulaEvaluator::fail(long id, std::vector<std::string> params) {
    errorId_ = id;
    errorDescription_ = fillMessage(id, params);
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Parsing

int FormulaEvaluator::newRow(const std::string& fun, long argTop, long priLvl, long pos) {
    Row row;
    row.fun = fun;
    row.funId = functionCode(fun);
    row.argTop = argTop;
    row.priLvl = priLvl;
    row.posInExpr = pos;
    rows_.push_back(std::move(row));
    return static_cast<int>(rows_.size()) - 1;
}

bool FormulaEvaluator::numberWithUnit(const std::string& t, double& value) const {
    std::size_t j = 0;
    while (j < t.size()) {
        const char c = t[j];
        if (isDigit(c) || c == '.' || c == '+' || c == '-') {
            ++j;
        } else if ((c == 'E' || c == 'e') && j + 1 < t.size() &&
                   (isDigit(t[j + 1]) || t[j + 1] == '+' || t[j + 1] == '-')) {
            ++j;
        } else if (isAsciiLetter(c) || microSignLength(t, j) > 0) {
            break;
        } else {
            return false;
        }
    }
    if (j == 0 || j == t.size())
        return false;
    double number = 0.0;
    if (!parseNumber(t.substr(0, j), number))
        return false;
    std::string unit = t.substr(j);
    const std::size_t micro = microSignLength(unit, 0);
    const std::size_t firstLength = micro > 0 ? micro : 1;
    int prefix = 0;
    if (unit.size() > firstLength) {
        bool isPrefix = true;
        if (micro > 0) {
            prefix = -6;
        } else {
            switch (unit[0]) {
            case 'p':
                prefix = -12;
                break;
            case 'n':
                prefix = -9;
                break;
            case 'u':
                prefix = -6;
                break;
            case 'm':
                prefix = -3;
                break;
            case 'c':
                prefix = -2;
                break;
            case 'k':
                prefix = 3;
                break;
            case 'M':
                prefix = 6;
                break;
            case 'G':
                prefix = 9;
                break;
            case 'T':
                prefix = 12;
                break;
            default:
                isPrefix = false;
                break;
            }
        }
        if (isPrefix)
            unit.erase(0, firstLength);
    }
    double factor = 0.0;
    if (unit == "g") {
        factor = 0.001;
    } else if (unit == "s" || unit == "Hz" || unit == "m" || unit == "rad" || unit == "Rad" ||
               unit == "RAD" || unit == "S" || unit == "V" || unit == "A" || unit == "W" || unit == "F" ||
               unit == "bar" || unit == "Pa" || unit == "Nm" || unit == "Ohm" || unit == "ohm") {
        factor = 1.0;
    } else {
        return false;
    }
    value = number * factor * (prefix == 0 ? 1.0 : std::pow(10.0, prefix));
    return true;
}

int FormulaEvaluator::dmsAngle(const std::string& t, double& value) const {
    const auto at = [&t](char c) -> std::size_t {
        const std::size_t p = t.find(c);
        return p == std::string::npos ? 0 : p + 1;
    };
    const std::size_t len = t.size();
    const std::size_t pd = at('d');
    if (pd == 0)
        return 0;
    std::size_t pm = at('m');
    const std::size_t ps = at('s');
    if (pm == 0)
        pm = pd;
    const auto between = [&t](std::size_t a, std::size_t b) -> std::string {
        return b > a + 1 ? t.substr(a, b - a - 1) : std::string();
    };
    const std::string degText = t.substr(0, pd - 1);
    const std::string minText = between(pd, pm);
    std::string secText;
    if (ps > 0)
        secText = between(pm, ps);
    else if (pm == len)
        secText = "0";
    double deg = 0, min = 0, sec = 0;
    const int notNumbers =
        !parseNumber(degText, deg) + !parseNumber(minText, min) + !parseNumber(secText, sec);
    if (notNumbers >= 2)
        return 0;
    if (notNumbers == 1)
        return -1;
    if ((ps == 0 || ps == len) && min <= 60 && sec <= 60) {
        value = deg + (min + sec / 60) / 60;
        return 1;
    }
    return -1;
}

bool FormulaEvaluator::storeOperand(std::string t, int k) {
    Row& row = rows_.back();
    if (t.empty())
        return fail(8);
    const std::string original = t;
    long sign = 1;
    if (t[0] == '+' || t[0] == '-') {
        sign = t[0] == '-' ? -1 : 1;
        t.erase(0, 1);
    }
    if (t.empty())
        return fail(8);
    Arg a;
    a.sign = sign;
    double v = 0.0;
    if (t.back() == '#' || toLower(t) == "pi") {
        const std::string name = t.back() == '#' ? t.substr(0, t.size() - 1) : t;
        if (!constantValue(name, v))
            return fail(19, {name});
        a.value = static_cast<double>(sign) * v;
    } else if (opUnitConv_ && numberWithUnit(t, v)) {
        a.value = static_cast<double>(sign) * v;
    } else if (parseNumber(t, v)) {
        a.value = static_cast<double>(sign) * v;
    } else {
        const int dms = opDMSConv_ ? dmsAngle(t, v) : 0;
        if (dms == 1) {
            a.value = static_cast<double>(sign) * v;
        } else if (dms == -1) {
            return fail(21);
        } else if (isName(t)) {
            int i = findVar(t);
            if (i < 0) {
                if (vars_.size() >= static_cast<std::size_t>(maxVars))
                    return fail(1);
                vars_.push_back(Var{t, false});
                varValues_.push_back(0.0);
                i = static_cast<int>(vars_.size()) - 1;
            }
            a.idx = i + 1;
            a.name = vars_[static_cast<std::size_t>(i)].name;
        } else {
            return fail(12, {original});
        }
    }
    row.arg[static_cast<std::size_t>(k)] = std::move(a);
    return true;
}

bool FormulaEvaluator::storeExpression(const std::string& strExpr) {
    expression_ = trimBlanks(strExpr);
    storedOk_ = false;
    rows_.assign(1, Row{});
    vars_.clear();
    varValues_.clear();
    ops_.clear();
    steps_.clear();
    args_.clear();
    loads_.clear();
    plainLoads_ = 0;
    rowValues_.assign(1, 0.0);
    lastVar_ = -1;
    lastAssigned_ = false;
    errorDescription_.clear();
    errorId_ = 0;
    errorPos_ = 0;

    const std::string& s = expression_;
    const long len = static_cast<long>(s.size());
    if (std::count(s.begin(), s.end(), '|') % 2 != 0) {
        errorPos_ = 1;
        return fail(4);
    }

    struct Pending {
        std::string name;
        long arity;
        long expected;
        long sign;
        long pos;
    };
    std::vector<Pending> calls;
    long depth = 0;
    std::string t;        // operand text
    std::string relation; // comparison being written
    bool closing = false;

    for (long i = 1; i <= len; ++i) {
        errorPos_ = i;
        const char c = s[static_cast<std::size_t>(i - 1)];
        const std::size_t rowsBefore = rows_.size();
        const std::string pos = std::to_string(i);

        if (c == ' ') {
            // A blank never ends an operand.
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
            if (!t.empty()) {
                long sign = 1;
                std::string name = t;
                if (name[0] == '+' || name[0] == '-') {
                    sign = name[0] == '-' ? -1 : 1;
                    name.erase(0, 1);
                }
                const int list = functionList(name);
                if (list == 1) {
                    const int r = newRow(name, 1, 10 * depth, i);
                    if (sign == -1)
                        rows_[static_cast<std::size_t>(r)].resultSign = -1;
                } else if (list >= 2 && list <= 5) {
                    long arity = list;
                    if (list == 5) {
                        arity = 1;
                        long inner = 0;
                        for (long j = i; j < len; ++j) {
                            const char d = s[static_cast<std::size_t>(j)];
                            if (d == '(') {
                                ++inner;
                            } else if (d == ')') {
                                if (inner == 0)
                                    break;
                                --inner;
                            } else if (d == ',' && inner == 0) {
                                ++arity;
                            }
                        }
                        if (arity > maxArgs)
                            return fail(9, {pos});
                    }
                    if (calls.size() >= static_cast<std::size_t>(maxArgs)) {
                        errorPos_ = 1;
                        return fail(20);
                    }
                    calls.push_back(Pending{name, arity, arity - 1, sign, i});
                } else {
                    double ignored = 0.0;
                    if (parseNumber(name, ignored))
                        return fail(5, {pos});
                    errorPos_ = i - static_cast<long>(name.size());
                    return fail(6, {name, std::to_string(errorPos_)});
                }
                t.clear();
            }
        } else if (c == ')' || c == ']' || c == '}') {
            --depth;
            closing = true;
            if (depth < 0)
                return fail(9, {pos});
        } else if (c == '+' || c == '-') {
            bool exponentSign = false;
            if (t.size() >= 2 && (t.back() == 'E' || t.back() == 'e')) {
                double ignored = 0.0;
                exponentSign = parseNumber(t.substr(0, t.size() - 1), ignored);
            }
            if (exponentSign) {
                t += c;
            } else {
                if (t.empty()) {
                    long j = i - 1;
                    while (j >= 1 && s[static_cast<std::size_t>(j - 1)] == ' ')
                        --j;
                    const char before = j >= 1 ? s[static_cast<std::size_t>(j - 1)] : '\0';
                    if (j < 1 || before == '(' || before == '[' || before == '{' || before == '|' ||
                        before == ',')
                        t.assign(1, '0');
                    else
                        return fail(8);
                }
                newRow(std::string(1, c), 2, 10 * depth + 2, i);
                if (!storeOperand(t, 1))
                    return false;
                t.clear();
            }
        } else if (c == '*' || c == '/' || c == '\\' || c == '^') {
            newRow(std::string(1, c), 2, 10 * depth + (c == '^' ? 4 : 3), i);
            if (!storeOperand(t, 1))
                return false;
            t.clear();
        } else if (c == '!' || c == '%') {
            newRow(std::string(1, c), 1, 10 * depth + 9, i);
            if (!storeOperand(t, 1))
                return false;
            // The operand stays the left operand of the next operator too.
        } else if (c == ',') {
            if (calls.empty())
                return fail(9, {pos});
            Pending& call = calls.back();
            const int r = newRow(call.name, call.arity, 10 * depth, call.pos);
            if (call.sign == -1)
                rows_[static_cast<std::size_t>(r)].resultSign = -1;
            call.sign = 1;
            if (!storeOperand(t, 1))
                return false;
            t.clear();
            if (--call.expected == 0)
                calls.pop_back();
        } else if (c == '|') {
            if (!t.empty() && t != "-") {
                --depth;
                closing = true;
            } else {
                ++depth;
                const int r = newRow("abs", 1, 10 * depth, i);
                if (t == "-") {
                    rows_[static_cast<std::size_t>(r)].resultSign = -1;
                    t.clear();
                }
            }
        } else if (c == '=' || c == '<' || c == '>') {
            if (relation.empty()) {
                if (rows_.size() > 1 && isComparisonName(rows_.back().fun)) {
                    // a<x<b is written for (a<x)*(x<b).
                    newRow("*", 2, 10 * (depth - 1) + 3, i);
                    if (!storeOperand(t, 1))
                        return false;
                }
                newRow(std::string(1, c), 2, 10 * depth + 1, i);
                if (!storeOperand(t, 1))
                    return false;
                t.clear();
            }
            relation += c;
            Row& cur = rows_.back();
            cur.fun = relation;
            cur.funId = functionCode(relation);
            cur.argTop = 2;
            cur.priLvl = 10 * depth + 1;
            if (cur.funId == -1)
                return fail(5, {pos});
        } else if (c == 'x' || c == 'y' || c == 'z' || c == 'X' || c == 'Y' || c == 'Z') {
            double ignored = 0.0;
            if (parseNumber(t, ignored)) {
                // 2x means 2*x; only in front of these six letters.
                newRow("*", 2, 10 * depth + 3, i);
                if (!storeOperand(t, 1))
                    return false;
                t.clear();
            }
            t += c;
        } else {
            t += c;
        }

        if (rows_.size() - 1 > static_cast<std::size_t>(maxRows)) {
            errorPos_ = 1;
            return fail(20);
        }
        if (closing && (isAsciiLetter(c) || c == '_' || isDigit(c) || c == '.'))
            return fail(5, {pos});
        if (rows_.size() != rowsBefore)
            closing = false;
        else
            relation.clear();
    }

    if (depth >= 1) {
        errorPos_ = 1;
        return fail(11);
    }
    if (rows_.size() == 1)
        newRow("+", 2, 1, 1);
    const std::size_t n = rows_.size() - 1;
    for (std::size_t r = 1; r <= n; ++r) {
        Row& row = rows_[r];
        const std::size_t last = static_cast<std::size_t>(std::min<long>(row.argTop, 2));
        row.arg[last] = r < n ? rows_[r + 1].arg[1] : Arg{};
    }
    if (t.empty())
        return fail(8);
    if (!storeOperand(t, static_cast<int>(std::min<long>(rows_.back().argTop, 2))))
        return false;
    if (!calls.empty())
        return fail(8);

    rows_.shrink_to_fit();
    vars_.shrink_to_fit();
    varValues_.shrink_to_fit();
    evaluationOrder();
    linking();
    conditionalMarking();
    argumentCarriers();
    clearLinkedArguments();
    compile();
    storedOk_ = true;
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Order and linking passes

void FormulaEvaluator::evaluationOrder() {
    const std::size_t n = rows_.size() - 1;
    for (std::size_t k = 1; k <= n; ++k)
        rows_[k].priIdx = static_cast<long>(k);
    // Odd-even transposition: only strictly out-of-order neighbours swap, so equal levels keep their
    // left-to-right order (2^3^2 is (2^3)^2).
    bool swappedInPair = true;
    while (swappedInPair) {
        swappedInPair = false;
        for (std::size_t start = 1; start <= 2; ++start) {
            for (std::size_t k = start; k + 1 <= n; k += 2) {
                Row& a = rows_[k];
                Row& b = rows_[k + 1];
                if (rows_[static_cast<std::size_t>(a.priIdx)].priLvl <
                    rows_[static_cast<std::size_t>(b.priIdx)].priLvl) {
                    std::swap(a.priIdx, b.priIdx);
                    swappedInPair = true;
                }
            }
        }
    }
}

void FormulaEvaluator::linking() {
    const long n = static_cast<long>(rows_.size()) - 1;
    for (long k = 1; k <= n; ++k) {
        const long r = rows_[static_cast<std::size_t>(k)].priIdx;
        long left = 0;
        for (long j = r - 1; j >= 1; --j) {
            if (rows_[static_cast<std::size_t>(j)].argOf == 0) {
                left = j;
                break;
            }
        }
        long right = 0;
        for (long j = r + 1; j <= n; ++j) {
            if (rows_[static_cast<std::size_t>(j)].argOf == 0) {
                right = j;
                break;
            }
        }
        Row& row = rows_[static_cast<std::size_t>(r)];
        const auto toLeft = [&] {
            row.argOf = left;
            row.argIdx = std::min<long>(rows_[static_cast<std::size_t>(left)].argTop, 2);
        };
        const auto toRight = [&] {
            row.argOf = right;
            row.argIdx = 1;
        };
        if (left == 0 && right == 0)
            continue;
        if (left == 0)
            toRight();
        else if (right == 0)
            toLeft();
        else if (rows_[static_cast<std::size_t>(left)].priLvl < rows_[static_cast<std::size_t>(right)].priLvl)
            toRight();
        else
            toLeft();
    }
}

void FormulaEvaluator::conditionalMarking() {
    const long n = static_cast<long>(rows_.size()) - 1;
    struct Entry {
        long comparison;
        long product;
    };
    std::vector<Entry> entries;
    bool anyComparison = false;
    for (long r = 1; r <= n; ++r) {
        const Row& row = rows_[static_cast<std::size_t>(r)];
        if (!isComparisonName(row.fun))
            continue;
        anyComparison = true;
        auto same = std::find_if(entries.begin(), entries.end(),
                                 [&](const Entry& e) { return row.argOf != 0 && e.product == row.argOf; });
        if (same != entries.end())
            *same = Entry{row.argOf, rows_[static_cast<std::size_t>(row.argOf)].argOf};
        else
            entries.push_back(Entry{r, row.argOf});
    }
    for (const Entry& e : entries) {
        if (e.product <= 0 || rows_[static_cast<std::size_t>(e.product)].fun != "*")
            continue;
        for (long x = 1; x <= n; ++x) {
            if (x == e.product)
                continue;
            long cur = x;
            for (long steps = 0; cur != 0 && steps <= n; ++steps) {
                if (cur == e.comparison) {
                    rows_[static_cast<std::size_t>(x)].priLvl += 100;
                    break;
                }
                if (cur == e.product) {
                    rows_[static_cast<std::size_t>(x)].cond = e.comparison;
                    break;
                }
                cur = rows_[static_cast<std::size_t>(cur)].argOf;
            }
        }
    }
    if (anyComparison)
        evaluationOrder();
}

void FormulaEvaluator::argumentCarriers() {
    const long n = static_cast<long>(rows_.size()) - 1;
    const auto positionOf = [this, n](long row) {
        for (long k = 1; k <= n; ++k)
            if (rows_[static_cast<std::size_t>(k)].priIdx == row)
                return k;
        return 0L;
    };
    for (long m = 1; m <= n; ++m) {
        Row& main = rows_[static_cast<std::size_t>(m)];
        if (main.argTop <= 2)
            continue;
        for (long j = 3; j <= main.argTop; ++j) {
            const long c = main.argOf;
            if (c <= 0 || c == m)
                break;
            Row& carrier = rows_[static_cast<std::size_t>(c)];
            main.argOf = carrier.argOf;
            main.argIdx = carrier.argIdx;
            carrier.argOf = m;
            carrier.argIdx = j;
            carrier.fun = "@Right";
            carrier.funId = -2;
            carrier.argTop = 2;
            const long pm = positionOf(m);
            const long pc = positionOf(c);
            if (pm > 0 && pc > 0)
                std::swap(rows_[static_cast<std::size_t>(pm)].priIdx,
                          rows_[static_cast<std::size_t>(pc)].priIdx);
        }
    }
}

void FormulaEvaluator::clearLinkedArguments() {
    for (std::size_t r = 1; r < rows_.size(); ++r) {
        const Row& row = rows_[r];
        if (row.argOf > 0 && row.argIdx > 0) {
            Arg& a = rows_[static_cast<std::size_t>(row.argOf)].arg[static_cast<std::size_t>(row.argIdx)];
            a.idx = 0;
            a.name.clear();
        }
    }
}

// Builds the compact form the walk runs on: rows in evaluation order, argument values in one array.
void FormulaEvaluator::compile() {
    const std::size_t n = rows_.size() - 1;
    std::vector<int> base(n + 1, 0);
    int total = 0;
    for (std::size_t r = 1; r <= n; ++r) {
        base[r] = total;
        total += static_cast<int>(rows_[r].argTop);
    }
    args_.assign(static_cast<std::size_t>(total) + 1, 0.0); // the last slot takes unused results
    loads_.clear();
    for (std::size_t r = 1; r <= n; ++r) {
        const Row& row = rows_[r];
        for (long a = 1; a <= row.argTop; ++a) {
            const Arg& arg = row.arg[static_cast<std::size_t>(a)];
            const int slot = base[r] + static_cast<int>(a) - 1;
            args_[static_cast<std::size_t>(slot)] = arg.value;
            if (arg.idx != 0)
                loads_.push_back(Load{slot, static_cast<int>(arg.idx) - 1, static_cast<int>(arg.sign)});
        }
    }
    plainLoads_ = static_cast<std::size_t>(
        std::stable_partition(loads_.begin(), loads_.end(), [](const Load& l) { return l.sign > 0; }) -
        loads_.begin());
    // A row skipped on a comparison must be evaluated after that comparison. Nested conditions can
    // lift an inner comparison above the outer one it depends on; move the comparison's operands and
    // the comparison itself to just before the first row that reads it, which keeps every operand
    // ahead of its user.
    std::vector<long> order(n);
    for (std::size_t k = 1; k <= n; ++k)
        order[k - 1] = rows_[k].priIdx;
    const auto reaches = [this, n](long row, long target) {
        for (std::size_t steps = 0; row != 0 && steps <= n; ++steps) {
            if (row == target)
                return true;
            row = rows_[static_cast<std::size_t>(row)].argOf;
        }
        return false;
    };
    for (std::size_t pass = 0; pass <= n; ++pass) {
        std::vector<std::size_t> position(n + 1, 0);
        for (std::size_t k = 0; k < n; ++k)
            position[static_cast<std::size_t>(order[k])] = k;
        bool moved = false;
        for (std::size_t k = 0; k < n && !moved; ++k) {
            const long r = order[k];
            const long c = rows_[static_cast<std::size_t>(r)].cond;
            if (c <= 0 || position[static_cast<std::size_t>(c)] < k)
                continue;
            std::vector<long> before, subtree, after;
            for (std::size_t j = 0; j < n; ++j) {
                if (j >= k && reaches(order[j], c))
                    subtree.push_back(order[j]);
                else if (j < k)
                    before.push_back(order[j]);
                else
                    after.push_back(order[j]);
            }
            order = before;
            order.insert(order.end(), subtree.begin(), subtree.end());
            order.insert(order.end(), after.begin(), after.end());
            moved = true;
        }
        if (!moved)
            break;
    }
    std::vector<std::size_t> position(n + 1, 0);
    for (std::size_t k = 0; k < n; ++k) {
        rows_[k + 1].priIdx = order[k];
        position[static_cast<std::size_t>(order[k])] = k;
    }
    for (std::size_t r = 1; r <= n; ++r) {
        Row& row = rows_[r];
        if (row.cond > 0 && position[static_cast<std::size_t>(row.cond)] > position[r])
            row.cond = 0; // never read a condition before it is computed
    }
    ops_.clear();
    ops_.reserve(n);
    for (std::size_t k = 1; k <= n; ++k) {
        const std::size_t r = static_cast<std::size_t>(rows_[k].priIdx);
        const Row& row = rows_[r];
        Op op{};
        op.code = static_cast<int>(row.funId);
        op.argTop = static_cast<int>(row.argTop);
        op.row = static_cast<int>(r);
        op.argBase = base[r];
        op.target = row.argOf > 0 && row.argIdx > 0
                        ? base[static_cast<std::size_t>(row.argOf)] + static_cast<int>(row.argIdx) - 1
                        : -1;
        op.cond = static_cast<int>(row.cond);
        op.negate = row.resultSign == -1;
        ops_.push_back(op);
    }
    rowValues_.assign(n + 1, 0.0);
    buildSteps();
}

// ---------------------------------------------------------------------------------------------------
// Inspection

std::vector<std::array<std::string, 15>> FormulaEvaluator::etDump() const {
    std::vector<std::array<std::string, 15>> table;
    table.push_back({"Fun", "ArgTop", "A1 Idx", "Arg1 Name", "Arg1 Value", "A2 Idx", "Arg2 Name",
                     "Arg2 Value", "ArgOf", "ArgIdx", "Value", "PriLvl", "PosInExpr", "PriIdx", "Cond"});
    const std::size_t n = rows_.size() - 1;
    // Argument values live in the compact table once compiled; show the current ones.
    std::vector<int> base(n + 1, -1);
    if (storedOk_) {
        int total = 0;
        for (std::size_t r = 1; r <= n; ++r) {
            base[r] = total;
            total += static_cast<int>(rows_[r].argTop);
        }
    }
    for (std::size_t r = 1; r <= n; ++r) {
        const Row& row = rows_[r];
        const auto argValue = [&](long a) {
            if (base[r] >= 0 && a <= row.argTop)
                return args_[static_cast<std::size_t>(base[r] + a - 1)];
            return row.arg[static_cast<std::size_t>(a)].value;
        };
        const double value = storedOk_ && r < rowValues_.size() ? rowValues_[r] : row.value;
        table.push_back({row.fun, std::to_string(row.argTop), std::to_string(row.arg[1].idx), row.arg[1].name,
                         numberText(argValue(1)), std::to_string(row.arg[2].idx), row.arg[2].name,
                         numberText(argValue(2)), std::to_string(row.argOf), std::to_string(row.argIdx),
                         numberText(value), std::to_string(row.priLvl), std::to_string(row.posInExpr),
                         std::to_string(row.priIdx), std::to_string(row.cond)});
    }
    return table;
}

} // namespace formula

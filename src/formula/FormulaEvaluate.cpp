// Evaluation: the walk over the compiled table and the function library.
#include "FormulaEvaluator.h"

#include "FormulaTables.h"
#include "SpecialFunctions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace formula {

using namespace tables;
namespace sf = special;

namespace {

constexpr int done = 0;
constexpr int failed = 1;
constexpr int notHandled = 2;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// A value counts as whole when it is within 5E-14 of a whole number; the whole number is used.
bool whole(double v, double& out) {
    if (!std::isfinite(v))
        return false;
    const double r = std::round(v);
    if (std::fabs(v - r) > 5e-14)
        return false;
    out = r;
    return true;
}

double snap(double v) {
    return std::fabs(v) < 5e-14 ? 0.0 : v;
}

// Banker's rounding, as whole numbers are rounded where the library says "rounded".
double roundEven(double v) {
    return std::nearbyint(v);
}

double binomial(double n, double k) {
    if (n < 1 || k > n)
        return 0.0;
    if (k == 0)
        return 1.0;
    if (n - k < k)
        k = n - k;
    double r = 1.0;
    for (double i = 1; i <= k; ++i) {
        r = r * (n - k + i) / i;
        if (!std::isfinite(r))
            return nan;
    }
    return r;
}

// comb and perm share their checks: no negative, both whole.
bool combArgs(double a1, double a2, double& n, double& k) {
    if (a1 < 0 || a2 < 0)
        return false;
    return whole(a1, n) && whole(a2, k);
}

double permutations(double n, double k) {
    if (n < 1 || k < 1 || k > n)
        return 0.0;
    double r = 1.0;
    for (double i = 0; i < k; ++i) {
        r *= n - i;
        if (!std::isfinite(r))
            return nan;
    }
    return r;
}

double dbinom(double k, double n, double p) {
    double kw = 0, nw = 0;
    if (!whole(k, kw) || !whole(n, nw))
        return nan;
    double nn = 0, kk = 0;
    if (!combArgs(nw, nw - kw, nn, kk))
        return nan;
    return binomial(nn, kk) * std::pow(p, kw) * std::pow(1 - p, nw - kw);
}

double dpoisson(double k, double lambda) {
    double kw = 0;
    if (!whole(k, kw) || lambda <= 0)
        return nan;
    return std::exp(kw * std::log(lambda) - lambda - sf::gammaLn(kw + 1));
}

double gcd2(double a, double b) {
    a = std::fabs(std::trunc(a));
    b = std::fabs(std::trunc(b));
    for (int guard = 0; b != 0 && guard < 5000; ++guard) {
        const double r = std::fmod(a, b);
        a = b;
        b = r;
    }
    return a;
}

double gammaFunction(double x) {
    if (x <= 0 && x == std::floor(x))
        return nan;
    double m = 0, n = 0;
    if (x < 0) {
        if (!sf::gammaScaled(-x, m, n))
            return nan;
        const double q = -piLiteral / (x * std::sin(piLiteral * x) * m);
        return q * std::pow(10.0, -n);
    }
    if (!sf::gammaScaled(x, m, n))
        return nan;
    return m * std::pow(10.0, n);
}

// Date parts of a day count: the whole part is the day, the fraction (taken positive) the time.
bool dateParts(double v, long long& y, unsigned& mo, unsigned& d, long& secs) {
    if (!(v > -657435.0 && v < 2958466.0))
        return false;
    const double day = std::trunc(v);
    secs = static_cast<long>(std::round(std::fabs(v - day) * 86400.0));
    if (secs >= 86400)
        secs = 86399;
    civilFromDays(static_cast<long long>(day), y, mo, d);
    return true;
}

std::minstd_rand& randomSource() {
    static std::minstd_rand source(1);
    return source;
}

double statistics(int code, const double* x, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += x[i];
    const double mean = sum / n;
    double sq = 0;
    for (int i = 0; i < n; ++i)
        sq += (x[i] - mean) * (x[i] - mean);
    const double varp = sq / n;
    switch (code) {
    case 301:
        return *std::min_element(x, x + n);
    case 302:
        return *std::max_element(x, x + n);
    case 303:
        return sum;
    case 304:
        return mean;
    case 305: {
        double s2 = 0;
        for (int i = 0; i < n; ++i)
            s2 += x[i] * x[i];
        return std::sqrt(s2 / n);
    }
    case 306: {
        double p = 1;
        for (int i = 0; i < n; ++i)
            p *= x[i];
        return std::pow(p, 1.0 / n);
    }
    case 307:
        return varp * n / (n - 1);
    case 308:
        return varp;
    case 309:
        return std::sqrt(varp * n / (n - 1));
    case 310:
        return std::sqrt(varp);
    case 311: {
        double g = x[0];
        for (int i = 1; i < n; ++i)
            g = gcd2(g, x[i]);
        return std::fabs(std::trunc(g));
    }
    case 312: {
        double l = std::fabs(std::trunc(x[0]));
        for (int i = 1; i < n; ++i) {
            const double b = std::fabs(std::trunc(x[i]));
            const double g = gcd2(l, b);
            l = g == 0 ? 0 : l / g * b;
        }
        return l;
    }
    }
    return nan;
}

// Functions of three or more arguments, and the statistics over argument lists.
int computeMany(int code, const double* a, int argTop, double& r) {
    if (code >= 301)
        return (r = statistics(code, a, argTop), done);
    const double t = a[0], period = a[1];
    const double phase = t / period - std::floor(t / period);
    const double phaseHalf = t / period + 0.5 - std::floor(t / period + 0.5);
    switch (code) {
    case 201:
        r = std::exp(-(a[0] - a[1]) * (a[0] - a[1]) / (2 * a[2] * a[2])) / std::sqrt(twoPiLiteral) / a[2];
        break;
    case 202:
        r = (1 + sf::erf((a[0] - a[1]) / (std::sqrt(2.0) * a[2]))) / 2;
        break;
    case 203:
        r = dbinom(a[0], a[1], a[2]);
        break;
    case 204: {
        double k = 0;
        if (!whole(a[0], k))
            return failed;
        r = 0;
        // Past the mode the terms only shrink; once one no longer changes the sum none will.
        for (double i = 0; i <= k; ++i) {
            const double term = dbinom(i, a[1], a[2]);
            if (!std::isfinite(term))
                return failed;
            if (i > a[1] * a[2] && r + term == r)
                break;
            r += term;
            if (i > 1e6)
                return failed;
        }
        break;
    }
    case 205: {
        if (a[3] > 1)
            return failed;
        std::string message;
        r = sf::hypergeometric(a[0], a[1], a[2], a[3], message);
        if (!message.empty())
            return failed;
        break;
    }
    case 206:
        r = sf::incompleteBeta(a[0], a[1], a[2]);
        break;
    case 207:
        if (a[1] > a[2])
            return failed;
        r = a[0] < a[1] ? a[1] : a[0] > a[2] ? a[2] : a[0];
        break;
    case 208:
        r = snap(2 * std::floor(t / period) - 2 * std::floor(t / period - a[2]) - 1);
        break;
    case 209:
        r = snap(
            (2 * std::fabs(std::floor(t / period + 0.5) - t / period) -
             std::fabs(2 * std::floor(t / period - a[2] / (2 * period) + 0.5) + (a[2] - 2 * t) / period)) /
            a[2]);
        break;
    case 210:
        r = snap(phase <= a[2] ? -1 + 2 * phase / a[2] : 1 - 2 * (phase - a[2]) / (1 - a[2]));
        break;
    case 211:
        r = snap(std::floor(t / period) - std::floor(t / period - a[2]));
        break;
    case 212: {
        const double n = a[2];
        r = snap((std::floor(t * n / period) - n * std::floor(t / period)) / (n - 1));
        break;
    }
    case 213:
        r = snap(std::exp(-a[2] * phase));
        break;
    case 214:
        r = snap(std::exp(-a[2] * phase) - std::exp(-a[2] * phaseHalf));
        break;
    case 215:
        r = std::floor(t / period) - std::floor(t / period + 0.5) + 1 - std::exp(-a[2] * phase) +
            std::exp(-a[2] * phaseHalf);
        break;
    case 216:
        r = std::max(std::exp(-a[2] * phase), std::fabs(std::cos(piLiteral * t / period)));
        break;
    case 217:
        r = std::exp(-a[2] * phase) * std::sin(twoPiLiteral * a[3] * phase);
        break;
    case 218:
        r = (1 + a[3] * std::sin(twoPiLiteral * a[2] * t)) * std::sin(twoPiLiteral * a[1] * t);
        break;
    case 219:
        r = std::sin(twoPiLiteral * a[1] * t * (1 + a[3] * std::sin(twoPiLiteral * a[2] * t)));
        break;
    case 220: {
        const double y = roundEven(a[0]), m = roundEven(a[1]), d = roundEven(a[2]);
        if (std::fabs(y) > 32767 || std::fabs(m) > 32767 || std::fabs(d) > 32767)
            return failed;
        const double yy = y + std::floor((m - 1) / 12);
        const double mm = m - 12 * std::floor((m - 1) / 12);
        if (yy < 100 || yy > 9999)
            return failed;
        r = static_cast<double>(daysFromCivil(static_cast<long long>(yy), static_cast<unsigned>(mm), 1)) + d -
            1;
        break;
    }
    case 221:
        r = (roundEven(a[0]) * 3600 + roundEven(a[1]) * 60 + roundEven(a[2])) / 86400;
        break;
    default:
        return notHandled;
    }
    return done;
}

} // namespace

int FormulaEvaluator::computeRow(const Op& op, double& r) const {
    const double* a = args_.data() + op.argBase;
    const double a1 = a[0];
    const double a2 = op.argTop >= 2 ? a[1] : 0.0;
    const double f = angleFactor_;
    const double pi = piLiteral;
    double n = 0, k = 0;
    if (op.code >= 200) {
        const int status = computeMany(op.code, a, op.argTop, r);
        if (status != done)
            return status;
        return std::isfinite(r) ? done : failed;
    }
    switch (op.code) {
    case -2:
        r = a2;
        break;
    case 0:
        r = a1 + a2;
        break;
    case 1:
        r = a1 - a2;
        break;
    case 2:
        r = a1 * a2;
        break;
    case 3:
        r = a1 / a2;
        break;
    case 4:
        r = a1 / 100;
        break;
    case 5: {
        const double d = roundEven(a2);
        if (d == 0)
            return failed;
        r = std::trunc(roundEven(a1) / d);
        break;
    }
    case 6:
        if (a1 == 0 && a2 == 0)
            return failed;
        r = a2 == 2 ? a1 * a1 : std::pow(a1, a2);
        break;
    case 7:
        r = std::fabs(a1);
        break;
    case 8:
        r = std::atan(a1) / f;
        break;
    case 9:
        r = std::cos(a1 * f);
        break;
    case 11:
        r = std::sin(a1 * f);
        break;
    case 12:
        r = std::exp(a1);
        break;
    case 13:
        r = std::trunc(a1);
        break;
    case 14:
        r = std::floor(a1);
        break;
    case 15:
    case 16:
        if (a1 <= 0)
            return failed;
        r = std::log(a1);
        break;
    case 17:
        r = std::uniform_real_distribution<double>(0.0, 1.0)(randomSource()) * a1;
        break;
    case 18:
        r = a1 > 0 ? 1 : a1 < 0 ? -1 : 0;
        break;
    case 19:
        if (a1 < 0)
            return failed;
        r = std::sqrt(a1);
        break;
    case 20:
        r = std::tan(a1 * f);
        break;
    case 21:
        r = a1 == 1 ? 0 : a1 == -1 ? pi : std::atan(-a1 / std::sqrt(1 - a1 * a1)) + 2 * std::atan(1.0);
        r /= f;
        break;
    case 22:
        r = a1 == 1 ? pi / 2 : a1 == -1 ? -pi / 2 : std::atan(a1 / std::sqrt(1 - a1 * a1));
        r /= f;
        break;
    case 23:
        r = (std::exp(a1) + std::exp(-a1)) / 2;
        break;
    case 24:
        r = (std::exp(a1) - std::exp(-a1)) / 2;
        break;
    case 25:
        r = (std::exp(a1) - std::exp(-a1)) / (std::exp(a1) + std::exp(-a1));
        break;
    case 26:
        r = std::log(a1 + std::sqrt(a1 * a1 - 1));
        break;
    case 27:
        r = std::log(a1 + std::sqrt(a1 * a1 + 1));
        break;
    case 28:
        r = std::log((1 + a1) / (1 - a1)) / 2;
        break;
    case 29: {
        const double A = std::floor(std::fabs(a1));
        const double B = std::floor(std::fabs(a2));
        if (B == 0)
            return failed;
        const double rem = std::round(A - B * std::floor(A / B));
        r = a1 < 0 ? B - rem : rem;
        break;
    }
    case 30:
        if (a1 < 0 || !whole(a1, n))
            return failed;
        r = 1;
        for (double i = 2; i <= n; ++i) {
            r *= i;
            if (!std::isfinite(r))
                return failed;
        }
        break;
    case 31:
        if (!combArgs(a1, a2, n, k))
            return failed;
        r = binomial(n, k);
        break;
    case 36:
        r = a1 > a2;
        break;
    case 37:
        r = a1 >= a2;
        break;
    case 38:
        r = a1 < a2;
        break;
    case 39:
        r = a1 <= a2;
        break;
    case 40:
        r = a1 == a2;
        break;
    case 41:
        r = a1 != a2;
        break;
    case 42:
        r = (a1 != 0) && (a2 != 0);
        break;
    case 43:
        r = (a1 != 0) || (a2 != 0);
        break;
    case 44:
        r = a1 == 0;
        break;
    case 45:
        r = (a1 != 0) != (a2 != 0);
        break;
    case 46:
        r = sf::erf(a1);
        break;
    case 47:
        r = gammaFunction(a1);
        break;
    case 48:
        r = sf::gammaLn(a1);
        break;
    case 49:
        r = sf::digamma(a1);
        break;
    case 50:
        r = sf::beta(a1, a2);
        break;
    case 51:
        r = sf::zeta(a1);
        break;
    case 52:
        r = sf::ei(a1);
        break;
    case 53:
        r = 1 / std::sin(a1 * f);
        break;
    case 54:
        r = 1 / std::cos(a1 * f);
        break;
    case 55:
        r = 1 / std::tan(a1 * f);
        break;
    case 56:
    case 57: {
        const double x = 1 / a1;
        if (op.code == 56)
            r = x == 1 ? pi / 2 : x == -1 ? -pi / 2 : std::atan(x / std::sqrt(1 - x * x));
        else
            r = x == 1 ? 0 : x == -1 ? pi : std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0);
        r /= f;
        break;
    }
    case 58:
        r = (pi / 2 - std::atan(a1)) / f;
        break;
    case 59:
        r = 1 / ((std::exp(a1) - std::exp(-a1)) / 2);
        break;
    case 60:
        r = 1 / ((std::exp(a1) + std::exp(-a1)) / 2);
        break;
    case 61:
        r = (std::exp(a1) + std::exp(-a1)) / (std::exp(a1) - std::exp(-a1));
        break;
    case 62: {
        const double x = 1 / a1;
        r = std::log(x + std::sqrt(x * x + 1));
        break;
    }
    case 63: {
        const double x = 1 / a1;
        r = std::log(x + std::sqrt(x * x - 1));
        break;
    }
    case 64: {
        const double x = 1 / a1;
        r = std::log((1 + x) / (1 - x)) / 2;
        break;
    }
    case 65:
        r = std::pow(std::fabs(a1), 1.0 / 3.0) * (a1 > 0 ? 1 : a1 < 0 ? -1 : 0);
        break;
    case 66: {
        n = std::floor(a2);
        if (n == 0 || !std::isfinite(n))
            return failed;
        if (std::fmod(n, 2.0) == 0) {
            if (a1 < 0)
                return failed;
            r = std::pow(a1, 1 / n);
        } else {
            r = std::pow(std::fabs(a1), 1 / n) * (a1 > 0 ? 1 : a1 < 0 ? -1 : 0);
        }
        break;
    }
    case 67: {
        if (a1 == 0)
            return failed;
        const double digits = std::floor(std::log10(std::fabs(a1))) + 1;
        const double frac = a1 - std::trunc(a1);
        const double decimals = std::clamp(15 - digits, 0.0, 300.0);
        const double p = std::pow(10.0, decimals);
        const double scaled = roundEven(frac * p) / p;
        r = std::isfinite(scaled) ? scaled : frac;
        break;
    }
    case 68:
        r = a1 / f;
        break;
    case 69:
        r = a1 / f * pi / 180;
        break;
    case 70: {
        const double p = std::pow(10.0, roundEven(a2));
        const double y = a1 * p;
        const double iy = std::floor(y);
        r = (y - iy >= 0.5 ? iy + 1 : iy) / p;
        break;
    }
    case 71:
        r = a1 / f * pi / 200;
        break;
    case 72:
        r = !((a1 != 0) && (a2 != 0));
        break;
    case 73:
        r = !((a1 != 0) || (a2 != 0));
        break;
    case 74:
        r = (a1 != 0) == (a2 != 0);
        break;
    case 75:
        r = -a1;
        break;
    case 76:
        if (!combArgs(a1, a2, n, k))
            return failed;
        r = permutations(n, k);
        break;
    case 77:
        if (a1 <= 0 || a2 <= 0)
            return failed;
        r = std::log(a1) / std::log(a2);
        break;
    case 78:
        r = dpoisson(a1, a2);
        break;
    case 79: {
        if (!whole(a1, k))
            return failed;
        r = 0;
        // Past the mode the terms only shrink; once one no longer changes the sum none will.
        for (double i = 0; i <= k; ++i) {
            const double term = dpoisson(i, a2);
            if (!std::isfinite(term))
                return failed;
            if (i > a2 && r + term == r)
                break;
            r += term;
            if (i > 1e6)
                return failed;
        }
        break;
    }
    case 80:
        if (!whole(a2, n))
            return failed;
        r = sf::expIntegralN(a1, n);
        break;
    case 81:
        r = sf::sineCosineIntegrals(a1).si;
        break;
    case 82:
        r = sf::sineCosineIntegrals(a1).ci;
        break;
    case 83:
        r = sf::fresnel(a1).s;
        break;
    case 84:
        r = sf::fresnel(a1).c;
        break;
    case 85:
    case 86:
    case 87:
    case 88:
        if (!whole(a2, n))
            return failed;
        r = op.code == 85   ? sf::besselJ(a1, n)
            : op.code == 86 ? sf::besselY(a1, n)
            : op.code == 87 ? sf::besselI(a1, n)
                            : sf::besselK(a1, n);
        break;
    case 89:
        r = sf::besselJ(a1, 0);
        break;
    case 90:
        r = sf::besselY(a1, 0);
        break;
    case 91:
        r = sf::besselK(a1, 0);
        break;
    case 92:
        r = sf::besselI(a1, 0);
        break;
    case 94: {
        const sf::IncompleteGamma g = sf::incompleteGamma(a1, a2);
        if (!g.message.empty())
            return failed;
        r = g.upper;
        break;
    }
    case 95:
    case 96:
    case 97:
    case 98:
        if (!whole(a2, n))
            return failed;
        r = op.code == 95   ? sf::legendre(a1, n)
            : op.code == 96 ? sf::laguerre(a1, n)
            : op.code == 97 ? sf::hermite(a1, n)
                            : sf::chebyshev(a1, n);
        break;
    case 99:
        r = sf::airy(a1).ai;
        break;
    case 100:
        r = sf::airy(a1).bi;
        break;
    case 101:
    case 102: {
        const sf::Elliptic e = sf::elliptic(a1 * f * 180 / pi, a2);
        r = op.code == 101 ? e.f : e.e;
        break;
    }
    case 103:
        r = snap(4 * std::fabs(std::floor(a1 / a2 + 0.5) - a1 / a2) - 1);
        break;
    case 104:
        r = snap(2 * std::floor(a1 / a2) - 2 * std::floor(a1 / a2 + 0.5) + 1);
        break;
    case 105:
        r = snap(2 * a1 / a2 - 2 * std::floor(a1 / a2 + 0.5));
        break;
    case 106:
        r = snap(a1 / a2 - std::floor(a1 / a2));
        break;
    case 107: {
        const double h = 2 * std::fabs(std::floor(a1 / a2 + 0.5) - a1 / a2);
        r = snap(h * h);
        break;
    }
    case 108:
        r = a1 >= a2;
        break;
    case 150:
    case 151:
    case 152:
    case 153:
    case 154:
    case 155: {
        long long y = 0;
        unsigned mo = 0, d = 0;
        long secs = 0;
        if (!dateParts(a1, y, mo, d, secs))
            return failed;
        r = op.code == 150   ? static_cast<double>(y)
            : op.code == 151 ? mo
            : op.code == 152 ? d
            : op.code == 153 ? static_cast<double>(secs / 3600)
            : op.code == 154 ? static_cast<double>(secs / 60 % 60)
                             : static_cast<double>(secs % 60);
        break;
    }
    default:
        return notHandled;
    }
    return std::isfinite(r) ? done : failed;
}

void FormulaEvaluator::reportFailure(const Op& op, int status) {
    const Row& row = rows_[static_cast<std::size_t>(op.row)];
    const double* a = args_.data() + op.argBase;
    errorPos_ = row.posInExpr;
    const std::string pos = std::to_string(row.posInExpr);
    if (status == notHandled && op.code < 200) {
        fail(13, {std::to_string(op.code)});
    } else if (op.code >= 200) {
        std::string joined;
        for (int i = 0; i < op.argTop; ++i) {
            if (i > 0)
                joined += ",";
            joined += numberText(a[i]);
        }
        fail(17, {row.fun, joined, pos});
    } else if (op.argTop == 1) {
        fail(14, {row.fun, numberText(a[0]), pos});
    } else if (op.argTop == 2 && functionList(row.fun) == 2) {
        fail(15, {row.fun, numberText(a[0]), numberText(a[1]), pos});
    } else {
        fail(16, {numberText(a[0]), row.fun, op.argTop >= 2 ? numberText(a[1]) : "", pos});
    }
}

namespace {

// The kinds of step the walk computes itself. Each gives bit for bit what the library gives for the
// same row; whatever else a row needs (other functions, failures with their messages, a result of
// opposite sign) is left to the library.
enum Kind : std::uint8_t {
    library,
    add,
    subtract,
    multiply,
    divide,
    power,       // x^y with y computed: squared when y is 2
    squared,     // x^2 written so: x*x is pow(x, 2) exactly
    cubed,       // x^3
    fourthPower, // x^4
    percent,
    negative,
    carrier,
    absolute,
    cosine,
    sine,
    tangent,
    exponential,
    logarithm,
    squareRoot,
    greater,
    greaterEqual,
    less,
    lessEqual,
    equal,
    notEqual,
    minimum,
    maximum,
    sum,
    guarded, // computed as guardedKind unless its comparison gave 0
};

std::uint64_t bitsOf(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

// The rounding error of a product: a*b == p + error exactly (no overflow or underflow here).
double productError(double a, double b, double p) {
#ifdef __FP_FAST_FMA
    return std::fma(a, b, -p);
#else
    const auto split = [](double v, double& hi, double& lo) {
        const double c = 134217729.0 * v; // 2^27 + 1
        hi = c - (c - v);
        lo = v - hi;
    };
    double ah = 0, al = 0, bh = 0, bl = 0;
    split(a, ah, al);
    split(b, bh, bl);
    return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
#endif
}

// x^3 or x^4 as pow gives it, without calling pow when that is certain. The power is computed to about
// 100 bits; its nearest double r is taken only when the exact value lies within 0.4 units in the last
// place of r and r is no power of two (whose lower neighbour is nearer). pow is never more than 0.54
// units off, so it cannot return anything but r then. Outside that, or outside the range where no
// step can overflow or underflow, the caller asks pow.
bool wholePower(double x, int n, double& result) {
    const double ax = std::fabs(x);
    if (!(ax <= 0x1p200))
        return false;
    // Whole x up to 131071 and most typed numbers have short significands: with at most 17 bits (13 for
    // the fourth power) every product is exact, and so is pow, whose result is then representable.
    const std::uint64_t unusedBits = n == 3 ? (std::uint64_t{1} << 36) - 1 : (std::uint64_t{1} << 40) - 1;
    if ((bitsOf(x) & unusedBits) == 0 && (ax >= 0x1p-200 || ax == 0)) {
        result = n == 3 ? x * x * x : (x * x) * (x * x);
        return true;
    }
    if (!(ax >= 0x1p-200))
        return false;
    const double p2 = x * x;
    const double e2 = productError(x, x, p2);
    double hi = 0, tail = 0;
    if (n == 3) {
        hi = p2 * x;
        tail = productError(p2, x, hi) + e2 * x;
    } else {
        hi = p2 * p2;
        tail = productError(p2, p2, hi) + 2 * p2 * e2;
    }
    const double r = hi + tail;
    const double residual = tail - (r - hi);
    constexpr std::uint64_t fractionBits = (std::uint64_t{1} << 52) - 1;
    const std::uint64_t bits = bitsOf(r);
    if ((bits & fractionBits) == 0)
        return false;
    const double ulp =
        std::bit_cast<double>((bits & ~fractionBits & ~(std::uint64_t{1} << 63)) - (std::uint64_t{52} << 52));
    if (!(std::fabs(residual) <= 0.4 * ulp))
        return false;
    result = r;
    return true;
}

constexpr double largest = std::numeric_limits<double>::max();

} // namespace

// Chooses each row's kind once, when the formula is stored.
void FormulaEvaluator::buildSteps() {
    const int scratch = static_cast<int>(args_.size()) - 1;
    // A slot is fixed when no variable is loaded into it and no row delivers its result there.
    std::vector<bool> fixed(args_.size(), true);
    for (const Load& l : loads_)
        fixed[static_cast<std::size_t>(l.slot)] = false;
    for (const Op& op : ops_)
        if (op.target >= 0)
            fixed[static_cast<std::size_t>(op.target)] = false;
    steps_.clear();
    steps_.reserve(ops_.size());
    for (std::size_t i = 0; i < ops_.size(); ++i) {
        const Op& op = ops_[i];
        const bool one = op.argTop >= 1, two = op.argTop == 2;
        Kind kind = library;
        switch (op.code) {
        case 0:
            kind = two ? add : library;
            break;
        case 1:
            kind = two ? subtract : library;
            break;
        case 2:
            kind = two ? multiply : library;
            break;
        case 3:
            kind = two ? divide : library;
            break;
        case 6:
            if (two) {
                const std::size_t e = static_cast<std::size_t>(op.argBase) + 1;
                const double exponent = args_[e];
                kind = !fixed[e]         ? power
                       : exponent == 2.0 ? squared
                       : exponent == 3.0 ? cubed
                       : exponent == 4.0 ? fourthPower
                                         : library;
            }
            break;
        case 4:
            kind = one ? percent : library;
            break;
        case 75:
            kind = one ? negative : library;
            break;
        case -2:
            kind = two ? carrier : library;
            break;
        case 7:
            kind = one ? absolute : library;
            break;
        case 9:
            kind = one ? cosine : library;
            break;
        case 11:
            kind = one ? sine : library;
            break;
        case 20:
            kind = one ? tangent : library;
            break;
        case 12:
            kind = one ? exponential : library;
            break;
        case 15:
        case 16:
            kind = one ? logarithm : library;
            break;
        case 19:
            kind = one ? squareRoot : library;
            break;
        case 36:
            kind = two ? greater : library;
            break;
        case 37:
            kind = two ? greaterEqual : library;
            break;
        case 38:
            kind = two ? less : library;
            break;
        case 39:
            kind = two ? lessEqual : library;
            break;
        case 40:
            kind = two ? equal : library;
            break;
        case 41:
            kind = two ? notEqual : library;
            break;
        case 301:
            kind = one ? minimum : library;
            break;
        case 302:
            kind = one ? maximum : library;
            break;
        case 303:
            kind = one ? sum : library;
            break;
        default:
            break;
        }
        if (op.negate)
            kind = library;
        Step step{kind,
                  kind,
                  static_cast<std::uint8_t>(op.argTop),
                  op.argBase,
                  op.target >= 0 ? op.target : scratch,
                  op.row,
                  op.cond,
                  static_cast<int>(i)};
        if (op.cond != 0)
            step.kind = guarded;
        steps_.push_back(step);
    }
}

// One row through the library, which reports its failures.
bool FormulaEvaluator::libraryStep(const Op& op, double& result) {
    const int status = computeRow(op, result);
    if (status != done) {
        reportFailure(op, status);
        return false;
    }
    if (!std::isfinite(result)) {
        reportFailure(op, failed);
        return false;
    }
    if (op.negate)
        result = -result;
    return true;
}

// Inlined into each kind of evaluation: for short formulas the call would cost as much as the walk.
#if defined(__GNUC__)
#define FORMULA_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define FORMULA_ALWAYS_INLINE inline
#endif

FORMULA_ALWAYS_INLINE bool FormulaEvaluator::walk(double& result) {
    double* const args = args_.data();
    double* const values = rowValues_.data();
    // Results come back from the library through a slot of their own, so that r stays in a register.
    double libraryResult = 0.0;
    const auto viaLibrary = [&](const Step& s, double& r) {
        if (!libraryStep(ops_[static_cast<std::size_t>(s.op)], libraryResult))
            return false;
        r = libraryResult;
        return true;
    };
    for (const Step& s : steps_) {
        double r = 0.0;
        {
            const double* a = args + s.argBase;
            unsigned kind = s.kind;
        dispatch:
            switch (kind) {
            case guarded:
                // A row skipped on its comparison gives 0 and cannot fail.
                if (values[s.cond] == 0.0)
                    goto skipped;
                kind = s.guardedKind;
                goto dispatch;
            case library:
                if (!viaLibrary(s, r))
                    return false;
                break;
            case add:
                r = a[0] + a[1];
                break;
            case subtract:
                r = a[0] - a[1];
                break;
            case multiply:
                r = a[0] * a[1];
                break;
            case divide:
                r = a[0] / a[1];
                break;
            case power:
                if (a[1] == 2)
                    r = a[0] * a[0];
                else if (!viaLibrary(s, r))
                    return false;
                break;
            case squared:
                r = a[0] * a[0];
                break;
            case cubed:
                // Whole bases: short significand, every product exact (see wholePower).
                if ((bitsOf(a[0]) & ((std::uint64_t{1} << 36) - 1)) == 0 && std::fabs(a[0]) <= 0x1p200 &&
                    (std::fabs(a[0]) >= 0x1p-200 || a[0] == 0)) {
                    r = a[0] * a[0] * a[0];
                    break;
                }
                [[fallthrough]];
            case fourthPower:
                if (wholePower(a[0], kind == cubed ? 3 : 4, libraryResult))
                    r = libraryResult;
                else if (!viaLibrary(s, r))
                    return false;
                break;
            case percent:
                r = a[0] / 100;
                break;
            case negative:
                r = -a[0];
                break;
            case carrier:
                r = a[1];
                break;
            case absolute:
                r = std::fabs(a[0]);
                break;
            case cosine:
                r = std::cos(a[0] * angleFactor_);
                break;
            case sine:
                r = std::sin(a[0] * angleFactor_);
                break;
            case tangent:
                r = std::tan(a[0] * angleFactor_);
                break;
            case exponential:
                r = std::exp(a[0]);
                break;
            case logarithm:
                if (a[0] > 0)
                    r = std::log(a[0]);
                else if (!viaLibrary(s, r))
                    return false;
                break;
            case squareRoot:
                if (a[0] >= 0)
                    r = std::sqrt(a[0]);
                else if (!viaLibrary(s, r))
                    return false;
                break;
            case greater:
                r = a[0] > a[1];
                break;
            case greaterEqual:
                r = a[0] >= a[1];
                break;
            case less:
                r = a[0] < a[1];
                break;
            case lessEqual:
                r = a[0] <= a[1];
                break;
            case equal:
                r = a[0] == a[1];
                break;
            case notEqual:
                r = a[0] != a[1];
                break;
            case minimum:
                r = *std::min_element(a, a + s.argTop);
                break;
            case maximum:
                r = *std::max_element(a, a + s.argTop);
                break;
            case sum:
                for (int i = 0; i < s.argTop; ++i)
                    r += a[i];
                break;
#if defined(__GNUC__)
            default:
                __builtin_unreachable();
#endif
            }
            if (!(std::fabs(r) <= largest)) {
                reportFailure(ops_[static_cast<std::size_t>(s.op)], failed);
                return false;
            }
        }
    skipped:
        values[s.row] = r;
        args[s.target] = r;
        result = r; // the last row gives the formula's value
    }
    return true;
}

// The variables read with a minus sign come last in the list.
void FormulaEvaluator::loadVariables() {
    double* const args = args_.data();
    const double* const values = varValues_.data();
    const Load* const l = loads_.data();
    const Load* const negated = l + plainLoads_;
    const Load* const end = l + loads_.size();
    for (const Load* p = l; p != negated; ++p)
        args[p->slot] = values[p->var];
    for (const Load* p = negated; p != end; ++p)
        args[p->slot] = -values[p->var];
}

void FormulaEvaluator::raise(long number) {
    throw FormulaError(number, errorDescription_);
}

// With no error pending, no check to make and the formula stored: the walk and nothing else.
double FormulaEvaluator::evalReady() {
    loadVariables();
    double result = 0.0;
    if (!walk(result))
        raise(1001);
    return result;
}

double FormulaEvaluator::evalChecked() {
    if (!storedOk_)
        raise(1001);
    errorDescription_.clear();
    errorId_ = 0;
    if (opAssignExplicit_ && !vars_.empty()) {
        for (const Var& v : vars_) {
            if (!v.assigned) {
                errorPos_ = 1;
                fail(18, {v.name});
                raise(1001);
            }
        }
    }
    return evalReady();
}

double FormulaEvaluator::eval1Ready(double x) {
    double* const args = args_.data();
    const Load* const l = loads_.data();
    const Load* const negated = l + plainLoads_;
    const Load* const end = l + loads_.size();
    for (const Load* p = l; p != negated; ++p)
        args[p->slot] = x;
    for (const Load* p = negated; p != end; ++p)
        args[p->slot] = -x;
    double result = 0.0;
    if (!walk(result))
        raise(1002);
    return result;
}

double FormulaEvaluator::eval1Checked(double x) {
    if (!storedOk_)
        raise(1002);
    errorDescription_.clear();
    errorId_ = 0;
    if (vars_.size() > 1) {
        errorPos_ = 1;
        fail(1);
        raise(1002);
    }
    return eval1Ready(x);
}

std::vector<double> FormulaEvaluator::evalMulti(const std::vector<double>& varValue) {
    return evalMulti(varValue, 1L);
}

std::vector<double> FormulaEvaluator::evalMulti(const std::vector<double>& varValue,
                                                const std::string& varName) {
    if (!storedOk_)
        raise(1001);
    const int i = findVar(varName);
    return evalMulti(varValue, i < 0 ? 0L : static_cast<long>(i) + 1);
}

std::vector<double> FormulaEvaluator::evalMulti(const std::vector<double>& varValue, long varIndex) {
    if (!storedOk_)
        raise(1001);
    if (errorId_ != 0 || !errorDescription_.empty()) {
        errorDescription_.clear();
        errorId_ = 0;
    }
    if (vars_.empty() || varIndex < 1 || varIndex > varTop()) {
        errorPos_ = 1;
        fail(2);
        raise(1001);
    }
    std::vector<double> result(varValue.size(), 0.0);
    double& target = varValues_[static_cast<std::size_t>(varIndex - 1)];
    for (std::size_t i = 1; i < varValue.size(); ++i) {
        target = varValue[i];
        loadVariables();
        if (!walk(result[i]))
            raise(1001);
    }
    return result;
}

} // namespace formula

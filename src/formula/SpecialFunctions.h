// Double-precision special functions behind the formula library. Each routine picks a series, a
// continued fraction, a recurrence or an asymptotic expansion by fixed thresholds, and every loop has
// a fixed bound, so no input can make one run away. A routine that cannot give a value returns NaN
// (the evaluator reports that as an evaluation error); the incomplete gamma and hypergeometric
// routines also give a message text, "Warning! You should check the accuracy" among them when their
// own terms show that the result kept fewer than 8 significant digits (terms cancelling each other,
// a series cut off).
#pragma once

#include <string>

namespace formula::special {

constexpr double pi = 3.14159265358979;

double erf(double x);

// Gamma as mantissa m (1 <= m < 10) and decimal exponent n, usable far beyond the range of a double.
// Returns false for x <= 0.
bool gammaScaled(double x, double& m, double& n);
double gamma(double x);   // x > 0
double gammaLn(double x); // x > 0
double beta(double a, double b);
double digamma(double x);
double zeta(double s);
double ei(double x);
double expIntegralN(double x, double n); // E_n(x), n whole

struct IncompleteGamma {
    double lower = 0.0;
    double upper = 0.0;
    double ratio = 0.0;
    std::string message;
};
IncompleteGamma incompleteGamma(double a, double x);
double incompleteBeta(double x, double a, double b);
double hypergeometric(double a, double b, double c, double x, std::string& message);

// Gamma with the reflection for negative arguments; NaN at the poles.
double gammaSigned(double x);

double besselJ(double x, double n);
double besselY(double x, double n);
double besselI(double x, double n);
double besselK(double x, double n);

struct SiCi {
    double si = 0.0;
    double ci = 0.0;
};
SiCi sineCosineIntegrals(double x);

struct Fresnel {
    double s = 0.0;
    double c = 0.0;
};
Fresnel fresnel(double x);

struct Airy {
    double ai = 0.0;
    double bi = 0.0;
    double aiPrime = 0.0;
    double biPrime = 0.0;
};
Airy airy(double x);

struct Elliptic {
    double f = 0.0;
    double e = 0.0;
};
Elliptic elliptic(double phiDegrees, double k);

double legendre(double x, double n);
double hermite(double x, double n);
double laguerre(double x, double n);
double chebyshev(double x, double n);

} // namespace formula::special

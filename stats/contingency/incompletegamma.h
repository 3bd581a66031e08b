#pragma once

#include <QString>

// The regularized incomplete gamma functions behind the chi-squared tail.
// Failures never end the process: each routine hands back its error text.

// ln Gamma(x) for x > 0 (Lanczos, six terms; relative error of Gamma below
// about 2e-10).
double logGamma(double x);

// What one routine gives: value is NaN when error holds the routine's text.
struct GammaResult
{
    double value = 0.0;
    double logGammaA = 0.0;  // ln Gamma(a), the out-parameter of gser and gcf
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// P(a, x) by its series, for 0 <= x < a + 1.
GammaResult gser(double a, double x);

// Q(a, x) by its continued fraction (modified Lentz), for x >= a + 1.
GammaResult gcf(double a, double x);

// Q(a, x) = 1 - P(a, x) for a > 0, x >= 0; NaN on failure, with the
// routine's text in *error when given.
double gammq(double a, double x, QString *error = nullptr);

// The iteration limit of gser and gcf for the parameter a.
int gammaIterationLimit(double a);

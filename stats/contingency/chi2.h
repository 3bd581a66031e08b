#pragma once

#include <QString>

// Upper tail of the chi-squared distribution: Q(df / 2, x2 / 2). On a
// failure of the incomplete gamma routines returns NaN and, when error is
// given, the routine's text.
// One and two degrees of freedom (the tests of 2 x 2 and 2 x 3 tables) are
// taken in closed form: there the series is up to thousands of ulps off.
// So are other whole df up to 2000 while x2 / 2 <= 700 (erfc or nothing,
// plus the Poisson sum's positive terms), where the series loses digits
// as df grows (1e-11 at 41 df).
double chi2PValue(double x2, double df, QString *error = nullptr);

// The upper tail of chi-squared with 1 or 2 degrees of freedom, in closed
// form (the square of a normal: erfc(sqrt(x / 2)); two of them: e^(-x/2)),
// for x >= 0 and finite; NaN for anything else. Accurate to an ulp or two
// far into the tail, and a few times faster than the series.
double chiSquaredUpperTail(double x, int df);

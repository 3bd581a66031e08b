#pragma once

#include <QString>

// Upper tail of the chi-squared distribution: Q(df / 2, x2 / 2). On a
// failure of the incomplete gamma routines returns NaN and, when error is
// given, the routine's text.
double chi2PValue(double x2, double df, QString *error = nullptr);

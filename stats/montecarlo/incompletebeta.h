#pragma once

// The regularized incomplete beta function I_x(a, b) for a, b > 0 and
// 0 <= x <= 1, and its inverse in x. Both return NaN for arguments outside
// those ranges or when the continued fraction does not converge within its
// cap (then *converged, when given, is false).
double regularizedBeta(double x, double a, double b, bool *converged = nullptr);

// The x in [0, 1] with I_x(a, b) = p, to the neighbouring double: the
// smallest double x with I_x(a, b) >= p.
double betaQuantile(double p, double a, double b, bool *converged = nullptr);

#pragma once

// Quantiles of the normal distribution and of the chi-squared with one
// degree of freedom, by inverting erfc: defined at every double of their
// range, to within a few units in the last place.

// t >= 0 with erfc(t) = y, for 0 < y <= 1; NaN outside that range.
double inverseErfc(double y);

// The upper quantile of the standard normal distribution: z with
// P(Z > z) = p, for 0 < p < 1; NaN outside that range.
double normalUpperQuantile(double p);

// x with P(X >= x) = p for X chi-squared with 1 degree of freedom: the
// square of the normal quantile of p / 2, 2 inverseErfc(p)^2. 0 at p = 1,
// +infinity at p = 0 (a P-value below the smallest double), NaN outside
// [0, 1].
double chiSquared1UpperQuantile(double p);

#pragma once

#include <QtGlobal>

#include <vector>

// The median of the chi-squared distribution with 1 degree of freedom
// (0.454936...): the divisor of the genomic-control lambda.
constexpr double kChiSquared1Median = 0.45493642311957283;

// The x with P(X >= x) = p for X chi-squared with 1 degree of freedom:
// 2 t^2 with erfc(t) = p, found by Newton's method on ln erfc, which keeps
// its digits down to the smallest double. NaN for p outside (0, 1] or when
// the iteration does not settle within its cap.
double chiSquared1Quantile(double p);

// The genomic-control lambda of P-values sorted in ascending order, every
// one in (0, 1]: the median of their 1-df chi-squared quantiles over
// kChiSquared1Median. The quantile falls as P rises, so the median is taken
// from the middle one or two P-values. NaN for an empty list.
double genomicControlLambda(const std::vector<double> &sortedPValues);

#pragma once

#include <QtGlobal>

#include <vector>

// The median of the chi-squared distribution with 1 degree of freedom
// (0.454936...): the divisor of the genomic-control lambda.
constexpr double kChiSquared1Median = 0.45493642311957283;

// The genomic-control lambda of P-values sorted in ascending order, every
// one in [0, 1]: the median of their 1-df chi-squared quantiles
// (chiSquared1UpperQuantile, infinite at P = 0) over kChiSquared1Median.
// The quantile falls as P rises, so the median is taken from the middle
// one or two P-values; it is infinite when P = 0 reaches the middle. NaN
// for an empty list.
double genomicControlLambda(const std::vector<double> &sortedPValues);

#pragma once

// The upper quantile of the standard normal distribution: z with
// P(Z > z) = p, for 0 < p < 1. NaN outside that range, or if the
// refinement does not converge (it always has, to within 2 ulps, from the
// starting error of 4.5e-4).
double normalUpperQuantile(double p);

// The upper tail of chi-squared with 1 or 2 degrees of freedom, in closed
// form (the square of a normal: erfc(sqrt(x / 2)); two of them: e^(-x/2)),
// for x >= 0 and finite. Accurate to an ulp or two far into the tail, and a
// few times faster than the incomplete gamma function's series.
double chiSquaredUpperTail(double x, int df);

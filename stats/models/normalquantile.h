#pragma once

// The upper quantile of the standard normal distribution: z with
// P(Z > z) = p, for 0 < p < 1. NaN outside that range, or if the
// refinement does not converge (it always has, to within 2 ulps, from the
// starting error of 4.5e-4).
double normalUpperQuantile(double p);

#pragma once

// The reference distributions of the strata engine's tests and intervals,
// over the product's own incomplete gamma and beta functions. Each returns
// NaN for arguments outside its domain or when a series does not converge.
namespace stratadist {

// P(|Z| >= |z|) for a standard normal Z.
double normalTwoSided(double z);
// The z with P(Z > z) = p.
double normalUpperQuantile(double p);
// P(X >= x) for chi-squared with df > 0 degrees of freedom.
double chi2Upper(double x, double df);
// The x with P(X >= x) = p, 0 < p < 1.
double chi2UpperQuantile(double p, double df);
// P(|T| >= |t|) for Student's t with df > 0.
double studentTwoSided(double t, double df);
// The t with P(T > t) = p, 0 < p < 1.
double studentUpperQuantile(double p, double df);

} // namespace stratadist

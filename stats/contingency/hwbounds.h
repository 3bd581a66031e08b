#pragma once

// Bounds on the score that the completions of a partial genotype table can
// add, for the k alleles still to place with counts c[0..k-1] (their sum
// even). Score of a (sub)table: H ln 2 - sum over its cells of ln(n_ij!).
// lnFact must reach the sum of the counts.

// ln of the total weight sum of exp(score) over all completions:
// ln((2n)!) - ln(n!) - sum ln(c_j!), n = half the sum of the counts.
double hwCompletionLogWeight(const int *c, int k, const double *lnFact);

// A score that no completion exceeds (Lagrangian bound, see the .cpp).
double hwMaxScoreBound(const int *c, int k, const double *lnFact);

// A score that every completion reaches at least.
double hwMinScoreBound(const int *c, int k, const double *lnFact);

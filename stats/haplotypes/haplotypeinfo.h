#pragma once

#include "haplotypeem.h"

#include <QtNumeric>

#include <vector>

// What a fit of haplotype frequencies says beyond the estimate: the
// variance of a ratio of frequencies, and the score test of a haplotype's
// copies against the trait.
namespace haplotypeinfo {

// The most free haplotypes an observed information is inverted for (a
// dense matrix of their count squared).
constexpr int kMaxFree = 2000;

// A haplotype below this expected count (2 n f) is held at 0: its
// frequency sits on the boundary, where the information says nothing.
constexpr double kFreeCount = 1e-3;

// A group of haplotypes (one, or the pooled rare ones), by their codes.
using Entry = std::vector<quint32>;

// Var of ln(P_E / P_ref) at the fit's estimate, per entry E, where P is a
// summed frequency: the gradient through the inverse of the observed
// information of the free frequencies (every haplotype at an expected count
// of 0.001 or more, the reference's taken as 1 minus the others'), which
// holds the phase uncertainty. NaN for an entry at the boundary, or where
// the information is singular or too large (kMaxFree).
std::vector<double> logRatioVariances(const haplotypeem::Fit &fit, const std::vector<double> &weights,
                                      quint32 reference, const std::vector<Entry> &entries);

struct Score
{
    double z = qQNaN();
    double p = qQNaN();
};

// The score test of the copies of each entry against case status, phase
// unknown (Schaid et al. 2002): U = sum (y - ybar) E[x | G] over the pooled
// fit's posteriors, over the square root of its observed information,
// ybar (1 - ybar) sum (E[x | G] - mean)^2 + sum (ybar (1 - ybar) - (y - ybar)^2) Var[x | G].
// NaN where that is not positive.
std::vector<Score> scores(const haplotypeem::Fit &pooled, const std::vector<double> &all,
                          const std::vector<double> &cases, const std::vector<Entry> &entries);

} // namespace haplotypeinfo

#include "hwbounds.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

double hwCompletionLogWeight(const int *c, int k, const double *lnFact)
{
    qint64 total = 0;
    double w = 0.0;
    for (int j = 0; j < k; ++j) {
        total += c[j];
        w -= lnFact[c[j]];
    }
    return w + lnFact[total] - lnFact[total / 2];
}

namespace {

// max over whole m >= 0 of m * ln(q) - ln(m!), for q = num / den > 0: the
// maximiser is floor(q), where the ratio of neighbouring terms q / (m + 1)
// falls below one.
double cellMax(double lnQ, qint64 num, qint64 den, const double *lnFact)
{
    if (num < den)
        return 0.0;  // m = 0, without the division
    const qint64 m = num / den;
    return m == 0 ? 0.0 : static_cast<double>(m) * lnQ - lnFact[m];
}

} // namespace

// Any multipliers lambda_i give an upper bound: a table's score equals
// sum_i lambda_i c_i + sum over cells of (n a - ln n!) with a = ln 2 -
// lambda_i - lambda_j off the diagonal and -2 lambda_i on it, and each cell
// term is at most its maximum over whole n. lambda_i = ln(2 sqrt(n) / c_i)
// are the multipliers of the Hardy-Weinberg expectations n_ij = c_i c_j /
// (2n), n_ii = c_i^2 / (4n), which make the bound close to the true maximum.
double hwMaxScoreBound(const int *c, int k, const double *lnFact)
{
    qint64 total = 0;
    for (int j = 0; j < k; ++j)
        total += c[j];
    if (total == 0)
        return 0.0;
    const qint64 n = total / 2;
    const double lnTwoN = std::log(static_cast<double>(total));
    const double lnFourN = lnTwoN + lnFact[2];
    const double lnTwoRootN = 0.5 * lnFourN;
    // Each count's logarithm once, not once per pair: with many alleles
    // the pairs' logarithms were most of a node's cost.
    constexpr int kHeld = 128;
    double held[kHeld];
    const auto lnOf = [&](int j) {
        return j < kHeld ? held[j] : std::log(static_cast<double>(c[j]));
    };
    for (int j = 0; j < std::min(k, kHeld); ++j)
        held[j] = c[j] > 0 ? std::log(static_cast<double>(c[j])) : 0.0;
    double bound = 0.0;
    for (int i = 0; i < k; ++i) {
        if (c[i] == 0)
            continue;  // an absent allele has no cells
        const double lnCi = lnOf(i);
        bound += c[i] * (lnTwoRootN - lnCi);
        const qint64 ci = c[i];
        bound += cellMax(2.0 * lnCi - lnFourN, ci * ci, 4 * n, lnFact);
        for (int j = i + 1; j < k; ++j) {
            if (c[j] == 0)
                continue;
            bound += cellMax(lnCi + lnOf(j) - lnTwoN, ci * c[j], 2 * n, lnFact);
        }
    }
    return bound;
}

// Split the score allele by allele: with m_i heterozygous copies of allele
// i, score = sum_i [ (m_i / 2) ln 2 - ln(n_ii!) - (1/2) sum_j ln(n_ij!) ] and
// sum_j ln(n_ij!) <= ln(m_i!), so each allele adds at least
// psi(m) = (m / 2) ln 2 - ln(((c_i - m) / 2)!) - ln(m!) / 2 at its own m.
// psi is concave over m of the parity of c_i, so its minimum lies at the
// smallest or the largest feasible m.
double hwMinScoreBound(const int *c, int k, const double *lnFact)
{
    qint64 total = 0;
    for (int j = 0; j < k; ++j)
        total += c[j];
    const double ln2 = lnFact[2];
    double bound = 0.0;
    for (int i = 0; i < k; ++i) {
        const qint64 ci = c[i];
        if (ci == 0)
            continue;
        const auto psi = [&](qint64 m) {
            return 0.5 * ln2 * static_cast<double>(m) - lnFact[(ci - m) / 2] - 0.5 * lnFact[m];
        };
        const qint64 mLow = ci % 2;
        qint64 mHigh = std::min(ci, total - ci);  // partners must exist
        if ((mHigh - ci) % 2 != 0)
            --mHigh;
        bound += mHigh > mLow ? std::min(psi(mLow), psi(mHigh)) : psi(mLow);
    }
    return bound;
}

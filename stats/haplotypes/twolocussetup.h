#pragma once

// What the two-locus estimate and its likelihood grid share: the counts
// read as haplotypes, the cubic and the likelihood. Internal to
// stats/haplotypes.
#include "twolocus.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace twolocus::detail {

using Wide = __int128;
using Real = long double;

constexpr double kLn2 = 0.693147180559945309;

// The haplotype counts that the genotypes show, and the cubic in y, the
// count of 11 haplotypes among the 2n, whose roots are the stationary
// points of the likelihood at the observed allele frequencies:
// g(y) = (y - c11) E(y) - m y (y + N2 - a - b),
// E(y) = 2y^2 + (N2 - 2a - 2b) y + ab = N2^2 (f11 f22 + f12 f21).
struct Setup
{
    qint64 c11 = 0, c12 = 0, c21 = 0, c22 = 0;
    qint64 m = 0;        // double heterozygotes
    qint64 singles = 0;  // genotypes heterozygous at one locus (a factor 2 each)
    qint64 n2 = 0;       // haplotypes
    qint64 a = 0, b = 0; // REF alleles at A and at B
    Wide k2 = 0, k1 = 0, k0 = 0;  // g(y) = 2y^3 + k2 y^2 + k1 y + k0

    explicit Setup(const Counts &c)
    {
        const auto &n = c.n;
        c11 = 2 * n[0][0] + n[0][1] + n[1][0];
        c12 = 2 * n[0][2] + n[0][1] + n[1][2];
        c21 = 2 * n[2][0] + n[1][0] + n[2][1];
        c22 = 2 * n[2][2] + n[1][2] + n[2][1];
        m = n[1][1];
        singles = n[0][1] + n[1][0] + n[1][2] + n[2][1];
        n2 = 2 * c.total();
        a = c11 + c12 + m;
        b = c11 + c21 + m;
        const Wide N = n2, A = a, B = b, C = c11, M = m;
        k2 = N - 2 * A - 2 * B - 2 * C - M;
        k1 = A * B - C * (N - 2 * A - 2 * B) - M * (N - A - B);
        k0 = -C * A * B;
    }

    Wide exactAt(qint64 y) const
    {
        const Wide Y = y;
        return ((2 * Y + k2) * Y + k1) * Y + k0;
    }
    Real at(Real y) const { return ((2 * y + Real(k2)) * y + Real(k1)) * y + Real(k0); }
    Real slope(Real y) const { return (6 * y + 2 * Real(k2)) * y + Real(k1); }

    qint64 lo() const { return std::max<qint64>(0, a + b - n2); }
    qint64 hi() const { return std::min(a, b); }

    void haplotypes(Real y, double f[4]) const
    {
        const Real N = Real(n2);
        f[0] = double(y / N);
        f[1] = double((Real(a) - y) / N);
        f[2] = double((Real(b) - y) / N);
        f[3] = double((Real(n2 - a - b) + y) / N);
    }

    // The log-likelihood at y; minus infinity where a haplotype that the
    // genotypes show has no frequency.
    double loglik(Real y) const
    {
        double f[4];
        haplotypes(y, f);
        const qint64 counts[4] = {c11, c12, c21, c22};
        double sum = kLn2 * double(singles + m);
        for (int h = 0; h < 4; ++h) {
            if (counts[h] == 0)
                continue;
            if (!(f[h] > 0))
                return -std::numeric_limits<double>::infinity();
            sum += double(counts[h]) * std::log(f[h]);
        }
        if (m > 0) {
            const double mixed = f[0] * f[3] + f[1] * f[2];
            if (!(mixed > 0))
                return -std::numeric_limits<double>::infinity();
            sum += double(m) * std::log(mixed);
        }
        return sum;
    }
};

} // namespace twolocus::detail

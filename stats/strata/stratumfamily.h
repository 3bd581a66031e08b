#pragma once

#include "stratumtable.h"

#include <vector>

// The family of one informative stratum with its margins fixed: the first
// cell v runs over [lo, hi] with weight w(v) = C(m, v) C(n, k - v) psi^v
// (m exposed, n unexposed, k cases), the noncentral hypergeometric
// distribution of odds ratio psi = e^theta. Log-concave in v, so every
// walk starts at the mode and stops once what is left outward is below a
// stated share of what it has summed.
class stratumfamily final
{
public:
    stratumfamily() = default;
    explicit stratumfamily(const StratumTable &t)
        : m(t.a + t.c), n(t.b + t.d), k(t.a + t.b), x(t.a),
          lo(k - n > 0 ? k - n : 0), hi(k < m ? k : m)
    {
    }

    qint64 least() const { return lo; }
    qint64 most() const { return hi; }
    qint64 observed() const { return x; }
    // lo < hi: the first cell can vary.
    bool varies() const { return lo < hi; }

    // w(v + 1) / w(v) at psi = 1.
    double up(qint64 v) const
    {
        return (double(m - v) * double(k - v)) / (double(v + 1) * double(n - k + v + 1));
    }
    // The most probable v at psi (the lowest of two on a tie).
    qint64 mode(double psi) const;
    // ln C(m, v) + ln C(n, k - v).
    double logCentral(qint64 v) const;
    // ln C(m + n, k): the log of the sum of w(v) at psi = 1.
    double logCentralTotal() const;
    // Mean and variance at psi = 1, in closed form.
    double centralMean() const;
    double centralVariance() const;

    struct Moments
    {
        double mean = 0.0;
        double variance = 0.0;
    };
    // At theta = ln psi, to about 1e-16 of the total weight.
    Moments moments(double theta) const;

    // The weights at theta relative to the mode's, from the mode outwards
    // while they are at least `cut`, into out[0..count) for v = *first on;
    // *logMode = ln w(mode) at theta. `down` is scratch.
    void weights(double theta, double cut, std::vector<double> &out, std::vector<double> &down, qint64 *first,
                 double *logMode) const;

private:
    qint64 m = 0, n = 0, k = 0, x = 0, lo = 0, hi = 0;
};

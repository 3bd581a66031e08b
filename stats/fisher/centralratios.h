#pragma once

#include <QtGlobal>

#include <memory>

// The ratios of neighbouring weights in the family of a 2 x 2 table
// (a b / c d) with its margins fixed, at odds ratio 1: with v the first
// cell, row total k = a + b and column totals m = a + c, n = b + d,
//   up(v)   = w(v + 1) / w(v) = (m - v)(k - v) / ((v + 1)(n - k + v + 1)),
//   down(v) = w(v - 1) / w(v) = v (n - k + v) / ((m - v + 1)(k - v + 1)).
// Fisher's P sums these weights and every noncentral one is the same times
// psi^v, so one table of ratios serves the P, its mid-p, the conditional
// estimate and both limits. They are tabulated once over a window about
// the observed a, where the mass of all of these lies; beyond it they are
// worked out on demand, to the same bits.
class centralratios final
{
public:
    // Counts at least 0 with every margin at least 1.
    centralratios(qint64 a, qint64 b, qint64 c, qint64 d);
    centralratios(const centralratios &) = delete;
    centralratios &operator=(const centralratios &) = delete;

    qint64 a() const { return x; }
    qint64 b() const { return k_ - x; }
    qint64 m() const { return mm; }
    qint64 n() const { return nn; }
    qint64 k() const { return k_; }
    qint64 least() const { return lo; }
    qint64 most() const { return hi; }

    // The tabulated v: first() to last(), both within the support.
    qint64 first() const { return from; }
    qint64 last() const { return from + count - 1; }

    double up(qint64 v) const
    {
        return v >= from && v - from < count ? ups[v - from] : upAt(v);
    }
    double down(qint64 v) const
    {
        return v >= from && v - from < count ? downs[v - from] : downAt(v);
    }
    // The tables themselves, indexed by v - first().
    const double *upTable() const { return ups; }
    const double *downTable() const { return downs; }

    // Worked out directly: each product of two factors as an integer,
    // rounded once, then one division (as the 2 x 2 Fisher walk of int
    // counts always did); beyond 2^31 individuals, whose products could
    // leave 64 bits, in doubles.
    double upAt(qint64 v) const
    {
        if (wide)
            return (double(mm - v) * double(k_ - v)) / (double(v + 1) * double(nn - k_ + v + 1));
        return double((mm - v) * (k_ - v)) / double((v + 1) * (nn - k_ + v + 1));
    }
    double downAt(qint64 v) const
    {
        if (wide)
            return (double(v) * double(nn - k_ + v)) / (double(mm - v + 1) * double(k_ - v + 1));
        return double(v * (nn - k_ + v)) / double((mm - v + 1) * (k_ - v + 1));
    }

private:
    qint64 x, k_, mm, nn, lo, hi, from = 0, count = 0;
    bool wide;
    // ups, then downs: in place for the tables of a few thousand
    // individuals (no allocation per table in a batch), else on the heap.
    static constexpr qint64 kInPlace = 512;
    double inPlace[2 * kInPlace];
    std::unique_ptr<double[]> storage;
    double *ups = nullptr, *downs = nullptr;
};

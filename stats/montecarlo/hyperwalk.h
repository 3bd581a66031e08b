#pragma once

#include "lnfactorial.h"

#include <QtGlobal>

#include <algorithm>

// The draws of the Monte Carlo samplers: inversion of a discrete law's
// cumulative distribution, walked from the mode outwards, one value above
// it, then one below, each side until it leaves the support or its
// probabilities underflow to 0. The draw is the first value whose sum of
// probabilities so far exceeds the uniform; a value's sum is the mode's
// probability (from the scaled factorials) times the sum of the relative
// probabilities so far. Each next relative probability is the previous one
// times the law's ratio of neighbours (products of counts and of
// reciprocals from a table, no division). The order is fixed, not by
// falling probability, so the first values of a walk are summed and
// compared without a branch. A sampler's kept walks (drawcache) hold these
// very values and sums, so a kept draw is the draw the walk gives.

// 1 / k from the table, or by division where there is none (a run with
// more counts than the table holds). A walk looks a few values past the
// ends of the support (walkstate::first), so the table runs past n.
inline double reciprocal(const double *table, qint64 k)
{
    return table ? table[k] : 1.0 / double(k);
}

// The hypergeometric law: how many of `small` marked items are among
// `large` drawn from `total`, with small <= large <= total / 2 (every draw
// is reduced to that, see tablesampler). Support 0..small.
struct hyperlaw
{
    hyperlaw(qint64 total, qint64 small, qint64 large, const double *reciprocals)
        : total(total), small(small), large(large), rest(total - small - large), high(small),
          s(double(small)), l(double(large)), r(double(rest)), inverse(reciprocals)
    {
    }

    // floor((large + 1)(small + 1) / (total + 2)): exact enough to start from.
    qint64 mode() const
    {
        return std::clamp<qint64>(qint64((l + 1.0) * (s + 1.0) * reciprocal(inverse, total + 2)), 0, high);
    }

    // P(k + 1) / P(k) for k < high, and P(k - 1) / P(k) for k > 0.
    double up(qint64 k) const
    {
        const double x = double(k);
        return (s - x) * (l - x) * reciprocal(inverse, k + 1) * reciprocal(inverse, rest + k + 1);
    }
    double down(qint64 k) const
    {
        const double x = double(k);
        return x * (r + x) * reciprocal(inverse, small - k + 1) * reciprocal(inverse, large - k + 1);
    }
    double probability(qint64 k, const lnfactorial &f) const
    {
        return f.ratio(small, total - small, large, total - large, k, small - k, large - k, rest + k, total);
    }

    qint64 total, small, large, rest;
    qint64 low = 0, high;
    double s, l, r;
    const double *inverse;
};

// The homozygotes of one allele in a random pairing: among 2 * pairs
// copies, `copies` of the allele; h of its pairs join two of them, with
// P(h) = copies! (2 pairs - copies)! pairs! 2^(copies - 2h)
//        / ((2 pairs)! h! (copies - 2h)! (pairs - copies + h)!),
// h from max(0, copies - pairs) to copies / 2.
struct homozygotelaw
{
    homozygotelaw(qint64 copies, qint64 pairs, const double *reciprocals)
        : copies(copies), pairs(pairs), rest(pairs - copies), low(std::max<qint64>(0, copies - pairs)),
          high(copies / 2), a(double(copies)), r(double(rest)), inverse(reciprocals)
    {
    }

    // From the mean a(a - 1) / (2(2 pairs - 1)) to the mode of the
    // unimodal law, a step or two.
    qint64 mode() const
    {
        const double mean = pairs > 0 ? a * (a - 1.0) / (2.0 * (2.0 * double(pairs) - 1.0)) : 0.0;
        qint64 h = std::clamp<qint64>(qint64(mean), low, high);
        while (h < high && up(h) > 1.0)
            ++h;
        while (h > low && down(h) > 1.0)
            --h;
        return h;
    }

    double up(qint64 h) const
    {
        const double x = double(h);
        return 0.25 * (a - 2.0 * x) * (a - 2.0 * x - 1.0) * reciprocal(inverse, h + 1)
               * reciprocal(inverse, rest + h + 1);
    }
    double down(qint64 h) const
    {
        const double x = double(h);
        return 4.0 * x * (r + x) * reciprocal(inverse, copies - 2 * h + 2) * reciprocal(inverse, copies - 2 * h + 1);
    }
    double probability(qint64 h, const lnfactorial &f) const
    {
        return f.ratio(copies, 2 * pairs - copies, pairs, 0, h, copies - 2 * h, rest + h, 2 * pairs, 0,
                       int(copies - 2 * h));
    }

    qint64 copies, pairs, rest;
    qint64 low, high;
    double a, r;
    const double *inverse;
};

// Where a walk stands: the next value on each side and its probability
// relative to the mode's (0 once that side is done), the sum of the
// relative probabilities so far, the mode's probability, and whose turn it
// is. A value's sum is the mode's probability times its relative sum: so
// the long chain of additions runs beside the mode's probability, not
// after it.
struct walkstate
{
    qint64 above = 0;
    qint64 below = 0;
    double rAbove = 0.0;
    double rBelow = 0.0;
    double relative = 0.0;
    double pMode = 0.0;
    bool aboveNext = true;

    double sum() const { return pMode * relative; }

    // At the mode, whose value comes first.
    template <class Law>
    static walkstate start(const Law &law, const lnfactorial &f, qint64 &mode)
    {
        mode = law.mode();
        walkstate w;
        w.pMode = law.probability(mode, f);
        w.above = mode + 1;
        w.below = mode - 1;
        w.relative = 1.0;
        w.rAbove = mode < law.high ? law.up(mode) : 0.0;
        w.rBelow = mode > law.low ? law.down(mode) : 0.0;
        return w;
    }

    // The next value and its sum; false when both sides are done.
    template <class Law>
    bool step(const Law &law, qint64 &value)
    {
        if (rAbove > 0.0 && (aboveNext || rBelow <= 0.0)) {
            value = above;
            relative += rAbove;
            rAbove = above < law.high ? rAbove * law.up(above) : 0.0;
            ++above;
            aboveNext = false;
            return true;
        }
        if (rBelow > 0.0) {
            value = below;
            relative += rBelow;
            rBelow = below > law.low ? rBelow * law.down(below) : 0.0;
            --below;
            aboveNext = true;
            return true;
        }
        return false;
    }

    // The draw for u of a walk not yet started: the mode and the first
    // kRounds values on each side are summed without a branch (a law's
    // ratio of neighbours is 0 at the ends of its support, so a side past
    // its end adds 0 and leaves the sums as they were), and u is compared
    // with all of the sums at once: most draws end there with no branch to
    // mispredict. Otherwise `rest` is the walk after them, for find().
    static constexpr int kRounds = 5;
    // The value at place i of the order mode, +1, -1, +2, -2, ..., from
    // the mode, without a branch: (i + 1) / 2 for odd i, -i / 2 for even.
    static qint64 offset(int i)
    {
        const qint64 odd = i & 1;
        return odd * ((i + 1) >> 1) - (1 - odd) * (i >> 1);
    }

    // How many of the first values' sums, pMode * relative[i], u reaches:
    // the place of the draw among them, found without a branch.
    static int reachedSums(const double (&relative)[2 * kRounds + 1], double pMode, double u)
    {
        int reached = 0;
        for (double r : relative)
            reached += u >= pMode * r ? 1 : 0;
        return reached;
    }
    template <class Law>
    static bool first(const Law &law, const lnfactorial &f, double u, qint64 &value, walkstate &rest)
    {
        const qint64 mode = law.mode();
        double relative[2 * kRounds + 1];
        relative[0] = 1.0;
        double rAbove = law.up(mode);
        double rBelow = law.down(mode);
        for (int j = 1; j <= kRounds; ++j) {
            relative[2 * j - 1] = relative[2 * j - 2] + rAbove;
            relative[2 * j] = relative[2 * j - 1] + rBelow;
            rAbove *= law.up(mode + j);
            rBelow *= law.down(mode - j);
        }
        const double pMode = law.probability(mode, f);
        const int reached = reachedSums(relative, pMode, u);
        if (reached <= 2 * kRounds) {
            value = mode + offset(reached);
            return true;
        }
        rest.above = mode + kRounds + 1;
        rest.below = mode - kRounds - 1;
        rest.rAbove = rAbove;
        rest.rBelow = rBelow;
        rest.relative = relative[2 * kRounds];
        rest.pMode = pMode;
        rest.aboveNext = true;
        return false;
    }

    // first() for the hypergeometric law with its reciprocals at hand, the
    // draw of most tables: the same products in the same order, with the
    // counts of each side's ratios kept as running differences and the
    // reciprocals read at fixed offsets.
    static bool first(const hyperlaw &law, const lnfactorial &f, double u, qint64 &value, walkstate &rest)
    {
        if (!law.inverse)
            return first<hyperlaw>(law, f, u, value, rest);
        const qint64 mode = law.mode();
        const double m = double(mode);
        // up(k) = (s - k)(l - k) / ((k + 1)(rest + k + 1)) from k = mode on,
        // down(k) = k (rest + k) / ((s - k + 1)(l - k + 1)) from k = mode down.
        const double sAbove = law.s - m;
        const double lAbove = law.l - m;
        const double *aboveFirst = law.inverse + mode + 1;
        const double *aboveSecond = law.inverse + law.rest + mode + 1;
        const double rBelowCount = law.r + m;
        const double *belowFirst = law.inverse + law.small - mode + 1;
        const double *belowSecond = law.inverse + law.large - mode + 1;
        double relative[2 * kRounds + 1];
        relative[0] = 1.0;
        double rAbove = sAbove * lAbove * aboveFirst[0] * aboveSecond[0];
        double rBelow = m * rBelowCount * belowFirst[0] * belowSecond[0];
        for (int j = 1; j <= kRounds; ++j) {
            relative[2 * j - 1] = relative[2 * j - 2] + rAbove;
            relative[2 * j] = relative[2 * j - 1] + rBelow;
            const double dj = double(j);
            rAbove *= (sAbove - dj) * (lAbove - dj) * aboveFirst[j] * aboveSecond[j];
            rBelow *= (m - dj) * (rBelowCount - dj) * belowFirst[j] * belowSecond[j];
        }
        const double pMode = f.scaledRatio(law.small, law.total - law.small, law.large, law.total - law.large, mode,
                                           law.small - mode, law.large - mode, law.rest + mode, law.total);
        const int reached = reachedSums(relative, pMode, u);
        if (reached <= 2 * kRounds) {
            value = mode + offset(reached);
            return true;
        }
        rest.above = mode + kRounds + 1;
        rest.below = mode - kRounds - 1;
        rest.rAbove = rAbove;
        rest.rBelow = rBelow;
        rest.relative = relative[2 * kRounds];
        rest.pMode = pMode;
        rest.aboveNext = true;
        return false;
    }

    // The value whose sum first exceeds u (>= sum()), as step() would find
    // it, but a side at a time with one test per pair of steps (a side that
    // is done adds 0, which leaves the sums as they were); false when both
    // sides end first.
    template <class Law>
    bool find(const Law &law, double u, qint64 &value)
    {
        if (!aboveNext && rBelow > 0.0 && step(law, value) && u < sum())
            return true;
        for (;;) {
            if (rAbove <= 0.0 && rBelow <= 0.0)
                return false;
            const double first = relative + rAbove;
            const double second = first + rBelow;
            if (u < pMode * second) {
                value = u < pMode * first ? above : below;
                return true;
            }
            relative = second;
            rAbove = above < law.high ? rAbove * law.up(above) : 0.0;
            ++above;
            rBelow = below > law.low ? rBelow * law.down(below) : 0.0;
            --below;
        }
    }
};

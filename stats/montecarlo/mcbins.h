#pragma once

#include <QtGlobal>

#include <vector>

// The simulated statistic of a Monte Carlo run in fixed bins, counted while
// sampling: a sample costs one index computation and no memory, whatever
// the number of samples. The statistic is chi-squared's X2, or -ln P of the
// table for Fisher and Hardy-Weinberg; a sampler counts the figure it has at
// hand (X2, or the table's log-probability up to a constant), which
// `origin` and `scale` turn into a bin: floor((x - origin) * scale).
// Bins are integers summed over threads, so a seed gives the same bins on
// any number of threads.
struct mcbins
{
    // Fine enough that 60 shown bars can be made of whole bins over any
    // fiftieth of the range.
    static constexpr int kBins = 4096;

    double origin = 0.0;
    double scale = 0.0;   // bins per unit of the sampler's figure (negative: it runs against the statistic)
    double start = 0.0;   // the statistic at the left edge of bin 0
    double width = 1.0;   // one bin's width in the statistic
    double observed = 0.0; // the observed table's statistic
    std::vector<qint64> counts;
    qint64 below = 0;     // samples left of bin 0 (and any NaN)
    qint64 above = 0;     // right of the last bin

    void add(double x)
    {
        const double at = (x - origin) * scale;
        if (!(at >= 0.0))
            ++below;
        else if (at >= double(kBins))
            ++above;
        else
            ++counts[size_t(at)];
    }

    // The same bins with no sample in them.
    mcbins empty() const;
    void merge(const mcbins &other);
    qint64 total() const;
    // The bin of a value of the statistic; -1 left of the bins, kBins right.
    int binOf(double statistic) const;
};

// The bins of each test, laid over the statistic's null range as its
// asymptotics give it (with a wide margin: the samples beyond are counted
// in below and above), and the observed statistic.
namespace mcbinning {

// X2 with df degrees of freedom, from 0.
mcbins chi2(double observed, int df);
// The Fisher 2xN first row x1 among column totals c: -ln P of a table is
// minus the sampler's score, less a constant of the margins.
mcbins fisher(int N, const int *x1, const int *c);
// The K x K genotype table (upper triangle and diagonal): -ln P is minus
// the sampler's score, less a constant of the allele counts.
mcbins hardyWeinberg(int K, const int *table);

} // namespace mcbinning

#include "mcbins.h"

#include <algorithm>
#include <cmath>

mcbins mcbins::empty() const
{
    mcbins bins = *this;
    bins.counts.assign(size_t(kBins), 0);
    bins.below = 0;
    bins.above = 0;
    return bins;
}

void mcbins::merge(const mcbins &other)
{
    counts.resize(size_t(kBins), 0);
    for (size_t i = 0; i < other.counts.size() && i < counts.size(); ++i)
        counts[i] += other.counts[i];
    below += other.below;
    above += other.above;
}

qint64 mcbins::total() const
{
    qint64 sum = below + above;
    for (const qint64 count : counts)
        sum += count;
    return sum;
}

int mcbins::binOf(double statistic) const
{
    const double at = (statistic - start) / width;
    if (!(at >= 0.0))
        return -1;
    return at >= double(kBins) ? kBins : int(at);
}

namespace {

double lnFactorial(double k)
{
    return std::lgamma(k + 1.0);
}

// Over [start, end] of the statistic; the sampler's figure x maps to the
// statistic as sign * x - constant.
mcbins laid(double start, double end, double sign, double constant, double observed)
{
    mcbins bins;
    bins.start = start;
    bins.width = (end - start) / double(mcbins::kBins);
    // statistic = sign * x - constant, so bin = (sign * x - constant - start) / width.
    bins.scale = sign / bins.width;
    bins.origin = sign * (constant + start);
    bins.observed = observed;
    bins.counts.assign(size_t(mcbins::kBins), 0);
    return bins;
}

// How far above its least value the statistic can reach under the null:
// a chi-squared of df degrees of freedom has its mean at df and a standard
// deviation of sqrt(2 df); ten of them and a little more leave out less
// than one sample in a million for any df.
double reach(int df)
{
    const double d = std::max(1, df);
    return d + 10.0 * std::sqrt(2.0 * d) + 10.0;
}

// -ln P of a table is near its least at the expected counts, and rises as
// half the X2 of the table from there; below the expected counts' value by
// a margin for what rounding to whole counts can gain.
mcbins likelihoodBins(double atExpected, double constant, double observed, int df)
{
    const double start = std::max(0.0, atExpected - 0.5 * std::max(1, df) - 2.0);
    return laid(start, atExpected + 0.5 * reach(df), -1.0, constant, observed);
}

} // namespace

namespace mcbinning {

mcbins chi2(double observed, int df)
{
    return laid(0.0, reach(df), 1.0, 0.0, observed);
}

mcbins fisher(int N, const int *x1, const int *c)
{
    // P(x) = prod C(c_j, x_j) / C(T, m): minus the score
    // (sum of ln x_j! + ln (c_j - x_j)!) less the constant below.
    double total = 0.0;
    double first = 0.0;
    double columns = 0.0;
    for (int j = 0; j < N; ++j) {
        total += c[j];
        first += x1[j];
        columns += lnFactorial(c[j]);
    }
    const double constant = columns - lnFactorial(total) + lnFactorial(first) + lnFactorial(total - first);
    double observedLogs = 0.0;
    double expectedLogs = 0.0;
    for (int j = 0; j < N; ++j) {
        observedLogs += lnFactorial(x1[j]) + lnFactorial(c[j] - x1[j]);
        const double e = c[j] * first / total;
        expectedLogs += lnFactorial(e) + lnFactorial(c[j] - e);
    }
    return likelihoodBins(expectedLogs - constant, constant, observedLogs - constant, N - 1);
}

mcbins hardyWeinberg(int K, const int *table)
{
    // P = n! 2^H prod a_i! / ((2n)! prod n_ij!): minus the score
    // (H ln 2 - sum ln n_ij!) less the constant below.
    const size_t k = size_t(K);
    std::vector<double> alleles(k, 0.0);
    double n = 0.0;
    double observedLogs = 0.0;
    double heterozygotes = 0.0;
    for (size_t i = 0; i < k; ++i) {
        for (size_t j = i; j < k; ++j) {
            const double count = table[i * k + j];
            alleles[i] += count;
            alleles[j] += count;
            n += count;
            observedLogs += lnFactorial(count);
            if (j != i)
                heterozygotes += count;
        }
    }
    double constant = lnFactorial(n) - lnFactorial(2.0 * n);
    for (const double a : alleles)
        constant += lnFactorial(a);
    const double ln2 = std::log(2.0);
    double expectedLogs = 0.0;
    double expectedHeterozygotes = 0.0;
    for (size_t i = 0; i < k; ++i) {
        for (size_t j = i; j < k; ++j) {
            const double p = alleles[i] / (2.0 * n);
            const double q = alleles[j] / (2.0 * n);
            const double e = j == i ? n * p * p : 2.0 * n * p * q;
            expectedLogs += lnFactorial(e);
            if (j != i)
                expectedHeterozygotes += e;
        }
    }
    const double atExpected = expectedLogs - expectedHeterozygotes * ln2 - constant;
    const double observed = observedLogs - heterozygotes * ln2 - constant;
    return likelihoodBins(atExpected, constant, observed, K * (K - 1) / 2);
}

} // namespace mcbinning

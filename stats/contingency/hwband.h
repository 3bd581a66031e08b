#pragma once

#include <QtGlobal>

#include <vector>

// The genotype counts that the exact two-allele Hardy-Weinberg test
// (hwtwoallele) accepts at a level, for a sample of n individuals: at a
// count of the second allele, the heterozygote counts whose P-value is
// above the level. The test's distribution is log-concave in the
// heterozygote count, so the accepted counts form one interval around the
// mode and the rejected ones are the least probable tables at both ends.
struct HwBandPoint
{
    qint64 alleleCount = 0;  // copies of the second allele, 0 to 2n
    qint64 hetLow = 0;       // the accepted heterozygote counts, both ends
    qint64 hetHigh = 0;      // included
};

class hwband final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2,     // no individuals, an allele count out of range, a level outside (0, 1)
        NotConverged = 3  // a walk passed its cap (the distribution was not log-concave)
    };

    // The accepted interval at one allele count.
    static int accepted(qint64 individuals, qint64 alleleCount, double level, HwBandPoint *point);

    // Up to this many allele counts (2n + 1: n = 20,000 individuals) the
    // band holds every one of them, so that a picture drawn from it puts
    // every table on its own side. Beyond, one edge per count would give a
    // polygon of millions of corners, each costing a walk of sqrt(n).
    static constexpr qint64 kEveryCount = 40001;

    // The band over every allele count when there are at most
    // max(maxPoints, kEveryCount) of them; otherwise about maxPoints
    // (at least 2) counts spread evenly from 0 to 2n, each with its mirror
    // image 2n - c (whose interval is the same: swapping the alleles leaves
    // the tables alike), and `include` (the observed count) with its
    // mirror. Sorted by allele count.
    static int band(qint64 individuals, double level, int maxPoints, qint64 include,
                    std::vector<HwBandPoint> *points);
};

#pragma once

#include <QtGlobal>

#include <vector>

// What a Q-Q plot of P-values draws, on the -log10 scale: the points of
// the sorted P-values against their expectations (i - 1/2) / n under the
// uniform distribution, and a pointwise 95% band, the 2.5% and 97.5%
// quantiles of the i-th smallest of n uniform values (Beta(i, n - i + 1)).
// A million points are more than any picture shows: a point is kept only
// where it lies at least `resolution` (a share of the axis) from the last
// one kept in either direction, which leaves a few thousand at most and
// moves no drawn point by more than that share. P = 0 (a P-value below
// the smallest double) is an infinite -log10 P: its points have an
// infinite `observed`, for the picture to draw beyond its axis.
struct QqPoints
{
    qint64 count = 0;              // P-values
    qint64 zeros = 0;              // of them P = 0
    double lambda = 0.0;           // the genomic-control lambda; infinite when P = 0 reaches the median
    std::vector<double> expected;  // -log10, kept points, largest first
    std::vector<double> observed;
    std::vector<double> bandExpected;  // -log10 of the band's ranks, largest first
    std::vector<double> bandLow;       // -log10 of the 97.5% quantile
    std::vector<double> bandHigh;      // -log10 of the 2.5% quantile
};

class qqpoints final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2,     // no P-values, or one outside [0, 1]
        NotConverged = 3  // a quantile did not converge
    };

    // Sorts pValues in place. bandRanks: about how many ranks the band is
    // computed at, spread evenly on the -log10 scale.
    static int compute(std::vector<double> &pValues, double resolution, int bandRanks, QqPoints *out);
};

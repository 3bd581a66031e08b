#include "qqpoints.h"

#include "genomiccontrol.h"
#include "incompletebeta.h"

#include <algorithm>
#include <cmath>

int qqpoints::compute(std::vector<double> &pValues, double resolution, int bandRanks, QqPoints *out)
{
    if (pValues.empty() || !out || !(resolution > 0.0) || bandRanks < 2)
        return BadInput;
    for (const double p : pValues) {
        if (!(p >= 0.0) || !(p <= 1.0))
            return BadInput;
    }
    std::sort(pValues.begin(), pValues.end());
    const qint64 n = qint64(pValues.size());
    const double dn = double(n);
    out->count = n;
    out->zeros = std::upper_bound(pValues.begin(), pValues.end(), 0.0) - pValues.begin();
    out->lambda = genomicControlLambda(pValues);
    if (std::isnan(out->lambda))
        return NotConverged;

    const auto expectedAt = [dn](qint64 rank) { return -std::log10((double(rank) - 0.5) / dn); };
    const double xStep = resolution * expectedAt(1);
    // The axis ends at the smallest P above 0; P = 0 lies beyond it.
    const double smallest = out->zeros < n ? pValues[std::size_t(out->zeros)] : 1.0;
    const double yStep = resolution * std::max(-std::log10(smallest), 1.0);
    out->expected.clear();
    out->observed.clear();
    for (qint64 i = 0; i < n; ++i) {
        const double x = expectedAt(i + 1);
        const double y = -std::log10(pValues[std::size_t(i)]);
        // Infinite y (P = 0) equals the last infinite one.
        if (!out->expected.empty() && i + 1 < n && std::fabs(x - out->expected.back()) < xStep
            && (y == out->observed.back() || std::fabs(y - out->observed.back()) < yStep))
            continue;
        out->expected.push_back(x);
        out->observed.push_back(y);
    }

    // Ranks evenly spread in -log10 from the smallest P-value's expectation
    // to the median's, then the ranks to n.
    out->bandExpected.clear();
    out->bandLow.clear();
    out->bandHigh.clear();
    qint64 previous = 0;
    const double top = expectedAt(1);
    for (int k = 0; k < bandRanks; ++k) {
        const double x = top * (1.0 - double(k) / double(bandRanks - 1));
        const qint64 rank = std::clamp(qint64(std::llround(dn * std::pow(10.0, -x) + 0.5)), qint64(1), n);
        if (rank <= previous)
            continue;
        previous = rank;
        bool lowOk = true;
        bool highOk = true;
        const double a = double(rank);
        const double b = dn - a + 1.0;
        const double lower = betaQuantile(0.025, a, b, &lowOk);
        const double upper = betaQuantile(0.975, a, b, &highOk);
        if (!lowOk || !highOk || !(lower > 0.0))
            return NotConverged;
        out->bandExpected.push_back(expectedAt(rank));
        out->bandLow.push_back(-std::log10(upper));
        out->bandHigh.push_back(-std::log10(lower));
    }
    return Finished;
}

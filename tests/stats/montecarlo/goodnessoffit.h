#pragma once

// Test-only: Pearson's goodness-of-fit test of sampled frequencies against
// exact probabilities, with every outcome whose expected count is below 5
// pooled into one bin (joined to the smallest bin if the pool itself stays
// below 5). Returns the P-value of the statistic; -1 when there are too
// few bins to test.

#include "chi2.h"

#include <algorithm>
#include <vector>

namespace goodnessoffit {

inline double pValue(const std::vector<long long> &observed, const std::vector<double> &probabilities,
                     long long samples)
{
    std::vector<double> expectedBins;
    std::vector<double> observedBins;
    double pooledExpected = 0.0;
    double pooledObserved = 0.0;
    for (size_t i = 0; i < observed.size(); ++i) {
        const double expected = probabilities[i] * double(samples);
        if (expected < 5.0) {
            pooledExpected += expected;
            pooledObserved += double(observed[i]);
        } else {
            expectedBins.push_back(expected);
            observedBins.push_back(double(observed[i]));
        }
    }
    if (pooledExpected >= 5.0) {
        expectedBins.push_back(pooledExpected);
        observedBins.push_back(pooledObserved);
    } else if (!expectedBins.empty()) {
        const size_t smallest = size_t(std::min_element(expectedBins.begin(), expectedBins.end())
                                       - expectedBins.begin());
        expectedBins[smallest] += pooledExpected;
        observedBins[smallest] += pooledObserved;
    }
    if (expectedBins.size() < 2)
        return -1.0;
    double x2 = 0.0;
    for (size_t i = 0; i < expectedBins.size(); ++i) {
        const double d = observedBins[i] - expectedBins[i];
        x2 += d * d / expectedBins[i];
    }
    return chi2PValue(x2, double(expectedBins.size() - 1));
}

} // namespace goodnessoffit

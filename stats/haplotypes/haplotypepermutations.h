#pragma once

#include "haplotypeem.h"
#include "mcmodel.h"

#include <vector>

// The permutations of the global haplotype test on the Monte Carlo runner:
// each sample shuffles case status over the individuals and refits both
// groups from the pooled estimate over its pairs. The observed statistic
// is made the same way (observedStatistic), so that it and the permuted
// ones are alike.
class HaplotypePermutations final : public mcmodel
{
public:
    // pooled: the fit of all individuals; patternOf: the pattern of every
    // individual typed; cases: how many of them are cases.
    HaplotypePermutations(const haplotypeem::Fit &pooled, std::vector<int> patternOf, int cases);

    // 2 (lnL cases + lnL controls - lnL all), the groups' fits climbed from
    // the pooled estimate; NaN when a climb does not converge.
    double statistic(const std::vector<double> &caseWeights) const;
    double observedStatistic(const std::vector<double> &caseWeights);

    std::unique_ptr<mcsampler> sampler() const override;

    const haplotypeem::Fit &pooled() const { return m_pooled; }
    const std::vector<int> &patternOf() const { return m_patternOf; }
    int cases() const { return m_cases; }
    double observed() const { return m_observed; }

private:
    const haplotypeem::Fit &m_pooled;
    std::vector<int> m_patternOf;
    std::vector<double> m_all;
    int m_cases = 0;
    double m_loglikAll = 0.0;
    double m_observed = 0.0;
};

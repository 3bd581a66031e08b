#include "haplotypepermutations.h"

#include "mcstream.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Two statistics this close are one: a permutation that repeats the
// observed groups repeats its arithmetic, and EM's tolerance leaves the
// log-likelihoods far closer than this.
constexpr double kTie = 1e-7;

class PermutationSampler final : public mcsampler
{
public:
    explicit PermutationSampler(const HaplotypePermutations &model)
        : m_model(model), m_order(model.patternOf()),
          m_caseWeights(std::size_t(model.pooled().pairs.patterns()), 0.0)
    {
    }

    bool drawExtreme(mcgenerator &engine) override
    {
        // The cases are the first `cases` of a random order: a partial
        // Fisher-Yates shuffle, from the same order at every draw so that a
        // draw depends on its stream alone, not on the draws of the thread
        // before it.
        const std::vector<int> &start = m_model.patternOf();
        std::copy(start.begin(), start.end(), m_order.begin());
        const std::size_t n = m_order.size();
        const std::size_t cases = std::size_t(m_model.cases());
        std::fill(m_caseWeights.begin(), m_caseWeights.end(), 0.0);
        for (std::size_t i = 0; i < cases; ++i) {
            const std::size_t j = i + std::size_t(mcstream::uniform(engine) * double(n - i));
            std::swap(m_order[i], m_order[std::min(j, n - 1)]);
            m_caseWeights[std::size_t(m_order[i])] += 1.0;
        }
        const double t = m_model.statistic(m_caseWeights);
        if (std::isnan(t)) {
            m_failed = true;
            return false;
        }
        return t >= m_model.observed() - kTie;
    }

    bool failed() const override { return m_failed; }

private:
    const HaplotypePermutations &m_model;
    std::vector<int> m_order;
    std::vector<double> m_caseWeights;
    bool m_failed = false;
};

} // namespace

HaplotypePermutations::HaplotypePermutations(const haplotypeem::Fit &pooled, std::vector<int> patternOf, int cases)
    : m_pooled(pooled), m_patternOf(std::move(patternOf)), m_all(std::size_t(pooled.pairs.patterns()), 0.0),
      m_cases(cases)
{
    for (const int p : m_patternOf)
        m_all[std::size_t(p)] += 1.0;
    m_loglikAll = haplotypeem::logLikelihood(m_pooled.pairs, m_all, m_pooled.freq);
}

double HaplotypePermutations::statistic(const std::vector<double> &caseWeights) const
{
    std::vector<double> controlWeights(m_all.size());
    for (std::size_t p = 0; p < m_all.size(); ++p)
        controlWeights[p] = m_all[p] - caseWeights[p];
    double loglik = 0.0;
    for (const std::vector<double> *weights : {&caseWeights, static_cast<const std::vector<double> *>(&controlWeights)}) {
        std::vector<double> freq = m_pooled.freq;
        const haplotypeem::Climb climbed = haplotypeem::climb(m_pooled.pairs, *weights, freq, {});
        if (climbed.status != haplotypeem::Finished)
            return qQNaN();
        loglik += climbed.loglik;
    }
    return std::max(0.0, 2.0 * (loglik - m_loglikAll));
}

double HaplotypePermutations::observedStatistic(const std::vector<double> &caseWeights)
{
    m_observed = statistic(caseWeights);
    return m_observed;
}

std::unique_ptr<mcsampler> HaplotypePermutations::sampler() const
{
    return std::make_unique<PermutationSampler>(*this);
}

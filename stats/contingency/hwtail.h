#pragma once

#include "countedvector.h"

// The completions of a partial genotype table that leaves two alleles, c0
// and c1 copies: allele 1 forms h homozygotes and c1 - 2h heterozygotes with
// allele 0, which forms the rest as homozygotes. Their scores r(h) rise to a
// mode and fall again (the distribution is log-concave in h), so the
// completions at or below a limit are a prefix and a suffix of the h range:
// one pass over h with running sums answers every later limit by two binary
// searches, instead of a pass per partial table.
class hwtail final
{
public:
    explicit hwtail(MemoryBudget *budget = nullptr);

    // lnFact must reach c0 + c1. False when the tables do not fit.
    bool build(int c0, int c1, const double *lnFact);

    // The completions in the row.
    size_t size() const { return m_scores.size(); }
    double minScore() const { return m_min; }
    double maxScore() const { return m_max; }
    // ln of the total weight of all completions, sum of exp(r(h)).
    double logWeight() const { return m_logWeight; }

    // Sum of exp(r(h) - maxScore()) over the completions with r(h) <= limit.
    double tailSum(double limit) const;

private:
    CountedVector<double> m_scores;   // r(h), h from the lowest feasible up
    CountedVector<double> m_fromLow;  // running sums from the low end up to the mode
    CountedVector<double> m_fromHigh; // running sums from the high end down past the mode
    int m_mode = 0;
    double m_min = 0.0;
    double m_max = 0.0;
    double m_logWeight = 0.0;
};

#include "hwtail.h"

#include "compensatedsum.h"

#include <algorithm>
#include <cmath>

hwtail::hwtail(MemoryBudget *budget) : m_scores(budget), m_fromLow(budget), m_fromHigh(budget) {}

bool hwtail::build(int c0, int c1, const double *lnFact)
{
    const int total = c0 + c1;
    const int hLow = std::max(0, (c1 - c0 + 1) / 2);  // allele 0 must absorb the heterozygotes
    const int hHigh = c1 / 2;
    const int count = hHigh - hLow + 1;
    if (!m_scores.resize(static_cast<size_t>(count)) || !m_fromLow.resize(static_cast<size_t>(count))
        || !m_fromHigh.resize(static_cast<size_t>(count)))
        return false;
    const double ln2 = lnFact[2];
    m_mode = 0;
    for (int i = 0; i < count; ++i) {
        const int h = hLow + i;
        const int x = c1 - 2 * h;
        const double r = ln2 * x - lnFact[h] - lnFact[x] - lnFact[(c0 - x) / 2];
        m_scores[static_cast<size_t>(i)] = r;
        if (r > m_scores[static_cast<size_t>(m_mode)])
            m_mode = i;
    }
    m_max = m_scores[static_cast<size_t>(m_mode)];
    m_min = std::min(m_scores[0], m_scores[static_cast<size_t>(count - 1)]);
    const int n = total / 2;
    m_logWeight = lnFact[total] - lnFact[n] - lnFact[c0] - lnFact[c1];

    // The tails are summed from their small ends inwards, so each running
    // sum is exact to a few ulps.
    CompensatedSum low;
    for (int i = 0; i <= m_mode; ++i) {
        low.add(std::exp(m_scores[static_cast<size_t>(i)] - m_max));
        m_fromLow[static_cast<size_t>(i)] = low.value();
    }
    CompensatedSum high;
    for (int i = count - 1; i > m_mode; --i) {
        high.add(std::exp(m_scores[static_cast<size_t>(i)] - m_max));
        m_fromHigh[static_cast<size_t>(i)] = high.value();
    }
    return true;
}

double hwtail::tailSum(double limit) const
{
    const double *r = m_scores.data();
    const int count = static_cast<int>(m_scores.size());
    double sum = 0.0;
    // Rising side 0..mode: the completions <= limit are a prefix.
    const double *rise = std::upper_bound(r, r + m_mode + 1, limit);
    if (rise != r)
        sum += m_fromLow[static_cast<size_t>(rise - r - 1)];
    // Falling side mode+1..end: a suffix. Search on the reversed order.
    int lo = m_mode + 1;
    int hi = count;  // first index with r <= limit, in [m_mode + 1, count]
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (r[mid] <= limit)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (lo < count)
        sum += m_fromHigh[static_cast<size_t>(lo)];
    return sum;
}

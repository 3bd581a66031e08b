#include "tailsum.h"

#include "calcpoll.h"
#include "expterm.h"
#include "longpath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

} // namespace

qint64 tailsum::bytesNeeded(int k, const int *cols)
{
    qint64 bytes = 0;
    qint64 subset = 0;
    qint64 sum = 0;
    for (int j = 0; j < k; ++j) {
        sum += cols[j];
        bytes += (qint64(cols[j]) + 1) * qint64(sizeof(double));   // ln C row
        bytes += 3 * (sum + 1) * qint64(sizeof(double));           // longest, shortest, total
        subset = std::max(subset, subsetsp::bytesNeeded(j + 1, cols));
    }
    return bytes + subset;
}

bool tailsum::prepare(int k, const int *cols)
{
    m_k = k;
    try {
        m_lnC.assign(size_t(k), {});
        m_below.assign(size_t(k), 0);
        m_longest.assign(size_t(k), {});
        m_shortest.assign(size_t(k), {});
        m_total.assign(size_t(k), {});
        int below = 0;
        m_columnsBound = 0.0;
        std::vector<int> mode(size_t(k), 0);
        for (int j = 0; j < k; ++j) {
            const int c = cols[j];
            std::vector<double> &row = m_lnC[size_t(j)];
            row.resize(size_t(c) + 1);
            for (int x = 0; x <= c; ++x)
                row[size_t(x)] = lnC(c, x);
            m_below[size_t(j)] = below;
            below += c;
            m_columnsBound += m_lf[c];

            // The longest completion of each key over c[0..j]: the mode, grown
            // from key 0 one greedy step at a time (ln C is concave in x).
            std::vector<double> &longest = m_longest[size_t(j)];
            longest.resize(size_t(below) + 1);
            std::fill(mode.begin(), mode.end(), 0);
            for (int r = 0; r <= below; ++r) {
                if (r > 0)
                    longpath::stepUp(j + 1, cols, mode.data());
                double sum = 0.0;
                for (int i = 0; i <= j; ++i)
                    sum += m_lnC[size_t(i)][size_t(mode[size_t(i)])];
                longest[size_t(r)] = sum;
            }

            std::vector<double> &shortest = m_shortest[size_t(j)];
            shortest.resize(size_t(below) + 1);
            if (m_subset.prepare(j + 1, cols) < 0) {
                m_subset.clear();
                return false;
            }
            for (int r = 0; r <= below; ++r)
                shortest[size_t(r)] = m_subset.shortest(r);
            m_subset.clear();

            std::vector<double> &total = m_total[size_t(j)];
            total.resize(size_t(below) + 1);
            for (int r = 0; r <= below; ++r)
                total[size_t(r)] = lnC(below, r);
        }
    } catch (const std::bad_alloc &) {
        m_subset.clear();
        return false;
    }
    return true;
}

void tailsum::setCuts(double low, double high)
{
    m_low = low;
    m_high = high;
    // The bounds are sums in another order than the walk's: a branch is
    // decided whole only when it clears the cut by more than their rounding.
    m_margin = 1e-12 * (1.0 + std::fabs(low) + std::fabs(high) + m_columnsBound);
}

qint64 tailsum::steps(int r, qint64 limit, qint64 &listed)
{
    m_counting = true;
    m_stopped = false;
    m_steps = 0;
    m_limit = limit;
    m_listed = 0;
    walk(m_k - 1, r, 0.0);
    listed = m_listed;
    // A walk cut short by the limit counts as one step more than it.
    return m_steps >= limit && limit < std::numeric_limits<qint64>::max() ? limit + 1 : m_steps;
}

bool tailsum::build(int r, qint64 listed)
{
    m_counting = false;
    m_stopped = false;
    m_steps = 0;
    m_every = 0.0L;
    m_everyReference = m_longest[size_t(m_k - 1)][size_t(r)];
    try {
        m_lengths.clear();
        m_lengths.reserve(size_t(listed));
        m_sums.reserve(size_t(listed) + 1);
    } catch (const std::bad_alloc &) {
        clear();
        return false;
    }
    walk(m_k - 1, r, 0.0);
    std::sort(m_lengths.begin(), m_lengths.end());
    m_listReference = m_lengths.empty() ? 0.0 : m_lengths.back();
    m_sums.resize(m_lengths.size() + 1);
    long double sum = 0.0L;
    m_sums[0] = 0.0L;
    for (size_t j = 0; j < m_lengths.size(); ++j) {
        sum += expTerm(m_lengths[j] - m_listReference);
        m_sums[j + 1] = sum;
    }
    return true;
}

// Column j takes x of the rest, the columns before it can hold at most
// m_below[j], and column 0 takes what is left. Depth: at most kMaxColumns.
void tailsum::walk(int j, int rest, double length)
{
    if (m_stopped || (m_counting && m_steps >= m_limit))
        return;
    ++m_steps;
    if ((m_steps & kPollMask) == 0)
        countCalcWork(quint64(kPollMask) + 1);
    if ((m_steps & kPollMask) == 0 && pollCalcEvents()) {
        m_stopped = true;
        return;
    }
    if (length + m_shortest[size_t(j)][size_t(rest)] - m_margin > m_high)
        return;  // counts with no past
    if (length + m_longest[size_t(j)][size_t(rest)] + m_margin <= m_low) {
        // Counts with every past: the weights of all its completions sum to
        // C(c[0] + .. + c[j], rest).
        if (!m_counting)
            m_every += expTerm(length + m_total[size_t(j)][size_t(rest)] - m_everyReference);
        return;
    }
    const std::vector<double> &row = m_lnC[size_t(j)];
    if (j == 0) {
        const double f = length + row[size_t(rest)];
        if (f > m_high)
            return;
        if (f <= m_low) {
            if (!m_counting)
                m_every += expTerm(f - m_everyReference);
        } else if (m_counting) {
            ++m_listed;
        } else {
            m_lengths.push_back(f);
        }
        return;
    }
    const int lo = std::max(0, rest - m_below[size_t(j)]);
    const int hi = std::min(int(row.size()) - 1, rest);
    for (int x = lo; x <= hi; ++x)
        walk(j - 1, rest - x, length + row[size_t(x)]);
}

void tailsum::clear()
{
    std::vector<double>().swap(m_lengths);
    std::vector<long double>().swap(m_sums);
}

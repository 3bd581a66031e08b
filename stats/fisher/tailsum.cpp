#include "tailsum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

void tailsum::prepare(int k, const int *cols)
{
    m_k = k;
    m_lnC.assign(size_t(k), {});
    m_below.assign(size_t(k), 0);
    int below = 0;
    for (int j = 0; j < k; ++j) {
        const int c = cols[j];
        std::vector<double> &row = m_lnC[size_t(j)];
        row.resize(size_t(c) + 1);
        for (int x = 0; x <= c; ++x)
            row[size_t(x)] = m_lf[c] - m_lf[x] - m_lf[c - x];
        m_below[size_t(j)] = below;
        below += c;
    }

    // Completions per key, column by column: count_j(r) is the sum of
    // count_(j-1)(r - x) for x = 0..c_j, a difference of prefix sums.
    m_count.assign(size_t(below) + 1, 0.0);
    m_count[0] = 1.0;
    std::vector<double> prefix(size_t(below) + 2);
    int total = 0;
    for (int j = 0; j < k; ++j) {
        const int c = cols[j];
        prefix[0] = 0.0;
        for (int r = 0; r <= total; ++r)
            prefix[size_t(r) + 1] = prefix[size_t(r)] + m_count[size_t(r)];
        total += c;
        for (int r = 0; r <= total; ++r) {
            const int hi = std::min(r, total - c);
            const int lo = std::max(0, r - c);
            m_count[size_t(r)] = hi >= lo ? prefix[size_t(hi) + 1] - prefix[size_t(lo)] : 0.0;
        }
    }
}

double tailsum::completions(int r) const
{
    if (r < 0 || r >= int(m_count.size()))
        return 0.0;
    return m_count[size_t(r)];
}

qint64 tailsum::bytesNeeded(int r) const
{
    const double bytes = completions(r) * double(sizeof(double) + sizeof(long double)) + double(sizeof(long double));
    // Beyond any budget; and a double past the qint64 range has no defined
    // conversion.
    return bytes < 1e18 ? qint64(bytes) : std::numeric_limits<qint64>::max();
}

bool tailsum::build(int r)
{
    const size_t n = size_t(completions(r));
    try {
        m_lengths.clear();
        m_lengths.reserve(n);
        m_sums.reserve(n + 1);
    } catch (const std::bad_alloc &) {
        clear();
        return false;
    }
    if (n > 0)
        enumerate(m_k - 1, r, 0.0);
    std::sort(m_lengths.begin(), m_lengths.end());
    m_reference = m_lengths.empty() ? 0.0 : m_lengths.back();
    m_sums.resize(m_lengths.size() + 1);
    long double sum = 0.0L;
    m_sums[0] = 0.0L;
    for (size_t j = 0; j < m_lengths.size(); ++j) {
        const double d = m_lengths[j] - m_reference;
        // Below e^-700 double underflows; long double keeps the term.
        sum += d > -700.0 ? (long double)std::exp(d) : std::exp((long double)d);
        m_sums[j + 1] = sum;
    }
    return true;
}

// Column j takes x of the rest; the columns before it can hold at most
// m_below[j], and column 0 takes what is left. Depth is at most kMaxColumns.
void tailsum::enumerate(int j, int rest, double length)
{
    const std::vector<double> &row = m_lnC[size_t(j)];
    if (j == 0) {
        m_lengths.push_back(length + row[size_t(rest)]);
        return;
    }
    const int lo = std::max(0, rest - m_below[size_t(j)]);
    const int hi = std::min(int(row.size()) - 1, rest);
    for (int x = lo; x <= hi; ++x)
        enumerate(j - 1, rest - x, length + row[size_t(x)]);
}

void tailsum::clear()
{
    std::vector<double>().swap(m_lengths);
    std::vector<long double>().swap(m_sums);
}

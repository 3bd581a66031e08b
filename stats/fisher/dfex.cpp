#include "dfex.h"

#include <algorithm>
#include <cmath>

template <typename V>
void dfex<V>::initPath()
{
    m_cur[0].past.push_back(exactpath{0.0, 1.0});
}

template <typename V>
int dfex<V>::processLink(int k, int cur, int nxt, qint64 &count)
{
    const node &from = m_cur[cur];
    node &to = m_next[nxt];
    const double a = lnC(m_cols[k - 1], from.key - to.key);
    const double base = a + to.total - m_logDenominator;
    const double observed = m_observed;
    const exactpath *e = from.past.data();
    const qint64 entries = from.entryCount;

    count = addSignificant(cur, count, a, base, to.longest, [](const exactpath &x) { return x.value; });
    if (count < 0)
        return 2;  // no room for the sums
    if (k == 2 || count >= entries)
        return 0;
    qint64 i = count;

    // The list ascends, so the entries no completion can bring under the
    // observed length form a suffix.
    qint64 end = entries;
    if (m_spActive) {
        const double shortest = to.shortest;
        end = std::partition_point(e + i, e + entries,
                                   [&](const exactpath &x) { return !(x.value + a + shortest > observed); })
              - e;
    }
    if (end == i)
        return 0;
    return carry(nxt, cur, i, end, a, 0) ? 0 : 2;
}

template class dfex<double>;

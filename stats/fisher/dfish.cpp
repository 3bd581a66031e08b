#include "dfish.h"

#include <algorithm>
#include <cmath>
#include <limits>

template <typename P>
void dfish<P>::initPath()
{
    this->m_cur[0].past.push_back(P{0, 1.0});
}

template <typename P>
int dfish<P>::processLink(int k, int cur, int nxt, qint64 &count)
{
    using node = typename basef<P>::node;
    const node &from = this->m_cur[cur];
    node &to = this->m_next[nxt];
    const double a = this->lnC(this->m_cols[k - 1], from.key - to.key);
    const double base = a + to.total - this->m_logDenominator;
    const double observed = this->m_observed;
    const double unit = invScale;
    const P *e = from.past.data();
    const qint64 entries = from.entryCount;

    count = this->addSignificant(cur, count, a, base, to.longest, [unit](const P &x) { return x.value * unit; });
    if (count < 0)
        return 2;  // no room for the sums
    if (k == 2 || count >= entries)
        return 0;
    qint64 i = count;

    qint64 end = entries;
    if (this->m_spActive) {
        const double shortest = to.shortest;
        end = std::partition_point(e + i, e + entries,
                                   [&](const P &x) { return !(x.value * unit + a + shortest > observed); })
              - e;
    }
    if (end == i)
        return 0;

    // Range checks before the conversions: a double outside the int range
    // has no defined conversion.
    const double scaled = a * this->scale;
    constexpr double kLimit = 2147483648.0;  // 2^31
    if (!(scaled > -kLimit - 1.0 && scaled < kLimit))
        return 3;
    const qint64 step = qint64(scaled);  // toward zero
    const qint64 highest = qint64(e[end - 1].value) + step;
    const qint64 lowest = qint64(e[i].value) + step;
    if (highest > std::numeric_limits<qint32>::max() || lowest < std::numeric_limits<qint32>::min())
        return 3;

    return this->carry(nxt, cur, i, end, double(step) * unit, step) ? 0 : 2;
}

template class dfish<path>;

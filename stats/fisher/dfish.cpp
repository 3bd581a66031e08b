#include "dfish.h"

#include <limits>

template <typename P>
void dfish<P>::initPath()
{
    this->m_cur[0].past.push_back(P{0, 1.0});
}

template <typename P>
int dfish<P>::processLink(int k, int cur, int nxt, qint64 &count)
{
    const double unit = invScale;
    typename basef<P>::arcCut cut;
    const int s = this->cutArc(k, cur, nxt, count, [unit](const P &x) { return x.value * unit; }, cut);
    if (s != 0)
        return s == 2 ? 2 : 0;

    // Range checks before the conversions: a double outside the int range
    // has no defined conversion.
    const double scaled = cut.a * this->scale;
    constexpr double kLimit = 2147483648.0;  // 2^31
    if (!(scaled > -kLimit - 1.0 && scaled < kLimit))
        return 3;
    const qint64 step = qint64(scaled);  // toward zero
    const P *e = this->m_cur[cur].past.data();
    const qint64 highest = qint64(e[cut.end - 1].value) + step;
    const qint64 lowest = qint64(e[cut.begin].value) + step;
    if (highest > std::numeric_limits<qint32>::max() || lowest < std::numeric_limits<qint32>::min())
        return 3;

    return this->carry(nxt, cur, cut.begin, cut.end, double(step) * unit, step) ? 0 : 2;
}

template class dfish<path>;

#include "dfish.h"

template <typename P>
void dfish<P>::initPath()
{
    this->m_cur[0].past.push_back(P{0, 1.0});
}

template <typename P>
int dfish<P>::processLink(int k, int cur, int nxt, typename basef<P>::prefix &count)
{
    const double unit = invScale;
    typename basef<P>::arcCut cut;
    const int s = this->cutArc(k, cur, nxt, count, [unit](const P &x) { return double(x.value) * unit; }, cut);
    if (s != 0)
        return s == 2 ? 2 : 0;

    // Range checks before the conversions: a double outside the 64-bit
    // range has no defined conversion, and a sum past it would wrap.
    const double scaled = cut.a * this->scale;
    if (!(scaled > -1.0 && scaled < kMaxScaled))
        return 3;
    const qint64 step = qint64(scaled);  // toward zero
    const P *e = this->m_cur[cur].past.data();
    if (e[cut.end - 1].value > qint64(kMaxScaled) - step || e[cut.begin].value < 0)
        return 3;

    return this->carry(nxt, cur, cut.begin, cut.end, double(step) * unit, step) ? 0 : 2;
}

template class dfish<path>;

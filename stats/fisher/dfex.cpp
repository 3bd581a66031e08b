#include "dfex.h"

template <typename V>
void dfex<V>::initPath()
{
    m_cur[0].past.push_back(exactpath{0.0, 1.0});
}

template <typename V>
int dfex<V>::processLink(int k, int cur, int nxt, prefix &count)
{
    arcCut cut;
    const int s = cutArc(k, cur, nxt, count, [](const exactpath &x) { return x.value; }, cut);
    if (s != 0)
        return s == 2 ? 2 : 0;
    return carry(nxt, cur, cut.begin, cut.end, cut.a, 0) ? 0 : 2;
}

template class dfex<double>;

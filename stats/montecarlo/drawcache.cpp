#include "drawcache.h"

#include <algorithm>

int drawcache::addSite(qint64 total, qint64 fixed, qint64 low, qint64 high)
{
    place p;
    p.total = total;
    p.fixed = fixed;
    if (high - low + 1 > kMaxWindow) {
        const qint64 middle = low + (high - low) / 2;
        low = middle - kMaxWindow / 2;
        high = low + kMaxWindow - 1;
    }
    p.low = low;
    if (high >= low)
        p.walks.assign(size_t(high - low + 1), walk());
    m_sites.push_back(std::move(p));
    return int(m_sites.size()) - 1;
}

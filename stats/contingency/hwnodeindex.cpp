#include "hwnodeindex.h"

#include <cstring>
#include <limits>

namespace {

// A box of up to this many cells is indexed densely: one int per cell
// (16 MB) costs less than hashing each of the many lookups.
constexpr quint64 kDenseCells = quint64(1) << 22;
constexpr quint64 kInitialHashSlots = 1024;

quint64 mix(quint64 x)
{
    // splitmix64 finaliser: spreads nearby count vectors over the table.
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

} // namespace

hwnodeindex::hwnodeindex(MemoryBudget *budget) : m_budget(budget), m_slots(budget), m_keys(budget) {}

void hwnodeindex::clear()
{
    m_slots.freeAll();
    m_keys.freeAll();
    m_count = 0;
    m_width = 0;
    m_mask = 0;
}

bool hwnodeindex::reset(int width, const int *limits, bool allowDense)
{
    clear();
    m_width = width;
    m_radix.assign(static_cast<size_t>(width), 0);
    quint64 cells = 1;
    bool small = allowDense;
    for (int j = 0; j < width; ++j) {
        m_radix[static_cast<size_t>(j)] = cells;
        const quint64 span = static_cast<quint64>(limits[j]) + 1;
        if (cells > kDenseCells / span) {
            small = false;
            break;
        }
        cells *= span;
    }
    m_dense = small;
    const quint64 slots = m_dense ? cells : kInitialHashSlots;
    if (!m_slots.resize(static_cast<size_t>(slots), -1))
        return false;
    m_mask = m_dense ? 0 : slots - 1;
    return true;
}

quint64 hwnodeindex::hashOf(const int *counts) const
{
    quint64 h = 0x9e3779b97f4a7c15ULL;
    for (int j = 0; j < m_width; ++j)
        h = mix(h ^ static_cast<quint32>(counts[j]));
    return h;
}

bool hwnodeindex::growHash()
{
    const size_t oldSize = m_slots.size();
    CountedVector<qint32> bigger(m_budget);
    if (!bigger.resize(oldSize * 2, -1))
        return false;
    const quint64 mask = oldSize * 2 - 1;
    for (size_t i = 0; i < oldSize; ++i) {
        const qint32 ordinal = m_slots[i];
        if (ordinal < 0)
            continue;
        quint64 s = hashOf(key(ordinal)) & mask;
        while (bigger[s] >= 0)
            s = (s + 1) & mask;
        bigger[s] = ordinal;
    }
    m_slots = std::move(bigger);
    m_mask = mask;
    return true;
}

qint64 hwnodeindex::findOrAdd(const int *counts, bool *added)
{
    *added = false;
    qint32 *slot = nullptr;
    if (m_dense) {
        quint64 cell = 0;
        for (int j = 0; j < m_width; ++j)
            cell += m_radix[static_cast<size_t>(j)] * static_cast<quint64>(counts[j]);
        slot = &m_slots[cell];
    } else {
        quint64 s = hashOf(counts) & m_mask;
        const size_t bytes = sizeof(int) * static_cast<size_t>(m_width);
        while (m_slots[s] >= 0) {
            if (std::memcmp(key(m_slots[s]), counts, bytes) == 0)
                return m_slots[s];
            s = (s + 1) & m_mask;
        }
        slot = &m_slots[s];
    }
    if (*slot >= 0)
        return *slot;
    if (m_count >= std::numeric_limits<qint32>::max())
        return -1;
    if (!m_keys.ensure(m_keys.size() + static_cast<size_t>(m_width)))
        return -1;
    for (int j = 0; j < m_width; ++j)
        m_keys.push_back(counts[j]);
    *slot = static_cast<qint32>(m_count);
    *added = true;
    ++m_count;
    // Keep the hash table at most half full so that probes stay short.
    if (!m_dense && static_cast<quint64>(m_count) * 2 > m_slots.size() && !growHash())
        return -1;
    return m_count - 1;
}

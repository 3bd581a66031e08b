#pragma once

#include "countedvector.h"

#include <QtGlobal>

#include <cstdint>

// Finds the node of a vector of remaining allele counts, in place of a
// linear search through the node list. Each distinct vector gets the next
// ordinal (0, 1, 2, ...), which is the node's position in its list. When the
// counts span a small box the index is a dense array; otherwise an
// open-addressing hash table.
class hwnodeindex final
{
public:
    explicit hwnodeindex(MemoryBudget *budget);

    // Prepares for vectors of width entries, entry j lying in 0..limits[j].
    // False when even the empty index does not fit the budget. A stage
    // known to hold few nodes asks for no dense array: filling one costs
    // more than the few hashed lookups.
    bool reset(int width, const int *limits, bool allowDense = true);

    // The ordinal of counts, adding them when new (*added set then); -1 when
    // memory runs out.
    qint64 findOrAdd(const int *counts, bool *added);

    const int *key(qint64 ordinal) const { return m_keys.data() + ordinal * m_width; }
    qint64 size() const { return m_count; }

    // Gives back all memory.
    void clear();

private:
    quint64 hashOf(const int *counts) const;
    bool growHash();

    MemoryBudget *m_budget;
    int m_width = 0;
    qint64 m_count = 0;
    bool m_dense = false;
    std::vector<quint64> m_radix;      // mixed-radix place values (dense mode)
    CountedVector<qint32> m_slots;     // dense: ordinal per box cell; hash: ordinal per slot
    CountedVector<int> m_keys;         // the vectors, width ints each, by ordinal
    quint64 m_mask = 0;
};

#pragma once

#include <QtGlobal>

#include <vector>

// ln k! for every count a Monte Carlo run meets. Counts up to kTableSize
// come from a table built once per run; larger ones (only in tables with
// millions of counts) from the Stirling series, which is exact to double
// rounding there and keeps the memory of a run small. Read-only after
// init(), so every thread of a run shares one.
class lnfactorial final
{
public:
    // The table's size: 32 MB at most.
    static constexpr qint64 kTableSize = qint64(1) << 22;
    // ...and at least: from here on the series is exact to rounding, so a
    // lookup past n still gives the right value.
    static constexpr qint64 kMinTableSize = 1024;

    // Prepares ln k! for 0 <= k <= n; false when the table cannot be had.
    bool init(qint64 n);

    double operator()(qint64 k) const
    {
        return k < static_cast<qint64>(m_table.size()) ? m_table[static_cast<size_t>(k)] : stirling(k);
    }

    // The series alone, for k >= kTableSize (tests compare it with lgamma).
    static double stirling(qint64 k);

private:
    std::vector<double> m_table;
};

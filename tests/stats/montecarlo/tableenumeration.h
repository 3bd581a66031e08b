#pragma once

// Test-only: every table of counts with given row and column sums, for the
// exact distributions that the Monte Carlo tests are checked against.

#include <QtGlobal>

#include <algorithm>
#include <functional>
#include <vector>

namespace tableenumeration {

using Counts = std::vector<qint64>;

// Every rows x columns table with these margins, row-major.
inline void allTables(const Counts &rows, const Counts &columns, std::vector<Counts> &tables)
{
    const size_t R = rows.size();
    const size_t C = columns.size();
    Counts cells(R * C, 0);
    Counts rowLeft = rows;
    Counts columnLeft = columns;
    std::function<void(size_t)> fill = [&](size_t i) {
        if (i == R * C) {
            tables.push_back(cells);
            return;
        }
        const size_t r = i / C;
        const size_t c = i % C;
        qint64 low = 0;
        qint64 high = std::min(rowLeft[r], columnLeft[c]);
        if (c + 1 == C)
            low = rowLeft[r];  // the row's last cell takes the rest
        if (r + 1 == R)
            low = std::max(low, columnLeft[c]);
        for (qint64 v = low; v <= high; ++v) {
            if ((c + 1 == C && v != rowLeft[r]) || (r + 1 == R && v != columnLeft[c]))
                continue;
            cells[i] = v;
            rowLeft[r] -= v;
            columnLeft[c] -= v;
            fill(i + 1);
            rowLeft[r] += v;
            columnLeft[c] += v;
        }
    };
    fill(0);
}

} // namespace tableenumeration

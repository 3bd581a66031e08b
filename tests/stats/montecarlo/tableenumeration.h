#pragma once

// Test-only: every table of counts with given row and column sums, for the
// exact distributions that the Monte Carlo tests are checked against.

#include <QtGlobal>

#include <algorithm>
#include <cmath>
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

inline long double lnFactorial(qint64 k)
{
    return std::lgamma(static_cast<long double>(k) + 1.0L);
}

// The probability of a table under independence with its margins fixed:
// prod r! prod c! / (n! prod n_ij!).
inline double tableProbability(const Counts &rows, const Counts &columns, const Counts &cells)
{
    qint64 total = 0;
    long double logP = 0;
    for (qint64 r : rows) {
        total += r;
        logP += lnFactorial(r);
    }
    for (qint64 c : columns)
        logP += lnFactorial(c);
    for (qint64 v : cells)
        logP -= lnFactorial(v);
    return double(std::exp(logP - lnFactorial(total)));
}

} // namespace tableenumeration

#pragma once

// Random 2xN tables for the checks of the guaranteed digits: N columns (2 to
// maxColumns), a grand total from N to maxTotal (log-uniform), column
// totals from a
// multinomial draw over weights that are equal, rising or random (every
// column at least 1), and first-row counts from binomial draws whose
// success chance is one for all columns (no association) or varies with
// the column. Some tables get many equal column totals, so that ties
// occur. Deterministic: std::mt19937_64 with the given seed, and only
// draws whose results the C++ standard fixes (raw outputs, turned into
// numbers here).

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace fisherbench {

struct RandomTable
{
    std::vector<int> x;  // first row
    std::vector<int> c;  // column totals
    int n = 0;
};

class RandomTables final
{
public:
    RandomTables(std::uint64_t seed, int maxColumns, int maxTotal)
        : m_rng(seed), m_maxColumns(maxColumns), m_maxTotal(maxTotal)
    {
    }

    RandomTable next()
    {
        RandomTable t;
        const int N = uniformInt(2, m_maxColumns);
        // Log-uniform: small tables as often as large ones.
        const int n = std::min(std::max(N, m_maxTotal),
                               int(double(N) * std::pow(double(std::max(N, m_maxTotal)) / N, uniform())));
        const int shape = uniformInt(0, 3);
        std::vector<double> weights(static_cast<size_t>(N));
        for (int j = 0; j < N; ++j) {
            if (shape == 0)
                weights[size_t(j)] = 1.0;
            else if (shape == 1)
                weights[size_t(j)] = 1.0 + double(j) / double(N);
            else
                weights[size_t(j)] = -std::log(1.0 - uniform());  // exponential
        }
        t.c.assign(size_t(N), 1);
        if (shape == 3) {
            // A few distinct totals only: many columns share one.
            const int each = std::max(1, n / N);
            for (int j = 0; j < N; ++j)
                t.c[size_t(j)] = 1 + (uniformInt(0, 2) == 0 ? each / 2 : each - 1);
        } else {
            double sum = 0.0;
            for (double w : weights)
                sum += w;
            for (int draw = N; draw < n; ++draw) {
                double u = uniform() * sum;
                int j = 0;
                while (j + 1 < N && u >= weights[size_t(j)]) {
                    u -= weights[size_t(j)];
                    ++j;
                }
                ++t.c[size_t(j)];
            }
        }
        const bool associated = uniformInt(0, 1) == 1;
        const double chance = 0.15 + 0.7 * uniform();
        for (int j = 0; j < N; ++j) {
            const double p = associated ? 0.05 + 0.9 * uniform() : chance;
            int count = 0;
            for (int i = 0; i < t.c[size_t(j)]; ++i)
                count += uniform() < p ? 1 : 0;
            t.x.push_back(count);
            t.n += t.c[size_t(j)];
        }
        return t;
    }

private:
    double uniform() { return double(m_rng() >> 11) * (1.0 / 9007199254740992.0); }
    int uniformInt(int lo, int hi) { return lo + int(uniform() * double(hi - lo + 1)); }

    std::mt19937_64 m_rng;
    int m_maxColumns;
    int m_maxTotal;
};

} // namespace fisherbench

#pragma once

// Test-only reference for the Fisher 2xN test: walks every 2xN table with
// the margins of the observed one and adds the probabilities of those whose
// length (sum of ln C(c_j, x_j), from long double lgammal) is at most the
// observed length plus a tolerance. Independent of the engine: no network,
// no bounds, no shared table.

#include <cmath>
#include <random>
#include <vector>

namespace bruteforce {

inline long double lnC(int a, int b)
{
    return std::lgamma((long double)a + 1) - std::lgamma((long double)b + 1) - std::lgamma((long double)(a - b) + 1);
}

struct Walk
{
    const std::vector<int> &c;
    std::vector<int> suffix;  // sum of c[j..]
    std::vector<std::vector<long double>> arc;  // arc[j][x] = lnC(c[j], x)
    long double limit;
    long double logDenominator;
    long double sum = 0;

    void step(size_t j, int r, long double length)
    {
        if (j == c.size()) {
            if (length <= limit)
                sum += std::exp(length - logDenominator);
            return;
        }
        const int low = r - suffix[j + 1] > 0 ? r - suffix[j + 1] : 0;
        const int high = c[j] < r ? c[j] : r;
        for (int x = low; x <= high; ++x)
            step(j + 1, r - x, length + arc[j][size_t(x)]);
    }
};

// P-value of the first row x with column totals c.
inline double pValue(const std::vector<int> &x, const std::vector<int> &c, long double tolerance = 1e-10L)
{
    Walk walk{c, std::vector<int>(c.size() + 1, 0), {}, 0, 0};
    int n = 0;
    int m = 0;
    long double observed = 0;
    for (size_t j = c.size(); j-- > 0;)
        walk.suffix[j] = walk.suffix[j + 1] + c[j];
    for (size_t j = 0; j < c.size(); ++j) {
        n += c[j];
        m += x[j];
        std::vector<long double> arcs(size_t(c[j]) + 1);
        for (int v = 0; v <= c[j]; ++v)
            arcs[size_t(v)] = lnC(c[j], v);
        walk.arc.push_back(arcs);
        observed += arcs[size_t(x[j])];
    }
    walk.limit = observed + tolerance;
    walk.logDenominator = lnC(n, m);
    walk.step(0, m, 0);
    return double(walk.sum);
}

// Number of tables with these margins (to keep the walk affordable).
inline double tableCount(const std::vector<int> &c, int m)
{
    std::vector<double> ways(size_t(m) + 1, 0.0);
    ways[0] = 1;
    for (int total : c) {
        std::vector<double> next(ways.size(), 0.0);
        for (int r = 0; r <= m; ++r) {
            for (int x = 0; x <= total && x <= r; ++x)
                next[size_t(r)] += ways[size_t(r - x)];
        }
        ways.swap(next);
    }
    return ways[size_t(m)];
}

struct Table
{
    std::vector<int> x;  // first row
    std::vector<int> c;  // column totals
};

// Random tables of 2 to 10 columns and grand totals up to 200, with zero
// counts and equal column totals, drawn so that at most maxTables tables
// share their margins. Fixed seed: the same list on every run.
inline std::vector<Table> randomTables(int count, double maxTables, unsigned seed = 20240611u)
{
    std::mt19937 rng(seed);
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<Table> tables;
    while (int(tables.size()) < count) {
        const int i = int(tables.size());
        const int N = 2 + i % 9;
        int total = uniform(N, 200);
        for (int attempt = 0;; ++attempt) {
            Table t;
            const int shape = (i / 9) % 4;
            if (shape == 1) {
                // Every column of one total.
                const int each = total / N > 0 ? total / N : 1;
                t.c.assign(size_t(N), each);
            } else if (shape == 2) {
                // Two totals only.
                const int small = uniform(1, total / N > 1 ? total / N : 1);
                const int large = small + uniform(0, small);
                for (int j = 0; j < N; ++j)
                    t.c.push_back(uniform(0, 1) ? small : large);
            } else {
                for (int j = 0; j < N; ++j)
                    t.c.push_back(uniform(1, 2 * (total / N > 0 ? total / N : 1)));
            }
            for (int cj : t.c) {
                // Zeros in either row now and then.
                const int pick = uniform(0, 5);
                t.x.push_back(pick == 0 ? 0 : pick == 1 ? cj : uniform(0, cj));
            }
            int m = 0;
            for (int v : t.x)
                m += v;
            if (tableCount(t.c, m) <= maxTables) {
                tables.push_back(t);
                break;
            }
            total = total * 4 / 5 > N ? total * 4 / 5 : N;
        }
    }
    return tables;
}

} // namespace bruteforce

#pragma once

// The benchmark suite of 2xN tables: two tables for each N in 3, 5, 8, 12,
// 20, 30 and grand total n in 60, 150, 400, 1000, 48 in all. A table is two
// multinomial samples of n/2 counts over the N columns, the first with equal
// weights, the second with weights rising linearly from 1 to 2 across the
// columns; columns whose total is 0 are dropped.
//
// Deterministic everywhere: one std::mt19937_64 seeded with 20240601 (its
// output is fixed by the C++ standard) draws every count of every table, in
// the order N, n, table, sample, draw; each draw takes the top 53 bits of
// one output as a uniform u in [0, 1) and picks the first column whose
// cumulative weight share exceeds u.

#include <cstdint>
#include <random>
#include <vector>

namespace fisherbench {

struct Table
{
    int N = 0;          // columns asked for
    int n = 0;          // grand total
    int index = 0;      // 0 or 1
    std::vector<int> x; // first row, columns of total 0 dropped
    std::vector<int> c; // column totals
};

inline std::vector<Table> suite()
{
    std::mt19937_64 rng(20240601u);
    auto uniform = [&rng] { return double(rng() >> 11) * (1.0 / 9007199254740992.0); };
    std::vector<Table> tables;
    for (int N : {3, 5, 8, 12, 20, 30}) {
        for (int n : {60, 150, 400, 1000}) {
            for (int index = 0; index < 2; ++index) {
                std::vector<int> rows[2] = {std::vector<int>(size_t(N), 0), std::vector<int>(size_t(N), 0)};
                for (int sample = 0; sample < 2; ++sample) {
                    std::vector<double> cumulative(static_cast<size_t>(N));
                    double sum = 0;
                    for (int j = 0; j < N; ++j) {
                        sum += sample == 0 ? 1.0 : 1.0 + double(j) / double(N - 1);
                        cumulative[size_t(j)] = sum;
                    }
                    for (double &v : cumulative)
                        v /= sum;
                    for (int draw = 0; draw < n / 2; ++draw) {
                        const double u = uniform();
                        int j = 0;
                        while (j + 1 < N && cumulative[size_t(j)] <= u)
                            ++j;
                        ++rows[sample][size_t(j)];
                    }
                }
                Table t;
                t.N = N;
                t.n = n;
                t.index = index;
                for (int j = 0; j < N; ++j) {
                    const int total = rows[0][size_t(j)] + rows[1][size_t(j)];
                    if (total == 0)
                        continue;
                    t.x.push_back(rows[0][size_t(j)]);
                    t.c.push_back(total);
                }
                tables.push_back(t);
            }
        }
    }
    return tables;
}

} // namespace fisherbench

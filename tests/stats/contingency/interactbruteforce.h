#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// Test-only reference for the gene-interaction test: tries every shift s
// that could keep a cell within 0..T (not assuming that the feasible shifts
// form an interval), weighs each feasible table by the product of its
// binomial coefficients, and returns the weight of those no heavier than
// the observed table (within 1e-10 in log space) over the total.
inline double interactBruteForce(int N, int M, const std::vector<int> &A, const std::vector<int> &B,
                                 int *feasibleShifts = nullptr)
{
    std::vector<long long> rowA(M, 0), rowB(M, 0), colA(N, 0), colB(N, 0);
    long long maxT = 0;
    for (int i = 0; i < M; ++i)
        for (int j = 0; j < N; ++j) {
            const int p = i * N + j;
            rowA[i] += A[p];
            rowB[i] += B[p];
            colA[j] += A[p];
            colB[j] += B[p];
            maxT = std::max<long long>(maxT, A[p] + B[p]);
        }
    const auto lf = [](long long n) { return std::lgamma(static_cast<double>(n) + 1.0); };
    std::vector<double> scores;
    double observed = 0.0;
    for (long long s = -maxT - 1; s <= maxT + 1; ++s) {
        bool ok = true;
        double score = 0.0;
        for (int i = 0; i < M && ok; ++i)
            for (int j = 0; j < N && ok; ++j) {
                const int p = i * N + j;
                const long long d = (i + j) % 2 == 0 ? s : -s;
                const long long x = A[p] + d;
                const long long y = B[p] - d;
                const long long t = A[p] + B[p];
                ok = x >= 0 && x <= t && x <= colA[j] && x <= rowA[i] && y <= colB[j] && y <= rowB[i];
                score += lf(t) - lf(x) - lf(t - x);
            }
        if (!ok)
            continue;
        scores.push_back(score);
        if (s == 0)
            observed = score;
    }
    if (feasibleShifts)
        *feasibleShifts = static_cast<int>(scores.size());
    const double top = *std::max_element(scores.begin(), scores.end());
    double total = 0.0;
    double counting = 0.0;
    for (const double score : scores) {
        total += std::exp(score - top);
        if (score - observed < 1e-10)
            counting += std::exp(score - top);
    }
    return counting / total;
}

#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

// The shortest path of a two-row table, the same value that shortpath's
// search finds, in a time that does not grow with the number of fillings.
// The sum over the columns of ln C(s_j, x_j) is concave in each x_j, so its
// smallest value over the allocations of a first-row total r sits where all
// columns but one (f) are at 0 or at their total: it is the smallest
// ln C(s_f, t) over the columns f and the t = r - R with R a subset sum of
// the other columns. prepare() builds, once per stage, the subset sums
// without one column of each distinct total; shortest() answers per key.
class subsetsp final
{
public:
    explicit subsetsp(const double *lf) : m_lf(lf) {}

    // The column totals of the remaining columns (C >= 1). Returns the bytes
    // of the subset-sum sets, which the caller counts against its budget;
    // -1 when they cannot be allocated.
    qint64 prepare(int C, const int *cols);
    static qint64 bytesNeeded(int C, const int *cols);

    // Shortest path for the first-row total r (0 <= r <= sum of the totals).
    double shortest(int r) const;

    void clear();

private:
    struct excluded
    {
        int total;                   // the column total left out
        std::vector<uint64_t> bits;  // subset sums of the other columns
    };

    double lnC(int a, int b) const { return m_lf[a] - m_lf[b] - m_lf[a - b]; }
    static int lastSetAtOrBelow(const std::vector<uint64_t> &bits, int x);
    static int firstSetAtOrAbove(const std::vector<uint64_t> &bits, int x, int limit);

    const double *m_lf;
    int m_sum = 0;
    std::vector<excluded> m_sets;
};

#pragma once

#include <vector>

// The mode finder of the network: the allocation of a first-row total over
// a set of columns that maximises the sum of ln C(c_j, x_j), which is the
// longest path from a node to the end of the network.
class longpath final
{
public:
    static constexpr int kMaxColumns = 100;

    // lf is the shared log-factorial table, valid for 0..capacity.
    longpath(const double *lf, int capacity);

    // Mode allocation of a over the K column totals c into out (both K
    // entries). 0 = done; 1 = K outside 1..100; 4 = a < 0; 2 = the totals
    // sum to more than the capacity; 3 = they sum to less than a.
    int getMode(int K, int a, const int *c, int *out);

    // Turns the mode of a into the mode of a + 1 by one greedy step: adds 1
    // to the column with the smallest (out + 1) / (c + 1), the first on ties.
    // Returns the column changed, -1 when every column is full.
    static int stepUp(int K, const int *c, int *out);

    // ln C(a, b) for 0 <= b <= a <= capacity.
    double lnC(int a, int b) const { return m_lf[a] - m_lf[b] - m_lf[a - b]; }

private:
    int m_capacity;
    const double *m_lf;
    double m_ratio[kMaxColumns];
};

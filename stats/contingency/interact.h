#pragma once

#include <QtGlobal>

#include <vector>

class MemoryBudget;
struct FamilySums;

// Exact conditional test of interaction between two factors in two groups:
// tables A and B (M x N each, row-major) with the cell totals A + B fixed.
// The family of tables A + s X, B - s X, X the checkerboard of +1 and -1,
// is walked in both directions from the observed table (s = 0) while every
// cell stays within its bounds; each member weighs the product of the
// binomial coefficients C(T_ij, A_ij). P is the weight of the members no
// heavier than the observed one over the weight of all members.
//
// The weights are log-concave in s: each member is weighed against the
// observed one by the ratios of neighbouring binomial coefficients
// (familywalk.h), without log factorials, and a side ends where the rest
// provably cannot change P. The walk polls pollCalcEvents() and ends with
// Stopped when Stop is pressed; what it holds is counted against a
// MemoryBudget.
//
// The whole computation runs in the constructor.
class interact final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 1,
        BadInput = 2,
        OutOfMemory = 11
    };

    interact(int *status, int N, int M, const int *A, const int *B, double *P,
             MemoryBudget *budget = nullptr);

    interact(const interact &) = delete;
    interact &operator=(const interact &) = delete;

    // Whether the table shifted by s is feasible and, if so, its score: the
    // log of its weight (from std::lgamma; the walk itself does not use it).
    bool tableScore(qint64 shift, double *score) const;

private:
    int run(double *P, MemoryBudget *budget);
    bool feasible(qint64 shift) const;
    // The weight of the table shifted by shift + step over that shifted by
    // shift; negative when the former is infeasible.
    double stepRatio(qint64 shift, int step) const;
    bool walk(int step);

    int m_N;
    int m_M;
    const int *m_A;
    const int *m_B;
    std::vector<qint64> m_cellTotal;
    std::vector<qint64> m_rowSumA, m_rowSumB;
    std::vector<qint64> m_colSumA, m_colSumB;
    FamilySums *m_sums = nullptr;
};

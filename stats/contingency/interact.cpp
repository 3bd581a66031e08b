#include "interact.h"

#include "familywalk.h"
#include "membudget.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// Cell updates between two polls: a step visits every cell, so a large
// block polls every few steps and a 2 x 2 x 2 one every 2^14.
constexpr quint64 kCellsPerPoll = quint64(1) << 16;

} // namespace

interact::interact(int *status, int N, int M, const int *A, const int *B, double *P,
                   MemoryBudget *budget)
    : m_N(N), m_M(M), m_A(A), m_B(B)
{
    int result = BadInput;
    try {
        if (budget) {
            result = run(P, budget);
        } else {
            MemoryBudget own;
            result = run(P, &own);
        }
    } catch (const std::bad_alloc &) {
        result = OutOfMemory;
    }
    if (status)
        *status = result;
}

int interact::run(double *P, MemoryBudget *budget)
{
    if (m_N < 1 || m_M < 1 || !m_A || !m_B)
        return BadInput;
    const size_t cells = static_cast<size_t>(m_M) * static_cast<size_t>(m_N);
    const qint64 bytes =
        static_cast<qint64>((cells + 2 * static_cast<size_t>(m_M) + 2 * static_cast<size_t>(m_N)) * sizeof(qint64));
    if (!budget->reserve(bytes))
        return OutOfMemory;
    // Given back on every way out, a failed allocation included.
    struct Release {
        MemoryBudget *budget;
        qint64 bytes;
        ~Release() { budget->release(bytes); }
    } release{budget, bytes};

    m_cellTotal.assign(cells, 0);
    m_rowSumA.assign(static_cast<size_t>(m_M), 0);
    m_rowSumB.assign(static_cast<size_t>(m_M), 0);
    m_colSumA.assign(static_cast<size_t>(m_N), 0);
    m_colSumB.assign(static_cast<size_t>(m_N), 0);
    for (int i = 0; i < m_M; ++i)
        for (int j = 0; j < m_N; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(m_N) + static_cast<size_t>(j);
            const qint64 a = m_A[p];
            const qint64 b = m_B[p];
            if (a < 0 || b < 0)
                return BadInput;
            m_cellTotal[p] = a + b;
            m_rowSumA[static_cast<size_t>(i)] += a;
            m_rowSumB[static_cast<size_t>(i)] += b;
            m_colSumA[static_cast<size_t>(j)] += a;
            m_colSumB[static_cast<size_t>(j)] += b;
        }
    if (!feasible(0))
        return BadInput;
    // Most walks end long before their first poll inside: a Stop already
    // pressed is seen here.
    if (pollCalcEvents())
        return Stopped;

    FamilySums sums;
    m_sums = &sums;
    const bool done = walk(-1) && walk(+1);
    m_sums = nullptr;
    if (!done)
        return Stopped;
    *P = familyProbability(sums);
    return Finished;
}

bool interact::feasible(qint64 shift) const
{
    for (int i = 0; i < m_M; ++i)
        for (int j = 0; j < m_N; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(m_N) + static_cast<size_t>(j);
            const qint64 s = (i + j) % 2 == 0 ? shift : -shift;
            const qint64 x = m_A[p] + s;
            const qint64 y = m_B[p] - s;
            if (x < 0 || x > m_cellTotal[p] || x > m_colSumA[static_cast<size_t>(j)]
                || x > m_rowSumA[static_cast<size_t>(i)] || y > m_colSumB[static_cast<size_t>(j)]
                || y > m_rowSumB[static_cast<size_t>(i)])
                return false;
        }
    return true;
}

bool interact::tableScore(qint64 shift, double *score) const
{
    if (m_cellTotal.empty() || !feasible(shift))
        return false;
    const auto lf = [](qint64 n) { return std::lgamma(static_cast<double>(n) + 1.0); };
    double sum = 0.0;
    for (int i = 0; i < m_M; ++i)
        for (int j = 0; j < m_N; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(m_N) + static_cast<size_t>(j);
            const qint64 x = m_A[p] + ((i + j) % 2 == 0 ? shift : -shift);
            sum += lf(m_cellTotal[p]) - lf(x) - lf(m_cellTotal[p] - x);
        }
    *score = sum;
    return true;
}

double interact::stepRatio(qint64 shift, int step) const
{
    if (!feasible(shift + step))
        return -1.0;
    // C(T, x + 1) / C(T, x) = (T - x) / (x + 1) where the cell grows,
    // C(T, x - 1) / C(T, x) = x / (T - x + 1) where it shrinks.
    double ratio = 1.0;
    for (int i = 0; i < m_M; ++i)
        for (int j = 0; j < m_N; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(m_N) + static_cast<size_t>(j);
            const int sign = (i + j) % 2 == 0 ? step : -step;
            const qint64 x = m_A[p] + ((i + j) % 2 == 0 ? shift : -shift);
            const qint64 t = m_cellTotal[p];
            ratio *= sign > 0 ? double(t - x) / double(x + 1) : double(x) / double(t - x + 1);
        }
    return ratio;
}

bool interact::walk(int step)
{
    const quint64 cells = static_cast<quint64>(m_M) * static_cast<quint64>(m_N);
    const quint64 stepsPerPoll = std::max<quint64>(1, kCellsPerPoll / cells);
    qint64 shift = 0;
    return walkFamilySide(
        [&](quint64) {
            const double r = stepRatio(shift, step);
            shift += step;
            return r;
        },
        *m_sums, stepsPerPoll);
}

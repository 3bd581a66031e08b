#include "interact.h"

#include "compensatedsum.h"
#include "logfactorial.h"
#include "membudget.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kTieTolerance = 1e-10;

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
    if (result != Finished) {
        std::vector<double>().swap(m_lnFact);
        std::vector<double>().swap(m_scores);
    }
    if (status)
        *status = result;
}

int interact::run(double *P, MemoryBudget *budget)
{
    if (m_N < 1 || m_M < 1 || !m_A || !m_B)
        return BadInput;
    const size_t cells = static_cast<size_t>(m_M) * static_cast<size_t>(m_N);
    m_cellTotal.assign(cells, 0);
    m_rowSumA.assign(static_cast<size_t>(m_M), 0);
    m_rowSumB.assign(static_cast<size_t>(m_M), 0);
    m_colSumA.assign(static_cast<size_t>(m_N), 0);
    m_colSumB.assign(static_cast<size_t>(m_N), 0);
    qint64 maxTotal = 0;
    for (int i = 0; i < m_M; ++i)
        for (int j = 0; j < m_N; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(m_N) + static_cast<size_t>(j);
            const qint64 a = m_A[p];
            const qint64 b = m_B[p];
            if (a < 0 || b < 0)
                return BadInput;
            m_cellTotal[p] = a + b;
            maxTotal = std::max(maxTotal, a + b);
            m_rowSumA[static_cast<size_t>(i)] += a;
            m_rowSumB[static_cast<size_t>(i)] += b;
            m_colSumA[static_cast<size_t>(j)] += a;
            m_colSumB[static_cast<size_t>(j)] += b;
        }

    const qint64 bytes = (maxTotal + 1) * static_cast<qint64>(sizeof(double));
    if (!budget->reserve(bytes))
        return OutOfMemory;
    // Given back on every way out, a failed allocation included.
    struct Release {
        MemoryBudget *budget;
        qint64 bytes;
        ~Release() { budget->release(bytes); }
    } release{budget, bytes};
    if (!fillLogFactorials(m_lnFact, maxTotal))
        return OutOfMemory;
    if (!tableScore(0, &m_obsScore))
        return BadInput;

    // The weights are summed relative to the heaviest member rather than the
    // observed one, so that no member's weight overflows and a P-value far
    // out in the tail keeps its digits down to the smallest doubles.
    m_scores.assign(1, m_obsScore);
    walk(-1);
    walk(+1);
    const double heaviest = *std::max_element(m_scores.begin(), m_scores.end());
    CompensatedSum total;
    CompensatedSum counting;
    for (const double score : m_scores) {
        const double w = std::exp(score - heaviest);
        total.add(w);
        if (score - m_obsScore < kTieTolerance)
            counting.add(w);
    }
    *P = counting.value() / total.value();
    return Finished;
}

bool interact::tableScore(qint64 shift, double *score) const
{
    double sum = 0.0;
    for (int i = 0; i < m_M; ++i)
        for (int j = 0; j < m_N; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(m_N) + static_cast<size_t>(j);
            const qint64 s = (i + j) % 2 == 0 ? shift : -shift;
            const qint64 x = m_A[p] + s;
            const qint64 y = m_B[p] - s;
            const qint64 t = m_cellTotal[p];
            if (x < 0 || x > t || x > m_colSumA[static_cast<size_t>(j)]
                || x > m_rowSumA[static_cast<size_t>(i)] || y > m_colSumB[static_cast<size_t>(j)]
                || y > m_rowSumB[static_cast<size_t>(i)])
                return false;
            sum += m_lnFact[static_cast<size_t>(t)] - m_lnFact[static_cast<size_t>(x)]
                   - m_lnFact[static_cast<size_t>(t - x)];
        }
    *score = sum;
    return true;
}

void interact::walk(int step)
{
    double score = 0.0;
    // Ends at the first infeasible shift: 0 <= x <= T caps it at maxT steps.
    for (qint64 s = step; tableScore(s, &score); s += step)
        m_scores.push_back(score);
}

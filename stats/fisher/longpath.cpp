#include "longpath.h"

#include <QtGlobal>

longpath::longpath(const double *lf, int capacity) : m_capacity(capacity), m_lf(lf) {}

int longpath::getMode(int K, int a, const int *c, int *out)
{
    if (K < 1 || K > kMaxColumns)
        return 1;
    if (a < 0)
        return 4;
    qint64 S = 0;
    for (int i = 0; i < K; ++i)
        S += c[i];
    if (S > m_capacity)
        return 2;
    if (S < a)
        return 3;
    if (K == 1) {
        out[0] = a;
        return 0;
    }

    // Initial allocation: each column's share of a + 1 in proportion to
    // c + 1; exact divisions are the ties that may need one count less.
    const qint64 denominator = S + 2;
    bool tiesReady = false;
    qint64 tieA = 0;
    qint64 tieB = 0;
    int ties = 0;
    qint64 sum = 0;
    for (int i = 0; i < K; ++i) {
        const qint64 p = (qint64(a) + 1) * (qint64(c[i]) + 1);
        const qint64 q = p / denominator;
        if (p % denominator != 0) {
            out[i] = int(q);
        } else {
            if (!tiesReady) {
                const double G = double(qint64(a) + 1) * double(K - 2) / double(denominator) + 1.0;
                const double lowA = G - K > -double(a) ? G - K : -double(a);
                const double highB = G < double(S - a) ? G : double(S - a);
                tieA = qint64(lowA);
                tieB = qint64(highB);
                tiesReady = true;
            }
            out[i] = int((tieA > 0 || (tieB >= 0 && ties < tieB)) ? q - 1 : q);
            ++ties;
        }
        sum += out[i];
    }

    qint64 excess = sum - a;
    if (excess == 0)
        return 0;

    // Greedy correction, one count at a time; every column's ratio is
    // computed once and then only the changed column's.
    const bool decrease = excess > 0;
    for (int i = 0; i < K; ++i)
        m_ratio[i] = decrease ? -double(out[i]) / double(c[i] + 1) : double(out[i] + 1) / double(c[i] + 1);
    for (qint64 step = decrease ? excess : -excess; step > 0; --step) {
        int best = 0;
        for (int i = 1; i < K; ++i) {
            if (m_ratio[i] < m_ratio[best])
                best = i;
        }
        if (decrease) {
            m_ratio[best] = -double(out[best] - 1) / double(c[best] + 1);
            --out[best];
        } else {
            m_ratio[best] = double(out[best] + 2) / double(c[best] + 1);
            ++out[best];
        }
    }
    return 0;
}

int longpath::stepUp(int K, const int *c, int *out)
{
    int best = -1;
    double bestRatio = 0.0;
    for (int j = 0; j < K; ++j) {
        if (out[j] >= c[j])
            continue;
        const double ratio = double(out[j] + 1) / double(c[j] + 1);
        if (best < 0 || ratio < bestRatio) {
            best = j;
            bestRatio = ratio;
        }
    }
    if (best >= 0)
        ++out[best];
    return best;
}

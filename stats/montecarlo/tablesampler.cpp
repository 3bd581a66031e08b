#include "tablesampler.h"

#include "mcstream.h"

#include <algorithm>
#include <cmath>

qint64 tablesampler::hypergeometric(std::mt19937_64 &engine, qint64 total, qint64 marked, qint64 draws)
{
    if (draws <= 0 || marked <= 0)
        return 0;
    if (draws >= total)
        return marked;
    if (marked >= total)
        return draws;
    // The walk is shortest with both draws and marked at most half the
    // items: the marked items left undrawn, and the unmarked ones drawn,
    // follow the same law.
    const bool undrawn = draws > total - draws;
    const qint64 taken = undrawn ? total - draws : draws;
    const bool unmarked = marked > total - marked;
    const qint64 special = unmarked ? total - marked : marked;
    qint64 x = fromMode(engine, total, special, taken);
    if (unmarked)
        x = taken - x;
    if (undrawn)
        x = marked - x;
    return x;
}

qint64 tablesampler::fromMode(std::mt19937_64 &engine, qint64 total, qint64 marked, qint64 draws)
{
    // Here marked, draws <= total / 2, so the support is 0..min(marked, draws).
    const qint64 high = std::min(marked, draws);
    const qint64 others = total - marked;
    const double M = static_cast<double>(marked);
    const double D = static_cast<double>(draws);
    const double F = static_cast<double>(others);
    qint64 mode = static_cast<qint64>((D + 1.0) * (M + 1.0) / (static_cast<double>(total) + 2.0));
    mode = std::clamp<qint64>(mode, 0, high);

    const lnfactorial &lf = m_lnFact;
    const double logMode = lf(marked) - lf(mode) - lf(marked - mode) + lf(others) - lf(draws - mode)
                           - lf(others - draws + mode) - lf(total) + lf(draws) + lf(total - draws);
    const double pMode = std::exp(logMode);
    // P(k + 1) / P(k) and P(k - 1) / P(k).
    auto up = [&](qint64 k) {
        const double x = static_cast<double>(k);
        return (M - x) * (D - x) / ((x + 1.0) * (F - D + x + 1.0));
    };
    auto down = [&](qint64 k) {
        const double x = static_cast<double>(k);
        return x * (F - D + x) / ((M - x + 1.0) * (D - x + 1.0));
    };

    for (int redraw = 0; redraw < kMaxRedraws; ++redraw) {
        double u = mcstream::uniform(engine);
        if (u < pMode)
            return mode;
        u -= pMode;
        qint64 below = mode - 1;
        qint64 above = mode + 1;
        double pBelow = below >= 0 ? pMode * down(mode) : 0.0;
        double pAbove = above <= high ? pMode * up(mode) : 0.0;
        // Each step takes one more value of the support; a side whose
        // probabilities underflow to 0 is done.
        for (qint64 step = 0; step <= high && (pBelow > 0.0 || pAbove > 0.0); ++step) {
            if (pBelow >= pAbove) {
                if (u < pBelow)
                    return below;
                u -= pBelow;
                pBelow = below > 0 ? pBelow * down(below) : 0.0;
                --below;
            } else {
                if (u < pAbove)
                    return above;
                u -= pAbove;
                pAbove = above < high ? pAbove * up(above) : 0.0;
                ++above;
            }
        }
    }
    m_failed = true;
    return mode;
}

void tablesampler::multivariate(std::mt19937_64 &engine, const qint64 *sizes, int categories, qint64 total,
                                qint64 draws, qint64 *counts)
{
    qint64 left = total;
    qint64 toDraw = draws;
    for (int i = 0; i < categories; ++i) {
        if (toDraw == 0 || i + 1 == categories) {
            counts[i] = toDraw;
            toDraw = 0;
            continue;
        }
        const qint64 x = hypergeometric(engine, left, sizes[i], toDraw);
        counts[i] = x;
        toDraw -= x;
        left -= sizes[i];
    }
}

void tablesampler::table(std::mt19937_64 &engine, const qint64 *rowSums, int rows, const qint64 *columnSums,
                         int columns, qint64 total, qint64 *cells)
{
    m_columnsLeft.assign(columnSums, columnSums + columns);
    qint64 left = total;
    for (int r = 0; r + 1 < rows; ++r) {
        qint64 *row = cells + static_cast<size_t>(r) * static_cast<size_t>(columns);
        multivariate(engine, m_columnsLeft.data(), columns, left, rowSums[r], row);
        for (int c = 0; c < columns; ++c)
            m_columnsLeft[static_cast<size_t>(c)] -= row[c];
        left -= rowSums[r];
    }
    if (rows > 0)
        std::copy(m_columnsLeft.begin(), m_columnsLeft.end(),
                  cells + static_cast<size_t>(rows - 1) * static_cast<size_t>(columns));
}

void tablesampler::pairing(std::mt19937_64 &engine, const qint64 *alleles, int K, qint64 n, qint64 *pairs)
{
    m_odd.resize(size_t(K));
    m_even.resize(size_t(K));
    multivariate(engine, alleles, K, 2 * n, n, m_odd.data());
    for (int i = 0; i < K; ++i)
        m_even[size_t(i)] = alleles[i] - m_odd[size_t(i)];
    table(engine, m_odd.data(), K, m_even.data(), K, n, pairs);
}

#include "tablesampler.h"

#include "mcstream.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The bounds of a site's window: the free parameter's mean, give or take
// six standard deviations (a draw outside is walked, only not kept).
void window(double mean, double variance, qint64 lowest, qint64 highest, qint64 &low, qint64 &high)
{
    const double reach = 6.0 * std::sqrt(std::max(variance, 0.0)) + 3.0;
    low = std::max(lowest, qint64(std::floor(mean - reach)));
    high = std::min(highest, qint64(std::ceil(mean + reach)));
}

// hatWidth() below kHatSteps / 4, at the top of each quarter of the
// variance: 16 KB, the variances of cells in tables of up to about
// 8,000 counts.
constexpr int kHatSteps = 2048;
std::array<double, kHatSteps> makeHats()
{
    std::array<double, kHatSteps> hats{};
    for (int i = 0; i < kHatSteps; ++i)
        hats[size_t(i)] = tablesampler::kHatScale * std::sqrt((i + 1) * 0.25 + 0.5) + tablesampler::kHatShift;
    return hats;
}
const std::array<double, kHatSteps> kHats = makeHats();

inline double hat(double variance)
{
    const double quarters = variance * 4.0;
    return quarters >= 0.0 && quarters < double(kHatSteps)
               ? kHats[size_t(quarters)]
               : tablesampler::kHatScale * std::sqrt(variance + 0.5) + tablesampler::kHatShift;
}

} // namespace

template <class Law>
Q_ALWAYS_INLINE qint64 tablesampler::walkDraw(mcgenerator &engine, const Law &law, const drawcache::walk *kept)
{
    if (law.low == law.high)
        return law.low;
    for (int redraw = 0; redraw < kMaxRedraws; ++redraw) {
        const double u = mcstream::uniform(engine);
        walkstate w;
        if (kept) {
            qint64 value = 0;
            if (m_cache.lookup(*kept, u, value))
                return value;
            if (kept->ended)
                continue;
            w = m_cache.state(*kept);
        } else {
            qint64 value = 0;
            if (walkstate::first(law, m_lnFact, u, value, w))
                return value;
        }
        qint64 value = 0;
        if (w.find(law, u, value))
            return value;
    }
    m_failed = true;
    return law.low;
}

qint64 tablesampler::hypergeometric(mcgenerator &engine, qint64 total, qint64 marked, qint64 draws, int site)
{
    if (draws <= 0 || marked <= 0)
        return 0;
    if (draws >= total)
        return marked;
    if (marked >= total)
        return draws;
    // The law is symmetric in marked and draws, and the walk is shortest
    // with both at most half the items: the complement of either set follows
    // the same law. So every draw walks the law of (total, small, large),
    // small <= large <= total / 2, whichever way round it was asked.
    const qint64 a = std::min(marked, draws);
    const qint64 b = std::max(marked, draws);
    const bool flipB = b > total - b;
    const qint64 b2 = flipB ? total - b : b;
    const bool flipA = a > total - a;
    const qint64 a2 = flipA ? total - a : a;
    const hyperlaw law(total, std::min(a2, b2), std::max(a2, b2), m_lnFact.reciprocals());
    const drawcache::walk *kept = site >= 0 ? m_cache.find(site, total, marked, draws, law, m_lnFact) : nullptr;
    qint64 x = walkDraw(engine, law, kept);
    if (flipA)
        x = b2 - x;
    if (flipB)
        x = a - x;
    return x;
}

// Its own code, apart from hypergeometric(), so that the other draws
// keep their code as it was (they ran 8% slower sharing it).
qint64 tablesampler::cell(mcgenerator &engine, qint64 total, qint64 marked, qint64 draws)
{
    const double *inverse = m_lnFact.reciprocals();
    if (draws <= 0 || marked <= 0 || draws >= total || marked >= total || !inverse)
        return hypergeometric(engine, total, marked, draws, -1);
    // Reduced as hypergeometric() reduces its draws.
    const qint64 a = std::min(marked, draws);
    const qint64 b = std::max(marked, draws);
    const bool flipB = b > total - b;
    const qint64 b2 = flipB ? total - b : b;
    const bool flipA = a > total - a;
    const qint64 a2 = flipA ? total - a : a;
    const hyperlaw law(total, std::min(a2, b2), std::max(a2, b2), inverse);
    // total >= 2 here: small >= 1 and large <= total / 2.
    const double variance = law.s * law.l * (double(total) - law.s) * (double(total) - law.l) * inverse[total]
                            * inverse[total] * inverse[total - 1];
    qint64 x = variance >= kRatioVariance ? drawRatio(engine, law, variance) : walkDraw(engine, law, nullptr);
    if (flipA)
        x = b2 - x;
    if (flipB)
        x = a - x;
    return x;
}

double tablesampler::hatWidth(double variance)
{
    return hat(variance);
}

qint64 tablesampler::drawRatio(mcgenerator &engine, const hyperlaw &law, double variance)
{
    const double a = law.l * law.s * law.inverse[law.total] + 0.5;
    const double h = hat(variance);
    const double end = law.s + 1.0;
    const qint64 m = law.mode();
    const qint64 s = law.small;
    const qint64 l = law.large;
    const qint64 r = law.rest;
    // P(k) / P(mode) = mode! (s - mode)! (l - mode)! (r + mode)! / (k! (s - k)! (l - k)! (r + k)!):
    // the mode's half once per draw.
    int modeExponent = 0;
    const double modeFactor = m_lnFact.scaledProduct(m, s - m, l - m, r + m, modeExponent);
    // The generator's state in registers for the tries, not stored back
    // after every output.
    mcgenerator local = engine;
    for (int tries = 0; tries < kMaxTries; ++tries) {
        const double u = mcstream::uniform(local);
        const double v = mcstream::uniform(local);
        // The quotient first: it waits on the generator only, not on the law.
        const double x = a + h * ((v - 0.5) / u);
        // Outside the support (or u = 0): P is 0 there.
        if (!(x >= 0.0 && x < end))
            continue;
        const qint64 k = qint64(x);
        int exponent = 0;
        const double factor = m_lnFact.scaledInverseProduct(k, s - k, l - k, r + k, exponent);
        if (u * u <= lnfactorial::times2To(modeFactor * factor, modeExponent + exponent)) {
            engine = local;
            return k;
        }
    }
    engine = local;
    m_failed = true;
    return m;
}

qint64 tablesampler::homozygotes(mcgenerator &engine, qint64 copies, qint64 pairs, int site)
{
    const homozygotelaw law(copies, pairs, m_lnFact.reciprocals());
    const drawcache::walk *kept = site >= 0 ? m_cache.find(site, pairs, 0, copies, law, m_lnFact) : nullptr;
    return walkDraw(engine, law, kept);
}

void tablesampler::multivariate(mcgenerator &engine, const qint64 *sizes, int categories, qint64 total,
                                qint64 draws, qint64 *counts, int sites)
{
    qint64 left = total;
    qint64 toDraw = draws;
    for (int i = 0; i < categories; ++i) {
        if (toDraw == 0 || i + 1 == categories) {
            counts[i] = toDraw;
            toDraw = 0;
            continue;
        }
        const qint64 x = hypergeometric(engine, left, sizes[i], toDraw, sites >= 0 ? sites + i : -1);
        counts[i] = x;
        toDraw -= x;
        left -= sizes[i];
    }
}

void tablesampler::table(mcgenerator &engine, const qint64 *rowSums, int rows, const qint64 *columnSums,
                         int columns, qint64 total, qint64 *cells, int sites, rowobserver *observer)
{
    if (rows < 1 || columns < 1)
        return;
    const size_t C = size_t(columns);
    // The last row is what the others leave of each column.
    qint64 *last = cells + size_t(rows - 1) * C;
    std::copy(columnSums, columnSums + columns, last);
    if (columns == 1) {
        std::copy(rowSums, rowSums + rows - 1, cells);
        for (int r = 0; r + 1 < rows; ++r)
            last[0] -= rowSums[r];
        return;
    }
    // Row by row: each cell is drawn from the items its row has left to
    // place and those of its column and the columns after it that the rows
    // before left, so an observer may stop the table after any row.
    const int lastColumn = columns - 1;
    const int cellRow = observer ? observer->firstCellRow() : INT_MAX;
    qint64 items = total;
    for (int r = 0; r + 1 < rows; ++r) {
        qint64 *row = cells + size_t(r) * C;
        qint64 toPlace = rowSums[r];
        qint64 within = items;
        for (int c = 0; c < lastColumn; ++c) {
            const qint64 marked = last[c];
            // The first row's and the first column's draws have two fixed
            // parameters: their sites' walks are kept (see prepareTable).
            qint64 x = 0;
            if (r == 0)
                x = hypergeometric(engine, within, marked, toPlace, sites >= 0 ? sites + c : -1);
            else if (c == 0)
                x = hypergeometric(engine, within, rowSums[r], marked, sites >= 0 ? sites + lastColumn + r - 1 : -1);
            else
                x = cell(engine, within, marked, toPlace);
            row[c] = x;
            last[c] -= x;
            // The next row's first draw is known now, a row ahead of it.
            if (c == 0 && sites >= 0 && r + 2 < rows)
                m_cache.prefetch(sites + lastColumn + r, items - rowSums[r], rowSums[r + 1], last[0]);
            within -= marked;
            toPlace -= x;
            if (r >= cellRow && c + 1 < lastColumn && observer->decidedAt(r, c, row))
                return;
        }
        row[lastColumn] = toPlace;
        last[lastColumn] -= toPlace;
        items -= rowSums[r];
        if (observer && observer->decided(r, row))
            return;
    }
}

void tablesampler::genotypes(mcgenerator &engine, const qint64 *alleles, int K, qint64 n, qint64 *cells, int sites)
{
    m_left.assign(alleles, alleles + K);
    qint64 pairs = n;
    for (int i = 0; i < K; ++i) {
        qint64 *row = cells + size_t(i) * size_t(K);
        const qint64 copies = m_left[size_t(i)];
        if (i + 1 == K) {
            row[i] = copies / 2;
            break;
        }
        const bool first = i == 0 && sites >= 0;
        const qint64 same = copies > 0 ? homozygotes(engine, copies, pairs, first ? sites : -1) : 0;
        const qint64 others = copies - 2 * same;
        row[i] = same;
        multivariate(engine, m_left.data() + i + 1, K - i - 1, 2 * pairs - copies, others, row + i + 1,
                     first ? sites + 1 : -1);
        for (int j = i + 1; j < K; ++j)
            m_left[size_t(j)] -= row[j];
        pairs -= same + others;
    }
}

int tablesampler::prepareMultivariate(const qint64 *sizes, int categories, qint64 total, qint64 draws)
{
    // Category i's draws have the items from i on and its size fixed; the
    // free one is what is left to draw, the number of the draws that fall
    // in categories i and later: hypergeometric, so its window is known.
    int first = -1;
    qint64 from = total;
    const double n = double(total);
    const double d = double(draws);
    for (int i = 0; i + 1 < categories; ++i) {
        const double share = n > 0 ? double(from) / n : 0.0;
        const double variance = n > 1 ? d * share * (1.0 - share) * (n - d) / (n - 1.0) : 0.0;
        qint64 low = 0;
        qint64 high = 0;
        window(d * share, variance, 0, draws, low, high);
        const int site = m_cache.addSite(from, sizes[i], low, high);
        if (first < 0)
            first = site;
        from -= sizes[i];
    }
    return first;
}

int tablesampler::prepareTable(const qint64 *rowSums, int rows, const qint64 *columnSums, int columns,
                               qint64 total)
{
    if (rows < 1 || columns < 1)
        return -1;
    // The first row's sites, one per column but the last...
    int first = prepareMultivariate(columnSums, columns, total, rowSums[0]);
    // ...then row r's first column: the items left and the row's sum fixed,
    // the first column's count left free (hypergeometric too).
    qint64 itemsLeft = total - rowSums[0];
    const double n = double(total);
    const double c = double(columnSums[0]);
    for (int r = 1; r + 1 < rows && columns > 1; ++r) {
        const double share = double(itemsLeft) / n;
        const double variance = n > 1 ? c * share * (1.0 - share) * (n - c) / (n - 1.0) : 0.0;
        qint64 low = 0;
        qint64 high = 0;
        window(c * share, variance, 0, columnSums[0], low, high);
        const int site = m_cache.addSite(itemsLeft, rowSums[r], low, high);
        if (first < 0)
            first = site;
        itemsLeft -= rowSums[r];
    }
    return first;
}

int tablesampler::prepareGenotypes(const qint64 *alleles, int K, qint64 n)
{
    if (K < 2)
        return -1;
    // The first allele's homozygotes (one law), then its other copies'
    // partners: at most all of its copies, each category's free parameter
    // anywhere from none to all.
    const int first = m_cache.addSite(n, 0, alleles[0], alleles[0]);
    qint64 from = 2 * n - alleles[0];
    for (int i = 1; i + 1 < K; ++i) {
        m_cache.addSite(from, alleles[i], 0, alleles[0]);
        from -= alleles[i];
    }
    return first;
}

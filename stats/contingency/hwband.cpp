#include "hwband.h"

#include "compensatedsum.h"

#include <algorithm>
#include <cmath>

namespace {

// The tails are left once what lies beyond weighs less than this, relative
// to the mode: far below any P-value that a comparison with a level can
// turn on, and it keeps the walk to about 8.5 standard deviations a side,
// so one allele count costs the same few thousand steps at n = 10^7 as at
// n = 10^5.
constexpr double kNegligible = 1e-17;
// Tables whose weights differ by this relative amount tie, as the exact
// test counts them (familywalk::kTieTolerance).
constexpr double kTieTolerance = 1e-10;

// The family of tables with c0 copies of allele 0 and c1 of allele 1 (c0 +
// c1 even), indexed by the heterozygote count h: the weight of h + 2 over
// that of h, and of h - 2 over that of h.
struct Family
{
    qint64 c0 = 0;
    qint64 c1 = 0;

    double up(qint64 h) const
    {
        const double aa = double((c0 - h) / 2);
        const double bb = double((c1 - h) / 2);
        return 4.0 * aa * bb / ((double(h) + 1.0) * (double(h) + 2.0));
    }
    double down(qint64 h) const
    {
        const double aa = double((c0 - h) / 2);
        const double bb = double((c1 - h) / 2);
        return double(h) * (double(h) - 1.0) / (4.0 * (aa + 1.0) * (bb + 1.0));
    }
};

// Weights relative to the mode (which weighs 1), walking away from it with
// the ratio `step` until the rest of the side cannot matter. Log-concavity
// makes the ratios fall, so after a ratio r < 1 the rest weighs at most
// w r / (1 - r). False when the walk passes its cap.
template <typename Step>
bool walkSide(qint64 mode, qint64 end, int direction, Step &&step, std::vector<double> &weights)
{
    weights.clear();
    const qint64 cap = (end - mode) * direction / 2;
    double w = 1.0;
    for (qint64 h = mode, taken = 0; h != end; h += 2 * direction) {
        if (++taken > cap)
            return false;
        const double r = step(h);
        w *= r;
        weights.push_back(w);
        if (r < 1.0 && w * r <= kNegligible * (1.0 - r))
            break;
    }
    return true;
}

int acceptedWith(qint64 n, qint64 c1, double level, HwBandPoint *point, std::vector<double> &below,
                 std::vector<double> &above)
{
    const Family family{2 * n - c1, c1};
    const qint64 hMin = c1 % 2;
    const qint64 hMax = std::min(family.c0, family.c1);
    point->alleleCount = c1;
    if (hMin == hMax) {
        point->hetLow = point->hetHigh = hMin;
        return hwband::Finished;
    }
    // The mode, climbed to from the expected heterozygote count
    // c0 c1 / (2n - 1); the walk is a few steps at most.
    const double expected = double(family.c0) * double(family.c1) / (2.0 * double(n) - 1.0);
    qint64 mode = std::clamp(qint64(std::llround(expected)), hMin, hMax);
    if ((mode - hMin) % 2 != 0)
        mode += mode < hMax ? 1 : -1;
    const qint64 cap = (hMax - hMin) / 2 + 1;
    qint64 climbed = 0;
    while (mode < hMax && family.up(mode) > 1.0 && climbed++ <= cap)
        mode += 2;
    while (mode > hMin && family.down(mode) > 1.0 && climbed++ <= cap)
        mode -= 2;
    if (climbed > cap)
        return hwband::NotConverged;

    if (!walkSide(mode, hMin, -1, [&](qint64 h) { return family.down(h); }, below)
        || !walkSide(mode, hMax, +1, [&](qint64 h) { return family.up(h); }, above))
        return hwband::NotConverged;

    // Position k from the low end: below reversed, the mode, above.
    const qint64 low = qint64(below.size());
    const qint64 count = low + 1 + qint64(above.size());
    const auto weight = [&](qint64 k) {
        if (k < low)
            return below[std::size_t(low - 1 - k)];
        if (k == low)
            return 1.0;
        return above[std::size_t(k - low - 1)];
    };
    CompensatedSum total;
    for (qint64 k = 0; k < count; ++k)
        total.add(weight(k));
    const double threshold = level * total.value();

    // The least probable tables lie at the two ends: take them from both
    // ends inwards, ties together, while their P-value (the weight of every
    // table no more probable) stays at or below the level.
    qint64 i = 0;
    qint64 j = count - 1;
    CompensatedSum rejected;
    while (i <= j) {
        const double limit = std::min(weight(i), weight(j)) * (1.0 + kTieTolerance);
        qint64 ii = i;
        qint64 jj = j;
        CompensatedSum group = rejected;
        while (ii <= jj && weight(ii) <= limit)
            group.add(weight(ii++));
        while (jj >= ii && weight(jj) <= limit)
            group.add(weight(jj--));
        if (group.value() > threshold)
            break;
        rejected = group;
        i = ii;
        j = jj;
    }
    const qint64 first = mode - 2 * low;
    point->hetLow = first + 2 * i;
    point->hetHigh = first + 2 * j;
    return hwband::Finished;
}

} // namespace

int hwband::accepted(qint64 individuals, qint64 alleleCount, double level, HwBandPoint *point)
{
    if (individuals < 1 || alleleCount < 0 || alleleCount > 2 * individuals || !(level > 0.0)
        || !(level < 1.0) || !point)
        return BadInput;
    std::vector<double> below, above;
    return acceptedWith(individuals, alleleCount, level, point, below, above);
}

int hwband::band(qint64 individuals, double level, int maxPoints, qint64 include,
                 std::vector<HwBandPoint> *points)
{
    if (individuals < 1 || !(level > 0.0) || !(level < 1.0) || maxPoints < 2 || !points)
        return BadInput;
    const qint64 copies = 2 * individuals;
    std::vector<qint64> counts;
    if (copies + 1 <= maxPoints) {
        for (qint64 c = 0; c <= copies; ++c)
            counts.push_back(c);
    } else {
        for (int k = 0; k < maxPoints; ++k)
            counts.push_back(qint64(std::llround(double(copies) * k / (maxPoints - 1))));
        if (include >= 0 && include <= copies)
            counts.push_back(include);
        std::sort(counts.begin(), counts.end());
        counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    }
    points->clear();
    points->reserve(counts.size());
    std::vector<double> below, above;
    for (const qint64 c : counts) {
        HwBandPoint point;
        const int status = acceptedWith(individuals, c, level, &point, below, above);
        if (status != Finished)
            return status;
        points->push_back(point);
    }
    return Finished;
}

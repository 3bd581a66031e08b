#include "hwband.h"

#include <algorithm>
#include <functional>
#include <cmath>

namespace {

// The tails are walked until what lies beyond weighs less than kCoarse
// (relative to the mode, which weighs 1): about 5.5 standard deviations a
// side. The tables left out are the least probable ones, all rejected, and
// their weight can only move the band's ends inwards; in the rare case
// (under 1%) that the level leaves less room than that weight could take,
// the walk is repeated down to kFine, below any P-value a comparison with a
// level can turn on.
constexpr double kCoarse = 1e-3;
constexpr double kFine = 1e-17;
// Tables whose weights differ by this relative amount tie, as the exact
// test counts them (familywalk::kTieTolerance).
constexpr double kTieTolerance = 1e-10;

// The family of tables with c0 copies of allele 0 and c1 of allele 1 (c0 +
// c1 even), indexed by the heterozygote count h, with h - 2 over h and h + 2
// over h as weight ratios.
struct Family
{
    qint64 c0 = 0;
    qint64 c1 = 0;

    double up(qint64 h) const
    {
        return 4.0 * double((c0 - h) / 2) * double((c1 - h) / 2) / ((double(h) + 1.0) * (double(h) + 2.0));
    }
    double down(qint64 h) const
    {
        return double(h) * (double(h) - 1.0) / (4.0 * (double((c0 - h) / 2) + 1.0) * (double((c1 - h) / 2) + 1.0));
    }
};

// One side of the family from the mode outwards: the weights relative to
// the mode (falling, by log-concavity) and their running sums from the mode
// on, added up in long doubles: a tail that matters (a share of the total
// near the level) is the total less a running sum to 1e-14.
struct Side
{
    std::vector<double> weights;
    std::vector<double> sums;
    double left = 0.0;  // at most the weight of the tables not walked

    double total() const { return sums.empty() ? 0.0 : sums.back(); }
    // The weight of this side's tables no heavier than x: a tail.
    double tail(double x) const
    {
        const auto first = std::upper_bound(weights.begin(), weights.end(), x, std::greater<double>());
        const std::size_t k = std::size_t(first - weights.begin());
        return k == 0 ? total() : total() - sums[k - 1];
    }
};

// Walks `steps` tables at most from the mode, up (+1) or down (-1), in
// blocks: the ratios of a block are independent of each other (and are
// computed together), their products and sums follow. Once a ratio r < 1
// is seen the rest weighs at most w r / (1 - r); the walk stops at the end
// of the block where that is below `negligible`.
void walk(const Family &family, qint64 mode, int direction, qint64 steps, double negligible, Side &side)
{
    constexpr int kBlock = 256;
    double ratios[kBlock];
    side.weights.clear();
    side.sums.clear();
    side.left = 0.0;
    const double aa0 = double((family.c0 - mode) / 2);
    const double bb0 = double((family.c1 - mode) / 2);
    const double h0 = double(mode);
    double w = 1.0;
    long double sum = 0.0L;
    for (qint64 done = 0; done < steps;) {
        const int count = int(std::min<qint64>(kBlock, steps - done));
        const double base = double(done);
        if (direction > 0) {
            for (int k = 0; k < count; ++k) {
                const double i = base + k;
                const double h = h0 + 2.0 * i;
                ratios[k] = 4.0 * (aa0 - i) * (bb0 - i) / ((h + 1.0) * (h + 2.0));
            }
        } else {
            for (int k = 0; k < count; ++k) {
                const double i = base + k;
                const double h = h0 - 2.0 * i;
                ratios[k] = h * (h - 1.0) / (4.0 * (aa0 + i + 1.0) * (bb0 + i + 1.0));
            }
        }
        side.weights.resize(std::size_t(done + count));
        side.sums.resize(std::size_t(done + count));
        double *weights = side.weights.data() + done;
        double *sums = side.sums.data() + done;
        for (int k = 0; k < count; ++k) {
            w *= ratios[k];
            sum += w;
            weights[k] = w;
            sums[k] = double(sum);
        }
        done += count;
        const double r = ratios[count - 1];
        if (done < steps && r < 1.0 && w * r <= negligible * (1.0 - r)) {
            side.left = w * r / (1.0 - r);
            return;
        }
    }
}

// The accepted interval from the sides walked down to `negligible`. A
// table is rejected when the weight of every table no heavier (ties
// included) is at most level x total; that weight falls with the table's
// own, so each side's rejected tables are its far end, found by bisection.
// False when the weight left out of the walks could have changed the
// interval.
bool intervalFrom(const Family &family, qint64 mode, qint64 hMin, qint64 hMax, double level, double negligible,
                  Side &below, Side &above, HwBandPoint *point)
{
    walk(family, mode, -1, (mode - hMin) / 2, negligible, below);
    walk(family, mode, +1, (hMax - mode) / 2, negligible, above);
    const double threshold = level * (1.0 + below.total() + above.total());
    // The weight left out, U, adds to every tail and to the total: a table
    // stays rejected for any U when its tail + (1 - level) U <= threshold,
    // and a table accepted without U stays accepted with it.
    const double margin = (1.0 - level) * (below.left + above.left);
    const auto tailOf = [&](double weight) {
        const double x = weight * (1.0 + kTieTolerance);
        return below.tail(x) + above.tail(x) + (x >= 1.0 ? 1.0 : 0.0);
    };
    bool robust = true;
    const auto firstRejected = [&](const Side &side) {
        std::size_t low = 0;
        std::size_t high = side.weights.size();  // the first rejected lies in [low, high]
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (tailOf(side.weights[middle]) <= threshold)
                high = middle;
            else
                low = middle + 1;
        }
        if (low < side.weights.size() && tailOf(side.weights[low]) + margin > threshold)
            robust = false;
        // Nothing walked is rejected, but tables were left out.
        if (low == side.weights.size() && side.left > 0.0)
            robust = false;
        return qint64(low);
    };
    point->hetLow = mode - 2 * firstRejected(below);
    point->hetHigh = mode + 2 * firstRejected(above);
    return robust;
}

int acceptedWith(qint64 n, qint64 c1, double level, HwBandPoint *point, Side &below, Side &above)
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
    // c0 c1 / (2n - 1); the climb is a few steps at most.
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
    if (!intervalFrom(family, mode, hMin, hMax, level, kCoarse, below, above, point))
        intervalFrom(family, mode, hMin, hMax, level, kFine, below, above, point);
    return hwband::Finished;
}

} // namespace

int hwband::accepted(qint64 individuals, qint64 alleleCount, double level, HwBandPoint *point)
{
    if (individuals < 1 || alleleCount < 0 || alleleCount > 2 * individuals || !(level > 0.0)
        || !(level < 1.0) || !point)
        return BadInput;
    Side below, above;
    return acceptedWith(individuals, alleleCount, level, point, below, above);
}

int hwband::band(qint64 individuals, double level, int maxPoints, qint64 include,
                 std::vector<HwBandPoint> *points)
{
    if (individuals < 1 || !(level > 0.0) || !(level < 1.0) || maxPoints < 2 || !points)
        return BadInput;
    const qint64 copies = 2 * individuals;
    std::vector<qint64> counts;
    if (copies + 1 <= std::max<qint64>(maxPoints, kEveryCount)) {
        for (qint64 c = 0; c <= copies; ++c)
            counts.push_back(c);
    } else {
        // Spread symmetrically, so that every count has its mirror image.
        for (int k = 0; 2 * k < maxPoints; ++k) {
            const qint64 c = qint64(std::llround(double(copies) * k / (maxPoints - 1)));
            counts.push_back(c);
            counts.push_back(copies - c);
        }
        if (include >= 0 && include <= copies) {
            counts.push_back(include);
            counts.push_back(copies - include);
        }
        std::sort(counts.begin(), counts.end());
        counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    }
    // Swapping the alleles gives the same family of tables, so each count
    // above n takes the interval of its mirror image below.
    points->clear();
    points->reserve(counts.size());
    Side below, above;
    for (const qint64 c : counts) {
        HwBandPoint point;
        if (c > individuals && std::binary_search(counts.begin(), counts.end(), copies - c)) {
            const auto mirror = std::lower_bound(points->begin(), points->end(), copies - c,
                                                 [](const HwBandPoint &p, qint64 value) { return p.alleleCount < value; });
            point = *mirror;
            point.alleleCount = c;
        } else {
            const int status = acceptedWith(individuals, c, level, &point, below, above);
            if (status != Finished)
                return status;
        }
        points->push_back(point);
    }
    return Finished;
}

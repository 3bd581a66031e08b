#include "dprimegrid.h"

#include <cstdint>
#include <cstring>

namespace twolocus::detail {

namespace {

constexpr int kPoints = kGridSteps + 1;
// Points whose likelihood lies below the largest by more than e^-36 weigh
// less than 2.4e-14 of the total together (101 points): they are not
// evaluated, and a bound moves only where a running sum lies that close to
// 5% or 95%.
constexpr double kNegligible = 36.0;
// Points are evaluated in blocks this long, which vectorize.
constexpr int kBlock = 8;

inline std::uint64_t bitsOf(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double fromBits(std::uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline double logOf(double x)
{
    // x = 2^e m with m in [1, 2); ln m = ln sqrt(2) + 2 atanh(s),
    // s = (m - sqrt(2)) / (m + sqrt(2)), |s| <= 0.1716, by its series to
    // s^21 (the rest is below 1e-18). No branch and no select: the loops of
    // it vectorize.
    constexpr double kSqrt2 = 1.41421356237309504880;
    constexpr double kLn2High = 6.93147180369123816490e-01;  // 32 bits: e * kLn2High is exact
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    constexpr double kHalfLn2 = 0.346573590279972654709;
    constexpr std::uint64_t kMantissa = (std::uint64_t(1) << 52) - 1;
    constexpr std::uint64_t kOne = std::uint64_t(1023) << 52;
    const std::uint64_t bits = bitsOf(x);
    const double m = fromBits((bits & kMantissa) | kOne);
    // The exponent as a double, by the 2^52 trick.
    const double e = fromBits((bits >> 52) | (std::uint64_t(0x433) << 52)) - 4503599627370496.0 - 1023.0;
    const double s = (m - kSqrt2) / (m + kSqrt2);
    const double z = s * s;
    const double series =
        1.0
        + z * (1.0 / 3 + z * (1.0 / 5 + z * (1.0 / 7 + z * (1.0 / 9 + z * (1.0 / 11 + z * (1.0 / 13 + z * (1.0 / 15
        + z * (1.0 / 17 + z * (1.0 / 19 + z * (1.0 / 21))))))))));
    return e * kLn2High + (e * kLn2Low + kHalfLn2 + 2.0 * s * series);
}

inline double expOf(double x)
{
    // e^x = 2^k e^r, k = round(x / ln 2), |r| <= ln(2) / 2, e^r by its
    // series to r^14 (the rest is below 1e-17). x in [-700, 0].
    constexpr double kLog2e = 1.44269504088896340736;
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to a whole number
    const double shifted = x * kLog2e + kRound;
    const double k = shifted - kRound;
    const double r = (x - k * kLn2High) - k * kLn2Low;
    double p = 1.0 / 87178291200.0;  // 1/14!
    p = p * r + 1.0 / 6227020800.0;
    p = p * r + 1.0 / 479001600.0;
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    p = p * r + 1.0;
    // 2^k from the low bits of `shifted`, which hold k.
    const std::uint64_t scale = (bitsOf(shifted) + 1023) << 52;
    return p * fromBits(scale);
}

struct Grid;
void insidePoints(Grid &grid, int from, int to);

// The likelihood at the grid's points, evaluated where the walk asks.
struct Grid
{
    const Setup &s;
    double y0 = 0, perPoint = 0, invN2 = 0, a = 0, b = 0, rest = 0;
    double counts[5] = {};   // c11, c12, c21, c22, m
    double constant = 0;
    qint64 end = 0;
    double loglik[kPoints];   // where done
    bool done[kPoints] = {};

    Grid(const Setup &setup, double y0, double step, qint64 end) : s(setup), y0(y0), end(end)
    {
        perPoint = step / kGridSteps;
        invN2 = 1.0 / double(s.n2);
        a = double(s.a);
        b = double(s.b);
        rest = double(s.n2 - s.a - s.b);
        const qint64 c[5] = {s.c11, s.c12, s.c21, s.c22, s.m};
        for (int k = 0; k < 5; ++k)
            counts[k] = double(c[k]);
        constant = kLn2 * double(s.singles + s.m);
    }

    // Points [from, to) of the grid's inside, where every frequency is
    // above 0 (D' = 1 lies at i = kGridSteps only).
    void inside(int from, int to)
    {
        insidePoints(*this, from, to);
        for (int i = from; i < to; ++i)
            done[i] = true;
    }

    // The points of [from, to) not evaluated yet.
    void fill(int from, int to)
    {
        int i = from;
        while (i < to) {
            while (i < to && done[i])
                ++i;
            int j = i;
            while (j < to && !done[j])
                ++j;
            if (j > i)
                inside(i, j);
            i = j;
        }
    }

    void point(int i)
    {
        if (done[i])
            return;
        if (i < kGridSteps) {
            inside(i, i + 1);
            return;
        }
        // D' = +-1: a frequency is 0 there, exactly at a whole count.
        loglik[i] = s.loglik(Real(end));
        done[i] = true;
    }
};

// Where the processor has AVX2, four points at a time instead of two (the
// same operations, so the same values); chosen once, at load time.
__attribute__((target_clones("arch=x86-64-v3", "default"))) void insidePoints(Grid &grid, int from, int to)
{
    const double *counts = grid.counts;
    for (int i = from; i < to; ++i) {
        const double y = grid.y0 + double(i) * grid.perPoint;
        const double f11 = y * grid.invN2, f12 = (grid.a - y) * grid.invN2, f21 = (grid.b - y) * grid.invN2,
                     f22 = (grid.rest + y) * grid.invN2;
        const double mix = f11 * f22 + f12 * f21;
        grid.loglik[i] = grid.constant + counts[0] * logOf(f11) + counts[1] * logOf(f12) + counts[2] * logOf(f21)
                         + counts[3] * logOf(f22) + counts[4] * logOf(mix);
    }
}

} // namespace

double gridLog(double x)
{
    return logOf(x);
}

double gridExp(double x)
{
    return expOf(x);
}

void dprimeBounds(const Setup &s, double y0, double step, qint64 end, const std::vector<Real> &roots, int *low,
                  int *high)
{
    Grid grid(s, y0, step, end);
    // Between the roots the likelihood is monotone, so every point of
    // weight is reached from a root or an end of the grid by walking
    // downhill; the largest is next to one of them.
    int starts[2 + 2 * 3] = {0, kGridSteps};
    int startCount = 2;
    for (const Real r : roots) {
        const double at = (double(r) - y0) / step * kGridSteps;
        if (at > -1 && at < kPoints) {
            const int below = int(std::floor(at));
            for (const int i : {below, below + 1}) {
                if (i >= 0 && i <= kGridSteps && startCount < int(sizeof starts / sizeof starts[0]))
                    starts[startCount++] = i;
            }
        }
    }
    double top = -std::numeric_limits<double>::infinity();
    for (int k = 0; k < startCount; ++k) {
        grid.point(starts[k]);
        top = std::max(top, grid.loglik[starts[k]]);
    }
    const double floor = top - kNegligible;
    for (int k = 0; k < startCount; ++k) {
        const int i = starts[k];
        if (!(grid.loglik[i] >= floor))
            continue;
        for (int to = i; to > 0;) {
            const int from = std::max(0, to - kBlock);
            grid.fill(from, to);
            if (!(grid.loglik[from] >= floor))
                break;
            to = from;
        }
        for (int from = i + 1; from < kGridSteps;) {
            const int to = std::min(kGridSteps, from + kBlock);
            grid.fill(from, to);
            if (!(grid.loglik[to - 1] >= floor))
                break;
            from = to;
        }
    }
    // Weights over the span of the inside evaluated (the walks leave it
    // whole but for points below the floor), and at D' = +-1.
    int first = 0, last = kGridSteps - 1;
    while (first < kGridSteps && !grid.done[first])
        ++first;
    while (last >= first && !grid.done[last])
        --last;
    double weights[kPoints];
    std::fill(weights, weights + kPoints, 0.0);
    for (int i = first; i <= last; ++i) {
        // Both arms computed, so that the loop vectorizes.
        const double x = grid.loglik[i] - top;
        const double w = expOf(x < -700.0 ? -700.0 : x);
        weights[i] = grid.done[i] && x >= -kNegligible ? w : 0.0;
    }
    const double atEnd = grid.loglik[kGridSteps] - top;
    weights[kGridSteps] = atEnd >= -kNegligible ? expOf(atEnd) : 0.0;
    double total = 0;
    for (const double w : weights)
        total += w;
    double running = 0;
    *low = *high = kGridSteps;
    bool lowSet = false;
    for (int i = 0; i < kPoints; ++i) {
        running += weights[i];
        if (!lowSet && running >= 0.05 * total) {
            *low = i;
            lowSet = true;
        }
        if (running >= 0.95 * total) {
            *high = i;
            break;
        }
    }
}

} // namespace twolocus::detail

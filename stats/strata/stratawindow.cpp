#include "stratawindow.h"

#include "convolution.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr qint64 kPad = convolution::kPad;

typedef double Lane4 __attribute__((vector_size(32)));

// Trims `values` to where they are at least e^kLogCut of their peak and
// scales the peak to 1; returns the log of the scale taken out and moves
// *first by what was trimmed in front.
double trimAndScale(std::vector<double> &values, qint64 *first)
{
    // Four running maxima, not one: a single chain of comparisons costs
    // more than the convolution's last step.
    const std::size_t count = values.size();
    double m[4] = {values[0], values[0], values[0], values[0]};
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        for (int q = 0; q < 4; ++q)
            m[q] = std::max(m[q], values[i + std::size_t(q)]);
    for (; i < count; ++i)
        m[0] = std::max(m[0], values[i]);
    const double top = std::max(std::max(m[0], m[1]), std::max(m[2], m[3]));
    const auto peak = std::find(values.begin(), values.end(), top);
    const double cut = top * std::exp(stratawindow::kLogCut);
    auto begin = values.begin();
    while (begin != peak && *begin < cut)
        ++begin;
    auto end = values.end();
    while (end - 1 != peak && *(end - 1) < cut)
        --end;
    *first += begin - values.begin();
    values.erase(end, values.end());
    values.erase(values.begin(), begin);
    const double scale = 1.0 / top;
    for (double &v : values)
        v *= scale;
    return std::log(top);
}

// Sums over i in [0, n) of w[i] f0 r^i (s0), of (k0 + i kStep) times it
// (s1) and, when asked for, of (k0 + i kStep)^2 times it (s2): four terms
// at a time in four lanes (AVX2 where the processor has it), each lane its
// own chain of powers and sums.
template <bool Second>
__attribute__((target_clones("avx2", "default"))) void lanes(const double *w, qint64 n, double f0, double r,
                                                             double k0, double kStep, double *s0, double *s1,
                                                             double *s2)
{
    const double r2 = r * r;
    const double r4 = r2 * r2;
    const Lane4 r4v = {r4, r4, r4, r4};
    const Lane4 k4 = {4.0 * kStep, 4.0 * kStep, 4.0 * kStep, 4.0 * kStep};
    Lane4 f = {f0, f0 * r, f0 * r2, f0 * r2 * r};
    Lane4 k = {k0, k0 + kStep, k0 + 2.0 * kStep, k0 + 3.0 * kStep};
    Lane4 a = {0, 0, 0, 0}, b = a, c = a;
    qint64 i = 0;
    for (; i + 4 <= n; i += 4) {
        Lane4 x;
        std::memcpy(&x, w + i, sizeof x);
        const Lane4 t = x * f;
        a += t;
        b += t * k;
        if (Second)
            c += t * k * k;
        f *= r4v;
        k += k4;
    }
    for (int m = 0; i < n; ++i, ++m) {
        const double t = w[i] * f[m];
        a[m] += t;
        b[m] += t * k[m];
        if (Second)
            c[m] += t * k[m] * k[m];
    }
    *s0 = (a[0] + a[1]) + (a[2] + a[3]);
    *s1 = (b[0] + b[1]) + (b[2] + b[3]);
    if (Second)
        *s2 = (c[0] + c[1]) + (c[2] + c[3]);
}

void geometricSums(const double *w, qint64 n, double f0, double r, double k0, double kStep, double *s0, double *s1,
                   double *s2 = nullptr)
{
    if (s2)
        lanes<true>(w, n, f0, r, k0, kStep, s0, s1, s2);
    else
        lanes<false>(w, n, f0, r, k0, kStep, s0, s1, nullptr);
}

// Sums of w(i) e^(delta (i - centre)), of (i - centre) times it and of
// (i - centre)^2 times it.
void tilted(const std::vector<double> &w, qint64 centre, double delta, double *s0, double *s1, double *s2 = nullptr)
{
    geometricSums(w.data(), qint64(w.size()), std::exp(delta * double(-centre)), std::exp(delta), double(-centre),
                  1.0, s0, s1, s2);
}

} // namespace

void stratawindow::moments(double delta, double *mean, double *variance) const
{
    double g0, g1, g2, h0, h1, h2;
    tilted(g, gPeak, delta, &g0, &g1, &g2);
    tilted(h, hPeak, delta, &h0, &h1, &h2);
    const double gMean = g1 / g0, hMean = h1 / h0;
    *mean = double(gFirst + gPeak + hFirst + hPeak) + gMean + hMean;
    *variance = std::max(0.0, g2 / g0 - gMean * gMean) + std::max(0.0, h2 / h0 - hMean * hMean);
}

void stratawindow::build(const stratumfamily *families, int count, qint64 offset, double theta)
{
    at = theta;
    const double cut = std::exp(kLogCut);
    logScale = 0.0;
    // Convolves families[from, to) into `body`, which starts as the point
    // mass at `start`, trimming and scaling it after each step.
    const auto convolve = [&](int from, int to, qint64 start, std::vector<double> &body, qint64 *first,
                              qint64 *least, qint64 *most) {
        body.assign(1, 1.0);
        *first = start;
        *least = *most = start;
        for (int i = from; i < to; ++i) {
            *least += families[i].least();
            *most += families[i].most();
            qint64 weightsFirst = 0;
            double logMode = 0.0;
            families[i].weights(theta, cut, scratch, down, &weightsFirst, &logMode);
            logScale += logMode;
            const qint64 width = qint64(scratch.size());
            scratch.insert(scratch.begin(), std::size_t(kPad), 0.0);
            scratch.insert(scratch.end(), std::size_t(kPad), 0.0);
            down.resize(body.size() + std::size_t(width) - 1);
            convolution::into(body.data(), qint64(body.size()), scratch.data(), width, down.data());
            body.swap(down);
            *first += weightsFirst;
            logScale += trimAndScale(body, first);
        }
    };
    // The body g holds the narrower half of the strata, h the wider: the
    // two convolutions of half the strata cost less than one of all but
    // the widest, and the last, between g and h, is never formed.
    const int split = count - count / 2;
    qint64 gLeast = 0, gMost = 0, hLeast = 0, hMost = 0;
    convolve(0, split, offset, g, &gFirst, &gLeast, &gMost);
    convolve(split, count, 0, h, &hFirst, &hLeast, &hMost);
    gPeak = std::max_element(g.begin(), g.end()) - g.begin();
    hPeak = std::max_element(h.begin(), h.end()) - h.begin();
    const qint64 gLast = gFirst + qint64(g.size()) - 1, hLast = hFirst + qint64(h.size()) - 1;
    // Every side left short bounds the tilt; the one reaching farthest
    // bounds it most.
    reach = 0.0;
    if (gFirst > gLeast)
        reach = std::max(reach, double(gPeak + 1));
    if (gLast < gMost)
        reach = std::max(reach, double(qint64(g.size()) - gPeak));
    if (hFirst > hLeast)
        reach = std::max(reach, double(hPeak + 1));
    if (hLast < hMost)
        reach = std::max(reach, double(qint64(h.size()) - hPeak));
    span = double(std::max<qint64>(gPeak, qint64(g.size()) - 1 - gPeak)
                  + std::max<qint64>(hPeak, qint64(h.size()) - 1 - hPeak));
    double mean = 0.0, variance = 0.0;
    moments(0.0, &mean, &variance);
    windowMean = mean;
    windowSd = std::sqrt(variance);
    // conv(s) over the window, once: every tail, point and P then reads it.
    scratch.assign(std::size_t(kPad), 0.0);
    scratch.insert(scratch.end(), h.begin(), h.end());
    scratch.insert(scratch.end(), std::size_t(kPad), 0.0);
    w.resize(g.size() + h.size() - 1);
    convolution::into(g.data(), qint64(g.size()), scratch.data(), qint64(h.size()), w.data());
    wFirst = gFirst + hFirst;
    isBuilt = true;
}

double stratawindow::point(qint64 s) const
{
    const qint64 i = s - wFirst;
    return i >= 0 && i < qint64(w.size()) ? w[std::size_t(i)] : 0.0;
}

double stratawindow::logCentral(qint64 s) const
{
    const double p = point(s);
    if (!(p > 0.0))
        return -std::numeric_limits<double>::infinity();
    return std::log(p) + logScale - at * double(s);
}

void stratawindow::anchored(qint64 x, double delta, bool upper, double *sum0, double *sum1) const
{
    const qint64 count = qint64(w.size());
    const qint64 ix = x - wFirst;
    *sum0 = *sum1 = 0.0;
    if (upper) {
        // s >= x: from the first of them held, e^(delta (s - x)).
        if (ix >= count)
            return;
        const qint64 from = std::max<qint64>(ix, 0);
        geometricSums(w.data() + from, count - from, std::exp(delta * double(from - ix)), std::exp(delta),
                      double(from - ix), 1.0, sum0, sum1);
    } else {
        // s <= x: from the first held up to the last of them, the
        // distance x - s falling.
        if (ix < 0)
            return;
        const qint64 to = std::min<qint64>(ix, count - 1);
        geometricSums(w.data(), to + 1, std::exp(-delta * double(ix)), std::exp(delta), double(ix), -1.0, sum0,
                      sum1);
    }
}

double stratawindow::logCentralTail(qint64 b, bool upper) const
{
    double s0 = 0.0, s1 = 0.0;
    anchored(b, -at, upper, &s0, &s1);
    if (!(s0 > 0.0))
        return -std::numeric_limits<double>::infinity();
    return std::log(s0) + logScale - at * double(b);
}

bool stratawindow::reaches(double delta) const
{
    // The second bound keeps every tilted weight inside the double range.
    constexpr double kMaxExponent = 600.0;
    const double d = std::fabs(delta);
    return isBuilt && (d == 0.0 || (d * reach <= kTiltBudget && d * span <= kMaxExponent));
}

stratawindow::Tail stratawindow::tail(qint64 x, double delta, bool upper) const
{
    Tail result;
    if (!reaches(delta))
        return result;
    // One pass over conv, anchored at x: the tail's side and the other side,
    // whose sum with it is the whole (its normaliser and mean).
    const qint64 count = qint64(w.size());
    const qint64 cut = std::clamp<qint64>(x - wFirst + (upper ? 0 : 1), 0, count);
    const double step = std::exp(delta);
    double low0 = 0.0, low1 = 0.0, high0 = 0.0, high1 = 0.0;
    const double k0 = double(wFirst - x);
    if (cut > 0)
        geometricSums(w.data(), cut, std::exp(delta * k0), step, k0, 1.0, &low0, &low1);
    if (cut < count)
        geometricSums(w.data() + cut, count - cut, std::exp(delta * (k0 + double(cut))), step, k0 + double(cut), 1.0,
                      &high0, &high1);
    const double t0 = upper ? high0 : low0, t1 = upper ? high1 : low1;
    const double z0 = low0 + high0, z1 = low1 + high1;
    if (!(t0 > 0.0) || !std::isfinite(z0) || !std::isfinite(z1)) {
        // The tail is beyond the window: it is out of reach, not empty.
        return result;
    }
    result.logTail = std::log(t0) - std::log(z0);
    // d/dtheta ln P(tail) = E[S - x | tail] - E[S - x].
    result.slope = t1 / t0 - z1 / z0;
    result.valid = std::isfinite(result.logTail) && std::isfinite(result.slope);
    return result;
}

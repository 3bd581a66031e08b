#include "stratumfamily.h"

#include <algorithm>
#include <cmath>

namespace {

// Thread-safe: std::lgamma writes a global sign, and the genome-wide
// callers run strata on several threads.
double logFactorial(qint64 v)
{
    int sign = 0;
    return lgamma_r(double(v) + 1.0, &sign);
}

double logChoose(qint64 n, qint64 k)
{
    return logFactorial(n) - logFactorial(k) - logFactorial(n - k);
}

// A walk ends once the next term times 1 / (1 - r), the most the rest of
// the side can weigh, is below this share of the sum.
constexpr double kMomentPrecision = 1e-17;

} // namespace

qint64 stratumfamily::mode(double psi) const
{
    // The continuous root of psi (m - v)(k - v) = (v + 1)(n - k + v + 1),
    // then a step or two to the integer mode: psi up(v) >= 1 below it.
    const double A = psi - 1.0;
    const double B = -(psi * double(m + k) + double(n - k + 2));
    const double C = psi * double(m) * double(k) - double(n - k + 1);
    double root;
    if (std::fabs(A) < 1e-12) {
        root = -C / B;
    } else {
        const double q = -0.5 * (B + std::copysign(std::sqrt(std::max(0.0, B * B - 4.0 * A * C)), B));
        const double r1 = q / A, r2 = C / q;
        root = (r1 >= double(lo) - 1.0 && r1 <= double(hi) + 1.0) ? r1 : r2;
    }
    qint64 v = std::isfinite(root) ? std::clamp(qint64(std::floor(root)) + 1, lo, hi) : (psi > 1.0 ? hi : lo);
    while (v < hi && psi * up(v) > 1.0)
        ++v;
    while (v > lo && psi * up(v - 1) < 1.0)
        --v;
    return v;
}

double stratumfamily::logCentral(qint64 v) const
{
    return logChoose(m, v) + logChoose(n, k - v);
}

double stratumfamily::logCentralTotal() const
{
    return logChoose(m + n, k);
}

double stratumfamily::centralMean() const
{
    return double(m) * double(k) / double(m + n);
}

double stratumfamily::centralVariance() const
{
    const double N = double(m + n);
    return N > 1.0 ? double(m) * double(n) * double(k) * double(m + n - k) / (N * N * (N - 1.0)) : 0.0;
}

stratumfamily::Moments stratumfamily::moments(double theta) const
{
    Moments result;
    if (!varies()) {
        result.mean = double(lo);
        return result;
    }
    const double psi = std::exp(theta);
    const qint64 v0 = mode(psi);
    // Offsets j = v - mode keep the moments free of cancellation.
    double s0 = 1.0, s1 = 0.0, s2 = 0.0;
    double t = 1.0;
    for (qint64 v = v0; v < hi; ++v) {
        const double r = psi * up(v);
        t *= r;
        const double j = double(v + 1 - v0);
        s0 += t;
        s1 += t * j;
        s2 += t * j * j;
        if (r < 1.0 && t * r <= kMomentPrecision * s0 * (1.0 - r))
            break;
    }
    t = 1.0;
    for (qint64 v = v0; v > lo; --v) {
        const double r = 1.0 / (psi * up(v - 1));
        t *= r;
        const double j = double(v - 1 - v0);
        s0 += t;
        s1 += t * j;
        s2 += t * j * j;
        if (r < 1.0 && t * r <= kMomentPrecision * s0 * (1.0 - r))
            break;
    }
    const double mu = s1 / s0;
    result.mean = double(v0) + mu;
    result.variance = std::max(0.0, s2 / s0 - mu * mu);
    return result;
}

void stratumfamily::weights(double theta, double cut, std::vector<double> &out, std::vector<double> &down,
                            qint64 *first, double *logMode) const
{
    const double psi = std::exp(theta);
    const qint64 v0 = varies() ? mode(psi) : lo;
    *logMode = logCentral(v0) + theta * double(v0);
    // Each ratio is formed apart from the running product, so that the
    // divisions overlap and the product's chain holds multiplications only.
    down.clear();
    const double nk = double(n - k);
    double t = 1.0;
    for (qint64 v = v0; v > lo; --v) {
        t *= (double(v) * (nk + double(v))) / (psi * (double(m - v + 1) * double(k - v + 1)));
        if (t < cut)
            break;
        down.push_back(t);
    }
    out.clear();
    out.insert(out.end(), down.rbegin(), down.rend());
    *first = v0 - qint64(down.size());
    out.push_back(1.0);
    t = 1.0;
    for (qint64 v = v0; v < hi; ++v) {
        t *= psi * up(v);
        if (t < cut)
            break;
        out.push_back(t);
    }
}

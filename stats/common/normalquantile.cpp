#include "normalquantile.h"

#include <QtNumeric>

#include <cmath>
#include <limits>

namespace {

constexpr double kSqrtPi = 1.7724538509055160273;
constexpr double kSqrt2 = 1.4142135623730950488;

// Newton's method below converges quadratically from starts within a few
// tenths of the root: six steps at most on every double tried. A run that
// reached this would be a fault, reported as NaN.
constexpr int kMaxSteps = 64;

// e^(t^2) erfc(t), which stays in range where erfc underflows. From 26 on
// by its asymptotic series: the first term left out is below 3e-13 of the
// sum there, and erfc(26) = 5.7e-296 is still a normal double below it.
double scaledErfc(double t)
{
    if (t < 26.0)
        return std::exp(t * t) * std::erfc(t);
    const double u = 1.0 / (2.0 * t * t);
    const double series = 1.0 - u * (1.0 - 3.0 * u * (1.0 - 5.0 * u * (1.0 - 7.0 * u)));
    return series / (t * kSqrtPi);
}

double logErfc(double t)
{
    if (t < 26.0)
        return std::log(std::erfc(t));
    return -t * t + std::log(scaledErfc(t));
}

} // namespace

double inverseErfc(double y)
{
    if (!(y > 0.0) || !(y <= 1.0))
        return qQNaN();
    if (y == 1.0)
        return 0.0;
    if (y >= 0.5) {
        // erf(t) = w, where w = 1 - y is exact: near t = 0 the difference
        // from 1 would lose the digits that erfc near 1 cannot hold. erf is
        // concave for t >= 0, so from t0 = w sqrt(pi) / 2, left of the root
        // (erf lies below its tangent at 0), every step rises towards the
        // root and never passes it; the first step that does not rise is
        // at the rounding of erf.
        const double w = 1.0 - y;
        double t = w * kSqrtPi / 2.0;
        for (int step = 0; step < kMaxSteps; ++step) {
            const double next = t - (std::erf(t) - w) * kSqrtPi / 2.0 * std::exp(t * t);
            if (!(next > t))
                return t;
            t = next;
        }
        return qQNaN();
    }
    // ln erfc(t) = ln y. ln erfc is concave and falling, so from a start
    // right of the root every step falls towards it and never passes it.
    // t0 = sqrt(-ln y) is right of it: erfc(t) < e^(-t^2) / (t sqrt(pi)),
    // below y once t0 > 1 / sqrt(pi), which y < 0.5 ensures.
    const double target = std::log(y);
    double t = std::sqrt(-target);
    for (int step = 0; step < kMaxSteps; ++step) {
        const double slope = -2.0 / (kSqrtPi * scaledErfc(t));
        const double next = t - (logErfc(t) - target) / slope;
        if (!(next < t))
            return t;
        t = next;
    }
    return qQNaN();
}

double normalUpperQuantile(double p)
{
    if (!(p > 0.0 && p < 1.0))
        return qQNaN();
    // A batch asks for the same level table after table.
    thread_local double lastP = qQNaN(), lastZ = qQNaN();
    if (p == lastP)
        return lastZ;
    // P(Z > z) = erfc(z / sqrt 2) / 2; 2p and 2 (1 - p) are exact on their
    // halves of the range.
    const double z = p <= 0.5 ? kSqrt2 * inverseErfc(2.0 * p) : -kSqrt2 * inverseErfc(2.0 * (1.0 - p));
    lastP = p;
    lastZ = z;
    return z;
}

double chiSquared1UpperQuantile(double p)
{
    if (p == 0.0)
        return std::numeric_limits<double>::infinity();
    const double t = inverseErfc(p);
    return 2.0 * t * t;
}

#include "normalquantile.h"

#include <QtNumeric>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// P(Z > z) by erfc, which keeps its relative accuracy far into the tail.
double upperTail(double z)
{
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

constexpr int kMaxRefinements = 20;

} // namespace

double normalUpperQuantile(double p)
{
    if (!(p > 0.0 && p < 1.0))
        return std::numeric_limits<double>::quiet_NaN();
    // A batch asks for the same level table after table.
    thread_local double lastP = qQNaN(), lastZ = qQNaN();
    if (p == lastP)
        return lastZ;
    // Abramowitz and Stegun 26.2.23 for the tail at min(p, 1 - p), good to
    // 4.5e-4; then Newton's method on erfc gives the rest.
    const double tail = p < 0.5 ? p : 1.0 - p;
    const double t = std::sqrt(-2.0 * std::log(tail));
    double z = t - (2.515517 + t * (0.802853 + t * 0.010328)) / (1.0 + t * (1.432788 + t * (0.189269 + t * 0.001308)));
    if (p > 0.5)
        z = -z;
    const double density = 1.0 / std::sqrt(2.0 * M_PI);
    for (int i = 0; i < kMaxRefinements; ++i) {
        const double phi = density * std::exp(-0.5 * z * z);
        // The tail on the small side, where erfc keeps its digits.
        const double step = (z >= 0.0 ? upperTail(z) - p : (1.0 - p) - upperTail(-z)) / phi;
        z += step;
        if (std::fabs(step) <= 4.0 * std::numeric_limits<double>::epsilon() * std::max(1.0, std::fabs(z))) {
            lastP = p;
            lastZ = z;
            return z;
        }
    }
    return std::numeric_limits<double>::quiet_NaN();
}

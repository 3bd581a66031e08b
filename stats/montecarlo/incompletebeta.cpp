#include "incompletebeta.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr double kTiny = DBL_MIN / DBL_EPSILON;

// The continued fraction of I_x(a, b) (Abramowitz and Stegun 26.5.8) by
// the modified Lentz method, for x < (a + 1) / (a + b + 2), where it
// needs about sqrt(max(a, b)) terms.
bool continuedFraction(double x, double a, double b, double &value)
{
    const double most = std::fmax(a, b);
    // Room for several times the terms the fraction needs, for any a and b
    // that a count of samples gives.
    const long cap = 1000 + static_cast<long>(20.0 * std::sqrt(most));
    const double sum = a + b;
    double c = 1.0;
    double d = 1.0 - sum * x / (a + 1.0);
    if (std::fabs(d) < kTiny)
        d = kTiny;
    d = 1.0 / d;
    double h = d;
    // One more coefficient; returns the factor it changes h by.
    auto extend = [&c, &d, &h](double term) {
        d = 1.0 + term * d;
        if (std::fabs(d) < kTiny)
            d = kTiny;
        c = 1.0 + term / c;
        if (std::fabs(c) < kTiny)
            c = kTiny;
        d = 1.0 / d;
        h *= d * c;
        return d * c;
    };
    for (long m = 1; m <= cap; ++m) {
        const double dm = double(m);
        const double m2 = 2.0 * dm;
        extend(dm * (b - dm) * x / ((a - 1.0 + m2) * (a + m2)));
        const double step = extend(-(a + dm) * (sum + dm) * x / ((a + m2) * (a + 1.0 + m2)));
        if (std::fabs(step - 1.0) <= DBL_EPSILON) {
            value = h;
            return true;
        }
    }
    return false;
}

constexpr double kHalfLog2Pi = 0.91893853320467274178;

// ln Gamma(z) less its Stirling approximation (z - 1/2) ln z - z + ln(2 pi) / 2.
double stirlingError(double z)
{
    if (z < 15.0)
        return std::lgamma(z) - ((z - 0.5) * std::log(z) - z + kHalfLog2Pi);
    // The series' next term is below 1e-16 from z = 15 on.
    const double inverse = 1.0 / z;
    const double inverse2 = inverse * inverse;
    return inverse * (1.0 / 12.0 - inverse2 * (1.0 / 360.0 - inverse2 * (1.0 / 1260.0 - inverse2 / 1680.0)));
}

// k ln(k / m) + m - k, without the cancellation of the direct form when k
// is near m (where it matters, since both terms are large).
double deviance(double k, double m)
{
    if (std::fabs(k - m) < 0.1 * (k + m)) {
        // ln(k / m) = 2 atanh(v), v = (k - m) / (k + m), by its series.
        const double v = (k - m) / (k + m);
        double sum = (k - m) * v;
        const double v2 = v * v;
        double power = 2.0 * k * v;
        // |v| < 0.1: each term is below 1/100 of the last, so 40 are plenty.
        for (int j = 1; j <= 40; ++j) {
            power *= v2;
            const double next = sum + power / (2.0 * j + 1.0);
            if (next == sum)
                return sum;
            sum = next;
        }
        return sum;
    }
    return k * std::log(k / m) + m - k;
}

// ln of x^a y^b / B(a, b), y = 1 - x (given apart, so that a small x or y
// keeps all its digits). From lgamma directly, ln B(a, b) would lose its
// last digits to cancellation (1e-9 at a + b = 1e6); written with the
// Stirling errors and the deviances of a and b from their means under x,
// every term stays small.
double logFront(double x, double y, double a, double b)
{
    const double sum = a + b;
    return 0.5 * std::log(a * b / sum) - kHalfLog2Pi - stirlingError(a) - stirlingError(b)
           + stirlingError(sum) - deviance(a, sum * x) - deviance(b, sum * y);
}

std::uint64_t bitsOf(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double fromBits(std::uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

} // namespace

double regularizedBeta(double x, double a, double b, bool *converged)
{
    if (converged)
        *converged = true;
    if (!(a > 0.0) || !(b > 0.0) || !(x >= 0.0) || !(x <= 1.0) || std::isinf(a) || std::isinf(b))
        return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0)
        return 0.0;
    if (x == 1.0)
        return 1.0;
    const double y = 1.0 - x;
    const double front = logFront(x, y, a, b);
    double fraction = 0.0;
    // The fraction converges fast on the side of the mean; the other side
    // comes from I_x(a, b) = 1 - I_(1-x)(b, a).
    if (x < (a + 1.0) / (a + b + 2.0)) {
        if (!continuedFraction(x, a, b, fraction)) {
            if (converged)
                *converged = false;
            return std::numeric_limits<double>::quiet_NaN();
        }
        return std::exp(front) * fraction / a;
    }
    if (!continuedFraction(y, b, a, fraction)) {
        if (converged)
            *converged = false;
        return std::numeric_limits<double>::quiet_NaN();
    }
    return 1.0 - std::exp(front) * fraction / b;
}

double betaQuantile(double p, double a, double b, bool *converged)
{
    if (converged)
        *converged = true;
    if (!(p >= 0.0) || !(p <= 1.0) || !(a > 0.0) || !(b > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    if (p == 0.0)
        return 0.0;
    if (p == 1.0)
        return 1.0;
    // Bisection over the bit patterns of the doubles in [0, 1], whose order
    // is that of the values: 62 halvings at most reach neighbours, however
    // small the quantile.
    std::uint64_t low = bitsOf(0.0);   // I < p here
    std::uint64_t high = bitsOf(1.0);  // I >= p here
    for (int halving = 0; halving < 64 && high - low > 1; ++halving) {
        const std::uint64_t middle = low + (high - low) / 2;
        bool ok = true;
        const double value = regularizedBeta(fromBits(middle), a, b, &ok);
        if (!ok) {
            if (converged)
                *converged = false;
            return std::numeric_limits<double>::quiet_NaN();
        }
        if (value < p)
            low = middle;
        else
            high = middle;
    }
    return fromBits(high);
}

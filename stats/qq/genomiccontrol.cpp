#include "genomiccontrol.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kSqrtPi = 1.7724538509055160273;

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

double chiSquared1Quantile(double p)
{
    if (!(p > 0.0) || !(p <= 1.0))
        return std::numeric_limits<double>::quiet_NaN();
    if (p == 1.0)
        return 0.0;
    // f(t) = ln erfc(t) - ln p is concave and falling: from t = 0 Newton's
    // first step lands right of the root and every later one moves left to
    // it, so the iteration cannot leave [root, first step].
    const double target = std::log(p);
    double t = 0.0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        const double f = logErfc(t) - target;
        const double slope = -2.0 / (kSqrtPi * scaledErfc(t));
        const double next = t - f / slope;
        if (!(next >= 0.0))
            break;
        if (std::fabs(next - t) <= 4.0 * std::numeric_limits<double>::epsilon() * next) {
            const double x = 2.0 * next * next;
            return x;
        }
        t = next;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

double genomicControlLambda(const std::vector<double> &sortedPValues)
{
    const std::size_t n = sortedPValues.size();
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const double upper = chiSquared1Quantile(sortedPValues[n / 2]);
    const double median = n % 2 == 1 ? upper : 0.5 * (upper + chiSquared1Quantile(sortedPValues[n / 2 - 1]));
    return median / kChiSquared1Median;
}

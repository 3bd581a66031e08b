#include "genomiccontrol.h"

#include "normalquantile.h"

#include <limits>

double genomicControlLambda(const std::vector<double> &sortedPValues)
{
    const std::size_t n = sortedPValues.size();
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const double upper = chiSquared1UpperQuantile(sortedPValues[n / 2]);
    const double median =
        n % 2 == 1 ? upper : 0.5 * (upper + chiSquared1UpperQuantile(sortedPValues[n / 2 - 1]));
    return median / kChiSquared1Median;
}

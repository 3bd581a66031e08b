#include "chi2.h"

#include "incompletegamma.h"

#include <cmath>
#include <limits>

namespace {

// The closed form's reach: its terms stay below e^(x / 2), which stays
// finite, and its loop short.
constexpr double kMaxClosedDf = 2000.0;
constexpr double kMaxClosedHalf = 700.0;

// Whole df above two: the tail of one or two df (erfc, or nothing) plus
// e^(-x/2) times the Poisson sum's terms, all positive, so nothing cancels
// and no series has to converge.
double wholeDfUpperTail(double x, int df)
{
    const double y = 0.5 * x;
    const bool odd = df % 2 == 1;
    double term = odd ? std::sqrt(y) * (2.0 / std::sqrt(M_PI)) : 1.0;
    double sum = 0.0;
    for (int j = 0; j < df / 2; ++j) {
        sum += term;
        term *= y / (double(j) + (odd ? 1.5 : 1.0));
    }
    return std::min(1.0, (odd ? std::erfc(std::sqrt(y)) : 0.0) + std::exp(-y) * sum);
}

} // namespace

double chi2PValue(double x2, double df, QString *error)
{
    if (df == 1.0 || df == 2.0) {
        const double closed = chiSquaredUpperTail(x2, int(df));
        if (!std::isnan(closed))
            return closed;
    }
    if (df > 2.0 && df <= kMaxClosedDf && df == std::floor(df) && x2 >= 0.0 && 0.5 * x2 <= kMaxClosedHalf)
        return wholeDfUpperTail(x2, int(df));
    return gammq(df / 2.0, x2 / 2.0, error);
}

double chiSquaredUpperTail(double x, int df)
{
    if (!(x >= 0.0 && x <= std::numeric_limits<double>::max()) || (df != 1 && df != 2))
        return std::numeric_limits<double>::quiet_NaN();
    return df == 1 ? std::erfc(std::sqrt(0.5 * x)) : std::exp(-0.5 * x);
}

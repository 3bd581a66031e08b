#include "chi2.h"

#include "incompletegamma.h"

#include <cmath>
#include <limits>

double chi2PValue(double x2, double df, QString *error)
{
    if (df == 1.0 || df == 2.0) {
        const double closed = chiSquaredUpperTail(x2, int(df));
        if (!std::isnan(closed))
            return closed;
    }
    return gammq(df / 2.0, x2 / 2.0, error);
}

double chiSquaredUpperTail(double x, int df)
{
    if (!(x >= 0.0 && x <= std::numeric_limits<double>::max()) || (df != 1 && df != 2))
        return std::numeric_limits<double>::quiet_NaN();
    return df == 1 ? std::erfc(std::sqrt(0.5 * x)) : std::exp(-0.5 * x);
}

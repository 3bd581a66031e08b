#include "stratadistributions.h"

#include "chi2.h"
#include "incompletebeta.h"
#include "incompletegamma.h"
#include "normalquantile.h"
#include "strataconfig.h"

#include <QtNumeric>

#include <cmath>
#include <limits>

double stratadist::normalTwoSided(double z)
{
    if (std::isnan(z))
        return qQNaN();
    return std::erfc(std::fabs(z) / std::sqrt(2.0));
}

double stratadist::normalUpperQuantile(double p)
{
    return ::normalUpperQuantile(p);
}

double stratadist::chi2Upper(double x, double df)
{
    if (!(df > 0.0) || std::isnan(x))
        return qQNaN();
    if (x <= 0.0)
        return 1.0;
    if (std::isinf(x))
        return 0.0;
    QString error;
    const double p = chi2PValue(x, df, &error);
    return error.isEmpty() ? p : qQNaN();
}

double stratadist::chi2UpperQuantile(double p, double df)
{
    if (!(p > 0.0 && p < 1.0 && df > 0.0))
        return qQNaN();
    // Newton on the upper tail in a bracket that bisection keeps; the
    // density is e^(-x/2) x^(df/2 - 1) / (2^(df/2) Gamma(df/2)).
    const double logNorm = 0.5 * df * std::log(2.0) + logGamma(0.5 * df);
    double low = 0.0, high = std::max(1.0, df);
    while (chi2Upper(high, df) > p) {
        low = high;
        high *= 2.0;
        if (high > 1e300)
            return qQNaN();
    }
    double x = 0.5 * (low + high);
    for (int i = 0; i < strataconfig::kMaxIterations; ++i) {
        const double tail = chi2Upper(x, df);
        if (std::isnan(tail))
            return qQNaN();
        if (tail > p)
            low = x;
        else
            high = x;
        const double density = std::exp(-0.5 * x + (0.5 * df - 1.0) * std::log(x) - logNorm);
        double next = x + (tail - p) / density;
        if (!(next > low && next < high) || !std::isfinite(next))
            next = 0.5 * (low + high);
        if (std::fabs(next - x) <= 1e-14 * x || high - low <= 1e-15 * high)
            return next;
        x = next;
    }
    return qQNaN();
}

double stratadist::studentTwoSided(double t, double df)
{
    if (!(df > 0.0) || std::isnan(t))
        return qQNaN();
    if (std::isinf(t))
        return 0.0;
    bool converged = true;
    const double p = regularizedBeta(df / (df + t * t), 0.5 * df, 0.5, &converged);
    return converged ? p : qQNaN();
}

double stratadist::studentUpperQuantile(double p, double df)
{
    if (!(p > 0.0 && p < 1.0 && df > 0.0))
        return qQNaN();
    if (p == 0.5)
        return 0.0;
    // P(|T| >= t) = I_x(df/2, 1/2) with x = df / (df + t^2).
    const double twoSided = 2.0 * std::min(p, 1.0 - p);
    bool converged = true;
    const double x = betaQuantile(twoSided, 0.5 * df, 0.5, &converged);
    if (!converged || !(x > 0.0))
        return qQNaN();
    const double t = std::sqrt(df * (1.0 - x) / x);
    return p < 0.5 ? t : -t;
}

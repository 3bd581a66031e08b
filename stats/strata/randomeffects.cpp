#include "randomeffects.h"

#include "strataconfig.h"
#include "stratadistributions.h"

#include <algorithm>
#include <cmath>

namespace {

// A root of a function that falls through it on [low, high] (f(low) > 0 >
// f(high)), by the Illinois variant of false position: bracketed, and
// superlinear.
template <typename Function>
bool fallingRoot(Function &&f, double low, double high, double fLow, double fHigh, double *root)
{
    int side = 0;
    for (int i = 0; i < strataconfig::kMaxIterations; ++i) {
        const double x = (low * fHigh - high * fLow) / (fHigh - fLow);
        const double fx = f(x);
        if (fx == 0.0 || high - low <= 1e-15 * std::max(1.0, std::fabs(x))) {
            *root = x;
            return true;
        }
        if (fx > 0.0) {
            low = x;
            fLow = fx;
            if (side == 1)
                fHigh /= 2.0;
            side = 1;
        } else {
            high = x;
            fHigh = fx;
            if (side == -1)
                fLow /= 2.0;
            side = -1;
        }
        if (std::fabs(high - low) <= 1e-14 * std::max(1e-10, std::fabs(x))) {
            *root = 0.5 * (low + high);
            return true;
        }
    }
    return false;
}

// Doubles `high` from `start` until f(high) <= 0; false past any plausible
// heterogeneity (log odds ratios spread by e^1000).
template <typename Function>
bool bracketAbove(Function &&f, double start, double *high, double *fHigh)
{
    double h = std::max(start, 1e-4);
    for (int i = 0; i < strataconfig::kMaxIterations; ++i) {
        const double fh = f(h);
        if (fh <= 0.0) {
            *high = h;
            *fHigh = fh;
            return true;
        }
        h *= 2.0;
        if (h > 1e6)
            return false;
    }
    return false;
}

} // namespace

PooledEffect randomeffects::pool(const double *y, const double *v, int k, double tau2, double z)
{
    PooledEffect e;
    if (k < 1)
        return e;
    double sw = 0.0, swy = 0.0;
    for (int i = 0; i < k; ++i) {
        const double w = 1.0 / (v[i] + tau2);
        sw += w;
        swy += w * y[i];
    }
    e.mu = swy / sw;
    e.se = std::sqrt(1.0 / sw);
    e.z = e.mu / e.se;
    e.p = stratadist::normalTwoSided(e.z);
    e.low = e.mu - z * e.se;
    e.high = e.mu + z * e.se;
    return e;
}

double randomeffects::cochranQ(const double *y, const double *v, int k)
{
    const double mu = pool(y, v, k, 0.0, 0.0).mu;
    double q = 0.0;
    for (int i = 0; i < k; ++i)
        q += (y[i] - mu) * (y[i] - mu) / v[i];
    return q;
}

double randomeffects::dersimonianLaird(const double *y, const double *v, int k)
{
    if (k < 2)
        return 0.0;
    double sw = 0.0, sw2 = 0.0;
    for (int i = 0; i < k; ++i) {
        sw += 1.0 / v[i];
        sw2 += 1.0 / (v[i] * v[i]);
    }
    return std::max(0.0, (cochranQ(y, v, k) - double(k - 1)) / (sw - sw2 / sw));
}

bool randomeffects::reml(const double *y, const double *v, int k, double *tau2)
{
    if (k < 2) {
        *tau2 = 0.0;
        return true;
    }
    // Twice the derivative of the restricted log likelihood in tau2:
    // sum w^2 (y - mu)^2 - sum w + sum w^2 / sum w.
    const auto score = [&](double t) {
        double sw = 0.0, swy = 0.0, sw2 = 0.0;
        for (int i = 0; i < k; ++i) {
            const double w = 1.0 / (v[i] + t);
            sw += w;
            swy += w * y[i];
            sw2 += w * w;
        }
        const double mu = swy / sw;
        double s = 0.0;
        for (int i = 0; i < k; ++i) {
            const double w = 1.0 / (v[i] + t);
            s += w * w * (y[i] - mu) * (y[i] - mu);
        }
        return s - sw + sw2 / sw;
    };
    const double atZero = score(0.0);
    if (atZero <= 0.0) {
        *tau2 = 0.0;
        return true;
    }
    double high = 0.0, fHigh = 0.0;
    if (!bracketAbove(score, 2.0 * dersimonianLaird(y, v, k) + 0.01, &high, &fHigh))
        return false;
    return fallingRoot(score, 0.0, high, atZero, fHigh, tau2);
}

double randomeffects::typicalVariance(const double *v, int k)
{
    double sw = 0.0, sw2 = 0.0;
    for (int i = 0; i < k; ++i) {
        sw += 1.0 / v[i];
        sw2 += 1.0 / (v[i] * v[i]);
    }
    return double(k - 1) * sw / (sw * sw - sw2);
}

bool randomeffects::qProfile(const double *y, const double *v, int k, double level, double *low, double *high)
{
    if (k < 2)
        return false;
    const double df = double(k - 1);
    const double alpha = (1.0 - level) / 2.0;
    const double upperQuantile = stratadist::chi2UpperQuantile(alpha, df);
    const double lowerQuantile = stratadist::chi2UpperQuantile(1.0 - alpha, df);
    if (std::isnan(upperQuantile) || std::isnan(lowerQuantile))
        return false;
    // The generalized Q falls as tau2 grows.
    const auto generalizedQ = [&](double t) {
        const double mu = pool(y, v, k, t, 0.0).mu;
        double q = 0.0;
        for (int i = 0; i < k; ++i)
            q += (y[i] - mu) * (y[i] - mu) / (v[i] + t);
        return q;
    };
    const double atZero = generalizedQ(0.0);
    const auto bound = [&](double target, double *out) {
        const auto f = [&](double t) { return generalizedQ(t) - target; };
        if (atZero - target <= 0.0) {
            *out = 0.0;
            return true;
        }
        double h = 0.0, fh = 0.0;
        if (!bracketAbove(f, 0.01, &h, &fh))
            return false;
        return fallingRoot(f, 0.0, h, atZero - target, fh, out);
    };
    return bound(upperQuantile, low) && bound(lowerQuantile, high);
}

void randomeffects::hartungKnapp(const double *y, const double *v, int k, double tau2, double level,
                                 double *low, double *high, double *p)
{
    *low = *high = *p = qQNaN();
    if (k < 2)
        return;
    const PooledEffect e = pool(y, v, k, tau2, 0.0);
    double sw = 0.0, q = 0.0;
    for (int i = 0; i < k; ++i) {
        const double w = 1.0 / (v[i] + tau2);
        sw += w;
        q += w * (y[i] - e.mu) * (y[i] - e.mu);
    }
    const double se = std::sqrt(q / (double(k - 1) * sw));
    const double t = stratadist::studentUpperQuantile((1.0 - level) / 2.0, double(k - 1));
    *low = e.mu - t * se;
    *high = e.mu + t * se;
    *p = se > 0.0 ? stratadist::studentTwoSided(e.mu / se, double(k - 1)) : qQNaN();
}

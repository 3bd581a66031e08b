#include "mantelhaenszel.h"

#include "stratadistributions.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

bool validStrata(const StratumTable *tables, int k)
{
    if (!tables || k < 1)
        return false;
    for (int i = 0; i < k; ++i) {
        const StratumTable &t = tables[i];
        if (t.a < 0 || t.b < 0 || t.c < 0 || t.d < 0)
            return false;
        if (t.a > INT_MAX || t.b > INT_MAX || t.c > INT_MAX || t.d > INT_MAX || t.total() > INT_MAX)
            return false;
    }
    return true;
}

double mantelhaenszel::weight(const StratumTable &t)
{
    const qint64 n = t.total();
    return n > 0 ? double(t.b) * double(t.c) / double(n) : 0.0;
}

double mantelhaenszel::fittedCell(const StratumTable &t, double psi)
{
    // A (n - k + A) = psi (k - A)(m - A): the root of
    // (psi - 1) A^2 - bq A + psi k m = 0 inside the support, in the form of
    // the two that does not cancel.
    const double m = double(t.a + t.c), n = double(t.b + t.d), k = double(t.a + t.b);
    const double bq = (n - k) + psi * (k + m);
    const double root = std::sqrt(std::max(0.0, bq * bq - 4.0 * (psi - 1.0) * psi * k * m));
    const double A = bq >= 0.0 ? 2.0 * psi * k * m / (bq + root) : (bq - root) / (2.0 * (psi - 1.0));
    return std::clamp(A, std::max(0.0, k - n), std::min(k, m));
}

int mantelhaenszel::compute(const StratumTable *tables, int k, double confLevel, MantelHaenszelFigures *out)
{
    if (!out || !validStrata(tables, k) || !(confLevel > 0.0 && confLevel < 1.0))
        return BadInput;
    MantelHaenszelFigures f;
    double R = 0.0, S = 0.0, PR = 0.0, PSQR = 0.0, QS = 0.0;
    double deviation = 0.0, variance = 0.0;
    for (int i = 0; i < k; ++i) {
        const StratumTable &t = tables[i];
        if (!t.informative())
            continue;
        ++f.informative;
        const double a = double(t.a), b = double(t.b), c = double(t.c), d = double(t.d);
        const double n = a + b + c + d;
        const double r = a * d / n, s = b * c / n, p = (a + d) / n, q = (b + c) / n;
        R += r;
        S += s;
        PR += p * r;
        PSQR += p * s + q * r;
        QS += q * s;
        const double rows = (a + b) * (c + d), columns = (a + c) * (b + d);
        deviation += a - (a + b) * (a + c) / n;
        variance += rows * columns / (n * n * (n - 1.0));
    }
    if (f.informative == 0) {
        *out = f;
        return Finished;
    }
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double z = stratadist::normalUpperQuantile((1.0 - confLevel) / 2.0);
    if (R > 0.0 && S > 0.0) {
        f.oddsRatio.estimate = R / S;
        const double se = std::sqrt(PR / (2.0 * R * R) + PSQR / (2.0 * R * S) + QS / (2.0 * S * S));
        const double logOr = std::log(R) - std::log(S);
        f.oddsRatio.low = std::exp(logOr - z * se);
        f.oddsRatio.high = std::exp(logOr + z * se);
    } else if (R > 0.0) {
        f.oddsRatio = {kInf, qQNaN(), kInf};
    } else if (S > 0.0) {
        f.oddsRatio = {0.0, 0.0, qQNaN()};
    }
    if (variance > 0.0) {
        f.cmh = deviation * deviation / variance;
        f.pCmh = stratadist::chi2Upper(f.cmh, 1.0);
        const double absolute = std::fabs(deviation);
        const double corrected = absolute >= 0.5 ? absolute - 0.5 : absolute;
        f.cmhCorrected = corrected * corrected / variance;
        f.pCmhCorrected = stratadist::chi2Upper(f.cmhCorrected, 1.0);
    }
    *out = f;
    return Finished;
}

int mantelhaenszel::breslowDay(const StratumTable *tables, int k, double commonOr, BreslowDayFigures *out)
{
    if (!out || !validStrata(tables, k))
        return BadInput;
    BreslowDayFigures f;
    int informative = 0;
    for (int i = 0; i < k; ++i)
        informative += tables[i].informative() ? 1 : 0;
    if (informative < 2 || !(commonOr > 0.0 && std::isfinite(commonOr))) {
        f.df = std::max(0, informative - 1);
        *out = f;
        return Finished;
    }
    double chi2 = 0.0, deviation = 0.0, variance = 0.0;
    for (int i = 0; i < k; ++i) {
        const StratumTable &t = tables[i];
        if (!t.informative())
            continue;
        const double A = fittedCell(t, commonOr);
        const double B = double(t.a + t.b) - A, C = double(t.a + t.c) - A, D = double(t.b + t.d) - B;
        const double v = 1.0 / (1.0 / A + 1.0 / B + 1.0 / C + 1.0 / D);
        if (!(v > 0.0)) {
            *out = f;
            return Finished;
        }
        const double e = double(t.a) - A;
        chi2 += e * e / v;
        deviation += e;
        variance += v;
    }
    f.df = informative - 1;
    f.chi2 = chi2;
    f.p = stratadist::chi2Upper(chi2, f.df);
    f.tarone = std::max(0.0, chi2 - deviation * deviation / variance);
    f.pTarone = stratadist::chi2Upper(f.tarone, f.df);
    *out = f;
    return Finished;
}

#include "logadditive.h"

#include "chi2.h"
#include "normalquantile.h"
#include "runreport.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// Converged once a step moves neither coefficient by more than this,
// relative to max(1, |coefficient|): Newton's next step would be of the
// order of its square.
constexpr double kStepTolerance = 1e-10;

// ln(1 + e^eta), without overflow.
double softplus(double eta)
{
    return eta > 0.0 ? eta + std::log1p(std::exp(-eta)) : std::log1p(std::exp(eta));
}

// y ln(p) + (n - y) ln(1 - p) with p = 1 / (1 + e^-eta).
double groupLogLikelihood(double y, double n, double eta)
{
    return y * eta - n * softplus(eta);
}

// y ln(y/n) + (n - y) ln(1 - y/n): a group fitted by its own share.
double saturatedLogLikelihood(double y, double n)
{
    double sum = 0.0;
    if (y > 0.0)
        sum += y * std::log(y / n);
    if (n - y > 0.0)
        sum += (n - y) * std::log((n - y) / n);
    return sum;
}

struct Groups
{
    double y[3];  // cases
    double n[3];  // everyone
    double logLikelihood(double a, double b) const
    {
        double sum = 0.0;
        for (int g = 0; g < 3; ++g)
            if (n[g] > 0.0)
                sum += groupLogLikelihood(y[g], n[g], a + b * g);
        return sum;
    }
};

} // namespace

int logadditive::compute(const qint64 cases[3], const qint64 controls[3], double confLevel,
                         LogAdditiveFigures *out)
{
    if (!out || !(confLevel > 0.0 && confLevel < 1.0))
        return BadInput;
    Groups groups{};
    double R = 0.0, N = 0.0;
    int lowestCase = 3, highestCase = -1, lowestControl = 3, highestControl = -1;
    int levels = 0;
    for (int g = 0; g < 3; ++g) {
        if (cases[g] < 0 || controls[g] < 0)
            return BadInput;
        groups.y[g] = double(cases[g]);
        groups.n[g] = double(cases[g] + controls[g]);
        R += groups.y[g];
        N += groups.n[g];
        if (cases[g] > 0) {
            lowestCase = std::min(lowestCase, g);
            highestCase = g;
        }
        if (controls[g] > 0) {
            lowestControl = std::min(lowestControl, g);
            highestControl = g;
        }
        levels += groups.n[g] > 0.0 ? 1 : 0;
    }
    if (R == 0.0 || R == N)
        return BadInput;

    LogAdditiveFigures figures;
    const double nullLogLikelihood = saturatedLogLikelihood(R, N);
    if (levels < 2) {
        figures.reason = tr("every individual carries the same number of effect alleles");
        *out = figures;
        return Finished;
    }
    const bool casesAbove = lowestCase >= highestControl;
    const bool casesBelow = highestCase <= lowestControl;
    if (casesAbove || casesBelow) {
        // The likelihood rises towards a limit as the slope grows without
        // end: the groups beyond the boundary fit exactly, a group on it
        // at its own share.
        double limit = 0.0;
        const int boundary = casesAbove ? lowestCase : highestCase;
        if (boundary == (casesAbove ? highestControl : lowestControl))
            limit = saturatedLogLikelihood(groups.y[boundary], groups.n[boundary]);
        figures.perAllele.estimate = casesAbove ? std::numeric_limits<double>::infinity() : 0.0;
        figures.reason = casesAbove ? tr("no case carries fewer effect alleles than a control: the "
                                         "per-allele odds ratio is infinite and has no Wald interval")
                                    : tr("no case carries more effect alleles than a control: the "
                                         "per-allele odds ratio is 0 and has no Wald interval");
        figures.pLrt = reportedProbability(chi2PValue(std::max(0.0, 2.0 * (limit - nullLogLikelihood)), 1.0));
        *out = figures;
        return Finished;
    }

    double a = std::log(R / (N - R));
    double b = 0.0;
    double logLikelihood = groups.logLikelihood(a, b);
    double info[3] = {0.0, 0.0, 0.0};  // I_aa, I_ab, I_bb at (a, b)
    bool converged = false;
    for (int iteration = 0; iteration < kMaxIterations && !converged; ++iteration) {
        double ua = 0.0, ub = 0.0;
        info[0] = info[1] = info[2] = 0.0;
        for (int g = 0; g < 3; ++g) {
            if (groups.n[g] == 0.0)
                continue;
            const double p = 1.0 / (1.0 + std::exp(-(a + b * g)));
            const double residual = groups.y[g] - groups.n[g] * p;
            const double weight = groups.n[g] * p * (1.0 - p);
            ua += residual;
            ub += residual * g;
            info[0] += weight;
            info[1] += weight * g;
            info[2] += weight * g * g;
        }
        const double det = info[0] * info[2] - info[1] * info[1];
        if (!(det > 0.0))
            return NoConvergence;
        double da = (info[2] * ua - info[1] * ub) / det;
        double db = (info[0] * ub - info[1] * ua) / det;
        converged = std::fabs(da) <= kStepTolerance * std::max(1.0, std::fabs(a))
                    && std::fabs(db) <= kStepTolerance * std::max(1.0, std::fabs(b));
        int halvings = 0;
        for (;;) {
            const double next = groups.logLikelihood(a + da, b + db);
            // Rounding may lower the likelihood by a hair at the optimum.
            if (next >= logLikelihood - 1e-12 * std::fabs(logLikelihood) || converged) {
                a += da;
                b += db;
                logLikelihood = std::max(logLikelihood, next);
                break;
            }
            if (++halvings > kMaxHalvings)
                return NoConvergence;
            da *= 0.5;
            db *= 0.5;
        }
    }
    if (!converged)
        return NoConvergence;
    // The information at the estimate (the last step was below tolerance).
    const double det = info[0] * info[2] - info[1] * info[1];
    const double se = std::sqrt(info[0] / det);
    const double z = normalUpperQuantile((1.0 - confLevel) / 2.0);
    if (!std::isfinite(z))
        return NoConvergence;
    figures.perAllele.estimate = std::exp(b);
    figures.perAllele.low = std::exp(b - z * se);
    figures.perAllele.high = std::exp(b + z * se);
    figures.pLrt = reportedProbability(chi2PValue(std::max(0.0, 2.0 * (logLikelihood - nullLogLikelihood)), 1.0));
    *out = figures;
    return Finished;
}

#include "exactstrata.h"

#include "mantelhaenszel.h"
#include "stratadistributions.h"
#include "strataconfig.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// No count of 32-bit strata has a root beyond e^700 (the estimate of an
// inner sum is below N^2, its log below 45).
constexpr double kMaxTheta = 700.0;
// A Newton step this small in log psi ends a search: the error after it is
// of the order of its square.
constexpr double kNewtonTolerance = 1e-10;
constexpr double kBracketTolerance = 1e-13;
// R's tolerance for a table "as probable" as the observed one.
const double kLogTie = std::log1p(1e-7);
// The P sums in one window when the observed sum's weight is within e^20
// of the peak; its tails then end inside the window's exact region.
constexpr double kNear = 20.0;
// The far tail's boundary is sought within this many standard deviations
// of its window's mean, where the weights are e^-12.5 of the peak or more
// and those left out (below e^-72) cannot matter.
constexpr double kExactReach = 5.0;
constexpr int kMaxFarSteps = 60;

// A function of log psi that rises through its root; unresolved: only its
// sign is known.
struct Point
{
    bool resolved = true;
    double f = 0.0;
    double d1 = 0.0;
};

template <typename Function>
bool solveRising(Function &&function, double start, double *root)
{
    double low = -kMaxTheta, high = kMaxTheta;
    bool lowKnown = false, highKnown = false;
    double theta = std::clamp(start, -kMaxTheta + 1.0, kMaxTheta - 1.0);
    double expansion = 1.0;
    for (int i = 0; i < strataconfig::kMaxIterations; ++i) {
        const Point p = function(theta);
        if (p.resolved && p.f == 0.0) {
            *root = theta;
            return true;
        }
        if (p.f < 0.0) {
            low = theta;
            lowKnown = true;
        } else {
            high = theta;
            highKnown = true;
        }
        double next = qQNaN();
        if (p.resolved && p.d1 > 0.0) {
            const double step = -p.f / p.d1;
            if (std::fabs(step) <= kNewtonTolerance) {
                *root = theta + step;
                return true;
            }
            next = theta + step;
        }
        if (!(next > low && next < high)) {
            if (lowKnown && highKnown) {
                next = 0.5 * (low + high);
            } else {
                next = lowKnown ? theta + expansion : theta - expansion;
                expansion *= 2.0;
                if (next <= -kMaxTheta || next >= kMaxTheta)
                    return false;
            }
        }
        if (lowKnown && highKnown && high - low <= kBracketTolerance) {
            *root = 0.5 * (low + high);
            return true;
        }
        theta = next;
    }
    return false;
}

class Run final
{
public:
    Run(std::vector<stratumfamily> &families, stratawindow &window, stratawindow &other)
        : families(families), window(window), other(other)
    {
        for (const stratumfamily &f : families) {
            x += f.observed();
            lo += f.least();
            hi += f.most();
        }
    }

    qint64 observed() const { return x; }
    qint64 least() const { return lo; }
    qint64 most() const { return hi; }

    // The log psi at which E[S] = target, lo < target < hi. With a window,
    // its moments serve where it reaches: a sum over it is cheaper than a
    // walk over every stratum.
    bool solveMean(double target, double start, double *theta, const stratawindow *near = nullptr) const
    {
        return solveRising(
            [&](double t) {
                Point p;
                double mean = 0.0, variance = 0.0;
                if (near && near->built() && near->reaches(t - near->theta())) {
                    near->moments(t - near->theta(), &mean, &variance);
                } else {
                    for (const stratumfamily &f : families) {
                        const stratumfamily::Moments m = f.moments(t);
                        mean += m.mean;
                        variance += m.variance;
                    }
                }
                p.f = mean - target;
                p.d1 = variance;
                return p;
            },
            start, theta);
    }

    double sdAt(double theta) const
    {
        double mean = 0.0, variance = 0.0;
        if (window.built() && window.reaches(theta - window.theta())) {
            window.moments(theta - window.theta(), &mean, &variance);
        } else {
            for (const stratumfamily &f : families)
                variance += f.moments(theta).variance;
        }
        return std::sqrt(variance);
    }

    void build(stratawindow &w, double theta) const
    {
        w.build(families.data(), int(families.size()), 0, theta);
    }

    // A limit: ln P(S >= x; psi) = ln alpha (upper tail) or
    // ln P(S <= x; psi) = ln alpha, in log psi.
    bool limit(bool upperTail, double logAlpha, double start, double *theta)
    {
        const auto point = [&](double t) {
            Point p;
            if (!window.built())
                build(window, t);
            stratawindow::Tail tail = window.tail(x, t - window.theta(), upperTail);
            if (!tail.valid) {
                build(window, t);
                tail = window.tail(x, 0.0, upperTail);
            }
            const double sign = upperTail ? 1.0 : -1.0;
            if (!tail.valid) {
                // The tail lies beyond the window's reach: too small to see.
                p.resolved = false;
                p.f = -sign;
                return p;
            }
            p.f = sign * (tail.logTail - logAlpha);
            p.d1 = sign * tail.slope;
            return p;
        };
        return solveRising(point, start, theta);
    }

    int pValue(double thetaHat, double *out);

private:
    // Where the predicate "ln W(s) <= threshold" turns, between s = a
    // (where it is `atA`) and s = b (where it is not): the last s from a
    // with the predicate still atA.
    static qint64 turn(const stratawindow &w, qint64 a, qint64 b, double threshold)
    {
        const bool atA = w.logCentral(a) <= threshold;
        while (std::llabs(b - a) > 1) {
            const qint64 mid = a + (b - a) / 2;
            if ((w.logCentral(mid) <= threshold) == atA)
                a = mid;
            else
                b = mid;
        }
        return a;
    }

    // The most probable s at psi = 1 in the window, climbing from `start`.
    static qint64 peak(const stratawindow &w, qint64 start)
    {
        qint64 s = std::clamp(start, w.low(), w.high());
        double here = w.logCentral(s);
        for (int dir : {+1, -1}) {
            while (s + dir >= w.low() && s + dir <= w.high()) {
                const double next = w.logCentral(s + dir);
                if (!(next > here))
                    break;
                s += dir;
                here = next;
            }
        }
        return s;
    }

    int farTail(bool upper, double threshold, double mu0, double *logTail);

    std::vector<stratumfamily> &families;
    stratawindow &window, &other;
    qint64 x = 0, lo = 0, hi = 0;
};

// The tail on the side away from the observed sum, when it lies far from
// psi = 1's mass: windows are built where the weight of s falls to the
// threshold, found by Newton steps on ln W(s).
int Run::farTail(bool upper, double threshold, double mu0, double *logTail)
{
    // The extreme s itself has one table per stratum: if it weighs more
    // than the threshold, no s on this side counts.
    double logEdge = 0.0;
    for (const stratumfamily &f : families)
        logEdge += f.logCentral(upper ? f.most() : f.least());
    if (logEdge > threshold) {
        *logTail = -kInf;
        return exactstrata::Finished;
    }
    double target = std::clamp(2.0 * mu0 - double(x), double(lo), double(hi));
    double theta = 0.0;
    for (int step = 0; step < kMaxFarSteps; ++step) {
        const double inner = std::clamp(target, double(lo) + 0.5, double(hi) - 0.5);
        if (!solveMean(inner, theta, &theta))
            return exactstrata::NoConvergence;
        build(other, theta);
        const qint64 a = std::max(other.low(), qint64(std::ceil(other.mean() - kExactReach * other.sd())));
        const qint64 b = std::min(other.high(), qint64(std::floor(other.mean() + kExactReach * other.sd())));
        const double la = other.logCentral(a), lb = other.logCentral(b);
        // On the lower side ln W rises with s, on the upper side it falls.
        const bool countsA = la <= threshold, countsB = lb <= threshold;
        qint64 boundary = -1;
        if (!upper && countsA && !countsB)
            boundary = turn(other, a, b, threshold);
        else if (upper && !countsA && countsB)
            boundary = turn(other, b, a, threshold);
        if (boundary >= 0) {
            *logTail = other.logCentralTail(boundary, upper);
            return exactstrata::Finished;
        }
        // Move towards the crossing by the local slope of ln W.
        const bool below = upper ? !countsB : countsB;  // the crossing lies above b
        const qint64 from = below ? b : a;
        const double here = below ? lb : la;
        const qint64 next = below ? std::min(from + 1, other.high()) : std::max(from - 1, other.low());
        const double slope = (other.logCentral(next) - here) / double(next - from);
        double move = (threshold - here) / slope;
        if (!std::isfinite(move))
            move = below ? other.sd() : -other.sd();
        target = double(from) + (below ? std::max(1.0, move) : std::min(-1.0, move));
        target = std::clamp(target, double(lo), double(hi));
    }
    return exactstrata::NoConvergence;
}

int Run::pValue(double thetaHat, double *out)
{
    double logZ = 0.0, mu0 = 0.0;
    for (const stratumfamily &f : families) {
        logZ += f.logCentralTotal();
        mu0 += f.centralMean();
    }
    // psi = 1's window: the one of the limits when it reaches psi = 1.
    const stratawindow *w = &window;
    if (!window.reaches(-window.theta())) {
        build(other, 0.0);
        w = &other;
    }
    const qint64 mode = peak(*w, qint64(std::llround(mu0)));
    const double logMax = w->logCentral(mode);
    const double logX = (x >= w->low() && x <= w->high()) ? w->logCentral(x) : -kInf;
    if (logX >= logMax - kNear) {
        const double threshold = logX + kLogTie;
        if (logX + kLogTie >= logMax) {
            *out = 1.0;
            return exactstrata::Finished;
        }
        // Below the mode the predicate ln W <= threshold holds up to the
        // lower boundary, above it from the upper one.
        double lower = -kInf, upper = -kInf;
        if (w->logCentral(w->low()) <= threshold)
            lower = w->logCentralTail(turn(*w, w->low(), mode, threshold), false);
        if (w->logCentral(w->high()) <= threshold)
            upper = w->logCentralTail(turn(*w, w->high(), mode, threshold), true);
        *out = std::min(1.0, std::exp(lower - logZ) + std::exp(upper - logZ));
        return exactstrata::Finished;
    }

    // Far in a tail: the observed side in a window at the estimate, the
    // other side where its boundary lies.
    const bool upperSide = double(x) > mu0;
    double thetaX = thetaHat;
    if (!std::isfinite(thetaX)) {
        if (!solveMean(upperSide ? double(x) - 0.5 : double(x) + 0.5, 0.0, &thetaX))
            return exactstrata::NoConvergence;
    }
    if (!(window.built() && std::fabs(double(x) - window.mean()) <= window.sd()))
        build(window, thetaX);
    const double threshold = window.logCentral(x) + kLogTie;
    qint64 boundary = x;
    const int towardMode = upperSide ? -1 : +1;
    while (boundary + towardMode >= window.low() && boundary + towardMode <= window.high()
           && window.logCentral(boundary + towardMode) <= threshold)
        boundary += towardMode;
    const double near = window.logCentralTail(boundary, upperSide);
    double far = -kInf;
    const int status = farTail(!upperSide, threshold, mu0, &far);
    if (status != exactstrata::Finished)
        return status;
    *out = std::min(1.0, std::exp(near - logZ) + std::exp(far - logZ));
    return exactstrata::Finished;
}

} // namespace

int exactstrata::compute(const StratumTable *tables, int k, double confLevel, Workspace &work,
                         ExactStrataFigures *out, int parts)
{
    if (!out || !validStrata(tables, k) || !(confLevel > 0.0 && confLevel <= strataconfig::kMaxConfLevel))
        return BadInput;
    work.families.clear();
    double R = 0.0, S = 0.0;
    for (int i = 0; i < k; ++i) {
        if (!tables[i].informative())
            continue;
        work.families.emplace_back(tables[i]);
        const double n = double(tables[i].total());
        R += double(tables[i].a) * double(tables[i].d) / n;
        S += double(tables[i].b) * double(tables[i].c) / n;
    }
    ExactStrataFigures figures;
    figures.informative = int(work.families.size());
    if (work.families.empty()) {
        *out = figures;
        return Finished;
    }
    // The widest stratum last: it is the one never convolved.
    std::stable_sort(work.families.begin(), work.families.end(),
                     [](const stratumfamily &p, const stratumfamily &q) {
                         return p.centralVariance() < q.centralVariance();
                     });
    work.window.clear();
    work.other.clear();
    Run run(work.families, work.window, work.other);
    const qint64 x = run.observed();

    double thetaHat = qQNaN();
    if (x == run.least()) {
        figures.oddsRatio.estimate = 0.0;
        thetaHat = -kInf;
    } else if (x == run.most()) {
        figures.oddsRatio.estimate = kInf;
        thetaHat = kInf;
    } else {
        // Mantel-Haenszel's estimate starts the search (both sums are
        // positive for an inner sum). The window of the limits is built
        // there: it is near the estimate, whose search it serves, and
        // usually reaches both limits and psi = 1.
        const double start = R > 0.0 && S > 0.0 ? std::log(R / S) : 0.0;
        if (parts & (Interval | PValue))
            run.build(work.window, start);
        if (!run.solveMean(double(x), start, &thetaHat, &work.window))
            return NoConvergence;
        figures.oddsRatio.estimate = std::exp(thetaHat);
    }

    if (parts & Interval) {
        const double alpha = (1.0 - confLevel) / 2.0;
        const double logAlpha = std::log(alpha);
        const double z = stratadist::normalUpperQuantile(alpha);
        // The centre of both searches: the estimate, or for a sum at an
        // end the odds ratio with its mean half a count inside.
        double centre = thetaHat;
        if (!std::isfinite(centre)) {
            const double inner = x == run.least() ? double(x) + 0.5 : double(x) - 0.5;
            if (!run.solveMean(inner, 0.0, &centre))
                return NoConvergence;
        }
        const double spread = z / std::max(run.sdAt(centre), 1e-3);
        // One window at the centre serves both searches at the usual
        // levels: each limit lies about z standard deviations away. The
        // window of the estimate's search usually reaches both already, and
        // a tilt within reach is as exact as a window built there.
        const stratawindow &near = work.window;
        if (!(near.reaches(centre - spread - near.theta()) && near.reaches(centre + spread - near.theta())))
            run.build(work.window, centre);
        double root = 0.0;
        if (x == run.least()) {
            figures.oddsRatio.low = 0.0;
        } else {
            if (!run.limit(true, logAlpha, centre - spread, &root))
                return NoConvergence;
            figures.oddsRatio.low = std::exp(root);
        }
        if (x == run.most()) {
            figures.oddsRatio.high = kInf;
        } else {
            if (!run.limit(false, logAlpha, centre + spread, &root))
                return NoConvergence;
            figures.oddsRatio.high = std::exp(root);
        }
    }

    if (parts & PValue) {
        double p = qQNaN();
        const int status = run.pValue(thetaHat, &p);
        if (status != Finished)
            return status;
        figures.p = p;
    }
    *out = figures;
    return Finished;
}

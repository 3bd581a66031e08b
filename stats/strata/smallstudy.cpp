#include "smallstudy.h"

#include "randomeffects.h"
#include "stratadistributions.h"
#include "strataconfig.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

namespace {

// Weighted least squares of y on (1, x) with weights w: the slope, its
// standard error (residual variance on k - 2 df) and the intercept.
struct Line
{
    double intercept = qQNaN();
    double slope = qQNaN();
    double slopeSe = qQNaN();
};

Line weightedLine(const double *y, const double *x, const double *w, int k)
{
    Line line;
    double sw = 0.0, sx = 0.0, sy = 0.0;
    for (int i = 0; i < k; ++i) {
        sw += w[i];
        sx += w[i] * x[i];
        sy += w[i] * y[i];
    }
    const double mx = sx / sw, my = sy / sw;
    double sxx = 0.0, sxy = 0.0;
    for (int i = 0; i < k; ++i) {
        sxx += w[i] * (x[i] - mx) * (x[i] - mx);
        sxy += w[i] * (x[i] - mx) * (y[i] - my);
    }
    if (!(sxx > 0.0))
        return line;
    line.slope = sxy / sxx;
    line.intercept = my - line.slope * mx;
    if (k > 2) {
        double rss = 0.0;
        for (int i = 0; i < k; ++i) {
            const double r = y[i] - line.intercept - line.slope * x[i];
            rss += w[i] * r * r;
        }
        line.slopeSe = std::sqrt(rss / double(k - 2) / sxx);
    }
    return line;
}

// The sign of the slope of the mixed-effects meta-regression of y on the
// standard error, tau^2 by DerSimonian and Laird's estimator for it:
// (Q_E - (k - 2)) / (tr W - tr((X'WX)^-1 X'W^2X)), W = diag(1 / v).
double regressionSlope(const double *y, const double *v, int k)
{
    std::vector<double> x(static_cast<std::size_t>(k)), w(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        x[std::size_t(i)] = std::sqrt(v[i]);
        w[std::size_t(i)] = 1.0 / v[i];
    }
    const Line fixedLine = weightedLine(y, x.data(), w.data(), k);
    double qe = 0.0;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, t0 = 0.0, t1 = 0.0, t2 = 0.0;
    for (int i = 0; i < k; ++i) {
        const double r = y[i] - fixedLine.intercept - fixedLine.slope * x[std::size_t(i)];
        const double wi = w[std::size_t(i)], xi = x[std::size_t(i)];
        qe += wi * r * r;
        s0 += wi;
        s1 += wi * xi;
        s2 += wi * xi * xi;
        t0 += wi * wi;
        t1 += wi * wi * xi;
        t2 += wi * wi * xi * xi;
    }
    // tr((X'WX)^-1 X'W^2 X) for the 2 x 2 matrices [s0 s1; s1 s2], [t0 t1; t1 t2].
    const double det = s0 * s2 - s1 * s1;
    const double trace = (s2 * t0 - 2.0 * s1 * t1 + s0 * t2) / det;
    const double tau2 = std::max(0.0, (qe - double(k - 2)) / (s0 - trace));
    for (int i = 0; i < k; ++i)
        w[std::size_t(i)] = 1.0 / (v[i] + tau2);
    return weightedLine(y, x.data(), w.data(), k).slope;
}

} // namespace

EggerFigures smallstudy::egger(const double *y, const double *v, int k)
{
    EggerFigures e;
    if (k < 3)
        return e;
    std::vector<double> se(static_cast<std::size_t>(k)), w(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        se[std::size_t(i)] = std::sqrt(v[i]);
        w[std::size_t(i)] = 1.0 / v[i];
    }
    const Line line = weightedLine(y, se.data(), w.data(), k);
    e.df = k - 2;
    if (!(line.slopeSe > 0.0))
        return e;
    e.t = line.slope / line.slopeSe;
    e.p = stratadist::studentTwoSided(e.t, double(e.df));
    return e;
}

double smallstudy::kendallLowerTail(int q, int n)
{
    // The number of inversions of a random permutation of n: adding the
    // j-th element adds 0 to j - 1 inversions with equal chance.
    const int most = n * (n - 1) / 2;
    if (q < 0)
        return 0.0;
    if (q >= most)
        return 1.0;
    std::vector<double> p(std::size_t(most) + 1, 0.0), next(p.size());
    p[0] = 1.0;
    int reach = 0;
    for (int j = 2; j <= n; ++j) {
        const int newReach = reach + j - 1;
        double window = 0.0;
        for (int t = 0; t <= newReach; ++t) {
            if (t <= reach)
                window += p[std::size_t(t)];
            if (t - j >= 0)
                window -= p[std::size_t(t - j)];
            next[std::size_t(t)] = window / double(j);
        }
        reach = newReach;
        std::copy(next.begin(), next.begin() + reach + 1, p.begin());
    }
    double tail = 0.0;
    for (int t = 0; t <= q; ++t)
        tail += p[std::size_t(t)];
    return std::min(1.0, tail);
}

BeggFigures smallstudy::begg(const double *y, const double *v, int k)
{
    BeggFigures b;
    if (k < 3)
        return b;
    const PooledEffect fixed = randomeffects::pool(y, v, k, 0.0, 0.0);
    const double fixedVariance = fixed.se * fixed.se;
    std::vector<double> standardized(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i)
        standardized[std::size_t(i)] = (y[i] - fixed.mu) / std::sqrt(v[i] - fixedVariance);
    // Concordant less discordant pairs, and the ties of each variable.
    double s = 0.0;
    for (int i = 0; i < k; ++i)
        for (int j = i + 1; j < k; ++j) {
            const double dx = standardized[std::size_t(i)] - standardized[std::size_t(j)];
            const double dy = v[i] - v[j];
            s += double(((dx > 0.0) - (dx < 0.0)) * ((dy > 0.0) - (dy < 0.0)));
        }
    const auto tieGroups = [k](const double *values) {
        std::map<double, int> counts;
        for (int i = 0; i < k; ++i)
            ++counts[values[i]];
        std::vector<double> groups;
        for (const auto &[value, count] : counts)
            if (count > 1)
                groups.push_back(double(count));
        return groups;
    };
    const std::vector<double> xt = tieGroups(standardized.data()), yt = tieGroups(v);
    const double n = double(k);
    const double n0 = n * (n - 1.0) / 2.0;
    double n1 = 0.0, n2 = 0.0;
    for (double t : xt)
        n1 += t * (t - 1.0) / 2.0;
    for (double t : yt)
        n2 += t * (t - 1.0) / 2.0;
    b.tau = s / std::sqrt((n0 - n1) * (n0 - n2));
    // Every pair tied in one variable (studies of one precision): no tau,
    // so no P, as R's cor.test gives none.
    if (!std::isfinite(b.tau))
        return b;
    if (k < 50 && xt.empty() && yt.empty()) {
        // The concordant pairs q = (tau + 1) n (n - 1) / 4, as R rounds
        // them; the two-sided P doubles the smaller tail.
        const int q = int(std::lround((b.tau + 1.0) * n * (n - 1.0) / 4.0));
        const double tail = q > n0 / 2.0 ? 1.0 - kendallLowerTail(q - 1, k) : kendallLowerTail(q, k);
        b.p = std::min(1.0, 2.0 * tail);
        return b;
    }
    // Kendall's variance of S with ties.
    double vt = 0.0, vu = 0.0, t1 = 0.0, u1 = 0.0, t2 = 0.0, u2 = 0.0;
    for (double t : xt) {
        vt += t * (t - 1.0) * (2.0 * t + 5.0);
        t1 += t * (t - 1.0);
        t2 += t * (t - 1.0) * (t - 2.0);
    }
    for (double u : yt) {
        vu += u * (u - 1.0) * (2.0 * u + 5.0);
        u1 += u * (u - 1.0);
        u2 += u * (u - 1.0) * (u - 2.0);
    }
    const double variance = (n * (n - 1.0) * (2.0 * n + 5.0) - vt - vu) / 18.0 + t1 * u1 / (2.0 * n * (n - 1.0))
                            + t2 * u2 / (9.0 * n * (n - 1.0) * (n - 2.0));
    b.p = variance > 0.0 ? stratadist::normalTwoSided(s / std::sqrt(variance)) : qQNaN();
    return b;
}

bool smallstudy::trimAndFill(const double *yIn, const double *v, int k, double z, TrimFillFigures *out)
{
    TrimFillFigures f;
    if (k < 3) {
        *out = f;
        return true;
    }
    // Missing studies on the right are found as those on the left of the
    // mirrored effects.
    f.leftSide = !(regressionSlope(yIn, v, k) < 0.0);
    const double sign = f.leftSide ? 1.0 : -1.0;
    std::vector<int> order(static_cast<std::size_t>(k));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int i, int j) { return sign * yIn[i] < sign * yIn[j]; });
    std::vector<double> y(static_cast<std::size_t>(k)), vs(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        y[std::size_t(i)] = sign * yIn[order[std::size_t(i)]];
        vs[std::size_t(i)] = v[order[std::size_t(i)]];
    }
    int k0 = 0;
    double mu = 0.0;
    bool settled = false;
    for (int iteration = 0; iteration < strataconfig::kMaxIterations; ++iteration) {
        // The fit without the k0 largest effects.
        const int kept = k - k0;
        const double tau2 = randomeffects::dersimonianLaird(y.data(), vs.data(), kept);
        mu = randomeffects::pool(y.data(), vs.data(), kept, tau2, z).mu;
        // Signed ranks of the deviations of all k, ties ranked in order.
        std::vector<int> byDistance(static_cast<std::size_t>(k));
        std::iota(byDistance.begin(), byDistance.end(), 0);
        std::stable_sort(byDistance.begin(), byDistance.end(), [&](int i, int j) {
            return std::fabs(y[std::size_t(i)] - mu) < std::fabs(y[std::size_t(j)] - mu);
        });
        double positive = 0.0;
        for (int r = 0; r < k; ++r)
            if (y[std::size_t(byDistance[std::size_t(r)])] - mu > 0.0)
                positive += double(r + 1);
        const double l0 = (4.0 * positive - double(k) * double(k + 1)) / double(2 * k - 1);
        // R's round(): halves to even.
        const int next = std::max(0, int(std::nearbyint(l0)));
        if (next == k0) {
            settled = true;
            break;
        }
        k0 = std::min(next, k - 1);
    }
    if (!settled)
        return false;
    f.k0 = k0;
    std::vector<double> all(y), allV(vs);
    for (int i = k - k0; i < k; ++i) {
        all.push_back(2.0 * mu - y[std::size_t(i)]);
        allV.push_back(vs[std::size_t(i)]);
        f.filledY.push_back(sign * (2.0 * mu - y[std::size_t(i)]));
        f.filledV.push_back(vs[std::size_t(i)]);
    }
    for (double &value : all)
        value *= sign;
    const int total = int(all.size());
    const double tau2 = randomeffects::dersimonianLaird(all.data(), allV.data(), total);
    const PooledEffect e = randomeffects::pool(all.data(), allV.data(), total, tau2, z);
    f.mu = e.mu;
    f.low = e.low;
    f.high = e.high;
    f.p = e.p;
    *out = f;
    return true;
}

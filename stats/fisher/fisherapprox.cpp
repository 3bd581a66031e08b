#include "fisherapprox.h"

#include "dfex.h"
#include "dfish.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

double lnC(int a, int b)
{
    return std::lgamma(a + 1.0) - std::lgamma(b + 1.0) - std::lgamma(a - b + 1.0);
}

bool validTable(const int *x, const int *c, int N)
{
    if (!x || !c || N < 1 || N > basef<path>::kMaxColumns)
        return false;
    for (int j = 0; j < N; ++j) {
        if (x[j] < 0 || c[j] < x[j])
            return false;
    }
    return true;
}

} // namespace

// The tables whose ln C terms are the observed ones in another order have
// its probability: within a column total the counts may be permuted and
// each turned into total - count (ln C(c, x) = ln C(c, c - x)), as long as
// the first row keeps its total. They are counted per column total (how
// many ways give each first-row sum) and the totals convolved. Counts stay
// below 100! 2^100 (10^188): doubles hold them.
double fisherapprox::logTieWeight(const int *x, const int *c, int N)
{
    std::map<int, std::map<int, int>> groups;  // total -> min(x, c - x) -> columns
    qint64 n = 0;
    qint64 m = 0;
    double observed = 0.0;
    for (int j = 0; j < N; ++j) {
        ++groups[c[j]][std::min(x[j], c[j] - x[j])];
        n += c[j];
        m += x[j];
        observed += lnC(c[j], x[j]);
    }
    const double logObserved = observed - lnC(int(n), int(m));
    // The convolutions cost about m n steps: past this the observed table
    // alone stands for its ties (a lower bound, as everything here).
    constexpr double kMaxWork = 1e8;
    if (double(m) * double(n) > kMaxWork)
        return logObserved;

    std::vector<double> ways(size_t(m) + 1, 0.0);  // by first-row sum so far
    ways[0] = 1.0;
    qint64 reach = 0;
    for (const auto &group : groups) {
        const int total = group.first;
        int size = 0;
        double permutations = 0.0;
        qint64 base = 0;
        qint64 span = 0;
        std::vector<int> flips;  // what turning one column adds to the sum
        for (const auto &value : group.second) {
            size += value.second;
            permutations -= std::lgamma(value.second + 1.0);
            base += qint64(value.first) * value.second;
            if (2 * value.first != total) {
                flips.insert(flips.end(), size_t(value.second), total - 2 * value.first);
                span += qint64(total - 2 * value.first) * value.second;
            }
        }
        permutations = std::exp(permutations + std::lgamma(size + 1.0));
        std::vector<double> sums(size_t(span) + 1, 0.0);  // by base + turned
        sums[0] = permutations;
        qint64 top = 0;
        for (int flip : flips) {
            for (qint64 s = top; s >= 0; --s)
                sums[size_t(s + flip)] += sums[size_t(s)];
            top += flip;
        }
        std::vector<double> next(ways.size(), 0.0);
        for (qint64 w = 0; w <= std::min(reach, m); ++w) {
            if (ways[size_t(w)] == 0.0)
                continue;
            for (qint64 s = 0; s <= span && w + base + s <= m; ++s)
                next[size_t(w + base + s)] += ways[size_t(w)] * sums[size_t(s)];
        }
        ways.swap(next);
        reach += base + span;
    }
    return logObserved + std::log(std::max(1.0, ways[size_t(m)]));
}

double fisherapprox::finestUnit(int N)
{
    // Up to 30 columns a tenfold finer unit pays for every 10 columns
    // fewer; beyond, the columns hold fewer counts each and equal lengths
    // abound, which the exact variant joins: 10^0.027 per column.
    const double upTo30 = std::pow(10.0, -7.8 + 0.1 * std::min(N, 30));
    return N <= 30 ? upTo30 : upTo30 * std::pow(10.0, 0.027 * (N - 30));
}

fisherapprox::Plan fisherapprox::plan(int digits, const int *x, const int *c, int N)
{
    Plan plan;
    const double target = std::pow(10.0, -digits);
    const int rounded = std::max(0, N - 2);
    if (rounded == 0) {
        plan.unit = target;  // nothing is rounded
        return plan;
    }
    // The bracket holds, besides the error of the weights (at most the
    // rounding error, times P), the tables whose lengths lie within the
    // rounding error of the observed one: a density times twice that
    // error, and the tables that tie with the observed one, whatever the
    // unit. With the error at a quarter of what the ties leave of twice
    // the allowance, the bracket fits while that density stays below 1.5
    // per unit of length; and never above half the allowance.
    plan.ties = std::exp(logTieWeight(x, c, N));
    const double spare = 2.0 * kAllowance * target - plan.ties;
    double error = std::min(0.5 * target, 0.25 * spare);
    // Ties that leave less than a tenth of the allowance: the unit would
    // have to be so fine that the approximation cannot win.
    if (error < 0.05 * target) {
        plan.route = Route::ExactTies;
        error = 0.05 * target;
    }
    plan.unit = error / rounded;
    // No path is longer than the sum of the largest ln C of each column;
    // its scaled length must stay within 64 bits.
    double longest = 0.0;
    for (int j = 0; j < N; ++j)
        longest += lnC(c[j], c[j] / 2);
    plan.maxUnits = longest / plan.unit;
    if (plan.route == Route::Approximate && (plan.unit < finestUnit(N) || plan.maxUnits >= dfish<path>::kMaxScaled))
        plan.route = Route::ExactUnit;
    return plan;
}

int fisherapprox::run(int capacity, const int *x, const int *c, int N, double &pValue)
{
    m_route = Route::Approximate;
    m_runs = 0;
    m_unit = 0.0;
    m_lower = m_upper = m_estimate = 0.0;
    if (m_digits < 1 || m_digits > 9)
        return 1;
    if (!validTable(x, c, N))
        return runApproximate(capacity, x, c, N, 1.0);  // the engine refuses it

    const double target = std::pow(10.0, -m_digits);
    const double allowed = kAllowance * target;
    const Plan first = plan(m_digits, x, c, N);
    if (m_fallback && first.route != Route::Approximate)
        return runExact(capacity, x, c, N, pValue, first.route);
    double unit = m_firstUnit > 0.0 ? m_firstUnit : first.unit;
    for (int attempt = 0;; ++attempt) {
        const int status = runApproximate(capacity, x, c, N, unit);
        if (status != 0)
            return status;
        const double width = m_upper - m_lower;
        if (width < 2.0 * allowed) {
            // Any value within the allowance of both ends: the one nearest
            // the estimate.
            pValue = std::clamp(m_estimate, m_upper - allowed, m_lower + allowed);
            return 0;
        }
        // All of the width but the ties shrinks with the unit: refine
        // once where that is expected to be enough and still pays.
        const double expected = first.ties + (width - first.ties) / kRefinement;
        const double finer = unit / kRefinement;
        const bool hopeless = attempt == 1 || expected >= 1.5 * allowed || finer < finestUnit(N)
                              || first.maxUnits * (first.unit / finer) >= dfish<path>::kMaxScaled;
        if (hopeless) {
            if (m_fallback)
                return runExact(capacity, x, c, N, pValue, Route::ExactBracket);
            pValue = 0.5 * (m_lower + m_upper);
            return 0;
        }
        unit = finer;
    }
}

int fisherapprox::runApproximate(int capacity, const int *x, const int *c, int N, double unit)
{
    int status = 0;
    dfish<path> engine(capacity, status);
    if (status != 0)
        return status;
    engine.scale = 1.0 / unit;
    engine.invScale = unit;
    double counted = 0.0;
    status = engine.run(x, c, N, counted);
    ++m_runs;
    m_unit = unit;
    if (status != 0)
        return status;
    m_lower = engine.lowerBound();
    m_upper = engine.upperBound();
    // The tables counted at the observed length, their weights raised by
    // half the largest shortfall.
    m_estimate = std::clamp(counted * std::exp(0.5 * engine.finalPathError()), m_lower, m_upper);
    return 0;
}

int fisherapprox::runExact(int capacity, const int *x, const int *c, int N, double &pValue, Route why)
{
    m_route = why;
    int status = 0;
    dfex<double> engine(capacity, status);
    if (status != 0)
        return status;
    return engine.run(x, c, N, pValue);
}

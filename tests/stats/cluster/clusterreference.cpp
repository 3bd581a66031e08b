#include "clusterreference.h"

#include "chi2.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// 0: no first-sample count, 1: both counts, 2: no second-sample count.
int group(const std::pair<int, int> &factor)
{
    return factor.first == 0 ? 0 : (factor.second > 0 ? 1 : 2);
}

// Ratio order by cross products, so that equal ratios compare equal exactly.
bool before(const std::pair<int, int> &x, const std::pair<int, int> &y)
{
    if (group(x) != group(y))
        return group(x) < group(y);
    switch (group(x)) {
    case 0:
        return x.second > y.second;
    case 1:
        return qint64(x.first) * y.second < qint64(y.first) * x.second;
    default:
        return x.first < y.first;
    }
}

double entropyTerm(double x)
{
    return x > 0 ? x * std::log(x) : 0.0;
}

double logLikelihood(double x, double y)
{
    return entropyTerm(x) + entropyTerm(y) - entropyTerm(x + y);
}

// The four-cell Pearson sum, written out cell by cell in the same order as
// the textbook formula, so that ties between pairs come out as exact ties.
double pearson(double a, double b, double c, double d)
{
    const double n = a + b + c + d;
    if (a + b == 0 || c + d == 0 || a + c == 0 || b + d == 0)
        return 0;
    const double ea = (a + b) * (a + c) / n;
    const double eb = (a + b) * (b + d) / n;
    const double ec = (c + d) * (a + c) / n;
    const double ed = (c + d) * (b + d) / n;
    double sum = 0;
    sum += (a - ea) * (a - ea) / ea;
    sum += (b - eb) * (b - eb) / eb;
    sum += (c - ec) * (c - ec) / ec;
    sum += (d - ed) * (d - ed) / ed;
    return sum;
}

} // namespace

ReferenceClusters referenceClusters(const std::vector<std::pair<int, int>> &factors)
{
    ReferenceClusters result;
    const int k = int(factors.size());
    result.order.resize(factors.size());
    std::iota(result.order.begin(), result.order.end(), 0);
    std::stable_sort(result.order.begin(), result.order.end(),
                     [&](int x, int y) { return before(factors[std::size_t(x)], factors[std::size_t(y)]); });

    double totalE = 0, totalF = 0;
    for (const auto &factor : factors) {
        totalE += factor.first;
        totalF += factor.second;
    }

    // starts[c]: first position of cluster c; cluster c ends before starts[c + 1].
    std::vector<int> starts(factors.size());
    std::iota(starts.begin(), starts.end(), 0);
    auto sums = [&](std::size_t c) {
        const int end = c + 1 < starts.size() ? starts[c + 1] : k;
        double e = 0, f = 0;
        for (int p = starts[c]; p < end; ++p) {
            e += factors[std::size_t(result.order[std::size_t(p)])].first;
            f += factors[std::size_t(result.order[std::size_t(p)])].second;
        }
        return std::make_pair(e, f);
    };

    result.pValues.assign(std::size_t(k) + 1, std::nan(""));
    double bestP = 0;
    for (int level = k; level >= 2; --level) {
        if (level < k) {
            std::size_t closest = 0;
            double smallest = 0;
            for (std::size_t c = 0; c + 1 < starts.size(); ++c) {
                const auto left = sums(c), right = sums(c + 1);
                const double d = pearson(left.first, left.second, right.first, right.second);
                if (c == 0 || d < smallest) {
                    closest = c;
                    smallest = d;
                }
            }
            starts.erase(starts.begin() + std::ptrdiff_t(closest) + 1);
        }
        double sum = 0;
        for (std::size_t c = 0; c < starts.size(); ++c) {
            const auto counts = sums(c);
            sum += logLikelihood(counts.first, counts.second);
        }
        const double g = 2 * (sum - logLikelihood(totalE, totalF));
        const double p = chi2PValue(std::max(g, 0.0), level);
        result.pValues[std::size_t(level)] = p;
        if (level == k || p < bestP) {
            bestP = p;
            result.best = level;
            result.clusterOfFactor.assign(factors.size(), 0);
            for (std::size_t c = 0; c < starts.size(); ++c) {
                const int end = c + 1 < starts.size() ? starts[c + 1] : k;
                for (int pos = starts[c]; pos < end; ++pos)
                    result.clusterOfFactor[std::size_t(result.order[std::size_t(pos)])] = int(c) + 1;
            }
        }
    }
    return result;
}

#include "haplotypeinfo.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace haplotypeinfo {

namespace {

// The entry of every haplotype of the fit, -1 for none.
std::vector<int> entryOf(const haplotypeem::PairSet &pairs, const std::vector<Entry> &entries)
{
    std::unordered_map<quint32, int> index;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        for (const quint32 code : entries[e])
            index.emplace(code, int(e));
    }
    std::vector<int> of(pairs.haplotypes.size(), -1);
    for (std::size_t h = 0; h < of.size(); ++h) {
        const auto at = index.find(pairs.haplotypes[h]);
        if (at != index.end())
            of[h] = at->second;
    }
    return of;
}

// In place: the lower Cholesky factor of the symmetric n x n matrix a
// (row-major). False when it is not positive definite.
bool cholesky(std::vector<double> &a, int n)
{
    for (int j = 0; j < n; ++j) {
        double *rowJ = a.data() + std::size_t(j) * std::size_t(n);
        double d = rowJ[j];
        for (int k = 0; k < j; ++k)
            d -= rowJ[k] * rowJ[k];
        // Relative to the diagonal as it was: rounding alone leaves more.
        if (!(d > 1e-13 * std::fabs(rowJ[j])) || !std::isfinite(d))
            return false;
        d = std::sqrt(d);
        rowJ[j] = d;
        for (int i = j + 1; i < n; ++i) {
            double *rowI = a.data() + std::size_t(i) * std::size_t(n);
            double s = rowI[j];
            for (int k = 0; k < j; ++k)
                s -= rowI[k] * rowJ[k];
            rowI[j] = s / d;
        }
    }
    return true;
}

// g' (L L')^-1 g.
double quadraticInverse(const std::vector<double> &factor, int n, std::vector<double> g)
{
    for (int i = 0; i < n; ++i) {
        const double *row = factor.data() + std::size_t(i) * std::size_t(n);
        double s = g[std::size_t(i)];
        for (int k = 0; k < i; ++k)
            s -= row[k] * g[std::size_t(k)];
        g[std::size_t(i)] = s / row[i];
    }
    double sum = 0.0;
    for (const double v : g)
        sum += v * v;
    return sum;
}

} // namespace

std::vector<double> logRatioVariances(const haplotypeem::Fit &fit, const std::vector<double> &weights,
                                      quint32 reference, const std::vector<Entry> &entries)
{
    std::vector<double> out(entries.size(), qQNaN());
    const haplotypeem::PairSet &pairs = fit.pairs;
    double individuals = 0.0;
    for (int p = 0; p < pairs.patterns(); ++p) {
        if (pairs.begin[std::size_t(p)] < pairs.begin[std::size_t(p) + 1])
            individuals += weights[std::size_t(p)];
    }
    // Free parameters: every haplotype off the boundary but the reference.
    const std::size_t haplotypes = pairs.haplotypes.size();
    std::vector<int> freeIndex(haplotypes, -1);
    int ref = -1;
    int n = 0;
    for (std::size_t h = 0; h < haplotypes; ++h) {
        if (2.0 * individuals * fit.freq[h] < kFreeCount)
            continue;
        if (pairs.haplotypes[h] == reference)
            ref = int(h);
        else
            freeIndex[h] = n++;
    }
    if (ref < 0 || n > kMaxFree)
        return out;
    const double fRef = fit.freq[std::size_t(ref)];
    const auto onBoundary = [&](int h) { return h != ref && freeIndex[std::size_t(h)] < 0; };

    // Observed information of the free frequencies, per pattern
    // s s' - sum_k post_k (u_a u_b' + u_b u_a'), s = sum_k post_k (u_a + u_b),
    // with u_h = e_h / f_h and u_ref = -1 / f_ref on every coordinate; kept
    // as A + v 1' + 1 v' + c 1 1'.
    std::vector<double> a(std::size_t(n) * std::size_t(n), 0.0);
    std::vector<double> v(std::size_t(n), 0.0);
    double c = 0.0;
    const auto alpha = [&](int h) { return h == ref ? 0.0 : 1.0 / fit.freq[std::size_t(h)]; };
    const auto beta = [&](int h) { return h == ref ? -1.0 / fRef : 0.0; };
    std::vector<std::pair<int, double>> sparse;
    std::vector<double> post;
    for (int p = 0; p < pairs.patterns(); ++p) {
        const double w = weights[std::size_t(p)];
        const int b = pairs.begin[std::size_t(p)];
        const int e = pairs.begin[std::size_t(p) + 1];
        if (w <= 0.0 || b == e)
            continue;
        post.clear();
        double sum = 0.0;
        for (int k = b; k < e; ++k) {
            const int x = pairs.first[std::size_t(k)];
            const int y = pairs.second[std::size_t(k)];
            const double q = onBoundary(x) || onBoundary(y)
                                 ? 0.0
                                 : (x == y ? 1.0 : 2.0) * fit.freq[std::size_t(x)] * fit.freq[std::size_t(y)];
            post.push_back(q);
            sum += q;
        }
        if (!(sum > 0.0))
            continue;
        sparse.clear();
        double sBeta = 0.0;
        for (int k = b; k < e; ++k) {
            const double pk = post[std::size_t(k - b)] / sum;
            if (pk == 0.0)
                continue;
            const int x = pairs.first[std::size_t(k)];
            const int y = pairs.second[std::size_t(k)];
            for (const int h : {x, y}) {
                if (h != ref)
                    sparse.emplace_back(freeIndex[std::size_t(h)], pk * alpha(h));
                sBeta += pk * beta(h);
            }
            // - post (u_x u_y' + u_y u_x')
            const double ax = alpha(x), bx = beta(x), ay = alpha(y), by = beta(y);
            if (x != ref && y != ref) {
                const std::size_t i = std::size_t(freeIndex[std::size_t(x)]);
                const std::size_t j = std::size_t(freeIndex[std::size_t(y)]);
                a[i * std::size_t(n) + j] -= w * pk * ax * ay;
                a[j * std::size_t(n) + i] -= w * pk * ax * ay;
            }
            if (x != ref)
                v[std::size_t(freeIndex[std::size_t(x)])] -= w * pk * ax * by;
            if (y != ref)
                v[std::size_t(freeIndex[std::size_t(y)])] -= w * pk * ay * bx;
            c -= w * pk * 2.0 * bx * by;
        }
        // + s s'
        std::sort(sparse.begin(), sparse.end());
        std::size_t merged = 0;
        for (std::size_t i = 0; i < sparse.size(); ++i) {
            if (merged > 0 && sparse[merged - 1].first == sparse[i].first)
                sparse[merged - 1].second += sparse[i].second;
            else
                sparse[merged++] = sparse[i];
        }
        sparse.resize(merged);
        for (const auto &[i, si] : sparse) {
            for (const auto &[j, sj] : sparse)
                a[std::size_t(i) * std::size_t(n) + std::size_t(j)] += w * si * sj;
            v[std::size_t(i)] += w * sBeta * si;
        }
        c += w * sBeta * sBeta;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            a[std::size_t(i) * std::size_t(n) + std::size_t(j)] += v[std::size_t(i)] + v[std::size_t(j)] + c;
    }
    if (n > 0 && !cholesky(a, n))
        return out;

    const std::vector<int> of = entryOf(pairs, entries);
    for (std::size_t e = 0; e < entries.size(); ++e) {
        double pe = 0.0;
        for (std::size_t h = 0; h < haplotypes; ++h) {
            if (of[h] == int(e) && !onBoundary(int(h)))
                pe += fit.freq[h];
        }
        if (!(pe > 0.0))
            continue;
        std::vector<double> g(std::size_t(n), 1.0 / fRef);
        bool isReference = false;
        for (std::size_t h = 0; h < haplotypes; ++h) {
            if (of[h] != int(e))
                continue;
            if (int(h) == ref)
                isReference = true;
            else if (freeIndex[h] >= 0)
                g[std::size_t(freeIndex[h])] += 1.0 / pe;
        }
        // The reference against itself, or pooled with others, is not a ratio this measures.
        if (isReference)
            continue;
        out[e] = n > 0 ? quadraticInverse(a, n, g) : qQNaN();
    }
    return out;
}

std::vector<Score> scores(const haplotypeem::Fit &pooled, const std::vector<double> &all,
                          const std::vector<double> &cases, const std::vector<Entry> &entries)
{
    const std::size_t m = entries.size();
    std::vector<Score> out(m);
    const haplotypeem::PairSet &pairs = pooled.pairs;
    const std::vector<int> of = entryOf(pairs, entries);
    const std::vector<double> post = haplotypeem::posteriors(pairs, pooled.freq);
    const int patterns = pairs.patterns();
    // Per pattern and entry: E[x | G] and Var[x | G].
    std::vector<double> mean(std::size_t(patterns) * m, 0.0);
    std::vector<double> var(std::size_t(patterns) * m, 0.0);
    double total = 0.0;
    double totalCases = 0.0;
    for (int p = 0; p < patterns; ++p) {
        const int b = pairs.begin[std::size_t(p)];
        const int e = pairs.begin[std::size_t(p) + 1];
        if (all[std::size_t(p)] <= 0.0 || b == e)
            continue;
        total += all[std::size_t(p)];
        totalCases += cases[std::size_t(p)];
        double *mp = mean.data() + std::size_t(p) * m;
        double *vp = var.data() + std::size_t(p) * m;
        for (int k = b; k < e; ++k) {
            const double pk = post[std::size_t(k)];
            const int ex = of[std::size_t(pairs.first[std::size_t(k)])];
            const int ey = of[std::size_t(pairs.second[std::size_t(k)])];
            if (ex == ey && ex >= 0) {
                mp[ex] += 2.0 * pk;
                vp[ex] += 4.0 * pk;
            } else {
                for (const int x : {ex, ey}) {
                    if (x >= 0) {
                        mp[x] += pk;
                        vp[x] += pk;
                    }
                }
            }
        }
        for (std::size_t x = 0; x < m; ++x)
            vp[x] -= mp[x] * mp[x];
    }
    if (!(total > 0.0))
        return out;
    const double ybar = totalCases / total;
    const double pq = ybar * (1.0 - ybar);
    for (std::size_t x = 0; x < m; ++x) {
        double average = 0.0;
        for (int p = 0; p < patterns; ++p)
            average += all[std::size_t(p)] * mean[std::size_t(p) * m + x];
        average /= total;
        double u = 0.0;
        double spread = 0.0;
        double phase = 0.0;
        for (int p = 0; p < patterns; ++p) {
            const double w = all[std::size_t(p)];
            if (w <= 0.0)
                continue;
            const double cp = cases[std::size_t(p)];
            const double e = mean[std::size_t(p) * m + x];
            u += (cp - ybar * w) * e;
            spread += w * (e - average) * (e - average);
            const double squares = cp * (1.0 - ybar) * (1.0 - ybar) + (w - cp) * ybar * ybar;
            phase += (pq * w - squares) * var[std::size_t(p) * m + x];
        }
        const double information = pq * spread + phase;
        if (!(information > 0.0))
            continue;
        out[x].z = u / std::sqrt(information);
        out[x].p = std::erfc(std::fabs(out[x].z) / std::sqrt(2.0));
    }
    return out;
}

} // namespace haplotypeinfo

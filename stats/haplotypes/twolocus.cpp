#include "twolocus.h"

#include "dprimegrid.h"
#include "twolocussetup.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <limits>

namespace twolocus {

namespace {

using namespace detail;

constexpr double kLn10 = 2.302585092994045684;
// Roots whose log-likelihoods differ by less than this share are a tie,
// broken towards the smaller f11, as PLINK 1.9 breaks it.
constexpr double kTieShare = 1e-10;
// A bracketed root is refined this often at most; bisection alone would
// need about 100 halvings of a long double.
constexpr int kMaxRefinements = 200;

// Library routines (glibc's log and exp, on a processor with AVX-512) can
// leave the upper halves of the vector registers in use; the plain SSE code
// here then ran fifteen times slower (43 us an estimate instead of 2.7).
// Clearing them on entry costs a cycle.
inline void clearUpperVectors()
{
#if defined(__x86_64__) && !defined(__AVX__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        __asm__ volatile("vzeroupper" ::: "memory");
#endif
}

int sign(Wide v)
{
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

int sign(Real v)
{
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// The root of g in (u, v), where g changes sign and is monotone: Newton
// steps kept inside the bracket, halving where a step would leave it.
bool refine(const Setup &s, Real u, Real v, int signU, Real *root)
{
    Real x = (u + v) / 2;
    for (int i = 0; i < kMaxRefinements; ++i) {
        const Real gx = s.at(x);
        if (gx == 0) {
            *root = x;
            return true;
        }
        if (sign(gx) == signU)
            u = x;
        else
            v = x;
        const Real d = s.slope(x);
        Real next = d != 0 ? x - gx / d : (u + v) / 2;
        if (!(next > std::min(u, v) && next < std::max(u, v)))
            next = (u + v) / 2;
        const Real tolerance = 4 * std::numeric_limits<Real>::epsilon() * std::max<Real>(1, std::fabs(x));
        if (std::fabs(next - x) <= tolerance || std::fabs(v - u) <= tolerance) {
            *root = next;
            return true;
        }
        x = next;
    }
    return false;
}

// Every root of g in [lo, hi], ascending. g is monotone between its
// critical points; the ends of the range are whole numbers, where g is
// evaluated exactly.
bool cubicRoots(const Setup &s, std::vector<Real> *roots)
{
    const qint64 lo = s.lo(), hi = s.hi();
    if (s.m == 0) {
        // g = (y - c11) E(y), and E > 0 over the whole range of two
        // polymorphic loci: the one root is the count the genotypes show.
        roots->push_back(Real(s.c11));
        return true;
    }
    std::vector<Real> points{Real(lo)};
    std::vector<int> signs{sign(s.exactAt(lo))};
    // g'(y) = 6y^2 + 2 k2 y + k1: critical points at (-k2 +- sqrt(k2^2 - 6 k1)) / 6.
    const Wide disc = s.k2 * s.k2 - 6 * s.k1;
    if (disc > 0) {
        const Real root = std::sqrt(Real(disc));
        for (const Real c : {(-Real(s.k2) - root) / 6, (-Real(s.k2) + root) / 6}) {
            if (c > Real(lo) && c < Real(hi)) {
                points.push_back(c);
                signs.push_back(sign(s.at(c)));
            }
        }
    }
    points.push_back(Real(hi));
    signs.push_back(sign(s.exactAt(hi)));
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (signs[i] == 0)
            roots->push_back(points[i]);
        if (i + 1 < points.size() && signs[i] * signs[i + 1] < 0) {
            Real root = 0;
            if (!refine(s, points[i], points[i + 1], signs[i], &root))
                return false;
            roots->push_back(root);
        }
    }
    return true;
}

} // namespace

qint64 Counts::total() const
{
    qint64 sum = 0;
    for (const auto &row : n)
        for (const qint64 v : row)
            sum += v;
    return sum;
}

const char *statusText(Status status)
{
    switch (status) {
    case Status::Ok:
        return "";
    case Status::NoIndividuals:
        return "no individuals with both loci typed";
    case Status::MonomorphicA:
        return "the first locus has one allele among the individuals typed at both";
    case Status::MonomorphicB:
        return "the second locus has one allele among the individuals typed at both";
    case Status::TooLarge:
        return "more individuals than the two-locus estimate takes";
    }
    return "";
}

Status estimate(const Counts &counts, Figures *out)
{
    clearUpperVectors();
    for (const auto &row : counts.n)
        for (const qint64 v : row)
            if (v < 0 || v > kMaxIndividuals)
                return Status::TooLarge;
    const qint64 n = counts.total();
    if (n == 0)
        return Status::NoIndividuals;
    if (n > kMaxIndividuals)
        return Status::TooLarge;
    const Setup s(counts);
    if (s.a == 0 || s.a == s.n2)
        return Status::MonomorphicA;
    if (s.b == 0 || s.b == s.n2)
        return Status::MonomorphicB;

    std::vector<Real> ys;
    if (!cubicRoots(s, &ys))
        return Status::TooLarge;
    // A root the cubic touches (a double root) can show as two close ones.
    ys.erase(std::unique(ys.begin(), ys.end(),
                         [&](Real x, Real y) { return std::fabs(x - y) <= 1e-9L * Real(s.n2); }),
             ys.end());
    std::vector<Root> roots(ys.size());
    for (std::size_t i = 0; i < ys.size(); ++i) {
        s.haplotypes(ys[i], roots[i].haplotypes);
        roots[i].loglik = s.loglik(ys[i]);
    }
    // The maximum first; of roots tied with it, the smallest f11 (ys
    // ascend); the rest by likelihood.
    double top = -std::numeric_limits<double>::infinity();
    for (const Root &r : roots)
        top = std::max(top, r.loglik);
    std::vector<std::size_t> order(ys.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto tied = [](double x, double best) { return x >= best - kTieShare * std::max(1.0, std::fabs(best)); };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        const bool bx = tied(roots[x].loglik, top), by = tied(roots[y].loglik, top);
        if (bx != by)
            return bx;
        return !bx && roots[x].loglik > roots[y].loglik;
    });
    out->roots.clear();
    for (const std::size_t i : order)
        out->roots.push_back(roots[i]);
    const Real y = ys[order.front()];

    const Real N = Real(s.n2), A = Real(s.a), B = Real(s.b);
    out->n = n;
    out->freqA = double(1 - A / N);
    out->freqB = double(1 - B / N);
    std::copy(std::begin(out->roots.front().haplotypes), std::end(out->roots.front().haplotypes), out->haplotypes);
    // D = (y N2 - ab) / N2^2, its largest size for these allele frequencies
    // from the allele counts, so that D' and r2 come from whole numbers.
    const Real dN = y * N - A * B;
    const bool positive = dN >= 0;
    const Real dmaxN = positive ? std::min(A * (N - B), (N - A) * B) : std::min(A * B, (N - A) * (N - B));
    out->d = double(dN / (N * N));
    out->dprime = std::clamp(double(dN / dmaxN), -1.0, 1.0);
    out->r2 = std::min(1.0, double(dN * dN / (A * (N - A) * B * (N - B))));
    const Real y0 = A * B / N;
    out->lod = (out->roots.front().loglik - s.loglik(y0)) / kLn10;
    // Rounding can leave the maximum a hair below the value at D = 0.
    out->lod = std::max(0.0, out->lod);

    const double step = double((positive ? dmaxN : -dmaxN) / N);
    // D' = +-1 lies at an end of the valid range, a whole count.
    const qint64 end = positive ? s.hi() : s.lo();
    int low = 0, high = 0;
    dprimeBounds(s, double(y0), step, end, ys, &low, &high);
    const double lowValue = double(low) / kGridSteps, highValue = double(high) / kGridSteps;
    // 0.0 - x: a bound of 0 on the negative side is 0, not -0.
    out->dprimeLow = positive ? lowValue : 0.0 - highValue;
    out->dprimeHigh = positive ? highValue : 0.0 - lowValue;
    return Status::Ok;
}

double phasedR2(const qint64 h[4])
{
    const Real a = Real(h[0] + h[1]), qa = Real(h[2] + h[3]);
    const Real b = Real(h[0] + h[2]), qb = Real(h[1] + h[3]);
    if (a == 0 || qa == 0 || b == 0 || qb == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const Real d = Real(h[0]) * Real(h[3]) - Real(h[1]) * Real(h[2]);
    return std::min(1.0, double(d * d / (a * qa * b * qb)));
}

} // namespace twolocus

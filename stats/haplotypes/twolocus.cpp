#include "twolocus.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <limits>

namespace twolocus {

namespace {

using Wide = __int128;
using Real = long double;

constexpr double kLn10 = 2.302585092994045684;
constexpr double kLn2 = 0.693147180559945309;
// Roots whose log-likelihoods differ by less than this share are a tie,
// broken towards the smaller f11, as PLINK 1.9 breaks it.
constexpr double kTieShare = 1e-10;
// Grid points whose likelihood is below the largest by more than e^-40
// weigh less than 1e-15 of the total together: they are never evaluated.
constexpr double kNegligible = 40.0;
// A bracketed root is refined this often at most; bisection alone would
// need about 100 halvings of a long double.
constexpr int kMaxRefinements = 200;

// The haplotype counts that the genotypes show, and the cubic in y, the
// count of 11 haplotypes among the 2n, whose roots are the stationary
// points of the likelihood at the observed allele frequencies:
// g(y) = (y - c11) E(y) - m y (y + N2 - a - b),
// E(y) = 2y^2 + (N2 - 2a - 2b) y + ab = N2^2 (f11 f22 + f12 f21).
struct Setup
{
    qint64 c11 = 0, c12 = 0, c21 = 0, c22 = 0;
    qint64 m = 0;        // double heterozygotes
    qint64 singles = 0;  // genotypes heterozygous at one locus (a factor 2 each)
    qint64 n2 = 0;       // haplotypes
    qint64 a = 0, b = 0; // REF alleles at A and at B
    Wide k2 = 0, k1 = 0, k0 = 0;  // g(y) = 2y^3 + k2 y^2 + k1 y + k0

    explicit Setup(const Counts &c)
    {
        const auto &n = c.n;
        c11 = 2 * n[0][0] + n[0][1] + n[1][0];
        c12 = 2 * n[0][2] + n[0][1] + n[1][2];
        c21 = 2 * n[2][0] + n[1][0] + n[2][1];
        c22 = 2 * n[2][2] + n[1][2] + n[2][1];
        m = n[1][1];
        singles = n[0][1] + n[1][0] + n[1][2] + n[2][1];
        n2 = 2 * c.total();
        a = c11 + c12 + m;
        b = c11 + c21 + m;
        const Wide N = n2, A = a, B = b, C = c11, M = m;
        k2 = N - 2 * A - 2 * B - 2 * C - M;
        k1 = A * B - C * (N - 2 * A - 2 * B) - M * (N - A - B);
        k0 = -C * A * B;
    }

    Wide exactAt(qint64 y) const
    {
        const Wide Y = y;
        return ((2 * Y + k2) * Y + k1) * Y + k0;
    }
    Real at(Real y) const { return ((2 * y + Real(k2)) * y + Real(k1)) * y + Real(k0); }
    Real slope(Real y) const { return (6 * y + 2 * Real(k2)) * y + Real(k1); }

    qint64 lo() const { return std::max<qint64>(0, a + b - n2); }
    qint64 hi() const { return std::min(a, b); }

    void haplotypes(Real y, double f[4]) const
    {
        const Real N = Real(n2);
        f[0] = double(y / N);
        f[1] = double((Real(a) - y) / N);
        f[2] = double((Real(b) - y) / N);
        f[3] = double((Real(n2 - a - b) + y) / N);
    }

    // The log-likelihood at y; minus infinity where a haplotype that the
    // genotypes show has no frequency.
    double loglik(Real y) const
    {
        double f[4];
        haplotypes(y, f);
        const qint64 counts[4] = {c11, c12, c21, c22};
        double sum = kLn2 * double(singles + m);
        for (int h = 0; h < 4; ++h) {
            if (counts[h] == 0)
                continue;
            if (!(f[h] > 0))
                return -std::numeric_limits<double>::infinity();
            sum += double(counts[h]) * std::log(f[h]);
        }
        if (m > 0) {
            const double mixed = f[0] * f[3] + f[1] * f[2];
            if (!(mixed > 0))
                return -std::numeric_limits<double>::infinity();
            sum += double(m) * std::log(mixed);
        }
        return sum;
    }
};

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

// The 5% and 95% points of the likelihood over the grid of D' on the side
// of D's sign, as grid steps. y(i) = y0 + i * step.
void likelihoodBounds(const Setup &s, Real y0, Real step, const std::vector<Real> &roots, int *low, int *high)
{
    constexpr int kPoints = kGridSteps + 1;
    double logliks[kPoints];
    std::bitset<kPoints> done;
    const auto eval = [&](int i) {
        if (!done[std::size_t(i)]) {
            done.set(std::size_t(i));
            logliks[i] = i == 0 ? s.loglik(y0) : s.loglik(y0 + step * Real(i) / kGridSteps);
        }
        return logliks[i];
    };
    // Between the roots the likelihood is monotone: each point of weight is
    // reached from a root or an end of the grid by walking downhill.
    std::vector<int> starts{0, kGridSteps};
    for (const Real r : roots) {
        const Real at = (r - y0) / step * kGridSteps;
        if (at > -1 && at < kPoints) {
            const int below = int(std::floor(at));
            for (const int i : {below, below + 1}) {
                if (i >= 0 && i <= kGridSteps)
                    starts.push_back(i);
            }
        }
    }
    double top = -std::numeric_limits<double>::infinity();
    for (const int i : starts)
        top = std::max(top, eval(i));
    for (const int i : starts) {
        for (const int direction : {-1, 1}) {
            for (int j = i + direction; j >= 0 && j <= kGridSteps; j += direction) {
                const bool fresh = !done[std::size_t(j)];
                if (eval(j) < top - kNegligible || !fresh)
                    break;
            }
        }
    }
    double weights[kPoints];
    double total = 0;
    for (int i = 0; i < kPoints; ++i) {
        weights[i] = done[std::size_t(i)] && logliks[i] >= top - kNegligible ? std::exp(logliks[i] - top) : 0.0;
        total += weights[i];
    }
    double running = 0;
    *low = *high = kGridSteps;
    bool lowSet = false;
    for (int i = 0; i < kPoints; ++i) {
        running += weights[i];
        if (!lowSet && running >= 0.05 * total) {
            *low = i;
            lowSet = true;
        }
        if (running >= 0.95 * total) {
            *high = i;
            break;
        }
    }
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

    const Real step = (positive ? dmaxN : -dmaxN) / N;
    int low = 0, high = 0;
    likelihoodBounds(s, y0, step, ys, &low, &high);
    const double lowValue = double(low) / kGridSteps, highValue = double(high) / kGridSteps;
    out->dprimeLow = positive ? lowValue : -highValue;
    out->dprimeHigh = positive ? highValue : -lowValue;
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

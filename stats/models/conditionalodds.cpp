#include "conditionalodds.h"

#include "centralratios.h"
#include "normalquantile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Beyond e^700 a product of the weights' ratios would leave the double
// range; no table of 32-bit counts has a root there (the estimate of an
// inner count is below N^2, so its log is below 45).
constexpr double kMaxLogPsi = 700.0;
// A root is taken once a step in log psi is this small: the error after a
// Halley step is of the order of its cube, after a Newton step of its
// square, so psi is then good to about 1e-12 either way.
constexpr double kHalleyTolerance = 1e-4;
constexpr double kNewtonTolerance = 1e-6;
// Bisection alone ends at this width of the bracket.
constexpr double kBracketTolerance = 1e-12;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The sums of one evaluation, in offsets j = v - mode of the counts v, which keep the
// moments free of cancellation.
struct Sums
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;  // the whole distribution
    double t0 = 0.0, t1 = 0.0, t2 = 0.0, t3 = 0.0;  // the tail
    bool tailResolved = true;  // false: the tail weighs less than kPrecision of the total
    qint64 mode = 0;
};

// A walk's state through its rounds of eight steps.
struct Block
{
    double t, j;  // the last term and its offset from the mode
    qint64 i;     // steps taken
    double s0, s1, s2, s3;
};

typedef double Lane4 __attribute__((vector_size(32)));
typedef long long Index4 __attribute__((vector_size(32)));

// Eight steps a round, as two blocks of four in four lanes: a block's running
// products of ratios come from two multiplications of pairs, independent of
// the last term, so the chain of dependent operations is one multiplication
// a block. Every lane rounds as scalar code would and the lanes are added in
// an order written here, so the sums have the same bits on every processor.
// AVX2 runs four lanes in one instruction where the processor has it; it has
// no fused multiply-add, so its bits are those of the default version.
// at: the ratio of the walk's first step (at[0], then at[dir], ...).
__attribute__((target_clones("avx2", "default"))) void blocksOfFour(Block &block, const double *at, int dir,
                                                                      double scale, qint64 end, double base)
{
    constexpr double kMargin = 1.0 + 1e-9;
    const double limit = kMargin * conditionalodds::kPrecision;
    const double step = dir;
    const Lane4 ones = {1.0, 1.0, 1.0, 1.0};
    const Lane4 offsets = {step, 2.0 * step, 3.0 * step, 4.0 * step};
    const Lane4 stride = {4.0 * step, 4.0 * step, 4.0 * step, 4.0 * step};
    const Index4 reverse = {3, 2, 1, 0}, shiftOne = {4, 0, 1, 2}, shiftTwo = {4, 4, 0, 1}, fourth = {3, 3, 3, 3};
    Lane4 sum0 = {0.0, 0.0, 0.0, 0.0}, sum1 = sum0, sum2 = sum0, sum3 = sum0;
    // The last term in every lane, and the offsets of the next four steps.
    Lane4 last = {block.t, block.t, block.t, block.t}, offset = block.j + offsets;
    qint64 i = block.i;
    // A round is tested once, at its end: half the tests of single blocks.
    while (end - i >= 8) {
        Lane4 r, s;
        if (dir > 0) {
            std::memcpy(&r, at + i, sizeof r);
            std::memcpy(&s, at + i + 4, sizeof s);
        } else {
            std::memcpy(&r, at - i - 3, sizeof r);
            std::memcpy(&s, at - i - 7, sizeof s);
            r = __builtin_shuffle(r, reverse);
            s = __builtin_shuffle(s, reverse);
        }
        r = r * scale;
        s = s * scale;
        const Lane4 pairsR = r * __builtin_shuffle(r, ones, shiftOne);  // r0, r0 r1, r1 r2, r2 r3
        const Lane4 pairsS = s * __builtin_shuffle(s, ones, shiftOne);
        const Lane4 productsR = pairsR * __builtin_shuffle(pairsR, ones, shiftTwo);  // r0 ... r0 r1 r2 r3
        const Lane4 productsS = pairsS * __builtin_shuffle(pairsS, ones, shiftTwo);
        const Lane4 termsR = last * productsR;
        // The same bits as termsR[3] in every lane, without waiting for it.
        const Lane4 middle = last * __builtin_shuffle(productsR, fourth);
        const Lane4 termsS = middle * productsS;
        const Lane4 next0 = (sum0 + termsR) + termsS;
        const double total = base + ((next0[0] + next0[1]) + (next0[2] + next0[3]));
        if (s[3] < 1.0 && !(termsS[3] * s[3] > limit * total))
            break;
        const Lane4 offsetS = offset + stride;
        const Lane4 firstR = termsR * offset, secondR = firstR * offset;
        const Lane4 firstS = termsS * offsetS, secondS = firstS * offsetS;
        sum0 = next0;
        sum1 = (sum1 + firstR) + firstS;
        sum2 = (sum2 + secondR) + secondS;
        sum3 = (sum3 + secondR * offset) + secondS * offsetS;
        last = middle * __builtin_shuffle(productsS, fourth);
        offset = offsetS + stride;
        i += 8;
    }
    block.t = last[0];
    block.j = offset[0] - step;
    block.i = i;
    block.s0 = (sum0[0] + sum0[1]) + (sum0[2] + sum0[3]);
    block.s1 = (sum1[0] + sum1[1]) + (sum1[2] + sum1[3]);
    block.s2 = (sum2[0] + sum2[1]) + (sum2[2] + sum2[3]);
    block.s3 = (sum3[0] + sum3[1]) + (sum3[2] + sum3[3]);
}

// Which tail an evaluation sums besides the whole: X >= x, X <= x, or none.
enum class Tail { None, Upper, Lower };

class Distribution final
{
public:
    explicit Distribution(const centralratios &ratios)
        : ratios(ratios), m(ratios.m()), n(ratios.n()), k(ratios.k()), x(ratios.a()), lo(ratios.least()),
          hi(ratios.most())
    {
    }

    qint64 observed() const { return x; }
    qint64 least() const { return lo; }
    qint64 most() const { return hi; }

    Sums evaluate(double logPsi, Tail tail) const
    {
        const double psi = std::exp(logPsi);
        const qint64 mode = modeAt(psi);
        Sums sums;
        sums.mode = mode;
        sums.s0 = 1.0;
        if (tail == Tail::None) {
            walk<false>(sums, mode, psi, +1, 0, 0);
            walk<false>(sums, mode, psi, -1, 0, 0);
            return sums;
        }
        // The tail's steps from the mode on each side: X >= x lies up from
        // max(1, x - mode) steps, and down to mode - x steps; X <= x the
        // other way round.
        constexpr qint64 kAll = std::numeric_limits<qint64>::max();
        const qint64 toX = x - mode;
        if ((tail == Tail::Upper && toX <= 0) || (tail == Tail::Lower && toX >= 0))
            sums.t0 = 1.0;
        if (tail == Tail::Upper) {
            walk<true>(sums, mode, psi, +1, std::max<qint64>(1, toX), kAll);
            walk<true>(sums, mode, psi, -1, 1, -toX);
        } else {
            walk<true>(sums, mode, psi, +1, 1, toX);
            walk<true>(sums, mode, psi, -1, std::max<qint64>(1, -toX), kAll);
        }
        return sums;
    }

private:
    // The count to walk out from: the continuous root of
    // psi (m - v)(k - v) = (v + 1)(n - k + v + 1), the most probable count
    // to within one. The walks need no more: a side that starts a count off
    // rises for a step, and its sums are the same.
    qint64 modeAt(double psi) const
    {
        const double A = psi - 1.0;
        const double B = -(psi * double(m + k) + double(n - k + 2));
        const double C = psi * double(m) * double(k) - double(n - k + 1);
        double root;
        if (std::fabs(A) < 1e-12) {
            root = -C / B;
        } else {
            const double q = -0.5 * (B - std::sqrt(std::max(0.0, B * B - 4.0 * A * C)));
            const double r1 = q / A, r2 = C / q;
            root = (r1 >= double(lo) - 1.0 && r1 <= double(hi) + 1.0) ? r1 : r2;
        }
        if (std::isfinite(root))
            return std::clamp(qint64(std::floor(root)) + 1, lo, hi);
        // Rounding beyond repair (psi at the ends of its range): bisection.
        qint64 low = lo, high = hi;
        while (low < high) {
            const qint64 mid = low + (high - low) / 2;
            if (psi * ratios.up(mid) >= 1.0)
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    }

    // One side of the mode, outwards (dir +1: up, -1: down). The weights
    // fall along it (log-concavity), so after a term t with ratio r < 1 the
    // rest weighs at most t r / (1 - r). Each ratio is the central one
    // times psi (or 1 / psi): a multiplication, where the tabulated ratios
    // reach. The tail's members on this side are the steps tailFirst to
    // tailLast. Every walk sums the third moment: the limits take a
    // higher-order step with it.
    template <bool kTail>
    void walk(Sums &sums, qint64 mode, double psi, int dir, qint64 tailFirst, qint64 tailLast) const
    {
        const double scale = dir > 0 ? psi : 1.0 / psi;
        const qint64 steps = dir > 0 ? hi - mode : mode - lo;
        // Step i takes the ratio at v = mode + dir (i - 1); the table holds
        // the steps winFirst to winLast.
        const qint64 winFirst = dir > 0 ? ratios.first() - mode + 1 : mode - ratios.last() + 1;
        const qint64 winLast = dir > 0 ? ratios.last() - mode + 1 : mode - ratios.first() + 1;
        const double *table = dir > 0 ? ratios.upTable() : ratios.downTable();
        const qint64 offset = mode - ratios.first();  // of the mode in the table
        Run run{1.0, 0.0, 0, false};
        // The walk in segments, each wholly in or out of the tail and of the
        // table, so that the loop keeps only its own sums (in registers) and
        // no branch on either: the tail's bounds tailFirst - 1 and tailLast,
        // the table's winFirst - 1 and winLast.
        while (!run.done && run.i < steps) {
            qint64 end = steps;
            const auto cut = [&](qint64 bound) {
                if (bound > run.i && bound < end)
                    end = bound;
            };
            cut(winFirst - 1);
            cut(winLast);
            if (kTail) {
                cut(tailFirst - 1);
                cut(tailLast);
            }
            const bool inTail = kTail && run.i + 1 >= tailFirst && run.i + 1 <= tailLast;
            const bool inTable = run.i + 1 >= winFirst && run.i + 1 <= winLast;
            if (inTable)
                segment<kTail, true>(sums, run, end, inTail, scale, dir, mode, table, offset, tailLast);
            else
                segment<kTail, false>(sums, run, end, inTail, scale, dir, mode, table, offset, tailLast);
        }
    }

    struct Run
    {
        double t, j;  // the last term and its offset from the mode
        qint64 i;     // steps taken
        bool done;
    };

    template <bool kTail, bool kTable>
    void segment(Sums &sums, Run &run, qint64 end, bool inTail, double scale, int dir, qint64 mode,
                 const double *table, qint64 offset, qint64 tailLast) const
    {
        const double precision = conditionalodds::kPrecision;
        const double step = dir;
        const double base = sums.s0;
        const double tailBase = sums.t0;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        double t = run.t, j = run.j;
        qint64 i = run.i;
        // One step: the next term and its moments.
        const auto advance = [&]() {
            const qint64 from = dir > 0 ? i : -i;  // v - mode before the step
            ++i;
            double central;
            if constexpr (kTable)
                central = table[offset + from];
            else
                central = dir > 0 ? ratios.upAt(mode + from) : ratios.downAt(mode + from);
            const double r = scale * central;
            t *= r;
            j += step;
            const double tj = t * j;
            const double tjj = tj * j;
            s0 += t;
            s1 += tj;
            s2 += tjj;
            s3 += tjj * j;
            return r;
        };
        // Rounds of eight steps tested once, at their end. Along the side
        // the ratios fall (log-concavity), so each step's t r is at least
        // the last step's, and the sums only grow: when the last step's
        // t r exceeds precision times the sum (by a margin, against
        // rounding), or its ratio is 1 or more, no step of the round could
        // have stopped the walk. Otherwise the round is undone and taken
        // singly.
        if constexpr (kTable) {
            Block block{t, j, i, 0.0, 0.0, 0.0, 0.0};
            blocksOfFour(block, table + offset, dir, scale, end, base);
            t = block.t;
            j = block.j;
            i = block.i;
            s0 = block.s0;
            s1 = block.s1;
            s2 = block.s2;
            s3 = block.s3;
        }
        while (i < end) {
            const double r = advance();
            // What is left weighs at most t r / (1 - r), compared
            // without a division; while it exceeds precision times the
            // sum it exceeds that times 1 - r, and the product can wait.
            const double rest = t * r;
            if (!(r < 1.0))
                continue;
            const double bound = precision * (base + s0);
            if (rest > bound || rest > bound * (1.0 - r))
                continue;
            if (!kTail || i >= tailLast) {
                run.done = true;  // no tail member further out on this side
                break;
            }
            const double tailSum = tailBase + (inTail ? s0 : 0.0);
            if (tailSum == 0.0) {
                sums.tailResolved = false;
                run.done = true;
                break;
            }
            if (rest <= precision * tailSum * (1.0 - r)) {
                run.done = true;
                break;
            }
        }
        run.t = t;
        run.j = j;
        run.i = i;
        sums.s0 += s0;
        sums.s1 += s1;
        sums.s2 += s2;
        sums.s3 += s3;
        if (inTail) {
            sums.t0 += s0;
            sums.t1 += s1;
            sums.t2 += s2;
            sums.t3 += s3;
        }
    }

    const centralratios &ratios;
    qint64 m, n, k, x, lo, hi;
};

// A function of log psi that rises through its root, with its first two
// derivatives; unresolved: only its sign is known.
struct Point
{
    bool resolved = true;
    double f = 0.0, d1 = 0.0, d2 = 0.0;
    double d3 = qQNaN();  // the third derivative, where it is known
};

// Halley's method in a bracket: a step that leaves the bracket, or a point
// whose value is unresolved, gives way to bisection, or while one side is
// still open, to a step that doubles each time.
template <typename Function>
bool solve(Function &&function, double start, double *root)
{
    double low = -kMaxLogPsi, high = kMaxLogPsi;
    bool lowKnown = false, highKnown = false;
    double theta = std::clamp(start, -kMaxLogPsi + 1.0, kMaxLogPsi - 1.0);
    double expansion = 1.0;
    for (int i = 0; i < conditionalodds::kMaxIterations; ++i) {
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
            double step = -p.f / p.d1;
            double tolerance = kNewtonTolerance;
            const double denominator = 2.0 * p.d1 * p.d1 - p.f * p.d2;
            // Halley's correction where it stays a correction.
            if (denominator > 0.0) {
                const double halley = -2.0 * p.f * p.d1 / denominator;
                if (std::fabs(halley) <= 2.0 * std::fabs(step)) {
                    step = halley;
                    tolerance = kHalleyTolerance;
                }
            }
            // With the third derivative, Householder's step of the next order
            // (its error of the order of its fourth power): a step accepted
            // at kHalleyTolerance then leaves far less than 1e-12, although
            // the limits' curvature grows with the table.
            const double cubic = p.d1 * p.d1 * p.d1 - p.f * p.d1 * p.d2 + p.d3 * p.f * p.f / 6.0;
            if (tolerance == kHalleyTolerance && std::isfinite(p.d3) && cubic > 0.0) {
                const double householder = -p.f * (p.d1 * p.d1 - 0.5 * p.f * p.d2) / cubic;
                if (std::fabs(householder) <= 2.0 * std::fabs(step))
                    step = householder;
            }
            if (std::fabs(step) <= tolerance) {
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
                if (next <= -kMaxLogPsi || next >= kMaxLogPsi)
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

// The fitted first cell of the table with margins m, n, k at odds ratio
// psi, the root in the support of (psi - 1) A^2 - b A + psi k m = 0, in the
// form of the two that does not cancel.
double fittedCell(double psi, double m, double n, double k)
{
    const double b = (n - k) + psi * (k + m);
    const double root = std::sqrt(std::max(0.0, b * b - 4.0 * (psi - 1.0) * psi * k * m));
    return b >= 0.0 ? 2.0 * psi * k * m / (b + root) : (b - root) / (2.0 * (psi - 1.0));
}

// Cornfield's limit with the continuity correction: the normal approximation
// to the tail, with the fitted cell for its mean and the asymptotic variance.
// It starts the exact limit about 50 times nearer than Woolf's (1e-4 against
// 5e-3 in log psi on 1,000 cases and 1,000 controls), so one evaluation
// often ends the exact search. Newton from Woolf's limit, in steps of at
// most 1; false if it does not settle, and Woolf's limit starts instead.
bool cornfieldLimit(qint64 x, qint64 m, qint64 n, qint64 k, double z, bool lower, double *theta)
{
    constexpr int kMaxSteps = 50;
    // The approximation lies some 1e-4 from the exact limit at best; a step
    // this small leaves an error near its square, far below that.
    constexpr double kTolerance = 1e-4;
    // Beyond this the fitted cell's products leave the double range long
    // before any table of counts would need it.
    constexpr double kMaxTheta = 50.0;
    const double M = double(m), N = double(n), K = double(k);
    double t = *theta;
    for (int i = 0; i < kMaxSteps; ++i) {
        if (!(std::fabs(t) <= kMaxTheta))
            return false;
        const double A = fittedCell(std::exp(t), M, N, K);
        const double B = K - A, C = M - A, D = N - K + A;
        if (!(A > 0.0 && B > 0.0 && C > 0.0 && D > 0.0))
            return false;
        const double iA = 1.0 / A, iB = 1.0 / B, iC = 1.0 / C, iD = 1.0 / D;
        const double variance = 1.0 / (iA + iB + iC + iD);
        const double sd = std::sqrt(variance);
        // dA/dtheta is the variance; the variance's own slope follows.
        const double slope = -variance * variance * variance * (iB * iB + iC * iC - iA * iA - iD * iD);
        const double g = lower ? double(x) - 0.5 - A - z * sd : A - double(x) - 0.5 - z * sd;
        const double d = (lower ? -variance : variance) - z * slope / (2.0 * sd);
        if (!(lower ? d < 0.0 : d > 0.0))
            return false;
        const double step = std::clamp(-g / d, -1.0, 1.0);
        t += step;
        if (std::fabs(step) <= kTolerance) {
            *theta = t;
            return true;
        }
    }
    return false;
}

} // namespace

int conditionalodds::compute(qint64 a, qint64 b, qint64 c, qint64 d, double confLevel, OddsRatioFigure *out)
{
    if (a < 0 || b < 0 || c < 0 || d < 0 || !out || a + b == 0 || c + d == 0 || a + c == 0 || b + d == 0)
        return BadInput;
    return compute(centralratios(a, b, c, d), confLevel, out);
}

int conditionalodds::compute(const centralratios &ratios, double confLevel, OddsRatioFigure *out)
{
    const qint64 a = ratios.a(), b = ratios.b(), c = ratios.m() - a, d = ratios.n() - b;
    if (!out || a + b == 0 || c + d == 0 || a + c == 0 || b + d == 0)
        return BadInput;
    if (!(confLevel > 0.0 && confLevel <= kMaxConfLevel))
        return BadInput;
    const double alpha = (1.0 - confLevel) / 2.0;

    const Distribution dist(ratios);
    const qint64 x = dist.observed();

    // Starting points: the sample odds ratio and Woolf's limits, 0.5
    // added to every cell when one is empty.
    const double half = (a == 0 || b == 0 || c == 0 || d == 0) ? 0.5 : 0.0;
    const double A = double(a) + half, B = double(b) + half, C = double(c) + half, D = double(d) + half;
    const double logSample = std::log(A) + std::log(D) - std::log(B) - std::log(C);
    const double z = normalUpperQuantile(alpha);
    const double spread = z * std::sqrt(1.0 / A + 1.0 / B + 1.0 / C + 1.0 / D);
    if (!std::isfinite(spread))
        return NoConvergence;

    // The estimate: the mean at psi is a, rising with log psi at the rate
    // of the variance.
    OddsRatioFigure figure;
    double root = 0.0;
    if (x == dist.least()) {
        figure.estimate = 0.0;
    } else if (x == dist.most()) {
        figure.estimate = kInfinity;
    } else {
        const auto mean = [&](double theta) {
            const Sums s = dist.evaluate(theta, Tail::None);
            const double mu = s.s1 / s.s0;
            const double m2 = s.s2 / s.s0;
            Point p;
            p.f = mu - double(x - s.mode);
            p.d1 = m2 - mu * mu;
            p.d2 = s.s3 / s.s0 - 3.0 * mu * m2 + 2.0 * mu * mu * mu;
            return p;
        };
        if (!solve(mean, logSample, &root))
            return NoConvergence;
        figure.estimate = std::exp(root);
    }

    // The limits: ln P(tail) - ln alpha rises (lower limit, X >= a) or
    // falls (upper limit, X <= a) with log psi, at the rate of the tail's
    // mean less the whole mean.
    const double logAlpha = std::log(alpha);
    const auto tailPoint = [&](double theta, Tail tail) {
        const Sums s = dist.evaluate(theta, tail);
        const double sign = tail == Tail::Upper ? 1.0 : -1.0;
        Point p;
        if (!s.tailResolved) {
            p.resolved = false;
            p.f = -sign;
            return p;
        }
        const double mu = s.s1 / s.s0;
        const double tailMu = s.t1 / s.t0;
        const double variance = s.s2 / s.s0 - mu * mu;
        const double m2 = s.s2 / s.s0, tailM2 = s.t2 / s.t0;
        const double tailVariance = tailM2 - tailMu * tailMu;
        const double skew = s.s3 / s.s0 - 3.0 * mu * m2 + 2.0 * mu * mu * mu;
        const double tailSkew = s.t3 / s.t0 - 3.0 * tailMu * tailM2 + 2.0 * tailMu * tailMu * tailMu;
        p.f = sign * (std::log(s.t0 / s.s0) - logAlpha);
        p.d1 = sign * (tailMu - mu);
        p.d2 = sign * (tailVariance - variance);
        p.d3 = sign * (tailSkew - skew);
        return p;
    };
    const qint64 m = ratios.m(), n = ratios.n(), k = ratios.k();
    if (x == dist.least()) {
        figure.low = 0.0;
    } else {
        double start = logSample - spread;
        cornfieldLimit(x, m, n, k, z, true, &start);
        if (!solve([&](double theta) { return tailPoint(theta, Tail::Upper); }, start, &root))
            return NoConvergence;
        figure.low = std::exp(root);
    }
    if (x == dist.most()) {
        figure.high = kInfinity;
    } else {
        double start = logSample + spread;
        cornfieldLimit(x, m, n, k, z, false, &start);
        if (!solve([&](double theta) { return tailPoint(theta, Tail::Lower); }, start, &root))
            return NoConvergence;
        figure.high = std::exp(root);
    }
    *out = figure;
    return Finished;
}

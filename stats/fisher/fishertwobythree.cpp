#include "fishertwobythree.h"

#include "familywalk.h"

#include <algorithm>
#include <type_traits>

namespace {

// C(c, x + 1) / C(c, x) and C(c, x - 1) / C(c, x).
inline double up(qint64 c, qint64 x)
{
    return double(c - x) / double(x + 1);
}

inline double down(qint64 c, qint64 x)
{
    return double(x) / double(c - x + 1);
}

// up(c, x) * down(d, y) with one division (the products stay below 2^62).
inline double upDown(qint64 c, qint64 x, qint64 d, qint64 y)
{
    return double((c - x) * y) / double((x + 1) * (d - y + 1));
}

// Taking a table off a carried tail is the one subtraction: it multiplies
// the tail's relative rounding by sum / (sum - table). Past this factor
// since the tail was last summed term by term, the tail is summed afresh.
constexpr double kMaxAmplification = 64.0;
// The roundings a carried weight goes through from one row to the next.
constexpr quint64 kCarrySteps = 4;

enum class Sum { Done, Stopped, BeyondRange };

// Real: double first, long double when the weights leave doubles' range.
template <typename Real>
class Rows final
{
public:
    Rows(const int *x, const int *c)
    {
        const qint64 n = qint64(c[0]) + c[1] + c[2];
        int outer = 0;
        for (int j = 1; j < 3; ++j)
            if (double(c[j]) * double(n - c[j]) < double(c[outer]) * double(n - c[outer]))
                outer = j;
        const int inB = outer == 0 ? 1 : 0;
        const int inC = outer == 2 ? 1 : 2;
        cA = c[outer];
        cB = c[inB];
        cC = c[inC];
        m = qint64(x[0]) + x[1] + x[2];
        oA = x[outer];
        oB = x[inB];
    }

    Sum run(double *P, double *midP);

private:
    // A table of a row (by its b) with its weight relative to the observed
    // one and the number of ratios multiplied to reach it.
    struct Anchor
    {
        qint64 b;
        Real u;
        quint64 chain;
    };

    // The counted tables of one side of a row, from the boundary b (the
    // counted table next to the heavier ones, weighing u) outwards.
    struct Tail
    {
        qint64 b = 0;
        Real u = 0;
        Real sum = 0;
        quint64 chain = 0;
        double amplification = 1.0;
    };

    struct Carry
    {
        bool valid = false;
        Tail low, high;  // b at most low.b, and at least high.b
    };

    bool counts(Real u, quint64 chain) const { return u <= familywalk::tieLimit<Real>(chain); }

    // Whether the next weight (ratio < 1 to the last, falling after it) and
    // all beyond it leave `sum` as it is: in doubles once below the last
    // place of the sum, as walkFamilySide() stops.
    static bool negligible(Real next, double ratio, Real sum)
    {
        if constexpr (std::is_same_v<Real, double>)
            return next < familywalk::kBelowLastPlace * sum;
        return next <= Real(familywalk::kNegligible) * sum * Real(1.0 - ratio);
    }

    // The ratio of the table with b + dir to that with b in the row of r
    // individuals in columns B and C (b moves on); negative when it does
    // not exist.
    double stepB(qint64 r, qint64 &b, int dir) const
    {
        const qint64 xc = r - b;
        double ratio;
        if (dir > 0) {
            if (b >= cB || xc <= 0)
                return -1.0;
            ratio = upDown(cB, b, cC, xc);
        } else {
            if (b <= 0 || xc >= cC)
                return -1.0;
            ratio = upDown(cC, xc, cB, b);
        }
        b += dir;
        return ratio;
    }

    // From a table of row a to one of row a + dir: x_C or b gives the
    // count that column A takes or gives back.
    Anchor transfer(qint64 a, Anchor at, int dir) const
    {
        const qint64 xc = m - a - at.b;
        const double outer = dir > 0 ? up(cA, a) : down(cA, a);
        if (dir > 0) {
            if (xc >= 1)
                return {at.b, at.u * outer * down(cC, xc), at.chain + 1};
            return {at.b - 1, at.u * outer * down(cB, at.b), at.chain + 1};
        }
        if (xc < cC)
            return {at.b, at.u * outer * up(cC, xc), at.chain + 1};
        return {at.b + 1, at.u * outer * up(cB, at.b), at.chain + 1};
    }

    // To the row's most probable table, or as far as the weights stay in
    // the range of Real (the caller then sees a weight beyond it).
    Anchor climb(qint64 r, Anchor at)
    {
        for (const int dir : {+1, -1}) {
            for (;;) {
                qint64 b = at.b;
                const double ratio = stepB(r, b, dir);
                if (!(ratio > 1.0))
                    break;
                at = {b, at.u * ratio, at.chain + 1};
                ++m_work;
                if (familywalk::beyondCeiling(at.u))
                    return at;
            }
        }
        return at;
    }

    // The weight of the tables from `at` outwards (away from the row's
    // mode, so the weights fall) that tie with the observed one.
    Real tiesFrom(qint64 r, Anchor at, int dir)
    {
        Real sum = 0;
        while (familywalk::isTie(at.u, at.chain)) {
            sum += at.u;
            qint64 b = at.b;
            const double ratio = stepB(r, b, dir);
            if (ratio < 0.0)
                break;
            at = {b, at.u * ratio, at.chain + 1};
            ++m_work;
        }
        return sum;
    }

    // One side of a row from its mode, which is heavier than the observed
    // table: the heavier tables into `heavy`, then the counted tail. Beyond
    // the mode the weights only fall, so once one counts, all further do.
    // False when the heavier ones reach the edge of the support (no tail on
    // this side).
    bool scanSide(qint64 r, Anchor at, int dir, Real &heavy, Tail &tail)
    {
        tail = Tail{};
        for (;;) {
            qint64 b = at.b;
            const double ratio = stepB(r, b, dir);
            if (ratio < 0.0)
                return false;
            at = {b, at.u * ratio, at.chain + 1};
            ++m_work;
            if (counts(at.u, at.chain))
                break;
            heavy += at.u;
        }
        tail = Tail{at.b, at.u, 0, at.chain, 1.0};
        sumTail(r, tail, dir, &m_ties);
        return true;
    }

    // A tail summed from its boundary outwards (dir) until the rest cannot
    // change it; the ties among its tables go to *ties when asked.
    void sumTail(qint64 r, Tail &t, int dir, Real *ties)
    {
        Anchor at{t.b, t.u, t.chain};
        t.sum = 0;
        t.amplification = 1.0;
        for (;;) {
            t.sum += at.u;
            // Only a weight near the observed one's can tie with it.
            if (ties && at.u > Real(0.5) && familywalk::isTie(at.u, at.chain))
                *ties += at.u;
            qint64 b = at.b;
            const double ratio = stepB(r, b, dir);
            if (ratio < 0.0 || (ratio < 1.0 && negligible(at.u * ratio, ratio, t.sum)))
                return;
            at = {b, at.u * ratio, at.chain + 1};
            ++m_work;
        }
    }

    // Both sides of a row whose mode is heavier than the observed table:
    // its tails into c (an absent one weighs 0) and its heavier weight,
    // mode included. The carry may go on only when both tails exist.
    Real scanTails(qint64 r, Anchor mode, Carry &c)
    {
        Real heavy = mode.u;
        const bool high = scanSide(r, mode, +1, heavy, c.high);
        const bool low = scanSide(r, mode, -1, heavy, c.low);
        c.valid = high && low;
        return heavy;
    }

    // Every table of a row whose mode counts, from the mode outwards on
    // side dir, into sum (which holds the mode).
    void sumSide(qint64 r, Anchor at, int dir, Real &sum, Real &ties)
    {
        for (;;) {
            qint64 b = at.b;
            const double ratio = stepB(r, b, dir);
            if (ratio < 0.0)
                return;
            at = {b, at.u * ratio, at.chain + 1};
            ++m_work;
            sum += at.u;
            if (familywalk::isTie(at.u, at.chain))
                ties += at.u;
            if (ratio < 1.0 && negligible(at.u * ratio, ratio, sum))
                return;
        }
    }

    // The tables of a row that the carry cannot reach, from its mode: all
    // of them when the mode counts, else the two tails, which the next
    // rows then carry.
    void freshRow(qint64 a, Anchor mode, Real rowTotal, Carry &carry)
    {
        const qint64 r = m - a;
        carry.valid = false;
        if (counts(mode.u, mode.chain)) {
            m_counting += rowTotal;  // no table of the row is heavier
            if (familywalk::isTie(mode.u, mode.chain)) {
                m_ties += tiesFrom(r, mode, +1);
                qint64 b = mode.b;
                const double ratio = stepB(r, b, -1);
                if (ratio >= 0.0)
                    m_ties += tiesFrom(r, {b, mode.u * ratio, mode.chain + 1}, -1);
            }
            return;
        }
        scanTails(r, mode, carry);
        m_counting += carry.high.sum;
        m_counting += carry.low.sum;
    }

    // A carried tail made the tail of row r on its side (outward: -1 for
    // the low tail, +1 for the high): its boundary given back while heavier
    // than the limit, then moved in while the next table counts, never as
    // far as `limit`, the other tail's boundary. False when the carry fails
    // (see freshRow()).
    bool settle(qint64 r, Tail &t, int outward, qint64 limit)
    {
        while (!counts(t.u, t.chain)) {
            const Real before = t.sum;
            t.sum -= t.u;
            qint64 b = t.b;
            const double ratio = stepB(r, b, outward);
            ++m_work;
            if (ratio < 0.0 || !(t.sum > 0))
                return false;
            t.amplification *= double(before / t.sum);
            t = Tail{b, t.u * ratio, t.sum, t.chain + 1, t.amplification};
            // Too many digits lost to removals: the tail alone afresh.
            if (t.amplification > kMaxAmplification)
                sumTail(r, t, outward, nullptr);
        }
        for (;;) {
            qint64 b = t.b;
            const double ratio = stepB(r, b, -outward);
            ++m_work;
            // Past the mode with every table counted, or at the other tail.
            if (!(ratio > 1.0) || (b - limit) * outward <= 0)
                return false;
            const Real next = t.u * ratio;
            if (!counts(next, t.chain + 1))
                return true;
            t.b = b;
            t.u = next;
            t.sum += next;
            ++t.chain;
        }
    }

    // Both tails of row a carried to row a + dir, or false. With r the
    // individuals of row a in columns B and C, G the low tail up to L and
    // g its weights, drawing one more (r + 1) gives
    //   G'(L + 1) = [(N - r) G(L) + (cC - r + L + 1) g(L + 1)] / (r + 1),
    // and one fewer (r - 1)
    //   G'(L) = [r G(L) + (cB - L) g'(L)] / (N - r + 1),
    // with N = cB + cC; the high tail the same with B and C exchanged. Every
    // term is positive: the carry adds, it never cancels.
    bool carry(qint64 a, int dir, Carry &c)
    {
        const qint64 r = m - a;
        const Real outer = dir > 0 ? up(cA, a) : down(cA, a);
        const double pool = double(cB + cC);
        Tail &lo = c.low, &hi = c.high;
        const qint64 L = lo.b, R = hi.b;
        if (dir < 0) {
            // r + 1: the tables just inside each boundary weigh in.
            const Real inLow = lo.u * upDown(cB, L, cC, r - L);
            const Real inHigh = hi.u * upDown(cC, r - R, cB, R);
            const Real share = outer / Real(double(r + 1));
            lo.sum = share * (Real(pool - double(r)) * lo.sum + Real(double(cC - r + L + 1)) * inLow);
            lo.u = outer * inLow * Real(double(cC - r + L + 1) / double(r - L));
            lo.b = L + 1;
            hi.sum = share * (Real(pool - double(r)) * hi.sum + Real(double(cB - R + 1)) * inHigh);
            hi.u = outer * hi.u * Real(double(cC - r + R) / double(r + 1 - R));
        } else {
            // r - 1: the boundaries' own tables in the next row weigh in.
            if (L >= r || R < 1)
                return false;
            const Real share = outer / Real(pool - double(r) + 1.0);
            const Real gLow = lo.u * Real(double(r - L) / double(cC - r + L + 1));
            const Real gHigh = hi.u * Real(double(R) / double(cB - R + 1));
            lo.sum = share * (Real(double(r)) * lo.sum + Real(double(cB - L)) * gLow);
            lo.u = outer * gLow;
            hi.sum = share * (Real(double(r)) * hi.sum + Real(double(cC - r + R)) * gHigh);
            hi.u = outer * gHigh;
            hi.b = R - 1;
        }
        lo.chain += kCarrySteps;
        hi.chain += kCarrySteps;
        m_work += 2;
        if (!(lo.u > 0) || !(hi.u > 0))
            return false;
        const qint64 rNext = r - dir;
        if (!settle(rNext, lo, -1, hi.b) || !settle(rNext, hi, +1, lo.b) || lo.b + 1 >= hi.b)
            return false;
        // Ties sit at the boundaries, and only there as a rule.
        if (familywalk::isTie(lo.u, lo.chain))
            m_ties += tiesFrom(rNext, {lo.b, lo.u, lo.chain}, -1);
        if (familywalk::isTie(hi.u, hi.chain))
            m_ties += tiesFrom(rNext, {hi.b, hi.u, hi.chain}, +1);
        m_counting += lo.sum + hi.sum;
        return true;
    }

    // The observed row: every table, from its mode; false when a weight
    // leaves the range of Real.
    bool observedRow(Anchor &mode, Real &total, Carry &c)
    {
        const qint64 r = m - oA;
        mode = climb(r, {oB, Real(1), 0});
        if (familywalk::beyondCeiling(mode.u))
            return false;
        c.valid = false;
        if (counts(mode.u, mode.chain)) {
            total = mode.u;
            m_ties = familywalk::isTie(mode.u, mode.chain) ? mode.u : Real(0);
            sumSide(r, mode, +1, total, m_ties);
            sumSide(r, mode, -1, total, m_ties);
            m_counting = total;
            return !familywalk::beyondCeiling(total);
        }
        m_ties = 0;
        const Real heavy = scanTails(r, mode, c);
        m_counting = c.high.sum + c.low.sum;
        total = heavy + m_counting;
        return !familywalk::beyondCeiling(total);
    }

    qint64 cA = 0, cB = 0, cC = 0;
    qint64 m = 0;
    qint64 oA = 0, oB = 0;
    Real m_counting = 0;
    Real m_total = 0;
    Real m_ties = 0;
    quint64 m_work = 0;
};

template <typename Real>
Sum Rows<Real>::run(double *P, double *midP)
{
    Anchor observedMode{oB, Real(1), 0};
    Real observedTotal = 0;
    Carry observedCarry;
    if (!observedRow(observedMode, observedTotal, observedCarry)) {
        if constexpr (std::is_same_v<Real, double>)
            return Sum::BeyondRange;
        *P = 0.0;  // heavier than any double P-value allows
        if (midP)
            *midP = 0.0;
        return Sum::Done;
    }
    m_total = observedTotal;
    for (const int dir : {+1, -1}) {
        Carry tails = observedCarry;
        Anchor at = observedMode;
        Real rowTotal = observedTotal;
        // Whether the rows from here on all weigh less than half the
        // observed table: then each of their tables counts and none ties
        // (which takes at least 1 - 1e-10 of it, far above the roundings of
        // a row's total), so a row needs its total only. Past a row total
        // that falls, the totals only fall further (they are log-concave in
        // a).
        bool light = false;
        for (qint64 a = oA;;) {
            if (m_work >= familywalk::kStepsPerPoll) {
                m_work = 0;
                if (pollCalcEvents())
                    return Sum::Stopped;
            }
            const qint64 next = a + dir;
            const qint64 rNext = m - next;
            if (next < 0 || next > cA || rNext < 0 || rNext > cB + cC)
                break;
            const double rho = dir > 0 ? up(cA, a) * down(cB + cC, m - a) : down(cA, a) * up(cB + cC, m - a);
            if (rho < 1.0 && negligible(rowTotal * rho, rho, m_counting))
                break;
            if (!light && rho < 1.0 && rowTotal * rho < Real(0.5))
                light = true;
            rowTotal *= rho;
            if (familywalk::beyondCeiling(rowTotal) || familywalk::beyondCeiling(m_total + rowTotal)) {
                if constexpr (std::is_same_v<Real, double>)
                    return Sum::BeyondRange;
                *P = 0.0;
                if (midP)
                    *midP = 0.0;
                return Sum::Done;
            }
            m_total += rowTotal;
            if (light) {
                m_counting += rowTotal;
                a = next;
                continue;
            }
            if (tails.valid) {
                // A table of this row to start from should the carry fail:
                // the low boundary, counted and next to the heavier middle.
                const Anchor boundary{tails.low.b, tails.low.u, tails.low.chain};
                if (carry(a, dir, tails)) {
                    a = next;
                    continue;
                }
                at = boundary;
            }
            at = climb(rNext, transfer(a, at, dir));
            a = next;
            freshRow(a, at, rowTotal, tails);
        }
    }
    *P = std::min(1.0, double(m_counting / m_total));
    if (midP)
        *midP = std::min(1.0, double((m_counting - Real(0.5) * m_ties) / m_total));
    return Sum::Done;
}

} // namespace

int fishertwobythree::pValue(const int *x, const int *c, double *P, double *midP)
{
    Sum sum = Rows<double>(x, c).run(P, midP);
    if (sum == Sum::BeyondRange)
        sum = Rows<long double>(x, c).run(P, midP);
    return sum == Sum::Stopped ? Stopped : Finished;
}

#include "fishersmall.h"

#include "centralratios.h"
#include "familywalk.h"

#include <algorithm>
#include <cmath>
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

// A whole row counted from its total rather than term by term loses about
// an ulp of the total; below this share of the total, the counted part is
// summed term by term instead.
constexpr double kSubtractShare = 1.0 / 1024;

// How a sum ended: its sums were left in doubles' range (the caller then
// sums again in long doubles).
enum class Sum { Done, Stopped, BeyondRange };

// The P-value and mid-p of a 2 x 2 family once both sides are walked.
template <typename Real>
Sum finished(const FamilySumsOf<Real> &sums, double *P, double *midP)
{
    if (sums.beyondRange)
        return Sum::BeyondRange;
    *P = familyProbability(sums);
    if (midP)
        *midP = familyMidP(sums);
    return Sum::Done;
}

// 2 x 3: the first-row count a of the outer column A (the most unequal
// column, whose count has the fewest likely values) fixes a row of tables,
// in which the count b of column B fixes the rest (x_C = m - a - b). Every
// row is log-concave in b and the row totals are log-concave in a. Real:
// double first, long double when the weights leave doubles' range.
template <typename Real>
class twoByThree final
{
public:
    twoByThree(const int *x, const int *c)
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

    Sum run(double *P, double *midP)
    {
        // The observed row, summed out in full: its total anchors the rest.
        FamilySumsOf<Real> first;
        qint64 b = oB;
        const qint64 r = m - oA;
        if (!walkFamilySide([&](quint64) { return stepB(r, b, +1); }, first))
            return Sum::Stopped;
        b = oB;
        if (!walkFamilySide([&](quint64) { return stepB(r, b, -1); }, first))
            return Sum::Stopped;
        if (first.beyondRange)
            return Sum::BeyondRange;
        m_counting = first.counting;
        m_total = first.total;
        m_ties = first.ties;
        for (const int dir : {+1, -1}) {
            Anchor at{oB, Real(1), 0};
            Real rowTotal = first.total;
            // Whether the rows from here on all weigh less than half the
            // observed table: then each of their tables counts and none
            // ties (which takes at least 1 - 1e-10 of it, far above the
            // roundings of a row's total), so a row needs its total only.
            // Past a row total that falls, the totals only fall further
            // (they are log-concave in a).
            bool light = false;
            for (qint64 a = oA;;) {
                const qint64 next = a + dir;
                const qint64 rNext = m - next;
                if (next < 0 || next > cA || rNext < 0 || rNext > cB + cC)
                    break;
                const double rho = dir > 0 ? up(cA, a) * down(cB + cC, m - a) : down(cA, a) * up(cB + cC, m - a);
                if (rho < 1.0 && negligible(rowTotal * rho, rho))
                    break;
                if (!light && rho < 1.0 && rowTotal * rho < Real(0.5))
                    light = true;
                if (!light)
                    at = transfer(a, at, dir);
                a = next;
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
                    continue;
                }
                at = climb(a, at);
                countRow(a, at, rowTotal);
                if (m_work >= familywalk::kStepsPerPoll) {
                    m_work = 0;
                    if (pollCalcEvents())
                        return Sum::Stopped;
                }
            }
        }
        *P = std::min(1.0, double(m_counting / m_total));
        if (midP)
            *midP = std::min(1.0, double((m_counting - Real(0.5) * m_ties) / m_total));
        return Sum::Done;
    }

private:
    struct Anchor
    {
        qint64 b;
        Real u;        // weight relative to the observed table
        quint64 chain; // ratios multiplied to reach it
    };

    // Whether the next weight, with ratio < 1 to the last, and every one
    // after it (falling) can be left out. In doubles: once it is below
    // kBelowLastPlace of the counted sum (at most the total), adding it or
    // any later one would change neither sum, so the sums are those of
    // going on, to the bit, as in walkFamilySide().
    bool negligible(Real next, double ratio) const
    {
        if constexpr (std::is_same_v<Real, double>)
            return next < familywalk::kBelowLastPlace * m_counting;
        return next <= Real(familywalk::kNegligible) * m_counting * Real(1.0 - ratio);
    }

    // The ratio of the table with b + dir to that with b in row r (b
    // moves on), negative when it does not exist.
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

    // To the row's most probable table.
    Anchor climb(qint64 a, Anchor at)
    {
        const qint64 r = m - a;
        for (const int dir : {+1, -1}) {
            for (;;) {
                qint64 b = at.b;
                const double ratio = stepB(r, b, dir);
                if (!(ratio > 1.0))
                    break;
                at = {b, at.u * ratio, at.chain + 1};
                ++m_work;
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

    // Adds the tables of row a that count, from its mode.
    void countRow(qint64 a, Anchor mode, Real rowTotal)
    {
        const qint64 r = m - a;
        if (mode.u <= familywalk::tieLimit<Real>(mode.chain)) {
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
        // The heavier middle, from the mode to the first table that counts
        // on either side.
        Real middle = mode.u;
        Anchor cross[2];
        double crossRatio[2] = {-1.0, -1.0};
        for (int side = 0; side < 2; ++side) {
            const int dir = side == 0 ? +1 : -1;
            Anchor at = mode;
            for (;;) {
                qint64 b = at.b;
                const double ratio = stepB(r, b, dir);
                if (ratio < 0.0)
                    break;
                at = {b, at.u * ratio, at.chain + 1};
                ++m_work;
                if (at.u <= familywalk::tieLimit<Real>(at.chain)) {
                    cross[side] = at;
                    crossRatio[side] = ratio;
                    break;
                }
                middle += at.u;
            }
        }
        for (int side = 0; side < 2; ++side)
            if (crossRatio[side] >= 0.0)
                m_ties += tiesFrom(r, cross[side], side == 0 ? +1 : -1);
        const Real rest = rowTotal - middle;
        if (rest >= Real(kSubtractShare) * rowTotal) {
            m_counting += rest;
            return;
        }
        // A small remainder: sum the two tails outwards from their first tables.
        for (int side = 0; side < 2; ++side) {
            if (crossRatio[side] < 0.0)
                continue;
            const int dir = side == 0 ? +1 : -1;
            Anchor at = cross[side];
            m_counting += at.u;
            for (double ratio = crossRatio[side];;) {
                if (negligible(at.u * ratio, ratio))
                    break;
                qint64 b = at.b;
                ratio = stepB(r, b, dir);
                if (ratio < 0.0)
                    break;
                at = {b, at.u * ratio, at.chain + 1};
                ++m_work;
                m_counting += at.u;
            }
        }
    }

    qint64 cA = 0, cB = 0, cC = 0;
    qint64 m = 0;
    qint64 oA = 0, oB = 0;
    Real m_counting = 0;
    Real m_total = 0;
    Real m_ties = 0;
    quint64 m_work = 0;
};

} // namespace

bool fishersmall::qualifies(const int *x, const int *c, int N, qint64 total)
{
    if ((N != 2 && N != 3) || !x || !c)
        return false;
    qint64 sum = 0;
    for (int j = 0; j < N; ++j) {
        if (c[j] < 1 || x[j] < 0 || x[j] > c[j])
            return false;
        sum += c[j];
    }
    return sum == total;
}

namespace {

// One side of a 2 x 2 family in doubles, outwards from the observed table,
// with the sums of walkFamilySide() to the bit. Where four members in a row
// come from the tabulated ratios and all count without tying (or all are
// clearly heavier than the observed one), and the last of them shows that
// none could end the walk (the ratios fall along the side and the counted
// sum only grows), they are added in order without the tests of each.
bool walkSideInDoubles(const centralratios &ratios, int dir, FamilySumsOf<double> &sums)
{
    // Against the rounding of the ratios that the argument takes as falling.
    constexpr double kMargin = 1.0 + 1e-9;
    constexpr quint64 kPoll = familywalk::kStepsPerPoll;
    const qint64 end = dir > 0 ? ratios.most() : ratios.least();
    const double *table = dir > 0 ? ratios.upTable() : ratios.downTable();
    const qint64 first = ratios.first(), last = ratios.last();
    qint64 v = ratios.a();
    double term = 1.0;
    for (quint64 i = 0;; ++i) {
        const qint64 v3 = v + 3 * dir;  // the ratio of the fourth member
        const quint64 poll = (i + 1) % kPoll;
        if (dir * (end - v) >= 4 && v >= first && v <= last && v3 >= first && v3 <= last && poll != 0
            && poll <= kPoll - 4) {
            const double *at = table + (v - first);
            const double r0 = at[0], r1 = at[dir], r2 = at[2 * dir], r3 = at[3 * dir];
            const double t1 = term * r0, t2 = t1 * r1, t3 = t2 * r2, t4 = t3 * r3;
            const double lightest = std::min(std::min(t1, t2), std::min(t3, t4));
            const double heaviest = std::max(std::max(t1, t2), std::max(t3, t4));
            const bool counted = heaviest < 0.5;
            if (counted || (lightest > 2.0 && heaviest <= familywalk::kDoubleCeiling)) {
                const double counting = counted ? (((sums.counting + t1) + t2) + t3) + t4 : sums.counting;
                if (!(r3 < 1.0) || t4 * r3 >= kMargin * familywalk::kBelowLastPlace * counting) {
                    sums.total = (((sums.total + t1) + t2) + t3) + t4;
                    sums.counting = counting;
                    term = t4;
                    v += 4 * dir;
                    i += 3;
                    continue;
                }
            }
        }
        // One member, as walkFamilySide() takes it.
        if ((i + 1) % kPoll == 0 && pollCalcEvents())
            return false;
        if (dir > 0 ? v >= end : v <= end)
            return true;
        const double r = dir > 0 ? ratios.up(v) : ratios.down(v);
        v += dir;
        term *= r;
        if (familywalk::beyondCeiling(term)) {
            sums.beyondRange = true;
            return true;
        }
        sums.total += term;
        if (term <= familywalk::tieLimit<double>(i + 1)) {
            sums.counting += term;
            if (familywalk::isTie(term, i + 1))
                sums.ties += term;
        }
        if (r < 1.0 && term * r < familywalk::kBelowLastPlace * sums.counting)
            return true;
    }
}

// 2 x 2: one more in the first column is one fewer in the second. The
// ratios are those of upDown() on the same counts, to the bit.
template <typename Real>
Sum twoByTwo(const centralratios &ratios, double *P, double *midP)
{
    FamilySumsOf<Real> sums;
    if constexpr (std::is_same_v<Real, double>) {
        if (!walkSideInDoubles(ratios, +1, sums) || !walkSideInDoubles(ratios, -1, sums))
            return Sum::Stopped;
    } else {
        const qint64 least = ratios.least(), most = ratios.most();
        qint64 v = ratios.a();
        if (!walkFamilySide(
                [&](quint64) {
                    if (v >= most)
                        return -1.0;
                    return ratios.up(v++);
                },
                sums))
            return Sum::Stopped;
        v = ratios.a();
        if (!walkFamilySide(
                [&](quint64) {
                    if (v <= least)
                        return -1.0;
                    return ratios.down(v--);
                },
                sums))
            return Sum::Stopped;
    }
    return finished(sums, P, midP);
}

// 2 x 2 of counts alone (one walk, which would not repay a table of
// ratios): one more in the first column is one fewer in the second.
template <typename Real>
Sum twoByTwo(const int *x, const int *c, double *P, double *midP)
{
    FamilySumsOf<Real> sums;
    qint64 x0 = x[0], x1 = x[1];
    const qint64 c0 = c[0], c1 = c[1];
    if (!walkFamilySide(
            [&](quint64) {
                if (x0 >= c0 || x1 <= 0)
                    return -1.0;
                const double r = upDown(c0, x0, c1, x1);
                ++x0;
                --x1;
                return r;
            },
            sums))
        return Sum::Stopped;
    x0 = x[0];
    x1 = x[1];
    if (!walkFamilySide(
            [&](quint64) {
                if (x0 <= 0 || x1 >= c1)
                    return -1.0;
                const double r = upDown(c1, x1, c0, x0);
                --x0;
                ++x1;
                return r;
            },
            sums))
        return Sum::Stopped;
    return finished(sums, P, midP);
}

} // namespace

int fishersmall::pValue(const int *x, const int *c, int N, double *P, double *midP)
{
    // In doubles first; in long doubles when the weights leave their range
    // (a P-value below about 1e-280).
    Sum sum;
    if (N == 3) {
        sum = twoByThree<double>(x, c).run(P, midP);
        if (sum == Sum::BeyondRange)
            sum = twoByThree<long double>(x, c).run(P, midP);
    } else {
        sum = twoByTwo<double>(x, c, P, midP);
        if (sum == Sum::BeyondRange)
            sum = twoByTwo<long double>(x, c, P, midP);
    }
    return sum == Sum::Stopped ? Stopped : Finished;
}

int fishersmall::pValue(const centralratios &ratios, double *P, double *midP)
{
    Sum sum = twoByTwo<double>(ratios, P, midP);
    if (sum == Sum::BeyondRange)
        sum = twoByTwo<long double>(ratios, P, midP);
    return sum == Sum::Stopped ? Stopped : Finished;
}

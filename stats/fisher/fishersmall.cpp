#include "fishersmall.h"

#include "centralratios.h"
#include "familywalk.h"
#include "fishertwobythree.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {

// C(c, x + 1) / C(c, x) times C(d, y - 1) / C(d, y), with one division (the products stay below 2^62).
inline double upDown(qint64 c, qint64 x, qint64 d, qint64 y)
{
    return double((c - x) * y) / double((x + 1) * (d - y + 1));
}

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
    if (N == 3)
        return fishertwobythree::pValue(x, c, P, midP) == fishertwobythree::Finished ? Finished : Stopped;
    sum = twoByTwo<double>(x, c, P, midP);
    if (sum == Sum::BeyondRange)
        sum = twoByTwo<long double>(x, c, P, midP);
    return sum == Sum::Stopped ? Stopped : Finished;
}

int fishersmall::pValue(const centralratios &ratios, double *P, double *midP)
{
    Sum sum = twoByTwo<double>(ratios, P, midP);
    if (sum == Sum::BeyondRange)
        sum = twoByTwo<long double>(ratios, P, midP);
    return sum == Sum::Stopped ? Stopped : Finished;
}

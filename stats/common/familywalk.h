#pragma once

#include "calcpoll.h"

#include <QtGlobal>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <type_traits>

// Sums over a one-parameter family of tables (the heterozygote count of a
// two-allele genotype table, the first cell of a 2 x 2 table, the shift of
// the gene-interaction test) whose weights are log-concave along the
// parameter. Each weight is measured relative to the observed member, which
// weighs 1, and is reached from it by the exact ratios of neighbouring
// members: no log-factorial enters, so the comparison with the observed
// weight is as sharp at n = 10^8 as at n = 10.
//
// The terms are long doubles: their range (to 10^4932) holds the weight of
// the most probable member relative to any observed one that a P-value in
// double range can come from. A walk may first be tried in doubles, which
// cost a third as much: it then reports beyondRange when a weight leaves
// what double sums hold, and is done again in long doubles.
template <typename Real>
struct FamilySumsOf
{
    Real counting = 1;        // members no heavier than the observed one
    Real total = 1;           // every member
    Real ties = 1;            // the counted members as heavy as the observed one
    bool beyondRange = false;  // doubles only: see familywalk::kDoubleCeiling
};

struct FamilySums : FamilySumsOf<long double>
{
};

namespace familywalk {

// A member counts when its weight is at most the observed one's times
// 1 + kTieTolerance (+ the rounding of the ratios that led to it): the
// relative tolerance that 1e-10 on the log scale stands for.
constexpr double kTieTolerance = 1e-10;
// Each step multiplies by one ratio, itself a few roundings off.
constexpr double kStepRounding = 8 * DBL_EPSILON;
// A side is left once everything further can add no more than this share
// of the counted weight (which is at least the observed member's 1).
constexpr long double kNegligible = 0x1p-64L;
// In doubles a side is left once the next member weighs less than this
// share of the counted weight: it and every lighter one are then below half
// a unit in the last place of both sums, so adding them would change
// neither (the same sums as going on to kNegligible, in fewer steps; 2^-55
// rather than 2^-54 leaves room for a ratio a few roundings off).
constexpr double kBelowLastPlace = 0x1p-55;
// Steps between two polls for Stop: well under a millisecond of work.
constexpr quint64 kStepsPerPoll = quint64(1) << 16;
// The largest weight a walk in doubles keeps: sums of 2^63 such weights
// still fit a double.
constexpr double kDoubleCeiling = 0x1p960;

template <typename Real = long double>
inline Real tieLimit(quint64 steps)
{
    return Real(1) + Real(kTieTolerance) + Real(kStepRounding) * static_cast<Real>(steps);
}

// Whether a member that counts (weight at most tieLimit) also ties with the
// observed one: it is within the same tolerance below it.
template <typename Real>
inline bool isTie(Real weight, quint64 steps)
{
    return weight * tieLimit<Real>(steps) >= Real(1);
}

// Whether a weight leaves what the sums can hold; for long doubles only
// infinity does, and the caller takes it as a P-value of 0.
template <typename Real>
inline bool beyondCeiling(Real weight)
{
    if constexpr (std::is_same_v<Real, double>)
        return !(weight <= kDoubleCeiling);
    else
        return std::isinf(weight);
}

} // namespace familywalk

// Walks one side of the family from the observed member outwards.
// next(i) gives the weight of member i + 1 over that of member i (member 0
// is the observed one), or a negative value when member i + 1 does not
// exist; it is called for i = 0, 1, 2, ... in order. Log-concavity makes the
// ratios fall along the walk, so once a ratio r < 1 is seen, the rest of the
// side weighs at most term * r / (1 - r), and no member of it more than
// term * r: the walk stops when that cannot matter (kNegligible, or in
// doubles kBelowLastPlace). Its length is capped by the size of the family (next() ends it).
// False when Stop was pressed (polled every stepsPerPoll steps).
template <typename Next, typename Real>
bool walkFamilySide(Next &&next, FamilySumsOf<Real> &sums,
                    quint64 stepsPerPoll = familywalk::kStepsPerPoll)
{
    Real term = 1;
    for (quint64 i = 0;; ++i) {
        if ((i + 1) % stepsPerPoll == 0 && pollCalcEvents())
            return false;
        const double r = next(i);
        if (!(r >= 0.0))
            return true;
        term *= r;
        if (familywalk::beyondCeiling(term)) {
            if constexpr (std::is_same_v<Real, double>) {
                sums.beyondRange = true;
            } else {
                // Heavier than any double P-value allows: P is 0 to double range.
                sums.total = term;
            }
            return true;
        }
        sums.total += term;
        if (term <= familywalk::tieLimit<Real>(i + 1)) {
            sums.counting += term;
            if (familywalk::isTie(term, i + 1))
                sums.ties += term;
        }
        if constexpr (std::is_same_v<Real, double>) {
            if (r < 1.0 && term * r < familywalk::kBelowLastPlace * sums.counting)
                return true;
        } else if (r < 1.0 && term * r <= Real(familywalk::kNegligible) * sums.counting * Real(1.0 - r)) {
            return true;
        }
    }
}

// counting / total as a probability; 0 when the total overflowed. The two
// sums round apart, so a family that counts whole could come out a hair
// above 1.
template <typename Real>
inline double familyProbability(const FamilySumsOf<Real> &sums)
{
    if (std::isinf(sums.total))
        return 0.0;
    return std::min(1.0, static_cast<double>(sums.counting / sums.total));
}

// Lancaster's mid-p: the members lighter than the observed one and half of
// those that tie with it, as a probability.
template <typename Real>
inline double familyMidP(const FamilySumsOf<Real> &sums)
{
    if (std::isinf(sums.total))
        return 0.0;
    return std::min(1.0, static_cast<double>((sums.counting - Real(0.5) * sums.ties) / sums.total));
}

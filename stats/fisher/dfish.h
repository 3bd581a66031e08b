#pragma once

#include "basef.h"
#include "path.h"

// The approximate variant: each arc's length is rounded toward zero to a
// whole number of units (scale = 1 / unit, invScale = unit, set by the
// caller before run), and partial tables whose rounded lengths are equal
// share one element. The rounding only ever shortens a path, by less than
// one unit per carried arc; the network allows for that (basef), so the
// run brackets the P-value between lowerBound() and upperBound().
template <typename P>
class dfish final : public basef<P>
{
public:
    dfish(int capacity, int &status) : basef<P>(capacity, status) {}

    double invScale = 1.0;

    // The largest scaled length a run may form: past it the lengths would
    // leave the 64-bit range (the caller checks the longest path against it).
    static constexpr double kMaxScaled = 4611686018427387904.0;  // 2^62

protected:
    void initPath() override;
    int processLink(int k, int cur, int nxt, typename basef<P>::prefix &count) override;
    double ownLength(const P &e) const override { return double(e.value) * invScale; }
    double carriedLength(const P &e, const carriedRun &run) const override
    {
        return double(e.value + run.step) * invScale;
    }
    double pathError(int roundedArcs) const override { return roundedArcs * invScale; }
};

#pragma once

#include "basef.h"
#include "path.h"

// The approximate variant: each arc's length is rounded toward zero to d
// digits after the point (scale = 10^d, invScale = 10^-d, set by the caller
// before run), and partial tables whose rounded lengths are equal share one
// element. The rounding only ever shortens a path, by less than 10^-d per
// carried arc.
template <typename P>
class dfish final : public basef<P>
{
public:
    dfish(int capacity, int &status) : basef<P>(capacity, status) {}

    double invScale = 1.0;

protected:
    void initPath() override;
    int processLink(int k, int cur, int nxt, qint64 &count) override;
    double ownLength(const P &e) const override { return e.value * invScale; }
    double carriedLength(const P &e, const carriedRun &run) const override
    {
        return qint32(e.value + run.step) * invScale;
    }
};

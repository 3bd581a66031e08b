#pragma once

#include "basef.h"
#include "path.h"

#include <type_traits>

// The exact variant: every past length is kept as a double. Lengths that
// agree to 1e-12 relative share one element with a weight (the number of
// partial tables behind it); without that, tables with many equal column
// totals reach the same node by very many orders of the same terms and the
// lists outgrow memory. setJoinEqualLengths(false) keeps one element per
// partial table.
template <typename V>
class dfex final : public basef<exactpath>
{
    static_assert(std::is_same_v<V, double>, "the exact variant keeps double lengths");

public:
    dfex(int capacity, int &status) : basef<exactpath>(capacity, status) {}

protected:
    void initPath() override;
    int processLink(int k, int cur, int nxt, prefix &count) override;
    double ownLength(const exactpath &e) const override { return e.value; }
    double carriedLength(const exactpath &e, const carriedRun &run) const override { return e.value + run.shift; }
};

#pragma once

#include "twolocussetup.h"

#include <vector>

namespace twolocus::detail {

// The 95% likelihood bounds of D' as grid steps 0..kGridSteps: the first
// points of the grid D' = i / kGridSteps, on the side of D's sign, where
// the running sum of the likelihood reaches 5% and 95% of its total. The
// grid's points lie at y(i) = y0 + i * step / kGridSteps (step: the count
// of 11 haplotypes from D' = 0 to D' = +-1, whose end `end` is a whole
// number); roots are the cubic's, the likelihood's stationary points.
void dprimeBounds(const Setup &s, double y0, double step, qint64 end, const std::vector<Real> &roots, int *low,
                  int *high);

// ln x for a positive normal x, and e^x for x in [-700, 0], within a few
// units in the last place of the value (of 1 where |ln x| is smaller: the
// grid sums ln x times counts); without branches, so that loops of them
// vectorize.
double gridLog(double x);
double gridExp(double x);

} // namespace twolocus::detail

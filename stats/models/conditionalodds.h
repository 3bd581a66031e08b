#pragma once

#include "modelfigures.h"

class centralratios;

// The conditional maximum-likelihood odds ratio of a 2 x 2 table (a b / c d)
// and its exact interval, as R's fisher.test defines them. With every
// margin fixed, a follows the noncentral hypergeometric distribution of
// odds ratio psi; the estimate solves E[X; psi] = a, and the limits at
// level L solve P(X >= a; psi_low) = (1 - L) / 2 and
// P(X <= a; psi_high) = (1 - L) / 2. At the ends of the support the
// estimate is 0 (a at its least) or infinite (at its most), and so is the
// limit on that side.
//
// Each evaluation sums the distribution outwards from its mode and stops
// where what is left weighs less than kPrecision of the total (and of the
// tail being summed, once that has begun), so its cost follows the spread
// of the distribution, not the size of the support. The roots are found in
// log psi by Halley steps inside a bracket that bisection keeps.
class conditionalodds final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2,       // a negative count, an empty row or column, or L outside (0, kMaxConfLevel]
        NoConvergence = 3   // a root not found in kMaxIterations steps
    };

    static constexpr double kPrecision = 1e-12;
    // The highest level: its tails, (1 - L) / 2, lie far above kPrecision.
    static constexpr double kMaxConfLevel = 0.999999;
    static constexpr int kMaxIterations = 200;

    // Writes *out on Finished only.
    static int compute(qint64 a, qint64 b, qint64 c, qint64 d, double confLevel, OddsRatioFigure *out);
    // The same from the table's central ratios, shared with its Fisher P.
    static int compute(const centralratios &ratios, double confLevel, OddsRatioFigure *out);
};

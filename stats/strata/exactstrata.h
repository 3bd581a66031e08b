#pragma once

#include "modelfigures.h"
#include "stratawindow.h"
#include "stratumfamily.h"
#include "stratumtable.h"

#include <vector>

// The exact conditional analysis of K strata with a common odds ratio psi:
// with every stratum's margins fixed, S, the sum of the first cells, has
// the distribution P(S = s) proportional to W(s) psi^s, W(s) the
// convolution of the strata's C(m, v) C(n, k - v). As R's
// mantelhaen.test(exact = TRUE) defines them:
//   the conditional MLE solves E[S; psi] = s_obs (0 at the least s,
//   infinite at the most);
//   the limits at level L solve P(S >= s_obs; low) = (1 - L) / 2 and
//   P(S <= s_obs; high) = (1 - L) / 2;
//   the two-sided P sums P(S = s; 1) over every s with
//   P(S = s; 1) <= P(S = s_obs; 1) (1 + 1e-7).
// Strata with an empty margin have one table and are conditioned away.
//
// Nothing is summed over the whole support. The estimate needs only each
// stratum's own moments (its walk from the mode). Tails and the P come from
// stratawindow: the convolution at one odds ratio kept where its mass lies,
// which serves nearby odds ratios by tilting; a window is rebuilt only when
// the search leaves its reach. The limits solve in log psi by Newton's
// method inside a bracket that bisection keeps, to 1e-10 or better.
struct ExactStrataFigures
{
    int informative = 0;        // strata with no empty margin
    OddsRatioFigure oddsRatio;  // conditional MLE with its exact interval
    double p = qQNaN();         // two-sided exact P
};

class exactstrata final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2,       // see validStrata(), or a level outside (0, kMaxConfLevel]
        NoConvergence = 3   // a root not found in kMaxIterations steps
    };
    enum Part { Estimate = 1, Interval = 2, PValue = 4, Everything = 7 };

    // The work arrays of a run, kept by a caller that runs many (one per
    // thread): once they have grown to a batch's tables, a run allocates
    // nothing.
    class Workspace
    {
        friend class exactstrata;
        std::vector<stratumfamily> families;
        stratawindow window;  // at the estimate: the limits, and often the P
        stratawindow other;   // at psi = 1, or where the P's far tail lies
    };

    // `parts`: an OR of Part; Interval and PValue include the estimate.
    // With no informative stratum every figure is NaN (and Finished).
    static int compute(const StratumTable *tables, int k, double confLevel, Workspace &work,
                       ExactStrataFigures *out, int parts = Everything);
};

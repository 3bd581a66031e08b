#pragma once

#include "exactstrata.h"
#include "mantelhaenszel.h"

// Everything a stratified association test reports for one set of K
// strata, as PLINK's --mh and --bd and R's mantelhaen.test give it, plus
// the exact conditional analysis: the entry point of a per-variant caller.
struct StrataFigures
{
    int informative = 0;  // strata with no empty margin
    MantelHaenszelFigures mh;
    BreslowDayFigures breslowDay;  // at the Mantel-Haenszel estimate
    ExactStrataFigures exact;      // when asked for
};

class stratatests final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2,       // see validStrata(), or a level outside (0, kMaxConfLevel]
        NoConvergence = 3   // an exact root not found
    };

    // `exactParts`: exactstrata::Part flags, 0 for none. Writes *out on
    // Finished only; `work` is reused from call to call.
    static int compute(const StratumTable *tables, int k, double confLevel, exactstrata::Workspace &work,
                       StrataFigures *out, int exactParts = exactstrata::Everything);
};

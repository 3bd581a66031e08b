#pragma once

#include "modelfigures.h"
#include "stratumtable.h"

// The Mantel-Haenszel common odds ratio of K strata with the
// Robins-Breslow-Greenland interval, the Cochran-Mantel-Haenszel test, and
// the Breslow-Day test of a common odds ratio with Tarone's correction. A
// stratum with an empty margin adds nothing to any of them; zero cells need
// no correction. Plain sums, no allocation: a genome-wide caller runs them
// once per variant.
struct MantelHaenszelFigures
{
    int informative = 0;  // strata with no empty margin
    // sum(a d / n) / sum(b c / n): 0 or infinite when one sum is 0; its
    // interval then has only the sure limit (0 or infinity).
    OddsRatioFigure oddsRatio;
    // (sum(a - E))^2 / sum(V) on 1 df, and with R's continuity correction:
    // 0.5 comes off |sum(a - E)| only where that is at least 0.5.
    double cmh = qQNaN();
    double pCmh = qQNaN();
    double cmhCorrected = qQNaN();
    double pCmhCorrected = qQNaN();
};

struct BreslowDayFigures
{
    int df = 0;  // informative strata - 1
    double chi2 = qQNaN();
    double p = qQNaN();
    // Breslow-Day less Tarone's term (sum(a) - sum(A))^2 / sum(V).
    double tarone = qQNaN();
    double pTarone = qQNaN();
};

class mantelhaenszel final
{
public:
    enum Status {
        Finished = 0,
        BadInput = 2  // see validStrata(), or a level outside (0, 1)
    };

    static int compute(const StratumTable *tables, int k, double confLevel, MantelHaenszelFigures *out);

    // At the common odds ratio `commonOr` (the Mantel-Haenszel estimate):
    // each stratum's fitted first cell A with its margins, and its
    // variance 1 / (1/A + 1/B + 1/C + 1/D). NaN figures (and Finished)
    // when fewer than 2 strata inform or the ratio is 0 or infinite.
    static int breslowDay(const StratumTable *tables, int k, double commonOr, BreslowDayFigures *out);

    // The stratum's Mantel-Haenszel weight b c / n (0 for an empty stratum).
    static double weight(const StratumTable &t);

    // The expected first cell at odds ratio psi > 0 with the stratum's
    // margins (an informative stratum).
    static double fittedCell(const StratumTable &t, double psi);
};

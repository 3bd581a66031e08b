#pragma once

#include "stratumtable.h"

#include <QtNumeric>

// Zelen's exact test of a common odds ratio over K strata: with every
// stratum's margins and the sum of the first cells fixed, the first cells
// (a_1 .. a_K) have a distribution free of the common odds ratio,
// proportional to the product of C(m, a) C(n, k - a); the P sums the
// probability of every arrangement at most as probable as the observed one
// (within the exact engines' tolerance). Only strata with no empty margin
// take part.
//
// The exact sum walks the strata as a network (node: the sum so far)
// carrying the partial log-probabilities, and settles a whole branch at
// once where its most (least) probable completion already counts (cannot
// count). Where that would pass the budget the P is estimated by Monte
// Carlo through the product's runner: arrangements drawn stratum by
// stratum from their exact conditional distribution given the rest's sum,
// held where its mass lies.
struct ZelenFigures
{
    int informative = 0;
    double p = qQNaN();
    bool exact = false;
    double low = qQNaN();   // the 99% Clopper-Pearson interval of an estimate
    double high = qQNaN();
    qint64 samples = 0;
    quint64 seed = 0;
};

struct ZelenSettings
{
    // Work units of the exact sum (a unit: one stratum value tried from
    // one network entry) before it gives way to Monte Carlo.
    double exactBudget = 2e6;
    qint64 samples = 10000;
    quint64 seed = 20260504;
    int threads = 0;  // 0: every core
};

class zelen final
{
public:
    enum Status {
        Finished = 0,
        Stopped = 1,        // Stop pressed during the Monte Carlo run
        BadInput = 2,       // see validStrata()
        NoConvergence = 3,  // the estimate's odds ratio or a draw failed
        NoMemory = 4        // the Monte Carlo run's threads could not start
    };

    // With fewer than 2 informative strata the P is NaN (and Finished).
    static int compute(const StratumTable *tables, int k, const ZelenSettings &settings, ZelenFigures *out);

    // The exact sum alone: false (and *p untouched) beyond `budget`.
    static bool exact(const StratumTable *tables, int k, double budget, double *p);
};

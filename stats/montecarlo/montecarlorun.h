#pragma once

#include "mcbins.h"
#include "runreport.h"

#include <QtGlobal>

class CellSource;
struct TestInput;

// What a Monte Carlo run takes besides the checked input.
struct MonteCarloSettings
{
    qint64 samples = 100000;
    quint64 seed = 0;  // the seed reported, given or drawn
    int threads = 0;   // 0: one per core
    // The run's place in a family of runs that share the seed: its streams
    // come from mcstream::derivedSeed(seed, key), so the tables of a batch
    // are independent. A table's number in its file (1 for the window's
    // block), plus the block's index << 32 beyond the first block of a table.
    quint64 key = 1;
    // Also count the simulated statistic in fixed bins, for its picture.
    bool histogram = false;
};

// The Monte Carlo P-value of the Fisher 2xN, Hardy-Weinberg or chi-squared
// test: P = (extreme + 1) / (samples + 1), with a 99% Clopper-Pearson
// interval for the probability of an extreme table.
struct MonteCarloRun : RunReport
{
    qint64 samples = 0;
    quint64 seed = 0;
    qint64 extreme = 0;
    double low = qQNaN();   // the 99% interval
    double high = qQNaN();
    double x2 = 0.0;        // chi-squared: the observed statistic and
    int df = 0;             // degrees of freedom
    // With settings.histogram: the simulated statistic (chi-squared's X2,
    // the table's -ln P for Fisher and Hardy-Weinberg), complete when
    // status is 0.
    mcbins histogram;
};

// Statuses beyond those of countExtremes (mccount::Status).
enum MonteCarloStatus { MonteCarloIntervalFailed = 5 };

// Runs the test of `kind` (TestFisher, TestHardyW or TestChi2) on the input
// of a successful check by simulation; chi-squared reads its counts from
// the grid (the check keeps only the sums), before anything else happens.
// Calls progress(100) before the samples and progress(-1) after them;
// stops when pollCalcEvents() returns nonzero. Shared by the window's
// drivers and the command-line tool.
MonteCarloRun runMonteCarloTest(int kind, const TestInput &in, const CellSource &grid,
                                const MonteCarloSettings &settings, const ProgressDisplay &progress);

// A fresh seed for a run that was given none.
quint64 drawMonteCarloSeed();

// The line that the red entry of an exact run that ran out of memory or was
// stopped adds, pointing to the estimate.
QString monteCarloHint();

// The largest seed accepted: every JSON reader reads it back exactly.
constexpr quint64 kMaxMonteCarloSeed = (quint64(1) << 53) - 1;

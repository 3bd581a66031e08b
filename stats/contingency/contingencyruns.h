#pragma once

#include "runreport.h"

class CellSource;
class MemoryBudget;
struct TestInput;

// Run one test on the input of a successful check and build its report
// entry. Shared by the main window's drivers and the command-line tool;
// nothing here touches a widget. The caller appends message with isError
// (and resets the dialog's test kind).

// The chi-squared statistic and degrees of freedom that the report gives.
struct Chi2Run : RunReport
{
    double x2 = 0.0;
    int df = 0;
};

// Chi-squared test of in.chi2Sum with in.testSize degrees of freedom; the
// report echoes the block's rows as the grid displays them. A failure of the
// incomplete gamma routines gives a red entry with the routine's text
// (status 1) instead of a P-value.
Chi2Run runChi2Test(const TestInput &in, const CellSource &grid);

// Exact Hardy-Weinberg test of the in.testSize x in.testSize table in
// in.bufA; a table in which at most two alleles occur is summed directly
// (hwtwoallele), any other by the network (hwexact). Calls
// progress(K * hwexact::kProgressPerStage) before the engine and
// progress(-1) after it; the engine polls pollCalcEvents() and writes
// calcProgressValue. Status 1:
// stopped by the user; 11: the run did not fit in memory (budget: the given
// one, or one derived from the memory available now); 2: a table no check
// accepts.
RunReport runHardyWeinbergTest(const TestInput &in, const ProgressDisplay &progress,
                               MemoryBudget *budget = nullptr, ReportText text = ReportText::Full);

// Gene-interaction test of the two M x N tables in in.bufA and in.bufB,
// M = in.nRows / 2, N = in.nCols. No progress display; the engine polls
// pollCalcEvents(). Status 1: stopped by the user; 11: over the memory
// budget; 2: a table no check accepts.
RunReport runGeneInteractionTest(const TestInput &in, MemoryBudget *budget = nullptr);

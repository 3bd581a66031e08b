#pragma once

#include "runreport.h"
#include "testinput.h"

// One run of the Fisher 2xN test on the table that the check of the test
// dialog left in `in` (testSize columns, first-row counts in bufC, column
// totals in bufD, grand total in total, digits in accuracy: 0 for the
// exact variant, 1 to 9 for the approximate one, which runs the exact one
// where that is faster and says so). Starts the progress
// display with testSize, runs the engine, ends the display with -1, and
// returns the report entry. Widget-free: the main window and the
// command-line tool both call it.
struct FisherRun : RunReport
{
    int variant = 0;   // the variant that gave the value: 0 exact, else approximate
    int accuracy = 0;  // the digits asked for
};

FisherRun runFisherTest(const TestInput &in, const ProgressDisplay &progress,
                        ReportText text = ReportText::Full);

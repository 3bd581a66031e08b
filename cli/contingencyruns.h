#pragma once

#include "cellsource.h"
#include "runreport.h"
#include "testinput.h"

// The chi-squared, Hardy-Weinberg and gene-interaction runs as the block
// runner sees them: the shared run functions, with the chi-squared
// statistic and degrees of freedom handed back beside the report.
struct ContingencyRun : RunReport
{
    double x2 = qQNaN();
    int df = 0;
};

ContingencyRun runChi2Block(const TestInput &input, const CellSource &grid);
ContingencyRun runHardyWeinbergBlock(const TestInput &input, const ProgressDisplay &progress);
ContingencyRun runGeneInteractionBlock(const TestInput &input);

#include "contingencyruns.h"

// Placeholder until the shared run functions land.
ContingencyRun runChi2Block(const TestInput &input, const CellSource &)
{
    ContingencyRun run;
    run.status = 99;
    run.isError = 1;
    run.message = QStringLiteral("<br />not available");
    run.x2 = input.chi2Sum;
    run.df = input.testSize;
    return run;
}

ContingencyRun runHardyWeinbergBlock(const TestInput &, const ProgressDisplay &)
{
    ContingencyRun run;
    run.status = 99;
    run.isError = 1;
    run.message = QStringLiteral("<br />not available");
    return run;
}

ContingencyRun runGeneInteractionBlock(const TestInput &)
{
    ContingencyRun run;
    run.status = 99;
    run.isError = 1;
    run.message = QStringLiteral("<br />not available");
    return run;
}

#include "mainwindow.h"

#include "clusterrun.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "seldialog.h"
#include "spreadsheet.h"

#include <QCheckBox>

// The five drivers: each copies the dialog's checked input, so that the
// dialog may re-check the selection during a run without changing what the
// engine reads, then runs the shared run-and-report function.

void MainWindow::runFisher()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    runAndReport([&input](const ProgressDisplay &progress) -> RunReport {
        return runFisherTest(input, progress);
    });
}

void MainWindow::runChi2()
{
    const TestInput input = selDialog->input;
    // The echo shows the cells the check read, the numbers behind chi2Sum.
    const CellSnapshot cells = selDialog->checkedCells;
    runAndReport([&input, &cells](const ProgressDisplay &) -> RunReport {
        return runChi2Test(input, cells);
    });
    selDialog->testKind = TestNone;
    selDialog->yatesCheck->hide();
}

void MainWindow::runCluster()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    runAndReport([this, &input](const ProgressDisplay &progress) -> RunReport {
        // Cells set during the run must not trigger a recalculation each.
        const bool switchedOff = toggleAutoRecalcByShortcut(false);
        RunReport report = runRiskCluster(input, progress);
        if (switchedOff)
            toggleAutoRecalcByShortcut(true);
        return report;
    });
}

void MainWindow::runHardyW()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    runAndReport([&input](const ProgressDisplay &progress) -> RunReport {
        return runHardyWeinbergTest(input, progress);
    });
}

void MainWindow::runGeneInter()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    runAndReport([&input](const ProgressDisplay &) -> RunReport { return runGeneInteractionTest(input); });
}

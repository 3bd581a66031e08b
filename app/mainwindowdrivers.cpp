#include "mainwindow.h"

#include "clusterrun.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "modelsrun.h"
#include "montecarlorun.h"
#include "seldialog.h"
#include "spreadsheet.h"

#include <QCheckBox>

// The six drivers: each copies the dialog's checked input, so that the
// dialog may re-check the selection during a run without changing what the
// engine reads, then runs the shared run-and-report function. Fisher,
// chi-squared and Hardy-Weinberg run by simulation when the dialog asks for
// samples; an exact run that runs out of memory or is stopped points to
// that.

void MainWindow::runFisher()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    if (input.monteCarloSamples > 0) {
        runMonteCarlo(TestFisher, input);
        return;
    }
    runAndReport([&input](const ProgressDisplay &progress) -> RunReport {
        RunReport report = runFisherTest(input, progress);
        if (report.isError)
            report.message += monteCarloHint();
        return report;
    });
}

void MainWindow::runMonteCarlo(int kind, const TestInput &input)
{
    MonteCarloSettings settings;
    settings.samples = input.monteCarloSamples;
    settings.seed = drawMonteCarloSeed();
    pendingRun.options << tr("seed %1").arg(settings.seed);
    // Chi-squared reads its counts from the cells the check read.
    const CellSnapshot cells = selDialog->checkedCells;
    runAndReport([kind, &input, &cells, &settings](const ProgressDisplay &progress) -> RunReport {
        return runMonteCarloTest(kind, input, cells, settings, progress);
    });
}

void MainWindow::runChi2()
{
    const TestInput input = selDialog->input;
    if (input.monteCarloSamples > 0) {
        selDialog->testKind = TestNone;
        runMonteCarlo(TestChi2, input);
        selDialog->yatesCheck->hide();
        return;
    }
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
    if (input.monteCarloSamples > 0) {
        runMonteCarlo(TestHardyW, input);
        return;
    }
    runAndReport([&input](const ProgressDisplay &progress) -> RunReport {
        RunReport report = runHardyWeinbergTest(input, progress);
        if (report.isError)
            report.message += monteCarloHint();
        return report;
    });
}

void MainWindow::runGeneInter()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    runAndReport([&input](const ProgressDisplay &) -> RunReport { return runGeneInteractionTest(input); });
}

void MainWindow::runModels()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    runAndReport([&input](const ProgressDisplay &) -> RunReport { return runModelsTest(input); });
}

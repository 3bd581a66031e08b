#include "mainwindow.h"

#include "clusterrun.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "metapictures.h"
#include "metarun.h"
#include "haplotypesrun.h"
#include "modelsrun.h"
#include "montecarlorun.h"
#include "resultpictures.h"
#include "runpictures.h"
#include "seldialog.h"
#include "spreadsheet.h"
#include "spreadsheetcellsource.h"

#include <QCheckBox>
#include <QFileInfo>

namespace {

// The block and the document, for a picture's title.
QString placeOf(const RunContext &run, const QString &file)
{
    if (file.isEmpty())
        return run.range;
    return QStringLiteral("%1 of %2").arg(run.range, QFileInfo(file).fileName());
}

// The names typed beside the block, as the grid shows them when OK is
// pressed, for the picture's labels.
BlockNames namesBeside(const Spreadsheet *sheet, const TestInput &input)
{
    return blockNames(SpreadsheetCellSource(sheet), input.topRow, input.leftCol, input.nRows, input.nCols);
}

} // namespace

// The six drivers: each copies the dialog's checked input, so that the
// dialog may re-check the selection during a run without changing what the
// engine reads, then runs the shared run-and-report function. Fisher,
// chi-squared and Hardy-Weinberg run by simulation when the dialog asks for
// samples; an exact run that runs out of memory or is stopped points to
// that. A run that succeeds leaves its picture in pendingPicture.

void MainWindow::runFisher()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    if (input.monteCarloSamples > 0) {
        runMonteCarlo(TestFisher, input);
        return;
    }
    const QString place = placeOf(pendingRun, curFile);
    const BlockNames names = namesBeside(spreadsheet, input);
    runAndReport([this, &input, &place, &names](const ProgressDisplay &progress) -> RunReport {
        const FisherRun run = runFisherTest(input, progress);
        if (run.status == 0)
            pendingPicture = fisherPicture(input, run, place, names);
        RunReport report = run;
        if (report.isError)
            report.message += monteCarloHint();
        return report;
    });
}

void MainWindow::runMonteCarlo(int kind, const TestInput &input)
{
    MonteCarloSettings settings;
    settings.samples = input.monteCarloSamples;
    settings.seed = seedSource ? seedSource() : drawMonteCarloSeed();
    pendingRun.options << tr("seed %1").arg(settings.seed);
    // The simulated statistic's bins, for the entry's picture: a
    // chi-squared run then draws whole tables, which it may otherwise stop
    // early, so they are kept only while pictures are shown.
    settings.histogram = resultPictures->showAction()->isChecked();
    // Chi-squared reads its counts from the cells the check read.
    const CellSnapshot cells = selDialog->checkedCells;
    const QString place = placeOf(pendingRun, curFile);
    runAndReport([this, kind, &input, &cells, &settings, &place](const ProgressDisplay &progress) -> RunReport {
        const MonteCarloRun run = runMonteCarloTest(kind, input, cells, settings, progress);
        if (run.status == 0)
            pendingPicture = monteCarloPicture(kind, run, place);
        return run;
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
    const QString place = placeOf(pendingRun, curFile);
    const BlockNames names = namesBeside(spreadsheet, input);
    runAndReport([this, &input, &cells, &place, &names](const ProgressDisplay &) -> RunReport {
        const Chi2Run run = runChi2Test(input, cells);
        if (run.status == 0)
            pendingPicture = chi2Picture(input, cells, run, place, names);
        return run;
    });
    selDialog->testKind = TestNone;
    selDialog->yatesCheck->hide();
}

void MainWindow::runCluster()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    const QString place = placeOf(pendingRun, curFile);
    runAndReport([this, &input, &place](const ProgressDisplay &progress) -> RunReport {
        // Cells set during the run must not trigger a recalculation each.
        const bool switchedOff = toggleAutoRecalcByShortcut(false);
        const ClusterRun run = runRiskCluster(input, progress);
        if (switchedOff)
            toggleAutoRecalcByShortcut(true);
        if (run.status == 0)
            pendingPicture = clusterPicture(input, run, place);
        return run;
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
    const QString place = placeOf(pendingRun, curFile);
    const BlockNames names = namesBeside(spreadsheet, input);
    runAndReport([this, &input, &place, &names](const ProgressDisplay &progress) -> RunReport {
        RunReport report = runHardyWeinbergTest(input, progress);
        if (report.status == 0)
            pendingPicture = hardyWeinbergPicture(input, report, place, names);
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
    const QString place = placeOf(pendingRun, curFile);
    runAndReport([this, &input, &place](const ProgressDisplay &) -> RunReport {
        const ModelsRun run = runModelsTest(input);
        if (run.status == 0)
            pendingPicture = modelsPicture(input, run, place);
        return run;
    });
}

// Every model's forest plot, and the funnel and leave-one-out plots of the
// first (or the one asked for).
void MainWindow::runMeta()
{
    selDialog->testKind = TestNone;
    MetaInput input = selDialog->input.meta;
    const QString place = placeOf(pendingRun, curFile);
    input.source = place;
    runAndReport([this, &input, &place](const ProgressDisplay &progress) -> RunReport {
        progress(100);
        const MetaRun run = runMetaAnalysis(input);
        progress(-1);
        if (run.status == 0) {
            for (int m = 0; m < int(run.models.size()); ++m) {
                PicturePtr forest = metaPicture(MetaPictureKind::Forest, input, run, m, place);
                if (!pendingPicture)
                    pendingPicture = forest;
                else if (forest)
                    pendingMorePictures.push_back(forest);
            }
            for (MetaPictureKind kind : {MetaPictureKind::Funnel, MetaPictureKind::LeaveOneOut})
                if (PicturePtr picture = metaPicture(kind, input, run, 0, place))
                    pendingMorePictures.push_back(picture);
        }
        return run;
    });
}

void MainWindow::runHaplotypes()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    // The random starts and the permutations draw from it.
    const quint64 seed = seedSource ? seedSource() : drawMonteCarloSeed();
    pendingRun.options << tr("seed %1").arg(seed);
    const QString place = placeOf(pendingRun, curFile);
    runAndReport([this, &input, seed, &place](const ProgressDisplay &progress) -> RunReport {
        const HaplotypesRun run = runHaplotypesTest(input, seed, progress);
        if (run.status == 0)
            pendingPicture = haplotypesPicture(run, place);
        return run;
    });
}

#pragma once

#include "picturemodel.h"

#include <QString>
#include <QStringList>

#include <memory>

class CellSource;
struct ClusterRun;
struct Chi2Run;
struct FisherRun;
struct HaplotypesRun;
struct ModelsRun;
struct MonteCarloRun;
struct RunReport;
struct TestInput;

// The picture of a block that ran, built from its checked input and the
// run's figures, for the Results window and velmora-cli --plot alike. The
// title names the test and the block (`place`: "B2:D3" in the window,
// "A1:C2, table 3 of snps.tsv" on the command line). Null when the run
// gave nothing to draw.
using PicturePtr = std::shared_ptr<const pictures::Picture>;

// The names typed beside a block: the column left of it names its rows,
// the row above it its columns. A side counts only where each of its cells
// shows a text that is not a number (a number there is more data, not a
// name); otherwise its list is empty.
struct BlockNames
{
    QStringList rows;
    QStringList columns;
};
BlockNames blockNames(const CellSource &grid, int top, int left, int rows, int columns);

// The tables' bars and the genotype pictures call rows, columns and
// alleles by `names` where the block has them.
PicturePtr chi2Picture(const TestInput &input, const CellSource &grid, const Chi2Run &run, const QString &place,
                       const BlockNames &names = BlockNames());
PicturePtr fisherPicture(const TestInput &input, const FisherRun &run, const QString &place,
                         const BlockNames &names = BlockNames());
PicturePtr hardyWeinbergPicture(const TestInput &input, const RunReport &run, const QString &place,
                                const BlockNames &names = BlockNames());
PicturePtr clusterPicture(const TestInput &input, const ClusterRun &run, const QString &place);
PicturePtr modelsPicture(const TestInput &input, const ModelsRun &run, const QString &place);
// The haplotypes' paired frequency bars and odds ratios (haplotypepicture.cpp).
PicturePtr haplotypesPicture(const HaplotypesRun &run, const QString &place);
// The histogram of a Monte Carlo run of TestFisher, TestHardyW or TestChi2
// that counted its statistic (MonteCarloSettings::histogram).
PicturePtr monteCarloPicture(int kind, const MonteCarloRun &run, const QString &place);

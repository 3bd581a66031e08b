#pragma once

#include "picturemodel.h"

#include <QString>

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

PicturePtr chi2Picture(const TestInput &input, const CellSource &grid, const Chi2Run &run, const QString &place);
PicturePtr fisherPicture(const TestInput &input, const FisherRun &run, const QString &place);
PicturePtr hardyWeinbergPicture(const TestInput &input, const RunReport &run, const QString &place);
PicturePtr clusterPicture(const TestInput &input, const ClusterRun &run, const QString &place);
PicturePtr modelsPicture(const TestInput &input, const ModelsRun &run, const QString &place);
// The haplotypes' paired frequency bars and odds ratios (haplotypepicture.cpp).
PicturePtr haplotypesPicture(const HaplotypesRun &run, const QString &place);
// The histogram of a Monte Carlo run of TestFisher, TestHardyW or TestChi2
// that counted its statistic (MonteCarloSettings::histogram).
PicturePtr monteCarloPicture(int kind, const MonteCarloRun &run, const QString &place);

#pragma once

#include "picturemodel.h"

#include <QtGlobal>

#include <vector>

// Models from plain figures, as the window and the command-line tool both
// build them: the caller runs the engine and the figure helpers, and hands
// their numbers over with the title.
namespace pictures {

// Where a block lies in the grid, for its labels (0-based).
struct GridBlock
{
    int top = 0;
    int left = 0;
    int rows = 0;
    int columns = 0;
};

QString columnName(int column);  // "B"
QString rowName(int row);        // "2"

// The grouped bars of a block's counts; the figures are row-major over the
// block. The longer side runs along x and the shorter one gives the
// colours, so that few colours need telling apart.
ContingencyModel tableBars(const GridBlock &block, const std::vector<double> &observed,
                           const std::vector<double> &expected, const std::vector<double> &residual,
                           const QString &title, const QString &subtitle);

// The de Finetti diagram of a two-allele sample, with the accepted
// heterozygote counts per count of the second allele (each triple: allele
// count, lowest and highest heterozygote count accepted).
struct BandCounts
{
    qint64 alleleCount = 0;
    qint64 hetLow = 0;
    qint64 hetHigh = 0;
};
TernaryModel deFinetti(qint64 homFirst, qint64 het, qint64 homSecond, const std::vector<BandCounts> &band,
                       double level, const QString &title, const QString &subtitle);

// The genotype heat map of a K-allele table; figures K x K, row-major.
GenotypeHeatMapModel genotypeHeatMap(int alleles, const std::vector<double> &observed,
                                     const std::vector<double> &expected, const std::vector<double> &residual,
                                     const QString &title, const QString &subtitle);

} // namespace pictures

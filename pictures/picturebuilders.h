#pragma once

#include "picturemodel.h"

#include <QStringList>
#include <QtGlobal>

#include <vector>

// Models from plain figures, as the window and the command-line tool both
// build them: the caller runs the engine and the figure helpers, and hands
// their numbers over with the title.
namespace pictures {

// Where a block lies in the grid, for its labels (0-based), and the names
// typed beside it, where there are: one per row, one per column, or none.
struct GridBlock
{
    int top = 0;
    int left = 0;
    int rows = 0;
    int columns = 0;
    QStringList rowNames;
    QStringList columnNames;
};

QString columnName(int column);  // "B"
QString rowName(int row);        // "2"

// The grouped bars of a block's counts; the figures are row-major over the
// block. The longer side runs along x and the shorter one gives the
// colours, so that few colours need telling apart. Rows and columns are
// called by their names where the block has them ("Cases", "H1"), else
// as the grid calls them ("Row 2", "B").
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
                       double level, const QString &title, const QString &subtitle,
                       const QStringList &alleleNames = QStringList());

// The genotype heat map of a K-allele table; figures K x K, row-major.
GenotypeHeatMapModel genotypeHeatMap(int alleles, const std::vector<double> &observed,
                                     const std::vector<double> &expected, const std::vector<double> &residual,
                                     const QString &title, const QString &subtitle,
                                     const QStringList &alleleNames = QStringList());

// The names of `count` alleles: those given, when there are that many,
// else the alleles' numbers ("1", "2", ...), which no one takes for cells.
QStringList alleleLabels(int count, const QStringList &names);

} // namespace pictures

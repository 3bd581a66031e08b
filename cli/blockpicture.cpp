#include "blockpicture.h"

#include "cellresiduals.h"
#include "cellsource.h"
#include "clusterrun.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "hwband.h"
#include "picturebuilders.h"
#include "testinput.h"

#include <cmath>

namespace {

// As many allele counts as a picture's width can tell apart.
constexpr int kBandPoints = 240;
constexpr double kLevel = 0.05;
const QString kResidualNote = QStringLiteral("above each pair: (O \u2212 E)/\u221aE");

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

std::vector<qint64> readCounts(const TestInput &input, const CellSource &grid)
{
    std::vector<qint64> counts;
    counts.reserve(std::size_t(input.nRows) * std::size_t(input.nCols));
    for (int r = 0; r < input.nRows; ++r)
        for (int c = 0; c < input.nCols; ++c)
            counts.push_back(grid.text(input.topRow + r, input.leftCol + c).toLongLong());
    return counts;
}

PicturePtr tablePicture(const TestInput &input, const std::vector<qint64> &counts, const QString &title,
                        const QString &subtitle)
{
    const CellResiduals cells = tableResiduals(input.nRows, input.nCols, counts);
    if (cells.rows == 0)
        return nullptr;
    const pictures::GridBlock block{input.topRow, input.leftCol, input.nRows, input.nCols};
    return std::make_shared<const pictures::Picture>(
        pictures::tableBars(block, cells.observed, cells.expected, cells.residual, title, subtitle));
}

} // namespace

PicturePtr chi2Picture(const TestInput &input, const CellSource &grid, const Chi2Run &run, const QString &place)
{
    return tablePicture(input, readCounts(input, grid), QStringLiteral("Chi-squared test, ") + place,
                        QStringLiteral("P = %1, chi-squared = %2 with %3 df; %4")
                            .arg(number(run.pValue), number(run.x2))
                            .arg(run.df)
                            .arg(kResidualNote));
}

PicturePtr fisherPicture(const TestInput &input, const FisherRun &run, const QString &place)
{
    // The check keeps the first group's count (bufC) and the category's
    // total (bufD) of each category.
    const bool categoriesInRows = input.nCols <= input.nRows;
    const int categories = input.testSize;
    std::vector<qint64> counts(std::size_t(input.nRows) * std::size_t(input.nCols));
    for (int k = 0; k < categories; ++k) {
        const qint64 first = input.bufC[std::size_t(k)];
        const qint64 second = qint64(input.bufD[std::size_t(k)]) - first;
        if (categoriesInRows) {
            counts[std::size_t(k) * 2] = first;
            counts[std::size_t(k) * 2 + 1] = second;
        } else {
            counts[std::size_t(k)] = first;
            counts[std::size_t(categories + k)] = second;
        }
    }
    const QString variant = run.variant == 0 ? QStringLiteral("exact") : QStringLiteral("approximate");
    return tablePicture(input, counts, QStringLiteral("Fisher 2xN test, ") + place,
                        QStringLiteral("P = %1 (%2); %3").arg(number(run.pValue), variant, kResidualNote));
}

PicturePtr hardyWeinbergPicture(const TestInput &input, const RunReport &run, const QString &place)
{
    const int K = input.testSize;
    const QString title = QStringLiteral("Exact Hardy-Weinberg test, ") + place;
    if (K == 2) {
        const qint64 homFirst = input.bufA[0];
        const qint64 het = input.bufA[1];
        const qint64 homSecond = input.bufA[3];
        const qint64 n = homFirst + het + homSecond;
        std::vector<HwBandPoint> band;
        std::vector<pictures::BandCounts> counts;
        if (hwband::band(n, kLevel, kBandPoints, 2 * homSecond + het, &band) == hwband::Finished)
            for (const HwBandPoint &point : band)
                counts.push_back({point.alleleCount, point.hetLow, point.hetHigh});
        const QString subtitle = QStringLiteral("P = %1; n = %2: %3 A1A1, %4 A1A2, %5 A2A2")
                                     .arg(number(run.pValue))
                                     .arg(n)
                                     .arg(homFirst)
                                     .arg(het)
                                     .arg(homSecond);
        return std::make_shared<const pictures::Picture>(
            pictures::deFinetti(homFirst, het, homSecond, counts, kLevel, title, subtitle));
    }
    std::vector<qint64> upper(std::size_t(K) * std::size_t(K), 0);
    for (int i = 0; i < K; ++i)
        for (int j = i; j < K; ++j)
            upper[std::size_t(i) * std::size_t(K) + std::size_t(j)] = input.bufA[std::size_t(i) * std::size_t(K) + std::size_t(j)];
    const CellResiduals cells = genotypeResiduals(K, upper);
    if (cells.rows == 0)
        return nullptr;
    const QString subtitle =
        QStringLiteral("P = %1; O observed and E expected genotypes, colour (O \u2212 E)/\u221aE").arg(number(run.pValue));
    return std::make_shared<const pictures::Picture>(
        pictures::genotypeHeatMap(K, cells.observed, cells.expected, cells.residual, title, subtitle));
}

PicturePtr clusterPicture(const TestInput &input, const ClusterRun &run, const QString &place)
{
    if (run.status != 0 || run.factorRatios.size() != std::size_t(run.factors))
        return nullptr;
    pictures::ClusterDotModel model;
    model.title = QStringLiteral("Risk clusters, ") + place;
    model.subtitle = QStringLiteral("P = %1 at %2 clusters").arg(number(run.pValue)).arg(run.clusters);
    const QString first = input.sampleNames.value(0);
    const QString second = input.sampleNames.value(1);
    model.ratioAxis = QStringLiteral("Frequency ratio, %1 / %2 (log scale)").arg(second, first);
    for (int i = 0; i < run.factors; ++i)
        model.dots.push_back({input.factorNames.value(i), run.clusterOfFactor[std::size_t(i)],
                              run.factorRatios[std::size_t(i)], bool(run.factorRatioCorrected[std::size_t(i)])});
    model.clusterRatios = run.clusterRatios;
    return std::make_shared<const pictures::Picture>(std::move(model));
}

#include "runpictures.h"

#include "cellresiduals.h"
#include "cellsource.h"
#include "clusterrun.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "hwband.h"
#include "modelsrun.h"
#include "montecarlorun.h"
#include "picturebuilders.h"
#include "testinput.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// As many allele counts as a picture's width can tell apart.
constexpr int kBandPoints = 240;
constexpr double kLevel = 0.05;
// A Monte Carlo run's fine bins are grouped into about this many bars.
constexpr int kHistogramBars = 60;
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
                        const QString &subtitle, const BlockNames &names)
{
    const CellResiduals cells = tableResiduals(input.nRows, input.nCols, counts);
    if (cells.rows == 0)
        return nullptr;
    const pictures::GridBlock block{input.topRow, input.leftCol, input.nRows, input.nCols, names.rows, names.columns};
    return std::make_shared<const pictures::Picture>(
        pictures::tableBars(block, cells.observed, cells.expected, cells.residual, title, subtitle));
}

// The texts of a strip of cells beside a block, when each is a name.
QStringList names(const CellSource &grid, int row, int column, int rowStep, int columnStep, int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        const QString text = grid.text(row + i * rowStep, column + i * columnStep).trimmed();
        bool number = false;
        text.toDouble(&number);
        if (text.isEmpty() || number)
            return QStringList();
        texts.append(text);
    }
    return texts;
}

} // namespace

BlockNames blockNames(const CellSource &grid, int top, int left, int rows, int columns)
{
    BlockNames found;
    if (left > 0)
        found.rows = names(grid, top, left - 1, 1, 0, rows);
    if (top > 0)
        found.columns = names(grid, top - 1, left, 0, 1, columns);
    return found;
}

PicturePtr chi2Picture(const TestInput &input, const CellSource &grid, const Chi2Run &run, const QString &place,
                       const BlockNames &names)
{
    return tablePicture(input, readCounts(input, grid), QStringLiteral("Chi-squared test, ") + place,
                        QStringLiteral("P = %1, chi-squared = %2 with %3 df; %4")
                            .arg(number(run.pValue), number(run.x2))
                            .arg(run.df)
                            .arg(kResidualNote),
                        names);
}

PicturePtr fisherPicture(const TestInput &input, const FisherRun &run, const QString &place, const BlockNames &names)
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
                        QStringLiteral("P = %1 (%2); %3").arg(number(run.pValue), variant, kResidualNote), names);
}

PicturePtr hardyWeinbergPicture(const TestInput &input, const RunReport &run, const QString &place,
                                const BlockNames &names)
{
    const int K = input.testSize;
    const QString title = QStringLiteral("Exact Hardy-Weinberg test, ") + place;
    // Row i and column i are the same allele: either side's names will do.
    const QStringList alleles = pictures::alleleLabels(K, names.columns.size() == K ? names.columns : names.rows);
    const auto genotype = [&alleles](int i, int j) -> QString { return alleles.at(i) + u'/' + alleles.at(j); };
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
        const QString subtitle = QStringLiteral("P = %1; n = %2: %3 %4, %5 %6, %7 %8")
                                     .arg(number(run.pValue))
                                     .arg(n)
                                     .arg(homFirst)
                                     .arg(genotype(0, 0))
                                     .arg(het)
                                     .arg(genotype(0, 1))
                                     .arg(homSecond)
                                     .arg(genotype(1, 1));
        return std::make_shared<const pictures::Picture>(
            pictures::deFinetti(homFirst, het, homSecond, counts, kLevel, title, subtitle, alleles));
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
        pictures::genotypeHeatMap(K, cells.observed, cells.expected, cells.residual, title, subtitle, alleles));
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

namespace {

// A forest row of an odds ratio; a row without one says why.
pictures::ForestRow oddsRow(const QString &label, const OddsRatioFigure &ratio, bool corrected, double p,
                            const QString &reason)
{
    pictures::ForestRow row;
    row.label = corrected ? label + QStringLiteral(" *") : label;
    row.pValue = p;
    if (std::isfinite(ratio.estimate) && ratio.estimate > 0.0) {
        row.estimate = ratio.estimate;
        row.low = ratio.low;
        row.high = ratio.high;
    } else {
        row.note = !reason.isEmpty() ? reason
                   : std::isinf(ratio.estimate) || ratio.estimate == 0.0
                       ? QStringLiteral("odds ratio %1").arg(ratio.estimate == 0.0 ? QStringLiteral("0") : QStringLiteral("infinite"))
                       : QStringLiteral("no odds ratio");
    }
    return row;
}

} // namespace

PicturePtr modelsPicture(const TestInput &input, const ModelsRun &run, const QString &place)
{
    if (run.status != 0)
        return nullptr;
    const ModelFigures &f = run.figures;
    pictures::ForestModel model;
    model.title = QStringLiteral("Genetic models, ") + place;
    // The effect homozygote's place in the block: a column of a 2 x 3
    // block, a row of a 3 x 2 one.
    const QString where = input.nRows == 2 ? QStringLiteral("column %1").arg(pictures::columnName(input.leftCol + f.effectGenotype))
                                          : QStringLiteral("row %1").arg(pictures::rowName(input.topRow + f.effectGenotype));
    const bool corrected = f.allelic.sampleCorrected || f.dominant.sampleCorrected || f.recessive.sampleCorrected
                           || f.overdominant.sampleCorrected || f.codominant.hetCorrected || f.codominant.homCorrected;
    model.subtitle = QStringLiteral("Effect allele: the one homozygous in %1; P: chi-squared (log-additive: likelihood "
                                    "ratio, codominant: %2 df)%3")
                         .arg(where, QString::number(f.genotypic.df),
                              corrected ? QStringLiteral("; * a zero count: 0.5 added to every cell") : QString());
    model.measure = QStringLiteral("Odds ratio with its %1% interval (log scale)").arg(QString::number(f.confLevel * 100.0, 'g', 10));
    const auto twoByTwo = [&](const QString &label, const TwoByTwoModel &m) {
        model.rows.push_back(oddsRow(label, m.sample, m.sampleCorrected, m.pChi2, m.reason));
    };
    twoByTwo(QStringLiteral("Allelic"), f.allelic);
    twoByTwo(QStringLiteral("Dominant"), f.dominant);
    twoByTwo(QStringLiteral("Recessive"), f.recessive);
    twoByTwo(QStringLiteral("Overdominant"), f.overdominant);
    const CodominantFigures &co = f.codominant;
    model.rows.push_back(oddsRow(QStringLiteral("Codominant, 1 vs 0"), co.het, co.hetCorrected, f.genotypic.pChi2, co.hetReason));
    model.rows.push_back(oddsRow(QStringLiteral("Codominant, 2 vs 0"), co.hom, co.homCorrected, f.genotypic.pChi2, co.homReason));
    const LogAdditiveFigures &la = f.logAdditive;
    model.rows.push_back(oddsRow(QStringLiteral("Log-additive, per allele"), la.perAllele, false, la.pLrt, la.reason));
    return std::make_shared<const pictures::Picture>(std::move(model));
}

PicturePtr monteCarloPicture(int kind, const MonteCarloRun &run, const QString &place)
{
    const mcbins &bins = run.histogram;
    if (run.status != 0 || bins.counts.size() != std::size_t(mcbins::kBins))
        return nullptr;
    int first = -1;
    int last = -1;
    for (int i = 0; i < mcbins::kBins; ++i) {
        if (bins.counts[std::size_t(i)] == 0)
            continue;
        first = first < 0 ? i : first;
        last = i;
    }
    const int observedBin = bins.binOf(bins.observed);
    const bool observedInside = observedBin >= 0 && observedBin < mcbins::kBins;
    if (observedInside) {
        first = first < 0 ? observedBin : std::min(first, observedBin);
        last = std::max(last, observedBin);
    }
    if (first < 0)
        return nullptr;
    // Bars of whole fine bins. Where a bar width up to half again as wide
    // puts a bar's edge on the observed value's bin, the bars from there on
    // hold exactly the tables counted as extreme.
    const int target = std::max(1, (last - first + kHistogramBars) / kHistogramBars);
    int group = target;
    for (int g = target; observedInside && g <= target + target / 2; ++g) {
        if ((observedBin - first) % g == 0) {
            group = g;
            break;
        }
    }
    pictures::HistogramModel model;
    model.binStart = bins.start + bins.width * double(first);
    model.binWidth = bins.width * double(group);
    for (int b = first; b <= last; b += group) {
        qint64 sum = 0;
        for (int i = b; i < b + group && i < mcbins::kBins; ++i)
            sum += bins.counts[std::size_t(i)];
        model.counts.push_back(sum);
    }
    model.below = bins.below;
    model.above = bins.above;
    model.observed = bins.observed;
    const bool chi2 = kind == TestChi2;
    const QString test = kind == TestFisher  ? QStringLiteral("Fisher 2xN")
                         : kind == TestHardyW ? QStringLiteral("Hardy-Weinberg")
                                              : QStringLiteral("chi-squared");
    model.title = QStringLiteral("Monte Carlo %1 test, %2").arg(test, place);
    model.statistic = chi2 ? QStringLiteral("Chi-squared statistic of each table (%1 df)").arg(run.df)
                           : QStringLiteral("\u2212ln P of each table (natural log)");
    // The samples grouped as the entry's context line writes them.
    QString subtitle = QStringLiteral("P = %1 (99% interval %2 to %3); %4 samples, seed %5")
                           .arg(number(run.pValue), QString::number(run.low, 'g', 4), QString::number(run.high, 'g', 4))
                           .arg(QLocale(QLocale::English).toString(run.samples))
                           .arg(run.seed);
    if (model.below + model.above > 0)
        subtitle += QStringLiteral("; %1 beyond the axis").arg(model.below + model.above);
    model.subtitle = subtitle;
    return std::make_shared<const pictures::Picture>(std::move(model));
}

#include "picturebuilders.h"

namespace pictures {

QString columnName(int column)
{
    return QString(QChar(char16_t(u'A' + column)));
}

QString rowName(int row)
{
    return QString::number(row + 1);
}

ContingencyModel tableBars(const GridBlock &block, const std::vector<double> &observed,
                           const std::vector<double> &expected, const std::vector<double> &residual,
                           const QString &title, const QString &subtitle)
{
    ContingencyModel model;
    model.title = title;
    model.subtitle = subtitle;
    const bool rowsAsSeries = block.rows <= block.columns;
    const int series = rowsAsSeries ? block.rows : block.columns;
    const int groups = rowsAsSeries ? block.columns : block.rows;
    model.groupAxis = rowsAsSeries ? QStringLiteral("Column of the block") : QStringLiteral("Row of the block");
    for (int g = 0; g < groups; ++g)
        model.groups.append(rowsAsSeries ? columnName(block.left + g) : rowName(block.top + g));
    for (int s = 0; s < series; ++s)
        model.series.append(rowsAsSeries ? QStringLiteral("Row %1").arg(rowName(block.top + s))
                                         : QStringLiteral("Column %1").arg(columnName(block.left + s)));
    const std::size_t cells = std::size_t(block.rows) * std::size_t(block.columns);
    if (observed.size() < cells || expected.size() < cells || residual.size() < cells)
        return model;
    for (int s = 0; s < series; ++s) {
        for (int g = 0; g < groups; ++g) {
            const int r = rowsAsSeries ? s : g;
            const int c = rowsAsSeries ? g : s;
            const std::size_t i = std::size_t(r) * std::size_t(block.columns) + std::size_t(c);
            model.observed.push_back(observed[i]);
            model.expected.push_back(expected[i]);
            model.residual.push_back(residual[i]);
        }
    }
    return model;
}

TernaryModel deFinetti(qint64 homFirst, qint64 het, qint64 homSecond, const std::vector<BandCounts> &band,
                       double level, const QString &title, const QString &subtitle)
{
    TernaryModel model;
    model.title = title;
    model.subtitle = subtitle;
    model.alleles = {QStringLiteral("A1"), QStringLiteral("A2")};
    model.homFirst = homFirst;
    model.het = het;
    model.homSecond = homSecond;
    model.level = level;
    const double n = double(homFirst + het + homSecond);
    if (n > 0.0)
        for (const BandCounts &slice : band)
            model.band.push_back({double(slice.alleleCount) / (2.0 * n), double(slice.hetLow) / n,
                                  double(slice.hetHigh) / n});
    return model;
}

GenotypeHeatMapModel genotypeHeatMap(int alleles, const std::vector<double> &observed,
                                     const std::vector<double> &expected, const std::vector<double> &residual,
                                     const QString &title, const QString &subtitle)
{
    GenotypeHeatMapModel model;
    model.title = title;
    model.subtitle = subtitle;
    for (int i = 0; i < alleles; ++i)
        model.alleles.append(QStringLiteral("A%1").arg(i + 1));
    model.observed = observed;
    model.expected = expected;
    model.residual = residual;
    return model;
}

} // namespace pictures

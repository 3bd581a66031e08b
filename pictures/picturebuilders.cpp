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
    const bool rowsNamed = block.rowNames.size() == block.rows;
    const bool columnsNamed = block.columnNames.size() == block.columns;
    const auto rowLabel = [&](int r, bool alone) {
        return rowsNamed ? block.rowNames.at(r)
                         : alone ? QStringLiteral("Row %1").arg(rowName(block.top + r)) : rowName(block.top + r);
    };
    const auto columnLabel = [&](int c, bool alone) {
        return columnsNamed ? block.columnNames.at(c)
                            : alone ? QStringLiteral("Column %1").arg(columnName(block.left + c))
                                    : columnName(block.left + c);
    };
    for (int g = 0; g < groups; ++g)
        model.groups.append(rowsAsSeries ? columnLabel(g, false) : rowLabel(g, false));
    for (int s = 0; s < series; ++s)
        model.series.append(rowsAsSeries ? rowLabel(s, true) : columnLabel(s, true));
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

QStringList alleleLabels(int count, const QStringList &names)
{
    if (names.size() == count)
        return names;
    QStringList labels;
    for (int i = 0; i < count; ++i)
        labels.append(QString::number(i + 1));
    return labels;
}

TernaryModel deFinetti(qint64 homFirst, qint64 het, qint64 homSecond, const std::vector<BandCounts> &band,
                       double level, const QString &title, const QString &subtitle, const QStringList &alleleNames)
{
    TernaryModel model;
    model.title = title;
    model.subtitle = subtitle;
    model.alleles = alleleLabels(2, alleleNames);
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
                                     const QString &title, const QString &subtitle, const QStringList &alleleNames)
{
    GenotypeHeatMapModel model;
    model.title = title;
    model.subtitle = subtitle;
    model.alleles = alleleLabels(alleles, alleleNames);
    model.observed = observed;
    model.expected = expected;
    model.residual = residual;
    return model;
}

} // namespace pictures

#include "picturepainter.h"

#include "contingencyplot.h"
#include "dotplots.h"
#include "metaplots.h"
#include "ldtriangle.h"
#include "haplotypeplot.h"
#include "ternaryplot.h"
#include "xyplots.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

template <class... Painters>
struct Overloaded : Painters...
{
    using Painters::operator()...;
};
template <class... Painters>
Overloaded(Painters...) -> Overloaded<Painters...>;

} // namespace

void paintPicture(QPainter &painter, const Picture &picture, const QRectF &area, const QFont &font)
{
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setFont(font);
    std::visit(Overloaded{
                   [&](const ContingencyModel &m) { paintContingency(painter, m, area, font); },
                   [&](const TernaryModel &m) { paintTernary(painter, m, area, font); },
                   [&](const GenotypeHeatMapModel &m) { paintHeatMap(painter, m, area, font); },
                   [&](const HistogramModel &m) { paintHistogram(painter, m, area, font); },
                   [&](const ForestModel &m) { paintForest(painter, m, area, font); },
                   [&](const ClusterDotModel &m) { paintClusterDots(painter, m, area, font); },
                   [&](const QqModel &m) { paintQq(painter, m, area, font); },
                   [&](const MetaForestModel &m) { paintMetaForest(painter, m, area, font); },
                   [&](const FunnelModel &m) { paintFunnel(painter, m, area, font); },
                   [&](const LdTriangleModel &m) { paintLdTriangle(painter, m, area, font); },
                   [&](const HaplotypeModel &m) { paintHaplotypes(painter, m, area, font); },
               },
               picture);
    painter.restore();
}

QFont pictureFont(const QFont &windowFont)
{
    QFont font = windowFont;
    if (font.pixelSize() <= 0)
        font.setPixelSize(std::max(8, int(std::lround(windowFont.pointSizeF() * 96.0 / 72.0))));
    return font;
}

QSizeF logicalSize(const QSize &size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return kMinimumLogicalSize;
    const double scale = std::min(size.width() / kMinimumLogicalSize.width(),
                                  size.height() / kMinimumLogicalSize.height());
    return QSizeF(size.width() / scale, size.height() / scale);
}

QString pictureTitle(const Picture &picture)
{
    return std::visit([](const auto &model) { return model.title; }, picture);
}

} // namespace pictures

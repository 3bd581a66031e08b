#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QLineF>
#include <QPolygonF>

class QPainter;

// The plots on two numeric axes: the Monte Carlo histogram and the Q-Q plot.
namespace pictures {

// One bar per bin; the part of a bin at or above the observed value (the
// samples counted as extreme) is shaded apart.
struct HistogramLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    Frame frame;
    std::vector<QRectF> bars;      // the whole of each bin
    std::vector<QRectF> extreme;   // the extreme part of each bin, or empty
    double observedX = 0.0;
};

HistogramLayout layoutHistogram(const HistogramModel &model, const QRectF &area, const QFont &font);
void paintHistogram(QPainter &painter, const HistogramModel &model, const QRectF &area, const QFont &font);

struct QqLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    Frame frame;
    std::vector<QPointF> points;
    std::vector<QPointF> beyond;  // P = 0: at the top of the plot, past the axis' end
    QPolygonF band;    // upper edge from the largest expectation down, then the lower edge back
    QLineF diagonal;   // observed = expected
};

QqLayout layoutQq(const QqModel &model, const QRectF &area, const QFont &font);
void paintQq(QPainter &painter, const QqModel &model, const QRectF &area, const QFont &font);

} // namespace pictures

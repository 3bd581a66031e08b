#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QLineF>
#include <QPolygonF>

class QPainter;

// The plots of estimates on a log scale against the line at 1: the risk
// clusters' frequency ratios and the genetic models' forest plot.
namespace pictures {

// Factors top to bottom, cluster by cluster (each cluster's factors by
// rising ratio), one colour and one shaded band per cluster.
struct ClusterDotLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    Frame frame;
    std::vector<int> order;         // model.dots indexes, top to bottom
    std::vector<QPointF> dots;      // per model.dots index
    std::vector<QRectF> clusterBands;
    std::vector<QLineF> clusterLines;  // each cluster's own ratio
    double oneX = 0.0;
};

ClusterDotLayout layoutClusterDots(const ClusterDotModel &model, const QRectF &area, const QFont &font);
void paintClusterDots(QPainter &painter, const ClusterDotModel &model, const QRectF &area, const QFont &font);

// One row per model in the model's order: a square at the estimate on its
// interval, the line at 1, the P-value in a column at the right.
struct ForestLayout
{
    TitleLayout titles;
    Frame frame;
    std::vector<QPointF> estimates;   // NaN coordinates for a row without one
    std::vector<QLineF> intervals;    // clipped to the axis
    std::vector<bool> openLow;        // the interval runs past the axis' left end
    std::vector<bool> openHigh;
    QStringList pTexts;
    double pColumn = 0.0;             // left edge of the P-value column
    double oneX = 0.0;
};

ForestLayout layoutForest(const ForestModel &model, const QRectF &area, const QFont &font);
void paintForest(QPainter &painter, const ForestModel &model, const QRectF &area, const QFont &font);

// A P-value as a label: six significant digits.
QString pValueText(double p);

} // namespace pictures

#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QLineF>
#include <QPolygonF>

class QPainter;

// The plots of a meta-analysis: the forest plot (also leave-one-out's) and
// the funnel plot. Layout apart from painting, as for the other plots.
namespace pictures {

struct MetaForestLayout
{
    TitleLayout titles;
    Frame frame;
    std::vector<QRectF> squares;      // studies: area proportional to weight; empty: none
    std::vector<QPolygonF> diamonds;  // pooled rows; empty: none
    std::vector<QLineF> intervals;    // studies' intervals, clipped to the axis
    std::vector<QLineF> predictions;  // diamonds' prediction intervals, clipped
    // Per row: the interval (or prediction interval) runs past the axis'
    // left (right) end, and is drawn to it with an arrow head.
    std::vector<bool> openLow;
    std::vector<bool> openHigh;
    QStringList estimateTexts;        // "OR (low, high)" per row
    QStringList weightTexts;
    double estimateColumn = 0.0;      // left edge of the right-hand texts
    double weightColumn = 0.0;
    std::vector<QPointF> footerAnchors;
    double oneX = 0.0;
};

MetaForestLayout layoutMetaForest(const MetaForestModel &model, const QRectF &area, const QFont &font);
void paintMetaForest(QPainter &painter, const MetaForestModel &model, const QRectF &area, const QFont &font);

struct FunnelLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    Frame frame;
    std::vector<QPointF> points;  // per model point
    QPolygonF limits;             // the pseudo limits' triangle
    QLineF centre;
    QLineF adjusted;              // empty without trim-and-fill's studies
    QPointF footerAnchor;
};

FunnelLayout layoutFunnel(const FunnelModel &model, const QRectF &area, const QFont &font);
void paintFunnel(QPainter &painter, const FunnelModel &model, const QRectF &area, const QFont &font);

} // namespace pictures

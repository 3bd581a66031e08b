#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QPolygonF>

class QPainter;

namespace pictures {

// The de Finetti diagram: an equilateral triangle whose corners are the
// three genotypes; a sample's point is the mean of the corners weighted by
// the genotype frequencies, so its distance along the base is the second
// allele's frequency and its height the heterozygotes' share.
struct TernaryLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    QPointF homFirst;   // bottom left
    QPointF het;        // top
    QPointF homSecond;  // bottom right
    QPointF observed;
    QPolygonF parabola;
    // The band's outline: its upper edge left to right, then the lower
    // one back; steps half way to the neighbours when the model has a
    // slice for every allele count, straight edges between sampled ones.
    QPolygonF band;

    // The place of a second-allele frequency and a heterozygote frequency.
    QPointF at(double alleleFrequency, double hetFrequency) const;
};

TernaryLayout layoutTernary(const TernaryModel &model, const QRectF &area, const QFont &font);
void paintTernary(QPainter &painter, const TernaryModel &model, const QRectF &area, const QFont &font);

// The K-allele genotype table as a heat map of (O - E) / sqrt(E).
struct HeatMapLayout
{
    TitleLayout titles;
    QRectF table;                 // the K x K cells
    QPointF rowTitle;             // the axes' titles: left of the rows' names,
    QPointF columnTitle;          // above the columns' (bottom centre)
    std::vector<QRectF> cells;    // row-major; empty below the diagonal
    bool countsShown = false;     // the cells are large enough for O and E
    QRectF colourBar;
    double limit = 2.0;           // the colour saturates at +-limit
};

HeatMapLayout layoutHeatMap(const GenotypeHeatMapModel &model, const QRectF &area, const QFont &font);
void paintHeatMap(QPainter &painter, const GenotypeHeatMapModel &model, const QRectF &area, const QFont &font);

} // namespace pictures

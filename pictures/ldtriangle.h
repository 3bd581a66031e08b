#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QColor>
#include <QLineF>
#include <QPolygonF>

class QPainter;

namespace pictures {

// The LD triangle: the SNPs evenly along the top, each pair a diamond
// below the middle of its two SNPs, as deep as they are apart in the list;
// above the names, a ruler of the region's positions with a line from each
// SNP's place on it to its column.
struct LdTriangleLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    QLineF ruler;                   // empty when the SNPs span chromosomes
    QString rulerText;              // the region, under the ruler
    std::vector<QLineF> connectors; // from the ruler to each column
    std::vector<QPointF> nameAnchors;  // each name's foot (rotated text)
    int nameEvery = 1;              // every n-th name fits
    double cell = 0;                // a diamond's width
    bool valuesShown = false;       // the diamonds are large enough for their numbers
    std::vector<QPolygonF> diamonds;   // per pair, as the model's vectors
};

LdTriangleLayout layoutLdTriangle(const LdTriangleModel &model, const QRectF &area, const QFont &font);
void paintLdTriangle(QPainter &painter, const LdTriangleModel &model, const QRectF &area, const QFont &font);

// The colour of pair `index`: by D' and LOD, bright red for D' = 1 with
// LOD >= 2, pink to red by D' below 1 with LOD >= 2, blue for D' = 1 with
// LOD < 2, white below; or by r2, white at 0 to black at 1. Light grey
// where the pair has no estimate.
QColor ldColour(const LdTriangleModel &model, std::size_t index);
// The number in a diamond: 100 |D'| (none where D' = 1) or 100 r2
// (none where r2 = 1); empty where there is no estimate.
QString ldValueText(const LdTriangleModel &model, std::size_t index);

} // namespace pictures

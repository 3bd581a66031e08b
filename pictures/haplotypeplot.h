#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QLineF>

#include <vector>

class QPainter;

namespace pictures {

// The haplotype picture: two frames side by side over the same rows, the
// frequencies left (a case bar above a control bar in each row) and the
// odds ratios right, on a log scale with the line at 1 and the P-values
// in a column at the right.
struct HaplotypeLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    Frame bars;
    Frame ratios;
    std::vector<QRectF> caseBars;     // per row
    std::vector<QRectF> controlBars;
    std::vector<QPointF> estimates;   // NaN coordinates where a row has none
    std::vector<QLineF> intervals;    // clipped to the axis; null where none
    QStringList pTexts;
    double pColumn = 0.0;
    double oneX = 0.0;
};

HaplotypeLayout layoutHaplotypes(const HaplotypeModel &model, const QRectF &area, const QFont &font);
void paintHaplotypes(QPainter &painter, const HaplotypeModel &model, const QRectF &area, const QFont &font);

} // namespace pictures

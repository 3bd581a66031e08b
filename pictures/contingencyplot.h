#pragma once

#include "picturemodel.h"
#include "plotframe.h"

#include <QRectF>

#include <vector>

class QFont;
class QPainter;

namespace pictures {

// Where the bars of a contingency picture go: per cell (series-major, as in
// the model) an observed bar, filled, beside an expected one, outlined,
// from the count axis' 0; the cell's residual above the pair where it fits
// (an empty rectangle where it does not).
struct ContingencyLayout
{
    TitleLayout titles;
    std::vector<LegendEntry> legend;
    QRectF legendArea;
    Frame frame;
    std::vector<QRectF> observedBars;
    std::vector<QRectF> expectedBars;
    std::vector<QRectF> residualLabels;
    QStringList residualTexts;
    // Residuals without room above their pair; the subtitle then says so.
    int residualsLeftOut = 0;
};

ContingencyLayout layoutContingency(const ContingencyModel &model, const QRectF &area, const QFont &font);
void paintContingency(QPainter &painter, const ContingencyModel &model, const QRectF &area, const QFont &font);

// A residual as its label: sign, one decimal.
QString residualText(double residual);

} // namespace pictures

#include "haplotypeplot.h"

#include "dotplots.h"
#include "palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

constexpr double kGap = 4.0;
// The frequency panel's share of the width; the forest takes the rest.
constexpr double kBarShare = 0.55;

QColor caseColour()
{
    return palette::vermillion();
}

QColor controlColour()
{
    return palette::blue();
}

} // namespace

HaplotypeLayout layoutHaplotypes(const HaplotypeModel &model, const QRectF &area, const QFont &font)
{
    HaplotypeLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    layout.legend = {{LegendEntry::Mark::Box, caseColour(), QStringLiteral("cases")},
                     {LegendEntry::Mark::Box, controlColour(), QStringLiteral("controls")},
                     {LegendEntry::Mark::Box, palette::black(), QStringLiteral("odds ratio, against the first")}};
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);
    const QFontMetricsF metrics(font);
    // Room above both panels for the P-value column's heading.
    const QRectF panels = body.adjusted(0.0, legendRoom + metrics.height() + kGap, 0.0, 0.0);
    const std::size_t rows = model.rows.size();

    FrameParts bars;
    bars.xLabel = QStringLiteral("Haplotype frequency");
    double most = 0.0;
    for (std::size_t i = 0; i < rows; ++i) {
        bars.yCategories.append(model.rows[i].label);
        most = std::max({most, i < model.cases.size() ? model.cases[i] : 0.0,
                         i < model.controls.size() ? model.controls[i] : 0.0});
    }
    const double top = std::min(1.0, std::max(0.05, most * 1.05));
    bars.xAxis = [top](int ticks) { return Axis::linear(0.0, top, ticks); };
    const double split = panels.left() + panels.width() * kBarShare;
    layout.bars = layoutFrame(QRectF(QPointF(panels.left(), panels.top()), QPointF(split - 2.0 * kGap, panels.bottom())),
                              font, bars);

    FrameParts ratios;
    ratios.xLabel = model.measure;
    double low = 1.0;
    double high = 1.0;
    for (const ForestRow &row : model.rows) {
        ratios.yCategories.append(QString());
        for (const double v : {row.estimate, row.low, row.high}) {
            if (v > 0.0 && std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        layout.pTexts.append(pValueText(row.pValue));
    }
    low /= 1.25;
    high *= 1.25;
    ratios.xAxis = [low, high](int ticks) { return Axis::log10(low, high, ticks); };
    double pWidth = metrics.horizontalAdvance(QStringLiteral("P-value"));
    for (const QString &text : layout.pTexts)
        pWidth = std::max(pWidth, metrics.horizontalAdvance(text));
    ratios.rightReserve = pWidth + 4.0 * kGap;
    layout.ratios = layoutFrame(QRectF(QPointF(split, panels.top()), panels.bottomRight()), font, ratios);

    const Frame &b = layout.bars;
    const Frame &r = layout.ratios;
    const double base = b.xAt(0.0);
    const double band = b.yBand();
    for (std::size_t i = 0; i < rows; ++i) {
        const double y = b.yCentre(int(i));
        const double c = i < model.cases.size() ? model.cases[i] : 0.0;
        const double k = i < model.controls.size() ? model.controls[i] : 0.0;
        layout.caseBars.push_back(QRectF(QPointF(base, y - band * 0.38), QPointF(b.xAt(c), y)));
        layout.controlBars.push_back(QRectF(QPointF(base, y), QPointF(b.xAt(k), y + band * 0.38)));

        const ForestRow &row = model.rows[i];
        const double ry = r.yCentre(int(i));
        const bool has = row.estimate > 0.0 && std::isfinite(row.estimate);
        layout.estimates.push_back(has ? QPointF(r.xAt(row.estimate), ry) : QPointF(qQNaN(), qQNaN()));
        const bool interval = has && row.low > 0.0 && std::isfinite(row.high);
        layout.intervals.push_back(interval ? QLineF(std::max(r.xAt(row.low), r.plot.left()), ry,
                                                     std::min(r.xAt(row.high), r.plot.right()), ry)
                                            : QLineF());
    }
    layout.pColumn = r.plot.right() + 3.0 * kGap;
    layout.oneX = r.xAt(1.0);
    return layout;
}

void paintHaplotypes(QPainter &painter, const HaplotypeModel &model, const QRectF &area, const QFont &font)
{
    const HaplotypeLayout layout = layoutHaplotypes(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    paintFrame(painter, layout.bars, font);
    paintFrame(painter, layout.ratios, font);

    painter.save();
    painter.setFont(font);
    for (std::size_t i = 0; i < layout.caseBars.size(); ++i) {
        painter.fillRect(layout.caseBars[i], caseColour());
        painter.fillRect(layout.controlBars[i], controlColour());
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    const Frame &r = layout.ratios;
    painter.setPen(QPen(palette::black(), 1.2, Qt::DashLine));
    painter.drawLine(QPointF(layout.oneX, r.plot.top()), QPointF(layout.oneX, r.plot.bottom()));
    painter.setPen(palette::black());
    drawText(painter, QPointF(layout.pColumn, r.plot.top() - kGap), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("P-value"));
    const double half = std::clamp(r.yBand() * 0.22, 3.0, QFontMetricsF(font).height() * 0.45);
    for (std::size_t i = 0; i < layout.estimates.size(); ++i) {
        const double y = r.yCentre(int(i));
        painter.setPen(palette::black());
        drawText(painter, QPointF(layout.pColumn, y), Qt::AlignLeft | Qt::AlignVCenter, layout.pTexts.at(qsizetype(i)));
        const QPointF &estimate = layout.estimates[i];
        if (std::isnan(estimate.x())) {
            painter.setPen(palette::grey());
            drawText(painter, QPointF(r.plot.left() + kGap, y), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(font).elidedText(model.rows[i].note, Qt::ElideRight, r.plot.width() - 2.0 * kGap));
            continue;
        }
        const QLineF &line = layout.intervals[i];
        painter.setPen(QPen(palette::black(), 1.8));
        if (!line.isNull()) {
            painter.drawLine(line);
            for (const QPointF &end : {line.p1(), line.p2()})
                painter.drawLine(end + QPointF(0.0, -half * 0.6), end + QPointF(0.0, half * 0.6));
        }
        painter.fillRect(QRectF(estimate.x() - half, estimate.y() - half, 2.0 * half, 2.0 * half), palette::black());
    }
    painter.restore();
}

} // namespace pictures

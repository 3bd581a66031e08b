#include "xyplots.h"

#include "palette.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictures {

HistogramLayout layoutHistogram(const HistogramModel &model, const QRectF &area, const QFont &font)
{
    HistogramLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    layout.legend.push_back({LegendEntry::Mark::Box, palette::skyBlue(), QStringLiteral("simulated tables")});
    layout.legend.push_back({LegendEntry::Mark::Box, palette::vermillion(), QStringLiteral("as extreme as observed")});
    layout.legend.push_back({LegendEntry::Mark::Line, palette::black(), QStringLiteral("observed")});
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);

    const std::size_t bins = model.counts.size();
    const double first = model.binStart;
    const double last = model.binStart + model.binWidth * double(bins);
    const double low = std::min(first, model.observed);
    const double high = std::max(last, model.observed);
    qint64 most = 1;
    for (const qint64 count : model.counts)
        most = std::max(most, count);
    FrameParts parts;
    parts.xLabel = model.statistic;
    parts.yLabel = QStringLiteral("Simulated tables (count per bin)");
    parts.xAxis = [low, high](int ticks) { return Axis::linear(low, high, ticks); };
    parts.yAxis = [most](int ticks) { return Axis::linear(0.0, double(most) * 1.05, ticks); };
    layout.frame = layoutFrame(body.adjusted(0.0, legendRoom, 0.0, 0.0), font, parts);

    const Frame &frame = layout.frame;
    const double base = frame.yAt(0.0);
    layout.observedX = frame.xAt(model.observed);
    for (std::size_t i = 0; i < bins; ++i) {
        const double from = model.binStart + model.binWidth * double(i);
        const double to = from + model.binWidth;
        const QRectF bar(QPointF(frame.xAt(from), frame.yAt(double(model.counts[i]))), QPointF(frame.xAt(to), base));
        layout.bars.push_back(bar);
        if (to <= model.observed || model.counts[i] == 0)
            layout.extreme.push_back(QRectF());
        else
            layout.extreme.push_back(QRectF(QPointF(std::max(bar.left(), layout.observedX), bar.top()),
                                            bar.bottomRight()));
    }
    return layout;
}

void paintHistogram(QPainter &painter, const HistogramModel &model, const QRectF &area, const QFont &font)
{
    const HistogramLayout layout = layoutHistogram(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    paintFrame(painter, layout.frame, font);
    painter.save();
    painter.setFont(font);
    for (std::size_t i = 0; i < layout.bars.size(); ++i) {
        painter.fillRect(layout.bars[i], palette::skyBlue());
        if (!layout.extreme[i].isEmpty())
            painter.fillRect(layout.extreme[i], palette::vermillion());
    }
    const Frame &frame = layout.frame;
    painter.setPen(QPen(palette::black(), 2.0));
    painter.drawLine(QPointF(layout.observedX, frame.plot.top()), QPointF(layout.observedX, frame.plot.bottom()));
    const QString label = QStringLiteral("observed %1").arg(QString::number(model.observed, 'g', 6));
    const double width = QFontMetricsF(font).horizontalAdvance(label);
    // Beside the line, on the side with room.
    const bool right = layout.observedX + 4.0 + width <= frame.plot.right();
    drawText(painter, QPointF(layout.observedX + (right ? 4.0 : -4.0), frame.plot.top()),
             (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop, label);
    painter.restore();
}

QqLayout layoutQq(const QqModel &model, const QRectF &area, const QFont &font)
{
    QqLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    layout.legend.push_back({LegendEntry::Mark::Dot, palette::blue(),
                             QStringLiteral("P-values (%1)").arg(QLocale(QLocale::English).toString(model.count))});
    if (model.zeros > 0)
        layout.legend.push_back({LegendEntry::Mark::HollowDot, palette::vermillion(),
                                 QStringLiteral("P = 0, beyond the axis (%1)")
                                     .arg(QLocale(QLocale::English).toString(model.zeros))});
    layout.legend.push_back({LegendEntry::Mark::Band, palette::grey(), QStringLiteral("95% band under the null")});
    layout.legend.push_back({LegendEntry::Mark::DashedLine, palette::black(), QStringLiteral("observed = expected")});
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);

    double xHigh = 1.0;
    double yHigh = 1.0;
    for (const double x : model.expected)
        xHigh = std::max(xHigh, x);
    for (const double y : model.observed)
        if (std::isfinite(y))
            yHigh = std::max(yHigh, y);
    for (const double y : model.bandHigh)
        yHigh = std::max(yHigh, y);
    yHigh = std::max(yHigh, xHigh);
    FrameParts parts;
    parts.xLabel = QStringLiteral("Expected \u2212log10 P (uniform)");
    parts.yLabel = QStringLiteral("Observed \u2212log10 P");
    parts.xAxis = [xHigh](int ticks) { return Axis::linear(0.0, xHigh, ticks); };
    parts.yAxis = [yHigh](int ticks) { return Axis::linear(0.0, yHigh, ticks); };
    layout.frame = layoutFrame(body.adjusted(0.0, legendRoom, 0.0, 0.0), font, parts);

    const Frame &frame = layout.frame;
    layout.points.reserve(model.expected.size());
    for (std::size_t i = 0; i < model.expected.size() && i < model.observed.size(); ++i) {
        if (std::isfinite(model.observed[i]))
            layout.points.emplace_back(frame.xAt(model.expected[i]), frame.yAt(model.observed[i]));
        else
            layout.beyond.emplace_back(frame.xAt(model.expected[i]), frame.plot.top());
    }
    const std::size_t bandSize = std::min({model.bandExpected.size(), model.bandLow.size(), model.bandHigh.size()});
    for (std::size_t i = 0; i < bandSize; ++i)
        layout.band << QPointF(frame.xAt(model.bandExpected[i]), frame.yAt(model.bandHigh[i]));
    for (std::size_t i = bandSize; i-- > 0;)
        layout.band << QPointF(frame.xAt(model.bandExpected[i]), frame.yAt(model.bandLow[i]));
    const double end = std::min(frame.x.high(), frame.y.high());
    layout.diagonal = QLineF(frame.xAt(0.0), frame.yAt(0.0), frame.xAt(end), frame.yAt(end));
    return layout;
}

void paintQq(QPainter &painter, const QqModel &model, const QRectF &area, const QFont &font)
{
    const QqLayout layout = layoutQq(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    paintFrame(painter, layout.frame, font);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor fill = palette::grey();
    fill.setAlphaF(0.35f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPolygon(layout.band);
    painter.setPen(QPen(palette::black(), 1.2, Qt::DashLine));
    painter.drawLine(layout.diagonal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::blue());
    const double radius = std::max(2.0, QFontMetricsF(font).height() * 0.18);
    for (const QPointF &point : layout.points)
        painter.drawEllipse(point, radius, radius);
    // P = 0 has no place on the axis: hollow, on the plot's top edge.
    painter.setPen(QPen(palette::vermillion(), 1.5));
    painter.setBrush(Qt::NoBrush);
    for (const QPointF &point : layout.beyond)
        painter.drawEllipse(point, radius, radius);
    painter.setFont(titleFont(font));
    painter.setPen(palette::black());
    const double h = QFontMetricsF(font).height();
    drawText(painter, layout.frame.plot.topLeft() + QPointF(h * 0.6, h * 0.3), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("\u03bb = %1")
                 .arg(std::isinf(model.lambda) ? QStringLiteral("inf") : QString::number(model.lambda, 'f', 6)));
    painter.restore();
}

} // namespace pictures

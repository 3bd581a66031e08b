#include "dotplots.h"

#include "palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace pictures {

namespace {

constexpr double kGap = 4.0;

// A log axis over the values and 1, a little wider on both sides.
std::function<Axis(int)> ratioAxis(std::vector<double> values)
{
    values.push_back(1.0);
    double low = 1.0;
    double high = 1.0;
    for (const double v : values) {
        if (v > 0.0 && std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    low /= 1.25;
    high *= 1.25;
    return [low, high](int ticks) { return Axis::log10(low, high, ticks); };
}

void drawOneLine(QPainter &painter, const Frame &frame, double x)
{
    painter.setPen(QPen(palette::black(), 1.2, Qt::DashLine));
    painter.drawLine(QPointF(x, frame.plot.top()), QPointF(x, frame.plot.bottom()));
}

} // namespace

QString pValueText(double p)
{
    if (std::isnan(p))
        return QStringLiteral("\u2013");
    return QString::number(p, 'g', 6);
}

ClusterDotLayout layoutClusterDots(const ClusterDotModel &model, const QRectF &area, const QFont &font)
{
    ClusterDotLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    const bool anyCorrected = std::any_of(model.dots.begin(), model.dots.end(),
                                          [](const ClusterDot &dot) { return dot.corrected; });
    layout.legend.push_back({LegendEntry::Mark::Dot, palette::grey(), QStringLiteral("factor")});
    if (anyCorrected)
        layout.legend.push_back({LegendEntry::Mark::HollowDot, palette::grey(),
                                 QStringLiteral("a zero count replaced by 0.5")});
    layout.legend.push_back({LegendEntry::Mark::Line, palette::grey(), QStringLiteral("cluster")});
    layout.legend.push_back({LegendEntry::Mark::DashedLine, palette::black(), QStringLiteral("equal frequencies")});
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);

    layout.order.resize(model.dots.size());
    std::iota(layout.order.begin(), layout.order.end(), 0);
    std::stable_sort(layout.order.begin(), layout.order.end(), [&](int a, int b) {
        const ClusterDot &x = model.dots[std::size_t(a)];
        const ClusterDot &y = model.dots[std::size_t(b)];
        return x.cluster != y.cluster ? x.cluster < y.cluster : x.ratio < y.ratio;
    });
    FrameParts parts;
    parts.xLabel = model.ratioAxis;
    for (const int i : layout.order)
        parts.yCategories.append(model.dots[std::size_t(i)].factor);
    std::vector<double> values = model.clusterRatios;
    for (const ClusterDot &dot : model.dots)
        values.push_back(dot.ratio);
    parts.xAxis = ratioAxis(values);
    const QFontMetricsF metrics(font);
    int clusters = int(model.clusterRatios.size());
    for (const ClusterDot &dot : model.dots)
        clusters = std::max(clusters, dot.cluster);
    parts.rightReserve = metrics.horizontalAdvance(QStringLiteral("Cluster %1").arg(clusters)) + 2.0 * kGap;
    layout.frame = layoutFrame(body.adjusted(0.0, legendRoom, 0.0, 0.0), font, parts);

    const Frame &frame = layout.frame;
    layout.oneX = frame.xAt(1.0);
    layout.dots.resize(model.dots.size());
    for (std::size_t row = 0; row < layout.order.size(); ++row) {
        const int i = layout.order[row];
        layout.dots[std::size_t(i)] = QPointF(frame.xAt(model.dots[std::size_t(i)].ratio), frame.yCentre(int(row)));
    }
    for (int c = 1; c <= clusters; ++c) {
        double top = 0.0;
        double bottom = 0.0;
        bool found = false;
        for (std::size_t row = 0; row < layout.order.size(); ++row) {
            if (model.dots[std::size_t(layout.order[row])].cluster != c)
                continue;
            const double y = frame.yCentre(int(row));
            top = found ? std::min(top, y) : y;
            bottom = found ? std::max(bottom, y) : y;
            found = true;
        }
        const double half = frame.yBand() / 2.0;
        layout.clusterBands.push_back(found ? QRectF(QPointF(frame.plot.left(), top - half),
                                                     QPointF(frame.plot.right(), bottom + half))
                                            : QRectF());
        const double ratio = std::size_t(c - 1) < model.clusterRatios.size() ? model.clusterRatios[std::size_t(c - 1)]
                                                                            : qQNaN();
        const double x = ratio > 0.0 ? frame.xAt(ratio) : qQNaN();
        layout.clusterLines.push_back(found && !std::isnan(x)
                                          ? QLineF(x, top - half * 0.8, x, bottom + half * 0.8)
                                          : QLineF());
    }
    return layout;
}

void paintClusterDots(QPainter &painter, const ClusterDotModel &model, const QRectF &area, const QFont &font)
{
    const ClusterDotLayout layout = layoutClusterDots(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    painter.save();
    for (std::size_t c = 0; c < layout.clusterBands.size(); ++c) {
        if (c % 2 == 1 && !layout.clusterBands[c].isEmpty())
            painter.fillRect(layout.clusterBands[c], QColor(0xF3, 0xF3, 0xF3));
    }
    painter.restore();
    paintFrame(painter, layout.frame, font);

    painter.save();
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawOneLine(painter, layout.frame, layout.oneX);
    const double radius = std::clamp(layout.frame.yBand() * 0.3, 2.5, QFontMetricsF(font).height() * 0.35);
    for (std::size_t c = 0; c < layout.clusterBands.size(); ++c) {
        if (layout.clusterBands[c].isEmpty())
            continue;
        const QColor colour = palette::series(int(c), int(layout.clusterBands.size()));
        if (!layout.clusterLines[c].isNull()) {
            painter.setPen(QPen(colour, 2.5));
            painter.drawLine(layout.clusterLines[c]);
        }
        painter.setPen(colour);
        drawText(painter, QPointF(layout.frame.plot.right() + kGap, layout.clusterBands[c].center().y()),
                 Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Cluster %1").arg(c + 1));
    }
    for (std::size_t i = 0; i < model.dots.size(); ++i) {
        const ClusterDot &dot = model.dots[i];
        const QColor colour = palette::series(dot.cluster - 1, int(layout.clusterBands.size()));
        painter.setPen(QPen(dot.corrected ? colour : palette::black(), dot.corrected ? 1.5 : 0.8));
        painter.setBrush(dot.corrected ? QColor(Qt::white) : colour);
        painter.drawEllipse(layout.dots[i], radius, radius);
    }
    painter.restore();
}

ForestLayout layoutForest(const ForestModel &model, const QRectF &area, const QFont &font)
{
    ForestLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    const QFontMetricsF metrics(font);
    FrameParts parts;
    parts.xLabel = model.measure;
    std::vector<double> values;
    for (const ForestRow &row : model.rows) {
        parts.yCategories.append(row.label);
        for (const double v : {row.estimate, row.low, row.high})
            values.push_back(v);
        layout.pTexts.append(std::isnan(row.estimate) && !row.note.isEmpty() ? QString() : pValueText(row.pValue));
    }
    parts.xAxis = ratioAxis(values);
    double pWidth = metrics.horizontalAdvance(QStringLiteral("P-value"));
    for (const QString &text : layout.pTexts)
        pWidth = std::max(pWidth, metrics.horizontalAdvance(text));
    parts.rightReserve = pWidth + 4.0 * kGap;
    const QRectF body = layout.titles.body.adjusted(0.0, metrics.height() + kGap, 0.0, 0.0);
    layout.frame = layoutFrame(body, font, parts);
    const Frame &frame = layout.frame;
    layout.pColumn = frame.plot.right() + 3.0 * kGap;
    layout.oneX = frame.xAt(1.0);
    const double left = frame.plot.left();
    const double right = frame.plot.right();
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
        const ForestRow &row = model.rows[i];
        const double y = frame.yCentre(int(i));
        const bool has = row.estimate > 0.0 && std::isfinite(row.estimate);
        layout.estimates.push_back(has ? QPointF(frame.xAt(row.estimate), y) : QPointF(qQNaN(), qQNaN()));
        const double low = row.low > 0.0 ? frame.xAt(row.low) : -INFINITY;
        const double high = std::isfinite(row.high) ? frame.xAt(row.high) : INFINITY;
        const bool interval = has && !std::isnan(row.low) && !std::isnan(row.high);
        layout.openLow.push_back(interval && low < left);
        layout.openHigh.push_back(interval && high > right);
        layout.intervals.push_back(interval ? QLineF(std::max(low, left), y, std::min(high, right), y) : QLineF());
    }
    return layout;
}

void paintForest(QPainter &painter, const ForestModel &model, const QRectF &area, const QFont &font)
{
    const ForestLayout layout = layoutForest(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintFrame(painter, layout.frame, font);
    painter.save();
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const Frame &frame = layout.frame;
    const double h = QFontMetricsF(font).height();
    drawOneLine(painter, frame, layout.oneX);
    painter.setPen(palette::black());
    drawText(painter, QPointF(layout.pColumn, frame.plot.top() - kGap), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("P-value"));
    const double half = std::clamp(frame.yBand() * 0.22, 3.0, h * 0.45);
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
        const double y = frame.yCentre(int(i));
        painter.setPen(palette::black());
        drawText(painter, QPointF(layout.pColumn, y), Qt::AlignLeft | Qt::AlignVCenter, layout.pTexts.at(qsizetype(i)));
        const QPointF &estimate = layout.estimates[i];
        if (std::isnan(estimate.x())) {
            painter.setPen(palette::grey());
            drawText(painter, QPointF(frame.plot.left() + kGap, y), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(font).elidedText(model.rows[i].note, Qt::ElideRight, frame.plot.width() - 2 * kGap));
            continue;
        }
        const QLineF &line = layout.intervals[i];
        painter.setPen(QPen(palette::blue(), 1.8));
        if (!line.isNull()) {
            painter.drawLine(line);
            // Closed ends get a whisker, open ones an arrow.
            for (const bool high : {false, true}) {
                const QPointF end = high ? line.p2() : line.p1();
                const double dir = high ? 1.0 : -1.0;
                if (high ? layout.openHigh[i] : layout.openLow[i]) {
                    painter.drawLine(end, end + QPointF(-dir * half, -half * 0.7));
                    painter.drawLine(end, end + QPointF(-dir * half, half * 0.7));
                } else {
                    painter.drawLine(end + QPointF(0.0, -half * 0.6), end + QPointF(0.0, half * 0.6));
                }
            }
        }
        painter.fillRect(QRectF(estimate.x() - half, estimate.y() - half, 2.0 * half, 2.0 * half), palette::blue());
    }
    painter.restore();
}

} // namespace pictures

#include "metaplots.h"

#include "palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

constexpr double kGap = 4.0;

QString ratioText(double v)
{
    if (std::isnan(v))
        return QStringLiteral("\u2013");
    if (std::isinf(v))
        return QStringLiteral("inf");
    return QString::number(v, 'f', v < 10.0 ? 2 : 1);
}

// A log axis over the finite positive values and 1, a little wider.
std::function<Axis(int)> logAxis(const std::vector<double> &values)
{
    double low = 1.0, high = 1.0;
    for (const double v : values)
        if (v > 0.0 && std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    low /= 1.5;
    high *= 1.5;
    return [low, high](int ticks) { return Axis::log10(low, high, ticks); };
}

// An interval on the axis: a limit of 0 or infinity, or one past the
// axis' end, is cut at the end and marked open there.
struct Clipped
{
    QLineF line;
    bool openLow = false;
    bool openHigh = false;
};

Clipped clipped(const Frame &frame, double low, double high, double y)
{
    Clipped out;
    if (std::isnan(low) || std::isnan(high) || low < 0.0)
        return out;
    const double a = low > 0.0 ? frame.xAt(low) : -INFINITY;
    const double b = std::isfinite(high) ? frame.xAt(high) : INFINITY;
    const double left = std::max(a, frame.plot.left());
    const double right = std::min(b, frame.plot.right());
    if (!(left < right))
        return out;
    out.line = QLineF(left, y, right, y);
    out.openLow = a < frame.plot.left();
    out.openHigh = b > frame.plot.right();
    return out;
}

// A closed end gets a whisker, an open one an arrow head pointing out.
void drawEnds(QPainter &painter, const QLineF &line, bool openLow, bool openHigh, double size)
{
    for (const bool high : {false, true}) {
        const QPointF end = high ? line.p2() : line.p1();
        const double out = high ? 1.0 : -1.0;
        if (high ? openHigh : openLow) {
            painter.drawLine(end, end + QPointF(-out * size * 1.4, -size));
            painter.drawLine(end, end + QPointF(-out * size * 1.4, size));
        } else {
            painter.drawLine(end + QPointF(0, -size), end + QPointF(0, size));
        }
    }
}

} // namespace

MetaForestLayout layoutMetaForest(const MetaForestModel &model, const QRectF &area, const QFont &font)
{
    MetaForestLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    const QFontMetricsF metrics(font);
    FrameParts parts;
    parts.xLabel = model.measure;
    parts.grid = false;
    std::vector<double> values;
    double estimateWidth = metrics.horizontalAdvance(QStringLiteral("OR (95% CI)"));
    double weightWidth = metrics.horizontalAdvance(QStringLiteral("Weight"));
    for (const MetaForestRow &row : model.rows) {
        parts.yCategories.append(row.label);
        // The axis spans the estimates and the pooled intervals: one
        // study's wide interval runs off the edge rather than squeeze all.
        values.push_back(row.estimate);
        if (row.kind == MetaForestRow::Kind::Diamond)
            for (const double v : {row.low, row.high, row.predictionLow, row.predictionHigh})
                values.push_back(v);
        const QString estimate = row.kind == MetaForestRow::Kind::Heading || std::isnan(row.estimate)
                                     ? QString()
                                     : ratioText(row.estimate) + QStringLiteral(" (") + ratioText(row.low)
                                           + QStringLiteral(", ") + ratioText(row.high) + u')';
        const QString weight = std::isnan(row.weight) ? QString() : QString::number(row.weight, 'f', 1) + u'%';
        layout.estimateTexts.append(estimate);
        layout.weightTexts.append(weight);
        estimateWidth = std::max(estimateWidth, metrics.horizontalAdvance(estimate));
        weightWidth = std::max(weightWidth, metrics.horizontalAdvance(weight));
    }
    parts.xAxis = logAxis(values);
    parts.rightReserve = estimateWidth + weightWidth + 6.0 * kGap;
    const double footer = double(model.footer.size()) * metrics.height();
    const QRectF body = layout.titles.body.adjusted(0.0, metrics.height() + kGap, 0.0, -footer);
    layout.frame = layoutFrame(body, font, parts);
    const Frame &frame = layout.frame;
    layout.estimateColumn = frame.plot.right() + 3.0 * kGap;
    layout.weightColumn = layout.estimateColumn + estimateWidth + 3.0 * kGap;
    layout.oneX = frame.xAt(1.0);
    // The largest weight's square fills most of a row; the others keep
    // area in proportion, down to a visible least.
    double heaviest = 0.0;
    for (const MetaForestRow &row : model.rows)
        if (row.kind == MetaForestRow::Kind::Study && row.weight > 0.0)
            heaviest = std::max(heaviest, row.weight);
    const double band = frame.yBand();
    const double largest = std::clamp(band * 0.8, 4.0, metrics.height() * 1.4);
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
        const MetaForestRow &row = model.rows[i];
        const double y = frame.yCentre(int(i));
        const bool has = row.estimate > 0.0 && std::isfinite(row.estimate);
        QRectF square;
        QPolygonF diamond;
        Clipped interval, prediction;
        if (has && row.kind == MetaForestRow::Kind::Study) {
            const double side = heaviest > 0.0 && row.weight > 0.0
                                    ? std::max(3.0, largest * std::sqrt(row.weight / heaviest))
                                    : 5.0;
            const double x = frame.xAt(row.estimate);
            square = QRectF(x - side / 2.0, y - side / 2.0, side, side);
            interval = clipped(frame, row.low, row.high, y);
        } else if (has && row.kind == MetaForestRow::Kind::Diamond) {
            const double half = std::clamp(band * 0.35, 3.0, metrics.height() * 0.5);
            const double low = row.low > 0.0 ? std::max(frame.xAt(row.low), frame.plot.left()) : frame.plot.left();
            const double high = std::isfinite(row.high) ? std::min(frame.xAt(row.high), frame.plot.right())
                                                        : frame.plot.right();
            const double x = frame.xAt(row.estimate);
            diamond << QPointF(low, y) << QPointF(x, y - half) << QPointF(high, y) << QPointF(x, y + half);
            prediction = clipped(frame, row.predictionLow, row.predictionHigh, y);
        }
        layout.squares.push_back(square);
        layout.diamonds.push_back(diamond);
        layout.intervals.push_back(interval.line);
        layout.predictions.push_back(prediction.line);
        layout.openLow.push_back(interval.openLow || prediction.openLow);
        layout.openHigh.push_back(interval.openHigh || prediction.openHigh);
    }
    for (qsizetype i = 0; i < model.footer.size(); ++i)
        layout.footerAnchors.push_back(
            QPointF(area.left() + kGap, area.bottom() - footer + double(i) * metrics.height()));
    return layout;
}

void paintMetaForest(QPainter &painter, const MetaForestModel &model, const QRectF &area, const QFont &font)
{
    const MetaForestLayout layout = layoutMetaForest(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintFrame(painter, layout.frame, font);
    painter.save();
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const Frame &frame = layout.frame;
    painter.setPen(QPen(palette::black(), 1.0, Qt::DashLine));
    painter.drawLine(QPointF(layout.oneX, frame.plot.top()), QPointF(layout.oneX, frame.plot.bottom()));
    painter.setPen(palette::black());
    drawText(painter, QPointF(layout.estimateColumn, frame.plot.top() - kGap), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("OR (CI)"));
    drawText(painter, QPointF(layout.weightColumn, frame.plot.top() - kGap), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("Weight"));
    const double whisker = std::clamp(frame.yBand() * 0.2, 2.0, 5.0);
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
        const MetaForestRow &row = model.rows[i];
        const double y = frame.yCentre(int(i));
        painter.setPen(palette::black());
        drawText(painter, QPointF(layout.estimateColumn, y), Qt::AlignLeft | Qt::AlignVCenter,
                 layout.estimateTexts.at(qsizetype(i)));
        drawText(painter, QPointF(layout.weightColumn, y), Qt::AlignLeft | Qt::AlignVCenter,
                 layout.weightTexts.at(qsizetype(i)));
        if (row.kind == MetaForestRow::Kind::Heading)
            continue;
        if (layout.squares[i].isEmpty() && layout.diamonds[i].isEmpty()) {
            painter.setPen(palette::grey());
            drawText(painter, QPointF(frame.plot.left() + kGap, y), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(font).elidedText(row.note, Qt::ElideRight, frame.plot.width() - 2 * kGap));
            continue;
        }
        if (!layout.intervals[i].isNull()) {
            painter.setPen(QPen(palette::black(), 1.2));
            const QLineF &line = layout.intervals[i];
            painter.drawLine(line);
            drawEnds(painter, line, layout.openLow[i], layout.openHigh[i], whisker);
        }
        if (!layout.squares[i].isEmpty())
            painter.fillRect(layout.squares[i], palette::blue());
        if (!layout.predictions[i].isNull()) {
            painter.setPen(QPen(palette::vermillion(), 2.0));
            const QLineF &line = layout.predictions[i];
            painter.drawLine(line);
            drawEnds(painter, line, layout.openLow[i], layout.openHigh[i], whisker);
        }
        if (!layout.diamonds[i].isEmpty()) {
            painter.setPen(QPen(palette::black(), 1.0));
            painter.setBrush(row.predictionLow > 0.0 ? palette::orange() : palette::skyBlue());
            painter.drawPolygon(layout.diamonds[i]);
            painter.setBrush(Qt::NoBrush);
        }
    }
    painter.setPen(palette::black());
    for (qsizetype i = 0; i < model.footer.size(); ++i)
        drawText(painter, layout.footerAnchors[std::size_t(i)], Qt::AlignLeft | Qt::AlignTop, model.footer.at(i));
    painter.restore();
}

FunnelLayout layoutFunnel(const FunnelModel &model, const QRectF &area, const QFont &font)
{
    FunnelLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    layout.legend.push_back({LegendEntry::Mark::Dot, palette::blue(), QStringLiteral("study")});
    const bool anyFilled = std::any_of(model.points.begin(), model.points.end(),
                                       [](const FunnelPoint &p) { return p.filled; });
    if (anyFilled)
        layout.legend.push_back({LegendEntry::Mark::HollowDot, palette::vermillion(),
                                 QStringLiteral("filled by trim-and-fill")});
    layout.legend.push_back({LegendEntry::Mark::DashedLine, palette::black(), QStringLiteral("pseudo 95% limits")});
    const QFontMetricsF metrics(font);
    const double legend = legendHeight(layout.legend, font, layout.titles.body.width());
    const double footer = model.footer.isEmpty() ? 0.0 : metrics.height() + kGap;
    layout.legendArea = QRectF(layout.titles.body.left(), layout.titles.body.top(), layout.titles.body.width(), legend);
    const QRectF body = layout.titles.body.adjusted(0.0, legend + kGap, 0.0, -footer);
    double seMax = 0.0;
    std::vector<double> ratios{std::exp(model.centre)};
    for (const FunnelPoint &p : model.points) {
        seMax = std::max(seMax, p.se);
        ratios.push_back(std::exp(p.logOr));
    }
    seMax = seMax > 0.0 ? seMax * 1.05 : 1.0;
    ratios.push_back(std::exp(model.centre - model.z * seMax));
    ratios.push_back(std::exp(model.centre + model.z * seMax));
    FrameParts parts;
    parts.xLabel = QStringLiteral("Odds ratio (log scale)");
    parts.yLabel = QStringLiteral("Standard error of log OR");
    parts.xAxis = logAxis(ratios);
    // Standard error down the axis: 0 at the top, where the precise
    // studies gather.
    parts.yAxis = [seMax](int ticks) { return Axis::linear(0.0, seMax, ticks).reversed(); };
    layout.frame = layoutFrame(body, font, parts);
    const Frame &frame = layout.frame;
    for (const FunnelPoint &p : model.points)
        layout.points.push_back(QPointF(frame.xAt(std::exp(p.logOr)), frame.yAt(p.se)));
    const double bottom = frame.y.high();
    layout.limits << QPointF(frame.xAt(std::exp(model.centre - model.z * bottom)), frame.yAt(bottom))
                  << QPointF(frame.xAt(std::exp(model.centre)), frame.yAt(0.0))
                  << QPointF(frame.xAt(std::exp(model.centre + model.z * bottom)), frame.yAt(bottom));
    layout.centre = QLineF(frame.xAt(std::exp(model.centre)), frame.plot.top(), frame.xAt(std::exp(model.centre)),
                           frame.plot.bottom());
    if (anyFilled && std::isfinite(model.adjusted))
        layout.adjusted = QLineF(frame.xAt(std::exp(model.adjusted)), frame.plot.top(),
                                 frame.xAt(std::exp(model.adjusted)), frame.plot.bottom());
    layout.footerAnchor = QPointF(area.left() + kGap, area.bottom() - footer + kGap);
    return layout;
}

void paintFunnel(QPainter &painter, const FunnelModel &model, const QRectF &area, const QFont &font)
{
    const FunnelLayout layout = layoutFunnel(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    paintFrame(painter, layout.frame, font);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(layout.frame.plot);
    painter.setPen(QPen(palette::black(), 1.0, Qt::DashLine));
    painter.drawPolyline(layout.limits);
    painter.setPen(QPen(palette::black(), 1.2));
    painter.drawLine(layout.centre);
    if (!layout.adjusted.isNull()) {
        painter.setPen(QPen(palette::vermillion(), 1.2, Qt::DotLine));
        painter.drawLine(layout.adjusted);
    }
    const double radius = 4.0;
    for (std::size_t i = 0; i < model.points.size(); ++i) {
        if (model.points[i].filled) {
            painter.setPen(QPen(palette::vermillion(), 1.5));
            painter.setBrush(Qt::white);
        } else {
            painter.setPen(QPen(palette::black(), 0.8));
            painter.setBrush(palette::blue());
        }
        painter.drawEllipse(layout.points[i], radius, radius);
    }
    painter.setClipping(false);
    painter.setPen(palette::black());
    painter.setFont(font);
    if (!model.footer.isEmpty())
        drawText(painter, layout.footerAnchor, Qt::AlignLeft | Qt::AlignTop, model.footer);
    painter.restore();
}

} // namespace pictures

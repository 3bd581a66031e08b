#include "contingencyplot.h"

#include "palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

// Series beyond these share the legend's last entry.
constexpr int kLegendSeries = 12;

} // namespace

QString residualText(double residual)
{
    if (std::isnan(residual))
        return QString();
    const QString digits = QString::number(std::fabs(residual), 'f', 1);
    if (digits == u"0.0")
        return digits;
    return (residual < 0.0 ? QStringLiteral("\u2212") : QStringLiteral("+")) + digits;
}

namespace {

ContingencyLayout layoutOnce(const ContingencyModel &model, const QRectF &area, const QFont &font,
                             const QString &subtitle)
{
    ContingencyLayout layout;
    layout.titles = layoutTitles(area, font, model.title, subtitle);
    const int series = int(model.series.size());
    const int groups = int(model.groups.size());
    for (int s = 0; s < std::min(series, kLegendSeries); ++s)
        layout.legend.push_back({LegendEntry::Mark::Box, palette::series(s, series), model.series.at(s)});
    if (series > kLegendSeries)
        layout.legend.push_back({LegendEntry::Mark::Box, palette::grey(),
                                 QStringLiteral("%1 more").arg(series - kLegendSeries)});
    layout.legend.push_back({LegendEntry::Mark::Box, palette::grey(), QStringLiteral("observed")});
    layout.legend.push_back({LegendEntry::Mark::OutlineBox, palette::grey(), QStringLiteral("expected")});
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);

    double most = 0.0;
    const std::size_t cells = std::size_t(series) * std::size_t(groups);
    for (std::size_t i = 0; i < cells && i < model.observed.size() && i < model.expected.size(); ++i)
        most = std::max({most, model.observed[i], model.expected[i]});
    const QFontMetricsF metrics(font);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetricsF boldMetrics(bold);
    const double h = metrics.height();
    // Headroom for the residuals above the tallest pair.
    const double plotGuess = std::max(h * 4.0, body.height() - legendRoom - h * 3.0);
    const double top = std::max(1.0, most * (1.0 + 1.6 * h / plotGuess));

    FrameParts parts;
    parts.xLabel = model.groupAxis;
    parts.yLabel = QStringLiteral("Count (observed and expected)");
    parts.xCategories = model.groups;
    parts.yAxis = [top](int ticks) { return Axis::linear(0.0, top, ticks); };
    layout.frame = layoutFrame(body.adjusted(0.0, legendRoom, 0.0, 0.0), font, parts);

    const Frame &frame = layout.frame;
    const double band = frame.xBand();
    const double pairWidth = band * 0.8 / std::max(1, series);
    const double barWidth = pairWidth / 2.0;
    const double base = frame.yAt(0.0);
    layout.observedBars.resize(cells);
    layout.expectedBars.resize(cells);
    layout.residualLabels.resize(cells);
    for (int s = 0; s < series; ++s) {
        for (int g = 0; g < groups; ++g) {
            const std::size_t i = std::size_t(s) * std::size_t(groups) + std::size_t(g);
            const double o = i < model.observed.size() ? model.observed[i] : 0.0;
            const double e = i < model.expected.size() ? model.expected[i] : 0.0;
            const double left = frame.plot.left() + band * (g + 0.1) + pairWidth * s;
            layout.observedBars[i] = QRectF(QPointF(left, frame.yAt(o)), QPointF(left + barWidth, base));
            layout.expectedBars[i] = QRectF(QPointF(left + barWidth, frame.yAt(e)), QPointF(left + pairWidth, base));
            const double residual = i < model.residual.size() ? model.residual[i] : qQNaN();
            const QString text = residualText(residual);
            layout.residualTexts.append(text);
            // Large residuals are drawn in bold.
            const double width = (std::fabs(residual) >= 2.0 ? boldMetrics : metrics).horizontalAdvance(text) + 1.0;
            if (text.isEmpty())
                continue;
            if (width > pairWidth + band * 0.2 / std::max(1, series)) {
                ++layout.residualsLeftOut;
                continue;
            }
            const double pairTop = std::min(layout.observedBars[i].top(), layout.expectedBars[i].top());
            layout.residualLabels[i] = QRectF(left + pairWidth / 2.0 - width / 2.0, pairTop - h - 1.0, width, h);
        }
    }
    return layout;
}

} // namespace

ContingencyLayout layoutContingency(const ContingencyModel &model, const QRectF &area, const QFont &font)
{
    const ContingencyLayout layout = layoutOnce(model, area, font, model.subtitle);
    if (layout.residualsLeftOut == 0)
        return layout;
    // The subtitle promises a number above each pair: where some have no
    // room, it says so (a larger picture has room for more).
    const QString note = QStringLiteral("(O \u2212 E)/\u221aE left out where there is no room");
    return layoutOnce(model, area, font, model.subtitle.isEmpty() ? note : model.subtitle + QStringLiteral("; ") + note);
}

void paintContingency(QPainter &painter, const ContingencyModel &model, const QRectF &area, const QFont &font)
{
    const ContingencyLayout layout = layoutContingency(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    paintFrame(painter, layout.frame, font);

    painter.save();
    const int groups = int(model.groups.size());
    QFont bold = font;
    bold.setBold(true);
    for (std::size_t i = 0; i < layout.observedBars.size(); ++i) {
        const QColor colour = palette::series(int(i) / std::max(1, groups), int(model.series.size()));
        painter.fillRect(layout.observedBars[i], colour);
        QColor tint = colour;
        tint.setAlphaF(0.15f);
        painter.fillRect(layout.expectedBars[i], tint);
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(layout.expectedBars[i].adjusted(0.75, 0.75, -0.75, 0.0));
        if (layout.residualLabels[i].isEmpty())
            continue;
        const double residual = model.residual[i];
        painter.setFont(std::fabs(residual) >= 2.0 ? bold : font);
        painter.setPen(palette::residualText(residual));
        painter.drawText(layout.residualLabels[i], Qt::AlignCenter | Qt::TextDontClip, layout.residualTexts.at(qsizetype(i)));
    }
    painter.restore();
}

} // namespace pictures

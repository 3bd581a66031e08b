#include "ternaryplot.h"

#include "contingencyplot.h"
#include "palette.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

constexpr double kHeightShare = 0.86602540378443864676;  // sqrt(3) / 2
constexpr double kGap = 4.0;

QString alleleName(const QStringList &alleles, int index)
{
    return index < alleles.size() ? alleles.at(index) : QString::number(index + 1);
}

// A genotype as geneticists write it: "A/G", "1/2".
QString genotypeName(const QString &first, const QString &second)
{
    return first + u'/' + second;
}

const QString kRowTitle = QStringLiteral("First allele of the genotype");
const QString kColumnTitle = QStringLiteral("Second allele of the genotype");

} // namespace

QPointF TernaryLayout::at(double alleleFrequency, double hetFrequency) const
{
    const double side = homSecond.x() - homFirst.x();
    return QPointF(homFirst.x() + alleleFrequency * side, homFirst.y() - hetFrequency * side * kHeightShare);
}

TernaryLayout layoutTernary(const TernaryModel &model, const QRectF &area, const QFont &font)
{
    TernaryLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    const QString a = alleleName(model.alleles, 0);
    const QString b = alleleName(model.alleles, 1);
    layout.legend.push_back({LegendEntry::Mark::Line, palette::black(), QStringLiteral("Hardy-Weinberg proportions")});
    if (!model.band.empty())
        layout.legend.push_back({LegendEntry::Mark::Band, palette::skyBlue(),
                                 QStringLiteral("accepted by the exact test at %1%")
                                     .arg(QString::number(model.level * 100.0, 'g', 3))});
    layout.legend.push_back({LegendEntry::Mark::Dot, palette::vermillion(), QStringLiteral("observed")});
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);

    const QFontMetricsF metrics(font);
    const double h = metrics.height();
    const double cornerWidth = std::max({metrics.horizontalAdvance(genotypeName(a, a)),
                                         metrics.horizontalAdvance(genotypeName(b, b)),
                                         metrics.horizontalAdvance(QStringLiteral("H = 0.75"))})
                               + 2.0 * kGap;
    // Above: the heterozygote corner's label; below: ticks, their labels and
    // the axis' name.
    const QRectF room(QPointF(body.left() + cornerWidth, body.top() + legendRoom + h + kGap),
                      QPointF(body.right() - cornerWidth, body.bottom() - (2.0 * h + 3.0 * kGap + 4.0)));
    const double side = std::max(1.0, std::min(room.width(), room.height() / kHeightShare));
    const double left = room.center().x() - side / 2.0;
    const double bottom = room.top() + (room.height() + side * kHeightShare) / 2.0;
    layout.homFirst = QPointF(left, bottom);
    layout.homSecond = QPointF(left + side, bottom);
    layout.het = QPointF(left + side / 2.0, bottom - side * kHeightShare);

    const double n = double(model.homFirst + model.het + model.homSecond);
    if (n > 0.0) {
        const double hetShare = double(model.het) / n;
        layout.observed = layout.at(double(model.homSecond) / n + hetShare / 2.0, hetShare);
    }
    constexpr int kParabolaPoints = 200;
    for (int i = 0; i <= kParabolaPoints; ++i) {
        const double q = double(i) / kParabolaPoints;
        layout.parabola << layout.at(q, 2.0 * q * (1.0 - q));
    }
    // With a slice for every allele count the sample can have, each stands
    // for the allele frequencies half way to its neighbours: the band is
    // the steps of the discrete counts, each table inside its own step
    // exactly when the test accepts it. A band of sampled counts (a sample
    // too large for a slice per count) joins its slices by straight edges,
    // which the true steps follow to far below a pixel.
    const std::size_t slices = model.band.size();
    const bool everyCount = n > 0.0 && double(slices) == 2.0 * n + 1.0;
    if (everyCount) {
        std::vector<double> edges(slices + 1, 0.0);
        for (std::size_t i = 1; i < slices; ++i)
            edges[i] = (model.band[i - 1].alleleFrequency + model.band[i].alleleFrequency) / 2.0;
        edges[slices] = 1.0;
        for (std::size_t i = 0; i < slices; ++i)
            layout.band << layout.at(edges[i], model.band[i].hetHigh) << layout.at(edges[i + 1], model.band[i].hetHigh);
        for (std::size_t i = slices; i-- > 0;)
            layout.band << layout.at(edges[i + 1], model.band[i].hetLow) << layout.at(edges[i], model.band[i].hetLow);
    } else {
        for (std::size_t i = 0; i < slices; ++i)
            layout.band << layout.at(model.band[i].alleleFrequency, model.band[i].hetHigh);
        for (std::size_t i = slices; i-- > 0;)
            layout.band << layout.at(model.band[i].alleleFrequency, model.band[i].hetLow);
    }
    return layout;
}

void paintTernary(QPainter &painter, const TernaryModel &model, const QRectF &area, const QFont &font)
{
    const TernaryLayout layout = layoutTernary(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);

    painter.save();
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QString a = alleleName(model.alleles, 0);
    const QString b = alleleName(model.alleles, 1);
    const QPolygonF triangle({layout.homFirst, layout.het, layout.homSecond});

    // The heterozygote frequencies as lines across the triangle.
    const double h = QFontMetricsF(font).height();
    for (const double share : {0.25, 0.5, 0.75}) {
        const double side = layout.homSecond.x() - layout.homFirst.x();
        const QPointF from = layout.at(share / 2.0, share);
        const QPointF to = layout.at(1.0 - share / 2.0, share);
        painter.setPen(QPen(QColor(0xE4, 0xE4, 0xE4), 1.0));
        painter.drawLine(from, to);
        painter.setPen(palette::grey());
        if (side > 8.0 * h)
            drawText(painter, to + QPointF(kGap, 0.0), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("H = %1").arg(share));
    }
    if (!layout.band.isEmpty()) {
        // Steps at the edges would stand out of the triangle.
        painter.save();
        QPainterPath inside;
        inside.addPolygon(triangle);
        painter.setClipPath(inside);
        QColor fill = palette::skyBlue();
        fill.setAlphaF(0.45f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPolygon(layout.band);
        painter.restore();
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.2));
    painter.drawPolygon(triangle);
    painter.setPen(QPen(palette::black(), 2.0));
    painter.drawPolyline(layout.parabola);

    // The base is the allele-frequency axis.
    painter.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.0));
    for (int i = 0; i <= 5; ++i) {
        const double q = i / 5.0;
        const QPointF at = layout.at(q, 0.0);
        painter.drawLine(at, at + QPointF(0.0, 4.0));
        drawText(painter, at + QPointF(0.0, 4.0 + kGap / 2.0), Qt::AlignHCenter | Qt::AlignTop,
                 tickLabel(q, 1));
    }
    painter.setPen(palette::black());
    drawText(painter, QPointF(layout.het.x(), layout.homFirst.y() + 4.0 + h + kGap),
             Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Frequency of allele %1 (share of alleles)").arg(b));
    drawText(painter, layout.homFirst - QPointF(kGap, 0.0), Qt::AlignRight | Qt::AlignVCenter, genotypeName(a, a));
    drawText(painter, layout.homSecond + QPointF(kGap, 0.0), Qt::AlignLeft | Qt::AlignVCenter, genotypeName(b, b));
    drawText(painter, layout.het - QPointF(0.0, kGap), Qt::AlignHCenter | Qt::AlignBottom, genotypeName(a, b));

    if (model.homFirst + model.het + model.homSecond > 0) {
        const double radius = std::max(3.5, h * 0.35);
        painter.setPen(QPen(palette::black(), 1.0));
        painter.setBrush(palette::vermillion());
        painter.drawEllipse(layout.observed, radius, radius);
    }
    painter.restore();
}

HeatMapLayout layoutHeatMap(const GenotypeHeatMapModel &model, const QRectF &area, const QFont &font)
{
    HeatMapLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    const int K = int(model.alleles.size());
    const QFontMetricsF metrics(font);
    const double h = metrics.height();
    double most = 0.0;
    for (const double r : model.residual)
        if (!std::isnan(r))
            most = std::max(most, std::fabs(r));
    layout.limit = std::clamp(std::ceil(most), 2.0, 5.0);

    double nameWidth = 0.0;
    for (const QString &name : model.alleles)
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(name));
    const QRectF &body = layout.titles.body;
    const double barRoom = h * 1.2 + kGap + metrics.horizontalAdvance(QStringLiteral("\u22125")) + 2.0 * kGap
                           + h + kGap;
    // Left of the rows' allele names and above the columns', each axis'
    // title: the row is a genotype's first allele, the column its second.
    const QRectF room(QPointF(body.left() + h + kGap + nameWidth + kGap, body.top() + 2.0 * (h + kGap)),
                      QPointF(body.right() - barRoom - kGap, body.bottom()));
    const double cell = K > 0 ? std::max(1.0, std::min(room.width(), room.height()) / K) : 0.0;
    layout.table = QRectF(room.left() + (room.width() - cell * K) / 2.0, room.top(), cell * K, cell * K);
    layout.rowTitle = QPointF(layout.table.left() - kGap - nameWidth - kGap, layout.table.center().y());
    layout.columnTitle = QPointF(layout.table.center().x(), layout.table.top() - kGap / 2.0 - h - kGap);
    layout.cells.assign(std::size_t(K) * std::size_t(K), QRectF());
    for (int i = 0; i < K; ++i)
        for (int j = i; j < K; ++j)
            layout.cells[std::size_t(i) * std::size_t(K) + std::size_t(j)] =
                QRectF(layout.table.left() + j * cell, layout.table.top() + i * cell, cell, cell);
    // "O 1234" and "E 1234.5" on two lines.
    double widestCount = 0.0;
    for (std::size_t c = 0; c < model.observed.size() && c < model.expected.size(); ++c)
        widestCount = std::max({widestCount,
                                metrics.horizontalAdvance(QStringLiteral("O ") + QString::number(model.observed[c])),
                                metrics.horizontalAdvance(QStringLiteral("E ") + QString::number(model.expected[c], 'f', 1))});
    layout.countsShown = cell >= widestCount + 2.0 * kGap && cell >= 2.2 * h;
    layout.colourBar = QRectF(layout.table.right() + 2.0 * kGap + h + kGap, layout.table.top(), h * 1.2,
                              std::min(layout.table.height(), std::max(h * 6.0, layout.table.height())));
    return layout;
}

void paintHeatMap(QPainter &painter, const GenotypeHeatMapModel &model, const QRectF &area, const QFont &font)
{
    const HeatMapLayout layout = layoutHeatMap(model, area, font);
    paintTitles(painter, layout.titles, font);
    painter.save();
    painter.setFont(font);
    const int K = int(model.alleles.size());
    for (int i = 0; i < K; ++i) {
        painter.setPen(palette::black());
        const double cell = layout.table.width() / K;
        drawText(painter, QPointF(layout.table.left() - kGap, layout.table.top() + (i + 0.5) * cell),
                 Qt::AlignRight | Qt::AlignVCenter, model.alleles.at(i));
        drawText(painter, QPointF(layout.table.left() + (i + 0.5) * cell, layout.table.top() - kGap / 2.0),
                 Qt::AlignHCenter | Qt::AlignBottom, model.alleles.at(i));
    }
    drawText(painter, layout.columnTitle, Qt::AlignHCenter | Qt::AlignBottom, kColumnTitle);
    painter.save();
    painter.translate(layout.rowTitle);
    painter.rotate(-90.0);
    drawText(painter, QPointF(0.0, 0.0), Qt::AlignHCenter | Qt::AlignBottom, kRowTitle);
    painter.restore();
    for (std::size_t c = 0; c < layout.cells.size(); ++c) {
        const QRectF &cell = layout.cells[c];
        if (cell.isEmpty())
            continue;
        const double residual = c < model.residual.size() ? model.residual[c] : qQNaN();
        painter.fillRect(cell, palette::diverging(residual, layout.limit));
        painter.setPen(QPen(Qt::white, 1.0));
        painter.drawRect(cell);
        if (!layout.countsShown)
            continue;
        painter.setPen(std::fabs(residual) > 0.75 * layout.limit ? QColor(Qt::white) : palette::black());
        drawText(painter, QPointF(cell.center().x(), cell.center().y()), Qt::AlignHCenter | Qt::AlignBottom,
                 QStringLiteral("O ") + QString::number(model.observed[c]));
        drawText(painter, QPointF(cell.center().x(), cell.center().y()), Qt::AlignHCenter | Qt::AlignTop,
                 QStringLiteral("E ") + QString::number(model.expected[c], 'f', 1));
    }

    // The colour scale, from +limit at the top to -limit at the bottom.
    QLinearGradient gradient(layout.colourBar.topLeft(), layout.colourBar.bottomLeft());
    for (int k = 0; k <= 8; ++k) {
        const double value = layout.limit * (1.0 - k / 4.0);
        gradient.setColorAt(k / 8.0, palette::diverging(value, layout.limit));
    }
    painter.fillRect(layout.colourBar, gradient);
    painter.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.0));
    painter.drawRect(layout.colourBar);
    for (const double value : {layout.limit, 0.0, -layout.limit}) {
        const double y = layout.colourBar.top() + (layout.limit - value) / (2.0 * layout.limit) * layout.colourBar.height();
        drawText(painter, QPointF(layout.colourBar.right() + kGap, y), Qt::AlignLeft | Qt::AlignVCenter,
                 residualText(value));
    }
    painter.translate(layout.colourBar.left() - kGap, layout.colourBar.center().y());
    painter.rotate(-90.0);
    drawText(painter, QPointF(0.0, 0.0), Qt::AlignHCenter | Qt::AlignBottom,
             QStringLiteral("(O \u2212 E)/\u221aE"));
    painter.restore();
}

} // namespace pictures

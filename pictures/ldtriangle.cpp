#include "ldtriangle.h"

#include "palette.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

constexpr double kGap = 4.0;
// D' this close to 1 is 1: an estimate on the boundary of its range.
constexpr double kOne = 1.0 - 1e-9;
// The classic scheme's line between weak and strong evidence of LD.
constexpr double kStrongLod = 2.0;

QColor noEstimate() { return QColor(0xE0, 0xE0, 0xE0); }
QColor strongOne() { return QColor(0xFF, 0x00, 0x00); }
QColor weakOne() { return QColor(0xC0, 0xC0, 0xFF); }

double pairValue(const std::vector<double> &values, std::size_t index)
{
    return index < values.size() ? values[index] : qQNaN();
}

QString region(const LdTriangleModel &model)
{
    const QLocale english(QLocale::English);
    const auto [low, high] = std::minmax_element(model.positions.begin(), model.positions.end());
    return QStringLiteral("chromosome %1: %2 to %3 (%4 kb)")
        .arg(model.chroms.value(0), english.toString(*low), english.toString(*high),
             english.toString(double(*high - *low) / 1000.0, 'f', 1));
}

} // namespace

QColor ldColour(const LdTriangleModel &model, std::size_t index)
{
    if (model.byR2) {
        const double r2 = pairValue(model.r2, index);
        if (std::isnan(r2))
            return noEstimate();
        const int grey = int(std::lround(255.0 * (1.0 - std::clamp(r2, 0.0, 1.0))));
        return QColor(grey, grey, grey);
    }
    const double dprime = std::fabs(pairValue(model.dprime, index));
    const double lod = pairValue(model.lod, index);
    if (std::isnan(dprime) || std::isnan(lod))
        return noEstimate();
    if (lod >= kStrongLod) {
        if (dprime >= kOne)
            return strongOne();
        // From a pale pink at D' = 0 towards red.
        const int shade = int(std::lround(224.0 * (1.0 - dprime)));
        return QColor(0xFF, shade, shade);
    }
    return dprime >= kOne ? weakOne() : QColor(0xFF, 0xFF, 0xFF);
}

QString ldValueText(const LdTriangleModel &model, std::size_t index)
{
    const double value = model.byR2 ? pairValue(model.r2, index) : std::fabs(pairValue(model.dprime, index));
    if (std::isnan(value))
        return {};
    const long shown = std::lround(value * 100.0);
    // Blank where complete, as the classic viewer shows it; a value that
    // rounds to 100 but is not complete shows 99.
    if (value >= kOne)
        return {};
    return QString::number(std::min(shown, 99L));
}

LdTriangleLayout layoutLdTriangle(const LdTriangleModel &model, const QRectF &area, const QFont &font)
{
    LdTriangleLayout layout;
    layout.titles = layoutTitles(area, font, model.title, model.subtitle);
    if (model.byR2) {
        layout.legend = {{LegendEntry::Mark::OutlineBox, QColor(0xA0, 0xA0, 0xA0), QStringLiteral("r\u00b2 = 0")},
                         {LegendEntry::Mark::Box, QColor(128, 128, 128), QStringLiteral("0.5")},
                         {LegendEntry::Mark::Box, Qt::black, QStringLiteral("1 (numbers: 100 r\u00b2)")}};
    } else {
        layout.legend = {{LegendEntry::Mark::Box, strongOne(), QStringLiteral("D' = 1, LOD \u2265 2")},
                         {LegendEntry::Mark::Box, QColor(0xFF, 0x70, 0x70), QStringLiteral("D' < 1, LOD \u2265 2")},
                         {LegendEntry::Mark::Box, weakOne(), QStringLiteral("D' = 1, LOD < 2")},
                         {LegendEntry::Mark::OutlineBox, QColor(0xA0, 0xA0, 0xA0),
                          QStringLiteral("D' < 1, LOD < 2 (numbers: 100 |D'|)")}};
    }
    layout.legend.push_back({LegendEntry::Mark::Box, noEstimate(), QStringLiteral("no estimate")});
    const QRectF &body = layout.titles.body;
    const double legendRoom = legendHeight(layout.legend, font, body.width());
    layout.legendArea = QRectF(body.left(), body.top(), body.width(), legendRoom);

    const std::size_t count = std::size_t(model.names.size());
    if (count == 0)
        return layout;
    const QFontMetricsF metrics(font);
    const double h = metrics.height();
    double nameWidth = 0;
    for (const QString &name : model.names)
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(name));
    nameWidth = std::min(nameWidth, body.height() / 4.0);
    const bool oneChrom = !model.chroms.isEmpty() && model.chroms.count(model.chroms.first()) == model.chroms.size()
                          && model.positions.size() == count;
    // Above the triangle: the ruler with its text and connectors, then the
    // names upright.
    const double rulerRoom = oneChrom ? h + 3.0 * kGap + 2.0 * h : 0.0;
    const double top = body.top() + legendRoom + kGap + rulerRoom + nameWidth + kGap;
    const double width = body.width() - 2.0 * kGap;
    const double height = body.bottom() - top - kGap;
    // count columns across; the deepest diamond lies (count - 1) half cells
    // down, plus its own half.
    layout.cell = std::max(1.0, std::min(width / double(count), 2.0 * height / double(count)));
    const double left = body.left() + (body.width() - layout.cell * double(count)) / 2.0;
    const auto column = [&](std::size_t i) { return left + (double(i) + 0.5) * layout.cell; };
    layout.nameEvery = std::max(1, int(std::ceil(h / layout.cell)));
    for (std::size_t i = 0; i < count; ++i)
        layout.nameAnchors.push_back(QPointF(column(i), top - kGap / 2.0));
    if (oneChrom) {
        const auto [low, high] = std::minmax_element(model.positions.begin(), model.positions.end());
        const double rulerY = body.top() + legendRoom + kGap + h;
        const double x0 = column(0), x1 = column(count - 1);
        layout.ruler = QLineF(x0, rulerY, x1, rulerY);
        layout.rulerText = region(model);
        const double span = double(*high - *low);
        for (std::size_t i = 0; i < count; ++i) {
            const double share = span > 0 ? double(model.positions[i] - *low) / span : 0.5;
            layout.connectors.push_back(
                QLineF(x0 + share * (x1 - x0), rulerY, column(i), rulerY + h + 3.0 * kGap));
        }
    }
    // The numbers fit the square inside a diamond.
    const double inner = layout.cell / std::sqrt(2.0);
    layout.valuesShown = inner >= metrics.horizontalAdvance(QStringLiteral("99")) + 2.0 && inner >= 0.8 * h;
    const double half = layout.cell / 2.0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            const QPointF centre((column(i) + column(j)) / 2.0, top + double(j - i) * half);
            layout.diamonds.push_back(QPolygonF({centre + QPointF(0, -half), centre + QPointF(half, 0),
                                                 centre + QPointF(0, half), centre + QPointF(-half, 0)}));
        }
    }
    return layout;
}

void paintLdTriangle(QPainter &painter, const LdTriangleModel &model, const QRectF &area, const QFont &font)
{
    const LdTriangleLayout layout = layoutLdTriangle(model, area, font);
    paintTitles(painter, layout.titles, font);
    paintLegend(painter, layout.legend, layout.legendArea, font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetricsF metrics(font);
    if (!layout.ruler.isNull()) {
        painter.setPen(QPen(palette::black(), 1.5));
        painter.drawLine(layout.ruler);
        painter.setPen(QPen(palette::grey(), 1.0));
        for (const QLineF &line : layout.connectors)
            painter.drawLine(line);
        painter.setPen(palette::black());
        drawText(painter, QPointF(layout.ruler.center().x(), layout.ruler.y1() - kGap / 2.0),
                 Qt::AlignHCenter | Qt::AlignBottom, layout.rulerText);
    }
    // Names upright, read from the bottom up, their feet at the columns.
    painter.setPen(palette::black());
    const double nameRoom = std::min(area.height() / 4.0, 1e9);
    for (std::size_t i = 0; i < layout.nameAnchors.size(); i += std::size_t(layout.nameEvery)) {
        const QString name = metrics.elidedText(model.names.at(qsizetype(i)), Qt::ElideMiddle, nameRoom);
        painter.save();
        painter.translate(layout.nameAnchors[i]);
        painter.rotate(-90.0);
        drawText(painter, QPointF(0, 0), Qt::AlignLeft | Qt::AlignVCenter, name);
        painter.restore();
    }
    const QPen edge(QColor(0xA0, 0xA0, 0xA0), layout.cell > 6.0 ? 0.75 : 0.0);
    for (std::size_t k = 0; k < layout.diamonds.size(); ++k) {
        const QColor fill = ldColour(model, k);
        painter.setPen(layout.cell > 6.0 ? edge : QPen(fill));
        painter.setBrush(fill);
        painter.drawPolygon(layout.diamonds[k]);
        if (!layout.valuesShown)
            continue;
        const QString text = ldValueText(model, k);
        if (text.isEmpty())
            continue;
        painter.setPen(fill.lightnessF() < 0.45 ? Qt::white : Qt::black);
        drawText(painter, layout.diamonds[k].boundingRect().center(), Qt::AlignCenter, text);
    }
}

} // namespace pictures

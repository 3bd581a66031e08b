#include "plotframe.h"

#include "palette.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pictures {

namespace {

constexpr double kTick = 4.0;
constexpr double kGap = 4.0;

QColor axisColour()
{
    return QColor(0x33, 0x33, 0x33);
}

QColor gridColour()
{
    return QColor(0xE4, 0xE4, 0xE4);
}

double widest(const QFontMetricsF &metrics, const QStringList &texts)
{
    double width = 0.0;
    for (const QString &text : texts)
        width = std::max(width, metrics.horizontalAdvance(text));
    return width;
}

int ticksFor(double length, double spacing)
{
    return std::clamp(int(length / spacing), 2, 10);
}

} // namespace

QFont titleFont(const QFont &base)
{
    QFont font = base;
    font.setBold(true);
    if (base.pixelSize() > 0)
        font.setPixelSize(int(std::lround(base.pixelSize() * 1.2)));
    else
        font.setPointSizeF(base.pointSizeF() * 1.2);
    return font;
}

QRectF textRect(const QFontMetricsF &metrics, const QPointF &anchor, Qt::Alignment alignment,
                const QString &text)
{
    const double w = metrics.horizontalAdvance(text) + 1.0;
    const double h = metrics.height();
    double left = anchor.x();
    if (alignment & Qt::AlignRight)
        left -= w;
    else if (alignment & Qt::AlignHCenter)
        left -= w / 2.0;
    double top = anchor.y();
    if (alignment & Qt::AlignBottom)
        top -= h;
    else if (alignment & Qt::AlignVCenter)
        top -= h / 2.0;
    return QRectF(left, top, w, h);
}

void drawText(QPainter &painter, const QPointF &anchor, Qt::Alignment alignment, const QString &text)
{
    const QFontMetricsF metrics(painter.font());
    painter.drawText(textRect(metrics, anchor, alignment, text), Qt::AlignCenter | Qt::TextDontClip, text);
}

QStringList wrapText(const QString &text, const QFontMetricsF &metrics, double width, int maxLines)
{
    QStringList lines;
    if (text.isEmpty())
        return lines;
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    QString line;
    qsizetype start = 0;  // the current line's first word
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString candidate = line.isEmpty() ? words.at(i) : line + u' ' + words.at(i);
        if (line.isEmpty() || metrics.horizontalAdvance(candidate) <= width) {
            line = candidate;
            continue;
        }
        if (lines.size() + 1 == maxLines) {
            // The last line takes the rest, elided.
            line = words.mid(start).join(u' ');
            break;
        }
        lines.append(line);
        line = words.at(i);
        start = i;
    }
    lines.append(metrics.elidedText(line, Qt::ElideRight, width));
    return lines;
}

TitleLayout layoutTitles(const QRectF &area, const QFont &font, const QString &title, const QString &subtitle)
{
    TitleLayout layout;
    const QFontMetricsF bold(titleFont(font));
    const QFontMetricsF plain(font);
    const double pad = plain.height() * 0.6;
    const double width = area.width() - 2.0 * pad;
    layout.titleLines = wrapText(title, bold, width, 2);
    layout.title = QRectF(area.left() + pad, area.top() + pad, width, bold.height() * layout.titleLines.size());
    const QStringList sub = wrapText(subtitle, plain, width, 2);
    layout.subtitle = sub.join(u'\n');
    layout.subtitleRect = QRectF(area.left() + pad, layout.title.bottom() + (sub.isEmpty() ? 0.0 : pad * 0.3),
                                 width, plain.height() * sub.size());
    const double top = layout.subtitleRect.bottom() + pad;
    layout.body = QRectF(area.left() + pad, top, width, std::max(0.0, area.bottom() - pad - top));
    return layout;
}

void paintTitles(QPainter &painter, const TitleLayout &layout, const QFont &font)
{
    painter.save();
    painter.setPen(palette::black());
    const QFont bold = titleFont(font);
    painter.setFont(bold);
    const double lineHeight = QFontMetricsF(bold).height();
    for (qsizetype i = 0; i < layout.titleLines.size(); ++i)
        drawText(painter, QPointF(layout.title.center().x(), layout.title.top() + lineHeight * double(i)),
                 Qt::AlignHCenter | Qt::AlignTop, layout.titleLines.at(i));
    painter.setFont(font);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    const double plainHeight = QFontMetricsF(font).height();
    const QStringList sub = layout.subtitle.isEmpty() ? QStringList() : layout.subtitle.split(u'\n');
    for (qsizetype i = 0; i < sub.size(); ++i)
        drawText(painter, QPointF(layout.subtitleRect.center().x(), layout.subtitleRect.top() + plainHeight * double(i)),
                 Qt::AlignHCenter | Qt::AlignTop, sub.at(i));
    painter.restore();
}

namespace {

struct LegendPlace
{
    QRectF mark;
    QPointF text;
    QString shown;
};

std::vector<LegendPlace> placeLegend(const std::vector<LegendEntry> &entries, const QFont &font,
                                     const QRectF &area)
{
    const QFontMetricsF metrics(font);
    const double h = metrics.height();
    const double markWidth = h * 1.4;
    const double spacing = h * 1.2;
    std::vector<LegendPlace> places;
    double x = area.left();
    double y = area.top();
    for (const LegendEntry &entry : entries) {
        const QString shown = metrics.elidedText(entry.text, Qt::ElideRight, area.width() - markWidth - kGap);
        const double width = markWidth + kGap + metrics.horizontalAdvance(shown) + 1.0;
        if (x > area.left() && x + width > area.right()) {
            x = area.left();
            y += h * 1.3;
        }
        LegendPlace place;
        place.mark = QRectF(x, y + h * 0.15, markWidth, h * 0.7);
        place.text = QPointF(x + markWidth + kGap, y);
        place.shown = shown;
        places.push_back(place);
        x += width + spacing;
    }
    return places;
}

} // namespace

double legendHeight(const std::vector<LegendEntry> &entries, const QFont &font, double width)
{
    if (entries.empty())
        return 0.0;
    const std::vector<LegendPlace> places = placeLegend(entries, font, QRectF(0.0, 0.0, width, 1.0));
    const double h = QFontMetricsF(font).height();
    return places.back().text.y() + h * 1.5;
}

void paintMark(QPainter &painter, LegendEntry::Mark mark, const QColor &colour, const QRectF &box)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre = box.center();
    const double radius = std::min(box.width(), box.height()) * 0.4;
    switch (mark) {
    case LegendEntry::Mark::Box:
        painter.fillRect(box, colour);
        break;
    case LegendEntry::Mark::OutlineBox:
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box.adjusted(0.75, 0.75, -0.75, -0.75));
        break;
    case LegendEntry::Mark::Dot:
        painter.setPen(QPen(palette::black(), 0.8));
        painter.setBrush(colour);
        painter.drawEllipse(centre, radius, radius);
        break;
    case LegendEntry::Mark::HollowDot:
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(Qt::white);
        painter.drawEllipse(centre, radius, radius);
        break;
    case LegendEntry::Mark::Line:
        painter.setPen(QPen(colour, 2.0));
        painter.drawLine(QPointF(box.left(), centre.y()), QPointF(box.right(), centre.y()));
        break;
    case LegendEntry::Mark::DashedLine:
        painter.setPen(QPen(colour, 1.5, Qt::DashLine));
        painter.drawLine(QPointF(box.left(), centre.y()), QPointF(box.right(), centre.y()));
        break;
    case LegendEntry::Mark::Band: {
        QColor fill = colour;
        fill.setAlphaF(0.35f);
        painter.fillRect(box, fill);
        break;
    }
    }
    painter.restore();
}

void paintLegend(QPainter &painter, const std::vector<LegendEntry> &entries, const QRectF &area,
                 const QFont &font)
{
    painter.save();
    painter.setFont(font);
    const std::vector<LegendPlace> places = placeLegend(entries, font, area);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        paintMark(painter, entries[i].mark, entries[i].colour, places[i].mark);
        painter.setPen(palette::black());
        drawText(painter, places[i].text, Qt::AlignLeft | Qt::AlignTop, places[i].shown);
    }
    painter.restore();
}

double Frame::xCentre(int category) const
{
    return plot.left() + (category + 0.5) * xBand();
}

double Frame::yCentre(int category) const
{
    return plot.top() + (category + 0.5) * yBand();
}

double Frame::xBand() const
{
    return plot.width() / std::max<qsizetype>(1, xCategories.size());
}

double Frame::yBand() const
{
    return plot.height() / std::max<qsizetype>(1, yCategories.size());
}

Frame layoutFrame(const QRectF &body, const QFont &font, const FrameParts &parts)
{
    const QFontMetricsF metrics(font);
    const double h = metrics.height();
    Frame frame;
    frame.xLabel = parts.xLabel;
    frame.yLabel = parts.yLabel;
    frame.grid = parts.grid;
    frame.xCategorical = !parts.xAxis;
    frame.yCategorical = !parts.yAxis;
    frame.xCategories = parts.xCategories;

    const double yLabelRoom = parts.yLabel.isEmpty() ? 0.0 : h + kGap;
    const double xLabelRoom = parts.xLabel.isEmpty() ? 0.0 : h + kGap;
    const double bottomRoom = kTick + kGap + h + xLabelRoom;
    const double topRoom = frame.yCategorical ? 0.0 : h / 2.0;

    // Category names longer than a third of the width are elided.
    double yTickRoom = 0.0;
    if (frame.yCategorical) {
        const double most = body.width() / 3.0;
        for (const QString &name : parts.yCategories)
            frame.yCategories.append(metrics.elidedText(name, Qt::ElideRight, most));
        yTickRoom = widest(metrics, frame.yCategories);
    }
    // Twice: the ticks depend on the room, the room on the ticks' labels.
    QRectF plot = body.adjusted(yLabelRoom + kTick + kGap, topRoom, -parts.rightReserve, -bottomRoom);
    for (int pass = 0; pass < 2; ++pass) {
        if (!frame.yCategorical) {
            frame.y = parts.yAxis(ticksFor(plot.height(), h * 2.5));
            yTickRoom = widest(metrics, frame.y.labels());
        }
        double rightRoom = parts.rightReserve;
        if (!frame.xCategorical) {
            frame.x = parts.xAxis(ticksFor(plot.width(), std::max(60.0, h * 5.0)));
            if (!frame.x.labels().isEmpty())
                rightRoom = std::max(rightRoom, metrics.horizontalAdvance(frame.x.labels().last()) / 2.0);
        }
        plot = QRectF(QPointF(body.left() + yLabelRoom + yTickRoom + kGap + kTick, body.top() + topRoom),
                      QPointF(body.right() - rightRoom, body.bottom() - bottomRoom));
    }
    if (frame.xCategorical && !frame.xCategories.isEmpty()) {
        const double band = plot.width() / double(frame.xCategories.size());
        frame.xLabelEvery = std::max(1, int(std::ceil((widest(metrics, frame.xCategories) + 2.0 * kGap) / band)));
    }
    frame.plot = plot;
    // The axis' title may run under the tick labels and the reserve at the
    // right: a plot narrowed by its side columns keeps its title whole.
    if (!parts.xLabel.isEmpty()) {
        frame.xLabel = metrics.elidedText(parts.xLabel, Qt::ElideRight, body.width() - 1.0);
        const double half = (metrics.horizontalAdvance(frame.xLabel) + 1.0) / 2.0;
        const double centre =
            std::clamp(plot.center().x(), body.left() + half, std::max(body.left() + half, body.right() - half));
        frame.xLabelRect = textRect(metrics, QPointF(centre, plot.bottom() + kTick + kGap + h + kGap),
                                    Qt::AlignHCenter | Qt::AlignTop, frame.xLabel);
    }
    return frame;
}

void paintFrame(QPainter &painter, const Frame &frame, const QFont &font)
{
    painter.save();
    painter.setFont(font);
    const QRectF &plot = frame.plot;

    if (frame.grid) {
        painter.setPen(QPen(gridColour(), 1.0));
        if (!frame.xCategorical)
            for (const double tick : frame.x.ticks())
                painter.drawLine(QPointF(frame.xAt(tick), plot.top()), QPointF(frame.xAt(tick), plot.bottom()));
        if (!frame.yCategorical)
            for (const double tick : frame.y.ticks())
                painter.drawLine(QPointF(plot.left(), frame.yAt(tick)), QPointF(plot.right(), frame.yAt(tick)));
    }

    painter.setPen(QPen(axisColour(), 1.0));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());

    if (frame.xCategorical) {
        for (int i = 0; i < frame.xCategories.size(); ++i) {
            const double x = frame.xCentre(i);
            painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTick));
            if (i % frame.xLabelEvery == 0)
                drawText(painter, QPointF(x, plot.bottom() + kTick + kGap / 2.0), Qt::AlignHCenter | Qt::AlignTop,
                         frame.xCategories.at(i));
        }
    } else {
        for (std::size_t i = 0; i < frame.x.ticks().size(); ++i) {
            const double x = frame.xAt(frame.x.ticks()[i]);
            painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTick));
            drawText(painter, QPointF(x, plot.bottom() + kTick + kGap / 2.0), Qt::AlignHCenter | Qt::AlignTop,
                     frame.x.labels().at(qsizetype(i)));
        }
    }
    if (frame.yCategorical) {
        for (int i = 0; i < frame.yCategories.size(); ++i) {
            const double y = frame.yCentre(i);
            drawText(painter, QPointF(plot.left() - kTick - kGap, y), Qt::AlignRight | Qt::AlignVCenter,
                     frame.yCategories.at(i));
        }
    } else {
        for (std::size_t i = 0; i < frame.y.ticks().size(); ++i) {
            const double y = frame.yAt(frame.y.ticks()[i]);
            painter.drawLine(QPointF(plot.left() - kTick, y), QPointF(plot.left(), y));
            drawText(painter, QPointF(plot.left() - kTick - kGap, y), Qt::AlignRight | Qt::AlignVCenter,
                     frame.y.labels().at(qsizetype(i)));
        }
    }

    painter.setPen(palette::black());
    if (!frame.xLabel.isEmpty())
        painter.drawText(frame.xLabelRect, Qt::AlignCenter | Qt::TextDontClip, frame.xLabel);
    if (!frame.yLabel.isEmpty()) {
        painter.save();
        // Rotated a quarter turn, reading upwards, left of the tick labels.
        double left = plot.left() - kTick - kGap;
        if (frame.yCategorical)
            left -= [&] {
                double w = 0.0;
                for (const QString &name : frame.yCategories)
                    w = std::max(w, QFontMetricsF(font).horizontalAdvance(name));
                return w;
            }();
        else
            left -= widest(QFontMetricsF(font), frame.y.labels());
        painter.translate(left - kGap, plot.center().y());
        painter.rotate(-90.0);
        drawText(painter, QPointF(0.0, 0.0), Qt::AlignHCenter | Qt::AlignBottom,
                 QFontMetricsF(font).elidedText(frame.yLabel, Qt::ElideRight, plot.height()));
        painter.restore();
    }
    painter.restore();
}

} // namespace pictures

#pragma once

#include "axis.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QStringList>

#include <functional>
#include <vector>

class QFontMetricsF;
class QPainter;

// What the plots share: titles, a legend, and a frame of two axes, each
// either numeric or a list of categories. Layout and painting are apart, so
// that the tests read the geometry the painter draws. Every text is placed
// in the rectangle its font metrics give, so nothing is clipped.
namespace pictures {

QFont titleFont(const QFont &base);

// Draws text with its anchor at the given side or corner (alignment
// relative to the point).
void drawText(QPainter &painter, const QPointF &anchor, Qt::Alignment alignment, const QString &text);
QRectF textRect(const QFontMetricsF &metrics, const QPointF &anchor, Qt::Alignment alignment,
                const QString &text);

// Words broken into lines of at most `width`; the last of maxLines is
// elided when the text needs more.
QStringList wrapText(const QString &text, const QFontMetricsF &metrics, double width, int maxLines);

// The title (up to two lines) and subtitle on top; body is what is left.
struct TitleLayout
{
    QStringList titleLines;
    QString subtitle;
    QRectF title;
    QRectF subtitleRect;
    QRectF body;
};
TitleLayout layoutTitles(const QRectF &area, const QFont &font, const QString &title, const QString &subtitle);
void paintTitles(QPainter &painter, const TitleLayout &layout, const QFont &font);

// A legend entry: a small mark and its text.
struct LegendEntry
{
    enum class Mark { Box, OutlineBox, Dot, HollowDot, Line, DashedLine, Band };
    Mark mark = Mark::Box;
    QColor colour;
    QString text;
};
// The height the entries take in rows across `width`, and their painting
// there; the legend is drawn across the top of a plot's body.
double legendHeight(const std::vector<LegendEntry> &entries, const QFont &font, double width);
void paintLegend(QPainter &painter, const std::vector<LegendEntry> &entries, const QRectF &area,
                 const QFont &font);
void paintMark(QPainter &painter, LegendEntry::Mark mark, const QColor &colour, const QRectF &box);

// What a frame shows: a numeric axis (made for a number of ticks that fits
// the room) or categories, on each side.
struct FrameParts
{
    QString xLabel;
    QString yLabel;
    std::function<Axis(int targetTicks)> xAxis;  // empty: the categories below
    std::function<Axis(int targetTicks)> yAxis;
    QStringList xCategories;
    QStringList yCategories;                     // top to bottom
    double rightReserve = 0.0;                   // room right of the plot
    bool grid = true;
};

struct Frame
{
    QRectF plot;
    Axis x;
    Axis y;
    bool xCategorical = false;
    bool yCategorical = false;
    QStringList xCategories;
    QStringList yCategories;  // as drawn (elided where too long)
    int xLabelEvery = 1;      // every n-th category label fits
    QString xLabel;           // as drawn: elided only where wider than the body
    QRectF xLabelRect;        // centred under the plot, moved sideways to stay inside the body
    QString yLabel;
    bool grid = true;

    double xAt(double value) const { return x.map(value, plot.left(), plot.right()); }
    double yAt(double value) const { return y.map(value, plot.bottom(), plot.top()); }
    double xCentre(int category) const;
    double yCentre(int category) const;
    double xBand() const;  // width of one x category
    double yBand() const;
};

Frame layoutFrame(const QRectF &body, const QFont &font, const FrameParts &parts);
void paintFrame(QPainter &painter, const Frame &frame, const QFont &font);

} // namespace pictures

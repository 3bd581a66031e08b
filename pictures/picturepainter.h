#pragma once

#include "picturemodel.h"

#include <QFont>
#include <QRectF>
#include <QSize>
#include <QSizeF>

class QPainter;

namespace pictures {

// Draws a picture on any painter (a widget, an image, SVG, PDF) into
// `area`, in logical pixels, on a white ground, with `font`, which should
// come from pictureFont(). Every plot lays its texts out for at least
// 600 x 400 logical pixels.
void paintPicture(QPainter &painter, const Picture &picture, const QRectF &area, const QFont &font);

// The window's font for a picture: its family and size, fixed in pixels
// (at 96 per inch), so that a picture is laid out alike on every device.
QFont pictureFont(const QFont &windowFont);

// The smallest logical size the plots are laid out for.
constexpr QSizeF kMinimumLogicalSize(600.0, 400.0);

// The logical size a picture of `size` device pixels is drawn at: the size
// scaled down to 600 x 400 (keeping its shape) when it is larger, and up to
// it when smaller, so that text keeps its proportion to the plot.
QSizeF logicalSize(const QSize &size);

QString pictureTitle(const Picture &picture);

} // namespace pictures

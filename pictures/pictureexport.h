#pragma once

#include "picturemodel.h"

#include <QByteArray>
#include <QFont>
#include <QSize>
#include <QString>

#include <optional>

// A picture as a file: PNG (an image of the given pixels), SVG and PDF
// (vector, the given size in pixels at 96 per inch), all drawn by the same
// painter as the window. Files are written through the safe writer.
namespace pictures {

enum class PictureFormat { Png, Svg, Pdf };

constexpr QSize kDefaultExportSize(1200, 800);

// The format a file name asks for by its extension (.png, .svg, .pdf, in
// any case); none for anything else.
std::optional<PictureFormat> formatOf(const QString &fileName);
QString extensionOf(PictureFormat format);  // "png", "svg", "pdf"

// The file's bytes.
QByteArray renderPicture(const Picture &picture, PictureFormat format, const QSize &size, const QFont &font);

// Writes the picture as the type its name asks for. False, with the
// reason (the system's words for a failed write), when it could not.
bool writePicture(const Picture &picture, const QString &fileName, const QSize &size, const QFont &font,
                  QString *reason);

} // namespace pictures

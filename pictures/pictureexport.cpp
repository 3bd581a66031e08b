#include "pictureexport.h"

#include "picturepainter.h"
#include "safefilewriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace pictures {

std::optional<PictureFormat> formatOf(const QString &fileName)
{
    if (fileName.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return PictureFormat::Png;
    if (fileName.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return PictureFormat::Svg;
    if (fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return PictureFormat::Pdf;
    return std::nullopt;
}

QString extensionOf(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
        return QStringLiteral("png");
    case PictureFormat::Svg:
        return QStringLiteral("svg");
    case PictureFormat::Pdf:
        return QStringLiteral("pdf");
    }
    return QString();
}

namespace {

// Draws in logical pixels on a device `deviceSize` large.
void paintScaled(QPainter &painter, const Picture &picture, const QSizeF &deviceSize, const QSizeF &logical,
                 const QFont &font)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.scale(deviceSize.width() / logical.width(), deviceSize.height() / logical.height());
    paintPicture(painter, picture, QRectF(QPointF(0.0, 0.0), logical), font);
}

} // namespace

QByteArray renderPicture(const Picture &picture, PictureFormat format, const QSize &size, const QFont &font)
{
    const QSizeF logical = logicalSize(size);
    const QFont drawn = pictureFont(font);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PictureFormat::Png: {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            paintScaled(painter, picture, QSizeF(size), logical, drawn);
        }
        image.save(&buffer, "PNG");
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRectF(QPointF(0.0, 0.0), logical));
        svg.setResolution(96);
        svg.setTitle(pictureTitle(picture));
        svg.setDescription(QStringLiteral("Drawn by Velmora"));
        QPainter painter(&svg);
        paintScaled(painter, picture, logical, logical, drawn);
        break;
    }
    case PictureFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Velmora"));
        pdf.setTitle(pictureTitle(picture));
        // 96 pixels to the inch are 72 points.
        pdf.setPageSize(QPageSize(QSizeF(size.width() * 0.75, size.height() * 0.75), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0.0, 0.0, 0.0, 0.0));
        pdf.setResolution(300);
        QPainter painter(&pdf);
        paintScaled(painter, picture, QSizeF(pdf.width(), pdf.height()), logical, drawn);
        break;
    }
    }
    return bytes;
}

bool writePicture(const Picture &picture, const QString &fileName, const QSize &size, const QFont &font,
                  QString *reason)
{
    const std::optional<PictureFormat> format = formatOf(fileName);
    if (!format) {
        if (reason)
            *reason = QCoreApplication::translate("pictures", "%1 does not end in .png, .svg or .pdf").arg(fileName);
        return false;
    }
    return SafeFileWriter::write(fileName, renderPicture(picture, *format, size, font), reason);
}

} // namespace pictures

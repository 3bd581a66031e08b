#include "textimages.h"

#include <QAbstractTextDocumentLayout>
#include <QPixmap>
#include <QTextDocument>
#include <QUrl>

TextImages::TextImages(QTextDocument *document, SizeOf sizeOf, Draw draw)
    : QObject(document), sizeOf(std::move(sizeOf)), draw(std::move(draw))
{
    document->documentLayout()->registerHandler(QTextFormat::ImageObject, this);
}

QSizeF TextImages::intrinsicSize(QTextDocument *document, int, const QTextFormat &format)
{
    return sizeOf(document, format.toImageFormat());
}

void TextImages::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document, int,
                            const QTextFormat &format)
{
    draw(painter, rect, document, format.toImageFormat());
}

QImage TextImages::resourceImage(QTextDocument *document, const QString &name)
{
    const QVariant data = document->resource(QTextDocument::ImageResource, QUrl(name));
    if (data.userType() == QMetaType::QImage)
        return data.value<QImage>();
    if (data.userType() == QMetaType::QPixmap)
        return data.value<QPixmap>().toImage();
    if (data.userType() == QMetaType::QByteArray)
        return QImage::fromData(data.toByteArray());
    return QImage();
}

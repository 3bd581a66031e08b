#pragma once

#include <QImage>
#include <QObject>
#include <QTextImageFormat>
#include <QTextObjectInterface>

#include <functional>

class QTextDocument;

// Takes over the images of a text document's layout: each image's size and
// painting come from the owner's functions, so that it can be fitted to the
// view or drawn anew at the size it is shown (the layout's own handler shows
// an image resource at its natural size, however narrow the view).
class TextImages final : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using SizeOf = std::function<QSizeF(QTextDocument *, const QTextImageFormat &)>;
    using Draw = std::function<void(QPainter *, const QRectF &, QTextDocument *, const QTextImageFormat &)>;

    // Registers with `document`'s layout, and lives as long as the document.
    TextImages(QTextDocument *document, SizeOf sizeOf, Draw draw);

    QSizeF intrinsicSize(QTextDocument *document, int position, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document, int position,
                    const QTextFormat &format) override;

    // An image resource of the document (kept as an image or as a file's
    // bytes) as an image; null where there is none.
    static QImage resourceImage(QTextDocument *document, const QString &name);

private:
    SizeOf sizeOf;
    Draw draw;
};

#include "picturewindow.h"

#include "picturepainter.h"

#include <QPainter>

PictureWindow::PictureWindow(std::shared_ptr<const pictures::Picture> picture, QWidget *parent)
    : QWidget(parent, Qt::Window), model(std::move(picture))
{
    setObjectName(QStringLiteral("pictureWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(pictures::pictureTitle(*model));
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setMinimumSize(300, 200);
    resize(900, 600);
}

void PictureWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QSizeF logical = pictures::logicalSize(size());
    painter.scale(width() / logical.width(), height() / logical.height());
    pictures::paintPicture(painter, *model, QRectF(QPointF(0.0, 0.0), logical), pictures::pictureFont(font()));
}

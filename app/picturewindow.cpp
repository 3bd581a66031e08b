#include "picturewindow.h"

#include "picturepainter.h"

#include <QKeySequence>
#include <QPainter>
#include <QShortcut>

PictureWindow::PictureWindow(std::shared_ptr<const pictures::Picture> picture, QWidget *parent)
    : QWidget(parent, Qt::Window), model(std::move(picture))
{
    setObjectName(QStringLiteral("pictureWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(pictures::pictureTitle(*model));
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setMinimumSize(300, 200);
    resize(900, 600);
    // It holds no widget that takes the keyboard: it takes it itself.
    setFocusPolicy(Qt::StrongFocus);
    // Closed as a viewer is: Esc, or Ctrl+W.
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(tr("Ctrl+W"))})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

void PictureWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QSizeF logical = pictures::logicalSize(size());
    painter.scale(width() / logical.width(), height() / logical.height());
    pictures::paintPicture(painter, *model, QRectF(QPointF(0.0, 0.0), logical), pictures::pictureFont(font()));
}

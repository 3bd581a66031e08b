#pragma once

#include "picturemodel.h"

#include <QWidget>

#include <memory>

class QAction;

// A picture in a window of its own, drawn by the picture's painter at
// whatever size the window has (scaled down as a whole below 600 x 400, so
// that no text is cut), in the window's font. Its context menu offers the
// actions given to it (Save Picture As...); Esc and Ctrl+W close it.
class PictureWindow final : public QWidget
{
    Q_OBJECT

public:
    PictureWindow(std::shared_ptr<const pictures::Picture> picture, QWidget *parent);

    const std::shared_ptr<const pictures::Picture> &picture() const { return model; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<const pictures::Picture> model;
};

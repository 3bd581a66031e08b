// What the desktop hands the window: a document named on the command line
// or dropped from a file manager, and the screen it first opens on.
#include "mainwindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>

namespace {

// The first local document among the dragged files, or an empty string.
QString draggedDocument(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return QString();
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).suffix().compare(QLatin1String("sp"), Qt::CaseInsensitive) == 0)
            return path;
    }
    return QString();
}

// Always as a copy: a file manager that is told "moved" removes its file.
bool acceptAsCopy(QDropEvent *event)
{
    if (draggedDocument(event->mimeData()).isEmpty()
        || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void MainWindow::openArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return;
    // Absolute, so that the recent-file list works from any folder.
    loadFile(QFileInfo(arguments.first()).absoluteFilePath());
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    acceptAsCopy(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    acceptAsCopy(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (!acceptAsCopy(event))
        return;
    const QString fileName = draggedDocument(event->mimeData());
    // The save question waits until the drop has returned: the file
    // manager holds its drag until then.
    QTimer::singleShot(0, this, [this, fileName] { openDroppedFile(fileName); });
}

void MainWindow::openDroppedFile(const QString &fileName)
{
    if (okToContinue())
        loadFile(fileName);
}

void MainWindow::placeForFirstStart()
{
    // Two thirds of the screen, but no less than shows a useful part of
    // the grid with the Results window below it, where the screen allows;
    // the frame that the window manager adds is not known yet, so room is
    // left for a usual one.
    const QRect available = screen()->availableGeometry();
    const QSize frameRoom(16, 48);
    const QSize size = QSize(available.width() * 2 / 3, available.height() * 2 / 3)
                           .expandedTo(QSize(800, 550))
                           .boundedTo(available.size() - frameRoom);
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));
}

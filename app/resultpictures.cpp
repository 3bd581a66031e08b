#include "resultpictures.h"

#include "pictureexport.h"
#include "picturepainter.h"
#include "picturewindow.h"
#include "resultsview.h"
#include "uiprompts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QSettings>
#include <QStandardPaths>

namespace {

// A file name from a picture's title: "Chi-squared test, B2:D3 of x.sp"
// gives "chi-squared-test-b2-d3-of-x-sp".
QString suggestedName(const QString &title)
{
    QString name;
    for (const QChar c : title.toLower()) {
        if (c.isLetterOrNumber())
            name += c;
        else if (!name.isEmpty() && !name.endsWith(u'-'))
            name += u'-';
    }
    while (name.endsWith(u'-'))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("picture") : name;
}

} // namespace

ResultPictures::ResultPictures(ResultsView *view, QWidget *window) : QObject(window), view(view), window(window)
{
    show = new QAction(tr("&Pictures in Results"), this);
    show->setCheckable(true);
    show->setChecked(true);
    show->setStatusTip(tr("Show each result's picture under its numbers"));
    connect(show, &QAction::toggled, view, &ResultsView::setPicturesShown);

    save = new QAction(tr("Save &Picture As..."), this);
    save->setShortcut(QKeySequence(tr("Ctrl+Shift+P")));
    save->setStatusTip(tr("Save the picture under the mouse, or the one in view, as PNG, SVG or PDF"));
    save->setEnabled(false);
    connect(save, &QAction::triggered, this, &ResultPictures::saveChosen);
    connect(show, &QAction::toggled, this, &ResultPictures::updateSaveAction);
    // On the context menu, the picture under it, or nothing.
    connect(view, &ResultsView::menuAboutToShow, this, [this](const QPoint &at) {
        const bool found = this->view->picturesShown() && this->view->pictureAt(at, &menuEntry, &menuPicture);
        if (!found)
            menuEntry = menuPicture = -1;
        save->setEnabled(found);
    });
    connect(view, &ResultsView::menuClosed, this, [this] {
        menuEntry = menuPicture = -1;
        updateSaveAction();
    });
    viewport = view->viewport();
    viewport->installEventFilter(this);
}

QSize ResultPictures::pictureSize() const
{
    return view->pictureSize();
}

void ResultPictures::updateSaveAction()
{
    int entry = -1;
    int picture = -1;
    save->setEnabled(view->pictureInFocus(&entry, &picture));
}

void ResultPictures::attach(int entry, const PicturePtr &picture)
{
    if (!picture || entry < 0)
        return;
    // Drawn by the pane when it comes into view, at the size it is shown.
    view->addPicture(entry, QImage(), suggestedName(pictures::pictureTitle(*picture)), picture);
    updateSaveAction();
}

PictureWindow *ResultPictures::openWindow(int entry, int picture)
{
    if (entry < 0 || entry >= view->entries().size() || picture < 0
        || picture >= view->entries().at(entry).pictures.size())
        return nullptr;
    const PicturePtr model = view->entries().at(entry).pictures.at(picture).model;
    if (!model)
        return nullptr;
    auto *shown = new PictureWindow(model, window);
    auto *saveShown = new QAction(tr("Save &Picture As..."), shown);
    saveShown->setShortcut(QKeySequence::Save);
    connect(saveShown, &QAction::triggered, this, [this, shown] {
        // The vector formats at the window's size; PNG at twice its pixels.
        savePicture(shown->picture(), shown->size() * 2, shown);
    });
    shown->addAction(saveShown);
    shown->show();
    return shown;
}

bool ResultPictures::savePicture(const PicturePtr &picture, const QSize &size, QWidget *parent)
{
    if (!picture)
        return false;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        folder = !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
    }
    const QString start = QDir(folder).filePath(suggestedName(pictures::pictureTitle(*picture)) + QStringLiteral(".png"));
    QString fileName = UiPrompts::current().saveFileName(parent, tr("Save Picture"), start,
        tr("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    if (fileName.isEmpty())
        return false;
    folder = QFileInfo(fileName).absolutePath();
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".png");
    if (!pictures::formatOf(fileName)) {
        UiPrompts::current().warning(parent, tr("Velmora"),
            tr("A picture is saved as PNG (.png), SVG (.svg) or PDF (.pdf):\n%1").arg(QDir::toNativeSeparators(fileName)),
            QMessageBox::Ok);
        return false;
    }
    QString reason;
    if (pictures::writePicture(*picture, fileName, size, view->font(), &reason))
        return true;
    UiPrompts::current().warning(parent, tr("Velmora"),
        tr("Cannot write file %1:\n%2.").arg(QDir::toNativeSeparators(fileName), reason), QMessageBox::Ok);
    return false;
}

void ResultPictures::saveChosen()
{
    int entry = menuEntry;
    int picture = menuPicture;
    if (entry < 0 && !view->pictureInFocus(&entry, &picture))
        return;
    if (entry < 0 || entry >= view->entries().size() || picture < 0
        || picture >= view->entries().at(entry).pictures.size())
        return;
    savePicture(view->entries().at(entry).pictures.at(picture).model, pictures::kDefaultExportSize, window);
}

void ResultPictures::readSettings(const QSettings &settings)
{
    show->setChecked(settings.value(QStringLiteral("picturesInResults"), true).toBool());
    folder = settings.value(QStringLiteral("pictureFolder")).toString();
}

void ResultPictures::writeSettings(QSettings &settings) const
{
    settings.setValue(QStringLiteral("picturesInResults"), show->isChecked());
    settings.setValue(QStringLiteral("pictureFolder"), folder);
}

bool ResultPictures::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: the view may be half destroyed when its viewport's
    // last events come.
    if (event->type() == QEvent::MouseButtonDblClick && watched == viewport) {
        int entry = -1;
        int picture = -1;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (view->picturesShown() && view->pictureAt(mouse->position().toPoint(), &entry, &picture)
            && openWindow(entry, picture))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

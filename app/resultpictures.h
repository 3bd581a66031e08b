#pragma once

#include "picturemodel.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class PictureWindow;
class QAction;
class QSettings;
class QWidget;
class ResultsView;

// The pictures of the Results window: each new entry's picture drawn under
// its numbers at a size that fits the pane; View > "Pictures in Results"
// to show or hide them; a double click on one opens it in a resizable
// window of its own; "Save Picture As..." (Ctrl+Shift+P; on the context
// menu of the pane, and Ctrl+S in a picture window) writes PNG, SVG or PDF
// by the name's extension, starting in the folder used last.
class ResultPictures final : public QObject
{
    Q_OBJECT

public:
    using PicturePtr = std::shared_ptr<const pictures::Picture>;

    ResultPictures(ResultsView *view, QWidget *window);

    QAction *showAction() const { return show; }
    QAction *saveAction() const { return save; }

    // Shows the picture under entry `entry`; nothing for a null picture.
    void attach(int entry, const PicturePtr &picture);
    // The size a picture takes in the pane now, in pixels.
    QSize pictureSize() const;
    // Save Picture As is offered while some picture is shown.
    void updateSaveAction();
    // Opens picture `picture` of entry `entry` in its own window.
    PictureWindow *openWindow(int entry, int picture);
    // Asks for a name and writes the picture at `size` pixels; false when
    // nothing was written (canceled, or a failure that has been told).
    bool savePicture(const PicturePtr &picture, const QSize &size, QWidget *parent);

    void readSettings(const QSettings &settings);
    void writeSettings(QSettings &settings) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The picture under the context menu, or from the keyboard the one
    // the pane points to (ResultsView::pictureInFocus).
    void saveChosen();

    ResultsView *view;
    QObject *viewport = nullptr;  // the view's, whose double clicks open pictures
    QWidget *window;
    QAction *show = nullptr;
    QAction *save = nullptr;
    QString folder;        // where Save Picture As starts
    int menuEntry = -1;    // the picture under the last context menu
    int menuPicture = -1;
};

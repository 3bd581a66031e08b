#pragma once

#include "picturemodel.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QTextBrowser>

#include <memory>

class QTimer;

// The Results window's pane: the report as a list of entries, shown
// read-only and wrapped at the pane's width. An entry is one run's HTML
// text as its run function built it, a line of context above it (the test,
// its options, the document, the block and the time, in a quieter colour)
// and any pictures below it; a document mark names the document that the
// entries after it belong to. The newest run's entry is dark blue (red when
// it failed or was stopped), the others dark green.
//
// html() is the report as the window shows it, for Copy and Save As: the
// entries' texts byte for byte, each wrapped by resultsEntry(), with the
// pictures embedded as data: images.
//
// On screen each entry is a block of its own in the pane's document, and a
// new entry is added to the end of it: the entry before turns green and the
// new one is written, so that an entry costs the same however many stand
// above it. A picture is drawn by its painter at the size it is shown when
// it comes into view (as wide as the pane, at most two thirds of its
// height), and drawn anew when that size changes.
class ResultsView final : public QTextBrowser
{
    Q_OBJECT

public:
    struct Picture
    {
        // A picture given as pixels (no model), shown at its own size.
        QImage image;
        QString name;  // what "Save Picture As" proposes; may be empty
        int id = 0;    // unique within the pane
        // What it is drawn from, at the size it is shown, for a picture
        // window and for the vector formats.
        std::shared_ptr<const pictures::Picture> model;
    };

    struct Entry
    {
        enum Kind { Result, DocumentMark };
        Kind kind = Result;
        QString message;  // Result: the run's HTML; DocumentMark: the name
        int isError = 0;
        QString context;  // plain text; empty for none
        QList<Picture> pictures;
    };

    explicit ResultsView(QWidget *parent = nullptr);

    // Appends a run's entry and scrolls the pane so that the entry's first
    // line is at its top. Returns the entry's index.
    int appendResult(const QString &message, int isError, const QString &context = QString());
    // After a change of document (New, Open): a mark naming the new one, so
    // that the entries above are not read as its results. Nothing on an
    // empty report; a mark with no entry after it is replaced.
    void markDocument(const QString &name);

    // Shows a picture under the text of entry `entry` (a Result), drawn
    // from `model`, or `image` where there is none. Returns its index
    // within the entry, -1 for no such entry.
    int addPicture(int entry, const QImage &image, const QString &name = QString(),
                   const std::shared_ptr<const pictures::Picture> &model = nullptr);
    // View > Pictures in Results: hidden pictures stay with their entries,
    // out of the pane and of html(). The entry at the top of the view stays
    // there.
    void setPicturesShown(bool shown);
    bool picturesShown() const { return showPictures; }
    // The size a picture drawn from its model takes in the pane now: as wide
    // as the pane, and at most two thirds of its height, so that the lines
    // above it stay in view; in the pictures' shape of 3 : 2.
    QSize pictureSize() const { return shownPictureSize; }
    // A picture as the pane shows it now, in the screen's pixels.
    QImage shownImage(const Picture &picture) const;
    // The entry and picture under a point of the viewport; false where
    // there is no picture.
    bool pictureAt(const QPoint &viewportPos, int *entry, int *picture) const;
    // The picture a command from the keyboard means: the one under the
    // mouse, else the one most in view, else the newest. False when no
    // picture is shown.
    bool pictureInFocus(int *entry, int *picture) const;
    // Where the last context menu was asked for (viewport coordinates).
    QPoint menuPosition() const { return lastMenuPos; }
    static QUrl pictureUrl(int id);

    const QList<Entry> &entries() const { return list; }
    bool isEmpty() const { return list.isEmpty(); }
    // The report as shown, as one HTML fragment.
    QString html() const;
    // The text selected with the mouse or keyboard, as plain text; empty
    // when nothing is selected.
    QString selectedPlainText() const;

    // Clear and Undo Clear: the entries leave and come back as they were.
    QList<Entry> takeEntries();
    void restoreEntries(const QList<Entry> &entries);

signals:
    // Before the context menu shows at this viewport point: the owner of
    // an action may enable it for what lies there.
    void menuAboutToShow(const QPoint &viewportPos);
    void menuClosed();

protected:
    QVariant loadResource(int type, const QUrl &name) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class Form { Screen, Export };
    // Where the view stands: an entry, a place in its text and how far the
    // view's top is below that place's line; or in its pictures.
    struct Place
    {
        int entry = -1;
        int offset = 0;
        int pixels = 0;
        bool inPictures = false;
    };

    QString entryHtml(int index, Form form) const;
    int newestResult() const;
    // The document: each entry from starts[i] to the next entry's block.
    void writeEntry(int index);
    void writeEntryContent(QTextCursor &cursor, int index);
    void rewriteEntry(int index);
    void rewriteAll();
    void clearDocument();
    int entryEnd(int index) const;
    int pictureCharacters(int index) const;
    void recolourAsOlder(int index);
    // The top of the line of a document position, in document coordinates.
    qreal lineTop(int position) const;
    void scrollToEntry(int index);
    Place place() const;
    void restorePlace(const Place &where);
    void relayoutPictures();
    // What pictureSize() is to be for the pane's size now.
    QSize fittingPictureSize() const;
    // A picture drawn by its painter at `size` logical pixels.
    QImage drawnImage(const Picture &picture, const QSize &size, qreal ratio) const;
    QString embeddedImage(const Picture &picture) const;
    void drawPicture(QPainter *painter, const QRectF &rect, const QString &name) const;

    QList<Entry> list;
    QList<int> starts;
    QHash<int, Picture> pictureById;
    int nextPictureId = 1;
    bool showPictures = true;
    QPoint lastMenuPos;
    // The pictures drawn lately, by id, size and pixel ratio (cost in KiB).
    mutable QCache<QString, QImage> drawn;
    // The HTML of each picture as Copy and Save embed it, by id.
    mutable QHash<int, QPair<QSize, QString>> embedded;
    // Pictures relaid out after the pane's height changed, once it settles.
    QTimer *relayoutTimer = nullptr;
    QSize shownPictureSize;
};
